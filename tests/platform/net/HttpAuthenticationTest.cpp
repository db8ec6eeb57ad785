// Answering Basic and Digest challenges of the demo service through read streams; challenges
// that cannot be answered; credentials that outlive their storage.
#include <gtest/gtest.h>

#include "demo-service/DemoAuthentication.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/UrlCredentialStorage.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"

using plat::HttpAuthentication;
using plat::HttpMessage;
using plat::HttpReadStream;
using plat::RunLoop;
using plat::Stream;
using plat::Url;

namespace {

// The response head of one exchange, and its body.
std::pair<HttpMessage, std::string> exchange(HttpMessage request) {
    auto stream = HttpReadStream::make(std::move(request));
    std::string body;
    bool done = false;
    stream->setClient(~0U, [&](Stream& s, Stream::Event event) {
        if (event == Stream::HasBytesAvailable) {
            uint8_t buffer[4096];
            const auto n = static_cast<HttpReadStream&>(s).read(buffer, sizeof buffer);
            body.append(reinterpret_cast<char*>(buffer),
                        static_cast<size_t>(std::max<int64_t>(n, 0)));
        }
        done = done || event == Stream::EndEncountered || event == Stream::ErrorOccurred;
    });
    stream->scheduleInRunLoop(RunLoop::current(), plat::kDefaultRunLoopMode);
    stream->open();
    RunLoop::current().runUntil([&] { return done; }, 10);
    auto head = stream->responseHeader();
    stream->close();
    return {head ? *head : HttpMessage::emptyResponse(), body};
}

class HttpAuthenticationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerAuthenticationPaths(service);
        ASSERT_TRUE(service.start());
    }
    HttpMessage request(const std::string& path) {
        return HttpMessage::request("GET", *Url::parse(service.baseUrl() + path));
    }
    demo::DemoService service;
    const HttpAuthentication::Credentials right{demo::kDemoAuthUser, demo::kDemoAuthPassword, {}};
};

TEST_F(HttpAuthenticationTest, BasicAndDigestAnswersPassAndWrongPasswordsAreRefused) {
    const std::vector<std::pair<std::string, std::string>> paths = {
        {"/auth/basic/a", "Basic"},
        {"/auth/digest-md5/b?x=1", "Digest"},
        {"/auth/digest-sha256/c", "Digest"},
        {"/auth/digest-stale/d", "Digest"},
    };
    for (const auto& [path, method] : paths) {
        SCOPED_TRACE(path);
        auto [challenged, body] = exchange(request(path));
        ASSERT_EQ(challenged.statusCode(), 401);
        auto authentication = HttpAuthentication::fromResponse(challenged);
        ASSERT_TRUE(authentication);
        EXPECT_EQ(authentication->method(), method);
        EXPECT_EQ(authentication->realm(), demo::kDemoAuthRealm);
        EXPECT_TRUE(authentication->requiresUserNameAndPassword());
        EXPECT_FALSE(authentication->requiresAccountDomain());
        EXPECT_TRUE(authentication->isValid());

        auto answered = request(path);
        ASSERT_TRUE(authentication->applyCredentials(answered, right));
        if (path.find("sha256") != std::string::npos) {
            EXPECT_NE(answered.headerFieldValue("Authorization")->find("algorithm=SHA-256"),
                      std::string::npos);
        }
        auto [accepted, greeting] = exchange(answered);
        EXPECT_EQ(accepted.statusCode(), 200);
        EXPECT_EQ(greeting, "hello reader");
        EXPECT_FALSE(HttpAuthentication::fromResponse(accepted));  // no challenge, no object

        // The stale nonce: asked again, the object stays valid and the next answer passes.
        auto again = request(path);
        ASSERT_TRUE(authentication->applyCredentials(again, right));
        auto [second, text] = exchange(again);
        if (path.find("stale") != std::string::npos) {
            EXPECT_EQ(second.statusCode(), 401);
            EXPECT_TRUE(authentication->isValid());
            auto third = request(path);
            ASSERT_TRUE(authentication->applyCredentials(third, right));
            EXPECT_EQ(exchange(third).first.statusCode(), 200);
        } else {
            EXPECT_EQ(second.statusCode(), 200);
        }

        // A wrong password: the next challenge makes the object invalid with -1002.
        auto fresh = HttpAuthentication::fromResponse(exchange(request(path)).first);
        auto wrong = request(path);
        ASSERT_TRUE(fresh->applyCredentials(wrong, {demo::kDemoAuthUser, "nope", {}}));
        EXPECT_EQ(exchange(wrong).first.statusCode(), 401);
        Ref<plat::Error> error;
        EXPECT_FALSE(fresh->isValid(&error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), plat::kCFStreamErrorDomainHTTP);
        EXPECT_EQ(error->code(), plat::kCFStreamErrorHTTPAuthenticationBadPassword);
        auto refused = request(path);
        EXPECT_FALSE(fresh->applyCredentials(refused, right));
    }

    // NTLM and Negotiate only: an object that is not valid (-1000); a malformed one: none.
    auto ntlm = HttpAuthentication::fromResponse(exchange(request("/auth/ntlm/")).first);
    ASSERT_TRUE(ntlm);
    EXPECT_EQ(ntlm->method(), "NTLM");
    EXPECT_TRUE(ntlm->requiresAccountDomain());
    Ref<plat::Error> error;
    EXPECT_FALSE(ntlm->isValid(&error));
    EXPECT_EQ(error->code(), plat::kCFStreamErrorHTTPAuthenticationTypeUnsupported);
    EXPECT_FALSE(HttpAuthentication::fromResponse(exchange(request("/auth/malformed/")).first));
}

TEST(HttpChallenges, SeveralChallengesInOneFieldAndTokensParse) {
    auto parsed = plat::parseHttpChallenges(
        "Newauth realm=\"apps\", type=1, title=\"Login to \\\"apps\\\"\", Basic realm=\"simple\", "
        "Bearer abc.def==");
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 3U);
    EXPECT_EQ((*parsed)[0].param("title"), "Login to \"apps\"");
    EXPECT_EQ((*parsed)[0].param("type"), "1");
    EXPECT_EQ((*parsed)[1].scheme, "Basic");
    EXPECT_EQ((*parsed)[2].token68, "abc.def==");
    for (const char* bad : {"Digest realm=\"open", "Basic realm=\"a\" extra", "=x", "Basic a b c"})
        EXPECT_FALSE(plat::parseHttpChallenges(bad)) << bad;
}

TEST(UrlCredentialStorage, PermanentCredentialsOutliveTheirStorage) {
    auto keychain =
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>());
    const plat::ProtectionSpace space{"example.org", 443, "https", "Staff", "Digest"};
    const plat::ProtectionSpace other{"example.org", 443, "https", "Public", "Digest"};
    {
        plat::UrlCredentialStorage storage(keychain);
        storage.setDefaultCredential({"ann", "s3cret", plat::UrlCredential::Persistence::Permanent},
                                     space);
        storage.setDefaultCredential({"bob", "temp", plat::UrlCredential::Persistence::ForSession},
                                     other);
        EXPECT_EQ(storage.defaultCredential(other)->user, "bob");
    }
    plat::UrlCredentialStorage later(keychain);
    const auto found = later.defaultCredential(space);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->user, "ann");
    EXPECT_EQ(found->password, "s3cret");
    EXPECT_FALSE(later.defaultCredential(other));  // session credentials end with their storage
    later.removeCredential(*found, space);
    EXPECT_FALSE(plat::UrlCredentialStorage(keychain).defaultCredential(space));
}

}  // namespace
