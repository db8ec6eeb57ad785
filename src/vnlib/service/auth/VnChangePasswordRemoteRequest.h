#pragma once
// VnChangePasswordRemoteRequest: the "ChangePassword" call as a request class of its own. It
// sends the user name and the stored password hash of the credentials as they are
// ("hashedOldPassword", not salted again) with the new password, and answers a
// VnCommonBoolReturnValue. The session's change-password factory sends the same body.
#include <optional>
#include <string>

#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"

class VnUserAuthenticationInfo;

class VnChangePasswordRemoteRequest : public VnClientServiceCommonRequest {
    PLAT_CLASS(VnChangePasswordRemoteRequest)
  public:
    VnChangePasswordRemoteRequest(const Ref<VnClientServiceSession>& session,
                                  const Ref<VnUserAuthenticationInfo>& credentials,
                                  const std::optional<std::string>& newPassword);

    // {"username", "hashedOldPassword", "newPassword", "optionalParams"} in this order; what is
    // missing is sent as null.
    static plat::Value requestObjectWithUserAuthenticationInfo(
        const Ref<VnUserAuthenticationInfo>& credentials,
        const std::optional<std::string>& newPassword);
};
