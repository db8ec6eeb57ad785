// The group item list and the back issues on screen over the demo store: the header picture or
// the areas moved into its place, the sort bar's labels and selection, covers that report
// their entry, and the next page asked when the grid is scrolled to its end.
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "app/common/QtImageView.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopBackIssueViewController.h"
#include "app/store/common/ShopCategoryMainViewController.h"
#include "app/store/detail/StoreTestSupport.h"
#include "demo-service/DemoGroupLists.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/ViewGeometry.h"
#include "support/CapturedLog.h"
#include "support/DynamicObject.h"
#include "support/GuiTestSupport.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

using testing_support::DynamicObject;
using testing_support::spinUntil;
using Menu = ShopCategoryMenuCollectionViewItem;

// How long a screen may wait for the demo's answers (a loaded machine, sanitizers).
constexpr int kPatience = 20000;

class ListScreens : public StoreTest {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        StoreTest::SetUp();
        auto& registry = ui::ResourceRegistry::shared();
        registry.addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "images");
        registerStoreResources(registry);
    }
    template <class T>
    Ref<T> make(const char* nib) {
        auto controller = ui::ResourceRegistry::shared().instantiate<T>("", nib);
        EXPECT_TRUE(controller);
        plat::send(controller, "setDelegate:", Ref<plat::Object>(delegate));
        return controller;
    }
    // Shows the controller's view in a window of its own.
    QWidget* show(const Ref<ui::ViewController>& controller) {
        QWidget* view = controller->view();
        view->resize(1024, 700);
        view->show();
        return view;
    }
    static void scrollToEnd(ui::CollectionView* grid) {
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    }

    Ref<DynamicObject> delegate = DynamicObject::make();
};

class GroupListTest : public ListScreens {
  protected:
    // The first row of the book page that is a list: the one with a header picture.
    Ref<VnShopGroupInfo> rowWithHeader() {
        auto domain = user()->shopGroupInfoDomainWithGroupCode("0.feature_book");
        auto result = run(domain->newDomainUpdatingRequest(nullptr));
        auto snapshot = result ? result->returnValue().as<VnLocalSnapshot>() : nullptr;
        if (!snapshot || snapshot->items().empty())
            return nullptr;
        auto page = std::dynamic_pointer_cast<VnShopGroupInfo>(snapshot->items().front());
        for (int32_t i = 0; page && i < page->subgroupCount(); ++i)
            if (auto row = page->subgroupAtIndex(i); row->HeadImageUrl_)
                return row;
        return nullptr;
    }
    static Ref<Menu> option(const Ref<ShopCategoryMainViewController>& list, int index) {
        return std::dynamic_pointer_cast<Menu>(list->menuCollectionView->itemAtIndex(index));
    }
    // The grid holds the list's entries themselves, in order.
    static bool gridHoldsEntries(const Ref<ShopCategoryMainViewController>& list) {
        const auto& content = list->collectionView->content();
        const auto& entries = *list->shopGroupArray();
        return content.size() == entries.size() &&
               std::equal(entries.begin(), entries.end(), content.begin(),
                          [](const auto& entry, const plat::Value& value) {
                              return value.as<VnShopGroupInfo>() == entry;
                          });
    }
};

TEST_F(GroupListTest, TheScreenPlacesItsHeaderShowsItsOptionsAndPagesAtTheEndOfTheGrid) {
    // A group with a header picture: the picture shows over the bar, loaded in the background.
    const auto row = rowWithHeader();
    ASSERT_TRUE(row);
    auto list = make<ShopCategoryMainViewController>(ShopCategoryMainViewController::kNibName);
    list->setShopGroupInfo(row);
    show(list);
    EXPECT_TRUE(list->headerCoverImageView->isVisible());
    const QImage placeholder = list->headerImage()->image();
    EXPECT_FALSE(placeholder.isNull());
    const QRectF data = ui::frame(list->dataView), menu = ui::frame(list->menuView);
    ASSERT_TRUE(spinUntil([&] { return !list->isUpdateItem() && !list->isMenuRequestRunning(); },
                          kPatience));
    EXPECT_TRUE(
        spinUntil([&] { return list->headerImage()->image().cacheKey() != placeholder.cacheKey(); },
                  kPatience));

    // The options by their Thai labels; a click selects one and deselects the others.
    ASSERT_EQ(3u, list->shopMenuSortArray()->size());
    std::vector<QString> labels;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(option(list, i));
        labels.push_back(option(list, i)->sortText->text());
        EXPECT_EQ("", option(list, i)->sortButton->text());
    }
    EXPECT_EQ((std::vector<QString>{QString::fromUtf8("ยอดนิยม"), QString::fromUtf8("วันที่"),
                                    QString::fromUtf8("ชื่อเรื่อง")}),
              labels);
    // With every trace group off, the click's console line reaches the system log, not the
    // terminal.
    const auto written =
        testing_support::writtenWithTracesOff([&] { option(list, 0)->sortButton->click(); });
    EXPECT_EQ(written.systemLog, std::vector<std::string>{"double click in the collectionItem"});
    EXPECT_EQ(written.onTerminal("collectionItem"), 0u);
    option(list, 2)->sortButton->click();
    EXPECT_FALSE(option(list, 0)->isSelected());
    EXPECT_EQ(Menu::kTextColor, option(list, 0)->textColor());
    EXPECT_TRUE(option(list, 2)->isSelected());
    EXPECT_EQ(Menu::kSelectedColor, option(list, 2)->borderColor());
    EXPECT_EQ(Menu::kSelectedColor,
              option(list, 2)->sortText->palette().color(QPalette::WindowText));
    EXPECT_EQ(row->Id_.value() + ".Title", list->currentCodeSort());
    ASSERT_TRUE(spinUntil([&] { return !list->isUpdateItem(); }, kPatience));
    EXPECT_TRUE(gridHoldsEntries(list));  // the other sort's entries, none of the first

    // A cover reports its entry with the list's group.
    delegate->on("shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:");
    ASSERT_TRUE(spinUntil([&] { return !list->isUpdateItem(); }, kPatience));
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(
        list->collectionView->itemAtIndex(0));
    ASSERT_TRUE(cover);
    EXPECT_EQ(QString::fromStdString(list->shopGroupArray()->front()->Title_.value_or("")),
              cover->titleTextField->text());
    cover->actionButton->click();
    ASSERT_EQ(1u, delegate->count("shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:"));

    // A list opened by code has no header: the bar and the grid move into its place.
    catalogue.generateItems(150, 3);
    auto all = make<ShopCategoryMainViewController>(ShopCategoryMainViewController::kNibName);
    all->setCurrentCodeSort(demo::kAllItemsGroup);
    show(all);
    EXPECT_FALSE(all->headerCoverImageView->isVisible());
    EXPECT_EQ(data.height() + ShopCategoryMainViewController::kHeaderHeight,
              ui::frame(all->dataView).height());
    EXPECT_EQ(menu.y() + ShopCategoryMainViewController::kHeaderHeight,
              ui::frame(all->menuView).y());
    ASSERT_TRUE(spinUntil([&] { return all->shopGroupArray()->size() == 48u; }, kPatience));
    ASSERT_TRUE(spinUntil([&] { return !all->isMenuRequestRunning(); }, kPatience));
    // Scrolling to the end asks the next page; the grid grows with it, and the cells on screen
    // keep their entries.
    scrollToEnd(all->collectionView);
    EXPECT_TRUE(all->isUpdateItem());
    const auto lastCell = all->collectionView->itemAtIndex(47);
    ASSERT_TRUE(lastCell);
    ASSERT_TRUE(spinUntil([&] { return all->shopGroupArray()->size() == 96u; }, kPatience));
    EXPECT_EQ(96u, all->collectionView->content().size());
    EXPECT_TRUE(gridHoldsEntries(all));
    EXPECT_EQ(lastCell, all->collectionView->itemAtIndex(47));
    EXPECT_EQ(lastCell->representedObject(), plat::Value((*all->shopGroupArray())[47]));
    // A list put in place of a longer one: the grid holds it alone; the longer one back, the
    // grid holds it whole.
    const auto paged = all->shopGroupArray();
    all->setShopGroupArray(std::make_shared<const ShopCategoryMainViewController::GroupList>(
        all->shopGroupArray()->begin() + 1, all->shopGroupArray()->begin() + 3));
    EXPECT_TRUE(gridHoldsEntries(all));
    all->setShopGroupArray(paged);
    EXPECT_TRUE(gridHoldsEntries(all));
}

class BackIssuesTest : public ListScreens {};

TEST_F(BackIssuesTest, TheGridShowsTheIssuesReportsClicksAndAsksTheNextPageAtItsEnd) {
    ASSERT_TRUE(demo::addBackIssueMagazine(catalogue));
    auto magazine = std::make_shared<VnMagazineInfo>();
    magazine->setCode(demo::kBackIssueMagazine);
    auto list = make<ShopBackIssueViewController>(ShopBackIssueViewController::kNibName);
    delegate->on("shopBackIssueView:selectMagazineIssueInfo:")
        .on("shopBackIssueView:backFromBackIssueView:");
    list->setMagazineInfo(magazine);
    show(list);
    ASSERT_TRUE(spinUntil([&] { return list->isUpdateMagazineIssue(); }, kPatience));
    ASSERT_EQ(static_cast<size_t>(demo::kBackIssueCount), list->collectionView->content().size());
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(
        list->collectionView->itemAtIndex(1));
    ASSERT_TRUE(cover);
    EXPECT_EQ(QString::fromStdString(list->magazineIssueArray()->at(1)->issueName().value_or("")),
              cover->titleTextField->text());
    cover->actionButton->click();
    ASSERT_EQ(1u, delegate->count("shopBackIssueView:selectMagazineIssueInfo:"));

    scrollToEnd(list->collectionView);
    EXPECT_FALSE(list->isUpdateMagazineIssue());
    EXPECT_TRUE(list->isRequestRunning());
    ASSERT_TRUE(spinUntil([&] { return list->isUpdateMagazineIssue(); }, kPatience));
    list->backButton->click();
    EXPECT_EQ(1u, delegate->count("shopBackIssueView:backFromBackIssueView:"));
}

}  // namespace
