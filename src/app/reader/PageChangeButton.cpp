#include "app/reader/PageChangeButton.h"

#include <QPainter>
#include <QPainterPath>

#include "platform_ui/Controls.h"

PageChangeButton::PageChangeButton(Direction direction, QWidget* parent)
    : QPushButton(parent), direction_(direction) {
    setText("Initial");
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    ui::TrackingArea::install(
        this, [this] { mouseEntered(); }, [this] { mouseExited(); });
}

void PageChangeButton::setTransparent(bool transparent) {
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    update();
}

void PageChangeButton::mouseEntered() {
    setText("Entered");
    setTransparent(false);
}

void PageChangeButton::mouseExited() {
    setText("Exited");
    setTransparent(true);
}

void PageChangeButton::paintEvent(QPaintEvent*) {
    if (transparent_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, isDown() ? 170 : 110));
    painter.drawRoundedRect(plate, 8, 8);
    // The arrow: a chevron pointing to the page it goes to.
    const double side = std::min(plate.width(), plate.height()) * 0.35;
    const QPointF c = plate.center();
    const double dir = direction_ == Next ? 1 : -1;
    QPainterPath arrow;
    arrow.moveTo(c.x() - dir * side / 2, c.y() - side);
    arrow.lineTo(c.x() + dir * side / 2, c.y());
    arrow.lineTo(c.x() - dir * side / 2, c.y() + side);
    painter.setPen(
        QPen(Qt::white, std::max(2.0, side / 4), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrow);
}
