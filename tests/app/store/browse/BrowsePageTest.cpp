// The whole browse page over the demo library, driven through its widgets in the event loop: the
// first list, the pop-up's publisher item, the letter index, paging by scrolling, the index pane's
// width on resize, and a clicked cover reaching the item detail through the link router.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidget>

#include "ContainerDoubles.h"
#include "app/links/LinkResources.h"
#include "app/store/StoreResources.h"
#include "app/store/browse/BrowseListView.h"
#include "app/store/browse/BrowseMainView.h"
#include "app/store/browse/BrowseMainViewController.h"
#include "app/store/browse/BrowseSubView.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/detail/StoreTestSupport.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"

using testing_support::sentArgument;
using testing_support::spinUntil;

namespace {

constexpr int kPatience = 20000;

class BrowseScreenTest : public StoreTest {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        StoreTest::SetUp();
        registerStoreResources(ui::ResourceRegistry::shared());
        doubles.install();
        // The real router, in place of the doubles' one.
        ui::ResourceRegistry::shared().removeController(LinkScreens::kUriDirect);
        registerLinkResources(ui::ResourceRegistry::shared());
    }
    void TearDown() override {
        container.reset();
        doubles.uninstall();
        StoreTest::TearDown();
    }
    std::vector<std::string> askedGroups() {
        std::vector<std::string> ids;
        for (const auto& request : store.requestsForMethod("GetWidgetInfo"))
            ids.push_back(demo::Json::parse(request.body).value("id", ""));
        return ids;
    }

    // Makes the browse page as the main window does and shows it; false when it is not made.
    bool showContainer() {
        container = ui::ResourceRegistry::shared().instantiate<BrowseMainViewController>(
            "", "BrowseMainViewController");
        if (!container)
            return false;
        container->view()->resize(1000, 700);
        container->view()->show();
        return true;
    }

    testing_support::ContainerDoubles doubles;
    Ref<BrowseMainViewController> container;
};

TEST_F(BrowseScreenTest, AFailedIndexSaysNothingAndAsksAgainWhenShownAgain) {
    store.setFault("GetWidgetInfo", {demo::FaultKind::ServerError});
    ASSERT_TRUE(showContainer());
    QWidget* page = container->view();
    auto main = std::dynamic_pointer_cast<BrowseMainView>(container->browseMainView());
    ASSERT_TRUE(main);
    auto authors = std::dynamic_pointer_cast<BrowseSubView>(main->browseBookSubView());
    ASSERT_TRUE(authors);
    ASSERT_TRUE(spinUntil([&] { return authors->namesAnswered(); }, kPatience));
    // The index stays empty, with no message and no alert.
    EXPECT_TRUE(authors->gAuthors().empty());
    for (const QLabel* label : authors->view()->findChildren<QLabel*>())
        EXPECT_FALSE(label->isVisible() && !label->text().isEmpty()) << label->text().toStdString();
    EXPECT_TRUE(alerts->messages.empty());

    // Shown again with the service back: the names are asked again and listed.
    store.clearFaults();
    page->hide();
    page->show();
    ASSERT_TRUE(spinUntil([&] { return !authors->gAuthors().empty(); }, kPatience));
    EXPECT_EQ(askedGroups(), (std::vector<std::string>{"0.browse.author", "0.browse.author"}));
}

TEST_F(BrowseScreenTest, PageListsIndexesPagesAndOpensAnItem) {
    ASSERT_TRUE(showContainer());
    QWidget* page = container->view();
    // The first list: authors, the book tab marked, no overlay while it loads.
    EXPECT_FALSE(container->isOverlayShown());
    ASSERT_TRUE(spinUntil([&] { return !askedGroups().empty(); }, kPatience));
    EXPECT_EQ(askedGroups(), std::vector<std::string>{"0.browse.author"});
    auto main = std::dynamic_pointer_cast<BrowseMainView>(container->browseMainView());
    ASSERT_TRUE(main);
    EXPECT_TRUE(main->bookButton->isChecked());
    auto authors = std::dynamic_pointer_cast<BrowseSubView>(main->browseBookSubView());
    ASSERT_TRUE(spinUntil([&] { return !authors->groupBrowseKeyArray().empty(); }, kPatience));

    // The pop-up's publisher item (tag 1): the book publishers, with the overlay while loading.
    QComboBox* popUp = main->bookPopUpButton;
    const int publisher = popUp->findData(1);
    popUp->setCurrentIndex(publisher);
    emit popUp->activated(publisher);
    EXPECT_TRUE(container->isOverlayShown());
    ASSERT_TRUE(spinUntil([&] { return askedGroups().size() == 2; }, kPatience));
    EXPECT_EQ(askedGroups().back(), "0.browse.publisher_book");
    auto publishers = std::dynamic_pointer_cast<BrowseSubView>(main->publisherBookSuvView());
    ASSERT_EQ(main->currentSubView(), publishers);
    ASSERT_TRUE(spinUntil([&] { return !container->isOverlayShown(); }, kPatience));
    QTreeWidget* index = publishers->browseListOutlineView;
    ASSERT_GT(index->topLevelItemCount(), 3);
    EXPECT_TRUE(index->isVisible());

    // Letters cannot be selected; a name can.
    index->setCurrentItem(index->topLevelItem(0));
    EXPECT_TRUE(index->selectedItems().isEmpty());
    const auto rows = index->findItems("Big Shelf Press", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(rows.size(), 1);
    index->setCurrentItem(rows.front());
    ASSERT_TRUE(spinUntil([&] { return publishers->groupBookItems().size() == 48; }, kPatience));
    EXPECT_EQ(askedGroups().back(), "publisher-big_all");
    const auto list = publishers->browseListView();
    ASSERT_TRUE(list && list->view()->isVisible());

    // Scrolling to the bottom asks for one page from 48.
    ui::CollectionView* grid = list->collectionView;
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    ASSERT_TRUE(spinUntil([&] { return publishers->groupBookItems().size() == 96; }, kPatience));
    const auto pages = store.requestsForMethod("GetSubWidgetInfo");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(demo::Json::parse(pages[0].body)["start"], 48);

    // The index pane keeps its width, 200 to 300, as the page grows and shrinks.
    QSplitter* split = publishers->splitView;
    const int indexWidth = split->sizes()[0];
    EXPECT_GE(indexWidth, 200);
    EXPECT_LE(indexWidth, 300);
    for (int width : {1400, 760}) {
        page->resize(width, 700);
        testing_support::spin(50);
        EXPECT_EQ(split->sizes()[0], indexWidth) << width;
        EXPECT_GT(split->sizes()[1], width - indexWidth - 60) << width;
    }

    // A clicked cover: overlay, the router's book code, a detail with the name in its header.
    grid->verticalScrollBar()->setValue(0);
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(grid->itemAtIndex(0));
    ASSERT_TRUE(cover);
    cover->actionButton->click();
    ASSERT_EQ(doubles.details.size(), 1u);
    EXPECT_TRUE(container->isOverlayShown());
    EXPECT_EQ(sentArgument<bool>(*doubles.details[0], "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(*doubles.details[0], "setHeaderTitle:", 0),
              "หนังสือ / Big Shelf Press");
    plat::send(container, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_EQ(container->currentChild(), doubles.details[0]);
    EXPECT_FALSE(main->view()->isVisible());
    // Back: the lists as they were.
    plat::send(container, "shopDetailMainView:backToTopView:", doubles.details[0], std::string());
    EXPECT_TRUE(list->view()->isVisible());
    EXPECT_EQ(publishers->groupBookItems().size(), 96u);
    EXPECT_EQ(main->currentSubView(), publishers);
}

}  // namespace
