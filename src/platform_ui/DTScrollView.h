#pragma once
// DTScrollView: a scroll view for horizontal strips inside vertically scrolling views. It scrolls
// sideways itself and hands vertical scrolling on to the views behind it; the direction is
// decided at the start of each gesture (or for each event of a plain mouse wheel).
#include <QScrollArea>

namespace ui {

class DTScrollView : public QScrollArea {
  public:
    explicit DTScrollView(QWidget* parent = nullptr);

    bool currentScrollIsHorizontal() const { return currentScrollIsHorizontal_; }

  protected:
    void wheelEvent(QWheelEvent* event) override;

  private:
    void passOn(const QWheelEvent& event);
    bool currentScrollIsHorizontal_ = false;
};

}  // namespace ui
