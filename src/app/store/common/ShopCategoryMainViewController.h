#pragma once
// The group item list: the entries of one store group as a grid of covers under a title, an
// optional header picture and a bar of sort options, made under
// ("", "ShopCategoryMainViewController").
//
// The sort options are themselves a store group, "<code>.Sort": its first record gives the title
// and the default sort (defaultSort), and its sub-groups are the options, each naming the same
// list in another order. An option titled "Default" is not shown: its code is the list's code
// unless an option titled as the default sort exists; "Price" is dropped. The grid shows the
// chosen code's first page and grows by pages of 48 when the member scrolls to its end, one page
// at a time. Empty or failed replies change nothing on screen. The delegate (not retained) hears
//   "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:" (list, entry, list's group)
//   "shopCategoryMainView:backToTopView:" (list, "") from the back button.
//
// ShopCategoryMenuCollectionViewItem: one sort option of the bar, its English title shown by its
// Thai label; a click selects it (the other options are deselected) and reports it to the bar's
// delegate ("shopCategoryMenuCollectionCellSelect:").
//
// The logic needs no view: the widgets are filled when the view is loaded.
#include <QColor>
#include <QPointer>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform_ui/CollectionView.h"

class QLabel;
class QPushButton;
class QtImageView;
class VnRequestContext;
class VnRequestResult;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
}

class ShopCategoryMenuCollectionViewItem : public ui::CollectionViewItem {
    PLAT_CLASS(ShopCategoryMenuCollectionViewItem)
  public:
    static constexpr int kWidth = 110, kHeight = 30;
    static const QColor kSelectedColor;
    static const QColor kTextColor;

    // The label shown for an option's title: the Thai word of a known English title, else the
    // title itself.
    static std::string labelForTitle(const std::string& title);

    void viewDidAppear() override;
    void setSelected(bool selected) override;
    void sortButton_Click(Ref<plat::Object> sender);

    // The represented object when it is an option; the setter keeps what the getter never gives.
    Ref<VnShopGroupInfo> shopGroupInfo() const;
    void setShopGroupInfo(Ref<VnShopGroupInfo> info) { shopGroupInfo_ = std::move(info); }

    QColor borderColor() const { return borderColor_; }
    QColor textColor() const { return textColor_; }

    // Outlets.
    QPointer<QPushButton> sortButton;
    QPointer<QLabel> sortText;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void applyLook();
    QColor borderColor_;
    QColor textColor_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
};

class ShopCategoryMainViewController : public ui::ViewController {
    PLAT_CLASS(ShopCategoryMainViewController)
  public:
    using GroupList = std::vector<Ref<VnShopGroupInfo>>;
    static constexpr const char* kNibName = "ShopCategoryMainViewController";
    static constexpr int kHeaderHeight = 150;

    ShopCategoryMainViewController();
    ~ShopCategoryMainViewController() override;
    static void registerResources(ui::ResourceRegistry& registry);

    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    // A group other than the one held (by identity) opens its list: no sort is chosen yet and the
    // sort options of "<Id>.Sort" are asked for. The same object again does nothing.
    void setShopGroupInfo(Ref<VnShopGroupInfo> group);
    const Ref<VnShopGroupInfo>& shopGroupInfo() const { return shopGroupInfo_; }
    // Opens the list of a code: it becomes the current sort and "<code>.Sort" is asked for.
    void setCurrentCodeSort(std::string code);
    const std::optional<std::string>& currentCodeSort() const { return currentCodeSort_; }

    // The bar's options and the grid's entries (shared lists: setting one redraws its view).
    const std::shared_ptr<const GroupList>& shopMenuSortArray() const { return menu_; }
    void setShopMenuSortArray(std::shared_ptr<const GroupList> options);
    const std::shared_ptr<const GroupList>& shopGroupArray() const { return entries_; }
    void setShopGroupArray(std::shared_ptr<const GroupList> entries);
    // The first record of the last sort-option group received, and its title as shown.
    const Ref<VnShopGroupInfo>& currentGroupCate() const { return currentGroupCate_; }
    const std::string& titleText() const { return title_; }
    // Whether a page of entries is being asked for.
    bool isUpdateItem() const { return isUpdateItem_; }
    bool isMenuRequestRunning() const { return menuRequest_ != nullptr; }

    void requestItemBookGroupInfo(std::string code);
    // The grid's scroll view moved or changed size: at the end of the grid the next page is
    // asked for.
    void scrollViewDidScroll();
    void requestItemBookGroupInfoContinue();

    void bookCoverCollectionCellSelect(Ref<plat::Object> cell);
    void shopCategoryMenuCollectionCellSelect(Ref<plat::Object> item);
    void backButton_Click(Ref<plat::Object> sender);
    void requestMenuGroupInfo(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void requestItemBookGroupInfoFinished(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void requestItemBookGroupInfoContinueFinished(Ref<plat::Object> request,
                                                  Ref<VnRequestResult> result);

    // Outlets.
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> headerCoverImageView;
    QPointer<QWidget> dataView;
    QPointer<QWidget> menuView;
    QPointer<ui::CollectionView> collectionView;
    QPointer<ui::CollectionView> menuCollectionView;
    QPointer<QPushButton> backButton;
    const Ref<QtImageView>& headerImage() const { return headerImage_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;
    void viewDidLoad() override;

  private:
    void requestSortOptions(const std::string& code);
    // Takes a code chosen from the sort options: its own sort options are asked for unless they
    // were asked already in this opening.
    void followSortCode(const std::string& code);
    void cancelMenuRequest();
    void cancelItemRequest();
    void showTitle();
    // Gives the grid the entries: a list that goes on from the one it shows (a page appended)
    // adds its new entries only.
    void showEntries();

    WeakRef<plat::Object> delegate_;
    uint64_t boundsObserver_ = 0;
    Ref<VnShopGroupInfo> shopGroupInfo_;
    std::optional<std::string> currentCodeSort_;
    std::shared_ptr<const GroupList> menu_ = std::make_shared<const GroupList>();
    std::shared_ptr<const GroupList> entries_ = std::make_shared<const GroupList>();
    // The list the grid shows.
    std::shared_ptr<const GroupList> entriesShown_ = std::make_shared<const GroupList>();
    Ref<VnShopGroupInfo> currentGroupCate_;
    std::string title_;
    Ref<VnRequestContext> menuRequest_;
    Ref<VnRequestContext> itemRequest_;
    bool isUpdateItem_ = false;
    // The codes whose sort options this opening has asked for.
    std::set<std::string> asked_;
    Ref<QtImageView> headerImage_;
};
