#include "vnlib/domain/storage/VnJsonData.h"

#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(VnJsonData, plat::ManagedObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnJsonMagazineIssueInfoData, VnJsonData, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnUserBookmarkData, plat::ManagedObject, PLAT_NO_METHODS)

namespace {

std::optional<std::string> textOf(const plat::Value& value) {
    const std::string* text = value.string();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

plat::Value valueOf(const std::optional<std::string>& text) {
    return text ? plat::Value(*text) : plat::Value();
}

}  // namespace

std::optional<std::string> VnJsonData::code() const {
    return textOf(primitiveValueForKey(kCodeAttribute));
}

void VnJsonData::setCode(const std::optional<std::string>& code) {
    setPrimitiveValueForKey(kCodeAttribute, valueOf(code));
}

std::optional<std::string> VnJsonData::jsonString() const {
    return textOf(primitiveValueForKey(kJsonStringAttribute));
}

void VnJsonData::setJsonString(const std::optional<std::string>& json) {
    setPrimitiveValueForKey(kJsonStringAttribute, valueOf(json));
}

void VnJsonData::setJsonString(std::optional<std::string>&& json) {
    setPrimitiveValueForKey(kJsonStringAttribute,
                            json ? plat::Value(std::move(*json)) : plat::Value());
}

Ref<VnInfo> VnJsonData::info() {
    if (!info_) {
        auto record = std::dynamic_pointer_cast<VnInfo>(infoClass().make());
        PLAT_PARAMETER_ASSERT(record);
        record->initWithJSONString(jsonString().value_or(""));
        info_ = std::move(record);
    }
    return info_;
}

const plat::Class& VnJsonMagazineIssueInfoData::_infoClass() const {
    return VnMagazineIssueInfo::classObject();
}

void VnUserBookmarkData::setPrimitiveIntValue(int32_t value, const std::string& key) {
    setPrimitiveValueForKey(key, plat::Value(value));
}

int32_t VnUserBookmarkData::primitiveIntValueForKey(const std::string& key) const {
    return primitiveValueForKey(key).intValue();
}

std::optional<std::string> VnUserBookmarkData::text(const char* key) const {
    return textOf(primitiveValueForKey(key));
}

void VnUserBookmarkData::setText(const std::optional<std::string>& value, const char* key) {
    setPrimitiveValueForKey(key, valueOf(value));
}

std::optional<plat::Date> VnUserBookmarkData::createDate() const {
    const plat::Value value = primitiveValueForKey("createDate");
    return value.date() ? std::optional<plat::Date>(*value.date()) : std::nullopt;
}

void VnUserBookmarkData::setCreateDate(const std::optional<plat::Date>& date) {
    setPrimitiveValueForKey("createDate", date ? plat::Value(*date) : plat::Value());
}

void VnUserBookmarkData::awakeFromInsert() {
    if (!createDate())
        setCreateDate(plat::Date::now());
}
