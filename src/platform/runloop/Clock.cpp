#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/runloop/RunLoop.h"

namespace plat {

double RealClock::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double VirtualClock::now() const {
    std::lock_guard guard(mutex_);
    return now_;
}

void VirtualClock::advance(double seconds) {
    if (!(seconds > 0))
        return;
    {
        std::lock_guard guard(mutex_);
        now_ += seconds;
    }
    notifyListeners();
}

void VirtualClock::setNow(double t) {
    if (std::isnan(t))
        return;
    {
        std::lock_guard guard(mutex_);
        now_ = t;
    }
    notifyListeners();
}

void VirtualClock::advanceTo(double t) {
    {
        std::lock_guard guard(mutex_);
        if (!(t > now_))
            return;
        now_ = t;
    }
    notifyListeners();
}

void VirtualClock::setAutoAdvance(bool on) {
    autoAdvance_ = on;
    notifyListeners();
}

void VirtualClock::addListener(std::weak_ptr<std::function<void()>> listener) {
    auto added = listener.lock();
    if (!added)
        return;
    std::lock_guard guard(mutex_);
    std::erase_if(listeners_, [](const auto& l) { return l.expired(); });
    const bool known = std::any_of(listeners_.begin(), listeners_.end(),
                                   [&](const auto& l) { return l.lock() == added; });
    if (!known)
        listeners_.push_back(std::move(listener));
}

void VirtualClock::notifyListeners() {
    std::vector<std::shared_ptr<std::function<void()>>> live;
    {
        std::lock_guard guard(mutex_);
        for (const auto& l : listeners_) {
            if (auto fn = l.lock())
                live.push_back(std::move(fn));
        }
    }
    for (const auto& fn : live)
        (*fn)();
}

}  // namespace plat
