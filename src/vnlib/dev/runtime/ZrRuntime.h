#pragma once
// Class queries over the declared-property tables: a class's own properties as RTProperty
// descriptors, and one property found by name along the superclass chain. Also the rest of the
// introspection library: subclasses, classes made while the program runs, methods, instance
// variables, protocols, and an object's class.
#include <string_view>
#include <vector>

#include "platform/core/Object.h"
#include "vnlib/dev/runtime/RTIvar.h"
#include "vnlib/dev/runtime/RTMethod.h"
#include "vnlib/dev/runtime/RTProperty.h"
#include "vnlib/dev/runtime/RTProtocol.h"

class RTUnregisteredClass;

// A new descriptor for each entry of the class's own table, in table order, leaving out the
// entries named "description", "debugDescription" and "superclass". Inherited properties are not
// included.
std::vector<Ref<RTProperty>> rt_properties(const plat::Class& cls);

// A new descriptor for the first entry with exactly this name in the class's own table, else in
// its superclass's, and so on up the chain; null when no class of the chain declares it. No name
// is left out here.
Ref<RTProperty> rt_propertyForName(const plat::Class& cls, std::string_view name);

// The class itself and every registered class that has it as an ancestor (classes compiled in
// are registered once used).
std::vector<const plat::Class*> rt_subclasses(const plat::Class& cls);
// A builder for a new subclass of the class; null when the name is taken.
Ref<RTUnregisteredClass> rt_createUnregisteredSubclassNamed(const plat::Class& cls,
                                                            const std::string& name);
// Creates and registers an empty subclass; null when the name is taken.
const plat::Class* rt_createSubclassNamed(const plat::Class& cls, const std::string& name);
// Takes a class built at run time out of the registry; false for any other class.
bool rt_destroyClass(const plat::Class& cls);
// Classes here have no class of their own class (metaclass): always false.
bool rt_isMetaClass(const plat::Class& cls);
// Gives the class another superclass; answers the one it had.
const plat::Class* rt_setSuperclass(plat::Class& cls, const plat::Class* superclass);
// The size of an instance as laid out by the class builder; 0 for classes compiled in, whose
// size the registry does not know.
size_t rt_instanceSize(const plat::Class& cls);
std::vector<Ref<RTProtocol>> rt_protocols(const plat::Class& cls);
// The class's own methods, in registration order.
std::vector<Ref<RTMethod>> rt_methods(plat::Class& cls);
// The instance method for the selector, ancestors searched; null when there is none.
Ref<RTMethod> rt_methodForSelector(plat::Class& cls, plat::Selector selector);
// Adds the method; false when the class has its own method for that selector or no
// implementation is given.
bool rt_addMethod(plat::Class& cls, const Ref<RTMethod>& method);
std::vector<Ref<RTIvar>> rt_ivars(const plat::Class& cls);
// The instance variable of that name, ancestors searched; null when none.
Ref<RTIvar> rt_ivarForName(const plat::Class& cls, std::string_view name);
bool rt_addProperty(plat::Class& cls, const Ref<RTProperty>& property);
const plat::Class& rt_class(const plat::Object& object);
// Changes the class of an object of a class built at run time to another such class and
// answers the one it had; any other object keeps its class, and the answer is null.
const plat::Class* rt_setClass(plat::Object& object, const plat::Class& cls);

// Sending to an object: a method descriptor, or the method its class has for a selector. The
// plain forms answer the object that the method returns.
Ref<plat::Object> rt_sendMethod(plat::Object& target, const RTMethod& method,
                                const std::vector<RTArgument>& arguments);
bool rt_returnValueSendMethod(std::any* result, plat::Object& target, const RTMethod& method,
                              const std::vector<RTArgument>& arguments);
Ref<plat::Object> rt_sendSelector(plat::Object& target, plat::Selector selector,
                                  const std::vector<RTArgument>& arguments);
bool rt_returnValueSendSelector(std::any* result, plat::Object& target, plat::Selector selector,
                                const std::vector<RTArgument>& arguments);
