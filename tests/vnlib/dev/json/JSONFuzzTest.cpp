#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "JSONTestSupport.h"
#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

using json_test::parse;
using json_test::write;
using plat::Value;

namespace {

// Writing a value the reader produced must succeed, and reading the text back must give an
// equal value, in every output form.
void expectRoundTrip(const Value& value, const std::string& context) {
    for (JKSerializeOptionFlags options :
         {JKSerializeOptionFlags{0}, JKSerializeOptionPretty,
          JKSerializeOptionEscapeNonASCII | JKSerializeOptionEscapeSolidus}) {
        const auto written = write(value, options);
        ASSERT_TRUE(written.ok) << written.text << "\n" << context;
        const auto reread = parse(written.text);
        ASSERT_FALSE(reread.value.isNil()) << reread.message() << "\n" << written.text;
        ASSERT_EQ(reread.value, value) << written.text;
    }
}

std::string mutate(std::string text, std::mt19937_64& rng) {
    static const std::string interesting[] = {"[",
                                              "]",
                                              "{",
                                              "}",
                                              "\"",
                                              "\\",
                                              ",",
                                              ":",
                                              "-",
                                              "0",
                                              "9",
                                              "e",
                                              ".",
                                              "/",
                                              "*",
                                              "\n",
                                              "\r",
                                              " ",
                                              std::string(1, '\0'),
                                              "\x80",
                                              "\xc3",
                                              "\xe0",
                                              "\xed",
                                              "\xef",
                                              "\xf0",
                                              "\xf4",
                                              "\xff",
                                              "u",
                                              "t",
                                              "n",
                                              "f",
                                              "\\u",
                                              "\\ud83d",
                                              "\\udc00",
                                              "\\u0000",
                                              "1e999",
                                              "-0",
                                              "//",
                                              "/*",
                                              "18446744073709551616",
                                              "\xe2\x80\xa8",
                                              "[[[[",
                                              "]]]]"};
    const int rounds = 1 + static_cast<int>(rng() % 4);
    for (int r = 0; r < rounds; ++r) {
        const size_t at = text.empty() ? 0 : rng() % text.size();
        switch (rng() % 6) {
            case 0:
                if (!text.empty())
                    text[at] = static_cast<char>(rng() % 256);
                break;
            case 1:
                text.insert(at, interesting[rng() % std::size(interesting)]);
                break;
            case 2:
                text.erase(at, 1 + rng() % 8);
                break;
            case 3:
                text.insert(at, text.substr(at, rng() % 32));
                break;
            case 4:
                text.resize(at);
                break;
            default:
                if (!text.empty())
                    text[at] = interesting[rng() % std::size(interesting)][0];
        }
    }
    return text;
}

}  // namespace

TEST(JSONRoundTrip, RandomTreesAndCatalogueSurviveWriteAndRead) {
    std::mt19937_64 rng(20240307);
    for (int i = 0; i < 300; ++i) {
        const Value tree = Value(plat::Array::make({json_test::randomValue(rng, 5)}));
        expectRoundTrip(tree, "tree " + std::to_string(i));
    }
    const auto catalogue = parse(json_test::sampleCatalogue());
    ASSERT_TRUE(catalogue.value.isDictionary()) << catalogue.message();
    expectRoundTrip(catalogue.value, "catalogue");
}

TEST(JSONFuzz, MutatedTextGivesAValueOrAnError) {
    std::mt19937_64 rng(7);
    std::vector<std::string> seeds = {json_test::sampleCatalogue(),
                                      R"({"a":[1,-2.5e3,true,false,null,"\u00e9\ud83d\ude00"]})",
                                      "[1 /* c */, // d\n 2]", "[[[]],{}]"};
    for (int i = 0; i < 20; ++i) {
        const auto w = write(Value(plat::Array::make({json_test::randomValue(rng, 4)})));
        if (w.ok)
            seeds.push_back(w.text);
    }
    const JKParseOptionFlags optionSets[] = {0, JKParseAllowComments | JKParseUnicodeLineBreaks,
                                             JKParseReplaceInvalidUnicode, 15};
    // One long-lived decoder per option set: its string cache carries over from parse to parse
    // (failed ones included) and must never change a result.
    std::vector<Ref<JSONDecoder>> decoders;
    for (JKParseOptionFlags options : optionSets) {
        decoders.push_back(JSONDecoder::decoderWithParseOptions(options));
    }
    size_t accepted = 0, refused = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::string text = mutate(seeds[rng() % seeds.size()], rng);
        for (size_t o = 0; o < std::size(optionSets); ++o) {
            const JKParseOptionFlags options = optionSets[o];
            const auto p = parse(text, options);
            Ref<plat::Error> error;
            const Value reused =
                decoders[o]->objectWithUTF8String(text.data(), text.size(), &error);
            ASSERT_EQ(reused, p.value) << text;
            ASSERT_EQ(error ? error->localizedDescription() : "", p.message()) << text;
            if (p.value.isNil()) {
                ASSERT_TRUE(p.error) << text;
                ASSERT_FALSE(p.message().empty());
                ASSERT_LE(p.index(), text.size()) << text;
                ASSERT_GE(p.line(), 1u);
                ++refused;
            } else {
                ASSERT_FALSE(p.error) << text;
                ASSERT_TRUE(p.value.isArray() || p.value.isDictionary());
                expectRoundTrip(p.value, text);
                ++accepted;
            }
        }
    }
    // The mutations reach both outcomes.
    EXPECT_GT(accepted, 400u);
    EXPECT_GT(refused, 400u);
}

TEST(JSONFuzz, RandomBytesNeverCrashTheReader) {
    std::mt19937_64 rng(99);
    for (int i = 0; i < 1500; ++i) {
        std::string text(rng() % 64, '\0');
        for (char& c : text)
            c = static_cast<char>(rng() % 256);
        if (!text.empty() && rng() % 2)
            text[0] = "[{"[rng() % 2];
        const auto p = parse(text, rng() % 16);
        ASSERT_NE(p.value.isNil(), !p.error);
    }
}
