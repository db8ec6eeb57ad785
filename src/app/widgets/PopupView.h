#pragma once
// PopupView: the widget of a popup, which shows only while it is open: whoever shows widgets in
// bulk (the reader shows every overlay it places) cannot open a closed popup. Closing hides it
// and gives the keys it holds (its close control's, after a click on it) back to the view it lies
// on: the nearest enclosing widget that takes the keys on a click, such as the reader's page view.
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
    void giveKeysBack();

    bool open_ = true;
};

class PopupWidgetView : public QtWidgetView {
    PLAT_CLASS(PopupWidgetView)
  public:
    explicit PopupWidgetView(std::unique_ptr<QWidget> popup);
    void setHidden(bool hidden) override;
};
