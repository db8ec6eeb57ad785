#include "app/issueui/QtWidgetView.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

PLAT_DEFINE_CLASS(QtWidgetView, WidgetView, PLAT_NO_METHODS)

QtWidgetView::QtWidgetView(const QRectF& frame) : QtWidgetView(std::make_unique<QWidget>()) {
    setFrame(frame);
}

namespace {

// Hidden only when someone hid it: a widget never shown yet is not.
bool explicitlyHidden(const QWidget& widget) {
    return widget.testAttribute(Qt::WA_WState_ExplicitShowHide) && widget.isHidden();
}

}  // namespace

QtWidgetView::QtWidgetView(std::unique_ptr<QWidget> owned)
    : widget_(owned.get()), ownedWidget_(std::move(owned)) {
    if (widget_) {
        hidden_ = explicitlyHidden(*widget_);
        frame_ = widget_->geometry();
    }
}

Ref<QtWidgetView> QtWidgetView::borrowing(QWidget* widget) {
    auto view = std::make_shared<QtWidgetView>(std::unique_ptr<QWidget>());
    view->widget_ = widget;
    if (widget) {
        view->frame_ = widget->geometry();
        view->hidden_ = explicitlyHidden(*widget);
    }
    return view;
}

QtWidgetView::~QtWidgetView() {
    // Subviews keep their widgets: take them out before this widget may go.
    for (const auto& subview : subviews()) {
        if (auto* child = dynamic_cast<QtWidgetView*>(subview.get()); child && child->widget()) {
            child->widget()->hide();
            child->widget()->setParent(nullptr);
        }
    }
    if (!widget_)
        (void)ownedWidget_.release();  // Qt deleted it with its parent
}

QWidget* QtWidgetView::widget() const {
    return widget_.data();
}

QRectF QtWidgetView::frame() const {
    return frame_;
}

QRect QtWidgetView::geometryOf(const QRectF& frame) {
    const auto held = [](double value) {
        constexpr double kLimit = 1 << 24;
        return std::isfinite(value) ? std::clamp(value, -kLimit, kLimit) : 0.0;
    };
    return QRectF(held(frame.x()), held(frame.y()), held(frame.width()), held(frame.height()))
        .toRect();
}

void QtWidgetView::setFrame(const QRectF& frame) {
    frame_ = frame;
    if (widget_)
        widget_->setGeometry(geometryOf(frame));
}

bool QtWidgetView::isHidden() const {
    return hidden_;
}

void QtWidgetView::setHidden(bool hidden) {
    hidden_ = hidden;
    if (widget_ && widget_->parentWidget())
        widget_->setVisible(!hidden);
}

void QtWidgetView::didAddSubview(WidgetView& view) {
    auto* child = dynamic_cast<QtWidgetView*>(&view);
    if (!child || !child->widget() || !widget_)
        return;
    child->widget()->setParent(widget_);
    child->widget()->setGeometry(geometryOf(child->frame_));
    child->widget()->setVisible(!child->hidden_);
}

void QtWidgetView::willRemoveSubview(WidgetView& view) {
    auto* child = dynamic_cast<QtWidgetView*>(&view);
    if (!child || !child->widget())
        return;
    child->widget()->hide();
    child->widget()->setParent(nullptr);
}

void QtWidgetView::installPlainViewMaker() {
    WidgetViewFactory::setMaker(WidgetViewFactory::kPlainView,
                                [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
                                    return std::make_shared<QtWidgetView>(frame);
                                });
}
