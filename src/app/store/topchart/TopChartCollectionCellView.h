#pragma once
// TopChartCollectionCellView: one entry of a top chart column (a store group) as its rank, a
// shadowed cover, a title and a description line. The rank is the entry's position in its grid
// plus one, and cells at even positions lie on the "bg-cateItem1.png" background. The cell fills
// itself each time it is shown; its button reports the cell to the grid's delegate
// ("topChartCollentionSelectShopGroupInfo:").
#include <QPointer>

#include "platform_ui/CollectionView.h"

class QLabel;
class QPushButton;
class QtImageView;
class VnShopGroupInfo;
namespace ui {
class LayerView;
}

class TopChartCollectionCellView : public ui::CollectionViewItem {
    PLAT_CLASS(TopChartCollectionCellView)
  public:
    static constexpr int kWidth = 310;
    static constexpr int kHeight = 120;
    static constexpr const char* kEvenBackground = "bg-cateItem1.png";

    void viewDidAppear() override;
    void itemButton_Click(Ref<plat::Object> sender);

    // The represented object when it is a store group; null otherwise.
    Ref<VnShopGroupInfo> shopGroupInfo() const;
    // Kept, never read.
    void setShopGroupInfo(Ref<VnShopGroupInfo> info) { shopGroupInfo_ = std::move(info); }
    // The entry's position in its grid's content (by identity); -1 when it is not there.
    int position() const;

    // Outlets.
    QPointer<QLabel> rankTextFielad;
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> descriptionTextField;
    QPointer<QLabel> bgCategory;
    QPointer<ui::LayerView> coverFrame;
    const Ref<QtImageView>& coverImageView() const { return coverImageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void fill();
    void layOutTitle();
    Ref<QtImageView> coverImageView_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
};
