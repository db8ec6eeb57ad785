// The search page over doubles: the container's moves and overlay, the detail given the chosen
// record by its own class, and the main view's type buttons.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "ScreenTestSupport.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/search/SearchMainView.h"
#include "app/store/search/SearchMainViewController.h"
#include "platform_ui/ResourceRegistry.h"
#include "support/CapturedLog.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using screen_test::DynamicObject;
using testing_support::sentArgument;

namespace {

class SearchScreenTest : public ::testing::Test {
  protected:
    void SetUp() override { registerStoreResources(ui::ResourceRegistry::shared()); }
    DynamicObject& made(const std::string& name, size_t index = 0) {
        return *doubles.made(name).at(index);
    }
    screen_test::Doubles doubles;
};

TEST_F(SearchScreenTest, ContainerHandsTheChosenRecordToTheDetailAndReleasesWhatIsLeft) {
    doubles.add("SearchViewStoryboard", "SearchMainView",
                {"setDelegate:", "startSearch:", "cancelSearch"});
    doubles.add("ShopDetailStoryboard", "ShopDetailMainView",
                {"setDelegate:", "setIsBook:", "setHeaderTitle:", "setMagazineInfo:",
                 "setMagazineIssueInfo:"});
    doubles.add("", "ShopBackIssueViewController", {"setDelegate:", "setMagazineInfo:"});
    doubles.add("", "HZLoading", {"setDelegate:"});
    doubles.add("PreviewPopupStoryboard", "PreviewPopupMainView", {"setDelegate:"});
    auto page = ui::ResourceRegistry::shared().instantiate<SearchMainViewController>(
        "SearchViewStoryboard", "SearchMainViewContrller");
    ASSERT_TRUE(page);
    auto window = DynamicObject::make();
    plat::send(page, "setDelegate:", window);
    page->view();
    auto& main = made("SearchMainView");
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(main, "setDelegate:", 0), page);
    EXPECT_TRUE(doubles.made("PreviewPopupMainView").empty());
    EXPECT_FALSE(page->isOverlayShown());

    // The text goes to the main view, whose first page drives the overlay.
    plat::send(page, "startSearch:", std::string("River"));
    EXPECT_EQ(sentArgument<std::string>(main, "startSearch:", 0), "River");
    plat::send(page, "searchMainViewStartLoading");
    EXPECT_TRUE(page->isOverlayShown());
    plat::send(page, "HZLoading_CancelClick:", made("HZLoading").self());
    EXPECT_FALSE(page->isOverlayShown());
    plat::send(page, "searchMainViewStartLoading");
    plat::send(page, "searchMainViewLoadComplete");
    EXPECT_FALSE(page->isOverlayShown());

    // A book: the detail shown at once with the record, no overlay.
    auto book = std::make_shared<VnMagazineIssueInfo>();
    plat::send(page, "searchMainView:selectBookIssueInfo:", main.self(), book);
    auto& detail = made("ShopDetailMainView");
    EXPECT_EQ(page->currentChild().get(), &detail);
    EXPECT_EQ(sentArgument<bool>(detail, "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 0), "หนังสือ / ค้นหา");
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(detail, "setMagazineIssueInfo:", 0), book);
    EXPECT_EQ(detail.calls().front(), "setDelegate:");
    EXPECT_FALSE(page->isOverlayShown());

    // Back issues are released on the way back, the detail on its own way back.
    auto magazine = std::make_shared<VnMagazineInfo>();
    magazine->latestIssue_ = std::make_shared<VnMagazineIssueInfo>();
    plat::send(page, "shopDetailMainView:seeAllBackIssue:", detail.self(), magazine);
    EXPECT_EQ(page->currentChild(), doubles.made("ShopBackIssueViewController").at(0));
    plat::send(page, "shopBackIssueView:backFromBackIssueView:",
               doubles.made("ShopBackIssueViewController").at(0), std::string());
    EXPECT_FALSE(page->shopBackIssueView());
    EXPECT_EQ(page->currentChild().get(), &detail);
    plat::send(page, "shopDetailMainView:backToTopView:", detail.self(), std::string());
    EXPECT_FALSE(page->shopDetailMainView());
    EXPECT_EQ(page->currentChild().get(), &main);

    // A magazine: a new detail with the magazine and its latest issue.
    plat::send(page, "searchMainView:selectMagazineInfo:", main.self(), magazine);
    ASSERT_EQ(doubles.made("ShopDetailMainView").size(), 2u);
    auto& second = made("ShopDetailMainView", 1);
    EXPECT_EQ(sentArgument<bool>(second, "setIsBook:", 0), false);
    EXPECT_EQ(sentArgument<std::string>(second, "setHeaderTitle:", 0), "นิตยสาร / ค้นหา");
    EXPECT_EQ(sentArgument<Ref<VnMagazineInfo>>(second, "setMagazineInfo:", 0), magazine);
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(second, "setMagazineIssueInfo:", 0),
              magazine->latestIssue_);
    plat::send(page, "shopDetailMainView:backToTopView:", second.self(), std::string());

    // A record of the other class than the message names is ignored, not a crash.
    plat::send(page, "searchMainView:selectMagazineInfo:", main.self(), book);
    plat::send(page, "searchMainView:selectBookIssueInfo:", main.self(), magazine);
    EXPECT_EQ(doubles.made("ShopDetailMainView").size(), 2u);
    EXPECT_EQ(page->currentChild().get(), &main);

    EXPECT_TRUE(window->calls().empty());
    for (const char* unanswered :
         {"shopDetailMainViewLoadDataInfoComplete", "shopDetailMainView:previewMagazineIssueInfo:",
          "shopBackIssueView:selectMagazineIssueInfo:", "UriDirect:webLinkByBookInfoCode:",
          "UriDirect_WidgetCode:withIssueList:", "shopCategoryMainView:backToTopView:"})
        EXPECT_FALSE(page->respondsToSelector(unanswered)) << unanswered;
}

TEST_F(SearchScreenTest, ResultsOpenByTheirOwnClassAndButtonsShowTheType) {
    auto screen = ui::ResourceRegistry::shared().instantiate<SearchMainView>("SearchViewStoryboard",
                                                                             "SearchMainView");
    ASSERT_TRUE(screen);
    auto container = DynamicObject::make();
    container->on("searchMainView:selectBookIssueInfo:").on("searchMainView:selectMagazineInfo:");
    container->on("searchMainViewStartLoading");
    screen->setDelegate(container);
    screen->view();
    EXPECT_TRUE(screen->isBook());
    EXPECT_TRUE(screen->bookButton->isChecked());

    // Nothing searched: the type switch asks nothing, an empty text neither.
    screen->startSearch("");
    plat::send(screen, "magazineButton_Click:", Ref<plat::Object>());
    EXPECT_FALSE(screen->isBook());
    EXPECT_TRUE(screen->magazineButton->isChecked());
    EXPECT_FALSE(screen->bookButton->isChecked());
    EXPECT_EQ(container->count("searchMainViewStartLoading"), 0u);
    EXPECT_FALSE(screen->searchRequest());
    EXPECT_TRUE(screen->magazineText->styleSheet().contains("#ff3b30"));
    EXPECT_TRUE(screen->bookText->styleSheet().contains("#808080"));

    // In the magazine type, a book result still opens as a book, and a magazine as a magazine.
    auto cell = BookCoverCollectionCellView::makeFromStoryboard();
    auto book = std::make_shared<VnMagazineIssueInfo>();
    cell->setRepresentedObject(plat::Value(book));
    // With every trace group off, the selection's console line reaches the system log, not the
    // terminal.
    const auto written = testing_support::writtenWithTracesOff(
        [&] { plat::send(screen, "bookCoverCollectionCellSelect:", cell); });
    EXPECT_EQ(written.systemLog, std::vector<std::string>{"Double clicked on icon: ShopInfo"});
    EXPECT_EQ(written.onTerminal("ShopInfo"), 0u);
    ASSERT_EQ(container->count("searchMainView:selectBookIssueInfo:"), 1u);
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(*container,
                                                     "searchMainView:selectBookIssueInfo:", 0, 1),
              book);
    plat::send(screen, "bookButton_Click:", Ref<plat::Object>());
    auto magazine = std::make_shared<VnMagazineInfo>();
    cell->setRepresentedObject(plat::Value(magazine));
    plat::send(screen, "bookCoverCollectionCellSelect:", cell);
    ASSERT_EQ(container->count("searchMainView:selectMagazineInfo:"), 1u);
    cell->setRepresentedObject(plat::Value());
    plat::send(screen, "bookCoverCollectionCellSelect:", cell);
    EXPECT_EQ(container->calls().size(), 2u);

    EXPECT_EQ(SearchMainView::resultText("River", 48), "ค้นหา \"River\" พบจำนวน 48");
    EXPECT_EQ(SearchMainView::resultText("ปลา", 0), "ไม่พบ \"ปลา\"");
}

}  // namespace
