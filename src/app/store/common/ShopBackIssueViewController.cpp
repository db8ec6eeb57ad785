#include "app/store/common/ShopBackIssueViewController.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/store/StoreMessages.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/StoreListSupport.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(ShopBackIssueViewController, ui::ViewController, [](auto& c) {
    using V = ShopBackIssueViewController;
    c.cls().addProtocolName("BookCoverCollectionCellViewDelegate");
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kSetMagazineInfo, &V::setMagazineInfo)
        .method(StoreListMessages::kBookCoverCellSelect, &V::bookCoverCollectionCellSelect)
        .method("backButton_Click:", &V::backButton_Click)
        .method("magazineIssueInfoUpdate_request:didFinishWithResult:", &V::magazineIssueInfoUpdate)
        .method("magazineIssueInfoContinueUpdate_request:didFinishWithResult:",
                &V::magazineIssueInfoContinueUpdate);
})

namespace {

using IssueList = ShopBackIssueViewController::IssueList;

IssueList issuesOf(const VnInfoList& items, size_t limit) {
    IssueList out;
    for (const auto& item : items) {
        if (out.size() >= limit)
            break;
        if (auto issue = VnMagazineIssueInfoProxy::recordOf(item))
            out.push_back(std::move(issue));
    }
    return out;
}

// Newest first by the issue's sorting date; issues without a date last, in the order given.
void orderNewestFirst(IssueList& issues) {
    std::stable_sort(issues.begin(), issues.end(), [](const auto& a, const auto& b) {
        const auto x = a->issueDateSortingToken(), y = b->issueDateSortingToken();
        if (!x || !y)
            return x.has_value() && !y.has_value();
        return x->seconds > y->seconds;
    });
}

}  // namespace

ShopBackIssueViewController::ShopBackIssueViewController() : ui::ViewController(kNibName) {}

ShopBackIssueViewController::~ShopBackIssueViewController() {
    store_lists::stopObserving(boundsObserver_);
    dropRequest();
}

void ShopBackIssueViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<ShopBackIssueViewController>(); });
}

std::unique_ptr<QWidget> ShopBackIssueViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    backButton = new QPushButton(QString::fromUtf8("< กลับ"), view.get());
    backButton->setFont(ui::thaiCapableFont(13));
    ui::setFrame(backButton, {20, 664, 90, 28});
    ui::setAutoresizingMask(backButton, ui::ViewMinYMargin);
    QObject::connect(backButton, &QPushButton::clicked,
                     [weak = weakSelf<ShopBackIssueViewController>()] {
                         if (auto list = weak.lock())
                             list->backButton_Click(nullptr);
                     });
    auto* title = new QLabel(QString::fromUtf8("เล่มย้อนหลัง"), view.get());
    title->setFont(ui::thaiCapableFont(16));
    ui::setFrame(title, {130, 664, 400, 28});
    ui::setAutoresizingMask(title, ui::ViewMinYMargin);
    collectionView = new ui::CollectionView(view.get());
    ui::setFrame(collectionView, {0, 0, 1024, 656});
    ui::setAutoresizingMask(collectionView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    collectionView->setItemSize(
        {BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight});
    return view;
}

void ShopBackIssueViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    collectionView->setItemFactory([]() -> Ref<ui::CollectionViewItem> {
        return BookCoverCollectionCellView::makeFromStoryboard();
    });
    collectionView->setDelegate(self());
    boundsObserver_ =
        store_lists::observeBounds(collectionView, weakSelf<ShopBackIssueViewController>());
    fillGrid();
}

void ShopBackIssueViewController::fillGrid() {
    if (!collectionView)
        return;
    collectionView->setContent(std::vector<plat::Value>(shown_->begin(), shown_->end()));
}

void ShopBackIssueViewController::setMagazineIssueArray(std::shared_ptr<const IssueList> issues) {
    shown_ = issues ? std::move(issues) : std::make_shared<const IssueList>();
    fillGrid();
}

void ShopBackIssueViewController::reloadBackIssueView(IssueList issues) {
    orderNewestFirst(issues);
    setMagazineIssueArray(std::make_shared<const IssueList>(std::move(issues)));
}

void ShopBackIssueViewController::setMagazineInfo(Ref<VnMagazineInfo> magazine) {
    if (magazine == magazineInfo_)
        return;
    magazineInfo_ = std::move(magazine);
    // Forgotten without redrawing: the grid changes when the cached issues or the reply come.
    // The previous magazine's request goes, and no page is asked before the new first reply.
    shown_ = std::make_shared<const IssueList>();
    moreAllowed_ = false;
    dropRequest();
    requestBackIssueUpdate(magazineInfo_, kFirstLoadLimit);
}

void ShopBackIssueViewController::dropRequest() {
    if (request_) {
        request_->cancel();
        request_.reset();
    }
}

void ShopBackIssueViewController::requestBackIssueUpdate(const Ref<VnMagazineInfo>& magazine,
                                                         int limit) {
    if (!magazine)
        return;
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    limitLoadBackIssue_ = limit;
    const auto domain = user->magazineIssueDomainWithMagazine(magazine);
    const auto snapshot = domain->takeLocalSnapshotWithUpdateFlag(
        true, VnIndexRange{0, static_cast<uint64_t>(limitLoadBackIssue_)});
    // The list shown is always an ordered copy, never the snapshot's own list: show the cache.
    reloadBackIssueView(issuesOf(snapshot->items(), static_cast<size_t>(limitLoadBackIssue_)));
    dropRequest();
    request_ = domain->newDomainUpdatingRequest(snapshot);
    request_->setUserInfo(plat::Value(magazine));
    // No range: the whole list of issues.
    request_->setUpdateRange(VnIndexRange{0, 0});
    request_->startWithDelegate(self(), "magazineIssueInfoUpdate_");
}

void ShopBackIssueViewController::magazineIssueInfoUpdate(Ref<plat::Object>,
                                                          Ref<VnRequestResult> result) {
    request_.reset();
    // A failed reply keeps the issues shown; the member may still page on.
    if (const auto items = store_lists::deliveredItems(result))
        reloadBackIssueView(issuesOf(*items, items->size()));
    moreAllowed_ = true;
}

void ShopBackIssueViewController::scrollViewDidScroll() {
    if (store_lists::showsEnd(collectionView))
        continueUpdateMagazineIssueinfoInfo(magazineInfo_);
}

void ShopBackIssueViewController::continueUpdateMagazineIssueinfoInfo(
    Ref<VnMagazineInfo> magazine) {
    if (!moreAllowed_ || !magazine)
        return;
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    moreAllowed_ = false;
    const auto start = static_cast<uint64_t>(shown_->size());
    const auto domain = user->magazineIssueDomainWithMagazine(magazine);
    dropRequest();
    request_ = domain->newDomainUpdatingRequest(VnLocalSnapshot::empty());
    request_->setUpdateRange(VnIndexRange{start, static_cast<uint64_t>(store_lists::pageLength())});
    request_->startWithDelegate(self(), "magazineIssueInfoContinueUpdate_");
}

void ShopBackIssueViewController::magazineIssueInfoContinueUpdate(Ref<plat::Object>,
                                                                  Ref<VnRequestResult> result) {
    request_.reset();
    if (const auto items = store_lists::deliveredItems(result)) {
        IssueList page = issuesOf(*items, static_cast<size_t>(store_lists::pageLength()));
        orderNewestFirst(page);
        IssueList joined = *shown_;
        joined.insert(joined.end(), page.begin(), page.end());
        reloadBackIssueView(std::move(joined));
    }
    moreAllowed_ = true;
}

void ShopBackIssueViewController::bookCoverCollectionCellSelect(Ref<plat::Object> cell) {
    auto item = std::dynamic_pointer_cast<ui::CollectionViewItem>(cell);
    auto issue = item ? item->representedObject().as<VnMagazineIssueInfo>() : nullptr;
    if (issue)
        plat::sendIfResponds(delegate_, StoreListMessages::kBackIssueSelect,
                             self<ShopBackIssueViewController>(), issue);
}

void ShopBackIssueViewController::backButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, StoreListMessages::kBackIssueBack,
                         self<ShopBackIssueViewController>(), std::string());
}
