// Proxies from settings and the environment, auto-configuration scripts and their limits.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/net/PacEvaluator.h"
#include "platform/net/ProxySettings.h"
#include "platform/storage/ScopedEnvironment.h"

using plat::PacEvaluator;
using plat::ProxyEntry;
using plat::ProxySettings;
using plat::Url;
using Type = ProxyEntry::Type;

namespace {

Ref<plat::Dictionary> settings(std::vector<std::pair<std::string, std::string>> values) {
    auto dictionary = plat::MutableDictionary::make();
    for (auto& [key, value] : values)
        dictionary->setObject(plat::Value(value), key);
    return dictionary;
}

std::optional<std::vector<ProxyEntry>> proxies(const std::string& url,
                                               const Ref<plat::Dictionary>& s) {
    return ProxySettings::proxiesForUrl(*Url::parse(url), *s);
}

TEST(ProxySettings, VariablesChooseAProxyPerSchemeAndExceptionsGoDirect) {
    const auto s = settings({{"http_proxy", "http://user:pw@proxy.local:3128/"},
                             {"https_proxy", "secure.local"},
                             {"no_proxy", " .example.org, 10.0.0.0/8 ,localhost"}});
    EXPECT_EQ(proxies("http://a.b/x", s),
              (std::vector{ProxyEntry{Type::Http, "proxy.local", 3128, {}}}));
    EXPECT_EQ(proxies("https://a.b/x", s),
              (std::vector{ProxyEntry{Type::Https, "secure.local", 1080, {}}}));
    for (const char* direct : {"http://www.example.org/", "http://example.org/", "http://10.2.3.4/",
                               "https://localhost/"})
        EXPECT_EQ(proxies(direct, s), (std::vector{ProxyEntry{}})) << direct;
    EXPECT_EQ(proxies("http://notexample.org/", s)->front().type, Type::Http);

    const auto socks = settings({{"all_proxy", "socks5h://[::1]:1081"}});
    EXPECT_EQ(proxies("https://a.b/", socks),
              (std::vector{ProxyEntry{Type::Socks, "::1", 1081, {}}}));
    EXPECT_EQ(proxies("http://a.b/", settings({})), (std::vector{ProxyEntry{}}));
    for (const char* bad : {"http://proxy:99999", "ftp://proxy:21", "proxy:port", "http://:80",
                            "http://pro xy:80", "[::1"})
        EXPECT_FALSE(proxies("http://a.b/", settings({{"http_proxy", bad}}))) << bad;
    EXPECT_EQ(proxies("http://a.b/", settings({{plat::kProxyAutoConfigUrlKey, "http://w/p.pac"}})),
              (std::vector{ProxyEntry{Type::AutoConfigurationUrl, {}, 0, "http://w/p.pac"}}));

    // The environment as curl reads it: HTTP_PROXY (upper case) is not taken.
    testing_support::ScopedEnvironment environment;
    environment.set("http_proxy", std::nullopt);
    environment.set("HTTP_PROXY", "http://ignored:1");
    environment.set("HTTPS_PROXY", "http://taken:2");
    environment.set("https_proxy", std::nullopt);
    environment.set("all_proxy", std::nullopt);
    environment.set("ALL_PROXY", std::nullopt);
    environment.set("no_proxy", std::nullopt);
    environment.set("NO_PROXY", std::nullopt);
    const auto system = ProxySettings::systemSettings();
    EXPECT_EQ(proxies("http://a.b/", system), (std::vector{ProxyEntry{}}));
    EXPECT_EQ(proxies("https://a.b/", system)->front().host, "taken");
    EXPECT_TRUE(system->objectForKey(plat::kProxyAutoConfigUrlKey).isNil());

    const Url url = *Url::parse("https://a.b/");
    EXPECT_EQ(ProxySettings::parsePacResult("PROXY w:8080; SOCKS s:1; DIRECT; BOGUS x", url),
              (std::vector{ProxyEntry{Type::Https, "w", 8080, {}},
                           ProxyEntry{Type::Socks, "s", 1, {}}, ProxyEntry{}}));
    EXPECT_EQ(ProxySettings::parsePacResult("PROXY web", url)->front().port, 80);
    EXPECT_FALSE(ProxySettings::parsePacResult("", url));
    EXPECT_FALSE(ProxySettings::parsePacResult("PROXY :x; nonsense", url));
}

TEST(PacEvaluator, HelpersWorkAndBadScriptsFailInTimeWithoutHarmingLaterRuns) {
    const std::string helpers = R"JS(
      function FindProxyForURL(url, host) {
        var checks = {
          plain: isPlainHostName('intranet') && !isPlainHostName('a.b'),
          domain: dnsDomainIs('www.Example.org', '.example.org') && !dnsDomainIs('example.com', '.org'),
          local: localHostOrDomainIs('www', 'www.example.org') && !localHostOrDomainIs('mail', 'www.example.org'),
          glob: shExpMatch(url, '*.example.org/*') && !shExpMatch('abc', 'a?'),
          net: isInNet('10.1.2.3', '10.0.0.0', '255.0.0.0') && !isInNet('11.1.2.3', '10.0.0.0', '255.0.0.0'),
          levels: dnsDomainLevels('a.b.c') === 2,
          resolve: dnsResolve('localhost') === '127.0.0.1' && isResolvable('localhost'),
          me: /^\d+\.\d+\.\d+\.\d+$/.test(myIpAddress()),
          dates: weekdayRange('SUN', 'SAT') && dateRange(1, 31) && dateRange('JAN', 'DEC') &&
                 timeRange(0, 23) && dateRange(1970, 9999) && !dateRange(1971)
        };
        for (var name in checks) if (!checks[name]) return 'PROXY failed-' + name + ':1';
        return 'PROXY ok.local:3128; DIRECT';
      })JS";
    const Url url = *Url::parse("http://www.example.org/page");
    auto good = PacEvaluator::proxiesForUrl(helpers, url);
    ASSERT_FALSE(good.error) << good.error->description();
    EXPECT_EQ(good.text, "PROXY ok.local:3128; DIRECT");
    EXPECT_EQ(good.proxies,
              (std::vector{ProxyEntry{Type::Http, "ok.local", 3128, {}}, ProxyEntry{}}));

    auto thrown = PacEvaluator::proxiesForUrl(
        "function FindProxyForURL(u, h) { throw new Error('boom'); }", url);
    ASSERT_TRUE(thrown.error);
    EXPECT_NE(thrown.error->description().find("boom"), std::string::npos);
    EXPECT_TRUE(PacEvaluator::proxiesForUrl("this is not javascript", url).error);
    EXPECT_TRUE(PacEvaluator::proxiesForUrl("var x = 1;", url).error);
    EXPECT_TRUE(
        PacEvaluator::proxiesForUrl("function FindProxyForURL() { return 42; }", url).error);

    // The caller's limit of time stops a script, not the default one. Given a tenth of a second,
    // a runaway that only time can end ends before the default's time, which a run held to the
    // default cannot beat; what lies between is room for a busy machine to start and unwind the
    // run.
    using Clock = std::chrono::steady_clock;
    for (const char* runaway :
         {"function FindProxyForURL() { for (;;) {} }",
          "while (true) {} function FindProxyForURL() { return 'DIRECT'; }"}) {
        const auto start = Clock::now();
        auto stopped = PacEvaluator::proxiesForUrl(runaway, url, 0.1);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(),
                  PacEvaluator::kTimeLimitSeconds)
            << "not stopped at the tenth of a second given: " << runaway;
        ASSERT_TRUE(stopped.error) << runaway;
        EXPECT_FALSE(stopped.proxies);
    }
    // One that fills the heap is ended by the heap's limit, however long a busy machine takes to
    // build its strings up to it: it fails, and is not timed.
    auto filled = PacEvaluator::proxiesForUrl(
        "function FindProxyForURL() { var s = 'xxxxxxxxxx'; while (s.length < 1e9) s += s; "
        "return 'DIRECT'; }",
        url, PacEvaluator::kTimeLimitSeconds * 10);
    ASSERT_TRUE(filled.error) << "a script that outgrows the heap fails";
    EXPECT_NE(filled.error->description().find("more memory than allowed"), std::string::npos)
        << filled.error->description();
    EXPECT_FALSE(filled.proxies);
    // A limit above the default lets a script run past the default, on the script's own clock
    // (however slowly a busy machine runs it), and answer.
    const std::string pastTheDefault =
        "function FindProxyForURL() { var end = Date.now() + " +
        std::to_string(static_cast<int>(PacEvaluator::kTimeLimitSeconds * 1000) + 500) +
        "; while (Date.now() < end) {} return 'DIRECT'; }";
    auto patient =
        PacEvaluator::proxiesForUrl(pastTheDefault, url, PacEvaluator::kTimeLimitSeconds * 10);
    ASSERT_FALSE(patient.error) << "stopped although given ten times the default: "
                                << patient.error->description();
    EXPECT_EQ(patient.text, "DIRECT");
    EXPECT_EQ(PacEvaluator::proxiesForUrl(helpers, url).text, "PROXY ok.local:3128; DIRECT");
}

}  // namespace
