#include "app/widgets/WidgetViewMakers.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <functional>
#include <optional>

#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/widgets/ImageWidget.h"
#include "platform/image/Image.h"

namespace {

// A clickable surface painting a background, an optional rounded border and an optional
// picture stretched over it (faded while disabled).
class PaintedSurface : public QAbstractButton {
  public:
    // A page's widgets act on the mouse, as a page's links do: a click leaves the keys with the
    // page view, which turns and scrolls the pages by them.
    explicit PaintedSurface(QWidget* parent = nullptr) : QAbstractButton(parent) {
        setFocusPolicy(Qt::NoFocus);
    }
    QColor background = Qt::transparent;
    qreal borderWidth = 0;
    qreal cornerRadius = 0;
    QColor borderColor = Qt::transparent;
    QImage picture;
    QPointer<QWidget> underline;  // kept along the bottom edge
    std::function<void()> didResize;
    // A surface that only shows its picture: a press on it goes on to the page view, its parent,
    // and not to a widget the picture lies over (so a picture covering another widget takes the
    // press and nothing happens), while what is placed on it (links in a picture) takes its own
    // presses.
    bool passesPresses = false;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (passesPresses)
            event->ignore();
        else
            QAbstractButton::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (passesPresses)
            event->ignore();
        else
            QAbstractButton::mouseReleaseEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (passesPresses)
            event->ignore();
        else
            QAbstractButton::mouseDoubleClickEvent(event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect());
        if (background.alpha() > 0) {
            QPainterPath path;
            path.addRoundedRect(area, cornerRadius, cornerRadius);
            painter.fillPath(path, background);
        }
        if (!picture.isNull()) {
            if (!isEnabled())
                painter.setOpacity(0.4);
            painter.drawImage(area, picture);
            painter.setOpacity(1);
        }
        if (borderWidth > 0) {
            const qreal half = borderWidth / 2;
            painter.setPen(QPen(borderColor, borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(area.adjusted(half, half, -half, -half), cornerRadius - half,
                                    cornerRadius - half);
        }
    }
    void resizeEvent(QResizeEvent* event) override {
        QAbstractButton::resizeEvent(event);
        if (underline)
            underline->setGeometry(0, height() - 2, width(), 2);
        if (didResize)
            didResize();
    }
};

// The view over a surface: pictures and background colours reach it.
class SurfaceView : public QtWidgetView {
  public:
    SurfaceView(std::unique_ptr<PaintedSurface> surface, const QRectF& frame)
        : QtWidgetView(std::unique_ptr<QWidget>(surface.release())) {
        setFrame(frame);
    }
    PaintedSurface* surface() const { return static_cast<PaintedSurface*>(widget()); }
    void setImage(const Ref<plat::Image>& image) override {
        if (auto* s = surface()) {
            s->picture = image ? image->qimage() : QImage();
            s->update();
        }
        imageSize_ = image ? QSizeF(image->width(), image->height()) : QSizeF();
        placeByAnchor();
    }
    // An icon: it keeps the size of its picture, placed in its superview by the anchor.
    void setAnchor(WidgetAnchor anchor) { anchor_ = anchor; }
    void placeByAnchor() {
        const auto parent = superview();
        if (!anchor_ || !parent)
            return;
        setFrame(
            VisibleWidget::alignRect(QRectF(QPointF(), imageSize_), parent->bounds(), *anchor_));
    }
    void setBackgroundColor(const QColor& color) override {
        if (auto* s = surface()) {
            s->background = color;
            s->repaint();
        }
    }

  private:
    std::optional<WidgetAnchor> anchor_;
    QSizeF imageSize_;
};

Ref<WidgetView> makeButtonView(VisibleWidget& owner, const QRectF& frame) {
    auto* button = dynamic_cast<WidgetActionButton*>(&owner);
    if (!button)
        return std::make_shared<QtWidgetView>(frame);
    const WeakRef<WidgetActionButton> weak = button->self<WidgetActionButton>();
    auto surface = std::make_unique<PaintedSurface>();
    surface->background = button->backgroundColor();
    if (button->frameStyle() == 2) {
        surface->borderWidth = 2.0;
        surface->cornerRadius = 6.0;
        surface->borderColor = button->frameColor();
    }
    QObject::connect(surface.get(), &QAbstractButton::clicked, [weak] {
        if (auto target = weak.lock())
            target->frameButtonTouchUpInside(target);
    });
    auto view = std::make_shared<SurfaceView>(std::move(surface), frame);
    auto* body = view->surface();
    if (button->frameStyle() == 0) {
        auto* underline = new PaintedSurface(body);  // owned by the button's surface
        underline->background = QColor(0, 255, 255, 128);
        underline->cornerRadius = 2.0;
        underline->setAttribute(Qt::WA_TransparentForMouseEvents);
        underline->setGeometry(0, body->height() - 2, body->width(), 2);
        underline->show();
        body->underline = underline;
    }
    if (button->iconVisible()) {
        const auto& icon = button->icon();
        const QRectF iconRect(0, 0, icon ? icon->width() : 0, icon ? icon->height() : 0);
        auto iconSurface = std::make_unique<PaintedSurface>();
        iconSurface->setEnabled(button->iconUserInteractive());
        QObject::connect(iconSurface.get(), &QAbstractButton::clicked, [weak] {
            if (auto target = weak.lock())
                target->iconButtonTouchUpInside(target);
        });
        auto iconView = std::make_shared<SurfaceView>(
            std::move(iconSurface),
            VisibleWidget::alignRect(iconRect, QRectF(QPointF(), frame.size()),
                                     button->iconAlignment()));
        iconView->setImage(icon);
        view->addSubview(iconView);
        iconView->setAnchor(button->iconAlignment());
        button->setIconButton(iconView);
        // The icon keeps its place when the button is laid out anew (a zoom).
        const WeakRef<SurfaceView> weakIcon = iconView;
        const WeakRef<SurfaceView> weakView = view;
        body->didResize = [weakIcon, weakView] {
            const auto owner = weakView.lock();
            const auto placed = weakIcon.lock();
            if (!owner || !placed)
                return;
            if (auto* qt = owner->widget())
                owner->QtWidgetView::setFrame(QRectF(qt->geometry()));
            placed->placeByAnchor();
        };
    }
    return view;
}

}  // namespace

void installWidgetViewMakers() {
    WidgetViewFactory::setMaker(WidgetActionButton::kViewKind, makeButtonView);
    WidgetViewFactory::setMaker(ImageWidget::kImageViewKind,
                                [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
                                    auto surface = std::make_unique<PaintedSurface>();
                                    surface->passesPresses = true;
                                    return std::make_shared<SurfaceView>(std::move(surface), frame);
                                });
}
