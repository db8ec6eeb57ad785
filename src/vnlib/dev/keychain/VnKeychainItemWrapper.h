#pragma once
// VnKeychainItemWrapper: one generic-password keychain item mirrored in memory. The item's
// attributes and its secret (kSecValueData, a text in memory and UTF-8 bytes in the keychain) are
// read from memory; a change is written to the keychain only when the value differs. A write the
// keychain refuses is reported to the caller, and the memory copy then keeps what the keychain
// holds.
//
//   auto item = std::make_shared<VnKeychainItemWrapper>("account", "ORV_001", std::nullopt);
//   item->setObject(plat::Value("secret"), plat::kSecValueData);
//   std::string secret = item->objectForKey(plat::kSecValueData).stringOr();
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/storage/Keychain.h"

class VnKeychainItemWrapper : public plat::Object {
    PLAT_CLASS(VnKeychainItemWrapper)
  public:
    // initWithDefaultAccount:defaultService:accessGroup: finds the item by account and service
    // (and access group when given) and loads it; when there is none, the memory item holds the
    // defaults and nothing is written. Account and service cannot both be missing (assertion).
    VnKeychainItemWrapper(std::optional<std::string> account, std::optional<std::string> service,
                          std::optional<std::string> accessGroup);
    // initWithIdentifier:accessGroup:, the same keyed by the generic attribute.
    static Ref<VnKeychainItemWrapper> initWithIdentifier(std::string identifier,
                                                         std::optional<std::string> accessGroup);

    // The memory value under an attribute key; nil when absent.
    plat::Value objectForKey(std::string_view key) const;
    // Stores a value that differs from the memory one and writes the item. Nil is ignored, and
    // an equal value changes nothing. Answers false when the keychain refused the write; the
    // memory item then keeps its previous value.
    bool setObject(const plat::Value& value, std::string_view key);
    // Deletes the stored item (a missing item is fine; any other failure is an assertion) and
    // sets the memory item to the defaults with empty label, description and value.
    void resetKeychainItem();

    // The keychain form of a memory item: class generic password, the value text as UTF-8 bytes.
    Ref<plat::MutableDictionary> dictionaryToSecItemFormat(
        const plat::Dictionary& dictionaryToConvert) const;
    // The memory form of found attributes, with the secret read from the keychain as text (no
    // value when it cannot be read).
    Ref<plat::MutableDictionary> secItemFormatToDictionary(
        const plat::Dictionary& dictionaryToConvert) const;
    // Updates the stored item, or adds it when there is none. Answers the keychain's status.
    plat::OSStatus writeToKeychain();

    const Ref<plat::MutableDictionary>& keychainItemData() const { return keychainItemData_; }
    const Ref<plat::MutableDictionary>& genericPasswordQuery() const {
        return genericPasswordQuery_;
    }
    const std::optional<std::string>& defaultAccount() const { return defaultAccount_; }
    const std::optional<std::string>& defaultService() const { return defaultService_; }

  private:
    struct ByIdentifier {};

  public:
    // Made through initWithIdentifier only.
    VnKeychainItemWrapper(ByIdentifier, std::string identifier,
                          std::optional<std::string> accessGroup);

  private:
    void loadOrReset(const std::optional<std::string>& accessGroup);

    Ref<plat::MutableDictionary> keychainItemData_;
    Ref<plat::MutableDictionary> genericPasswordQuery_;
    std::optional<std::string> defaultAccount_;
    std::optional<std::string> defaultService_;
    std::optional<std::string> identifier_;
};
