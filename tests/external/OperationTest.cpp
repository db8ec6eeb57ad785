// The operation family end to end: states and their table, cancelling and pausing in every
// state, the HTTP judgement of answers, resuming with a range, credentials, untrusted servers,
// body streams sent again, a body that cannot be written, archiving and copying.
#include <gtest/gtest.h>

#include <atomic>

#include <filesystem>
#include <fstream>

#include "demo-service/DemoAuthentication.h"
#include "demo-service/DemoImages.h"
#include "external/AFImageRequestOperation.h"
#include "platform/net/TextEncoding.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/FileSizeLimit.h"
#include "support/net/RawHttpServer.h"

namespace {

using Op = AFURLConnectionOperation;

class OperationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerAuthenticationPaths(service);
        demo::registerImagePaths(service);
        ASSERT_TRUE(service.start());
        observer = plat::NotificationCenter::defaultCenter().addObserver(
            [this](const plat::Notification& n) {
                if (n.name == AFNetworkingOperationDidStartNotification)
                    events.push_back("start");
                if (n.name == AFNetworkingOperationDidFinishNotification)
                    events.push_back("finish");
            });
    }
    void TearDown() override { plat::NotificationCenter::defaultCenter().removeObserver(observer); }

    plat::UrlRequest request(const std::string& path) {
        return plat::UrlRequest(*plat::Url::parse(service.baseUrl() + path));
    }
    template <class T = AFHTTPRequestOperation>
    Ref<T> operation(const std::string& path) {
        return Op::operationWithRequest<T>(request(path));
    }
    // Runs the main loop until the operation finished and its completion ran.
    template <class Counter>
    void waitFor(const Ref<Op>& op, const Counter& completions) {
        plat::RunLoop::current().runUntil([&] { return op->isFinished() && completions > 0; }, 10);
        plat::RunLoop::current().runUntil([] { return false; }, 0.05);  // late deliveries
    }

    demo::DemoService service;
    plat::NotificationCenter::ObserverId observer = 0;
    std::vector<std::string> events;
};

TEST(OperationStates, TransitionTableAndKeyPaths) {
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Ready, Op::Paused, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Ready, Op::Executing, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(Op::Ready, Op::Ready, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(Op::Ready, Op::Finished, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Ready, Op::Finished, true));
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Executing, Op::Paused, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Executing, Op::Finished, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(Op::Executing, Op::Ready, true));
    for (int16_t to : {-1, 0, 1, 2, 3})
        EXPECT_FALSE(Op::stateTransitionIsValid(Op::Finished, to, true));
    EXPECT_TRUE(Op::stateTransitionIsValid(Op::Paused, Op::Ready, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(Op::Paused, Op::Executing, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(0, Op::Finished, false));
    EXPECT_EQ(Op::keyPathFromOperationState(-1), "isPaused");
    EXPECT_EQ(Op::keyPathFromOperationState(3), "isFinished");
    EXPECT_EQ(Op::keyPathFromOperationState(0), "state");

    auto op = Op::operationWithRequest(plat::UrlRequest(*plat::Url::parse("http://h.test/x")));
    EXPECT_TRUE(op->isReady());
    EXPECT_TRUE(op->isConcurrent());
    op->setState(Op::Finished);  // refused: not cancelled
    EXPECT_EQ(op->state(), Op::Ready);
    op->resume();  // not paused: nothing
    EXPECT_EQ(op->state(), Op::Ready);
    op->pause();  // ready -> paused, nothing else
    EXPECT_TRUE(op->isPaused());
    EXPECT_NE(op->description().find("state: isPaused, cancelled: NO request: "),
              std::string::npos);

    // The HTTP helpers.
    EXPECT_EQ(AFStringFromIndexSet({200, 201, 202, 204, 300, 301}), "200-202,204,300-301");
    EXPECT_EQ(AFStringFromIndexSet(*AFHTTPRequestOperation::acceptableStatusCodes()), "200-299");
    EXPECT_EQ(AFContentTypesFromHTTPHeader("image/png;q=0.8, image/jpeg"),
              (AFContentTypeSet{"image/png", "image/jpeg"}));
    EXPECT_FALSE(AFContentTypesFromHTTPHeader(std::nullopt));
    plat::UrlRequest capitals(*plat::Url::parse("http://h.test/a.PNG"));
    EXPECT_FALSE(AFImageRequestOperation::canProcessRequest(capitals));
    capitals.setValueForHttpHeaderField("image/*", "Accept");
    EXPECT_FALSE(AFImageRequestOperation::canProcessRequest(capitals));
    capitals.setValueForHttpHeaderField("image/png", "Accept");
    EXPECT_TRUE(AFImageRequestOperation::canProcessRequest(capitals));
    EXPECT_TRUE(AFImageRequestOperation::canProcessRequest(
        plat::UrlRequest(*plat::Url::parse("http://h.test/a.jpeg"))));
}

TEST_F(OperationTest, AnswersAreJudgedAndReportedOnceOnTheMainThread) {
    auto queue = plat::OperationQueue::make();
    struct Outcome {
        int completions = 0;  // counted on the main thread
        std::optional<plat::Value> body;
        Ref<plat::Error> error;
        bool onMain = false;
    };
    auto run = [&](const Ref<AFHTTPRequestOperation>& op) {
        Outcome outcome;
        op->setCompletionBlockWithSuccess(
            [&](const Ref<AFHTTPRequestOperation>&, const plat::Value& body) {
                ++outcome.completions;
                outcome.body = body;
                outcome.onMain = plat::RunLoop::isMainThread();
            },
            [&](const Ref<AFHTTPRequestOperation>&, const Ref<plat::Error>& error) {
                ++outcome.completions;
                outcome.error = error;
                outcome.onMain = plat::RunLoop::isMainThread();
            });
        queue->addOperation(op);
        waitFor(op, outcome.completions);
        return outcome;
    };

    auto ok = operation("/images/png/one.png");
    const Outcome good = run(ok);
    EXPECT_EQ(good.completions, 1);
    EXPECT_TRUE(good.onMain);
    ASSERT_TRUE(good.body && good.body->bytes());
    EXPECT_GT(good.body->bytes()->size(), 100U);
    EXPECT_EQ(ok->totalBytesRead(), static_cast<int64_t>(good.body->bytes()->size()));
    EXPECT_EQ(events, (std::vector<std::string>{"start", "finish"}));

    auto missing = operation("/images/missing/x");
    const Outcome notFound = run(missing);
    ASSERT_TRUE(notFound.error);
    EXPECT_EQ(notFound.error->domain(), AFNetworkingErrorDomain);
    EXPECT_EQ(notFound.error->code(), -1011);
    EXPECT_EQ(notFound.error->localizedDescription(), "Expected status code in (200-299), got 404");
    EXPECT_EQ(
        *notFound.error->userInfo()->objectForKey(NSLocalizedRecoverySuggestionErrorKey).string(),
        "no such picture");
    EXPECT_TRUE(missing->responseData());  // the body is kept

    auto webp = operation<AFImageRequestOperation>("/images/webp/w.webp");
    const Outcome wrongType = run(webp);
    ASSERT_TRUE(wrongType.error);
    EXPECT_EQ(wrongType.error->code(), -1016);
    EXPECT_NE(wrongType.error->localizedDescription().find("got image/webp"), std::string::npos);

    // An image type with no body is a success.
    auto empty = operation<AFImageRequestOperation>("/images/empty/e.png");
    EXPECT_FALSE(run(empty).error);
    EXPECT_FALSE(empty->responseImage());

    // text/* without a charset reads as Latin-1; a named charset wins.
    auto text = operation("/images/wrong-type/t");
    run(text);
    EXPECT_EQ(text->responseStringEncoding(), plat::NSISOLatin1StringEncoding);
}

TEST_F(OperationTest, CancellingInEveryStateEndsOnceWithTheCancellationError) {
    auto check = [&](const Ref<AFHTTPRequestOperation>& op, int completions) {
        EXPECT_EQ(completions, 1);
        EXPECT_TRUE(op->isFinished());
        ASSERT_TRUE(op->error());
        EXPECT_EQ(op->error()->domain(), plat::NSURLErrorDomain);
        EXPECT_EQ(op->error()->code(), -999);
        EXPECT_EQ(*op->error()->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey).string(),
                  op->request().url().absoluteString());
    };
    auto queue = plat::OperationQueue::make();

    // Ready: it still passes through executing, makes no connection, and says it started.
    {
        auto op = operation("/images/png/ready.png");
        std::atomic<int> completions{0};  // counted on the operation's thread
        op->setCompletionBlock([&] { ++completions; });
        op->cancel();
        queue->addOperation(op);
        waitFor(op, completions);
        check(op, completions);
        EXPECT_EQ(events, (std::vector<std::string>{"start", "finish"}));
        op->cancel();  // finished: no effect
        plat::RunLoop::current().runUntil([] { return false; }, 0.05);
        EXPECT_EQ(completions, 1);
    }
    // Executing: the connection is dropped.
    {
        service.setFault("/images/png/slow.png", demo::Fault::stall());
        auto op = operation("/images/png/slow.png");
        std::atomic<int> completions{0};  // counted on the operation's thread
        op->setCompletionBlock([&] { ++completions; });
        queue->addOperation(op);
        ASSERT_TRUE(service.waitForStalled(1));
        EXPECT_TRUE(op->isExecuting());
        op->cancel();
        waitFor(op, completions);
        check(op, completions);
        EXPECT_FALSE(op->responseData());
        service.releaseStalled();
    }
    // Paused: the cancellation takes effect when it is resumed.
    {
        auto op = operation("/images/png/paused.png");
        std::atomic<int> completions{0};  // counted on the operation's thread
        op->setCompletionBlock([&] { ++completions; });
        op->pause();
        op->cancel();
        plat::RunLoop::current().runUntil([] { return false; }, 0.05);
        EXPECT_TRUE(op->isPaused());
        EXPECT_EQ(completions, 0);
        op->resume();
        waitFor(op, completions);
        check(op, completions);
    }
}

TEST_F(OperationTest, APauseResumesWithARangeAndTheBodyEndsByteExact) {
    constexpr int64_t kSize = 300 * 1024;
    service.addGeneratedFile("/files/issue.pdf", kSize, 7);
    service.setFault("/files/issue.pdf", demo::Fault::stallAfter(1000));
    auto op = operation("/files/issue.pdf");
    std::atomic<int> completions{0};  // counted on the operation's thread
    op->setCompletionBlock([&] { ++completions; });
    op->start();
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return op->totalBytesRead() == 1000; }, 10));
    op->pause();
    EXPECT_TRUE(op->isPaused());
    EXPECT_EQ(op->request().valueForHttpHeaderField("Range"), "bytes=1000-");
    service.clearFaults();
    service.releaseStalled();
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(completions, 0);
    op->resume();
    waitFor(op, completions);
    ASSERT_FALSE(op->error());
    const auto requests = service.requests();
    ASSERT_GE(requests.size(), 2U);
    EXPECT_EQ(requests.back().header("Range"), "bytes=1000-");
    EXPECT_FALSE(requests.back().header("If-Range").empty());
    const auto data = op->responseData();
    ASSERT_TRUE(data);
    ASSERT_EQ(static_cast<int64_t>(data->size()), kSize);
    for (int64_t i = 0; i < kSize; i += 997)
        ASSERT_EQ((*data)[static_cast<size_t>(i)], demo::DemoService::generatedByte(i, 7)) << i;
    EXPECT_EQ(std::count(events.begin(), events.end(), "finish"), 2);  // the pause, the end
}

TEST_F(OperationTest, CredentialsAndAnUntrustedServerAreAnsweredThroughTheOperation) {
    auto queue = plat::OperationQueue::make();
    int asked = 0;
    auto op = operation("/auth/digest-md5/op");
    op->setAuthenticationChallengeBlock(
        [&](plat::UrlConnection& connection, const plat::UrlAuthenticationChallenge& challenge) {
            ++asked;
            EXPECT_EQ(challenge.protectionSpace.realm, demo::kDemoAuthRealm);
            EXPECT_EQ(challenge.protectionSpace.authenticationMethod,
                      plat::NSURLAuthenticationMethodHTTPDigest);
            plat::UrlCredential credential{demo::kDemoAuthUser,
                                           asked == 1 ? "wrong" : demo::kDemoAuthPassword,
                                           plat::UrlCredential::Persistence::None};
            connection.useCredential(credential, challenge);
        });
    std::atomic<int> completions{0};  // counted on the operation's thread
    op->setCompletionBlock([&] { ++completions; });
    queue->addOperation(op);
    waitFor(op, completions);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(op->error());
    EXPECT_EQ(op->responseString(), "hello reader");

    // Without an answer the 401 is the answer, and the HTTP judgement fails it.
    auto bare = operation("/auth/basic/op");
    completions = 0;
    bare->setCompletionBlock([&] { ++completions; });
    bare->setShouldUseCredentialStorage(false);
    queue->addOperation(bare);
    waitFor(bare, completions);
    ASSERT_TRUE(bare->error());
    EXPECT_EQ(bare->error()->code(), -1011);

    // A self-signed server: refused, unless the operation allows invalid certificates.
    net_test::RawHttpServer tls(
        [](const std::string&, const std::string&) {
            return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok("secret")};
        },
        true);
    for (bool allow : {false, true}) {
        auto secure = Op::operationWithRequest<AFHTTPRequestOperation>(
            plat::UrlRequest(*plat::Url::parse(tls.url("/x"))));
        secure->setAllowsInvalidSSLCertificate(allow);
        completions = 0;
        secure->setCompletionBlock([&] { ++completions; });
        queue->addOperation(secure);
        waitFor(secure, completions);
        if (allow) {
            EXPECT_FALSE(secure->error());
            EXPECT_EQ(secure->responseString(), "secret");
        } else {
            ASSERT_TRUE(secure->error());
            EXPECT_EQ(secure->error()->code(), -1202);
        }
    }
}

TEST_F(OperationTest, AProxyAskingForCredentialsIsAnsweredThroughTheOperation) {
    net_test::RawHttpServer origin([](const std::string&, const std::string&) {
        return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok("past the proxy")};
    });
    auto queue = plat::OperationQueue::make();
    using Scheme = net_test::ForwardProxy::Scheme;
    for (Scheme scheme : {Scheme::Basic, Scheme::Digest}) {
        SCOPED_TRACE(scheme == Scheme::Basic ? "Basic" : "Digest");
        net_test::ForwardProxy proxy("gate", "keeper", scheme);
        testing_support::ScopedEnvironment environment;
        environment.set("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"})
            environment.set(name, std::nullopt);
        const auto url = *plat::Url::parse(origin.url("/p"));

        // The challenge names the proxy's space; the answer goes out to the proxy.
        auto op = Op::operationWithRequest<AFHTTPRequestOperation>(plat::UrlRequest(url));
        std::vector<plat::ProtectionSpace> spaces;
        op->setAuthenticationChallengeBlock(
            [&](plat::UrlConnection& connection, const plat::UrlAuthenticationChallenge& c) {
                spaces.push_back(c.protectionSpace);
                connection.useCredential({"gate", spaces.size() == 1 ? "wrong" : "keeper",
                                          plat::UrlCredential::Persistence::None},
                                         c);
            });
        std::atomic<int> completions{0};
        op->setCompletionBlock([&] { ++completions; });
        queue->addOperation(op);
        waitFor(op, completions);
        EXPECT_FALSE(op->error());
        EXPECT_EQ(op->responseString(), "past the proxy");
        ASSERT_EQ(spaces.size(), 2U);
        EXPECT_TRUE(spaces[0].proxy);
        EXPECT_EQ(spaces[0].host, "127.0.0.1");
        EXPECT_EQ(spaces[0].port, proxy.port());
        EXPECT_EQ(spaces[0].realm, "proxy");
        EXPECT_EQ(spaces[0].authenticationMethod, scheme == Scheme::Basic
                                                      ? plat::NSURLAuthenticationMethodHTTPBasic
                                                      : plat::NSURLAuthenticationMethodHTTPDigest);
        EXPECT_EQ(proxy.challenges(), 2U);
        EXPECT_EQ(proxy.passed(), 1U);

        // The operation's own credential answers the first challenge.
        auto withCredential =
            Op::operationWithRequest<AFHTTPRequestOperation>(plat::UrlRequest(url));
        withCredential->setCredential(
            plat::UrlCredential{"gate", "keeper", plat::UrlCredential::Persistence::None});
        withCredential->setShouldUseCredentialStorage(false);
        completions = 0;
        withCredential->setCompletionBlock([&] { ++completions; });
        queue->addOperation(withCredential);
        waitFor(withCredential, completions);
        EXPECT_EQ(withCredential->responseString(), "past the proxy");
        EXPECT_EQ(proxy.passed(), 2U);

        // Without one the 407 is the answer, and the HTTP judgement fails it.
        auto bare = Op::operationWithRequest<AFHTTPRequestOperation>(plat::UrlRequest(url));
        bare->setShouldUseCredentialStorage(false);
        completions = 0;
        bare->setCompletionBlock([&] { ++completions; });
        queue->addOperation(bare);
        waitFor(bare, completions);
        ASSERT_TRUE(bare->error());
        EXPECT_EQ(bare->error()->code(), -1011);
        EXPECT_EQ(bare->response()->statusCode(), 407);
        EXPECT_EQ(proxy.passed(), 2U);
    }
}

TEST_F(OperationTest, BodyStreamsAreSentAgainAfterARedirectAndAnUnwritableBodyFails) {
    net_test::RawHttpServer server([](const std::string& head, const std::string&) {
        if (head.rfind("POST /first", 0) == 0)
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 307 Again\r\nLocation: /second\r\nContent-Length: 0\r\n\r\n"};
        return net_test::RawHttpServer::Reply{
            net_test::RawHttpServer::ok(std::string(400000, 'b'))};
    });
    plat::UrlRequest post(*plat::Url::parse(server.url("/first")));
    post.setHttpMethod("POST");
    auto op = Op::operationWithRequest<AFHTTPRequestOperation>(post);
    const std::string payload(100000, 'p');
    op->setInputStream(
        plat::InputStream::inputStreamWithData(plat::Bytes(payload.begin(), payload.end())));
    int64_t uploaded = 0;
    op->setUploadProgressBlock([&](int64_t, int64_t total, int64_t) { uploaded = total; });
    std::atomic<int> completions{0};  // counted on the operation's thread
    op->setCompletionBlock([&] { ++completions; });
    op->start();
    waitFor(op, completions);
    ASSERT_FALSE(op->error());
    ASSERT_EQ(server.bodies().size(), 2U);
    EXPECT_EQ(server.bodies()[0], payload);
    EXPECT_EQ(server.bodies()[1], payload);
    EXPECT_EQ(uploaded, 100000);

    // A body file that stops growing fails the operation instead of losing bytes.
    const auto dir =
        std::filesystem::temp_directory_path() / ("af-op-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto get = Op::operationWithRequest<AFHTTPRequestOperation>(
        plat::UrlRequest(*plat::Url::parse(server.url("/body"))));
    get->setOutputStream(plat::OutputStream::outputStreamToFileAtPath(dir / "body", false));
    completions = 0;
    get->setCompletionBlock([&] { ++completions; });
    {
        testing_support::ScopedFileSizeLimit limit(64 * 1024);
        get->start();
        waitFor(get, completions);
    }
    ASSERT_TRUE(get->error());
    EXPECT_FALSE(get->responseData());
    std::filesystem::remove_all(dir);
}

TEST_F(OperationTest, ArchivedOperationsComeBackReadyAndCopiesKeepTheirBlocks) {
    auto op = operation("/images/png/archived.png");
    std::atomic<int> completions{0};  // counted on the operation's thread
    op->setCompletionBlock([&] { ++completions; });
    op->start();
    waitFor(op, completions);
    const auto archive =
        plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(op));
    ASSERT_TRUE(archive);
    const auto back = std::dynamic_pointer_cast<AFHTTPRequestOperation>(
        plat::KeyedUnarchiver::unarchiveObjectWithData(*archive).object());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isReady());
    EXPECT_EQ(back->request().url().absoluteString(), op->request().url().absoluteString());
    EXPECT_EQ(back->responseData(), op->responseData());
    EXPECT_EQ(back->response()->statusCode(), 200);
    EXPECT_EQ(back->totalBytesRead(), op->totalBytesRead());
    // Plain values still archive as before, and junk is refused.
    const auto text = plat::KeyedUnarchiver::unarchiveObjectWithData(
        *plat::KeyedArchiver::archivedDataWithRootObject(plat::Value("text")));
    ASSERT_TRUE(text.string());
    EXPECT_EQ(*text.string(), "text");
    const std::string junk =
        "<?xml version=\"1.0\"?><plist><dict><key>$archiver</key>"
        "<string>VarnelKeyedArchive</string><key>$version</key><integer>1"
        "</integer><key>$top</key><dict><key>root</key><dict><key>$class"
        "</key><string>NoSuchClass</string><key>$values</key><dict/></dict>"
        "</dict></dict></plist>";
    EXPECT_TRUE(plat::KeyedUnarchiver::unarchiveObjectWithData(
                    std::span(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()))
                    .isNil());

    int progress = 0;
    op->setDownloadProgressBlock([&](int64_t, int64_t, int64_t) { ++progress; });
    op->setAllowsInvalidSSLCertificate(true);
    const auto copy = std::dynamic_pointer_cast<AFHTTPRequestOperation>(op->copyWithZone());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isReady());
    EXPECT_TRUE(copy->allowsInvalidSSLCertificate());
    EXPECT_FALSE(copy->response());
    completions = 0;
    copy->setCompletionBlock([&] { ++completions; });
    copy->start();
    waitFor(copy, completions);
    EXPECT_GT(progress, 0);
}

}  // namespace
