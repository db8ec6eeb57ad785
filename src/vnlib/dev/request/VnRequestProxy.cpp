#include "vnlib/dev/request/VnRequestProxy.h"

PLAT_DEFINE_CLASS(VnRequestProxy, VnRequestContext, [](auto& c) {
    c.method("target_request:didFinishWithResult:",
             &VnRequestProxy::target_request_didFinishWithResult);
})

VnRequestProxy::VnRequestProxy(Ref<VnRequestContext> target, const Ref<plat::Object>& proxyDelegate)
    : target_(std::move(target)), proxyDelegate_(proxyDelegate) {}

void VnRequestProxy::start() {
    beforeStart();
    auto me = self<VnRequestProxy>();
    auto pd = proxyDelegate_.lock();
    bool go = true;
    if (plat::respondsToSelector(pd, "requestProxy:requestWillStart:")) {
        go = plat::send<bool>(pd, "requestProxy:requestWillStart:", me, target_);
    }
    if (!go) {
        coreQueueNotifyFinishWithResult(VnRequestResult::cancel());
        return;
    }
    targetDelegate_ = target_->delegate();
    try {
        target_->startWithDelegate(me, "target_");
    } catch (...) {
        target_->setDelegate(targetDelegate_.lock());
        abandonStart();
        throw;
    }
    plat::sendIfResponds(proxyDelegate_, "requestProxy:requestDidNotify_didStart:", me, target_);
}

void VnRequestProxy::target_request_didFinishWithResult(Ref<VnRequestContext>,
                                                        Ref<VnRequestResult> result) {
    auto me = self<VnRequestProxy>();
    auto formerDelegate = targetDelegate_.lock();
    target_->setDelegate(formerDelegate);
    Ref<VnRequestResult> finalResult = result;
    auto pd = proxyDelegate_.lock();
    if (plat::respondsToSelector(pd, "requestProxy:request:transformRequestResult:")) {
        if (auto transformed = plat::send<Ref<VnRequestResult>>(
                pd, "requestProxy:request:transformRequestResult:", me, target_, result)) {
            finalResult = std::move(transformed);
        }
    }
    target_->notifyDelegate(formerDelegate, finalResult);
    coreNotifyFinishWithResult(finalResult);
}
