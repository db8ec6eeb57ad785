#include "platform/net/UrlCredentialStorage.h"

#include "platform/core/Collections.h"
#include "platform/storage/Keychain.h"

namespace plat {
namespace {

Ref<MutableDictionary> query(const std::string& service, const std::string* account) {
    auto q = MutableDictionary::make();
    q->setObject(Value(kSecClassGenericPassword), kSecClass);
    q->setObject(Value(service), kSecAttrService);
    if (account)
        q->setObject(Value(*account), kSecAttrAccount);
    return q;
}

}  // namespace

UrlCredentialStorage::UrlCredentialStorage(Ref<Keychain> keychain)
    : keychain_(std::move(keychain)) {}

UrlCredentialStorage& UrlCredentialStorage::shared() {
    static UrlCredentialStorage storage;
    return storage;
}

Ref<Keychain> UrlCredentialStorage::keychain() const {
    return keychain_ ? keychain_ : Keychain::shared();
}

std::string UrlCredentialStorage::serviceName(const ProtectionSpace& space) {
    return std::string(space.proxy ? "Varnel proxy credential " : "Varnel credential ") +
           space.protocol + "://" + space.host + ":" + std::to_string(space.port) + " " +
           space.authenticationMethod + " " + space.realm;
}

std::optional<UrlCredential> UrlCredentialStorage::defaultCredential(const ProtectionSpace& space) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = defaults_.find(space); it != defaults_.end())
            return it->second;
    }
    auto q = query(serviceName(space), nullptr);
    q->setObject(Value::boolean(true), kSecReturnAttributes);
    q->setObject(Value::boolean(true), kSecReturnData);
    Value found;
    if (keychain()->copyMatching(*q, &found) != errSecSuccess)
        return std::nullopt;
    auto attributes = found.dictionary();
    if (!attributes)
        return std::nullopt;
    const Value account = attributes->objectForKey(kSecAttrAccount);
    const Value secret = attributes->objectForKey(kSecValueData);
    if (!account.string() || !secret.bytes())
        return std::nullopt;
    UrlCredential credential{*account.string(),
                             std::string(secret.bytes()->begin(), secret.bytes()->end()),
                             UrlCredential::Persistence::Permanent};
    std::lock_guard lock(mutex_);
    defaults_[space] = credential;
    return credential;
}

void UrlCredentialStorage::setDefaultCredential(const UrlCredential& credential,
                                                const ProtectionSpace& space) {
    if (credential.persistence == UrlCredential::Persistence::None)
        return;
    {
        std::lock_guard lock(mutex_);
        defaults_[space] = credential;
    }
    if (credential.persistence != UrlCredential::Persistence::Permanent)
        return;
    // One permanent credential per space: the last one set.
    const std::string service = serviceName(space);
    keychain()->deleteItem(*query(service, nullptr));
    auto item = query(service, &credential.user);
    item->setObject(Value(Bytes(credential.password.begin(), credential.password.end())),
                    kSecValueData);
    item->setObject(Value(std::string(kSecAttrAccessibleWhenUnlocked)), kSecAttrAccessible);
    keychain()->add(*item);
}

void UrlCredentialStorage::removeCredential(const UrlCredential& credential,
                                            const ProtectionSpace& space) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = defaults_.find(space);
            it != defaults_.end() && it->second.user == credential.user)
            defaults_.erase(it);
    }
    keychain()->deleteItem(*query(serviceName(space), &credential.user));
}

}  // namespace plat
