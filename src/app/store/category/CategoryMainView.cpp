#include "app/store/category/CategoryMainView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/store/StoreMessages.h"
#include "app/store/category/CategoryCollectionCellView.h"
#include "app/store/category/CategoryMenuCellView.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(CategoryMainView, ui::ViewController, [](auto& c) {
    using V = CategoryMainView;
    c.cls().addProtocolName("CategoryMainViewDelegate");
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kSetMenuArray, &V::setMenuArray)
        .method(StoreScreenMessages::kSetIsShowSubWidget, &V::setIsShowSubWidget)
        .method(StoreListMessages::kCategoryCellSelect, &V::categoryCollectionCellSelected)
        .method(StoreListMessages::kCategoryMenuCellSelect, &V::categoryMenuCellSelectShopGroupInfo)
        .method("backButtonClick:", &V::backButtonClick);
})

CategoryMainView::CategoryMainView() : ui::ViewController(kNibName) {}

void CategoryMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController("", kNibName,
                                [] { return ui::ViewController::create<CategoryMainView>(); });
}

std::unique_ptr<QWidget> CategoryMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* column = new QVBoxLayout(view.get());
    menuCollectionView = new ui::CollectionView(view.get());
    menuCollectionView->setScrollDirection(ui::CollectionView::ScrollDirection::Horizontal);
    menuCollectionView->setItemSize({CategoryMenuCellView::kWidth, CategoryMenuCellView::kHeight});
    menuCollectionView->setFixedHeight(CategoryMenuCellView::kHeight + 20);
    menuCollectionView->setItemFactory(
        [] { return ui::ViewController::create<CategoryMenuCellView>(); });
    auto* bar = new QHBoxLayout();
    backButton = new QPushButton(QString::fromUtf8("‹"), view.get());
    backButton->setFixedWidth(40);
    titleMenu = new QLabel(view.get());
    titleMenu->setFont(ui::thaiCapableFont(16));
    bar->addWidget(backButton);
    bar->addWidget(titleMenu, 1);
    tileCollectionView = new ui::CollectionView(view.get());
    tileCollectionView->setItemSize(
        {CategoryCollectionCellView::kWidth, CategoryCollectionCellView::kHeight});
    tileCollectionView->setItemFactory(
        [] { return ui::ViewController::create<CategoryCollectionCellView>(); });
    column->addWidget(menuCollectionView);
    column->addLayout(bar);
    column->addWidget(tileCollectionView, 1);
    QObject::connect(backButton, &QPushButton::clicked, [weak = weakSelf<CategoryMainView>()] {
        if (auto screen = weak.lock())
            screen->backButtonClick(nullptr);
    });
    return view;
}

void CategoryMainView::viewDidLoad() {
    menuCollectionView->setDelegate(self());
    tileCollectionView->setDelegate(self());
    setIsShowSubWidget(false);
    reloadMenu();
}

void CategoryMainView::setIsShowSubWidget(bool show) {
    isShowSubWidget_ = show;
    if (!isViewLoaded())
        return;
    menuCollectionView->setHidden(show);
    backButton->setHidden(!show);
    titleMenu->setText(QString::fromUtf8(kSubGroupTitle));
    titleMenu->setHidden(!show);
}

void CategoryMainView::setMenuArray(GroupList entries) {
    menuArray_ = std::move(entries);
    chosenMenuIndex_ = 0;
    if (isViewLoaded())
        reloadMenu();
}

Ref<VnShopGroupInfo> CategoryMainView::chosenMenuEntry() const {
    return chosenMenuIndex_ < menuArray_.size() ? menuArray_[chosenMenuIndex_] : nullptr;
}

void CategoryMainView::reloadMenu() {
    std::vector<plat::Value> menu(menuArray_.begin(), menuArray_.end());
    menuCollectionView->setContent(std::move(menu));
    showTilesOfChosenEntry();
}

void CategoryMainView::showTilesOfChosenEntry() {
    for (int i = 0; i < static_cast<int>(menuArray_.size()); ++i) {
        if (auto cell = menuCollectionView->itemAtIndex(i))
            cell->setSelected(static_cast<size_t>(i) == chosenMenuIndex_);
    }
    std::vector<plat::Value> tiles;
    if (const auto entry = chosenMenuEntry()) {
        for (int32_t i = 0; i < entry->subgroupCount(); ++i) {
            if (auto tile = entry->subgroupAtIndex(i))
                tiles.emplace_back(std::move(tile));
        }
    }
    tileCollectionView->setContent(std::move(tiles));
}

void CategoryMainView::categoryCollectionCellSelected(Ref<plat::Object> cell) {
    auto tile = std::dynamic_pointer_cast<ui::CollectionViewItem>(cell);
    plat::sendIfResponds(delegate(), StoreListMessages::kCategorySelect, self(),
                         tile ? tile->representedObject().as<VnShopGroupInfo>() : nullptr);
}

void CategoryMainView::categoryMenuCellSelectShopGroupInfo(Ref<plat::Object> cell) {
    auto item = std::dynamic_pointer_cast<ui::CollectionViewItem>(cell);
    const auto entry = item ? item->representedObject().as<VnShopGroupInfo>() : nullptr;
    // The clicked entry becomes the chosen one; the tiles follow it.
    for (size_t i = 0; entry && i < menuArray_.size(); ++i) {
        if (menuArray_[i] == entry && i != chosenMenuIndex_) {
            chosenMenuIndex_ = i;
            showTilesOfChosenEntry();
        }
    }
    plat::sendIfResponds(delegate(), StoreListMessages::kCategorySelectMenu, self(), entry);
}

void CategoryMainView::backButtonClick(Ref<plat::Object>) {
    plat::sendIfResponds(delegate(), StoreListMessages::kCategoryBackToTop, self(), std::string());
}
