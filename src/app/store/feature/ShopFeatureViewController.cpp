#include "app/store/feature/ShopFeatureViewController.h"

#include "app/services/LinkRouting.h"
#include "app/shell/HZLoadingDelegate.h"
#include "app/store/StoreMessages.h"
#include "app/store/feature/ShopFeatureMainView.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(ShopFeatureViewController, StoreScreenContainer, [](auto& c) {
    using V = ShopFeatureViewController;
    for (const char* protocol :
         {"ShopFeatureMainViewDelegate", "ShopCategoryMainViewDelegate",
          "ShopDetailMainViewControllerDelegate", "ShopBackIssueViewControllerDelegate",
          "UriDirectDelegate", "HZLoadingDelegate", "PreviewPopupMainViewDelegate"})
        c.cls().addProtocolName(protocol);
    c.method(StoreScreenMessages::kSetFeatureCode, &V::setFeatureCode)
        .method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method("showFeatureMainView", &V::showFeatureMainView)
        .method("Va3ShopDetailMainViewController_CompleteLoad:",
                &V::Va3ShopDetailMainViewController_CompleteLoad)
        .method(StoreListMessages::kFeatureStartDownloading, ownMethod<V>(&V::mainViewStartLoading))
        .method(StoreListMessages::kFeatureLoadComplete, ownMethod<V>(&V::mainViewLoadComplete))
        .method(StoreListMessages::kFeatureSelect, ownMethod<V>(&V::selectEntry))
        .method(StoreListMessages::kFeatureSeeAll, ownMethod<V>(&V::selectSeeAll))
        .method(StoreListMessages::kShopCategorySelect, ownMethod<V>(&V::selectEntry))
        .method(StoreListMessages::kShopCategoryBack, ownMethod<V>(&V::groupListBack))
        .method(ShopDetailMessages::kStartLoading, ownMethod<V>(&V::detailStartLoading))
        .method(ShopDetailMessages::kLoadComplete, ownMethod<V>(&V::detailLoadComplete))
        .method(ShopDetailMessages::kLoadDataInfoComplete,
                ownMethod<V>(&V::detailLoadDataInfoComplete))
        .method(ShopDetailMessages::kSeeAllBackIssue, ownMethod<V>(&V::detailSeeAllBackIssue))
        .method(ShopDetailMessages::kBackToTopView, ownMethod<V>(&V::detailBack))
        .method(ShopDetailMessages::kPreviewIssue, ownMethod<V>(&V::detailPreview))
        .method(StoreListMessages::kBackIssueBack, ownMethod<V>(&V::backIssueBack))
        .method(StoreListMessages::kBackIssueSelect, ownMethod<V>(&V::backIssueSelect))
        .method(UriDirectDelegate::kBookCode, ownMethod<V>(&V::routerBookCode))
        .method(UriDirectDelegate::kMagazineCode, ownMethod<V>(&V::routerMagazineCode))
        .method(UriDirectDelegate::kMagazineIssueCode, ownMethod<V>(&V::routerMagazineCode))
        .method(UriDirectDelegate::kIssueListCode, ownMethod<V>(&V::routerIssueList))
        .method(UriDirectDelegate::kFeaturedCode, ownMethod<V>(&V::routerFeatured))
        .method(UriDirectDelegate::kWebLinkComplete, ownMethod<V>(&V::routerWebLinkComplete))
        .method(HZLoadingDelegate::kCancelClick, ownMethod<V>(&V::loadingCancelClick))
        .method(ShopDetailMessages::kPreviewPopupClose, ownMethod<V>(&V::previewClose));
})

ShopFeatureViewController::ShopFeatureViewController() {
    for (const auto& [title, type] :
         std::vector<std::pair<const char*, int32_t>>{{"AddBanner", 1},
                                                      {"GroupBanner", 2},
                                                      {"GroupItem", 3},
                                                      {"GroupItem", 3},
                                                      {"GroupBanner", 2},
                                                      {"GroupItem", 3},
                                                      {"GroupItem", 3}})
        shopGroupItems_.push_back(newShopGroupInfo(title, type));
}

void ShopFeatureViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<ShopFeatureViewController>();
    });
    ShopFeatureMainView::registerResources(registry);
}

Ref<VnShopGroupInfo> ShopFeatureViewController::newShopGroupInfo(const std::string& title,
                                                                 int32_t type) {
    auto group = std::make_shared<VnShopGroupInfo>();
    group->Title_ = title;
    group->Type_ = type;
    return group;
}

Ref<plat::Object> ShopFeatureViewController::makeMainChild() {
    auto main = ui::ResourceRegistry::shared().instantiateController(kStoryboard, kMainIdentifier);
    plat::sendIfResponds(main, StoreScreenMessages::kSetFeatureCode, featureCode_);
    return main;
}
