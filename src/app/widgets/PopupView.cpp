#include "app/widgets/PopupView.h"

PLAT_DEFINE_CLASS(PopupWidgetView, QtWidgetView, PLAT_NO_METHODS)

void PopupView::setOpen(bool open) {
    open_ = open;
    if (!open)
        hide();
}

void PopupView::setVisible(bool visible) {
    QWidget::setVisible(visible && open_);
}

PopupWidgetView::PopupWidgetView(std::unique_ptr<QWidget> popup) : QtWidgetView(std::move(popup)) {}

void PopupWidgetView::setHidden(bool hidden) {
    if (auto* popup = dynamic_cast<PopupView*>(widget()))
        popup->setOpen(!hidden);
    QtWidgetView::setHidden(hidden);
}
