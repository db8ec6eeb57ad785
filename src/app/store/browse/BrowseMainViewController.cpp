#include "app/store/browse/BrowseMainViewController.h"

#include "app/services/LinkRouting.h"
#include "app/shell/HZLoadingDelegate.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(BrowseMainViewController, StoreScreenContainer, [](auto& c) {
    using V = BrowseMainViewController;
    for (const char* protocol :
         {"BrowseMainViewDelegate", "ShopDetailMainViewControllerDelegate",
          "ShopBackIssueViewControllerDelegate", "UriDirectDelegate", "HZLoadingDelegate"})
        c.cls().addProtocolName(protocol);
    c.method("showBrowseMainView", &V::showBrowseMainView)
        .method("Va3ShopDetailMainViewController_CompleteLoad:",
                &V::Va3ShopDetailMainViewController_CompleteLoad)
        .method(StoreListMessages::kBrowseStartLoading, ownMethod<V>(&V::mainViewStartLoading))
        .method(StoreListMessages::kBrowseLoadComplete, ownMethod<V>(&V::mainViewLoadComplete))
        .method(StoreListMessages::kBrowseSelect, ownMethod<V>(&V::selectEntry))
        .method(UriDirectDelegate::kIssueListCode, &V::linkWithoutScreen)
        .method(UriDirectDelegate::kFeaturedCode, &V::linkWithoutScreen)
        .method(UriDirectDelegate::kWebLinkComplete, ownMethod<V>(&V::routerWebLinkComplete))
        .method(HZLoadingDelegate::kCancelClick, ownMethod<V>(&V::loadingCancelClick));
    addDetailCallbacks(c);
})

BrowseMainViewController::BrowseMainViewController() : StoreScreenContainer(kNibName) {}

void BrowseMainViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<BrowseMainViewController>(); });
}

Ref<plat::Object> BrowseMainViewController::makeMainChild() {
    return ui::ResourceRegistry::shared().instantiateController("", kMainViewNib);
}

void BrowseMainViewController::viewDidLoad() {
    // The main view has started its first list while the page was built; the overlay made after
    // it starts hidden, so that first list loads without it.
    setOverlayShown(false);
}

void BrowseMainViewController::linkWithoutScreen(Ref<plat::Object>, std::string) {
    setOverlayShown(false);
}
