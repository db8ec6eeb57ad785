#include "vnlib/domain/context/VnBookStoreContext.h"

#include "platform/runloop/RunLoop.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/Paths.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/dev/util/VndUtils.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/auth/VnUserAuthenticationRequest.h"
#include "vnlib/service/auth/VnUserRegistrationInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(VnBookStoreContext, VndObject, [](auto& c) {
    c.method("signIn_request:didFinishWithResult:",
             &VnBookStoreContext::signIn_request_didFinishWithResult)
        .method("userAuthenMethodQuery_request:didFinishWithResult:",
                &VnBookStoreContext::userAuthenMethodQuery_request_didFinishWithResult)
        .method("userAuthenMethodQuery2_request:didFinishWithResult:",
                &VnBookStoreContext::userAuthenMethodQuery2_request_didFinishWithResult)
        .method("injectedCredential_request:didFinishWithResult:",
                &VnBookStoreContext::injectedCredential_request_didFinishWithResult)
        .method("register_requestProxy:request:willNotify_didFinishWithResult:",
                &VnBookStoreContext::register_requestProxy_request_willNotify_didFinishWithResult)
        .method("issueCover_requestProxy:request:transformRequestResult:",
                &VnBookStoreContext::issueCover_requestProxy_request_transformRequestResult)
        .method("magazineCover_requestProxy:request:transformRequestResult:",
                &VnBookStoreContext::magazineCover_requestProxy_request_transformRequestResult)
        .method(
            "shopGroupInfoImage_requestProxy:request:transformRequestResult:",
            &VnBookStoreContext::shopGroupInfoImage_requestProxy_request_transformRequestResult);
})
PLAT_DEFINE_CLASS(VnBookStoreContextFactory, plat::Object, PLAT_NO_METHODS)

namespace {

constexpr const char* kNoNetworkDetected = "No network detected";
constexpr const char* kContextSessionFailed = "Session initialization failed";

// What a caller of a sign-in with a method question left: its delegate, prefix and credentials.
struct PendingSignIn {
    WeakRef<plat::Object> delegate;
    std::string prefix;
    std::string userName;
    std::string password;
    Ref<VnUserAuthenticationInfo> info;
};

class PendingSignInBox : public plat::Object {
  public:
    explicit PendingSignInBox(PendingSignIn pending) : pending(std::move(pending)) {}
    PendingSignIn pending;
};

}  // namespace

std::filesystem::path VnBookStoreContext::storageRootPath() {
    return plat::Paths::libraryDirectory() / "Varnel";
}

std::filesystem::path VnBookStoreContext::offlineStorageRootPath() {
    return plat::Paths::libraryDirectory() / "PrivateDocuments" / "Varnel";
}

std::filesystem::path VnBookStoreContext::offlineStorageRootPath_Old() {
    return plat::Paths::documentsDirectory() / "Varnel";
}

VnBookStoreContext::VnBookStoreContext(Ref<VnClientServiceSession> session,
                                       plat::Url storeServiceURL)
    : session_(std::move(session)), storeServiceURL_(std::move(storeServiceURL)) {
    PLAT_PARAMETER_ASSERT(session_);
    const auto root = storageRootPath();
    plat::Paths::createDirectories(root);  // a failure shows when files are written
    PLAT_ASSERT(std::filesystem::exists(root), "Invalid parameter not satisfying: root exists");
    if (auto error = plat::FileManager::setExcludedFromBackup(root)) {
        VND_TRACE("General", "Error excluding %s from backup %s", root.filename().c_str(),
                  error->description().c_str());
    }
    localStorage_ = std::make_shared<VnBookStoreLocalStorage>(root / "Cache");
    rootObserver_ = std::make_shared<MulticastDelegate>();
    auto item = [this](const char* account) {
        auto wrapper = std::make_shared<VnKeychainItemWrapper>(account, appCode(), std::nullopt);
        wrapper->setObject(plat::Value(plat::kSecAttrAccessibleWhenUnlockedThisDeviceOnly),
                           plat::kSecAttrAccessible);
        return wrapper;
    };
    accountKeychainItem_ = item("VarnelAccount");
    tokenKeychainItem_ = item("VarnelToken");
}

VnBookStoreContext::~VnBookStoreContext() {
    if (auto request = std::move(signInRequest_))
        request->cancel();
    if (auto request = std::move(signInMethodRequest_))
        request->cancel();
}

std::optional<std::string> VnBookStoreContext::appCode() const {
    return session_->configuration()->appCode();
}

std::string VnBookStoreContext::machineID() const {
    return session_->configuration()->machineID();
}

void VnBookStoreContext::addContextObserver(const Ref<plat::Object>& observer) {
    rootObserver_->removeDelegate(observer);
    rootObserver_->addDelegate(observer);
}

void VnBookStoreContext::removeContextObserver(const Ref<plat::Object>& observer) {
    rootObserver_->removeDelegate(observer);
}

bool VnBookStoreContext::isOfflineMode() const {
    auto delegate = delegate_.lock();
    if (!plat::respondsToSelector(delegate, VnBookStoreContextDelegate::kIsOfflineMode))
        return false;
    return plat::send(delegate, VnBookStoreContextDelegate::kIsOfflineMode);
}

bool VnBookStoreContext::isFirstRun() const {
    return localStorage_->objectForKey(VnLastRunVersionKey).isNilOrNull();
}

void VnBookStoreContext::markRunWithVersion(const std::string& version) {
    localStorage_->setObject(plat::Value(version), VnLastRunVersionKey);
}

void VnBookStoreContext::purgeMemoryCache() {
    VndObject::purgeMemoryCache();
    magazineCoverImageMap_.clear();
    shopGroupInfoImageMap_.clear();
}

void VnBookStoreContext::resetRemoteSession() {
    if (session_)
        session_->signOutLocally();
}

// ---- Users --------------------------------------------------------------------------------------

Ref<VnBookStoreUserContext> VnBookStoreContext::defaultUserContext() {
    if (!defaultUserContext_)
        defaultUserContext_ = VnBookStoreUserContext::makeDefaultUser(self<VnBookStoreContext>());
    return defaultUserContext_;
}

Ref<VnBookStoreUserContext> VnBookStoreContext::activeUserContext() {
    if (!activeUserContext_)
        activeUserContext_ = defaultUserContext();
    return activeUserContext_;
}

void VnBookStoreContext::changeActiveUserContext(const Ref<VnBookStoreUserContext>& userContext) {
    if (userContext == activeUserContext_)
        return;
    if (auto old = std::move(activeUserContext_)) {
        // Requests parked for the old user end with a reason instead of silently.
        old->failPendingRequestsWithResult(
            VnRequestResult::failedResultWithErrorMessage("The signed-in user changed"));
        plat::autorelease(std::move(old));
    }
    activeUserContext_ = userContext;
    if (activeUserContext_) {
        activeUserContext_->setStoreSessionToken(session_->sessionId());
        activeUserContext_->clearFollowContext();
    }
    // Observers hear of every change, also one to no context (a sign-out before the device
    // user's context was ever made): screens leave the member's pages on it.
    notifyActiveUserContextDidChange();
}

void VnBookStoreContext::notifyActiveUserContextDidChange() {
    plat::send(rootObserver_, VnBookStoreContextObserver::kActiveUserContextDidChange,
               self<VnBookStoreContext>());
}

void VnBookStoreContext::persistUserAuthenticationInfo(const Ref<VnUserAuthenticationInfo>& info,
                                                       bool isTestAccount) {
    PLAT_PARAMETER_ASSERT(info);
    if (isFirstRun())
        markRunWithVersion(VndUtils::bundleVersion().value_or(""));
    const auto userId = VnUserId::userIdWithUserName(info->username());
    const bool sameUser = activeUserContext_ && !activeUserContext_->isDefault() &&
                          activeUserContext_->userId()->userName() == userId->userName();
    if (!sameUser) {
        // A different member (or the device user) was active: the new member's context takes over.
        changeActiveUserContext(
            VnBookStoreUserContext::make(self<VnBookStoreContext>(), userId, isTestAccount));
        activeUserContext_->startRequestAccountInfo();
    }
    localStorage_->setObject(plat::Value(session_->sessionId().value_or("")), VnSessionTokenKey);
    localStorage_->setObject(plat::Value(info->username()), VnUsernameKey);
    localStorage_->setObject(plat::Value(info->hashedPassword()), VnHashedPasswordKey);
    localStorage_->setObject(
        plat::Value(plat::Number::fromInt64(info->authenticationMethod(), 'i')),
        VnAuthenticationMethodKey);
    localStorage_->setObject(plat::Value::boolean(isTestAccount), VnIsTestAccountKey);
    localStorage_->removeObjectForKey(VnAuthorizationCodeKey);
    activeUserContext()->contextRegisteredUserSessionAvailable();
}

bool VnBookStoreContext::restoreRegisteredUserContext() {
    if (activeUserContext_ && !activeUserContext_->isDefault())
        return true;
    const std::string* token = localStorage_->objectForKey(VnSessionTokenKey).string();
    const std::string* userName = localStorage_->objectForKey(VnUsernameKey).string();
    if (!token || token->empty() || !userName || userName->empty())
        return false;
    sessionToken_ = *token;
    const bool isTest = localStorage_->objectForKey(VnIsTestAccountKey).boolValue();
    changeActiveUserContext(VnBookStoreUserContext::make(
        self<VnBookStoreContext>(), VnUserId::userIdWithUserName(*userName), isTest));
    return true;
}

void VnBookStoreContext::signOutRegisteredUserWithRemote(bool remote) {
    for (const char* key : {VnSessionTokenKey, VnUsernameKey, VnIsTestAccountKey,
                            VnHashedPasswordKey, VnAuthorizationCodeKey, VnAuthenticationMethodKey})
        localStorage_->removeObjectForKey(key);
    accountKeychainItem_->resetKeychainItem();
    tokenKeychainItem_->resetKeychainItem();
    sessionToken_.reset();
    if (activeUserContext_ && !activeUserContext_->isDefault()) {
        session_->signOutWithRemoteRequest(remote);
        changeActiveUserContext(defaultUserContext_);
    }
}

// ---- Sign-in ------------------------------------------------------------------------------------

void VnBookStoreContext::startSignIn(Ref<VnRequestContext> request,
                                     const Ref<plat::Object>& delegate,
                                     const std::string& selectorPrefix) {
    if (auto held = std::move(signInRequest_))
        held->cancel();
    session_->signOut();
    userContextRequestDelegators_.push_back(
        std::make_shared<VndDelegator>(delegate, selectorPrefix));
    signInRequest_ = std::move(request);
    signInRequest_->startWithDelegate(self<VnBookStoreContext>(), "signIn_");
}

void VnBookStoreContext::startUserAuthenticationRequest(const Ref<VnUserAuthenticationInfo>& info,
                                                        const Ref<plat::Object>& delegate,
                                                        const std::string& selectorPrefix) {
    PLAT_PARAMETER_ASSERT(info);
    startSignIn(session_->newSignInRequest(info), delegate, selectorPrefix);
}

void VnBookStoreContext::startUserAuthenticationRequestEx(const Ref<VnUserAuthenticationInfo>& info,
                                                          const Ref<plat::Object>& delegate,
                                                          const std::string& selectorPrefix) {
    PLAT_PARAMETER_ASSERT(info);
    startSignIn(session_->newSignInRequestEx(info), delegate, selectorPrefix);
}

void VnBookStoreContext::startUserAuthenticationRequestWithUserName(
    const std::string& userName, const std::string& password, const Ref<plat::Object>& delegate,
    const std::string& selectorPrefix) {
    if (signInMethodRequest_)
        return;
    signInMethodRequest_ = session_->newSignInMethodQueryRequestForUserName(userName);
    signInMethodRequest_->setUserInfo(plat::Value::fromObject(std::make_shared<PendingSignInBox>(
        PendingSignIn{delegate, selectorPrefix, userName, password, nullptr})));
    signInMethodRequest_->startWithDelegate(self<VnBookStoreContext>(), "userAuthenMethodQuery_");
}

void VnBookStoreContext::userAuthenMethodQuery_request_didFinishWithResult(
    Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    auto box = request->userInfo().as<PendingSignInBox>();
    auto query = std::move(signInMethodRequest_);
    if (!box)
        return;
    const auto& pending = box->pending;
    auto answer = result->returnValue().as<VnAuthenticationMethodInfo>();
    const bool external = result->succeed() && answer && answer->isExternalUser_;
    const int32_t method = external ? answer->method_ : VnUserAuthenticationInfo::kStandardMethod;
    auto info =
        method == VnUserAuthenticationInfo::kStandardMethod
            ? VnUserAuthenticationInfo::infoWithUserNamePassword(pending.userName, pending.password)
            : VnUserAuthenticationInfo::infoWithUserNamePassword(pending.userName, pending.password,
                                                                 method, answer->salt_);
    startUserAuthenticationRequest(info, pending.delegate.lock(), pending.prefix);
}

void VnBookStoreContext::startAuthenticationWithMethodCheckWithUserAuthenticationInfo(
    const Ref<VnUserAuthenticationInfo>& info, const Ref<plat::Object>& delegate,
    const std::string& selectorPrefix) {
    PLAT_PARAMETER_ASSERT(info);
    const bool needsSalt =
        info->authenticationMethod() != VnUserAuthenticationInfo::kStandardMethod &&
        info->salt().value_or("").empty();
    if (!needsSalt) {
        startUserAuthenticationRequest(info, delegate, selectorPrefix);
        return;
    }
    if (auto held = std::move(signInMethodRequest_))
        held->cancel();
    signInMethodRequest_ = session_->newSignInMethodQueryRequestForUserName(info->username());
    signInMethodRequest_->setUserInfo(plat::Value::fromObject(
        std::make_shared<PendingSignInBox>(PendingSignIn{delegate, selectorPrefix, {}, {}, info})));
    signInMethodRequest_->startWithDelegate(self<VnBookStoreContext>(), "userAuthenMethodQuery2_");
}

void VnBookStoreContext::userAuthenMethodQuery2_request_didFinishWithResult(
    Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    auto box = request->userInfo().as<PendingSignInBox>();
    auto query = std::move(signInMethodRequest_);
    if (!box)
        return;
    auto info = box->pending.info;
    auto answer = result->returnValue().as<VnAuthenticationMethodInfo>();
    if (result->succeed() && answer && answer->method_ == info->authenticationMethod()) {
        info = VnUserAuthenticationInfo::infoWithUserNameHashedPassword(
            info->username(), info->hashedPassword(), info->authenticationMethod(), answer->salt_);
    }
    startUserAuthenticationRequest(info, box->pending.delegate.lock(), box->pending.prefix);
}

void VnBookStoreContext::signIn_request_didFinishWithResult(Ref<VnRequestContext>,
                                                            Ref<VnRequestResult> result) {
    const auto active = activeUserContext();
    const bool wasRestoring = active->restoringSession();
    active->setRestoringSession(false);
    auto credentials = result->requestParams().as<VnUserAuthenticationInfo>();
    auto answer = result->returnValue().as<VnUserAuthenticationReturnValue>();
    if (result->succeed() && credentials && answer) {
        if (!credentials->isDefaultUser()) {
            if (answer->authenticated()) {
                persistUserAuthenticationInfo(credentials, answer->isTestAccount());
            } else {
                if (wasRestoring) {
                    plat::send(rootObserver_, VnBookStoreContextObserver::kSessionInitiatingFailed,
                               self<VnBookStoreContext>(), std::string("session expired"));
                }
                signOutRegisteredUserWithRemote(false);
            }
        } else if (answer->authenticated()) {
            active->setStoreSessionToken(session_->sessionId());
        }
    }
    auto finished = std::move(signInRequest_);
    auto delegators = std::move(userContextRequestDelegators_);
    userContextRequestDelegators_.clear();
    for (const auto& delegator : delegators)
        plat::send(delegator, VnBookStoreContextSignInMessages::kDidFinishWithResult,
                   self<VnBookStoreContext>(), result);
    // Contexts whose gate waited on this sign-in without starting it hear how it ended.
    for (const auto& userContext : {activeUserContext_, defaultUserContext_}) {
        if (userContext)
            userContext->contextSignInDidEnd(result);
    }
}

// ---- Credentials --------------------------------------------------------------------------------

void VnBookStoreContext::userContextNeedUserCredential() {
    if (isOfflineMode()) {
        stopWaitingForAuthentication();
        return;
    }
    if (invokingWaitingForAuthentication_)
        return;
    invokingWaitingForAuthentication_ = true;
    const std::string* hash = localStorage_->objectForKey(VnHashedPasswordKey).string();
    const int32_t method = localStorage_->objectForKey(VnAuthenticationMethodKey).intValue();
    if (hash && !hash->empty()) {
        const std::string userName = activeUserContext()->userId()->userName();
        auto info = VnUserAuthenticationInfo::infoWithUserNameHashedPassword(userName, *hash,
                                                                             method, std::nullopt);
        VND_TRACE("Warning", "Automatic credential injection for the active user");
        injectUserCredential(info);
        invokingWaitingForAuthentication_ = false;
        return;
    }
    auto delegate = delegate_.lock();
    if (plat::respondsToSelector(delegate, VnBookStoreContextDelegate::kWaitingForAuthentication)) {
        plat::send(delegate, VnBookStoreContextDelegate::kWaitingForAuthentication,
                   self<VnBookStoreContext>());
    } else {
        // No password kept and no one to ask: the restore has ended. A later request of the
        // member tries it again (the service may be back) instead of waiting behind it for ever.
        const auto active = activeUserContext();
        active->setRestoringSession(false);
        active->failPendingRequestsWithResult(
            VnRequestResult::failedResultWithErrorMessage(kContextSessionFailed));
    }
    invokingWaitingForAuthentication_ = false;
}

void VnBookStoreContext::injectUserCredential(const Ref<VnUserAuthenticationInfo>& info) {
    PLAT_ASSERT(info, "Invalid parameter not satisfying: userAuthenticationInfo");
    if (invokingWaitingForAuthentication_) {
        invokingWaitingForAuthentication_ = false;
        deferredCredential_ = info;
        plat::RunLoop::current().perform(
            [weak = weakSelf<VnBookStoreContext>()] {
                if (auto me = weak.lock())
                    me->injectDeferred();
            },
            0, plat::defaultModes(), this, "injectUserCredential:");
        return;
    }
    startAuthenticationWithMethodCheckWithUserAuthenticationInfo(info, self<VnBookStoreContext>(),
                                                                 "injectedCredential_");
}

void VnBookStoreContext::injectDeferred() {
    if (auto info = std::move(deferredCredential_))
        injectUserCredential(info);
}

void VnBookStoreContext::injectedCredential_request_didFinishWithResult(Ref<plat::Object>,
                                                                        Ref<VnRequestResult>) {
    stopWaitingForAuthentication();
}

void VnBookStoreContext::stopWaitingForAuthentication() {
    invokingWaitingForAuthentication_ = false;
    auto active = activeUserContext();
    active->setRestoringSession(false);
    active->failPendingRequestsWithResult(
        VnRequestResult::failedResultWithErrorMessage(kNoNetworkDetected));
}

// ---- Account requests ---------------------------------------------------------------------------

Ref<VnRequestContext> VnBookStoreContext::requestForRegisteringNewAccount(
    const Ref<VnUserRegistrationInfo>& registration) {
    auto request = session_->newAccountRegistrationRequest(registration);
    request->setUserInfo(plat::Value::fromObject(registration));
    return request->proxyWithProxyDelegate(self<VnBookStoreContext>(), "register_");
}

void VnBookStoreContext::register_requestProxy_request_willNotify_didFinishWithResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    auto answer = result->returnValue().as<VnCommonBoolReturnValue>();
    auto registration = request->userInfo().as<VnUserRegistrationInfo>();
    if (!result->succeed() || !answer || !answer->isSuccess() || !registration ||
        !registration->username)
        return;
    persistUserAuthenticationInfo(VnUserAuthenticationInfo::infoWithUserNamePassword(
                                      *registration->username, registration->password.value_or("")),
                                  false);
    session_->notifyAuthenticatedWithUserName(*registration->username);
}

Ref<VnRequestContext> VnBookStoreContext::requestForPasswordResetWithUsername(
    const std::string& userName) {
    return session_->newRequestPasswordResetEmailRequestWithUsername(userName);
}

Ref<VnRequestContext> VnBookStoreContext::requestForAllAppleInAppIds() {
    auto object = plat::MutableDictionary::make();
    object->setObject(appCode() ? plat::Value(*appCode()) : plat::Value::null(),
                      plat::Value("appCode"));
    return session_->webRequestWithWebMethod("RetrieveInAppIDs", plat::Value(object));
}

Ref<VnRequestContext> VnBookStoreContext::requestForPurchaseErrorReport(
    const plat::Value& info, const plat::Value& message) {
    auto object = plat::MutableDictionary::make();
    object->setObject(info.isNil() ? plat::Value::null() : info, plat::Value("info"));
    object->setObject(message.isNil() ? plat::Value::null() : message, plat::Value("message"));
    return session_->webRequestWithWebMethod("ReportPurchaseError", plat::Value(object));
}

// ---- Factory ------------------------------------------------------------------------------------

Ref<VnBookStoreContext> VnBookStoreContextFactory::newContext() const {
    auto session = std::make_shared<VnClientServiceSession>(serviceUrl_, configuration_);
    auto storeUrl = plat::Url::parse(configuration_->storeServiceURL().value_or(""));
    return std::make_shared<VnBookStoreContext>(session, storeUrl ? *storeUrl : serviceUrl_);
}
