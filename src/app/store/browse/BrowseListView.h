#pragma once
// BrowseListView: the item list beside the browse index, made under ("", "BrowseListView"): a
// header with the selected name (title, description, picture) over a grid of cover cells. Its
// delegate (the browse view, not retained) hears "browseListView_continueEvent" each time the
// bottom of the grid comes into view (every scroll or resize while there, and at once for a short
// list), and "browseListView:selectShopGroupInfo:withHeaderGroupInfo:" with the clicked item and
// the name.
#include <QPointer>
#include <vector>

#include "platform_ui/ViewController.h"

class QAbstractScrollArea;
class QLabel;
class QtImageView;
class VnShopGroupInfo;
namespace ui {
class CollectionView;
class ResourceRegistry;
}  // namespace ui

class BrowseListView : public ui::ViewController {
    PLAT_CLASS(BrowseListView)
  public:
    static constexpr const char* kNibName = "BrowseListView";

    BrowseListView();
    ~BrowseListView() override;
    static void registerResources(ui::ResourceRegistry& registry);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    const Ref<VnShopGroupInfo>& shopGroupInfo() const { return shopGroupInfo_; }
    // The name shown in the header; a missing title or description shows as "".
    void setShopGroupInfo(Ref<VnShopGroupInfo> name);
    const std::vector<Ref<VnShopGroupInfo>>& shopGroupArray() const { return shopGroupArray_; }
    // The items of the grid.
    void setShopGroupArray(std::vector<Ref<VnShopGroupInfo>> items);

    void viewDidLoad() override;
    // The paging trigger, on each bounds change of the grid.
    void scrollViewDidScroll();
    void bookCoverCollectionCellSelect(Ref<plat::Object> cell);

    // Outlets.
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> descriptionTextField;
    QPointer<ui::CollectionView> collectionView;
    // The grid's scrolling area: the grid itself, which scrolls its own content.
    QPointer<QAbstractScrollArea> scrollView;
    const Ref<QtImageView>& coverImageView() const { return coverImageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    WeakRef<plat::Object> delegate_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
    std::vector<Ref<VnShopGroupInfo>> shopGroupArray_;
    Ref<QtImageView> coverImageView_;
    Ref<plat::Object> observedBounds_;
};
