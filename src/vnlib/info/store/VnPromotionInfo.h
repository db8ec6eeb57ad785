#pragma once
// Promotion banners (VnPromotionInfo) and inbox messages or notices (VnMessageInfo). Both carry
// the same texts, banner image and special-layout fields; their creation and expiry dates travel
// as "yyyy/MM/dd HH:mm:ss" in GMT in both directions and are shown as "dd/MM/yyyy" in the
// machine's time zone.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"

// The fields and date handling that banners and messages share.
template <class Base>
class VnBannerInfo : public Base {
  public:
    std::optional<std::string> subject_;
    std::optional<std::string> imageUrl_;
    float imageWidth_ = 0;
    float imageHeight_ = 0;
    std::optional<std::string> title_;
    std::optional<std::string> subTitle_;
    std::optional<std::string> detail_;
    std::optional<std::string> linkUrl_;
    std::optional<std::string> spacialCenterText_;
    std::optional<std::string> spacialCenterSmallText_;
    std::optional<std::string> spacialCaption_;
    std::optional<std::string> spacialLeftImageUrl_;
    std::optional<std::string> spacialRightImageUrl_;
    std::optional<std::string> spacialLinkUrl_;
    std::optional<plat::Date> createDate_;  // the property "createDate" or "creatDate"
    std::optional<plat::Date> expiredDate_;
    std::optional<std::string> appCode_;
    std::optional<std::string> orderId_;

    // The creation and expiry dates as "dd/MM/yyyy" in the machine's time zone.
    std::optional<std::string> createDateString() const;
    std::optional<std::string> expireDateString() const;

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;

  protected:
    // The name under which the class declares its creation date.
    virtual const char* creationDatePropertyName() const = 0;
    // The class's "yyyy/MM/dd HH:mm:ss" formatter (GMT).
    virtual const plat::DateFormatter& dateFormatter() const = 0;
};

class VnPromotionInfo : public VnBannerInfo<VnInfoWithCover> {
    PLAT_CLASS(VnPromotionInfo)
  public:
    std::optional<std::string> promotionId_;

  protected:
    const char* creationDatePropertyName() const override { return "createDate"; }
    const plat::DateFormatter& dateFormatter() const override;
};

class VnMessageInfo : public VnBannerInfo<VnInfoBase> {
    PLAT_CLASS(VnMessageInfo)
  public:
    std::optional<std::string> messageId_;
    Ref<plat::Array> imageLinks_;  // no element class: always loads as an empty list
    int32_t type_ = 0;
    int32_t displayType_ = 0;

  protected:
    const char* creationDatePropertyName() const override { return "creatDate"; }
    const plat::DateFormatter& dateFormatter() const override;
};

extern template class VnBannerInfo<VnInfoWithCover>;
extern template class VnBannerInfo<VnInfoBase>;
