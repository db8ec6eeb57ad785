// What the request engine keeps once for all requests: bandwidth windows and throttling on a
// virtual clock, metered body reads, session cookies and credentials, the User-Agent and the
// small helpers.
#include <gtest/gtest.h>

#include <fstream>

#include "external/ASIHTTPRequest.h"
#include "external/ASIInputStream.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/system/Host.h"

namespace {

class RequestClassTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<plat::VirtualClock>();
        clock->setAutoAdvance(false);
        plat::RunLoop::main().setClock(clock);
    }
    void TearDown() override {
        ASIHTTPRequest::setMaxBandwidthPerSecond(0);
        ASIHTTPRequest::measureBandwidthUsage();
        plat::RunLoop::main().setClock(nullptr);
    }
    std::shared_ptr<plat::VirtualClock> clock;
};

TEST_F(RequestClassTest, BandwidthWindowsThrottleReadsAndScheduleStreams) {
    // A fresh window, then 1500 bytes against a limit of 1000: wake 0.5 s after the window.
    ASIHTTPRequest::setMaxBandwidthPerSecond(1000);
    ASIHTTPRequest::measureBandwidthUsage();
    const double windowEnd = *ASIHTTPRequest::bandwidthMeasurementDate();
    EXPECT_DOUBLE_EQ(windowEnd, clock->now() + 1.0);
    ASIHTTPRequest::incrementBandwidthUsedInLastSecond(1500);
    ASIHTTPRequest::measureBandwidthUsage();
    EXPECT_DOUBLE_EQ(*ASIHTTPRequest::throttleWakeUpTime(), windowEnd + 0.5);
    EXPECT_EQ(ASIHTTPRequest::maxUploadReadLength(), 0U);
    EXPECT_DOUBLE_EQ(*ASIHTTPRequest::throttleWakeUpTime(), windowEnd);

    // Metered reads: a quarter of the limit in a fresh window, then nothing (never a byte at a
    // time) until the window ends.
    const auto folder = testing_support::freshTestFolder();
    std::ofstream(folder / "body") << std::string(10'000, 'b');
    auto request = ASIHTTPRequest::requestWithURL(*plat::Url::parse("http://127.0.0.1:1/"));
    auto body = ASIInputStream::inputStreamWithFileAtPath(folder / "body", request);
    ASSERT_TRUE(body->open());
    clock->advance(1.5);
    ASIHTTPRequest::setMaxBandwidthPerSecond(4000);
    ASIHTTPRequest::measureBandwidthUsage();
    uint8_t buffer[32'768];
    EXPECT_EQ(body->read(buffer, sizeof buffer), 1000);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(body->read(buffer, sizeof buffer), 1000);
    EXPECT_EQ(body->read(buffer, sizeof buffer), 0);  // the window's allowance is used up
    EXPECT_TRUE(body->hasBytesAvailable());           // ... but the body goes on
    EXPECT_EQ(ASIHTTPRequest::bandwidthUsedInLastSecond(), 4000U);
    EXPECT_DOUBLE_EQ(*ASIHTTPRequest::throttleWakeUpTime(),
                     *ASIHTTPRequest::bandwidthMeasurementDate());
    ASIHTTPRequest::setMaxBandwidthPerSecond(0);
    EXPECT_EQ(body->read(buffer, sizeof buffer), 10'000 - 4000);
    EXPECT_EQ(body->read(buffer, sizeof buffer), 0);  // the end adds nothing
    EXPECT_EQ(body->bytesRead(), 10'000U);

    // Samples: traffic in every window keeps one; a quiet window drops the average to 0.
    clock->advance(1.01);  // just past the window: the late window's sample replaces the old
    ASIHTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(ASIHTTPRequest::averageBandwidthUsedPerSecond(), 10'000U);
    clock->advance(1.1);
    ASIHTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(ASIHTTPRequest::averageBandwidthUsedPerSecond(), 0U);

    // Downloads by the same window: a quarter of what is left, what is left at once near the
    // window's end, then nothing.
    ASIHTTPRequest::setMaxBandwidthPerSecond(262'144);
    EXPECT_EQ(ASIHTTPRequest::maxDownloadReadLength(262'144), 65'536U);
    ASIHTTPRequest::incrementBandwidthUsedInLastSecond(262'144 - 10'000);
    EXPECT_EQ(ASIHTTPRequest::maxDownloadReadLength(262'144), 10'000U);
    ASIHTTPRequest::incrementBandwidthUsedInLastSecond(9000);
    EXPECT_EQ(ASIHTTPRequest::maxDownloadReadLength(262'144), 0U);  // 1000 left: not worth it
    EXPECT_DOUBLE_EQ(*ASIHTTPRequest::throttleWakeUpTime(),
                     *ASIHTTPRequest::bandwidthMeasurementDate());
    ASIHTTPRequest::setMaxBandwidthPerSecond(0);
    EXPECT_EQ(ASIHTTPRequest::maxDownloadReadLength(16'384), 16'384U);
    clock->advance(1.1);
    ASIHTTPRequest::measureBandwidthUsage();

    // Throttling a request's stream: unscheduled before the wake-up time, scheduled after it.
    auto stream = plat::HttpReadStream::make(
        plat::HttpMessage::request("GET", *plat::Url::parse("http://127.0.0.1:1/")));
    request->setReadStream(stream);
    request->performThrottling();
    EXPECT_TRUE(request->readStreamIsScheduled());
    EXPECT_TRUE(ASIHTTPRequest::isNetworkInUse());
    ASIHTTPRequest::setMaxBandwidthPerSecond(1000);
    ASIHTTPRequest::incrementBandwidthUsedInLastSecond(3000);
    request->performThrottling();
    EXPECT_FALSE(request->readStreamIsScheduled());
    EXPECT_FALSE(ASIHTTPRequest::isNetworkInUse());
    clock->advance(5);
    request->performThrottling();
    EXPECT_TRUE(request->readStreamIsScheduled());
    request->destroyReadStream();
    EXPECT_FALSE(request->readStream());
    EXPECT_FALSE(ASIHTTPRequest::isNetworkInUse());
}

TEST(RequestClass, SessionCookiesAndCredentialsAreFoundByTheRules) {
    plat::HttpCookie a{"a", "1", "example.org"};
    plat::HttpCookie b{"a", "2", "example.org"};
    plat::HttpCookie c{"a", "3", "example.org"};
    c.path = "/other";
    ASIHTTPRequest::addSessionCookie(a);
    ASIHTTPRequest::addSessionCookie(b);  // same domain, path and name: replaces
    ASIHTTPRequest::addSessionCookie(c);  // another path: a second cookie
    auto cookies = ASIHTTPRequest::sessionCookies();
    ASSERT_EQ(cookies.size(), 2U);
    EXPECT_EQ(cookies[0].value, "2");
    plat::HttpCookieStorage::shared().setCookie(b);
    ASIHTTPRequest::clearSession();
    EXPECT_TRUE(ASIHTTPRequest::sessionCookies().empty());
    EXPECT_TRUE(plat::HttpCookieStorage::shared().cookies().empty());

    auto record = [](const char* url, const char* user, const char* realm) {
        auto credentials = plat::MutableDictionary::make();
        credentials->setObject(plat::Value(user), kCFHTTPAuthenticationUsername);
        credentials->setObject(plat::Value("pw"), kCFHTTPAuthenticationPassword);
        auto r = plat::MutableDictionary::make();
        r->setObject(plat::Value::fromObject(credentials), kASISessionCredentialsKey);
        r->setObject(plat::Value(url), kASISessionURLKey);
        if (realm)
            r->setObject(plat::Value(realm), kASISessionRealmKey);
        return r;
    };
    auto partial = record("http://h.org/other", "ann", "Staff");
    auto withPort = record("http://h.org:80/page", "bob", nullptr);
    auto exact = record("http://h.org/page", "cid", nullptr);
    for (const auto& r : {partial, withPort, exact})
        ASIHTTPRequest::storeAuthenticationCredentialsInSessionStore(r);
    auto request = ASIHTTPRequest::requestWithURL(*plat::Url::parse("http://h.org/page"));
    EXPECT_EQ(request->findSessionAuthenticationCredentials(), exact);  // exact wins
    request->setURL(*plat::Url::parse("http://h.org/third"));
    EXPECT_EQ(request->findSessionAuthenticationCredentials(), partial);
    request->setAuthenticationRealm("Public");
    EXPECT_EQ(request->findSessionAuthenticationCredentials(), exact);  // realm differs
    request->setUsername("ann");
    request->setPassword("pw");
    EXPECT_FALSE(request->findSessionAuthenticationCredentials());
    ASIHTTPRequest::removeAuthenticationCredentialsFromSessionStore(
        exact->objectForKey(kASISessionCredentialsKey).dictionary());
    EXPECT_EQ(ASIHTTPRequest::sessionCredentialsStore().size(), 2U);
    ASIHTTPRequest::clearSession();
    EXPECT_TRUE(ASIHTTPRequest::sessionCredentialsStore().empty());
}

TEST(RequestClass, HelpersParseDatesTypesAndExpiry) {
    for (const char* text : {"Thu, 01 Dec 1994 16:00:00 GMT", "01 Dec 1994 16:00:00 GMT",
                             "Thu, 01 Dec 1994 16:00 GMT"})
        EXPECT_EQ(ASIHTTPRequest::dateFromRFC1123String(text)->seconds, 786297600) << text;
    EXPECT_FALSE(ASIHTTPRequest::dateFromRFC1123String("31 Feb 1994 16:00:00 GMT"));

    std::string mime;
    plat::StringEncoding encoding = 99;
    ASIHTTPRequest::parseMimeType(&mime, &encoding, "text/html; charset=UTF-8");
    EXPECT_EQ(mime, "text/html");
    EXPECT_EQ(encoding, plat::NSUTF8StringEncoding);
    encoding = 99;
    ASIHTTPRequest::parseMimeType(&mime, &encoding, " text/plain ");
    EXPECT_EQ(mime, "text/plain");
    ASIHTTPRequest::parseMimeType(&mime, &encoding, "text/xml;");
    EXPECT_EQ(mime, "text/xml");
    ASIHTTPRequest::parseMimeType(&mime, &encoding, "text/xml; charset=klingon");
    EXPECT_EQ(encoding, 99U);

    EXPECT_EQ(ASIHTTPRequest::base64forData({'a', 'b', 'c'}), "YWJj");
    EXPECT_EQ(ASIHTTPRequest::base64forData({'a'}), "YQ==");
    EXPECT_FALSE(ASIHTTPRequest::mimeTypeForFileAtPath("/no/such/file.pdf"));

    auto request = ASIHTTPRequest::requestWithURL(*plat::Url::parse("http://h/"));
    EXPECT_FALSE(ASIHTTPRequest::expiryDateForRequest(*request, 0));
    auto headers = plat::MutableDictionary::make();
    headers->setObject(plat::Value("no-cache, max-age=300"), "Cache-Control");
    request->setResponseHeaders(headers);
    const double now = plat::Date::now().seconds;
    EXPECT_NEAR(ASIHTTPRequest::expiryDateForRequest(*request, 0)->seconds, now + 300, 5);
    EXPECT_NEAR(ASIHTTPRequest::expiryDateForRequest(*request, 60)->seconds, now + 60, 5);
    headers->setObject(plat::Value("private"), "Cache-Control");
    headers->setObject(plat::Value("Thu, 01 Dec 1994 16:00:00 GMT"), "Expires");
    EXPECT_EQ(ASIHTTPRequest::expiryDateForRequest(*request, 0)->seconds, 786297600);

    // The User-Agent, built once from the information dictionary and this machine.
    EXPECT_EQ(plat::Host::parseSystemVersion("6.1.0-18-amd64"), (std::array<unsigned, 3>{6, 1, 0}));
    EXPECT_FALSE(plat::Host::parseSystemVersion("6.x"));
    auto info = plat::MutableDictionary::make();
    info->setObject(plat::Value("Varnel"), "CFBundleName");
    info->setObject(plat::Value("1.2"), "CFBundleShortVersionString");
    info->setObject(plat::Value("42"), "CFBundleVersion");
    plat::InfoDictionary::setDictionary(info);
    testing_support::ScopedEnvironment environment;
    environment.set("LC_ALL", "th_TH.UTF-8");
    ASIHTTPRequest::setDefaultUserAgentString(std::nullopt);
    const auto agent = ASIHTTPRequest::defaultUserAgentString();
    plat::InfoDictionary::setDictionary(nullptr);
    ASSERT_TRUE(agent);
    EXPECT_EQ(agent->rfind("Varnel 1.2 rv:42 (X11; Linux ", 0), 0U) << *agent;
    EXPECT_TRUE(agent->ends_with("; th_TH)")) << *agent;
    ASIHTTPRequest::setDefaultUserAgentString(std::nullopt);
}

}  // namespace
