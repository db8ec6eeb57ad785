// The horizontal strip inside a vertically scrolling page: sideways gestures scroll the strip,
// vertical ones scroll the page behind it; the direction holds for the whole gesture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include "platform_ui/DTScrollView.h"

namespace {

void wheel(QWidget* target, QPoint pixels, Qt::ScrollPhase phase) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(at, target->mapToGlobal(at), pixels, pixels * 2, Qt::NoButton, Qt::NoModifier,
                      phase, false);
    QApplication::sendEvent(target, &event);
}

TEST(ImageSliderTest, DTScrollViewScrollsSidewaysAndPassesVerticalWheelsOn) {
    QScrollArea page;
    page.resize(400, 300);
    auto* content = new QWidget;
    content->resize(400, 2000);
    auto* strip = new ui::DTScrollView(content);
    strip->setGeometry(0, 100, 400, 150);
    auto* row = new QWidget;
    row->resize(3000, 130);
    strip->setWidget(row);
    page.setWidget(content);
    page.show();
    QScrollBar* pageBar = page.verticalScrollBar();
    QScrollBar* stripBar = strip->horizontalScrollBar();
    ASSERT_GT(pageBar->maximum(), 0);
    ASSERT_GT(stripBar->maximum(), 0);

    // A vertical gesture over the strip scrolls the page, not the strip, to its end.
    wheel(strip->viewport(), {0, -60}, Qt::ScrollBegin);
    wheel(strip->viewport(), {-5, -60}, Qt::ScrollUpdate);
    wheel(strip->viewport(), {0, 0}, Qt::ScrollEnd);
    EXPECT_FALSE(strip->currentScrollIsHorizontal());
    const int pageAfterVertical = pageBar->value();
    EXPECT_GT(pageAfterVertical, 0);
    EXPECT_EQ(stripBar->value(), 0);

    // A sideways gesture scrolls the strip only, even when later events lean vertical.
    wheel(strip->viewport(), {-80, 10}, Qt::ScrollBegin);
    wheel(strip->viewport(), {-10, -40}, Qt::ScrollUpdate);
    wheel(strip->viewport(), {0, 0}, Qt::ScrollEnd);
    EXPECT_TRUE(strip->currentScrollIsHorizontal());
    EXPECT_GT(stripBar->value(), 0);
    EXPECT_EQ(pageBar->value(), pageAfterVertical);

    // A plain mouse wheel decides event by event.
    wheel(strip->viewport(), {0, -60}, Qt::NoScrollPhase);
    EXPECT_FALSE(strip->currentScrollIsHorizontal());
    EXPECT_GT(pageBar->value(), pageAfterVertical);
}

}  // namespace
