#include "vnlib/dev/runtime/ZrRuntime.h"

#include "platform/core/Property.h"

std::vector<Ref<RTProperty>> rt_properties(const plat::Class& cls) {
    std::vector<Ref<RTProperty>> out;
    out.reserve(cls.declaredProperties().size());
    for (const auto& entry : cls.declaredProperties()) {
        if (!entry)
            continue;
        const std::string& name = entry->name;
        if (name == "description" || name == "debugDescription" || name == "superclass")
            continue;
        out.push_back(RTProperty::propertyWithObjCProperty(*entry));
    }
    return out;
}

Ref<RTProperty> rt_propertyForName(const plat::Class& cls, std::string_view name) {
    auto entry = cls.findProperty(name);
    return entry ? RTProperty::propertyWithObjCProperty(*entry) : nullptr;
}
