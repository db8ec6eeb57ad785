#pragma once
// Object additions the record mapping stands on: a class's visible properties and its property
// lookup by name (both cached for the life of the process), a description made from the
// properties, sending a named message with its result boxed, and delayed invocations.
#include <any>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "vnlib/dev/runtime/RTProperty.h"

// The class's name text.
inline const std::string& classId(const plat::Class& cls) {
    return cls.name();
}

// The class's own properties first, then its superclass's, up to (not including) the root class.
// Cached per class name; the same array is answered every time.
const std::vector<Ref<RTProperty>>& rt_allVisibleProperties(const plat::Class& cls);
// The class's descriptor for the property name (cached); null when no class of the chain has it.
Ref<RTProperty> rt_cachedPropertyForName(const plat::Class& cls, const std::string& name);

// "{ a,b }" for arrays, the platform description for dictionaries, and "{name: value, ...}" over
// the visible properties for other objects.
std::string descriptionByProperties(const plat::Value& value);
std::string descriptionByProperties(const plat::Object& object);

// Converts a message's answer to a value: objects, text, dates, data and values as they are;
// other answers read as a 32-bit signed integer boxed as a 64-bit number.
plat::Value boxedMessageResult(const std::any& answer, const std::string& returnType);
// Sends a message without arguments and boxes its answer as above. A value that is not an object
// answers the key of that name (a dictionary its entry); a nil receiver answers nil.
plat::Value performSelectorEx(const plat::Value& receiver, plat::Selector sel);
plat::Value performSelectorEx(const Ref<plat::Object>& receiver, plat::Selector sel);

// A message invocation with the receiver as its target and the selector set.
std::shared_ptr<plat::Invocation> invocationWithSelector(const Ref<plat::Object>& receiver,
                                                         plat::Selector sel);
void performSelectorWithInvocation(const std::shared_ptr<plat::Invocation>& invocation);
// Sends sel with two arguments after a delay on the current run loop (default mode); the
// receiver and the arguments are kept until then.
void performSelectorAfterDelay(const Ref<plat::Object>& receiver, plat::Selector sel,
                               plat::Value first, plat::Value second, double delay);
