#pragma once
// BrowseMainViewController: the container of the browse page, made under ("",
// "BrowseMainViewController"). Its main view is ("", "BrowseMainView"); its other children are the
// item detail and the back issues (no group item list, no preview popup). The first list loads
// without a visible overlay; a clicked item shows the overlay and goes through the router; a
// link that leads to a list, a featured group or a web page takes the overlay away again. The
// detail replaces the main view and its back button returns to it.
#include <string>

#include "app/store/StoreResources.h"
#include "app/store/common/StoreScreenContainer.h"

namespace ui {
class ResourceRegistry;
}

class BrowseMainViewController : public StoreScreenContainer {
    PLAT_CLASS(BrowseMainViewController)
  public:
    static constexpr const char* kNibName = StoreScreens::kBrowse.identifier;
    static constexpr const char* kMainViewNib = "BrowseMainView";

    BrowseMainViewController();
    static void registerResources(ui::ResourceRegistry& registry);

    void showBrowseMainView() { showMainChild(); }
    const Ref<plat::Object>& browseMainView() const { return mainChild(); }
    const Ref<plat::Object>& shopBackIssueMainView() const { return shopBackIssueView(); }
    void viewDidLoad() override;
    // A list, featured or web link found for a clicked item: nothing to show, the overlay goes.
    void linkWithoutScreen(Ref<plat::Object> router, std::string code);
    void Va3ShopDetailMainViewController_CompleteLoad(Ref<plat::Object>) {}

  protected:
    Ref<plat::Object> makeMainChild() override;
    bool detailReplacesCurrentChild() const override { return false; }
    bool hasPreviewPopup() const override { return false; }
};
