#pragma once
// The storage behind plat::Keychain: a backend keeps generic-password items and knows nothing of
// queries; the keychain front end does all matching and status rules. Three backends exist:
// MemoryKeychainBackend (tests), FileKeychainBackend (a 0600 file) and
// SecretServiceKeychainBackend (the freedesktop Secret Service through libsecret).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Value.h"

namespace plat {

using OSStatus = int32_t;

// Result codes of the keychain calls.
inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecUnimplemented = -4;
inline constexpr OSStatus errSecIO = -36;
inline constexpr OSStatus errSecParam = -50;
inline constexpr OSStatus errSecNotAvailable = -25291;
inline constexpr OSStatus errSecAuthFailed = -25293;
inline constexpr OSStatus errSecDuplicateItem = -25299;
inline constexpr OSStatus errSecItemNotFound = -25300;
inline constexpr OSStatus errSecInteractionNotAllowed = -25308;
inline constexpr OSStatus errSecDecode = -26275;

// An item's identity: no two items share account, service and access group (an absent
// attribute counts as the empty text).
struct KeychainItemKey {
    std::string account;
    std::string service;
    std::string accessGroup;
    bool operator==(const KeychainItemKey&) const = default;
};

struct KeychainItem {
    KeychainItemKey key;
    std::optional<std::string> label;
    std::optional<std::string> description;
    std::optional<std::string> accessible;
    Value generic;  // nil, a string or data
    Bytes secret;
};

// What a backend must at least return from find: every item whose identity agrees with the
// fields that are set. A backend may return more; the front end filters again.
struct KeychainFilter {
    std::optional<std::string> account;
    std::optional<std::string> service;
    std::optional<std::string> accessGroup;
};

class KeychainBackend {
  public:
    virtual ~KeychainBackend() = default;
    virtual const char* name() const = 0;
    // Appends the items that may match; answers 0 or a negative status.
    virtual OSStatus find(const KeychainFilter& filter, std::vector<KeychainItem>& out) = 0;
    // Removes the items with the given identities, then stores the given items (replacing any
    // with the same identity), as one change where the store allows it.
    virtual OSStatus apply(const std::vector<KeychainItemKey>& remove,
                           const std::vector<KeychainItem>& store) = 0;
};

}  // namespace plat
