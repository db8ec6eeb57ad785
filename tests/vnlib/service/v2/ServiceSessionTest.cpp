#include <gtest/gtest.h>

#include "demo-service/DemoService.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"

using demo::Fault;
using demo::FaultKind;
using demo::Json;
using plat::Value;

namespace {

class ServiceSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::HttpCookieStorage::shared().removeAllCookies();
        service.addMethod("Ping", [](const Json&, demo::Session& s) { return Json(s.valid()); });
        service.addMethod("AccountLogoutEx", [](const Json&, demo::Session&) { return Json(); });
        service.addMethod("AccountLogout", [](const Json&, demo::Session&) { return Json(); });
        service.addMethod("RestoreSession", [](const Json& body, demo::Session&) {
            return body.value("tokenkey", "") == "good" ? Json("restored-id") : Json();
        });
        ASSERT_TRUE(service.start());
        session = std::make_shared<VnClientServiceSession>(
            *plat::Url::parse(service.serviceUrl()),
            std::make_shared<VnClientServiceConfiguration>());
    }

    std::vector<Ref<VnRequestResult>> runAll(const std::vector<Ref<VnRequestContext>>& requests) {
        std::vector<Ref<VnRequestResult>> results(requests.size());
        for (size_t i = 0; i < requests.size(); ++i) {
            requests[i]->startWithDidFinishBlock(
                [&results, i](const Ref<VnRequestResult>& r, const Value&) { results[i] = r; });
        }
        EXPECT_TRUE(plat::RunLoop::current().runUntil([&] {
            for (const auto& r : results) {
                if (!r)
                    return false;
            }
            return true;
        }));
        return results;
    }

    Ref<VnRequestContext> ping() {
        return session->newRequestWithWebMethod(
            "Ping", Value(VnClientServiceSession::voidWebMethodParam()), nullptr);
    }

    demo::DemoService service;
    Ref<VnClientServiceSession> session;
};

}  // namespace

TEST_F(ServiceSessionTest, TenCallsShareOneSessionIdRequest) {
    std::vector<Ref<VnRequestContext>> calls;
    for (int i = 0; i < 10; ++i)
        calls.push_back(ping());
    auto results = runAll(calls);
    EXPECT_EQ(service.requestsForMethod("RequestSessionID").size(), 1u);
    EXPECT_EQ(service.requestsForMethod("Ping").size(), 10u);
    for (const auto& r : results) {
        ASSERT_TRUE(r->succeed());
        EXPECT_TRUE(r->returnValue().boolValue());  // the cookie tied each call to the session
    }
    ASSERT_TRUE(session->sessionId());

    // With an id known, no further id request; the session step still ends on a later turn.
    auto later = runAll({ping()});
    EXPECT_TRUE(later[0]->succeed());
    EXPECT_EQ(service.requestsForMethod("RequestSessionID").size(), 1u);
}

TEST_F(ServiceSessionTest, AFailedOrEmptySessionIdFailsEveryWaitingCall) {
    service.setFaultForNext(1, Fault{FaultKind::ServerError});
    auto failed = runAll({ping(), ping(), ping()});
    for (const auto& r : failed)
        EXPECT_FALSE(r->succeed());
    EXPECT_TRUE(service.requestsForMethod("Ping").empty());
    EXPECT_FALSE(session->sessionId());

    service.setFault("RequestSessionID", Fault{FaultKind::NullResult});
    auto empty = runAll({ping()});
    EXPECT_EQ(empty[0]->errorMessage(), "Session initiation failed");
    service.clearFaults();
    EXPECT_TRUE(runAll({ping()})[0]->succeed());  // the next call tries again
}

TEST_F(ServiceSessionTest, SignOutPostsOnceWithTheOldSessionAndClearsAtOnce) {
    runAll({ping()});
    session->notifyAuthenticatedWithUserName("somchai");
    ASSERT_TRUE(session->hasSignedIn());
    session->signOut();
    EXPECT_FALSE(session->sessionId());
    EXPECT_FALSE(session->hasSignedIn());
    EXPECT_TRUE(session->signingOut());
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return !session->signingOut(); }));
    EXPECT_EQ(service.requestsForMethod("AccountLogoutEx").size(), 1u);
    EXPECT_EQ(service.requestsForMethod("RequestSessionID").size(), 1u);

    session->signOutLocally();
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    EXPECT_EQ(service.requestsForMethod("AccountLogoutEx").size(), 1u);
}

TEST_F(ServiceSessionTest, TheFirstSignOutFactoryFixesTheWebMethod) {
    auto plain = session->newSignOutRequest();
    auto ex = session->newSignOutRequestEx();
    runAll({ex});
    EXPECT_EQ(service.requestsForMethod("AccountLogout").size(), 1u);
    EXPECT_TRUE(service.requestsForMethod("AccountLogoutEx").empty());
}

TEST_F(ServiceSessionTest, RestoreSession) {
    auto bad = runAll({session->newRestoreSessionRequest(std::string("bad"), "somchai")});
    EXPECT_FALSE(session->hasSignedIn());
    auto good = runAll({session->newRestoreSessionRequest(std::string("good"), "somchai")});
    ASSERT_TRUE(good[0]->succeed());
    EXPECT_EQ(session->sessionId(), "restored-id");
    EXPECT_EQ(session->authenticatedUserName(), "somchai");
    EXPECT_TRUE(service.requestsForMethod("RequestSessionID").empty());
    EXPECT_THROW(session->newRestoreSessionRequest(std::nullopt, "x"), plat::Exception);
}
