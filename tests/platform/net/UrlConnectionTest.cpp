#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "demo-service/DemoService.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetTestSupport.h"
#include "platform/net/RawCapture.h"
#include "support/ChildProcess.h"
#include "support/net/HostileReplies.h"

using demo::Fault;
using demo::FaultKind;
using demo::Json;
using net_test::load;
using net_test::postRequest;
using net_test::prepare;
using net_test::runUntilDone;
using net_test::spin;
using plat::UrlRequest;
using Events = std::vector<std::string>;

namespace {

class UrlConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::HttpCookieStorage::shared().removeAllCookies();
        service.addMethod("Echo", [](const Json& body, demo::Session&) { return body; });
        service.addMethod(
            "Big", [](const Json&, demo::Session&) { return Json(std::string(300000, 'x')); });
        service.addMethod("Whoami", [](const Json&, demo::Session& session) {
            return session.valid() ? Json(session.id) : Json(nullptr);
        });
        ASSERT_TRUE(service.start());
    }

    std::string method(const std::string& name) const { return service.serviceUrl() + "/" + name; }
    UrlRequest echo(const std::string& body = "[1]") const {
        return postRequest(method("Echo"), body);
    }

    demo::DemoService service;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_F(UrlConnectionTest, DeliversResponseChunksAndFinishOnTheSchedulingLoop) {
    auto loading = prepare(postRequest(method("Big"), "{}"));
    loading.connection->start();
    EXPECT_TRUE(loading.recorder->events.empty());  // never inside start()
    ASSERT_TRUE(runUntilDone(*loading.recorder));

    const auto& r = *loading.recorder;
    EXPECT_EQ(r.events, (Events{"response 200", "data", "finish"}));
    EXPECT_GT(r.chunks, 1u);
    EXPECT_EQ(Json::parse(r.body)["d"].get<std::string>().size(), 300000u);
    EXPECT_EQ(r.response->expectedContentLength(), static_cast<int64_t>(r.body.size()));
    EXPECT_EQ(r.response->mimeType(), "application/json");
    EXPECT_EQ(r.response->textEncodingName(), "utf-8");
    EXPECT_EQ(r.response->url(), loading.connection->originalRequest().url());
    for (const auto& mode : r.modes)
        EXPECT_EQ(mode, plat::kDefaultRunLoopMode);
}

TEST_F(UrlConnectionTest, DeliversOnlyInTheScheduledModes) {
    auto common = prepare(echo(), plat::commonModes());
    auto plain = prepare(echo(), plat::defaultModes());
    auto both = prepare(echo());
    both.connection->scheduleInRunLoop(plat::RunLoop::current(), plat::kModalPanelRunLoopMode);
    for (auto* l : {&common, &plain, &both})
        l->connection->start();

    ASSERT_TRUE(runUntilDone(*common.recorder, 10, plat::kModalPanelRunLoopMode));
    ASSERT_TRUE(runUntilDone(*both.recorder, 10, plat::kModalPanelRunLoopMode));
    spin(0.1, plat::kModalPanelRunLoopMode);
    EXPECT_TRUE(plain.recorder->events.empty());
    for (const auto& mode : common.recorder->modes)
        EXPECT_EQ(mode, plat::kModalPanelRunLoopMode);

    ASSERT_TRUE(runUntilDone(*plain.recorder));
    EXPECT_EQ(plain.recorder->events, (Events{"response 200", "data", "finish"}));
    EXPECT_EQ(plain.recorder->body, R"({"d":[1]})");
}

TEST_F(UrlConnectionTest, CancelBeforeStartSendsAndDeliversNothing) {
    auto loading = prepare(echo());
    loading.connection->cancel();
    loading.connection->start();
    spin(0.1);
    EXPECT_TRUE(loading.recorder->events.empty());
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(UrlConnectionTest, CancelInACallbackDropsWhatIsAlreadyQueued) {
    // Cancelled at the first chunk of a long body.
    auto big = prepare(postRequest(method("Big"), "{}"));
    big.recorder->onData = [](plat::UrlConnection& c) { c.cancel(); };
    big.connection->start();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return big.recorder->chunks > 0; }, 10));
    spin(0.1);
    EXPECT_EQ(big.recorder->events, (Events{"response 200", "data"}));
    EXPECT_EQ(big.recorder->chunks, 1u);

    // Cancelled at the response, when data and finish have most likely been posted already.
    auto small = prepare(echo());
    small.recorder->onResponse = [](plat::UrlConnection& c) { c.cancel(); };
    small.connection->start();
    ASSERT_TRUE(plat::RunLoop::current().runUntil(
        [&] { return small.recorder->response.has_value(); }, 10));
    spin(0.1);
    EXPECT_EQ(small.recorder->events, (Events{"response 200"}));
    EXPECT_TRUE(small.connection->isCancelled());
}

TEST_F(UrlConnectionTest, IdleTimeOutFailsWithTimedOut) {
    service.setFaultForNext(1, Fault::stall(5));
    const auto start = std::chrono::steady_clock::now();
    auto r = load(postRequest(method("Echo"), "[1]", /*timeout=*/0.5));
    const double elapsed = secondsSince(start);
    service.releaseStalled();

    EXPECT_EQ(r->events, (Events{"fail -1001"}));
    ASSERT_TRUE(r->error);
    EXPECT_EQ(r->error->domain(), plat::NSURLErrorDomain);
    EXPECT_EQ(r->error->localizedDescription(), "The request timed out.");
    EXPECT_GE(elapsed, 0.45);
    EXPECT_LT(elapsed, 3.0);
}

TEST_F(UrlConnectionTest, ASlowButSteadyReplyDoesNotTimeOut) {
    // About 1.3 s in all, but never more than 0.1 s without a byte: the time-out is for idleness,
    // with room for a busy machine. However the bytes are read (one at a time, or several at
    // once on a busy machine), the reply arrives whole, though the whole takes longer than the
    // time-out.
    constexpr double kTimeout = 0.8;
    service.setFaultForNext(1, Fault::drip(0.1));
    const auto start = std::chrono::steady_clock::now();
    auto r = load(postRequest(method("Echo"), R"(["0123"])", kTimeout));
    const double elapsed = secondsSince(start);
    EXPECT_EQ(r->events, (Events{"response 200", "data", "finish"}));
    EXPECT_FALSE(r->error) << r->error->localizedDescription();
    EXPECT_EQ(r->body, R"({"d":["0123"]})");
    EXPECT_GT(elapsed, kTimeout) << "the reply came quicker than the time-out: nothing was shown";
}

TEST_F(UrlConnectionTest, ATransferWaitsForItsLoopWithoutTimingOut) {
    const int64_t size = 32 << 20;
    service.addGeneratedFile("/big", size, 9);
    // 10 s become 500 ms: well above what a busy machine keeps a thread from running, so only
    // the loop's pause, four times as long, could be taken for idleness.
    plat::UrlConnection::setTimeoutScaleForTesting(0.05);
    auto loading = prepare(UrlRequest(net_test::url(service.baseUrl() + "/big"),
                                      UrlRequest::CachePolicy::UseProtocolCachePolicy, 10));
    loading.connection->start();
    // The loop does not run: about 1 MiB comes, and then the transfer waits for the loop.
    const auto filled = [&] { return loading.connection->undeliveredByteCount() >= (1u << 20); };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!filled() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // between two looks
    if (!filled()) {
        plat::UrlConnection::setTimeoutScaleForTesting(1);
        FAIL() << "the transfer did not fill its window";
    }
    // Held there for four times its time-out: waiting for the loop is not idleness, and no more
    // comes meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_LE(loading.connection->undeliveredByteCount(), size_t{(1 << 20) + (256 << 10)});
    const bool done = runUntilDone(*loading.recorder, 60);
    plat::UrlConnection::setTimeoutScaleForTesting(1);
    ASSERT_TRUE(done);
    ASSERT_EQ(loading.recorder->events.back(), "finish");
    ASSERT_EQ(static_cast<int64_t>(loading.recorder->body.size()), size);
    for (int64_t i = 0; i < size; i += 4099) {
        ASSERT_EQ(static_cast<uint8_t>(loading.recorder->body[static_cast<size_t>(i)]),
                  demo::DemoService::generatedByte(i, 9))
            << i;
    }
}

TEST_F(UrlConnectionTest, RefusedConnectionFailsWithCannotConnect) {
    demo::DemoService closed;
    ASSERT_TRUE(closed.start());
    const std::string target = closed.serviceUrl() + "/Echo";
    closed.stop();

    auto r = load(postRequest(target, "[1]"));
    EXPECT_EQ(r->events, (Events{"fail -1004"}));
    EXPECT_EQ(r->error->localizedDescription(), "Could not connect to the server.");
    EXPECT_EQ(r->error->userInfo()->objectForKey(plat::NSURLErrorFailingURLStringErrorKey),
              plat::Value(target));
}

TEST_F(UrlConnectionTest, UnusableUrlsFailOnALaterTurn) {
    auto ftp = prepare(UrlRequest(net_test::url("ftp://127.0.0.1/file")));
    auto none = prepare(UrlRequest(plat::Url()));
    ftp.connection->start();
    none.connection->start();
    EXPECT_TRUE(ftp.recorder->events.empty());
    ASSERT_TRUE(runUntilDone(*ftp.recorder));
    ASSERT_TRUE(runUntilDone(*none.recorder));
    EXPECT_EQ(ftp.recorder->events, (Events{"fail -1002"}));
    EXPECT_EQ(none.recorder->events, (Events{"fail -1000"}));
}

TEST_F(UrlConnectionTest, RedirectIsReportedThenFollowedWithMethodAndBody) {
    service.setFault("Echo", Fault::redirect());
    auto r = load(echo("[5]"));

    EXPECT_EQ(r->events, (Events{"redirect 307", "response 200", "data", "finish"}));
    const std::string moved = service.baseUrl() + "/moved/service.svc/Echo";
    ASSERT_EQ(r->redirectRequests.size(), 1u);
    EXPECT_EQ(r->redirectRequests[0].url().absoluteString(), moved);
    EXPECT_EQ(r->redirectRequests[0].httpMethod(), "POST");
    EXPECT_EQ(r->redirectRequests[0].httpBody(), plat::Bytes({'[', '5', ']'}));
    EXPECT_EQ(r->redirectResponses[0].valueForHttpHeaderField("Location"),
              "/moved/service.svc/Echo");
    EXPECT_EQ(r->response->url().absoluteString(), moved);
    EXPECT_EQ(r->body, R"({"d":[5]})");

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].body, "[5]");
}

TEST_F(UrlConnectionTest, SeeOtherBecomesAGetWithoutBody) {
    service.addFile("/files/r.txt", "moved here", "text/plain");
    service.setFault("Echo", Fault::redirect("/files/r.txt", 303));
    auto r = load(echo("[5]"));

    EXPECT_EQ(r->events, (Events{"redirect 303", "response 200", "data", "finish"}));
    EXPECT_EQ(r->redirectRequests[0].httpMethod(), "GET");
    EXPECT_TRUE(r->redirectRequests[0].httpBody().empty());
    EXPECT_FALSE(r->redirectRequests[0].valueForHttpHeaderField("Content-Type"));
    EXPECT_EQ(r->body, "moved here");
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_FALSE(requests[1].hasHeader("Content-Type"));
    EXPECT_EQ(requests[1].body, "");
}

TEST_F(UrlConnectionTest, TheDelegateDecidesWhatFollowsARedirect) {
    service.setFault("Echo", Fault::redirect());
    // Refused: the redirect response is the answer.
    auto refused = prepare(echo());
    refused.recorder->onRedirect = [](const UrlRequest&) { return std::nullopt; };
    refused.connection->start();
    ASSERT_TRUE(runUntilDone(*refused.recorder));
    EXPECT_EQ(refused.recorder->events, (Events{"redirect 307", "response 307", "data", "finish"}));
    EXPECT_EQ(refused.recorder->body, "<html><body>Moved</body></html>");
    EXPECT_EQ(service.requests().size(), 1u);

    // Answered with another request: that one is sent.
    auto elsewhere = prepare(echo());
    elsewhere.recorder->onRedirect = [this](const UrlRequest&) {
        return std::optional<UrlRequest>(postRequest(method("Whoami"), "{}"));
    };
    elsewhere.connection->start();
    ASSERT_TRUE(runUntilDone(*elsewhere.recorder));
    EXPECT_EQ(elsewhere.recorder->body, R"({"d":null})");
    EXPECT_EQ(elsewhere.connection->currentRequest().url().absoluteString(), method("Whoami"));
}

TEST_F(UrlConnectionTest, StopsAfterSixteenRedirects) {
    service.setFault("Echo", Fault::redirect("/service.svc/Echo"));
    auto r = load(echo());
    ASSERT_EQ(r->events.size(), 17u);
    EXPECT_EQ(r->events.back(), "fail -1007");
    EXPECT_EQ(service.requests().size(), 17u);
}

TEST_F(UrlConnectionTest, ErrorStatusesAreOrdinaryResponses) {
    service.setFault("Echo", {FaultKind::ServerError});
    auto r = load(echo());
    EXPECT_EQ(r->events, (Events{"response 500", "data", "finish"}));
    EXPECT_FALSE(r->error);
    EXPECT_TRUE(Json::parse(r->body).contains("Message"));
}

TEST_F(UrlConnectionTest, ADroppedConnectionFailsAsLost) {
    service.setFault("Big", {FaultKind::Drop});
    auto r = load(postRequest(method("Big"), "{}"));
    ASSERT_FALSE(r->events.empty());
    EXPECT_EQ(r->events.front(), "response 200");
    EXPECT_EQ(r->events.back(), "fail -1005");
}

TEST_F(UrlConnectionTest, CookiesSetByOneRequestAreSentByTheNext) {
    auto opened = load(postRequest(method("RequestSessionID"), "{}"));
    const std::string id = Json::parse(opened->body)["d"];
    const auto stored = plat::HttpCookieStorage::shared().cookiesForURL(net_test::url(method("X")));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, demo::DemoService::kSessionCookieName);
    EXPECT_TRUE(stored[0].httpOnly);

    EXPECT_EQ(load(postRequest(method("Whoami"), "{}"))->body, R"({"d":")" + id + R"("})");
    EXPECT_NE(service.requests().back().header("Cookie").find(id), std::string::npos);

    auto withoutCookies = postRequest(method("Whoami"), "{}");
    withoutCookies.setHttpShouldHandleCookies(false);
    EXPECT_EQ(load(withoutCookies)->body, R"({"d":null})");
    EXPECT_FALSE(service.requests().back().hasHeader("Cookie"));

    // Nor are cookies kept from such a request.
    plat::HttpCookieStorage::shared().removeAllCookies();
    auto anonymous = postRequest(method("RequestSessionID"), "{}");
    anonymous.setHttpShouldHandleCookies(false);
    load(anonymous);
    EXPECT_TRUE(plat::HttpCookieStorage::shared().cookies().empty());
}

TEST_F(UrlConnectionTest, SendsTheRequestsFieldsInOrderAndNothingItDidNotAskFor) {
    net_test::RawCapture capture;
    auto request = postRequest(capture.url("/service.svc/Echo"), "[12]");
    request.setValueForHttpHeaderField("application/json", "Accept");
    request.setValueForHttpHeaderField("999", "Content-Length");  // the body decides
    request.setValueForHttpHeaderField("a\r\nX-Injected: 1", "X-Note");
    request.setValueForHttpHeaderField("text/json", "content-type");  // replaces, in place
    auto r = load(request);
    EXPECT_EQ(r->events, (Events{"response 204", "finish"}));
    const std::string head = capture.head();
    const auto at = [&](const std::string& line) { return head.find("\r\n" + line + "\r\n"); };
    EXPECT_EQ(head.rfind("POST /service.svc/Echo HTTP/1.1\r\n", 0), 0u) << head;
    ASSERT_NE(at("content-type: text/json"), std::string::npos) << head;
    ASSERT_NE(at("Accept: application/json"), std::string::npos) << head;
    EXPECT_LT(at("content-type: text/json"), at("Accept: application/json"));
    EXPECT_NE(at("Content-Length: 4"), std::string::npos) << head;
    EXPECT_NE(at("X-Note: a  X-Injected: 1"), std::string::npos) << head;
    for (const char* absent : {"Accept-Encoding", "Expect", "Cookie", "Cache-Control",
                               "\r\nX-Injected", "Content-Length: 999"}) {
        EXPECT_EQ(head.find(absent), std::string::npos) << absent << " in " << head;
    }
}

TEST_F(UrlConnectionTest, AnEmptyAcceptEncodingIsSentEmptyAndUncachedRequestsSayNoCache) {
    net_test::RawCapture capture;
    UrlRequest download(net_test::url(capture.url("/files/a.pdf")),
                        UrlRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData, 15);
    download.setValueForHttpHeaderField("", "Accept-Encoding");
    download.setValueForHttpHeaderField("bytes=100-", "Range");
    load(download);
    const std::string head = capture.head();
    EXPECT_EQ(head.rfind("GET /files/a.pdf HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_NE(head.find("\r\nAccept-Encoding:\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nRange: bytes=100-\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nCache-Control: no-cache\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("Content-Type"), std::string::npos) << head;
}

TEST_F(UrlConnectionTest, ARunningConnectionKeepsItselfAlive) {
    auto loading = prepare(echo());
    loading.connection->start();
    WeakRef<plat::UrlConnection> weak = loading.connection;
    loading.connection.reset();
    ASSERT_TRUE(runUntilDone(*loading.recorder));
    EXPECT_EQ(loading.recorder->events, (Events{"response 200", "data", "finish"}));
    spin(0.05);
    EXPECT_TRUE(weak.expired());
}

TEST_F(UrlConnectionTest, AConnectionWhoseDelegateIsGoneStops) {
    auto loading = prepare(postRequest(method("Big"), "{}"));
    loading.connection->start();
    loading.recorder.reset();
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return loading.connection->isCancelled(); }, 10));
}

namespace {

plat::UrlRequest getRequest(const std::string& target) {
    plat::UrlRequest request(net_test::url(target));
    request.setValueForHttpHeaderField("gzip", "Accept-Encoding");
    return request;
}

}  // namespace

TEST(UrlConnectionReplies, RepliesThatAreNotHttpOrOverflowFailWithTheReason) {
    net_test::RawHttpServer server([](const std::string& head, const std::string&) {
        const std::string path = head.substr(4, head.find(' ', 4) - 4);
        if (path == "/status")
            return net_test::RawHttpServer::Reply{"HTTP/1.1 abc Broken\r\n\r\nbody", true};
        if (path == "/overflow")
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nx", true};
        // A status line and a field longer than libcurl holds.
        if (path == "/long-status")
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 200 " + std::string(300000, 'O') + "\r\nContent-Length: 2\r\n\r\nok",
                true};
        if (path == "/long-field")
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 200 OK\r\nX-Long: " + std::string(300000, 'v') +
                    "\r\nContent-Length: 2\r\n\r\nok",
                true};
        // 300 KiB of short fields: a head longer than any reply needs.
        if (path == "/long-head") {
            std::string head = "HTTP/1.1 200 OK\r\n";
            for (int i = 0; head.size() < 300 * 1024; ++i)
                head += "X-" + std::to_string(i) + ": v\r\n";
            return net_test::RawHttpServer::Reply{head + "Content-Length: 2\r\n\r\nok", true};
        }
        // 200 KB of trailer fields after a short chunked body.
        std::string reply =
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n";
        for (int i = 0; i < 2000; ++i)
            reply += "X-Trailer-" + std::to_string(i) + ": " + std::string(100, 't') + "\r\n";
        return net_test::RawHttpServer::Reply{reply + "\r\n", true};
    });
    for (const char* path :
         {"/status", "/overflow", "/trailers", "/long-status", "/long-field", "/long-head"}) {
        auto r = load(getRequest(server.url(path)));
        ASSERT_TRUE(r->error) << path;
        EXPECT_EQ(r->error->code(), plat::NSURLErrorBadServerResponse) << path;
        const plat::Value detail =
            r->error->userInfo()->objectForKey(plat::NSDebugDescriptionErrorKey);
        ASSERT_TRUE(detail.string()) << path;
        EXPECT_NE(detail.string()->find("reply could not be read"), std::string::npos)
            << *detail.string();
    }
}

// Compressed bodies are decoded whole or fail: one cut short within its Content-Length, one
// corrupt, one in a coding that cannot be read, one with bytes after its member that begin no
// other. Never a shorter success; a gzip body of two members is both.
TEST(UrlConnectionReplies, CompressedBodiesAreWholeOrFail) {
    std::string text;
    for (int i = 0; text.size() < 2'000'000; ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of the catalogue\n";
    const std::string gzip = net_test::compressedWith(text, 31);
    std::string corrupt = gzip;
    for (size_t i = corrupt.size() / 3; i < corrupt.size() / 2; ++i)
        corrupt[i] = static_cast<char>(~corrupt[i]);
    net_test::RawHttpServer server([&](const std::string& head, const std::string&) {
        const std::string path = head.substr(4, head.find(' ', 4) - 4);
        const auto reply = [](const std::string& body, const std::string& coding) {
            return net_test::RawHttpServer::Reply{
                net_test::RawHttpServer::ok(body, "Content-Encoding: " + coding + "\r\n")};
        };
        if (path == "/cut")
            return reply(gzip.substr(0, 5000), "gzip");
        if (path == "/corrupt")
            return reply(corrupt, "gzip");
        if (path == "/zlib")
            return reply(net_test::compressedWith(text, 15), "deflate");
        if (path == "/raw")
            return reply(net_test::compressedWith(text, -15), "deflate");
        if (path == "/brotli")
            return reply("\x0b\x02\x80hi\x03", "br");
        if (path == "/empty")
            return reply("", "gzip");
        // Two members: the text's first half, then its second.
        if (path == "/members")
            return reply(net_test::compressedWith(text.substr(0, text.size() / 2), 31) +
                             net_test::compressedWith(text.substr(text.size() / 2), 31),
                         "gzip");
        if (path == "/garbage")
            return reply(gzip + "not a member", "gzip");
        return reply(gzip, "x-gzip");
    });
    for (const char* path : {"/whole", "/zlib", "/raw", "/members"}) {
        auto r = load(getRequest(server.url(path)));
        EXPECT_FALSE(r->error) << path << ": " << r->error->description();
        EXPECT_TRUE(r->body == text) << path << ": " << r->body.size() << " bytes";
    }
    auto empty = load(getRequest(server.url("/empty")));
    EXPECT_FALSE(empty->error);
    EXPECT_TRUE(empty->body.empty());
    for (const char* path : {"/cut", "/corrupt", "/brotli", "/garbage"}) {
        auto r = load(getRequest(server.url(path)));
        ASSERT_TRUE(r->error) << path << " gave " << r->body.size() << " bytes";
        EXPECT_EQ(r->error->code(), plat::NSURLErrorCannotDecodeContentData) << path;
        EXPECT_EQ(r->events.back(), "fail " + std::to_string(r->error->code())) << path;
    }
}

// A gzip reply that never ends, read by a delegate that keeps nothing: memory stays within the
// connection's pause window however far the reply inflates.
TEST(UrlConnectionReplies, EndlessGzipChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside InflatingRepliesStayWithinThePauseWindow";
    const std::string segment = net_test::zeroDeflateSegment(size_t{16} << 20);
    net_test::RawHttpServer server([&](const std::string& head, const std::string&) {
        const bool chunked = head.find("/chunked") != std::string::npos;
        return net_test::endlessReply("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n",
                                      net_test::gzipHeader(), segment, chunked);
    });
    class Counter : public plat::UrlConnectionDelegate {
      public:
        void didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) override {
            received += data.size();
            if (received >= (uint64_t{512} << 20) && !done) {
                done = true;
                connection.cancel();
            }
        }
        void didFailWithError(plat::UrlConnection&, const Ref<plat::Error>&) override {
            done = true;
        }
        uint64_t received = 0;
        bool done = false;
    };
    for (const char* path : {"/plain", "/chunked"}) {
        auto counter = std::make_shared<Counter>();
        auto connection = plat::UrlConnection::make(getRequest(server.url(path)), counter);
        connection->scheduleInRunLoop(plat::RunLoop::current(), plat::defaultModes());
        connection->start();
        plat::RunLoop::current().runUntil([&] { return counter->done; }, 100);
        EXPECT_GE(counter->received, uint64_t{512} << 20) << path;
    }
}

// A connection still waiting for its reply when the program ends: the network layer lets it go
// with everything it holds (the leak checker of the sanitizer build fails the child otherwise).
TEST(UrlConnectionLife, WaitingAtExitChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside AConnectionStillWaitingAtExitLeavesNothingBehind";
    // A loopback socket that takes connections into its backlog and never answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    auto loading = prepare(getRequest(url));
    loading.connection->start();
    spin(0.3);
    EXPECT_TRUE(loading.recorder->events.empty()) << "still waiting";
}

TEST(UrlConnectionLife, AConnectionStillWaitingAtExitLeavesNothingBehind) {
    const auto run = testing_support::runTestInChild("UrlConnectionLife.WaitingAtExitChild", 60);
    EXPECT_TRUE(run.passed) << "exit " << run.exitStatus << (run.timedOut ? ", timed out" : "");
}

TEST(UrlConnectionReplies, InflatingRepliesStayWithinThePauseWindow) {
    const auto run = testing_support::runTestInChild("UrlConnectionReplies.EndlessGzipChild", 150);
    EXPECT_TRUE(run.passed) << "exit " << run.exitStatus << (run.timedOut ? ", timed out" : "");
    EXPECT_LT(run.peakResidentKb, 100 * 1024 + testing_support::kSanitizerAllowanceKb);
}
