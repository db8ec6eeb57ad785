// The category page's main view and cells with records made here: the menu and its texts, the
// tiles of the chosen entry, the sub-group mode, and what clicks report.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "app/store/StoreResources.h"
#include "app/store/browse/OffscreenApplication.h"
#include "app/store/category/CategoryCollectionCellView.h"
#include "app/store/category/CategoryMainView.h"
#include "app/store/category/CategoryMenuCellView.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "support/DynamicObject.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::DynamicObject;

namespace {

Ref<VnShopGroupInfo> group(const std::string& title, std::vector<Ref<VnShopGroupInfo>> subs = {}) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->Title_ = title;
    info->Description_ = title + " description";
    std::vector<plat::Value> values(subs.begin(), subs.end());
    if (!values.empty())
        info->Subwidgets_ = plat::Array::make(std::move(values));
    return info;
}

class CategoryScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registerStoreResources(ui::ResourceRegistry::shared());
        main = ui::ResourceRegistry::shared().instantiate<CategoryMainView>("", "CategoryMainView");
        ASSERT_TRUE(main);
        owner = DynamicObject::make();
        owner->on("categoryMainView:selectCategory:")
            .on("categoryMainView:selectMenuCategory:")
            .on("categoryMainView:backToTopCategory:");
        main->setDelegate(owner);
        main->view()->resize(1000, 700);
        main->view()->show();
    }
    void TearDown() override {
        main.reset();
        testing_support::runDeferredDeletions();
    }
    template <class Cell>
    Ref<Cell> cellOf(ui::CollectionView* grid, int index) {
        return std::dynamic_pointer_cast<Cell>(grid->itemAtIndex(index));
    }
    Ref<VnShopGroupInfo> sentGroup(const std::string& sel, size_t call) {
        return std::any_cast<Ref<plat::Object>>(owner->arguments(sel).at(call).at(1))
            ->self<VnShopGroupInfo>();
    }

    Ref<CategoryMainView> main;
    Ref<DynamicObject> owner;
};

TEST_F(CategoryScreenTest, MenuTextsTilesOfTheChosenEntryAndSubGroupMode) {
    EXPECT_FALSE(main->isShowSubWidget());
    EXPECT_TRUE(main->backButton->isHidden());
    EXPECT_TRUE(main->titleMenu->isHidden());
    EXPECT_FALSE(main->menuCollectionView->isHidden());

    const auto novels = group("นวนิยาย", {group("นวนิยายไทย"), group("Translated Fiction")});
    const auto books = group("Books", {novels, group("ธุรกิจ")});
    const auto magazines = group("Magazines", {group("สุขภาพ")});
    const auto audios = group("audios", {group("เสียง")});
    main->setMenuArray({books, magazines, audios});

    // The menu: the known product types in Thai, another title keeps the cell's own text.
    auto* menu = main->menuCollectionView.data();
    ASSERT_EQ(menu->content().size(), 3u);
    EXPECT_EQ(cellOf<CategoryMenuCellView>(menu, 0)->menuTextButton->text(), "หนังสือ");
    EXPECT_EQ(cellOf<CategoryMenuCellView>(menu, 1)->menuTextButton->text(), "นิตยสาร");
    EXPECT_NE(cellOf<CategoryMenuCellView>(menu, 2)->menuTextButton->text(), "audios");
    EXPECT_TRUE(cellOf<CategoryMenuCellView>(menu, 0)->isSelected());

    // The tiles of the first entry; the marker shows exactly for a category with sub-groups.
    auto* tiles = main->tileCollectionView.data();
    ASSERT_EQ(tiles->content().size(), 2u);
    auto novelTile = cellOf<CategoryCollectionCellView>(tiles, 0);
    EXPECT_EQ(novelTile->titleTextField->text(), "นวนิยาย");
    EXPECT_EQ(novelTile->descriptionTextField->text(), "นวนิยาย description");
    EXPECT_FALSE(novelTile->moreImageView->isHidden());
    EXPECT_TRUE(cellOf<CategoryCollectionCellView>(tiles, 1)->moreImageView->isHidden());

    // A click on a tile reports its category.
    novelTile->selectButton->click();
    ASSERT_EQ(owner->count("categoryMainView:selectCategory:"), 1u);
    EXPECT_EQ(sentGroup("categoryMainView:selectCategory:", 0), novels);

    // A click on another menu entry: it is the selected one, the tiles follow it.
    cellOf<CategoryMenuCellView>(menu, 1)->menuButton->click();
    EXPECT_EQ(sentGroup("categoryMainView:selectMenuCategory:", 0), magazines);
    EXPECT_TRUE(cellOf<CategoryMenuCellView>(menu, 1)->isSelected());
    EXPECT_FALSE(cellOf<CategoryMenuCellView>(menu, 0)->isSelected());
    ASSERT_EQ(tiles->content().size(), 1u);
    EXPECT_EQ(cellOf<CategoryCollectionCellView>(tiles, 0)->titleTextField->text(), "สุขภาพ");

    // Sub-group mode: the one category's sub-groups under the title, with back.
    main->setIsShowSubWidget(true);
    main->setMenuArray({novels});
    EXPECT_TRUE(main->menuCollectionView->isHidden());
    EXPECT_FALSE(main->backButton->isHidden());
    EXPECT_FALSE(main->titleMenu->isHidden());
    EXPECT_EQ(main->titleMenu->text(), "สำนักพิมพ์");
    ASSERT_EQ(tiles->content().size(), 2u);
    EXPECT_EQ(cellOf<CategoryCollectionCellView>(tiles, 1)->titleTextField->text(),
              "Translated Fiction");
    main->backButton->click();
    ASSERT_EQ(owner->count("categoryMainView:backToTopCategory:"), 1u);
    EXPECT_EQ(
        std::any_cast<std::string>(owner->arguments("categoryMainView:backToTopCategory:")[0][1]),
        "");
    // An empty menu shows no tiles.
    main->setMenuArray({});
    EXPECT_TRUE(tiles->content().empty());
    EXPECT_FALSE(main->chosenMenuEntry());
}

TEST_F(CategoryScreenTest, CellsWithoutRecordOrDelegateStayAsMadeAndReportNothing) {
    auto tile = ui::ViewController::create<CategoryCollectionCellView>();
    tile->view();
    const QString title = tile->titleTextField->text();
    tile->setRepresentedObject(plat::Value("not a category"));
    EXPECT_EQ(tile->titleTextField->text(), title);
    tile->selectButton->click();  // no grid: nothing to tell

    auto cell = ui::ViewController::create<CategoryMenuCellView>();
    cell->setRepresentedObject(plat::Value(group("Books")));
    cell->view()->show();
    EXPECT_EQ(cell->menuTextButton->text(), "หนังสือ");
    cell->menuButton->click();  // no grid: not selected, nothing sent
    EXPECT_FALSE(cell->isSelected());
    cell->view()->hide();
    cell->setRepresentedObject(plat::Value(group("Newspapers")));
    cell->view()->show();
    EXPECT_NE(cell->menuTextButton->text(), "หนังสือ");
}

}  // namespace
