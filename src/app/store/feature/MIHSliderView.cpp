#include "app/store/feature/MIHSliderView.h"

#include <QGuiApplication>
#include <QWheelEvent>
#include <cmath>
#include <string>

#include "app/store/feature/MIHSliderDotsControl.h"
#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/SubviewTransition.h"

PLAT_DEFINE_CLASS(MIHSliderView, ui::ViewController,
                  [](auto& c) { c.method("_dotViewSelected:", &MIHSliderView::dotViewSelected); })

namespace {

constexpr const char* kSlidesKey = "_slides";
constexpr const char* kIndexKey = "indexOfDisplayedSlide";
constexpr const char* kStyleKey = "_transitionStyle";
constexpr const char* kIntervalKey = "_scheduledTransitionInterval";
constexpr const char* kDurationKey = "_transitionAnimationDuration";
constexpr const char* kRepeatingKey = "_repeatingScheduledTransition";
constexpr const char* kDotsKey = "_dotsControl";
constexpr const char* kScheduledKey = "scheduledTransition";

ui::SubviewTransition transitionOfStyle(int32_t style, double seconds) {
    using T = ui::SubviewTransition;
    switch (style) {
        case MIHSliderView::kFade:
            return {T::Type::Fade, T::Subtype::None, seconds};
        case MIHSliderView::kMoveInFromTop:
            return {T::Type::MoveIn, T::Subtype::FromTop, seconds};
        case MIHSliderView::kPushFromLeft:
            return {T::Type::Push, T::Subtype::FromLeft, seconds};
        case MIHSliderView::kPushFromRight:
            return {T::Type::Push, T::Subtype::FromRight, seconds};
        default:
            return {T::Type::None, T::Subtype::None, seconds};
    }
}

bool usableInterval(double seconds) {
    return std::isfinite(seconds) && seconds > 0;
}

}  // namespace

// The slider's own view: it turns wheel events into the slider's swipes and takes them all, so
// scrolling over the slider never scrolls the views behind it.
class MIHSliderView::SliderWidget : public QWidget {
  public:
    explicit SliderWidget(const WeakRef<MIHSliderView>& slider) : slider_(slider) {
        setAttribute(Qt::WA_AcceptTouchEvents);
    }

  protected:
    // The content view and the shown slide keep the slider's bounds, and the dots stay centred.
    // A slider made with a fixed content view and dots keeps its first width: the feature page's
    // ad banners are made at the row's first width before the page's table gives the row its
    // own, and follow the window afterwards, so they would show narrower than their row with the
    // dots off centre.
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (auto slider = slider_.lock())
            slider->fillBounds();
    }
    void wheelEvent(QWheelEvent* event) override {
        event->accept();
        if (auto slider = slider_.lock())
            slider->scrollWheel(event->phase(), event->pixelDelta().isNull()
                                                    ? event->angleDelta().x() / 8.0
                                                    : event->pixelDelta().x());
    }

  private:
    WeakRef<MIHSliderView> slider_;
};

Ref<MIHSliderView> MIHSliderView::make(const QSize& size) {
    auto slider = std::make_shared<MIHSliderView>();
    slider->initialSize_ = size;
    slider->awakeFromNib();
    return slider;
}

MIHSliderView::~MIHSliderView() {
    if (transitionTimer_)
        transitionTimer_->invalidate();
}

void MIHSliderView::awakeFromNib() {
    ui::ViewController::awakeFromNib();
    buildViews();
    setScheduledTransition(true);
}

std::unique_ptr<QWidget> MIHSliderView::loadView() {
    auto view = std::make_unique<SliderWidget>(weakSelf<MIHSliderView>());
    view->resize(initialSize_);
    return view;
}

void MIHSliderView::buildViews() {
    QWidget* slider = view();
    contentView_ = new QWidget(slider);  // a child of the slider's view
    contentView_->setGeometry(QRect(QPoint(0, 0), slider->size()));
    dotsControl_ = ui::ViewController::create<MIHSliderDotsControl>();
    dotsControl_->setSliderView(self<MIHSliderView>());
    const auto& registry = ui::ResourceRegistry::shared();
    dotsControl_->setNormalDotImage(registry.imageNamed(MIHSliderDotsControl::kNormalDotImage));
    dotsControl_->setHighlightedDotImage(
        registry.imageNamed(MIHSliderDotsControl::kHighlightedDotImage));
    dotsControl_->view()->setParent(slider);
    dotsControl_->view()->raise();
}

void MIHSliderView::fillBounds() {
    if (!contentView_)
        return;
    ui::finishSubviewTransition(contentView_);
    const QRect bounds(QPoint(0, 0), view()->size());
    contentView_->setGeometry(bounds);
    if (displayedSlide_ && displayedSlide_->view()->parentWidget() == contentView_)
        displayedSlide_->view()->setGeometry(bounds);
    if (dotsControl_)
        dotsControl_->centreInSlider();
}

void MIHSliderView::addSlide(const Ref<ui::ViewController>& slide) {
    if (!slide)
        return;
    slides_.push_back(slide);
    if (slides_.size() == 1)
        displaySlideAtIndex(0);
    dotsControl_->setDotsCount(slides_.size());
}

void MIHSliderView::removeSlide(const Ref<ui::ViewController>& slide) {
    std::erase(slides_, slide);
    if (indexOfDisplayedSlide_ >= slides_.size())
        indexOfDisplayedSlide_ = 0;
    dotsControl_->setDotsCount(slides_.size());
}

void MIHSliderView::removeAllSlide() {
    slides_.clear();
    indexOfDisplayedSlide_ = 0;
}

void MIHSliderView::displaySlideAtIndex(size_t index) {
    show(index, QGuiApplication::keyboardModifiers());
}

void MIHSliderView::show(size_t index, Qt::KeyboardModifiers modifiers) {
    if (index >= slides_.size())
        return;
    dotsControl_->setIndexOfHighlightedDot(index);
    const Ref<ui::ViewController> slide = slides_[index];
    if (slide == displayedSlide_)
        return;
    QWidget* incoming = slide->view();
    incoming->setGeometry(QRect(QPoint(0, 0), view()->size()));
    QWidget* outgoing = displayedSlide_ ? displayedSlide_->view() : nullptr;
    if (!outgoing || outgoing->parentWidget() != contentView_) {
        incoming->setParent(contentView_);
        incoming->show();
    } else {
        const bool slow = (modifiers & Qt::ShiftModifier) && animationDuration_ != 0;
        // The slide that leaves is held until it is out of the tree.
        ui::replaceSubview(
            contentView_, outgoing, incoming,
            transitionOfStyle(transitionStyle_, slow ? kSlowTransitionSeconds : kTransitionSeconds),
            [held = displayedSlide_](QWidget*) {});
    }
    displayedSlide_ = slide;
    indexOfDisplayedSlide_ = index;
}

bool MIHSliderView::scheduledTransition() const {
    return transitionTimer_ != nullptr;
}

void MIHSliderView::setScheduledTransition(bool on) {
    if (transitionTimer_) {
        transitionTimer_->invalidate();
        transitionTimer_.reset();
    }
    if (!on)
        return;
    // The timer holds the slider while it runs.
    transitionTimer_ = plat::Timer::scheduled(
        interval_, true, [self = self<MIHSliderView>()](plat::Timer&) { self->timerFired(); });
}

void MIHSliderView::restartTimerIfRunning() {
    if (transitionTimer_)
        setScheduledTransition(true);
}

void MIHSliderView::setScheduledTransitionInterval(double seconds) {
    if (!usableInterval(seconds))
        return;
    interval_ = seconds;
    restartTimerIfRunning();
}

void MIHSliderView::timerFired() {
    if (slides_.empty())
        return;
    if (!repeating_ && indexOfDisplayedSlide_ + 1 >= slides_.size())
        return;
    show((indexOfDisplayedSlide_ + 1) % slides_.size(), QGuiApplication::keyboardModifiers());
}

void MIHSliderView::scrollWheel(Qt::ScrollPhase phase, double deltaX) {
    // Qt reports a gesture as ScrollBegin, ScrollUpdate and ScrollEnd; it has no cancelled phase
    // (a cancelled gesture ends with ScrollEnd) and no may-begin phase. A plain wheel
    // (NoScrollPhase) and momentum scrolling (ScrollMomentum) do nothing here.
    switch (phase) {
        case Qt::ScrollBegin:
            scrollDeltaX_ = 0;
            break;
        case Qt::ScrollUpdate:
            scrollDeltaX_ += deltaX;
            break;
        case Qt::ScrollEnd: {
            if (slides_.empty())
                break;
            const size_t count = slides_.size();
            if (scrollDeltaX_ > kSwipeThreshold) {
                transitionStyle_ = kPushFromLeft;
                show(indexOfDisplayedSlide_ == 0 ? count - 1 : indexOfDisplayedSlide_ - 1,
                     QGuiApplication::keyboardModifiers());
                restartTimerIfRunning();
            } else if (scrollDeltaX_ < -kSwipeThreshold) {
                transitionStyle_ = kPushFromRight;
                show((indexOfDisplayedSlide_ + 1) % count, QGuiApplication::keyboardModifiers());
                restartTimerIfRunning();
            }
            break;
        }
        case Qt::NoScrollPhase:
        case Qt::ScrollMomentum:
            break;
    }
}

void MIHSliderView::dotViewSelected(size_t tag, Qt::KeyboardModifiers modifiers) {
    restartTimerIfRunning();
    if (tag >= slides_.size())
        return;
    const size_t highlighted = dotsControl_->indexOfHighlightedDot();
    plat::systemLog(plat::format("dotView, %ld crrut View:%ld", static_cast<long>(tag),
                                 static_cast<long>(highlighted)));
    const int32_t configured = transitionStyle_;
    transitionStyle_ = tag > highlighted ? kPushFromRight : kPushFromLeft;
    show(tag, modifiers);
    transitionStyle_ = configured;
}

void MIHSliderView::encodeWithCoder(plat::KeyedCoder& coder) const {
    std::vector<plat::Value> slides;
    for (const auto& slide : slides_) {
        plat::Value form = plat::KeyedCoder::encodedForm(slide);
        if (!form.isNil())
            slides.push_back(std::move(form));
    }
    coder.encodeObject(plat::Value::fromObject(plat::Array::make(std::move(slides))), kSlidesKey);
    coder.encodeInt64(static_cast<int64_t>(indexOfDisplayedSlide_), kIndexKey);
    coder.encodeInt64(transitionStyle_, kStyleKey);
    coder.encodeObject(plat::Value(interval_), kIntervalKey);
    coder.encodeObject(plat::Value(animationDuration_), kDurationKey);
    coder.encodeBool(repeating_, kRepeatingKey);
    coder.encodeCodable(dotsControl_, kDotsKey);
    coder.encodeBool(scheduledTransition(), kScheduledKey);
}

bool MIHSliderView::initWithCoder(const plat::KeyedCoder& coder) {
    // Everything is read and checked before anything is kept: an archive that does not describe
    // a slider makes none.
    std::vector<Ref<ui::ViewController>> slides;
    const plat::Value slideForms = coder.decodeObjectForKey(kSlidesKey);
    if (!slideForms.isNil()) {
        const auto list = slideForms.array();
        if (!list)
            return false;
        for (const auto& form : list->values()) {
            auto slide = std::dynamic_pointer_cast<ui::ViewController>(
                plat::KeyedCoder::objectFromEncodedForm(form, 1));
            if (!slide)
                return false;
            slides.push_back(std::move(slide));
        }
    }
    const int64_t index = coder.decodeInt64ForKey(kIndexKey);
    const int64_t style = coder.decodeInt64ForKey(kStyleKey);
    const plat::Value interval = coder.decodeObjectForKey(kIntervalKey);
    const plat::Value duration = coder.decodeObjectForKey(kDurationKey);
    if (index < 0 || (index > 0 && static_cast<size_t>(index) >= slides.size()) ||
        style < INT32_MIN || style > INT32_MAX || !interval.isNumber() ||
        !usableInterval(interval.doubleValue()) || !duration.isNumber() ||
        !std::isfinite(duration.doubleValue()) || duration.doubleValue() < 0)
        return false;
    Ref<MIHSliderDotsControl> dots;
    if (coder.containsValueForKey(kDotsKey)) {
        dots = std::dynamic_pointer_cast<MIHSliderDotsControl>(coder.decodeCodableForKey(kDotsKey));
        if (!dots)
            return false;
    }

    buildViews();
    if (dots) {
        dotsControl_->view()->setParent(nullptr);
        dotsControl_ = dots;
        dotsControl_->setSliderView(self<MIHSliderView>());
        dotsControl_->view()->setParent(view());
        dotsControl_->view()->raise();
    }
    transitionStyle_ = static_cast<int32_t>(style);
    interval_ = interval.doubleValue();
    animationDuration_ = duration.doubleValue();
    repeating_ = coder.decodeBoolForKey(kRepeatingKey);
    for (const auto& slide : slides)
        addSlide(slide);
    displaySlideAtIndex(static_cast<size_t>(index));
    setScheduledTransition(coder.decodeBoolForKey(kScheduledKey));
    return true;
}
