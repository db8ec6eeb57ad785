#include "vnlib/info/store/VnStoreItemReview.h"

#include "platform/core/Property.h"
#include "vnlib/info/member/VnDateText.h"

PLAT_DEFINE_CLASS(VnStoreItemRating, VnInfo, [](auto& c) {
    c.property("itemId", "T@\"NSString\",C,N,VitemId_", &VnStoreItemRating::itemId_)
        .property("rate1", "Ti,N,Vrate1_", &VnStoreItemRating::rate1_)
        .property("rate2", "Ti,N,Vrate2_", &VnStoreItemRating::rate2_)
        .property("rate3", "Ti,N,Vrate3_", &VnStoreItemRating::rate3_)
        .property("rate4", "Ti,N,Vrate4_", &VnStoreItemRating::rate4_)
        .property("rate5", "Ti,N,Vrate5_", &VnStoreItemRating::rate5_)
        .property("overallRating", "Td,N,VoverallRating_", &VnStoreItemRating::overallRating_)
        .property("numberOfReview", "Ti,N,VnumberOfReview_", &VnStoreItemRating::numberOfReview_);
})

PLAT_DEFINE_CLASS(VnStoreItemReview, VnInfoWithCover, [](auto& c) {
    c.property("userId", "T@\"NSString\",C,N,VuserId_", &VnStoreItemReview::userId_)
        .property("subject", "T@\"NSString\",C,N,Vsubject_", &VnStoreItemReview::subject_)
        .property("reviewer", "T@\"NSString\",C,N,Vreviewer_", &VnStoreItemReview::reviewer_)
        .property("reviewText", "T@\"NSString\",C,N,VreviewText_", &VnStoreItemReview::reviewText_)
        .property("rating", "Ti,N,Vrating_", &VnStoreItemReview::rating_)
        .property("reviewDate", "T@\"NSDate\",&,N,VreviewDate_", &VnStoreItemReview::reviewDate_)
        .property("verifiedPurchased", "Tc,N,VverifiedPurchased_",
                  &VnStoreItemReview::verifiedPurchased_);
})

PLAT_DEFINE_CLASS(VnStoreItemReviewRange, VnInfo, [](auto& c) {
    c.property("start", "Ti,N,Vstart_", &VnStoreItemReviewRange::start_)
        .property("length", "Ti,N,Vlength_", &VnStoreItemReviewRange::length_)
        .property("totalReviewAvailable", "Ti,N,VtotalReviewAvailable_",
                  &VnStoreItemReviewRange::totalReviewAvailable_)
        .property("reviews", "T@\"NSArray\",C,N,Vreviews_", &VnStoreItemReviewRange::reviews_);
})

namespace {
constexpr const char* kReviewDate = "reviewDate";
}  // namespace

// ---- VnStoreItemReview ----

const plat::DateFormatter& VnStoreItemReview::dateFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd", plat::TimeZone::utc());
    return formatter;
}

std::vector<std::string> VnStoreItemReview::_propertyNameSetForCustomWrite() const {
    auto names = VnInfoWithCover::_propertyNameSetForCustomWrite();
    names.emplace_back(kReviewDate);
    return names;
}

void VnStoreItemReview::setSerializedValue(const plat::Value& value, const std::string& key) {
    // A null or a text that does not parse stores no date.
    if (key == kReviewDate) {
        reviewDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        VnInfoWithCover::setSerializedValue(value, key);
    }
}

plat::Value VnStoreItemReview::serializedValueForProperty(const std::string& name,
                                                          const plat::PropertyEntry* property,
                                                          bool transient) const {
    if (name == kReviewDate)
        return VnDateText::valueFromDate(dateFormatter(), reviewDate_);
    return VnInfoWithCover::serializedValueForProperty(name, property, transient);
}

// ---- VnStoreItemReviewRange ----

const plat::Class* VnStoreItemReviewRange::_classForPropertyDeserialization(
    const std::string& name) const {
    if (name == "reviews")
        return &VnStoreItemReview::classObject();
    return VnInfo::_classForPropertyDeserialization(name);
}
