// The search page over the demo library with generated items, with doubles of the item detail,
// the back issues and the overlay.
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "ScreenTestSupport.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/detail/StoreTestSupport.h"
#include "app/store/search/SearchMainView.h"
#include "app/store/search/SearchMainViewController.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using screen_test::DynamicObject;
using testing_support::sentArgument;
using testing_support::spinUntil;

namespace {

constexpr int kPatience = 20000;

class SearchScreenTest : public StoreTest {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        StoreTest::SetUp();
        registerStoreResources(ui::ResourceRegistry::shared());
        doubles.add("ShopDetailStoryboard", "ShopDetailMainView",
                    {"setDelegate:", "setIsBook:", "setHeaderTitle:", "setMagazineInfo:",
                     "setMagazineIssueInfo:"});
        doubles.add("", "HZLoading", {"setDelegate:"});
        // 56 books and 5 magazines have "River" in their names.
        catalogue.generateItems(2000, 42);
    }

    // Where the pages of a search method started, in the order asked.
    std::vector<int64_t> starts(const char* method) const {
        std::vector<int64_t> out;
        for (const auto& request : store.requestsForMethod(method)) {
            const auto body = demo::Json::parse(request.body, nullptr, false);
            if (body.contains("start")) {
                out.push_back(body["start"].get<int64_t>());
                continue;
            }
            for (const auto& param : body.value("optionalParams", demo::Json::array()))
                if (param.value("Key", "") == "start")
                    out.push_back(std::stoll(param["Value"].dump()));
        }
        return out;
    }
    void scrollToBottom() {
        QScrollBar* bar = screen->collectionView->verticalScrollBar();
        bar->setValue(bar->maximum() - 1);
        bar->setValue(bar->maximum());
    }
    bool idle() const { return screen->searchRequest() && !screen->searchRequest()->running(); }
    void clickResult(int index) {
        auto cell = std::dynamic_pointer_cast<BookCoverCollectionCellView>(
            screen->collectionView->itemAtIndex(index));
        ASSERT_TRUE(cell) << index;
        cell->actionButton->click();
    }
    std::string line() const { return screen->resultSearchTextField->text().toStdString(); }

    screen_test::Doubles doubles;
    Ref<SearchMainView> screen;
};

TEST_F(SearchScreenTest, BooksAndMagazinesPageAndOpenByTheirOwnKind) {
    auto page = ui::ResourceRegistry::shared().instantiate<SearchMainViewController>(
        "SearchViewStoryboard", "SearchMainViewContrller");
    ASSERT_TRUE(page);
    page->view()->resize(1000, 700);
    page->view()->show();
    screen = std::dynamic_pointer_cast<SearchMainView>(page->mainChild());
    ASSERT_TRUE(screen);

    // The first page of books, under the overlay: 48 by sort index.
    plat::send(page, "startSearch:", std::string("River"));
    EXPECT_TRUE(page->isOverlayShown());
    ASSERT_TRUE(spinUntil([&] { return !page->isOverlayShown() && idle(); }, kPatience));
    const auto& results = screen->magazineIssueInfos();
    ASSERT_EQ(results.size(), 48u);
    int previous = -1;
    for (const auto& value : results) {
        auto book = value.as<VnMagazineIssueInfo>();
        ASSERT_TRUE(book);
        const int sortIndex = catalogue.findItem(book->code().value_or(""))->sortIndex;
        EXPECT_LT(previous, sortIndex);
        previous = sortIndex;
    }
    EXPECT_EQ(line(), "ค้นหา \"River\" พบจำนวน 48");
    const QImage shot = screen->resultSearchTextField->grab().toImage();
    int inked = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            inked += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(inked, 20);

    // Next pages from 48; an empty page and a failed one are asked again.
    scrollToBottom();
    ASSERT_TRUE(spinUntil([&] { return results.size() == 56 && idle(); }, kPatience));
    EXPECT_EQ(line(), "ค้นหา \"River\" พบจำนวน 56");
    scrollToBottom();
    ASSERT_TRUE(spinUntil([&] { return screen->isUpdateBook(); }, kPatience));
    store.setFault("GetMetaBookInfos", demo::Fault{demo::FaultKind::ServerError});
    scrollToBottom();
    ASSERT_TRUE(spinUntil([&] { return screen->isUpdateBook(); }, kPatience));
    store.clearFaults();
    scrollToBottom();
    ASSERT_TRUE(spinUntil([&] { return screen->isUpdateBook(); }, kPatience));
    EXPECT_EQ(starts("GetMetaBookInfos"), (std::vector<int64_t>{0, 48, 96, 96, 96}));
    EXPECT_EQ(screen->moreCountBook(), 1);
    EXPECT_EQ(results.size(), 56u);

    // Magazines: the same text from the first page; a second click asks nothing.
    store.clearRequests();
    screen->magazineButton->click();
    ASSERT_TRUE(spinUntil([&] { return idle() && screen->isUpdateMagazine(); }, kPatience));
    EXPECT_EQ(line(), "ค้นหา \"River\" พบจำนวน 5");
    ASSERT_EQ(results.size(), 5u);
    screen->magazineButton->click();
    plat::send(page, "startSearch:", std::string());
    testing_support::spin(50);
    // (A bounds change of the short list may ask for the page after it.)
    const auto magazinePages = starts("GetMetaMagazineInfos");
    ASSERT_FALSE(magazinePages.empty());
    EXPECT_EQ(magazinePages.front(), 0);
    EXPECT_EQ(std::count(magazinePages.begin(), magazinePages.end(), 0), 1);
    EXPECT_TRUE(store.requestsForMethod("GetMetaBookInfos").empty());
    EXPECT_EQ(line(), "ค้นหา \"River\" พบจำนวน 5");

    // Back to books, whose first page fails: the magazines stay and open as magazines.
    store.setFault("GetMetaBookInfos", demo::Fault{demo::FaultKind::ServerError});
    screen->bookButton->click();
    ASSERT_TRUE(spinUntil([&] { return !page->isOverlayShown() && idle(); }, kPatience));
    store.clearFaults();
    EXPECT_TRUE(screen->isBook());
    EXPECT_EQ(line(), "ค้นหา \"River\" พบจำนวน 5");
    clickResult(0);
    ASSERT_EQ(doubles.made("ShopDetailMainView").size(), 1u);
    auto& magazineDetail = *doubles.made("ShopDetailMainView")[0];
    const auto magazine = results[0].as<VnMagazineInfo>();
    ASSERT_TRUE(magazine && magazine->latestIssue_);
    EXPECT_EQ(sentArgument<bool>(magazineDetail, "setIsBook:", 0), false);
    EXPECT_EQ(sentArgument<std::string>(magazineDetail, "setHeaderTitle:", 0), "นิตยสาร / ค้นหา");
    EXPECT_EQ(sentArgument<Ref<VnMagazineInfo>>(magazineDetail, "setMagazineInfo:", 0), magazine);
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(magazineDetail, "setMagazineIssueInfo:", 0),
              magazine->latestIssue_);
    EXPECT_EQ(page->currentChild().get(), &magazineDetail);

    // A search while the detail shows runs in the results; the detail stays until back, which
    // shows them; a book opens as a book in a new detail.
    plat::send(page, "startSearch:", std::string("River"));
    ASSERT_TRUE(spinUntil([&] { return idle() && results.size() == 48; }, kPatience));
    EXPECT_EQ(page->currentChild().get(), &magazineDetail);
    plat::send(page, "shopDetailMainView:backToTopView:", magazineDetail.self(), std::string());
    EXPECT_EQ(page->currentChild(), screen);
    ASSERT_TRUE(spinUntil([&] { return screen->collectionView->itemAtIndex(1) != nullptr; }));
    clickResult(1);
    ASSERT_EQ(doubles.made("ShopDetailMainView").size(), 2u);
    auto& bookDetail = *doubles.made("ShopDetailMainView")[1];
    EXPECT_EQ(sentArgument<bool>(bookDetail, "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(bookDetail, "setHeaderTitle:", 0), "หนังสือ / ค้นหา");
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(bookDetail, "setMagazineIssueInfo:", 0),
              results[1].as<VnMagazineIssueInfo>());
}

}  // namespace
