#pragma once
// BookmarkItemTableCell: one row of the bookmark panel: the page's thumbnail, the bookmark's
// title, the issue name, the page name and the creation date, with edit and delete buttons; the
// edit part (a title editor with save and cancel) replaces the display part while editing.
#include <QWidget>
#include <memory>

#include "platform/core/Ref.h"

class QLabel;
class QPushButton;
class BookmarkItemTableCell;
class VnUserBookmarkData;
namespace ui {
class TextField;
}

// What a row tells its owner; both operations are optional.
class bookmarkItemTableCellDelegate {
  public:
    virtual ~bookmarkItemTableCellDelegate() = default;
    virtual void bookmarkItemTableCell_editBookmarkData(BookmarkItemTableCell& cell,
                                                        const Ref<VnUserBookmarkData>& bookmark);
    virtual void bookmarkItemTableCell_deleteBookmarkData(BookmarkItemTableCell& cell,
                                                          const Ref<VnUserBookmarkData>& bookmark);
};

class BookmarkItemTableCell : public QWidget {
  public:
    static constexpr const char* kIdentifier = "BookmarkCell";

    explicit BookmarkItemTableCell(QWidget* parent = nullptr);

    std::shared_ptr<bookmarkItemTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<bookmarkItemTableCellDelegate>& delegate) {
        delegate_ = delegate;
    }
    const Ref<VnUserBookmarkData>& bookmarkData() const { return bookmarkData_; }
    void setBookmarkData(const Ref<VnUserBookmarkData>& bookmark) { bookmarkData_ = bookmark; }

    // Outlets.
    QLabel* titleBookmarkTextField = nullptr;
    QLabel* pageNameTextField = nullptr;
    QLabel* issueNameTextField = nullptr;
    QLabel* dateTextField = nullptr;
    ui::TextField* titleEditTextField = nullptr;
    QWidget* detailView = nullptr;
    QWidget* editView = nullptr;
    QLabel* thumbnailImageView = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;

    // Actions.
    void editBookmark_Click();
    void saveEditBookmark_Click();
    void cancelEditBookmark_Click();
    void deleteBookmark_Click();

  private:
    void showEditor(bool editing);

    std::weak_ptr<bookmarkItemTableCellDelegate> delegate_;
    Ref<VnUserBookmarkData> bookmarkData_;
};
