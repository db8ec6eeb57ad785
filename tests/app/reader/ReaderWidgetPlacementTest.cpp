// Page widgets over the visible pages, with widget trees set by the test: spreads place the
// arriving pages once and detach the leaving ones, a widget and its button give two views at the
// page's conversion of their frames (also after zooming) and become the widgets' own views, a
// page placed already does not stop the others, unready and data-only widgets and viewless
// buttons get nothing until ready, frames that are no numbers or miss the page get nothing and
// overhanging ones are clipped to it, modes re-place; box views are plain buttons that stay.
#include "ReaderTestSupport.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"

#include <QPushButton>
#include <cmath>
#include <limits>

using namespace reader_testing;

namespace {

QRect widgetGeometry(const Ref<WidgetView>& view) {
    const auto* qt = dynamic_cast<const QtWidgetView*>(view.get());
    return qt && qt->widget() ? qt->widget()->geometry() : QRect();
}

}  // namespace

using ReaderWidgetPlacementTest = ReaderTest;

TEST_F(ReaderWidgetPlacementTest, VisiblePagesGetTheirWidgetsOnceAtTheirPlaces) {
    addItem("RP01-0008", 8);
    // The pages never come: every slot keeps its 595 x 842 placeholder.
    stallFirstPages("RP01-0008", 8);
    auto context = contextOf<FakeIssueUIContext>("RP01-0008");
    ASSERT_TRUE(context);
    std::vector<Ref<ColouredBoxWidget>> boxes;
    for (int i = 0; i < 6; ++i) {
        boxes.push_back(box(QRectF(10, 20, 100, 50)));
        context->rootOf(i)->addSubwidget(boxes.back());
    }
    auto reader = shownReader();
    reader->setUiContext(context);
    const auto placed = [&](std::vector<int> pages) {
        return spinUntil([&] { return reader->placedPages() == pages; });
    };

    // The cover alone, then the spreads 1-2 and 3-4.
    ASSERT_TRUE(placed({0}));
    EXPECT_EQ(boxes[0]->activations, 1);
    EXPECT_EQ(reader->widgetViewsOfPage(0).size(), 2u);  // the box and its button
    reader->goToNextPage();
    ASSERT_TRUE(placed({1, 2}));
    EXPECT_EQ(boxes[0]->detaches, 1);
    EXPECT_EQ(boxes[1]->activations, 1);
    EXPECT_EQ(boxes[2]->activations, 1);
    reader->goToNextPage();
    ASSERT_TRUE(placed({3, 4}));
    spin(50);
    for (int i : {1, 2})
        EXPECT_EQ(boxes[static_cast<size_t>(i)]->detaches, 1) << i;
    for (int i : {3, 4}) {
        EXPECT_EQ(boxes[static_cast<size_t>(i)]->activations, 1) << i;
        EXPECT_EQ(boxes[static_cast<size_t>(i)]->viewsMade, 1) << i;
    }

    // (10, 20, 100, 50) from the top of an 842-point page is (10, 772, 100, 50) in page space;
    // the views follow a zoom.
    const auto page3 = reader->mainDocument()->pageAtIndex(3);
    PDFModifyView* view = reader->pdfView();
    const auto expected = [&] {
        return view->convertRectFromPage(QRectF(10, 772, 100, 50), page3).toAlignedRect();
    };
    const auto views = reader->widgetViewsOfPage(3);
    ASSERT_EQ(views.size(), 2u);
    // The placed views are the widget's and its button's own.
    EXPECT_EQ(boxes[3]->widgetView(), views[0]);
    EXPECT_EQ(boxes[3]->button()->widgetView(), views[1]);
    EXPECT_FALSE(boxes[1]->widgetView());
    EXPECT_FALSE(boxes[1]->button()->widgetView());
    EXPECT_EQ(views[0]->frame(), view->convertRectToDocumentView(
                                     view->convertRectFromPage(QRectF(10, 772, 100, 50), page3)));
    for (const auto& v : views)
        EXPECT_EQ(widgetGeometry(v), expected());
    reader->zoomInPdfView();
    ASSERT_TRUE(spinUntil([&] { return widgetGeometry(views[0]) == expected(); }));
    EXPECT_EQ(widgetGeometry(views[1]), expected());
    EXPECT_EQ(reader->placedPages(), (std::vector<int>{3, 4}));

    // A page placed already in the middle of the list: the walk goes on.
    const auto document = reader->mainDocument();
    reader->pdfModifyView_visiblePageChagne(nullptr,
                                            {document->pageAtIndex(3), document->pageAtIndex(5)});
    EXPECT_EQ(reader->placedPages(), (std::vector<int>{3, 5}));
    EXPECT_EQ(boxes[3]->activations, 1);
    EXPECT_EQ(boxes[5]->activations, 1);
    EXPECT_EQ(boxes[4]->detaches, 1);

    // An unready box, a data-only widget and a box whose button makes no view: one view.
    auto unready = box(QRectF(0, 0, 50, 50));
    unready->ready = false;
    auto buttonless = box(QRectF(60, 0, 50, 50));
    buttonless->customButton = std::make_shared<ViewlessButton>();
    const auto root6 = context->rootOf(6);
    root6->addSubwidget(unready);
    root6->addSubwidget(std::make_shared<OverlayData>());
    root6->addSubwidget(buttonless);
    // Frames from the issue's files that are no numbers or miss the page get nothing; one that
    // overhangs the page's edge shows only on its page.
    auto wild = box(QRectF(0, 0, 10, 10));
    wild->setFrame(QRectF(std::numeric_limits<double>::quiet_NaN(), 0,
                          std::numeric_limits<double>::infinity(), 10));
    auto far = box(QRectF(5000, 5000, 10, 10));
    auto overhanging = box(QRectF(545, 10, 100, 50));
    root6->addSubwidget(wild);
    root6->addSubwidget(far);
    root6->addSubwidget(overhanging);
    reader->pdfModifyView_visiblePageChagne(nullptr, {document->pageAtIndex(6)});
    EXPECT_EQ(reader->placedPages(), (std::vector<int>{6}));
    EXPECT_EQ(reader->widgetViewsOfPage(6).size(), 3u);
    EXPECT_EQ(unready->viewsMade, 0);
    EXPECT_EQ(buttonless->viewsMade, 1);
    EXPECT_EQ(wild->viewsMade, 0);
    EXPECT_EQ(far->viewsMade, 0);
    EXPECT_EQ(overhanging->viewsMade, 1);

    // The unready box becomes ready while its page shows: it comes on that page once, and starts.
    const int activationsBefore = unready->activations;
    unready->ready = true;
    reader->pageUIContextRootWidgetAvailable(context->pages[6]);
    EXPECT_EQ(unready->viewsMade, 1);
    EXPECT_EQ(unready->activations, activationsBefore + 1);
    EXPECT_EQ(reader->widgetViewsOfPage(6).size(), 5u);
    reader->placeWidgetsThatBecameReady();
    EXPECT_EQ(unready->viewsMade, 1);
    // A page without widgets gets no entry; no pages at all removes every view.
    reader->pdfModifyView_visiblePageChagne(nullptr, {document->pageAtIndex(7)});
    EXPECT_TRUE(reader->placedPages().empty());
    EXPECT_EQ(buttonless->detaches, 1);

    // A mode change clears the views and places those of the new layout, even when the same
    // pages stay on screen; an unknown mode too.
    reader->goToPage(5);
    ASSERT_TRUE(placed({5, 6}));
    // Shown, the overhanging box and its button show only on their page.
    for (const auto& placedView :
         {overhanging->widgetView(), overhanging->button()->widgetView()}) {
        const auto* qt = dynamic_cast<const QtWidgetView*>(placedView.get());
        ASSERT_TRUE(qt && qt->widget());
        const QRegion mask = qt->widget()->mask();
        ASSERT_FALSE(mask.isEmpty());
        EXPECT_EQ(mask.boundingRect().left(), 0);
        EXPECT_LT(mask.boundingRect().width(), qt->widget()->width() * 6 / 10);
        EXPECT_GT(mask.boundingRect().width(), qt->widget()->width() * 4 / 10);
    }
    const int before = boxes[5]->activations;
    reader->pdfPageViewType(0);
    EXPECT_EQ(view->displayMode(), 0);
    ASSERT_TRUE(placed({5}));
    EXPECT_EQ(boxes[5]->activations, before + 1);
    reader->pdfPageViewType(7);
    EXPECT_EQ(view->displayMode(), 0);
    EXPECT_EQ(reader->placedPages(), (std::vector<int>{5}));
    EXPECT_EQ(boxes[5]->activations, before + 2);
    // The widget views go with the reader's views of the issue.
    reader->view()->hide();
    EXPECT_TRUE(reader->placedPages().empty());
    EXPECT_EQ(view->documentView()->findChildren<QWidget*>().size(), 0);
}

// Box views: plain buttons at their frames in the document view, whatever else they are given,
// kept apart from the pages' widget views (which come and go with their pages).
TEST_F(ReaderWidgetPlacementTest, BoxViewsArePlainButtonsAtTheirFramesKeptApartFromPageWidgets) {
    addItem("RP03-0004", 4);
    stallFirstPages("RP03-0004", 4);
    auto context = contextOf<FakeIssueUIContext>("RP03-0004");
    ASSERT_TRUE(context);
    context->rootOf(1)->addSubwidget(box(QRectF(10, 20, 100, 50)));
    auto reader = shownReader();
    reader->pdfPageViewType(1);
    reader->setUiContext(context);
    // Scrolled down the pages: the document view's frames are not the view's.
    reader->goToPage(1);
    PDFModifyView* view = reader->pdfView();
    ASSERT_TRUE(spinUntil([&] {
        return view->documentVisibleRect().top() > 0 && reader->placedPages() == std::vector{1};
    }));
    const QRectF frame(view->documentVisibleRect().topLeft().toPoint() + QPoint(30, 40),
                       QSizeF(80, 40));

    reader->addBoxView(nullptr, 0, frame, 0);
    reader->addBoxView(context, 3, frame.translated(0, 60), 7);
    const auto boxes = reader->widgetVisible();
    ASSERT_EQ(boxes.size(), 2u);
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i]->parentWidget(), view->documentView()) << i;
        EXPECT_TRUE(boxes[i]->isVisible()) << i;
        EXPECT_TRUE(boxes[i]->text().isEmpty()) << i;
        EXPECT_TRUE(boxes[i]->icon().isNull()) << i;
        // At the frame, to the pixel.
        const QRectF at = view->convertRectToDocumentView(QRectF(boxes[i]->geometry()));
        const QRectF expected = frame.translated(0, 60.0 * static_cast<double>(i));
        EXPECT_LE(std::abs(at.left() - expected.left()), 1) << i;
        EXPECT_LE(std::abs(at.top() - expected.top()), 1) << i;
        EXPECT_EQ(at.size(), expected.size()) << i;
    }
    // The pages' views go; the box views stay.
    EXPECT_EQ(reader->widgetViewsOfPage(1).size(), 2u);
    reader->removeWidgetVisibleViewNotInPage(std::nullopt);
    EXPECT_TRUE(reader->placedPages().empty());
    EXPECT_EQ(reader->widgetVisible(), boxes);
    for (QPushButton* box : boxes)
        EXPECT_EQ(box->parentWidget(), view->documentView());
}
