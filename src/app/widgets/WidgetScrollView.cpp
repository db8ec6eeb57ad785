#include "app/widgets/WidgetScrollView.h"

#include <QScrollArea>
#include <QScrollBar>

PLAT_DEFINE_CLASS(WidgetScrollView, QtWidgetView, PLAT_NO_METHODS)

WidgetScrollView::WidgetScrollView(const QRectF& frame)
    : QtWidgetView(std::make_unique<QScrollArea>()) {
    auto* area = scrollArea();
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        QObject::connect(bar, &QScrollBar::valueChanged, area, [this] {
            if (observer_)
                observer_();
        });
    }
    setFrame(frame);
}

WidgetScrollView::~WidgetScrollView() {
    // The document's widget goes with its own view, not with the area.
    if (auto* area = scrollArea()) {
        area->verticalScrollBar()->disconnect(area);
        area->horizontalScrollBar()->disconnect(area);
        (void)area->takeWidget();
    }
}

QScrollArea* WidgetScrollView::scrollArea() const {
    return static_cast<QScrollArea*>(widget());
}

void WidgetScrollView::setDocumentView(const Ref<WidgetView>& view) {
    auto* area = scrollArea();
    if (area)
        (void)area->takeWidget();
    documentView_ = view;
    auto* qt = dynamic_cast<QtWidgetView*>(view.get());
    if (!area || !qt || !qt->widget())
        return;
    QWidget* document = qt->widget();
    document->resize(geometryOf(view->frame()).size());
    area->setWidget(document);
    document->setAutoFillBackground(false);  // the area's own background shows
    document->show();
}

void WidgetScrollView::documentViewDidResize() {
    auto* qt = dynamic_cast<QtWidgetView*>(documentView_.get());
    if (qt && qt->widget())
        qt->widget()->resize(geometryOf(documentView_->frame()).size());
}

void WidgetScrollView::setHasVerticalScroller(bool on) {
    if (auto* area = scrollArea())
        area->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void WidgetScrollView::setHasHorizontalScroller(bool on) {
    if (auto* area = scrollArea())
        area->setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void WidgetScrollView::setBackgroundColor(const QColor& color) {
    auto* area = scrollArea();
    if (!area)
        return;
    const bool opaque = color.alpha() > 0;
    for (QWidget* widget : {static_cast<QWidget*>(area), area->viewport()}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, color);
        widget->setPalette(palette);
        widget->setAutoFillBackground(opaque);
    }
}

void WidgetScrollView::scrollToPoint(const QPointF& point) {
    if (auto* area = scrollArea()) {
        area->horizontalScrollBar()->setValue(static_cast<int>(point.x()));
        area->verticalScrollBar()->setValue(static_cast<int>(point.y()));
    }
}

QPointF WidgetScrollView::scrollPosition() const {
    auto* area = scrollArea();
    return area ? QPointF(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value())
                : QPointF();
}
