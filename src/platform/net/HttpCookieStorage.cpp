#include "platform/net/HttpCookieStorage.h"

#include <algorithm>

namespace plat {

HttpCookieStorage::HttpCookieStorage(Clock now) : clock_(std::move(now)) {}

HttpCookieStorage& HttpCookieStorage::shared() {
    static HttpCookieStorage storage;
    return storage;
}

Date HttpCookieStorage::now() const {
    return clock_ ? clock_() : Date::now();
}

std::vector<HttpCookie> HttpCookieStorage::cookies() const {
    const Date current = now();
    std::lock_guard lock(mutex_);
    purgeExpiredLocked(current);
    std::vector<HttpCookie> out;
    out.reserve(entries_.size());
    for (const auto& entry : entries_)
        out.push_back(entry.cookie);
    return out;
}

std::vector<HttpCookie> HttpCookieStorage::cookiesForURL(const Url& url) const {
    const Date current = now();
    std::vector<const Entry*> matches;
    std::lock_guard lock(mutex_);
    purgeExpiredLocked(current);
    for (const auto& entry : entries_) {
        if (entry.cookie.matchesUrl(url))
            matches.push_back(&entry);
    }
    std::stable_sort(matches.begin(), matches.end(), [](const Entry* a, const Entry* b) {
        if (a->cookie.path.size() != b->cookie.path.size()) {
            return a->cookie.path.size() > b->cookie.path.size();
        }
        return a->order < b->order;
    });
    std::vector<HttpCookie> out;
    out.reserve(matches.size());
    for (const Entry* entry : matches)
        out.push_back(entry->cookie);
    return out;
}

std::optional<std::string> HttpCookieStorage::cookieHeaderForURL(const Url& url) const {
    const auto matching = cookiesForURL(url);
    if (matching.empty())
        return std::nullopt;
    return HttpCookie::cookieHeaderValue(matching);
}

void HttpCookieStorage::setCookie(const HttpCookie& cookie) {
    const Date current = now();
    std::lock_guard lock(mutex_);
    storeLocked(cookie, current, true);
}

void HttpCookieStorage::setCookies(const std::vector<HttpCookie>& cookies, const Url& url) {
    const std::string host = HttpCookie::canonicalName(url.host());
    const Date current = now();
    std::lock_guard lock(mutex_);
    for (const auto& cookie : cookies) {
        const bool allowed = cookie.hostOnly ? cookie.domain == host
                                             : HttpCookie::domainMatches(host, cookie.domain);
        if (allowed)
            storeLocked(cookie, current, url.isHttps());
    }
}

void HttpCookieStorage::setCookiesFromResponseHeaderFields(const HttpHeaderFields& fields,
                                                           const Url& url) {
    const Date current = now();
    const auto received = HttpCookie::cookiesWithResponseHeaderFields(fields, url, current);
    if (received.empty())
        return;
    std::lock_guard lock(mutex_);
    for (const auto& cookie : received)
        storeLocked(cookie, current, url.isHttps());
}

void HttpCookieStorage::deleteCookie(const HttpCookie& cookie) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.cookie.isSameCookie(cookie); });
}

void HttpCookieStorage::deleteCookieIfUnchanged(const HttpCookie& cookie) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) {
        return e.cookie.isSameCookie(cookie) && e.cookie.value == cookie.value;
    });
}

void HttpCookieStorage::removeAllCookies() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

bool HttpCookieStorage::shadowsSecureCookieLocked(const HttpCookie& cookie) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
        const HttpCookie& stored = e.cookie;
        return stored.secure && stored.name == cookie.name &&
               (HttpCookie::domainMatches(stored.domain, cookie.domain) ||
                HttpCookie::domainMatches(cookie.domain, stored.domain)) &&
               HttpCookie::pathMatches(cookie.path, stored.path);
    });
}

void HttpCookieStorage::storeLocked(const HttpCookie& cookie, Date current, bool fromSecureOrigin) {
    // A plain http reply may not replace, delete or shadow a Secure cookie (RFC 6265bis: "leave
    // secure cookies alone").
    if (!fromSecureOrigin && !cookie.secure && shadowsSecureCookieLocked(cookie))
        return;
    auto existing = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.cookie.isSameCookie(cookie); });
    if (cookie.isExpired(current)) {
        if (existing != entries_.end())
            entries_.erase(existing);
        return;
    }
    if (existing != entries_.end()) {
        existing->cookie = cookie;
        return;
    }
    entries_.push_back({cookie, nextOrder_++});
    purgeExpiredLocked(current);
    const auto inDomain = [&](const Entry& e) { return e.cookie.domain == cookie.domain; };
    while (static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), inDomain)) >
           kMaxCookiesPerDomain) {
        // Entries are kept in creation order, so the first one of the domain is the oldest.
        entries_.erase(std::find_if(entries_.begin(), entries_.end(), inDomain));
    }
    if (entries_.size() > kMaxCookies)
        entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(
                                                                entries_.size() - kMaxCookies));
}

void HttpCookieStorage::purgeExpiredLocked(Date current) const {
    std::erase_if(entries_, [&](const Entry& e) { return e.cookie.isExpired(current); });
}

}  // namespace plat
