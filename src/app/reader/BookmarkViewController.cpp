#include "app/reader/BookmarkViewController.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/services/GlobalService.h"
#include "platform/core/DateFormatter.h"
#include "platform_ui/TableView.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(BookmarkViewController, ui::ViewController, [](auto&) {})

void BookmarkViewControllerDelegate::bookmarkView_bookmarkSelectItem(
    BookmarkViewController&, const Ref<VnUserBookmarkData>&) {}

BookmarkViewController::BookmarkViewController() = default;
BookmarkViewController::~BookmarkViewController() = default;

Ref<VnBookstoreUserBookmarkContext> BookmarkViewController::activeBookmarkContext() {
    const auto store = GlobalService::globalShared()->storeContext();
    const auto user = store ? store->activeUserContext() : nullptr;
    return user ? user->userBookmarkContext() : nullptr;
}

std::unique_ptr<QWidget> BookmarkViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(420, 3 * kRowHeight + 20);
    auto* layout = new QVBoxLayout(view.get());
    layout->setContentsMargins(0, 0, 0, 0);
    bookmarkTableView_ = new ui::TableView(view.get());
    layout->addWidget(bookmarkTableView_);
    return view;
}

void BookmarkViewController::viewDidLoad() {
    bookmarkTableView_->selectionDidChange = [this](int row) { tableViewSelectionDidChange(row); };
    bookmarkTableView_->setRowHeight(kRowHeight);
    bookmarkTableView_->setDataSource(
        {[this](ui::TableView&) { return numberOfRowsInTableView(); },
         [this](ui::TableView&, int row) { return tableView_viewForRow(row); },
         [](ui::TableView&, int) { return kRowHeight; }});
}

void BookmarkViewController::setBookmarkArray(std::vector<Ref<VnUserBookmarkData>> bookmarks) {
    bookmarkArray_ = std::move(bookmarks);
    if (bookmarkTableView_)
        bookmarkTableView_->reloadData();
}

void BookmarkViewController::reloadData() {
    const auto store = activeBookmarkContext();
    bookmarkArray_ = store && issueInfo_ ? store->bookmarksForIssueInfo(issueInfo_)
                                         : std::vector<Ref<VnUserBookmarkData>>{};
    if (bookmarkTableView_)
        bookmarkTableView_->reloadData();
}

QWidget* BookmarkViewController::tableView_viewForRow(int row) {
    if (row < 0 || static_cast<size_t>(row) >= bookmarkArray_.size() || !bookmarkTableView_)
        return nullptr;
    const Ref<VnUserBookmarkData>& bookmark = bookmarkArray_[static_cast<size_t>(row)];
    auto* cell = static_cast<BookmarkItemTableCell*>(
        bookmarkTableView_->makeView(BookmarkItemTableCell::kIdentifier));
    if (!cell) {
        cell = new BookmarkItemTableCell(bookmarkTableView_->viewport());
        ui::TableView::setIdentifier(cell, BookmarkItemTableCell::kIdentifier);
    }
    cell->setBookmarkData(bookmark);
    cell->titleBookmarkTextField->setText(QString::fromStdString(bookmark->title().value_or("")));
    cell->issueNameTextField->setText(QString::fromStdString(
        issueInfo_ && issueInfo_->issueName() ? *issueInfo_->issueName() : ""));
    cell->pageNameTextField->setText(QString::fromStdString(bookmark->pageName().value_or("")));
    const auto thumbnail = thumbnailBookmark_.find(bookmark->pageIndex());
    cell->thumbnailImageView->setPixmap(
        thumbnail == thumbnailBookmark_.end() ? QPixmap() : QPixmap::fromImage(thumbnail->second));
    const plat::DateFormatter formatter("dd/MM/yyyy", plat::TimeZone::local());
    const auto date = bookmark->createDate();
    cell->dateTextField->setText(date ? QString::fromStdString(formatter.stringFromDate(*date))
                                      : QString());
    cell->setDelegate(std::dynamic_pointer_cast<bookmarkItemTableCellDelegate>(self()));
    return cell;
}

void BookmarkViewController::tableViewSelectionDidChange(int row) {
    if (row < 0 || static_cast<size_t>(row) >= bookmarkArray_.size())
        return;
    if (const auto delegate = delegate_.lock())
        delegate->bookmarkView_bookmarkSelectItem(*this, bookmarkArray_[static_cast<size_t>(row)]);
}

void BookmarkViewController::bookmarkItemTableCell_editBookmarkData(
    BookmarkItemTableCell&, const Ref<VnUserBookmarkData>&) {
    if (const auto store = activeBookmarkContext())
        store->persistBookmarks();
    reloadData();
}

void BookmarkViewController::bookmarkItemTableCell_deleteBookmarkData(
    BookmarkItemTableCell&, const Ref<VnUserBookmarkData>& bookmark) {
    if (const auto store = activeBookmarkContext(); store && bookmark)
        store->removeBookmark(bookmark);
    reloadData();
}
