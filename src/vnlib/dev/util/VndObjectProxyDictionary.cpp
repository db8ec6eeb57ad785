#include "vnlib/dev/util/VndObjectProxyDictionary.h"

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

}  // namespace

VndObjectProxyDictionary::VndObjectProxyDictionary(
    const Ref<plat::Object>& target, std::shared_ptr<const plat::DateFormatter> formatter)
    : target_(target), formatter_(std::move(formatter)) {}

const VndProxyClassPlan& VndObjectProxyDictionary::plan() const {
    if (plan_)
        return *plan_;
    static const VndProxyClassPlan none;
    auto target = target_.lock();
    plan_ = target ? &VndProxyClassPlan::of(*target) : &none;
    const auto* loaded = dynamic_cast<const VndLoadedDictionary*>(persistentDictionary_.get());
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
    return shownValue(std::move(value), key, index);
}

plat::Value VndObjectProxyDictionary::shownValue(plat::Value value, const plat::Value& key,
                                                 size_t index) const {
    if (value.isString() || value.isNumber())
        return value;  // the common values, written as they are
    if (const plat::Date* date = value.date(); date && formatter_) {
        value = plat::Value(formatter_->stringFromDate(*date));
    }
    if (value.isNil() && loaded_ && index != VndProxyClassPlan::npos) {
        value = loaded_->mappedValue(index);
    } else if (value.isNil() && persistentDictionary_) {
        value = persistentDictionary_->objectForKey(key);
    }
    if (auto object = value.as<VndObject>()) {
        // A nested library object is shown through a view of its own, which keeps it alive: the
        // value may have been made just for this lookup.
        auto nested = std::make_shared<VndObjectProxyDictionary>(object, formatter_);
        nested->ownedTarget_ = object;
        value = plat::Value(nested);
    } else if (auto array = value.array()) {
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
    const auto* source = dynamic_cast<const VndPropertyValueSource*>(target.get());
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
    const auto* source = dynamic_cast<const VndPropertyValueSource*>(target.get());
    const auto& keys = classPart.keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!fn(keys[i].key, valueForKey(target, source, keys[i].key, &keys[i], i, transient)))
            return;
    }
    auto other = [&](const plat::Value& key) {
        const VndProxyKeyPlan* keyPlan =
            source && key.isString() ? &classPart.planFor(*target, key) : nullptr;
        return fn(key,
                  valueForKey(target, source, key, keyPlan, VndProxyClassPlan::npos, transient));
    };
    if (loaded_) {
        for (const auto& entry : loaded_->unmappedEntries()) {
            if (!other(entry.first))
                return;
        }
    } else {
        for (const plat::Value& key : extraKeys_) {
            if (!other(key))
                return;
        }
    }
}

bool VndObjectProxyDictionary::writeMembers(JKMemberWriter& writer) const {
    const VndProxyClassPlan& classPart = plan();
    auto target = target_.lock();
    const auto* source = dynamic_cast<const VndPropertyValueSource*>(target.get());
    const auto& keys = classPart.keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        const VndProxyKeyPlan& keyPlan = keys[i];
        if (!source || keyPlan.reading == VndProxyKeyPlan::Reading::General) {
            if (!writer.member(keyPlan.key,
                               valueForKey(target, source, keyPlan.key, &keyPlan, i, true)))
                return false;
            continue;
        }
        if (keyPlan.reading == VndProxyKeyPlan::Reading::Text) {
            const plat::Value text = keyPlan.property->borrow(*target);
            const bool ok =
                text.isString()
                    ? writer.textMember(keyPlan.renderedKey, text.stringView())
                    : writer.valueMember(keyPlan.renderedKey, shownValue(text, keyPlan.key, i));
            if (!ok)
                return false;
            continue;
        }
        if (!writer.valueMember(keyPlan.renderedKey, keyPlan.property->getter(*target)))
            return false;
    }
    bool ok = true;
    auto other = [&](const plat::Value& key) {
        const VndProxyKeyPlan* keyPlan =
            source && key.isString() ? &classPart.planFor(*target, key) : nullptr;
        ok = writer.member(
            key, valueForKey(target, source, key, keyPlan, VndProxyClassPlan::npos, true));
        return ok;
    };
    if (loaded_) {
        for (const auto& entry : loaded_->unmappedEntries()) {
            if (!other(entry.first))
                break;
        }
    } else {
        for (const plat::Value& key : extraKeys_) {
            if (!other(key))
                break;
        }
    }
    return ok;
}
