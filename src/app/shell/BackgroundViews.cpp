#include "app/shell/BackgroundViews.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

void fill(QWidget* widget, QPaintEvent* event, const QColor& colour) {
    QPainter painter(widget);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
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
