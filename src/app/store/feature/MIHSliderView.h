#pragma once
// MIHSliderView: shows a series of slides one at a time. A repeating timer on the main run loop
// moves to the next slide with an animated transition (fade, move in from the top, push from the
// left or from the right; 0.3 s, 1.5 s while Shift is held); a two-finger horizontal swipe of
// more than 50 points steps back or forth and restarts the timer; the dots under it show which
// slide is on screen and step to the slide clicked. The shown slide fills the slider and the dots
// stay centred, also when it is resized. Only the shown slide is in the view tree; the others
// wait in the list. Slides are view controllers: the slider shows their views and holds them
// while they are in its list. The running timer holds the slider. Archived (keyed) with its
// slides that code themselves and its dots.
#include <Qt>
#include <cstddef>
#include <vector>

#include "platform/storage/KeyedArchive.h"
#include "platform_ui/ViewController.h"

class MIHSliderDotsControl;
namespace plat {
class Timer;
}

class MIHSliderView : public ui::ViewController, public plat::Coding {
    PLAT_CLASS(MIHSliderView)
  public:
    enum TransitionStyle : int32_t {
        kFade = 0,
        kMoveInFromTop = 1,
        kPushFromLeft = 2,
        kPushFromRight = 3,
    };
    // A swipe must go further than this, in points, to change the slide.
    static constexpr double kSwipeThreshold = 50.0;
    static constexpr double kTransitionSeconds = 0.3;
    static constexpr double kSlowTransitionSeconds = 1.5;

    // A slider of that size with its timer running.
    static Ref<MIHSliderView> make(const QSize& size = QSize(400, 250));
    ~MIHSliderView() override;

    void awakeFromNib() override;

    const std::vector<Ref<ui::ViewController>>& slides() const { return slides_; }
    // Appends a slide; the first one is shown at once.
    void addSlide(const Ref<ui::ViewController>& slide);
    // Takes a slide out of the list; the view on screen stays until another replaces it.
    void removeSlide(const Ref<ui::ViewController>& slide);
    // Empties the list; the shown slide and the dots stay until the next slide is added.
    void removeAllSlide();
    // Shows the slide at the index; an index outside the list does nothing.
    void displaySlideAtIndex(size_t index);
    size_t indexOfDisplayedSlide() const { return indexOfDisplayedSlide_; }
    const Ref<ui::ViewController>& displayedSlide() const { return displayedSlide_; }

    int32_t transitionStyle() const { return transitionStyle_; }
    void setTransitionStyle(int32_t style) { transitionStyle_ = style; }
    // Whether the timer runs; setting it starts (restarts) or stops it.
    bool scheduledTransition() const;
    void setScheduledTransition(bool on);
    bool repeatingScheduledTransition() const { return repeating_; }
    void setRepeatingScheduledTransition(bool on) { repeating_ = on; }
    double scheduledTransitionInterval() const { return interval_; }
    // Kept; a running timer restarts with it. Intervals that are not positive are ignored.
    void setScheduledTransitionInterval(double seconds);
    // Kept and archived; a transition takes kTransitionSeconds (kSlowTransitionSeconds with
    // Shift held while this is not 0).
    double transitionAnimationDuration() const { return animationDuration_; }
    void setTransitionAnimationDuration(double seconds) { animationDuration_ = seconds; }

    const Ref<MIHSliderDotsControl>& dotsControl() const { return dotsControl_; }
    QWidget* contentView() const { return contentView_; }
    double scrollDeltaX() const { return scrollDeltaX_; }

    // Input, as the slider's view receives it (and tests send it).
    void scrollWheel(Qt::ScrollPhase phase, double deltaX);
    void dotViewSelected(size_t tag, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // One tick of the timer.
    void timerFired();

    void encodeWithCoder(plat::KeyedCoder& coder) const override;
    bool initWithCoder(const plat::KeyedCoder& coder) override;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    class SliderWidget;
    void buildViews();
    void fillBounds();
    void restartTimerIfRunning();
    void show(size_t index, Qt::KeyboardModifiers modifiers);

    std::vector<Ref<ui::ViewController>> slides_;
    size_t indexOfDisplayedSlide_ = 0;
    Ref<ui::ViewController> displayedSlide_;
    int32_t transitionStyle_ = kFade;
    bool repeating_ = true;
    double interval_ = 4.0;
    double animationDuration_ = 0.6;
    Ref<MIHSliderDotsControl> dotsControl_;
    Ref<plat::Timer> transitionTimer_;
    QWidget* contentView_ = nullptr;  // a child of the view
    double scrollDeltaX_ = 0;
    QSize initialSize_{400, 250};
};
