#include "platform/storage/MemoryKeychainBackend.h"

#include <algorithm>

namespace plat {

OSStatus MemoryKeychainBackend::find(const KeychainFilter&, std::vector<KeychainItem>& out) {
    std::lock_guard lock(mutex_);
    out.insert(out.end(), items_.begin(), items_.end());
    return 0;
}

OSStatus MemoryKeychainBackend::apply(const std::vector<KeychainItemKey>& remove,
                                      const std::vector<KeychainItem>& store) {
    std::lock_guard lock(mutex_);
    auto drop = [&](const KeychainItemKey& key) {
        std::erase_if(items_, [&](const KeychainItem& item) { return item.key == key; });
    };
    for (const auto& key : remove)
        drop(key);
    for (const auto& item : store) {
        drop(item.key);
        items_.push_back(item);
    }
    return 0;
}

}  // namespace plat
