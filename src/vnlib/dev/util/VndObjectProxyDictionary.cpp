#include "vnlib/dev/util/VndObjectProxyDictionary.h"

#include <typeinfo>

#include "platform/core/KeyValueCoding.h"
#include "vnlib/dev/util/VndLoadedDictionary.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/dev/util/VndPropertyValueSource.h"
#include "vnlib/dev/util/VndProxyClassPlan.h"

PLAT_DEFINE_CLASS(VndObjectProxyDictionary, plat::Dictionary, PLAT_NO_METHODS)

namespace {

const plat::Selector& propertyForKeyHook() {
    static const plat::Selector sel("_propertyNameByDictionaryKeyName:");
    return sel;
}

const plat::Selector& serializedValueHook() {
    static const plat::Selector sel("serializedValueForPropertyName:");
    return sel;
}

const plat::Selector& proxyForJsonMessage() {
    static const plat::Selector sel("proxyForJson");
    return sel;
}

// Whether an element of the array is an object (a collection included).
bool holdsObjects(const plat::Array& array) {
    bool found = false;
    array.enumerate([&](const plat::Value& element) {
        const plat::Value::Kind kind = element.kind();
        found = kind == plat::Value::Kind::Object || kind == plat::Value::Kind::Array ||
                kind == plat::Value::Kind::Dictionary;
        return !found;
    });
    return found;
}

}  // namespace

VndObjectProxyDictionary::VndObjectProxyDictionary(
    const Ref<plat::Object>& target, std::shared_ptr<const plat::DateFormatter> formatter)
    : target_(target), formatter_(std::move(formatter)) {}

const VndProxyClassPlan& VndObjectProxyDictionary::plan() const {
    if (plan_)
        return *plan_;
    static const VndProxyClassPlan none;
    auto target = target_.lock();
    // The class is final: its objects are those of exactly its type.
    const plat::Dictionary* copy = persistentDictionary_.get();
    const auto* loaded = copy && typeid(*copy) == typeid(VndLoadedDictionary)
                             ? static_cast<const VndLoadedDictionary*>(copy)
                             : nullptr;
    if (!target) {
        plan_ = &none;
    } else if (loaded && loaded->plan().planClass() == &target->getClass()) {
        plan_ = &loaded->plan();  // the plan of the class, kept by the record's copy of its reply
    } else {
        plan_ = &VndProxyClassPlan::of(*target);
    }
    if (loaded && &loaded->plan() == plan_) {
        loaded_ = loaded;  // its unmapped entries are the keys outside the class part
    } else if (persistentDictionary_) {
        persistentDictionary_->enumerateKeysAndObjects(
            [&](const plat::Value& k, const plat::Value&) {
                if (plan_->indexOf(k) == VndProxyClassPlan::npos)
                    extraKeys_.push_back(k);
                return true;
            });
    }
    return *plan_;
}

const VndPropertyValueSource* VndObjectProxyDictionary::sourceOf(const plat::Object* target) const {
    if (!target)
        return nullptr;
    return source_ ? source_ : dynamic_cast<const VndPropertyValueSource*>(target);
}

size_t VndObjectProxyDictionary::count() const {
    const size_t classKeys = plan().keys().size();
    return classKeys + (loaded_ ? loaded_->unmappedEntries().size() : extraKeys_.size());
}

plat::Value VndObjectProxyDictionary::valueForKey(const Ref<plat::Object>& target,
                                                  const VndPropertyValueSource* source,
                                                  const plat::Value& key,
                                                  const VndProxyKeyPlan* keyPlan, size_t index,
                                                  bool transient) const {
    plat::Value value = [&] {
        if (source) {
            return keyPlan && keyPlan->readable
                       ? source->serializedValueForProperty(keyPlan->propertyName,
                                                            keyPlan->property, transient)
                       : plat::Value();
        }
        if (!target || !key.isString())
            return plat::Value();
        const std::string name =
            target->respondsToSelector(propertyForKeyHook())
                ? plat::send<std::string>(target, propertyForKeyHook(), *key.string())
                : *key.string();
        if (!target->respondsToSelector(name))
            return plat::Value();
        return target->respondsToSelector(serializedValueHook())
                   ? plat::send<plat::Value>(target, serializedValueHook(), name)
                   : plat::valueForKey(*target, name);
    }();
    return shownValue(std::move(value), key, index, transient);
}

plat::Value VndObjectProxyDictionary::shownValue(plat::Value value, const plat::Value& key,
                                                 size_t index, bool transient) const {
    if (value.isString() || value.isNumber())
        return value;  // the common values, written as they are
    if (const plat::Date* date = value.date(); date && formatter_) {
        value = plat::Value(formatter_->stringFromDate(*date));
    }
    if (value.isNil())
        value = loadedValue(key, index);
    return viewed(std::move(value), transient);
}

plat::Value VndObjectProxyDictionary::loadedValue(const plat::Value& key, size_t index) const {
    if (loaded_ && index != VndProxyClassPlan::npos)
        return loaded_->mappedValue(index);
    return persistentDictionary_ ? persistentDictionary_->objectForKey(key) : plat::Value();
}

plat::Value VndObjectProxyDictionary::viewed(plat::Value value, bool transient) const {
    const plat::Value::Kind kind = value.kind();
    auto object = kind == plat::Value::Kind::Object ? value.as<VndObject>() : nullptr;
    if (object) {
        // A nested library object is shown through a view of its own, which keeps it alive: the
        // value may have been made just for this lookup.
        auto nested = std::make_shared<VndObjectProxyDictionary>(object, formatter_);
        nested->ownedTarget_ = object;
        value = plat::Value(nested);
    } else if (auto array = kind == plat::Value::Kind::Array ? value.array() : nullptr;
               array && (!transient || holdsObjects(*array))) {
        std::vector<plat::Value> elements;
        elements.reserve(array->count());
        array->enumerate([&](const plat::Value& element) {
            auto object = element.object();
            if (auto* elementSource = dynamic_cast<VndPropertyValueSource*>(object.get())) {
                elements.push_back(elementSource->proxyForJson());
            } else if (object && object->respondsToSelector(proxyForJsonMessage())) {
                elements.push_back(plat::send<plat::Value>(object, proxyForJsonMessage()));
            } else {
                elements.push_back(element);
            }
            return true;
        });
        value = plat::Value(plat::Array::make(std::move(elements)));
    }
    if (value.isNil())
        return plat::Value::null();
    return value;
}

plat::Value VndObjectProxyDictionary::objectForKey(const plat::Value& key) const {
    const VndProxyClassPlan& classPart = plan();
    auto target = target_.lock();
    const auto* source = sourceOf(target.get());
    const VndProxyKeyPlan* keyPlan =
        source && key.isString() ? &classPart.planFor(*target, key) : nullptr;
    return valueForKey(target, source, key, keyPlan, classPart.indexOf(key), false);
}

void VndObjectProxyDictionary::enumerateKeysAndObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    enumerate(fn, false);
}

void VndObjectProxyDictionary::enumerateKeysAndTransientObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    enumerate(fn, true);
}

void VndObjectProxyDictionary::enumerate(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn, bool transient) const {
    const VndProxyClassPlan& classPart = plan();
    auto target = target_.lock();
    const auto* source = sourceOf(target.get());
    const auto& keys = classPart.keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!fn(keys[i].key, valueForKey(target, source, keys[i].key, &keys[i], i, transient)))
            return;
    }
    eachOtherKey([&](const plat::Value& key) {
        const VndProxyKeyPlan* keyPlan =
            source && key.isString() ? &classPart.planFor(*target, key) : nullptr;
        return fn(key,
                  valueForKey(target, source, key, keyPlan, VndProxyClassPlan::npos, transient));
    });
}

bool VndObjectProxyDictionary::writeMembers(JKMemberWriter& writer) const {
    const VndProxyClassPlan& classPart = plan();
    auto target = target_.lock();
    const auto* source = sourceOf(target.get());
    // A member written the general way, under its key's text when the plan has it.
    auto general = [&](const VndProxyKeyPlan* keyPlan, const plat::Value& key, size_t index) {
        plat::Value value = valueForKey(target, source, key, keyPlan, index, true);
        return keyPlan && !keyPlan->renderedKey.empty()
                   ? writer.valueMember(keyPlan->renderedKey, value)
                   : writer.member(key, value);
    };
    const auto& keys = classPart.keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        const VndProxyKeyPlan& keyPlan = keys[i];
        bool ok;
        if (!source || keyPlan.reading == VndProxyKeyPlan::Reading::General) {
            ok = general(&keyPlan, keyPlan.key, i);
        } else if (keyPlan.reading == VndProxyKeyPlan::Reading::Scalar) {
            ok = writer.valueMember(keyPlan.renderedKey, keyPlan.property->getter(*target));
        } else if (const plat::Value text = keyPlan.property->borrow(*target); text.isString()) {
            ok = writer.textMember(keyPlan.renderedKey, text.stringView());
        } else {
            // No text: what was loaded under the key, if anything.
            plat::Value loaded = loadedValue(keyPlan.key, i);
            ok = loaded.isNil()
                     ? writer.nullMember(keyPlan.renderedKey)
                     : writer.valueMember(keyPlan.renderedKey, viewed(std::move(loaded), true));
        }
        if (!ok)
            return false;
    }
    return eachOtherKey([&](const plat::Value& key) {
        return general(source && key.isString() ? &classPart.otherPlanFor(*target, key) : nullptr,
                       key, VndProxyClassPlan::npos);
    });
}

bool VndObjectProxyDictionary::eachOtherKey(
    const std::function<bool(const plat::Value&)>& fn) const {
    if (loaded_) {
        for (const auto& entry : loaded_->unmappedEntries()) {
            if (!fn(entry.first))
                return false;
        }
    } else {
        for (const plat::Value& key : extraKeys_) {
            if (!fn(key))
                return false;
        }
    }
    return true;
}
