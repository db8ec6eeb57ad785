#pragma once
// A keychain backend that keeps its items in one property-list file, readable by the user only
// (mode 0600, in a 0700 folder), rewritten atomically on every change under an advisory lock so
// that two running copies of the program do not lose each other's changes. A file that cannot be
// read is never overwritten: every call then fails with errSecDecode.
#include <filesystem>
#include <mutex>

#include "platform/storage/KeychainBackend.h"

namespace plat {

class FileKeychainBackend : public KeychainBackend {
  public:
    explicit FileKeychainBackend(std::filesystem::path file);
    // applicationDataDirectory()/Keychain/Keychain.plist for the current environment.
    static std::filesystem::path standardFilePath();

    const char* name() const override { return "file"; }
    OSStatus find(const KeychainFilter& filter, std::vector<KeychainItem>& out) override;
    OSStatus apply(const std::vector<KeychainItemKey>& remove,
                   const std::vector<KeychainItem>& store) override;

    const std::filesystem::path& filePath() const { return file_; }

  private:
    OSStatus load(std::vector<KeychainItem>& items) const;

    std::filesystem::path file_;
    std::mutex mutex_;
};

}  // namespace plat
