#include "vnlib/dev/keychain/VnKeychainItemWrapper.h"

#include "platform/core/Log.h"

PLAT_DEFINE_CLASS(VnKeychainItemWrapper, plat::Object, PLAT_NO_METHODS)

namespace {

using plat::Value;

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isUtf8(const plat::Bytes& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t lead = bytes[i];
        size_t length = 0;
        uint32_t minimum = 0;
        uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

Ref<plat::MutableDictionary> makeQuery(const std::optional<std::string>& account,
                                       const std::optional<std::string>& service,
                                       const std::optional<std::string>& identifier,
                                       const std::optional<std::string>& accessGroup) {
    auto query = plat::MutableDictionary::make();
    query->setObject(Value(plat::kSecClassGenericPassword), Value(plat::kSecClass));
    if (account)
        query->setObject(Value(*account), Value(plat::kSecAttrAccount));
    if (service)
        query->setObject(Value(*service), Value(plat::kSecAttrService));
    if (identifier)
        query->setObject(Value(*identifier), Value(plat::kSecAttrGeneric));
    if (accessGroup)
        query->setObject(Value(*accessGroup), Value(plat::kSecAttrAccessGroup));
    query->setObject(Value(plat::kSecMatchLimitOne), Value(plat::kSecMatchLimit));
    query->setObject(Value::boolean(true), Value(plat::kSecReturnAttributes));
    return query;
}

}  // namespace

VnKeychainItemWrapper::VnKeychainItemWrapper(std::optional<std::string> account,
                                             std::optional<std::string> service,
                                             std::optional<std::string> accessGroup) {
    PLAT_ASSERT(account || service,
                "Both account and service are nil.  Must specifiy at least one.");
    defaultAccount_ = std::move(account);
    defaultService_ = std::move(service);
    genericPasswordQuery_ = makeQuery(defaultAccount_, defaultService_, std::nullopt, accessGroup);
    loadOrReset(accessGroup);
}

VnKeychainItemWrapper::VnKeychainItemWrapper(ByIdentifier, std::string identifier,
                                             std::optional<std::string> accessGroup)
    : identifier_(std::move(identifier)) {
    genericPasswordQuery_ = makeQuery(std::nullopt, std::nullopt, identifier_, accessGroup);
    loadOrReset(accessGroup);
}

Ref<VnKeychainItemWrapper> VnKeychainItemWrapper::initWithIdentifier(
    std::string identifier, std::optional<std::string> accessGroup) {
    return std::make_shared<VnKeychainItemWrapper>(ByIdentifier{}, std::move(identifier),
                                                   std::move(accessGroup));
}

void VnKeychainItemWrapper::loadOrReset(const std::optional<std::string>& accessGroup) {
    Value attributes;
    const plat::OSStatus status = plat::SecItemCopyMatching(*genericPasswordQuery_, &attributes);
    if (status == plat::errSecSuccess && attributes.dictionary()) {
        keychainItemData_ = secItemFormatToDictionary(*attributes.dictionary());
        return;
    }
    if (status != plat::errSecItemNotFound)
        VND_TRACE("Error", "Keychain lookup failed (%ld); using an empty item", long{status});
    resetKeychainItem();
    if (accessGroup)
        keychainItemData_->setObject(Value(*accessGroup), Value(plat::kSecAttrAccessGroup));
}

Value VnKeychainItemWrapper::objectForKey(std::string_view key) const {
    return keychainItemData_->objectForKey(key);
}

bool VnKeychainItemWrapper::setObject(const Value& value, std::string_view key) {
    if (value.isNil())
        return true;
    const Value previous = keychainItemData_->objectForKey(key);
    if (previous.equals(value))
        return true;
    keychainItemData_->setObject(value, Value(key));
    if (writeToKeychain() == plat::errSecSuccess)
        return true;
    // The keychain still holds the previous value; so does memory.
    keychainItemData_->setObject(previous, Value(key));
    return false;
}

void VnKeychainItemWrapper::resetKeychainItem() {
    if (!keychainItemData_) {
        keychainItemData_ = plat::MutableDictionary::make();
    } else {
        auto query = dictionaryToSecItemFormat(*keychainItemData_);
        const plat::OSStatus status = plat::SecItemDelete(*query);
        PLAT_ASSERT(status == plat::errSecSuccess || status == plat::errSecItemNotFound,
                    "Problem deleting current dictionary.");
    }
    auto& item = *keychainItemData_;
    item.setObject(defaultAccount_ ? Value(*defaultAccount_) : Value(),
                   Value(plat::kSecAttrAccount));
    item.setObject(defaultService_ ? Value(*defaultService_) : Value(),
                   Value(plat::kSecAttrService));
    if (identifier_)
        item.setObject(Value(*identifier_), Value(plat::kSecAttrGeneric));
    item.setObject(Value(""), Value(plat::kSecAttrLabel));
    item.setObject(Value(""), Value(plat::kSecAttrDescription));
    item.setObject(Value(""), Value(plat::kSecValueData));
}

Ref<plat::MutableDictionary> VnKeychainItemWrapper::dictionaryToSecItemFormat(
    const plat::Dictionary& dictionaryToConvert) const {
    auto returnDictionary = dictionaryToConvert.mutableCopy();
    returnDictionary->setObject(Value(plat::kSecClassGenericPassword), Value(plat::kSecClass));
    const Value value = returnDictionary->objectForKey(plat::kSecValueData);
    if (const std::string* secret = value.string()) {
        returnDictionary->setObject(Value(plat::Bytes(secret->begin(), secret->end())),
                                    Value(plat::kSecValueData));
    }
    return returnDictionary;
}

Ref<plat::MutableDictionary> VnKeychainItemWrapper::secItemFormatToDictionary(
    const plat::Dictionary& dictionaryToConvert) const {
    auto returnDictionary = dictionaryToConvert.mutableCopy();
    returnDictionary->setObject(Value::boolean(true), Value(plat::kSecReturnData));
    returnDictionary->setObject(Value(plat::kSecClassGenericPassword), Value(plat::kSecClass));

    Value secret;
    const plat::OSStatus status = plat::SecItemCopyMatching(*returnDictionary, &secret);
    // The memory item never carries the lookup flag, whether or not the secret was read.
    returnDictionary->removeObjectForKey(Value(plat::kSecReturnData));
    const plat::Bytes* bytes = secret.bytes();
    if (status == plat::errSecSuccess && bytes && isUtf8(*bytes)) {
        returnDictionary->setObject(Value(std::string(bytes->begin(), bytes->end())),
                                    Value(plat::kSecValueData));
    } else {
        returnDictionary->removeObjectForKey(Value(plat::kSecValueData));
        plat::log("Serious error, no matching item found in the keychain.\n");
    }
    return returnDictionary;
}

plat::OSStatus VnKeychainItemWrapper::writeToKeychain() {
    Value attributes;
    plat::OSStatus status = plat::SecItemCopyMatching(*genericPasswordQuery_, &attributes);
    if (status == plat::errSecSuccess && attributes.dictionary()) {
        auto updateItem = attributes.dictionary()->mutableCopy();
        updateItem->setObject(genericPasswordQuery_->objectForKey(plat::kSecClass),
                              Value(plat::kSecClass));
        auto tempCheck = dictionaryToSecItemFormat(*keychainItemData_);
        tempCheck->removeObjectForKey(Value(plat::kSecClass));
        status = plat::SecItemUpdate(*updateItem, *tempCheck);
        if (status != plat::errSecSuccess)
            plat::log(plat::format("Couldn't update the Keychain Item. %ld", long{status}));
    } else {
        status = plat::SecItemAdd(*dictionaryToSecItemFormat(*keychainItemData_));
        if (status != plat::errSecSuccess)
            plat::log(plat::format("Couldn't add the Keychain Item. %ld", long{status}));
    }
    return status;
}
