// Requests find their proxy through an auto-configuration script fetched over HTTP or read
// from a file, or skip discovery when they name one.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "external/ASIHTTPRequest.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

// Answers a proxy's challenge with the passwords given, in turn; with none left it gives up.
// While `deferred` it answers nothing (the request must wait for it).
class ProxyAsker : public plat::Object {
    PLAT_CLASS(ProxyAsker)
  public:
    void proxyAuthenticationNeeded(Ref<plat::Object> request) {
        ++asked;
        pending = std::dynamic_pointer_cast<ASIHTTPRequest>(request);
        if (!deferred)
            answer();
    }
    void answer() {
        auto r = std::exchange(pending, nullptr);
        if (!r)
            return;
        if (passwords.empty()) {
            r->cancelAuthentication();
            return;
        }
        r->setProxyUsername(std::string("gate"));
        r->setProxyPassword(passwords.front());
        passwords.erase(passwords.begin());
        r->retryUsingSuppliedCredentials();
    }
    std::vector<std::string> passwords;
    bool deferred = false;
    int asked = 0;
    Ref<ASIHTTPRequest> pending;
};

namespace {

std::optional<std::string> runThroughProxy(const Ref<ASIHTTPRequest>& r) {
    bool done = false;
    r->setCompletionBlock([&] { done = true; });
    r->setFailedBlock([&] { done = true; });
    r->startAsynchronous();
    plat::RunLoop::current().runUntil([&] { return done && r->isFinished(); }, 10);
    r->setCompletionBlock(nullptr);
    r->setFailedBlock(nullptr);
    return r->error() ? std::nullopt : r->responseString();
}

TEST(RequestProxies, ScriptsOverHttpOrFromFilesChooseTheProxy) {
    RawHttpServer origin([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("from the origin")};
    });
    net_test::ForwardProxy proxy;
    const std::string script =
        "// r\xE9seau (Latin-1)\nfunction FindProxyForURL(url, host) {\n"
        "  return 'PROXY 127.0.0.1:" +
        std::to_string(proxy.port()) + "; DIRECT';\n}\n";
    RawHttpServer pac([&](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok(script)};
    });

    // A script fetched over HTTP by a request of its own.
    auto fetched = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/a")));
    fetched->setPACurl(plat::Url::parse(pac.url("/proxy.pac")));
    EXPECT_EQ(runThroughProxy(fetched), "from the origin");
    EXPECT_EQ(fetched->proxyHost(), "127.0.0.1");
    EXPECT_EQ(fetched->proxyPort(), proxy.port());
    ASSERT_EQ(proxy.requestLines().size(), 1U);
    EXPECT_EQ(proxy.requestLines()[0], "GET " + origin.url("/a") + " HTTP/1.1");

    // The same script from a file (not valid UTF-8: read as Latin-1).
    const auto path = testing_support::freshTestFolder() / "proxy.pac";
    std::ofstream(path, std::ios::binary) << script;
    auto local = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/b")));
    local->setPACurl(plat::Url::parse("file://" + path.string()));
    EXPECT_EQ(runThroughProxy(local), "from the origin");
    EXPECT_EQ(proxy.requestLines().size(), 2U);

    // A script URL of another scheme: straight to the origin.
    auto ftp = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/c")));
    ftp->setPACurl(plat::Url::parse("ftp://127.0.0.1/proxy.pac"));
    EXPECT_EQ(runThroughProxy(ftp), "from the origin");
    EXPECT_FALSE(ftp->proxyHost());

    // A request that names a port skips discovery altogether.
    auto named = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/d")));
    named->setProxyPort(9);
    named->setPACurl(plat::Url::parse(pac.url("/proxy.pac")));
    EXPECT_EQ(runThroughProxy(named), "from the origin");
    EXPECT_EQ(pac.heads().size(), 1U);  // fetched once, for the first request only
    EXPECT_EQ(proxy.requestLines().size(), 2U);
}

TEST(RequestProxies, ScriptsChoosePerHostBadScriptsGoDirectAndAFullQueueStillFetchesThem) {
    RawHttpServer origin([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("from the origin")};
    });
    net_test::ForwardProxy proxy;
    const std::string script =
        "function FindProxyForURL(url, host) {\n"
        "  if (host == 'localhost') return 'DIRECT';\n"
        "  return 'PROXY 127.0.0.1:" +
        std::to_string(proxy.port()) + "';\n}\n";
    RawHttpServer pac([&](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok(script)};
    });
    auto withScript = [&](const std::string& url, const std::string& pacUrl) {
        auto r = ASIHTTPRequest::requestWithURL(*plat::Url::parse(url));
        r->setPACurl(plat::Url::parse(pacUrl));
        return r;
    };

    // Four requests fill the shared queue, and each one's script fetch still gets through.
    std::vector<Ref<ASIHTTPRequest>> four;
    for (int i = 0; i < 4; ++i) {
        four.push_back(withScript(origin.url("/q" + std::to_string(i)), pac.url("/proxy.pac")));
        four.back()->startAsynchronous();
    }
    ASSERT_TRUE(plat::RunLoop::current().runUntil(
        [&] {
            return std::all_of(four.begin(), four.end(), [](auto& r) { return r->isFinished(); });
        },
        10));
    for (const auto& r : four)
        EXPECT_EQ(r->responseString(), "from the origin");
    EXPECT_EQ(proxy.passed(), 4U);

    // The script sends another host straight to the origin.
    const std::string local = "http://localhost:" + std::to_string(origin.port()) + "/direct";
    EXPECT_EQ(runThroughProxy(withScript(local, pac.url("/proxy.pac"))), "from the origin");
    EXPECT_EQ(proxy.passed(), 4U);

    // A script that throws, or never ends, means no proxy.
    const auto folder = testing_support::freshTestFolder();
    for (const char* bad : {"function FindProxyForURL(u, h) { throw new Error('no'); }",
                            "function FindProxyForURL(u, h) { while (true) {} }"}) {
        const auto path = folder / "bad.pac";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bad;
        EXPECT_EQ(runThroughProxy(withScript(origin.url("/bad"), "file://" + path.string())),
                  "from the origin");
    }
    EXPECT_EQ(proxy.passed(), 4U);
}

TEST(RequestProxies, AProxyChallengeIsAnsweredAndItsCredentialsServeTheSession) {
    RawHttpServer origin([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("through")};
    });
    using Scheme = net_test::ForwardProxy::Scheme;
    for (Scheme scheme : {Scheme::Basic, Scheme::Digest}) {
        SCOPED_TRACE(scheme == Scheme::Basic ? "Basic" : "Digest");
        net_test::ForwardProxy proxy("gate", "keeper", scheme);
        auto viaProxy = [&](const char* user, const char* password) {
            auto r = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/p")));
            r->setProxyHost(std::string("127.0.0.1"));
            r->setProxyPort(proxy.port());
            if (user) {
                r->setProxyUsername(std::string(user));
                r->setProxyPassword(std::string(password));
            }
            return r;
        };
        ASIHTTPRequest::clearSession();
        auto wrong = viaProxy("gate", "wrong");
        EXPECT_FALSE(runThroughProxy(wrong));
        EXPECT_EQ(wrong->error()->code(), 3);
        EXPECT_EQ(proxy.passed(), 0U);
        auto right = viaProxy("gate", "keeper");
        EXPECT_EQ(runThroughProxy(right), "through");
        EXPECT_EQ(right->proxyAuthenticationScheme(), scheme == Scheme::Basic ? "Basic" : "Digest");
        EXPECT_EQ(proxy.passed(), 1U);
        // The session's proxy credentials answer before any challenge.
        const size_t challenged = proxy.challenges();
        auto again = viaProxy(nullptr, nullptr);
        EXPECT_EQ(runThroughProxy(again), "through");
        EXPECT_EQ(proxy.challenges(), challenged);
        EXPECT_EQ(proxy.passed(), 2U);
        ASIHTTPRequest::clearSession();
    }
}

TEST(RequestProxies, ASocksProxyCarriesTheRequestToItsOrigin) {
    RawHttpServer origin([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("by socks")};
    });
    net_test::Socks5Proxy socks;
    const auto path = testing_support::freshTestFolder() / "socks.pac";
    std::ofstream(path, std::ios::binary)
        << "function FindProxyForURL(url, host) { return 'SOCKS 127.0.0.1:" << socks.port()
        << "'; }";
    auto r = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/s")));
    r->setPACurl(plat::Url::parse("file://" + path.string()));
    EXPECT_EQ(runThroughProxy(r), "by socks");
    EXPECT_EQ(socks.targets(),
              std::vector<std::string>{"127.0.0.1:" + std::to_string(origin.port())});
    // The origin saw an ordinary request, not one addressed to a proxy.
    ASSERT_EQ(origin.heads().size(), 1U);
    EXPECT_EQ(origin.heads()[0].rfind("GET /s HTTP/1.1\r\n", 0), 0U);
}

TEST(RequestProxies, RefusedProxyCredentialsAskTheDelegateOncePerRefusal) {
    RawHttpServer origin([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("through")};
    });
    net_test::ForwardProxy proxy("gate", "keeper", net_test::ForwardProxy::Scheme::Digest);
    ASIHTTPRequest::clearSession();
    auto viaProxy = [&](const Ref<ProxyAsker>& asker) {
        auto r = ASIHTTPRequest::requestWithURL(*plat::Url::parse(origin.url("/p")));
        r->setProxyHost(std::string("127.0.0.1"));
        r->setProxyPort(proxy.port());
        r->setProxyUsername(std::string("gate"));
        r->setProxyPassword(std::string("stale"));
        r->setUseSessionPersistence(false);
        r->setDelegate(asker);
        return r;
    };

    // Two wrong answers, then the right one: asked once for each refusal, then through.
    auto asker = std::make_shared<ProxyAsker>();
    asker->passwords = {"wrong", "still wrong", "keeper"};
    EXPECT_EQ(runThroughProxy(viaProxy(asker)), "through");
    EXPECT_EQ(asker->asked, 3);
    EXPECT_EQ(proxy.challenges(), 4U);  // the first attempt and three with credentials
    EXPECT_EQ(proxy.passed(), 1U);

    // While the delegate thinks, the request waits: no new attempt, no second question.
    auto slow = std::make_shared<ProxyAsker>();
    slow->deferred = true;
    auto waiting = viaProxy(slow);
    bool done = false;
    waiting->setFailedBlock([&] { done = true; });
    waiting->setCompletionBlock([&] { done = true; });
    waiting->startAsynchronous();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return slow->asked == 1; }, 10));
    const size_t challenged = proxy.challenges();
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(slow->asked, 1);
    EXPECT_EQ(proxy.challenges(), challenged);
    EXPECT_FALSE(done);
    slow->answer();  // no passwords: it gives up
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return done && waiting->isFinished(); }, 10));
    EXPECT_EQ(waiting->error()->code(), 3);
    EXPECT_EQ(proxy.passed(), 1U);
    waiting->setFailedBlock(nullptr);
    waiting->setCompletionBlock(nullptr);
    ASIHTTPRequest::clearSession();
}

}  // namespace

PLAT_DEFINE_CLASS(ProxyAsker, plat::Object, [](auto& c) {
    c.method("proxyAuthenticationNeededForRequest:", &ProxyAsker::proxyAuthenticationNeeded);
})
