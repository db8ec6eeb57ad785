#include "app/store/search/SearchMainView.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/store/StoreMessages.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/StoreListSupport.h"
#include "app/store/search/SearchProtocols.h"
#include "platform/core/Log.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ConnectAction.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"

PLAT_DEFINE_CLASS(SearchMainView, ui::ViewController, [](auto& c) {
    using V = SearchMainView;
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kStartSearch, &V::startSearch)
        .method(StoreScreenMessages::kCancelSearch, &V::cancelSearch)
        .method("bookButton_Click:", &V::bookButton_Click)
        .method("magazineButton_Click:", &V::magazineButton_Click)
        .method("startSearchBook:", &V::startSearchBook)
        .method("startSearchMagazine:", &V::startSearchMagazine)
        .method("continueSearchBook:", &V::continueSearchBook)
        .method("continueSearchMagazine:", &V::continueSearchMagazine)
        .method(StoreListMessages::kBookCoverCellSelect, &V::bookCoverCollectionCellSelect)
        .method("btnBorder", &V::btnBorder)
        .method("bookSelected", &V::bookSelected)
        .method("bookUnselected", &V::bookUnselected)
        .method("magazineSelected", &V::magazineSelected)
        .method("magazineUnselected", &V::magazineUnselected)
        .method("bookInfoUpdate_request:didFinishWithResult:", &V::bookInfoUpdate)
        .method("bookInfoContinueUpdate_request:didFinishWithResult:", &V::bookInfoContinueUpdate)
        .method("magazineInfoUpdate_request:didFinishWithResult:", &V::magazineInfoUpdate)
        .method("magazineInfoContinueUpdate_request:didFinishWithResult:",
                &V::magazineInfoContinueUpdate);
})

namespace {

// Selected: red border and caption; not selected: light grey border, grey caption.
const QColor kSelectedColour = QColor::fromRgbF(1.0f, 0.231f, 0.188f);
const QColor kUnselectedBorder = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
const QColor kUnselectedCaption = QColor::fromRgbF(0.5f, 0.5f, 0.5f);

// Catalogue records of listed items: book and issue records, magazine records.
std::vector<plat::Value> recordsOf(const VnInfoList& items) {
    std::vector<plat::Value> out;
    for (const auto& item : items) {
        if (auto record = VnMagazineIssueInfoProxy::recordOf(item))
            out.push_back(plat::Value(record));
        else if (auto magazine = std::dynamic_pointer_cast<VnMagazineInfo>(item))
            out.push_back(plat::Value(magazine));
    }
    return out;
}

// The first `limit` items of a page, by sort index.
VnInfoList orderedPage(VnInfoList items, size_t limit) {
    if (items.size() > limit)
        items.resize(limit);
    return VnSortedBySortIndex(std::move(items));
}

// The layer look of a type button: width 1.0, corner radius 3.0, its border colour.
void applyBorder(QPushButton* button) {
    if (!button)
        return;
    const QColor colour = button->property("borderColour").value<QColor>();
    button->setStyleSheet(QString("QPushButton { border: 1px solid %1; border-radius: 3px; "
                                  "background: transparent; }")
                              .arg(colour.name()));
}

}  // namespace

SearchMainView::~SearchMainView() {
    store_lists::stopObserving(boundsObservation_);
}

void SearchMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier,
                                [] { return ui::ViewController::create<SearchMainView>(); });
}

std::string SearchMainView::resultText(const std::string& text, size_t count) {
    if (count == 0)
        return "ไม่พบ \"" + text + "\"";
    return "ค้นหา \"" + text + "\" พบจำนวน " + std::to_string(count);
}

std::unique_ptr<QWidget> SearchMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* layout = new QGridLayout(view.get());
    layout->setContentsMargins(12, 8, 12, 8);
    auto typeButton = [&view](const char* caption, QPointer<QPushButton>& button,
                              QPointer<QLabel>& text) {
        button = new QPushButton(view.get());
        button->setCheckable(true);
        button->setFixedSize(110, 28);
        text = new QLabel(QString::fromUtf8(caption), button);
        text->setFont(ui::thaiCapableFont(12));
        text->setAlignment(Qt::AlignCenter);
        text->setGeometry(0, 0, 110, 28);
        text->setAttribute(Qt::WA_TransparentForMouseEvents);
    };
    typeButton("หนังสือ", bookButton, bookText);
    typeButton("นิตยสาร", magazineButton, magazineText);
    resultSearchTextField = new QLabel(view.get());
    resultSearchTextField->setFont(ui::thaiCapableFont(14));
    layout->addWidget(resultSearchTextField, 0, 0);
    layout->addWidget(bookButton, 0, 1);
    layout->addWidget(magazineButton, 0, 2);
    layout->setColumnStretch(0, 1);
    collectionView = new ui::CollectionView(view.get());
    collectionView->setItemSize(
        {BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight});
    collectionView->setItemFactory(
        [] { return BookCoverCollectionCellView::makeFromStoryboard(); });
    layout->addWidget(collectionView, 1, 0, 1, 3);
    layout->setRowStretch(1, 1);
    const auto weak = weakSelf<SearchMainView>();
    ui::connectAction(bookButton, &QPushButton::clicked, weak, &SearchMainView::bookButton_Click);
    ui::connectAction(magazineButton, &QPushButton::clicked, weak,
                      &SearchMainView::magazineButton_Click);
    return view;
}

void SearchMainView::viewDidLoad() {
    search_protocols::searchMainViewDelegate();
    collectionView->setDelegate(self());
    bookSelected();
    magazineUnselected();
    bookButton_Click(nullptr);
    scrollView = collectionView.data();
    boundsObservation_ = store_lists::observeBounds(collectionView, weakSelf<SearchMainView>());
}

// ---- Searching -------------------------------------------------------------------------------

void SearchMainView::startSearch(std::string text) {
    keyword_ = std::move(text);
    if (keyword_.empty())
        return;
    if (isBook_)
        startSearchBook(keyword_);
    else
        startSearchMagazine(keyword_);
}

void SearchMainView::dropRequest() {
    if (searchRequest_) {
        searchRequest_->cancel();
        searchRequest_.reset();
    }
}

void SearchMainView::cancelSearch() {
    dropRequest();
}

void SearchMainView::bookButton_Click(Ref<plat::Object>) {
    chooseType(true);
}

void SearchMainView::magazineButton_Click(Ref<plat::Object>) {
    chooseType(false);
}

void SearchMainView::chooseType(bool books) {
    const bool changed = isBook_ != books;
    isBook_ = books;
    if (bookButton && magazineButton) {
        bookButton->setChecked(books);
        magazineButton->setChecked(!books);
    }
    if (books) {
        bookSelected();
        magazineUnselected();
    } else {
        magazineSelected();
        bookUnselected();
    }
    if (changed && !keyword_.empty())
        startFirstPage(books, keyword_);
}

void SearchMainView::startSearchBook(std::string text) {
    startFirstPage(true, std::move(text));
}

void SearchMainView::startSearchMagazine(std::string text) {
    startFirstPage(false, std::move(text));
}

void SearchMainView::startFirstPage(bool books, std::string text) {
    if (!store_lists::activeUserContext())
        return;
    (books ? book_ : magazine_) = TypeState{};
    currentTextSearch_ = text;
    dropRequest();
    plat::sendIfResponds(delegate_, StoreListMessages::kSearchStartLoading);
    searchPage(books, text, 0, books ? "bookInfoUpdate_" : "magazineInfoUpdate_");
}

void SearchMainView::searchPage(bool books, const std::string& text, int start,
                                const char* prefix) {
    const auto user = store_lists::activeUserContext();
    Ref<VnDomain> domain;
    if (books)
        domain = user->bookDomainWithSearchKeyword(text);
    else
        domain = user->magazineDomainWithSearchKeyword(text);
    // One request at a time, whatever its type.
    dropRequest();
    searchRequest_ = domain->newDomainUpdatingRequest(VnLocalSnapshot::empty());
    searchRequest_->setUpdateRange(
        {static_cast<uint64_t>(start), static_cast<uint64_t>(store_lists::pageLength())});
    searchRequest_->startWithDelegate(self(), prefix);
}

void SearchMainView::bookInfoUpdate(Ref<plat::Object>, Ref<VnRequestResult> result) {
    firstPageArrived(true, result);
}

void SearchMainView::magazineInfoUpdate(Ref<plat::Object>, Ref<VnRequestResult> result) {
    firstPageArrived(false, result);
}

void SearchMainView::firstPageArrived(bool books, const Ref<VnRequestResult>& result) {
    plat::sendIfResponds(delegate_, StoreListMessages::kSearchLoadComplete);
    if (result && result->succeed()) {
        const VnInfoList items = store_lists::deliveredItems(result).value_or(VnInfoList{});
        setResults(recordsOf(
            books ? orderedPage(items, static_cast<size_t>(store_lists::pageLength())) : items));
        if (resultSearchTextField)
            resultSearchTextField->setText(
                QString::fromStdString(resultText(currentTextSearch_, magazineIssueInfos_.size())));
    }
    (books ? book_ : magazine_).isUpdate = true;
}

void SearchMainView::continueSearchBook(std::string text) {
    continueSearch(true, text);
}

void SearchMainView::continueSearchMagazine(std::string text) {
    continueSearch(false, text);
}

void SearchMainView::continueSearch(bool books, const std::string& text) {
    TypeState& state = books ? book_ : magazine_;
    // Nothing was searched since an empty text: no page of an empty search is asked for.
    if (!state.isUpdate || text.empty() || !store_lists::activeUserContext())
        return;
    state.moreCount += 1;
    state.startRange = store_lists::pageLength() * state.moreCount;
    searchPage(books, text, state.startRange,
               books ? "bookInfoContinueUpdate_" : "magazineInfoContinueUpdate_");
    state.isUpdate = false;
}

void SearchMainView::bookInfoContinueUpdate(Ref<plat::Object>, Ref<VnRequestResult> result) {
    nextPageArrived(true, result);
}

void SearchMainView::magazineInfoContinueUpdate(Ref<plat::Object>, Ref<VnRequestResult> result) {
    nextPageArrived(false, result);
}

void SearchMainView::nextPageArrived(bool books, const Ref<VnRequestResult>& result) {
    TypeState& state = books ? book_ : magazine_;
    const VnInfoList items = store_lists::deliveredItems(result).value_or(VnInfoList{});
    if (items.empty()) {
        // An empty or failed page is asked for again by the next scroll to the bottom.
        state.moreCount -= 1;
    } else {
        auto results = magazineIssueInfos_;
        for (auto& record :
             recordsOf(orderedPage(items, static_cast<size_t>(store_lists::pageLength()))))
            results.push_back(std::move(record));
        setResults(std::move(results));
        if (resultSearchTextField)
            resultSearchTextField->setText(
                QString::fromStdString(resultText(currentTextSearch_, magazineIssueInfos_.size())));
    }
    state.isUpdate = true;
}

void SearchMainView::setResults(std::vector<plat::Value> results) {
    magazineIssueInfos_ = std::move(results);
    if (collectionView)
        collectionView->setContent(magazineIssueInfos_);
}

void SearchMainView::scrollViewDidScroll() {
    if (!store_lists::showsEnd(collectionView))
        return;
    if (isBook_)
        continueSearchBook(keyword_);
    else
        continueSearchMagazine(keyword_);
}

void SearchMainView::bookCoverCollectionCellSelect(Ref<plat::Object> sender) {
    plat::systemLog("Double clicked on icon: ShopInfo");
    const auto cell = std::dynamic_pointer_cast<BookCoverCollectionCellView>(sender);
    if (!cell)
        return;
    // The record's own class decides, whatever type the buttons show.
    if (auto issue = cell->magazineIssueInfo())
        plat::sendIfResponds(delegate_, StoreListMessages::kSearchSelectBookIssue,
                             self<SearchMainView>(), issue);
    else if (auto magazine = cell->magazineInfo())
        plat::sendIfResponds(delegate_, StoreListMessages::kSearchSelectMagazine,
                             self<SearchMainView>(), magazine);
}

// ---- The type buttons' look ------------------------------------------------------------------

void SearchMainView::btnBorder() {
    applyBorder(bookButton);
    applyBorder(magazineButton);
}

void SearchMainView::colour(QPushButton* button, QLabel* caption, bool selected) {
    btnBorder();
    if (!button || !caption)
        return;
    button->setProperty("borderColour", selected ? kSelectedColour : kUnselectedBorder);
    applyBorder(button);
    caption->setStyleSheet(
        QString("color: %1").arg((selected ? kSelectedColour : kUnselectedCaption).name()));
}

void SearchMainView::bookSelected() {
    colour(bookButton, bookText, true);
}

void SearchMainView::bookUnselected() {
    colour(bookButton, bookText, false);
}

void SearchMainView::magazineSelected() {
    colour(magazineButton, magazineText, true);
}

void SearchMainView::magazineUnselected() {
    colour(magazineButton, magazineText, false);
}
