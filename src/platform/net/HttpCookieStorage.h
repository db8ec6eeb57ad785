#pragma once
// plat::HttpCookieStorage: a cookie jar. One process-wide instance (shared()) is used by every URL
// connection whose request handles cookies; separate instances serve tests. It keeps cookies in
// memory by RFC 6265: a newer cookie replaces one of the same name, domain and path, expired
// cookies are dropped, and at most 50 cookies are kept per domain and 3,000 in all (the oldest go
// first). A plain http reply never replaces, deletes or shadows a Secure cookie. Thread-safe.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/HttpCookie.h"

namespace plat {

class HttpCookieStorage {
  public:
    using Clock = std::function<Date()>;

    static constexpr size_t kMaxCookiesPerDomain = 50;
    static constexpr size_t kMaxCookies = 3000;

    // A store whose notion of "now" comes from the clock (the system time when empty).
    explicit HttpCookieStorage(Clock now = {});
    HttpCookieStorage(const HttpCookieStorage&) = delete;
    HttpCookieStorage& operator=(const HttpCookieStorage&) = delete;

    // The process-wide store.
    static HttpCookieStorage& shared();

    // Every unexpired cookie, oldest first.
    std::vector<HttpCookie> cookies() const;
    // The unexpired cookies to send with a request for the URL: longer paths first, then older
    // cookies first.
    std::vector<HttpCookie> cookiesForURL(const Url& url) const;
    // The Cookie header value for the URL; nothing when no cookie matches.
    std::optional<std::string> cookieHeaderForURL(const Url& url) const;

    // Stores a cookie as it is (an expired one removes its stored twin).
    void setCookie(const HttpCookie& cookie);
    // Stores the cookies that the URL's host may set (the domain of each must cover the host);
    // from a plain http URL, none that would touch a stored Secure cookie.
    void setCookies(const std::vector<HttpCookie>& cookies, const Url& url);
    // Stores the cookies of a response's Set-Cookie fields.
    void setCookiesFromResponseHeaderFields(const HttpHeaderFields& fields, const Url& url);
    // Removes the stored cookie with the same name, domain and path.
    void deleteCookie(const HttpCookie& cookie);
    // The same, only while the stored cookie still has the given one's value: a cookie that was
    // set again meanwhile stays.
    void deleteCookieIfUnchanged(const HttpCookie& cookie);
    void removeAllCookies();

    Date now() const;

  private:
    struct Entry {
        HttpCookie cookie;
        uint64_t order;  // creation order; a replacement keeps the one it replaces
    };
    void storeLocked(const HttpCookie& cookie, Date now, bool fromSecureOrigin);
    bool shadowsSecureCookieLocked(const HttpCookie& cookie) const;
    void purgeExpiredLocked(Date now) const;

    Clock clock_;
    mutable std::mutex mutex_;
    mutable std::vector<Entry> entries_;
    uint64_t nextOrder_ = 0;
};

}  // namespace plat
