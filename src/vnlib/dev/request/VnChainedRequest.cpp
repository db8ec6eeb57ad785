#include "vnlib/dev/request/VnChainedRequest.h"

#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(VnChainedRequest, VnRequestContext, [](auto& c) {
    c.method("requestProxy:request:didNotify_didFinishWithResult:",
             &VnChainedRequest::requestProxy_request_didNotify_didFinishWithResult)
        .method("requestProxy:request:didReportProgress:",
                &VnChainedRequest::requestProxy_request_didReportProgress);
})

VnChainedRequest::VnChainedRequest(Ref<VnRequestContext> firstRequest,
                                   const Ref<plat::Object>& chainingDelegate)
    : firstRequest_(std::move(firstRequest)), chainingDelegate_(chainingDelegate) {
    PLAT_PARAMETER_ASSERT(firstRequest_);
}

Ref<VnChainedRequest> VnChainedRequest::chainedRequestWithFirstRequest(
    Ref<VnRequestContext> firstRequest, const Ref<plat::Object>& chainingDelegate) {
    return plat::autorelease(
        std::make_shared<VnChainedRequest>(std::move(firstRequest), chainingDelegate));
}

void VnChainedRequest::startStep(const Ref<VnRequestContext>& step) {
    step->proxyWithProxyDelegate(self<VnChainedRequest>())->start();
}

void VnChainedRequest::coreStart() {
    if (!firstRequest_)
        return;
    activeRequest_ = firstRequest_;
    startStep(activeRequest_);
}

void VnChainedRequest::requestProxy_request_didNotify_didFinishWithResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!running())
        return;
    auto answer = plat::send(chainingDelegate_, VnChainedRequestDelegate::kProcessRequest,
                             activeRequest_, result);
    if (auto next = std::dynamic_pointer_cast<VnRequestContext>(answer)) {
        if (running()) {
            plat::autorelease(std::move(activeRequest_));
            activeRequest_ = next;
            startStep(next);
            return;
        }
        coreNotifyFinishWithResult(result);
    } else if (auto final = std::dynamic_pointer_cast<VnRequestResult>(answer)) {
        coreNotifyFinishWithResult(final);
    } else if (!answer) {
        coreNotifyFinishWithResult(VnRequestResult::cancel());
    } else {
        coreNotifyFinishWithResult(result);
    }
}

void VnChainedRequest::requestProxy_request_didReportProgress(Ref<VnRequestProxy2>,
                                                              Ref<VnRequestContext>,
                                                              VnRequestProgress progress) {
    coreReportProgress(progress);
}

void VnChainedRequest::coreCancel() {
    if (auto step = std::move(activeRequest_)) {
        activeRequest_.reset();
        step->cancel();
    }
}
