#include "vnlib/domain/lists/VnRequestContextChain.h"

PLAT_DEFINE_CLASS(VnRequestContextChain, VnRequestContext, [](auto& c) {
    c.method("request:didFinishWithResult:", &VnRequestContextChain::request_didFinishWithResult);
})

VnRequestContextChain::~VnRequestContextChain() {
    if (activeRequest_)
        activeRequest_->cancel();
}

void VnRequestContextChain::coreStart() {
    startNextRequest(VnRequestResult::resultWithReturnValue(plat::Value(), nullptr));
}

void VnRequestContextChain::startNextRequest(const Ref<VnRequestResult>& result) {
    if (requestContexts_.empty()) {
        activeRequest_.reset();
        coreNotifyFinishWithResult(result);
        return;
    }
    activeRequest_ = std::move(requestContexts_.front());
    requestContexts_.pop_front();
    activeRequest_->startWithDelegate(self());
}

void VnRequestContextChain::request_didFinishWithResult(Ref<VnRequestContext> request,
                                                        Ref<VnRequestResult> result) {
    if (request != activeRequest_ || !running())
        return;
    if (result->succeed()) {
        startNextRequest(result);
    } else {
        // A failed step ends the chain with its result.
        requestContexts_.clear();
        activeRequest_.reset();
        coreNotifyFinishWithResult(result);
    }
}

void VnRequestContextChain::coreCancel() {
    requestContexts_.clear();
    if (auto step = std::move(activeRequest_))
        step->cancel();
}
