#pragma once
// VnBookStoreContext: the root of the library layer, one per run. It owns the version-2 session,
// the cache tree ("Varnel/Cache" under the user's Library folder), the signed-in member's
// settings (user defaults) and keychain items, the device user's context and the active user
// context, and runs every sign-in: user name and password (after asking the sign-in method),
// single sign-on, stored credentials, and the device user's silent sign-in. Callers hear the
// outcome as "<prefix>request:didFinishWithResult:" (this context, the sign-in's result).
// VnBookStoreContextFactory makes it from a service URL and a configuration.
//
// Delegate messages (optional): "bookStoreContextWaitingForAuthentication:",
// "bookStoreContextIsOfflineMode". Observer messages (optional), through the multicast:
// "bookStoreContextActiveUserContextDidChange:",
// "bookStoreContext:sessionInitiatingFailedWithErrorMessage:".
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "platform/net/Url.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"
#include "vnlib/dev/delegate/VndDelegator.h"
#include "vnlib/dev/keychain/VnKeychainItemWrapper.h"
#include "vnlib/dev/request/VnRequestProxy2.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/service/v2/VnClientServiceSession.h"

class VnBookStoreContext;
class VnBookStoreUserContext;
class VnRequestResult;
class VnUserAuthenticationInfo;

// The store context's delegate and observer messages, declared once with their C++ types.
struct VnBookStoreContextDelegate {
    static constexpr plat::Message<bool()> kIsOfflineMode{"bookStoreContextIsOfflineMode"};
    static constexpr plat::Message<void(const Ref<VnBookStoreContext>&)> kWaitingForAuthentication{
        "bookStoreContextWaitingForAuthentication:"};
};
struct VnBookStoreContextObserver {
    static constexpr plat::Message<void(const Ref<VnBookStoreContext>&)>
        kActiveUserContextDidChange{"bookStoreContextActiveUserContextDidChange:"};
    static constexpr plat::Message<void(const Ref<VnBookStoreContext>&, const std::string&)>
        kSessionInitiatingFailed{"bookStoreContext:sessionInitiatingFailedWithErrorMessage:"};
};
// How a sign-in ends for a request that waited on it (through a delegator, prefixed).
struct VnBookStoreContextSignInMessages {
    static constexpr plat::Message<void(const Ref<VnBookStoreContext>&,
                                        const Ref<VnRequestResult>&)>
        kDidFinishWithResult{"request:didFinishWithResult:"};
};
class VnUserRegistrationInfo;
class VnUrlDownloader;
class VnLocalCacheAsset;
class VnMagazineIssueInfo;
class VnMagazineInfo;
class VnShopGroupInfo;
namespace plat {
class Image;
}

// Keys of the signed-in member's settings.
inline constexpr const char* VnLastRunVersionKey = "LastRunVersion";
inline constexpr const char* VnSessionTokenKey = "Varnel/SessionToken";
inline constexpr const char* VnUsernameKey = "Varnel/Username";
inline constexpr const char* VnHashedPasswordKey = "Varnel/HashedPassword";
inline constexpr const char* VnAuthenticationMethodKey = "Varnel/AuthenticationMethod";
inline constexpr const char* VnIsTestAccountKey = "Varnel/IsTestAccount";
inline constexpr const char* VnAuthorizationCodeKey = "Varnel/AuthorizationCode";

class VnBookStoreContext : public VndObject {
    PLAT_CLASS(VnBookStoreContext)
  public:
    VnBookStoreContext(Ref<VnClientServiceSession> session, plat::Url storeServiceURL);
    ~VnBookStoreContext() override;

    // "Varnel" in the user's Library folder.
    static std::filesystem::path storageRootPath();
    // Older roots that nothing reads any more: "Varnel" in "PrivateDocuments" of the Library
    // folder, and "Varnel" in the user's documents folder.
    static std::filesystem::path offlineStorageRootPath();
    static std::filesystem::path offlineStorageRootPath_Old();
    const Ref<VnClientServiceSession>& serviceSession() const { return session_; }
    const Ref<VnBookStoreLocalStorage>& localStorage() const { return localStorage_; }
    const Ref<VnBooksLocalArchive>& booksLocalArchive() const {
        return localStorage_->booksLocalArchive();
    }
    const Ref<VnKeychainItemWrapper>& accountKeychainItem() const { return accountKeychainItem_; }
    const Ref<VnKeychainItemWrapper>& tokenKeychainItem() const { return tokenKeychainItem_; }
    std::optional<std::string> appCode() const;
    std::string machineID() const;
    const plat::Url& storeServiceURL() const { return storeServiceURL_; }
    const std::optional<std::string>& sessionToken() const { return sessionToken_; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    const Ref<MulticastDelegate>& observerMulticastDelegate() const { return rootObserver_; }
    // An observer is registered once however often it is added.
    void addContextObserver(const Ref<plat::Object>& observer);
    void removeContextObserver(const Ref<plat::Object>& observer);

    bool isOfflineMode() const;
    bool isFirstRun() const;
    void markRunWithVersion(const std::string& version);
    void purgeMemoryCache() override;
    void removeAllCachedData() {}
    void resetRemoteSession();

    // ---- Users ----
    Ref<VnBookStoreUserContext> defaultUserContext();
    // Never empty: falls back to the device user's context, without a notification.
    Ref<VnBookStoreUserContext> activeUserContext();
    void changeActiveUserContext(const Ref<VnBookStoreUserContext>& userContext);
    void persistUserAuthenticationInfo(const Ref<VnUserAuthenticationInfo>& info,
                                       bool isTestAccount);
    // Makes the stored member's context active without a request; false without a stored token.
    bool restoreRegisteredUserContext();
    void signOutRegisteredUserWithRemote(bool remote);
    void signOutRegisteredUser() { signOutRegisteredUserWithRemote(true); }

    // ---- Sign-in ----
    void startUserAuthenticationRequest(const Ref<VnUserAuthenticationInfo>& info,
                                        const Ref<plat::Object>& delegate,
                                        const std::string& selectorPrefix);
    // With the single-sign-on result (user name and authorization code).
    void startUserAuthenticationRequestEx(const Ref<VnUserAuthenticationInfo>& info,
                                          const Ref<plat::Object>& delegate,
                                          const std::string& selectorPrefix);
    // Asks the user's sign-in method first; ignored while such a question is out.
    void startUserAuthenticationRequestWithUserName(const std::string& userName,
                                                    const std::string& password,
                                                    const Ref<plat::Object>& delegate,
                                                    const std::string& selectorPrefix);
    // For stored credentials: asks for the salt when the method needs one and none is known.
    void startAuthenticationWithMethodCheckWithUserAuthenticationInfo(
        const Ref<VnUserAuthenticationInfo>& info, const Ref<plat::Object>& delegate,
        const std::string& selectorPrefix);
    bool isProcessingUserAuthentication() const { return signInRequest_ || signInMethodRequest_; }

    // ---- For user contexts ----
    void userContextNeedUserCredential();
    void injectUserCredential(const Ref<VnUserAuthenticationInfo>& info);
    void stopWaitingForAuthentication();

    // ---- Covers and group images: one download per code, shared by every caller ----
    // "cover.jpg" in the item's folder of the shared issue archive.
    Ref<VnLocalCacheAsset> cacheAssetForCoverWithMagazineIssueInfo(const Ref<VnInfo>& info) const;
    // Answers the item, with its full-resolution cover provider set.
    Ref<VnRequestContext> newCoverRequestWithIssueInfo(const Ref<VnMagazineIssueInfo>& info);
    // Answers the magazine, its cover decoded (once per code) and set.
    Ref<VnRequestContext> requestForCoverWithMagazine(const Ref<VnMagazineInfo>& magazine);
    Ref<VnRequestContext> requestForImageWithShopGroupInfo(const Ref<VnShopGroupInfo>& group);
    size_t decodedImageCount() const {
        return magazineCoverImageMap_.size() + shopGroupInfoImageMap_.size();
    }
    Ref<VnRequestResult> issueCover_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    Ref<VnRequestResult> magazineCover_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    Ref<VnRequestResult> shopGroupInfoImage_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);

    // ---- Account requests (not started) ----
    Ref<VnRequestContext> requestForRegisteringNewAccount(
        const Ref<VnUserRegistrationInfo>& registration);
    Ref<VnRequestContext> requestForPasswordResetWithUsername(const std::string& userName);
    Ref<VnRequestContext> requestForAllAppleInAppIds();
    Ref<VnRequestContext> requestForPurchaseErrorReport(const plat::Value& info,
                                                        const plat::Value& message);

    // ---- Callbacks ----
    void signIn_request_didFinishWithResult(Ref<VnRequestContext> request,
                                            Ref<VnRequestResult> result);
    void userAuthenMethodQuery_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                           Ref<VnRequestResult> result);
    void userAuthenMethodQuery2_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                            Ref<VnRequestResult> result);
    void injectedCredential_request_didFinishWithResult(Ref<plat::Object> context,
                                                        Ref<VnRequestResult> result);
    void register_requestProxy_request_willNotify_didFinishWithResult(Ref<VnRequestProxy2> proxy,
                                                                      Ref<VnRequestContext> request,
                                                                      Ref<VnRequestResult> result);
    void injectDeferred();

  private:
    void startSignIn(Ref<VnRequestContext> request, const Ref<plat::Object>& delegate,
                     const std::string& selectorPrefix);
    void notifyActiveUserContextDidChange();

    Ref<VnClientServiceSession> session_;
    Ref<VnRequestContext> signInRequest_;
    Ref<VnRequestContext> signInMethodRequest_;
    Ref<VnBookStoreUserContext> activeUserContext_;
    Ref<VnBookStoreUserContext> defaultUserContext_;
    std::vector<Ref<VndDelegator>> userContextRequestDelegators_;
    Ref<VnBookStoreLocalStorage> localStorage_;
    Ref<VnKeychainItemWrapper> accountKeychainItem_;
    Ref<VnKeychainItemWrapper> tokenKeychainItem_;
    bool invokingWaitingForAuthentication_ = false;
    std::optional<std::string> sessionToken_;
    Ref<MulticastDelegate> rootObserver_;
    plat::Url storeServiceURL_;
    WeakRef<plat::Object> delegate_;
    Ref<VnUserAuthenticationInfo> deferredCredential_;
    std::map<std::string, Ref<VnUrlDownloader>> coverRequestMap_;
    std::map<std::string, Ref<VnUrlDownloader>> magazineCoverRequestMap_;
    std::map<std::string, Ref<VnUrlDownloader>> shopGroupInfoImageRequestMap_;
    std::map<std::string, Ref<plat::Image>> magazineCoverImageMap_;
    std::map<std::string, Ref<plat::Image>> shopGroupInfoImageMap_;
};

class VnBookStoreContextFactory : public plat::Object {
    PLAT_CLASS(VnBookStoreContextFactory)
  public:
    VnBookStoreContextFactory(plat::Url serviceUrl, Ref<VnClientServiceConfiguration> configuration)
        : serviceUrl_(std::move(serviceUrl)), configuration_(std::move(configuration)) {}
    // A new context over a new session; the store service URL comes from the configuration.
    Ref<VnBookStoreContext> newContext() const;

  private:
    plat::Url serviceUrl_;
    Ref<VnClientServiceConfiguration> configuration_;
};
