#include "platform_ui/ViewGeometry.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QPointer>
#include <cmath>
#include <memory>
#include <vector>

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

// How far a shadow's blur reaches beyond its body on each side: about its radius, by two box
// passes of half of it.
int shadowSpread(const LayerStyle& style) {
    return 2 * std::max(1, static_cast<int>(std::lround(style.shadowRadius / 2)));
}

// One pass of a box blur over lines of values: each value becomes the mean of those within
// `reach` along its line (beyond the ends count as 0). Lines start `lineStep` apart and their
// values lie `step` apart.
void boxBlur(std::vector<int>& values, int lines, int length, size_t lineStep, size_t step,
             int reach) {
    std::vector<int> line(static_cast<size_t>(length));
    for (int l = 0; l < lines; ++l) {
        int* first = values.data() + static_cast<size_t>(l) * lineStep;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = first[static_cast<size_t>(i) * step];
        int sum = 0;
        for (int i = 0; i < std::min(reach, length); ++i)
            sum += line[static_cast<size_t>(i)];
        for (int i = 0; i < length; ++i) {
            if (i + reach < length)
                sum += line[static_cast<size_t>(i + reach)];
            if (i - reach > 0)
                sum -= line[static_cast<size_t>(i - reach - 1)];
            first[static_cast<size_t>(i) * step] = sum / (2 * reach + 1);
        }
    }
}

// The shadow a body of that size and style casts, with the spread around it: the rounded body's
// coverage blurred by two box passes each way, in the shadow's colour. Made once per size and
// style and kept in the pixmap cache.
QPixmap bodyShadow(QSize size, const LayerStyle& style) {
    const int spread = shadowSpread(style);
    const QString key = QStringLiteral("ui.layer-shadow:%1x%2:%3:%4:%5")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(spread)
                            .arg(style.cornerRadius)
                            .arg(style.shadowColor->rgba());
    QPixmap shadow;
    if (QPixmapCache::find(key, &shadow))
        return shadow;
    QImage picture(size + QSize(2 * spread, 2 * spread), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath body;
        body.addRoundedRect(QRectF(spread, spread, size.width(), size.height()), style.cornerRadius,
                            style.cornerRadius);
        painter.fillPath(body, Qt::black);
    }
    const int width = picture.width();
    const int height = picture.height();
    std::vector<int> alpha(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            alpha[static_cast<size_t>(y * width + x)] = qAlpha(picture.pixel(x, y));
    const int reach = spread / 2;
    for (int pass = 0; pass < 2; ++pass) {
        boxBlur(alpha, height, width, static_cast<size_t>(width), 1, reach);
        boxBlur(alpha, width, height, 1, static_cast<size_t>(width), reach);
    }
    const QColor colour = *style.shadowColor;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int a = alpha[static_cast<size_t>(y * width + x)] * colour.alpha() / 255;
            picture.setPixel(x, y,
                             qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), a)));
        }
    shadow = QPixmap::fromImage(std::move(picture));
    QPixmapCache::insert(key, shadow);
    return shadow;
}

// A shadow cast by the widget's rounded body, drawn under the widget from its one drawing; the
// widget itself is drawn straight onto the painter (no offscreen copy of it is made).
class BodyShadowEffect : public QGraphicsEffect {
  public:
    explicit BodyShadowEffect(const LayerStyle& style) : style_(style) {}

    QRectF boundingRectFor(const QRectF& rect) const override {
        const double spread = shadowSpread(style_);
        return rect.united(
            rect.translated(style_.shadowOffset).adjusted(-spread, -spread, spread, spread));
    }

  protected:
    void draw(QPainter* painter) override {
        const QRectF body = sourceBoundingRect(Qt::LogicalCoordinates);
        const QPixmap shadow = bodyShadow(body.size().toSize(), style_);
        const double spread = shadowSpread(style_);
        painter->drawPixmap(body.topLeft() + style_.shadowOffset - QPointF(spread, spread), shadow);
        drawSource(painter);
    }

  private:
    LayerStyle style_;
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
    if (style == style_ && (graphicsEffect() != nullptr) == style_.shadowColor.has_value())
        return;
    style_ = style;
    if (style_.shadowColor && style_.shadowFromBody) {
        setGraphicsEffect(std::make_unique<BodyShadowEffect>(style_).release());  // owned by it
    } else if (style_.shadowColor) {
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
    const bool bordered = style_.borderColor && style_.borderWidth > 0;
    if (!style_.background && !bordered)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = style_.borderWidth / 2;
    const QRectF body = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    path.addRoundedRect(body, style_.cornerRadius, style_.cornerRadius);
    if (style_.background)
        painter.fillPath(path, *style_.background);
    if (bordered) {
        painter.setPen(QPen(*style_.borderColor, style_.borderWidth));
        painter.drawPath(path);
    }
}

}  // namespace ui
