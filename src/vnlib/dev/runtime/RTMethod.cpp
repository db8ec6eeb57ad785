#include "vnlib/dev/runtime/RTMethod.h"

#include "vnlib/dev/runtime/RTNotRecognized.h"

#include <functional>

#include "platform/core/Log.h"
#include "vnlib/dev/runtime/RTTypeEncoding.h"

PLAT_DEFINE_CLASS(RTMethod, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTObjCMethod, RTMethod, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTComponentsMethod, RTMethod, PLAT_NO_METHODS)

namespace {

// The method of the class's own table for the selector; null when it has none.
const plat::Method* ownMethod(const plat::Class& cls, plat::Selector selector) {
    const plat::Method* method = cls.findMethod(selector);
    if (!method)
        return nullptr;
    const plat::Class* super = cls.superclass();
    return super && super->findMethod(selector) == method ? nullptr : method;
}

}  // namespace

Ref<RTMethod> RTMethod::methodWithObjCMethod(plat::Class& cls, plat::Selector selector) {
    return std::make_shared<_RTObjCMethod>(cls, selector);
}

Ref<RTMethod> RTMethod::methodWithSelector(plat::Selector selector, RTImplementation implementation,
                                           std::string signature) {
    return std::make_shared<_RTComponentsMethod>(selector, std::move(implementation),
                                                 std::move(signature));
}

plat::Selector RTMethod::selector() const {
    rt_notRecognized(*this, "selector");
}
RTImplementation RTMethod::implementation() const {
    rt_notRecognized(*this, "implementation");
}
std::string RTMethod::signature() const {
    rt_notRecognized(*this, "signature");
}
void RTMethod::setImplementation(RTImplementation) {
    rt_notRecognized(*this, "setImplementation:");
}

std::string RTMethod::description() const {
    return plat::format("<%s %p: %s %p %s>", className().c_str(), static_cast<const void*>(this),
                        selectorName().c_str(), static_cast<const void*>(implementation().get()),
                        signature().c_str());
}

bool RTMethod::isEqual(const plat::Object* other) const {
    const auto* method = dynamic_cast<const RTMethod*>(other);
    return method && method->selector() == selector() &&
           method->implementation() == implementation() && method->signature() == signature();
}

size_t RTMethod::hash() const {
    return std::hash<std::string>()(selectorName()) ^
           std::hash<const void*>()(implementation().get()) ^ std::hash<std::string>()(signature());
}

bool RTMethod::send(const char* routine, std::any* result, plat::Object& target,
                    const std::vector<RTArgument>& arguments) const {
    const std::vector<std::string> types = rt_type::splitSignature(signature());
    plat::Args values;
    values.reserve(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        const RTArgument& argument = arguments[i];
        if (argument.marker != RTArgumentMarker) {
            plat::log(plat::format(
                "%s: incorrect magic cookie %08x; did you forget to use RTARG() around your "
                "arguments?",
                routine, argument.marker));
            return false;
        }
        // The parameters follow the return type, the receiver and the selector.
        const std::string required = i + 3 < types.size() ? types[i + 3] : std::string();
        const size_t given = rt_type::sizeOf(argument.typeEncoding);
        const size_t wanted = rt_type::sizeOf(required);
        if (given != wanted) {
            plat::log(plat::format(
                "%s: size mismatch between passed-in argument and required "
                "argument; in type: %s (%lu) requested: %s (%lu)",
                routine, argument.typeEncoding.c_str(), static_cast<unsigned long>(given),
                required.c_str(), static_cast<unsigned long>(wanted)));
            return false;
        }
        values.push_back(argument.value);
    }
    const RTImplementation method = implementation();
    if (!method || !method->call)
        return false;
    std::any answer = method->call(target, values);
    if (result && !types.empty() && types[0] != "v")
        *result = std::move(answer);
    return true;
}

bool RTMethod::returnValue(std::any* result, plat::Object& target,
                           const std::vector<RTArgument>& arguments) const {
    return send("returnValue:sendToTarget:", result, target, arguments);
}

Ref<plat::Object> RTMethod::sendToTarget(plat::Object& target,
                                         const std::vector<RTArgument>& arguments) const {
    PLAT_PARAMETER_ASSERT(signature().rfind('@', 0) == 0);
    std::any answer;
    if (!send("sendToTarget:", &answer, target, arguments))
        return nullptr;
    auto* object = std::any_cast<Ref<plat::Object>>(&answer);
    return object ? *object : nullptr;
}

// ---- _RTObjCMethod ------------------------------------------------------------------------------

RTImplementation _RTObjCMethod::implementation() const {
    const plat::Method* method = ownMethod(*cls_, selector_);
    // The class keeps the method; the descriptor shares it without owning it.
    return method ? RTImplementation(std::shared_ptr<const void>(), method) : nullptr;
}

std::string _RTObjCMethod::signature() const {
    const plat::Method* method = ownMethod(*cls_, selector_);
    if (!method)
        return {};
    std::string text = method->returnType + "@:";
    for (size_t i = 0; i < method->arity; ++i)
        text += i < method->argumentTypes.size() ? method->argumentTypes[i] : "?";
    return text;
}

void _RTObjCMethod::setImplementation(RTImplementation implementation) {
    if (implementation)
        cls_->addMethod(selector_, *implementation);
}
