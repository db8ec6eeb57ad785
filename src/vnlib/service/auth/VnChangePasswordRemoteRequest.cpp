#include "vnlib/service/auth/VnChangePasswordRemoteRequest.h"

#include "platform/core/Collections.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v2/VnWebMethodNames.h"

PLAT_DEFINE_CLASS(VnChangePasswordRemoteRequest, VnClientServiceCommonRequest, PLAT_NO_METHODS)

VnChangePasswordRemoteRequest::VnChangePasswordRemoteRequest(
    const Ref<VnClientServiceSession>& session, const Ref<VnUserAuthenticationInfo>& credentials,
    const std::optional<std::string>& newPassword)
    : VnClientServiceCommonRequest(
          session, VNWS_ChangePassword,
          requestObjectWithUserAuthenticationInfo(credentials, newPassword),
          &VnCommonBoolReturnValue::classObject()) {}

plat::Value VnChangePasswordRemoteRequest::requestObjectWithUserAuthenticationInfo(
    const Ref<VnUserAuthenticationInfo>& credentials,
    const std::optional<std::string>& newPassword) {
    return plat::Value(plat::makeDictionary({
        {plat::Value("username"),
         VnValue(credentials ? plat::Value(credentials->username()) : plat::Value())},
        {plat::Value("hashedOldPassword"),
         VnValue(credentials ? plat::Value(credentials->hashedPassword()) : plat::Value())},
        {plat::Value("newPassword"), VnValue(newPassword)},
        {plat::Value("optionalParams"), plat::Value::null()},
    }));
}
