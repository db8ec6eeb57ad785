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
    if (plat::respondsToSelector(pd, VnRequestProxyDelegate::kWillStart)) {
        go = plat::send(pd, VnRequestProxyDelegate::kWillStart, me, target_);
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
    plat::sendIfResponds(proxyDelegate_, VnRequestProxyDelegate::kDidStart, me, target_);
}

void VnRequestProxy::target_request_didFinishWithResult(Ref<VnRequestContext>,
                                                        Ref<VnRequestResult> result) {
    auto me = self<VnRequestProxy>();
    auto formerDelegate = targetDelegate_.lock();
    target_->setDelegate(formerDelegate);
    Ref<VnRequestResult> finalResult = result;
    auto pd = proxyDelegate_.lock();
    if (plat::respondsToSelector(pd, VnRequestProxyDelegate::kTransformResult)) {
        if (auto transformed =
                plat::send(pd, VnRequestProxyDelegate::kTransformResult, me, target_, result)) {
            finalResult = std::move(transformed);
        }
    }
    target_->notifyDelegate(formerDelegate, finalResult);
    coreNotifyFinishWithResult(finalResult);
}
