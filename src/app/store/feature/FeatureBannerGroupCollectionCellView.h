#pragma once
// FeatureBannerGroupCollectionCellView: one banner of a feature page's banner strip, made under
// ("ShopFeatureStoryboard", "BannerGroupCollectionCell"). Its banner is its represented object;
// each time it is shown (not when its window is restored) it loads the banner's picture, with
// rounded, shadowed corners. A click reports the cell to the strip's delegate as
// "bannerGroupCollectionSelectShopGroupInfo:".
#include <QPointer>

#include "platform_ui/CollectionView.h"

class QLabel;
class QtImageView;
class VnShopGroupInfo;
namespace ui {
class LayerView;
class ResourceRegistry;
}  // namespace ui

class FeatureBannerGroupCollectionCellView : public ui::CollectionViewItem {
    PLAT_CLASS(FeatureBannerGroupCollectionCellView)
  public:
    static constexpr const char* kStoryboard = "ShopFeatureStoryboard";
    static constexpr const char* kIdentifier = "BannerGroupCollectionCell";
    static constexpr int kWidth = 230;
    static constexpr int kHeight = 86;
    static constexpr double kCornerRadius = 5.0;

    static void registerResources(ui::ResourceRegistry& registry);
    // A fresh cell of the scene: the strip's item factory.
    static Ref<FeatureBannerGroupCollectionCellView> makeFromStoryboard();

    // The represented object when it is a banner; null otherwise.
    Ref<VnShopGroupInfo> shopGroupInfo() const;
    // Kept apart from the represented object; nothing reads it.
    void setShopGroupInfo(Ref<VnShopGroupInfo> info) { storedShopGroupInfo_ = std::move(info); }

    void viewDidAppear() override;
    void banner_Click(Ref<plat::Object> sender);

    // Outlets.
    QPointer<QLabel> bannerImageView;
    const Ref<QtImageView>& imageView() const { return imageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    QPointer<ui::LayerView> frame_;
    Ref<QtImageView> imageView_;
    Ref<VnShopGroupInfo> storedShopGroupInfo_;
};
