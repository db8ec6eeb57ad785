#include "app/store/detail/ShopDetailByAuthorView.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"

PLAT_DEFINE_CLASS(ShopDetailBackIssueCollectionItemView, ui::CollectionViewItem, [](auto& c) {
    c.method("itemButton_Click:", &ShopDetailBackIssueCollectionItemView::itemButton_Click);
})
PLAT_DEFINE_CLASS(ShopDetailByAuthorView, ui::ViewController, [](auto& c) {
    using V = ShopDetailByAuthorView;
    c.method(StoreScreenMessages::kSetMagazineInfo, &V::setMagazineInfo)
        .method(StoreScreenMessages::kSetMagazineIssueInfo, &V::setMagazineIssueInfo)
        .method("seeAllButton_Click:", &V::seeAllButton_Click)
        .method(StoreListMessages::kBookIssueItemSelect, &V::bookIssueCollectionItemViewSelect)
        .method("magazineIssueInfoUpdate_request:didFinishWithResult:", &V::magazineIssueInfoUpdate)
        .method("bookAuthorIssueUpdate_request:didFinishWithResult:", &V::bookAuthorIssueUpdate);
})

namespace {

constexpr const char* kStoryboard = "ShopDetailStoryboard";
constexpr const char* kCellIdentifier = "BackIssueCollectionCell";

ShopDetailByAuthorView::IssueList issuesOf(const VnInfoList& items) {
    ShopDetailByAuthorView::IssueList out;
    for (const auto& item : items)
        if (auto issue = VnMagazineIssueInfoProxy::recordOf(item))
            out.push_back(std::move(issue));
    return out;
}

// The snapshot a finished list request answered, when its records came from the service.
Ref<VnUpdatedLocalSnapshot> updatedSnapshot(const Ref<VnRequestResult>& result) {
    auto snapshot = result ? result->returnValue().as<VnUpdatedLocalSnapshot>() : nullptr;
    return snapshot && snapshot->hasUpdated() ? snapshot : nullptr;
}

}  // namespace

// ---- A cover of the strip --------------------------------------------------------------------

std::unique_ptr<QWidget> ShopDetailBackIssueCollectionItemView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    viewCover = new ui::LayerView(view.get());
    viewCover->setGeometry(5, 5, 100, 135);
    auto* cover = new QLabel(viewCover);
    cover->setGeometry(0, 0, 100, 135);
    cover_ = QtImageView::make(cover);
    issueNameTextField = new QLabel(view.get());
    issueNameTextField->setFont(ui::thaiCapableFont(11));
    issueNameTextField->setGeometry(5, 145, 100, 28);
    issueNameTextField->setWordWrap(true);
    button = new QPushButton(view.get());
    button->setFlat(true);
    button->setStyleSheet("background: transparent; border: none");
    button->setGeometry(5, 5, 100, 135);
    QObject::connect(button, &QPushButton::clicked,
                     [weak = weakSelf<ShopDetailBackIssueCollectionItemView>()] {
                         if (auto item = weak.lock())
                             item->itemButton_Click(nullptr);
                     });
    return view;
}

void ShopDetailBackIssueCollectionItemView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    view();
    if (auto issue = representedObject().as<VnMagazineIssueInfo>()) {
        issueNameTextField->setText(objectText(issue->issueName()));
        cover_->setImageWithURL(issue->coverUrl_,
                                ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
    }
    viewCover->setLayerStyle(coverShadowStyle());
}

void ShopDetailBackIssueCollectionItemView::itemButton_Click(Ref<plat::Object>) {
    if (ui::CollectionView* grid = collectionView())
        plat::sendIfResponds(grid->delegate(), StoreListMessages::kBookIssueItemSelect,
                             self<ShopDetailBackIssueCollectionItemView>());
}

// ---- The row -----------------------------------------------------------------------------------

void ShopDetailByAuthorView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kCellIdentifier, [] {
        return ui::ViewController::create<ShopDetailBackIssueCollectionItemView>();
    });
}

void ShopDetailByAuthorView::awakeFromNib() {
    ui::ViewController::awakeFromNib();
    view();
    collectionView->setItemFactory([]() -> Ref<ui::CollectionViewItem> {
        if (auto item = ui::ResourceRegistry::shared().instantiate<ui::CollectionViewItem>(
                kStoryboard, kCellIdentifier))
            return item;
        return ui::ViewController::create<ShopDetailBackIssueCollectionItemView>();
    });
    collectionView->setDelegate(self());
}

std::unique_ptr<QWidget> ShopDetailByAuthorView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(760, 200);
    titleByAuthorTextField = new QLabel(view.get());
    titleByAuthorTextField->setFont(ui::thaiCapableFont(14));
    titleByAuthorTextField->setGeometry(20, 2, 400, 20);
    seeAllButton = new QPushButton(QString::fromUtf8("ดูทั้งหมด"), view.get());
    seeAllButton->setFont(ui::thaiCapableFont(12));
    seeAllButton->setGeometry(640, 0, 100, 22);
    seeAllButton->hide();
    QObject::connect(seeAllButton, &QPushButton::clicked,
                     [weak = weakSelf<ShopDetailByAuthorView>()] {
                         if (auto row = weak.lock())
                             row->seeAllButton_Click(nullptr);
                     });
    collectionView = new ui::CollectionView(view.get());
    collectionView->setGeometry(10, 22, 740, 178);
    collectionView->setScrollDirection(ui::CollectionView::ScrollDirection::Horizontal);
    collectionView->setSpacing(4);
    collectionView->setItemSize({ShopDetailBackIssueCollectionItemView::kWidth,
                                 ShopDetailBackIssueCollectionItemView::kHeight});
    return view;
}

void ShopDetailByAuthorView::setMagazineInfo(Ref<VnMagazineInfo> magazine) {
    magazineInfo_ = std::move(magazine);
    titleByAuthorTextField->setText(QString::fromUtf8("เล่มย้อนหลัง"));
    requestBackIssueUpdate(magazineInfo_, kLoadLimit);
}

void ShopDetailByAuthorView::setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item) {
    magazineIssueInfo_ = std::move(item);
    titleByAuthorTextField->setText(QString::fromUtf8("โดยผู้แต่งคนนี้"));
    ui::giveTextRoom(titleByAuthorTextField);
    seeAllButton->hide();
    if (magazineIssueInfo_ && magazineIssueInfo_->author_ &&
        !magazineIssueInfo_->author_->empty()) {
        requestBookIssueWithAuthor(*magazineIssueInfo_->author_);
    } else {
        // Without an author there is nothing related to show.
        dropRequest();
        show({});
    }
}

void ShopDetailByAuthorView::show(IssueList list) {
    shown_ = std::make_shared<const IssueList>(std::move(list));
    std::vector<plat::Value> content(shown_->begin(), shown_->end());
    collectionView->setContent(std::move(content));
}

void ShopDetailByAuthorView::reloadBackIssueView(const IssueList& issues) {
    IssueList ordered = issues;
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return a->issueDateSortingToken() > b->issueDateSortingToken();
    });
    seeAllButton->show();
    show(std::move(ordered));
}

void ShopDetailByAuthorView::reloadAuthorIssueView(const IssueList& books) {
    IssueList others;
    for (const auto& book : books)
        if (!magazineIssueInfo_ || book->code() != magazineIssueInfo_->code())
            others.push_back(book);
    std::stable_sort(others.begin(), others.end(),
                     [](const auto& a, const auto& b) { return a->sortIndex_ < b->sortIndex_; });
    show(std::move(others));
}

void ShopDetailByAuthorView::dropRequest() {
    if (reqMagazineIssueInfo_) {
        reqMagazineIssueInfo_->cancel();
        reqMagazineIssueInfo_.reset();
    }
}

void ShopDetailByAuthorView::requestBackIssueUpdate(const Ref<VnMagazineInfo>& magazine,
                                                    int limit) {
    const auto user = store_neighbours::activeUserContext();
    if (!magazine || !user)
        return;
    limitLoadBackIssue_ = limit;
    const auto domain = user->magazineIssueDomainWithMagazine(magazine);
    const VnIndexRange range{0, static_cast<uint64_t>(limitLoadBackIssue_)};
    const auto snapshot = domain->takeLocalSnapshotWithUpdateFlag(true, range);
    // The snapshot's list is never the list shown (that is an ordered copy of one).
    IssueList cached = issuesOf(snapshot->items());
    cached.resize(std::min(cached.size(), static_cast<size_t>(limitLoadBackIssue_)));
    reloadBackIssueView(cached);
    dropRequest();
    reqMagazineIssueInfo_ = domain->newDomainUpdatingRequest(snapshot);
    reqMagazineIssueInfo_->setUserInfo(plat::Value(magazine));
    reqMagazineIssueInfo_->setUpdateRange(range);
    reqMagazineIssueInfo_->startWithDelegate(self(), "magazineIssueInfoUpdate_");
}

void ShopDetailByAuthorView::magazineIssueInfoUpdate(Ref<plat::Object>,
                                                     Ref<VnRequestResult> result) {
    reqMagazineIssueInfo_.reset();
    if (const auto snapshot = updatedSnapshot(result)) {
        IssueList issues = issuesOf(snapshot->items());
        issues.resize(std::min(issues.size(), static_cast<size_t>(limitLoadBackIssue_)));
        reloadBackIssueView(issues);
    }
}

void ShopDetailByAuthorView::requestBookIssueWithAuthor(const std::string& author) {
    const auto user = store_neighbours::activeUserContext();
    if (!user)
        return;
    auto authorInfo = std::make_shared<VnAuthorInfo>();
    authorInfo->setFullName(author);
    const auto domain = user->bookDomainWithAuthor(authorInfo);
    const auto snapshot = domain->takeLocalSnapshot();
    reloadAuthorIssueView(issuesOf(snapshot->items()));
    dropRequest();
    reqMagazineIssueInfo_ = domain->newDomainUpdatingRequest(snapshot);
    reqMagazineIssueInfo_->startWithDelegate(self(), "bookAuthorIssueUpdate_");
}

void ShopDetailByAuthorView::bookAuthorIssueUpdate(Ref<plat::Object>, Ref<VnRequestResult> result) {
    reqMagazineIssueInfo_.reset();
    if (const auto snapshot = updatedSnapshot(result))
        reloadAuthorIssueView(issuesOf(snapshot->items()));
}

void ShopDetailByAuthorView::seeAllButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kByAuthorSeeAll,
                         self<ShopDetailByAuthorView>(), std::string());
}

void ShopDetailByAuthorView::bookIssueCollectionItemViewSelect(Ref<plat::Object> item) {
    auto cover = std::dynamic_pointer_cast<ui::CollectionViewItem>(item);
    auto issue = cover ? cover->representedObject().as<VnMagazineIssueInfo>() : nullptr;
    if (issue)
        plat::sendIfResponds(delegate_, ShopDetailMessages::kByAuthorSelectIssue,
                             self<ShopDetailByAuthorView>(), issue);
}
