#pragma once
// Geometry and appearance of views as the screens describe them:
// - frames are y-up (origin at the parent's bottom left); setFrame/frame convert to Qt's
//   top-left coordinates in one place;
// - autoresizing masks keep margins or sizes as the parent resizes (the y margins are read y-up:
//   the bottom margin is "min Y");
// - a layer style: background, border, corner radius and shadow. The shadow follows what the
//   layer draws, or, for a layer whose content covers its rounded body, the body's outline: that
//   shadow is drawn once per size and style and reused.
#include <QColor>
#include <QRectF>
#include <QWidget>
#include <optional>

namespace ui {

enum AutoresizingMask : unsigned {
    ViewNotSizable = 0,
    ViewMinXMargin = 1,
    ViewWidthSizable = 2,
    ViewMaxXMargin = 4,
    ViewMinYMargin = 8,
    ViewHeightSizable = 16,
    ViewMaxYMargin = 32,
};

// The widget's frame in y-up coordinates of its parent (the parent's height decides).
QRectF frame(const QWidget* widget);
void setFrame(QWidget* widget, const QRectF& yUpFrame);
// Flips a rectangle between y-up and y-down within a container of that height.
QRectF flipRect(const QRectF& rect, double containerHeight);

// Resizes the widget with its parent from now on, keeping what the mask does not free.
void setAutoresizingMask(QWidget* widget, unsigned mask);

struct LayerStyle {
    std::optional<QColor> background;
    std::optional<QColor> borderColor;
    double borderWidth = 0;
    double cornerRadius = 0;
    std::optional<QColor> shadowColor;
    double shadowRadius = 3;
    QPointF shadowOffset{0, 3};  // y down
    // The layer's content covers its rounded body opaquely: the shadow is cast by the body's
    // outline, without rendering the content offscreen on each paint.
    bool shadowFromBody = false;

    bool operator==(const LayerStyle&) const = default;
};

// A widget that paints its layer style under its children.
class LayerView : public QWidget {
  public:
    explicit LayerView(QWidget* parent = nullptr) : QWidget(parent) {}
    const LayerStyle& layerStyle() const { return style_; }
    void setLayerStyle(const LayerStyle& style);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    LayerStyle style_;
};

}  // namespace ui
