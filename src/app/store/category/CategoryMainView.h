#pragma once
// CategoryMainView: the category page's main view, made under ("", "CategoryMainView"): a menu of
// product types (one CategoryMenuCellView per entry of menuArray) over tiles of categories (one
// CategoryCollectionCellView per sub-group of the chosen menu entry; the first entry is chosen
// when the menu is set, a click chooses another). In sub-group mode menuArray holds one category,
// the menu hides and the title "สำนักพิมพ์" and the back button show.
//
// Its delegate (the container, not retained) hears "categoryMainView:selectCategory:" for a tile,
// "categoryMainView:selectMenuCategory:" for a menu entry and "categoryMainView:backToTopCategory:"
// (with "") for the back button.
#include <QPointer>
#include <vector>

#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class VnShopGroupInfo;
namespace ui {
class CollectionView;
class ResourceRegistry;
}  // namespace ui

class CategoryMainView : public ui::ViewController {
    PLAT_CLASS(CategoryMainView)
  public:
    static constexpr const char* kNibName = "CategoryMainView";
    static constexpr const char* kSubGroupTitle = "สำนักพิมพ์";
    using GroupList = std::vector<Ref<VnShopGroupInfo>>;

    CategoryMainView();
    static void registerResources(ui::ResourceRegistry& registry);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    const GroupList& menuArray() const { return menuArray_; }
    void setMenuArray(GroupList entries);
    bool isShowSubWidget() const { return isShowSubWidget_; }
    void setIsShowSubWidget(bool show);
    // The menu entry whose sub-groups the tiles show (null without entries).
    Ref<VnShopGroupInfo> chosenMenuEntry() const;

    void viewDidLoad() override;
    void categoryCollectionCellSelected(Ref<plat::Object> cell);
    void categoryMenuCellSelectShopGroupInfo(Ref<plat::Object> cell);
    void backButtonClick(Ref<plat::Object> sender);

    // Kept for the screen's owner; nothing reads them.
    Ref<VnShopGroupInfo> shopGroupInfo;
    plat::Value categoryArray;

    // Outlets.
    QPointer<ui::CollectionView> menuCollectionView;
    QPointer<ui::CollectionView> tileCollectionView;
    QPointer<QPushButton> backButton;
    QPointer<QLabel> titleMenu;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // Fills the menu and the tiles of the chosen entry; marks the chosen menu cell.
    void reloadMenu();
    void showTilesOfChosenEntry();

    WeakRef<plat::Object> delegate_;
    GroupList menuArray_;
    size_t chosenMenuIndex_ = 0;
    bool isShowSubWidget_ = false;
};
