#pragma once
// VndPropertyValueSource: an object that its dictionary view reads without messages. What such
// an object answers depends on its class alone, so the view works out the property of each key
// once per class, and reads the written value of a property (and the object's own view) directly.
#include <string>

#include "platform/core/Value.h"

class VndPropertyValueSource {
  public:
    VndPropertyValueSource() = default;
    VndPropertyValueSource(const VndPropertyValueSource&) = default;
    VndPropertyValueSource& operator=(const VndPropertyValueSource&) = default;
    virtual ~VndPropertyValueSource() = default;

    // What the view writes for the property (the "serializedValueForPropertyName:" message).
    virtual plat::Value serializedValueForPropertyName(const std::string& name) const = 0;
    // The object's own dictionary view (the "proxyForJson" message).
    virtual plat::Value proxyForJson() = 0;
};
