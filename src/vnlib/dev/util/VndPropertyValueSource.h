#pragma once
// VndPropertyValueSource: an object that its dictionary view reads without messages. What such
// an object answers depends on its class alone, so the view works out the property of each key
// once per class, and reads the written value of a property (and the object's own view) directly.
#include <string>
#include <vector>

#include "platform/core/Property.h"
#include "platform/core/Value.h"

class VndPropertyValueSource {
  public:
    VndPropertyValueSource() = default;
    VndPropertyValueSource(const VndPropertyValueSource&) = default;
    VndPropertyValueSource& operator=(const VndPropertyValueSource&) = default;
    virtual ~VndPropertyValueSource() = default;

    // The declared property whose value the view writes for a property name; null when the
    // name is no such property (it is then read by key-value coding). Asked once per class.
    virtual const plat::PropertyEntry* serializedProperty(const std::string& name) const = 0;
    // What the view writes for the property (the "serializedValueForPropertyName:" message),
    // given serializedProperty(name). `transient`: the reader writes the value at once and
    // keeps nothing (plat::Dictionary::enumerateKeysAndTransientObjects), so a text may be lent.
    // For a property of text or scalar type it must be the property's getter's value, unless
    // the class lists the property in propertiesSerializedTheirOwnWay(): the view's compact
    // writer reads those properties straight from the object.
    virtual plat::Value serializedValueForProperty(const std::string& name,
                                                   const plat::PropertyEntry* property,
                                                   bool transient) const = 0;
    // The names of the text and scalar properties that serializedValueForProperty writes its
    // own way (a class adds its own to its base's). Asked once per class.
    virtual std::vector<std::string> propertiesSerializedTheirOwnWay() const { return {}; }
    // The object's own dictionary view (the "proxyForJson" message).
    virtual plat::Value proxyForJson() = 0;
};
