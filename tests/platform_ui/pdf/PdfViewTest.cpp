#include <QBackingStore>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>

#include "PdfTestSupport.h"

using ui::PdfLayout;
using ui::PdfView;

namespace {

constexpr double kBreak = PdfLayout::kPageBreak;

TEST(PdfLayoutTest, FramesOfEveryModeBookAndBreaks) {
    const std::vector<QSizeF> sizes = {{100, 200}, {120, 200}, {100, 150}, {100, 200}, {80, 100}};
    // Single continuous with breaks: centred on the widest page, stacked with gaps.
    PdfLayout single = PdfLayout::make(sizes, 1, false, true, 1, 0);
    EXPECT_EQ(single.frames[0], QRectF(kBreak + 10, kBreak, 100, 200));
    EXPECT_EQ(single.frames[1], QRectF(kBreak, 2 * kBreak + 200, 120, 200));
    EXPECT_EQ(single.contentSize, QSizeF(120 + 2 * kBreak, 850 + 6 * kBreak));
    // Without breaks the pages touch.
    PdfLayout touching = PdfLayout::make(sizes, 1, false, false, 2, 0);
    EXPECT_EQ(touching.frames[1].top(), 400);
    EXPECT_EQ(touching.contentSize.height(), 1700);
    // Single page: only the current row is laid out.
    PdfLayout one = PdfLayout::make(sizes, 0, false, true, 1, 2);
    EXPECT_TRUE(one.frames[0].isNull());
    EXPECT_EQ(one.frames[2], QRectF(kBreak + 10, kBreak, 100, 150));
    // Two-up as a book: page 0 alone on the right of the spine, then 1-2 and 3-4.
    PdfLayout book = PdfLayout::make(sizes, 3, true, true, 1, 0);
    EXPECT_EQ(book.rows, (std::vector<std::vector<int>>{{0}, {1, 2}, {3, 4}}));
    const double spine = book.contentSize.width() / 2;
    EXPECT_EQ(book.frames[0].left(), spine + kBreak / 2);
    EXPECT_EQ(book.frames[1].right(), spine - kBreak / 2);
    EXPECT_EQ(book.frames[2].left(), spine + kBreak / 2);
    EXPECT_EQ(book.frames[2].center().y(), book.frames[1].center().y());  // centred in the row
    // Not a book: 0-1, 2-3 and 4 alone on the left.
    PdfLayout pairs = PdfLayout::make(sizes, 2, false, false, 1, 2);
    EXPECT_EQ(pairs.rows, (std::vector<std::vector<int>>{{0, 1}, {2, 3}, {4}}));
    EXPECT_TRUE(pairs.frames[0].isNull());
    EXPECT_EQ(pairs.frames[4].right(), pairs.contentSize.width() / 2);
    EXPECT_EQ(PdfLayout::makeRows(4, 3, true).size(), 3u);
    EXPECT_EQ(PdfLayout::makeRows(4, 3, false).size(), 2u);
    // A row or a page's row found without making the rows says what the rows say.
    for (int count = 0; count < 8; ++count) {
        for (int mode = 0; mode < 4; ++mode) {
            for (bool asBook : {false, true}) {
                const auto rows = PdfLayout::makeRows(count, mode, asBook);
                ASSERT_EQ(PdfLayout::rowCount(count, mode, asBook), static_cast<int>(rows.size()));
                for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
                    EXPECT_EQ(PdfLayout::pagesOfRow(r, count, mode, asBook),
                              rows[static_cast<size_t>(r)]);
                    for (int page : rows[static_cast<size_t>(r)])
                        EXPECT_EQ(PdfLayout::rowOfPage(page, mode, asBook), r);
                }
                EXPECT_TRUE(
                    PdfLayout::pagesOfRow(static_cast<int>(rows.size()), count, mode, asBook)
                        .empty());
            }
        }
    }
    // Fitting: the width in continuous modes, the whole row in the others.
    EXPECT_NEAR(PdfLayout::fitScale(sizes, 1, false, true, 0, {616, 300}), 5, 1e-9);
    EXPECT_NEAR(PdfLayout::fitScale(sizes, 0, false, true, 0, {616, 416}), 2, 1e-9);
    EXPECT_NEAR(PdfLayout::fitScale(sizes, 3, false, false, 0, {480, 5000}), 2, 1e-9);
}

class PdfViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.resize(600, 800);
        view.show();
    }
    CountingPdfView view;
};

TEST_F(PdfViewTest, ZoomStepsLimitsAutoFitAndConversionsThatRoundTrip) {
    auto document = documentOf({{600, 800}, {400, 800}, {600, 800}, {600, 800}, {300, 400}});
    view.setDocument(document);
    view.setAutoScales(true);
    spin();
    EXPECT_NEAR(view.scaleFactor(), (view.viewport()->width() - 2 * kBreak) / 600.0, 1e-9);
    view.resize(900, 800);
    spin();
    EXPECT_NEAR(view.scaleFactor(), (view.viewport()->width() - 2 * kBreak) / 600.0, 1e-9);
    EXPECT_GT(view.viewport()->width(), 850);
    view.setScaleFactor(1);
    view.zoomIn();
    EXPECT_NEAR(view.scaleFactor(), std::sqrt(2.0), 1e-9);
    view.zoomOut();
    view.zoomOut();
    EXPECT_NEAR(view.scaleFactor(), 1 / std::sqrt(2.0), 1e-9);
    EXPECT_FALSE(view.autoScales());
    view.setScaleFactor(50);
    EXPECT_EQ(view.scaleFactor(), PdfView::kMaxScale);
    view.setScaleFactor(0.001);
    EXPECT_EQ(view.scaleFactor(), PdfView::kMinScale);

    // A widget frame (10, 20, 100, 50) on an 800-point page is (10, 730, 100, 50) in page space,
    // and lands 10 and 20 points (scaled) from the page's top left.
    auto page = document->pageAtIndex(0);
    for (int mode = 0; mode < 4; ++mode) {
        for (double scale : {0.5, 1.0, 2.5}) {
            view.setDisplayMode(mode);
            view.setScaleFactor(scale);
            view.goToPage(document->pageAtIndex(3));
            view.goToPage(page);
            spin();
            const QRectF frame = view.convertRectFromDocumentView(view.pageFrame(page));
            const QRectF r = view.convertRectFromPage({10, 730, 100, 50}, page);
            EXPECT_NEAR(r.left(), frame.left() + 10 * scale, 1e-6);
            EXPECT_NEAR(r.top(), frame.top() + 20 * scale, 1e-6);
            EXPECT_NEAR(r.width(), 100 * scale, 1e-6);
            for (const QRectF& probe : {QRectF(10, 730, 100, 50), QRectF(-5, 0.25, 3, 7)}) {
                const QRectF back =
                    view.convertRectToPage(view.convertRectFromPage(probe, page), page);
                EXPECT_NEAR(back.x(), probe.x(), 1e-6);
                EXPECT_NEAR(back.y(), probe.y(), 1e-6);
                EXPECT_NEAR(back.height(), probe.height(), 1e-6);
            }
            const QRectF doc = view.convertRectToDocumentView(r);
            EXPECT_NEAR(view.convertRectFromDocumentView(doc).top(), r.top(), 1e-6);
            EXPECT_EQ(view.pageToViewTransform(page).map(QPointF(10, 730)),
                      view.convertPointFromPage({10, 730}, page));
        }
    }
    // At the highest zoom only the part on screen is rendered.
    ui::PdfRenderCache cache(size_t{1} << 30);
    view.setRenderCache(&cache);
    view.setScaleFactor(PdfView::kMaxScale);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(view.currentPage()); }));
    EXPECT_LT(cache.peakBytesUsed(), size_t{3} * 600 * 800 * 4 * 4);  // far below 6000 x 8000
    view.setRenderCache(nullptr);

    // A cropped page converts relative to its media box.
    page->setBounds({50, 100, 500, 600}, ui::PdfPage::CropBox);
    view.setDisplayMode(PdfView::SinglePageContinuous);
    view.setScaleFactor(1);
    view.goToPage(page);
    spin();
    const QRectF frame = view.convertRectFromDocumentView(view.pageFrame(page));
    EXPECT_EQ(frame.size(), QSizeF(500, 600));
    EXPECT_EQ(view.convertPointFromPage({50, 700}, page), frame.topLeft());
}

TEST_F(PdfViewTest, APageFittedToTheViewBringsNoScrollBarForItsRoundingError) {
    view.setDisplayMode(PdfView::SinglePage);
    view.setDisplaysPageBreaks(false);
    view.setAutoScales(true);
    const QSize inside = view.viewport()->size();
    // A page whose height, fitted to the view's, comes out a rounding error above it.
    double height = 0;
    for (double h = 700; h < 900 && height == 0; ++h) {
        const std::vector<QSizeF> sizes{{300, h}};
        const double scale =
            PdfLayout::fitScale(sizes, PdfView::SinglePage, false, false, 0, QSizeF(inside));
        if (PdfLayout::make(sizes, PdfView::SinglePage, false, false, scale, 0)
                .contentSize.height() > inside.height())
            height = h;
    }
    ASSERT_GT(height, 0);
    view.setDocument(documentOf({{300, height}, {300, height}}));
    ASSERT_TRUE(spinUntil([&] { return view.isSettled(); }));
    const int layouts = view.layoutCount();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
    EXPECT_EQ(view.viewport()->size(), inside);  // the page is not pushed aside
    view.goToPage(view.document()->pageAtIndex(1));
    ASSERT_TRUE(spinUntil(
        [&] { return view.isSettled() && view.currentPage() == view.document()->pageAtIndex(1); }));
    EXPECT_EQ(view.layoutCount(), layouts);
    EXPECT_EQ(view.viewport()->size(), inside);
}

TEST_F(PdfViewTest, VisiblePagesAreAskedOncePerChangeAndNavigationStepsSpreads) {
    auto document = documentOf(std::vector<QSizeF>(9, QSizeF(600, 800)));
    view.setDisplaysAsBook(true);
    view.setDocument(document);
    view.setScaleFactor(0.5);
    // Until the window system's own resizes have come and gone (late on a busy machine).
    for (size_t seen = SIZE_MAX; seen != view.answers.size();) {
        seen = view.answers.size();
        spin(150);
    }
    view.answers.clear();
    view.verticalScrollBar()->setValue(500);
    ASSERT_TRUE(spinUntil([&] { return !view.answers.empty(); }));
    spin();
    EXPECT_EQ(view.answers.size(), 1u);
    view.goToPage(document->pageAtIndex(6));
    view.goToPage(document->pageAtIndex(7));  // two changes in one turn: asked once
    ASSERT_TRUE(spinUntil([&] { return view.answers.size() >= 2; }));
    spin();
    EXPECT_EQ(view.answers.size(), 2u);
    EXPECT_EQ(view.currentPage(), document->pageAtIndex(7));

    view.setDisplayMode(PdfView::TwoUp);
    spin();
    EXPECT_EQ(view.answers.size(), 3u);
    // As a book: 7 is in the spread 7-8.
    EXPECT_EQ(view.answers.back(),
              (std::vector<Ref<ui::PdfPage>>{document->pageAtIndex(7), document->pageAtIndex(8)}));
    view.goToFirstPage();
    spin();
    EXPECT_EQ(view.answers.back(), (std::vector<Ref<ui::PdfPage>>{document->pageAtIndex(0)}));
    view.goToNextPage();
    spin();
    EXPECT_EQ(view.currentPage(), document->pageAtIndex(1));
    view.goToNextPage();
    spin();
    EXPECT_EQ(view.currentPage(), document->pageAtIndex(3));
    view.goToPreviousPage();
    spin();
    EXPECT_EQ(view.currentPage(), document->pageAtIndex(1));
    // Dragging scrolls by the whole offset from where it started; zooming keeps the centre.
    view.setDisplayMode(PdfView::SinglePageContinuous);
    view.goToPage(document->pageAtIndex(4));
    spin();
    const int top = view.verticalScrollBar()->value();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 300), QPointF(100, 300),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(100, 200), QPointF(100, 200), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent far(QEvent::MouseMove, QPointF(100, -100), QPointF(100, -100), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100, -100), QPointF(100, -100),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &press);
    QApplication::sendEvent(view.viewport(), &move);
    EXPECT_EQ(view.verticalScrollBar()->value(), top + 100);
    QApplication::sendEvent(view.viewport(), &far);
    QApplication::sendEvent(view.viewport(), &release);
    EXPECT_EQ(view.verticalScrollBar()->value(), top + 400);
    const QPointF centre(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);
    const auto centrePage = view.currentPage();
    const QPointF before = view.convertPointToPage(centre, centrePage);
    view.zoomIn();
    spin();
    const QPointF after = view.convertPointToPage(centre, centrePage);
    EXPECT_NEAR(after.x(), before.x(), 1.0);
    EXPECT_NEAR(after.y(), before.y(), 1.0);

    // An absent page does nothing; an empty document has no current page.
    const auto stays = view.currentPage();
    view.goToPage(pdfPage(100, 100));
    spin();
    EXPECT_EQ(view.currentPage(), stays);
    EXPECT_EQ(document->indexForPage(pdfPage(100, 100)), -1);
    view.setDocument(std::make_shared<ui::PdfDocument>());
    EXPECT_FALSE(view.currentPage());

    // In a spread the first page is the current one, also when the second is the larger (one
    // still showing its placeholder); changed to a page at a time, the view shows that page.
    auto uneven = documentOf({{600, 800}, {300, 400}, {600, 900}, {300, 400}});
    view.setDocument(uneven);
    view.setDisplayMode(PdfView::TwoUp);
    view.goToPage(uneven->pageAtIndex(1));
    ASSERT_TRUE(spinUntil([&] { return view.isSettled(); }));
    EXPECT_EQ(view.currentPage(), uneven->pageAtIndex(1));
    view.setDisplayMode(PdfView::SinglePage);
    ASSERT_TRUE(spinUntil([&] { return view.isSettled(); }));
    EXPECT_EQ(view.currentPage(), uneven->pageAtIndex(1));
}

TEST_F(PdfViewTest, AddingOverlaysPlacesEachOnce) {
    auto document = documentOf(std::vector<QSizeF>(2, QSizeF(600, 800)));
    view.setDocument(document);
    view.setScaleFactor(1);
    ASSERT_TRUE(spinUntil([&] { return view.isSettled() && view.layoutCount() > 0; }));
    const QRectF frame = view.pageFrame(document->pageAtIndex(0));
    constexpr int kCount = 3000;
    const auto before = view.overlayPlacementCount();
    std::vector<QWidget*> widgets;
    for (int i = 0; i < kCount; ++i) {
        auto* widget = new QWidget();  // owned by the document view once added
        widget->setGeometry(
            QRectF(frame.topLeft() + QPointF(i % 500, i / 10), QSizeF(4, 4)).toRect());
        view.addOverlay(widget, i % 2);
        widgets.push_back(widget);
    }
    // Placing a new overlay leaves the others where they are.
    EXPECT_EQ(view.overlayPlacementCount() - before, kCount);
    // Each is shown when its page is.
    ASSERT_TRUE(spinUntil([&] { return view.isSettled(); }));
    const auto visible = view.visiblePages();
    for (int i : {0, 1, kCount - 2, kCount - 1}) {
        const bool pageShown = std::find(visible.begin(), visible.end(),
                                         document->pageAtIndex(i % 2)) != visible.end();
        EXPECT_EQ(widgets[i]->isVisible(), pageShown) << i;
    }
}

TEST_F(PdfViewTest, OverlaysStayOnTheirPageAndPlaceholdersAreReplacedInPlace) {
    auto document = documentOf(std::vector<QSizeF>(6, QSizeF(600, 800)));
    QImage grey(60, 80, QImage::Format_ARGB32);
    grey.fill(Qt::gray);
    auto placeholder = ui::PdfPage::fromImage(grey);
    document->removePageAtIndex(2);
    document->insertPage(placeholder, 2);
    view.setDocument(document);
    view.setScaleFactor(1);
    view.goToPage(placeholder);
    spin();
    // An overlay 10 points in and 20 down from the slot's top left, in document coordinates.
    const QRectF frame = view.pageFrame(placeholder);
    auto* widget = new QWidget();  // owned by the document view once added
    widget->setGeometry(QRectF(frame.topLeft() + QPointF(5, 10), QSizeF(20, 15)).toRect());
    view.addOverlay(widget, 2);
    const auto expectPlaced = [&](const char* when) {
        spin();
        const auto page = document->pageAtIndex(2);
        const QRectF slot = view.convertRectFromDocumentView(view.pageFrame(page));
        // The overlay keeps its place in page space (y up): 10 points down from the top of the
        // 80-point placeholder is 55 up from its bottom.
        const QRectF expected = view.convertRectFromPage({5, 55, 20, 15}, page);
        const auto visible = view.visiblePages();
        const bool pageShown = std::find(visible.begin(), visible.end(), page) != visible.end();
        EXPECT_EQ(widget->isVisible(), pageShown) << when;
        if (pageShown) {
            EXPECT_NEAR(widget->geometry().left(), expected.left(), 1.0) << when;
            EXPECT_NEAR(widget->geometry().top(), expected.top(), 1.0) << when;
        }
        EXPECT_FALSE(slot.isNull()) << when;
    };
    expectPlaced("added");
    view.zoomIn();
    expectPlaced("zoomed");
    view.setDisplayMode(PdfView::TwoUpContinuous);
    expectPlaced("two-up");
    view.resize(700, 500);
    expectPlaced("resized");
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    expectPlaced("scrolled away");
    EXPECT_FALSE(widget->isVisible());
    view.goToPage(placeholder);
    expectPlaced("back");

    // The real page replaces the placeholder in its slot: same slot, overlay kept, thumbnail
    // strip follows; a click in the strip goes to the page.
    ui::PdfThumbnailView strip;
    strip.resize(ui::PdfThumbnailView::kDefaultWidth, 600);
    strip.setPdfView(&view);
    strip.show();
    const int before = view.verticalScrollBar()->value();
    const auto real = pdfPage(600, 800, 0, 0, 1);
    document->removePageAtIndex(2);
    document->insertPage(real, 2);
    spin();
    EXPECT_EQ(document->indexForPage(real), 2);
    EXPECT_EQ(view.verticalScrollBar()->value(), before);
    expectPlaced("replaced");
    EXPECT_TRUE(widget->isVisible());
    strip.verticalScrollBar()->setValue(strip.itemRect(4).top());
    clickAt(strip.viewport(), strip.itemRect(4).center());
    EXPECT_EQ(view.currentPage(), document->pageAtIndex(4));
}

// A thumbnail strip that notes the view's current page each time it paints.
class WatchedStrip : public ui::PdfThumbnailView {
  public:
    Ref<ui::PdfPage> paintedCurrent;

  protected:
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::Paint && pdfView())
            paintedCurrent = pdfView()->currentPage();
        return PdfThumbnailView::viewportEvent(event);
    }
};

// The strip's highlight follows the page the view shows, however the view got there, and the
// strip scrolls to it, also when it is shown again. (Nothing renders meanwhile, so no finished
// thumbnail repaints the strip by chance.)
TEST_F(PdfViewTest, TheThumbnailStripHighlightFollowsTheViewsCurrentPage) {
    ui::PdfRenderCache cache;
    cache.setSuspended(true);
    view.setRenderCache(&cache);
    view.setDisplayMode(PdfView::SinglePage);
    auto document = documentOf(std::vector<QSizeF>(6, QSizeF(300, 400)));
    view.setDocument(document);
    WatchedStrip strip;
    strip.resize(ui::PdfThumbnailView::kDefaultWidth, 600);
    strip.setPdfView(&view);
    strip.show();
    ASSERT_TRUE(spinUntil([&] { return strip.paintedCurrent == document->pageAtIndex(0); }));
    view.goToNextPage();
    EXPECT_TRUE(spinUntil([&] { return strip.paintedCurrent == document->pageAtIndex(1); }));
    const auto shownWhole = [&](int index) {
        return strip.viewport()->rect().contains(strip.itemRect(index));
    };
    ASSERT_FALSE(shownWhole(4));
    view.goToPage(document->pageAtIndex(4));
    EXPECT_TRUE(spinUntil([&] { return strip.paintedCurrent == document->pageAtIndex(4); }));
    EXPECT_TRUE(shownWhole(4));
    view.setDisplayMode(PdfView::SinglePageContinuous);
    view.verticalScrollBar()->setValue(0);
    EXPECT_TRUE(spinUntil([&] { return strip.paintedCurrent == document->pageAtIndex(0); }));
    EXPECT_TRUE(shownWhole(0));
    // Scrolled by hand, the strip stays where it was put while the page stays.
    strip.verticalScrollBar()->setValue(strip.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    EXPECT_FALSE(shownWhole(0));
    strip.hide();
    view.goToPage(document->pageAtIndex(5));
    ASSERT_TRUE(spinUntil([&] { return view.currentPage() == document->pageAtIndex(5); }));
    strip.verticalScrollBar()->setValue(0);
    strip.show();
    EXPECT_TRUE(shownWhole(5));
    strip.setPdfView(nullptr);
    view.setRenderCache(nullptr);
}

TEST_F(PdfViewTest, APageShowsWhatItDrawsOnWhitePaperOverTheBackground) {
    // A 400 x 600 page that draws a red square and leaves the rest of itself transparent.
    const std::string pdf = testing_support::onePagePdf(400, 600, 100, 100, 200, 200, 1, 0, 0);
    auto page = ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
    ASSERT_TRUE(page);
    ui::PdfPageCheck::checkData(pdf.data(), pdf.size());
    auto document = std::make_shared<ui::PdfDocument>();
    document->insertPage(page, 0);
    view.setBackgroundColor(Qt::blue);
    view.setDisplayMode(PdfView::SinglePage);
    view.setScaleFactor(1);
    view.setDocument(document);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(page); }));
    const QImage shown = view.viewport()->grab().toImage();
    const auto at = [&](QPointF pagePoint) {
        return QColor(shown.pixel(view.convertPointFromPage(pagePoint, page).toPoint()));
    };
    EXPECT_EQ(at({200, 200}), QColor(Qt::red));
    EXPECT_EQ(at({50, 500}), QColor(Qt::white));
    const QRectF frame = view.convertRectFromDocumentView(view.pageFrame(page));
    EXPECT_EQ(QColor(shown.pixel(QPointF(frame.left() - 5, frame.center().y()).toPoint())),
              QColor(Qt::blue));
}

// A view that keeps the rectangle of each paint of its pages.
class PaintRecordingView : public PdfView {
  public:
    std::vector<QRect> paints;

  protected:
    bool viewportEvent(QEvent* event) override {
        const bool handled = PdfView::viewportEvent(event);
        if (event->type() == QEvent::Paint)
            paints.push_back(static_cast<QPaintEvent*>(event)->rect());
        return handled;
    }
};

TEST(PdfViewPaintTest, PagesAheadRenderAfterThumbnailsAndOnlyARenderOnScreenRepaintsItsPage) {
    // The cache outlives the view, which lets go of it as it ends, also at a failed check.
    ui::PdfRenderCache cache;
    PaintRecordingView view;
    view.resize(600, 800);
    view.setDisplayMode(PdfView::SinglePage);
    view.setScaleFactor(1);
    view.show();
    view.setRenderCache(&cache);
    // Forty thumbnails render first: on a slow machine that takes a while.
    constexpr int kRenders = 60000;
    auto document = documentOf(std::vector<QSizeF>(3, QSizeF(300, 400)));
    const auto first = document->pageAtIndex(0), next = document->pageAtIndex(1);
    cache.setSuspended(true);
    view.setDocument(document);
    // The strip asks for many thumbnails meanwhile.
    const int strip = 0;
    std::vector<ui::PdfRenderCache::Request> thumbnails;
    for (int i = 0; i < 40; ++i) {
        QImage image(400, 560, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(i, 128, 64));
        const auto page = ui::PdfPage::fromImage(image);
        thumbnails.push_back({page,
                              {page->pageId(), {900, 1260}, QRect()},
                              ui::PdfRenderCache::Priority::Thumbnail});
    }
    size_t thumbnailsDone = 0;
    cache.request(&strip, thumbnails, [&](const ui::PdfRenderCache::Key&) { ++thumbnailsDone; });
    // The page is shown on its paper while it renders.
    ASSERT_TRUE(spinUntil([&] { return !view.paints.empty() && view.isSettled(); }));
    QApplication::sendPostedEvents();
    EXPECT_FALSE(view.hasPainted(first));
    cache.setSuspended(false);

    // Its render draws the page's frame again, not the whole view.
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(first); }, kRenders));
    const QRect frame = view.convertRectFromDocumentView(view.pageFrame(first)).toAlignedRect() &
                        view.viewport()->rect();
    EXPECT_EQ(view.paints.back(), frame);
    const size_t paints = view.paints.size();
    // The next page renders ahead after every thumbnail, and repaints nothing: it is not on
    // screen.
    ASSERT_TRUE(
        spinUntil([&] { return !cache.anyImageOfPage(next->pageId()).isNull(); }, kRenders));
    EXPECT_EQ(thumbnailsDone, thumbnails.size());
    QApplication::sendPostedEvents();
    EXPECT_EQ(view.paints.size(), paints);
    cache.cancelClient(&strip);
    view.setRenderCache(nullptr);
}

TEST_F(PdfViewTest, ADocumentOpenedAtALaterPageNeverAsksForItsFirstPage) {
    // Opened at page 30 in the same turn: the worker is never asked for the first page, whose
    // render would hold the page gone to back. (Held still until then, the worker would show a
    // request for the first page as one the move cancelled.)
    ui::PdfRenderCache cache;
    view.setRenderCache(&cache);
    view.setDisplayMode(PdfView::SinglePage);
    auto document = documentOf(std::vector<QSizeF>(40, QSizeF(300, 400)));
    cache.setSuspended(true);
    view.setDocument(document);
    view.goToPage(document->pageAtIndex(30));
    EXPECT_EQ(cache.cancelledCount(), 0u);
    cache.setSuspended(false);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(document->pageAtIndex(30)); }));
    spin();
    EXPECT_TRUE(cache.anyImageOfPage(document->pageAtIndex(0)->pageId()).isNull());
    view.setRenderCache(nullptr);
}

}  // namespace

TEST_F(PdfViewTest, APageReplacedByOneOfItsSizeMovesNothingAndAnotherSizeIsLaidOutOnce) {
    auto document = documentOf(std::vector<QSizeF>(6, QSizeF(600, 800)));
    view.setDocument(document);
    view.setScaleFactor(0.5);
    view.goToPage(document->pageAtIndex(1));
    ASSERT_TRUE(spinUntil([&] { return view.isSettled() && view.layoutCount() > 0; }));
    for (int i = 0; i < document->pageCount(); ++i)
        ui::PdfPageRenderer::checkNow(*document->pageAtIndex(i));
    view.layoutDocumentView();
    ASSERT_TRUE(spinUntil([&] { return view.isSettled(); }));
    const int layouts = view.layoutCount();
    const int scrolled = view.verticalScrollBar()->value();

    // The same size: drawn in the slot's frame, nothing laid out again.
    const auto same = pdfPage(600, 800, 0, 1, 0);
    ui::PdfPageRenderer::checkNow(*same);
    const QRectF frame = view.pageFrame(document->pageAtIndex(1));
    document->replacePageAtIndex(1, same);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(same); }));
    EXPECT_EQ(view.layoutCount(), layouts);
    EXPECT_EQ(view.pageFrame(same), frame);
    EXPECT_EQ(view.verticalScrollBar()->value(), scrolled);

    // Another size: one layout, at the new size.
    const auto smaller = pdfPage(300, 400, 0, 0, 1);
    ui::PdfPageRenderer::checkNow(*smaller);
    document->replacePageAtIndex(2, smaller);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(smaller) && view.isSettled(); }));
    EXPECT_EQ(view.layoutCount(), layouts + 1);
    EXPECT_NEAR(view.pageFrame(smaller).height(), 200, 1);
}

// A page whose render is on its way keeps, for a moment, what the screen showed there rather
// than being painted white first, and is then painted once; a render that does not come within
// that moment finds the page's paper painted.
TEST(PdfViewPaintTest, APageAwaitingItsRenderIsPaintedOnceItComesOrOnPaperAfterAMoment) {
    ui::PdfRenderCache cache;
    PaintRecordingView view;
    view.setRenderCache(&cache);
    view.resize(400, 500);
    view.setDisplayMode(PdfView::SinglePage);
    view.show();
    // What the screen shows at the page's place (the window's own pixels, as last painted).
    const auto shownAt = [&](const QPoint& point) {
        auto* store = view.viewport()->backingStore();
        const auto* image = store ? dynamic_cast<const QImage*>(store->paintDevice()) : nullptr;
        return image ? QColor(image->pixel(view.viewport()->mapTo(view.window(), point)))
                     : QColor();
    };
    const auto shownAtPage = [&] {
        if (!view.document())
            return QColor();
        const QRectF frame =
            view.convertRectFromDocumentView(view.pageFrame(view.document()->pageAtIndex(0)));
        return shownAt(frame.center().toPoint());
    };
    const QPoint corner(2, 2);                         // beside the page
    view.setDocument(documentOf({QSizeF(300, 400)}));  // red
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(view.document()->pageAtIndex(0)); }));
    ASSERT_EQ(shownAtPage(), QColor(Qt::red));

    view.setBackgroundColor(Qt::black);
    ASSERT_TRUE(spinUntil([&] { return shownAt(corner) == QColor(Qt::black); }));

    // The next document's render is held back: its first paint leaves the window as it was (the
    // red page, the old background around it), then the page's paper comes with the new
    // background.
    cache.setSuspended(true);
    auto blue = std::make_shared<ui::PdfDocument>();
    blue->insertPage(pdfPage(300, 400, 0, 0, 1), 0);
    const size_t before = view.paints.size();
    view.setDocument(blue);
    view.setBackgroundColor(Qt::darkGray);
    ASSERT_TRUE(spinUntil([&] { return view.paints.size() > before; }));
    EXPECT_EQ(shownAtPage(), QColor(Qt::red));
    EXPECT_EQ(shownAt(corner), QColor(Qt::black));
    ASSERT_TRUE(spinUntil([&] { return shownAtPage() == QColor(Qt::white); }));
    EXPECT_EQ(shownAt(corner), QColor(Qt::darkGray));
    cache.setSuspended(false);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(blue->pageAtIndex(0)); }));
    EXPECT_EQ(shownAtPage(), QColor(Qt::blue));

    // A render that comes within the moment: one paint, of the page alone (the background
    // around it is as it was), no paper, and nothing painted again after the moment. Only posted
    // events run until the page is painted, no timer (the view's end of the moment is one), so
    // the render comes within the moment on any machine: the view asks for it, and it is handed
    // over as soon as the worker has it.
    auto green = std::make_shared<ui::PdfDocument>();
    green->insertPage(pdfPage(300, 400, 0, 1, 0), 0);
    const auto greenPage = green->pageAtIndex(0);
    const size_t beforeGreen = view.paints.size();
    view.setDocument(green);
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(!cache.pendingKeys(greenPage->pageId()).empty() || view.hasPainted(greenPage))
        << "the view asked for it";
    // Timers of one thread fire in the order of their ends: once this one has, so has the one the
    // view set, before it, for the end of the moment.
    bool momentOver = false;
    QTimer::singleShot(PdfView::kPaperDelay + std::chrono::milliseconds(1),
                       [&] { momentOver = true; });
    QElapsedTimer waited;
    waited.start();
    // The render worker hands it over with a posted event: until then this thread only gives
    // its turn away.
    while (!view.hasPainted(greenPage) && waited.elapsed() < 20000) {
        std::this_thread::yield();
        QCoreApplication::sendPostedEvents();
    }
    ASSERT_TRUE(view.hasPainted(greenPage));
    const size_t painted = view.paints.size();
    EXPECT_EQ(painted, beforeGreen + 1);
    EXPECT_EQ(view.paints.back(),
              view.convertRectFromDocumentView(view.pageFrame(greenPage)).toAlignedRect());
    // Past the moment, a paint asked for now is the next one, and covers only what it was asked
    // for: whatever the view would have painted meanwhile would come before it, or with it.
    ASSERT_TRUE(spinUntil([&] { return momentOver; }));
    const QRect probe(0, 0, 1, 1);
    view.viewport()->update(probe);
    ASSERT_TRUE(spinUntil([&] { return view.paints.size() > painted; }));
    EXPECT_EQ(view.paints.size(), painted + 1);
    EXPECT_EQ(view.paints.back(), probe);
    EXPECT_EQ(shownAtPage(), QColor(Qt::green));

    // A smaller page next: where the former page was is background again.
    const QRect greenRect =
        view.convertRectFromDocumentView(view.pageFrame(green->pageAtIndex(0))).toAlignedRect();
    auto small = std::make_shared<ui::PdfDocument>();
    small->insertPage(pdfPage(100, 100, 1, 0, 1), 0);
    view.setDocument(small);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(small->pageAtIndex(0)); }));
    const QRect smallRect =
        view.convertRectFromDocumentView(view.pageFrame(small->pageAtIndex(0))).toAlignedRect();
    ASSERT_FALSE(smallRect.contains(greenRect.topLeft() + QPoint(2, 2)));
    EXPECT_EQ(shownAt(greenRect.topLeft() + QPoint(2, 2)), QColor(Qt::darkGray));
    EXPECT_EQ(shownAt(smallRect.center()), QColor(Qt::magenta));

    // Turning to a page rendered ahead: one paint, of the page alone.
    auto two = std::make_shared<ui::PdfDocument>();
    two->insertPage(pdfPage(300, 400, 1, 0, 0), 0);
    two->insertPage(pdfPage(300, 400, 0, 0, 1), 1);
    view.setDocument(two);
    ASSERT_TRUE(spinUntil([&] {
        return view.hasPainted(two->pageAtIndex(0)) &&
               !cache.anyImageOfPage(two->pageAtIndex(1)->pageId()).isNull();
    }));
    const size_t beforeTurn = view.paints.size();
    view.goToNextPage();
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(two->pageAtIndex(1)); }));
    const QRect turned =
        view.convertRectFromDocumentView(view.pageFrame(two->pageAtIndex(1))).toAlignedRect();
    EXPECT_EQ(view.paints.size(), beforeTurn + 1);
    EXPECT_EQ(view.paints.back(), turned);
    EXPECT_EQ(shownAt(turned.center()), QColor(Qt::blue));

    // A window shown again holds nothing of the view: its first paint lays the paper at once.
    view.hide();
    cache.setSuspended(true);
    auto yellow = std::make_shared<ui::PdfDocument>();
    yellow->insertPage(pdfPage(300, 400, 1, 1, 0), 0);
    view.setDocument(yellow);
    const size_t hidden = view.paints.size();
    view.show();
    ASSERT_TRUE(spinUntil([&] { return view.paints.size() > hidden; }));
    EXPECT_EQ(shownAtPage(), QColor(Qt::white));
    EXPECT_EQ(shownAt(corner), QColor(Qt::darkGray));
    cache.setSuspended(false);
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(yellow->pageAtIndex(0)); }));
    EXPECT_EQ(shownAtPage(), QColor(Qt::yellow));
    view.setRenderCache(nullptr);
}
