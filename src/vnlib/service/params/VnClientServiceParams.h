#pragma once
// VnClientServiceParams: the base of the version-2 parameter records. Property names are the
// dictionary keys unchanged, in both directions ("magazineType", not "MagazineType"). The record
// carries optional parameters, a dictionary that callers add entries to; they are written under
// "optionalParams" as a list of {"Key": name, "Value": value} objects, or as null when there are
// none.
#include "vnlib/info/VnInfoBase.h"

class VnClientServiceParams : public VnInfoBase {
    PLAT_CLASS(VnClientServiceParams)
  public:
    VnClientServiceParams();

    // Made empty with the record; callers add entries to it.
    const Ref<plat::MutableDictionary>& optionalParams() const { return optionalParams_; }
    // One {"Key", "Value"} object per optional parameter; null when there are none.
    Ref<plat::Array> serializableOptionalParamItems() const;

    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;

  private:
    Ref<plat::MutableDictionary> optionalParams_;
};
