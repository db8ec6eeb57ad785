#pragma once
// ui::Popover: shows a view controller's view in a Qt::Popup window next to a widget; it closes
// when the user clicks elsewhere or when close() is called.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform_ui/ViewController.h"

namespace ui {

class Popover {
  public:
    Popover();
    ~Popover();
    void setContentViewController(const Ref<ViewController>& controller);
    const Ref<ViewController>& contentViewController() const { return content_; }
    // Below the widget's rectangle (given in its own coordinates).
    void showRelativeTo(const QRect& rect, QWidget* widget);
    void close();
    bool isShown() const;

  private:
    std::unique_ptr<QWidget> window_;
    Ref<ViewController> content_;
};

}  // namespace ui
