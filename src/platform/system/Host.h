#pragma once
// Facts about the machine: the page size and the free-memory figure (free pages times the page
// size). The figure is kept as a 64-bit byte count; callers with a narrower interface saturate.
#include <cstdint>
#include <optional>
#include <string_view>

namespace plat {

class Host {
  public:
    static uint64_t pageSize();
    // Free memory in bytes: "MemFree" of /proc/meminfo, else sysinfo(); nothing when neither
    // can be read.
    static std::optional<uint64_t> freeMemoryBytes();
    // The "MemFree:" line of a /proc/meminfo text, in bytes; nothing when absent or malformed.
    static std::optional<uint64_t> parseMemFree(std::string_view meminfo);
};

}  // namespace plat
