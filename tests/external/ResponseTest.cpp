// Responses: finishing once with the decoded text, redirects and what they keep, keep-alive
// terms, bodies shorter or longer than announced, gzip deferred and on the fly, downloads to a
// file.
#include <gtest/gtest.h>

#include <fstream>

#include "external/ASIDataCompressor.h"
#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/ChildProcess.h"
#include "support/net/HostileReplies.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

namespace {

// Confirms every redirect it is asked about.
class Confirmer : public plat::Object {
    PLAT_CLASS(Confirmer)
  public:
    void willRedirect(Ref<plat::Object> request, plat::Value url) {
        ++asked;
        std::dynamic_pointer_cast<ASIHTTPRequest>(request)->redirectToURL(
            *plat::Url::parse(*url.string()));
    }
    int asked = 0;
};

bool waitForResponse(const std::function<bool()>& condition, double seconds = 10) {
    plat::RunLoop::current().runUntil(condition, seconds);
    return condition();
}

// Runs a request to its end; answers whether it finished (else it failed).
bool run(const Ref<ASIHTTPRequest>& request, double seconds = 10) {
    int finished = 0, failed = 0;
    request->setCompletionBlock([&] { ++finished; });
    request->setFailedBlock([&] { ++failed; });
    request->startAsynchronous();
    waitForResponse([&] { return finished + failed > 0 && request->isFinished(); }, seconds);
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    EXPECT_EQ(finished + failed, 1);
    request->setCompletionBlock(nullptr);
    request->setFailedBlock(nullptr);
    return finished == 1;
}

Ref<ASIHTTPRequest> get(const std::string& url) {
    return ASIHTTPRequest::requestWithURL(*plat::Url::parse(url));
}

std::string gzip(const std::string& text) {
    auto packed = ASIDataCompressor::compressData(plat::Bytes(text.begin(), text.end()), nullptr);
    return std::string(packed->begin(), packed->end());
}

TEST(Response, FinishesOnceWithTheTextAndFollowsRedirectsByTheirRules) {
    // Replies by path: a Thai text in TIS-620, redirects of each kind, and an echo.
    RawHttpServer server([](const std::string& head, const std::string& body) {
        const std::string path = head.substr(
            head.find(' ') + 1, head.find(' ', head.find(' ') + 1) - head.find(' ') - 1);
        auto redirect = [](int status, const std::string& to) {
            return RawHttpServer::Reply{
                "HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: " + to +
                "\r\nSet-Cookie: hop=1; Path=/\r\nContent-Length: 0\r\n\r\n"};
        };
        if (path == "/thai")
            return RawHttpServer::Reply{RawHttpServer::ok(
                "\xCA\xC7\xD1\xCA\xB4\xD5", "Content-Type: text/plain; charset=TIS-620\r\n")};
        if (path == "/302")
            return redirect(302, "echo");  // relative
        if (path == "/307")
            return redirect(307, "/echo");
        if (path.rfind("/307away", 0) == 0)
            return redirect(307, "http://localhost:" +
                                     head.substr(head.find("Host: 127.0.0.1:") + 16,
                                                 head.find("\r\n", head.find("Host:")) -
                                                     head.find("Host: 127.0.0.1:") - 16) +
                                     "/echo");
        return RawHttpServer::Reply{RawHttpServer::ok(head + "|" + body)};
    });
    plat::HttpCookieStorage::shared().removeAllCookies();

    auto thai = get(server.url("/thai"));
    ASSERT_TRUE(run(thai));
    EXPECT_EQ(thai->responseStatusCode(), 200);
    EXPECT_EQ(thai->responseStatusMessage(), "HTTP/1.1 200 OK");
    EXPECT_EQ(thai->responseString(), "สวัสดี");
    EXPECT_EQ(thai->contentLength(), 6U);

    // A POST redirected by 302 becomes a GET without body, keeping User-Agent and Accept; the
    // hop's cookie goes on to the next hop and into the stores.
    auto post = get(server.url("/302"));
    post->setRequestMethod("POST");
    post->addRequestHeader("Accept", "text/plain");
    post->addRequestHeader("X-Extra", "dropped");
    post->setUserAgentString(std::string("VarnelTest/2"));
    post->appendPostData({'a', 'b'});
    ASSERT_TRUE(run(post));
    std::string echoed = *post->responseString();
    EXPECT_EQ(echoed.rfind("GET /echo HTTP/1.1\r\n", 0), 0U) << echoed;
    EXPECT_NE(echoed.find("\r\nAccept: text/plain\r\n"), std::string::npos);
    EXPECT_NE(echoed.find("\r\nUser-Agent: VarnelTest/2\r\n"), std::string::npos);
    EXPECT_NE(echoed.find("\r\nCookie: hop=1\r\n"), std::string::npos);
    EXPECT_EQ(echoed.find("X-Extra"), std::string::npos);
    EXPECT_TRUE(echoed.ends_with("|"));
    EXPECT_EQ(post->url().absoluteString(), server.url("/echo"));
    EXPECT_EQ(post->originalURL()->absoluteString(), server.url("/302"));
    bool inSession = false;
    for (const auto& cookie : ASIHTTPRequest::sessionCookies())
        inSession = inSession || cookie.name == "hop";
    EXPECT_TRUE(inSession);

    // With the RFC 2616 rule a 302 keeps the method; a 303 still becomes GET.
    auto strict = get(server.url("/302"));
    strict->setShouldUseRFC2616RedirectBehaviour(true);
    strict->setRequestMethod("POST");
    strict->appendPostData({'s'});
    ASSERT_TRUE(run(strict));
    EXPECT_EQ(strict->responseString()->rfind("POST /echo HTTP/1.1\r\n", 0), 0U);

    // A delegate that answers the redirect selector confirms it with redirectToURL:.
    auto confirmer = std::make_shared<Confirmer>();
    auto confirmed = get(server.url("/302"));
    confirmed->setDelegate(confirmer);
    ASSERT_TRUE(run(confirmed));
    EXPECT_EQ(confirmer->asked, 1);
    EXPECT_EQ(confirmed->url().absoluteString(), server.url("/echo"));

    // 307 keeps method and body; credentials do not follow it to another host.
    auto kept = get(server.url("/307"));
    kept->setRequestMethod("POST");
    kept->appendPostData({'x', 'y'});
    ASSERT_TRUE(run(kept));
    EXPECT_EQ(kept->responseString()->rfind("POST /echo HTTP/1.1\r\n", 0), 0U);
    EXPECT_TRUE(kept->responseString()->ends_with("|xy"));
    auto away = get(server.url("/307away"));
    away->setRequestMethod("POST");
    away->addRequestHeader("Authorization", "Basic c2VjcmV0");
    away->appendPostData({'z'});
    ASSERT_TRUE(run(away));
    EXPECT_EQ(away->url().host(), "localhost");
    EXPECT_EQ(away->responseString()->find("Authorization"), std::string::npos);
    EXPECT_EQ(away->responseString()->find("hop=1"), std::string::npos);  // 127.0.0.1's cookie
    plat::HttpCookieStorage::shared().removeAllCookies();
    ASIHTTPRequest::setSessionCookies(std::nullopt);
}

TEST(Response, KeepAliveTermsAndBodyLengthsAreReadFromTheHead) {
    struct Case {
        std::string head;
        bool reusable;
        double timeout;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 200 OK\r\nConnection: close\r\nKeep-Alive: timeout=15, max=100\r\n", false, 60},
        {"HTTP/1.0 200 OK\r\n", false, 60},
        {"HTTP/1.1 200 OK\r\nKeep-Alive: timeout=15, max=100\r\n", true, 15},
        {"HTTP/1.1 200 OK\r\nKeep-Alive: max=100, timeout=15\r\n", true, 0},
        {"HTTP/1.1 200 OK\r\nKeep-Alive: timeout=15, max=5\r\n", false, 60},
        {"HTTP/1.1 200 OK\r\n", true, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        RawHttpServer server([&](const std::string&, const std::string&) {
            return RawHttpServer::Reply{c.head + "Content-Length: 0x4\r\n\r\nbody", true};
        });
        auto request = get(server.url("/"));
        ASSERT_TRUE(run(request));
        EXPECT_EQ(request->connectionCanBeReused(), c.reusable);
        EXPECT_EQ(request->persistentConnectionTimeoutSeconds(), c.timeout);
        EXPECT_EQ(request->contentLength(), 4U);  // "0x4": the base-0 rule
    }
}

TEST(Response, BodiesShortLongGzipAndFilesEndRight) {
    const std::string text(100'000, 'g');
    const std::string packed = gzip(text);
    int shortTries = 0;
    RawHttpServer server([&](const std::string& head, const std::string&) {
        const std::string path = head.substr(4, head.find(' ', 4) - 4);
        if (path == "/short") {
            ++shortTries;
            return RawHttpServer::Reply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..",
                                        true};
        }
        if (path == "/long")
            return RawHttpServer::Reply{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfour-and-more",
                                        true};
        if (path == "/nolength")
            return RawHttpServer::Reply{"HTTP/1.1 200 OK\r\n\r\nuntil the end", true};
        if (path == "/gzip")
            return RawHttpServer::Reply{RawHttpServer::ok(packed, "Content-Encoding: gzip\r\n")};
        if (path == "/members")
            return RawHttpServer::Reply{
                RawHttpServer::ok(gzip(text.substr(0, 60'000)) + gzip(text.substr(60'000)),
                                  "Content-Encoding: gzip\r\n")};
        if (path == "/cut")
            return RawHttpServer::Reply{RawHttpServer::ok(packed.substr(0, packed.size() / 2),
                                                          "Content-Encoding: gzip\r\n")};
        return RawHttpServer::Reply{RawHttpServer::ok("file body")};
    });

    auto shortBody = get(server.url("/short"));
    EXPECT_FALSE(run(shortBody));
    EXPECT_EQ(shortBody->error()->code(), 1);
    EXPECT_EQ(shortTries, 2);  // retried once on a new connection

    auto longBody = get(server.url("/long"));
    ASSERT_TRUE(run(longBody));
    EXPECT_EQ(longBody->responseString(), "four");
    auto next = get(server.url("/nolength"));
    ASSERT_TRUE(run(next));
    EXPECT_EQ(next->responseString(), "until the end");
    EXPECT_EQ(next->contentLength(), 13U);

    for (bool onTheFly : {false, true}) {
        auto zipped = get(server.url("/gzip"));
        zipped->setShouldWaitToInflateCompressedResponses(!onTheFly);
        ASSERT_TRUE(run(zipped));
        EXPECT_EQ(zipped->responseString(), text);
        EXPECT_EQ(zipped->totalBytesRead(), packed.size());  // compressed bytes
        // Two members: both, as one body.
        auto members = get(server.url("/members"));
        members->setShouldWaitToInflateCompressedResponses(!onTheFly);
        ASSERT_TRUE(run(members));
        EXPECT_TRUE(members->responseString() == text)
            << members->responseString().value_or("").size();
        auto cut = get(server.url("/cut"));
        cut->setShouldWaitToInflateCompressedResponses(!onTheFly);
        if (onTheFly) {
            EXPECT_FALSE(run(cut));
            EXPECT_EQ(cut->error()->code(), 11);
        } else {
            // Kept compressed in memory: checked whole before the request may finish.
            EXPECT_FALSE(run(cut));
            EXPECT_EQ(cut->error()->code(), 11);
        }
    }

    // A download replaces an old file; nothing temporary is left.
    const auto folder = testing_support::freshTestFolder();
    std::ofstream(folder / "out.txt") << "old content";
    auto download = get(server.url("/file"));
    download->setDownloadDestinationPath((folder / "out.txt").string());
    ASSERT_TRUE(run(download));
    std::ifstream in(folder / "out.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "file body");
    EXPECT_FALSE(download->temporaryFileDownloadPath());
    EXPECT_FALSE(download->rawResponseData());
}

// Hostile bodies: corrupt gzip, an overflowing length, endless bodies and gzip bombs, in memory
// and to files.
RawHttpServer hostileServer() {
    const std::string text(100'000, 'g');
    std::string corrupt = gzip(text);
    for (size_t i = corrupt.size() / 3; i < corrupt.size() / 2; ++i)
        corrupt[i] = static_cast<char>(~corrupt[i]);
    const std::string segment = net_test::zeroDeflateSegment(size_t{16} << 20);
    const std::string sound = gzip(std::string(size_t{16} << 20, '\0'));  // a bomb with its CRC
    return RawHttpServer([corrupt, segment, sound](const std::string& head, const std::string&) {
        const std::string path = head.substr(4, head.find(' ', 4) - 4);
        const std::string gzipField = "Content-Encoding: gzip\r\n";
        if (path == "/corrupt")
            return RawHttpServer::Reply{RawHttpServer::ok(corrupt, gzipField)};
        if (path == "/overflow")
            return RawHttpServer::Reply{
                "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nx", true};
        if (path == "/endless")
            return net_test::endlessReply("HTTP/1.1 200 OK\r\n", "", std::string(65536, 'e'),
                                          false);
        if (path == "/sound-bomb")
            return RawHttpServer::Reply{RawHttpServer::ok(sound, gzipField)};
        if (path == "/bomb")  // 64 MiB from 64 KB
            return RawHttpServer::Reply{
                RawHttpServer::ok(net_test::gzipBomb(segment, 4), gzipField)};
        if (path == "/big-bomb")  // 10 GiB from 10 MB
            return RawHttpServer::Reply{
                RawHttpServer::ok(net_test::gzipBomb(segment, 640), gzipField)};
        const bool chunked = path == "/endless-gzip-chunked";
        return net_test::endlessReply("HTTP/1.1 200 OK\r\n" + gzipField, net_test::gzipHeader(),
                                      segment, chunked);
    });
}

TEST(Response, BrokenOrOverlongBodiesFailWithTheirReason) {
    RawHttpServer server = hostileServer();
    const auto failure = [](const Ref<ASIHTTPRequest>& request) {
        EXPECT_FALSE(run(request)) << request->url().absoluteString();
        return request->error() ? request->error() : plat::Error::make("none", 0);
    };
    // Corrupt gzip: an error, never an empty success, whether inflated as read or kept.
    for (bool wait : {true, false}) {
        auto corrupt = get(server.url("/corrupt"));
        corrupt->setShouldWaitToInflateCompressedResponses(wait);
        EXPECT_EQ(failure(corrupt)->code(), ASICompressionError);
    }
    // A length no body can have.
    auto overflow = failure(get(server.url("/overflow")));
    EXPECT_EQ(overflow->code(), ASIConnectionFailureErrorType);
    const auto underlying =
        overflow->userInfo()->objectForKey("NSUnderlyingError").as<plat::Error>();
    ASSERT_TRUE(underlying);
    EXPECT_NE(underlying->localizedDescription().find("Content-Length"), std::string::npos)
        << underlying->localizedDescription();

    // A body kept in memory stops at the request's limit, raw or inflating, kept compressed too.
    for (const char* path : {"/endless", "/endless-gzip", "/bomb", "/sound-bomb"}) {
        for (bool wait : {true, false}) {
            if (std::string(path) == "/endless-gzip" && wait)
                continue;  // endless compressed bytes: the same as /endless
            auto request = get(server.url(path));
            request->setShouldWaitToInflateCompressedResponses(wait);
            request->setMaxResponseDataSize(1 << 20);
            const auto error = failure(request);
            EXPECT_EQ(error->code(), ASIResponseTooLargeErrorType) << path;
            EXPECT_NE(error->localizedDescription().find("1048576"), std::string::npos);
            // Asked for afterwards, the body is not inflated past the limit either.
            const auto data = request->responseData();
            EXPECT_FALSE(data) << path << ": " << data->size() << " bytes";
        }
    }
    EXPECT_EQ(ASIHTTPRequest::defaultMaxResponseDataSize(), uint64_t{256} << 20);
    EXPECT_EQ(get(server.url("/"))->maxResponseDataSize(), uint64_t{256} << 20);

    // A download to a file streams on, but stops inflating past 1,000:1, and leaves no
    // temporary file behind.
    const auto folder = testing_support::freshTestFolder();
    testing_support::ScopedEnvironment environment;
    environment.set("TMPDIR", (folder / "tmp").string());
    std::filesystem::create_directories(folder / "tmp");
    for (const char* path : {"/endless-gzip", "/endless-gzip-chunked", "/bomb"}) {
        for (bool wait : {true, false}) {
            if (std::string(path) != "/bomb" && wait)
                continue;  // an endless download never ends: nothing to inflate after it
            auto download = get(server.url(path));
            download->setShouldWaitToInflateCompressedResponses(wait);
            download->setDownloadDestinationPath((folder / "bomb.bin").string());
            const auto error = failure(download);
            EXPECT_EQ(error->code(), ASICompressionError) << path;
            EXPECT_NE(error->localizedDescription().find("1000 times"), std::string::npos)
                << error->localizedDescription();
            EXPECT_FALSE(std::filesystem::exists(folder / "bomb.bin"));
            EXPECT_TRUE(std::filesystem::is_empty(folder / "tmp")) << path;
        }
    }
}

// Endless bodies and a 10 MB gzip that inflates to 10 GB, with the default limit.
TEST(Response, EndlessBodiesChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside InMemoryBodiesStayWithinTheirLimit";
    RawHttpServer server = hostileServer();
    for (const char* path : {"/endless", "/endless-gzip-chunked", "/big-bomb"}) {
        auto request = get(server.url(path));
        request->setShouldWaitToInflateCompressedResponses(std::string(path) == "/big-bomb");
        EXPECT_FALSE(run(request, 90));
        ASSERT_TRUE(request->error()) << path;
        EXPECT_EQ(request->error()->code(), ASIResponseTooLargeErrorType) << path;
    }
}

TEST(Response, InMemoryBodiesStayWithinTheirLimit) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "memory is measured without ThreadSanitizer, whose shadow dwarfs it";
#endif
    const auto run = testing_support::runTestInChild("Response.EndlessBodiesChild", 120);
    EXPECT_TRUE(run.passed) << "exit " << run.exitStatus << (run.timedOut ? ", timed out" : "");
    EXPECT_LT(run.peakResidentKb, 400 * 1024 + testing_support::kSanitizerAllowanceKb);
}

// A cache that answers every request from memory.
class MemoryCache : public ASICacheDelegate {
  public:
    int32_t defaultCachePolicy() override { return 4; }
    bool canUseCachedDataForRequest(ASIHTTPRequest&) override { return true; }
    bool isCachedDataCurrentForRequest(ASIHTTPRequest&) override { return true; }
    void storeResponseForRequest(ASIHTTPRequest&, double) override { ++stores; }
    void updateExpiryForRequest(ASIHTTPRequest&, double) override {}
    Ref<plat::Dictionary> cachedResponseHeadersForURL(const plat::Url&) override {
        auto headers = plat::MutableDictionary::make();
        headers->setObject(plat::Value("200"), "X-ASIHTTPRequest-Response-Status-Code");
        headers->setObject(plat::Value("5"), "Content-Length");
        headers->setObject(plat::Value("text/plain; charset=utf-8"), "Content-Type");
        return headers;
    }
    std::optional<plat::Bytes> cachedResponseDataForURL(const plat::Url&) override {
        return plat::Bytes{'c', 'a', 'c', 'h', 'e'};
    }
    std::optional<std::filesystem::path> pathToCachedResponseDataForURL(const plat::Url&) override {
        return std::filesystem::path("/cached/body");
    }
    std::optional<std::filesystem::path> pathToCachedResponseHeadersForURL(
        const plat::Url&) override {
        return std::filesystem::path("/cached/headers");
    }
    void removeCachedDataForURL(const plat::Url&) override {}
    void removeCachedDataForRequest(ASIHTTPRequest&) override {}
    void clearCachedResponsesForStoragePolicy(int32_t) override {}
    int stores = 0;
};

TEST(Response, CachedAnswersNeedNoServerAndDataReceiversKeepNothing) {
    auto cache = std::make_shared<MemoryCache>();
    auto cached =
        ASIHTTPRequest::requestWithURL(*plat::Url::parse("http://127.0.0.1:1/nowhere"), cache);
    ASSERT_TRUE(run(cached));
    EXPECT_TRUE(cached->didUseCachedResponse());
    EXPECT_EQ(cached->responseStatusCode(), 200);
    EXPECT_EQ(cached->responseString(), "cache");
    EXPECT_EQ(cached->cachePolicy(), 4);  // the cache's default for a policy of 0
    EXPECT_EQ(cache->stores, 0);

    RawHttpServer server([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("handed over")};
    });
    auto taken = get(server.url("/data"));
    std::string received;
    taken->setDataReceivedBlock(
        [&](const plat::Bytes& data) { received.append(data.begin(), data.end()); });
    ASSERT_TRUE(run(taken));
    EXPECT_EQ(received, "handed over");
    EXPECT_TRUE(taken->rawResponseData().value_or(plat::Bytes{}).empty());
}

TEST(Response, RefusedCertificatesFailAsConnectionFailuresThatSayWhy) {
    using Certificate = RawHttpServer::Certificate;
    for (const auto kind : {Certificate::Current, Certificate::Expired, Certificate::OtherHost}) {
        SCOPED_TRACE(static_cast<int>(kind));
        RawHttpServer server(
            [](const std::string&, const std::string&) {
                return RawHttpServer::Reply{RawHttpServer::ok("secret")};
            },
            true, kind);
        const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/";
        auto refused = get(url);
        ASSERT_FALSE(run(refused));
        const auto error = refused->error();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 1);
        const std::string text = error->localizedDescription();
        const std::string fixed =
            "A connection failure occurred: SSL problem (Possible causes may include a "
            "bad/expired/self-signed certificate, clock set to wrong date)";
        EXPECT_EQ(text, fixed);
        // The TLS layer's own account of the refusal is the underlying error.
        auto underlying = error->userInfo()->objectForKey("NSUnderlyingError").as<plat::Error>();
        ASSERT_TRUE(underlying);
        EXPECT_GE(underlying->code(), -9818);
        EXPECT_LE(underlying->code(), -9800);
        EXPECT_FALSE(underlying->localizedDescription().empty());
        EXPECT_TRUE(refused->responseString().value_or("").empty());

        // Told not to check, the same server is read.
        auto trusting = get(url);
        trusting->setValidatesSecureCertificate(false);
        ASSERT_TRUE(run(trusting));
        EXPECT_EQ(trusting->responseString(), "secret");
    }
}

}  // namespace

PLAT_DEFINE_CLASS(Confirmer, plat::Object,
                  [](auto& c) { c.method("request:willRedirectToURL:", &Confirmer::willRedirect); })
