#include <gtest/gtest.h>

#include "platform/net/HttpCookie.h"
#include "platform/net/HttpCookieStorage.h"

using plat::Date;
using plat::HttpCookie;
using plat::HttpCookieStorage;
using plat::HttpHeaderFields;
using plat::Url;

namespace {

Url url(std::string_view text) {
    return Url::parse(text).value();
}

// 2024-01-01 00:00:00 UTC.
constexpr double kNow = 1704067200.0;

class CookieStore : public ::testing::Test {
  protected:
    double now = kNow;
    HttpCookieStorage storage{[this] { return Date{now}; }};

    void receive(std::string_view from, std::initializer_list<std::string_view> setCookies) {
        HttpHeaderFields fields;
        for (auto line : setCookies)
            fields.add("Set-Cookie", line);
        storage.setCookiesFromResponseHeaderFields(fields, url(from));
    }
    std::string sentTo(std::string_view to) {
        return storage.cookieHeaderForURL(url(to)).value_or("");
    }
};

}  // namespace

TEST(HttpCookie, ParsesAttributes) {
    auto cookie = HttpCookie::parse(
        " SID = abc=def ; Path=/svc; Domain=.Example.COM; Secure; HttpOnly; Max-Age=60; Foo=bar",
        url("https://www.example.com/svc/x"), Date{kNow});
    ASSERT_TRUE(cookie);
    EXPECT_EQ(cookie->name, "SID");
    EXPECT_EQ(cookie->value, "abc=def");
    EXPECT_EQ(cookie->domain, "example.com");
    EXPECT_FALSE(cookie->hostOnly);
    EXPECT_EQ(cookie->path, "/svc");
    EXPECT_TRUE(cookie->secure);
    EXPECT_TRUE(cookie->httpOnly);
    EXPECT_EQ(cookie->expiresDate, Date{kNow + 60});

    // Without attributes: a host-only session cookie for the directory of the request path.
    cookie = HttpCookie::parse("a=1", url("http://Example.com/a/b/c?q"), Date{kNow});
    ASSERT_TRUE(cookie);
    EXPECT_EQ(cookie->domain, "example.com");
    EXPECT_TRUE(cookie->hostOnly);
    EXPECT_EQ(cookie->path, "/a/b");
    EXPECT_TRUE(cookie->isSessionOnly());

    // Max-Age wins over Expires whatever their order; a path not starting with "/" is ignored.
    cookie = HttpCookie::parse("a=1; Max-Age=5; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Path=x",
                               url("http://h.com/p/q"), Date{kNow});
    EXPECT_EQ(cookie->expiresDate, Date{kNow + 5});
    EXPECT_EQ(cookie->path, "/p");
}

TEST(HttpCookie, IgnoresCookiesTheHostMayNotSet) {
    const Date now{kNow};
    const Url from = url("http://www.example.com/");
    EXPECT_FALSE(HttpCookie::parse("novalue", from, now));
    EXPECT_FALSE(HttpCookie::parse("=value", from, now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=other.com", from, now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=ample.com", from, now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=deeper.www.example.com", from, now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=com", url("http://example.com/"), now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Secure", from, now));  // secure only from https
    EXPECT_FALSE(HttpCookie::parse("a=1\x01", from, now));
    EXPECT_FALSE(HttpCookie::parse("a=" + std::string(5000, 'x'), from, now));
    // A single label equal to the host is kept, host-only.
    auto local = HttpCookie::parse("a=1; Domain=localhost", url("http://localhost:8080/"), now);
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->hostOnly);
    // An IP address must be named exactly.
    EXPECT_TRUE(HttpCookie::parse("a=1; Domain=10.0.0.1", url("http://10.0.0.1/"), now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=0.0.1", url("http://10.0.0.1/"), now));
}

TEST(HttpCookie, ParsesCookieDates) {
    const double y2015 = 1445412480.0;  // Wed, 21 Oct 2015 07:28:00 GMT
    EXPECT_EQ(HttpCookie::parseCookieDate("Wed, 21 Oct 2015 07:28:00 GMT"), Date{y2015});
    EXPECT_EQ(HttpCookie::parseCookieDate("Wednesday, 21-Oct-15 07:28:00 GMT"), Date{y2015});
    EXPECT_EQ(HttpCookie::parseCookieDate("Wed Oct 21 07:28:00 2015"), Date{y2015});
    EXPECT_EQ(HttpCookie::parseCookieDate("Sun, 06 Nov 1994 08:49:37 GMT"), Date{784111777.0});
    EXPECT_EQ(HttpCookie::parseCookieDate("29 Feb 2024 00:00:00"), Date{1709164800.0});
    EXPECT_EQ(HttpCookie::parseCookieDate("1 Jan 70 00:00:00"), Date{0.0});
    for (const char* bad : {"", "Wed, 21 Oct 2015", "30 Feb 2024 00:00:00", "32 Jan 2020 00:00:00",
                            "21 Foo 2015 07:28:00", "21 Oct 1600 07:28:00", "21 Oct 2015 24:00:00",
                            "21 Oct 2015 07:60:00"}) {
        EXPECT_FALSE(HttpCookie::parseCookieDate(bad)) << bad;
    }
}

TEST(HttpCookie, MatchesDomainsAndPaths) {
    EXPECT_TRUE(HttpCookie::domainMatches("example.com", "example.com"));
    EXPECT_TRUE(HttpCookie::domainMatches("a.b.example.com", "example.com"));
    EXPECT_FALSE(HttpCookie::domainMatches("badexample.com", "example.com"));
    EXPECT_FALSE(HttpCookie::domainMatches("example.com", "www.example.com"));
    EXPECT_FALSE(HttpCookie::domainMatches("1.2.3.4", "2.3.4"));

    EXPECT_TRUE(HttpCookie::pathMatches("/svc", "/svc"));
    EXPECT_TRUE(HttpCookie::pathMatches("/svc/", "/svc"));
    EXPECT_TRUE(HttpCookie::pathMatches("/svc/x", "/svc"));
    EXPECT_FALSE(HttpCookie::pathMatches("/svcx", "/svc"));
    EXPECT_TRUE(HttpCookie::pathMatches("/svc/x", "/svc/"));
    EXPECT_FALSE(HttpCookie::pathMatches("/svc", "/svc/"));
    EXPECT_TRUE(HttpCookie::pathMatches("/anything", "/"));

    EXPECT_EQ(HttpCookie::defaultPath(""), "/");
    EXPECT_EQ(HttpCookie::defaultPath("/"), "/");
    EXPECT_EQ(HttpCookie::defaultPath("/a"), "/");
    EXPECT_EQ(HttpCookie::defaultPath("/a/b/"), "/a/b");
}

TEST_F(CookieStore, SendsHostOnlyAndDomainCookiesWhereTheyBelong) {
    receive("http://example.com/", {"host=1"});
    receive("http://example.com/", {"dom=2; Domain=example.com"});
    EXPECT_EQ(sentTo("http://example.com/x"), "host=1; dom=2");
    EXPECT_EQ(sentTo("http://WWW.Example.com/x"), "dom=2");
    EXPECT_EQ(sentTo("http://badexample.com/"), "");
    EXPECT_EQ(sentTo("http://example.org/"), "");
}

TEST_F(CookieStore, SendsByPathPrefixLongestPathFirst) {
    receive("http://h.com/", {"root=r; Path=/", "svc=s; Path=/service.svc"});
    receive("http://h.com/", {"deep=d; Path=/service.svc/Get"});
    EXPECT_EQ(sentTo("http://h.com/service.svc/GetFoo"), "svc=s; root=r");
    EXPECT_EQ(sentTo("http://h.com/service.svc/Get/x"), "deep=d; svc=s; root=r");
    EXPECT_EQ(sentTo("http://h.com/service.svcx"), "root=r");
    EXPECT_EQ(sentTo("http://h.com"), "root=r");
}

TEST_F(CookieStore, DropsExpiredCookiesAndDeletesOnPastExpiry) {
    receive("http://h.com/",
            {"short=1; Max-Age=10", "long=2; Expires=Fri, 01 Jan 2100 00:00:00 GMT",
             "old=3; Expires=Thu, 01 Jan 2015 00:00:00 GMT"});
    EXPECT_EQ(sentTo("http://h.com/"), "short=1; long=2");
    now += 10;
    EXPECT_EQ(sentTo("http://h.com/"), "long=2");
    ASSERT_EQ(storage.cookies().size(), 1u);
    // Far expiries are held to about 400 days.
    EXPECT_LT(storage.cookies()[0].expiresDate->seconds, now + 401 * 86400.0);
    receive("http://h.com/", {"long=x; Max-Age=0"});
    EXPECT_TRUE(storage.cookies().empty());
}

TEST_F(CookieStore, SendsSecureCookiesOverHttpsOnly) {
    receive("https://h.com/", {"s=1; Secure", "p=2"});
    EXPECT_EQ(sentTo("https://h.com/"), "s=1; p=2");
    EXPECT_EQ(sentTo("http://h.com/"), "p=2");
    // Plain http can neither set nor overwrite a secure cookie.
    receive("http://h.com/", {"s=evil; Secure"});
    EXPECT_EQ(sentTo("https://h.com/"), "s=1; p=2");
}

TEST_F(CookieStore, ReplacesSameNameDomainAndPathKeepingItsPlace) {
    receive("http://h.com/", {"a=1", "b=2"});
    receive("http://h.com/", {"a=3"});
    receive("http://h.com/", {"a=4; Path=/x"});
    EXPECT_EQ(sentTo("http://h.com/"), "a=3; b=2");
    EXPECT_EQ(sentTo("http://h.com/x"), "a=4; a=3; b=2");
    EXPECT_EQ(storage.cookies().size(), 3u);

    storage.deleteCookie(storage.cookiesForURL(url("http://h.com/x")).front());
    EXPECT_EQ(sentTo("http://h.com/x"), "a=3; b=2");
    storage.removeAllCookies();
    EXPECT_TRUE(storage.cookies().empty());
}

TEST_F(CookieStore, KeepsAtMostFiftyCookiesPerDomainDroppingTheOldest) {
    for (int i = 0; i < 52; ++i)
        receive("http://h.com/", {"c" + std::to_string(i) + "=v"});
    receive("http://other.com/", {"x=1"});
    const auto kept = storage.cookiesForURL(url("http://h.com/"));
    ASSERT_EQ(kept.size(), HttpCookieStorage::kMaxCookiesPerDomain);
    EXPECT_EQ(kept.front().name, "c2");
    EXPECT_EQ(sentTo("http://other.com/"), "x=1");
}

TEST_F(CookieStore, SetCookiesForUrlRefusesForeignDomains) {
    HttpCookie mine{.name = "m", .value = "1", .domain = "h.com"};
    HttpCookie foreign{.name = "f", .value = "2", .domain = "other.com"};
    HttpCookie parent{.name = "p", .value = "3", .domain = "h.com", .hostOnly = false};
    storage.setCookies({mine, foreign, parent}, url("http://www.h.com/"));
    EXPECT_EQ(sentTo("http://www.h.com/"), "p=3");
    storage.setCookies({mine}, url("http://h.com/"));
    EXPECT_EQ(sentTo("http://h.com/"), "p=3; m=1");
}

TEST_F(CookieStore, PlainHttpLeavesSecureCookiesAlone) {
    receive("https://h.com/", {"s=1; Secure; HttpOnly; Path=/"});
    // Replace, delete, shadow with a longer path, and reach it from a subdomain: all from http.
    receive("http://h.com/", {"s=evil; Path=/"});
    receive("http://h.com/", {"s=; Max-Age=0; Path=/"});
    receive("http://h.com/", {"s=shadow; Path=/app"});
    receive("http://www.h.com/", {"s=sub; Domain=h.com"});
    receive("http://h.com/", {"other=ok"});
    EXPECT_EQ(sentTo("https://h.com/app/x"), "s=1; other=ok");
    const auto kept = storage.cookiesForURL(url("https://h.com/"));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_TRUE(kept[0].secure);
    EXPECT_TRUE(kept[0].httpOnly);
    // Over https the owner still replaces and deletes it.
    receive("https://h.com/", {"s=2; Secure; Path=/"});
    EXPECT_EQ(sentTo("https://h.com/"), "s=2; other=ok");
    receive("https://h.com/", {"s=; Max-Age=0; Path=/"});
    EXPECT_EQ(sentTo("https://h.com/"), "other=ok");
}

TEST(HttpCookie, RefusesPublicSuffixDomainsAndTrailingDotTricks) {
    const Date now{kNow};
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=org.", url("http://evil.org./"), now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=co.uk", url("http://example.co.uk/"), now));
    EXPECT_FALSE(HttpCookie::parse("a=1; Domain=github.io", url("https://me.github.io/"), now));
    // A public suffix that is the host itself stays host-only.
    auto own = HttpCookie::parse("a=1; Domain=co.uk", url("http://co.uk/"), now);
    ASSERT_TRUE(own);
    EXPECT_TRUE(own->hostOnly);
    // A Domain attribute ending in a dot is refused, whatever the host.
    for (const char* host : {"http://www.example.co.uk/", "http://www.example.co.uk./"}) {
        for (const char* attribute :
             {"Domain=example.co.uk.", "Domain=.example.co.uk.", "Domain=."})
            EXPECT_FALSE(HttpCookie::parse(std::string("a=1; ") + attribute, url(host), now))
                << attribute << " from " << host;
    }
    // An ordinary registered domain, with or without a leading dot, covers its subdomains.
    for (const char* attribute : {"Domain=example.co.uk", "Domain=.Example.co.uk"}) {
        auto cookie = HttpCookie::parse(std::string("a=1; ") + attribute,
                                        url("http://www.example.co.uk./"), now);
        ASSERT_TRUE(cookie) << attribute;
        EXPECT_EQ(cookie->domain, "example.co.uk");
        EXPECT_FALSE(cookie->hostOnly);
        EXPECT_TRUE(cookie->matchesUrl(url("http://shop.example.co.uk./")));
        EXPECT_TRUE(cookie->matchesUrl(url("http://example.co.uk/")));
    }
}

TEST_F(CookieStore, BoundsCookieSizeAndCount) {
    // The whole field counts: a long Path is refused like a long value.
    const std::string field = "a=1; Path=/";
    receive("http://h.com/", {field + std::string(4096 - field.size(), 'p')});
    EXPECT_EQ(storage.cookies().size(), 1u);
    receive("http://h.com/", {field + std::string(4097 - field.size(), 'q')});
    receive("http://h.com/", {"b=" + std::string(4095, 'v')});
    EXPECT_EQ(storage.cookies().size(), 1u);

    storage.removeAllCookies();
    for (int domain = 0; domain < 62; ++domain) {
        for (int i = 0; i < 50; ++i) {
            receive("http://d" + std::to_string(domain) + ".com/",
                    {"c" + std::to_string(i) + "=v"});
        }
    }
    EXPECT_EQ(storage.cookies().size(), HttpCookieStorage::kMaxCookies);
    EXPECT_EQ(sentTo("http://d0.com/"), "");  // the oldest domains went first
    EXPECT_EQ(storage.cookiesForURL(url("http://d61.com/")).size(), 50u);
    EXPECT_EQ(storage.cookiesForURL(url("http://d2.com/")).size(), 50u);
}

TEST_F(CookieStore, MatchesThePathAfterDotSegmentsAreRemoved) {
    receive("http://h.com/", {"f=1; Path=/foo"});
    EXPECT_EQ(sentTo("http://h.com/foo/../admin"), "");
    EXPECT_EQ(sentTo("http://h.com/foo/./x/../"), "f=1");
    EXPECT_EQ(sentTo("http://h.com/bar/../foo/x"), "f=1");
    EXPECT_EQ(Url::removeDotSegments("/a/b/c/./../../g"), "/a/g");
    EXPECT_EQ(Url::removeDotSegments("mid/content=5/../6"), "mid/6");
    EXPECT_EQ(Url::removeDotSegments("/../../x/.."), "/");
    EXPECT_EQ(Url::removeDotSegments("/a/.."), "/");
    EXPECT_EQ(Url::removeDotSegments("/a//b/."), "/a//b/");
}
