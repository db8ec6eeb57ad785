#include "vnlib/dev/util/VndObjectProxyDictionary.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/core/KeyValueCoding.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/dev/util/VndObjectAdditions.h"

PLAT_DEFINE_CLASS(VndObjectProxyDictionary, plat::Dictionary, PLAT_NO_METHODS)

namespace {

constexpr const char* kExcludedHook = "coreSerializationExcludedPropertyNames";
constexpr const char* kKeyForPropertyHook = "_dictionaryKeyNameWithPropertyName:";
constexpr const char* kPropertyForKeyHook = "_propertyNameByDictionaryKeyName:";
constexpr const char* kSerializedValueHook = "serializedValueForPropertyName:";

// The class part of the key set, per class name, computed once.
std::shared_ptr<const std::vector<plat::Value>> classKeys(plat::Object& target) {
    static std::mutex lock;
    static std::unordered_map<std::string, std::shared_ptr<const std::vector<plat::Value>>> map;
    std::lock_guard guard(lock);
    auto& slot = map[target.className()];
    if (slot)
        return slot;
    std::vector<std::string> excluded;
    if (target.respondsToSelector(kExcludedHook)) {
        excluded = plat::send<std::vector<std::string>>(&target, kExcludedHook);
    }
    const bool mapsKeys = target.respondsToSelector(kKeyForPropertyHook);
    auto keys = std::make_shared<std::vector<plat::Value>>();
    for (const auto& property : rt_allVisibleProperties(target.getClass())) {
        const std::string& name = property->name();
        if (std::find(excluded.begin(), excluded.end(), name) != excluded.end())
            continue;
        plat::Value key(mapsKeys ? plat::send<std::string>(&target, kKeyForPropertyHook, name)
                                 : name);
        if (std::find(keys->begin(), keys->end(), key) == keys->end())
            keys->push_back(key);
    }
    slot = std::move(keys);
    return slot;
}

}  // namespace

VndObjectProxyDictionary::VndObjectProxyDictionary(
    const Ref<plat::Object>& target, std::shared_ptr<const plat::DateFormatter> formatter)
    : target_(target), formatter_(std::move(formatter)) {}

const std::vector<plat::Value>& VndObjectProxyDictionary::keys() const {
    if (propertyNames_)
        return *propertyNames_;
    auto target = target_.lock();
    auto base = target ? classKeys(*target) : std::make_shared<const std::vector<plat::Value>>();
    if (!persistentDictionary_) {
        propertyNames_ = std::move(base);
    } else {
        auto all = std::make_shared<std::vector<plat::Value>>(*base);
        persistentDictionary_->enumerateKeysAndObjects(
            [&](const plat::Value& k, const plat::Value&) {
                if (std::find(all->begin(), all->end(), k) == all->end())
                    all->push_back(k);
                return true;
            });
        propertyNames_ = std::move(all);
    }
    return *propertyNames_;
}

size_t VndObjectProxyDictionary::count() const {
    return keys().size();
}

plat::Value VndObjectProxyDictionary::objectForKey(const plat::Value& key) const {
    auto target = target_.lock();
    plat::Value value;
    if (target && key.isString()) {
        const std::string name =
            target->respondsToSelector(kPropertyForKeyHook)
                ? plat::send<std::string>(target, kPropertyForKeyHook, *key.string())
                : *key.string();
        if (target->respondsToSelector(name)) {
            value = target->respondsToSelector(kSerializedValueHook)
                        ? plat::send<plat::Value>(target, kSerializedValueHook, name)
                        : plat::valueForKey(*target, name);
        }
    }
    if (const plat::Date* date = value.date(); date && formatter_) {
        value = plat::Value(formatter_->stringFromDate(*date));
    }
    if (value.isNil() && persistentDictionary_)
        value = persistentDictionary_->objectForKey(key);
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
            if (object && object->respondsToSelector("proxyForJson")) {
                elements.push_back(plat::send<plat::Value>(object, "proxyForJson"));
            } else {
                elements.push_back(element);
            }
            return true;
        });
        value = plat::Value(plat::Array::make(std::move(elements)));
    }
    return value.isNil() ? plat::Value::null() : value;
}

void VndObjectProxyDictionary::enumerateKeysAndObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    for (const auto& key : keys()) {
        if (!fn(key, objectForKey(key)))
            return;
    }
}
