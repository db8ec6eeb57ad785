// Bookmarks from the reader window: one a page name ("'4" for pages without names), titles of
// magazines and books, rows kept by the member's store across user contexts, the date written
// the same in any locale, editing, deleting, and choosing a row (also one beyond the pages).
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <clocale>

#include "ReaderTestSupport.h"
#include "app/reader/BookmarkViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "platform/core/DateFormatter.h"
#include "platform_ui/Controls.h"
#include "platform_ui/Popover.h"
#include "platform_ui/TableView.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"

using namespace reader_testing;

namespace {

std::vector<Ref<VnUserBookmarkData>> storedBookmarks(const Ref<MagazineIssueUIContext>& context) {
    return BookmarkViewController::activeBookmarkContext()->bookmarksForIssueInfo(
        context->context()->info());
}

BookmarkItemTableCell* cellAt(const Ref<BookmarkViewController>& panel, int row) {
    return dynamic_cast<BookmarkItemTableCell*>(panel->bookmarkTableView()->viewAtRow(row));
}

}  // namespace

using BookmarkPanelTest = ReaderTest;

TEST_F(BookmarkPanelTest, OneBookmarkAPageNameKeptEditedDeletedAndChosen) {
    addItem("RB01-0008", 8).withoutPageNames = true;
    addItem("RB02-0008", 8, true);
    auto window = ReaderWindowController::make();
    auto magazine = contextOf("RB01-0008");
    ASSERT_TRUE(magazine);
    window->openIssue(magazine, "RB", 0);
    const auto reader = window->readerViewController();
    reader->pdfPageViewType(0);

    // The fourth page, twice: one bookmark named "'4", titled "<magazine> | <issue>".
    reader->goToPage(3);
    window->addBookmarkToolbar_Click();
    window->addBookmarkToolbar_Click();
    auto rows = storedBookmarks(magazine);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->pageName(), "'4");
    EXPECT_EQ(rows[0]->pageIndex(), 3);
    EXPECT_EQ(rows[0]->title(), "Reader Times | Issue RB01-0008");
    reader->goToPage(6);
    window->addBookmarkToolbar_Click();
    // A bookmark stored for a page the issue does not have (an older issue of the same code).
    auto far = BookmarkViewController::activeBookmarkContext()->bookmarkWithIssueInfo(
        magazine->context()->info());
    far->setPageIndex(50);
    far->setPageName("far");
    far->setTitle("far");
    const plat::DateFormatter day("dd/MM/yyyy", plat::TimeZone::local());
    far->setCreateDate(day.dateFromString("05/03/2024"));
    BookmarkViewController::activeBookmarkContext()->addBookmark(far);

    // A book's title is its issue name alone.
    auto book = contextOf("RB02-0008");
    ASSERT_TRUE(book);
    auto bookWindow = ReaderWindowController::make();
    bookWindow->openIssue(book, "B", 2);
    bookWindow->addBookmarkToolbar_Click();
    ASSERT_EQ(storedBookmarks(book).size(), 1u);
    EXPECT_EQ(storedBookmarks(book)[0]->title(), "Issue RB02-0008");
    EXPECT_EQ(storedBookmarks(book)[0]->pageName(), "P2");  // in two-up, the spread 1-2
    bookWindow->close();

    // The rows survive a new store and user context on the same home; the issue is opened
    // again through them.
    GlobalService::releaseShared();
    magazine = contextOf("RB01-0008");
    ASSERT_TRUE(magazine);
    window->openIssue(magazine, "RB", 0);
    ASSERT_EQ(storedBookmarks(magazine).size(), 3u);

    // The panel, with the dates written alike in a Thai locale.
    std::setlocale(LC_ALL, "th_TH.UTF-8");
    QLocale::setDefault(QLocale(QLocale::Thai, QLocale::Thailand));
    window->bookmarkToolbar_Click();
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    const auto panel = window->bookmarkViewController();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(window->bookmarkPopover()->isShown());
    ASSERT_EQ(panel->numberOfRowsInTableView(), 3);
    spin(20);
    int farRow = -1;
    for (int row = 0; row < 3; ++row) {
        const auto* cell = cellAt(panel, row);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->issueNameTextField->text(), "Issue RB01-0008");
        if (cell->bookmarkData()->pageIndex() == 50) {
            farRow = row;
            EXPECT_EQ(cell->dateTextField->text(), "05/03/2024");
            EXPECT_TRUE(cell->thumbnailImageView->pixmap().isNull());  // no such page
        } else {
            EXPECT_FALSE(cell->thumbnailImageView->pixmap().isNull());
        }
    }
    ASSERT_GE(farRow, 0);

    // Cancel leaves the title; save shows and stores the new one; delete removes the row.
    auto* cell = cellAt(panel, 0);
    const QString title = cell->titleBookmarkTextField->text();
    cell->editButton->click();
    EXPECT_TRUE(cell->editView->isVisible());
    EXPECT_FALSE(cell->detailView->isVisible());
    EXPECT_EQ(cell->titleEditTextField->selectedText(), title);
    cell->titleEditTextField->setText("changed");
    cell->cancelButton->click();
    EXPECT_EQ(cell->titleBookmarkTextField->text(), title);
    EXPECT_TRUE(cell->detailView->isVisible());
    cell->editButton->click();
    cell->titleEditTextField->setText("สารบัญ");
    cell->saveButton->click();
    EXPECT_EQ(cellAt(panel, 0)->titleBookmarkTextField->text(), "สารบัญ");
    EXPECT_EQ(storedBookmarks(magazine)[0]->title(), "สารบัญ");
    cellAt(panel, 1)->deleteButton->click();
    EXPECT_EQ(panel->numberOfRowsInTableView(), 2);
    EXPECT_EQ(storedBookmarks(magazine).size(), 2u);

    // Choosing a row goes to its page (one beyond the pages to the last) and closes the panel.
    farRow = storedBookmarks(magazine)[0]->pageIndex() == 50 ? 0 : 1;
    panel->bookmarkTableView()->selectRow(farRow);
    EXPECT_EQ(reader->currentPageIndex(), 7);
    EXPECT_FALSE(window->bookmarkPopover()->isShown());
    window->bookmarkToolbar_Click();
    window->bookmarkViewController()->bookmarkTableView()->selectRow(1 - farRow);
    EXPECT_EQ(reader->currentPageIndex(), 3);
    EXPECT_FALSE(window->bookmarkPopover()->isShown());
    window->close();
}
