#include "app/widgets/PopupView.h"

PLAT_DEFINE_CLASS(PopupWidgetView, QtWidgetView, PLAT_NO_METHODS)

void PopupView::setOpen(bool open) {
    open_ = open;
    if (!open) {
        // Before it hides: a hidden widget's keys go on to the next widget in the tab order,
        // which may be any control of the page or of another page.
        giveKeysBack();
        hide();
    }
}

void PopupView::giveKeysBack() {
    QWidget* held = window()->focusWidget();
    if (!held || (held != this && !isAncestorOf(held)))
        return;
    for (QWidget* up = parentWidget(); up; up = up->parentWidget()) {
        if (up->isEnabled() && (up->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
            up->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (up->isWindow())
            return;
    }
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
