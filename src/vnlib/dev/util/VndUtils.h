#pragma once
// Class operations of the developer utilities: free memory, the bundle version, build flags;
// and two small helpers, NSStringFromInt and releaseVars.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Collections.h"

class VndUtils {
  public:
    // Free memory in bytes, saturated at the 32-bit maximum; 0 when the host cannot tell.
    static uint32_t freeMemorySize();
    // Logs "Current free memory: %f Mbytes" in group "Performance".
    static void traceFreeMemorySize();
    // "CFBundleVersion" of the information dictionary; nothing when absent.
    static std::optional<std::string> bundleVersion();
    // "Flags" of the information dictionary, or an empty dictionary.
    static Ref<plat::Dictionary> flagDictionary();
    static bool hasFlagWithName(const std::string& name);
};

inline std::string NSStringFromInt(int32_t value) {
    return std::to_string(value);
}

// Releases each referenced object and leaves the reference empty.
template <class... T>
void releaseVars(Ref<T>&... references) {
    (references.reset(), ...);
}
