#include "vnlib/dev/util/VndProxyClassPlan.h"

#include <algorithm>
#include <shared_mutex>

#include "vnlib/dev/json/JKMemberWriter.h"
#include "vnlib/dev/util/VndObjectAdditions.h"
#include "vnlib/dev/util/VndPropertyValueSource.h"

namespace {

const plat::Selector& planPropertyForKeyHook() {
    static const plat::Selector sel("_propertyNameByDictionaryKeyName:");
    return sel;
}

}  // namespace

VndProxyClassPlan::VndProxyClassPlan(plat::Object& target) : class_(&target.getClass()) {
    static const plat::Selector excludedHook("coreSerializationExcludedPropertyNames");
    static const plat::Selector keyForPropertyHook("_dictionaryKeyNameWithPropertyName:");
    std::vector<std::string> excluded;
    if (target.respondsToSelector(excludedHook))
        excluded = plat::send<std::vector<std::string>>(&target, excludedHook);
    if (const auto* source = dynamic_cast<VndPropertyValueSource*>(&target)) {
        isSource_ = true;
        ownWay_ = source->propertiesSerializedTheirOwnWay();
    }
    const bool mapsKeys = target.respondsToSelector(keyForPropertyHook);
    for (const auto& property : rt_allVisibleProperties(target.getClass())) {
        const std::string& name = property->name();
        if (std::find(excluded.begin(), excluded.end(), name) != excluded.end())
            continue;
        std::string key =
            mapsKeys ? plat::send<std::string>(&target, keyForPropertyHook, name) : name;
        if (indexByKey_.count(key))
            continue;
        indexByKey_.emplace(key, keys_.size());
        keys_.push_back(makePlan(target, plat::Value(key)));
    }
}

const VndProxyClassPlan& VndProxyClassPlan::of(plat::Object& target) {
    static std::shared_mutex lock;
    static std::unordered_map<const plat::Class*, std::unique_ptr<VndProxyClassPlan>> plans;
    const plat::Class* cls = &target.getClass();
    {
        std::shared_lock reading(lock);
        if (auto it = plans.find(cls); it != plans.end())
            return *it->second;
    }
    // Made outside the lock: the hooks may make views of their own.
    auto made = std::make_unique<VndProxyClassPlan>(target);
    std::unique_lock writing(lock);
    auto& slot = plans[cls];
    if (!slot)
        slot = std::move(made);
    return *slot;
}

size_t VndProxyClassPlan::indexOf(const plat::Value& key) const {
    const std::string* text = key.string();
    if (!text)
        return npos;
    auto it = indexByKey_.find(*text);
    return it == indexByKey_.end() ? npos : it->second;
}

const VndProxyKeyPlan& VndProxyClassPlan::planFor(plat::Object& target,
                                                  const plat::Value& key) const {
    if (const size_t index = indexOf(key); index != npos)
        return keys_[index];
    return otherPlanFor(target, key);
}

const VndProxyKeyPlan& VndProxyClassPlan::otherPlanFor(plat::Object& target,
                                                       const plat::Value& key) const {
    std::lock_guard guard(extrasLock_);
    auto& slot = extras_[*key.string()];
    if (!slot)
        slot = std::make_unique<VndProxyKeyPlan>(makePlan(target, key));
    return *slot;
}

VndProxyKeyPlan VndProxyClassPlan::makePlan(plat::Object& target, const plat::Value& key) const {
    VndProxyKeyPlan plan;
    plan.key = key;
    if (auto rendered = JKMemberWriter::renderedKey(*key.string()))
        plan.renderedKey = std::move(*rendered);
    if (!isSource_)
        return plan;  // other targets are asked at each lookup
    plan.propertyName =
        target.respondsToSelector(planPropertyForKeyHook())
            ? plat::send<std::string>(&target, planPropertyForKeyHook(), *key.string())
            : *key.string();
    plan.readable = target.respondsToSelector(plan.propertyName);
    if (plan.readable)
        plan.property =
            dynamic_cast<VndPropertyValueSource&>(target).serializedProperty(plan.propertyName);
    const plat::PropertyEntry* property = plan.property;
    if (!property ||
        std::find(ownWay_.begin(), ownWay_.end(), plan.propertyName) != ownWay_.end()) {
        return plan;
    }
    // Texts the object holds, and scalars: what the source writes is what these read.
    const bool text = property->typeEncoding == "@\"NSString\"" && property->borrow;
    const bool scalar = property->scalarType() != 0 && property->getter;
    if ((!text && !scalar) || plan.renderedKey.empty())
        return plan;
    plan.reading = text ? VndProxyKeyPlan::Reading::Text : VndProxyKeyPlan::Reading::Scalar;
    return plan;
}
