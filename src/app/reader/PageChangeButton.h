#pragma once
// PageChangeButton: the previous or next page button laid over the page view. It shows (an arrow
// on a dark rounded plate) only while the mouse is over it: outside, it is transparent, painting
// nothing while it stays clickable and keeps receiving enter and leave events. Its title tells
// the last hover event: "Initial", "Entered", "Exited". The hover area follows the button's
// bounds through every resize.
#include <QPushButton>

class PageChangeButton : public QPushButton {
  public:
    enum Direction { Previous, Next };

    explicit PageChangeButton(Direction direction, QWidget* parent = nullptr);

    Direction direction() const { return direction_; }
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool transparent);
    QString title() const { return text(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void mouseEntered();
    void mouseExited();

    Direction direction_;
    bool transparent_ = true;
};
