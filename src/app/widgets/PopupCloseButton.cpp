#include "app/widgets/PopupCloseButton.h"

#include <QPainter>

PopupCloseButton::PopupCloseButton(QColor disc, QColor cross, QWidget* parent)
    : QAbstractButton(parent), disc_(disc), cross_(cross) {}

void PopupCloseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(7, 7, -7, -7);
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc_);
    painter.drawEllipse(disc);
    painter.setPen(QPen(cross_, 2.5));
    const QRectF cross = disc.adjusted(7.5, 7.5, -7.5, -7.5);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}
