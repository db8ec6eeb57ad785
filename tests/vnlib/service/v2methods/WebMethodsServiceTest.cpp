// Sign-in and web methods against the demo library service.
#include <gtest/gtest.h>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/member/VnAccountInfo.h"
#include "vnlib/info/member/VnAssetFileInfo.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnProfileInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/service/auth/VnTransferUserBooksRequest.h"
#include "vnlib/service/auth/VnUserAuthenticationRequest.h"
#include "vnlib/service/auth/VnUserRegistrationInfo.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

using demo::Json;
using plat::Value;
using Info = VnUserAuthenticationInfo;

namespace {

class WebMethodsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::HttpCookieStorage::shared().removeAllCookies();
        demo::registerVersion2Methods(service, catalogue);
        ASSERT_TRUE(service.start());
        session = std::make_shared<VnClientServiceSession>(
            *plat::Url::parse(service.serviceUrl()),
            std::make_shared<VnClientServiceConfiguration>());
    }

    Ref<VnRequestResult> run(const Ref<VnRequestContext>& request) {
        Ref<VnRequestResult> result;
        request->startWithDidFinishBlock(
            [&](const Ref<VnRequestResult>& r, const Value&) { result = r; });
        EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return result != nullptr; }));
        return result;
    }

    Ref<VnUserAuthenticationReturnValue> signIn(const Ref<Info>& credentials) {
        auto result = run(session->newSignInRequest(credentials));
        EXPECT_TRUE(result && result->succeed());
        return result ? result->returnValue().as<VnUserAuthenticationReturnValue>() : nullptr;
    }

    // Credentials made the way a client does: ask for the account's method and salt first.
    Ref<Info> credentialsFor(const std::string& username, const std::string& password) {
        auto result = run(session->newSignInMethodQueryRequestForUserName(username));
        auto method = result->returnValue().as<VnAuthenticationMethodInfo>();
        EXPECT_TRUE(method);
        return Info::infoWithUserNamePassword(username, password, method ? method->method_ : 1,
                                              method ? method->salt_ : std::nullopt);
    }

    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    Ref<VnClientServiceSession> session;
};

}  // namespace

TEST_F(WebMethodsServiceTest, SignInWithEveryHashMethod) {
    struct Account {
        const char* username;
        const char* password;
        int method;
    };
    for (const Account& account :
         {Account{"Somchai@Example.com", "rak-an-nangsue", 1},
          Account{"nok@example.com", "nok-2567", 2}, Account{"ploy@example.com", "ploy-pass", 3}}) {
        SCOPED_TRACE(account.username);
        auto credentials = credentialsFor(account.username, account.password);
        EXPECT_EQ(credentials->authenticationMethod(), account.method);
        auto answer = signIn(credentials);
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->authenticated());
        EXPECT_EQ(session->authenticatedUserName(), account.username);
        session->signOutLocally();
    }

    // A librarian signs in for a member with the librarian's own password.
    auto forNok = std::make_shared<Info>();
    forNok->initWithUserName("nok@example.com", "bannarak", std::string("librarian@example.com"));
    EXPECT_TRUE(signIn(forNok)->authenticated());
    EXPECT_EQ(session->authenticatedUserName(), "nok@example.com");
}

TEST_F(WebMethodsServiceTest, WrongPasswordOrMethodFailsWithTheServiceMessage) {
    auto wrong = signIn(Info::infoWithUserNamePassword("somchai@example.com", "guess"));
    ASSERT_TRUE(wrong);
    EXPECT_FALSE(wrong->authenticated());
    EXPECT_EQ(wrong->serverMessage(), Value("Invalid user name or password."));
    EXPECT_FALSE(session->hasSignedIn());

    // The right password hashed by the wrong method is refused too.
    auto wrongMethod = signIn(Info::infoWithUserNamePassword("nok@example.com", "nok-2567"));
    EXPECT_FALSE(wrongMethod->authenticated());
    EXPECT_FALSE(session->hasSignedIn());

    // The suspended member's right password, and a token that signs it in: refused with the
    // library's own message.
    auto suspended = signIn(credentialsFor("suspended@example.com", "suspended-2567"));
    EXPECT_FALSE(suspended->authenticated());
    EXPECT_EQ(suspended->serverMessage(),
              Value("This account is suspended. Please contact the library."));
    catalogue.grantAccessToken("token-of-the-suspended", "suspended@example.com");
    auto withToken = std::make_shared<Info>();
    withToken->initWithUserNameAuthorizationCode("suspended@example.com", "token-of-the-suspended");
    auto tokenAnswer = run(session->newSignInRequestEx(withToken))
                           ->returnValue()
                           .as<VnUserAuthenticationReturnValue>();
    ASSERT_TRUE(tokenAnswer);
    EXPECT_FALSE(tokenAnswer->authenticated());
    EXPECT_EQ(tokenAnswer->serverMessage(), suspended->serverMessage());
    EXPECT_FALSE(session->hasSignedIn());

    // The stored hash itself is never on the wire.
    for (const auto& call : service.requestsForMethod("AccountAuthentication")) {
        EXPECT_EQ(call.body.find(demo::demoStandardHash("guess", "somchai@example.com")),
                  std::string::npos);
    }
}

TEST_F(WebMethodsServiceTest, SingleSignOnToken) {
    auto bad = std::make_shared<Info>();
    bad->initWithUserNameAuthorizationCode("somchai@example.com", "stale-token");
    EXPECT_FALSE(run(session->newSignInRequestEx(bad))
                     ->returnValue()
                     .as<VnUserAuthenticationReturnValue>()
                     ->authenticated());
    auto good = std::make_shared<Info>();
    good->initWithUserNameAuthorizationCode("somchai@example.com", demo::kDemoAccessToken);
    auto answer = run(session->newSignInRequestEx(good));
    EXPECT_TRUE(answer->returnValue().as<VnUserAuthenticationReturnValue>()->authenticated());
    EXPECT_TRUE(session->hasSignedIn());
}

TEST_F(WebMethodsServiceTest, SignInWaitsForARunningSignOut) {
    signIn(Info::infoWithUserNamePassword("somchai@example.com", "rak-an-nangsue"));
    service.setFault("AccountLogoutEx", demo::Fault::stall());
    session->signOut();
    ASSERT_TRUE(session->signingOut());

    Ref<VnRequestResult> result;
    session
        ->newSignInRequest(Info::infoWithUserNamePassword("ploy@example.com", "ploy-pass", 3,
                                                          std::string("ploy-salt")))
        ->startWithDidFinishBlock([&](const Ref<VnRequestResult>& r, const Value&) { result = r; });
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return service.stalledCount() >= 1; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(result);
    EXPECT_EQ(service.requestsForMethod("AccountAuthentication").size(), 1u);

    service.clearFaults();
    service.releaseStalled();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return result != nullptr; }));
    EXPECT_TRUE(result->returnValue().as<VnUserAuthenticationReturnValue>()->authenticated());
    EXPECT_EQ(session->authenticatedUserName(), "ploy@example.com");

    // Order on the wire: the sign-out, then a fresh session, then the sign-in.
    std::vector<std::string> paths;
    for (const auto& r : service.requests())
        paths.push_back(r.path.substr(r.path.rfind('/') + 1));
    auto at = [&](const std::string& name, size_t from) {
        return std::find(paths.begin() + static_cast<long>(from), paths.end(), name) -
               paths.begin();
    };
    const auto signOut = at("AccountLogoutEx", 0);
    const auto newSession = at("RequestSessionID", static_cast<size_t>(signOut));
    EXPECT_LT(newSession, at("AccountAuthentication", static_cast<size_t>(newSession)));
    EXPECT_LT(static_cast<size_t>(at("AccountAuthentication", static_cast<size_t>(newSession))),
              paths.size());
}

TEST_F(WebMethodsServiceTest, TransferBooksFromAnotherAccount) {
    signIn(Info::infoWithUserNamePassword("ploy@example.com", "ploy-pass", 3,
                                          std::string("ploy-salt")));
    auto result = run(session->newTransferUserBooksRequestWithSourceUserAuthenticationInfo(
        Info::infoWithUserNamePassword("nok@example.com", "nok-2567", 2, std::string("s4lt-nok"))));
    auto answer = result->returnValue().as<VnTransferUserBooksReturnValue>();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->isSuccess_);
    ASSERT_TRUE(answer->bookCodes_);
    EXPECT_EQ(answer->bookCodes_->values(), std::vector<Value>{Value("BK0005")});
    const Json body = Json::parse(service.requestsForMethod("TransferUserBooks").back().body);
    EXPECT_FALSE(body.contains("sourceAuthentication"));
    EXPECT_EQ(body["sourceUser"], "nok@example.com");
    EXPECT_EQ(catalogue.loans("ploy@example.com").size(), 1u);
}

TEST_F(WebMethodsServiceTest, RegistrationWithoutPasswordReachesTheService) {
    auto registration = std::make_shared<VnUserRegistrationInfo>();
    registration->username = "malee@example.com";
    registration->firstname = "มาลี";
    registration->lastname = "Rakdee";
    auto refused = run(session->newAccountRegistrationRequest(registration));
    auto answer = refused->returnValue().as<VnUserRegistrationReturnValue>();
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->isSuccess());
    EXPECT_EQ(answer->message(), "The password needs at least 6 characters.");
    const Json body = Json::parse(service.requestsForMethod("RegisterNewAccount").back().body);
    EXPECT_TRUE(body["password"].is_null());
    EXPECT_EQ(body["firstname"], "มาลี");
    EXPECT_EQ(body["lastname"], "Rakdee");
    EXPECT_TRUE(body["optionalParams"].is_array());

    registration->password = "malee-2567";
    EXPECT_TRUE(run(session->newAccountRegistrationRequest(registration))
                    ->returnValue()
                    .as<VnUserRegistrationReturnValue>()
                    ->isSuccess());
    EXPECT_TRUE(signIn(credentialsFor("malee@example.com", "malee-2567"))->authenticated());
}

TEST_F(WebMethodsServiceTest, AnswersMapIntoTheirReturnClasses) {
    signIn(Info::infoWithUserNamePassword("somchai@example.com", "rak-an-nangsue"));
    const std::optional<std::string> none;
    auto asset = VnRequestAssetInfo::requestWithId(std::string("r1"), std::string("PDF"),
                                                   std::string("PAGE"),
                                                   plat::Array::make({Value(0), Value(1)}));
    struct Row {
        const char* name;
        Ref<VnRequestContext> request;
        const plat::Class* cls;
        bool list;
    };
    const std::vector<Row> rows = {
        {"library", session->newMetaBookInfosRequestWithCategory(std::string("_Libraries"), none),
         &VnMagazineIssueMetaInfo::classObject(), true},
        {"library issues",
         session->requestForMetaMagazineIssueInfosWithMagazineType(std::string("Libraries"), none,
                                                                   {0, 5}),
         &VnMagazineIssueMetaInfo::classObject(), true},
        {"book infos",
         session->newBookInfosRequestWithCodes(plat::Array::make({Value("BK0001"), Value("x")})),
         &VnMagazineIssueInfo::classObject(), true},
        {"issue", session->newGetIssueInfo(std::string("MG01-2402")),
         &VnMagazineIssueInfo::classObject(), false},
        {"detail", session->newBookDetailRequestWithCode(std::string("BK0003")),
         &VnBookDetail::classObject(), false},
        {"categories", session->newBookCategoryListRequest(),
         &VnMagazineCategoryInfo::classObject(), true},
        {"magazines", session->newMetaMagazineInfosRequestWithCategoryCode(none, none, 0, 1),
         &VnMagazineInfo::classObject(), true},
        {"pages",
         session->newPageInfoRequestWithMagazineIssueCode(std::string("MG01-2401"),
                                                          std::string("PREVIEW")),
         &VnPageInfo::classObject(), true},
        {"assets",
         session->newAssetRequestWithMagazineIssueCode(std::string("MG01-2401"),
                                                       plat::Array::make({Value(asset)})),
         &VnAssetFileInfo::classObject(), true},
        {"prices", session->newPriceInfosRequestWithMagazineIssueCode(std::string("BK0004")),
         &VnPriceInfo::classObject(), true},
        {"authors", session->newAuthorListRequest(), &VnAuthorInfo::classObject(), true},
        {"widget", session->newGetShopGroupInfoCode(std::string("home")),
         &VnShopGroupInfo::classObject(), false},
        {"reservations", session->newGetCurrentReserveBookInfos(),
         &VnReserveItemInfo::classObject(), true},
        {"history", session->newGetBorrowHistory(plat::Date{0}, std::nullopt),
         &VnBorrowHistoryInfo::classObject(), true},
        {"account", session->newAccountInfoRequest(), &VnAccountInfo::classObject(), false},
        {"profile", session->newGetProfileRequest(), &VnProfileInfo::classObject(), false},
        {"subscriptions", session->newUserSubscriptionRequest(),
         &VnUserSubscriptionInfo::classObject(), true},
        {"options", session->newGetSubscriptionOptions(), &VnSubscriptionOptionInfo::classObject(),
         true},
        {"borrow", session->newBorrowBook(std::string("BK0003")),
         &VnCommonBoolReturnValue::classObject(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto result = run(row.request);
        ASSERT_TRUE(result->succeed());
        const Value& value = result->returnValue();
        if (row.list) {
            auto list = value.array();
            ASSERT_TRUE(list);
            ASSERT_GT(list->count(), 0u);
            list->enumerate([&](const Value& element) {
                EXPECT_TRUE(element.object() && element.object()->isKindOfClass(*row.cls));
                return true;
            });
        } else {
            ASSERT_TRUE(value.object());
            EXPECT_TRUE(value.object()->isKindOfClass(*row.cls));
        }
    }
    // The authors come as plain names, each wrapped as {"Code": name}.
    auto authors = run(session->newAuthorListRequest())->returnValue().array();
    EXPECT_EQ(authors->objectAtIndex(0).as<VnAuthorInfo>()->fullName(), "ศรีบูรพา");
    // The borrow went through: the lending state changed on the service.
    EXPECT_EQ(catalogue.loans("somchai@example.com").size(), 2u);

    // Calls without a class give the answer as it stands; the bare claim call needs no session
    // step of its own.
    auto url =
        run(session->newGetItemURLRequestWithItemKind(std::string("Book"), std::string("BK0001")));
    EXPECT_EQ(url->returnValue(), Value(service.baseUrl() + "/items/book/BK0001"));
    const size_t sessionCalls = service.requestsForMethod("RequestSessionID").size();
    auto claim = run(session->newNeedClaimAction());
    EXPECT_EQ(claim->returnValue(), Value::boolean(true));
    EXPECT_EQ(service.requestsForMethod("RequestSessionID").size(), sessionCalls);
    EXPECT_TRUE(run(session->newWishlistSubmitWithBookCode(std::string("BK0006")))
                    ->returnValue()
                    .boolValue());
}

TEST_F(WebMethodsServiceTest, ListAnswersSkipNullsAndWrapPlainValues) {
    service.addMethod("GetAuthorList", [](const Json&, demo::Session&) {
        return Json::array({"ศรีบูรพา", nullptr, Json{{"Code", "Jane Austen"}}, nullptr});
    });
    service.addMethod("GetCurrentReserveBookInfos", [](const Json&, demo::Session&) {
        return Json::array({nullptr, nullptr});
    });
    auto authors = run(session->newAuthorListRequest())->returnValue().array();
    ASSERT_TRUE(authors);
    ASSERT_EQ(authors->count(), 2u);
    EXPECT_EQ(authors->objectAtIndex(0).as<VnAuthorInfo>()->fullName(), "ศรีบูรพา");
    EXPECT_EQ(authors->objectAtIndex(1).as<VnAuthorInfo>()->fullName(), "Jane Austen");
    auto empty = run(session->newGetCurrentReserveBookInfos())->returnValue().array();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0u);
}
