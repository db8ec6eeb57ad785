#pragma once
// What the rows of a feature page share. FeatureRowView: the row's record, its entries (the
// record's nested groups that are group records, in order; anything else the service sent is
// left out) and its delegate (the page, not retained). FeatureStripRowView: a row with a title
// over a sideways strip of cells, as wide as the row; it is the strip's delegate, and a record
// (not null) sets the title and the strip's content.
#include <QPointer>
#include <QSize>
#include <functional>
#include <vector>

#include "platform_ui/ViewController.h"

class QLabel;
class VnShopGroupInfo;
namespace ui {
class CollectionView;
class CollectionViewItem;
}  // namespace ui

class FeatureRowView : public ui::ViewController {
    PLAT_CLASS(FeatureRowView)
  public:
    static std::vector<Ref<VnShopGroupInfo>> entriesOf(const Ref<VnShopGroupInfo>& record);

    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    const Ref<VnShopGroupInfo>& shopGroupInfo() const { return shopGroupInfo_; }
    const std::vector<Ref<VnShopGroupInfo>>& entries() const { return entries_; }

  protected:
    // Keeps a record (not null) and its entries; false for null, which changes nothing.
    bool keepRecord(Ref<VnShopGroupInfo> record);

  private:
    WeakRef<plat::Object> delegate_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
    std::vector<Ref<VnShopGroupInfo>> entries_;
};

class FeatureStripRowView : public FeatureRowView {
    PLAT_CLASS(FeatureStripRowView)
  public:
    using CellFactory = std::function<Ref<ui::CollectionViewItem>()>;

    void awakeFromNib() override;
    void setShopGroupInfo(Ref<VnShopGroupInfo> record);

    // Outlets.
    QPointer<QLabel> titleGroupTextField;
    QPointer<ui::CollectionView> collectionView;

  protected:
    FeatureStripRowView(int height, QSize cellSize, CellFactory cells);
    std::unique_ptr<QWidget> loadView() override;

  private:
    int height_;
    QSize cellSize_;
    CellFactory cells_;
};
