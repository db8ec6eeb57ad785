// The information row's texts and action groups, from item records as the service writes them.
#include <gtest/gtest.h>

#include <set>

#include "app/store/detail/ShopDetailInfoItemModel.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

Ref<VnMagazineIssueInfo> record(const std::string& json) {
    auto item = std::make_shared<VnMagazineIssueInfo>();
    item->initWithJSONString(json);
    return item;
}

std::set<InfoItemGroup> shownGroups(const ShopDetailInfoItemModel& model) {
    std::set<InfoItemGroup> out;
    for (size_t i = 0; i < kInfoItemGroupCount; ++i)
        if (model.shown[i])
            out.insert(static_cast<InfoItemGroup>(i));
    return out;
}

}  // namespace

TEST(InfoItemRowTest, RanksCategoriesAvailabilityMembersOnlyAndFormat) {
    EXPECT_EQ(overallRankText(10000), "#10,000 Overall");
    EXPECT_EQ(overallRankText(1), "#1 Overall");
    EXPECT_EQ(overallRankText(10001), "N/A");
    EXPECT_EQ(overallRankText(0), "N/A");
    EXPECT_EQ(overallRankText(-5), "N/A");

    auto full = record(R"({"Code":"BK9","Type":"Book","Available":0,"RemainingIssues":0,
        "ReserverCount":0,"ReturnDate":"25122026","BestSellerRank":10000,
        "PrimaryCategoryName":"นวนิยาย","BestSellerPrimaryCateRank":0,
        "SecondaryCategoryName":"คลาสสิก","BestSellerSecondaryCateRank":1200,
        "SupportedMediaFormats":[0,3],"SupportInteractiveAudio":1,"SubscriptionRequire":true,
        "Publisher":""})");
    ShopDetailInfoItemModel model;
    model.reloadDetail(*full);
    EXPECT_EQ(model.rank, "#10,000 Overall");
    EXPECT_EQ(model.category, "นวนิยาย");  // a rank of 0: the name alone
    EXPECT_EQ(model.category2, "#1,200 in คลาสสิก");
    EXPECT_EQ(model.publisher, "N/A");
    EXPECT_EQ(model.digitalPrice, "จำนวนเล่มเต็มแล้ว ยังไม่มีการจอง ได้ไม่เกินวันที่ 25/12/2026");
    EXPECT_EQ(model.type, "EPUB + Interactive Content");
    EXPECT_EQ(model.subscription, "*เฉพาะสมาชิกเท่านั้น");

    // Missing names and dates, reservers, copies left, plain PDF.
    auto bare = record(R"({"Code":"MG9","Type":"Magazine","Available":0,"ReserverCount":3,
        "PrimaryCategoryName":null,"SecondaryCategoryName":"","BestSellerRank":"junk"})");
    model.reloadDetail(*bare);
    EXPECT_EQ(model.rank, "N/A");
    EXPECT_EQ(model.category, "N/A");
    EXPECT_EQ(model.category2, "");
    EXPECT_EQ(model.digitalPrice, "จำนวนเล่มเต็มแล้ว จอง 3 คิว ได้ไม่เกินวันที่ -");
    EXPECT_EQ(model.type, "PDF");
    EXPECT_EQ(model.subscription, "");
    auto free = record(R"({"Code":"MG8","Type":"Magazine","Available":2,"RemainingIssues":2})");
    model.reloadDetail(*free);
    EXPECT_EQ(model.digitalPrice, "จำนวนเล่มที่สามารถยืมได้ 2 เล่ม");
}

TEST(InfoItemRowTest, GroupsFollowTheRecordTheLibraryAndTheReservations) {
    using G = InfoItemGroup;
    struct Row {
        const char* json;
        bool isBook;
        bool held;
        std::set<G> groups;
        std::set<G> reserved;  // once the reservations list the item
    };
    const std::vector<Row> table = {
        {R"({"Type":"Book","RemainingIssues":2})", true, true, {G::Return, G::View}, {}},
        {R"({"Type":"Book","RemainingIssues":2})",
         true,
         false,
         {G::Borrow, G::ReadNow, G::GetSample},
         {G::ReadNow, G::GetSample, G::Cancel}},
        {R"({"Type":"Magazine","RemainingIssues":1})",
         false,
         false,
         {G::Borrow, G::ReadNow, G::Preview},
         {G::ReadNow, G::Preview, G::Cancel}},
        {R"({"Type":"Book","RemainingIssues":0})",
         true,
         false,
         {G::Reserve, G::GetSample},
         {G::GetSample, G::Cancel}},
        {R"({"Type":"Newspaper","RemainingIssues":0})",
         false,
         false,
         {G::Reserve, G::Preview},
         {G::Preview, G::Cancel}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.json);
        ShopDetailInfoItemModel model;
        model.show(G::Return);  // left from an earlier item
        model.reloadDetail(*record(row.json));
        if (row.held)
            model.showHeld();
        else
            model.showNotHeld(row.isBook);
        EXPECT_EQ(shownGroups(model), row.groups);
        if (row.held) {
            EXPECT_EQ(model.digitalPrice, "ยืมแล้ว");
        }
        if (!row.held) {
            model.showReserved();
            EXPECT_EQ(shownGroups(model), row.reserved);
        }
        EXPECT_FALSE(model.isShown(G::BuyNow) || model.isShown(G::Free));
    }
}
