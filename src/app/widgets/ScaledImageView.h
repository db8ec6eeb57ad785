#pragma once
// ScaledImageView: a widget showing one picture over its whole area, either stretched on both
// axes independently or scaled in proportion (up or down) and centred; nothing is painted
// where the picture does not reach.
#include <QImage>
#include <QWidget>

class ScaledImageView : public QWidget {
  public:
    enum class Scaling { AxesIndependently, ProportionallyUpOrDown };

    explicit ScaledImageView(Scaling scaling, QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(const QImage& image);
    Scaling scaling() const { return scaling_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Scaling scaling_;
    QImage image_;
};
