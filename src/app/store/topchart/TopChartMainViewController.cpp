#include "app/store/topchart/TopChartMainViewController.h"

#include "app/services/LinkRouting.h"
#include "app/shell/HZLoadingDelegate.h"
#include "app/store/StoreMessages.h"
#include "app/store/topchart/TopChartListViewController.h"
#include "app/store/topchart/TopChartMainView.h"
#include "app/store/topchart/TopChartProtocols.h"
#include "platform/core/Protocol.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(TopChartMainViewController, StoreScreenContainer, [](auto& c) {
    using V = TopChartMainViewController;
    c.cls().addProtocolName(topchart_protocols::topChartMainViewDelegate().name());
    for (const char* protocol :
         {"ShopCategoryMainViewDelegate", "ShopDetailMainViewControllerDelegate",
          "ShopBackIssueViewControllerDelegate", "UriDirectDelegate", "HZLoadingDelegate"})
        c.cls().addProtocolName(protocol);
    addDetailCallbacks(c);
    c.method("showTopChartMainView", &V::showTopChartMainView)
        .method("showShopCategoryMainView", &V::showShopCategoryMainView)
        .method("Va3ShopDetailMainViewController_CompleteLoad:",
                &V::Va3ShopDetailMainViewController_CompleteLoad)
        .method(StoreListMessages::kTopChartSelect, ownMethod<V>(&V::selectEntry))
        .method(UriDirectDelegate::kIssueListCode, &V::routerIssueListKeepingOverlay)
        .method(UriDirectDelegate::kFeaturedCode, ownMethod<V>(&V::routerFeatured))
        .method(StoreListMessages::kShopCategorySelect, ownMethod<V>(&V::selectEntry))
        .method(StoreListMessages::kShopCategoryBack, ownMethod<V>(&V::groupListBack))
        .method(HZLoadingDelegate::kCancelClick, ownMethod<V>(&V::loadingCancelClick));
})

TopChartMainViewController::TopChartMainViewController() : StoreScreenContainer(kNibName) {}

void TopChartMainViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<TopChartMainViewController>(); });
    TopChartMainView::registerResources(registry);
    TopChartListViewController::registerResources(registry);
}

Ref<plat::Object> TopChartMainViewController::makeMainChild() {
    return ui::ResourceRegistry::shared().instantiateController("", kMainNibName);
}

void TopChartMainViewController::routerIssueListKeepingOverlay(Ref<plat::Object> router,
                                                               std::string groupCode) {
    const bool overlay = isOverlayShown();
    routerIssueList(std::move(router), std::move(groupCode));
    setOverlayShown(overlay);
}
