#include "platform_ui/ViewGeometry.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <memory>

namespace ui {
namespace {

// Remembers a child's margins and size at the parent's last size and applies its mask when the
// parent resizes.
class Autoresizer : public QObject {
  public:
    Autoresizer(QWidget* child, unsigned mask) : QObject(child), child_(child), mask_(mask) {
        parentSize_ = child->parentWidget()->size();
        child->parentWidget()->installEventFilter(this);
    }
    void setMask(unsigned mask) { mask_ = mask; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && child_ && watched == child_->parentWidget())
            apply();
        return false;
    }

  private:
    // One axis: the flexible parts share the change in proportion to their sizes.
    static void resizeAxis(double& minMargin, double& size, double& maxMargin, double delta,
                           bool minFlex, bool sizeFlex, bool maxFlex) {
        const double parts =
            (minFlex ? minMargin : 0) + (sizeFlex ? size : 0) + (maxFlex ? maxMargin : 0);
        const int flexCount = minFlex + sizeFlex + maxFlex;
        if (flexCount == 0)
            return;
        const auto share = [&](double part) {
            return parts > 0 ? delta * part / parts : delta / flexCount;
        };
        const double dMin = minFlex ? share(minMargin) : 0;
        const double dSize = sizeFlex ? share(size) : 0;
        minMargin += dMin;
        size += dSize;
        maxMargin += delta - dMin - dSize;
    }
    void apply() {
        QWidget* parent = child_->parentWidget();
        const QSizeF newSize = parent->size();
        const QRectF old = flipRect(QRectF(child_->geometry()), parentSize_.height());
        double left = old.x(), width = old.width(), right = parentSize_.width() - old.right();
        double bottom = old.y(), height = old.height(), top = parentSize_.height() - old.bottom();
        resizeAxis(left, width, right, newSize.width() - parentSize_.width(),
                   mask_ & ViewMinXMargin, mask_ & ViewWidthSizable, mask_ & ViewMaxXMargin);
        resizeAxis(bottom, height, top, newSize.height() - parentSize_.height(),
                   mask_ & ViewMinYMargin, mask_ & ViewHeightSizable, mask_ & ViewMaxYMargin);
        parentSize_ = newSize;
        child_->setGeometry(
            flipRect(QRectF(left, bottom, width, height), newSize.height()).toRect());
    }

    QPointer<QWidget> child_;
    unsigned mask_;
    QSizeF parentSize_;
};

}  // namespace

QRectF flipRect(const QRectF& rect, double containerHeight) {
    return QRectF(rect.x(), containerHeight - rect.y() - rect.height(), rect.width(),
                  rect.height());
}

QRectF frame(const QWidget* widget) {
    const double h = widget->parentWidget() ? widget->parentWidget()->height() : 0;
    return flipRect(QRectF(widget->geometry()), h);
}

void setFrame(QWidget* widget, const QRectF& yUpFrame) {
    const double h = widget->parentWidget() ? widget->parentWidget()->height() : 0;
    widget->setGeometry(flipRect(yUpFrame, h).toRect());
}

void setAutoresizingMask(QWidget* widget, unsigned mask) {
    if (!widget || !widget->parentWidget())
        return;
    // By class, not through Qt's meta-object (the resizer has none of its own): a widget's other
    // children (a scroll area's viewport, say) must not be taken for it.
    for (QObject* child : widget->children()) {
        if (auto* existing = dynamic_cast<Autoresizer*>(child)) {
            existing->setMask(mask);
            return;
        }
    }
    std::make_unique<Autoresizer>(widget, mask).release();  // owned by the widget (its parent)
}

void LayerView::setLayerStyle(const LayerStyle& style) {
    style_ = style;
    if (style_.shadowColor) {
        // Drawn outside the view's bounds, onto its parent.
        auto effect = std::make_unique<QGraphicsDropShadowEffect>();
        effect->setColor(*style_.shadowColor);
        effect->setBlurRadius(style_.shadowRadius * 2);
        effect->setOffset(style_.shadowOffset);
        setGraphicsEffect(effect.release());  // the widget owns its effect
    } else {
        setGraphicsEffect(nullptr);
    }
    update();
}

void LayerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = style_.borderWidth / 2;
    const QRectF body = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    path.addRoundedRect(body, style_.cornerRadius, style_.cornerRadius);
    if (style_.background)
        painter.fillPath(path, *style_.background);
    if (style_.borderColor && style_.borderWidth > 0) {
        painter.setPen(QPen(*style_.borderColor, style_.borderWidth));
        painter.drawPath(path);
    }
}

}  // namespace ui
