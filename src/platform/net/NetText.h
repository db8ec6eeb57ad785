#pragma once
// Small ASCII text helpers shared by the networking classes (header names, cookie attributes,
// URL schemes and hosts are all case-insensitive ASCII).
#include <algorithm>
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

}  // namespace plat::net_text
