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
// (a VndPropertyValueSource answers the last one through serializedValueForProperty).
// For a target that is a VndPropertyValueSource the class part of the key set and the property
// of every key are worked out once per class and shared by all its views, and values are read
// without messages; a persistent dictionary that is a VndLoadedDictionary is read without being
// decoded unless a property has lost a value it had loaded. The compact JSON writer is given the
// members of such a view directly: texts and scalars of the plan's properties go from the target
// to the text with their keys' texts made once per class, everything else as the enumeration
// gives it.
#include <concepts>
#include <memory>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/DateFormatter.h"
#include "vnlib/dev/json/JKMemberWriter.h"
#include "vnlib/dev/util/VndPropertyValueSource.h"

class VndLoadedDictionary;
class VndProxyClassPlan;
struct VndProxyKeyPlan;

class VndObjectProxyDictionary : public plat::Dictionary, public JKSelfWritingDictionary {
    PLAT_CLASS(VndObjectProxyDictionary)
  public:
    // The target is not owned: the view must not outlive it.
    VndObjectProxyDictionary(const Ref<plat::Object>& target,
                             std::shared_ptr<const plat::DateFormatter> formatter);
    // The same, for a target known to be a value source.
    template <class T>
    requires std::derived_from<T, plat::Object> && std::derived_from<T, VndPropertyValueSource>
    VndObjectProxyDictionary(const Ref<T>& target,
                             std::shared_ptr<const plat::DateFormatter> formatter)
        : VndObjectProxyDictionary(Ref<plat::Object>(target), std::move(formatter)) {
        source_ = target.get();
    }

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
    // For a source target, texts of its properties are lent rather than copied.
    void enumerateKeysAndTransientObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;

    bool writeMembers(JKMemberWriter& writer) const override;

  private:
    // The plan of the target's class; the keys of the persistent dictionary outside it are
    // worked out with it.
    const VndProxyClassPlan& plan() const;
    // The target, held by the caller, as a value source; null when it is none.
    const VndPropertyValueSource* sourceOf(const plat::Object* target) const;
    // The value of a key; `index` is its position among the class keys (npos for others);
    // `transient` as for enumerateKeysAndTransientObjects.
    plat::Value valueForKey(const Ref<plat::Object>& target, const VndPropertyValueSource* source,
                            const plat::Value& key, const VndProxyKeyPlan* keyPlan, size_t index,
                            bool transient) const;
    // What valueForKey answers for the value read from the target.
    plat::Value shownValue(plat::Value value, const plat::Value& key, size_t index,
                           bool transient) const;
    // The value loaded under the key, for a property without one.
    plat::Value loadedValue(const plat::Value& key, size_t index) const;
    // A value as the view shows it: nested library objects and the elements of arrays through
    // their own views, nil as null. An array holding no object is copied unless `transient`.
    plat::Value viewed(plat::Value value, bool transient) const;
    // Calls fn with each key outside the class part, in order, while it answers true; answers
    // whether it always did.
    bool eachOtherKey(const std::function<bool(const plat::Value&)>& fn) const;
    void enumerate(const std::function<bool(const plat::Value&, const plat::Value&)>& fn,
                   bool transient) const;

    WeakRef<plat::Object> target_;
    const VndPropertyValueSource* source_ = nullptr;  // the target, when known to be a source
    Ref<plat::Object> ownedTarget_;                   // set for nested views only
    std::shared_ptr<const plat::DateFormatter> formatter_;
    Ref<plat::Dictionary> persistentDictionary_;
    mutable const VndProxyClassPlan* plan_ = nullptr;
    // The persistent dictionary when it is a record's compact one of the same class plan.
    mutable const VndLoadedDictionary* loaded_ = nullptr;
    mutable std::vector<plat::Value> extraKeys_;  // for other persistent dictionaries
};
