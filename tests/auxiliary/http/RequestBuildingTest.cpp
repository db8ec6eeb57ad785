// Requests built by the client: query strings, bodies in each parameter encoding, default
// headers, operation classes, copies and archives.
#include <gtest/gtest.h>

#include <functional>

#include "auxiliary/http/AFHTTPClient.h"
#include "auxiliary/http/AFJSONRequestOperation.h"
#include "auxiliary/http/AFPropertyListRequestOperation.h"
#include "external/AFImageRequestOperation.h"
#include "platform/core/Collections.h"
#include "platform/storage/ScopedEnvironment.h"

namespace {

using plat::Value;

Value dict(std::vector<std::pair<Value, Value>> entries) {
    return Value::fromObject(plat::makeDictionary(std::move(entries)));
}

std::string text(const plat::Bytes& body) {
    return std::string(body.begin(), body.end());
}

Ref<AFHTTPClient> client(const std::string& base = "http://h.test/api") {
    return AFHTTPClient::clientWithBaseURL(*plat::Url::parse(base));
}

TEST(HttpClientRequests, QueryStringsAndBodiesFollowTheParameterRules) {
    const Value parameters = dict({
        {Value("b"), Value("x y+z/&=")},
        {Value("A"), Value(int64_t{1})},
        {Value("user"), dict({{Value("name"), Value("ann")}, {Value("age"), Value(int64_t{30})}})},
        {Value("tags"), Value::fromObject(plat::Array::make({Value("a"), Value("b")}))},
        {Value("flag"), Value::null()},
        {Value("t"), Value("~-_.ไทย")},
    });
    EXPECT_EQ(AFQueryStringFromParametersWithEncoding(parameters, 4),
              "A=1&b=x%20y%2Bz%2F%26%3D&flag&t=~-_.%E0%B9%84%E0%B8%97%E0%B8%A2&tags[]=a&tags[]=b"
              "&user[age]=30&user[name]=ann");
    EXPECT_EQ(AFQueryStringFromParametersWithEncoding(dict({}), 4), "");
    // A set's elements share its key (no brackets), each once; sets nest in the other branches.
    const Value sets = dict({
        {Value("ids"), AFQueryStringSet::value({Value("7"), Value(int64_t{8}), Value("7")})},
        {Value("f"), dict({{Value("s"), AFQueryStringSet::value({Value("a b")})}})},
        {Value("e"), AFQueryStringSet::value({})},
    });
    EXPECT_EQ(AFQueryStringFromParametersWithEncoding(sets, 4), "f[s]=a%20b&ids=7&ids=8");

    auto c = client();
    EXPECT_EQ(c->baseURL().absoluteString(), "http://h.test/api/");
    const auto get =
        c->requestWithMethod("GET", std::string("items"), dict({{Value("q"), Value("1")}}));
    EXPECT_EQ(get.url().absoluteString(), "http://h.test/api/items?q=1");
    EXPECT_EQ(
        c->requestWithMethod("GET", std::string("items?x=1"), dict({{Value("q"), Value("1")}}))
            .url()
            .absoluteString(),
        "http://h.test/api/items?x=1&q=1");
    EXPECT_EQ(c->requestWithMethod("GET", std::string("items"), dict({})).url().absoluteString(),
              "http://h.test/api/items?");
    const auto del =
        c->requestWithMethod("DELETE", std::string("items"), dict({{Value("id"), Value("7")}}));
    EXPECT_EQ(del.url().query(), std::optional<std::string>("id=7"));
    EXPECT_TRUE(del.httpBody().empty());

    const auto bare = c->requestWithMethod("POST", std::string("items"), Value());
    EXPECT_TRUE(bare.httpBody().empty());
    EXPECT_FALSE(bare.valueForHttpHeaderField("Content-Type"));
    const Value small = dict({{Value("k"), Value("v w")}});
    const auto form = c->requestWithMethod("POST", std::string("items"), small);
    EXPECT_EQ(form.valueForHttpHeaderField("Content-Type"),
              "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(text(form.httpBody()), "k=v%20w");
    c->setParameterEncoding(AFJSONParameterEncoding);
    const auto json = c->requestWithMethod("PUT", std::string("items"), small);
    EXPECT_EQ(json.valueForHttpHeaderField("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(text(json.httpBody()), "{\"k\":\"v w\"}");
    c->setParameterEncoding(AFPropertyListParameterEncoding);
    const auto plist = c->requestWithMethod("POST", std::string("items"), small);
    EXPECT_EQ(plist.valueForHttpHeaderField("Content-Type"), "application/x-plist; charset=utf-8");
    EXPECT_NE(text(plist.httpBody()).find("<key>k</key>"), std::string::npos);

    EXPECT_THROW(c->requestWithMethod("", std::string("x"), Value()), plat::Exception);
    EXPECT_THROW(c->multipartFormRequestWithMethod("GET", std::string("x"), Value(), nullptr),
                 plat::Exception);
}

TEST(HttpClientRequests, DefaultHeadersClassesCopiesAndArchives) {
    testing_support::ScopedEnvironment environment;
    environment.set("LANGUAGE", "th_TH:en_GB:fr:de:ja:es:it:pt");
    environment.set("LC_ALL", std::nullopt);
    environment.set("LC_MESSAGES", std::nullopt);
    environment.set("LANG", "th_TH.UTF-8");
    auto c = client("http://h.test");
    EXPECT_EQ(c->baseURL().absoluteString(), "http://h.test");
    EXPECT_EQ(c->defaultValueForHeader("Accept-Language"),
              "th-TH;q=1, en-GB;q=0.9, fr;q=0.8, de;q=0.7, ja;q=0.6, es;q=0.5");
    EXPECT_NE(c->defaultValueForHeader("User-Agent")->find(" (Mac OS X "), std::string::npos);
    c->setAuthorizationHeaderWithUsername("user", "");
    EXPECT_EQ(c->defaultValueForHeader("Authorization"), "Basic dXNlcjo=");
    c->setAuthorizationHeaderWithToken("abc");
    EXPECT_EQ(c->defaultValueForHeader("Authorization"), "Token token=\"abc\"");
    EXPECT_EQ(c->requestWithMethod("GET", std::string("x"), Value())
                  .valueForHttpHeaderField("Authorization"),
              "Token token=\"abc\"");
    c->clearAuthorizationHeader();
    EXPECT_FALSE(c->defaultValueForHeader("Authorization"));

    // Registration: operation classes only, the latest first, once each.
    EXPECT_FALSE(c->registerHTTPOperationClass(plat::Object::classObject()));
    EXPECT_TRUE(c->registerHTTPOperationClass(AFJSONRequestOperation::classObject()));
    EXPECT_TRUE(c->registerHTTPOperationClass(AFPropertyListRequestOperation::classObject()));
    EXPECT_TRUE(c->registerHTTPOperationClass(AFJSONRequestOperation::classObject()));
    EXPECT_EQ(
        c->registeredHTTPOperationClassNames(),
        (std::vector<std::string>{"AFJSONRequestOperation", "AFPropertyListRequestOperation"}));
    auto pick = [&](const std::string& path, const char* accept) {
        auto request = c->requestWithMethod("GET", path, Value());
        if (accept)
            request.setValueForHttpHeaderField(accept, "Accept");
        return c->HTTPRequestOperationWithRequest(request, nullptr, nullptr)->className();
    };
    EXPECT_EQ(pick("a.json", nullptr), "AFJSONRequestOperation");
    EXPECT_EQ(pick("a.JSON", nullptr), "AFHTTPRequestOperation");
    EXPECT_EQ(pick("a", "application/x-plist"), "AFPropertyListRequestOperation");
    EXPECT_EQ(pick("a", "text/json; q=0.5, x/y"), "AFJSONRequestOperation");

    // A copy is independent; an archive brings back the URL, classes, headers and encodings.
    c->setDefaultHeader("X-One", std::string("1"));
    c->setStringEncoding(5);
    const auto copy = c->copyWithZone();
    copy->setDefaultHeader("X-One", std::string("changed"));
    copy->registerHTTPOperationClass(AFImageRequestOperation::classObject());
    EXPECT_EQ(c->defaultValueForHeader("X-One"), "1");
    EXPECT_EQ(c->registeredHTTPOperationClassNames().size(), 2U);
    EXPECT_EQ(copy->stringEncoding(), 5U);
    EXPECT_NE(copy->operationQueue(), c->operationQueue());

    c->setParameterEncoding(AFJSONParameterEncoding);
    const auto archive = plat::KeyedArchiver::archivedDataWithRootObject(Value::fromObject(c));
    ASSERT_TRUE(archive);
    const auto back = std::dynamic_pointer_cast<AFHTTPClient>(
        plat::KeyedUnarchiver::unarchiveObjectWithData(*archive).object());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->baseURL().absoluteString(), "http://h.test");
    EXPECT_EQ(back->registeredHTTPOperationClassNames(), c->registeredHTTPOperationClassNames());
    EXPECT_EQ(back->defaultHeaders(), c->defaultHeaders());
    EXPECT_EQ(back->stringEncoding(), 5U);
    EXPECT_EQ(back->parameterEncoding(), AFJSONParameterEncoding);
    EXPECT_EQ(back->requestWithMethod("GET", std::string("x"), Value()).url().absoluteString(),
              "http://h.test/x");
    EXPECT_NO_THROW(back->cancelAllHTTPOperationsWithMethod(std::nullopt, std::string("x")));
}

// init() is refused, and a client made by class name but never given its base URL (neither
// initialised nor unarchived) raises the same when it is used instead of crashing.
TEST(HttpClientRequests, InitIsRefusedAndAClientWithoutItsBaseURLRaisesWhenUsed) {
    const auto raised = [](const std::function<void()>& use) -> std::string {
        try {
            use();
        } catch (const plat::Exception& exception) {
            return exception.name() + ": " + exception.reason();
        }
        return "nothing raised";
    };
    const std::string refusal =
        "NSInternalInconsistencyException: AFHTTPClient Failed to call "
        "designated initializer. Invoke `initWithBaseURL:` instead.";
    EXPECT_EQ(raised([] { client()->init(); }), refusal);

    const auto bare = std::dynamic_pointer_cast<AFHTTPClient>(AFHTTPClient::classObject().make());
    ASSERT_TRUE(bare);
    const auto operation = client()->HTTPRequestOperationWithRequest(
        plat::UrlRequest(*plat::Url::parse("http://h.test/x")), nullptr, nullptr);
    EXPECT_EQ(raised([&] { bare->requestWithMethod("GET", std::string("x"), Value()); }), refusal);
    EXPECT_EQ(raised([&] {
                  bare->multipartFormRequestWithMethod("POST", std::string("x"), Value(), nullptr);
              }),
              refusal);
    EXPECT_EQ(raised([&] { bare->cancelAllHTTPOperationsWithMethod("GET", std::string("x")); }),
              refusal);
    EXPECT_EQ(raised([&] { bare->getPath("x", Value(), nullptr, nullptr); }), refusal);
    EXPECT_EQ(raised([&] { bare->enqueueBatchOfHTTPRequestOperations({}, nullptr, nullptr); }),
              refusal);
    EXPECT_EQ(raised([&] { bare->enqueueHTTPRequestOperation(operation); }), refusal);
    EXPECT_FALSE(operation->isExecuting() || operation->isFinished());
}

}  // namespace
