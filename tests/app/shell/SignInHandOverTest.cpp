// The main window's hand-over from the single sign-on to the library's own sign-in, on the real
// store context against the demo's library service and sign-on server. The login window's part
// is played here: a fresh code is exchanged, the token stored and the reply handed to the window.
#include <optional>

#include "ShellTestSupport.h"
#include "app/shell/WindowController.h"
#include "app/signon/OAuth.h"
#include "app/signon/SignOnTestSupport.h"
#include "demo-service/DemoSignOn.h"
#include "external/ASIHTTPRequest.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/Alert.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnUserId.h"

namespace {

// The main window, its sign-in state in view; its window is never loaded.
class HandOverWindow : public WindowController {
  public:
    bool waitingForProfile() const { return isGetUserAfterLogIn_; }
    const std::optional<std::string>& accessToken() const { return oautAccessToken_; }
    size_t unansweredSignOuts() const { return signOutAttempts_.size(); }
};

// Hears the token exchange's own answer, as the login window does.
class ExchangeListener : public plat::Object {
    PLAT_CLASS(ExchangeListener)
  public:
    void requestCompleted(Ref<plat::Object> request) {
        replies.push_back(
            std::dynamic_pointer_cast<ASIHTTPRequest>(request)->responseString().value_or(""));
    }
    std::vector<std::string> replies;
};

class RecordedAlerts : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string&) override {
        messages.push_back(message);
    }
    std::vector<std::string> messages;
};

}  // namespace

PLAT_DEFINE_CLASS(ExchangeListener, plat::Object, [](auto& c) {
    c.method("requestCompleted:", &ExchangeListener::requestCompleted);
})

namespace {

constexpr const char* kConnectionError = "Connection error. Please try again.";
constexpr const char* kSignInMethod = "AccountAuthenticationWithAccessToken";

class SignInHandOverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OAuth::gInstance.reset();
        demo.start(true, [&] { signOn.emplace(demo.service, demo.catalogue); });
        addDemoSignOnDeployment(*signOn);
        OAuth::initWithClientID(demo::kDemoOAuthClientID, demo::kDemoOAuthSecret, window);
        ui::Alert::setShared(alerts);
    }
    void TearDown() override {
        plat::RunLoop::current().runUntil([] { return false; }, 0.02);
        ui::Alert::setShared(nullptr);
        demo.stop();
    }

    static bool runUntil(const std::function<bool()>& done) {
        return plat::RunLoop::current().runUntil(done, 15);
    }
    static Ref<VnBookStoreUserContext> active() {
        return GlobalService::globalShared()->storeContext()->activeUserContext();
    }
    size_t requests(const std::string& path) const {
        size_t count = 0;
        for (const auto& r : demo.service.requests())
            count += r.path == path;
        return count;
    }
    size_t signOnRequests() const {
        size_t count = 0;
        for (const auto& r : demo.service.requests())
            count += r.path.starts_with("/oauth2/") || r.path.starts_with("/member/");
        return count;
    }

    // The login window's exchange for the account; the reply text.
    std::string exchange(const std::string& user) {
        auto oauth = OAuth::sharedInstance();
        OAuth::ParamList param;
        oauth->addObject("authorization_code", "grant_type", param);
        oauth->addObject(signOn->issueCode(user).value_or("no-code"), "code", param);
        const size_t before = exchanges->replies.size();
        oauth->callWebService("access_token.php", param, "POST", kOAuthTagAccessToken, exchanges);
        EXPECT_TRUE(runUntil([&] { return exchanges->replies.size() > before; }));
        return exchanges->replies.empty() ? "" : exchanges->replies.back();
    }
    // What the login window does with the reply: the token stored, the reply handed on.
    std::string feed(const std::string& reply) {
        auto oauth = OAuth::sharedInstance();
        auto json = oauth->JSONValueWithString(reply).dictionary();
        const std::string token = json ? json->objectForKey("access_token").stringOr() : "";
        if (!token.empty())
            oauth->setObjectWithKey(plat::Value(token), OAuth::kAccessTokenKey);
        window->authRequest_didFinishWithResponse(kOAuthTagAccessToken, reply);
        return token;
    }
    std::string signInWith(const std::string& user) { return feed(exchange(user)); }

    // Replaces the library's sign-in with a refusal, with or without a message.
    void refuseLibrarySignIn(std::optional<std::string> message) {
        demo.service.addMethod(kSignInMethod, [message](const demo::Json&, demo::Session&) {
            demo::Json reply = {{"IsSuccess", false}, {"IsTestAccount", false}};
            if (message)
                reply["Message"] = *message;
            return reply;
        });
    }

    shell_testing::DemoEnvironment demo;
    std::optional<demo::DemoSignOn> signOn;
    Ref<HandOverWindow> window = std::make_shared<HandOverWindow>();
    Ref<ExchangeListener> exchanges = std::make_shared<ExchangeListener>();
    std::shared_ptr<RecordedAlerts> alerts = std::make_shared<RecordedAlerts>();
};

TEST_F(SignInHandOverTest, TokenThenProfileSignsTheMemberInWithTheNewestToken) {
    // Signing out while anonymous does nothing.
    window->settingViewClickForLogOut();
    EXPECT_EQ(signOnRequests(), 0U);

    // Two token answers before the profile arrives: the newest token signs the member in, once.
    const std::string firstReply = exchange("somchai@example.com");
    const std::string newestReply = exchange("somchai@example.com");
    const std::string first = feed(firstReply);
    const std::string newest = feed(newestReply);
    ASSERT_FALSE(first.empty());
    ASSERT_NE(first, newest);
    EXPECT_TRUE(window->waitingForProfile());
    // A reply without a token meanwhile (a used code, say) replaces nothing and fails nothing.
    window->authRequest_didFinishWithResponse(kOAuthTagAccessToken, R"({"error":"invalid_grant"})");
    EXPECT_EQ(window->accessToken(), newest);
    ASSERT_TRUE(runUntil([&] { return !active()->isDefault(); }));
    EXPECT_EQ(active()->userId()->userName(), "somchai@example.com");
    EXPECT_FALSE(window->waitingForProfile());
    EXPECT_EQ(window->accessToken(), newest);
    const auto signIns = demo.service.requestsForMethod(kSignInMethod);
    ASSERT_EQ(signIns.size(), 1U);
    EXPECT_NE(signIns[0].body.find(newest), std::string::npos);
    ASSERT_TRUE(runUntil([&] { return requests("/member/profile/getProfile") == 2; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(demo.service.requestsForMethod(kSignInMethod).size(), 1U)
        << "a later profile only replaces the user";
    EXPECT_TRUE(alerts->messages.empty());

    // Signing in while a member is active does nothing; signing out from the sheet leaves the
    // sign-on server alone and keeps its token.
    const size_t before = signOnRequests();
    window->settingViewClickForLogIn();
    EXPECT_FALSE(active()->isDefault());
    window->settingViewClickForLogOut();
    EXPECT_TRUE(active()->isDefault());
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(signOnRequests(), before);
    EXPECT_EQ(OAuth::sharedInstance()->getAccessToken(), newest);
}

TEST_F(SignInHandOverTest, RefusedOrIncompleteSignInsSignOutOfBothWithAMessage) {
    // Refused with the service's message, then without one; then the service failing.
    refuseLibrarySignIn("Your membership has ended.");
    const std::string token = signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return !alerts->messages.empty(); }));
    EXPECT_EQ(alerts->messages.back(), "Your membership has ended.");
    ASSERT_TRUE(runUntil([&] { return window->unansweredSignOuts() == 0; }));
    EXPECT_EQ(requests("/oauth2/signout.php"), 1U);
    EXPECT_EQ(OAuth::sharedInstance()->getAccessToken(), "");
    EXPECT_EQ(signOn->liveTokens(), std::vector<std::string>{}) << token << " revoked";
    EXPECT_TRUE(active()->isDefault());

    refuseLibrarySignIn(std::nullopt);
    signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return alerts->messages.size() == 2; }));
    EXPECT_EQ(alerts->messages.back(), kConnectionError);

    demo.service.setFault(kSignInMethod, demo::Fault{demo::FaultKind::ServerError});
    signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return alerts->messages.size() == 3; }));
    EXPECT_EQ(alerts->messages.back(), kConnectionError);
    ASSERT_TRUE(runUntil([&] { return requests("/oauth2/signout.php") == 3; }));
    demo.service.clearFaults();

    // No token in the exchange's reply: no profile, no library sign-in, a failed sign-in.
    const size_t signIns = demo.service.requestsForMethod(kSignInMethod).size();
    const size_t profiles = requests("/member/profile/getProfile");
    signOn->setOmitAccessToken(true);
    EXPECT_EQ(signInWith("somchai@example.com"), "");
    EXPECT_EQ(alerts->messages.size(), 4U);
    EXPECT_EQ(alerts->messages.back(), kConnectionError);
    EXPECT_FALSE(window->waitingForProfile());
    ASSERT_TRUE(runUntil([&] { return requests("/oauth2/signout.php") == 4; }));
    EXPECT_EQ(requests("/member/profile/getProfile"), profiles);
    signOn->setOmitAccessToken(false);

    // A profile without a user name: the same.
    signOn->setOmitUsername(true);
    signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return alerts->messages.size() == 5; }));
    EXPECT_EQ(alerts->messages.back(), kConnectionError);
    ASSERT_TRUE(runUntil([&] { return requests("/oauth2/signout.php") == 5; }));
    EXPECT_EQ(demo.service.requestsForMethod(kSignInMethod).size(), signIns);
    EXPECT_TRUE(active()->isDefault());
}

TEST_F(SignInHandOverTest, ASignOutAnsweredAfterALaterSignInLeavesThatMemberIn) {
    const auto library = demo.service.methodHandler(kSignInMethod);
    demo.service.setFault("/oauth2/signout.php", demo::Fault{demo::FaultKind::Stall});
    refuseLibrarySignIn("Not now.");
    const std::string refused = signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return !alerts->messages.empty(); }));
    ASSERT_TRUE(demo.service.waitForStalled(1, 15));
    EXPECT_EQ(window->unansweredSignOuts(), 1U);

    // The member signs in again while that sign-out hangs; then it is answered.
    demo.service.addMethodWithRequest(kSignInMethod, library);
    demo.service.clearFaults();
    const std::string accepted = signInWith("nok@example.com");
    ASSERT_TRUE(runUntil([&] { return !active()->isDefault(); }));
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return window->unansweredSignOuts() == 0; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(active()->isDefault());
    EXPECT_EQ(active()->userId()->userName(), "nok@example.com");
    EXPECT_EQ(OAuth::sharedInstance()->getAccessToken(), accepted) << "only " << refused << " went";
    EXPECT_EQ(alerts->messages.size(), 1U);
}

}  // namespace

TEST_F(SignInHandOverTest, SignOutAnswersArePairedWithTheirOwnAttemptInAnyOrder) {
    // A refused sign-in whose sign-out hangs, then an accepted one.
    const auto library = demo.service.methodHandler(kSignInMethod);
    demo.service.setFault("/oauth2/signout.php", demo::Fault::stall());
    refuseLibrarySignIn("Not now.");
    signInWith("somchai@example.com");
    ASSERT_TRUE(runUntil([&] { return !alerts->messages.empty(); }));
    ASSERT_TRUE(demo.service.waitForStalled(1, 15));
    demo.service.addMethodWithRequest(kSignInMethod, library);
    demo.service.clearFaults();
    signInWith("nok@example.com");
    ASSERT_TRUE(runUntil([&] { return !active()->isDefault(); }));

    // A later sign-in fails (the exchange gave no token): its sign-out is answered first, and it
    // signs the library out although the earlier one is still unanswered.
    window->authRequest_didFinishWithResponse(kOAuthTagAccessToken, R"({"error":"invalid_grant"})");
    EXPECT_EQ(window->unansweredSignOuts(), 2U);
    ASSERT_TRUE(runUntil([&] { return window->unansweredSignOuts() == 1; }));
    EXPECT_EQ(demo.service.stalledCount(), 1U) << "the earlier sign-out is still waiting";
    EXPECT_TRUE(active()->isDefault());
    EXPECT_EQ(alerts->messages, (std::vector<std::string>{"Not now.", kConnectionError}));

    // The earlier one's answer belongs to the refused attempt, older than the accepted one.
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return window->unansweredSignOuts() == 0; }));
    EXPECT_EQ(requests("/oauth2/signout.php"), 2U);
}
