#pragma once
// ShopFeatureViewController: the container of the home page and of the book, magazine and
// lending-library feature pages, made under ("ShopFeatureStoryboard",
// "ShopFeatureViewController"). The window gives it the page's feature code ("0.feature_all",
// "0.feature_book", "0.feature_magazine", "0.feature_hdbook") and itself as delegate before the
// view loads. Its main view is ("ShopFeatureStoryboard", "ShopFeatureMain"), given the feature
// code once when made. Of the store's containers it alone shows the preview popup and acts on
// the choice of a back issue.
#include <string>
#include <vector>

#include "app/store/StoreResources.h"
#include "app/store/common/StoreScreenContainer.h"

namespace ui {
class ResourceRegistry;
}

class ShopFeatureViewController : public StoreScreenContainer {
    PLAT_CLASS(ShopFeatureViewController)
  public:
    static constexpr const char* kStoryboard = StoreScreens::kFeature.storyboard;
    static constexpr const char* kIdentifier = StoreScreens::kFeature.identifier;
    static constexpr const char* kMainIdentifier = "ShopFeatureMain";

    ShopFeatureViewController();
    static void registerResources(ui::ResourceRegistry& registry);

    const std::string& featureCode() const { return featureCode_; }
    void setFeatureCode(std::string code) { featureCode_ = std::move(code); }
    // The window; the container never sends it anything.
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void showFeatureMainView() { showMainChild(); }
    // A new group with that title and type.
    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title, int32_t type);
    // Seven sample groups made at creation; nothing reads them.
    const std::vector<Ref<VnShopGroupInfo>>& shopGroupItems() const { return shopGroupItems_; }
    void Va3ShopDetailMainViewController_CompleteLoad(Ref<plat::Object>) {}

  protected:
    Ref<plat::Object> makeMainChild() override;

  private:
    std::string featureCode_;
    WeakRef<plat::Object> delegate_;
    std::vector<Ref<VnShopGroupInfo>> shopGroupItems_;
};
