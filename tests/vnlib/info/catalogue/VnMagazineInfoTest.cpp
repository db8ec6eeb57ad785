#include <gtest/gtest.h>

#include "vnlib/info/catalogue/RecordTestSupport.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"

using namespace recordtest;
using plat::Date;
using plat::Value;

namespace {

constexpr const char* kTitleReply = R"({
  "Code": "MAG-KR", "Name": "ขวัญเรือน", "Summary": "นิตยสารรายปักษ์", "Description": "ออกทุกวันที่ 1 และ 16",
  "CoverUrl": "https://c.example/kr.jpg", "RealPriceCurrency": "USD", "RealPrice": 120,
  "Hash": "0A1B2C", "SortIndex": 4,
  "LatestIssue": {"Code": "MI-1012", "Type": "Magazine", "IssueDate": "2014/03/05"},
  "Subscriptions": [{"Code": "S-6", "IssueAmount": 6, "description": "สมาชิก 6 เดือน",
     "InappProductID": "kr.6m", "PromoIssueAmount": 1, "PromotionString": "แถม 1 ฉบับ",
     "AutoRenewalPeriod": 0, "Prices": [{"Code": "P6", "Currency": 0, "Price": 450, "Method": "INAPP"}]}],
  "AutoSubscriptions": [{"Code": "A-1", "IssueAmount": 2, "description": "รายเดือน",
     "AutoRenewalPeriod": 1, "InappProductID": "kr.auto", "PromotionString": null, "Prices": []}]
})";

constexpr const char* kHeldReply = R"({
  "MagazineCode": "MAG-KR", "RemainingIssueCount": 5, "MagazineName": "ขวัญเรือน",
  "IsAutoRenewal": 0, "MessageText": null, "IsUnRenewSub": 0, "RenewSubId": 77,
  "SubscriptionName": "สมาชิกรายปี", "SubscribeDate": "01/01/2015", "ExpireDate": "31012015",
  "ClaimDate": "15012015", "MagazineCount": 2, "MagazineLimitSize": 10, "BookCount": 1,
  "BookLimitSize": 5, "NewspaperCount": 0, "NewspaperLimitSize": 3, "IsAutoRenew": 0,
  "IsClaimable": 1, "ItemCode": "IT-55"
})";

}  // namespace

TEST(VnMagazineCategoryInfo, NestedSubcategoriesAndAStickyNameToken) {
    auto category = load<VnMagazineCategoryInfo>(R"({"Code":"C1","Name":"Zoo","Subcategories":[
        {"Code":"C1-1","Name":"ผู้หญิง","Subcategories":[{"Code":"C1-1-1"}]}, "junk",
        {"Code":"C1-2","Name":"2014 Special"}]})");
    ASSERT_EQ(category->subcategories()->count(), 2u);
    auto first = category->subcategories()->objectAtIndex(0).as<VnMagazineCategoryInfo>();
    auto second = category->subcategories()->objectAtIndex(1).as<VnMagazineCategoryInfo>();
    EXPECT_EQ(first->nameToken(), "0ผู้หญิง");
    EXPECT_EQ(first->subcategories()->count(), 1u);
    EXPECT_EQ(second->nameToken(), "02014 Special");
    EXPECT_EQ(category->nameToken(), "9Zoo");
    category->name_ = "Aquarium";
    EXPECT_EQ(category->nameToken(), "9Zoo");  // the first token stays

    EXPECT_FALSE(hasKey(*viewOf(category), "NameToken"));
    auto again = load<VnMagazineCategoryInfo>(jsonText(category));
    EXPECT_EQ(jsonText(again), jsonText(category));
    for (const char* value : {"null", "\"x\""}) {
        auto empty =
            load<VnMagazineCategoryInfo>(std::string(R"({"Subcategories":)") + value + "}");
        EXPECT_EQ(empty->subcategories()->count(), 0u) << value;
    }
}

TEST(VnMagazineInfo, LoadsATitleAndWritesBackWhatItLoaded) {
    auto title = load<VnMagazineInfo>(kTitleReply);
    EXPECT_EQ(title->nameSortingToken(), "0ขวัญเรือน");
    EXPECT_EQ(title->descriptionText_, "ออกทุกวันที่ 1 และ 16");
    EXPECT_DOUBLE_EQ(title->printListPrice_, 120);
    EXPECT_EQ(title->printListPriceCurrency(), "USD");
    EXPECT_EQ(title->hashString(), "0a1b2c");
    EXPECT_EQ(title->latestIssue_->bookKind(), 0);
    EXPECT_EQ(title->latestIssue_->issueDate(), Date{1393977600});
    auto options = title->allSubscriptionOptions();
    ASSERT_EQ(options->count(), 2u);
    EXPECT_EQ(options->objectAtIndex(0).as<VnSubscriptionOptionInfo>()->code(), "A-1");
    auto sixMonths = options->objectAtIndex(1).as<VnSubscriptionOptionInfo>();
    EXPECT_EQ(sixMonths->subscriptionDescription_, "สมาชิก 6 เดือน");
    EXPECT_EQ(sixMonths->prices_->objectAtIndex(0).as<VnPriceInfo>()->price_, 450);

    expectWritesBack(title, kTitleReply,
                     {"Hash", "LatestIssue", "Subscriptions", "AutoSubscriptions"});
    auto view = viewOf(title);
    for (const char* key : {"PrintListPrice", "PrintListPriceCurrency", "NameSortingToken",
                            "DescriptionText", "HashText"}) {
        EXPECT_FALSE(hasKey(*view, key)) << key;
    }
    EXPECT_EQ((*(*view)["LatestIssue"].dictionary())["IssueDate"], Value("2014/03/05"));
    auto again = load<VnMagazineInfo>(jsonText(title));
    EXPECT_EQ(jsonText(again), jsonText(title));
    EXPECT_EQ(again->allSubscriptionOptions()->count(), 2u);
}

TEST(VnMagazineInfo, DefaultsAndNulls) {
    auto title = load<VnMagazineInfo>(
        R"({"LatestIssue":null,"Subscriptions":null,"RealPriceCurrency":"","Description":null})");
    EXPECT_EQ(title->printListPriceCurrency(), "THB");
    ASSERT_TRUE(title->latestIssue_);  // a null nested record is a record with defaults
    EXPECT_FALSE(title->latestIssue_->code() || title->descriptionText_);
    EXPECT_EQ(title->allSubscriptionOptions()->count(), 0u);

    title->setHashText(std::string("FFEE"));
    EXPECT_EQ((*viewOf(title))["Hash"], Value("ffee"));
}

TEST(VnPriceInfo, CurrencyAsNumberOrText) {
    struct Case {
        const char* value;
        int32_t currency;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"1", 1, "USD"},        {"2", 2, "EUR"},           {"7", 7, "#"},
        {R"("EUR")", 2, "EUR"}, {R"("THB")", 0, "THB"},    {R"("JPY")", 0, "JPY"},
        {R"("usd")", 0, "usd"}, {"null", 0, std::nullopt}, {"[2]", 0, std::nullopt}};
    for (const auto& c : cases) {
        auto price = load<VnPriceInfo>(std::string(R"({"Currency":)") + c.value + "}");
        EXPECT_EQ(price->currency(), c.currency) << c.value;
        EXPECT_EQ(price->currencyText(), c.text) << c.value;
        EXPECT_EQ((*viewOf(price))["Currency"], Value(c.currency)) << c.value;
        EXPECT_FALSE(hasKey(*viewOf(price), "CurrencyText"));
    }
}

TEST(VnPriceInfo, PurchaseMethodFollowsTheMethod) {
    const std::pair<const char*, int32_t> cases[] = {
        {R"("FREE")", 2}, {R"("INAPP")", 3}, {R"("ORV")", 4}, {R"("free")", 1}, {"null", 1}};
    for (const auto& [method, expected] : cases) {
        auto price = load<VnPriceInfo>(std::string(R"({"Method":)") + method + "}");
        EXPECT_EQ((*viewOf(price))["PurchaseMethod"], Value(expected)) << method;
    }
    auto price = load<VnPriceInfo>(R"({"Method":"FREE"})");
    EXPECT_EQ(price->purchaseMethod(), 2);
    price->setMethod(std::string("INAPP"));
    EXPECT_EQ(price->purchaseMethod(), 3);
}

TEST(VnSubscriptionOptionInfo, DescriptionUnderItsLowerCaseKey) {
    EXPECT_FALSE(
        load<VnSubscriptionOptionInfo>(R"({"Description":"x"})")->subscriptionDescription_);
    constexpr const char* reply = R"({"Code":"S","description":"สมาชิก 3 เดือน","IssueAmount":3})";
    auto option = load<VnSubscriptionOptionInfo>(reply);
    EXPECT_EQ(option->subscriptionDescription_, "สมาชิก 3 เดือน");
    expectWritesBack(option, reply);
    EXPECT_FALSE(hasKey(*viewOf(option), "Description"));
}

TEST(VnUserSubscriptionInfo, LoadsAndWritesBackWithTheClassicMessage) {
    auto held = load<VnUserSubscriptionInfo>(kHeldReply);
    EXPECT_EQ(held->code(), "MAG-KR");
    EXPECT_EQ(held->messageText_, "Classic subscription");
    EXPECT_EQ(held->expireDateValue(), Date{1422662400});  // 31 January 2015, midnight GMT
    EXPECT_EQ(held->claimDateValue(), Date{1421280000});
    expectWritesBack(held, kHeldReply, {"MessageText"});
    EXPECT_EQ((*viewOf(held))["ExpireDateValue"], Value("31/01/2015 00:00:00"));
    for (const char* zone : {"Asia/Bangkok", "America/New_York", "Pacific/Kiritimati"}) {
        ScopedTimeZone scoped(zone);
        EXPECT_EQ(held->expireDateValue(), Date{1422662400}) << zone;
    }

    auto automatic = load<VnUserSubscriptionInfo>(R"({"IsAutoRenewal":true,"MessageText":""})");
    EXPECT_EQ(automatic->messageText_, "");
    EXPECT_FALSE(automatic->expireDateValue());
    automatic->expireDate_ = "32012015";
    automatic->claimDate_ = "3101201";
    EXPECT_FALSE(automatic->expireDateValue() || automatic->claimDateValue());
}

TEST(VnHaldenSubscriptionInfo, DescriptionTravelsUnderDescription) {
    constexpr const char* reply = R"({"Code":"H-1","SubscriptionName":"Halden Pass",
        "Description":"ยืมได้ 10 เล่มต่อเดือน","SubscribeDate":"01/01/2015","ExpireDate":"31/12/2015",
        "BookCount":4,"BookLimitSize":10,"IsAutoRenew":1})";
    auto pass = load<VnHaldenSubscriptionInfo>(reply);
    EXPECT_EQ(pass->descriptionText_, "ยืมได้ 10 เล่มต่อเดือน");
    expectWritesBack(pass, reply);
    EXPECT_FALSE(hasKey(*viewOf(pass), "DescriptionText"));
    EXPECT_EQ(load<VnHaldenSubscriptionInfo>(jsonText(pass))->descriptionText_,
              pass->descriptionText_);

    constexpr const char* points =
        R"({"Code":"U-1","LastUpdated":"15/01/2024 10:20:30","Points":1250})";
    EXPECT_EQ(load<VnUserPointsInfo>(points)->lastUpdated_, Date{1705314030});
    expectWritesBack(load<VnUserPointsInfo>(points), points);
}
