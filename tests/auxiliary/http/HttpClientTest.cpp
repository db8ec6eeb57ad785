// The client against loopback servers: what arrives at the echo route, batches, streamed
// multipart bodies (large, resent after a redirect, or failing), and the URL shortener.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "auxiliary/http/AFHTTPClient.h"
#include "auxiliary/http/AFJSONRequestOperation.h"
#include "auxiliary/http/MKBitlyHelper.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "platform/core/Collections.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

namespace {

using plat::Value;

Value dict(std::vector<std::pair<Value, Value>> entries) {
    return Value::fromObject(plat::makeDictionary(std::move(entries)));
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerHttpClientRoutes(service);
        ASSERT_TRUE(service.start());
        client = AFHTTPClient::clientWithBaseURL(*plat::Url::parse(service.baseUrl() + "/echo"));
    }
    struct Outcome {
        bool done = false;
        Ref<AFHTTPRequestOperation> operation;
        Value body;
        Ref<plat::Error> error;
    };
    Outcome run(const plat::UrlRequest& request) {
        Outcome outcome;
        auto op = client->HTTPRequestOperationWithRequest(
            request,
            [&](const Ref<AFHTTPRequestOperation>& o, const Value& body) {
                outcome.operation = o;
                outcome.body = body;
                outcome.done = true;
            },
            [&](const Ref<AFHTTPRequestOperation>& o, const Ref<plat::Error>& error) {
                outcome.operation = o;
                outcome.error = error;
                outcome.done = true;
            });
        client->enqueueHTTPRequestOperation(op);
        plat::RunLoop::current().runUntil([&] { return outcome.done; }, 30);
        return outcome;
    }
    static std::string header(const Outcome& o, const char* name) {
        return o.operation->response()->valueForHttpHeaderField(name).value_or("");
    }
    demo::DemoService service;
    Ref<AFHTTPClient> client;
};

TEST_F(HttpClientTest, RequestsArriveAsBuiltAndBatchesReportProgressThenFinishOnce) {
    const auto get = run(client->requestWithMethod(
        "GET", std::string("items"), dict({{Value("b"), Value("2")}, {Value("A"), Value("1 &")}})));
    ASSERT_TRUE(get.done && !get.error);
    EXPECT_EQ(header(get, "X-Echo-Method"), "GET");
    EXPECT_EQ(header(get, "X-Echo-Query"), "A=1%20%26&b=2");
    const auto headers = nlohmann::json::parse(header(get, "X-Echo-Headers"));
    EXPECT_TRUE(headers.contains("accept-language"));
    EXPECT_TRUE(headers.contains("user-agent"));

    client->setParameterEncoding(AFJSONParameterEncoding);
    const auto post = run(client->requestWithMethod("POST", std::string("items"),
                                                    dict({{Value("k"), Value("ไทย")}})));
    ASSERT_TRUE(post.done && !post.error);
    ASSERT_TRUE(post.body.bytes());
    EXPECT_EQ(std::string(post.body.bytes()->begin(), post.body.bytes()->end()), "{\"k\":\"ไทย\"}");
    const auto del = run(client->requestWithMethod("DELETE", std::string("items"),
                                                   dict({{Value("id"), Value("7")}})));
    EXPECT_EQ(header(del, "X-Echo-Query"), "id=7");
    EXPECT_EQ(header(del, "X-Echo-Method"), "DELETE");

    // Batches: none at all still completes, on the main thread; three report progress and
    // complete after every operation.
    bool emptyDone = false;
    int emptyProgress = 0;
    client->enqueueBatchOfHTTPRequestOperationsWithRequests(
        {}, [&](uint64_t, uint64_t) { ++emptyProgress; },
        [&](const std::vector<Ref<AFHTTPRequestOperation>>& ops) {
            emptyDone = ops.empty() && plat::RunLoop::isMainThread();
        });
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return emptyDone; }, 10));
    EXPECT_EQ(emptyProgress, 0);

    std::vector<plat::UrlRequest> three;
    for (const char* path : {"one", "two", "three"})
        three.push_back(client->requestWithMethod("GET", std::string(path), Value()));
    std::vector<uint64_t> totals;
    int completions = 0;
    bool allFinished = false;
    client->enqueueBatchOfHTTPRequestOperationsWithRequests(
        three, [&](uint64_t, uint64_t total) { totals.push_back(total); },
        [&](const std::vector<Ref<AFHTTPRequestOperation>>& ops) {
            ++completions;
            allFinished = ops.size() == 3 && std::all_of(ops.begin(), ops.end(), [](auto& op) {
                              return op->isFinished() && !op->error();
                          });
        });
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return completions > 0; }, 10));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(allFinished);
    EXPECT_EQ(totals, (std::vector<uint64_t>{3, 3, 3}));
}

std::string sha256Hex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    std::string hex;
    for (unsigned char c : digest) {
        static const char* kHex = "0123456789abcdef";
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex;
}

TEST_F(HttpClientTest, MultipartBodiesStreamWholeAreResentAfterARedirectAndNeverGoShort) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "issue.pdf";
    std::string file(20 << 20, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::ofstream(path, std::ios::binary) << file;

    int posts = 0;
    net_test::RawHttpServer server([&](const std::string& head, const std::string&) {
        if (head.rfind("POST /first", 0) == 0) {
            ++posts;
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 307 Again\r\nLocation: /second\r\nContent-Length: 0\r\n\r\n"};
        }
        return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok("stored")};
    });
    server.setHashBodies(true);
    auto upload = AFHTTPClient::clientWithBaseURL(*plat::Url::parse(server.url("/")));
    const auto request = upload->multipartFormRequestWithMethod(
        "POST", std::string("first"), dict({{Value("title"), Value("ฉบับ 1")}}),
        [&](AFMultipartFormData& form) {
            Ref<plat::Error> error;
            ASSERT_TRUE(form.appendPartWithFileURL(*plat::Url::parse("file://" + path.string()),
                                                   "file", &error));
        });
    const auto expected = [&] {
        const auto copy = request.httpBodyStream()->copyStream();
        copy->open();
        std::string all;
        std::vector<uint8_t> buffer(1 << 20);
        for (int64_t n; (n = copy->read(buffer.data(), buffer.size())) > 0;)
            all.append(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(n));
        return all;
    }();
    ASSERT_EQ(std::to_string(expected.size()), request.valueForHttpHeaderField("Content-Length"));
    EXPECT_NE(expected.find(file), std::string::npos);
    client = upload;
    const auto sent = run(request);
    ASSERT_TRUE(sent.done);
    ASSERT_FALSE(sent.error) << sent.error->description();
    EXPECT_EQ(posts, 1);
    ASSERT_EQ(server.bodies().size(), 2U);
    EXPECT_EQ(server.bodies()[0], sha256Hex(expected));
    EXPECT_EQ(server.bodies()[1], sha256Hex(expected));  // the whole body again

    // A body that cannot be read whole fails the operation; nothing short is accepted.
    const auto gone = folder / "gone.bin";
    std::ofstream(gone, std::ios::binary) << std::string(5000, 'g');
    const auto broken = upload->multipartFormRequestWithMethod(
        "POST", std::string("second"), Value(), [&](AFMultipartFormData& form) {
            form.appendPartWithFileURL(*plat::Url::parse("file://" + gone.string()), "g", nullptr);
        });
    std::filesystem::remove(gone);
    const size_t before = server.bodies().size();
    const auto failed = run(broken);
    ASSERT_TRUE(failed.done);
    EXPECT_TRUE(failed.error);
    EXPECT_EQ(server.bodies().size(), before);  // no request reached the server whole
}

TEST_F(HttpClientTest, TheShortenerShortensExpandsAndAnswersNothingOnFailure) {
    // A shortener on loopback that reads the query as the service does: "&"-separated pairs,
    // each value percent-decoded once. It keeps every request target as it came on the wire.
    std::mutex mutex;
    std::vector<std::string> targets;
    std::map<std::string, std::string> longUrls;
    net_test::RawHttpServer shortener([&](const std::string& head, const std::string&) {
        const std::string target = head.substr(4, head.find(' ', 4) - 4);
        std::map<std::string, std::string> query;
        for (size_t at = target.find('?') + 1; at != 0 && at <= target.size();) {
            const size_t end = std::min(target.find('&', at), target.size());
            const std::string pair = target.substr(at, end - at);
            const size_t equals = pair.find('=');
            if (equals != std::string::npos)
                query[pair.substr(0, equals)] =
                    plat::Url::percentDecode(pair.substr(equals + 1)).value_or("");
            at = end + 1;
        }
        std::lock_guard lock(mutex);
        targets.push_back(target);
        if (query["login"] == "status-302")
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n"};
        if (query["login"] == "status-500")
            return net_test::RawHttpServer::Reply{
                "HTTP/1.1 500 Oops\r\nContent-Length: 19\r\n\r\n{\"statusCode\":\"OK\"}"};
        nlohmann::json reply = {{"statusCode", "OK"}, {"results", nlohmann::json::object()}};
        if (target.rfind("/bitly/shorten?", 0) == 0) {
            const std::string code = "v" + std::to_string(longUrls.size() + 1);
            longUrls[code] = plat::Url::percentDecode(query["longUrl"]).value_or("");
            reply["results"][query["longUrl"]] = {{"shortUrl", "http://vn.el/" + code}};
        } else if (target.rfind("/bitly/expand?", 0) == 0) {
            const std::string code = query["shortUrl"].substr(query["shortUrl"].rfind('/') + 1);
            if (longUrls.count(code))
                reply["results"][code] = {{"longUrl", longUrls[code]}};
        }
        return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok(reply.dump())};
    });
    const auto base = plat::Url::parse(shortener.url("/bitly"));

    MKBitlyHelper helper;
    helper.initWithLoginName("reader", "key&+/");
    EXPECT_FALSE(helper.shortenURL("http://example.org/a"));  // no service configured
    helper.setBaseURL(base);
    const std::string longUrl = "http://example.org/a?x=1&y=a+b";
    const auto shortUrl = helper.shortenURL(longUrl);
    ASSERT_TRUE(shortUrl);
    EXPECT_EQ(shortUrl->rfind("http://vn.el/", 0), 0U);
    EXPECT_EQ(helper.expandURL(*shortUrl), longUrl);
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(targets.size(), 2U);
        // On the wire: the URL's delimiters stay as they are in the query's value; "&" and "+"
        // were escaped by the first escaping, whose "%" signs the second escapes.
        EXPECT_EQ(targets[0],
                  "/bitly/shorten?version=2.0.1&login=reader&apiKey=key%26%2B%2F&longUrl="
                  "http://example.org/a?x=1%2526y=a%252Bb");
        EXPECT_EQ(targets[1],
                  "/bitly/expand?version=2.0.1&login=reader&apiKey=key%26%2B%2F"
                  "&shortUrl=" +
                      *shortUrl);
    }
    EXPECT_FALSE(helper.expandURL("http://vn.el/unknown"));
    EXPECT_FALSE(helper.expandURL("no-slash"));
    for (const char* login : {"status-302", "status-500"}) {
        MKBitlyHelper failing;
        failing.initWithLoginName(login, "k");
        failing.setBaseURL(base);
        EXPECT_FALSE(failing.shortenURL(longUrl)) << login;
    }
    MKBitlyHelper refused;
    refused.initWithLoginName("reader", "k");
    refused.setBaseURL(plat::Url::parse("http://127.0.0.1:1/bitly"));
    EXPECT_FALSE(refused.shortenURL(longUrl));
}

}  // namespace
