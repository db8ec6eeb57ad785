#pragma once
// Internal helpers shared by the property-list readers and writer: the parse failure they throw
// (caught and turned into a plat::Error at the public entry point), calendar arithmetic for
// dates, and UTF-8 / UTF-16 handling. Not for use outside the property-list code.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plat::plist {

// Seconds from 1970-01-01 to 2001-01-01, the epoch of binary property-list dates.
inline constexpr double kSecondsFrom1970To2001 = 978307200.0;

class ParseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail(const std::string& message) {
    throw ParseError(message);
}

// Proleptic Gregorian calendar <-> days since 1970-01-01.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);
unsigned daysInMonth(int64_t year, unsigned month);

bool isValidUtf8(std::string_view text);
void appendUtf8(std::string& out, uint32_t codePoint);
// UTF-16 (given byte order) to UTF-8; nothing for an odd byte count or a lone surrogate.
std::optional<std::string> utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian);
// Latin-1 bytes to UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

}  // namespace plat::plist
