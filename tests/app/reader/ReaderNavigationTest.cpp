// Moving through an issue from the reader window: the display-mode pop-up, zoom, cover, contents
// and spreads by the toolbar and the hover buttons, jumps asked by page links, and the thumbnail
// strip's frames.
#include <QComboBox>

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
