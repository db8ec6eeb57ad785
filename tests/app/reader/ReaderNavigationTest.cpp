// Moving through an issue from the reader window: the display-mode pop-up, zoom, cover, contents
// and spreads by the toolbar and the hover buttons, jumps asked by page links, and the thumbnail
// strip's frames.
#include <QComboBox>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "ReaderTestSupport.h"
#include "app/reader/PageChangeButton.h"
#include "app/reader/ReaderWindowController.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/pdf/PdfThumbnailView.h"

using namespace reader_testing;

namespace {

void postJump(std::optional<plat::Value> name, std::optional<plat::Value> index) {
    std::vector<std::pair<plat::Value, plat::Value>> entries;
    if (name)
        entries.emplace_back(plat::Value("TargetPageName"), *name);
    if (index)
        entries.emplace_back(plat::Value("TargetPageIndex"), *index);
    plat::NotificationCenter::defaultCenter().postNotificationName(
        kJumpToPageNotification, nullptr, plat::makeDictionary(std::move(entries)));
}

}  // namespace

using ReaderNavigationTest = ReaderTest;

TEST_F(ReaderNavigationTest, ModesZoomMovesJumpsAndTheStrip) {
    addItem("RN01-0008", 8);
    auto window = ReaderWindowController::make();
    window->window()->resize(1100, 800);
    auto context = contextOf("RN01-0008");
    ASSERT_TRUE(context);
    window->openIssue(context, "RN", 0);
    const auto reader = window->readerViewController();
    ASSERT_TRUE(waitUntilLoaded(reader));
    PDFModifyView* view = reader->pdfView();

    // The pop-up: items 0 to 3 are the modes; anything else (none chosen) is two-up.
    QComboBox* popUp = window->pageViewPopUpButton();
    for (int item : {0, 1, 3, 2, -1}) {
        popUp->setCurrentIndex(item);
        window->pageViewPopUpButtonSelectClick();
        EXPECT_EQ(view->displayMode(), item < 0 ? 2 : item);
    }
    reader->pdfPageViewType(4);
    EXPECT_EQ(view->displayMode(), 2);
    popUp->setCurrentIndex(2);

    // Zoom out, in, fit; other segments do nothing.
    view->setScaleFactor(1);
    window->zoomSelectionClick(2);
    EXPECT_NEAR(view->scaleFactor(), std::sqrt(2.0), 1e-9);
    window->zoomSelectionClick(0);
    window->zoomSelectionClick(0);
    EXPECT_NEAR(view->scaleFactor(), std::sqrt(0.5), 1e-9);
    window->zoomSelectionClick(5);
    EXPECT_NEAR(view->scaleFactor(), std::sqrt(0.5), 1e-9);
    EXPECT_FALSE(view->autoScales());
    window->zoomSelectionClick(1);
    EXPECT_TRUE(view->autoScales());

    // Two-up as a book: the cover alone, then spreads 1-2, 3-4, by toolbar and hover buttons.
    window->nextPageToolbar_Click();
    EXPECT_EQ(reader->currentPageIndex(), 1);
    reader->nextPageButton()->click();
    EXPECT_EQ(reader->currentPageIndex(), 3);
    reader->previousPageButton()->click();
    EXPECT_EQ(reader->currentPageIndex(), 1);
    window->previousPageToolbar_Click();
    EXPECT_EQ(reader->currentPageIndex(), 0);
    // The contents page is "P2", the second one.
    window->tocToolbar_Click();
    EXPECT_EQ(reader->currentPageIndex(), 1);
    window->coverToolbar_Click();
    EXPECT_EQ(reader->currentPageIndex(), 0);

    // Jumps: a name wins over an index; an unknown name does nothing; indexes must lie inside.
    postJump(plat::Value("P5"), plat::Value(1));
    EXPECT_EQ(reader->currentPageIndex(), 3);  // page 4 stands in the spread 3-4
    postJump(plat::Value("P99"), plat::Value(7));
    EXPECT_EQ(reader->currentPageIndex(), 3);
    postJump(plat::Value(7), plat::Value(7));  // a name that is not text names no page
    EXPECT_EQ(reader->currentPageIndex(), 3);
    postJump(std::nullopt, plat::Value(8));
    EXPECT_EQ(reader->currentPageIndex(), 3);
    postJump(std::nullopt, plat::Value(-1));
    postJump(std::nullopt, plat::Value(int64_t{4294967297}));  // 1 if it wrapped
    postJump(std::nullopt, std::nullopt);
    EXPECT_EQ(reader->currentPageIndex(), 3);
    postJump(std::nullopt, plat::Value("6"));
    EXPECT_EQ(reader->currentPageIndex(), 5);  // the spread 5-6
    postJump(std::nullopt, plat::Value(0));
    EXPECT_EQ(reader->currentPageIndex(), 0);
    postJump(std::nullopt, plat::Value(7));
    EXPECT_EQ(reader->currentPageIndex(), 7);

    // The strip: the first click shows it at the left edge, the page view beside it; the page
    // keeps the member's zoom whether the strip shows or not.
    window->zoomSelectionClick(2);
    const double zoomed = view->scaleFactor();
    ASSERT_FALSE(view->autoScales());
    const int width = reader->view()->width();
    EXPECT_TRUE(reader->pdfThumbnailView()->isHidden());
    EXPECT_EQ(view->geometry(), QRect(0, 0, width, reader->view()->height()));
    window->thumbnailToolbar_Click();
    EXPECT_FALSE(reader->hiddenThumbmailPDF());
    EXPECT_FALSE(reader->pdfThumbnailView()->isHidden());
    EXPECT_EQ(reader->pdfThumbnailView()->pdfView(), view);  // hidden, it followed nothing
    const int strip = reader->pdfThumbnailView()->width();
    EXPECT_EQ(reader->pdfThumbnailView()->x(), 0);
    EXPECT_EQ(view->geometry(), QRect(strip, 0, width - strip, reader->view()->height()));
    EXPECT_FALSE(view->autoScales());
    EXPECT_DOUBLE_EQ(view->scaleFactor(), zoomed);
    window->thumbnailToolbar_Click();
    EXPECT_TRUE(reader->pdfThumbnailView()->isHidden());
    EXPECT_EQ(reader->pdfThumbnailView()->pdfView(), nullptr);
    EXPECT_EQ(view->geometry(), QRect(0, 0, width, reader->view()->height()));
    EXPECT_FALSE(view->autoScales());
    EXPECT_DOUBLE_EQ(view->scaleFactor(), zoomed);
    window->close();
}

TEST_F(ReaderNavigationTest, ThePageViewTakesTheKeysOfAPageView) {
    addItem("RN02-0008", 8);
    auto window = ReaderWindowController::make();
    window->window()->resize(1100, 800);
    auto context = contextOf("RN02-0008");
    ASSERT_TRUE(context);
    window->openIssue(context, "RN", 0);
    const auto reader = window->readerViewController();
    ASSERT_TRUE(waitUntilLoaded(reader));
    PDFModifyView* view = reader->pdfView();
    QWidget* top = window->window();
    // The keys go where the window's focus is: on the page view once the reader opens.
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ASSERT_EQ(top->focusWidget(), view);
        QTest::keyClick(top->focusWidget(), k, modifiers);
    };

    // Two-up as a book: the cover, then spreads 1-2, 3-4 ...
    key(Qt::Key_Right);
    EXPECT_EQ(reader->currentPageIndex(), 1);
    key(Qt::Key_PageDown);
    EXPECT_EQ(reader->currentPageIndex(), 3);
    key(Qt::Key_Left);
    EXPECT_EQ(reader->currentPageIndex(), 1);
    key(Qt::Key_PageUp);
    EXPECT_EQ(reader->currentPageIndex(), 0);
    key(Qt::Key_End);
    EXPECT_EQ(reader->currentPageIndex(), 7);
    key(Qt::Key_Home);
    EXPECT_EQ(reader->currentPageIndex(), 0);
    window->zoomSelectionClick(1);  // fitted: the whole spread shows, space turns the page
    ASSERT_EQ(view->verticalScrollBar()->maximum(), 0);
    key(Qt::Key_Space);
    EXPECT_EQ(reader->currentPageIndex(), 1);
    key(Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(reader->currentPageIndex(), 0);

    // A click in the toolbar leaves the keys with the page view; so does a mode chosen, after
    // which Up and Down scroll the pages instead of changing the mode.
    QToolButton* next = window->toolbarButton("nextPageToolbar_Click:");
    ASSERT_TRUE(next);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(reader->currentPageIndex(), 1);
    QComboBox* popUp = window->pageViewPopUpButton();
    EXPECT_EQ(popUp->focusPolicy(), Qt::NoFocus);
    popUp->setCurrentIndex(1);
    emit popUp->activated(1);
    ASSERT_EQ(view->displayMode(), 1);
    view->setScaleFactor(2);
    QScrollBar* bar = view->verticalScrollBar();
    const int at = bar->value();
    key(Qt::Key_Down);
    EXPECT_GT(bar->value(), at);
    key(Qt::Key_Up);
    EXPECT_EQ(bar->value(), at);
    key(Qt::Key_Space);
    EXPECT_GT(bar->value(), at + bar->singleStep()) << "a screen on";
    EXPECT_EQ(view->displayMode(), 1);
    EXPECT_EQ(popUp->currentIndex(), 1);
    window->close();
}
