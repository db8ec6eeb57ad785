#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/catalogue/VnDayDateFormats.h"

using U = VnUserSubscriptionInfo;
using H = VnHaldenSubscriptionInfo;

PLAT_DEFINE_CLASS(VnUserSubscriptionInfo, VnInfo, [](auto& c) {
    c.property("magazineCode", "T@\"NSString\",C,N", &U::magazineCode, &U::setMagazineCode)
        .property("remainingIssueCount", "Ti,N,VremainingIssueCount_", &U::remainingIssueCount_)
        .property("magazineName", "T@\"NSString\",C,N,VmagazineName_", &U::magazineName_)
        .property("isAutoRenewal", "Tc,N,VisAutoRenewal_", &U::isAutoRenewal_)
        .property("messageText", "T@\"NSString\",C,N,VmessageText_", &U::messageText_)
        .property("isUnRenewSub", "Tc,N,VisUnRenewSub_", &U::isUnRenewSub_)
        .property("renewSubId", "Ti,N,VrenewSubId_", &U::renewSubId_)
        .property("subscriptionName", "T@\"NSString\",C,N,VsubscriptionName_",
                  &U::subscriptionName_)
        .property("subscribeDate", "T@\"NSString\",C,N,VsubscribeDate_", &U::subscribeDate_)
        .property("expireDate", "T@\"NSString\",C,N,VexpireDate_", &U::expireDate_)
        .property("expireDateValue", "T@\"NSDate\",R,N", &U::expireDateValue)
        .property("claimDate", "T@\"NSString\",C,N,VclaimDate_", &U::claimDate_)
        .property("claimDateValue", "T@\"NSDate\",R,N", &U::claimDateValue)
        .property("magazineCount", "Ti,N,VmagazineCount_", &U::magazineCount_)
        .property("magazineLimitSize", "Ti,N,VmagazineLimitSize_", &U::magazineLimitSize_)
        .property("bookCount", "Ti,N,VbookCount_", &U::bookCount_)
        .property("bookLimitSize", "Ti,N,VbookLimitSize_", &U::bookLimitSize_)
        .property("newspaperCount", "Ti,N,VnewspaperCount_", &U::newspaperCount_)
        .property("newspaperLimitSize", "Ti,N,VnewspaperLimitSize_", &U::newspaperLimitSize_)
        .property("isAutoRenew", "Tc,N,VisAutoRenew_", &U::isAutoRenew_)
        .property("isClaimable", "Tc,N,VisClaimable_", &U::isClaimable_)
        .property("itemCode", "T@\"NSString\",C,N,VitemCode_", &U::itemCode_);
})

PLAT_DEFINE_CLASS(VnHaldenSubscriptionInfo, VnInfo, [](auto& c) {
    c.property("subscriptionName", "T@\"NSString\",C,N,VsubscriptionName_", &H::subscriptionName_)
        .property("descriptionText", "T@\"NSString\",C,N,VdescriptionText_", &H::descriptionText_)
        .property("subscribeDate", "T@\"NSString\",C,N,VsubscribeDate_", &H::subscribeDate_)
        .property("subscribeDateValue", "T@\"NSDate\",R,N", &H::subscribeDateValue)
        .property("expireDate", "T@\"NSString\",C,N,VexpireDate_", &H::expireDate_)
        .property("expireDateValue", "T@\"NSDate\",R,N", &H::expireDateValue)
        .property("magazineCount", "Ti,N,VmagazineCount_", &H::magazineCount_)
        .property("magazineLimitSize", "Ti,N,VmagazineLimitSize_", &H::magazineLimitSize_)
        .property("bookCount", "Ti,N,VbookCount_", &H::bookCount_)
        .property("bookLimitSize", "Ti,N,VbookLimitSize_", &H::bookLimitSize_)
        .property("newspaperCount", "Ti,N,VnewspaperCount_", &H::newspaperCount_)
        .property("newspaperLimitSize", "Ti,N,VnewspaperLimitSize_", &H::newspaperLimitSize_)
        .property("isAutoRenew", "Tc,N,VisAutoRenew_", &H::isAutoRenew_);
})

PLAT_DEFINE_CLASS(VnUserPointsInfo, VnInfo, [](auto& c) {
    c.property("lastUpdated", "T@\"NSDate\",C,N,VlastUpdated_", &VnUserPointsInfo::lastUpdated_)
        .property("points", "Ti,N,Vpoints_", &VnUserPointsInfo::points_);
})

std::optional<plat::Date> VnUserSubscriptionInfo::expireDateValue() const {
    return vnDateFromCompactDayText(expireDate_);
}

std::optional<plat::Date> VnUserSubscriptionInfo::claimDateValue() const {
    return vnDateFromCompactDayText(claimDate_);
}

void VnUserSubscriptionInfo::additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) {
    VnInfo::additionalLoadFromDictionary(dictionary);
    if (!isAutoRenewal_ && (!messageText_ || messageText_->empty())) {
        messageText_ = "Classic subscription";
    }
}

std::string VnHaldenSubscriptionInfo::_dictionaryKeyNameWithPropertyName(
    const std::string& name) const {
    if (name == "descriptionText")
        return "Description";
    return VnInfo::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnHaldenSubscriptionInfo::_propertyNameByDictionaryKeyName(
    const std::string& key) const {
    if (key == "Description")
        return "descriptionText";
    return VnInfo::_propertyNameByDictionaryKeyName(key);
}
