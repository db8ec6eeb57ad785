// The top chart page over doubles: the container's moves between its children and its overlay,
// the column's category popup, and the chart cell's rank and background.
#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

#include "ScreenTestSupport.h"
#include "app/store/StoreResources.h"
#include "app/store/topchart/TopChartCollectionCellView.h"
#include "app/store/topchart/TopChartListViewController.h"
#include "app/store/topchart/TopChartMainView.h"
#include "app/store/topchart/TopChartMainViewController.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using screen_test::DynamicObject;
using testing_support::sentArgument;

namespace {

Ref<VnShopGroupInfo> group(const std::string& title, std::optional<std::string> link = {},
                           int order = 0) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->Id_ = "id-" + title;
    info->Title_ = title;
    info->LinkUrl_ = std::move(link);
    info->OrderWidget_ = order;
    return info;
}

class TopChartTest : public ::testing::Test {
  protected:
    void SetUp() override { registerStoreResources(ui::ResourceRegistry::shared()); }

    // The page over doubles of its main view and children.
    Ref<TopChartMainViewController> makePage() {
        doubles.add("", "TopChartMainView", {"setDelegate:"});
        doubles.add("ShopDetailStoryboard", "ShopDetailMainView",
                    {"setDelegate:", "setIsBook:", "setCurrentGroupInfo:", "setHeaderTitle:"});
        doubles.add("", "ShopBackIssueViewController", {"setDelegate:", "setMagazineInfo:"});
        doubles.add("", "ShopCategoryMainViewController", {"setDelegate:", "setCurrentCodeSort:"});
        doubles.add("", "HZLoading", {"setDelegate:"});
        doubles.add("PreviewPopupStoryboard", "PreviewPopupMainView", {"setDelegate:"});
        auto page = ui::ResourceRegistry::shared().instantiate<TopChartMainViewController>(
            "", "TopChartMainViewController");
        doubles.addRouter([page = std::weak_ptr(page)] {
            auto shown = page.lock();
            return shown && shown->isOverlayShown();
        });
        return page;
    }
    DynamicObject& made(const std::string& name, size_t index = 0) {
        return *doubles.made(name).at(index);
    }

    screen_test::Doubles doubles;
};

TEST_F(TopChartTest, ContainerKeepsItsChildrenAndShowsTheOverlayWhilePreparingTheDetail) {
    const auto page = makePage();
    ASSERT_TRUE(page);
    page->view()->resize(900, 600);
    auto& main = made("TopChartMainView");
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(main, "setDelegate:", 0), page);
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(made("HZLoading"), "setDelegate:", 0), page);
    EXPECT_TRUE(doubles.made("PreviewPopupMainView").empty());
    EXPECT_FALSE(page->isOverlayShown());
    EXPECT_EQ(page->currentChild().get(), &main);

    // A book entry: no overlay while routing; preparing the detail shows it; nothing shown yet.
    const auto all = group("ทั้งหมด");
    const auto entry = group("ข้างหลังภาพ", "code:book:BK0001");
    plat::send(page, "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", main.self(),
               entry, all);
    EXPECT_EQ(doubles.overlayWhileRouting, std::vector<bool>{false});
    EXPECT_TRUE(page->isOverlayShown());
    auto& detail = made("ShopDetailMainView");
    EXPECT_EQ(sentArgument<bool>(detail, "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(detail, "setCurrentGroupInfo:", 0), entry);
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 0), "หนังสือ / ทั้งหมด");
    EXPECT_EQ(page->currentChild().get(), &main);

    plat::send(page, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_FALSE(page->isOverlayShown());
    EXPECT_EQ(page->currentChild().get(), &detail);

    // Back issues and back: the same back-issue list each time.
    auto magazine = std::make_shared<VnMagazineInfo>();
    plat::send(page, "shopDetailMainView:seeAllBackIssue:", detail.self(), magazine);
    auto& backIssues = made("ShopBackIssueViewController");
    EXPECT_EQ(page->currentChild().get(), &backIssues);
    plat::send(page, "shopBackIssueView:backFromBackIssueView:", backIssues.self(), std::string());
    EXPECT_EQ(page->currentChild().get(), &detail);
    plat::send(page, "shopDetailMainView:seeAllBackIssue:", detail.self(), magazine);
    EXPECT_EQ(doubles.made("ShopBackIssueViewController").size(), 1u);
    EXPECT_EQ(backIssues.count("setMagazineInfo:"), 2u);
    plat::send(page, "shopBackIssueView:backFromBackIssueView:", backIssues.self(), std::string());

    // Back from the detail: the main view again, the detail kept for the next entry, whose
    // newspaper link gets the magazine word.
    plat::send(page, "shopDetailMainView:backToTopView:", detail.self(), std::string());
    EXPECT_EQ(page->currentChild().get(), &main);
    EXPECT_EQ(page->shopDetailMainView().get(), &detail);
    plat::send(page, "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", main.self(),
               group("ข่าวเช้า", "code:issue:NP01-240302"), group("ข่าว"));
    EXPECT_EQ(doubles.made("ShopDetailMainView").size(), 1u);
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 1), "นิตยสาร / ข่าว");
    EXPECT_EQ(sentArgument<bool>(detail, "setIsBook:", 1), false);

    // A list link while the overlay shows: the list of the code in place of the main view, the
    // overlay left as it is.
    plat::send(page, "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", main.self(),
               group("รวมเล่ม", "code:list:0.feature_all.books"), all);
    EXPECT_TRUE(page->isOverlayShown());
    auto& list = made("ShopCategoryMainViewController");
    EXPECT_EQ(sentArgument<std::string>(list, "setCurrentCodeSort:", 0), "0.feature_all.books");
    EXPECT_EQ(page->currentChild().get(), &list);
    plat::send(page, "HZLoading_CancelClick:", made("HZLoading").self());
    EXPECT_FALSE(page->isOverlayShown());
    EXPECT_EQ(page->currentChild().get(), &list);

    // The list can be used: an entry there goes to the detail, which then takes the list's place;
    // its back returns to the main view and the list stays made.
    plat::send(page, "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:", list.self(),
               group("เล่มในรายการ", "code:book:BK0002"), group("หนังสือแนะนำ"));
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 2), "หนังสือ / หนังสือแนะนำ");
    plat::send(page, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_EQ(page->currentChild().get(), &detail);
    plat::send(page, "shopDetailMainView:backToTopView:", detail.self(), std::string());
    EXPECT_EQ(page->currentChild().get(), &main);
    // ... and left: back from the list shows the main view, the list kept for the next link.
    plat::send(page, "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", main.self(),
               group("อีกรายการ", "code:list:77.paid"), all);
    EXPECT_EQ(doubles.made("ShopCategoryMainViewController").size(), 1u);
    plat::send(page, "shopCategoryMainView:backToTopView:", list.self(), std::string());
    EXPECT_EQ(page->currentChild().get(), &main);
    EXPECT_EQ(page->shopCategoryMainView().get(), &list);
}

TEST_F(TopChartTest, ContainerAnswersItsOwnCallbacksOnly) {
    const auto page = makePage();
    page->view();
    auto& main = made("TopChartMainView");
    plat::send(page, "shopDetailMainViewStartLoading");
    EXPECT_TRUE(page->isOverlayShown());
    plat::send(page, "shopDetailMainViewLoadComplete");
    EXPECT_FALSE(page->isOverlayShown());
    // A featured link, a web link or a link without answer change nothing.
    for (const char* link : {"code:featured:9", "https://example.org/", "mailto:x"}) {
        plat::send(page, "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", main.self(),
                   group("x", std::string(link)), group("y"));
        EXPECT_FALSE(page->isOverlayShown()) << link;
        EXPECT_EQ(page->currentChild().get(), &main) << link;
    }
    EXPECT_TRUE(doubles.made("ShopDetailMainView").empty());
    for (const char* answered :
         {"topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:",
          "UriDirect:webLinkByBookInfoCode:", "UriDirect:webLinkByMagazineIssueInfoCode:",
          "UriDirect_WidgetCode:withIssueList:", "UriDirect_WidgetCode:withFeatured:",
          "shopDetailMainViewLoadDataInfoComplete", "shopBackIssueView:backFromBackIssueView:",
          "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:",
          "shopCategoryMainView:backToTopView:", "HZLoading_CancelClick:",
          "Va3ShopDetailMainViewController_CompleteLoad:", "showShopCategoryMainView"})
        EXPECT_TRUE(page->respondsToSelector(answered)) << answered;
    for (const char* unanswered :
         {"UriDirect_WebLinkComplete:", "UriDirect_CompleteLoad:",
          "shopDetailMainView:previewMagazineIssueInfo:",
          "shopBackIssueView:selectMagazineIssueInfo:", "previewPopupMainViewClose",
          "shopFeatureMainView:selectSeeAll:"})
        EXPECT_FALSE(page->respondsToSelector(unanswered)) << unanswered;
}

TEST_F(TopChartTest, CellsShowPositionsAsRanksAndStripeEvenPositions) {
    ui::CollectionView grid;
    grid.resize(TopChartCollectionCellView::kWidth + 30, 700);
    grid.setItemSize({TopChartCollectionCellView::kWidth, TopChartCollectionCellView::kHeight});
    grid.setItemFactory([] { return ui::ViewController::create<TopChartCollectionCellView>(); });
    std::vector<plat::Value> entries;
    for (int order : {9, 3, 7, 1})
        entries.push_back(plat::Value(group("เล่ม " + std::to_string(order), {}, order)));
    // The first title is too long for one line.
    entries[0].as<VnShopGroupInfo>()->Title_ =
        "A title of many words that cannot stand on one line of the cell";
    grid.setContent(entries);
    grid.show();
    ASSERT_EQ(grid.liveItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        auto cell = std::dynamic_pointer_cast<TopChartCollectionCellView>(grid.itemAtIndex(i));
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->rankTextFielad->text(), QString::number(i + 1));
        EXPECT_EQ(cell->bgCategory->pixmap().isNull(), i % 2 == 1) << i;
    }
    // A long title moves up to two lines above the cover's middle, the description under it.
    auto first = std::dynamic_pointer_cast<TopChartCollectionCellView>(grid.itemAtIndex(0));
    auto second = std::dynamic_pointer_cast<TopChartCollectionCellView>(grid.itemAtIndex(1));
    const double coverY = ui::frame(first->coverFrame).y();
    EXPECT_EQ(ui::frame(first->titleTextField).y(), coverY + 75.0);
    EXPECT_EQ(ui::frame(first->titleTextField).height(), 35.0);
    EXPECT_EQ(ui::frame(first->descriptionTextField).y(), coverY + 75.0 - 60.0);
    EXPECT_EQ(ui::frame(second->titleTextField).height(),
              ui::frame(second->descriptionTextField).height());

    // A cell reused for another position follows it, and its title finds its one-line place.
    grid.setContent({entries[3], entries[2], entries[0]});
    for (int i = 0; i < 3; ++i) {
        auto cell = std::dynamic_pointer_cast<TopChartCollectionCellView>(grid.itemAtIndex(i));
        EXPECT_EQ(cell->rankTextFielad->text(), QString::number(i + 1));
        EXPECT_EQ(cell->bgCategory->pixmap().isNull(), i % 2 == 1) << i;
        EXPECT_EQ(ui::frame(cell->titleTextField).height(), i == 2 ? 35.0 : 20.0) << i;
    }
}

}  // namespace
