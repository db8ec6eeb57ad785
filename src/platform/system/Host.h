#pragma once
// Facts about the machine: the page size and the free-memory figure (free pages times the page
// size). The figure is kept as a 64-bit byte count; callers with a narrower interface saturate.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class Host {
  public:
    static uint64_t pageSize();
    // Free memory in bytes: "MemFree" of /proc/meminfo, else sysinfo(); nothing when neither
    // can be read.
    static std::optional<uint64_t> freeMemoryBytes();
    // The "MemFree:" line of a /proc/meminfo text, in bytes; nothing when absent or malformed.
    static std::optional<uint64_t> parseMemFree(std::string_view meminfo);
    // The running kernel's version as three numbers ("6.1.0" of "6.1.0-18-amd64"); nothing
    // when it cannot be read.
    static std::optional<std::array<unsigned, 3>> systemVersion();
    static std::optional<std::array<unsigned, 3>> parseSystemVersion(std::string_view release);
    // The user's locale as "th_TH", from LC_ALL, LC_MESSAGES or LANG (encoding and modifier
    // dropped); "en_US" for the C and POSIX locales or none.
    static std::string localeIdentifier();
    // The user's languages in order of preference, as "th-TH", "en": LANGUAGE's colon-separated
    // list, then LC_ALL, LC_MESSAGES, LANG (duplicates and the C locale dropped); "en" when none.
    static std::vector<std::string> preferredLanguages();
};

}  // namespace plat
