#include "vnlib/service/v2/VnClientServiceSession.h"

#include "platform/core/Log.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

PLAT_DEFINE_CLASS(VnSessionRequestContext, VnRequestContext, [](auto& c) {
    c.method("request:didFinishWithResult:", &VnSessionRequestContext::request_didFinishWithResult);
})
PLAT_DEFINE_CLASS(VnClientServiceSession, plat::Object, [](auto& c) {
    c.method("restoreSession_requestProxy:request:willNotify_didFinishWithResult:",
             &VnClientServiceSession::restoreSession_willNotifyFinish)
        .method("signout_requestProxy:requestWillStart:",
                &VnClientServiceSession::signout_requestWillStart)
        .method("signout_requestProxy:request:willNotify_didFinishWithResult:",
                &VnClientServiceSession::signout_willNotifyFinish);
})

// ---- The shared session step --------------------------------------------------------------------

void VnSessionRequestContext::coreStart() {
    auto session = session_.lock();
    if (!session) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("Session initiation failed"));
    } else if (session->sessionId()) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::resultWithReturnValue(plat::Value(*session->sessionId()), nullptr));
    } else if (!session->requestingRemoteSession()) {
        startRequestToService();
    }
    // With one shared step per session a second start while the id call is out cannot happen:
    // every caller joins this step instead.
}

void VnSessionRequestContext::startRequestToService() {
    auto session = session_.lock();
    sessionIdRequest_ =
        session->webRequestWithWebMethod("RequestSessionID", plat::Value(session->configuration()));
    sessionIdRequest_->startWithDelegate(self<VnSessionRequestContext>());
    session->setRequestingRemoteSession(true);
}

void VnSessionRequestContext::request_didFinishWithResult(Ref<VnRequestContext>,
                                                          Ref<VnRequestResult> result) {
    auto session = session_.lock();
    if (session)
        session->setRequestingRemoteSession(false);
    sessionIdRequest_.reset();
    if (!result || !result->succeed()) {
        coreNotifyFinishWithResult(result);
        return;
    }
    const plat::Value& id = result->returnValue();
    if (id.isNilOrNull() || !session) {
        coreNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("Session initiation failed"));
        return;
    }
    session->setSessionToken(id.description());
    notifySessionAvailable();
}

void VnSessionRequestContext::notifySessionAvailable() {
    auto session = session_.lock();
    plat::Value id =
        session && session->sessionId() ? plat::Value(*session->sessionId()) : plat::Value();
    coreQueueNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(id, nullptr));
}

void VnSessionRequestContext::coreCancel() {
    VnRequestContext::coreCancel();
    if (auto session = session_.lock())
        session->setRequestingRemoteSession(false);
    if (auto call = std::move(sessionIdRequest_)) {
        sessionIdRequest_.reset();
        call->cancel();
    }
}

// ---- The session --------------------------------------------------------------------------------

VnClientServiceSession::VnClientServiceSession(plat::Url serviceUrl,
                                               Ref<VnClientServiceConfiguration> configuration)
    : serviceUrl_(std::move(serviceUrl)), configuration_(std::move(configuration)) {}

Ref<VnJsonWebRequest> VnClientServiceSession::webRequestWithWebMethod(
    const std::string& webMethod, const plat::Value& requestObject) {
    return plat::autorelease(
        std::make_shared<VnJsonWebRequest>(serviceUrl_, webMethod, requestObject));
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newRequestWithWebMethod(
    const std::string& webMethod, const plat::Value& requestObject,
    const plat::Class* returnValueClass) {
    return std::make_shared<VnClientServiceCommonRequest>(self<VnClientServiceSession>(), webMethod,
                                                          requestObject, returnValueClass);
}

Ref<VnRequestContext> VnClientServiceSession::newSessionEnsuringRequest() {
    if (!sessionEnsuringRootRequest_) {
        sessionEnsuringRootRequest_ =
            std::make_shared<VnSessionRequestContext>(self<VnClientServiceSession>());
    }
    return std::make_shared<VnJointRequest>(sessionEnsuringRootRequest_);
}

void VnClientServiceSession::setSessionToken(const std::string& token) {
    sessionId_ = token;
    VND_TRACE("General", "Session token received (%zu characters)", token.size());
}

Ref<VnRequestProxy2> VnClientServiceSession::newRestoreSessionRequest(
    const std::optional<std::string>& sessionToken, const std::string& userName) {
    if (!sessionToken)
        plat::assertionFailed("sessionToken", __FILE__, __LINE__);
    auto items = configuration_ ? configuration_->serializableOptionalParamItems() : nullptr;
    auto body = plat::makeDictionary(
        {{plat::Value("tokenkey"), VnValue(sessionToken)},
         {plat::Value("optionalParams"), items ? plat::Value(items) : plat::Value::null()}});
    auto call = webRequestWithWebMethod("RestoreSession", plat::Value(body));
    call->setUserInfo(plat::Value(userName));
    return call->proxyWithProxyDelegate(self<VnClientServiceSession>(), "restoreSession_");
}

void VnClientServiceSession::restoreSession_willNotifyFinish(Ref<VnRequestProxy2>,
                                                             Ref<VnRequestContext> request,
                                                             Ref<VnRequestResult> result) {
    if (!result || !result->succeed())
        return;
    const plat::Value& token = result->returnValue();
    const std::string* text = token.string();
    if (!text || text->empty())
        return;  // only a non-empty text is a token: anything else restores nothing
    sessionId_ = *text;
    if (const std::string* name = request->userInfo().string())
        authenticatedUserName_ = *name;
}

Ref<VnRequestContext> VnClientServiceSession::signOutRequestWithMethod(const char* webMethod) {
    if (!signoutRequest_) {
        auto call = newRequestWithWebMethod(webMethod, plat::Value(voidWebMethodParam()), nullptr);
        signoutRequest_ = call->proxyWithProxyDelegate(self<VnClientServiceSession>(), "signout_");
    }
    return std::make_shared<VnJointRequest>(signoutRequest_);
}

Ref<VnRequestContext> VnClientServiceSession::newSignOutRequest() {
    return signOutRequestWithMethod("AccountLogout");
}

Ref<VnRequestContext> VnClientServiceSession::newSignOutRequestEx() {
    return signOutRequestWithMethod("AccountLogoutEx");
}

bool VnClientServiceSession::signout_requestWillStart(Ref<VnRequestProxy2>, Ref<VnRequestContext>) {
    if (signingOut_)
        return false;
    signingOut_ = true;
    return true;
}

void VnClientServiceSession::signout_willNotifyFinish(Ref<VnRequestProxy2>, Ref<VnRequestContext>,
                                                      Ref<VnRequestResult>) {
    signingOut_ = false;
}

void VnClientServiceSession::signOutWithRemoteRequest(bool remote) {
    // The service knows its member by the session's cookies. The sign-out call carries them as
    // they are now; afterwards they are forgotten, so that no later call acts as the old member,
    // and the sign-out's reply (however late) cannot touch cookies set after it.
    auto& store = plat::HttpCookieStorage::shared();
    const auto signOutUrl = serviceUrl_.urlByAppendingPathComponent("AccountLogoutEx");
    auto cookies = store.cookiesForURL(serviceUrl_);
    for (auto& cookie : store.cookiesForURL(signOutUrl))
        cookies.push_back(std::move(cookie));
    if (remote) {
        auto request = newSignOutRequestEx();
        auto call =
            std::dynamic_pointer_cast<VnClientServiceRemoteRequest>(signoutRequest_->target());
        if (call && !call->running())
            call->setFixedCookieHeader(store.cookieHeaderForURL(signOutUrl));
        request->start();
    }
    for (const auto& cookie : cookies)
        store.deleteCookieIfUnchanged(cookie);
    authenticatedUserName_.reset();
    sessionId_.reset();
}

Ref<plat::Dictionary> VnClientServiceSession::voidWebMethodParam() {
    return plat::makeDictionary({{plat::Value("optionalParams"), plat::Value::null()}});
}

Ref<plat::Array> VnClientServiceSession::optionalParamArrayWithDictionary(
    const plat::Dictionary& dictionary) {
    std::vector<plat::Value> items;
    dictionary.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        plat::Value text = value.isNull() ? value : plat::Value(value.description());
        items.push_back(plat::Value(
            plat::makeDictionary({{plat::Value("Key"), key}, {plat::Value("Value"), text}})));
        return true;
    });
    return plat::Array::make(std::move(items));
}
