#include "app/shell/WindowController.h"

#include "app/services/GlobalService.h"
#include "app/signon/OAuth.h"
#include "app/signon/OAuthLogInResult.h"
#include "app/signon/OAuthUserInfo.h"
#include "platform/core/Log.h"
#include "platform/storage/InfoDictionary.h"
#include "platform_ui/Alert.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

// The main window's part in signing a member in: it is the single-sign-on client's delegate,
// collects the token and then the profile, and hands both to the library's own sign-in. A sign-in
// that the library refuses, or that lacks a token or a user name, is signed out at the sign-on
// server too; that sign-out's answer signs the library out unless a later sign-in was accepted.

namespace {

constexpr const char* kConnectionError = "Connection error. Please try again.";

Ref<VnBookStoreContext> storeContext() {
    return GlobalService::globalShared()->storeContext();
}

bool isAnonymousActive() {
    auto context = storeContext();
    return context && context->activeUserContext()->isDefault();
}

Ref<plat::Dictionary> replyDictionary(const std::string& response) {
    return JSONValue(response).dictionary();
}

bool hasText(const std::optional<std::string>& text) {
    return text && !text->empty();
}

// The attempt whose sign-on sign-out is being answered (0: one this window did not send).
uint64_t answeredSignOut() {
    auto oauth = OAuth::sharedInstance();
    return oauth ? oauth->signOutBeingAnswered() : 0;
}

}  // namespace

void WindowController::configureSignOn() {
    auto deployment = plat::InfoDictionary::objectForKey(kVarnelDeploymentKey).dictionary();
    const auto value = [&](const char* key) {
        return deployment ? deployment->objectForKey(key).stringOr() : std::string();
    };
    OAuth::initWithClientID(value(kOAuthClientIDKey), value(kOAuthSecretKey), shared_from_this());
    // The login window keeps the library service's session cookie (it may be in use).
    if (const auto store = storeContext())
        OAuth::LibraryServiceURL = store->serviceSession()->serviceUrl().absoluteString();
}

// ---- The account sheet ----

void WindowController::settingViewClickForLogIn() {
    if (!isAnonymousActive())
        return;
    settingViewCloseButtonClick();
    OAuth::login();
}

void WindowController::settingViewClickForLogOut() {
    if (isAnonymousActive())
        return;
    settingViewCloseButtonClick();
    storeContext()->signOutRegisteredUser();
}

// ---- The single-sign-on client's answers ----

void WindowController::authRequest_didFinishWithResponse(int tag, std::string response) {
    plat::systemLog(plat::format("XXX OAuthRequest didFinishWithResponse [%d]", tag));
    plat::systemLog(plat::format("OAuthRequest response : %zu bytes", response.size()));
    switch (tag) {
        case kOAuthTagAccessToken: {
            auto result = VnInfoBase::withDictionary<OAuthLogInResult>(replyDictionary(response));
            if (!hasText(result->accessToken_)) {
                plat::systemLog("authen : no access token in the reply");
                // A token already on its way to the profile stays; otherwise the sign-in failed.
                if (!isGetUserAfterLogIn_)
                    failSignIn(++signInAttempt_, std::nullopt);
                return;
            }
            oautAccessToken_ = result->accessToken_;
            plat::systemLog("authen : access token received");
            isGetUserAfterLogIn_ = true;
            OAuth::getProfile();
            break;
        }
        case kOAuthTagCheckToken: {
            auto result = VnInfoBase::withDictionary<OAuthLogInResult>(replyDictionary(response));
            if (result->validToken_)
                plat::systemLog("authen : the token is valid");
            break;
        }
        case kOAuthTagProfile: {
            auto user = VnInfoBase::withDictionary<OAuthUserInfo>(replyDictionary(response));
            oauthUserInfo_ = user;
            plat::systemLog(
                plat::format("user : %s", hasText(user->username_) ? "named" : "no user name"));
            if (isGetUserAfterLogIn_) {
                isGetUserAfterLogIn_ = false;
                authenticationWithVarnelLibrary(oautAccessToken_.value_or(std::string()));
            }
            break;
        }
        case kOAuthTagSignOut:
            signOutAnswered(answeredSignOut());
            break;
        default:
            break;
    }
}

void WindowController::authRequest_didFailWithError(int tag, std::string) {
    plat::systemLog(plat::format("XXX OAuthRequest didFailWithError [%d]", tag));
    // No answer will come for this sign-out; the library keeps its member.
    if (tag == kOAuthTagSignOut)
        signOutAttempts_.erase(answeredSignOut());
}

// ---- The library's sign-in ----

void WindowController::authenticationWithVarnelLibrary(std::string accessToken) {
    const auto username = oauthUserInfo_ ? oauthUserInfo_->username_ : std::nullopt;
    ++signInAttempt_;
    if (accessToken.empty() || !hasText(username)) {
        plat::systemLog(
            "The sign-on gave no access token or no user name; the sign-in has failed.");
        failSignIn(signInAttempt_, std::nullopt);
        return;
    }
    auto credentials = std::make_shared<VnUserAuthenticationInfo>();
    credentials->initWithUserNameAuthorizationCode(*username, std::move(accessToken));
    storeContext()->startUserAuthenticationRequestEx(credentials, shared_from_this(), "signin_");
}

void WindowController::signin_request_didFinishWithResult(Ref<plat::Object>,
                                                          Ref<VnRequestResult> result) {
    // The store context cancels an earlier sign-in when it starts another: this is the latest.
    if (result && result->succeed()) {
        auto answer = result->returnValue().as<VnUserAuthenticationReturnValue>();
        if (answer && answer->authenticated()) {
            acceptedSignInAttempt_ = signInAttempt_;
            return;
        }
        const std::string* message = answer ? answer->serverMessage().string() : nullptr;
        failSignIn(signInAttempt_,
                   message && !message->empty() ? std::optional(*message) : std::nullopt);
        return;
    }
    failSignIn(signInAttempt_, std::nullopt);
}

void WindowController::failSignIn(uint64_t attempt, const std::optional<std::string>& message) {
    if (auto oauth = OAuth::sharedInstance(); oauth && oauth->getStatusOAuth()) {
        signOutAttempts_.insert(attempt);  // before sending: a bad address fails at once
        OAuth::logout(attempt);
    }
    ui::Alert::shared().runModal(isWindowLoaded() ? window() : nullptr,
                                 message.value_or(kConnectionError), "");
}

void WindowController::signOutAnswered(uint64_t attempt) {
    // Answers may come in any order: each is paired with the attempt it was sent for.
    if (signOutAttempts_.erase(attempt) > 0 && attempt < acceptedSignInAttempt_) {
        plat::systemLog("A sign-out of an earlier sign-in was answered; the member stays.");
        return;
    }
    storeContext()->signOutRegisteredUser();
}
