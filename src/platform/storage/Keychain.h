#pragma once
// The keychain: generic-password items kept by account, service and access group, with a label,
// a description, an accessibility class, a generic attribute and the secret bytes. Queries and
// attribute sets are dictionaries keyed by the kSec* names below; every call answers a status:
// errSecSuccess (0), errSecItemNotFound (-25300), errSecDuplicateItem (-25299), or another
// negative code (errSecParam for a malformed query, errSecIO / errSecDecode / errSecNotAvailable
// for a store that cannot be used).
//
// Matching: every attribute present in a query must equal the item's (an absent text attribute
// counts as the empty text); the query's kSecValueData is ignored. Results (copyMatching):
// with kSecReturnAttributes, a dictionary of the item's attributes (plus kSecValueData when
// kSecReturnData is also asked); with kSecReturnData alone, the secret as data; with
// kSecMatchLimit = kSecMatchLimitAll, an array of those.
//
// The storage is a KeychainBackend. shared() picks one on first use:
//   VARNEL_KEYCHAIN=memory | file | secret-service chooses outright; otherwise, when VARNEL_HOME is
//   set (an isolated home, as in tests) the file store, else the Secret Service when the session
//   bus offers one, else the file store.
#include <memory>
#include <mutex>

#include "platform/core/Collections.h"
#include "platform/storage/KeychainBackend.h"

namespace plat {

// Dictionary keys and values of queries and attribute sets.
inline constexpr const char* kSecClass = "class";
inline constexpr const char* kSecClassGenericPassword = "genericPassword";
inline constexpr const char* kSecAttrAccount = "account";
inline constexpr const char* kSecAttrService = "service";
inline constexpr const char* kSecAttrAccessGroup = "accessGroup";
inline constexpr const char* kSecAttrLabel = "label";
inline constexpr const char* kSecAttrDescription = "description";
inline constexpr const char* kSecAttrGeneric = "generic";
inline constexpr const char* kSecAttrAccessible = "accessible";
inline constexpr const char* kSecAttrAccessibleWhenUnlocked = "whenUnlocked";
inline constexpr const char* kSecAttrAccessibleWhenUnlockedThisDeviceOnly =
    "whenUnlockedThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr const char* kSecValueData = "valueData";
inline constexpr const char* kSecMatchLimit = "matchLimit";
inline constexpr const char* kSecMatchLimitOne = "matchLimitOne";
inline constexpr const char* kSecMatchLimitAll = "matchLimitAll";
inline constexpr const char* kSecReturnData = "returnData";
inline constexpr const char* kSecReturnAttributes = "returnAttributes";

class Keychain {
  public:
    explicit Keychain(std::unique_ptr<KeychainBackend> backend);

    // The process-wide keychain, chosen as described above on first use. Never null.
    static Ref<Keychain> shared();
    // Replaces the shared keychain (tests); null makes the next shared() choose again.
    static void setShared(Ref<Keychain> keychain);
    // A keychain chosen by the rules above, for the current environment.
    static Ref<Keychain> makeDefault();

    const char* backendName() const { return backend_->name(); }

    // Finds items; *result (when given) receives the answer described above, nil on failure.
    OSStatus copyMatching(const Dictionary& query, Value* result);
    // Adds an item; errSecDuplicateItem when one with the same identity exists.
    OSStatus add(const Dictionary& attributes);
    // Changes every matching item; errSecItemNotFound when none matches, errSecDuplicateItem
    // (and no change) when the new identity would clash with another item. attributesToUpdate
    // must not hold kSecClass.
    OSStatus update(const Dictionary& query, const Dictionary& attributesToUpdate);
    // Deletes every matching item; errSecItemNotFound when none matches.
    OSStatus deleteItem(const Dictionary& query);

  private:
    std::mutex mutex_;
    std::unique_ptr<KeychainBackend> backend_;
};

// The calls of the platform's keychain API, on the shared keychain.
OSStatus SecItemCopyMatching(const Dictionary& query, Value* result);
OSStatus SecItemAdd(const Dictionary& attributes);
OSStatus SecItemUpdate(const Dictionary& query, const Dictionary& attributesToUpdate);
OSStatus SecItemDelete(const Dictionary& query);

}  // namespace plat
