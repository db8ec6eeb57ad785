#pragma once
// VnReserveItemInfo: one reservation of the member: the item, the member's place in the queue,
// whether it can be claimed, and its dates. The dates arrive as "ddMMyy" texts; each text also
// gives a date value, read as midnight in the machine's time zone.
#include <functional>
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnReserveItemInfo : public VnInfo {
    PLAT_CLASS(VnReserveItemInfo)
  public:
    std::optional<std::string> itemCode_;
    std::optional<std::string> bookCode_;
    std::optional<std::string> name_;
    std::optional<std::string> descriptionText_;  // the property "description", under "Description"
    std::optional<std::string> coverUrl_;
    std::optional<std::string> ISBN_;
    int32_t remainingPeople_ = 0;  // members ahead in the queue
    bool isClaimable_ = false;
    std::optional<std::string> itemType_;

    const std::optional<std::string>& reserveDate() const { return reserveDate_; }
    void setReserveDate(std::optional<std::string> text);
    const std::optional<std::string>& claimValidDate() const { return claimValidDate_; }
    void setClaimValidDate(std::optional<std::string> text);
    const std::optional<std::string>& returnDate() const { return returnDate_; }
    void setReturnDate(std::optional<std::string> text);

    const std::optional<plat::Date>& reserveDateValue() const { return reserveDateValue_; }
    const std::optional<plat::Date>& claimValidDateValue() const { return claimValidDateValue_; }
    const std::optional<plat::Date>& returnDateValue() const { return returnDateValue_; }

    // The date of a "ddMMyy" text: Gregorian, Latin digits, midnight in the machine's current
    // time zone; the two-digit year falls in the hundred years that start 80 years before `now`
    // (the real clock when not given). Nothing for nothing or text that does not match.
    static std::optional<plat::Date> dateFromReserveText(const std::optional<std::string>& text,
                                                         std::function<plat::Date()> now = {});

    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;

  private:
    std::optional<std::string> reserveDate_;
    std::optional<std::string> claimValidDate_;
    std::optional<std::string> returnDate_;
    std::optional<plat::Date> reserveDateValue_;
    std::optional<plat::Date> claimValidDateValue_;
    std::optional<plat::Date> returnDateValue_;
};
