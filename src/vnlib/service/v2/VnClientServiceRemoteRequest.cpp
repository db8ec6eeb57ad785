#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/info/VnInfoBase.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteCallSupport.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(VnClientServiceRemoteRequest, VnRequestContext, [](auto& c) {
    c.method("session_request:didFinishWithResult:",
             &VnClientServiceRemoteRequest::session_request_didFinishWithResult)
        .method("webmethod_request:didFinishWithResult:",
                &VnClientServiceRemoteRequest::webmethod_request_didFinishWithResult);
})
PLAT_DEFINE_CLASS(VnClientServiceCommonRequest, VnClientServiceRemoteRequest, PLAT_NO_METHODS)

namespace {
[[noreturn]] void notImplemented() {
    plat::raise(VnMethodNotImplementedException, "Method not implemented");
}
}  // namespace

VnClientServiceRemoteRequest::VnClientServiceRemoteRequest(
    const Ref<VnClientServiceSession>& session)
    : session_(session) {}

std::string VnClientServiceRemoteRequest::coreWebMethod() const {
    notImplemented();
}
plat::Value VnClientServiceRemoteRequest::coreRequestObject() const {
    notImplemented();
}
plat::Value VnClientServiceRemoteRequest::coreReturnValueWithJsonDictionary(
    const Ref<plat::Dictionary>&) const {
    notImplemented();
}

void VnClientServiceRemoteRequest::coreStart() {
    auto owner = session();
    if (!owner) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("Session initiation failed"));
        return;
    }
    remoteRequest_.reset();
    sessionRequest_ = owner->newSessionEnsuringRequest();
    sessionRequest_->startWithDelegate(self<VnClientServiceRemoteRequest>(), "session_");
}

void VnClientServiceRemoteRequest::session_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!running())
        return;
    if (!result || !result->succeed()) {
        coreNotifyFinishWithResult(result ? result : VnRequestResult::cancel());
        return;
    }
    coreRemoteRequestStart();
}

void VnClientServiceRemoteRequest::coreRemoteRequestStart() {
    auto owner = session();
    if (!owner) {
        coreNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("Session initiation failed"));
        return;
    }
    remoteRequest_ = owner->webRequestWithWebMethod(coreWebMethod(), webMethodParams());
    if (fixedCookies_)
        remoteRequest_->setFixedCookieHeader(cookieHeader_);
    remoteRequest_->setKeepsReceivedText(keepsReceivedText());
    remoteRequest_->startWithDelegate(self<VnClientServiceRemoteRequest>(), "webmethod_");
}

void VnClientServiceRemoteRequest::webmethod_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!running())
        return;
    if (!result || !result->succeed()) {
        coreNotifyFinishWithResult(result);
        return;
    }
    plat::Value returnValue = mapReturnValue(result->returnValue());
    if (returnValueCheck_) {
        if (auto refusal = returnValueCheck_(returnValue)) {
            VND_TRACE("Error", "%s: %s", coreWebMethod().c_str(), refusal->c_str());
            coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(*refusal));
            return;
        }
    }
    coreNotifyFinishWithResult(
        VnRequestResult::resultWithRequestParams(coreRequestObject(), returnValue, nullptr));
}

plat::Value VnClientServiceRemoteRequest::mapReturnValue(const plat::Value& answer) const {
    return VnMapRemoteAnswer(
        answer,
        [this](const Ref<plat::Dictionary>& dictionary) {
            return coreReturnValueWithJsonDictionary(dictionary);
        },
        keepsNullElements());
}

plat::Value VnClientServiceRemoteRequest::webMethodParams() const {
    return VnMergeCustomParams(webParamsWithRequestObject(coreRequestObject()), customParams(),
                               coreWebMethod());
}

void VnClientServiceRemoteRequest::coreCancel() {
    VnRequestContext::coreCancel();
    if (auto step = std::move(sessionRequest_)) {
        sessionRequest_.reset();
        step->cancel();
    }
    if (auto call = std::move(remoteRequest_)) {
        remoteRequest_.reset();
        call->cancel();
    }
}

VnClientServiceCommonRequest::VnClientServiceCommonRequest(
    const Ref<VnClientServiceSession>& session, std::string webMethod, plat::Value requestObject,
    const plat::Class* returnValueClass)
    : VnClientServiceRemoteRequest(session),
      webMethod_(std::move(webMethod)),
      returnValueClass_(returnValueClass),
      requestObject_(std::move(requestObject)) {
    PLAT_PARAMETER_ASSERT(!webMethod_.empty());
}

plat::Value VnClientServiceCommonRequest::coreReturnValueWithJsonDictionary(
    const Ref<plat::Dictionary>& dictionary) const {
    return VnReturnValueOfClass(returnValueClass_, dictionary);
}
