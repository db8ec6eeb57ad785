#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "KxJsonTestSupport.h"
#include "platform/core/Collections.h"

using kxjson_test::parse;
using kxjson_test::parseInPieces;
using kxjson_test::write;
using plat::Value;

namespace {

const char kSample[] =
    R"({"items":[{"Id":1,"Title":"\u0e2b\u0e19\u0e31\u0e07\u0e2a\u0e37\u0e2d \"A\"",)"
    R"("Price":12.50,"Big":123456789012345678901234,"Neg":-0.0,"Zero":0e3,"Rate":-1.5e-7,)"
    R"("Flags":[true,false,null],"Esc":"\u0000\t\ud83d\ude00\/"}],)"
    R"("Count":-9223372036854775808,"Huge":18446744073709551615,"Empty":{},"List":[[]]})";

// The number of digits in the text a decimal is written as.
size_t writtenDigits(const plat::Decimal& d) {
    if (d.exponent >= 0)
        return d.digits == "0" ? 1 : d.digits.size() + static_cast<size_t>(d.exponent);
    return std::max(d.digits.size(), static_cast<size_t>(-d.exponent) + 1);
}

// Whether every decimal inside is written with few enough digits for the parser to read back.
bool decimalsReadBack(const Value& v) {
    if (const plat::Decimal* d = v.decimal())
        return writtenDigits(*d) <= 38;
    bool ok = true;
    if (auto a = v.array()) {
        a->enumerate([&](const Value& e) { return ok = decimalsReadBack(e); });
    } else if (auto dict = v.dictionary()) {
        dict->enumerateKeysAndObjects(
            [&](const Value&, const Value& e) { return ok = decimalsReadBack(e); });
    }
    return ok;
}

std::string randomString(std::mt19937_64& rng) {
    static const std::vector<std::string> pieces = {"a",
                                                    "Z",
                                                    " ",
                                                    "\"",
                                                    "\\",
                                                    "/",
                                                    "\t",
                                                    "\n",
                                                    std::string(1, '\0'),
                                                    "\x01",
                                                    "\x1f",
                                                    "\x7f",
                                                    "\xc3\xa9",
                                                    "\xe0\xb8\x81",
                                                    "\xef\xbf\xbf",
                                                    "\xf0\x9f\x98\x80",
                                                    "\xf4\x8f\xbf\xbf"};
    std::string s;
    for (size_t n = rng() % 8; n > 0; --n)
        s += pieces[rng() % pieces.size()];
    return s;
}

Value randomValue(std::mt19937_64& rng, int depth) {
    switch (rng() % (depth > 0 ? 9 : 7)) {
        case 0:
            return Value(static_cast<int64_t>(rng()));
        case 1:
            return Value(static_cast<int64_t>(rng() % 2000) - 1000);
        case 2:
            // Without trailing zeros, as the parser makes them.
            return Value(plat::Decimal{rng() % 2 == 0, std::to_string(1 + 10 * (rng() % 99999)),
                                       -static_cast<int>(rng() % 30)});
        case 3:
            return Value(randomString(rng));
        case 4:
            return Value::boolean(rng() % 2 == 0);
        case 5:
            return Value::null();
        case 6:
            return Value(static_cast<double>(static_cast<int64_t>(rng() % 100000) - 50000) / 64);
        case 7: {
            auto a = plat::MutableArray::make();
            for (size_t n = rng() % 5; n > 0; --n)
                a->addObject(randomValue(rng, depth - 1));
            return Value(a);
        }
        default: {
            auto d = plat::MutableDictionary::make();
            for (size_t n = rng() % 5; n > 0; --n)
                d->setObject(randomValue(rng, depth - 1), Value(randomString(rng)));
            return Value(d);
        }
    }
}

std::string mutate(std::string text, std::mt19937_64& rng) {
    static const std::vector<std::string> tokens = {"[",
                                                    "]",
                                                    "{",
                                                    "}",
                                                    "\"",
                                                    "\\",
                                                    ",",
                                                    ":",
                                                    "-",
                                                    "+",
                                                    "0",
                                                    "9",
                                                    ".",
                                                    "e",
                                                    "E",
                                                    " ",
                                                    "\t",
                                                    "\n",
                                                    std::string(1, '\0'),
                                                    "\x80",
                                                    "\xc3",
                                                    "\xed\xa0\x80",
                                                    "\xff",
                                                    "t",
                                                    "n",
                                                    "f",
                                                    "\\u",
                                                    "\\ud834",
                                                    "\\udd1e",
                                                    "\\u0000",
                                                    "1e128",
                                                    "1e-128",
                                                    std::string(40, '7'),
                                                    "[[[[[[[[",
                                                    "]]]]"};
    for (size_t rounds = 1 + rng() % 4; rounds > 0; --rounds) {
        const size_t at = text.empty() ? 0 : rng() % text.size();
        switch (rng() % 5) {
            case 0:
                if (!text.empty())
                    text[at] = static_cast<char>(rng() % 256);
                break;
            case 1:
                text.insert(at, tokens[rng() % tokens.size()]);
                break;
            case 2:
                text.erase(at, 1 + rng() % 6);
                break;
            case 3:
                text.insert(at, text.substr(at, rng() % 24));
                break;
            default:
                text.resize(at);
                break;
        }
    }
    return text;
}

}  // namespace

TEST(KxJsonRoundTrip, ParsedValuesAreWrittenAndReadBackUnchanged) {
    const auto first = parse(kSample);
    ASSERT_TRUE(first.error.empty()) << first.error;
    const auto written = write(first.value);
    ASSERT_TRUE(written.ok) << written.text;
    const auto second = parse(written.text);
    ASSERT_TRUE(second.error.empty()) << second.error << "\n" << written.text;
    EXPECT_EQ(second.value, first.value);

    // Compact text in the writer's own form comes back byte for byte, keys in their order.
    const std::string canonical =
        R"({"z":[1,2.5,true,null,"x\ny\u0001"],"a":{"c":-0.5,"d":{},"e":[]},"m":-0.00125,"n":0})";
    EXPECT_EQ(write(parse(canonical).value).text, canonical);
}

TEST(KxJsonRoundTrip, RandomTreesSurviveWriteAndRead) {
    std::mt19937_64 rng(1115);
    for (int i = 0; i < 400; ++i) {
        const Value tree = Value(plat::MutableArray::make({randomValue(rng, 5)}));
        const auto written = write(tree);
        ASSERT_TRUE(written.ok) << written.text;
        const auto reread = parse(written.text);
        ASSERT_TRUE(reread.error.empty()) << reread.error << "\n" << written.text;
        EXPECT_EQ(reread.value, tree) << written.text;
    }
}

TEST(KxJsonFuzz, MutatedTextGivesTheSameValueOrErrorWholeOrInPieces) {
    std::mt19937_64 rng(1114);
    std::vector<std::string> seeds = {kSample, R"({"a":[1,2.5,true,null]})", "[[[]],{}]",
                                      kxjson_test::nestedArrays(32, "1")};
    for (int i = 0; i < 10; ++i)
        seeds.push_back(write(Value(plat::MutableArray::make({randomValue(rng, 4)}))).text);

    size_t accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = mutate(seeds[rng() % seeds.size()], rng);
        const auto whole = parse(text);
        const auto pieces = parseInPieces(text, rng);
        ASSERT_EQ(whole.error, pieces.error) << text;
        if (!whole.error.empty()) {
            ASSERT_TRUE(whole.value.isNil());
            continue;
        }
        ++accepted;
        ASSERT_TRUE(whole.value.isArray() || whole.value.isDictionary()) << text;
        ASSERT_EQ(whole.value, pieces.value) << text;
        const auto written = write(whole.value);
        ASSERT_TRUE(written.ok) << written.text;
        const auto reread = parse(written.text);
        if (decimalsReadBack(whole.value)) {
            ASSERT_EQ(reread.value, whole.value) << text << "\n" << written.text;
        } else {
            // A decimal with a wide exponent is written out in full, beyond 38 digits.
            ASSERT_EQ(reread.error, "Precision is too high") << written.text;
        }
    }
    EXPECT_GT(accepted, 100u);  // the mutations keep some documents valid
}
