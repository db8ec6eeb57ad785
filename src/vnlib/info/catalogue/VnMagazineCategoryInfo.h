#pragma once
// VnMagazineCategoryInfo: a category of the catalogue, with its subcategories (records of the
// same class, loaded from "Subcategories") and a sorting token for its name.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnMagazineCategoryInfo : public VnInfo {
    PLAT_CLASS(VnMagazineCategoryInfo)
  public:
    VnMagazineCategoryInfo();

    std::optional<std::string> name_;

    // VnMagazineCategoryInfo records, in reply order; never null.
    const Ref<plat::Array>& subcategories() const { return subcategories_; }
    // The sorting token of the name, worked out on the first read that finds a name and kept
    // from then on (a later rename keeps the first token); none without a name.
    std::optional<std::string> nameToken() const;

    std::vector<std::string> coreSerializationExcludedPropertyNames() const override;
    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;

  private:
    Ref<plat::Array> subcategories_;
    mutable std::optional<std::string> nameToken_;
};
