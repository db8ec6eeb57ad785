#include "vnlib/service/auth/VnUserAuthenticationRequest.h"

#include "platform/runloop/RunLoop.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(VnUserAuthenticationRequest, VnClientServiceCommonRequest, [](auto& c) {
    c.method("signout_request:didFinishWithResult:",
             &VnUserAuthenticationRequest::signout_request_didFinishWithResult);
})

namespace {
constexpr const char* kRestartAction = "coreStart";
}

VnUserAuthenticationRequest::VnUserAuthenticationRequest(
    const Ref<VnClientServiceSession>& session, std::string webMethod,
    const Ref<VnUserAuthenticationInfo>& credentials, const plat::Class* returnValueClass)
    : VnClientServiceCommonRequest(session, std::move(webMethod), plat::Value(credentials),
                                   returnValueClass) {}

std::string VnUserAuthenticationRequest::takeHashedPasswordFromAuthenInfo(
    const VnUserAuthenticationInfo& info) const {
    switch (info.authenticationMethod()) {
        case VnUserAuthenticationInfo::kStandardMethod: {
            auto owner = session();
            std::optional<std::string> id = owner ? owner->sessionId() : std::nullopt;
            return info.tokenHashedPassword(id.value_or(""));
        }
        case VnUserAuthenticationInfo::kMD5Method:
            return info.vtcHashPasswordWithSalt(info.salt().value_or(""));
        default:
            return info.tokenHashedPassword(info.salt().value_or(""));
    }
}

plat::Value VnUserAuthenticationRequest::webParamsWithRequestObject(
    const plat::Value& requestObject) const {
    auto info = requestObject.as<VnUserAuthenticationInfo>();
    if (!info)
        return requestObject;
    auto view = info->proxyForJson().dictionary();
    if (!view)
        return requestObject;
    auto params = view->mutableCopy();
    params->setObject(plat::Value(takeHashedPasswordFromAuthenInfo(*info)),
                      plat::Value("hashedPassword"));
    return plat::Value(params);
}

void VnUserAuthenticationRequest::coreStart() {
    auto owner = session();
    if (owner && owner->signingOut()) {
        signOutRequest_ = owner->newSignOutRequestEx();
        signOutRequest_->startWithDelegate(self<VnUserAuthenticationRequest>(), "signout_");
        return;
    }
    VnClientServiceCommonRequest::coreStart();
}

void VnUserAuthenticationRequest::signout_request_didFinishWithResult(Ref<VnRequestContext>,
                                                                      Ref<VnRequestResult>) {
    signOutRequest_.reset();
    if (!running())
        return;
    WeakRef<VnUserAuthenticationRequest> weak = weakSelf<VnUserAuthenticationRequest>();
    plat::RunLoop::current().perform(
        [weak] {
            auto request = weak.lock();
            if (request && request->running())
                request->coreStart();
        },
        0, plat::defaultModes(), this, kRestartAction);
}

void VnUserAuthenticationRequest::coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    if (result && result->succeed()) {
        auto answer = result->returnValue().as<VnUserAuthenticationReturnValue>();
        auto info = credentials();
        auto owner = session();
        if (answer && answer->authenticated() && info && owner)
            owner->notifyAuthenticatedWithUserName(info->username());
    }
    VnClientServiceCommonRequest::coreNotifyFinishWithResult(result);
}

void VnUserAuthenticationRequest::stopWaiting() {
    plat::RunLoop::current().cancelPerforms(this, kRestartAction);
    if (auto waiting = std::move(signOutRequest_)) {
        signOutRequest_.reset();
        waiting->cancel();
    }
}

void VnUserAuthenticationRequest::coreCancel() {
    stopWaiting();
    VnClientServiceCommonRequest::coreCancel();
}
