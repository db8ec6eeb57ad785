#include "vnlib/dev/util/VndObjectAdditions.h"

#include <mutex>
#include <unordered_map>

#include "platform/core/KeyValueCoding.h"
#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/runtime/ZrRuntime.h"

namespace {

struct VisiblePropertyMap {
    std::mutex lock;
    std::unordered_map<std::string, std::shared_ptr<const std::vector<Ref<RTProperty>>>> map;
};

struct PropertyMap {
    std::mutex lock;
    std::unordered_map<std::string, std::unordered_map<std::string, Ref<RTProperty>>> map;
};

VisiblePropertyMap& visiblePropertyMap() {
    static VisiblePropertyMap m;
    return m;
}

PropertyMap& propertyMap() {
    static PropertyMap m;
    return m;
}

}  // namespace

const std::vector<Ref<RTProperty>>& rt_allVisibleProperties(const plat::Class& cls) {
    auto& cache = visiblePropertyMap();
    std::lock_guard guard(cache.lock);
    auto& slot = cache.map[classId(cls)];
    if (!slot) {
        auto all = std::make_shared<std::vector<Ref<RTProperty>>>();
        for (const plat::Class* c = &cls; c && c != &plat::Object::classObject();
             c = c->superclass()) {
            auto own = rt_properties(*c);
            all->insert(all->end(), own.begin(), own.end());
        }
        slot = std::move(all);
    }
    return *slot;
}

Ref<RTProperty> rt_cachedPropertyForName(const plat::Class& cls, const std::string& name) {
    auto& cache = propertyMap();
    std::lock_guard guard(cache.lock);
    auto& byName = cache.map[classId(cls)];
    auto it = byName.find(name);
    if (it != byName.end())
        return it->second;
    auto property = rt_propertyForName(cls, name);
    if (property)
        byName.emplace(name, property);
    return property;
}

std::string descriptionByProperties(const plat::Value& value) {
    if (auto array = value.array()) {
        std::string joined;
        bool first = true;
        array->enumerate([&](const plat::Value& v) {
            joined += (first ? "" : ",") + v.description();
            first = false;
            return true;
        });
        return "{ " + joined + " }";
    }
    if (auto dictionary = value.dictionary())
        return dictionary->description();
    if (auto object = value.object())
        return descriptionByProperties(*object);
    return value.description();
}

std::string descriptionByProperties(const plat::Object& object) {
    std::string out = "{";
    for (const auto& property : rt_allVisibleProperties(object.getClass())) {
        out += property->name() + ": " + plat::valueForKey(object, property->name()).description() +
               ", ";
    }
    return out + "}";
}

plat::Value boxedMessageResult(const std::any& answer, const std::string& returnType) {
    if (!answer.has_value())
        return plat::Value();
    if (returnType == "@") {
        if (auto* v = std::any_cast<plat::Value>(&answer))
            return *v;
        if (auto* o = std::any_cast<Ref<plat::Object>>(&answer))
            return plat::Value(*o);
        if (auto* s = std::any_cast<std::string>(&answer))
            return plat::Value(*s);
        if (auto* os = std::any_cast<std::optional<std::string>>(&answer)) {
            return *os ? plat::Value(**os) : plat::Value();
        }
        if (auto* d = std::any_cast<plat::Date>(&answer))
            return plat::Value(*d);
        if (auto* b = std::any_cast<plat::Bytes>(&answer))
            return plat::Value(*b);
        return plat::Value();
    }
    int32_t n = 0;
    if (auto* i = std::any_cast<int32_t>(&answer))
        n = *i;
    else if (auto* q = std::any_cast<int64_t>(&answer))
        n = static_cast<int32_t>(*q);
    else if (auto* u = std::any_cast<uint32_t>(&answer))
        n = static_cast<int32_t>(*u);
    else if (auto* uq = std::any_cast<uint64_t>(&answer))
        n = static_cast<int32_t>(*uq);
    else if (auto* b = std::any_cast<bool>(&answer))
        n = *b ? 1 : 0;
    else if (auto* c = std::any_cast<char>(&answer))
        n = *c;
    else if (auto* sc = std::any_cast<signed char>(&answer))
        n = *sc;
    else if (auto* f = std::any_cast<float>(&answer))
        n = static_cast<int32_t>(*f);
    else if (auto* d = std::any_cast<double>(&answer))
        n = static_cast<int32_t>(*d);
    return plat::Value(plat::Number::fromInt64(n, 'q'));
}

plat::Value performSelectorEx(const Ref<plat::Object>& receiver, plat::Selector sel) {
    if (!receiver)
        return plat::Value();
    const plat::Method* method = receiver->getClass().findMethod(sel);
    plat::Invocation invocation(sel, {});
    receiver->dispatch(invocation);
    return boxedMessageResult(invocation.returnValue(), method ? method->returnType : "@");
}

plat::Value performSelectorEx(const plat::Value& receiver, plat::Selector sel) {
    if (receiver.isNilOrNull())
        return plat::Value();
    if (receiver.isObject())
        return performSelectorEx(receiver.object(), sel);
    return plat::valueForKey(receiver, sel.name());
}

std::shared_ptr<plat::Invocation> invocationWithSelector(const Ref<plat::Object>& receiver,
                                                         plat::Selector sel) {
    auto invocation = std::make_shared<plat::Invocation>(sel, plat::Args{});
    invocation->setTarget(receiver);
    return invocation;
}

void performSelectorWithInvocation(const std::shared_ptr<plat::Invocation>& invocation) {
    if (invocation)
        invocation->invoke();
}

void performSelectorAfterDelay(const Ref<plat::Object>& receiver, plat::Selector sel,
                               plat::Value first, plat::Value second, double delay) {
    auto invocation = invocationWithSelector(receiver, sel);
    // Objects travel as object references, so that methods taking a Ref<T> accept them.
    auto pack = [](plat::Value v) {
        return v.object() ? std::any(v.object()) : std::any(std::move(v));
    };
    invocation->arguments() = {pack(std::move(first)), pack(std::move(second))};
    plat::RunLoop::current().perform([invocation] { performSelectorWithInvocation(invocation); },
                                     delay, plat::defaultModes(), receiver.get(),
                                     "performSelectorWithInvocation:");
}
