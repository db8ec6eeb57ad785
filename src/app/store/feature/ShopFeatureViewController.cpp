#include "app/store/feature/ShopFeatureViewController.h"

#include "app/store/feature/ShopFeatureMainView.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

// The container's callbacks, as methods of this class's own table.
template <class R, class... A>
auto asOwn(R (StoreScreenContainer::*method)(A...)) {
    return static_cast<R (ShopFeatureViewController::*)(A...)>(method);
}

}  // namespace

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
        .method("shopFeatureMainViewStartDownloading", asOwn(&V::mainViewStartLoading))
        .method("shopFeatureMainViewLoadComplete", asOwn(&V::mainViewLoadComplete))
        .method("shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:",
                asOwn(&V::selectEntry))
        .method("shopFeatureMainView:selectSeeAll:", asOwn(&V::selectSeeAll))
        .method("shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:",
                asOwn(&V::selectEntry))
        .method("shopCategoryMainView:backToTopView:", asOwn(&V::groupListBack))
        .method("shopDetailMainViewStartLoading", asOwn(&V::detailStartLoading))
        .method("shopDetailMainViewLoadComplete", asOwn(&V::detailLoadComplete))
        .method("shopDetailMainViewLoadDataInfoComplete", asOwn(&V::detailLoadDataInfoComplete))
        .method("shopDetailMainView:seeAllBackIssue:", asOwn(&V::detailSeeAllBackIssue))
        .method("shopDetailMainView:backToTopView:", asOwn(&V::detailBack))
        .method("shopDetailMainView:previewMagazineIssueInfo:", asOwn(&V::detailPreview))
        .method("shopBackIssueView:backFromBackIssueView:", asOwn(&V::backIssueBack))
        .method("shopBackIssueView:selectMagazineIssueInfo:", asOwn(&V::backIssueSelect))
        .method("UriDirect:webLinkByBookInfoCode:", asOwn(&V::routerBookCode))
        .method("UriDirect:webLinkByMagazineInfoCode:", asOwn(&V::routerMagazineCode))
        .method("UriDirect:webLinkByMagazineIssueInfoCode:", asOwn(&V::routerMagazineCode))
        .method("UriDirect_WidgetCode:withIssueList:", asOwn(&V::routerIssueList))
        .method("UriDirect_WidgetCode:withFeatured:", asOwn(&V::routerFeatured))
        .method("UriDirect_WebLinkComplete:", asOwn(&V::routerWebLinkComplete))
        .method("HZLoading_CancelClick:", asOwn(&V::loadingCancelClick))
        .method("previewPopupMainViewClose", asOwn(&V::previewClose));
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
