#pragma once
// VnUserAuthenticationRequest: the version-2 sign-in call ("AccountAuthentication" or
// "AccountAuthenticationWithAccessToken"). Its request object is the user's credentials; what is
// sent is their record with the stored password hash replaced by the sign-in hash (salted with
// the session id, or with the account's salt by the account's method), so the stored hash never
// leaves the device. A sign-in started while the session signs out waits for that sign-out to
// finish. An answer that says the user is authenticated makes the session signed in under the
// credentials' user name.
#include <string>

#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"

class VnUserAuthenticationRequest : public VnClientServiceCommonRequest {
    PLAT_CLASS(VnUserAuthenticationRequest)
  public:
    VnUserAuthenticationRequest(const Ref<VnClientServiceSession>& session, std::string webMethod,
                                const Ref<VnUserAuthenticationInfo>& credentials,
                                const plat::Class* returnValueClass);

    Ref<VnUserAuthenticationInfo> credentials() const {
        return requestObject().as<VnUserAuthenticationInfo>();
    }
    // The sign-in hash of the credentials: salted with the session id for method 1, the method-2
    // session hash with their salt for method 2, salted with their salt for any other method.
    std::string takeHashedPasswordFromAuthenInfo(const VnUserAuthenticationInfo& info) const;
    // The credentials' record with "hashedPassword" replaced by the sign-in hash.
    plat::Value webParamsWithRequestObject(const plat::Value& requestObject) const override;
    void coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) override;
    // The waited-for sign-out has finished (whatever its result): try the start again.
    void signout_request_didFinishWithResult(Ref<VnRequestContext> request,
                                             Ref<VnRequestResult> result);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    void stopWaiting();

    Ref<VnRequestContext> signOutRequest_;
};
