// The category page over the demo library: the menu request and its answer on the real main view,
// and the container's moves among the tiles, the group item list, the item detail and the back
// issues, whose doubles record what they are told.
#include <QLabel>
#include <QPushButton>

#include "app/store/StoreResources.h"
#include "app/store/browse/ContainerDoubles.h"
#include "app/store/browse/OffscreenApplication.h"
#include "app/store/category/CategoryCollectionCellView.h"
#include "app/store/category/CategoryMainView.h"
#include "app/store/category/CategoryMainViewController.h"
#include "app/store/category/CategoryMenuCellView.h"
#include "app/store/detail/StoreTestSupport.h"
#include "platform_ui/CollectionView.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::ContainerDoubles;
using testing_support::sentArgument;
using testing_support::shopGroup;

namespace {

std::vector<std::string> titles(const std::vector<Ref<VnShopGroupInfo>>& groups) {
    std::vector<std::string> out;
    for (const auto& g : groups)
        out.push_back(g->Title_.value_or(""));
    return out;
}

class CategoryScreenTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        registerStoreResources(ui::ResourceRegistry::shared());
        doubles.install();
    }
    void TearDown() override {
        container.reset();
        doubles.uninstall();
        testing_support::runDeferredDeletions();
        StoreTest::TearDown();
    }
    // The page comes on screen (again).
    void visit() {
        container->view()->resize(1000, 700);
        container->view()->show();
    }
    void leave() { container->view()->hide(); }
    Ref<CategoryMainView> mainView() {
        return std::dynamic_pointer_cast<CategoryMainView>(container->categoryMainView());
    }
    // Clicks the tile of that title.
    bool clickTile(const std::string& title) {
        auto* tiles = mainView()->tileCollectionView.data();
        for (size_t i = 0; i < tiles->content().size(); ++i) {
            auto tile = std::dynamic_pointer_cast<CategoryCollectionCellView>(
                tiles->itemAtIndex(static_cast<int>(i)));
            if (tile && tile->titleTextField->text().toStdString() == title) {
                tile->selectButton->click();
                return true;
            }
        }
        return false;
    }
    bool menuArrived() {
        return waitFor([this] { return !container->groupMenus().empty(); }) &&
               waitFor([this] { return !container->isOverlayShown(); });
    }

    ContainerDoubles doubles;
    Ref<CategoryMainViewController> container;
};

TEST_F(CategoryScreenTest, MenuOnceTilesSubGroupsListDetailAndBackIssues) {
    container = ui::ResourceRegistry::shared().instantiate<CategoryMainViewController>(
        "", "CategoryMainViewController");
    ASSERT_TRUE(container);
    doubles.overlayShown = [this] { return container->isOverlayShown(); };
    visit();
    EXPECT_TRUE(container->isOverlayShown());  // while "0.categories" loads
    ASSERT_TRUE(menuArrived());
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 1u);
    EXPECT_EQ(demo::Json::parse(store.requestsForMethod("GetWidgetInfo")[0].body)["id"],
              "0.categories");

    // Two entries in their order, "Audios" left out; shown in Thai.
    const auto main = mainView();
    ASSERT_TRUE(main);
    EXPECT_EQ(titles(main->menuArray()), (std::vector<std::string>{"Books", "Magazines"}));
    auto* menu = main->menuCollectionView.data();
    EXPECT_EQ(std::dynamic_pointer_cast<CategoryMenuCellView>(menu->itemAtIndex(0))
                  ->menuTextButton->text(),
              "หนังสือ");
    EXPECT_EQ(std::dynamic_pointer_cast<CategoryMenuCellView>(menu->itemAtIndex(1))
                  ->menuTextButton->text(),
              "นิตยสาร");

    // "B01" holds sub-groups: they show under "สำนักพิมพ์" with back.
    ASSERT_TRUE(clickTile("นวนิยาย"));
    EXPECT_TRUE(main->isShowSubWidget());
    EXPECT_FALSE(main->backButton->isHidden());
    EXPECT_EQ(main->titleMenu->text(), "สำนักพิมพ์");
    EXPECT_EQ(titles(main->menuArray()), std::vector<std::string>{"นวนิยาย"});
    EXPECT_EQ(main->tileCollectionView->content().size(), 2u);
    main->backButton->click();
    EXPECT_FALSE(main->isShowSubWidget());
    EXPECT_EQ(titles(main->menuArray()), (std::vector<std::string>{"Books", "Magazines"}));

    // A leaf tile: the group item list of that category in place of the tiles.
    ASSERT_TRUE(clickTile("ประวัติศาสตร์"));
    ASSERT_EQ(doubles.lists.size(), 1u);
    const auto list = doubles.lists[0];
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(*list, "setShopGroupInfo:", 0)->Id_, "B04");
    EXPECT_EQ(container->currentChild(), list);
    EXPECT_FALSE(main->view()->isVisible());

    // An entry of the list: overlay, router, a detail with the list's group in its header.
    const char* select = "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:";
    plat::send(container, select, list, shopGroup("กรุงศรี", "code:book:BK0005"),
               shopGroup("ประวัติศาสตร์"));
    EXPECT_EQ(doubles.overlayWhileRouting, std::vector<bool>{true});
    ASSERT_EQ(doubles.details.size(), 1u);
    const auto detail = doubles.details[0];
    EXPECT_EQ(sentArgument<std::string>(*detail, "setHeaderTitle:", 0), "หนังสือ / ประวัติศาสตร์");
    plat::send(container, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), detail);

    // Back issues and back; the detail's back returns to the same list.
    plat::send(container, "shopDetailMainView:seeAllBackIssue:", detail,
               std::make_shared<VnMagazineInfo>());
    EXPECT_EQ(container->currentChild(), doubles.backIssues.at(0));
    plat::send(container, "shopBackIssueView:backFromBackIssueView:", doubles.backIssues[0],
               std::string());
    EXPECT_EQ(container->currentChild(), detail);
    EXPECT_FALSE(container->shopBackIssueMainView());
    plat::send(container, "shopDetailMainView:backToTopView:", detail, std::string());
    EXPECT_FALSE(container->shopDetailMainView());
    EXPECT_EQ(container->currentChild(), list);
    EXPECT_EQ(doubles.lists.size(), 1u);

    // Web, featured and list links from the list.
    plat::send(container, select, list, shopGroup("w", "https://example.org/w"), shopGroup("h"));
    EXPECT_FALSE(container->isOverlayShown());
    plat::send(container, select, list, shopGroup("f", "code:featured:3"), shopGroup("h"));
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "HZLoading_CancelClick:", doubles.loadings.at(0));
    EXPECT_FALSE(container->isOverlayShown());
    plat::send(container, select, list, shopGroup("l", "code:list:B04.paid"), shopGroup("h"));
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(sentArgument<std::string>(*list, "setCurrentCodeSort:", 0), "B04.paid");
    EXPECT_EQ(container->currentChild(), list);

    // Back from the list: the tiles as they were; the list is released.
    plat::send(container, "shopCategoryMainView:backToTopView:", list, std::string());
    EXPECT_FALSE(container->shopCategoryMainView());
    EXPECT_EQ(container->currentChild(), main);
    EXPECT_TRUE(main->view()->isVisible());

    // Another visit asks nothing.
    leave();
    visit();
    settle(0.2);
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 1u);
    EXPECT_FALSE(container->isOverlayShown());

    for (const char* sel : {"shopDetailMainView:previewMagazineIssueInfo:",
                            "shopBackIssueView:selectMagazineIssueInfo:", "UriDirect_CompleteLoad:",
                            "previewPopupMainViewClose", "shopFeatureMainView:selectSeeAll:"})
        EXPECT_FALSE(container->respondsToSelector(sel)) << sel;
}

TEST_F(CategoryScreenTest, AFailedMenuIsAskedAgainOnTheNextVisitOnly) {
    demo::Fault failure;
    failure.calls = 1;
    store.setFault("GetWidgetInfo", failure);
    container = ui::ResourceRegistry::shared().instantiate<CategoryMainViewController>(
        "", "CategoryMainViewController");
    visit();
    ASSERT_TRUE(waitFor([this] { return !container->isOverlayShown(); }));
    EXPECT_TRUE(container->groupMenus().empty());
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 1u);
    settle(0.2);
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 1u);  // not again by itself

    leave();
    visit();
    ASSERT_TRUE(menuArrived());
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 2u);
    EXPECT_EQ(titles(mainView()->menuArray()), (std::vector<std::string>{"Books", "Magazines"}));
    leave();
    visit();
    settle(0.2);
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").size(), 2u);
}

}  // namespace
