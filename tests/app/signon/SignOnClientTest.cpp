// The sign-on client against the demo sign-on server: nothing before configuration, one
// configuration only, the exact requests of each tag, escaping, the stored token around a
// sign-out, and the device identifier for given network interfaces.
#include <gtest/gtest.h>

#include "app/signon/OAuth.h"
#include "app/signon/SignOnTestSupport.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "external/ASIHTTPRequest.h"
#include "platform/core/Log.h"
#include "platform/crypto/Digest.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"
#include "platform/system/Host.h"

namespace {

// Hears the client's answers; notes the stored token when each arrives.
class SignOnListener : public plat::Object {
    PLAT_CLASS(SignOnListener)
  public:
    void finished(int32_t tag, std::string text) {
        answers.push_back({tag, std::move(text), false, storedToken(), signOutNumber()});
    }
    void failed(int32_t tag, std::string text) {
        answers.push_back({tag, std::move(text), true, storedToken(), signOutNumber()});
    }
    // The login window's part: the exchange's own answer.
    void requestCompleted(Ref<plat::Object> request) {
        auto r = std::dynamic_pointer_cast<ASIHTTPRequest>(request);
        answers.push_back({static_cast<int32_t>(r->tag()), r->responseString().value_or(""), false,
                           storedToken()});
    }
    struct Answer {
        int32_t tag;
        std::string text;
        bool failed;
        std::string tokenThen;
        uint64_t signOutNumber = 0;
    };
    std::vector<Answer> answers;

  private:
    static uint64_t signOutNumber() {
        auto oauth = OAuth::sharedInstance();
        return oauth ? oauth->signOutBeingAnswered() : 0;
    }
    static std::string storedToken() {
        auto oauth = OAuth::sharedInstance();
        return oauth ? oauth->getAccessToken() : "<no client>";
    }
};

}  // namespace

PLAT_DEFINE_CLASS(SignOnListener, plat::Object, [](auto& c) {
    c.method("authRequest:didFinishWithResponse:", &SignOnListener::finished)
        .method("authRequest:didFailWithError:", &SignOnListener::failed)
        .method("requestCompleted:", &SignOnListener::requestCompleted);
})

namespace {

class SignOnClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment.set("VARNEL_HOME", testing_support::freshTestFolder().string());
        plat::UserDefaults::resetStandardUserDefaults();
        plat::HttpCookieStorage::shared().removeAllCookies();
        ASSERT_TRUE(service.start());
        useDemoSignOnDeployment(signOn);
        OAuth::gInstance.reset();
    }
    void TearDown() override {
        OAuth::gInstance.reset();
        plat::Host::setNetworkInterfaceSource(nullptr);
        plat::InfoDictionary::setDictionary(nullptr);
        plat::UserDefaults::resetStandardUserDefaults();
    }

    void configure() {
        OAuth::initWithClientID(demo::kDemoOAuthClientID, demo::kDemoOAuthSecret, listener);
    }
    // Runs until the listener has `count` answers.
    bool waitForAnswers(size_t count) {
        plat::RunLoop::current().runUntil([&] { return listener->answers.size() >= count; }, 20);
        return listener->answers.size() >= count;
    }
    std::vector<demo::RecordedRequest> signOnRequests() const {
        std::vector<demo::RecordedRequest> found;
        for (auto& r : service.requests()) {
            if (r.path.rfind("/oauth2/", 0) == 0 || r.path.rfind("/member/", 0) == 0)
                found.push_back(r);
        }
        return found;
    }
    // Exchanges a fresh code of the account as the login window does; answers the token.
    std::string exchangeCode(const std::string& user) {
        OAuth::ParamList param;
        auto oauth = OAuth::sharedInstance();
        oauth->addObject("authorization_code", "grant_type", param);
        oauth->addObject(*signOn.issueCode(user), "code", param);
        const size_t before = listener->answers.size();
        oauth->callWebService("access_token.php", param, "POST", kOAuthTagAccessToken, listener);
        EXPECT_TRUE(waitForAnswers(before + 1));
        auto reply = oauth->JSONValueWithString(listener->answers.back().text).dictionary();
        return reply ? reply->objectForKey("access_token").stringOr() : "";
    }

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoSignOn signOn{service, catalogue};
    Ref<SignOnListener> listener = std::make_shared<SignOnListener>();
};

TEST_F(SignOnClientTest, NothingGoesOutUntilConfiguredAndOnlyTheFirstConfigurationCounts) {
    OAuth::login();
    OAuth::getProfile();
    OAuth::createSharedInstance();  // an instance that was never configured
    OAuth::checkAccessToken();
    OAuth::logout();
    OAuth::login();
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(signOnRequests().empty());
    EXPECT_TRUE(listener->answers.empty());
    EXPECT_TRUE(plat::UserDefaults::standardUserDefaults()->objectForKey("appID").isNil());

    OAuth::gInstance.reset();
    configure();
    const std::string appID =
        plat::UserDefaults::standardUserDefaults()->stringForKey("appID").value_or("");
    EXPECT_EQ(appID.size(), 36U);
    auto other = std::make_shared<SignOnListener>();
    OAuth::initWithClientID("another-client", "another-secret", other);
    EXPECT_EQ(OAuth::OAuthClientID, demo::kDemoOAuthClientID);
    EXPECT_EQ(OAuth::OAuthSecret, demo::kDemoOAuthSecret);
    EXPECT_EQ(OAuth::sharedInstance()->getDelegate(), listener);
    EXPECT_EQ(OAuth::OAuthHost, signOn.hostUrl());
    EXPECT_EQ(OAuth::OAuthService, signOn.serviceUrl());
    EXPECT_EQ(OAuth::sharedInstance()->getAccessToken(), "");

    // A later process keeps the first application id.
    plat::UserDefaults::resetStandardUserDefaults();
    OAuth::gInstance.reset();
    configure();
    EXPECT_EQ(plat::UserDefaults::standardUserDefaults()->stringForKey("appID"), appID);
}

TEST_F(SignOnClientTest, EachTagSendsItsExactRequestAndSignOutClearsTheTokenFirst) {
    configure();
    auto oauth = OAuth::sharedInstance();

    // Tag 1, as the login window sends it: the form's fields in order.
    const std::string token = exchangeCode("somchai@example.com");
    ASSERT_FALSE(token.empty());
    auto requests = signOnRequests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/oauth2/access_token.php");
    EXPECT_EQ(requests[0].body.substr(0, requests[0].body.find("&code=") + 6),
              "grant_type=authorization_code&code=");
    EXPECT_EQ(requests[0].body.substr(requests[0].body.find("&client_id=")),
              std::string("&client_id=") + demo::kDemoOAuthClientID +
                  "&client_secret=" + demo::kDemoOAuthSecret + "&redirect_uri=app");
    EXPECT_EQ(listener->answers[0].tag, 1);

    // Tags 2, 3 and 4 carry the stored token, escaped piece by piece.
    oauth->setObjectWithKey(plat::Value("a b&c=d+é"), OAuth::kAccessTokenKey);
    OAuth::checkAccessToken();
    ASSERT_TRUE(waitForAnswers(2));
    OAuth::getProfile();
    ASSERT_TRUE(waitForAnswers(3));
    requests = signOnRequests();
    ASSERT_EQ(requests.size(), 3U);
    const std::string escaped = "a%20b%26c%3Dd%2B%C3%A9";
    const std::string client = std::string("client_id=") + demo::kDemoOAuthClientID;
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].path, "/oauth2/checktoken.php");
    EXPECT_EQ(requests[1].query, "access_token=" + escaped + "&" + client);
    EXPECT_EQ(requests[2].path, "/member/profile/getProfile");
    EXPECT_EQ(requests[2].query, "token=" + escaped + "&" + client);
    EXPECT_EQ(listener->answers[1].tag, 2);
    EXPECT_EQ(listener->answers[2].tag, 3);
    EXPECT_NE(listener->answers[2].text.find("invalid_token"), std::string::npos);

    // The real token's profile, then a sign-out answered with an error page: the token is gone
    // before the listener hears, and the server revoked it.
    oauth->setObjectWithKey(plat::Value(token), OAuth::kAccessTokenKey);
    OAuth::getProfile();
    ASSERT_TRUE(waitForAnswers(4));
    EXPECT_NE(listener->answers[3].text.find("\"Username\":\"somchai@example.com\""),
              std::string::npos);
    service.setFault("/oauth2/signout.php", demo::Fault::htmlStatus(500));
    OAuth::logout();
    ASSERT_TRUE(waitForAnswers(5));
    EXPECT_EQ(listener->answers[4].tag, 4);
    EXPECT_FALSE(listener->answers[4].failed);
    EXPECT_EQ(listener->answers[4].tokenThen, "");
    EXPECT_EQ(signOnRequests().back().query, "access_token=" + token + "&" + client);

    // With nothing stored the token goes out empty.
    service.clearFaults();
    OAuth::logout();
    ASSERT_TRUE(waitForAnswers(6));
    EXPECT_EQ(signOnRequests().back().query, "access_token=&" + client);

    // A sign-out that fails in transport keeps the token; one answered after a newer token was
    // stored leaves that token alone.
    oauth->setObjectWithKey(plat::Value("kept"), OAuth::kAccessTokenKey);
    // Each sign-out's answer comes with the number its sender gave it.
    OAuth::OAuthHost = "http://127.0.0.1:1/oauth2/";
    OAuth::logout(41);
    ASSERT_TRUE(waitForAnswers(7));
    EXPECT_TRUE(listener->answers[6].failed);
    EXPECT_EQ(listener->answers[6].tag, 4);
    EXPECT_EQ(listener->answers[6].signOutNumber, 41U);
    EXPECT_EQ(listener->answers[5].signOutNumber, 0U);
    EXPECT_EQ(oauth->getAccessToken(), "kept");
    OAuth::OAuthHost = signOn.hostUrl();
    service.setFault("/oauth2/signout.php", demo::Fault::stall());
    OAuth::logout(42);
    ASSERT_TRUE(service.waitForStalled(1));
    oauth->setObjectWithKey(plat::Value("newer"), OAuth::kAccessTokenKey);
    service.releaseStalled();
    ASSERT_TRUE(waitForAnswers(8));
    EXPECT_EQ(oauth->getAccessToken(), "newer");
    EXPECT_EQ(listener->answers[7].signOutNumber, 42U);
    EXPECT_EQ(oauth->signOutBeingAnswered(), 0U);
}

// A request that cannot be made of the configured address fails at once; the client says so on
// standard output, not in the program's log.
TEST_F(SignOnClientTest, ARequestThatCannotBeMadeIsReportedOnStandardOutput) {
    configure();
    OAuth::OAuthHost = "http://[::1/oauth2/";
    std::vector<std::string> logged;
    const auto previous = plat::setLogSink([&](std::string_view l) { logged.emplace_back(l); });
    testing::internal::CaptureStdout();
    OAuth::checkAccessToken();
    const std::string printed = testing::internal::GetCapturedStdout();
    plat::setLogSink(previous);
    OAuth::OAuthHost = signOn.hostUrl();
    EXPECT_EQ(printed, "OAuth: cannot make a request of http://[::1/oauth2/checktoken.php\n");
    for (const auto& line : logged)
        EXPECT_EQ(line.find("cannot make a request"), std::string::npos) << line;
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_TRUE(listener->answers[0].failed);
    EXPECT_EQ(listener->answers[0].tag, kOAuthTagCheckToken);
    EXPECT_TRUE(signOnRequests().empty());
}

TEST_F(SignOnClientTest, DeviceIdentifierComesFromTheInterfacesAndStaysTheSame) {
    configure();
    auto oauth = OAuth::sharedInstance();
    using Interfaces = std::vector<plat::Host::NetworkInterface>;
    auto use = [](Interfaces list) {
        plat::Host::setNetworkInterfaceSource([list] { return list; });
    };
    auto expected = [](const std::string& address) {
        return "I0" + plat::Digest::hex(plat::Digest::md5(address));
    };
    const plat::Host::NetworkInterface lo{"lo", {0, 0, 0, 0, 0, 0}, true};
    use({{"eth0", {0x52, 0x54, 0x00, 0x12, 0x34, 0x56}, false},
         {"en0", {0xac, 0xde, 0x48, 0x00, 0x11, 0x22}, false},
         lo});
    EXPECT_EQ(oauth->macaddress(), "AC:DE:48:00:11:22");
    EXPECT_EQ(oauth->getUID(), expected("AC:DE:48:00:11:22"));
    use({lo, {"wlan0", {2, 0, 0, 0, 0, 9}, false}, {"eth1", {0x52, 0x54, 0, 0, 0, 1}, false}});
    EXPECT_EQ(oauth->getUID(), expected("52:54:00:00:00:01"));

    // Only a loopback, or only a zero address: one address made up and kept.
    use({lo});
    const std::string made = oauth->getUID();
    EXPECT_EQ(made.size(), 34U);
    EXPECT_EQ(made.rfind("I0", 0), 0U);
    EXPECT_EQ(made.find_first_not_of("0123456789abcdef", 2), std::string::npos);
    use({lo, {"eth0", {0, 0, 0, 0, 0, 0}, false}, {"tun0", {}, false}});
    EXPECT_EQ(oauth->getUID(), made);
    plat::UserDefaults::resetStandardUserDefaults();  // as after a restart
    OAuth::gInstance.reset();
    configure();
    EXPECT_EQ(OAuth::sharedInstance()->getUID(), made);

    OAuth::OAuthSettings->setObject(plat::Value("I0-given"), plat::Value("UDID"));
    EXPECT_EQ(OAuth::sharedInstance()->getUID(), "I0-given");
    EXPECT_EQ(OAuth::stringFromMD5(std::string()), std::nullopt);
    EXPECT_EQ(OAuth::sharedInstance()->getRandomChar(12).size(), 12U);
}

}  // namespace
