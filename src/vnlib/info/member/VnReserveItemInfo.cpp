#include "vnlib/info/member/VnReserveItemInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnReserveItemInfo, VnInfo, [](auto& c) {
    c.property("itemCode", "T@\"NSString\",C,N,VitemCode_", &VnReserveItemInfo::itemCode_)
        .property("bookCode", "T@\"NSString\",C,N,VbookCode_", &VnReserveItemInfo::bookCode_)
        .property("name", "T@\"NSString\",C,N,Vname_", &VnReserveItemInfo::name_)
        .property("descriptionText", "T@\"NSString\",C,N,VdescriptionText_",
                  &VnReserveItemInfo::descriptionText_)
        .property("coverUrl", "T@\"NSString\",C,N,VcoverUrl_", &VnReserveItemInfo::coverUrl_)
        .property("ISBN", "T@\"NSString\",C,N,VISBN_", &VnReserveItemInfo::ISBN_)
        .property("reserveDate", "T@\"NSString\",C,N,VreserveDate_",
                  &VnReserveItemInfo::reserveDate, &VnReserveItemInfo::setReserveDate)
        .property("claimValidDate", "T@\"NSString\",C,N,VclaimValidDate_",
                  &VnReserveItemInfo::claimValidDate, &VnReserveItemInfo::setClaimValidDate)
        .property("returnDate", "T@\"NSString\",C,N,VreturnDate_", &VnReserveItemInfo::returnDate,
                  &VnReserveItemInfo::setReturnDate)
        .property("remainingPeople", "Ti,N,VremainingPeople_", &VnReserveItemInfo::remainingPeople_)
        .property("isClaimable", "Tc,N,VisClaimable_", &VnReserveItemInfo::isClaimable_)
        .property("itemType", "T@\"NSString\",C,N,VitemType_", &VnReserveItemInfo::itemType_)
        .property("reserveDateValue", "T@\"NSDate\",R,N,VreserveDateValue_",
                  &VnReserveItemInfo::reserveDateValue)
        .property("claimValidDateValue", "T@\"NSDate\",R,N,VclaimValidDateValue_",
                  &VnReserveItemInfo::claimValidDateValue)
        .property("returnDateValue", "T@\"NSDate\",R,N,VreturnDateValue_",
                  &VnReserveItemInfo::returnDateValue);
})

namespace {
constexpr const char* kDescriptionProperty = "descriptionText";
constexpr const char* kDescriptionKey = "Description";
}  // namespace

std::optional<plat::Date> VnReserveItemInfo::dateFromReserveText(
    const std::optional<std::string>& text, std::function<plat::Date()> now) {
    if (!text)
        return std::nullopt;
    // Time zone: the machine's current one (unlike the server's other dates, which are GMT).
    plat::DateFormatter formatter("ddMMyy", plat::TimeZone::local());
    if (now)
        formatter.setReferenceNow(std::move(now));
    return formatter.dateFromString(*text);
}

void VnReserveItemInfo::setReserveDate(std::optional<std::string> text) {
    reserveDateValue_ = dateFromReserveText(text);
    reserveDate_ = std::move(text);
}

void VnReserveItemInfo::setClaimValidDate(std::optional<std::string> text) {
    claimValidDateValue_ = dateFromReserveText(text);
    claimValidDate_ = std::move(text);
}

void VnReserveItemInfo::setReturnDate(std::optional<std::string> text) {
    returnDateValue_ = dateFromReserveText(text);
    returnDate_ = std::move(text);
}

std::string VnReserveItemInfo::_dictionaryKeyNameWithPropertyName(const std::string& name) const {
    if (name == kDescriptionProperty)
        return kDescriptionKey;
    return VnInfo::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnReserveItemInfo::_propertyNameByDictionaryKeyName(const std::string& key) const {
    if (key == kDescriptionKey)
        return kDescriptionProperty;
    return VnInfo::_propertyNameByDictionaryKeyName(key);
}
