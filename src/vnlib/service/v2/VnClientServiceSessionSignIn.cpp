// The sign-in factories of the version-2 session.
#include "vnlib/service/auth/VnUserAuthenticationRequest.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v2/VnWebMethodNames.h"

Ref<VnUserAuthenticationRequest> VnClientServiceSession::newSignInRequest(
    const Ref<VnUserAuthenticationInfo>& credentials) {
    return std::make_shared<VnUserAuthenticationRequest>(
        self<VnClientServiceSession>(), VNWS_AccountAuthentication, credentials,
        &VnUserAuthenticationReturnValue::classObject());
}

Ref<VnUserAuthenticationRequest> VnClientServiceSession::newSignInRequestEx(
    const Ref<VnUserAuthenticationInfo>& credentials) {
    return std::make_shared<VnUserAuthenticationRequest>(
        self<VnClientServiceSession>(), VNWS_AccountAuthenticationWithAccessToken, credentials,
        &VnUserAuthenticationReturnValue::classObject());
}
