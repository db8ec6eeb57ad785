#include <gtest/gtest.h>

#include <cmath>

#include "demo-service/DemoService.h"
#include "platform/core/Log.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/UrlError.h"
#include "platform/runloop/RunLoop.h"
#include "support/DynamicObject.h"
#include "support/net/HostileReplies.h"
#include "support/net/RawHttpServer.h"
#include "vnlib/dev/web/VnJsonWebRequest.h"
#include "vnlib/dev/web/VnNetworkActivityNotificationCenter.h"

using demo::Fault;
using demo::FaultKind;
using demo::Json;
using plat::Value;

namespace {

class ShortTimeoutRequest : public VnJsonWebRequest {
  public:
    using VnJsonWebRequest::VnJsonWebRequest;
    double timeoutInterval() const override { return 0.3; }
};

struct Outcome {
    Ref<VnRequestResult> result;
    int calls = 0;
    VnRequestContext::DidFinishBlock block() {
        return [this](const Ref<VnRequestResult>& r, const Value&) {
            result = r;
            ++calls;
        };
    }
};

class JsonWebRequestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::HttpCookieStorage::shared().removeAllCookies();
        service.addMethod("GetList", [](const Json&, demo::Session&) {
            return Json::array({1, 2});
        });
        service.addMethod("Echo", [](const Json& body, demo::Session&) { return body; });
        service.addMethod("WhoAmI", [](const Json&, demo::Session& s) { return Json(s.id); });
        for (int i = 0; i < 13; ++i) {
            service.addMethod("M" + std::to_string(i),
                              [](const Json&, demo::Session&) { return Json(1); });
        }
        ASSERT_TRUE(service.start());
        url = *plat::Url::parse(service.serviceUrl());
    }

    Ref<VnJsonWebRequest> make(const std::string& method, Value body = Value(),
                               Ref<plat::Dictionary> headers = nullptr) {
        return std::make_shared<VnJsonWebRequest>(url, method, std::move(body), std::move(headers));
    }

    bool wait(const std::function<bool()>& done, double seconds = 5) {
        return plat::RunLoop::current().runUntil(done, seconds);
    }

    Ref<VnRequestResult> run(const Ref<VnJsonWebRequest>& request) {
        Outcome out;
        request->startWithDidFinishBlock(out.block());
        EXPECT_TRUE(wait([&] { return out.calls > 0; }));
        EXPECT_EQ(out.calls, 1);
        return out.result;
    }

    demo::DemoService service;
    plat::Url url;
};

}  // namespace

TEST_F(JsonWebRequestTest, UnwrapsTheReplyAndPostsJson) {
    auto list = run(make("GetList"));
    ASSERT_TRUE(list->succeed());
    EXPECT_EQ(list->returnValue(),
              Value(plat::Array::make({Value(int64_t{1}), Value(int64_t{2})})));

    auto body = plat::makeDictionary({{Value("userName"), Value("สมชาย")}, {Value("n"), Value(3)}});
    auto echo = run(make("Echo", Value(body)));
    ASSERT_TRUE(echo->succeed());
    EXPECT_EQ((*echo->returnValue().dictionary())["userName"], Value("สมชาย"));
    auto recorded = service.requestsForMethod("Echo").back();
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(recorded.header("Accept"), "application/json");
    EXPECT_EQ(recorded.header("Content-Length"), std::to_string(recorded.body.size()));
}

TEST_F(JsonWebRequestTest, ReplyShapes) {
    service.setFault("GetList", Fault{FaultKind::ResultMember});
    auto member = run(make("GetList"));
    ASSERT_TRUE(member->succeed());
    EXPECT_EQ(member->returnValue().array()->count(), 2u);

    service.setFault("GetList", Fault{FaultKind::NullResult});
    auto nullD = run(make("GetList"));
    EXPECT_TRUE(nullD->succeed());  // a method without a value
    EXPECT_TRUE(nullD->returnValue().isNil());

    for (auto kind : {FaultKind::EmptyObject, FaultKind::NotJson}) {
        service.setFault("GetList", Fault{kind});
        auto bad = run(make("GetList"));
        EXPECT_EQ(bad->errorMessage(), "Server did not return proper JSON object");
    }
    service.setFault("GetList", Fault{FaultKind::Drop});
    EXPECT_EQ(run(make("GetList"))->error()->domain(), plat::NSURLErrorDomain);
    EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
}

TEST_F(JsonWebRequestTest, ErrorStatusesFailWithTheStatusWhateverTheBody) {
    service.setFault("GetList", Fault{FaultKind::ServerError});
    auto serverError = run(make("GetList"));
    ASSERT_FALSE(serverError->succeed());
    EXPECT_EQ(serverError->error()->code(), 500);
    EXPECT_EQ(serverError->errorMessage(), "There was an error processing the request.");

    service.setFault("GetList", Fault::htmlStatus(404));
    auto notFound = run(make("GetList"));
    EXPECT_EQ(notFound->error()->code(), 404);
    EXPECT_EQ(notFound->errorMessage(), "HTTP status 404");

    // A body holding "d" is no answer when the status says the call failed.
    service.setFault("GetList", Fault::withStatus(503));
    auto unavailable = run(make("GetList"));
    EXPECT_FALSE(unavailable->succeed());
    EXPECT_TRUE(unavailable->returnValue().isNil());
    EXPECT_EQ(unavailable->error()->domain(), plat::NSURLErrorDomain);
    EXPECT_EQ(unavailable->error()->code(), 503);

    service.setFault("GetList", Fault::withStatus(201));
    EXPECT_TRUE(run(make("GetList"))->succeed());
    EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
}

TEST_F(JsonWebRequestTest, UnauthorizedCallsTheDelegateOnceAndActivityReturnsToZero) {
    auto observer = testing_support::DynamicObject::make();
    observer->on("networkActivityDidStartFirstActivity:")
        .on("networkActivityDidFinishLastActivity:");
    auto center = VnNetworkActivityNotificationCenter::defaultCenter();
    center->addNetworkActivityObserver(observer);
    service.setFault("GetList", Fault{FaultKind::Unauthorized});
    auto request = make("GetList");
    auto delegate = testing_support::DynamicObject::make();
    delegate->on("request:didFinishWithResult:");
    request->startWithDelegate(delegate);
    EXPECT_EQ(center->activityCount(), 1);
    ASSERT_TRUE(wait([&] { return delegate->count("request:didFinishWithResult:") > 0; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);  // nothing else arrives
    EXPECT_EQ(delegate->count("request:didFinishWithResult:"), 1u);
    auto result = std::dynamic_pointer_cast<VnRequestResult>(std::any_cast<Ref<plat::Object>>(
        delegate->arguments("request:didFinishWithResult:")[0][1]));
    EXPECT_EQ(result->error()->code(), 401);
    EXPECT_EQ(result->errorMessage(), "Unauthorized");
    EXPECT_EQ(center->activityCount(), 0);
    EXPECT_EQ(observer->calls(),
              (std::vector<std::string>{"networkActivityDidStartFirstActivity:",
                                        "networkActivityDidFinishLastActivity:"}));
    center->removeNetworkActivityObserver(observer);
}

TEST_F(JsonWebRequestTest, AtMostEightRunAndTheNextStartsWhenOneEnds) {
    std::vector<Ref<VnJsonWebRequest>> requests;
    std::vector<Outcome> outcomes(13);
    for (int i = 0; i < 13; ++i) {
        service.setFault("M" + std::to_string(i), Fault::stall());
        requests.push_back(make("M" + std::to_string(i)));
        requests.back()->startWithDidFinishBlock(outcomes[static_cast<size_t>(i)].block());
    }
    EXPECT_EQ(VnJsonWebRequest::activeConnectionCount(), 8u);
    EXPECT_EQ(VnJsonWebRequest::pendingConnectionCount(), 5u);
    ASSERT_TRUE(service.waitForStalled(8));
    // The third waiting request (M10) moves to the front; the former first (M8) takes its place.
    requests[10]->prioritize();
    requests[0]->cancel();  // a cancel frees a slot
    ASSERT_TRUE(wait([&] { return !service.requestsForMethod("M10").empty(); }));
    EXPECT_TRUE(service.requestsForMethod("M8").empty());
    EXPECT_EQ(VnJsonWebRequest::pendingConnectionCount(), 4u);
    service.clearFaults();
    service.releaseStalled();
    ASSERT_TRUE(wait(
        [&] {
            for (size_t i = 1; i < outcomes.size(); ++i) {
                if (!outcomes[i].calls)
                    return false;
            }
            return true;
        },
        10));
    EXPECT_EQ(outcomes[0].calls, 0);
    EXPECT_EQ(VnJsonWebRequest::activeConnectionCount(), 0u);
    EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
}

TEST_F(JsonWebRequestTest, SilenceTimesOutAndDataKeepsItAlive) {
    service.setFault("GetList", Fault::stall());
    auto stalled = std::make_shared<ShortTimeoutRequest>(url, "GetList", Value());
    auto result = run(stalled);
    EXPECT_EQ(result->errorMessage(), "Request timeout");
    EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
    EXPECT_EQ(VnJsonWebRequest::activeConnectionCount(), 0u);
    service.releaseStalled();

    service.setFault("GetList", Fault::drip(0.05));  // slower in total than the time-out
    auto dripping = std::make_shared<ShortTimeoutRequest>(url, "GetList", Value());
    EXPECT_TRUE(run(dripping)->succeed());
}

TEST_F(JsonWebRequestTest, CookiesCarryTheSession) {
    auto id = run(make("RequestSessionID"));
    ASSERT_TRUE(id->succeed());
    auto who = run(make("WhoAmI"));
    EXPECT_EQ(who->returnValue(), id->returnValue());
}

TEST_F(JsonWebRequestTest, EmptyMethodHeaderOverrideRedirectAndUnwritableBody) {
    run(make(""));
    EXPECT_EQ(service.requests().back().path, service.servicePath());

    auto headers = plat::makeDictionary(
        {{Value("Content-Type"), Value("text/json")}, {Value("TokenVersion"), Value("2")}});
    run(make("Echo", Value(plat::makeDictionary({})), headers));
    auto recorded = service.requestsForMethod("Echo").back();
    EXPECT_EQ(recorded.header("Content-Type"), "text/json");
    EXPECT_EQ(recorded.header("TokenVersion"), "2");

    service.setFault("M1", Fault::redirect(service.servicePath() + "/M2"));
    EXPECT_TRUE(run(make("M1"))->succeed());
    EXPECT_EQ(service.requests().back().path, service.servicePath() + "/M2");

    const size_t before = service.requests().size();
    auto bad = run(make("Echo", Value(plat::makeDictionary({{Value("x"), Value(std::nan(""))}}))));
    EXPECT_FALSE(bad->succeed());
    EXPECT_EQ(service.requests().size(), before);  // nothing was posted
}

TEST(JsonWebRequestDump, MasksSecretsAndIsOffByDefault) {
    plat::UrlRequest request(*plat::Url::parse("http://127.0.0.1:1/service.svc/Login"));
    request.setHttpMethod("POST");
    request.setValueForHttpHeaderField("Token token=\"abc123\"", "Authorization");
    request.setValueForHttpHeaderField("ASP.NET_SessionId=c00k1e", "Cookie");
    request.setHttpBody(std::string_view(
        R"({"username":"somchai","hashedPassword":"deadbeef","optionalParams":[{"Key":"sessionToken","Value":"s3cr3t"},{"Key":"version","Value":"1"}]})"));
    const std::string dump = VnJsonWebRequestDebugDescription(request);
    EXPECT_NE(dump.find(" -H \"Authorization: ***\""), std::string::npos);
    EXPECT_NE(dump.find(" -H \"Cookie: ***\""), std::string::npos) << dump;
    // The body holds the member's own data: only its length shows.
    EXPECT_NE(dump.find(" -B <" + std::to_string(request.httpBody().size()) + " bytes>"),
              std::string::npos)
        << dump;
    for (const char* secret : {"somchai", "abc123", "deadbeef", "s3cr3t", "c00k1e"}) {
        EXPECT_EQ(dump.find(secret), std::string::npos) << secret;
    }
    EXPECT_FALSE(plat::traceEnabled("Webservice"));
}

// A reply longer than the limit fails without being held: at once when its length says so, as
// soon as its bytes pass the limit otherwise.
TEST(JsonWebRequestReplies, RepliesOverTheLimitFailWithoutBeingHeld) {
    const std::string piece(1 << 20, ' ');
    net_test::RawHttpServer server([&](const std::string& head, const std::string&) {
        if (head.find("/Announced") != std::string::npos) {
            return net_test::endlessReply(
                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                    std::to_string(VnJsonWebRequest::kMaxReplyBytes + 1) + "\r\n",
                "{\"d\":1", piece, false);
        }
        return net_test::endlessReply("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n",
                                      "{\"d\":[", piece, true);
    });
    const auto url = *plat::Url::parse(server.url("/service"));
    for (const char* method : {"Announced", "Endless"}) {
        auto request = std::make_shared<VnJsonWebRequest>(url, method, Value());
        Outcome out;
        request->startWithDidFinishBlock(out.block());
        plat::RunLoop::current().runUntil([&] { return out.calls > 0; }, 120);
        ASSERT_EQ(out.calls, 1) << method;
        ASSERT_TRUE(out.result->error()) << method;
        EXPECT_EQ(out.result->error()->code(), plat::NSURLErrorBadServerResponse) << method;
        const plat::Value detail =
            out.result->error()->userInfo()->objectForKey(plat::NSDebugDescriptionErrorKey);
        EXPECT_NE(detail.description().find("larger than"), std::string::npos) << method;
        EXPECT_EQ(VnJsonWebRequest::activeConnectionCount(), 0u);
        EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
        // The announced one was refused at its head: far less than the limit was taken.
        if (std::string(method) == "Announced") {
            EXPECT_LT(server.bytesSent(), VnJsonWebRequest::kMaxReplyBytes / 2);
        }
    }
}

// What replies may become is bounded too: one that would decode past its bound fails with the
// reason, and replies held at once by requests in flight stay within their shared bound.
TEST(JsonWebRequestReplies, RepliesThatGrowOnceDecodedOrTogetherFail) {
    std::string zeros = "{\"d\":[";
    while (zeros.size() < (size_t{12} << 20))
        zeros += "0,";
    zeros += "0]}";
    const std::string piece(1 << 20, ' ');
    net_test::RawHttpServer server([&](const std::string& head, const std::string&) {
        if (head.find("/Zeros") != std::string::npos)
            return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok(zeros)};
        return net_test::endlessReply("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n",
                                      "{\"d\":[", piece, true);
    });
    const auto url = *plat::Url::parse(server.url("/service"));
    const auto detailOf = [](const Outcome& out) {
        const plat::Value detail =
            out.result->error()->userInfo()->objectForKey(plat::NSDebugDescriptionErrorKey);
        return detail.description();
    };

    auto request = std::make_shared<VnJsonWebRequest>(url, "Zeros", Value());
    Outcome decoded;
    request->startWithDidFinishBlock(decoded.block());
    plat::RunLoop::current().runUntil([&] { return decoded.calls > 0; }, 120);
    ASSERT_EQ(decoded.calls, 1);
    ASSERT_TRUE(decoded.result->error()) << "a reply of 12 MB of zeros was taken";
    EXPECT_EQ(decoded.result->error()->code(), plat::NSURLErrorBadServerResponse);
    EXPECT_NE(detailOf(decoded).find("once decoded"), std::string::npos) << detailOf(decoded);

    // Three endless replies: together they reach the shared bound before any reaches its own.
    std::vector<Outcome> outcomes(3);
    std::vector<Ref<VnJsonWebRequest>> requests;
    for (auto& out : outcomes) {
        requests.push_back(std::make_shared<VnJsonWebRequest>(url, "Endless", Value()));
        requests.back()->startWithDidFinishBlock(out.block());
    }
    plat::RunLoop::current().runUntil(
        [&] {
            return std::all_of(outcomes.begin(), outcomes.end(),
                               [](const Outcome& out) { return out.calls > 0; });
        },
        240);
    size_t together = 0;
    for (const auto& out : outcomes) {
        ASSERT_EQ(out.calls, 1);
        ASSERT_TRUE(out.result->error());
        together += detailOf(out).find("replies in flight") != std::string::npos;
    }
    EXPECT_GE(together, 1U);
    EXPECT_EQ(VnJsonWebRequest::replyBytesHeld(), 0U);
    EXPECT_EQ(VnJsonWebRequest::activeConnectionCount(), 0U);
}
