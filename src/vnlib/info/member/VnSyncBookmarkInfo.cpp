#include "vnlib/info/member/VnSyncBookmarkInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/member/VnDateText.h"

PLAT_DEFINE_CLASS(VnSyncBookmarkInfo, VnInfo, [](auto& c) {
    c.property("issueCode", "T@\"NSString\",C,N,VissueCode_", &VnSyncBookmarkInfo::issueCode_)
        .property("type", "T@\"NSString\",C,N,Vtype_", &VnSyncBookmarkInfo::type_)
        .property("markName", "T@\"NSString\",C,N,VmarkName_", &VnSyncBookmarkInfo::markName_)
        .property("bookMarkId", "Ti,N,VbookMarkId_", &VnSyncBookmarkInfo::bookMarkId_)
        .property("pageIndex", "Ti,N,VpageIndex_", &VnSyncBookmarkInfo::pageIndex_)
        .property("chaperIndex", "Ti,N,VchaperIndex_", &VnSyncBookmarkInfo::chaperIndex_)
        .property("amountPage", "Ti,N,VamountPage_", &VnSyncBookmarkInfo::amountPage_)
        .property("lastPageIndex", "Ti,N,VlastPageIndex_", &VnSyncBookmarkInfo::lastPageIndex_)
        .property("syncLastDate", "T@\"NSDate\",&,N,VsyncLastDate_",
                  &VnSyncBookmarkInfo::syncLastDate_)
        .property("syncLastDateString", "T@\"NSString\",R,C,N",
                  &VnSyncBookmarkInfo::syncLastDateString);
})

PLAT_DEFINE_CLASS(VnSyncLastPageInfo, VnInfo, [](auto& c) {
    c.property("issueCode", "T@\"NSString\",C,N,VissueCode_", &VnSyncLastPageInfo::issueCode_)
        .property("type", "T@\"NSString\",C,N,Vtype_", &VnSyncLastPageInfo::type_)
        .property("lastPageIndex", "Ti,N,VlastPageIndex_", &VnSyncLastPageInfo::lastPageIndex_)
        .property("syncLastDate", "T@\"NSDate\",&,N,VsyncLastDate_",
                  &VnSyncLastPageInfo::syncLastDate_)
        .property("syncLastDateString", "T@\"NSString\",R,C,N",
                  &VnSyncLastPageInfo::syncLastDateString);
})

namespace {
constexpr const char* kSyncLastDate = "syncLastDate";

std::vector<std::string> withSyncDate(std::vector<std::string> names) {
    names.emplace_back(kSyncLastDate);
    return names;
}
}  // namespace

// ---- VnSyncBookmarkInfo ----

const plat::DateFormatter& VnSyncBookmarkInfo::dateFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd HH:mm:ss", plat::TimeZone::utc());
    return formatter;
}

std::optional<std::string> VnSyncBookmarkInfo::createDateString() const {
    return VnDateText::localText(syncLastDate_, "yyyy/MM/dd HH:mm:ss");
}

std::vector<std::string> VnSyncBookmarkInfo::_propertyNameSetForCustomWrite() const {
    return withSyncDate(VnInfo::_propertyNameSetForCustomWrite());
}

void VnSyncBookmarkInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key == kSyncLastDate) {
        syncLastDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        VnInfo::setSerializedValue(value, key);
    }
}

plat::Value VnSyncBookmarkInfo::serializedValueForProperty(const std::string& name,
                                                           const plat::PropertyEntry* property,
                                                           bool transient) const {
    if (name == kSyncLastDate)
        return VnDateText::valueFromDate(dateFormatter(), syncLastDate_);
    return VnInfo::serializedValueForProperty(name, property, transient);
}

// ---- VnSyncLastPageInfo ----

const plat::DateFormatter& VnSyncLastPageInfo::dateFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd HH:mm:ss", plat::TimeZone::utc());
    return formatter;
}

std::optional<std::string> VnSyncLastPageInfo::createDateString() const {
    return VnDateText::localText(syncLastDate_, "dd/MM/yyyy");
}

std::vector<std::string> VnSyncLastPageInfo::_propertyNameSetForCustomWrite() const {
    return withSyncDate(VnInfo::_propertyNameSetForCustomWrite());
}

void VnSyncLastPageInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key == kSyncLastDate) {
        syncLastDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        VnInfo::setSerializedValue(value, key);
    }
}

plat::Value VnSyncLastPageInfo::serializedValueForProperty(const std::string& name,
                                                           const plat::PropertyEntry* property,
                                                           bool transient) const {
    if (name == kSyncLastDate)
        return VnDateText::valueFromDate(dateFormatter(), syncLastDate_);
    return VnInfo::serializedValueForProperty(name, property, transient);
}
