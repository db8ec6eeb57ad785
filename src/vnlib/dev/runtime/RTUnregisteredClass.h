#pragma once
// RTUnregisteredClass: builds a class while the program runs. Protocols, instance variables
// (placed by the size and alignment of their type text), methods and properties are added to it,
// then registerClass() registers it under its name. Instances of such a class are
// RTRuntimeObjects, made when every ancestor is a class built at run time or the root class; they
// keep the values of the class's declared properties.
//
//   auto builder = RTUnregisteredClass::unregisteredClassWithName("Note",
//   &plat::Object::classObject()); builder->addIvar(RTIvar::ivarWithName("count_", "i")); const
//   plat::Class* note = builder->registerClass();
#include <map>
#include <memory>
#include <string>

#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "vnlib/dev/runtime/RTIvar.h"
#include "vnlib/dev/runtime/RTMethod.h"
#include "vnlib/dev/runtime/RTProperty.h"
#include "vnlib/dev/runtime/RTProtocol.h"

class RTUnregisteredClass : public plat::Object {
    PLAT_CLASS(RTUnregisteredClass)
  public:
    // Null when a class of that name exists. Without a superclass the class is a new root class.
    static Ref<RTUnregisteredClass> unregisteredClassWithName(const std::string& name,
                                                              const plat::Class* superclass);
    static Ref<RTUnregisteredClass> unregisteredClassWithName(const std::string& name) {
        return unregisteredClassWithName(name, nullptr);
    }

    explicit RTUnregisteredClass(std::unique_ptr<plat::Class> cls);

    // The class being built; null once registered.
    plat::Class* classBeingBuilt() { return cls_.get(); }

    void addProtocol(const Ref<RTProtocol>& protocol);
    // Places the variable after the ones before it, aligned for its type; false when the class
    // has a variable of that name or the type has no size.
    bool addIvar(const Ref<RTIvar>& ivar);
    // False when the class has its own method for the selector.
    bool addMethod(const Ref<RTMethod>& method);
    bool addProperty(const Ref<RTProperty>& property);
    // Registers the class and answers it; null when it was registered before or its name has
    // been taken meanwhile.
    const plat::Class* registerClass();

  private:
    std::unique_ptr<plat::Class> cls_;
};

// An instance of a class built at run time.
class RTRuntimeObject : public plat::Object {
  public:
    explicit RTRuntimeObject(const plat::Class& cls) : cls_(&cls) {}
    const plat::Class& getClass() const override { return *cls_; }
    void setClass(const plat::Class& cls) { cls_ = &cls; }

    plat::Value valueForProperty(const std::string& name) const;
    void setValueForProperty(const std::string& name, plat::Value value);

  private:
    const plat::Class* cls_;
    std::map<std::string, plat::Value> properties_;
};

// Whether the class's instances are RTRuntimeObjects: it and every ancestor below the root class
// were built at run time.
bool rt_makesRuntimeObjects(const plat::Class& cls);
