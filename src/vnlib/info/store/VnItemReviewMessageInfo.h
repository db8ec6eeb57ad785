#pragma once
// Item messages about reviews: VnItemReviewMessageRecieve is a message as submitting one answers
// it; VnItemReviewMessageInfo is a message of a message page, with its sender and creation date
// (travelling as "yyyy/MM/dd" in GMT).
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"

class VnItemReviewMessageRecieve : public VnInfoWithCover {
    PLAT_CLASS(VnItemReviewMessageRecieve)
  public:
    std::optional<std::string> itemName_;
    std::optional<std::string> messager_;  // sender
    std::optional<std::string> subject_;
    std::optional<std::string> messageText_;
};

class VnItemReviewMessageInfo : public VnItemReviewMessageRecieve {
    PLAT_CLASS(VnItemReviewMessageInfo)
  public:
    int32_t userId_ = 0;
    int32_t userType_ = 0;
    std::optional<plat::Date> createDate_;

    // The creation date as "dd/MM/yyyy" in the machine's time zone.
    std::optional<std::string> createDateString() const;

    // The class's "yyyy/MM/dd" formatter (GMT), made on first use.
    static const plat::DateFormatter& dateFormatter();

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
};
