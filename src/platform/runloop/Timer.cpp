#include <cmath>
#include <limits>

#include "platform/runloop/RunLoop.h"
#include "platform/runloop/RunLoopImpl.h"
#include "platform/runloop/ThreadState.h"

namespace plat {

namespace {

constexpr double kMinimumInterval = 0.0001;

}  // namespace

Timer::Timer(double interval, bool repeats, Callback callback)
    : interval_(interval >= kMinimumInterval ? interval : kMinimumInterval),
      repeats_(repeats),
      state_(std::make_shared<State>()) {
    state_->callback = std::make_shared<Callback>(std::move(callback));
}

Ref<Timer> Timer::scheduled(double interval, bool repeats, Callback callback, Modes modes) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    RunLoop::current().addTimer(timer, std::move(modes));
    return timer;
}

void Timer::invalidate() {
    auto keepAlive = weak_from_this().lock();
    std::shared_ptr<Callback> callback;  // released last, outside the locks
    std::shared_ptr<RunLoop::Impl> loop;
    {
        std::lock_guard guard(state_->mutex);
        if (!state_->valid)
            return;
        state_->valid = false;
        callback = std::move(state_->callback);
        loop = state_->loop.lock();
    }
    if (loop)
        loop->removeTimer(this);
}

bool Timer::isValid() const {
    std::lock_guard guard(state_->mutex);
    return state_->valid;
}

double Timer::fireDate() const {
    std::lock_guard guard(state_->mutex);
    return state_->armed ? state_->fireDate : std::numeric_limits<double>::infinity();
}

void Timer::setFireDate(double date) {
    if (std::isnan(date))
        date = std::numeric_limits<double>::infinity();
    std::shared_ptr<RunLoop::Impl> loop;
    {
        std::lock_guard guard(state_->mutex);
        if (!state_->valid)
            return;
        state_->fireDate = date;
        state_->armed = true;
        state_->sequence = detail::nextSequence();
        ++state_->armCount;
        loop = state_->loop.lock();
    }
    if (loop)
        loop->timerChanged();
}

void Timer::fire() {
    auto keepAlive = weak_from_this().lock();
    std::shared_ptr<Callback> callback;
    uint64_t armCount = 0;
    {
        std::lock_guard guard(state_->mutex);
        if (!state_->valid || state_->firing)
            return;
        callback = state_->callback;
        armCount = state_->armCount;
        if (!repeats_)
            state_->firing = true;
    }
    if (repeats_) {
        if (callback && *callback)
            (*callback)(*this);
    } else {
        RunLoop::Impl::runOneShot(*this, armCount, callback);
    }
}

std::optional<RunLoop::Impl::PerformKey> RunLoop::Impl::timerKey(const Timer& timer) {
    std::lock_guard guard(timer.state_->mutex);
    const auto& s = *timer.state_;
    if (!s.valid || !s.armed || s.firing)
        return std::nullopt;
    return PerformKey{s.fireDate, s.sequence};
}

bool RunLoop::Impl::fireTimer(Timer& timer, double now, uint64_t limit) {
    auto keepAlive = timer.shared_from_this();
    auto& s = *timer.state_;
    std::shared_ptr<Timer::Callback> callback;
    uint64_t armCount = 0;
    {
        std::lock_guard guard(s.mutex);
        if (!s.valid || !s.armed || s.firing || s.fireDate > now || s.sequence >= limit) {
            return false;
        }
        callback = s.callback;
        armCount = s.armCount;
        if (timer.repeats_) {
            // Next period after now: a timer that fell behind fires once, not once per period.
            const double interval = timer.interval_;
            double next = s.fireDate + interval;
            if (next <= now)
                next = s.fireDate + interval * (std::floor((now - s.fireDate) / interval) + 1);
            if (next <= now)
                next = now + interval;
            s.fireDate = next;
            s.sequence = detail::nextSequence();
        } else {
            s.firing = true;
        }
    }
    if (timer.repeats_) {
        if (callback && *callback)
            (*callback)(timer);
    } else {
        runOneShot(timer, armCount, callback);
    }
    return true;
}

void RunLoop::Impl::runOneShot(Timer& timer, uint64_t armCount,
                               const std::shared_ptr<Timer::Callback>& callback) {
    // Ends the firing even when the callback throws: the timer is then invalidated unless the
    // callback re-armed it.
    struct Finish {
        Timer& timer;
        uint64_t armCount;
        ~Finish() {
            bool rearmed = false;
            {
                std::lock_guard guard(timer.state_->mutex);
                timer.state_->firing = false;
                rearmed = timer.state_->armCount != armCount;
            }
            if (!rearmed)
                timer.invalidate();
        }
    } finish{timer, armCount};
    if (callback && *callback)
        (*callback)(timer);
}

}  // namespace plat
