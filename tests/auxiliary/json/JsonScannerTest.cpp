#include <gtest/gtest.h>

#include "auxiliary/json/CJSONDeserializer.h"
#include "platform/runloop/RunLoop.h"

namespace {

plat::Bytes bytes(std::string_view text) {
    return plat::Bytes(text.begin(), text.end());
}

struct Parsed {
    plat::Value value;
    Ref<plat::Error> error;
    int64_t code() const { return error ? error->code() : 0; }
};

Parsed parse(std::string_view text, const Ref<CJSONDeserializer>& d = nullptr) {
    auto deserializer = d ? d : CJSONDeserializer::deserializer();
    Parsed p;
    const plat::Bytes data = bytes(text);
    p.value = deserializer->deserialize(&data, &p.error);
    return p;
}

std::string json(const plat::Value& v) {
    return v.description();
}

TEST(JsonScannerTest, GrammarIsLenientWhereTheScannerAlwaysWasAndLocatesEveryFailure) {
    // Trailing commas, empty containers, trailing text, duplicate keys, raw control bytes.
    Parsed p = parse(R"({"a":1,"a":2,"b":[1,2,],} trailing)");
    ASSERT_TRUE(p.value.isDictionary()) << p.error->description();
    EXPECT_EQ(p.value.dictionary()->count(), 2u);
    EXPECT_EQ(p.value.dictionary()->objectForKey("a").intValue(), 2);
    EXPECT_EQ(p.value.dictionary()->objectForKey("b").array()->count(), 2u);
    EXPECT_EQ(parse("{}").value.dictionary()->count(), 0u);
    EXPECT_EQ(parse(" [ ] ").value.array()->count(), 0u);
    EXPECT_EQ(*parse("\"a\tb\nc\"").value.string(), "a\tb\nc");
    EXPECT_FALSE(parse("[1]").value.array()->isMutable());

    // Error codes, the outermost construct naming each.
    EXPECT_EQ(parse("[,1]").code(), -202);
    EXPECT_EQ(parse("{'a':1}").code(), -102);
    EXPECT_EQ(parse("'a'").code(), -301);
    EXPECT_EQ(parse("[tru]").code(), -203);
    EXPECT_EQ(parse("{\"a\" 1}").code(), -103);
    EXPECT_EQ(parse("{\"a\":}").code(), -104);
    EXPECT_EQ(parse("{\"a\":1 \"b\":2}").code(), -105);
    EXPECT_EQ(parse("[1 2]").code(), -204);
    EXPECT_EQ(parse("\"abc").code(), -304);
    EXPECT_EQ(parse("\"abc\\").code(), -304);
    EXPECT_EQ(parse("\"\\u00G1\"").code(), -302);
    EXPECT_EQ(parse("-.").code(), -401);
    EXPECT_EQ(parse("}").code(), -15);
    EXPECT_EQ(parse(" nul").code(), -15);  // nothing read at the top is a failure
    EXPECT_EQ(parse("\xff\xfe").code(), -12);
    Parsed empty = parse("");
    EXPECT_EQ(empty.error->domain(), "CJSONDeserializerErrorDomain");
    EXPECT_EQ(empty.code(), -11);
    EXPECT_FALSE(empty.error->userInfo());

    // Location: a failure at the 30th byte of one line.
    const std::string text = "[" + std::string(28, '1') + ",}" + std::string(30, ' ');
    auto scanner = std::make_shared<CJSONScanner>();
    ASSERT_TRUE(scanner->setData(bytes(text), nullptr));
    scanner->setScanLocation(29);
    Ref<plat::Error> error;
    EXPECT_FALSE(scanner->scanJSONObject(nullptr, &error));
    EXPECT_EQ(error->domain(), "kJSONScannerErrorDomain");
    EXPECT_EQ(error->localizedDescription(),
              "Could not scan object. Character not a valid JSON character.");
    const auto info = error->userInfo();
    EXPECT_EQ(info->objectForKey("line").intValue(), 0);
    EXPECT_EQ(info->objectForKey("character").intValue(), 29);
    EXPECT_EQ(info->objectForKey("location").intValue(), 29);
    EXPECT_EQ(*info->objectForKey("snippet").string(),
              text.substr(9, 20) + "!HERE>!" + text.substr(29, 20));
    scanner->setData(bytes("[1,\n2,\r\n x]"), nullptr);
    scanner->setScanLocation(10);
    EXPECT_EQ(scanner->userInfoForScanLocation()->objectForKey("line").intValue(), 3);
    EXPECT_EQ(scanner->userInfoForScanLocation()->objectForKey("character").intValue(), 2);
}

TEST(JsonScannerTest, NullObjectNumbersEscapesAndEncodings) {
    auto d = CJSONDeserializer::deserializer();
    d->setNullObject(plat::Value());
    Parsed p = parse(R"({"a":null,"b":1})", d);
    EXPECT_EQ(p.value.dictionary()->count(), 1u);
    EXPECT_EQ(json(parse("[null,1]", d).value), json(parse("[1]").value));
    EXPECT_EQ(parse("[tru]", d).code(), -204);
    Parsed null = parse("null", d);
    EXPECT_TRUE(null.value.isNil());
    EXPECT_FALSE(null.error);
    EXPECT_TRUE(parse("[null]").value.array()->objectAtIndex(0).isNull());
    EXPECT_TRUE(parse("true").value.boolValue());

    // Numbers: decimals, signed and unsigned integers, and integers beyond 64 bits as decimals.
    EXPECT_EQ(parse("1e5").value.decimal()->stringValue(), "100000");
    EXPECT_EQ(parse("1.5").value.decimal()->stringValue(), "1.5");
    EXPECT_EQ(parse("-2E-3").value.decimal()->stringValue(), "-0.002");
    EXPECT_EQ(parse("-7").value.number()->type(), 'q');
    EXPECT_EQ(parse("-7").value.number()->int64Value(), -7);
    const plat::Value max = parse("18446744073709551615").value;
    EXPECT_EQ(max.number()->type(), 'Q');
    EXPECT_EQ(max.number()->uint64Value(), UINT64_MAX);
    EXPECT_EQ(parse("18446744073709551616").value.decimal()->stringValue(), "18446744073709551616");
    EXPECT_EQ(parse("-9223372036854775809").value.decimal()->stringValue(), "-9223372036854775809");
    EXPECT_EQ(parse("1e99999").code(), -401);

    // Escapes: \u, surrogate pairs, lone surrogates, unknown escapes strict and not.
    EXPECT_EQ(*parse("\"\\u00e9\"").value.string(), "\xC3\xA9");
    EXPECT_EQ(*parse("\"\\uD83D\\uDE00\"").value.string(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(parse("\"\\uD83D x\"").code(), -302);
    EXPECT_EQ(parse("\"\\uDE00\"").code(), -302);
    EXPECT_EQ(*parse("\"\\q\\\xC3\xA9\"").value.string(), "q\xC3\xA9");
    d->scanner()->setStrictEscapeCodes(true);
    EXPECT_EQ(parse("\"\\q\"", d).code(), -303);

    // Encodings by the zero bytes of the first four.
    EXPECT_EQ(parse(std::string_view("\0{\0}", 4)).value.dictionary()->count(), 0u);
    EXPECT_EQ(*parse(std::string_view("\"\0\xe9\0\"\0", 6)).value.string(), "\xC3\xA9");
    EXPECT_EQ(parse(std::string_view("\0\0\0[\0\0\0]", 8)).value.array()->count(), 0u);
    // UTF-16 whose UTF-8 form happens to be as long is still read as UTF-16.
    EXPECT_EQ(*parse(std::string_view("\"\0a\0\x0a\x0a\x0a\x0a\x0a\x0a\"\0", 12)).value.string(),
              "a\xE0\xA8\x8A\xE0\xA8\x8A\xE0\xA8\x8A");
    EXPECT_EQ(parse(std::string_view("[\0\0\0]\0\0\0", 8)).value.array()->count(), 0u);
    EXPECT_EQ(parse(std::string_view("\0[\0\"\xd8\x3d\0\"\0]", 10)).code(), -12);  // lone surrogate
    // A Latin-1 text that is not UTF-8 reads once it is allowed.
    d->scanner()->setStrictEscapeCodes(false);
    EXPECT_EQ(parse("[\"caf\xe9\"]", d).code(), -12);
    d->setAllowedEncoding(plat::NSISOLatin1StringEncoding);
    EXPECT_EQ(*parse("[\"caf\xe9\"]", d).value.array()->objectAtIndex(0).string(), "caf\xC3\xA9");

    // Mutable containers on request; the string category takes any top-level value.
    d->setOptions(kJSONScannerOptions_MutableContainers);
    EXPECT_TRUE(parse("{\"a\":[1]}", d).value.dictionary()->isMutable());
    EXPECT_TRUE(NSDictionaryWithJSONString("[1]", nullptr).isArray());
}

TEST(JsonScannerTest, DeepNestingFailsAtTheOutermostContainer) {
    const std::string arrays(100000, '[');
    EXPECT_EQ(parse(arrays).code(), -202);
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    EXPECT_EQ(parse(objects).code(), -104);
    // 512 levels are fine, 513 are not.
    EXPECT_TRUE(parse(std::string(512, '[') + std::string(512, ']')).value.isArray());
    EXPECT_EQ(parse(std::string(513, '[') + std::string(513, ']')).code(), -202);
}

TEST(JsonScannerTest, ByteScannerAndComments) {
    auto s = CDataScanner::initWithData(bytes("  /* note */ // line\xE2\x80\xA8\r\nrest 12.5x"));
    std::string out;
    s->skipWhitespace();
    EXPECT_TRUE(s->scanCStyleComment(&out));
    EXPECT_EQ(out, " note ");
    s->skipWhitespace();
    EXPECT_TRUE(s->scanCPlusPlusStyleComment(&out));
    EXPECT_EQ(out, " line");
    EXPECT_TRUE(s->scanString("rest", &out));
    EXPECT_FALSE(s->scanString("restless"));
    s->skipWhitespace();
    plat::Value number;
    EXPECT_TRUE(s->scanNumber(&number));
    EXPECT_EQ(number.decimal()->stringValue(), "12.5");
    EXPECT_EQ(s->remainingString(), "x");
    EXPECT_FALSE(s->scanDataOfLength(2, nullptr));
    EXPECT_EQ(s->scanCharacter(), 'x');
    EXPECT_EQ(s->scanCharacter(), 0);
    EXPECT_TRUE(s->isAtEnd());

    s->setData(bytes("/* a /* b */"));
    EXPECT_THROW(s->scanCStyleComment(nullptr), plat::Exception);
    s->setData(bytes("/* open"));
    EXPECT_THROW(s->scanCStyleComment(nullptr), plat::Exception);
    s->setData(bytes("abc"));
    EXPECT_FALSE(s->scanUpToString("z", &out));
    EXPECT_EQ(s->scanLocation(), 0u);
    EXPECT_TRUE(s->scanUpToString("c", &out));
    EXPECT_EQ(out, "ab");
}

TEST(JsonScannerTest, BlockVariantsAnswerOnTheMainLoop) {
    auto d = CJSONDeserializer::deserializer();
    int calls = 0;
    plat::Value result;
    Ref<plat::Error> error;
    const plat::Bytes empty;
    d->deserializeAsDictionary(&empty, [&](const plat::Value&, const Ref<plat::Error>& e) {
        ++calls;
        error = e;
    });
    EXPECT_EQ(calls, 1);  // at once
    EXPECT_EQ(error->code(), -11);

    const plat::Bytes good = bytes("{\"k\":\"v\"}"), bad = bytes("[1");
    d->deserializeAsDictionary(&good, [&](const plat::Value& v, const Ref<plat::Error>& e) {
        ++calls;
        result = v;
        error = e;
    });
    EXPECT_EQ(calls, 1);  // not on the caller's stack
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return calls == 2; }, 5));
    EXPECT_EQ(*result.dictionary()->objectForKey("k").string(), "v");
    EXPECT_FALSE(error);
    d->deserializeAsArray(&bad, [&](const plat::Value& v, const Ref<plat::Error>& e) {
        ++calls;
        result = v;
        error = e;
    });
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return calls == 3; }, 5));
    EXPECT_TRUE(result.isNil());
    EXPECT_EQ(error->code(), -204);
}

}  // namespace
