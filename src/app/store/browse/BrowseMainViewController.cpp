#include "app/store/browse/BrowseMainViewController.h"

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
        .method("browseMainViewStartLoading", ownMethod<V>(&V::mainViewStartLoading))
        .method("browseMainViewLoadComplete", ownMethod<V>(&V::mainViewLoadComplete))
        .method("browseMainView:selectShopGroupInfo:withHeaderGroupInfo:",
                ownMethod<V>(&V::selectEntry))
        .method("UriDirect_WidgetCode:withIssueList:", &V::linkWithoutScreen)
        .method("UriDirect_WidgetCode:withFeatured:", &V::linkWithoutScreen)
        .method("UriDirect_WebLinkComplete:", ownMethod<V>(&V::routerWebLinkComplete))
        .method("HZLoading_CancelClick:", ownMethod<V>(&V::loadingCancelClick));
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
