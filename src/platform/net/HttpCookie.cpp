#include "platform/net/HttpCookie.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/net/NetText.h"
#include "platform/net/PublicSuffix.h"

namespace plat {
namespace {

using net_text::asciiLowercase;
using net_text::equalsIgnoringCase;
using net_text::isDigit;
using net_text::trim;

// A cookie whose name, value and attributes together are longer than this is refused, as
// browsers do (RFC 6265 asks for at least 4096).
constexpr size_t kMaxCookieSize = 4096;
// Max-Age and Expires are clamped to this many seconds from now (about 400 days, as browsers do).
constexpr double kMaxLifetime = 400.0 * 24 * 3600;

bool isCookieDateDelimiter(unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2f) || (c >= 0x3b && c <= 0x40) ||
           (c >= 0x5b && c <= 0x60) || (c >= 0x7b && c <= 0x7e);
}

// Reads 1..maxDigits digits at the start; the digits must be followed by the end or a non-digit.
std::optional<int> leadingNumber(std::string_view token, size_t minDigits, size_t maxDigits,
                                 size_t* used = nullptr) {
    size_t n = 0;
    while (n < token.size() && isDigit(token[n]))
        ++n;
    if (n < minDigits || n > maxDigits)
        return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < n; ++i)
        value = value * 10 + (token[i] - '0');
    if (used)
        *used = n;
    return value;
}

bool parseTime(std::string_view token, int& h, int& m, int& s) {
    size_t used = 0;
    auto hour = leadingNumber(token, 1, 2, &used);
    if (!hour || used >= token.size() || token[used] != ':')
        return false;
    token.remove_prefix(used + 1);
    auto minute = leadingNumber(token, 1, 2, &used);
    if (!minute || used >= token.size() || token[used] != ':')
        return false;
    token.remove_prefix(used + 1);
    auto second = leadingNumber(token, 1, 2, &used);
    if (!second)
        return false;
    h = *hour;
    m = *minute;
    s = *second;
    return true;
}

// 1..12 for a token that begins with an English month abbreviation.
std::optional<int> monthNumber(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return std::nullopt;
    for (size_t i = 0; i < kMonths.size(); ++i) {
        if (equalsIgnoringCase(token.substr(0, 3), kMonths[i]))
            return static_cast<int>(i) + 1;
    }
    return std::nullopt;
}

int64_t cookieDaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int cookieDaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

bool isIpAddress(std::string_view host) {
    if (host.find(':') != std::string_view::npos)
        return true;  // IPv6
    if (host.empty())
        return false;
    return std::all_of(host.begin(), host.end(), [](char c) { return isDigit(c) || c == '.'; });
}

// The path a request is matched with: the URL's path as the server sees it (dot segments
// removed), or "/" when it has none.
std::string requestPath(const Url& url) {
    std::string path = Url::removeDotSegments(url.path());
    return path.empty() ? std::string("/") : path;
}

}  // namespace

std::string HttpCookie::canonicalName(std::string_view name) {
    // "Example.org." and "example.org" are the same name.
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    return asciiLowercase(name);
}

bool HttpCookie::isSameCookie(const HttpCookie& other) const {
    return name == other.name && domain == other.domain && path == other.path;
}

bool HttpCookie::matchesUrl(const Url& url) const {
    const std::string host = canonicalName(url.host());
    if (hostOnly ? host != domain : !domainMatches(host, domain))
        return false;
    if (!pathMatches(requestPath(url), path))
        return false;
    return !secure || url.isHttps();
}

std::optional<Date> HttpCookie::parseCookieDate(std::string_view text) {
    std::optional<int> day, month, year;
    bool haveTime = false;
    int hour = 0, minute = 0, second = 0;

    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isCookieDateDelimiter(static_cast<unsigned char>(text[pos]))) {
            ++pos;
        }
        size_t end = pos;
        while (end < text.size() && !isCookieDateDelimiter(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        const std::string_view token = text.substr(pos, end - pos);
        pos = end;
        if (token.empty())
            continue;

        int h = 0, m = 0, s = 0;
        if (!haveTime && parseTime(token, h, m, s)) {
            haveTime = true;
            hour = h;
            minute = m;
            second = s;
        } else if (!day && leadingNumber(token, 1, 2)) {
            day = leadingNumber(token, 1, 2);
        } else if (!month && monthNumber(token)) {
            month = monthNumber(token);
        } else if (!year && leadingNumber(token, 2, 4)) {
            year = leadingNumber(token, 2, 4);
        }
    }
    if (!day || !month || !year || !haveTime)
        return std::nullopt;
    int y = *year;
    if (y >= 70 && y <= 99)
        y += 1900;
    if (y >= 0 && y <= 69)
        y += 2000;
    if (*day < 1 || *day > cookieDaysInMonth(y, *month) || y < 1601 || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    const int64_t days =
        cookieDaysFromCivil(y, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
    return Date{static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second)};
}

bool HttpCookie::domainMatches(std::string_view host, std::string_view domain) {
    if (host == domain)
        return true;
    return !domain.empty() && host.size() > domain.size() &&
           host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.' && !isIpAddress(host);
}

bool HttpCookie::pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath)
        return true;
    if (cookiePath.empty() || requestPath.substr(0, cookiePath.size()) != cookiePath)
        return false;
    return cookiePath.back() == '/' ||
           (requestPath.size() > cookiePath.size() && requestPath[cookiePath.size()] == '/');
}

std::string HttpCookie::defaultPath(std::string_view path) {
    if (path.empty() || path.front() != '/')
        return "/";
    const size_t lastSlash = path.rfind('/');
    if (lastSlash == 0)
        return "/";
    return std::string(path.substr(0, lastSlash));
}

std::optional<HttpCookie> HttpCookie::parse(std::string_view setCookie, const Url& url, Date now) {
    if (!url.isValid() || url.host().empty() || setCookie.size() > kMaxCookieSize)
        return std::nullopt;
    const size_t firstSemicolon = setCookie.find(';');
    const std::string_view pair = setCookie.substr(0, firstSemicolon);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;

    HttpCookie cookie;
    cookie.name = std::string(trim(pair.substr(0, eq)));
    cookie.value = std::string(trim(pair.substr(eq + 1)));
    if (cookie.name.empty())
        return std::nullopt;
    // Control characters would corrupt the Cookie header they are sent back in.
    auto hasControl = [](std::string_view s) {
        return std::any_of(s.begin(), s.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        });
    };
    if (hasControl(cookie.name) || hasControl(cookie.value))
        return std::nullopt;

    std::optional<double> maxAge;
    std::optional<Date> expires;
    std::optional<std::string> domainAttribute;
    std::optional<std::string> pathAttribute;

    std::string_view attributes = firstSemicolon == std::string_view::npos
                                      ? std::string_view()
                                      : setCookie.substr(firstSemicolon);
    while (!attributes.empty()) {
        attributes.remove_prefix(1);  // the ";"
        const size_t next = attributes.find(';');
        const std::string_view attribute = attributes.substr(0, next);
        attributes = next == std::string_view::npos ? std::string_view() : attributes.substr(next);

        const size_t attrEq = attribute.find('=');
        const std::string_view key = trim(attribute.substr(0, attrEq));
        const std::string_view value = attrEq == std::string_view::npos
                                           ? std::string_view()
                                           : trim(attribute.substr(attrEq + 1));

        if (equalsIgnoringCase(key, "Expires")) {
            if (auto date = parseCookieDate(value))
                expires = date;
        } else if (equalsIgnoringCase(key, "Max-Age")) {
            const bool negative = !value.empty() && value.front() == '-';
            const std::string_view digits = negative ? value.substr(1) : value;
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
                continue;
            double seconds = 0;
            for (char c : digits)
                seconds = std::min(seconds * 10 + (c - '0'), kMaxLifetime);
            maxAge = negative ? -seconds : seconds;
        } else if (equalsIgnoringCase(key, "Domain")) {
            if (value.empty())
                continue;
            // "example.org." names no registered domain a host could match: the cookie is
            // refused, not widened to "example.org" (a host's own trailing dot is still dropped).
            if (value.back() == '.')
                return std::nullopt;
            std::string_view domain = value;
            if (domain.front() == '.')
                domain.remove_prefix(1);
            domainAttribute = canonicalName(domain);
        } else if (equalsIgnoringCase(key, "Path")) {
            if (value.empty() || value.front() != '/') {
                pathAttribute.reset();
            } else {
                pathAttribute = std::string(value);
            }
        } else if (equalsIgnoringCase(key, "Secure")) {
            cookie.secure = true;
        } else if (equalsIgnoringCase(key, "HttpOnly")) {
            cookie.httpOnly = true;
        }
    }

    if (maxAge) {
        cookie.expiresDate =
            Date{*maxAge <= 0 ? -std::numeric_limits<double>::infinity() : now.seconds + *maxAge};
    } else if (expires) {
        cookie.expiresDate = Date{std::min(expires->seconds, now.seconds + kMaxLifetime)};
    }

    const std::string host = canonicalName(url.host());
    if (domainAttribute && !domainAttribute->empty()) {
        // A public suffix ("com", "co.uk", "github.io", a bare "localhost") is acceptable only as
        // the host itself, and then host-only.
        const bool publicSuffix = public_suffix::isPublicSuffix(*domainAttribute);
        if (publicSuffix && *domainAttribute != host)
            return std::nullopt;
        if (!domainMatches(host, *domainAttribute))
            return std::nullopt;
        cookie.domain = publicSuffix ? host : *domainAttribute;
        cookie.hostOnly = publicSuffix;
    } else {
        cookie.domain = host;
        cookie.hostOnly = true;
    }
    cookie.path = pathAttribute ? *pathAttribute : defaultPath(Url::removeDotSegments(url.path()));
    // A plain http answer may not set (or overwrite) a Secure cookie.
    if (cookie.secure && !url.isHttps())
        return std::nullopt;
    return cookie;
}

std::vector<HttpCookie> HttpCookie::cookiesWithResponseHeaderFields(const HttpHeaderFields& fields,
                                                                    const Url& url, Date now) {
    std::vector<HttpCookie> cookies;
    for (const auto& line : fields.values("Set-Cookie")) {
        if (auto cookie = parse(line, url, now))
            cookies.push_back(std::move(*cookie));
    }
    return cookies;
}

std::string HttpCookie::cookieHeaderValue(const std::vector<HttpCookie>& cookies) {
    std::string header;
    for (const auto& cookie : cookies) {
        if (!header.empty())
            header += "; ";
        header += cookie.name;
        header += '=';
        header += cookie.value;
    }
    return header;
}

}  // namespace plat
