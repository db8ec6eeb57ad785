#pragma once
// BookmarkViewController: the bookmark list of the open issue, shown in a popover from the reader
// window's toolbar: 140-point rows of thumbnail, title, issue name, page name and date
// ("dd/MM/yyyy" whatever the locale). Choosing a row tells the delegate; an edited title is
// saved and a deleted bookmark removed from the active user's bookmark store, and the rows are
// read again from it. The thumbnails stay those given before the panel showed.
#include <QImage>
#include <map>
#include <memory>
#include <vector>

#include "app/reader/BookmarkItemTableCell.h"
#include "platform_ui/ViewController.h"

class BookmarkViewController;
class VnBookstoreUserBookmarkContext;
class VnMagazineIssueInfo;
namespace ui {
class TableView;
}

// What the panel tells its owner; the operation is optional.
class BookmarkViewControllerDelegate {
  public:
    virtual ~BookmarkViewControllerDelegate() = default;
    virtual void bookmarkView_bookmarkSelectItem(BookmarkViewController& controller,
                                                 const Ref<VnUserBookmarkData>& bookmark);
};

class BookmarkViewController : public ui::ViewController, public bookmarkItemTableCellDelegate {
    PLAT_CLASS(BookmarkViewController)
  public:
    static constexpr int kRowHeight = 140;

    BookmarkViewController();
    ~BookmarkViewController() override;

    // The bookmark store of the active user (null when there is none).
    static Ref<VnBookstoreUserBookmarkContext> activeBookmarkContext();

    void viewDidLoad() override;
    // Reads the rows again from the store and reloads the table.
    void reloadData();

    std::shared_ptr<BookmarkViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<BookmarkViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }
    const std::vector<Ref<VnUserBookmarkData>>& bookmarkArray() const { return bookmarkArray_; }
    void setBookmarkArray(std::vector<Ref<VnUserBookmarkData>> bookmarks);
    const Ref<VnMagazineIssueInfo>& issueInfo() const { return issueInfo_; }
    void setIssueInfo(const Ref<VnMagazineIssueInfo>& info) { issueInfo_ = info; }
    const std::map<int, QImage>& thumbnailBookmark() const { return thumbnailBookmark_; }
    void setThumbnailBookmark(std::map<int, QImage> thumbnails) {
        thumbnailBookmark_ = std::move(thumbnails);
    }
    ui::TableView* bookmarkTableView() const { return bookmarkTableView_; }

    // The table's data source and delegate.
    int numberOfRowsInTableView() const { return static_cast<int>(bookmarkArray_.size()); }
    QWidget* tableView_viewForRow(int row);
    void tableViewSelectionDidChange(int row);

    void bookmarkItemTableCell_editBookmarkData(BookmarkItemTableCell& cell,
                                                const Ref<VnUserBookmarkData>& bookmark) override;
    void bookmarkItemTableCell_deleteBookmarkData(BookmarkItemTableCell& cell,
                                                  const Ref<VnUserBookmarkData>& bookmark) override;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    std::weak_ptr<BookmarkViewControllerDelegate> delegate_;
    std::vector<Ref<VnUserBookmarkData>> bookmarkArray_;
    Ref<VnMagazineIssueInfo> issueInfo_;
    std::map<int, QImage> thumbnailBookmark_;
    ui::TableView* bookmarkTableView_ = nullptr;
};
