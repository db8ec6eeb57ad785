#include "app/store/feature/FeatureBannerGroupView.h"

#include "app/store/StoreMessages.h"
#include "app/store/feature/FeatureBannerGroupCollectionCellView.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureBannerGroupView, FeatureStripRowView, [](auto& c) {
    c.method(StoreListMessages::kBannerGroupCellSelect,
             &FeatureBannerGroupView::bannerGroupCollectionSelectShopGroupInfo);
})

FeatureBannerGroupView::FeatureBannerGroupView()
    : FeatureStripRowView(
          kHeight,
          {FeatureBannerGroupCollectionCellView::kWidth,
           FeatureBannerGroupCollectionCellView::kHeight},
          [] { return FeatureBannerGroupCollectionCellView::makeFromStoryboard(); }) {}

void FeatureBannerGroupView::bannerGroupCollectionSelectShopGroupInfo(Ref<plat::Object> cell) {
    auto banner = std::dynamic_pointer_cast<FeatureBannerGroupCollectionCellView>(cell);
    plat::sendIfResponds(delegate(), StoreListMessages::kFeatureBannerGroupSelect,
                         self<FeatureBannerGroupView>(),
                         banner ? banner->shopGroupInfo() : Ref<VnShopGroupInfo>());
}
