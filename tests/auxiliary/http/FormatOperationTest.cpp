// JSON, property-list and XML operations against the demo service's chosen replies, and the
// XML readers' refusal of entity declarations, external entities and malformed text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "auxiliary/http/AFJSONRequestOperation.h"
#include "auxiliary/http/AFPropertyListRequestOperation.h"
#include "auxiliary/http/AFXMLRequestOperation.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "platform/core/Collections.h"
#include "platform/net/Url.h"
#include "platform/storage/ScopedEnvironment.h"

namespace {

using plat::Value;

class FormatOperationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerHttpClientRoutes(service);
        ASSERT_TRUE(service.start());
    }
    plat::UrlRequest reply(int status, const std::string& type, const std::string& body,
                           const std::string& path = "/reply") {
        const std::string query = "?status=" + std::to_string(status) +
                                  "&type=" + plat::Url::percentEncode(type, "") +
                                  "&body=" + plat::Url::percentEncode(body, "");
        return plat::UrlRequest(*plat::Url::parse(service.baseUrl() + path + query));
    }
    struct Outcome {
        bool done = false;
        Value object;
        Ref<plat::Error> error;
    };
    template <class Op>
    Outcome run(const Ref<Op>& op) {
        Outcome outcome;
        op->setCompletionBlockWithSuccess(
            [&](const Ref<AFHTTPRequestOperation>&, const Value& object) {
                outcome.object = object;
                outcome.done = true;
            },
            [&](const Ref<AFHTTPRequestOperation>&, const Ref<plat::Error>& error) {
                outcome.error = error;
                outcome.done = true;
            });
        op->start();
        plat::RunLoop::current().runUntil([&] { return outcome.done; }, 10);
        return outcome;
    }
    template <class Op>
    Ref<Op> make(const plat::UrlRequest& request) {
        return AFURLConnectionOperation::operationWithRequest<Op>(request);
    }
    demo::DemoService service;
};

TEST_F(FormatOperationTest, JsonBodiesParseOnceAndFailuresCarryTheirBody) {
    auto ok = run(make<AFJSONRequestOperation>(
        reply(200, "application/json", "{\"title\":\"ไทย\",\"n\":[1,2]}")));
    ASSERT_FALSE(ok.error);
    ASSERT_TRUE(ok.object.dictionary());
    EXPECT_EQ(*ok.object.dictionary()->objectForKey("title").string(), "ไทย");

    for (const char* body : {" ", ""}) {
        const auto blank = run(make<AFJSONRequestOperation>(reply(200, "application/json", body)));
        EXPECT_FALSE(blank.error) << "[" << body << "]";
        EXPECT_TRUE(blank.object.isNil());
    }
    const auto broken = run(make<AFJSONRequestOperation>(reply(200, "text/json", "{\"a\":")));
    ASSERT_TRUE(broken.error);

    // A body that is not UTF-8 fails: an unreadable reply never passes for an empty one.
    const auto garbled = run(make<AFJSONRequestOperation>(
        reply(200, "application/json; charset=utf-8", "{\"a\":\"\xFF\xFE\"}")));
    ASSERT_TRUE(garbled.error);
    EXPECT_EQ(garbled.error->code(), -1016);
    EXPECT_EQ(garbled.error->localizedDescription(),
              "Operation responseData failed decoding as a UTF-8 string");
    EXPECT_TRUE(garbled.object.isNil());

    // Top-level strings and numbers only with the fragments option; one value, not a list.
    for (const bool fragments : {false, true}) {
        for (const char* body : {"\"ไทย\"", " 42 ", "1, 2"}) {
            auto op = make<AFJSONRequestOperation>(reply(200, "application/json", body));
            if (fragments)
                op->setJSONReadingOptions(NSJSONReadingAllowFragments |
                                          NSJSONReadingMutableContainers);
            const auto outcome = run(op);
            const bool readable = fragments && std::string(body) != "1, 2";
            EXPECT_EQ(!outcome.error, readable) << body << fragments;
            EXPECT_EQ(outcome.object.isNil(), !readable) << body << fragments;
        }
    }
    auto number = make<AFJSONRequestOperation>(reply(200, "application/json", "42"));
    number->setJSONReadingOptions(NSJSONReadingAllowFragments);
    EXPECT_EQ(run(number).object.intValue(), 42);
    auto object = make<AFJSONRequestOperation>(reply(200, "application/json", "{\"k\":[1]}"));
    object->setJSONReadingOptions(NSJSONReadingAllowFragments);
    EXPECT_TRUE(run(object).object.dictionary());

    // A 404 with a JSON body: the HTTP error, and the factory's failure block gets the body.
    std::optional<Value> failedBody;
    Ref<plat::Error> failedError;
    auto factory = AFJSONRequestOperation::JSONRequestOperationWithRequest(
        reply(404, "application/json", "{\"Message\":\"not here\"}"), nullptr,
        [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>& response,
            const Ref<plat::Error>& error, const Value& json) {
            EXPECT_EQ(response->statusCode(), 404);
            failedError = error;
            failedBody = json;
        });
    factory->start();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return failedBody.has_value(); }, 10));
    EXPECT_EQ(failedError->code(), -1011);
    EXPECT_EQ(*failedBody->dictionary()->objectForKey("Message").string(), "not here");

    // ".json" is enough; an upper-case extension is not.
    EXPECT_TRUE(AFJSONRequestOperation::canProcessRequest(
        plat::UrlRequest(*plat::Url::parse("http://h.test/a.json"))));
    EXPECT_FALSE(AFJSONRequestOperation::canProcessRequest(
        plat::UrlRequest(*plat::Url::parse("http://h.test/a.JSON"))));
}

TEST_F(FormatOperationTest, PropertyListsInEveryFormatAndTheirFormat) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>k</key>"
        "<string>v</string></dict></plist>";
    const std::string text = "{ k = v; }";
    const std::string binary = [] {
        // bplist00 { "k": "v" }
        const unsigned char b[] = {'b',  'p',  'l', 'i',  's', 't',  '0',  '0',  0xD1, 0x01,
                                   0x02, 0x51, 'k', 0x51, 'v', 0x08, 0x0B, 0x0D, 0,    0,
                                   0,    0,    0,   0,    1,   1,    0,    0,    0,    0,
                                   0,    0,    0,   3,    0,   0,    0,    0,    0,    0,
                                   0,    0,    0,   0,    0,   0,    0,    0,    0,    0x0F};
        return std::string(reinterpret_cast<const char*>(b), sizeof b);
    }();
    for (const auto& [body, format] : {std::pair{xml, plat::PropertyListFormat::XML},
                                       std::pair{text, plat::PropertyListFormat::OpenStep},
                                       std::pair{binary, plat::PropertyListFormat::Binary}}) {
        auto op = make<AFPropertyListRequestOperation>(reply(200, "application/x-plist", body));
        EXPECT_EQ(op->propertyListFormat(), 0U);
        const auto outcome = run(op);
        ASSERT_FALSE(outcome.error) << outcome.error->description();
        EXPECT_EQ(*outcome.object.dictionary()->objectForKey("k").string(), "v");
        EXPECT_EQ(op->propertyListFormat(), static_cast<uint64_t>(format));
    }
    EXPECT_TRUE(run(make<AFPropertyListRequestOperation>(
                        reply(200, "application/x-plist", "<plist><dict><key>")))
                    .error);
}

TEST_F(FormatOperationTest, XmlParsersDocumentsAndHostileXml) {
    const std::string feed =
        "<?xml version=\"1.0\"?><feed><item id=\"1\">ไทย &amp; more</item>"
        "<item id=\"2\"><![CDATA[raw <b>]]></item></feed>";
    auto op = make<AFXMLRequestOperation>(reply(200, "text/xml", feed));
    const auto outcome = run(op);
    ASSERT_FALSE(outcome.error);
    const auto parser = std::dynamic_pointer_cast<plat::XmlParser>(outcome.object.object());
    ASSERT_TRUE(parser);
    struct Collect : plat::XmlParserDelegate {
        std::vector<std::string> starts;
        std::string text;
        void didStartElement(plat::XmlParser&, const std::string& name,
                             const Attributes& attributes) override {
            starts.push_back(name + (attributes.empty() ? "" : "#" + attributes[0].second));
        }
        void foundCharacters(plat::XmlParser&, const std::string& chars) override { text += chars; }
    };
    auto collect = std::make_shared<Collect>();
    parser->setDelegate(collect);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(collect->starts, (std::vector<std::string>{"feed", "item#1", "item#2"}));
    EXPECT_EQ(collect->text, "ไทย & moreraw <b>");
    const auto document = op->responseXMLDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->rootElement()->name, "feed");
    EXPECT_EQ(document->rootElement()->stringValue(), "ไทย & moreraw <b>");
    op->cancel();
    EXPECT_FALSE(parser->hasDelegate());

    // The document factory reads the tree in its callback.
    std::optional<Value> tree;
    auto factory = AFXMLRequestOperation::XMLDocumentRequestOperationWithRequest(
        reply(200, "application/xml", feed),
        [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
            const Value& object) { tree = object; },
        nullptr);
    factory->start();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return tree.has_value(); }, 10));
    EXPECT_TRUE(std::dynamic_pointer_cast<plat::XmlDocument>(tree->object()));

    // Bombs, external entities and broken text never parse; no file is read.
    const auto secret = testing_support::freshTestFolder() / "secret.txt";
    std::ofstream(secret) << "TOP SECRET";
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY a \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            bomb += i == 1 ? "&a;" : "&a" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><b>&a9;</b>";
    const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY s SYSTEM \"file://" +
                                 secret.string() + "\">]><x>&s;</x>";
    for (const std::string& hostile :
         {bomb, external, std::string("<a><b></a>"), std::string("not xml at all")}) {
        const plat::Bytes bytes(hostile.begin(), hostile.end());
        Ref<plat::Error> error;
        EXPECT_FALSE(plat::XmlDocument::make(bytes, 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->localizedDescription().find("TOP SECRET"), std::string::npos);
        auto events = plat::XmlParser::make(bytes);
        auto seen = std::make_shared<Collect>();
        events->setDelegate(seen);
        EXPECT_FALSE(events->parse());
        EXPECT_EQ(seen->text.find("TOP SECRET"), std::string::npos);
        EXPECT_LT(seen->text.size(), 1000U);
    }
    const auto failed = run(make<AFXMLRequestOperation>(reply(200, "text/xml", external)));
    EXPECT_FALSE(failed.error);  // the parser is only built here; running it fails
}

}  // namespace
