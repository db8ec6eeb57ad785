#include "vnlib/dev/web/VnNetworkActivityNotificationCenter.h"

#include <algorithm>

PLAT_DEFINE_CLASS(VnNetworkActivityNotificationCenter, plat::Object, PLAT_NO_METHODS)

const Ref<VnNetworkActivityNotificationCenter>&
VnNetworkActivityNotificationCenter::defaultCenter() {
    static const auto center = std::make_shared<VnNetworkActivityNotificationCenter>();
    return center;
}

void VnNetworkActivityNotificationCenter::notifyNetworkActivityDidStart() {
    std::lock_guard guard(lock_);
    ++activityCount_;
    notifyObserversBySelector("networkActivityDidStart:");
    if (activityCount_ == 1)
        notifyObserversBySelector("networkActivityDidStartFirstActivity:");
}

void VnNetworkActivityNotificationCenter::notifyNetworkActivityDidFinish() {
    std::lock_guard guard(lock_);
    --activityCount_;
    notifyObserversBySelector("networkActivityDidFinish:");
    if (activityCount_ == 0)
        notifyObserversBySelector("networkActivityDidFinishLastActivity:");
}

void VnNetworkActivityNotificationCenter::addNetworkActivityObserver(
    const Ref<plat::Object>& observer) {
    std::lock_guard guard(lock_);
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void VnNetworkActivityNotificationCenter::removeNetworkActivityObserver(
    const Ref<plat::Object>& observer) {
    std::lock_guard guard(lock_);
    std::erase(observers_, observer);
}

void VnNetworkActivityNotificationCenter::notifyObserversBySelector(plat::Selector sel) {
    std::lock_guard guard(lock_);
    const auto snapshot = observers_;
    auto me = self<VnNetworkActivityNotificationCenter>();
    for (const auto& observer : snapshot) {
        if (observer->respondsToSelector(sel))
            plat::send(observer, sel, me);
    }
}

int32_t VnNetworkActivityNotificationCenter::activityCount() const {
    std::lock_guard guard(lock_);
    return activityCount_;
}
