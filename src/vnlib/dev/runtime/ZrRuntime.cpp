#include "vnlib/dev/runtime/ZrRuntime.h"

#include <algorithm>

#include "platform/core/Property.h"
#include "platform/core/Protocol.h"
#include "vnlib/dev/runtime/RTUnregisteredClass.h"

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

std::vector<const plat::Class*> rt_subclasses(const plat::Class& cls) {
    // Another thread may register classes meanwhile: read the list until it holds still.
    std::vector<const plat::Class*> all = plat::Class::registeredClasses();
    for (;;) {
        auto again = plat::Class::registeredClasses();
        if (again.size() == all.size())
            break;
        all = std::move(again);
    }
    std::vector<const plat::Class*> out = {&cls};
    for (const plat::Class* candidate : all) {
        if (candidate != &cls && candidate->isSubclassOf(cls))
            out.push_back(candidate);
    }
    return out;
}

Ref<RTUnregisteredClass> rt_createUnregisteredSubclassNamed(const plat::Class& cls,
                                                            const std::string& name) {
    return RTUnregisteredClass::unregisteredClassWithName(name, &cls);
}

const plat::Class* rt_createSubclassNamed(const plat::Class& cls, const std::string& name) {
    auto builder = rt_createUnregisteredSubclassNamed(cls, name);
    return builder ? builder->registerClass() : nullptr;
}

bool rt_destroyClass(const plat::Class& cls) {
    return plat::Class::unregisterRuntimeClass(cls);
}

bool rt_isMetaClass(const plat::Class&) {
    return false;
}

const plat::Class* rt_setSuperclass(plat::Class& cls, const plat::Class* superclass) {
    const plat::Class* previous = cls.superclass();
    // A class may not become its own ancestor.
    if (superclass && superclass->isSubclassOf(cls))
        return previous;
    cls.setSuperclass(superclass);
    return previous;
}

size_t rt_instanceSize(const plat::Class& cls) {
    return cls.instanceSize();
}

std::vector<Ref<RTProtocol>> rt_protocols(const plat::Class& cls) {
    std::vector<Ref<RTProtocol>> out;
    for (const auto& name : cls.protocolNames()) {
        if (auto protocol = RTProtocol::protocolWithName(name))
            out.push_back(std::move(protocol));
    }
    return out;
}

std::vector<Ref<RTMethod>> rt_methods(plat::Class& cls) {
    std::vector<Ref<RTMethod>> out;
    for (plat::Selector selector : cls.methodOrder())
        out.push_back(RTMethod::methodWithObjCMethod(cls, selector));
    return out;
}

Ref<RTMethod> rt_methodForSelector(plat::Class& cls, plat::Selector selector) {
    const plat::Method* method = cls.findMethod(selector);
    if (!method)
        return nullptr;
    // The descriptor names the class whose own table holds the method.
    plat::Class* owner = &cls;
    while (owner->superclass() && owner->superclass()->findMethod(selector) == method)
        owner = const_cast<plat::Class*>(owner->superclass());
    return RTMethod::methodWithObjCMethod(*owner, selector);
}

bool rt_addMethod(plat::Class& cls, const Ref<RTMethod>& method) {
    if (!method)
        return false;
    const auto implementation = method->implementation();
    const auto& own = cls.methodOrder();
    if (!implementation || std::find(own.begin(), own.end(), method->selector()) != own.end())
        return false;
    plat::Method added = *implementation;
    // The signature tells the return type when the implementation does not.
    if (added.returnType.empty()) {
        const std::string signature = method->signature();
        added.returnType = signature.empty() ? "v" : signature.substr(0, 1);
    }
    cls.addMethod(method->selector(), std::move(added));
    return true;
}

std::vector<Ref<RTIvar>> rt_ivars(const plat::Class& cls) {
    std::vector<Ref<RTIvar>> out;
    for (const auto& ivar : cls.ivars())
        out.push_back(RTIvar::ivarWithObjCIvar(ivar));
    return out;
}

Ref<RTIvar> rt_ivarForName(const plat::Class& cls, std::string_view name) {
    for (const plat::Class* c = &cls; c; c = c->superclass()) {
        for (const auto& ivar : c->ivars()) {
            if (ivar.name == name)
                return RTIvar::ivarWithObjCIvar(ivar);
        }
    }
    return nullptr;
}

bool rt_addProperty(plat::Class& cls, const Ref<RTProperty>& property) {
    return property && property->addToClass(cls);
}

const plat::Class& rt_class(const plat::Object& object) {
    return object.getClass();
}

const plat::Class* rt_setClass(plat::Object& object, const plat::Class& cls) {
    auto* runtimeObject = dynamic_cast<RTRuntimeObject*>(&object);
    if (!runtimeObject || !cls.isRuntimeClass() || !rt_makesRuntimeObjects(cls))
        return nullptr;
    const plat::Class* previous = &runtimeObject->getClass();
    runtimeObject->setClass(cls);
    return previous;
}

namespace {

Ref<plat::Object> objectResult(bool sent, const std::any& result) {
    const auto* object = sent ? std::any_cast<Ref<plat::Object>>(&result) : nullptr;
    return object ? *object : nullptr;
}

Ref<RTMethod> methodOf(plat::Object& target, plat::Selector selector) {
    return rt_methodForSelector(const_cast<plat::Class&>(target.getClass()), selector);
}

}  // namespace

Ref<plat::Object> rt_sendMethod(plat::Object& target, const RTMethod& method,
                                const std::vector<RTArgument>& arguments) {
    PLAT_PARAMETER_ASSERT(method.signature().rfind('@', 0) == 0);
    std::any result;
    return objectResult(method.send("rt_sendMethod:", &result, target, arguments), result);
}

bool rt_returnValueSendMethod(std::any* result, plat::Object& target, const RTMethod& method,
                              const std::vector<RTArgument>& arguments) {
    return method.send("rt_returnValue:sendMethod:", result, target, arguments);
}

Ref<plat::Object> rt_sendSelector(plat::Object& target, plat::Selector selector,
                                  const std::vector<RTArgument>& arguments) {
    auto method = methodOf(target, selector);
    if (!method)
        target.doesNotRecognizeSelector(selector);
    PLAT_PARAMETER_ASSERT(method && method->signature().rfind('@', 0) == 0);
    std::any result;
    return objectResult(method->send("rt_sendSelector:", &result, target, arguments), result);
}

bool rt_returnValueSendSelector(std::any* result, plat::Object& target, plat::Selector selector,
                                const std::vector<RTArgument>& arguments) {
    auto method = methodOf(target, selector);
    if (!method)
        target.doesNotRecognizeSelector(selector);
    return method && method->send("rt_returnValue:sendSelector:", result, target, arguments);
}
