#include "vnlib/dev/request/VnRequestProxy2.h"

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/delegate/VndDelegator.h"

PLAT_DEFINE_CLASS(VnRequestProxy2, VnRequestContext, PLAT_NO_METHODS)

namespace {
constexpr const char* kWillStart = "requestProxy:requestWillStart:";
constexpr const char* kDidStart = "requestProxy:requestDidNotify_didStart:";
constexpr const char* kWillFinish = "requestProxy:request:willNotify_didFinishWithResult:";
constexpr const char* kTransform = "requestProxy:request:transformRequestResult:";
constexpr const char* kDidFinish = "requestProxy:request:didNotify_didFinishWithResult:";
constexpr const char* kDidCancel = "requestProxy:requestDidCancel:";
constexpr const char* kDidProgress = "requestProxy:request:didReportProgress:";
}  // namespace

VnRequestProxy2::VnRequestProxy2(Ref<VnRequestContext> target,
                                 const Ref<plat::Object>& proxyDelegate)
    : target_(std::move(target)), proxyDelegate_(proxyDelegate) {}

Ref<VnRequestProxy2> VnRequestProxy2::proxyWithTarget(Ref<VnRequestContext> target,
                                                      const Ref<plat::Object>& proxyDelegate) {
    return plat::autorelease(std::make_shared<VnRequestProxy2>(std::move(target), proxyDelegate));
}

void VnRequestProxy2::setOwnedProxyDelegate(Ref<plat::Object> delegator) {
    proxyDelegate_ = delegator;
    ownedProxyDelegate_ = std::move(delegator);
}

Ref<VnRequestProxy2> VnRequestContext::proxyWithProxyDelegate(
    const Ref<plat::Object>& proxyDelegate) {
    return VnRequestProxy2::proxyWithTarget(self<VnRequestContext>(), proxyDelegate);
}

Ref<VnRequestProxy2> VnRequestContext::proxyWithProxyDelegate(
    const Ref<plat::Object>& proxyDelegate, const std::string& selectorPrefix) {
    auto delegator = std::make_shared<VndDelegator>(proxyDelegate, selectorPrefix);
    auto proxy = VnRequestProxy2::proxyWithTarget(self<VnRequestContext>(), delegator);
    proxy->setOwnedProxyDelegate(std::move(delegator));
    return proxy;
}

void VnRequestProxy2::start() {
    beforeStart();
    auto me = self<VnRequestProxy2>();
    auto delegate = proxyDelegate();
    bool go = true;
    if (plat::respondsToSelector(delegate, kWillStart)) {
        go = plat::send<bool>(delegate, kWillStart, me, target_);
    }
    if (!go) {
        coreQueueNotifyFinishWithResult(VnRequestResult::cancel());
        return;
    }
    try {
        target_->startWithProxyRequest(me);
    } catch (...) {
        abandonStart();
        throw;
    }
    plat::sendIfResponds(proxyDelegate(), kDidStart, me, target_);
}

void VnRequestProxy2::coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    auto me = self<VnRequestProxy2>();
    plat::sendIfResponds(proxyDelegate(), kWillFinish, me, target_, result);
    Ref<VnRequestResult> finalResult = result;
    auto delegate = proxyDelegate();
    if (plat::respondsToSelector(delegate, kTransform)) {
        // A transform that answers nothing leaves the target's result in place.
        if (auto transformed =
                plat::send<Ref<VnRequestResult>>(delegate, kTransform, me, target_, result)) {
            finalResult = std::move(transformed);
        }
    }
    VnRequestContext::coreNotifyFinishWithResult(finalResult);
    plat::sendIfResponds(proxyDelegate(), kDidFinish, me, target_, result);
}

void VnRequestProxy2::coreReportProgress(VnRequestProgress progress) {
    VnRequestContext::coreReportProgress(progress);
    plat::sendIfResponds(proxyDelegate(), kDidProgress, self<VnRequestProxy2>(), target_, progress);
}

void VnRequestProxy2::coreCancel() {
    target_->cancel();
    plat::sendIfResponds(proxyDelegate(), kDidCancel, self<VnRequestProxy2>(), target_);
}
