#include "platform/storage/Keychain.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/core/Log.h"
#include "platform/storage/FileKeychainBackend.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/SecretServiceKeychainBackend.h"

namespace plat {
namespace {

// The attributes a query or an attribute set names; unset members were not given.
struct Attributes {
    std::optional<std::string> account;
    std::optional<std::string> service;
    std::optional<std::string> accessGroup;
    std::optional<std::string> label;
    std::optional<std::string> description;
    std::optional<std::string> accessible;
    Value generic;              // nil when not given
    std::optional<Bytes> data;  // kSecValueData (attribute sets only)
    bool returnData = false;
    bool returnAttributes = false;
    bool limitAll = false;
};

enum class Use { Query, Add, Update };

bool isTextAttribute(const std::string& key) {
    return key == kSecAttrAccount || key == kSecAttrService || key == kSecAttrAccessGroup ||
           key == kSecAttrLabel || key == kSecAttrDescription || key == kSecAttrAccessible;
}

std::optional<std::string>& textSlot(Attributes& a, const std::string& key) {
    if (key == kSecAttrAccount)
        return a.account;
    if (key == kSecAttrService)
        return a.service;
    if (key == kSecAttrAccessGroup)
        return a.accessGroup;
    if (key == kSecAttrLabel)
        return a.label;
    if (key == kSecAttrDescription)
        return a.description;
    return a.accessible;
}

// Reads a dictionary into attributes; errSecParam for unknown keys, wrong value kinds, a missing
// or wrong class (queries and additions) or a class in an update.
OSStatus parse(const Dictionary& d, Use use, Attributes& out) {
    OSStatus status = errSecSuccess;
    bool hasClass = false;
    d.enumerateKeysAndObjects([&](const Value& k, const Value& v) {
        const std::string* key = k.string();
        if (!key) {
            status = errSecParam;
        } else if (*key == kSecClass) {
            hasClass = true;
            const std::string* cls = v.string();
            if (use == Use::Update || !cls || *cls != kSecClassGenericPassword)
                status = errSecParam;
        } else if (isTextAttribute(*key)) {
            if (const std::string* s = v.string()) {
                textSlot(out, *key) = *s;
            } else {
                status = errSecParam;
            }
        } else if (*key == kSecAttrGeneric) {
            if (v.isString() || v.bytes()) {
                out.generic = v;
            } else {
                status = errSecParam;
            }
        } else if (*key == kSecValueData) {
            // A query may carry the value (the platform ignores it there); a new value is data.
            if (use != Use::Query) {
                if (const Bytes* b = v.bytes()) {
                    out.data = *b;
                } else {
                    status = errSecParam;
                }
            }
        } else if (*key == kSecReturnData || *key == kSecReturnAttributes) {
            if (use == Use::Update || !(v.isBool() || v.isNumber())) {
                status = errSecParam;
            } else if (*key == kSecReturnData) {
                out.returnData = v.boolValue();
            } else {
                out.returnAttributes = v.boolValue();
            }
        } else if (*key == kSecMatchLimit) {
            const std::string* limit = v.string();
            if (use == Use::Update || !limit ||
                (*limit != kSecMatchLimitOne && *limit != kSecMatchLimitAll)) {
                status = errSecParam;
            } else {
                out.limitAll = *limit == kSecMatchLimitAll;
            }
        } else {
            status = errSecParam;
        }
        return status == errSecSuccess;
    });
    if (status == errSecSuccess && use != Use::Update && !hasClass)
        status = errSecParam;
    return status;
}

bool sameText(const std::optional<std::string>& wanted, const std::optional<std::string>& have) {
    return !wanted || *wanted == have.value_or(std::string());
}

bool matches(const Attributes& q, const KeychainItem& item) {
    return sameText(q.account, item.key.account) && sameText(q.service, item.key.service) &&
           sameText(q.accessGroup, item.key.accessGroup) && sameText(q.label, item.label) &&
           sameText(q.description, item.description) && sameText(q.accessible, item.accessible) &&
           (q.generic.isNil() || q.generic.equals(item.generic));
}

KeychainFilter filterFor(const Attributes& a) {
    return {a.account, a.service, a.accessGroup};
}

KeychainFilter filterFor(const KeychainItemKey& key) {
    return {key.account, key.service, key.accessGroup};
}

// Applies the given attributes over an item.
void overlay(KeychainItem& item, const Attributes& a) {
    if (a.account)
        item.key.account = *a.account;
    if (a.service)
        item.key.service = *a.service;
    if (a.accessGroup)
        item.key.accessGroup = *a.accessGroup;
    if (a.label)
        item.label = a.label;
    if (a.description)
        item.description = a.description;
    if (a.accessible)
        item.accessible = a.accessible;
    if (!a.generic.isNil())
        item.generic = a.generic;
    if (a.data)
        item.secret = *a.data;
}

Value attributesOf(const KeychainItem& item, bool withData) {
    auto d = MutableDictionary::make();
    d->setObject(Value(kSecClassGenericPassword), Value(kSecClass));
    d->setObject(Value(item.key.account), Value(kSecAttrAccount));
    d->setObject(Value(item.key.service), Value(kSecAttrService));
    if (!item.key.accessGroup.empty())
        d->setObject(Value(item.key.accessGroup), Value(kSecAttrAccessGroup));
    if (item.label)
        d->setObject(Value(*item.label), Value(kSecAttrLabel));
    if (item.description)
        d->setObject(Value(*item.description), Value(kSecAttrDescription));
    if (item.accessible)
        d->setObject(Value(*item.accessible), Value(kSecAttrAccessible));
    if (!item.generic.isNil())
        d->setObject(item.generic, Value(kSecAttrGeneric));
    if (withData)
        d->setObject(Value(item.secret), Value(kSecValueData));
    return Value::fromObject(d->copy());
}

Value resultOf(const KeychainItem& item, const Attributes& q) {
    if (q.returnAttributes)
        return attributesOf(item, q.returnData);
    if (q.returnData)
        return Value(item.secret);
    return Value();
}

struct SharedKeychain {
    std::mutex mutex;
    Ref<Keychain> keychain;
};

SharedKeychain& sharedState() {
    static SharedKeychain s;
    return s;
}

// The items of the backend that a query matches.
OSStatus matchingItems(KeychainBackend& backend, const Attributes& q,
                       std::vector<KeychainItem>& out) {
    std::vector<KeychainItem> candidates;
    if (OSStatus status = backend.find(filterFor(q), candidates); status != errSecSuccess)
        return status;
    out.clear();
    for (auto& item : candidates) {
        if (matches(q, item))
            out.push_back(std::move(item));
    }
    return errSecSuccess;
}

}  // namespace

Keychain::Keychain(std::unique_ptr<KeychainBackend> backend) : backend_(std::move(backend)) {}

Ref<Keychain> Keychain::shared() {
    SharedKeychain& s = sharedState();
    std::lock_guard lock(s.mutex);
    if (!s.keychain)
        s.keychain = makeDefault();
    return s.keychain;
}

void Keychain::setShared(Ref<Keychain> keychain) {
    SharedKeychain& s = sharedState();
    std::lock_guard lock(s.mutex);
    s.keychain = std::move(keychain);
}

Ref<Keychain> Keychain::makeDefault() {
    const std::string choice = std::getenv("VARNEL_KEYCHAIN") ? std::getenv("VARNEL_KEYCHAIN") : "";
    if (choice == "memory")
        return std::make_shared<Keychain>(std::make_unique<MemoryKeychainBackend>());
    if (choice == "secret-service") {
        return std::make_shared<Keychain>(std::make_unique<SecretServiceKeychainBackend>());
    }
    auto file = [] {
        return std::make_shared<Keychain>(
            std::make_unique<FileKeychainBackend>(FileKeychainBackend::standardFilePath()));
    };
    if (choice == "file")
        return file();
    if (!choice.empty()) {
        VND_TRACE("Warning",
                  "Unknown VARNEL_KEYCHAIN value \"%s\"; choosing the keychain store by default",
                  choice.c_str());
    }
    const char* home = std::getenv("VARNEL_HOME");
    if (home && *home)
        return file();
    if (SecretServiceKeychainBackend::isAvailable()) {
        return std::make_shared<Keychain>(std::make_unique<SecretServiceKeychainBackend>());
    }
    return file();
}

OSStatus Keychain::copyMatching(const Dictionary& query, Value* result) {
    if (result)
        *result = Value();
    Attributes q;
    if (OSStatus status = parse(query, Use::Query, q); status != errSecSuccess)
        return status;
    std::lock_guard lock(mutex_);
    std::vector<KeychainItem> items;
    if (OSStatus status = matchingItems(*backend_, q, items); status != errSecSuccess)
        return status;
    std::vector<Value> found;
    for (const auto& item : items) {
        found.push_back(resultOf(item, q));
        if (!q.limitAll)
            break;
    }
    if (found.empty())
        return errSecItemNotFound;
    if (result)
        *result = q.limitAll ? Value::fromObject(Array::make(std::move(found))) : found.front();
    return errSecSuccess;
}

OSStatus Keychain::add(const Dictionary& attributes) {
    Attributes a;
    if (OSStatus status = parse(attributes, Use::Add, a); status != errSecSuccess)
        return status;
    KeychainItem item;
    overlay(item, a);
    std::lock_guard lock(mutex_);
    std::vector<KeychainItem> existing;
    if (OSStatus status = backend_->find(filterFor(item.key), existing); status != errSecSuccess) {
        return status;
    }
    for (const auto& other : existing) {
        if (other.key == item.key)
            return errSecDuplicateItem;
    }
    return backend_->apply({}, {item});
}

OSStatus Keychain::update(const Dictionary& query, const Dictionary& attributesToUpdate) {
    Attributes q, a;
    if (OSStatus status = parse(query, Use::Query, q); status != errSecSuccess)
        return status;
    if (OSStatus status = parse(attributesToUpdate, Use::Update, a); status != errSecSuccess)
        return status;
    std::lock_guard lock(mutex_);
    std::vector<KeychainItem> items;
    if (OSStatus status = matchingItems(*backend_, q, items); status != errSecSuccess)
        return status;

    std::vector<KeychainItemKey> oldKeys;
    std::vector<KeychainItem> changed;
    for (const auto& item : items) {
        oldKeys.push_back(item.key);
        changed.push_back(item);
        overlay(changed.back(), a);
    }
    if (changed.empty())
        return errSecItemNotFound;

    // The new identities must stay unique: among the changed items, and against every item
    // that is not being changed.
    for (size_t i = 0; i < changed.size(); ++i) {
        for (size_t j = i + 1; j < changed.size(); ++j) {
            if (changed[i].key == changed[j].key)
                return errSecDuplicateItem;
        }
        std::vector<KeychainItem> clashing;
        if (OSStatus status = backend_->find(filterFor(changed[i].key), clashing);
            status != errSecSuccess) {
            return status;
        }
        for (const auto& other : clashing) {
            const bool beingChanged =
                std::find(oldKeys.begin(), oldKeys.end(), other.key) != oldKeys.end();
            if (other.key == changed[i].key && !beingChanged)
                return errSecDuplicateItem;
        }
    }
    return backend_->apply(oldKeys, changed);
}

OSStatus Keychain::deleteItem(const Dictionary& query) {
    Attributes q;
    if (OSStatus status = parse(query, Use::Query, q); status != errSecSuccess)
        return status;
    std::lock_guard lock(mutex_);
    std::vector<KeychainItem> items;
    if (OSStatus status = matchingItems(*backend_, q, items); status != errSecSuccess)
        return status;
    std::vector<KeychainItemKey> doomed;
    for (const auto& item : items)
        doomed.push_back(item.key);
    if (doomed.empty())
        return errSecItemNotFound;
    return backend_->apply(doomed, {});
}

OSStatus SecItemCopyMatching(const Dictionary& query, Value* result) {
    return Keychain::shared()->copyMatching(query, result);
}

OSStatus SecItemAdd(const Dictionary& attributes) {
    return Keychain::shared()->add(attributes);
}

OSStatus SecItemUpdate(const Dictionary& query, const Dictionary& attributesToUpdate) {
    return Keychain::shared()->update(query, attributesToUpdate);
}

OSStatus SecItemDelete(const Dictionary& query) {
    return Keychain::shared()->deleteItem(query);
}

}  // namespace plat
