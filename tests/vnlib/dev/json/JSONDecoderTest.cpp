#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "JSONTestSupport.h"
#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "vnlib/dev/json/JKArray.h"
#include "vnlib/dev/json/JKConvertUTF8.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JSONDecoder.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/web/VnJsonWebRequest.h"

using json_test::parse;
using plat::Value;

namespace {

const char* const kUnexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', "
    "'\"STRING\"', 'NUMBER'.";

// The string of a one-element array.
std::string onlyString(const json_test::Parsed& p) {
    if (!p.value.isArray() || p.value.array()->count() != 1)
        return "<not a one-element array>";
    return p.value.array()->objectAtIndex(0).stringOr("<not a string>");
}

plat::Number onlyNumber(const json_test::Parsed& p) {
    return *p.value.array()->objectAtIndex(0).number();
}

}  // namespace

TEST(JSONDecoder, ReadsContainersAsImmutableCompactCollections) {
    auto p = parse(" [] ");
    ASSERT_TRUE(p.value.isArray()) << p.message();
    EXPECT_EQ(p.value.array()->count(), 0u);
    EXPECT_TRUE(p.value.as<JKArray>());
    EXPECT_FALSE(p.value.array()->isMutable());

    p = parse("\r\n{}\t");
    ASSERT_TRUE(p.value.isDictionary()) << p.message();
    EXPECT_EQ(p.value.dictionary()->count(), 0u);
    EXPECT_TRUE(p.value.as<JKDictionary>());

    p = parse(json_test::sampleCatalogue());
    ASSERT_TRUE(p.value.isDictionary()) << p.message();
    auto items =
        p.value.dictionary()->objectForKey("d").dictionary()->objectForKey("Items").array();
    ASSERT_EQ(items->count(), 2u);
    auto first = items->objectAtIndex(0).dictionary();
    EXPECT_EQ(first->objectForKey("MagazineName").stringOr(), "ชีวจิต");
    EXPECT_TRUE(first->objectForKey("IsBorrowed").identical(Value::boolean(true)));
    EXPECT_TRUE(first->objectForKey("IsFree").identical(Value::boolean(false)));
    EXPECT_TRUE(first->objectForKey("ReturnDate").isNull());
    EXPECT_EQ(first->objectForKey("Description").stringOr(),
              "สุขภาพดี \"เริ่มต้น\" ที่บ้าน\n— Healthy living / at home");
    EXPECT_EQ(first->objectForKey("Price").doubleValue(), 59.5);
    EXPECT_TRUE(first->objectForKey("Missing").isNil());

    // Mutable results on request.
    Ref<plat::Error> error;
    Value m = mutableObjectFromJSONStringWithParseOptions(R"({"a":[1]})", 0, &error);
    ASSERT_TRUE(m.isDictionary());
    EXPECT_TRUE(m.dictionary()->isMutable());
    EXPECT_TRUE(m.dictionary()->objectForKey("a").array()->isMutable());
    m.as<JKDictionary>()->setObject(Value("x"), Value("b"));
    EXPECT_EQ(m.dictionary()->objectForKey("b").stringOr(), "x");

    // Data holding the same text.
    const std::string text = R"([1,"two"])";
    Value fromData = objectFromJSONData(plat::Bytes(text.begin(), text.end()));
    ASSERT_TRUE(fromData.isArray());
    EXPECT_EQ(fromData.array()->objectAtIndex(1).stringOr(), "two");
}

TEST(JSONDecoder, TopLevelMustBeAnArrayOrObject) {
    for (const char* text : {"\"abc\" ", "5 ", "-1.5e3\n", "true ", "false ", "null "}) {
        auto p = parse(text);
        EXPECT_TRUE(p.value.isNil()) << text;
        EXPECT_EQ(p.message(), "Expected either '[' or '{'.") << text;
    }
    EXPECT_EQ(parse("\"abc\" ").index(), 5u);
}

TEST(JSONDecoder, ReportsErrorTextsWithIndexAndLine) {
    struct Case {
        const char* text;
        std::string message;
        uint64_t index;
        uint64_t line;
    };
    const Case cases[] = {
        {"", "Reached the end of the buffer.", 0, 1},
        {"   ", kUnexpectedToken, 3, 1},
        {"[1,", "Reached the end of the buffer.", 3, 1},
        {"[1, ", kUnexpectedToken, 4, 1},
        {"[1] x",
         "A valid JSON object was parsed but there were additional non-white-space "
         "characters remaining.",
         4, 1},
        {"[1,]", "Unexpected ']'.", 4, 1},
        {R"({"a":1,})", "Unexpected '}'.", 8, 1},
        {"[1 2]", "Unexpected value.", 4, 1},
        {"[01]", "Unexpected value.", 3, 1},
        {"[,1]", "Unexpected ','.", 2, 1},
        {R"({"a":1 "b":2})", "Unexpected string.", 10, 1},
        {R"({"a" 1})", "Expected ':'.", 6, 1},
        {"[1:2]", "Expected a comma or a ']', not ':'", 3, 1},
        {"[}", "Expected a value or a ']', not '}'", 2, 1},
        {"[1,}", "Expected a value, not '}'", 4, 1},
        {"{1:2}", "Expected a \"STRING\" or a '}', not '1'", 2, 1},
        {R"({"a":1,[)", "Expected a \"STRING\", not '['", 8, 1},
        {R"({"a":})", "Expected a value, not '}'", 6, 1},
        {"[true", kUnexpectedToken, 1, 1},  // a literal needs a byte after it
        {"[truex]", kUnexpectedToken, 5, 1},
        {"[nul]", kUnexpectedToken, 1, 1},
        {"[-]", "Invalid number.", 2, 1},
        {"[1.]", "Invalid number.", 3, 1},
        {"[1e+]", "Invalid number.", 4, 1},
        {"[1", "Invalid number.", 2, 1},
        {"[\"a\tb\"]", "Invalid character < 0x20 found in string: 0x09.", 1, 1},
        {"[\"abc", "Invalid string.", 1, 1},
        {R"(["a\x"])", "Invalid escape sequence found in \"\" string.", 1, 1},
        {R"(["\u12G4"])",
         "Unexpected character found in \\u Unicode escape sequence.  Found 'G', expected "
         "[0-9a-fA-F].",
         1, 1},
        {"[1,\n2,\r\n  x]", kUnexpectedToken, 10, 3},
        {"\n\n\r[", "Reached the end of the buffer.", 4, 4},
    };
    for (const Case& c : cases) {
        auto p = parse(c.text);
        EXPECT_TRUE(p.value.isNil()) << c.text;
        ASSERT_TRUE(p.error) << c.text;
        EXPECT_EQ(p.error->domain(), JKErrorDomain);
        EXPECT_EQ(p.error->code(), -1);
        EXPECT_EQ(p.message(), c.message) << c.text;
        EXPECT_EQ(p.index(), c.index) << c.text;
        EXPECT_EQ(p.line(), c.line) << c.text;
    }
}

TEST(JSONDecoder, ReadsNumbersAtTheirBoundaries) {
    auto n = onlyNumber(parse("[5]"));
    EXPECT_EQ(n.type(), 'q');
    EXPECT_EQ(n.int64Value(), 5);

    n = onlyNumber(parse("[-5]"));
    EXPECT_EQ(n.type(), 'q');
    EXPECT_EQ(n.int64Value(), -5);

    n = onlyNumber(parse("[-0]"));
    EXPECT_TRUE(n.isFloatingPoint());
    EXPECT_EQ(n.doubleValue(), 0.0);
    EXPECT_TRUE(std::signbit(n.doubleValue()));
    EXPECT_FALSE(std::signbit(onlyNumber(parse("[0]")).doubleValue()));
    EXPECT_EQ(onlyNumber(parse("[0]")).type(), 'q');

    n = onlyNumber(parse("[9223372036854775807]"));
    EXPECT_EQ(n.type(), 'q');
    EXPECT_EQ(n.int64Value(), INT64_MAX);
    n = onlyNumber(parse("[9223372036854775808]"));
    EXPECT_EQ(n.type(), 'Q');
    EXPECT_EQ(n.uint64Value(), 9223372036854775808ull);
    n = onlyNumber(parse("[18446744073709551615]"));
    EXPECT_EQ(n.type(), 'Q');
    EXPECT_EQ(n.uint64Value(), UINT64_MAX);
    n = onlyNumber(parse("[-9223372036854775808]"));
    EXPECT_EQ(n.type(), 'q');
    EXPECT_EQ(n.int64Value(), INT64_MIN);

    n = onlyNumber(parse("[1.5E+3]"));
    EXPECT_EQ(n.type(), 'd');
    EXPECT_EQ(n.doubleValue(), 1500.0);
    EXPECT_EQ(onlyNumber(parse("[2e-3]")).doubleValue(), 0.002);
    EXPECT_EQ(onlyNumber(parse("[0.1]")).doubleValue(), 0.1);
    // A subnormal value is representable and is read as it is.
    EXPECT_EQ(onlyNumber(parse("[4.9e-324]")).doubleValue(), 4.9e-324);
    EXPECT_EQ(onlyNumber(parse("[1.7976931348623157e308]")).doubleValue(), 1.7976931348623157e308);

    auto p = parse("[18446744073709551616]");
    EXPECT_TRUE(p.value.isNil());
    EXPECT_EQ(p.message(),
              "The value '18446744073709551616' exceeded the maximum value that could be "
              "represented: 18446744073709551615.");
    EXPECT_EQ(p.index(), 21u);
    p = parse("[-9223372036854775809]");
    EXPECT_EQ(p.message(),
              "The value '-9223372036854775809' exceeded the minimum value that could be "
              "represented: -9223372036854775808.");
    p = parse("[1e400]");
    EXPECT_EQ(p.message(),
              "The value '1e400' could not be represented as a 'double' due to overflow.");
    p = parse("[-1e400]");
    EXPECT_EQ(p.message(),
              "The value '-1e400' could not be represented as a 'double' due to overflow.");
    p = parse("[1e-400]");
    EXPECT_EQ(p.message(),
              "The value '1e-400' could not be represented as a 'double' due to underflow.");

    // Very long numbers are refused or read without trouble.
    p = parse("[1" + std::string(100000, '0') + "]");
    EXPECT_TRUE(p.value.isNil());
    EXPECT_NE(p.message().find("exceeded the maximum value"), std::string::npos);
    p = parse("[1." + std::string(100000, '0') + "1]");
    ASSERT_TRUE(p.value.isArray()) << p.message().substr(0, 100);
    EXPECT_EQ(p.value.array()->objectAtIndex(0).doubleValue(), 1.0);
}

TEST(JSONDecoder, ReadsEscapesAndValidatesUnicode) {
    EXPECT_EQ(onlyString(parse(R"(["\"\\\/\b\f\n\r\t"])")), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(onlyString(parse(R"(["\u00e9"])")), "é");
    EXPECT_EQ(onlyString(parse(R"(["caf\u00E9 \u0e01"])")), "café ก");
    EXPECT_EQ(onlyString(parse(R"(["\ud83d\ude00"])")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(onlyString(parse("[\"สวัสดี 😀\"]")), "สวัสดี 😀");
    EXPECT_EQ(onlyString(parse("[\"\x7f\"]")), "\x7f");

    const std::string illegalEscape = "Illegal \\u Unicode escape sequence.";
    const std::string secondEscape =
        "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape "
        "sequence.";
    const std::string illegalUTF8 = "Illegal UTF8 sequence found in \"\" string.";
    struct Case {
        std::string text;
        std::string message;   // without replacement
        std::string replaced;  // the string with JKParseReplaceInvalidUnicode
    };
    const Case cases[] = {
        {R"(["\ud83d"])", secondEscape, "\xEF\xBF\xBD"},
        {R"(["\ud83dx"])", secondEscape, "\xEF\xBF\xBDx"},
        {R"(["\ud83d\n"])", secondEscape, "\xEF\xBF\xBD\n"},
        {R"(["\ud83d\u0041"])", illegalEscape,
         "\xEF\xBF\xBD"
         "A"},
        {R"(["\ude00"])", illegalEscape, "\xEF\xBF\xBD"},
        {R"(["\u0000"])", illegalEscape, "\xEF\xBF\xBD"},
        {R"(["\uffff"])", illegalEscape, "\xEF\xBF\xBD"},
        {R"(["\ufdd0"])", illegalEscape, "\xEF\xBF\xBD"},
        {R"(["\ud83f\udffe"])", illegalEscape, "\xEF\xBF\xBD"},  // U+1FFFE
        {"[\"a\xff"
         "b\"]",
         illegalUTF8,
         "a\xEF\xBF\xBD"
         "b"},
        {"[\"\xc0\x80\"]", illegalUTF8, "\xEF\xBF\xBD"},
        {"[\"\xed\xa0\x80\"]", illegalUTF8, "\xEF\xBF\xBD"},  // an encoded surrogate
        {"[\"\xef\xbf\xbf\"]", illegalUTF8, "\xEF\xBF\xBD"},  // U+FFFF
        {"[\"\xe0\xb8\"]", illegalUTF8, "\xEF\xBF\xBD"},      // cut short by the quote
    };
    for (const Case& c : cases) {
        auto p = parse(c.text);
        EXPECT_TRUE(p.value.isNil()) << c.text;
        EXPECT_EQ(p.message(), c.message) << c.text;
        EXPECT_EQ(p.index(), 1u) << c.text;
        EXPECT_EQ(onlyString(parse(c.text, JKParseReplaceInvalidUnicode)), c.replaced) << c.text;
    }

    // A sequence cut off by the end of the input fails even with replacement.
    for (JKParseOptionFlags options : {JKParseOptionFlags{0}, JKParseReplaceInvalidUnicode}) {
        auto p = parse("[\"\xe2\x82", options);
        EXPECT_EQ(p.message(), "End of buffer reached while parsing UTF8 in \"\" string.");
    }
}

// Runs of Thai text are checked several bytes at a time: every three-byte sequence led by E0
// to EF, between Thai letters, with and without an escape earlier in the string, is accepted
// exactly when the code point decoder accepts it, and kept byte for byte.
TEST(JSONDecoder, ThreeByteSequencesAmongThaiTextAreCheckedLikeSingleCodePoints) {
    const std::string thai = "\xE0\xB8\x81";  // ko kai
    for (int lead : {0xE0, 0xE1, 0xED, 0xEF}) {
        for (int second = 0x70; second <= 0xC8; ++second) {
            for (int third : {0x41, 0x80, 0x95, 0xBF, 0xC0}) {
                const uint8_t bytes[3] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(second),
                                          static_cast<uint8_t>(third)};
                const uint8_t* next;
                uint32_t cp;
                const bool allowed =
                    ConvertSingleCodePointInUTF8(bytes, bytes + 3, &next, &cp) == conversionOK;
                const std::string sequence(reinterpret_cast<const char*>(bytes), 3);
                for (const std::string& before : {thai, "\\n" + thai}) {
                    const std::string text = "[\"" + before + sequence + thai + "\"]";
                    auto p = parse(text);
                    ASSERT_EQ(!p.value.isNil(), allowed)
                        << std::hex << lead << " " << second << " " << third << " " << before;
                    if (allowed) {
                        ASSERT_EQ(onlyString(p),
                                  (before == thai ? thai : "\n" + thai) + sequence + thai);
                    } else {
                        ASSERT_EQ(p.message(), "Illegal UTF8 sequence found in \"\" string.");
                    }
                }
            }
        }
    }
}

TEST(JSONDecoder, LastOfDuplicateKeysWins) {
    auto p = parse(R"({"a":1,"b":true,"a":2})");
    ASSERT_TRUE(p.value.isDictionary());
    auto d = p.value.dictionary();
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(d->objectForKey("a").int64Value(), 2);
    EXPECT_EQ(d->allKeys().size(), 2u);
}

TEST(JSONDecoder, RefusesNestingDeeperThan512) {
    auto nested = [](size_t depth, const char* open, const char* close) {
        std::string s;
        for (size_t i = 0; i < depth; ++i)
            s += open;
        for (size_t i = 0; i < depth; ++i)
            s += close;
        return s;
    };
    auto p = parse(nested(512, "[", "]"));
    ASSERT_TRUE(p.value.isArray()) << p.message();

    p = parse(nested(513, "[", "]"));
    EXPECT_TRUE(p.value.isNil());
    EXPECT_EQ(p.message(), "Exceeded the maximum nesting depth of 512.");
    EXPECT_EQ(p.index(), 513u);

    p = parse(nested(512, "{\"k\":[", "]}"));
    EXPECT_EQ(p.message(), "Exceeded the maximum nesting depth of 512.");
    p = parse(nested(256, "{\"k\":[", "]}"));
    EXPECT_TRUE(p.value.isDictionary()) << p.message();

    // Far deeper input only costs the same error.
    p = parse(std::string(1000000, '['));
    EXPECT_EQ(p.message(), "Exceeded the maximum nesting depth of 512.");
}

TEST(JSONDecoder, AcceptsCommentsLineBreaksAndTrailingTextOnlyWhenAsked) {
    const std::string commented = "[1 /* one\n */, 2] // the end\n";
    auto p = parse(commented, JKParseAllowComments);
    ASSERT_TRUE(p.value.isArray()) << p.message();
    EXPECT_EQ(p.value, Value(plat::Array::make({Value(int64_t{1}), Value(int64_t{2})})));
    EXPECT_EQ(parse("[/*/ 1]", JKParseAllowComments).value.array()->count(), 1u);
    EXPECT_EQ(parse("[1] /* unterminated", JKParseAllowComments).value.array()->count(), 1u);
    p = parse("[1,/*\n\n*/x]", JKParseAllowComments);
    EXPECT_EQ(p.line(), 3u);
    p = parse(commented);
    EXPECT_EQ(p.message(), kUnexpectedToken);
    EXPECT_EQ(p.index(), 3u);

    const std::string separated = "[1,\xE2\x80\xA8 x]";
    EXPECT_EQ(parse(separated, JKParseUnicodeLineBreaks).line(), 2u);
    EXPECT_EQ(parse(separated).message(), kUnexpectedToken);
    EXPECT_EQ(parse(separated).index(), 3u);

    p = parse("[1] x", JKParseAllowTrailingText);
    ASSERT_TRUE(p.value.isArray());
    EXPECT_EQ(p.value.array()->objectAtIndex(0).int64Value(), 1);
}

TEST(JSONDecoder, SharesRepeatedStringsWithinOneDecoder) {
    auto decoder = JSONDecoder::decoder();
    const std::string text = R"([{"Name":"ก","Code":"x"},{"Name":"ก","Code":"y"}])";
    Value a = decoder->objectWithUTF8String(text.data(), text.size());
    Value b = decoder->objectWithUTF8String(text.data(), text.size());
    ASSERT_TRUE(a.isArray() && b.isArray());
    auto key = [](const Value& v, size_t i) {
        return v.array()->objectAtIndex(i).dictionary()->allKeys();
    };
    auto name = [](const Value& v, size_t i) {
        return v.array()->objectAtIndex(i).dictionary()->objectForKey("Name");
    };
    EXPECT_TRUE(name(a, 0).identical(name(a, 1)));
    EXPECT_TRUE(name(a, 0).identical(name(b, 1)));
    EXPECT_EQ(key(a, 0).size(), 2u);

    decoder->clearCache();
    Value c = decoder->objectWithUTF8String(text.data(), text.size());
    EXPECT_FALSE(name(a, 0).identical(name(c, 0)));
    EXPECT_EQ(name(a, 0), name(c, 0));

    // The empty string is one shared constant.
    Value e = objectFromJSONString(R"(["",{"":""}])");
    ASSERT_TRUE(e.isArray());
    EXPECT_TRUE(e.array()->objectAtIndex(0).identical(
        objectFromJSONString(R"([""])").array()->objectAtIndex(0)));
    EXPECT_EQ(e.array()->objectAtIndex(1).dictionary()->objectForKey("").stringOr("?"), "");
}

TEST(JSONDecoder, RefusesMisuse) {
    auto reason = [](auto&& fn) -> std::string {
        try {
            fn();
        } catch (const plat::Exception& e) {
            return e.name() + ": " + e.reason();
        }
        return "no exception";
    };
    EXPECT_EQ(reason([] { JSONDecoder d(16); }),
              "NSInvalidArgumentException: Invalid parse options.");
    EXPECT_EQ(reason([] { objectFromJSONStringWithParseOptions("[]", 99); }),
              "NSInvalidArgumentException: Invalid parse options.");
    EXPECT_EQ(reason([] { JSONDecoder().objectWithUTF8String(nullptr, 3); }),
              "NSInvalidArgumentException: The string argument is NULL.");
    EXPECT_EQ(reason([] {
                  JSONDecoder d;
                  d.releaseState();
                  d.objectWithUTF8String("[]", 2);
              }),
              "NSInternalInconsistencyException: parseState is NULL.");
    // A decoder runs any number of parses, failed ones included.
    JSONDecoder d(JKParseAllowComments);
    EXPECT_TRUE(d.objectWithUTF8String("[x", 2).isNil());
    EXPECT_TRUE(d.objectWithUTF8String("[1]", 3).isArray());
}

TEST(JSONDecoder, ObjectsOfAKeptTextKnowTheirOwnBytes) {
    const std::string text =
        " {\"d\": [ {\"Code\":\"a\",\"Name\":\"\\u0e01 \xe0\xb8\x82\",\"Prices\":[{\"P\":1}]} ,\n"
        "{ \"Code\" : \"b\" , \"Nested\" : {\"x\":{}} }, 7, {}]}\t";
    Value reply = objectFromJSONDataKeepingText(plat::Bytes(text.begin(), text.end()));
    ASSERT_TRUE(reply.isDictionary());
    auto items = reply.dictionary()->objectForKey("d").array();
    ASSERT_TRUE(items);
    auto sourceOf = [](const Value& v) {
        auto* d = v.as<JKDictionary>().get();
        return d ? std::string(d->sourceText()) : std::string("<not an object>");
    };
    // Each object is its bytes between its braces, whitespace and escapes as they came; nested
    // objects are their own bytes, never their neighbours'.
    EXPECT_EQ(sourceOf(reply), text.substr(1, text.size() - 2));
    EXPECT_EQ(sourceOf(items->objectAtIndex(0)),
              "{\"Code\":\"a\",\"Name\":\"\\u0e01 \xe0\xb8\x82\",\"Prices\":[{\"P\":1}]}");
    EXPECT_EQ(
        sourceOf(
            items->objectAtIndex(0).dictionary()->objectForKey("Prices").array()->objectAtIndex(0)),
        "{\"P\":1}");
    EXPECT_EQ(sourceOf(items->objectAtIndex(1)), "{ \"Code\" : \"b\" , \"Nested\" : {\"x\":{}} }");
    EXPECT_EQ(sourceOf(items->objectAtIndex(1).dictionary()->objectForKey("Nested")), "{\"x\":{}}");
    EXPECT_EQ(sourceOf(items->objectAtIndex(3)), "{}");
    // Each member's value as the text holds it, whatever its kind.
    auto first = items->objectAtIndex(0).as<JKDictionary>();
    EXPECT_EQ(first->memberSourceText(0), "\"a\"");
    EXPECT_EQ(first->memberSourceText(1), "\"\\u0e01 \xe0\xb8\x82\"");
    EXPECT_EQ(first->memberSourceText(2), "[{\"P\":1}]");
    EXPECT_TRUE(first->memberSourceText(3).empty());
    auto secondItem = items->objectAtIndex(1).as<JKDictionary>();
    EXPECT_EQ(secondItem->memberSourceText(1), "{\"x\":{}}");
    EXPECT_EQ(reply.as<JKDictionary>()->memberSourceText(0),
              text.substr(text.find('['), text.rfind(']') + 1 - text.find('[')));
    // The text stays while a value of the result is held.
    Value second = items->objectAtIndex(1);
    items.reset();
    reply = Value();
    EXPECT_EQ(sourceOf(second), "{ \"Code\" : \"b\" , \"Nested\" : {\"x\":{}} }");

    // A repeated key: the later value, in the earlier member's place.
    const std::string repeated = R"({"a":1,"b":true,"a":[2, 3],"c":null})";
    auto twice = objectFromJSONDataKeepingText(plat::Bytes(repeated.begin(), repeated.end()))
                     .as<JKDictionary>();
    ASSERT_EQ(twice->count(), 3U);
    EXPECT_EQ(twice->memberSourceText(0), "[2, 3]");
    EXPECT_EQ(twice->memberSourceText(1), "true");
    EXPECT_EQ(twice->memberSourceText(2), "null");

    // A text read with comments, other line breaks or replaced bytes does not read as it is
    // parsed: its objects know no bytes.
    const std::string commented = "{\"a\": /* note */ [1, // more\n 2]}";
    auto decoder = JSONDecoder::decoderWithParseOptions(JKParseAllowComments);
    auto withComments = decoder->objectKeepingText(plat::Bytes(commented.begin(), commented.end()));
    ASSERT_TRUE(withComments.isDictionary());
    EXPECT_TRUE(withComments.as<JKDictionary>()->sourceText().empty());
    EXPECT_TRUE(withComments.as<JKDictionary>()->memberSourceText(0).empty());

    // A text that is not kept gives its objects no bytes; neither do mutable results.
    EXPECT_TRUE(parse(R"({"a":{"b":1}})").value.as<JKDictionary>()->sourceText().empty());
    EXPECT_TRUE(mutableObjectFromJSONString(R"({"a":1})").as<JKDictionary>()->sourceText().empty());
    // A text that does not parse gives nothing.
    const std::string bad = R"([{"a":1},{"b":)";
    EXPECT_TRUE(objectFromJSONDataKeepingText(plat::Bytes(bad.begin(), bad.end())).isNil());
}

namespace {

// What a reply may become once decoded is bounded: short values that cost many times their text
// fail before the tree grows past the bound, and the largest list the service sends stays
// within the bound the transport uses.
TEST(JSONDecoderTreeBound, ShortValuesFailAtTheBoundAndTheLargestListFits) {
    constexpr size_t kBound = size_t{4} << 20;
    std::string zeros = "[";
    while (zeros.size() < (size_t{1} << 20))
        zeros += "0,";
    zeros += "0]";
    std::string empties = "[";
    while (empties.size() < (size_t{1} << 20))
        empties += "[],{},";
    empties += "[]]";
    for (const std::string& text : {zeros, empties, "{\"d\":" + zeros + "}",
                                    "[" + std::string(size_t{1} << 20, ' ') + zeros + "]"}) {
        JSONDecoder decoder;
        decoder.setMaximumTreeBytes(kBound);
        Ref<plat::Error> error;
        EXPECT_TRUE(decoder.objectWithUTF8String(text.data(), text.size(), &error).isNil());
        EXPECT_TRUE(decoder.exceededMaximumTreeBytes());
        ASSERT_TRUE(error);
        EXPECT_NE(error->localizedDescription().find("would take more than"), std::string::npos)
            << error->localizedDescription();
    }
    // Without a bound the same text decodes, and the decoder is reusable with one.
    JSONDecoder decoder;
    decoder.setMaximumTreeBytes(kBound);
    EXPECT_TRUE(decoder.objectWithUTF8String(zeros.data(), zeros.size()).isNil());
    decoder.setMaximumTreeBytes(0);
    EXPECT_FALSE(decoder.objectWithUTF8String(zeros.data(), zeros.size()).isNil());
    EXPECT_FALSE(decoder.exceededMaximumTreeBytes());

    // A list of 300,000 item references (some 30 MB, about 100 MiB decoded) fits the bound the
    // transport uses: a tenth of it fits a tenth of the bound.
    std::string references = "[";
    for (int i = 0; i < 30'000; ++i) {
        references += plat::format(
            "%s{\"MagazineIssueCode\":\"GB%d\",\"Hash\":\"GB%d-r1\","
            "\"SortIndex\":%d,\"TotalResultLength\":500000}",
            i ? "," : "", 100000 + 2 * i, 100000 + 2 * i, i);
    }
    references += "]";
    decoder.setMaximumTreeBytes(VnJsonWebRequest::kMaxReplyTreeBytes / 10);
    Ref<plat::Error> error;
    const Value list = decoder.objectWithUTF8String(references.data(), references.size(), &error);
    EXPECT_FALSE(decoder.exceededMaximumTreeBytes())
        << references.size() << " bytes: " << (error ? error->localizedDescription() : "");
    ASSERT_TRUE(list.array());
    EXPECT_EQ(list.array()->count(), 30'000U);
}

}  // namespace
