#pragma once
// PopupView: the widget of a popup, which shows only while it is open: whoever shows widgets in
// bulk (the reader shows every overlay it places) cannot open a closed popup. Closing hides it.
// PopupWidgetView: a widget view over a popup (or a plain widget), which it opens and closes.
#include <QWidget>

#include "app/issueui/QtWidgetView.h"

class PopupView : public QWidget {
  public:
    using QWidget::QWidget;

    bool isOpen() const { return open_; }
    void setOpen(bool open);
    void setVisible(bool visible) override;

  private:
    bool open_ = true;
};

class PopupWidgetView : public QtWidgetView {
    PLAT_CLASS(PopupWidgetView)
  public:
    explicit PopupWidgetView(std::unique_ptr<QWidget> popup);
    void setHidden(bool hidden) override;
};
