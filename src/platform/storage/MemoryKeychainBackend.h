#pragma once
// A keychain backend that keeps its items in memory only: for unit tests.
#include <mutex>
#include <vector>

#include "platform/storage/KeychainBackend.h"

namespace plat {

class MemoryKeychainBackend : public KeychainBackend {
  public:
    const char* name() const override { return "memory"; }
    OSStatus find(const KeychainFilter& filter, std::vector<KeychainItem>& out) override;
    OSStatus apply(const std::vector<KeychainItemKey>& remove,
                   const std::vector<KeychainItem>& store) override;

  private:
    std::mutex mutex_;
    std::vector<KeychainItem> items_;
};

}  // namespace plat
