// Requests against a loopback server: what queued and synchronous starts send, one report per
// start on the main thread, cancels, redirect restarts, the kept-alive connection table, and
// bodies from memory and files, plain and gzip.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/resource.h>

#include <cmath>
#include <fstream>
#include <numeric>
#include <thread>

#include "external/ASIDataCompressor.h"
#include "external/ASIHTTPRequest.h"
#include "platform/core/KeyValueCoding.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

namespace {

class Listener : public plat::Object {
    PLAT_CLASS(Listener)
  public:
    void started(Ref<plat::Object>) { ++starts; }
    void finished(Ref<plat::Object>) { ++finishes; }
    void failed(Ref<plat::Object> request) {
        ++failures;
        onMain = onMain && plat::RunLoop::isMainThread();
        if (auto r = std::dynamic_pointer_cast<ASIHTTPRequest>(request))
            codes.push_back(r->error() ? r->error()->code() : 0);
    }
    int starts = 0, finishes = 0, failures = 0;
    bool onMain = true;
    std::vector<int64_t> codes;
};

void runFor(double seconds) {
    plat::RunLoop::current().runUntil([] { return false; }, seconds);
}

bool waitFor(const std::function<bool()>& condition, double seconds = 10) {
    return plat::RunLoop::current().runUntil(condition, seconds), condition();
}

class RequestTest : public ::testing::Test {
  protected:
    void SetUp() override { plat::HttpCookieStorage::shared().removeAllCookies(); }
    void TearDown() override {
        for (auto& r : started)
            r->clearDelegatesAndCancel();
        runFor(0.05);
        plat::HttpCookieStorage::shared().removeAllCookies();
    }
    Ref<ASIHTTPRequest> request(const std::string& url) {
        auto r = ASIHTTPRequest::requestWithURL(*plat::Url::parse(url));
        r->setUserAgentString(std::string("VarnelTest/1"));
        started.push_back(r);
        return r;
    }
    std::vector<Ref<ASIHTTPRequest>> started;
    RawHttpServer server{[](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("fine")};
    }};
};

TEST_F(RequestTest, StartsSendTheirHeadersAndEachStartReportsOneFailure) {
    plat::HttpCookieStorage::shared().setCookie({"a", "1", "127.0.0.1"});
    plat::HttpCookieStorage::shared().setCookie({"b", "2", "127.0.0.1"});
    server.hold();  // requests stay unanswered until cancelled
    auto listener = std::make_shared<Listener>();
    auto queueListener = std::make_shared<Listener>();
    int failureBlocks = 0;

    // Queued: a GET with a body goes as POST, with cookies, pre-emptive Basic and gzip asked.
    auto first = request(server.url("/first"));
    first->setDelegate(listener);
    first->setDidStartSelector("started:");
    first->setDidFinishSelector("finished:");
    first->setDidFailSelector("failed:");
    first->setFailedBlock([&] { ++failureBlocks; });
    first->setQueue(queueListener);  // told with its fixed selectors
    first->setUsername(std::string("ann"));
    first->setPassword(std::string("pw"));
    first->setAuthenticationScheme(std::string("Basic"));
    first->appendPostData({'h', 'e', 'l', 'l', 'o'});
    first->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return server.heads().size() == 1; }));
    const std::string head = server.heads()[0];
    EXPECT_EQ(head.rfind("POST /first HTTP/1.1\r\n", 0), 0U) << head;
    for (const char* line : {"Content-Length: 5", "Accept-Encoding: gzip", "Cookie: a=1; b=2",
                             "Authorization: Basic YW5uOnB3", "User-Agent: VarnelTest/1"})
        EXPECT_NE(head.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << line;
    EXPECT_EQ(server.bodies()[0], "hello");
    EXPECT_TRUE(waitFor([&] { return listener->starts == 1; }));
    first->cancel();
    ASSERT_TRUE(waitFor([&] { return listener->failures == 1; }));
    first->cancel();  // nothing more
    runFor(0.2);
    EXPECT_EQ(listener->failures, 1);
    EXPECT_EQ(failureBlocks, 1);
    EXPECT_EQ(queueListener->failures, 1);
    EXPECT_EQ(listener->codes, (std::vector<int64_t>{4}));
    EXPECT_TRUE(listener->onMain);
    EXPECT_TRUE(first->isCancelled());
    EXPECT_TRUE(first->isFinished());
    EXPECT_EQ(listener->finishes, 0);

    // Synchronous: a PUT stays PUT; no gzip asked when turned off; "POST" ends reuse for good.
    auto put = request(server.url("/put"));
    put->setRequestMethod("PUT");
    put->setAllowCompressedResponse(false);
    put->appendPostData({'4', '2'});
    // The cancel ends it, not its time-out, however long a loaded machine takes to get there.
    put->setTimeOutSeconds(120);
    std::thread canceller([&] {
        while (server.heads().size() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        put->cancel();
    });
    put->startSynchronous();
    canceller.join();
    EXPECT_EQ(put->error()->code(), 4);
    const std::string putHead = server.heads()[1];
    EXPECT_EQ(putHead.rfind("PUT /put HTTP/1.1\r\n", 0), 0U);
    EXPECT_NE(putHead.find("\r\nContent-Length: 2\r\n"), std::string::npos);
    EXPECT_EQ(putHead.find("Accept-Encoding"), std::string::npos);
    auto reuse = request(server.url("/"));
    EXPECT_TRUE(reuse->shouldAttemptPersistentConnection());
    reuse->setTag(7);
    reuse->setTimeOutSeconds(30);
    const auto copy = reuse->copyWithZone();
    EXPECT_EQ(copy->tag(), 7);
    EXPECT_EQ(copy->timeOutSeconds(), 30);
    EXPECT_EQ(copy->url(), reuse->url());
    // Its declared properties answer by key.
    EXPECT_EQ(plat::valueForKey(*copy, "tag").intValue(), 7);
    EXPECT_EQ(plat::valueForKey(*copy, "timeOutSeconds").doubleValue(), 30.0);
    EXPECT_EQ(*plat::valueForKey(*copy, "requestMethod").string(), "GET");
    plat::setValueForKey(*copy, plat::Value("POST"), "requestMethod");
    EXPECT_EQ(copy->requestMethod(), "POST");
    reuse->setRequestMethod("POST");
    reuse->setRequestMethod("GET");
    EXPECT_FALSE(reuse->shouldAttemptPersistentConnection());

    // No URL: code 5, reported once; started again, it only finishes.
    auto nowhere = ASIHTTPRequest::requestWithURL(plat::Url());
    auto second = std::make_shared<Listener>();
    nowhere->setDelegate(second);
    nowhere->setDidFailSelector("failed:");
    nowhere->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return second->failures == 1; }));
    EXPECT_EQ(second->codes, (std::vector<int64_t>{5}));
    nowhere->start();
    runFor(0.2);
    EXPECT_EQ(second->failures, 1);
    EXPECT_TRUE(nowhere->isFinished());

    // Cleared delegates hear nothing; a delegate that went away is skipped, the block runs.
    auto quiet = request(server.url("/quiet"));
    auto third = std::make_shared<Listener>();
    quiet->setDelegate(third);
    quiet->setDidFailSelector("failed:");
    quiet->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return server.heads().size() == 3; }));
    quiet->clearDelegatesAndCancel();
    runFor(0.2);
    EXPECT_EQ(third->failures, 0);
    auto orphan = request(server.url("/orphan"));
    int orphanBlocks = 0;
    {
        auto gone = std::make_shared<Listener>();
        orphan->setDelegate(gone);
        orphan->setDidFailSelector("failed:");
    }
    orphan->setFailedBlock([&] { ++orphanBlocks; });
    orphan->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return server.heads().size() == 4; }));
    orphan->cancel();
    EXPECT_TRUE(waitFor([&] { return orphanBlocks == 1; }));
}

TEST_F(RequestTest, FiveRedirectRestartsReachTheServerAndTheSixthFails) {
    auto listener = std::make_shared<Listener>();
    auto moving = request(server.url("/r0"));
    moving->setDelegate(listener);
    moving->setDidFailSelector("failed:");
    moving->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return server.heads().size() == 1; }));
    for (size_t i = 1; i <= 5; ++i) {
        moving->redirectToURL(*plat::Url::parse(server.url("/r" + std::to_string(i))));
        ASSERT_TRUE(waitFor([&] { return server.heads().size() == i + 1; })) << i;
    }
    moving->redirectToURL(*plat::Url::parse(server.url("/r6")));
    ASSERT_TRUE(waitFor([&] { return listener->failures == 1; }));
    EXPECT_EQ(listener->codes, (std::vector<int64_t>{9}));
    EXPECT_EQ(server.heads().size(), 6U);
    EXPECT_EQ(server.heads()[5].rfind("GET /r5 ", 0), 0U);
    EXPECT_EQ(moving->originalURL()->absoluteString(), server.url("/r0"));
}

TEST_F(RequestTest, KeptAliveConnectionsAreMatchedByHostSchemeAndPort) {
    auto idle = [](const Ref<plat::MutableDictionary>& entry, double fromNow) {
        ASIHTTPRequest::threadForRequest(nullptr).performOnThread(
            [&] {
                entry->removeObjectForKey(plat::Value("request"));
                entry->setObject(plat::Value(plat::Date{plat::Date::now().seconds + fromNow}),
                                 "expires");
            },
            true);
    };
    server.hold();  // no attempt ends on its own here
    auto one = request(server.url("/one"));
    auto two = request(server.url("/two"));
    one->startAsynchronous();
    two->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return one->connectionInfo() && two->connectionInfo(); }));
    ASSERT_NE(one->connectionInfo(), two->connectionInfo());
    idle(one->connectionInfo(), 60);
    idle(two->connectionInfo(), 60);

    // Of two idle entries for the same host, scheme and port the later one is taken.
    auto three = request(server.url("/three"));
    three->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return three->connectionInfo() != nullptr; }));
    auto pool = ASIHTTPRequest::persistentConnections();
    const auto later = std::find(pool.begin(), pool.end(), one->connectionInfo()) >
                               std::find(pool.begin(), pool.end(), two->connectionInfo())
                           ? one->connectionInfo()
                           : two->connectionInfo();
    EXPECT_EQ(three->connectionInfo(), later);

    // Idle entries whose time is up leave the table when the next attempt starts, two in a row
    // in one pass.
    idle(one->connectionInfo(), -1);
    idle(two->connectionInfo(), -1);
    auto four = request(server.url("/four"));
    four->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return four->connectionInfo() != nullptr; }));
    const auto table = ASIHTTPRequest::persistentConnections();
    EXPECT_EQ(std::find(table.begin(), table.end(), one->connectionInfo()), table.end());
    EXPECT_EQ(std::find(table.begin(), table.end(), two->connectionInfo()), table.end());
    EXPECT_NE(four->connectionInfo(), one->connectionInfo());
    EXPECT_NE(four->connectionInfo(), two->connectionInfo());

    // No port (0) and port 80 never share; nor do http and https. (The shared queue runs four
    // requests at once: the ones above end first.)
    for (const auto& r : {one, two, three, four})
        r->cancel();
    ASSERT_TRUE(waitFor([&] { return four->isFinished() && three->isFinished(); }));
    auto noPort = request("http://127.0.0.1/p");
    auto port80 = request("http://127.0.0.1:80/p");
    auto secure = request("https://127.0.0.1:" + std::to_string(server.port()) + "/p");
    for (const auto& r : {noPort, port80, secure})
        r->startAsynchronous();
    const bool attached = waitFor([&] {
        return noPort->connectionInfo() && port80->connectionInfo() && secure->connectionInfo();
    });
    ASSERT_TRUE(attached);  // (refused connections fail afterwards; the entries were made)
    // The entries belong to the network thread (failures change them there): read them there.
    int64_t noPortPort = -1, port80Port = -1;
    std::string secureScheme;
    ASIHTTPRequest::threadForRequest(nullptr).performOnThread(
        [&] {
            noPortPort = noPort->connectionInfo()->objectForKey("port").intValue();
            port80Port = port80->connectionInfo()->objectForKey("port").intValue();
            secureScheme = *secure->connectionInfo()->objectForKey("scheme").string();
        },
        true);
    EXPECT_EQ(noPortPort, 0);
    EXPECT_EQ(port80Port, 80);
    EXPECT_NE(secure->connectionInfo(), three->connectionInfo());
    EXPECT_EQ(secureScheme, "https");
}

TEST_F(RequestTest, BodiesArriveIntactPlainOrGzipAndUnwritableBodiesSendNothing) {
    const auto folder = testing_support::freshTestFolder();
    std::string text;
    for (int i = 0; i < 20'000; ++i)
        text += "{\"Code\":\"MG" + std::to_string(i) + "\"},";
    std::ofstream(folder / "part.txt") << text;
    const plat::Bytes bytes(text.begin(), text.end());
    struct Case {
        bool file, gzip;
    };
    size_t expected = 0;
    for (const Case c :
         {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
        SCOPED_TRACE(std::to_string(c.file) + std::to_string(c.gzip));
        auto r = request(server.url("/body"));
        r->setRequestMethod("POST");
        r->setShouldStreamPostDataFromDisk(c.file);
        r->setShouldCompressRequestBody(c.gzip);
        if (c.file)
            r->appendPostDataFromFile(folder / "part.txt");
        else
            r->appendPostData(bytes);
        r->startAsynchronous();
        ++expected;
        ASSERT_TRUE(waitFor([&] { return server.bodies().size() == expected; }));
        const std::string head = server.heads().back();
        const std::string body = server.bodies().back();
        EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(r->postLength(), body.size());
        if (c.gzip) {
            EXPECT_NE(head.find("\r\nContent-Encoding: gzip\r\n"), std::string::npos);
            EXPECT_EQ(
                ASIDataDecompressor::uncompressData(plat::Bytes(body.begin(), body.end()), nullptr),
                bytes);
        } else {
            EXPECT_EQ(body, text);
        }
        r->cancel();
    }

    // A body that cannot be written: code 8 before anything goes out.
    auto broken = request(server.url("/broken"));
    auto listener = std::make_shared<Listener>();
    broken->setDelegate(listener);
    broken->setDidFailSelector("failed:");
    broken->setShouldStreamPostDataFromDisk(true);
    broken->setPostBodyFilePath((folder / "missing" / "body").string());
    broken->appendPostData(bytes);
    broken->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return listener->failures == 1; }));
    EXPECT_EQ(listener->codes, (std::vector<int64_t>{8}));
    runFor(0.1);
    EXPECT_EQ(server.heads().size(), expected);
}

TEST_F(RequestTest, A200MegabyteFileBodyArrivesByteExactWithoutGrowingMemory) {
    constexpr size_t kSize = size_t{200} << 20;
    const auto path = testing_support::freshTestFolder() / "big.bin";
    std::string digest;
    {
        std::ofstream out(path, std::ios::binary);
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
        std::vector<char> chunk(1 << 20);
        for (size_t done = 0; done < kSize; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<char>((done + i) * 2654435761u >> 13);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            EVP_DigestUpdate(context, chunk.data(), chunk.size());
        }
        unsigned char hash[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context, hash, &length);
        EVP_MD_CTX_free(context);
        for (unsigned int i = 0; i < length; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", hash[i]);
            digest += hex;
        }
    }
    RawHttpServer sink([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("")};
    });
    sink.setHashBodies(true);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    auto upload = request(sink.url("/upload"));
    upload->setRequestMethod("PUT");
    upload->setShouldStreamPostDataFromDisk(true);
    upload->setPostBodyFilePath(path.string());
    upload->startAsynchronous();
    ASSERT_TRUE(waitFor([&] { return sink.bodies().size() == 1; }, 120));
    // The sink has the body before the request has read the reply: a request still running when
    // the test ends would keep itself alive.
    ASSERT_TRUE(waitFor([&] { return upload->isFinished(); }, 30));
    EXPECT_EQ(sink.bodies()[0], digest);
    EXPECT_EQ(upload->postLength(), kSize);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024);  // kilobytes
    EXPECT_TRUE(std::filesystem::exists(path));                // the caller's body file stays
}

// What the server had counted at each moment of a transfer (seconds from a fresh throttling
// window), one sample every few milliseconds, and the engine's measurement windows seen
// meanwhile: their ends, and the most the engine had counted in each.
struct Samples {
    std::vector<double> seconds;
    std::vector<uint64_t> counts;
    std::vector<double> windowEnds;  // steady-clock seconds, in order
    std::vector<uint64_t> windowUse;
    void sampleWindow() {
        const auto end = ASIHTTPRequest::bandwidthMeasurementDate();
        const uint64_t used = ASIHTTPRequest::bandwidthUsedInLastSecond();
        if (!end || end != ASIHTTPRequest::bandwidthMeasurementDate())
            return;  // a new window began meanwhile: the next sample sees it
        if (windowEnds.empty() || *end != windowEnds.back()) {
            windowEnds.push_back(*end);
            windowUse.push_back(0);
        }
        windowUse.back() = std::max(windowUse.back(), used);
    }
    // The bytes the engine counted against its windows (at least).
    uint64_t counted() const {
        return std::accumulate(windowUse.begin(), windowUse.end(), uint64_t{0});
    }
    // The most bytes counted beyond what the windows begun by then allow (a window of the budget
    // every second at most), or 0.
    uint64_t mostAhead(uint64_t budget) const {
        uint64_t most = 0;
        for (size_t i = 0; i < counts.size(); ++i) {
            const uint64_t allowed = budget * (static_cast<uint64_t>(seconds[i]) + 1);
            if (counts[i] > allowed)
                most = std::max(most, counts[i] - allowed);
        }
        return most;
    }
    // The most the server counted (its log of counts at moments) within one of the engine's
    // windows, as a share of the budget. A window runs from its start (its end less a second)
    // to the next one's start; a span of two seconds or more between two starts seen may hold
    // as many windows (a start the sampler missed), and gets as many budgets.
    double mostInAWindow(const std::vector<RawHttpServer::Count>& log, uint64_t budget) const {
        auto countBefore = [&](double moment) {
            uint64_t bytes = 0;
            for (const auto& count : log) {
                if (count.seconds >= moment)
                    break;
                bytes = count.bytes;
            }
            return bytes;
        };
        const double last = log.empty() ? 0 : log.back().seconds + 1e-3;
        double most = 0;
        for (size_t i = 0; i < windowEnds.size(); ++i) {
            const double start = windowEnds[i] - 1;
            const double next = i + 1 < windowEnds.size() ? windowEnds[i + 1] - 1 : last;
            if (next <= start)
                continue;
            const double windows = std::max(1.0, std::floor(next - start));
            const auto bytes = static_cast<double>(countBefore(next) - countBefore(start));
            most = std::max(most, bytes / (windows * static_cast<double>(budget)));
        }
        return most;
    }
};

TEST(RequestThrottling, ThrottledTransfersKeepToTheirWindowsWithoutTinyReads) {
    constexpr uint64_t kBudget = 256 * 1024;
    const std::string body(2 * 1024 * 1024, 'w');
    RawHttpServer server([&](const std::string& head, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok(head.rfind("GET", 0) == 0 ? body : "taken")};
    });
    server.setPacedSending(true);
    server.setDiscardBodies(true);
    ASIHTTPRequest::setMaxBandwidthPerSecond(kBudget);
    // Throttling is class-wide: it ends with the test, however the test ends.
    struct Unthrottle {
        ~Unthrottle() { ASIHTTPRequest::setMaxBandwidthPerSecond(0); }
    } unthrottle;
    // Runs the request to its end from a fresh window, sampling what the server counts.
    auto measure = [&](const std::function<uint64_t()>& count, const Ref<ASIHTTPRequest>& r) {
        // The window under way ends first. It holds whatever earlier requests of this process
        // counted, and a test that ran the main loop on a virtual clock may have dated it ahead
        // of the real one: a fresh window starts only once its date has passed.
        const auto windowOver = [] {
            const auto date = ASIHTTPRequest::bandwidthMeasurementDate();
            return !date || *date < plat::RunLoop::main().now();
        };
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!windowOver() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(windowOver()) << "the bandwidth window under way never ended";
        // The clock starts before the fresh window, so that no sample is earlier in it than
        // the engine's own count.
        const auto start = std::chrono::steady_clock::now();
        ASIHTTPRequest::measureBandwidthUsage();
        const uint64_t before = count();
        Samples samples;
        std::atomic<bool> done{false};
        std::thread sampler([&] {
            while (!done) {
                samples.sampleWindow();
                samples.seconds.push_back(
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                        .count());
                samples.counts.push_back(count() - before);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        bool ended = false;
        r->setCompletionBlock([&] { ended = true; });
        r->setFailedBlock([&] { ended = true; });
        r->startAsynchronous();
        plat::RunLoop::current().runUntil([&] { return ended && r->isFinished(); }, 60);
        done = true;
        sampler.join();
        samples.seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        samples.counts.push_back(count() - before);
        r->setCompletionBlock(nullptr);
        r->setFailedBlock(nullptr);
        return samples;
    };

    // Download: the body arrives whole, never a byte at a time, and the server is never let
    // run ahead: at most a fifth of a window's bytes wait in the buffers on the way, so that no
    // window of the engine's, as the server counts it, carries more than 1.2 budgets. (Seconds
    // counted from any other moment may see the end of one window's bytes and the start of the
    // next one's: the windows bound what each of them carries, not any second's.)
    auto download = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/big")));
    std::vector<size_t> reads;
    download->setDataReceivedBlock([&](const plat::Bytes& data) { reads.push_back(data.size()); });
    const Samples sent = measure([&] { return server.bytesSent(); }, download);
    EXPECT_FALSE(download->error());
    EXPECT_EQ(std::accumulate(reads.begin(), reads.end(), size_t{0}), body.size());
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(std::count(reads.begin(), reads.end() - 1, size_t{1}), 0);
    EXPECT_LE(sent.mostAhead(kBudget), kBudget / 5);
    EXPECT_LE(sent.mostInAWindow(server.sentLog(), kBudget), 1.2);
    EXPECT_LE(sent.counted(), body.size());  // each byte spends the window once
    EXPECT_GE(sent.seconds.back(), 7.0);     // eight windows' worth

    // Upload: the body sent keeps to the same windows, and its bytes spend them once (as read
    // from the body, not again as sent), so that it goes at the full rate.
    auto upload = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/up")));
    upload->setRequestMethod("POST");
    upload->appendPostData(plat::Bytes(body.begin(), body.end()));
    const Samples taken = measure([&] { return server.bodyBytesReceived(); }, upload);
    EXPECT_FALSE(upload->error());
    EXPECT_EQ(upload->responseString(), "taken");
    EXPECT_EQ(taken.counts.back(), body.size());
    EXPECT_LE(taken.mostAhead(kBudget), kBudget / 5);
    EXPECT_LE(taken.mostInAWindow(server.receivedLog(), kBudget), 1.2);
    EXPECT_LE(taken.counted(), body.size() + 16);  // and the reply's few bytes
    EXPECT_GE(taken.seconds.back(), 7.0);
}

}  // namespace

PLAT_DEFINE_CLASS(Listener, plat::Object, [](auto& c) {
    c.method("started:", &Listener::started)
        .method("requestStarted:", &Listener::started)
        .method("requestFailed:", &Listener::failed)
        .method("finished:", &Listener::finished)
        .method("failed:", &Listener::failed);
})
