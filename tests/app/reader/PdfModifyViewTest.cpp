// The reader's page view and hover buttons: one report a change of visible pages, drags that
// scroll by the whole offset even when released outside, the hand and arrow cursors, no context
// menu, and buttons that show only under the mouse whatever their size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "app/reader/PDFModifyView.h"
#include "app/reader/PageChangeButton.h"
#include "support/GuiTestSupport.h"
#include "support/PdfFixtures.h"

using testing_support::spin;
using testing_support::spinUntil;

namespace {

class Recorder : public PDFModifyViewDelegate {
  public:
    void pdfModifyView_visiblePageChagne(PDFModifyView* view,
                                         const std::vector<Ref<ui::PdfPage>>& pages) override {
        views.push_back(view);
        reports.push_back(pages);
    }
    std::vector<PDFModifyView*> views;
    std::vector<std::vector<Ref<ui::PdfPage>>> reports;
};

Ref<ui::PdfDocument> documentOfPages(int count) {
    auto document = std::make_shared<ui::PdfDocument>();
    for (int i = 0; i < count; ++i) {
        const std::string pdf = testing_support::filledPdf(300, 400, 0.2, 0.4, 0.8);
        document->insertPage(
            ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size()))), i);
    }
    return document;
}

void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

}  // namespace

TEST(PdfModifyViewTest, ReportsEachChangeOnceDragsByTheWholeOffsetAndOffersNoMenu) {
    PDFModifyView view;
    auto recorder = std::make_shared<Recorder>();
    view.setDelegate(recorder);
    view.resize(400, 300);
    view.setDisplayMode(ui::PdfView::SinglePageContinuous);
    view.setDocument(documentOfPages(6));
    view.show();
    ASSERT_TRUE(spinUntil([&] { return !recorder->reports.empty(); }));
    spin(50);
    const size_t reports = recorder->reports.size();
    EXPECT_EQ(recorder->views.back(), &view);
    // Asked again with nothing changed: no new report.
    view.visiblePages();
    view.visiblePages();
    EXPECT_EQ(recorder->reports.size(), reports);
    // Forgotten: the same pages are reported again, once.
    view.forgetVisiblePages();
    view.visiblePages();
    view.visiblePages();
    EXPECT_EQ(recorder->reports.size(), reports + 1);

    // A drag released far outside the view scrolls by the whole offset.
    QWidget* viewport = view.viewport();
    QScrollBar* bar = view.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 600);
    const int start = bar->value();
    mouse(viewport, QEvent::MouseButtonPress, {200, 250});
    EXPECT_EQ(viewport->cursor().shape(), Qt::ClosedHandCursor);
    mouse(viewport, QEvent::MouseMove, {200, 150});
    EXPECT_EQ(bar->value(), start + 100);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ClosedHandCursor);
    mouse(viewport, QEvent::MouseMove, {180, -350});
    mouse(viewport, QEvent::MouseButtonRelease, {180, -350});
    EXPECT_EQ(bar->value(), start + 600);
    spin(20);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ArrowCursor);  // released outside the pages
    ASSERT_TRUE(spinUntil([&] { return recorder->reports.size() > reports + 1; }));

    // Over the pages an open hand; beside them (the view is wider than the zoomed-out pages)
    // an arrow.
    view.setScaleFactor(0.3);
    spin(20);
    mouse(viewport, QEvent::MouseMove, {200, 150}, Qt::NoButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::OpenHandCursor);
    mouse(viewport, QEvent::MouseMove, {10, 150}, Qt::NoButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ArrowCursor);

    // A right click shows no menu and starts no drag.
    const int before = bar->value();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(200, 150),
                           viewport->mapToGlobal(QPoint(200, 150)));
    QApplication::sendEvent(viewport, &menu);
    mouse(viewport, QEvent::MouseButtonPress, {200, 150}, Qt::RightButton);
    mouse(viewport, QEvent::MouseMove, {200, 50}, Qt::RightButton);
    spin(20);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(bar->value(), before);
}

TEST(PdfModifyViewTest, HoverButtonsShowOnlyUnderTheMouseAndStayClickableAfterAResize) {
    QWidget window;
    window.resize(400, 300);
    auto* button = new PageChangeButton(PageChangeButton::Next, &window);
    button->setGeometry(300, 100, 50, 100);
    QSignalSpy clicks(button, &QPushButton::clicked);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(button->title(), "Initial");
    EXPECT_TRUE(button->isTransparent());
    EXPECT_TRUE(button->isVisible());  // transparent, not hidden

    // Transparent: nothing painted over what lies under it.
    window.setStyleSheet("background: rgb(10, 200, 10);");
    const auto centreColour = [&] {
        return QColor(window.grab().toImage().pixel(button->geometry().center()));
    };
    EXPECT_EQ(centreColour(), QColor(10, 200, 10));

    QTest::mouseMove(&window, QPoint(320, 150));
    ASSERT_TRUE(spinUntil([&] { return !button->isTransparent(); }));
    EXPECT_EQ(button->title(), "Entered");
    EXPECT_NE(centreColour(), QColor(10, 200, 10));
    QTest::mouseMove(&window, QPoint(100, 150));
    ASSERT_TRUE(spinUntil([&] { return button->isTransparent(); }));
    EXPECT_EQ(button->title(), "Exited");

    // Still clickable while transparent.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    // Resized: the hover area is the new bounds.
    button->setGeometry(200, 20, 150, 260);
    QTest::mouseMove(&window, QPoint(220, 40));
    ASSERT_TRUE(spinUntil([&] { return !button->isTransparent(); }));
    QTest::mouseMove(&window, QPoint(20, 40));
    ASSERT_TRUE(spinUntil([&] { return button->isTransparent(); }));
}
