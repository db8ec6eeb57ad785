#pragma once
// Facts about the machine: the page size and the free-memory figure (free pages times the page
// size), the kernel's version, the user's locale and languages, and the network interfaces with
// their hardware addresses. The memory figure is kept as a 64-bit byte count; callers with a
// narrower interface saturate.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class Host {
  public:
    // A network interface and its link-level address (six bytes for Ethernet and Wi-Fi; empty
    // when it has none).
    struct NetworkInterface {
        std::string name;
        std::vector<uint8_t> hardwareAddress;
        bool loopback = false;
    };
    using NetworkInterfaceSource = std::function<std::vector<NetworkInterface>()>;

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

    // The machine's network interfaces, sorted by name: the kernel's list unless a source was
    // set (tests give their own); null restores the kernel's.
    static std::vector<NetworkInterface> networkInterfaces();
    static void setNetworkInterfaceSource(NetworkInterfaceSource source);
    // The interface's six-byte hardware address; nothing when there is no such interface or its
    // address is not six bytes.
    static std::optional<std::array<uint8_t, 6>> hardwareAddress(std::string_view interfaceName);
};

}  // namespace plat
