#pragma once
// VnAccountInfo: the member's store account with its loyalty-card figures. The e-mail address is
// the record's code. The card's last update and point-expiry dates travel as "yyyy/MM/dd" (GMT)
// in both directions.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnAccountInfo : public VnInfo {
    PLAT_CLASS(VnAccountInfo)
  public:
    // The e-mail address is kept as the record's code.
    const std::optional<std::string>& email() const { return code(); }
    void setEmail(std::optional<std::string> email) { setCode(std::move(email)); }

    std::optional<std::string> firstName_;
    std::optional<std::string> lastName_;
    int32_t userId_ = 0;
    bool isLumoCardUser_ = false;
    std::optional<std::string> lumoCardNumber_;
    int32_t lumoCardCurrentRewardPoints_ = 0;
    std::optional<plat::Date> lumoCardLastUpdate_;
    int32_t lumoCardExpiringPoints_ = 0;
    std::optional<plat::Date> lumoCardPointExpireDate_;

    // The class's "yyyy/MM/dd" formatter (GMT), made on first use.
    static const plat::DateFormatter& dateFormatter();

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
};
