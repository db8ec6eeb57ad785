// The bookstore context's sign-in paths and the user context's gate, against the demo service.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v3/VnServiceSessionContext.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

using demo::Json;

namespace {

std::vector<Ref<VnRequestContext>> reservationRequests(const Ref<VnBookStoreUserContext>& user,
                                                       int count) {
    std::vector<Ref<VnRequestContext>> requests;
    for (int i = 0; i < count; ++i)
        requests.push_back(user->requestForGetCurrentReserveBookInfos());
    return requests;
}

void expectAll(const std::vector<Ref<VnRequestResult>>& results, bool succeed,
               const std::string& message = {}) {
    for (const auto& result : results) {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->succeed(), succeed) << result->description();
        if (!message.empty()) {
            EXPECT_EQ(result->errorMessage().value_or(""), message);
        }
    }
}

TEST_F(ContextTest, DeviceUserGateSignsInOnceAndReleasesOrFailsEveryParkedRequest) {
    auto user = context->activeUserContext();
    EXPECT_TRUE(user->isDefault());
    EXPECT_EQ(listener->activeChanges, 0);

    // A parked request that its caller cancels stays silent.
    auto cancelled = user->requestForNeedClaimActionBooks();
    bool heard = false;
    cancelled->startWithDidFinishBlock([&](auto&, auto&) { heard = true; });
    EXPECT_EQ(user->pendingRequestCount(), 1U);
    cancelled->cancel();
    EXPECT_EQ(user->pendingRequestCount(), 0U);

    // The user's domains refresh through the same gate.
    auto categories = user->categoryDomain()->newDomainUpdatingRequest(nullptr);
    categories->startWithDidFinishBlock([](auto&, auto&) {});
    EXPECT_EQ(user->pendingRequestCount(), 1U);

    expectAll(runAll(reservationRequests(user, 20)), true);
    EXPECT_FALSE(heard);
    plat::RunLoop::current().runUntil([&] { return !categories->running(); });
    EXPECT_FALSE(user->categoryDomain()->items().empty());
    EXPECT_TRUE(
        std::filesystem::exists(user->categoryDomain()->dataTable()->filePath().parent_path() /
                                "VnMagazineCategoryInfo.Magazines.table.json"));
    EXPECT_EQ(calls("AccountAuthentication"), 1U);
    EXPECT_TRUE(catalogue.account(
        VnUserAuthenticationInfo::infoWithDeviceId(context->machineID())->username()));

    // Signed in: never parked.
    auto direct = user->requestForNeedClaimActionBooks();
    direct->startWithDidFinishBlock([](auto&, auto&) {});
    EXPECT_EQ(user->pendingRequestCount(), 0U);

    // Refused, a server error, no service: each parked request fails once with the reason.
    context->resetRemoteSession();
    service.addMethod("AccountAuthentication", [](const Json&, demo::Session&) {
        return Json{{"IsSuccess", false}, {"Message", "Device blocked"}};
    });
    expectAll(runAll(reservationRequests(user, 5)), false, "Device blocked");
    service.setFault("AccountAuthentication", demo::Fault{});
    auto failed = runAll(reservationRequests(user, 5));
    expectAll(failed, false);
    EXPECT_EQ(failed[0]->error()->code(), 500);

    auto unreachable = makeContext("http://127.0.0.1:1/service.svc");
    auto lonely = unreachable->activeUserContext();
    failed = runAll(reservationRequests(lonely, 3));
    expectAll(failed, false);
    EXPECT_EQ(failed[0]->error()->domain(), "NSURLErrorDomain");
}

TEST_F(ContextTest, ARefusedDeviceSignInIsAskedOnceMoreOnAFreshSession) {
    // Refused once (the service lost the session the sign-in ran on): asked again on a new
    // session, and the parked requests run.
    size_t refusals = 1;
    const auto standard = service.methodHandler("AccountAuthentication");
    service.addMethodWithRequest("AccountAuthentication",
                                 [&](const Json& body, demo::Session& session,
                                     const demo::RecordedRequest& request) -> Json {
                                     if (refusals > 0) {
                                         --refusals;
                                         return Json{{"IsSuccess", false}, {"Message", "Lost"}};
                                     }
                                     return standard(body, session, request);
                                 });
    auto user = context->activeUserContext();
    expectAll(runAll(reservationRequests(user, 3)), true);
    EXPECT_EQ(calls("AccountAuthentication"), 2U);
    EXPECT_EQ(calls("RequestSessionID"), 2U);
    EXPECT_TRUE(context->serviceSession()->hasSignedIn());

    // Refused twice: no third try; the parked requests end with the service's message. A later
    // refusal is asked again once more.
    context->resetRemoteSession();
    refusals = 2;
    expectAll(runAll(reservationRequests(user, 3)), false, "Lost");
    EXPECT_EQ(calls("AccountAuthentication"), 4U);
    refusals = 1;
    expectAll(runAll(reservationRequests(user, 2)), true);
    EXPECT_EQ(calls("AccountAuthentication"), 6U);
}

TEST_F(ContextTest, AMembersCallEndsWithTheServicesAnswerWhateverItsCode) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    auto member = context->activeUserContext();
    const size_t sessions = calls("RequestSessionID");
    service.addMethod("BorrowBook", [](const Json&, demo::Session&) {
        return Json{{"IsSuccess", false}, {"ResultCode", 1}, {"Message", "Please sign in"}};
    });
    const auto borrowed = run(member->requestForBorrowBook(issueRecord("BK0003")));
    ASSERT_TRUE(borrowed && borrowed->succeed());
    const auto answer = borrowed->returnValue().as<VnCommonBoolReturnValue>();
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->isSuccess());
    EXPECT_EQ(answer->resultCode(), 1);
    // Sent once, the session kept as it was: nothing restored, nothing signed out.
    EXPECT_EQ(calls("BorrowBook"), 1U);
    EXPECT_EQ(calls("RestoreSession"), 0U);
    EXPECT_EQ(calls("RequestSessionID"), sessions);
    EXPECT_TRUE(context->serviceSession()->hasSignedIn());
}

TEST_F(ContextTest, RequestsParkedBehindAnotherSignInEndWithItOnce) {
    // A member's sign-in is out when the device user's requests arrive: a refusal fails them
    // with a reason; a success switches users, and they end with a reason too.
    auto device = context->activeUserContext();
    context->startUserAuthenticationRequestWithUserName("somchai@example.com", "wrong", listener,
                                                        "caller_");
    EXPECT_TRUE(context->isProcessingUserAuthentication());
    expectAll(runAll(reservationRequests(device, 3)), false, "Session initialization failed");

    context->startUserAuthenticationRequestWithUserName("somchai@example.com", "rak-an-nangsue",
                                                        listener, "caller_");
    auto waiting = runAll(reservationRequests(device, 3));
    expectAll(waiting, false, "The signed-in user changed");
    EXPECT_FALSE(context->activeUserContext()->isDefault());
    EXPECT_EQ(device->pendingRequestCount(), 0U);
}

TEST_F(ContextTest, MemberRestoresAfterARestartAndSignsOutCleanly) {
    auto outcome = signIn("somchai@example.com", "rak-an-nangsue");
    ASSERT_TRUE(outcome && outcome->succeed());
    auto member = context->activeUserContext();
    EXPECT_FALSE(member->isDefault());
    EXPECT_EQ(listener->activeChanges, 1);
    EXPECT_EQ(stored(VnUsernameKey), "somchai@example.com");
    const std::string token = stored(VnSessionTokenKey);
    EXPECT_NE(token, "<none>");
    EXPECT_FALSE(
        plat::UserDefaults::standardUserDefaults()->objectForKey(VnLastRunVersionKey).isNil());
    EXPECT_EQ(stored(VnAuthorizationCodeKey), "<none>");
    // Signed in, the gate lets requests straight through.
    auto reservations = run(member->requestForGetCurrentReserveBookInfos());
    ASSERT_TRUE(reservations->succeed());
    EXPECT_EQ(reservations->returnValue().array()->count(), 1U);

    // A restart: defaults read again from disk, no cookies.
    context.reset();
    plat::UserDefaults::resetStandardUserDefaults();
    plat::HttpCookieStorage::shared().removeAllCookies();
    service.clearRequests();
    context = makeContext();
    context->addContextObserver(listener);
    listener->activeChanges = 0;
    EXPECT_TRUE(context->restoreRegisteredUserContext());
    EXPECT_EQ(listener->activeChanges, 1);
    EXPECT_TRUE(service.requests().empty());
    member = context->activeUserContext();
    EXPECT_EQ(member->userId()->userName(), "somchai@example.com");
    // The store session holds no token until the session is restored (the stored one is the
    // version-2 session's, not the store's); the store answers it as a guest meanwhile.
    EXPECT_FALSE(member->storeRemoteSession()->sessionContext()->tokenKey());
    const auto front =
        run(member->storeRemoteSession()->requestForWidgetInfoWithCode("0.feature_all"));
    ASSERT_TRUE(front && front->succeed()) << (front ? front->description() : "no answer");
    EXPECT_EQ(store.requestsForMethod("GetWidgetInfo").back().header("Authorization"), "");

    auto results = runAll(reservationRequests(member, 20));
    expectAll(results, true);
    EXPECT_EQ(results[0]->returnValue().array()->count(), 1U);  // as the member, not anonymous
    EXPECT_EQ(calls("RestoreSession"), 1U);
    EXPECT_EQ(context->tokenKeychainItem()->objectForKey(plat::kSecValueData).stringOr(), token);

    // Sign-out: keys, keychain items and the service's cookies go.
    context->signOutRegisteredUser();
    plat::RunLoop::current().runUntil([&] { return calls("AccountLogoutEx") == 1; });
    for (const char* key : {VnSessionTokenKey, VnUsernameKey, VnIsTestAccountKey,
                            VnHashedPasswordKey, VnAuthorizationCodeKey, VnAuthenticationMethodKey})
        EXPECT_EQ(stored(key), "<none>") << key;
    EXPECT_EQ(context->tokenKeychainItem()->objectForKey(plat::kSecValueData).stringOr(), "");
    EXPECT_EQ(context->accountKeychainItem()->objectForKey(plat::kSecValueData).stringOr(), "");
    // The device user's context was never made in this run: observers still hear of the change.
    EXPECT_EQ(listener->activeChanges, 2);
    EXPECT_TRUE(context->activeUserContext()->isDefault());
    EXPECT_TRUE(plat::HttpCookieStorage::shared()
                    .cookiesForURL(*plat::Url::parse(service.serviceUrl()))
                    .empty());

    context.reset();
    plat::UserDefaults::resetStandardUserDefaults();
    context = makeContext();
    EXPECT_FALSE(context->restoreRegisteredUserContext());
}

TEST_F(ContextTest, RefusedRestoresFallBackToStoredCredentialsOrFailWithAReason) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    auto restart = [&](const std::string& storedToken) {
        context.reset();
        plat::UserDefaults::resetStandardUserDefaults();
        plat::HttpCookieStorage::shared().removeAllCookies();
        plat::UserDefaults::standardUserDefaults()->setObject(plat::Value(storedToken),
                                                              VnSessionTokenKey);
        context = makeContext();
        context->addContextObserver(listener);
        EXPECT_TRUE(context->restoreRegisteredUserContext());
        return context->activeUserContext();
    };

    // The token is refused; the stored hash signs the member in and the parked requests run.
    auto member = restart("stale-token");
    expectAll(runAll(reservationRequests(member, 4)), true);
    EXPECT_EQ(calls("AccountAuthentication"), 2U);
    EXPECT_FALSE(context->activeUserContext()->isDefault());

    // Offline: at once "No network detected".
    member = restart("stale-token");
    auto offline = std::make_shared<OfflineDelegate>();
    context->setDelegate(offline);
    expectAll(runAll(reservationRequests(member, 3)), false, "No network detected");

    // No stored hash and no delegate: "Session initialization failed". Answers that are not a
    // non-empty text are no token either.
    plat::UserDefaults::standardUserDefaults()->removeObjectForKey(VnHashedPasswordKey);
    for (const Json& odd : {Json(42), Json::object(), Json("")}) {
        service.addMethod("RestoreSession", [odd](const Json&, demo::Session&) { return odd; });
        member = restart("any-token");
        expectAll(runAll(reservationRequests(member, 3)), false, "Session initialization failed");
        EXPECT_EQ(context->tokenKeychainItem()->objectForKey(plat::kSecValueData).stringOr(), "");
        EXPECT_FALSE(context->serviceSession()->sessionId()) << odd.dump();
    }
}

// A member signed in without a kept password, restarted while the service is out of reach: the
// restore fails and nothing else can be tried. Each later request ends with the failure instead
// of waiting for ever, and once the service is back the next one restores the session.
TEST_F(ContextTest, AFailedRestoreWithNothingElseToTryHoldsNoLaterRequest) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    const int port = service.port();
    context.reset();
    plat::UserDefaults::resetStandardUserDefaults();
    plat::HttpCookieStorage::shared().removeAllCookies();
    plat::UserDefaults::standardUserDefaults()->removeObjectForKey(VnHashedPasswordKey);
    service.stop();
    context = makeContext();
    ASSERT_TRUE(context->restoreRegisteredUserContext());
    const auto member = context->activeUserContext();

    expectAll(runAll(reservationRequests(member, 1)), false, "Session initialization failed");
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const auto results = runAll(reservationRequests(member, 1));
        ASSERT_TRUE(results[0]) << "the request never ended";
        expectAll(results, false, "Session initialization failed");
    }

    ASSERT_TRUE(service.start(port));
    service.clearRequests();
    const auto back = run(member->requestForGetCurrentReserveBookInfos());
    ASSERT_TRUE(back) << "the request never ended";
    EXPECT_TRUE(back->succeed()) << back->description();
    EXPECT_EQ(calls("RestoreSession"), 1U);
    EXPECT_EQ(context->activeUserContext(), member);
}

TEST_F(ContextTest, EverySignInPathAndWhoStaysActive) {
    // Methods 1, 2 and 3 (the last two external, with their salts).
    for (auto [user, password] :
         {std::pair{"somchai@example.com", "rak-an-nangsue"},
          std::pair{"nok@example.com", "nok-2567"}, std::pair{"ploy@example.com", "ploy-pass"}}) {
        auto outcome = signIn(user, password);
        ASSERT_TRUE(outcome && outcome->succeed()) << user;
        auto answer = outcome->returnValue().as<VnUserAuthenticationReturnValue>();
        EXPECT_TRUE(answer && answer->authenticated()) << user;
        // Another member replaces the active one.
        EXPECT_EQ(context->activeUserContext()->userId()->userName(), user);
    }
    EXPECT_EQ(listener->activeChanges, 3);
    // The same member again (another case) keeps the context, silently.
    auto ploy = context->activeUserContext();
    ASSERT_TRUE(signIn("PLOY@example.com", "ploy-pass")->succeed());
    EXPECT_EQ(context->activeUserContext(), ploy);
    EXPECT_EQ(listener->activeChanges, 3);
    // The subscriptions are kept in the member's own archive.
    EXPECT_EQ(ploy->userSubscriptionDomain()->archiveTarget(), ploy->userStorage()->userArchive());

    // Two single-sign-on sign-ins in a row: both callers hear the second, in order.
    listener->results.clear();
    listener->order.clear();
    auto sso = [] {
        auto info = std::make_shared<VnUserAuthenticationInfo>();
        info->initWithUserNameAuthorizationCode(demo::kDemoAccessTokenUser, demo::kDemoAccessToken);
        return info;
    };
    context->startUserAuthenticationRequestEx(sso(), listener, "caller_");
    context->startUserAuthenticationRequestEx(sso(), listener, "second_");
    plat::RunLoop::current().runUntil([&] { return listener->results.size() == 2; });
    ASSERT_EQ(listener->results.size(), 2U);
    EXPECT_EQ(listener->order, (std::vector<std::string>{"caller", "second"}));
    EXPECT_EQ(listener->results[0], listener->results[1]);
    EXPECT_TRUE(listener->results[0]->succeed());
    EXPECT_EQ(context->activeUserContext()->userId()->userName(), demo::kDemoAccessTokenUser);

    // A device sign-in leaves the member active and stores nothing.
    context->startUserAuthenticationRequest(
        VnUserAuthenticationInfo::infoWithDeviceId(context->machineID()), listener, "caller_");
    plat::RunLoop::current().runUntil([&] { return listener->results.size() == 3; });
    EXPECT_EQ(stored(VnUsernameKey), demo::kDemoAccessTokenUser);
}

TEST_F(ContextTest, HostileAnswersAndNamesChangeNothingOutsideTheirPlace) {
    // A sign-in answer of the wrong type: failed outcome or no member; no key written.
    service.addMethod("AccountAuthentication", [](const Json&, demo::Session&) {
        return Json::array({1, 2});
    });
    signIn("somchai@example.com", "rak-an-nangsue");
    EXPECT_TRUE(context->activeUserContext()->isDefault());
    EXPECT_EQ(stored(VnUsernameKey), "<none>");

    // An account record of the wrong type leaves the record and its table alone.
    demo::registerVersion2Methods(service, catalogue);
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    auto member = context->activeUserContext();
    plat::RunLoop::current().runUntil([&] { return member->accountInfo() != nullptr; });
    ASSERT_TRUE(member->accountInfo());
    const auto userId = member->accountInfo()->userId_;
    service.addMethod("GetAccountInfo", [](const Json&, demo::Session&) { return Json("odd"); });
    run(member->requestForAccountInfo());
    EXPECT_EQ(member->accountInfo()->userId_, userId);

    // A stored user name that tries to leave the cache tree stays inside it.
    context.reset();
    plat::UserDefaults::standardUserDefaults()->setObject(plat::Value("../../x"), VnUsernameKey);
    context = makeContext();
    ASSERT_TRUE(context->restoreRegisteredUserContext());
    const auto root = VnBookStoreContext::storageRootPath();
    const auto path = context->activeUserContext()->userStorage()->userPath();
    EXPECT_EQ(std::mismatch(root.begin(), root.end(), path.begin()).first, root.end()) << path;
    EXPECT_EQ(path.lexically_normal(), path);
    // The older roots lie beside it, in the same temporary home, and are never made.
    EXPECT_EQ(VnBookStoreContext::offlineStorageRootPath(),
              root.parent_path() / "PrivateDocuments" / "Varnel");
    EXPECT_EQ(VnBookStoreContext::offlineStorageRootPath_Old(),
              root.parent_path() / "Documents" / "Varnel");
    EXPECT_FALSE(std::filesystem::exists(VnBookStoreContext::offlineStorageRootPath()));
}

TEST_F(ContextTest, SignOutForgetsTheOldSessionsCookies) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    const auto url = *plat::Url::parse(service.serviceUrl());
    const auto oldCookie = plat::HttpCookieStorage::shared().cookieHeaderForURL(url);
    ASSERT_TRUE(oldCookie);

    // The sign-out reply comes late; a cookie set meanwhile survives it.
    service.setFault("AccountLogoutEx", demo::Fault::stall());
    context->signOutRegisteredUser();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return service.stalledCount() == 1; }));
    auto fresh = plat::HttpCookie::parse("Fresh=1; Path=/", url, plat::Date::now());
    ASSERT_TRUE(fresh);
    plat::HttpCookieStorage::shared().setCookie(*fresh);
    service.releaseStalled();
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);

    const auto signOut = service.requestsForMethod("AccountLogoutEx");
    ASSERT_EQ(signOut.size(), 2U);  // the sign-in's own, then this one
    EXPECT_EQ(signOut[1].header("Cookie"), *oldCookie);
    EXPECT_EQ(Json::parse(signOut[1].body), Json::parse(R"({"optionalParams":null})"));

    // A bare call afterwards does not carry the old cookies and does not act as the member.
    auto bare = run(context->serviceSession()->newNeedClaimAction());
    ASSERT_TRUE(bare->succeed());
    EXPECT_FALSE(bare->returnValue().boolValue());
    const auto after = service.requestsForMethod("NeedClaimAction");
    ASSERT_EQ(after.size(), 1U);
    EXPECT_EQ(after[0].header("Cookie").find(oldCookie->substr(oldCookie->find('='))),
              std::string::npos);
    EXPECT_NE(after[0].header("Cookie").find("Fresh=1"), std::string::npos);
}

}  // namespace
