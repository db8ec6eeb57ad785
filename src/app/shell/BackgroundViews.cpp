#include "app/shell/BackgroundViews.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// Laid over what is already painted beneath: a translucent colour lets it show through and the
// clear colour leaves it as it is (copying them in would paint an opaque dark grey, or black).
void fill(QWidget* widget, QPaintEvent* event, const QColor& colour) {
    QPainter painter(widget);
    painter.fillRect(event->rect(), colour);
}

}  // namespace

void RedBackgroundView::paintEvent(QPaintEvent* event) {
    fill(this, event, Qt::transparent);
    QWidget::paintEvent(event);
}

void GrayBackgroundView::paintEvent(QPaintEvent* event) {
    fill(this, event, QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.4f));
    QWidget::paintEvent(event);
}

void WhiteBackgroundView::paintEvent(QPaintEvent* event) {
    fill(this, event, Qt::white);
    QWidget::paintEvent(event);
}
