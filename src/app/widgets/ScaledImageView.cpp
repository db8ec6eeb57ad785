#include "app/widgets/ScaledImageView.h"

#include <QPainter>

ScaledImageView::ScaledImageView(Scaling scaling, QWidget* parent)
    : QWidget(parent), scaling_(scaling) {}

void ScaledImageView::setImage(const QImage& image) {
    image_ = image;
    update();
}

void ScaledImageView::paintEvent(QPaintEvent*) {
    if (image_.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRectF target(rect());
    if (scaling_ == Scaling::ProportionallyUpOrDown) {
        const QSizeF size = QSizeF(image_.size()).scaled(target.size(), Qt::KeepAspectRatio);
        target = QRectF(QPointF(target.center().x() - size.width() / 2,
                                target.center().y() - size.height() / 2),
                        size);
    }
    painter.drawImage(target, image_);
}
