#include "vnlib/dev/runtime/RTProperty.h"

#include "vnlib/dev/runtime/RTNotRecognized.h"

#include <functional>

#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "vnlib/dev/runtime/RTUnregisteredClass.h"

PLAT_DEFINE_CLASS(RTProperty, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTObjCProperty, RTProperty, PLAT_NO_METHODS)

namespace {

RTProperty::Attributes parseAttributes(std::string_view text) {
    RTProperty::Attributes map;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = text.substr(start, end - start);
        if (!item.empty())
            map[std::string(item.substr(0, 1))] = std::string(item.substr(1));
        start = end + 1;
    }
    return map;
}

const char* nameOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : "(null)";
}

}  // namespace

// ---- RTProperty
// ----------------------------------------------------------------------------------

Ref<RTProperty> RTProperty::propertyWithObjCProperty(const plat::PropertyEntry& property) {
    return std::make_shared<_RTObjCProperty>(property);
}

Ref<RTProperty> RTProperty::propertyWithName(std::string name, Attributes attributes) {
    return std::make_shared<_RTObjCProperty>(std::move(name), std::move(attributes));
}

std::string RTProperty::description() const {
    return plat::format("<%s %p: %s %s %s %s>", className().c_str(), static_cast<const void*>(this),
                        name().c_str(), attributeEncodings().c_str(), nameOrNull(typeEncoding()),
                        nameOrNull(ivarName()));
}

bool RTProperty::isEqual(const plat::Object* other) const {
    const auto* property = dynamic_cast<const RTProperty*>(other);
    if (!property)
        return false;
    return property->name() == name() && property->attributeEncodings() == attributeEncodings() &&
           property->typeEncoding() == typeEncoding() && property->ivarName() == ivarName();
}

size_t RTProperty::hash() const {
    const auto type = typeEncoding();
    return std::hash<std::string>()(name()) ^ (type ? std::hash<std::string>()(*type) : 0);
}

const std::string& RTProperty::name() const {
    rt_notRecognized(*this, "name");
}
RTProperty::Attributes RTProperty::attributes() const {
    rt_notRecognized(*this, "attributes");
}
std::string RTProperty::attributeEncodings() const {
    rt_notRecognized(*this, "attributeEncodings");
}
bool RTProperty::isReadOnly() const {
    rt_notRecognized(*this, "isReadOnly");
}
RTPropertySetterSemantics RTProperty::setterSemantics() const {
    rt_notRecognized(*this, "setterSemantics");
}
bool RTProperty::isNonAtomic() const {
    rt_notRecognized(*this, "isNonAtomic");
}
bool RTProperty::isDynamic() const {
    rt_notRecognized(*this, "isDynamic");
}
bool RTProperty::isWeakReference() const {
    rt_notRecognized(*this, "isWeakReference");
}
bool RTProperty::isEligibleForGarbageCollection() const {
    rt_notRecognized(*this, "isEligibleForGarbageCollection");
}
plat::Selector RTProperty::customGetter() const {
    rt_notRecognized(*this, "customGetter");
}
plat::Selector RTProperty::customSetter() const {
    rt_notRecognized(*this, "customSetter");
}
std::optional<std::string> RTProperty::typeEncoding() const {
    rt_notRecognized(*this, "typeEncoding");
}
std::optional<std::string> RTProperty::oldTypeEncoding() const {
    rt_notRecognized(*this, "oldTypeEncoding");
}
std::optional<std::string> RTProperty::ivarName() const {
    rt_notRecognized(*this, "ivarName");
}

// ---- _RTObjCProperty
// -----------------------------------------------------------------------------

_RTObjCProperty::_RTObjCProperty(const plat::PropertyEntry& property)
    : name_(property.name), attributes_(parseAttributes(property.attributes)) {}

_RTObjCProperty::_RTObjCProperty(std::string name, Attributes attributes)
    : name_(std::move(name)), attributes_(std::move(attributes)) {}

std::string _RTObjCProperty::attributeEncodings() const {
    std::string out;
    for (const auto& [code, value] : attributes_) {
        if (code == RTPropertyTypeEncodingAttribute || code == RTPropertyBackingIVarNameAttribute) {
            continue;
        }
        if (!out.empty())
            out += ',';
        out += code;
        out += value;
    }
    return out;
}

bool _RTObjCProperty::hasAttribute(std::string_view code) const {
    return attributes_.find(code) != attributes_.end();
}

bool _RTObjCProperty::isReadOnly() const {
    return hasAttribute(RTPropertyReadOnlyAttribute);
}

RTPropertySetterSemantics _RTObjCProperty::setterSemantics() const {
    if (hasAttribute(RTPropertyCopyAttribute))
        return RTPropertySetterSemanticsCopy;
    if (hasAttribute(RTPropertyRetainAttribute))
        return RTPropertySetterSemanticsRetain;
    return RTPropertySetterSemanticsAssign;
}

bool _RTObjCProperty::isNonAtomic() const {
    return hasAttribute(RTPropertyNonAtomicAttribute);
}
bool _RTObjCProperty::isDynamic() const {
    return hasAttribute(RTPropertyDynamicAttribute);
}
bool _RTObjCProperty::isWeakReference() const {
    return hasAttribute(RTPropertyWeakReferenceAttribute);
}
bool _RTObjCProperty::isEligibleForGarbageCollection() const {
    return hasAttribute(RTPropertyEligibleForGarbageCollectionAttribute);
}

std::optional<std::string> _RTObjCProperty::contentOfAttribute(std::string_view code) const {
    auto it = attributes_.find(code);
    if (it == attributes_.end())
        return std::nullopt;
    return it->second;
}

plat::Selector _RTObjCProperty::customGetter() const {
    auto getter = contentOfAttribute(RTPropertyCustomGetterAttribute);
    return getter ? plat::Selector(*getter) : plat::Selector();
}

plat::Selector _RTObjCProperty::customSetter() const {
    auto setter = contentOfAttribute(RTPropertyCustomSetterAttribute);
    return setter ? plat::Selector(*setter) : plat::Selector();
}

std::optional<std::string> _RTObjCProperty::typeEncoding() const {
    return contentOfAttribute(RTPropertyTypeEncodingAttribute);
}

std::optional<std::string> _RTObjCProperty::oldTypeEncoding() const {
    return contentOfAttribute(RTPropertyOldTypeEncodingAttribute);
}

std::optional<std::string> _RTObjCProperty::ivarName() const {
    return contentOfAttribute(RTPropertyBackingIVarNameAttribute);
}

bool RTProperty::addToClass(plat::Class& cls) const {
    const auto type = typeEncoding();
    if (!type || cls.findOwnProperty(name()))
        return false;
    auto entry = std::make_shared<plat::PropertyEntry>();
    entry->name = name();
    entry->typeEncoding = *type;
    entry->attributes = "T" + *type;
    if (const std::string others = attributeEncodings(); !others.empty())
        entry->attributes += "," + others;
    if (const auto ivar = ivarName())
        entry->attributes += ",V" + *ivar;
    if (type->size() > 3 && type->rfind("@\"", 0) == 0 && type->back() == '"')
        entry->objectClassName = type->substr(2, type->size() - 3);
    entry->owner = &cls;
    const std::string key = name();
    entry->getter = [key](const plat::Object& object) {
        const auto* runtimeObject = dynamic_cast<const RTRuntimeObject*>(&object);
        return runtimeObject ? runtimeObject->valueForProperty(key) : plat::Value();
    };
    if (!isReadOnly()) {
        entry->setter = [key](plat::Object& object, const plat::Value& value) {
            auto* runtimeObject = dynamic_cast<RTRuntimeObject*>(&object);
            if (!runtimeObject)
                return false;
            runtimeObject->setValueForProperty(key, value);
            return true;
        };
    }
    cls.addProperty(std::move(entry));
    return true;
}
