#include "vnlib/dev/runtime/RTUnregisteredClass.h"

#include <algorithm>

#include "vnlib/dev/runtime/RTTypeEncoding.h"
#include "vnlib/dev/runtime/ZrRuntime.h"

PLAT_DEFINE_CLASS(RTUnregisteredClass, plat::Object, PLAT_NO_METHODS)

namespace {

// A new root class holds at least its class reference.
constexpr size_t kRootInstanceSize = sizeof(void*);

}  // namespace

bool rt_makesRuntimeObjects(const plat::Class& cls) {
    for (const plat::Class* c = &cls; c; c = c->superclass()) {
        if (c == &plat::Object::classObject())
            return true;
        if (!c->isRuntimeClass() && c != &cls)
            return false;
    }
    return true;
}

Ref<RTUnregisteredClass> RTUnregisteredClass::unregisteredClassWithName(
    const std::string& name, const plat::Class* superclass) {
    if (name.empty() || plat::Class::named(name))
        return nullptr;
    auto cls = std::make_unique<plat::Class>(name, superclass, nullptr);
    cls->setInstanceSize(superclass ? superclass->instanceSize() : kRootInstanceSize);
    plat::Class* raw = cls.get();
    cls->setFactory([raw]() -> Ref<plat::Object> {
        if (!rt_makesRuntimeObjects(*raw))
            return nullptr;
        return std::make_shared<RTRuntimeObject>(*raw);
    });
    return std::make_shared<RTUnregisteredClass>(std::move(cls));
}

RTUnregisteredClass::RTUnregisteredClass(std::unique_ptr<plat::Class> cls) : cls_(std::move(cls)) {}

void RTUnregisteredClass::addProtocol(const Ref<RTProtocol>& protocol) {
    if (cls_ && protocol)
        cls_->addProtocolName(protocol->name());
}

bool RTUnregisteredClass::addIvar(const Ref<RTIvar>& ivar) {
    if (!cls_ || !ivar)
        return false;
    const auto& ivars = cls_->ivars();
    if (std::any_of(ivars.begin(), ivars.end(),
                    [&](const plat::Class::Ivar& i) { return i.name == ivar->name(); }))
        return false;
    const size_t size = rt_type::sizeOf(ivar->typeEncoding());
    if (size == 0)
        return false;
    const size_t alignment = rt_type::alignmentOf(ivar->typeEncoding());
    const size_t offset = (cls_->instanceSize() + alignment - 1) / alignment * alignment;
    cls_->addIvar({ivar->name(), ivar->typeEncoding(), static_cast<ptrdiff_t>(offset), size});
    cls_->setInstanceSize(offset + size);
    return true;
}

bool RTUnregisteredClass::addMethod(const Ref<RTMethod>& method) {
    return cls_ && rt_addMethod(*cls_, method);
}

bool RTUnregisteredClass::addProperty(const Ref<RTProperty>& property) {
    return cls_ && property && property->addToClass(*cls_);
}

const plat::Class* RTUnregisteredClass::registerClass() {
    if (!cls_)
        return nullptr;
    return plat::Class::registerRuntimeClass(std::move(cls_));
}

plat::Value RTRuntimeObject::valueForProperty(const std::string& name) const {
    auto it = properties_.find(name);
    return it == properties_.end() ? plat::Value() : it->second;
}

void RTRuntimeObject::setValueForProperty(const std::string& name, plat::Value value) {
    properties_[name] = std::move(value);
}
