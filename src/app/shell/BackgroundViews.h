#pragma once
// Plain views that layouts use as backgrounds: RedBackgroundView paints nothing (clear),
// GrayBackgroundView a translucent grey (0.5, 0.5, 0.5, alpha 0.4), WhiteBackgroundView white.
// Each fills the area to be painted over what lies beneath and then paints as a plain widget does.
#include <QWidget>

class RedBackgroundView : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class GrayBackgroundView : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class WhiteBackgroundView : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
