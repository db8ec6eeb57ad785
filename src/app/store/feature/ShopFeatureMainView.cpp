#include "app/store/feature/ShopFeatureMainView.h"

#include <algorithm>

#include "app/store/StoreMessages.h"
#include "app/store/detail/StoreNeighbours.h"
#include "app/store/feature/FeatureAdBannerItemView.h"
#include "app/store/feature/FeatureAdBannerView.h"
#include "app/store/feature/FeatureBannerGroupCollectionCellView.h"
#include "app/store/feature/FeatureBannerGroupView.h"
#include "app/store/feature/FeatureGroupItemView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/TableView.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(ShopFeatureMainView, ui::ViewController, [](auto& c) {
    using V = ShopFeatureMainView;
    c.method(StoreScreenMessages::kSetFeatureCode, &V::setFeatureCode)
        .method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method("cancelSelector", &V::cancelSelector)
        .method(VnBookStoreContextObserver::kActiveUserContextDidChange,
                &V::bookStoreContextActiveUserContextDidChange)
        .method("requestGroupInfo_request:didFinishWithResult:", &V::requestGroupInfoFinished)
        .method(StoreListMessages::kFeatureAdBannerSelect, &V::featureAdBannerViewSelect)
        .method(StoreListMessages::kFeatureBannerGroupSelect, &V::featureBannerGroupViewSelect)
        .method(StoreListMessages::kFeatureGroupItemSelect, &V::featureGroupItemViewSelect)
        .method(StoreListMessages::kFeatureGroupItemSeeAll, &V::featureGroupItemViewSeeAll);
})

namespace {

enum RowType : int32_t { kAdBanner = 1, kBannerGroup = 2, kGroupItem = 3 };

}  // namespace

void ShopFeatureMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier,
                                [] { return ui::ViewController::create<ShopFeatureMainView>(); });
    FeatureAdBannerItemView::registerResources(registry);
    FeatureBannerGroupCollectionCellView::registerResources(registry);
}

Ref<VnShopGroupInfo> ShopFeatureMainView::newShopGroupInfo(const std::string& title,
                                                           const std::string& description,
                                                           const std::string& imageUrl,
                                                           int32_t type) {
    auto record = std::make_shared<VnShopGroupInfo>();
    record->Title_ = title;
    record->Description_ = description;
    record->ImageUrl_ = imageUrl;
    record->Type_ = type;
    return record;
}

std::unique_ptr<QWidget> ShopFeatureMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(800, 600);
    mainTableView = new ui::TableView(view.get());  // a child of the page
    mainTableView->setGeometry(view->rect());
    mainTableView->setFrameShape(QFrame::NoFrame);
    ui::TableView::DataSource source;
    const WeakRef<ShopFeatureMainView> weak = weakSelf<ShopFeatureMainView>();
    source.numberOfRows = [weak](ui::TableView&) {
        const auto page = weak.lock();
        return page ? static_cast<int>(page->shopGroupItems_.size()) : 0;
    };
    source.heightOfRow = [weak](ui::TableView&, int row) {
        const auto page = weak.lock();
        return page ? heightOfRowType(page->shopGroupItems_.at(static_cast<size_t>(row))->Type_)
                    : kUnknownRowHeight;
    };
    source.viewForRow = [weak](ui::TableView&, int row) -> QWidget* {
        const auto page = weak.lock();
        return page ? page->viewForRow(row) : nullptr;
    };
    source.shouldSelectRow = [](ui::TableView&, int) { return false; };
    mainTableView->setDataSource(std::move(source));
    ui::setAutoresizingMask(mainTableView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    store_neighbours::observeActiveUserChanges(self());
    return view;
}

int ShopFeatureMainView::heightOfRowType(int32_t type) {
    switch (type) {
        case kAdBanner:
            return FeatureAdBannerView::kHeight;
        case kBannerGroup:
            return FeatureBannerGroupView::kHeight;
        case kGroupItem:
            return FeatureGroupItemView::kHeight;
        default:
            return kUnknownRowHeight;
    }
}

std::vector<Ref<VnShopGroupInfo>> ShopFeatureMainView::rowsInDisplayOrder(
    const std::vector<Ref<VnShopGroupInfo>>& rows) {
    std::vector<Ref<VnShopGroupInfo>> ordered = rows;
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const auto& row) { return row->Type_ == kAdBanner; });
    return ordered;
}

QWidget* ShopFeatureMainView::viewForRow(int row) {
    const Ref<VnShopGroupInfo>& record = shopGroupItems_.at(static_cast<size_t>(row));
    const char* identifier = nullptr;
    switch (record->Type_) {
        case kAdBanner:
            identifier = FeatureAdBannerView::kIdentifier;
            break;
        case kBannerGroup:
            identifier = FeatureBannerGroupView::kIdentifier;
            break;
        case kGroupItem:
            identifier = FeatureGroupItemView::kIdentifier;
            break;
        default:
            return nullptr;
    }
    QWidget* view = mainTableView->makeView(identifier);
    Ref<ui::ViewController> controller;
    if (view) {
        controller = rowControllers_[view];
    } else {
        if (record->Type_ == kAdBanner)
            controller = ui::ViewController::create<FeatureAdBannerView>();
        else if (record->Type_ == kBannerGroup)
            controller = ui::ViewController::create<FeatureBannerGroupView>();
        else
            controller = ui::ViewController::create<FeatureGroupItemView>();
        view = controller->view();
        ui::TableView::setIdentifier(view, identifier);
        rowControllers_[view] = controller;
    }
    plat::send(controller, StoreScreenMessages::kSetDelegate, self());
    plat::send(controller, StoreScreenMessages::kSetShopGroupInfo, record);
    return view;
}

Ref<ui::ViewController> ShopFeatureMainView::rowControllerAt(int row) const {
    QWidget* view = mainTableView ? mainTableView->viewAtRow(row) : nullptr;
    const auto it = rowControllers_.find(view);
    return it == rowControllers_.end() ? nullptr : it->second;
}

void ShopFeatureMainView::viewDidAppear() {
    ui::ViewController::viewDidAppear();
    requestGroupInfo(featureCode_, true);
}

void ShopFeatureMainView::bookStoreContextActiveUserContextDidChange(Ref<plat::Object>) {
    if (isViewLoaded() && view()->isVisible())
        requestGroupInfo(featureCode_, true);
}

void ShopFeatureMainView::cancelSelector() {
    if (request_) {
        request_->cancel();
        request_.reset();
    }
}

void ShopFeatureMainView::requestGroupInfo(const std::string& groupCode, bool) {
    plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureStartDownloading);
    cancelSelector();
    const auto user = store_neighbours::activeUserContext();
    if (!user) {
        plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureLoadComplete);
        return;
    }
    const auto domain = user->shopGroupInfoDomainWithGroupCode(groupCode);
    request_ = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
    request_->startWithDelegate(self(), "requestGroupInfo_");
}

void ShopFeatureMainView::requestGroupInfoFinished(Ref<plat::Object>, Ref<VnRequestResult> result) {
    request_.reset();
    plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureLoadComplete);
    // A failed load keeps what is shown.
    const auto snapshot =
        result && result->succeed() ? result->returnValue().as<VnLocalSnapshot>() : nullptr;
    if (!snapshot)
        return;
    shopGroupInfo_ = snapshot->items().empty()
                         ? nullptr
                         : std::dynamic_pointer_cast<VnShopGroupInfo>(snapshot->items().front());
    shopGroupItems_ = rowsInDisplayOrder(FeatureRowView::entriesOf(shopGroupInfo_));
    if (mainTableView)
        mainTableView->reloadData();
}

void ShopFeatureMainView::selectEntry(const Ref<VnShopGroupInfo>& entry,
                                      const Ref<VnShopGroupInfo>& header) {
    plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureSelect,
                         self<ShopFeatureMainView>(), entry, header);
}

void ShopFeatureMainView::featureAdBannerViewSelect(Ref<plat::Object>,
                                                    Ref<VnShopGroupInfo> banner) {
    selectEntry(banner, nullptr);
}

void ShopFeatureMainView::featureBannerGroupViewSelect(Ref<plat::Object>,
                                                       Ref<VnShopGroupInfo> banner) {
    selectEntry(banner, nullptr);
}

void ShopFeatureMainView::featureGroupItemViewSelect(Ref<plat::Object>, Ref<VnShopGroupInfo> entry,
                                                     Ref<VnShopGroupInfo> header) {
    selectEntry(entry, header);
}

void ShopFeatureMainView::featureGroupItemViewSeeAll(Ref<plat::Object>,
                                                     Ref<VnShopGroupInfo> record) {
    plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureSeeAll,
                         self<ShopFeatureMainView>(), record);
}
