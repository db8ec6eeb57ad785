#include "vnlib/dev/request/VnTimeoutRequest.h"

PLAT_DEFINE_CLASS(VnTimeoutRequest, VnRequestContext, PLAT_NO_METHODS)

void VnTimeoutRequest::notifyToKeepAlive() {
    cancelTimeoutTimer();
    // A running request keeps itself alive, so the timer need only reference it weakly.
    WeakRef<VnTimeoutRequest> weak = self<VnTimeoutRequest>();
    timeoutTimer_ = plat::Timer::scheduled(
        timeoutInterval(), false,
        [weak](plat::Timer&) {
            if (auto me = weak.lock())
                me->timeout();
        },
        plat::defaultModes());
}

void VnTimeoutRequest::cancelTimeoutTimer() {
    if (auto timer = std::move(timeoutTimer_)) {
        timeoutTimer_.reset();
        timer->invalidate();
    }
}

void VnTimeoutRequest::timeout() {
    timeoutTimer_.reset();
    if (!running())
        return;
    coreCancel();
    coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage("Request timeout"));
}

void VnTimeoutRequest::start() {
    VnRequestContext::start();
    if (running())
        notifyToKeepAlive();  // work that finished inside start needs no timer
}

void VnTimeoutRequest::cancel() {
    VnRequestContext::cancel();
    cancelTimeoutTimer();
}

void VnTimeoutRequest::coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    cancelTimeoutTimer();
    VnRequestContext::coreNotifyFinishWithResult(result);
}

void VnTimeoutRequest::coreQueueNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    cancelTimeoutTimer();
    VnRequestContext::coreQueueNotifyFinishWithResult(result);
}
