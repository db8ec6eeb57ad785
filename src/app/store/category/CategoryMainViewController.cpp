#include "app/store/category/CategoryMainViewController.h"

#include "app/services/LinkRouting.h"
#include "app/shell/HZLoadingDelegate.h"
#include "app/store/StoreMessages.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/dev/util/VndArrayAdditions.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

// The menu entries of the answer's first record, by OrderWidget (0 last), without "Audios".
CategoryMainViewController::GroupList menuEntries(const Ref<VnShopGroupInfo>& first) {
    std::vector<plat::Value> entries;
    for (int32_t i = 0; i < first->subgroupCount(); ++i) {
        if (auto entry = first->subgroupAtIndex(i))
            entries.emplace_back(std::move(entry));
    }
    CategoryMainViewController::GroupList menus;
    const auto ordered =
        linq_orderByIntNoZero(*plat::Array::make(std::move(entries)), "OrderWidget");
    for (const auto& value : ordered->values()) {
        auto entry = value.as<VnShopGroupInfo>();
        if (entry->Title_ != "Audios")
            menus.push_back(std::move(entry));
    }
    return menus;
}

}  // namespace

PLAT_DEFINE_CLASS(CategoryMainViewController, StoreScreenContainer, [](auto& c) {
    using V = CategoryMainViewController;
    for (const char* protocol :
         {"CategoryMainViewDelegate", "ShopCategoryMainViewDelegate",
          "ShopDetailMainViewControllerDelegate", "ShopBackIssueViewControllerDelegate",
          "UriDirectDelegate", "HZLoadingDelegate"})
        c.cls().addProtocolName(protocol);
    c.method("showCategoryMainView", &V::showCategoryMainView)
        .method("showShopCategoryMainView", &V::showShopCategoryMainView)
        .method("updateGroupCategory", &V::updateGroupCategory)
        .method("groupCategoryUpdate_request:didFinishWithResult:",
                &V::groupCategoryUpdate_request_didFinishWithResult)
        .method(StoreScreenMessages::kCancelLoading, &V::cancelLoading)
        .method("generateMenu:", &V::generateMenu)
        .method(StoreListMessages::kCategorySelect, &V::categoryMainView_selectCategory)
        .method(StoreListMessages::kCategorySelectMenu, &V::categoryMainView_selectMenuCategory)
        .method(StoreListMessages::kCategoryBackToTop, &V::categoryMainView_backToTopCategory)
        .method(StoreListMessages::kShopCategorySelect, ownMethod<V>(&V::selectEntry))
        .method(StoreListMessages::kShopCategoryBack, ownMethod<V>(&V::groupListBack))
        .method(UriDirectDelegate::kIssueListCode, ownMethod<V>(&V::routerIssueList))
        .method(UriDirectDelegate::kFeaturedCode, ownMethod<V>(&V::routerFeatured))
        .method(UriDirectDelegate::kWebLinkComplete, ownMethod<V>(&V::routerWebLinkComplete))
        .method(HZLoadingDelegate::kCancelClick, ownMethod<V>(&V::loadingCancelClick));
    addDetailCallbacks(c);
})

CategoryMainViewController::CategoryMainViewController() : StoreScreenContainer(kNibName) {}

void CategoryMainViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<CategoryMainViewController>(); });
}

Ref<VnShopGroupInfo> CategoryMainViewController::newShopGroupInfo(const std::string& title,
                                                                  const std::string& description,
                                                                  const std::string& imageUrl,
                                                                  int32_t type) {
    auto group = std::make_shared<VnShopGroupInfo>();
    group->Title_ = title;
    group->Description_ = description;
    group->ImageUrl_ = imageUrl;
    group->Type_ = type;
    return group;
}

std::unique_ptr<QWidget> CategoryMainViewController::loadView() {
    auto view = StoreScreenContainer::loadView();
    updateGroupCategory();
    return view;
}

Ref<plat::Object> CategoryMainViewController::makeMainChild() {
    auto main = ui::ResourceRegistry::shared().instantiateController("", kMainViewNib);
    plat::sendIfResponds(main, StoreScreenMessages::kSetIsShowSubWidget, false);
    return main;
}

void CategoryMainViewController::viewWillAppear() {
    StoreScreenContainer::viewWillAppear();
    // A menu that never came (a failed or empty answer) is asked for again on the next visit.
    if (isViewLoaded() && groupMenus_.empty() && reqGroupCategory_ && !reqGroupCategory_->running())
        updateGroupCategory();
}

// ---- The menu ---------------------------------------------------------------------------------

void CategoryMainViewController::updateGroupCategory() {
    const auto user = store_neighbours::activeUserContext();
    if (!user)
        return;
    auto domain = user->shopGroupInfoDomainWithGroupCode(kCategoriesCode);
    auto snapshot = domain->takeLocalSnapshot();
    if (reqGroupCategory_)
        reqGroupCategory_->cancel();
    setOverlayShown(true);
    reqGroupCategory_ = domain->newDomainUpdatingRequest(std::move(snapshot));
    reqGroupCategory_->startWithDelegate(self(), "groupCategoryUpdate_");
}

void CategoryMainViewController::groupCategoryUpdate_request_didFinishWithResult(
    const Ref<VnRequestContext>&, const Ref<VnRequestResult>& result) {
    setOverlayShown(false);
    const auto snapshot = result ? result->returnValue().as<VnLocalSnapshot>() : nullptr;
    if (!snapshot || snapshot->items().empty())
        return;
    const auto first = std::dynamic_pointer_cast<VnShopGroupInfo>(snapshot->items().front());
    if (!first)
        return;
    groupMenus_ = menuEntries(first);
    plat::sendIfResponds(mainChild(), StoreScreenMessages::kSetMenuArray, groupMenus_);
}

void CategoryMainViewController::cancelLoading() {
    if (reqGroupCategory_)
        reqGroupCategory_->cancel();
}

// ---- Moves ------------------------------------------------------------------------------------

void CategoryMainViewController::categoryMainView_selectCategory(Ref<plat::Object>,
                                                                 Ref<VnShopGroupInfo> category) {
    if (!category)
        return;
    if (category->subgroupCount() < 1) {
        removeView(mainChild());
        makeGroupList();
        plat::sendIfResponds(shopCategoryMainView(), StoreScreenMessages::kSetShopGroupInfo,
                             category);
        showShopCategoryMainView();
        return;
    }
    plat::sendIfResponds(mainChild(), StoreScreenMessages::kSetIsShowSubWidget, true);
    plat::sendIfResponds(mainChild(), StoreScreenMessages::kSetMenuArray, GroupList{category});
}

void CategoryMainViewController::categoryMainView_backToTopCategory(Ref<plat::Object>,
                                                                    std::string) {
    plat::sendIfResponds(mainChild(), StoreScreenMessages::kSetIsShowSubWidget, false);
    plat::sendIfResponds(mainChild(), StoreScreenMessages::kSetMenuArray, groupMenus_);
}
