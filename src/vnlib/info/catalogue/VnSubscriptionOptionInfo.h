#pragma once
// VnSubscriptionOptionInfo: one subscription offer of a magazine title: its prices, the number of
// issues (and promotional issues) it gives, the renewal period of an automatic offer, the in-app
// product behind it and the texts shown. Its description travels under the lower-case key
// "description".
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnSubscriptionOptionInfo : public VnInfo {
    PLAT_CLASS(VnSubscriptionOptionInfo)
  public:
    Ref<plat::Array> prices_;  // VnPriceInfo
    std::optional<std::string> subscriptionDescription_;
    int32_t issueAmount_ = 0;
    int32_t autoRenewalPeriod_ = 0;
    std::optional<std::string> inappProductID_;
    int32_t promoIssueAmount_ = 0;
    std::optional<std::string> promotionString_;

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;
};
