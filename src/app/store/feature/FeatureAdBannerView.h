#pragma once
// FeatureAdBannerView: a feature page's ad banner row (Type 1): an image slider over the row that
// pushes from the right every 5 seconds, one slide ("ShopFeatureStoryboard",
// "FeatureAdBannerItem") a banner. A clicked banner goes to the delegate (the page) as
// "featureAdBannerView:selectShopGroupInfo:" (row, banner). The row stops its slider's timer
// when it goes, so the slider goes with it.
#include "app/store/feature/FeatureRowView.h"

class MIHSliderView;
class FeatureAdBannerItemView;

class FeatureAdBannerView : public FeatureRowView {
    PLAT_CLASS(FeatureAdBannerView)
  public:
    static constexpr const char* kIdentifier = "AdBannerCell";
    static constexpr int kHeight = 250;
    static constexpr double kSlideInterval = 5.0;

    ~FeatureAdBannerView() override;
    void awakeFromNib() override;
    // Keeps the record and makes one slide a banner (a null record changes nothing).
    void setShopGroupInfo(Ref<VnShopGroupInfo> record);
    const std::vector<Ref<VnShopGroupInfo>>& shopAdBannerArray() const { return entries(); }
    const std::vector<Ref<FeatureAdBannerItemView>>& slideControllers() const { return slides_; }
    const Ref<MIHSliderView>& mihSliderView() const { return slider_; }
    void featureAdBannerItemViewSelectBanner(Ref<plat::Object> slide, Ref<VnShopGroupInfo> banner);

    // Outlets.
    QPointer<QWidget> mainView;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    std::vector<Ref<FeatureAdBannerItemView>> slides_;
    Ref<MIHSliderView> slider_;
};
