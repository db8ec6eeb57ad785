#pragma once
// Record classes of the record tests: one property of every kind the mapping knows, a nested
// record class, a custom-write list, an excluded property and capitalised property names.
#include <optional>
#include <string>
#include <vector>

#include "vnlib/info/VnInfo.h"

class VnTestChild : public VnInfo {
    PLAT_CLASS(VnTestChild)
  public:
    int32_t count_ = 0;
};

class VnTestRecord : public VnInfoWithHashString {
    PLAT_CLASS(VnTestRecord)
  public:
    std::optional<std::string> name_;
    int32_t pageCount_ = 0;
    bool isFree_ = false;
    double price_ = 0;
    int64_t fileSize_ = 0;
    std::optional<plat::Date> published_;
    Ref<plat::Array> children_;
    Ref<plat::Array> numbers_;
    Ref<plat::Array> tags_;
    Ref<plat::Dictionary> options_;
    Ref<VnTestChild> main_;
    std::optional<std::string> Id_;
    std::optional<std::string> eBook_;
    std::optional<std::string> secret_;

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override {
        return name == "children" ? &VnTestChild::classObject() : nullptr;
    }
    std::vector<std::string> _propertyNameSetForCustomWrite() const override { return {"tags"}; }
    std::vector<std::string> coreSerializationExcludedPropertyNames() const override {
        return {"secret"};
    }
};
