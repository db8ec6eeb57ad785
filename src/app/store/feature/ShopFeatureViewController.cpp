#include "app/store/feature/ShopFeatureViewController.h"

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
    c.method("setFeatureCode:", &V::setFeatureCode)
        .method("setDelegate:", &V::setDelegate)
        .method("showFeatureMainView", &V::showFeatureMainView)
        .method("Va3ShopDetailMainViewController_CompleteLoad:",
                &V::Va3ShopDetailMainViewController_CompleteLoad)
        .method("shopFeatureMainViewStartDownloading", ownMethod<V>(&V::mainViewStartLoading))
        .method("shopFeatureMainViewLoadComplete", ownMethod<V>(&V::mainViewLoadComplete))
        .method("shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:",
                ownMethod<V>(&V::selectEntry))
        .method("shopFeatureMainView:selectSeeAll:", ownMethod<V>(&V::selectSeeAll))
        .method("shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:",
                ownMethod<V>(&V::selectEntry))
        .method("shopCategoryMainView:backToTopView:", ownMethod<V>(&V::groupListBack))
        .method("shopDetailMainViewStartLoading", ownMethod<V>(&V::detailStartLoading))
        .method("shopDetailMainViewLoadComplete", ownMethod<V>(&V::detailLoadComplete))
        .method("shopDetailMainViewLoadDataInfoComplete",
                ownMethod<V>(&V::detailLoadDataInfoComplete))
        .method("shopDetailMainView:seeAllBackIssue:", ownMethod<V>(&V::detailSeeAllBackIssue))
        .method("shopDetailMainView:backToTopView:", ownMethod<V>(&V::detailBack))
        .method("shopDetailMainView:previewMagazineIssueInfo:", ownMethod<V>(&V::detailPreview))
        .method("shopBackIssueView:backFromBackIssueView:", ownMethod<V>(&V::backIssueBack))
        .method("shopBackIssueView:selectMagazineIssueInfo:", ownMethod<V>(&V::backIssueSelect))
        .method("UriDirect:webLinkByBookInfoCode:", ownMethod<V>(&V::routerBookCode))
        .method("UriDirect:webLinkByMagazineInfoCode:", ownMethod<V>(&V::routerMagazineCode))
        .method("UriDirect:webLinkByMagazineIssueInfoCode:", ownMethod<V>(&V::routerMagazineCode))
        .method("UriDirect_WidgetCode:withIssueList:", ownMethod<V>(&V::routerIssueList))
        .method("UriDirect_WidgetCode:withFeatured:", ownMethod<V>(&V::routerFeatured))
        .method("UriDirect_WebLinkComplete:", ownMethod<V>(&V::routerWebLinkComplete))
        .method("HZLoading_CancelClick:", ownMethod<V>(&V::loadingCancelClick))
        .method("previewPopupMainViewClose", ownMethod<V>(&V::previewClose));
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
    plat::sendIfResponds(main, "setFeatureCode:", featureCode_);
    return main;
}
