#include "platform_ui/Popover.h"

namespace ui {

Popover::Popover() : window_(std::make_unique<QWidget>(nullptr, Qt::Popup)) {}

Popover::~Popover() {
    if (content_)
        content_->removeFromContainer();
}

void Popover::setContentViewController(const Ref<ViewController>& controller) {
    if (content_)
        content_->removeFromContainer();
    content_ = controller;
    if (content_) {
        content_->addToContainer(window_.get());
        window_->resize(content_->view()->sizeHint().expandedTo(content_->view()->size()));
    }
}

void Popover::showRelativeTo(const QRect& rect, QWidget* widget) {
    if (!widget)
        return;
    window_->move(widget->mapToGlobal(rect.bottomLeft()));
    window_->show();
}

void Popover::close() {
    window_->hide();
}

bool Popover::isShown() const {
    return window_->isVisible();
}

}  // namespace ui
