#pragma once
// Small members of the version-2 family that no call uses: the record form of one optional
// parameter, and a converter family turning a dictionary into an object.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

// One {"Key", "Value"} item of an optional-parameter list.
class VnOptionalParamItem : public VnInfoBase {
    PLAT_CLASS(VnOptionalParamItem)
  public:
    std::optional<std::string> Key;
    std::optional<std::string> Value;
};

class VnObjectConverter : public plat::Object {
    PLAT_CLASS(VnObjectConverter)
  public:
    // The object for a dictionary; the base answers nothing.
    virtual plat::Value objectWithDictionary(const Ref<plat::Dictionary>& dictionary);
};

// Sends its converter selector, with the dictionary, to itself and answers the result.
class VnSelectorObjectConverter : public VnObjectConverter {
    PLAT_CLASS(VnSelectorObjectConverter)
  public:
    VnSelectorObjectConverter() = default;
    explicit VnSelectorObjectConverter(plat::Selector converterSelector)
        : converterSelector_(converterSelector) {}
    plat::Value objectWithDictionary(const Ref<plat::Dictionary>& dictionary) override;

  private:
    plat::Selector converterSelector_;
};
