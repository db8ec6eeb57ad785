#pragma once
// FeatureBannerGroupView: a feature page's banner strip row (Type 2): a title over a sideways
// strip of banners. It reports a clicked banner to its delegate (the page) as
// "featureBannerGroupView:selectShopGroupInfo:" (row, banner).
#include "app/store/feature/FeatureRowView.h"

class FeatureBannerGroupView : public FeatureStripRowView {
    PLAT_CLASS(FeatureBannerGroupView)
  public:
    static constexpr const char* kIdentifier = "BannerGroupCell";
    static constexpr int kHeight = 120;

    FeatureBannerGroupView();
    const std::vector<Ref<VnShopGroupInfo>>& shopBannerGroupArray() const { return entries(); }
    void bannerGroupCollectionSelectShopGroupInfo(Ref<plat::Object> cell);
};
