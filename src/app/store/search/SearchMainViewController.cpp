#include "app/store/search/SearchMainViewController.h"

#include "app/shell/HZLoadingDelegate.h"
#include "app/store/StoreMessages.h"
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
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method("showSearchMainView", &V::showSearchMainView)
        .method(StoreScreenMessages::kStartSearch, &V::startSearch)
        .method(StoreScreenMessages::kCancelSearch, &V::cancelSearch)
        .method(StoreListMessages::kSearchStartLoading, ownMethod<V>(&V::mainViewStartLoading))
        .method(StoreListMessages::kSearchLoadComplete, ownMethod<V>(&V::mainViewLoadComplete))
        .method(StoreListMessages::kSearchSelectBookIssue, &V::selectBookIssueInfo)
        .method(StoreListMessages::kSearchSelectMagazine, &V::selectMagazineInfo)
        .method(ShopDetailMessages::kStartLoading, ownMethod<V>(&V::detailStartLoading))
        .method(ShopDetailMessages::kLoadComplete, ownMethod<V>(&V::detailLoadComplete))
        .method(ShopDetailMessages::kSeeAllBackIssue, ownMethod<V>(&V::detailSeeAllBackIssue))
        .method(ShopDetailMessages::kBackToTopView, ownMethod<V>(&V::detailBack))
        .method(StoreListMessages::kBackIssueBack, ownMethod<V>(&V::backIssueBack))
        .method(HZLoadingDelegate::kCancelClick, ownMethod<V>(&V::loadingCancelClick));
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
        plat::sendIfResponds(mainChild(), StoreScreenMessages::kStartSearch, std::move(text));
}

void SearchMainViewController::cancelSearch() {
    if (mainChild())
        plat::sendIfResponds(mainChild(), StoreScreenMessages::kCancelSearch);
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
    plat::sendIfResponds(detail, StoreScreenMessages::kSetIsBook, isBook);
    plat::sendIfResponds(detail, StoreScreenMessages::kSetHeaderTitle,
                         std::string(isBook ? kBookHeader : kMagazineHeader));
    if (magazine)
        plat::sendIfResponds(detail, StoreScreenMessages::kSetMagazineInfo, magazine);
    plat::sendIfResponds(detail, StoreScreenMessages::kSetMagazineIssueInfo, std::move(issue));
    showDetailMainView();
}
