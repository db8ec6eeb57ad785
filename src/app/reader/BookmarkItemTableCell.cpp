#include "app/reader/BookmarkItemTableCell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform_ui/Controls.h"
#include "vnlib/domain/storage/VnJsonData.h"

void bookmarkItemTableCellDelegate::bookmarkItemTableCell_editBookmarkData(
    BookmarkItemTableCell&, const Ref<VnUserBookmarkData>&) {}
void bookmarkItemTableCellDelegate::bookmarkItemTableCell_deleteBookmarkData(
    BookmarkItemTableCell&, const Ref<VnUserBookmarkData>&) {}

BookmarkItemTableCell::BookmarkItemTableCell(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    thumbnailImageView = new QLabel(this);
    thumbnailImageView->setFixedSize(90, 126);
    thumbnailImageView->setScaledContents(true);
    thumbnailImageView->setStyleSheet("background: #ddd;");
    row->addWidget(thumbnailImageView);

    auto* texts = new QVBoxLayout;
    row->addLayout(texts, 1);
    const auto label = [this](double points, bool bold) {
        auto* field = new QLabel(this);
        QFont font = ui::thaiCapableFont(points);
        font.setBold(bold);
        field->setFont(font);
        return field;
    };

    detailView = new QWidget(this);
    auto* detail = new QVBoxLayout(detailView);
    detail->setContentsMargins(0, 0, 0, 0);
    titleBookmarkTextField = label(14, true);
    titleBookmarkTextField->setParent(detailView);
    detail->addWidget(titleBookmarkTextField);
    auto* detailButtons = new QHBoxLayout;
    editButton = new QPushButton("Edit", detailView);
    deleteButton = new QPushButton("Delete", detailView);
    detailButtons->addWidget(editButton);
    detailButtons->addWidget(deleteButton);
    detailButtons->addStretch(1);
    detail->addLayout(detailButtons);
    texts->addWidget(detailView);

    editView = new QWidget(this);
    auto* edit = new QVBoxLayout(editView);
    edit->setContentsMargins(0, 0, 0, 0);
    titleEditTextField = new ui::TextField(editView);
    titleEditTextField->setFont(ui::thaiCapableFont(14));
    edit->addWidget(titleEditTextField);
    auto* editButtons = new QHBoxLayout;
    saveButton = new QPushButton("Save", editView);
    cancelButton = new QPushButton("Cancel", editView);
    editButtons->addWidget(saveButton);
    editButtons->addWidget(cancelButton);
    editButtons->addStretch(1);
    edit->addLayout(editButtons);
    texts->addWidget(editView);

    issueNameTextField = label(12, false);
    pageNameTextField = label(12, false);
    dateTextField = label(11, false);
    texts->addWidget(issueNameTextField);
    texts->addWidget(pageNameTextField);
    texts->addWidget(dateTextField);
    texts->addStretch(1);

    connect(editButton, &QPushButton::clicked, this, [this] { editBookmark_Click(); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { deleteBookmark_Click(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveEditBookmark_Click(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelEditBookmark_Click(); });
    showEditor(false);
}

void BookmarkItemTableCell::showEditor(bool editing) {
    titleEditTextField->setVisible(editing);
    editView->setVisible(editing);
    detailView->setVisible(!editing);
}

void BookmarkItemTableCell::editBookmark_Click() {
    titleEditTextField->setText(titleBookmarkTextField->text());
    titleEditTextField->selectAll();
    showEditor(true);
}

void BookmarkItemTableCell::saveEditBookmark_Click() {
    const QString title = titleEditTextField->text();
    titleBookmarkTextField->setText(title);
    if (bookmarkData_)
        bookmarkData_->setTitle(title.toStdString());
    showEditor(false);
    if (const auto delegate = delegate_.lock())
        delegate->bookmarkItemTableCell_editBookmarkData(*this, bookmarkData_);
}

void BookmarkItemTableCell::cancelEditBookmark_Click() {
    showEditor(false);
}

void BookmarkItemTableCell::deleteBookmark_Click() {
    if (const auto delegate = delegate_.lock())
        delegate->bookmarkItemTableCell_deleteBookmarkData(*this, bookmarkData_);
}
