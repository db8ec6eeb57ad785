#pragma once
// The member's side of subscriptions:
// VnUserSubscriptionInfo: a subscription the member holds (its title, the issues left, renewal,
// subscribe / expiry / claim dates as the service's texts, and the items in use of each kind
// with their limits). Expiry and claim dates are "ddMMyyyy" texts, read as days in GMT.
// VnHaldenSubscriptionInfo: a subscription to the lending-library service.
// VnUserPointsInfo: the member's loyalty-card points.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnUserSubscriptionInfo : public VnInfo {
    PLAT_CLASS(VnUserSubscriptionInfo)
  public:
    // The title's code is the record's code.
    const std::optional<std::string>& magazineCode() const { return code(); }
    void setMagazineCode(std::optional<std::string> code) { setCode(std::move(code)); }
    // The day of expireDate / claimDate; none when the text is absent or not such a day.
    std::optional<plat::Date> expireDateValue() const;
    std::optional<plat::Date> claimDateValue() const;

    int32_t remainingIssueCount_ = 0;
    std::optional<std::string> magazineName_;
    bool isAutoRenewal_ = false;
    std::optional<std::string> messageText_;
    bool isUnRenewSub_ = false;
    int32_t renewSubId_ = 0;
    std::optional<std::string> subscriptionName_;
    std::optional<std::string> subscribeDate_;  // the service's text
    std::optional<std::string> expireDate_;     // "ddMMyyyy"
    std::optional<std::string> claimDate_;      // "ddMMyyyy"
    int32_t magazineCount_ = 0;
    int32_t magazineLimitSize_ = 0;
    int32_t bookCount_ = 0;
    int32_t bookLimitSize_ = 0;
    int32_t newspaperCount_ = 0;
    int32_t newspaperLimitSize_ = 0;
    int8_t isAutoRenew_ = 0;
    int8_t isClaimable_ = 0;
    std::optional<std::string> itemCode_;

    // A subscription that does not renew by itself and comes without a message reads
    // "Classic subscription".
    void additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) override;
};

class VnHaldenSubscriptionInfo : public VnInfo {
    PLAT_CLASS(VnHaldenSubscriptionInfo)
  public:
    std::optional<std::string> subscriptionName_;
    std::optional<std::string> descriptionText_;  // key "Description"
    std::optional<std::string> subscribeDate_;    // the service's text
    std::optional<std::string> expireDate_;       // the service's text
    int32_t magazineCount_ = 0;
    int32_t magazineLimitSize_ = 0;
    int32_t bookCount_ = 0;
    int32_t bookLimitSize_ = 0;
    int32_t newspaperCount_ = 0;
    int32_t newspaperLimitSize_ = 0;
    int8_t isAutoRenew_ = 0;

    // The service's texts of these dates have no known form: the values are never filled.
    std::optional<plat::Date> subscribeDateValue() const { return std::nullopt; }
    std::optional<plat::Date> expireDateValue() const { return std::nullopt; }

    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;
};

class VnUserPointsInfo : public VnInfo {
    PLAT_CLASS(VnUserPointsInfo)
  public:
    std::optional<plat::Date> lastUpdated_;
    int32_t points_ = 0;
};
