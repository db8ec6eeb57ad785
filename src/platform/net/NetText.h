#pragma once
// Small ASCII text helpers shared by the networking classes (header names, cookie attributes,
// URL schemes and hosts are all case-insensitive ASCII).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace plat::net_text {

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline std::string asciiLowercase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

inline bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Without leading and trailing spaces, tabs, CR and LF.
inline std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A character of an HTTP token (field names, methods, authentication schemes).
inline bool isTokenChar(char c) {
    constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) ||
           kSymbols.find(c) != std::string_view::npos;
}

// Whether a Content-Length value names a length a body can have: read by the C library's base-0
// rule (as the request engine reads it), it must not overflow nor pass 2^63 - 1.
inline bool isUsableContentLength(std::string_view value) {
    const std::string text(trim(value));
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return false;
    errno = 0;
    const unsigned long long n = std::strtoull(text.c_str(), nullptr, 0);
    return errno != ERANGE && n <= static_cast<unsigned long long>(INT64_MAX);
}

}  // namespace plat::net_text
