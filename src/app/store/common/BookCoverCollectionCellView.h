#pragma once
// BookCoverCollectionCellView: the cell of most store lists, one catalogue entry (a store group,
// a magazine, or an issue or book) as a shadowed cover over a frame image with a title and a
// second line under it. It fills itself from its represented object each time it is shown; its
// button reports the cell to the grid's delegate ("bookCoverCollectionCellSelect:"), which
// decides what to open. Made under ("ShopFeatureStoryboard", "BookCoverCollectionCell").
#include <QPointer>
#include <optional>
#include <string>

#include "platform_ui/CollectionView.h"

class QLabel;
class QPushButton;
class QtImageView;
class VnShopGroupInfo;
class VnMagazineInfo;
class VnMagazineIssueInfo;
namespace ui {
class LayerView;
class ResourceRegistry;
}  // namespace ui

class BookCoverCollectionCellView : public ui::CollectionViewItem {
    PLAT_CLASS(BookCoverCollectionCellView)
  public:
    static constexpr const char* kStoryboard = "ShopFeatureStoryboard";
    static constexpr const char* kIdentifier = "BookCoverCollectionCell";
    // The cell's size in a grid.
    static constexpr int kWidth = 130;
    static constexpr int kHeight = 220;

    // Registers the cell's scene.
    static void registerResources(ui::ResourceRegistry& registry);
    // A fresh cell of the scene: the item factory of the lists that show covers.
    static Ref<BookCoverCollectionCellView> makeFromStoryboard();

    void viewDidAppear() override;
    void itemButton_Click(Ref<plat::Object> sender);
    void reloadCoverImage(Ref<plat::Object>) {}

    // The represented object when it is of that class; null otherwise.
    Ref<VnShopGroupInfo> shopGroupInfo() const;
    Ref<VnMagazineInfo> magazineInfo() const;
    Ref<VnMagazineIssueInfo> magazineIssueInfo() const;
    void setShopGroupInfo(Ref<VnShopGroupInfo> info) { shopGroupInfo_ = std::move(info); }
    void setMagazineInfo(Ref<VnMagazineInfo> info) { magazineInfo_ = std::move(info); }
    void setMagazineIssueInfo(Ref<VnMagazineIssueInfo> info) {
        magazineIssueInfo_ = std::move(info);
    }

    // Outlets.
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> priceTextField;
    QPointer<QPushButton> actionButton;
    QPointer<QLabel> coverBackgroungImageView;
    QPointer<QLabel> frontBookImageView;
    QPointer<QLabel> frontMagImageView;
    QPointer<ui::LayerView> viewCover;
    // The cover picture, over the label it shows in.
    const Ref<QtImageView>& coverImageView() const { return coverImageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void layOutTitle();
    Ref<QtImageView> coverImageView_;
    // What the setters keep; the getters answer the represented object.
    Ref<VnShopGroupInfo> shopGroupInfo_;
    Ref<VnMagazineInfo> magazineInfo_;
    Ref<VnMagazineIssueInfo> magazineIssueInfo_;
};
