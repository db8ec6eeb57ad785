#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "KxJsonTestSupport.h"
#include "platform/core/Collections.h"
#include "platform/core/Log.h"
#include "support/DynamicObject.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriter.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriterAccumulator.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"

using kxjson_test::write;
using plat::Value;

namespace {

// A record-like object that is written as the value its "proxyForJson" answers.
class KxTestRecord : public plat::Object {
    PLAT_CLASS(KxTestRecord)
  public:
    Value proxyForJson() { return proxy; }
    Value proxy;
};
PLAT_DEFINE_CLASS(KxTestRecord, plat::Object,
                  [](auto& c) { c.method("proxyForJson", &KxTestRecord::proxyForJson); })

class KxPlainObject : public plat::Object {
    PLAT_CLASS(KxPlainObject)
};
PLAT_DEFINE_CLASS(KxPlainObject, plat::Object, PLAT_NO_METHODS)

Value array(std::vector<Value> values) {
    return Value(plat::MutableArray::make(std::move(values)));
}

Value dictionary(std::vector<std::pair<Value, Value>> entries) {
    return Value(plat::MutableDictionary::make(std::move(entries)));
}

Value record(Value proxy) {
    auto r = std::make_shared<KxTestRecord>();
    r->proxy = std::move(proxy);
    return Value(r);
}

Value nested(size_t depth) {
    Value v = array({});
    for (size_t i = 1; i < depth; ++i)
        v = array({v});
    return v;
}

}  // namespace

TEST(KxJsonWriter, WritesCompactTextWithKeysInTheDictionarysOwnOrder) {
    EXPECT_EQ(write(dictionary({{"a", array({int64_t{1}, int64_t{2}})}})).text, R"({"a":[1,2]})");
    EXPECT_EQ(write(dictionary({{"z", int64_t{1}}, {"a", array({})}, {"m", dictionary({})}})).text,
              R"({"z":1,"a":[],"m":{}})");
    EXPECT_EQ(write(array({})).text, "[]");
    EXPECT_EQ(write(dictionary({})).text, "{}");
}

TEST(KxJsonWriter, NumbersFollowTheirStorageTypeAndOnlySharedBooleansAreTrueOrFalse) {
    const Value numbers = array({
        Value::boolean(true),
        Value::boolean(false),
        plat::Number::fromChar(1),  // a BOOL-typed number is still a number
        plat::Number::fromChar(0),
        int64_t{42},
        plat::Number::fromInt64(-5, 's'),
        std::numeric_limits<uint64_t>::max(),
        plat::Number::fromUInt64(7, 'C'),
        0.1,
        plat::Number::fromDouble(0.1, 'f'),
        1e20,
        -0.0,
        plat::Decimal{false, "12345678901234567890123", -3},
        plat::Decimal{true, "5", -2},
        plat::Decimal{false, "25", 2},
        Value::null(),
    });
    const auto written = write(numbers);
    ASSERT_TRUE(written.ok) << written.text;
    EXPECT_EQ(written.text,
              "[true,false,1,0,42,-5,18446744073709551615,7,0.10000000000000001,"
              "0.10000000149011612,1e+20,-0,12345678901234567890.123,-0.05,2500,null]");
}

TEST(KxJsonWriter, StringsEscapeOnlyQuotesBackslashesAndControlBytes) {
    const std::string raw =
        std::string("\t\"\\\x01/\xc3\xa9\x7f") + std::string(1, '\0') + "\b\f\n\r\x0b\x1f";
    const auto written = write(dictionary({{raw, raw}}));
    const std::string escaped = R"("\t\"\\\u0001/)"
                                "\xc3\xa9\x7f"
                                R"(\u0000\b\f\n\r\u000b\u001f")";
    EXPECT_EQ(written.text, "{" + escaped + ":" + escaped + "}");
}

TEST(KxJsonWriter, RefusesWhatJSONCannotHold) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<Value, std::string>> cases = {
        {array({std::nan("")}), "NaN is not a valid number in JSON"},
        {array({inf}), "+Infinity is not a valid number in JSON"},
        {array({-inf}), "-Infinity is not a valid number in JSON"},
        {array({plat::Number::fromDouble(-inf, 'f')}), "-Infinity is not a valid number in JSON"},
        {dictionary({{"ok", 1}, {int64_t{1}, 2}}), "JSON object key must be string: 1"},
        {dictionary({{Value::null(), 2}}), "JSON object key must be string: <null>"},
        {array({Value(std::make_shared<KxPlainObject>())}),
         "JSON serialisation not supported for KxPlainObject"},
        {array({Value::data({1, 2})}), "JSON serialisation not supported for NSData"},
        {array({plat::Date{5}}), "JSON serialisation not supported for NSDate"},
        {array({Value()}), "JSON serialisation not supported for (null)"},
        {Value("text"), "Not valid type for JSON"},
        {Value(int64_t{1}), "Not valid type for JSON"},
        {Value::null(), "Not valid type for JSON"},
        {Value::boolean(true), "Not valid type for JSON"},
        {Value(std::make_shared<KxPlainObject>()), "Not valid type for JSON"},
    };
    for (const auto& [value, error] : cases) {
        const auto written = write(value);
        EXPECT_FALSE(written.ok) << error;
        EXPECT_EQ(written.text, error);
    }
}

TEST(KxJsonWriter, NestingIsLimitedToMaxDepth) {
    EXPECT_TRUE(write(nested(32)).ok);
    EXPECT_EQ(write(nested(33)).text, "Nested too deep");
    EXPECT_EQ(write(nested(4), 3).text, "Nested too deep");
    EXPECT_TRUE(write(nested(40), 0).ok);

    auto selfContaining = plat::MutableArray::make();
    selfContaining->addObject(Value(selfContaining));
    EXPECT_EQ(write(Value(selfContaining)).text, "Nested too deep");
    selfContaining->removeAllObjects();  // break the cycle
}

TEST(KxJsonWriter, ObjectsAreWrittenAsTheirProxyForJson) {
    const Value rec = record(dictionary({{"Id", int64_t{7}}, {"Title", "x"}}));
    EXPECT_EQ(write(rec).text, R"({"Id":7,"Title":"x"})");
    EXPECT_EQ(write(array({rec, record("plain text")})).text,
              R"([{"Id":7,"Title":"x"},"plain text"])");
    EXPECT_EQ(write(record(rec)).text, R"({"Id":7,"Title":"x"})");
    EXPECT_EQ(write(record("only text")).text, "Not valid type for JSON");

    auto dynamic = testing_support::DynamicObject::make();
    dynamic->on("proxyForJson", [](plat::Args&) { return std::any(array({int64_t{3}})); });
    EXPECT_EQ(write(dictionary({{"d", Value(dynamic)}})).text, R"({"d":[3]})");

    // Proxies that answer each other never reach a JSON value: refused, not followed forever.
    auto a = std::make_shared<KxTestRecord>();
    auto b = std::make_shared<KxTestRecord>();
    a->proxy = Value(b);
    b->proxy = Value(a);
    EXPECT_EQ(write(array({Value(a)})).text, "JSON serialisation not supported for KxTestRecord");
    EXPECT_EQ(write(Value(a)).text, "Not valid type for JSON");
    a->proxy = Value();
    b->proxy = Value();
}

TEST(KxJsonWriter, FacadeClearsItsErrorAndReportsErrorObjectsAndLogs) {
    auto writer = std::make_shared<KxJsonWriter>();
    EXPECT_FALSE(writer->error());
    EXPECT_FALSE(writer->dataWithObject(array({std::nan("")})));
    EXPECT_EQ(writer->error(), "NaN is not a valid number in JSON");
    const auto data = writer->dataWithObject(array({"ok"}));
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), R"(["ok"])");
    EXPECT_FALSE(writer->error());

    Ref<plat::Error> error;
    EXPECT_FALSE(writer->stringWithObject(Value("top"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "KxJsonWriterErrorDomain");
    EXPECT_EQ(error->code(), 0);
    EXPECT_EQ(error->localizedDescription(), "Not valid type for JSON");

    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(JSONRepresentation(dictionary({{"k", Value::null()}})), R"({"k":null})");
    EXPECT_FALSE(JSONRepresentation(Value("top")));
    plat::setLogSink(previous);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "-JSONRepresentation failed. Error is: Not valid type for JSON");
}

TEST(KxJsonWriter, HumanReadableLayoutAndSortedKeys) {
    auto writer = std::make_shared<KxJsonWriter>();
    writer->setHumanReadable(true);
    EXPECT_EQ(writer->stringWithObject(dictionary({{"a", array({int64_t{1}, int64_t{2}})}})),
              "{\n  \"a\": [\n    1,\n    2\n  ]\n}");
    EXPECT_EQ(writer->stringWithObject(dictionary({})), "{\n}");
    EXPECT_EQ(writer->stringWithObject(array({})), "[\n]");
    EXPECT_EQ(writer->stringWithObject(array({dictionary({{"k", "v"}, {"l", array({})}})})),
              "[\n  {\n    \"k\": \"v\",\n    \"l\": [\n    ]\n  }\n]");

    writer->setHumanReadable(false);
    writer->setSortKeys(true);
    const Value keys = dictionary({{"b", 1}, {"B", 2}, {"aa", 3}, {"c", 4}, {"a", 5}});
    EXPECT_EQ(writer->stringWithObject(keys), R"({"B":2,"a":5,"aa":3,"b":1,"c":4})");
    writer->setSortKeysComparator([](const Value& x, const Value& y) {
        return static_cast<int>(x.string()->size()) - static_cast<int>(y.string()->size());
    });
    // By length, equal lengths in the dictionary's own order.
    EXPECT_EQ(writer->stringWithObject(keys), R"({"b":1,"B":2,"c":4,"a":5,"aa":3})");
}

TEST(KxJsonStreamWriter, RefusesWritesOutOfPlaceWithoutBreakingTheOutput) {
    auto accumulator = std::make_shared<KxJsonStreamWriterAccumulator>();
    auto writer = std::make_shared<KxJsonStreamWriter>();
    writer->setDelegate(accumulator);

    EXPECT_FALSE(writer->writeArrayClose());  // nothing is open
    EXPECT_EQ(writer->error(), "Cannot close array here");
    EXPECT_FALSE(writer->writeObjectClose());
    EXPECT_EQ(writer->error(), "Cannot close object here");

    ASSERT_TRUE(writer->writeObjectOpen());
    EXPECT_FALSE(writer->writeNumber(Value(int64_t{1})));
    EXPECT_EQ(writer->error(), "JSON object key must be string");
    EXPECT_FALSE(writer->writeArrayOpen());
    EXPECT_FALSE(writer->writeArrayClose());
    EXPECT_FALSE(writer->writeBool(true));
    ASSERT_TRUE(writer->writeString("k"));
    EXPECT_FALSE(writer->writeObjectClose());  // the member's value is missing
    EXPECT_EQ(writer->error(), "Cannot close object here");
    ASSERT_TRUE(writer->writeNull());
    ASSERT_TRUE(writer->writeObjectClose());

    EXPECT_FALSE(writer->writeNull());
    EXPECT_EQ(writer->error(), "Stream is closed");
    EXPECT_FALSE(writer->writeArrayOpen());
    const auto& data = accumulator->data();
    EXPECT_EQ(std::string(data.begin(), data.end()), R"({"k":null})");
}
