#pragma once
// VnClientServiceSession: the client of the version-2 web service. It keeps the server session
// id (fetched once with "RequestSessionID" and shared by every call through one session step),
// the signed-in user's name and the sign-out state, and it makes every version-2 call. The id is
// never sent in later calls' bodies or headers: the service recognises the session by its cookie.
#include <optional>
#include <string>

#include "vnlib/dev/request/VnRequestProxy2.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"

class VnClientServiceConfiguration;
class VnClientServiceSession;

// A missing value is sent as JSON null.
inline plat::Value VnValue(const plat::Value& value) {
    return value.isNil() ? plat::Value::null() : value;
}
inline plat::Value VnValue(const std::optional<std::string>& text) {
    return text ? plat::Value(*text) : plat::Value::null();
}

// The one shared session step of a session: finishes with the session id once it exists.
class VnSessionRequestContext : public VnRequestContext {
    PLAT_CLASS(VnSessionRequestContext)
  public:
    explicit VnSessionRequestContext(const Ref<VnClientServiceSession>& session)
        : session_(session) {}
    void startRequestToService();
    void notifySessionAvailable();
    void request_didFinishWithResult(Ref<VnRequestContext> request, Ref<VnRequestResult> result);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    WeakRef<VnClientServiceSession> session_;
    Ref<VnJsonWebRequest> sessionIdRequest_;
};

class VnClientServiceSession : public plat::Object {
    PLAT_CLASS(VnClientServiceSession)
  public:
    VnClientServiceSession(plat::Url serviceUrl, Ref<VnClientServiceConfiguration> configuration);

    const plat::Url& serviceUrl() const { return serviceUrl_; }
    const Ref<VnClientServiceConfiguration>& configuration() const { return configuration_; }
    const std::optional<std::string>& sessionId() const { return sessionId_; }
    bool hasSignedIn() const { return authenticatedUserName_.has_value(); }
    const std::optional<std::string>& authenticatedUserName() const {
        return authenticatedUserName_;
    }
    bool signingOut() const { return signingOut_; }
    bool requestingRemoteSession() const { return requesting_; }
    void setRequestingRemoteSession(bool requesting) { requesting_ = requesting; }

    // A bare transport call: no session step, no result mapping.
    Ref<VnJsonWebRequest> webRequestWithWebMethod(const std::string& webMethod,
                                                  const plat::Value& requestObject);
    // The standard version-2 call.
    Ref<VnClientServiceCommonRequest> newRequestWithWebMethod(const std::string& webMethod,
                                                              const plat::Value& requestObject,
                                                              const plat::Class* returnValueClass);
    // A joint request on the shared session step.
    Ref<VnRequestContext> newSessionEnsuringRequest();
    // "RestoreSession" with a stored token; on success the session takes the returned id and
    // the user name.
    Ref<VnRequestProxy2> newRestoreSessionRequest(const std::optional<std::string>& sessionToken,
                                                  const std::string& userName);
    // A joint request on the session's one sign-out call ("AccountLogoutEx", or "AccountLogout"
    // when newSignOutRequest came first).
    Ref<VnRequestContext> newSignOutRequest();
    Ref<VnRequestContext> newSignOutRequestEx();
    void signOut() { signOutWithRemoteRequest(true); }
    void signOutLocally() { signOutWithRemoteRequest(false); }
    void signOutWithRemoteRequest(bool remote);

    void notifyAuthenticatedWithUserName(const std::string& userName) {
        authenticatedUserName_ = userName;
    }
    // Keeps the id; the id itself is never written to the log.
    void setSessionToken(const std::string& token);

    static Ref<plat::Dictionary> voidWebMethodParam();
    // {"Key": key, "Value": value as text (null stays null)} per entry, in the dictionary's order.
    static Ref<plat::Array> optionalParamArrayWithDictionary(const plat::Dictionary& dictionary);

    // Proxy-delegate messages of the restore and sign-out calls.
    void restoreSession_willNotifyFinish(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request,
                                         Ref<VnRequestResult> result);
    bool signout_requestWillStart(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request);
    void signout_willNotifyFinish(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request,
                                  Ref<VnRequestResult> result);

  private:
    Ref<VnRequestContext> signOutRequestWithMethod(const char* webMethod);

    plat::Url serviceUrl_;
    Ref<VnClientServiceConfiguration> configuration_;
    std::optional<std::string> sessionId_;
    std::optional<std::string> authenticatedUserName_;
    Ref<VnSessionRequestContext> sessionEnsuringRootRequest_;
    bool signingOut_ = false;
    Ref<VnRequestProxy2> signoutRequest_;
    bool requesting_ = false;
};
