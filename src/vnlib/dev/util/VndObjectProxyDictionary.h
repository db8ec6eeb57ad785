#pragma once
// VndObjectProxyDictionary: a read-only dictionary view of one object's properties, so that the
// JSON writers can write the object without copying it. Keys come from the object's class (its
// visible properties, less the excluded ones, mapped to their keys) plus the keys of an optional
// persistent dictionary; values are read from the object at each lookup: dates become text
// through the view's formatter, nested library objects become nested views, arrays hold their
// elements' "proxyForJson", and a key without a value answers null.
//
// The hooks are optional messages answered by the object:
//   coreSerializationExcludedPropertyNames        -> std::vector<std::string>
//   _dictionaryKeyNameWithPropertyName:  (name)    -> std::string
//   _propertyNameByDictionaryKeyName:    (key)     -> std::string
//   serializedValueForPropertyName:      (name)    -> plat::Value
#include <memory>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/DateFormatter.h"

class VndObjectProxyDictionary : public plat::Dictionary {
    PLAT_CLASS(VndObjectProxyDictionary)
  public:
    // The target is not owned: the view must not outlive it.
    VndObjectProxyDictionary(const Ref<plat::Object>& target,
                             std::shared_ptr<const plat::DateFormatter> formatter);

    // Set before the first use: the key set is fixed then.
    void setPersistentDictionary(Ref<plat::Dictionary> dictionary) {
        persistentDictionary_ = std::move(dictionary);
    }
    const Ref<plat::Dictionary>& persistentDictionary() const { return persistentDictionary_; }

    size_t count() const override;
    using plat::Dictionary::objectForKey;
    // Never nil: a key without a value answers null.
    plat::Value objectForKey(const plat::Value& key) const override;
    void enumerateKeysAndObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;

  private:
    const std::vector<plat::Value>& keys() const;

    WeakRef<plat::Object> target_;
    Ref<plat::Object> ownedTarget_;  // set for nested views only
    std::shared_ptr<const plat::DateFormatter> formatter_;
    Ref<plat::Dictionary> persistentDictionary_;
    mutable std::shared_ptr<const std::vector<plat::Value>> propertyNames_;
};
