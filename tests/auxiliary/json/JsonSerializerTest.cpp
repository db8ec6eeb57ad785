#include <gtest/gtest.h>

#include <cmath>

#include "auxiliary/json/CJSONSerialization.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

namespace {

std::string text(const std::optional<plat::Bytes>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<nil>";
}

std::string write(const plat::Value& v, Ref<plat::Error>* error = nullptr) {
    return text(CJSONSerializer::serializer()->serializeObject(v, error));
}

// A date-like object that knows nothing of JSON.
class Opaque : public plat::Object {
    PLAT_CLASS(Opaque)
};
PLAT_DEFINE_CLASS(Opaque, plat::Object, [](auto&) {})

TEST(JsonSerializerTest, WritesCompactJsonAndFailsWithTheOutermostObject) {
    EXPECT_EQ(write(plat::makeDictionary({})), "{}");
    EXPECT_EQ(write(plat::Array::make({})), "[]");
    EXPECT_EQ(write(plat::Value::null()), "null");
    EXPECT_EQ(write(plat::Value::boolean(true)), "true");
    EXPECT_EQ(write(plat::Number::fromChar(0)), "false");
    EXPECT_EQ(write(plat::Number::fromChar(7)), "7");
    EXPECT_EQ(write(int32_t{1}), "1");
    EXPECT_EQ(write(plat::Value(*plat::Decimal::fromString("-2E-3"))), "-0.002");
    EXPECT_EQ(write(plat::makeDictionary({{"b", plat::Array::make({1, "x"})}, {"a", 2.5}})),
              R"({"b":[1,"x"],"a":2.5})");
    EXPECT_EQ(write("a\"b/c\t\xC3\xA9"), R"("a\"b\/c\t)"
                                         "\xC3\xA9\"");
    EXPECT_EQ(write(plat::Value::data(plat::Bytes{'h', 'i'})), "\"hi\"");

    // Mended: other control characters and U+0000 escaped, nothing cut; non-finite numbers fail.
    const std::string controls("a\0b\x01\x1f", 5);
    const std::string written = write(controls);
    EXPECT_EQ(written, R"("a\u0000b\u0001\u001f")");
    const plat::Bytes writtenBytes(written.begin(), written.end());
    EXPECT_EQ(*CJSONSerialization::JSONObjectWithData(writtenBytes, 0, nullptr).string(), controls);
    // The other reader takes only containers at the top, and no U+0000.
    const std::string inArray = write(plat::Array::make({controls.substr(2)}));
    const plat::Value other = objectFromJSONData(plat::Bytes(inArray.begin(), inArray.end()));
    ASSERT_TRUE(other.isArray());
    EXPECT_EQ(*other.array()->objectAtIndex(0).string(), controls.substr(2));
    Ref<plat::Error> error;
    EXPECT_EQ(write(plat::Array::make({std::nan("")}), &error), "<nil>");
    EXPECT_EQ(error->localizedDescription().rfind("Could not serialize object '", 0), 0u);
    EXPECT_EQ(write(INFINITY), "<nil>");

    // A date inside an array: the array names the failure; alone it names its type.
    const plat::Value dated = plat::Array::make({plat::Value(plat::Date{0})});
    EXPECT_EQ(write(dated, &error), "<nil>");
    EXPECT_EQ(error->domain(), "TODO_DOMAIN");
    EXPECT_EQ(error->code(), -1);
    EXPECT_EQ(error->localizedDescription(),
              "Could not serialize object '" + dated.description() + "'");
    write(plat::Value(plat::Date{0}), &error);
    EXPECT_EQ(error->localizedDescription(), "Cannot serialize data of type 'NSDate'");
    write(plat::Value(std::make_shared<Opaque>()), &error);
    EXPECT_EQ(error->localizedDescription(), "Cannot serialize data of type 'Opaque'");
    EXPECT_EQ(write(plat::Value::data(plat::Bytes{0xff})), "<nil>");
    EXPECT_FALSE(CJSONSerialization::isValidJSONObject(plat::Value(plat::Date{0})));
    EXPECT_TRUE(CJSONSerialization::isValidJSONObject(dated));

    // Nesting past the limit fails with a clipped description instead of a deep recursion.
    plat::Value deep = plat::Array::make({});
    for (int i = 0; i < 600; ++i)
        deep = plat::Array::make({deep});
    EXPECT_EQ(write(deep, &error), "<nil>");
    EXPECT_LT(error->localizedDescription().size(), 400u);
}

TEST(JsonSerializerTest, FilteringConvertsAtAnyDepthOnlyOnceItsTablesAreSet) {
    auto filtering = std::make_shared<CFilteringJSONSerializer>();
    const auto isDate = [](const plat::Value& v) -> std::optional<std::string> {
        return v.date() ? std::optional<std::string>("date") : std::nullopt;
    };
    const auto dateText = [](const plat::Value& v) {
        return plat::Value("t" + std::to_string(static_cast<int>(v.date()->seconds)));
    };
    filtering->addTest(isDate);  // unset: stays unset
    EXPECT_FALSE(filtering->tests());
    filtering->setTests({});
    filtering->setConvertersByName({});
    filtering->addTest(isDate);
    filtering->addConverter(dateText, "date");
    filtering->addConverter([](const plat::Value&) { return plat::Value::data({'7'}); }, "raw");
    filtering->addTest([](const plat::Value& v) -> std::optional<std::string> {
        return v.isString() && *v.string() == "raw" ? std::optional<std::string>("raw")
                                                    : std::nullopt;
    });
    const plat::Value tree =
        plat::makeDictionary({{"when", plat::Array::make({plat::Value(plat::Date{5}), "raw"})}});
    EXPECT_EQ(text(filtering->serializeObject(tree, nullptr)), R"({"when":["t5",7]})");
}

TEST(JsonSerializerTest, StreamsTakeEveryByteAndReadingRoundTrips) {
    // A stream that takes three bytes per write.
    class Trickle : public plat::OutputStream {
      public:
        bool open() override { return true; }
        int64_t write(const uint8_t* buffer, size_t length) override {
            const size_t n = std::min<size_t>(3, length);
            out.append(reinterpret_cast<const char*>(buffer), n);
            return failAfter-- > 0 ? static_cast<int64_t>(n) : -1;
        }
        std::string out;
        int failAfter = 1000;
    };
    Trickle stream;
    const plat::Value value = plat::makeDictionary({{"list", plat::Array::make({1, 2, 3})}});
    EXPECT_EQ(CJSONSerialization::writeJSONObject(value, stream, 0, nullptr), 16);
    EXPECT_EQ(stream.out, R"({"list":[1,2,3]})"
                          "");
    Trickle failing;
    failing.failAfter = 2;
    EXPECT_EQ(CJSONSerialization::writeJSONObject(value, failing, 0, nullptr), -1);
    EXPECT_EQ(CJSONSerialization::writeJSONObject(plat::Value(plat::Date{}), stream, 0, nullptr),
              -1);
    EXPECT_TRUE(CJSONSerialization::JSONObjectWithStream(nullptr, 0, nullptr).isNil());

    const plat::Bytes data(stream.out.begin(), stream.out.end());
    const plat::Value back =
        CJSONSerialization::JSONObjectWithData(data, kCJSONReadingMutableContainers, nullptr);
    EXPECT_TRUE(back.equals(value));
    EXPECT_TRUE(back.dictionary()->isMutable());
}

}  // namespace
