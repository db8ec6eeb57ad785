#include "vnlib/dev/runtime/RTIvar.h"

#include "vnlib/dev/runtime/RTNotRecognized.h"

#include <functional>

#include "platform/core/Log.h"

PLAT_DEFINE_CLASS(RTIvar, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTObjCIvar, RTIvar, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTComponentsIvar, RTIvar, PLAT_NO_METHODS)

Ref<RTIvar> RTIvar::ivarWithObjCIvar(const plat::Class::Ivar& ivar) {
    return std::make_shared<_RTObjCIvar>(ivar);
}

Ref<RTIvar> RTIvar::ivarWithName(std::string name, std::string typeEncoding) {
    return std::make_shared<_RTComponentsIvar>(std::move(name), std::move(typeEncoding));
}

Ref<RTIvar> RTIvar::ivarWithNameEncode(std::string name, const char* encode) {
    return ivarWithName(std::move(name), encode ? encode : "");
}

std::string RTIvar::description() const {
    return plat::format("<%s %p: %s %s %ld>", className().c_str(), static_cast<const void*>(this),
                        name().c_str(), typeEncoding().c_str(), static_cast<long>(offset()));
}

bool RTIvar::isEqual(const plat::Object* other) const {
    const auto* ivar = dynamic_cast<const RTIvar*>(other);
    return ivar && ivar->name() == name() && ivar->typeEncoding() == typeEncoding();
}

size_t RTIvar::hash() const {
    return std::hash<std::string>()(name()) ^ std::hash<std::string>()(typeEncoding());
}

const std::string& RTIvar::name() const {
    rt_notRecognized(*this, "name");
}
const std::string& RTIvar::typeEncoding() const {
    rt_notRecognized(*this, "typeEncoding");
}
ptrdiff_t RTIvar::offset() const {
    rt_notRecognized(*this, "offset");
}
