#include "platform_ui/DTScrollView.h"

#include <QApplication>
#include <QWheelEvent>
#include <cstdlib>

namespace ui {

DTScrollView::DTScrollView(QWidget* parent) : QScrollArea(parent) {}

void DTScrollView::wheelEvent(QWheelEvent* event) {
    // Qt reports no may-begin and no cancelled phase; a gesture starts with ScrollBegin, and a
    // plain wheel (no phase) decides its direction event by event. Momentum keeps the direction
    // of the gesture it follows.
    const QPoint delta = event->pixelDelta().isNull() ? event->angleDelta() : event->pixelDelta();
    if (event->phase() == Qt::ScrollBegin || event->phase() == Qt::NoScrollPhase)
        currentScrollIsHorizontal_ = std::abs(delta.x()) > std::abs(delta.y());
    QScrollArea::wheelEvent(event);
    event->accept();
    if (!currentScrollIsHorizontal_)
        passOn(*event);
}

void DTScrollView::passOn(const QWheelEvent& event) {
    // Up the chain of views behind the strip until one takes the event, as an ignored event
    // travels.
    const QPointF global = event.globalPosition();
    for (QWidget* behind = parentWidget(); behind; behind = behind->parentWidget()) {
        const QPointF at = behind->mapFromGlobal(global);
        QWheelEvent copy(at, global, event.pixelDelta(), event.angleDelta(), event.buttons(),
                         event.modifiers(), event.phase(), event.inverted(), event.source());
        copy.setAccepted(false);
        QApplication::sendEvent(behind, &copy);
        if (copy.isAccepted() || behind->isWindow())
            return;
    }
}

}  // namespace ui
