#pragma once
// plat::HttpCookie: one HTTP cookie, made from a Set-Cookie field by the rules of RFC 6265
// (Domain, Path, Expires, Max-Age, Secure, HttpOnly), with the domain and path matching that
// decides where it is sent, and the Cookie header text for a set of cookies.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Value.h"
#include "platform/net/HttpHeaderFields.h"
#include "platform/net/Url.h"

namespace plat {

struct HttpCookie {
    std::string name;
    std::string value;
    // Lower case, without a leading or trailing ".". With hostOnly the cookie goes to this host
    // only, otherwise also to its subdomains.
    std::string domain;
    bool hostOnly = true;
    std::string path = "/";
    // Nothing for a session cookie.
    std::optional<Date> expiresDate;
    bool secure = false;
    bool httpOnly = false;

    bool isSessionOnly() const { return !expiresDate.has_value(); }
    bool isExpired(Date now) const { return expiresDate && *expiresDate <= now; }
    // Same name, domain and path: a stored cookie that the other one replaces.
    bool isSameCookie(const HttpCookie& other) const;

    // Whether the cookie is to be sent with a request for the URL (domain, path without dot
    // segments, and Secure; not expiry).
    bool matchesUrl(const Url& url) const;

    // The cookie of one Set-Cookie field value received from the URL, or nothing when it must be
    // ignored: no "=" or no name, a Domain that does not cover the URL's host (or is a public
    // suffix such as "com" or "co.uk"), a Secure cookie from a plain http URL, or a cookie whose
    // field is longer than 4096 bytes.
    static std::optional<HttpCookie> parse(std::string_view setCookie, const Url& url, Date now);
    // The cookies of every Set-Cookie field of a response.
    static std::vector<HttpCookie> cookiesWithResponseHeaderFields(const HttpHeaderFields& fields,
                                                                   const Url& url, Date now);
    // "name=value; name2=value2", or empty for no cookies.
    static std::string cookieHeaderValue(const std::vector<HttpCookie>& cookies);

    // A host or domain as cookies compare it: lower case, without one trailing dot.
    static std::string canonicalName(std::string_view name);
    // RFC 6265 section 5.1.1 date parsing; nothing when the text is not a cookie date.
    static std::optional<Date> parseCookieDate(std::string_view text);
    // Domain matching of section 5.1.3 (both in lower case).
    static bool domainMatches(std::string_view host, std::string_view domain);
    // Path matching of section 5.1.4.
    static bool pathMatches(std::string_view requestPath, std::string_view cookiePath);
    // The default path of section 5.1.4 for a request path.
    static std::string defaultPath(std::string_view requestPath);
};

}  // namespace plat
