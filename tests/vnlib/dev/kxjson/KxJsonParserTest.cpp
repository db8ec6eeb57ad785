#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "KxJsonTestSupport.h"
#include "platform/core/Collections.h"
#include "platform/core/Log.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAccumulator.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"

using kxjson_test::nestedArrays;
using kxjson_test::parse;
using plat::Value;

namespace {

// The single element of a parsed one-element array.
Value element(const std::string& text) {
    const auto outcome = parse("[" + text + "]");
    EXPECT_TRUE(outcome.error.empty()) << text << ": " << outcome.error;
    auto array = outcome.value.array();
    return array && array->count() == 1 ? array->objectAtIndex(0) : Value();
}

plat::Decimal decimal(bool negative, std::string digits, int exponent) {
    return plat::Decimal{negative, std::move(digits), exponent};
}

}  // namespace

TEST(KxJsonParser, BuildsMutableContainersOfTheDocumentsValues) {
    const auto outcome = parse(R"({"a":[1,2.5,true,null,"x"],"b":{},"a2":false})");
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    auto dict = outcome.value.as<plat::MutableDictionary>();
    ASSERT_TRUE(dict && dict->isMutable());
    auto a = dict->objectForKey("a").as<plat::MutableArray>();
    ASSERT_TRUE(a && a->isMutable());
    ASSERT_EQ(a->count(), 5u);
    ASSERT_TRUE(a->objectAtIndex(0).number());
    EXPECT_EQ(a->objectAtIndex(0).number()->type(), 'q');
    EXPECT_EQ(a->objectAtIndex(0).int64Value(), 1);
    ASSERT_TRUE(a->objectAtIndex(1).decimal());
    EXPECT_EQ(*a->objectAtIndex(1).decimal(), decimal(false, "25", -1));
    EXPECT_TRUE(a->objectAtIndex(2).identical(Value::boolean(true)));
    EXPECT_TRUE(a->objectAtIndex(3).isNull());
    EXPECT_EQ(a->objectAtIndex(4), Value("x"));
    EXPECT_TRUE(dict->objectForKey("a2").identical(Value::boolean(false)));
    EXPECT_TRUE(dict->objectForKey("b").as<plat::MutableDictionary>());

    a->addObject(Value("added"));  // the results belong to the caller, who may change them
    dict->setObject(Value(int64_t{7}), Value("c"));
    EXPECT_EQ(a->count(), 6u);
    EXPECT_EQ(dict->count(), 4u);
}

TEST(KxJsonParser, RepeatedKeyKeepsTheLaterValueAndWhitespaceIsAllowedAround) {
    const auto outcome = parse(" \t\r\n{ \"k\" : 1 , \"k\" : [ ] } \n");
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    auto dict = outcome.value.dictionary();
    EXPECT_EQ(dict->count(), 1u);
    EXPECT_TRUE(dict->objectForKey("k").isArray());
}

TEST(KxJsonParser, NestingIsLimitedToMaxDepth) {
    EXPECT_TRUE(parse(nestedArrays(32)).error.empty());
    EXPECT_EQ(parse(nestedArrays(33)).error, "Input depth exceeds max depth of 32");
    std::string objects;
    for (int i = 0; i < 33; ++i)
        objects += R"({"k":)";
    objects += "1" + std::string(33, '}');
    EXPECT_EQ(parse(objects).error, "Input depth exceeds max depth of 32");
    EXPECT_TRUE(parse(nestedArrays(3), 3).error.empty());
    EXPECT_EQ(parse(nestedArrays(4), 3).error, "Input depth exceeds max depth of 3");
    EXPECT_EQ(parse("[]", 0).error, "Input depth exceeds max depth of 0");
    // Depth is about nesting, not about how many containers follow each other.
    std::string siblings = "[";
    for (int i = 0; i < 100; ++i)
        siblings += (i ? "," : "") + nestedArrays(31);
    EXPECT_TRUE(parse(siblings + "]").error.empty());
}

TEST(KxJsonParser, MaxDepthHasACeilingAndDeepValuesAreReleasedSafely) {
    auto parser = std::make_shared<KxJsonParser>();
    parser->setMaxDepth(1000000);
    EXPECT_EQ(parser->maxDepth(), KxJsonStreamParser::kMaxDepthCeiling);
    EXPECT_EQ(parse(nestedArrays(513), 1000000).error, "Input depth exceeds max depth of 512");
    EXPECT_TRUE(parse(nestedArrays(512, "1"), 1000000).error.empty());
    // A value nested far deeper than any parse allows, built in code, is freed without
    // exhausting the stack.
    Value deep(plat::MutableArray::make());
    for (int i = 0; i < 200000; ++i) {
        auto outer = plat::MutableDictionary::make();
        outer->setObject(plat::MutableArray::make({deep}), Value("k"));
        deep = Value(outer);
    }
    deep = Value();
}

TEST(KxJsonStreamParser, StringsCutAnywhereReadOnFromWhereTheyStopped) {
    // Thai text (three bytes a character), a two-unit escape and escapes of every kind, fed one
    // byte at a time, then as a long string in pieces that split characters.
    const std::string text = R"(["ไทย\u0e01\ud83d\ude00\n\"x\"\/ก"])";
    auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setDelegate(adapter);
    for (size_t i = 0; i + 1 < text.size(); ++i)
        ASSERT_EQ(parser->parse(text.substr(i, 1)), KxJsonStreamParserWaitingForData) << i;
    ASSERT_EQ(parser->parse(text.substr(text.size() - 1)), KxJsonStreamParserComplete);
    EXPECT_EQ(accumulator->value().array()->objectAtIndex(0),
              Value("ไทย\u0E01\U0001F600\n\"x\"/ก"));

    std::string longText = "[\"";
    for (int i = 0; i < 30000; ++i)
        longText += "ไทย";
    longText += "\"]";
    std::mt19937_64 rng(27);
    const auto pieces = kxjson_test::parseInPieces(longText, rng);
    ASSERT_TRUE(pieces.error.empty()) << pieces.error;
    EXPECT_EQ(pieces.value, parse(longText).value);
    // Broken UTF-8 split across pieces is still found.
    EXPECT_EQ(kxjson_test::parseInPieces("[\"ab\xE0\xB8\"]", rng).error, "Broken Unicode encoding");
}

TEST(KxJsonStreamParser, NumbersCutAnywhereReadOnAndLongExponentsCostTheirLength) {
    std::mt19937_64 rng(36);
    for (const char* text : {"[-12.5e+07,0,-0.0,123456789012345678901]", "[1E-3,9e9]"}) {
        const auto pieces = kxjson_test::parseInPieces(text, rng);
        ASSERT_TRUE(pieces.error.empty()) << text << ": " << pieces.error;
        EXPECT_EQ(pieces.value, parse(text).value) << text;
    }
    // An exponent of four million digits in 1 KB pieces: its scan goes on where it stopped, so
    // the pieces cost what the whole text does (rescanning it would take minutes).
    std::string longExponent = "[5e-";
    longExponent.append(4'000'000, '0');
    longExponent += "3]";
    auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setDelegate(adapter);
    const auto started = std::chrono::steady_clock::now();
    KxJsonStreamParserStatus status = KxJsonStreamParserWaitingForData;
    for (size_t at = 0; at < longExponent.size(); at += 1024)
        status = parser->parse(std::string_view(longExponent).substr(at, 1024));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(status, KxJsonStreamParserComplete) << parser->error().value_or("");
    EXPECT_EQ(accumulator->value(), parse(longExponent).value);
}

TEST(KxJsonParser, IntegersUpTo19DigitsAreInt64AndLongerOnesDecimals) {
    struct Case {
        const char* text;
        int64_t value;
    };
    for (const Case& c :
         {Case{"0", 0}, Case{"-0", 0}, Case{"42", 42}, Case{"-17", -17},
          Case{"9223372036854775807", INT64_MAX}, Case{"-9223372036854775808", INT64_MIN}}) {
        const Value v = element(c.text);
        ASSERT_TRUE(v.number()) << c.text;
        EXPECT_EQ(v.number()->type(), 'q') << c.text;
        EXPECT_EQ(v.number()->int64Value(), c.value) << c.text;
    }
    // Beyond the signed 64-bit range with 19 digits, and with 20 to 38 digits: the text's value.
    EXPECT_EQ(*element("9223372036854775808").decimal(), decimal(false, "9223372036854775808", 0));
    EXPECT_EQ(*element("-9223372036854775809").decimal(), decimal(true, "9223372036854775809", 0));
    EXPECT_EQ(*element("9999999999999999999").decimal(), decimal(false, "9999999999999999999", 0));
    EXPECT_EQ(*element("12345678901234567890").decimal(), decimal(false, "1234567890123456789", 1));
    EXPECT_EQ(element("-12345678901234567890123456789012345678").decimal()->stringValue(),
              "-12345678901234567890123456789012345678");
    EXPECT_EQ(element("0.12345678901234567890").decimal()->stringValue(), "0.1234567890123456789");
}

TEST(KxJsonParser, FractionsAndExponentsAreDecimals) {
    EXPECT_EQ(*element("1.5").decimal(), decimal(false, "15", -1));
    EXPECT_EQ(*element("2.50").decimal(), decimal(false, "25", -1));
    EXPECT_EQ(*element("-0.05").decimal(), decimal(true, "5", -2));
    EXPECT_EQ(*element("123.456e2").decimal(), decimal(false, "123456", -1));
    EXPECT_EQ(*element("1E+3").decimal(), decimal(false, "1", 3));
    EXPECT_EQ(*element("1e127").decimal(), decimal(false, "1", 127));
    EXPECT_EQ(*element("1e-128").decimal(), decimal(false, "1", -128));
    EXPECT_EQ(*element("1.5e-127").decimal(), decimal(false, "15", -128));
    EXPECT_EQ(*element("1e0000000000000000000000000000005").decimal(), decimal(false, "1", 5));
    EXPECT_EQ(*element("-.5").decimal(), decimal(true, "5", -1));
}

TEST(KxJsonParser, ZeroWithFractionOrExponentIsADoubleZeroSignedOnlyByAMinus) {
    for (const char* positive : {"0.0", "0e5", "0.000", "0E-3", "0.0e+0"}) {
        const Value v = element(positive);
        ASSERT_TRUE(v.number()) << positive;
        EXPECT_EQ(v.number()->type(), 'd') << positive;
        EXPECT_EQ(v.doubleValue(), 0.0) << positive;
        EXPECT_FALSE(std::signbit(v.doubleValue())) << positive;
    }
    for (const char* negative : {"-0.0", "-0e5", "-0.00e-2"}) {
        const Value v = element(negative);
        ASSERT_TRUE(v.number()) << negative;
        EXPECT_EQ(v.number()->type(), 'd') << negative;
        EXPECT_TRUE(std::signbit(v.doubleValue())) << negative;
    }
}

TEST(KxJsonParser, StringsResolveEscapesAndKeepUnicode) {
    EXPECT_EQ(element(R"("\"\\\/\b\f\n\r\t")"), Value("\"\\/\b\f\n\r\t"));
    EXPECT_EQ(element(R"("caf\u00e9 \u00C9")"), Value("caf\xc3\xa9 \xc3\x89"));
    EXPECT_EQ(element(R"("\ud834\uDD1E")"), Value("\xf0\x9d\x84\x9e"));
    EXPECT_EQ(element("\"\xe0\xb8\x81\xf0\x9f\x98\x80 raw\""),
              Value("\xe0\xb8\x81\xf0\x9f\x98\x80 raw"));
    const Value nul = element(R"("a\u0000b")");
    ASSERT_TRUE(nul.string());
    EXPECT_EQ(*nul.string(), std::string("a\0b", 3));
    EXPECT_EQ(element(R"("")"), Value(""));
    const auto keyed = parse(R"({"k\u00e9\n":1})");
    EXPECT_EQ(keyed.value.dictionary()->objectForKey("k\xc3\xa9\n").int64Value(), 1);
}

TEST(KxJsonParser, EveryMalformedInputHasItsOwnErrorText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        // The input ends before the outermost container closes.
        {"", "Unexpected end of input"},
        {"   ", "Unexpected end of input"},
        {"[", "Unexpected end of input"},
        {"[1", "Unexpected end of input"},
        {R"(["abc)", "Unexpected end of input"},
        {R"({"a":tr)", "Unexpected end of input"},
        {"1", "Unexpected end of input"},
        {R"(["\ud834"])", "Unexpected end of input"},
        // Tokens in the wrong place.
        {R"("x")", "Token 'string' not expected before outer-most array or object"},
        {"true", "Token 'boolean' not expected before outer-most array or object"},
        {"null", "Token 'null' not expected before outer-most array or object"},
        {"1 ", "Token 'number' not expected before outer-most array or object"},
        {"]", "Token 'end of array' not expected before outer-most array or object"},
        {"{}{}", "Token 'start of object' not expected after outer-most array or object"},
        {"[1,]", "Token 'end of array' not expected as array value"},
        {"[:]", "Token 'key-value separator' not expected at array start"},
        {"[}", "Token 'end of object' not expected at array start"},
        {"[1 2]", "Token 'number' not expected after array value"},
        {"{,}", "Token 'value separator' not expected at beginning of object"},
        {"{1:2}", "Token 'number' not expected at beginning of object"},
        {R"({"a"})", "Token 'end of object' not expected after object key"},
        {R"({"a":})", "Token 'end of object' not expected as object value"},
        {R"({"a":1 "b":2})", "Token 'string' not expected after object value"},
        {R"({"a":1,})", "Token 'end of object' not expected in place of object key"},
        {R"({"a":1])", "Token 'end of array' not expected after object value"},
        // Tokens that cannot be read.
        {"{} x", "Illegal start of token [x]"},
        {"[.5]", "Illegal start of token [.]"},
        {"[\xff]", "Illegal start of token [\xc3\xbf]"},
        {"[+1]", "Leading + is illegal in number"},
        {"[tru]", "Expected 'true' after initial 't'"},
        {"[nul]", "Expected 'null' after initial 'n'"},
        {"[fals]", "Expected 'false' after initial 'f'"},
        {"[01]", "Leading zero is illegal in number"},
        {"[-01]", "Leading zero is illegal in number"},
        {"[1.]", "No digits after decimal point"},
        {"[1.e5]", "No digits after decimal point"},
        {"[1e]", "No digits in exponent"},
        {"[1e+]", "No digits in exponent"},
        {"[-]", "No digits after initial minus"},
        {"[-e5]", "No digits after initial minus"},
        {"[" + std::string(39, '1') + "]", "Precision is too high"},
        {"[0." + std::string(38, '0') + "]", "Precision is too high"},
        {"[1e128]", "Exponent out of range"},
        {"[1e-129]", "Exponent out of range"},
        {"[1.5e-128]", "Exponent out of range"},
        {"[1e99999999999999999999]", "Exponent out of range"},
        {"[1e65537]", "Exponent out of range"},
        {R"(["\x"])", "Illegal escape character"},
        {R"(["\u12G4"])", "Invalid hex quad"},
        {R"(["\uD834abcdef"])", "Missing low character in surrogate pair"},
        {R"(["\uD834\u12"] )", "Missing low character in surrogate pair"},
        {R"(["\uD834\u0041"])", "Invalid low character in surrogate pair"},
        {R"(["\uDD1E"])", "Invalid high character in surrogate pair"},
        {"[\"a\tb\"]", "Unescaped control character [0x09]"},
        {"[\"a\nb\"]", "Unescaped control character [0x0A]"},
        {std::string("[\"a\0b\"]", 7), "Unescaped control character [0x00]"},
        {"[\"\xff\"]", "Broken Unicode encoding"},
        {"[\"\xc0\xaf\"]", "Broken Unicode encoding"},          // overlong "/"
        {"[\"\xed\xa0\x80\"]", "Broken Unicode encoding"},      // an encoded surrogate
        {"[\"\xf4\x90\x80\x80\"]", "Broken Unicode encoding"},  // beyond U+10FFFF
        {"[\"\xe0\xb8\"]", "Broken Unicode encoding"},          // cut short by the quote
    };
    for (const auto& [text, error] : cases) {
        const auto outcome = parse(text);
        EXPECT_TRUE(outcome.value.isNil()) << text;
        EXPECT_EQ(outcome.error, error) << text;
    }
    EXPECT_TRUE(parse("{}  \n").error.empty());
}

TEST(KxJsonParser, FacadeReportsAbsentInputErrorObjectsAndLogsJSONValueFailures) {
    auto parser = std::make_shared<KxJsonParser>();
    EXPECT_FALSE(parser->error());
    EXPECT_TRUE(parser->objectWithString(static_cast<const std::string*>(nullptr)).isNil());
    EXPECT_EQ(parser->error(), "Input was 'nil'");
    EXPECT_TRUE(parser->objectWithData(static_cast<const plat::Bytes*>(nullptr)).isNil());
    EXPECT_EQ(parser->error(), "Input was 'nil'");
    EXPECT_TRUE(parser->objectWithData(plat::Bytes{'[', '7', ']'}).isArray());

    Ref<plat::Error> error;
    EXPECT_TRUE(parser->objectWithString("[1,]", &error).isNil());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "KxJsonParserErrorDomain");
    EXPECT_EQ(error->code(), 0);
    EXPECT_EQ(error->localizedDescription(), "Token 'end of array' not expected as array value");

    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_TRUE(JSONValue("[").isNil());
    EXPECT_TRUE(JSONValue(plat::Bytes{'{', '}'}).isDictionary());
    plat::setLogSink(previous);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "-JSONValue failed. Error is: Unexpected end of input");
}

TEST(KxJsonStreamParser, ReadsOnAcrossPiecesAndStaysInErrorForGood) {
    auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setDelegate(adapter);

    // Every cut falls inside a token: a key, an escape, a surrogate pair, a number, a word.
    for (const char* piece :
         {R"({"ke)", R"(y":["\u00)", R"(e9\ud83d)", R"(\ude00", 12)", "3, tr", "ue, -1.", "5e1]"}) {
        EXPECT_EQ(parser->parse(piece), KxJsonStreamParserWaitingForData) << piece;
    }
    EXPECT_EQ(parser->parse("}"), KxJsonStreamParserComplete);
    auto array = accumulator->value().dictionary()->objectForKey("key").array();
    ASSERT_TRUE(array);
    ASSERT_EQ(array->count(), 4u);
    EXPECT_EQ(array->objectAtIndex(0), Value("\xc3\xa9\xf0\x9f\x98\x80"));
    EXPECT_EQ(array->objectAtIndex(1).int64Value(), 123);
    EXPECT_TRUE(array->objectAtIndex(2).identical(Value::boolean(true)));
    EXPECT_EQ(*array->objectAtIndex(3).decimal(), decimal(true, "15", 0));

    EXPECT_EQ(parser->parse(" ["), KxJsonStreamParserError);
    EXPECT_EQ(parser->error(),
              "Token 'start of array' not expected after outer-most array or object");
    EXPECT_EQ(parser->parse("]"), KxJsonStreamParserError);
}

TEST(KxJsonStreamParser, MultipleDocumentsAndSkippedLevelsReachTheDelegateOneByOne) {
    struct Collector : KxJsonStreamParserAdapterDelegate {
        std::vector<Value> values;
        void parserFoundArray(KxJsonStreamParser&, const Value& v) override { values.push_back(v); }
        void parserFoundObject(KxJsonStreamParser&, const Value& v) override {
            values.push_back(v);
        }
    };
    auto collector = std::make_shared<Collector>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(collector);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setDelegate(adapter);
    parser->setSupportMultipleDocuments(true);
    EXPECT_EQ(parser->parse("[1] {\"a\":2} [[]]"), KxJsonStreamParserWaitingForData);
    ASSERT_EQ(collector->values.size(), 3u);
    EXPECT_EQ(collector->values[1].dictionary()->objectForKey("a").int64Value(), 2);

    collector->values.clear();
    auto skipping = std::make_shared<KxJsonStreamParserAdapter>();
    skipping->setDelegate(collector);
    skipping->setLevelsToSkip(1);
    auto second = std::make_shared<KxJsonStreamParser>();
    second->setDelegate(skipping);
    EXPECT_EQ(second->parse(R"({"a":[1],"b":2,"c":{"d":3}})"), KxJsonStreamParserComplete);
    ASSERT_EQ(collector->values.size(), 3u);
    EXPECT_TRUE(collector->values[0].isArray());
    EXPECT_EQ(collector->values[1].int64Value(), 2);
    EXPECT_EQ(collector->values[2].dictionary()->objectForKey("d").int64Value(), 3);
}
