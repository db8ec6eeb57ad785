#include "app/store/search/SearchMainViewController.h"

#include "app/store/search/SearchMainView.h"
#include "app/store/search/SearchProtocols.h"
#include "platform/core/Protocol.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(SearchMainViewController, StoreScreenContainer, [](auto& c) {
    using V = SearchMainViewController;
    c.cls().addProtocolName(search_protocols::searchMainViewDelegate().name());
    for (const char* protocol : {"ShopDetailMainViewControllerDelegate",
                                 "ShopBackIssueViewControllerDelegate", "HZLoadingDelegate"})
        c.cls().addProtocolName(protocol);
    c.method("setDelegate:", &V::setDelegate)
        .method("showSearchMainView", &V::showSearchMainView)
        .method("startSearch:", &V::startSearch)
        .method("cancelSearch", &V::cancelSearch)
        .method("searchMainViewStartLoading", ownMethod<V>(&V::mainViewStartLoading))
        .method("searchMainViewLoadComplete", ownMethod<V>(&V::mainViewLoadComplete))
        .method("searchMainView:selectBookIssueInfo:", &V::selectBookIssueInfo)
        .method("searchMainView:selectMagazineInfo:", &V::selectMagazineInfo)
        .method("shopDetailMainViewStartLoading", ownMethod<V>(&V::detailStartLoading))
        .method("shopDetailMainViewLoadComplete", ownMethod<V>(&V::detailLoadComplete))
        .method("shopDetailMainView:seeAllBackIssue:", ownMethod<V>(&V::detailSeeAllBackIssue))
        .method("shopDetailMainView:backToTopView:", ownMethod<V>(&V::detailBack))
        .method("shopBackIssueView:backFromBackIssueView:", ownMethod<V>(&V::backIssueBack))
        .method("HZLoading_CancelClick:", ownMethod<V>(&V::loadingCancelClick));
})

void SearchMainViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<SearchMainViewController>();
    });
    SearchMainView::registerResources(registry);
}

Ref<plat::Object> SearchMainViewController::makeMainChild() {
    return ui::ResourceRegistry::shared().instantiateController(kStoryboard, kMainIdentifier);
}

void SearchMainViewController::startSearch(std::string text) {
    // The search runs in the results view, also while a detail shows over it: the detail stays
    // until the member goes back, and the results then show the new search.
    if (mainChild())
        plat::sendIfResponds(mainChild(), "startSearch:", std::move(text));
}

void SearchMainViewController::cancelSearch() {
    if (mainChild())
        plat::sendIfResponds(mainChild(), "cancelSearch");
}

void SearchMainViewController::selectBookIssueInfo(Ref<plat::Object>, Ref<plat::Object> record) {
    if (auto issue = std::dynamic_pointer_cast<VnMagazineIssueInfo>(record))
        openDetail(true, nullptr, std::move(issue));
}

void SearchMainViewController::selectMagazineInfo(Ref<plat::Object>, Ref<plat::Object> record) {
    if (auto magazine = std::dynamic_pointer_cast<VnMagazineInfo>(record))
        openDetail(false, magazine, magazine->latestIssue_);
}

void SearchMainViewController::openDetail(bool isBook, const Ref<VnMagazineInfo>& magazine,
                                          Ref<VnMagazineIssueInfo> issue) {
    removeView(mainChild());
    const auto& detail = ensureDetail();
    plat::sendIfResponds(detail, "setIsBook:", isBook);
    plat::sendIfResponds(detail,
                         "setHeaderTitle:", std::string(isBook ? kBookHeader : kMagazineHeader));
    if (magazine)
        plat::sendIfResponds(detail, "setMagazineInfo:", magazine);
    plat::sendIfResponds(detail, "setMagazineIssueInfo:", std::move(issue));
    showDetailMainView();
}
