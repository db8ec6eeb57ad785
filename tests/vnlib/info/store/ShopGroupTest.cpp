#include <gtest/gtest.h>

#include "vnlib/info/member/RecordRoundTrip.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/info/store/VnShopTagLabel.h"

using namespace record_test;
using plat::Value;

namespace {

constexpr const char* kGroupReply = R"({
    "AppCode": "VARNEL", "Id": "42", "ImageUrl": "https://img.example.co.th/w/42.png",
    "HeadImageUrl": "https://img.example.co.th/w/42-head.png", "Title": "หนังสือขายดี",
    "TitleLC": [{"Key": "th", "Value": "หนังสือขายดี"}, {"Key": "en", "Value": "Best sellers"}],
    "Description": "รวมหนังสือขายดีประจำสัปดาห์", "Price": "฿99", "LinkUrl": "varnel://list/42",
    "Type": 3, "OrderWidget": 1,
    "Subwidgets": [
        {"Id": "421", "Title": "นิยาย", "Type": 1, "ItemType": 1,
         "Subwidgets": [{"Id": "4211", "Title": "นิยายรัก"}]},
        {"Id": "422", "Title": "Magazines", "Type": 1, "ItemType": 7}],
    "OptionalParams": [{"Key": "sort", "Value": "popular"}, {"Key": "limit", "Value": 20}],
    "DefaultSort": "popular", "IsFollow": 1, "ItemType": 2, "PredefinedId": "BEST",
    "ParentPredefinedId": "HOME", "InfoKind": 1,
    "InfoItem": {"Code": "BK-1", "MagazineName": "ชีวิตต้องสู้"}, "GCode": 9, "Hash": "ab12"})";

}  // namespace

TEST(VnShopGroupInfo, LoadsNestedGroupsKeyedByTheirIdsAndWritesThemBack) {
    auto group = load<VnShopGroupInfo>(kGroupReply);
    EXPECT_EQ(group->code(), "42");
    EXPECT_TRUE(group->isFollow_);
    EXPECT_EQ(group->gCode_, 9);
    EXPECT_EQ((*group->TitleLC_)["en"], Value("Best sellers"));
    EXPECT_EQ((*group->OptionalParams_)["limit"], Value(int32_t{20}));
    EXPECT_EQ((*group->infoItem_.dictionary())["MagazineName"], Value("ชีวิตต้องสู้"));
    EXPECT_EQ(group->rootGroupKind(), 2);
    ASSERT_EQ(group->subgroupCount(), 2);
    EXPECT_EQ(group->subgroupAtIndex(0)->code(), "421");
    EXPECT_EQ(group->subgroupAtIndex(0)->rootGroupKind(), 1);
    EXPECT_EQ(group->subgroupAtIndex(0)->subgroupAtIndex(0)->Title_, "นิยายรัก");
    EXPECT_EQ(group->subgroupAtIndex(1)->rootGroupKind(), 0);  // ItemType 7
    EXPECT_FALSE(group->subgroupAtIndex(2));
    EXPECT_FALSE(group->subgroupAtIndex(-1));

    // Key-value lists are written as objects, which load back to the same dictionaries.
    EXPECT_TRUE(writesBack(group, kGroupReply, {"TitleLC", "OptionalParams"}));
    auto again = std::make_shared<VnShopGroupInfo>();
    again->initWithDictionary(written(group));
    EXPECT_EQ((*again->OptionalParams_)["sort"], Value("popular"));
    EXPECT_EQ((*again->TitleLC_)["th"], Value("หนังสือขายดี"));
    EXPECT_EQ(again->subgroupAtIndex(0)->subgroupAtIndex(0)->code(), "4211");
}

TEST(VnShopGroupInfo, CapitalisedPropertiesAreWrittenFromCurrentValues) {
    auto root = VnShopGroupInfo::rootWithGroup(7);
    EXPECT_EQ(root->code(), "7");
    root->Id_ = "menu-7";
    root->Title_ = "ร้านหนังสือ";
    root->Type_ = 5;
    root->AppCode_ = "VARNEL";
    auto out = written(root);
    EXPECT_EQ((*out)["Id"], Value("menu-7"));
    EXPECT_EQ((*out)["Title"], Value("ร้านหนังสือ"));
    EXPECT_EQ((*out)["Type"], Value(int32_t{5}));
    EXPECT_EQ((*out)["AppCode"], Value("VARNEL"));
    EXPECT_EQ((*out)["Code"], Value("7"));

    auto group = load<VnShopGroupInfo>(kGroupReply);
    group->Title_ = "ขายดีตลอดกาล";
    group->Type_ = 8;
    EXPECT_EQ((*viewOf(group))["Title"], Value("ขายดีตลอดกาล"));  // not the loaded title
    EXPECT_EQ((*viewOf(group))["Type"], Value(int32_t{8}));
    EXPECT_FALSE(load<VnShopGroupInfo>(R"({"Id": null, "Subwidgets": "none"})")->code());
}

TEST(VnShopTagLabel, ColourIsConstantDarkGreyAndLeftOutOfTheDictionaryForm) {
    constexpr const char* reply =
        R"({"Text": "ใหม่", "HtmlBackgroundColor": "#FF0000", "BackgroundColor": "red"})";
    auto label = load<VnShopTagLabel>(reply);
    const VnColor darkGrey{1.0 / 3, 1.0 / 3, 1.0 / 3, 1};
    EXPECT_EQ(label->backgroundColor(), darkGrey);
    label->htmlBackgroundColor_ = "#00FF00";
    EXPECT_EQ(label->backgroundColor(), darkGrey);
    // Writing never fails on the colour: a label made in code has no colour key, and a loaded
    // one writes the server's own entry back.
    EXPECT_TRUE(writesBack(label, reply, {"HtmlBackgroundColor"}));
    auto made = std::make_shared<VnShopTagLabel>();
    made->text_ = "ลดราคา";
    auto out = written(made);
    EXPECT_EQ((*out)["Text"], Value("ลดราคา"));
    EXPECT_TRUE((*out)["BackgroundColor"].isNil());
}
