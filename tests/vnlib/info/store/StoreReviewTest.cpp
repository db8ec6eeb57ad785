#include <gtest/gtest.h>

#include "vnlib/info/member/RecordRoundTrip.h"
#include "vnlib/info/store/VnStoreItemReview.h"

using namespace record_test;
using plat::Value;

TEST(VnStoreItemReviewRange, LoadsAPageOfReviewsAndNeverHoldsNone) {
    constexpr const char* reply = R"({"Start": 20, "Length": 2, "TotalReviewAvailable": 57,
        "Reviews": [
            {"UserId": "U-1", "Subject": "สนุกมาก", "Reviewer": "นก", "ReviewText": "อ่านรวดเดียวจบ",
             "Rating": 5, "ReviewDate": "2014/03/07", "VerifiedPurchased": 1},
            {"UserId": "U-2", "Subject": "Good", "Reviewer": "Ann", "ReviewText": "Nice ending",
             "Rating": 4, "ReviewDate": null, "VerifiedPurchased": 0}]})";
    auto page = load<VnStoreItemReviewRange>(reply);
    EXPECT_EQ(page->totalReviewAvailable_, 57);
    ASSERT_EQ(page->reviews_->count(), 2u);
    auto first = page->reviews_->objectAtIndex(0).as<VnStoreItemReview>();
    auto second = page->reviews_->objectAtIndex(1).as<VnStoreItemReview>();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->verifiedPurchased_);
    EXPECT_DOUBLE_EQ(first->reviewDate_->seconds, 1394150400);  // 7 March 2014 00:00 GMT
    EXPECT_FALSE(second->reviewDate_);
    EXPECT_TRUE(writesBack(page, reply));

    EXPECT_EQ(load<VnStoreItemReviewRange>(R"({"Start": 0})")->reviews_->count(), 0u);
    EXPECT_EQ(load<VnStoreItemReviewRange>(R"({"Reviews": null})")->reviews_->count(), 0u);
    EXPECT_EQ(load<VnStoreItemReviewRange>(R"({"Reviews": [{}, "x", null]})")->reviews_->count(),
              1u);
}

TEST(VnStoreItemReview, ReviewDateIsADayTextInGmt) {
    auto review = std::make_shared<VnStoreItemReview>();
    review->subject_ = "ดีมาก";
    review->reviewDate_ = plat::Date{1394150400 + 13 * 3600};  // the day is written, not the hour
    auto out = written(review);
    EXPECT_EQ((*out)["ReviewDate"], Value("2014/03/07"));
    EXPECT_EQ((*out)["VerifiedPurchased"], Value(int32_t{0}));
    auto back = std::make_shared<VnStoreItemReview>();
    back->initWithDictionary(out);
    EXPECT_DOUBLE_EQ(back->reviewDate_->seconds, 1394150400);
    EXPECT_FALSE(load<VnStoreItemReview>(R"({"ReviewDate": "07/03/2014"})")->reviewDate_);
}

TEST(VnStoreItemRating, MissingLevelsStayZero) {
    constexpr const char* reply = R"({"ItemId": "1_BK-441", "Rate1": 2, "Rate2": 0, "Rate4": 31,
        "Rate5": 64, "OverallRating": 4.25, "NumberOfReview": 97})";
    auto rating = load<VnStoreItemRating>(reply);
    EXPECT_EQ(rating->rate3_, 0);
    EXPECT_DOUBLE_EQ(rating->overallRating_, 4.25);
    EXPECT_TRUE(writesBack(rating, reply));
    EXPECT_EQ(load<VnStoreItemRating>(R"({"OverallRating": null})")->overallRating_, 0);
}
