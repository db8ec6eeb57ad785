// The password hash forms, the device user, and what the sign-in and book-transfer calls send.
// Expected hashes were worked out independently from the recipes (SHA-256, MD5, Base64).
#include <gtest/gtest.h>

#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/service/auth/VnTransferUserBooksRequest.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/auth/VnUserAuthenticationRequest.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

using Info = VnUserAuthenticationInfo;

namespace {

// B64(SHA-256("rak-an-nangsue|somchai@example.com"))
constexpr const char* kSomchaiStored = "FWz1xuzkvLjkyZLilPs/cum+yDCGXN2Vo4n5AHpbv+U=";
// B64(SHA-256(kSomchaiStored + "|SESSION-1"))
constexpr const char* kSomchaiSignIn = "ol4T5h3VNjSStllzMrb3yqUnZiNE+yXP0hJWgeEf+SE=";
// hex MD5("nok-2567")
constexpr const char* kNokStored = "22f6dc5847f21b2ac419dcaaf523af3b";
// hex MD5("Nok@Example.com" + kNokStored + "s4lt-nok")
constexpr const char* kNokSignIn = "151a7a4bd43ec86a7ac0356045280a7e";
// B64(SHA-256(B64(SHA-256("ploy-pass|ploy@example.com")) + "|ploy-salt"))
constexpr const char* kPloySignIn = "Uvaau22z+4oILosY7U1K7VDVL+ohFufq+N7enfIamAw=";

Ref<VnClientServiceSession> sessionWithId(const char* id) {
    auto session =
        std::make_shared<VnClientServiceSession>(*plat::Url::parse("http://127.0.0.1:9/svc"),
                                                 std::make_shared<VnClientServiceConfiguration>());
    session->setSessionToken(id);
    return session;
}

std::string sent(const Ref<VnClientServiceCommonRequest>& request) {
    return KxJsonWriter().stringWithObject(request->webMethodParams()).value_or("<error>");
}

}  // namespace

TEST(VnUserAuthenticationInfo, StoredHashForms) {
    // The standard hash ignores the letter case of the user name, including non-ASCII letters.
    EXPECT_EQ(Info::hashPassword("rak-an-nangsue", "Somchai@Example.com"), kSomchaiStored);
    EXPECT_EQ(Info::hashPassword("rak-an-nangsue", "somchai@example.com"), kSomchaiStored);
    EXPECT_EQ(VnLowercaseUserName("ÉLODIE@Example.COM"), "élodie@example.com");
    EXPECT_EQ(Info::hashPassword("pw", "ÉLODIE@example.com"),
              "cp38VCNaVWKUCUU6qlZYitIc7CENkXq+VfZA+GeKzqg=");

    // Method 2: lower-case MD5 of the password alone.
    EXPECT_EQ(Info::vtcHashPassword("nok-2567", "anyone", "any salt"), kNokStored);
    EXPECT_EQ(Info::hashPassword("nok-2567", "someone else", "s", 2), kNokStored);
    EXPECT_EQ(Info::hashPassword("rak-an-nangsue", "somchai@example.com", "s", 3), kSomchaiStored);

    // An administrator's name, when given, replaces the user name in the hash.
    Info byAdmin;
    byAdmin.initWithUserName("somchai@example.com", "librarian-pw", "Librarian@Example.com");
    EXPECT_EQ(byAdmin.hashedPassword(),
              Info::hashPassword("librarian-pw", "librarian@example.com"));
    EXPECT_EQ(byAdmin.username(), "somchai@example.com");
    Info emptyAdmin;
    emptyAdmin.initWithUserName("somchai@example.com", "rak-an-nangsue", std::string());
    EXPECT_EQ(emptyAdmin.hashedPassword(), kSomchaiStored);
}

TEST(VnUserAuthenticationInfo, SessionHashesAndMethodConstructors) {
    auto somchai = Info::infoWithUserNamePassword("Somchai@Example.com", "rak-an-nangsue");
    EXPECT_EQ(somchai->username(), "Somchai@Example.com");  // kept as typed
    EXPECT_EQ(somchai->authenticationMethod(), 1);
    EXPECT_EQ(somchai->tokenHashedPassword("SESSION-1"), kSomchaiSignIn);
    EXPECT_EQ(somchai->optionalParams()->count(), 0u);
    EXPECT_EQ(somchai->description().find(kSomchaiStored), std::string::npos);

    auto nok = Info::infoWithUserNamePassword("Nok@Example.com", "nok-2567", 2, "s4lt-nok");
    EXPECT_EQ(nok->hashedPassword(), kNokStored);
    EXPECT_EQ(nok->vtcHashPasswordWithSalt("s4lt-nok"), kNokSignIn);
    EXPECT_EQ(nok->hashPasswordWithSalt("s4lt-nok"), kNokSignIn);
    EXPECT_EQ(nok->optionalParams()->objectForKey("mode"), plat::Value(2));

    auto ploy = Info::infoWithUserNamePassword("ploy@example.com", "ploy-pass", 3, "ploy-salt");
    EXPECT_EQ(ploy->hashPasswordWithSalt("ploy-salt"), kPloySignIn);

    auto stored = Info::infoWithUserNameHashedPassword("x", "HASH", 2, std::nullopt);
    EXPECT_EQ(stored->hashedPassword(), "HASH");
    EXPECT_FALSE(stored->salt());

    Info sso;
    sso.initWithUserNameAuthorizationCode("somchai@example.com", "ACCESS");
    EXPECT_EQ(sso.hashedPassword(), "");
    EXPECT_EQ(sso.token(), "ACCESS");
}

TEST(VnUserAuthenticationInfo, DeviceUser) {
    auto device = Info::infoWithDeviceId("0123456789ABCDEF0123456789abcdef01234567");
    EXPECT_EQ(device->username(), "0123456789abcdef0123456789abcdef01234567@device.varnel.app");
    EXPECT_EQ(device->hashedPassword(), "JFFytWvZL9cft+5JczYHhLF+w0Z64xnJaEe6+sqC9OI=");
    EXPECT_TRUE(device->isDefaultUser());
    EXPECT_FALSE(Info::infoWithUserNamePassword("somchai@example.com", "x")->isDefaultUser());
    EXPECT_THROW(Info::infoWithDeviceId(std::nullopt), plat::Exception);
}

TEST(VnUserAuthenticationRequest, SendsTheSignInHashNeverTheStoredOne) {
    auto session = sessionWithId("SESSION-1");
    auto somchai = Info::infoWithUserNamePassword("Somchai@Example.com", "rak-an-nangsue");
    auto request = session->newSignInRequest(somchai);
    EXPECT_EQ(request->webMethod(), "AccountAuthentication");
    EXPECT_EQ(request->returnValueClass(), &VnUserAuthenticationReturnValue::classObject());
    EXPECT_EQ(sent(request),
              std::string(R"({"username":"Somchai@Example.com","hashedPassword":")") +
                  kSomchaiSignIn +
                  R"(","adminUsername":null,"authorizationCode":null,)"
                  R"("isDefaultUser":0,"authenticationMethod":1,"salt":null,)"
                  R"("token":null,"optionalParams":null})");
    EXPECT_EQ(sent(request).find(kSomchaiStored), std::string::npos);

    auto nok = Info::infoWithUserNamePassword("Nok@Example.com", "nok-2567", 2, "s4lt-nok");
    auto nokParams = session->newSignInRequest(nok)->webMethodParams().dictionary();
    EXPECT_EQ((*nokParams)["hashedPassword"], plat::Value(kNokSignIn));
    EXPECT_EQ(KxJsonWriter().stringWithObject((*nokParams)["optionalParams"]),
              R"([{"Key":"mode","Value":2}])");

    auto ploy = Info::infoWithUserNamePassword("ploy@example.com", "ploy-pass", 3, "ploy-salt");
    EXPECT_EQ((*session->newSignInRequest(ploy)->webMethodParams().dictionary())["hashedPassword"],
              plat::Value(kPloySignIn));

    auto sso = std::make_shared<Info>();
    sso->initWithUserNameAuthorizationCode("somchai@example.com", "ACCESS");
    auto ex = session->newSignInRequestEx(sso);
    EXPECT_EQ(ex->webMethod(), "AccountAuthenticationWithAccessToken");
    auto exParams = ex->webMethodParams().dictionary();
    EXPECT_EQ((*exParams)["token"], plat::Value("ACCESS"));
    EXPECT_EQ((*exParams)["authorizationCode"], plat::Value("ACCESS"));
}

TEST(VnTransferUserBooksRequest, ReplacesTheCredentialsByUserAndSessionHash) {
    auto session = sessionWithId("SESSION-1");
    auto request = session->newTransferUserBooksRequestWithSourceUserAuthenticationInfo(
        Info::infoWithUserNamePassword("Somchai@Example.com", "rak-an-nangsue"));
    EXPECT_EQ(request->webMethod(), "TransferUserBooks");
    EXPECT_EQ(request->returnValueClass(), &VnTransferUserBooksReturnValue::classObject());
    EXPECT_EQ(sent(request), std::string(R"({"optionalParams":null,"sourceUser":)") +
                                 R"("Somchai@Example.com","sourcePasswordHash":")" +
                                 kSomchaiSignIn + R"("})");

    auto missing = session->newTransferUserBooksRequestWithSourceUserAuthenticationInfo(nullptr);
    EXPECT_EQ(sent(missing),
              R"({"optionalParams":null,"sourceUser":null,"sourcePasswordHash":null})");
}
