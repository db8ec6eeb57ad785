#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"

PLAT_DEFINE_CLASS(VnSubscriptionOptionInfo, VnInfo, [](auto& c) {
    using C = VnSubscriptionOptionInfo;
    c.property("prices", "T@\"NSArray\",&,N,Vprices_", &C::prices_)
        .property("subscriptionDescription", "T@\"NSString\",C,N,VsubscriptionDescription_",
                  &C::subscriptionDescription_)
        .property("issueAmount", "Ti,N,VissueAmount_", &C::issueAmount_)
        .property("autoRenewalPeriod", "Ti,N,VautoRenewalPeriod_", &C::autoRenewalPeriod_)
        .property("inappProductID", "T@\"NSString\",C,N,VinappProductID_", &C::inappProductID_)
        .property("promoIssueAmount", "Ti,N,VpromoIssueAmount_", &C::promoIssueAmount_)
        .property("promotionString", "T@\"NSString\",C,N,VpromotionString_", &C::promotionString_);
})

const plat::Class* VnSubscriptionOptionInfo::_classForPropertyDeserialization(
    const std::string& name) const {
    if (name == "prices")
        return &VnPriceInfo::classObject();
    return VnInfo::_classForPropertyDeserialization(name);
}

std::string VnSubscriptionOptionInfo::_dictionaryKeyNameWithPropertyName(
    const std::string& name) const {
    if (name == "subscriptionDescription")
        return "description";
    return VnInfo::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnSubscriptionOptionInfo::_propertyNameByDictionaryKeyName(
    const std::string& key) const {
    if (key == "description")
        return "subscriptionDescription";
    return VnInfo::_propertyNameByDictionaryKeyName(key);
}
