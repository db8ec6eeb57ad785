#include "vnlib/dev/util/VndUtils.h"

#include <algorithm>

#include "platform/core/Log.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/system/Host.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

uint32_t VndUtils::freeMemorySize() {
    const auto bytes = plat::Host::freeMemoryBytes();
    if (!bytes) {
        VND_TRACE("Error", "Failed to fetch vm statistics");
        return 0;
    }
    // Saturated rather than cut to the low 32 bits, so that plenty of memory never reads as little.
    return static_cast<uint32_t>(std::min<uint64_t>(*bytes, UINT32_MAX));
}

void VndUtils::traceFreeMemorySize() {
    VND_TRACE("Performance", "Current free memory: %f Mbytes", freeMemorySize() / 1048576.0);
}

std::optional<std::string> VndUtils::bundleVersion() {
    plat::Value v = plat::InfoDictionary::objectForKey("CFBundleVersion");
    if (const std::string* s = v.string())
        return *s;
    return std::nullopt;
}

Ref<plat::Dictionary> VndUtils::flagDictionary() {
    if (auto flags = plat::InfoDictionary::objectForKey("Flags").dictionary())
        return flags;
    return plat::makeDictionary({});
}

bool VndUtils::hasFlagWithName(const std::string& name) {
    return boolForKey(*flagDictionary(), name, false);
}
