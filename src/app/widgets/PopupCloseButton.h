#pragma once
// PopupCloseButton: the borderless close control of the picture popups: a cross on a disc, in
// the disc's and the cross's colours.
#include <QAbstractButton>
#include <QColor>

class PopupCloseButton : public QAbstractButton {
  public:
    PopupCloseButton(QColor disc, QColor cross, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor disc_;
    QColor cross_;
};
