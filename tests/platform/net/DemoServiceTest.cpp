#include <gtest/gtest.h>

#include <curl/curl.h>

#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V3StoreService.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetTestSupport.h"

using demo::DemoService;
using demo::Fault;
using demo::FaultKind;
using demo::Json;
using net_test::load;
using net_test::postRequest;

namespace {

class DemoServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::HttpCookieStorage::shared().removeAllCookies();
        service.addMethod("Echo", [](const Json& body, demo::Session&) { return body; });
        service.addMethod("Fails", [](const Json&, demo::Session&) -> Json {
            throw std::runtime_error("Object reference not set");
        });
        ASSERT_TRUE(service.start());
    }

    Ref<net_test::Recorder> call(const std::string& method, const std::string& body = "{}") {
        return load(postRequest(service.serviceUrl() + "/" + method, body));
    }
    Ref<net_test::Recorder> get(const std::string& path,
                                std::optional<std::string> range = std::nullopt) {
        plat::UrlRequest request(net_test::url(service.baseUrl() + path));
        if (range)
            request.setValueForHttpHeaderField(*range, "Range");
        return load(request);
    }
    static Json json(const net_test::Recorder& r) { return Json::parse(r.body); }

    DemoService service;
};

// A blocking POST over its own connection, callable from any thread.
struct PlainReply {
    long status = 0;  // 0 when no reply came
    std::string body;
    std::string headers;  // the reply's head, as received
};

PlainReply plainPost(const std::string& target, const std::string& body,
                     const std::vector<std::string>& fields = {}) {
    PlainReply reply;
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    headers = curl_slist_append(headers, "Expect:");
    for (const auto& field : fields)
        headers = curl_slist_append(headers, field.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<std::string*>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(
        curl, CURLOPT_HEADERFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<std::string*>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (curl_easy_perform(curl) == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

}  // namespace

TEST_F(DemoServiceTest, AnswersWebMethodsUnderDAndRecordsEachRequest) {
    auto echo = call("Echo", R"({"x":[1,2],"s":"\u0e01"})");
    ASSERT_EQ(echo->events, (std::vector<std::string>{"response 200", "data", "finish"}));
    EXPECT_EQ(json(*echo), (Json{{"d", {{"x", {1, 2}}, {"s", "\u0e01"}}}}));
    EXPECT_EQ(echo->response->mimeType(), "application/json");

    const auto recorded = service.requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].path, "/service.svc/Echo");
    EXPECT_EQ(recorded[0].body, R"({"x":[1,2],"s":"\u0e01"})");
    EXPECT_EQ(recorded[0].header("content-type"), "application/json; charset=utf-8");
    EXPECT_EQ(service.requestsForMethod("Echo").size(), 1u);

    auto unknown = call("Missing");
    EXPECT_EQ(unknown->response->statusCode(), 404);
    EXPECT_EQ(json(*unknown)["Message"], "Unknown web method Missing.");
    auto broken = call("Echo", "{not json");
    EXPECT_EQ(broken->response->statusCode(), 500);
    auto throwing = call("Fails");
    EXPECT_EQ(throwing->response->statusCode(), 500);
    EXPECT_EQ(json(*throwing)["Message"], "Object reference not set");

    // An empty method name is the service URL itself.
    service.addMethod("", [](const Json&, demo::Session&) { return Json("root"); });
    EXPECT_EQ(json(*load(postRequest(service.serviceUrl(), "{}")))["d"], "root");
}

TEST_F(DemoServiceTest, FaultsReshapeTheReplyPerMethodOrForTheNextRequests) {
    service.setFault("Echo", {FaultKind::Unauthorized});
    EXPECT_EQ(call("Echo")->response->statusCode(), 401);
    service.setFault("Echo", {FaultKind::ServerError});
    auto error = call("Echo");
    EXPECT_EQ(error->response->statusCode(), 500);
    EXPECT_TRUE(json(*error).contains("Message"));
    service.setFault("Echo", {FaultKind::NotJson});
    auto html = call("Echo");
    EXPECT_EQ(html->response->mimeType(), "text/html");
    EXPECT_TRUE(Json::parse(html->body, nullptr, false).is_discarded());
    service.setFault("Echo", {FaultKind::NullResult});
    EXPECT_EQ(call("Echo", "[1]")->body, R"({"d":null})");
    service.setFault("Echo", {FaultKind::EmptyObject});
    EXPECT_EQ(call("Echo", "[1]")->body, "{}");
    service.setFault("Echo", {FaultKind::ResultMember});
    EXPECT_EQ(call("Echo", "[1]")->body, R"({"EchoResult":[1]})");
    // Other methods are not touched.
    service.addMethod("Other", [](const Json&, demo::Session&) { return Json(7); });
    EXPECT_EQ(call("Other")->body, R"({"d":7})");

    service.clearFaults();
    service.setFaultForNext(2, {FaultKind::NullResult});
    EXPECT_EQ(call("Other")->body, R"({"d":null})");
    EXPECT_EQ(call("Echo", "[2]")->body, R"({"d":null})");
    EXPECT_EQ(call("Echo", "[2]")->body, R"({"d":[2]})");
}

TEST_F(DemoServiceTest, KeepsSessionsByTheCookieOfRequestSessionID) {
    service.addMethod("Count", [](const Json&, demo::Session& session) -> Json {
        if (!session.valid())
            return nullptr;
        int n = session.data.value("n", 0) + 1;
        session.data["n"] = n;
        return Json{{"id", session.id}, {"n", n}};
    });
    EXPECT_EQ(json(*call("Count"))["d"], nullptr);

    auto opened = call("RequestSessionID");
    const std::string id = json(*opened)["d"];
    EXPECT_EQ(id.size(), 32u);
    EXPECT_NE(opened->response->valueForHttpHeaderField("Set-Cookie")->find(id), std::string::npos);
    EXPECT_EQ(json(*call("Count"))["d"], (Json{{"id", id}, {"n", 1}}));
    EXPECT_EQ(json(*call("Count"))["d"], (Json{{"id", id}, {"n", 2}}));
    EXPECT_EQ(service.sessionCount(), 1u);
}

TEST_F(DemoServiceTest, ASessionStoreKeepsSessionsAcrossARestart) {
    std::map<std::string, Json> kept;
    std::mutex keeping;
    const auto useStore = [&](DemoService& on) {
        on.setSessionStore(
            [&](const std::string& id) -> std::optional<Json> {
                std::lock_guard lock(keeping);
                const auto it = kept.find(id);
                return it == kept.end() ? std::nullopt : std::optional<Json>(it->second);
            },
            [&](const demo::Session& session) {
                std::lock_guard lock(keeping);
                kept[session.id] = session.data;
            });
        on.addMethod("Count", [](const Json&, demo::Session& session) -> Json {
            if (!session.valid())
                return nullptr;
            session.data["n"] = session.data.value("n", 0) + 1;
            return session.data["n"];
        });
    };
    useStore(service);
    const std::string id = json(*call("RequestSessionID"))["d"];
    EXPECT_EQ(json(*call("Count"))["d"], 1);
    const int port = service.port();
    service.stop();

    // The same port, the same store: the session and its data come back by the cookie.
    DemoService restarted;
    useStore(restarted);
    ASSERT_TRUE(restarted.start(port));
    auto again = load(postRequest(restarted.serviceUrl() + "/Count", "{}"));
    EXPECT_EQ(json(*again)["d"], 2);
    EXPECT_EQ(restarted.sessionCount(), 1u);
    // Without its cookie a call has no session.
    plat::HttpCookieStorage::shared().removeAllCookies();
    EXPECT_EQ(json(*load(postRequest(restarted.serviceUrl() + "/Count", "{}")))["d"], nullptr);
    EXPECT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.begin()->first, id);
}

TEST_F(DemoServiceTest, ServesFilesWithSingleRanges) {
    service.addFile("/files/a.bin", "0123456789");
    auto whole = get("/files/a.bin");
    EXPECT_EQ(whole->response->statusCode(), 200);
    EXPECT_EQ(whole->response->expectedContentLength(), 10);
    EXPECT_EQ(whole->body, "0123456789");

    auto tail = get("/files/a.bin", "bytes=3-");
    EXPECT_EQ(tail->response->statusCode(), 206);
    EXPECT_EQ(tail->response->valueForHttpHeaderField("Content-Range"), "bytes 3-9/10");
    EXPECT_EQ(tail->body, "3456789");
    auto middle = get("/files/a.bin", "bytes=2-4");
    EXPECT_EQ(middle->body, "234");
    EXPECT_EQ(middle->response->valueForHttpHeaderField("Content-Range"), "bytes 2-4/10");

    auto beyond = get("/files/a.bin", "bytes=10-");
    EXPECT_EQ(beyond->response->statusCode(), 416);
    EXPECT_EQ(beyond->response->valueForHttpHeaderField("Content-Range"), "bytes */10");
    EXPECT_EQ(beyond->body, "");

    // Several ranges are not served: the whole file comes.
    auto several = get("/files/a.bin", "bytes=0-1,4-5");
    EXPECT_EQ(several->response->statusCode(), 200);
    EXPECT_EQ(several->body, "0123456789");
    EXPECT_EQ(get("/files/none")->response->statusCode(), 404);
}

TEST_F(DemoServiceTest, StallsNineRequestsAtOnceUntilReleased) {
    service.setFaultForNext(9, Fault::stall());
    std::vector<net_test::Loading> loadings;
    for (int i = 0; i < 9; ++i) {
        loadings.push_back(net_test::prepare(postRequest(service.serviceUrl() + "/Echo", "[0]")));
        loadings.back().connection->start();
    }
    ASSERT_TRUE(service.waitForStalled(9));
    net_test::spin(0.05);
    for (const auto& l : loadings)
        EXPECT_TRUE(l.recorder->events.empty());

    service.releaseStalled();
    for (const auto& l : loadings) {
        ASSERT_TRUE(net_test::runUntilDone(*l.recorder));
        EXPECT_EQ(l.recorder->body, R"({"d":[0]})");
    }
    EXPECT_EQ(service.stalledCount(), 0u);
}

TEST_F(DemoServiceTest, StopReleasesStalledRequestsAndFreesThePort) {
    service.setFaultForNext(1, Fault::stall());
    auto loading = net_test::prepare(postRequest(service.serviceUrl() + "/Echo", "[0]"));
    loading.connection->start();
    ASSERT_TRUE(service.waitForStalled(1));
    const int port = service.port();
    service.stop();
    EXPECT_FALSE(service.isRunning());
    EXPECT_TRUE(net_test::runUntilDone(*loading.recorder));
    // The same port can serve again.
    EXPECT_TRUE(service.start(port));
    EXPECT_EQ(json(*call("Echo", "[3]"))["d"], Json::array({3}));
}

TEST_F(DemoServiceTest, HostileBodiesGetClearRepliesAndTheLogStaysBounded) {
    // Nested a million deep: refused, not walked.
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    auto tooDeep = plainPost(service.serviceUrl() + "/Echo", deep);
    EXPECT_EQ(tooDeep.status, 400);
    EXPECT_EQ(Json::parse(tooDeep.body)["Message"], "The JSON body is nested too deeply.");
    // Beyond the size limit: 413 before the body is kept anywhere.
    const std::string huge(100u << 20, ' ');
    EXPECT_EQ(plainPost(service.serviceUrl() + "/Echo", huge).status, 413);
    EXPECT_EQ(plainPost(service.serviceUrl() + "/Echo", "[1]").body, R"({"d":[1]})");

    // A thousand 64 KB posts (to a path that is no web method, to spare the parsing): the log
    // keeps the latest within its bounds.
    const std::string body(64u << 10, 'x');
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(plainPost(service.baseUrl() + "/upload", body).status, 404) << i;
    const auto recorded = service.requests();
    size_t bytes = 0;
    for (const auto& r : recorded)
        bytes += r.body.size();
    EXPECT_LE(recorded.size(), DemoService::kMaxRecordedRequests);
    EXPECT_LE(bytes, DemoService::kMaxRecordedBodyBytes);
    EXPECT_GT(bytes, DemoService::kMaxRecordedBodyBytes / 2);
    EXPECT_EQ(recorded.back().body, body);
}

TEST(DemoStoreService, EachCallIsAuthorizedByItsOwnHeaders) {
    demo::SampleCatalogue catalogue;
    DemoService store;
    demo::registerStoreService(store, catalogue, "VARNEL");
    ASSERT_TRUE(store.start());
    const std::string target = store.serviceUrl() + "/GetItemReview";
    const std::string body = R"({"itemId":"bookcode_BK0001","start":0,"length":0})";
    const std::vector<std::string> credentials = {
        "TokenVersion: 2", "Authorization: Token token=\"guest\"", "Varnel-AppCode: VARNEL"};

    // Sixty identical calls at once; only the thirty that carry the token headers get in, the
    // others get 401.
    std::vector<PlainReply> replies(60);
    std::vector<std::thread> callers;
    for (size_t i = 0; i < replies.size(); ++i) {
        callers.emplace_back([&, i] {
            replies[i] = plainPost(target, body, i % 2 ? credentials : std::vector<std::string>{});
        });
    }
    for (auto& caller : callers)
        caller.join();
    for (size_t i = 0; i < replies.size(); ++i)
        EXPECT_EQ(replies[i].status, i % 2 ? 200 : 401) << i << " " << replies[i].body;

    // Paging numbers of any size stay in range.
    auto paged =
        plainPost(target, R"({"itemId":"bookcode_BK0001","start":1,"length":9223372036854775807})",
                  credentials);
    ASSERT_EQ(paged.status, 200) << paged.body;
    EXPECT_EQ(Json::parse(paged.body)["d"]["Reviews"].size(), 1u);
    paged = plainPost(target, R"({"itemId":"bookcode_BK0001","start":1e300,"length":-1e300})",
                      credentials);
    ASSERT_EQ(paged.status, 200) << paged.body;
    EXPECT_TRUE(Json::parse(paged.body)["d"]["Reviews"].empty());
}

// The sign-on page's form, posted: the redirect it answers with ("app?code=" for an accepted
// member), or the status when it answers otherwise.
std::string signOnFormAnswer(const std::string& target, const std::string& form) {
    const PlainReply reply = plainPost(target, form);
    const size_t at = reply.headers.find("Location: ");
    if (reply.status != 302 || at == std::string::npos)
        return "status " + std::to_string(reply.status);
    return reply.headers.substr(at + 10, reply.headers.find('\r', at) - at - 10);
}

// Every member the demo names signs in on the sign-on page with the library password; the locked
// account is refused there, and the suspended member's refusal is the library's own (its code is
// given here).
TEST(DemoSignOnTest, ThePageAcceptsEveryNamedMember) {
    demo::SampleCatalogue catalogue;
    DemoService service;
    demo::DemoSignOn signOn(service, catalogue);
    ASSERT_TRUE(service.start());
    const std::string page = signOn.hostUrl() + "index.php";
    const auto named = demo::SampleCatalogue::namedAccounts();
    ASSERT_GE(named.size(), 6U);
    for (const auto& member : named) {
        SCOPED_TRACE(member.username);
        EXPECT_EQ(
            signOnFormAnswer(page, "username=" + member.username + "&password=" + member.password)
                .rfind("app?code=", 0),
            0U);
        EXPECT_TRUE(catalogue.account(member.username));
    }
    EXPECT_EQ(signOnFormAnswer(page, "username=ploy%40example.com&password=wrong"), "status 200");
    EXPECT_EQ(signOnFormAnswer(page, std::string("username=") + demo::kLockedAccount +
                                         "&password=" + demo::kLockedAccountPassword)
                  .rfind("app?error=access_denied", 0),
              0U);
}

namespace {

std::string sourceFile(const std::string& path) {
    std::ifstream in(std::string(VARNEL_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The "user / password" pairs that the pattern finds in a text.
std::set<std::pair<std::string, std::string>> accountsIn(const std::string& text,
                                                         const std::regex& pair) {
    std::set<std::pair<std::string, std::string>> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pair);
         it != std::sregex_iterator(); ++it)
        found.emplace((*it)[1], (*it)[2]);
    return found;
}

}  // namespace

// The accounts the sign-on page lists are the ones the demo's account list names, with the same
// passwords, and the accounts refused at sign-in are named in the README too.
TEST(DemoSignOnTest, ThePageTheAccountListAndTheReadmeNameTheSameAccounts) {
    demo::SampleCatalogue catalogue;
    DemoService service;
    demo::DemoSignOn signOn(service, catalogue);
    ASSERT_TRUE(service.start());
    const auto reply = load(plat::UrlRequest(
        net_test::url(signOn.hostUrl() + "index.php?client_id=" + demo::kDemoOAuthClientID +
                      "&udid=I0test&redirect_uri=app&response_type=code")));
    const std::regex listed(R"(<li>([^\s<]+@[^\s<]+) / ([^\s<]+))");
    const auto onPage = accountsIn(reply->body, listed);
    ASSERT_GE(onPage.size(), 7U) << reply->body;

    const std::regex named(R"(//[ \t]+([^\s]+@[^\s]+)[ \t]+/[ \t]+([^\s]+))");
    const std::string accountList = sourceFile("tools/demo-service/V2WebMethods.h");
    ASSERT_FALSE(accountList.empty());
    EXPECT_EQ(accountsIn(accountList, named), onPage);

    const std::string readme = sourceFile("README.md");
    ASSERT_FALSE(readme.empty());
    for (const char* refused : {demo::kLockedAccount, "suspended@example.com"})
        EXPECT_NE(readme.find(refused), std::string::npos) << refused;
}
