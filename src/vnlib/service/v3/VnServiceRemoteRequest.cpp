#include "vnlib/service/v3/VnServiceRemoteRequest.h"

#include "vnlib/service/v2/VnRemoteCallSupport.h"

#include "platform/core/Log.h"
#include "vnlib/info/VnInfoBase.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(VnServiceRemoteRequest, VnRequestContext, [](auto& c) {
    c.method("webmethod_request:didFinishWithResult:",
             &VnServiceRemoteRequest::webmethod_request_didFinishWithResult);
})
PLAT_DEFINE_CLASS(VnServiceCommonRequest, VnServiceRemoteRequest, PLAT_NO_METHODS)

namespace {

[[noreturn]] void notImplementedHere() {
    plat::raise(VnMethodNotImplementedException, "Method not implemented");
}

}  // namespace

VnServiceRemoteRequest::VnServiceRemoteRequest(Ref<VnServiceConnection> connection,
                                               Ref<VnServiceSessionContext> sessionContext)
    : serviceConnection_(std::move(connection)), sessionContext_(std::move(sessionContext)) {
    PLAT_PARAMETER_ASSERT(serviceConnection_);
}

std::string VnServiceRemoteRequest::coreWebMethod() const {
    notImplementedHere();
}
plat::Value VnServiceRemoteRequest::coreRequestObject() const {
    notImplementedHere();
}
plat::Value VnServiceRemoteRequest::coreReturnValueWithJsonDictionary(
    const Ref<plat::Dictionary>&) const {
    notImplementedHere();
}

plat::Value VnServiceRemoteRequest::webMethodParams() const {
    return VnMergeCustomParams(webParamsWithRequestObject(coreRequestObject()), customParams(),
                               coreWebMethod());
}

Ref<plat::Dictionary> VnServiceRemoteRequest::webHeaderParams() const {
    auto headers = plat::MutableDictionary::make();
    if (!sessionContext_)
        return headers;
    headers->setObject(plat::Value(sessionContext_->tokenVersion()), plat::Value("TokenVersion"));
    if (const auto& token = sessionContext_->tokenKey()) {
        headers->setObject(plat::Value("Token token=\"" + *token + "\""),
                           plat::Value("Authorization"));
    }
    if (const auto& appCode = sessionContext_->appCode())
        headers->setObject(plat::Value(*appCode), plat::Value("Varnel-AppCode"));
    return headers;
}

void VnServiceRemoteRequest::coreRemoteRequestStart() {
    const std::string webMethod = coreWebMethod();
    const plat::Value body = webMethodParams();
    const Ref<plat::Dictionary> headers = webHeaderParams();
    if (auto previous = std::move(remoteRequest_)) {
        remoteRequest_.reset();
        previous->cancel();
    }
    remoteRequest_ = serviceConnection_->requestWithWebMethod(webMethod, body, headers);
    remoteRequest_->setKeepsReceivedText(keepsReceivedText());
    remoteRequest_->startWithDelegateUsingPrefixFromDidFinishSelector(
        self<VnServiceRemoteRequest>(), plat::Selector("webmethod_request:didFinishWithResult:"));
}

void VnServiceRemoteRequest::webmethod_request_didFinishWithResult(Ref<VnRequestContext>,
                                                                   Ref<VnRequestResult> result) {
    if (!running())
        return;
    remoteRequest_.reset();
    if (!result) {
        coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
            "Server did not return proper JSON object"));
        return;
    }
    if (!result->succeed()) {
        coreNotifyFinishWithResult(result);
        return;
    }
    coreNotifyFinishWithResult(VnRequestResult::resultWithRequestParams(
        coreRequestObject(), mapReturnValue(result->returnValue()), nullptr));
}

plat::Value VnServiceRemoteRequest::mapReturnValue(const plat::Value& answer) const {
    return VnMapRemoteAnswer(
        answer,
        [this](const Ref<plat::Dictionary>& dictionary) {
            return coreReturnValueWithJsonDictionary(dictionary);
        },
        keepsNullElements());
}

void VnServiceRemoteRequest::coreCancel() {
    VnRequestContext::coreCancel();
    if (auto call = std::move(remoteRequest_)) {
        remoteRequest_.reset();
        call->cancel();
    }
}

VnServiceCommonRequest::VnServiceCommonRequest(Ref<VnServiceConnection> connection,
                                               Ref<VnServiceSessionContext> sessionContext,
                                               std::string webMethod, plat::Value requestObject,
                                               const plat::Class* returnValueClass)
    : VnServiceRemoteRequest(std::move(connection), std::move(sessionContext)),
      webMethod_(std::move(webMethod)),
      requestObject_(std::move(requestObject)),
      returnValueClass_(returnValueClass) {
    if (webMethod_.empty())
        plat::assertionFailed("webMethod", __FILE__, __LINE__);
}

plat::Value VnServiceCommonRequest::coreReturnValueWithJsonDictionary(
    const Ref<plat::Dictionary>& dictionary) const {
    return VnReturnValueOfClass(returnValueClass_, dictionary);
}
