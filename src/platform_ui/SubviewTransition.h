#pragma once
// Replacing one child view by another with an animated transition: a fade, the new view moving in
// over the old one, or the new view pushing the old one out, from a side; ease-out timing, driven
// by Qt's property animations. A container runs one transition at a time (a new one first brings
// the running one to its end) and runs nothing between transitions.
#include <functional>

class QWidget;

namespace ui {

struct SubviewTransition {
    enum class Type { None, Fade, MoveIn, Push };
    // The side the new view comes from.
    enum class Subtype { None, FromLeft, FromRight, FromTop, FromBottom };
    Type type = Type::None;
    Subtype subtype = Subtype::None;
    double duration = 0.25;  // seconds
};

// Puts newView in oldView's place (its geometry) inside container. Without an old view, or with
// the type None or no duration, the change is made at once. Otherwise both views stay in the
// container while the transition runs; at its end the old view is hidden and taken out of the
// container (its parent cleared: whoever holds it owns it again) and done, when given, is called
// with it.
void replaceSubview(QWidget* container, QWidget* oldView, QWidget* newView,
                    const SubviewTransition& transition,
                    std::function<void(QWidget* oldView)> done = {});

// True while a transition runs in the container.
bool isRunningSubviewTransition(const QWidget* container);
// Brings a running transition of the container to its end at once.
void finishSubviewTransition(QWidget* container);

}  // namespace ui
