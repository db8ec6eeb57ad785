#pragma once
// Class queries over the declared-property tables: a class's own properties as RTProperty
// descriptors, and one property found by name along the superclass chain.
#include <string_view>
#include <vector>

#include "platform/core/Object.h"
#include "vnlib/dev/runtime/RTProperty.h"

// A new descriptor for each entry of the class's own table, in table order, leaving out the
// entries named "description", "debugDescription" and "superclass". Inherited properties are not
// included.
std::vector<Ref<RTProperty>> rt_properties(const plat::Class& cls);

// A new descriptor for the first entry with exactly this name in the class's own table, else in
// its superclass's, and so on up the chain; null when no class of the chain declares it. No name
// is left out here.
Ref<RTProperty> rt_propertyForName(const plat::Class& cls, std::string_view name);
