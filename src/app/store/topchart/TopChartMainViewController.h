#pragma once
// TopChartMainViewController: the container of the top chart page, made under
// ("", "TopChartMainViewController"). Its main view is ("", "TopChartMainView"). Where it departs
// from the store page container: a selection does not show the overlay (preparing the detail
// does); the detail, the back issues and the group item list are kept when left; it has no
// preview popup; a list link leaves the overlay as it is. The group item list reached from a
// chart link can be used and left as on the feature pages, so the loaded detail takes the place
// of the child shown (the main view, or that list).
#include "app/store/StoreResources.h"
#include "app/store/common/StoreScreenContainer.h"

namespace ui {
class ResourceRegistry;
}

class TopChartMainViewController : public StoreScreenContainer {
    PLAT_CLASS(TopChartMainViewController)
  public:
    static constexpr const char* kNibName = StoreScreens::kTopChart.identifier;
    static constexpr const char* kMainNibName = "TopChartMainView";

    TopChartMainViewController();
    // The page, its main view, and the columns and cells inside.
    static void registerResources(ui::ResourceRegistry& registry);

    void showTopChartMainView() { showMainChild(); }
    void showShopCategoryMainView() { showCategoryMainView(); }
    // A list link: the group item list of the code in place of the child shown, the overlay as
    // it was.
    void routerIssueListKeepingOverlay(Ref<plat::Object> router, std::string groupCode);
    void Va3ShopDetailMainViewController_CompleteLoad(Ref<plat::Object>) {}

  protected:
    Ref<plat::Object> makeMainChild() override;
    bool overlayOnSelection() const override { return false; }
    bool releasesLeftChildren() const override { return false; }
    bool hasPreviewPopup() const override { return false; }
};
