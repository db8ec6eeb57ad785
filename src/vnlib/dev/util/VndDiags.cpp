#include "vnlib/dev/util/VndDiags.h"

#include <atomic>
#include <memory>
#include <set>

#include "platform/core/Collections.h"
#include "platform/storage/InfoDictionary.h"

namespace {

using Registry = std::set<std::string, std::less<>>;

std::shared_ptr<const Registry> buildRegistry() {
    auto enabled = std::make_shared<Registry>(Registry{"General", "System"});
    auto map = plat::InfoDictionary::objectForKey("VndTraceEnabledGroupMap").dictionary();
    if (map) {
        map->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
            const std::string name = key.description();
            if (value.boolValue()) {
                enabled->insert(name);
            } else {
                enabled->erase(name);
            }
            return true;
        });
    }
    return enabled;
}

std::atomic<std::shared_ptr<const Registry>>& registrySlot() {
    static std::atomic<std::shared_ptr<const Registry>> slot;
    return slot;
}

std::shared_ptr<const Registry> registry() {
    auto current = registrySlot().load();
    if (!current) {
        VndDiags::initialize();
        current = registrySlot().load();
    }
    return current;
}

}  // namespace

void VndDiags::initialize() {
    static const bool installed = [] {
        std::shared_ptr<const Registry> expected;
        registrySlot().compare_exchange_strong(expected, buildRegistry());
        plat::setTraceSwitch(&VndDiags::traceEnabledForGroup);
        return true;
    }();
    (void)installed;
}

void VndDiags::reloadFromInfoDictionary() {
    initialize();
    registrySlot().store(buildRegistry());
    plat::setTraceSwitch(&VndDiags::traceEnabledForGroup);
}

bool VndDiags::traceEnabledForGroup(std::string_view group) {
    return registry()->count(group) > 0;
}

bool VndTraceEnabledForGroup(std::string_view group) {
    return VndDiags::traceEnabledForGroup(group);
}
