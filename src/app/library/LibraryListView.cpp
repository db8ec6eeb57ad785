#include "app/library/LibraryListView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/library/IssueMetadataDownloader.h"
#include "app/library/LibraryAccess.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryMessages.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "app/library/LibraryTexts.h"
#include "app/services/AreaSeams.h"
#include "app/services/MainWindow.h"
#include "app/services/ReaderHandOver.h"
#include "platform/core/Log.h"
#include "platform_ui/Alert.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(LibraryShelfBookInfo, plat::Object, PLAT_NO_METHODS)

PLAT_DEFINE_CLASS(LibraryListView, ui::ViewController, [](auto& c) {
    using C = LibraryListView;
    c.method("libraryUpdate_request:didFinishWithResult:",
             &C::libraryUpdate_request_didFinishWithResult)
        .method("bookLibraryUpdate_request:didFinishWithResult:",
                &C::bookLibraryUpdate_request_didFinishWithResult)
        .method("libraryUpdate_request:progressReport:", &C::libraryUpdate_request_progressReport)
        .method("getIssueInfo_request:didFinishWithResult:",
                &C::getIssueInfo_request_didFinishWithResult)
        .method("returnReadBookNow_request:didFinishWithResult:",
                &C::returnReadBookNow_request_didFinishWithResult)
        .method("libraryBookCollectionCellSelect:", &C::libraryBookCollectionCellSelect)
        .method("libraryBookCollectionCellRemove:", &C::libraryBookCollectionCellRemove)
        .method("libraryBookCollectionCellDelete:", &C::libraryBookCollectionCellDelete)
        .method("libraryBookShelfCellStopDownload:", &C::libraryBookShelfCellStopDownload)
        .method(IssueDownloaderProgressSelector, &C::issueDownloader_metadataLoadingProgress)
        .method(IssueDownloaderDidFinishSelector,
                &C::issueDownloaderMetadataLoadingDidFinish_withResult)
        .method(ReaderHandOverDelegate::kWillClose, &C::readerWindowControllerWillClose);
})

namespace {

constexpr int kFormatPageImages = 1;

// A code that may name a local item: codes become folder names, so none that could leave the
// cache folder.
bool isSafeCode(const std::optional<std::string>& code) {
    return code && !code->empty() && *code != "." && *code != ".." &&
           code->find('/') == std::string::npos && code->find('\0') == std::string::npos;
}

bool sameCode(const Ref<VnMagazineIssueInfo>& a, const Ref<VnMagazineIssueInfo>& b) {
    return a && b && (a == b || (a->code() && b->code() && *a->code() == *b->code()));
}

LibraryListView::Items issueItems(const VnInfoList& infos) {
    LibraryListView::Items items;
    for (const auto& info : infos) {
        // Listed items are proxies of the catalogue records.
        if (auto item = VnMagazineIssueInfoProxy::recordOf(info))
            items.push_back(std::move(item));
    }
    return items;
}

// This shelf's part of the member's local library as the update found it when it began.
LibraryListView::Items libraryAtStart(const Ref<VnRequestContext>& request) {
    const auto update = std::dynamic_pointer_cast<VnDomainUpdatingRequest>(request);
    const auto& before = update ? update->previousSnapshot() : nullptr;
    return before ? issueItems(before->items()) : LibraryListView::Items{};
}

// The codes of the items (views into them).
std::unordered_set<std::string_view> codesOf(const LibraryListView::Items& items) {
    std::unordered_set<std::string_view> codes;
    codes.reserve(items.size());
    for (const auto& item : items) {
        if (item && item->code())
            codes.insert(*item->code());
    }
    return codes;
}

void append(LibraryListView::Items& to, const LibraryListView::Items& items) {
    to.insert(to.end(), items.begin(), items.end());
}

// The items, newest issue date first, those without a date (or with one that is not a number)
// last, in their order among equals. Sorted by their dates read once, not by the items.
LibraryListView::Items newestFirst(LibraryListView::Items items) {
    struct Key {
        bool undated;
        double newest;  // the date's seconds, negated
        uint32_t index;
        auto operator<=>(const Key&) const = default;
    };
    std::vector<Key> keys;
    keys.reserve(items.size());
    for (const auto& item : items) {
        const auto& date = item->issueDate();
        const bool dated = date && !std::isnan(date->seconds);
        keys.push_back({!dated, dated ? -date->seconds : 0.0, static_cast<uint32_t>(keys.size())});
    }
    if (std::is_sorted(keys.begin(), keys.end()))
        return items;
    std::sort(keys.begin(), keys.end());
    LibraryListView::Items ordered;
    ordered.reserve(items.size());
    for (const auto& key : keys)
        ordered.push_back(std::move(items[key.index]));
    return ordered;
}

}  // namespace

struct LibraryListView::Outlets {
    QPointer<ui::CollectionView> collectionView;
    QPointer<QLabel> titleTextField;
    QPointer<QPushButton> returnButton;
    QPointer<QPushButton> closeButton;
};

LibraryListView::LibraryListView()
    : ui::ViewController("LibraryListView"), outlets_(std::make_unique<Outlets>()) {}

LibraryListView::~LibraryListView() {
    if (metadataDownloader_)
        metadataDownloader_->cancelLoading();
}

void LibraryListView::awakeFromNib() {
    mode_ = 0;
}

std::unique_ptr<QWidget> LibraryListView::loadView() {
    Outlets& o = *outlets_;
    auto view = std::make_unique<QWidget>();
    view->setFont(ui::thaiCapableFont());
    view->resize(1024, kShelfHeight);
    auto* column = new QVBoxLayout(view.get());  // owned by the view
    column->setContentsMargins(10, 6, 10, 0);
    column->setSpacing(2);
    auto* bar = new QHBoxLayout();  // owned by the column
    column->addLayout(bar);
    o.titleTextField = new QLabel(view.get());
    o.titleTextField->setFont(ui::thaiCapableFont(16));
    bar->addWidget(o.titleTextField);
    bar->addStretch(1);
    const auto button = [&](const char* title, void (LibraryListView::*action)()) {
        auto* b = new QPushButton(QString::fromUtf8(title), view.get());  // owned by the view
        QObject::connect(b, &QPushButton::clicked, b, [weak = weakSelf<LibraryListView>(), action] {
            if (auto shelf = weak.lock())
                ((*shelf).*action)();
        });
        bar->addWidget(b);
        return b;
    };
    o.returnButton = button("คืนหนังสือ", &LibraryListView::returnButton_Click);
    o.closeButton = button("เสร็จสิ้น", &LibraryListView::closeButton_Click);

    o.collectionView = new ui::CollectionView(view.get());
    o.collectionView->setFrameShape(QFrame::NoFrame);
    o.collectionView->setItemSize(
        {LibraryBookShelfCollectionCellView::kWidth, LibraryBookShelfCollectionCellView::kHeight});
    o.collectionView->setItemFactory(
        [] { return LibraryBookShelfCollectionCellView::makeFromStoryboard(); });
    o.collectionView->setDelegate(self());
    column->addWidget(o.collectionView, 1);
    return view;
}

void LibraryListView::viewDidLoad() {
    if (outlets_->titleTextField)
        outlets_->titleTextField->setText(QString::fromStdString(titleLibrary_));
    bindContent(libraryIssueArray());
}

ui::CollectionView* LibraryListView::collectionView() const {
    return outlets_->collectionView;
}
QLabel* LibraryListView::titleTextField() const {
    return outlets_->titleTextField;
}
QPushButton* LibraryListView::returnButton() const {
    return outlets_->returnButton;
}
QPushButton* LibraryListView::closeButton() const {
    return outlets_->closeButton;
}

void LibraryListView::setTitleLibrary(std::string title) {
    titleLibrary_ = std::move(title);
    if (outlets_->titleTextField)
        outlets_->titleTextField->setText(QString::fromStdString(titleLibrary_));
}

void LibraryListView::setBookLibraryMode(bool bookMode) {
    isBookLibraryMode_ = bookMode;
    updatePresentationIssues();
}

// ---- Content --------------------------------------------------------------------------------

LibraryListView::ShelfItems LibraryListView::libraryIssueArray() {
    ShelfItems wrappers;
    const auto& items = isBookLibraryMode_ ? libraryBooks_ : libraryMagazines_;
    if (!items)
        return wrappers;
    wrappers.reserve(items->size());
    for (const auto& item : *items) {
        auto info = std::make_shared<LibraryShelfBookInfo>();
        info->isBook = isBookLibraryMode_;
        info->magazineIssueInfo = item;
        wrappers.push_back(std::move(info));
    }
    return wrappers;
}

void LibraryListView::bindContent(ShelfItems items) {
    content_ = std::move(items);
    showState();
    if (contentDidChange)
        contentDidChange();
}

void LibraryListView::showState() {
    Outlets& o = *outlets_;
    if (o.returnButton)
        o.returnButton->setHidden(returnButtonHidden_);
    if (o.closeButton)
        o.closeButton->setHidden(closeButtonHidden_);
    if (!o.collectionView)
        return;
    std::vector<plat::Value> values;
    values.reserve(content_.size());
    for (const auto& info : content_)
        values.emplace_back(info);
    o.collectionView->setContent(std::move(values));
}

void LibraryListView::setMagazineIssueInfos(const Items& infos) {
    if (&infos == &magIssueInfos_)
        return;
    updateIssueInfos(infos);
}

void LibraryListView::updateIssueInfos(Items infos) {
    std::erase(infos, nullptr);
    magIssueInfos_ = newestFirst(std::move(infos));
    Items books;
    Items magazines;
    books.reserve(magIssueInfos_.size());
    for (const auto& info : magIssueInfos_)
        (info->bookKind() == 1 ? books : magazines).push_back(info);
    libraryBooks_ = std::move(books);
    libraryMagazines_ = std::move(magazines);
    bindContent(libraryIssueArray());
}

void LibraryListView::updatePresentationIssues() {
    if (libraryBooks_ || libraryMagazines_)
        return;
    const auto user = libraryActiveUser();
    if (!user)
        return;
    Items items;
    if (const auto& domain = user->bookLibraryDomain())
        append(items, issueItems(domain->takeLocalSnapshot()->items()));
    if (const auto& domain = user->libraryDomain())
        append(items, issueItems(domain->takeLocalSnapshot()->items()));
    updateIssueInfos(items);
}

// ---- Refresh --------------------------------------------------------------------------------

void LibraryListView::updateLibraryForceUpdate(bool force, bool) {
    auto& running = isBookLibraryMode_ ? booksRequest_ : magazineIssuesRequest_;
    if (running && (!force || running->forceUpdate()))
        return;
    if (running && !isBookLibraryMode_) {
        running->cancel();
        running.reset();
    }
    const auto user = libraryActiveUser();
    if (!user)
        return;
    const auto& domain = isBookLibraryMode_ ? user->bookLibraryDomain() : user->libraryDomain();
    if (!domain)
        return;
    auto request = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
    if (!request)
        return;
    request->setItemUpdateDelegate(self());
    request->setForceUpdate(force);
    // A replaced book update goes on and still reports; it is cancelled when a loan is taken.
    if (running)
        replacedBookUpdates_.push_back(running);
    running = request;
    request->startWithDelegateUsingPrefixFromDidFinishSelector(
        self(), isBookLibraryMode_ ? "bookLibraryUpdate_request:didFinishWithResult:"
                                   : "libraryUpdate_request:didFinishWithResult:");
}

void LibraryListView::cancelLoading() {
    releaseDownloadingIssue();
}

void LibraryListView::reloadForAnotherMember() {
    cancelLoading();
    if (auto update = std::move(isBookLibraryMode_ ? booksRequest_ : magazineIssuesRequest_))
        update->cancel();
    replacedBookUpdates_.clear();
    if (auto state = std::move(getIssueInfoRequest_))
        state->cancel();
    // The lists of the member who left go with that member. Kept, an answer about the member now
    // signed in would take them for items no longer lent and remove them, with their files (an
    // item's folder serves every member). The shelf shows what the member now signed in keeps,
    // then updates.
    magIssueInfos_.clear();
    libraryBooks_.reset();
    libraryMagazines_.reset();
    updatePresentationIssues();
    if (!libraryBooks_)
        bindContent(libraryIssueArray());  // nobody to ask: an empty shelf
    updateLibraryForceUpdate(true);
}

void LibraryListView::loanTaken() {
    // What was asked before leaves the new loan out: the list of an update begun before may not
    // hold it, and a question names only the codes of its list, so its answer would take the
    // loan for one no longer lent. All of it is cancelled: the next refresh starts whatever their
    // force, and asks for the list afresh rather than sharing one asked before.
    if (auto update = std::move(isBookLibraryMode_ ? booksRequest_ : magazineIssuesRequest_))
        update->cancel();
    for (const auto& replaced : std::exchange(replacedBookUpdates_, {})) {
        if (const auto update = replaced.lock())
            update->cancel();
    }
    if (auto state = std::move(getIssueInfoRequest_))
        state->cancel();
}

bool LibraryListView::updateOfActiveMember(const Ref<VnRequestContext>& request) const {
    const auto update = std::dynamic_pointer_cast<VnDomainUpdatingRequest>(request);
    const auto user = libraryActiveUser();
    return update && user &&
           update->domain() ==
               (isBookLibraryMode_ ? user->bookLibraryDomain() : user->libraryDomain());
}

void LibraryListView::libraryUpdate_request_didFinishWithResult(
    const Ref<VnRequestContext>& request, const Ref<VnRequestResult>& result) {
    const auto keep = self<LibraryListView>();
    // An update of an earlier member lists that member's magazines, and the question after it
    // removes only what the library held when the update began: it must be this member's.
    const auto snapshot = result && result->succeed() && updateOfActiveMember(request)
                              ? result->returnValue().as<VnLocalSnapshot>()
                              : nullptr;
    if (snapshot) {
        const auto user = libraryActiveUser();
        // The interim content keeps the magazines the update brought, until the service says
        // which are still lent.
        Items interim = libraryBooks_.value_or(Items{});
        append(interim, issueItems(snapshot->items()));
        if (user)
            append(interim, user->bookSamples());
        setMagazineIssueInfos(interim);
        getLibraryIssueInfos(issueItems(snapshot->items()), libraryAtStart(request));
    }
    if (magazineIssuesRequest_ == request)
        magazineIssuesRequest_.reset();
}

void LibraryListView::bookLibraryUpdate_request_didFinishWithResult(
    const Ref<VnRequestContext>& request, const Ref<VnRequestResult>& result) {
    const auto keep = self<LibraryListView>();
    // A replaced update is not cancelled, so one begun for an earlier member may finish after
    // another signed in: its list would take this member's books off the shelf and out of the
    // local library (the library state is asked of the member now signed in).
    const auto snapshot = result && result->succeed() && updateOfActiveMember(request)
                              ? result->returnValue().as<VnLocalSnapshot>()
                              : nullptr;
    if (snapshot)
        getLibraryIssueInfos(issueItems(snapshot->items()), libraryAtStart(request));
    // A replaced update still reports here; only the running one's reference is cleared.
    if (booksRequest_ == request)
        booksRequest_.reset();
    std::erase_if(replacedBookUpdates_,
                  [&](const auto& update) { return update.expired() || update.lock() == request; });
}

void LibraryListView::getLibraryIssueInfos(const Items& items) {
    // No update behind the question: the library as it stands, and nothing dropped from it.
    const auto user = libraryActiveUser();
    if (!user)
        return;
    const auto& domain = isBookLibraryMode_ ? user->bookLibraryDomain() : user->libraryDomain();
    askLibraryState(items, domain ? issueItems(domain->takeLocalSnapshot()->items()) : Items{}, {});
}

void LibraryListView::getLibraryIssueInfos(const Items& items, Items before) {
    // The update took out of the member's library what the service no longer lists in it (a loan
    // ended elsewhere or on the service's clock): the shelf no longer lists it, and the question
    // does not name it, yet its files are still on disk.
    const auto asked = codesOf(items);
    Items dropped;
    for (const auto& item : before) {
        if (item->code() && asked.count(*item->code()) == 0)
            dropped.push_back(item);
    }
    askLibraryState(items, std::move(before), std::move(dropped));
}

void LibraryListView::askLibraryState(const Items& items, Items held, Items dropped) {
    const auto user = libraryActiveUser();
    if (!user)
        return;
    std::vector<plat::Value> codes;
    for (const auto& item : items) {
        if (item && item->code())
            codes.emplace_back(*item->code());
    }
    // What an earlier update dropped, asked about with no answer (it failed, or the question gave
    // way to a later one), is still to go: no later update finds it in the library again. Not
    // what the question names now (lent again).
    if (stateMember_.lock() == user) {
        const auto asked = codesOf(items);
        auto known = codesOf(dropped);
        for (const auto& item : stateDropped_) {
            if (asked.count(*item->code()) == 0 && known.insert(*item->code()).second)
                dropped.push_back(item);
        }
    }
    getIssueInfoRequest_ = user->requestForGetLibraryIssueInfo(plat::Array::make(std::move(codes)));
    stateMember_ = user;
    stateHeld_ = std::move(held);
    stateDropped_ = std::move(dropped);
    if (getIssueInfoRequest_)
        getIssueInfoRequest_->startWithDelegate(self(), "getIssueInfo_");
}

void LibraryListView::getIssueInfo_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                               const Ref<VnRequestResult>& result) {
    const auto keep = self<LibraryListView>();
    // Only the answer to the last question counts: an earlier one names only the codes of an
    // earlier list. (Those asked before another member signed in or a loan was taken are
    // cancelled.)
    if (!request || request != getIssueInfoRequest_)
        return;
    auto records = recordsOf<VnMagazineIssueInfo>(result);
    // The member asked, while signed in.
    const auto user = stateMember_.lock();
    if (records && user && user == libraryActiveUser()) {
        Items readNow;
        Items others;
        others.reserve(records->size());
        for (auto& info : *records) {
            if (isSafeCode(info->code()))
                (info->asReadNow_ ? readNow : others).push_back(std::move(info));
        }
        // Every code the service lists (all of them safe, so none empty), held by the records.
        std::unordered_set<std::string_view> listedCodes;
        listedCodes.reserve(others.size());
        for (const auto& other : others)
            listedCodes.insert(*other->code());
        const auto listed = [&](const Ref<VnMagazineIssueInfo>& local) {
            return local->code() && listedCodes.count(*local->code()) > 0;
        };
        // What the updates dropped is decided by this answer.
        const Items dropped = std::exchange(stateDropped_, {});
        // Only what the member's own local library held when the update began: the item's
        // folder serves every member. (The update has already taken the loans that ended out of
        // the library.)
        auto heldCodes = codesOf(stateHeld_);
        heldCodes.merge(codesOf(dropped));
        Items removals;
        std::unordered_set<std::string_view> removed;
        const auto consider = [&](const Ref<VnMagazineIssueInfo>& local) {
            // A book the service lists stays unless the shelf's own record of it is a sample
            // taken on the service.
            const bool stays = listed(local) && !(isBookLibraryMode_ && local->isGetSample_);
            if (!stays && !local->isSample_ && isSafeCode(local->code()) &&
                heldCodes.count(*local->code()) > 0 && removed.insert(*local->code()).second)
                removals.push_back(local);
        };
        if (const auto& shown = isBookLibraryMode_ ? libraryBooks_ : libraryMagazines_) {
            for (const auto& item : *shown)
                consider(item);
        }
        // A list of the member's may drop what another of them still holds (the page list of a
        // book's opening is kept through the magazine list): that loan has not ended.
        for (const auto& item : dropped) {
            if (!user->hasIssueInLibrary(item))
                consider(item);
        }
        for (const auto& item : removals)
            user->removeBookFromLocalLibrary(item);
        Items content = isBookLibraryMode_ ? libraryMagazines_.value_or(Items{})
                                           : libraryBooks_.value_or(Items{});
        const Items samples = isBookLibraryMode_ ? user->bookSamples() : Items{};
        content.reserve(content.size() + others.size() + samples.size());
        std::move(others.begin(), others.end(), std::back_inserter(content));
        append(content, samples);
        // The new content is bound here, so the grid is filled once.
        updateIssueInfos(std::move(content));
        for (const auto& item : readNow)
            returnReadBookNow(item);
        return;
    }
    bindContent(libraryIssueArray());
}

void LibraryListView::returnReadBookNow(const Ref<VnMagazineIssueInfo>& item) {
    const auto user = libraryActiveUser();
    if (!user || !item)
        return;
    auto request = user->requestForReturnBook(item);
    if (!request)
        return;
    request->setUserInfo(plat::Value(item));
    request->startWithDelegate(self(), "returnReadBookNow_");
}

void LibraryListView::returnReadBookNow_request_didFinishWithResult(
    const Ref<VnRequestContext>& request, const Ref<VnRequestResult>& result) {
    const auto keep = self<LibraryListView>();
    plat::sendIfResponds(libraryDelegate_, LibraryShelfMessages::kLoadComplete, self());
    const auto answer =
        result && result->succeed() ? result->returnValue().as<VnCommonBoolReturnValue>() : nullptr;
    if (!answer || !answer->isSuccess())
        return;
    const auto item = request ? request->userInfo().as<VnMagazineIssueInfo>() : nullptr;
    const auto user = libraryActiveUser();
    if (item && user && isSafeCode(item->code()))
        user->removeBookFromLocalLibrary(item);
    updatePresentationIssues();
    updateLibrary();
}

// ---- Return mode ----------------------------------------------------------------------------

void LibraryListView::returnButton_Click() {
    mode_ = 1;
    returnButtonHidden_ = true;
    closeButtonHidden_ = false;
    auto items = libraryIssueArray();
    for (const auto& item : items)
        item->removeMode = true;
    bindContent(std::move(items));
}

void LibraryListView::closeButton_Click() {
    mode_ = 0;
    closeButtonHidden_ = true;
    returnButtonHidden_ = false;
    bindContent(libraryIssueArray());
}

// ---- Cells ----------------------------------------------------------------------------------

void LibraryListView::libraryBookCollectionCellSelect(const Ref<plat::Object>& object) {
    plat::systemLog("Library book cover click");
    const auto cell = std::dynamic_pointer_cast<LibraryShelfCell>(object);
    const auto item = cell ? cell->magazienIssueInfo() : nullptr;
    if (!item)
        return;
    currentCell_ = cell;
    clickedItem_ = item;
    displayLibraryItem(item);
}

void LibraryListView::libraryBookCollectionCellRemove(const Ref<plat::Object>& object) {
    plat::systemLog("Library book cover Remove click");
    const auto cell = std::dynamic_pointer_cast<LibraryShelfCell>(object);
    const auto item = cell ? cell->magazienIssueInfo() : nullptr;
    if (!item)
        return;
    plat::sendIfResponds(libraryDelegate_, LibraryShelfMessages::kStartLoading, self());
    returnReadBookNow(item);
}

void LibraryListView::libraryBookCollectionCellDelete(const Ref<plat::Object>& object) {
    const auto cell = std::dynamic_pointer_cast<LibraryShelfCell>(object);
    const auto item = cell ? cell->magazienIssueInfo() : nullptr;
    const auto user = libraryActiveUser();
    if (!item || !user)
        return;
    if (isSafeCode(item->code()))
        user->deleteBookSample(item);
    updatePresentationIssues();
    updateLibrary();
}

void LibraryListView::libraryBookShelfCellStopDownload(const Ref<plat::Object>& object) {
    const auto cell = std::dynamic_pointer_cast<LibraryShelfCell>(object);
    const auto item = cell ? cell->magazienIssueInfo() : nullptr;
    const auto downloading = metadataDownloader_ ? metadataDownloader_->issueInfo() : nullptr;
    if (!item || !sameCode(item, downloading))
        return;
    cell->setDownloadMode(false);
    releaseDownloadingIssue();
}

// ---- Opening --------------------------------------------------------------------------------

void LibraryListView::displayLibraryItem(const Ref<VnMagazineIssueInfo>& item) {
    displayLibraryItem_checkReachability(item, true);
}

void LibraryListView::displayLibraryItem_checkReachability(const Ref<VnMagazineIssueInfo>& item,
                                                           bool) {
    if (!item)
        return;
    const bool current = downloadingIssueInfoMetadata(item) ||
                         (downloadingIssueUIContext_ && downloadingIssueUIContext_->context() &&
                          downloadingIssueUIContext_->context()->info() == item);
    // An opening from before the item's return loads nothing more, and one made for the member's
    // sample of an item now lent reads the sample's page list: the loan opens anew.
    const auto opened = downloadingIssueUIContext_ ? downloadingIssueUIContext_
                        : metadataDownloader_      ? metadataDownloader_->issueContext()
                                                   : nullptr;
    const auto openedIssue = opened ? opened->context() : nullptr;
    const bool outdated =
        openedIssue && (openedIssue->itemReturned() || openedIssue->sampleEnded());
    if (current && !outdated) {
        // An issue shown before (its reader since closed) opens again as it is; one still on its
        // way shows once its first page is in.
        if (downloadingIssueUIContext_ || currentDownloadingIssueReadyForDisplay())
            displayCurrentDownloadingIssue();
        return;
    }
    releaseDownloadingIssue();
    startDownloadingIssue(item);
}

bool LibraryListView::displayLibraryItem_whenNotShown(const Ref<VnMagazineIssueInfo>& item,
                                                      std::function<void()> whenNotShown) {
    awaitedOpening_.reset();
    whenAwaitedOpeningNotShown_ = nullptr;
    displayLibraryItem(item);
    if (!item)
        return false;
    // Shown, now or before: nothing is under way.
    if (const auto shown = downloadingIssueUIContext_)
        return reader_ && reader_->showsIssue(shown);
    if (!downloadingIssueInfoMetadata(item))
        return false;
    awaitedOpening_ = metadataDownloader_;
    whenAwaitedOpeningNotShown_ = std::move(whenNotShown);
    return true;
}

bool LibraryListView::readerOpens(const VnMagazineIssueInfo& item) {
    return item.defaultFormat() == kFormatPageImages;
}

bool LibraryListView::downloadingIssueInfoMetadata(const Ref<VnMagazineIssueInfo>& item) const {
    return metadataDownloader_ && item && metadataDownloader_->issueInfo() == item;
}

bool LibraryListView::currentDownloadingIssueReadyForDisplay() const {
    if (metadataDownloader_)
        return metadataDownloader_->isReadyForDisplay();
    return downloadingIssueUIContext_ != nullptr;
}

void LibraryListView::releaseDownloadingIssue() {
    if (auto context = std::move(downloadingIssueUIContext_))
        context->cancelLoading();
    if (auto downloader = std::move(metadataDownloader_))
        downloader->cancelLoading();
}

void LibraryListView::startDownloadingIssue(const Ref<VnMagazineIssueInfo>& item) {
    if (!item)
        return;
    // One that offers EPUB opens as EPUB, which the reader cannot show. The member is told,
    // rather than a borrow ending in nothing.
    if (readerOpens(*item)) {
        startDownloadingPDFIssue(item);
        return;
    }
    plat::systemLog("The reader cannot open the format of " + item->code().value_or(""));
    ui::Alert::shared().runModal(nullptr, kUnreadableFormatText, "");
}

void LibraryListView::startDownloadingPDFIssue(const Ref<VnMagazineIssueInfo>& item) {
    const auto user = libraryActiveUser();
    const auto issue = user ? user->magazineIssueContextWithInfo(item) : nullptr;
    if (!issue)
        return;
    const auto ui = MagazineIssueUIContext::initWithContext<MagazineIssueUIContext>(issue);
    startDownloadWithDownloader(PdfIssueMetadataDownloader::initWithPdfMagazineIssueUIContext(ui));
}

void LibraryListView::startDownloadWithDownloader(const Ref<IssueMetadataDownloader>& downloader) {
    if (auto previous = std::move(metadataDownloader_))
        previous->cancelLoading();
    metadataDownloader_ = downloader;
    if (!downloader)
        return;
    downloader->setDelegate(self());
    downloader->startLoading();
}

Ref<LibraryShelfCell> LibraryListView::downloadingCell() {
    Ref<VnMagazineIssueInfo> downloading;
    if (metadataDownloader_)
        downloading = metadataDownloader_->issueInfo();
    else if (downloadingIssueUIContext_ && downloadingIssueUIContext_->context())
        downloading = downloadingIssueUIContext_->context()->info();
    const auto cell = currentCell_.lock();
    if (cell && cell->isOnScreen() && sameCode(cell->magazienIssueInfo(), downloading))
        return cell;
    // The grid reuses its cells: after a reload or a scroll the clicked item may show in another
    // cell, or in none on screen.
    if (!outlets_->collectionView || !sameCode(clickedItem_, downloading))
        return nullptr;
    for (size_t i = 0; i < content_.size(); ++i) {
        if (!sameCode(content_[i]->magazineIssueInfo, downloading))
            continue;
        auto shown = std::dynamic_pointer_cast<LibraryShelfCell>(
            outlets_->collectionView->itemAtIndex(static_cast<int>(i)));
        if (shown && shown->isOnScreen()) {
            currentCell_ = shown;
            return shown;
        }
    }
    return nullptr;
}

void LibraryListView::issueDownloader_metadataLoadingProgress(
    const Ref<IssueMetadataDownloader>& downloader, VnRequestProgress progress) {
    plat::systemLog(plat::format("***** %f", static_cast<double>(progress.completed)));
    if (downloader != metadataDownloader_)
        return;
    if (const auto cell = downloadingCell()) {
        cell->setDownloadMode(true);
        // The bar runs to 100 whatever unit the report counts in. A report that gives no figure
        // (a total that is zero, infinite or no number, or a completed amount that is no number)
        // leaves the bar where it is.
        const double total = progress.total;
        const double share = std::isfinite(total) && total > 0 ? progress.completed / total : NAN;
        if (!std::isnan(share))
            cell->setDownloadProgressValue(std::clamp(share, 0.0, 1.0) * 100);
    }
}

void LibraryListView::issueDownloaderMetadataLoadingDidFinish_withResult(
    const Ref<IssueMetadataDownloader>& downloader, const Ref<VnRequestResult>& result) {
    const auto keep = self<LibraryListView>();
    if (downloader != metadataDownloader_)
        return;
    std::function<void()> whenNotShown;
    if (awaitedOpening_.lock() == downloader)
        whenNotShown = std::move(whenAwaitedOpeningNotShown_);
    awaitedOpening_.reset();
    whenAwaitedOpeningNotShown_ = nullptr;
    if (const auto cell = downloadingCell())
        cell->setDownloadMode(false);
    if (!result || !result->succeed()) {
        // Nothing to read: free the slot so that the next click starts afresh.
        releaseDownloadingIssue();
        ui::Alert::shared().runModal(nullptr, kConnectionErrorText, "");
        if (whenNotShown)
            whenNotShown();
        return;
    }
    // The reader may show the issue already (opened again while its first page was checked):
    // the member stays on the page turned to.
    const auto opened =
        downloadingIssueUIContext_ ? downloadingIssueUIContext_ : downloader->issueContext();
    if (opened && reader_ && reader_->showsIssue(opened))
        return;
    displayCurrentDownloadingIssuePDF();
}

void LibraryListView::displayCurrentDownloadingIssue() {
    displayCurrentDownloadingIssuePDF();
}

void LibraryListView::displayCurrentDownloadingIssuePDF() {
    if (!downloadingIssueUIContext_ && metadataDownloader_)
        downloadingIssueUIContext_ = metadataDownloader_->issueContext();
    const auto ui = downloadingIssueUIContext_;
    if (!ui)
        return;
    if (!reader_) {
        plat::systemLog("No reader window: the issue is not shown");
        return;
    }
    reader_->setDelegate(self());
    const int32_t last = std::max(0, ui->presentationPageCount() - 1);
    const int32_t page = std::clamp(ui->userLastViewedPageIndex(), 0, last);
    reader_->openIssue(ui, ui->readerCaptionText(), page);
    setMainWindowVisible(false);
}

void LibraryListView::readerWindowControllerWillClose() {
    setMainWindowVisible(true);
}

void LibraryListView::setMainWindowVisible(bool visible) {
    const auto window = AreaSeams::shared().get<MainWindow>();
    if (window && visible)
        window->show();
    else if (window)
        window->hide();
}
