#include "vnlib/info/store/VnItemReviewMessageInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/member/VnDateText.h"

PLAT_DEFINE_CLASS(VnItemReviewMessageRecieve, VnInfoWithCover, [](auto& c) {
    c.property("itemName", "T@\"NSString\",C,N,VitemName_", &VnItemReviewMessageRecieve::itemName_)
        .property("messager", "T@\"NSString\",C,N,Vmessager_",
                  &VnItemReviewMessageRecieve::messager_)
        .property("subject", "T@\"NSString\",C,N,Vsubject_", &VnItemReviewMessageRecieve::subject_)
        .property("messageText", "T@\"NSString\",C,N,VmessageText_",
                  &VnItemReviewMessageRecieve::messageText_);
})

PLAT_DEFINE_CLASS(VnItemReviewMessageInfo, VnItemReviewMessageRecieve, [](auto& c) {
    c.property("userId", "Ti,N,VuserId_", &VnItemReviewMessageInfo::userId_)
        .property("userType", "Ti,N,VuserType_", &VnItemReviewMessageInfo::userType_)
        .property("createDate", "T@\"NSDate\",&,N,VcreateDate_",
                  &VnItemReviewMessageInfo::createDate_)
        .property("createDateString", "T@\"NSString\",R,C,N",
                  &VnItemReviewMessageInfo::createDateString);
})

namespace {
constexpr const char* kCreateDate = "createDate";
}  // namespace

const plat::DateFormatter& VnItemReviewMessageInfo::dateFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd", plat::TimeZone::utc());
    return formatter;
}

std::optional<std::string> VnItemReviewMessageInfo::createDateString() const {
    return VnDateText::localText(createDate_, "dd/MM/yyyy");
}

std::vector<std::string> VnItemReviewMessageInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnItemReviewMessageRecieve::_propertyNameSetForCustomWrite();
    names.emplace_back(kCreateDate);
    return names;
}

void VnItemReviewMessageInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key == kCreateDate) {
        createDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        VnItemReviewMessageRecieve::setSerializedValue(value, key);
    }
}

plat::Value VnItemReviewMessageInfo::serializedValueForProperty(const std::string& name,
                                                                const plat::PropertyEntry* property,
                                                                bool transient) const {
    if (name == kCreateDate)
        return VnDateText::valueFromDate(dateFormatter(), createDate_);
    return VnItemReviewMessageRecieve::serializedValueForProperty(name, property, transient);
}
