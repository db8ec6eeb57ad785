#pragma once
// FeatureAdBannerItemView: one slide of a feature page's ad banner, made under
// ("ShopFeatureStoryboard", "FeatureAdBannerItem"): the banner picture with a button over it
// that reports the banner to the delegate (the banner row, not retained) as
// "featureAdBannerItemView:selectBanncerShopGroupInfo:" (slide, banner).
#include <QPointer>

#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class QtImageView;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
}

class FeatureAdBannerItemView : public ui::ViewController {
    PLAT_CLASS(FeatureAdBannerItemView)
  public:
    static constexpr const char* kStoryboard = "ShopFeatureStoryboard";
    static constexpr const char* kIdentifier = "FeatureAdBannerItem";

    static void registerResources(ui::ResourceRegistry& registry);

    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    const Ref<VnShopGroupInfo>& shopGroupInfo() const { return shopGroupInfo_; }
    // Keeps the banner; a banner (not null) loads its picture and clears the two texts.
    void setShopGroupInfo(Ref<VnShopGroupInfo> banner);
    void adBannerButton_Click(Ref<plat::Object> sender);

    // Outlets.
    QPointer<QLabel> adBannerCoverImageView;
    QPointer<QLabel> testTextField;
    QPointer<QPushButton> testButton;
    const Ref<QtImageView>& coverImageView() const { return coverImageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    WeakRef<plat::Object> delegate_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
    Ref<QtImageView> coverImageView_;
};
