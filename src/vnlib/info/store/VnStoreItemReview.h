#pragma once
// Records of the store's review and rating calls: VnStoreItemRating (the rating figures of an
// item), VnStoreItemReviewRange (one page of reviews) and VnStoreItemReview (one review, whose
// date travels as "yyyy/MM/dd" in GMT).
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"

class VnStoreItemRating : public VnInfo {
    PLAT_CLASS(VnStoreItemRating)
  public:
    std::optional<std::string> itemId_;
    // Rating figures of the levels 1 to 5, as the service sends them.
    int32_t rate1_ = 0;
    int32_t rate2_ = 0;
    int32_t rate3_ = 0;
    int32_t rate4_ = 0;
    int32_t rate5_ = 0;
    double overallRating_ = 0;
    int32_t numberOfReview_ = 0;
};

class VnStoreItemReview : public VnInfoWithCover {
    PLAT_CLASS(VnStoreItemReview)
  public:
    std::optional<std::string> userId_;
    std::optional<std::string> subject_;
    std::optional<std::string> reviewer_;
    std::optional<std::string> reviewText_;
    int32_t rating_ = 0;
    std::optional<plat::Date> reviewDate_;
    bool verifiedPurchased_ = false;

    // The class's "yyyy/MM/dd" formatter (GMT), made on first use.
    static const plat::DateFormatter& dateFormatter();

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
};

class VnStoreItemReviewRange : public VnInfo {
    PLAT_CLASS(VnStoreItemReviewRange)
  public:
    int32_t start_ = 0;   // index of the first review of the page
    int32_t length_ = 0;  // number of reviews asked for or given
    int32_t totalReviewAvailable_ = 0;
    Ref<plat::Array> reviews_ =
        plat::Array::make(std::vector<plat::Value>{});  // of VnStoreItemReview

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
};
