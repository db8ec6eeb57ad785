#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "JSONTestSupport.h"
#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "support/DynamicObject.h"
#include "vnlib/dev/json/JKDoubleText.h"
#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JKMemberWriter.h"
#include "vnlib/dev/json/JKSerializer.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"

using json_test::write;
using plat::Number;
using plat::Value;

namespace {

Value array(std::vector<Value> values) {
    return Value(plat::Array::make(std::move(values)));
}
Value dictionary(std::vector<std::pair<Value, Value>> entries) {
    return Value(plat::makeDictionary(std::move(entries)));
}

// A read-only view that makes a fresh string for every value it hands out, so that nothing
// but the writer keeps those strings alive.
class ComputedRow : public plat::Dictionary {
    PLAT_CLASS(ComputedRow)
  public:
    explicit ComputedRow(size_t n) : n_(n) {}
    size_t count() const override { return n_; }
    Value objectForKey(const Value& key) const override {
        const std::string* k = key.string();
        return k ? Value("value of " + *k) : Value();
    }
    void enumerateKeysAndObjects(
        const std::function<bool(const Value&, const Value&)>& fn) const override {
        for (size_t i = 0; i < n_; ++i) {
            const Value key(plat::format("key%zu", i));
            if (!fn(key, objectForKey(key)))
                return;
        }
    }

  private:
    size_t n_;
};

class ComputedList : public plat::Array {
    PLAT_CLASS(ComputedList)
  public:
    explicit ComputedList(size_t n) : n_(n) {}
    size_t count() const override { return n_; }
    Value objectAtIndex(size_t i) const override {
        if (i % 2)
            return Value(std::make_shared<ComputedRow>(2));
        return Value(plat::format("element %zu", i));
    }

  private:
    size_t n_;
};

// The members of a ComputedRow, but key2 null (unless last) and the last value `last`, given to
// the compact writer directly: key0 as text, key1 as any value and key2 as null under keys
// rendered beforehand, the rest the general way.
class SelfWrittenRow : public ComputedRow, public JKSelfWritingDictionary {
    PLAT_CLASS(SelfWrittenRow)
  public:
    SelfWrittenRow(size_t n, std::string last) : ComputedRow(n), last_(std::move(last)) {}
    Value objectForKey(const Value& key) const override {
        if (key == Value(plat::format("key%zu", count() - 1)))
            return Value(last_);
        return key == Value("key2") ? Value::null() : ComputedRow::objectForKey(key);
    }
    bool writeMembers(JKMemberWriter& writer) const override {
        ++written;
        static const auto first = JKMemberWriter::renderedKey("key0");
        if (count() > 0 && !writer.textMember(*first, objectForKey(Value("key0")).stringView()))
            return false;
        for (size_t i = 1; i < count(); ++i) {
            const Value key(plat::format("key%zu", i));
            const bool ok = i == 1 ? writer.valueMember("\"key1\":", objectForKey(key))
                            : i == 2 && i + 1 < count() ? writer.nullMember("\"key2\":")
                                                        : writer.member(key, objectForKey(key));
            if (!ok)
                return false;
        }
        return true;
    }
    mutable int written = 0;

  private:
    std::string last_;
};

}  // namespace

PLAT_DEFINE_CLASS(ComputedRow, plat::Dictionary, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ComputedList, plat::Array, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(SelfWrittenRow, ComputedRow, PLAT_NO_METHODS)

TEST(JKSerializer, WritesCompactAndPrettyText) {
    EXPECT_EQ(write(array({})).text, "[]");
    EXPECT_EQ(write(dictionary({})).text, "{}");
    EXPECT_EQ(write(array({}), JKSerializeOptionPretty).text, "[\n  \n]");
    EXPECT_EQ(write(dictionary({}), JKSerializeOptionPretty).text, "{\n  \n}");

    const Value record = dictionary({{Value("b"), Value(int32_t{1})},
                                     {Value("a"), array({Value(int32_t{1}), Value(int32_t{2})})}});
    EXPECT_EQ(write(record).text, R"({"b":1,"a":[1,2]})");
    EXPECT_EQ(write(record, JKSerializeOptionPretty).text,
              "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": 1\n}");

    // Keys sort by UTF-16 code units, as the platform's string comparison does.
    const Value keys = dictionary({{Value("\xEF\xBD\xA1"), Value::null()},  // U+FF61
                                   {Value("😀"), Value::null()},
                                   {Value("B"), Value::null()},
                                   {Value("a"), Value::null()},
                                   {Value("ก"), Value::null()}});
    EXPECT_EQ(write(keys, JKSerializeOptionPretty).text,
              "{\n  \"B\": null,\n  \"a\": null,\n  \"ก\": null,\n  \"😀\": null,\n  "
              "\"\xEF\xBD\xA1\": null\n}");

    // Any implementation of the collection interfaces, computed views included.
    EXPECT_EQ(write(Value(std::make_shared<ComputedList>(3))).text,
              R"(["element 0",{"key0":"value of key0","key1":"value of key1"},"element 2"])");
}

TEST(JKSerializer, WritesNumbersByTheirTypeCode) {
    const Value numbers = array({
        Value(0.1),
        Value(3.0),
        Value(1e21),
        Value(-0.0),
        Value(Number::fromDouble(0.1, 'f')),
        Value(int64_t{INT64_MIN}),
        Value(uint64_t{UINT64_MAX}),
        Value(int32_t{-7}),
        Value(Number::fromInt64(200, 'C')),
        Value(plat::Decimal{false, "25", -1}),
    });
    EXPECT_EQ(write(numbers).text,
              "[0.10000000000000001,3,1e+21,-0,0.10000000149011612,-9223372036854775808,"
              "18446744073709551615,-7,200,2.5]");

    // Only the shared booleans are true and false; a char-typed BOOL is a number.
    const Value flags =
        array({Value::boolean(true), Value(Number::fromChar(1)), Value(Number::fromChar(0)),
               Value::boolean(false), Value(Number::fromInt64(1, 'B'))});
    EXPECT_EQ(write(flags).text, "[true,1,0,false,1]");

    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        const auto w = write(array({Value(int32_t{1}), Value(bad)}));
        EXPECT_FALSE(w.ok);
        EXPECT_EQ(w.text,
                  "Floating point values must be finite.  JSON does not support NaN or Infinity.");
    }
    EXPECT_FALSE(write(array({Value(Number::fromDouble(std::nan(""), 'f'))})).ok);

    const auto unknown = write(array({Value(Number::fromInt64(1, 'x'))}));
    EXPECT_EQ(unknown.text, "NSNumber conversion error, unknown type.  Type: 'x' / 0x78");
}

// Floating-point numbers are written as "%.17g" writes them: correctly rounded digits, fixed or
// exponent notation, trailing zeros dropped, across the whole range.
TEST(JKSerializer, WritesDoublesAsPrintfDoes) {
    std::vector<double> values = {0.0, -0.0, 1.0, 0.1, 0.5, 1e-6, 1e-5, 1e-4, 1e16, 1e17,
                                  1e15 + 0.5, 123456.0, 0.00999, 1.0725, 99.9999, 9.999999e-5,
                                  5e-324, 1.7e308,
                                  // ties at the 18th digit, between an even and an odd digit
                                  1234567890123456.25, 1234567890123456.75, 4503599627370495.5};
    for (double p = 1e-7; p < 1e18; p *= 10) {
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0));
        values.push_back(std::nextafter(p, 1e300));
    }
    for (int i = 0; i < 40000; ++i) {
        values.push_back(i / 100.0);
        values.push_back(i / 100.0 * 1.0725);
        values.push_back(i / 7.0);
    }
    std::mt19937_64 rng(7);
    for (int i = 0; i < 100000; ++i) {
        // Every bit pattern of sign and fraction, exponents from about 1e-9 to 1e19.
        const uint64_t bits = (rng() & 0x800FFFFFFFFFFFFFull) | (uint64_t{990} + rng() % 85) << 52;
        values.push_back(std::bit_cast<double>(bits));
    }
    for (double v : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.17g", v);
        char written[kJKDoubleTextMax];
        ASSERT_EQ(std::string_view(written, jk_writeDoubleText(v, written) - written), expected)
            << std::hexfloat << v;
    }
    EXPECT_EQ(write(array({Value(1234.5), Value(-2e-6), Value(100.0)})).text,
              "[1234.5,-1.9999999999999999e-06,100]");
}

TEST(JKSerializer, EscapesStrings) {
    const std::string controls =
        std::string("\x01\x0b\b\t\n\f\r\"\\/", 10) + std::string(1, '\0') + "z";
    EXPECT_EQ(write(array({Value(controls)})).text, R"(["\u0001\u000b\b\t\n\f\r\"\\/\u0000z"])");
    EXPECT_EQ(write(array({Value("a/b")}), JKSerializeOptionEscapeSolidus).text, R"(["a\/b"])");

    // Non-ASCII text is written as it is, or escaped on request.
    const Value text = array({Value("é ก 😀")});
    EXPECT_EQ(write(text).text, "[\"é ก 😀\"]");
    EXPECT_EQ(write(text, JKSerializeOptionEscapeNonASCII).text,
              R"(["\u00e9 \u0e01 \ud83d\ude00"])");

    // A noncharacter is valid text but has no escape; broken UTF-8 is never written.
    const Value nonCharacter = array({Value("\xEF\xBF\xBF")});
    EXPECT_EQ(write(nonCharacter).text, "[\"\xEF\xBF\xBF\"]");
    EXPECT_EQ(write(nonCharacter, JKSerializeOptionEscapeNonASCII).text, "Error converting UTF8.");
    for (const char* broken : {"a\xff", "\xe0\xb8", "\xed\xa0\x80", "\xc0\x80"}) {
        const auto w = write(array({Value(broken)}));
        EXPECT_FALSE(w.ok) << broken;
        EXPECT_EQ(w.text, "An error occurred converting the contents of a NSString to UTF8.");
    }

    // Bare strings.
    EXPECT_EQ(JSONString("say \"hi\"").value_or("?"), R"("say \"hi\"")");
    EXPECT_EQ(JSONStringWithOptions("say \"hi\"", 0, false, nullptr).value_or("?"),
              R"(say \"hi\")");
    const auto data = JSONDataWithOptions("ก", JKSerializeOptionEscapeNonASCII, true, nullptr);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), R"("\u0e01")");
}

// Texts are scanned several bytes at a time: a character that needs escaping, and its near
// neighbours that do not, must be found at every place of short and long texts, in texts the
// reader checked and in others.
TEST(JKSerializer, EscapesACharacterAtEveryPlaceOfATextOfAnyLength) {
    struct Case {
        std::string text, written, writtenWithSolidus;
    };
    const std::vector<Case> cases = {{"\"", "\\\"", "\\\""},
                                     {"\\", "\\\\", "\\\\"},
                                     {"\n", "\\n", "\\n"},
                                     {"\x01", "\\u0001", "\\u0001"},
                                     {"\x1f", "\\u001f", "\\u001f"},
                                     {"/", "/", "\\/"},
                                     {" ", " ", " "},
                                     {"!", "!", "!"},
                                     {"#", "#", "#"},
                                     {".", ".", "."},
                                     {"0", "0", "0"},
                                     {"[", "[", "["},
                                     {"]", "]", "]"},
                                     {"\x7f", "\x7f", "\x7f"},
                                     {"é", "é", "é"},
                                     {"ก", "ก", "ก"}};
    for (size_t length = 1; length <= 40; ++length) {
        for (size_t at = 0; at < length; ++at) {
            for (const Case& c : cases) {
                const std::string before(at, 'a'), after(length - at - 1, 'b');
                const std::string text = before + c.text + after;
                const std::string plain = "[\"" + before + c.written + after + "\"]";
                const std::string solidus = "[\"" + before + c.writtenWithSolidus + after + "\"]";
                EXPECT_EQ(write(array({Value(text)})).text, plain) << text;
                EXPECT_EQ(write(array({Value(text)}), JKSerializeOptionEscapeSolidus).text, solidus)
                    << text;
                // The same text as the reader hands it out (known to be well-formed).
                const Value read = objectFromJSONString(plain);
                ASSERT_TRUE(read.isArray()) << plain;
                EXPECT_EQ(write(read).text, plain) << text;
            }
            // Bytes that are no UTF-8: a stray byte, a cut sequence, an overlong form, a
            // surrogate and a code point beyond U+10FFFF, among ASCII or Thai text.
            for (const char* bad :
                 {"\xff", "\xe0\xb8", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
                for (const char* around : {"a", "ก"}) {
                    std::string broken;
                    for (size_t i = 0; i < length; ++i)
                        broken += i == at ? bad : around;
                    EXPECT_FALSE(write(array({Value(broken)})).ok) << length << " " << at;
                }
            }
        }
    }
}

TEST(JKSerializer, RefusesWhatJSONCannotHold) {
    EXPECT_EQ(write(dictionary({{Value(int32_t{1}), Value("one")}})).text,
              "Key must be a string object.");
    EXPECT_EQ(write(dictionary({{Value(int32_t{1}), Value("one")}}), JKSerializeOptionPretty).text,
              "Key must be a string object.");

    // A container that holds itself.
    auto loop = plat::MutableArray::make({Value(int32_t{1})});
    auto holder = plat::MutableDictionary::make();
    holder->setObject(Value(loop), Value("list"));
    loop->addObject(Value(holder));
    const auto w = write(Value(loop));
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.text, "Unable to serialize object class MutableArray because it contains itself.");
    loop->removeAllObjects();  // break the cycle so that both are freed

    // The same container twice side by side is fine.
    const Value shared = array({Value("x")});
    EXPECT_EQ(write(array({shared, shared})).text, R"([["x"],["x"]])");

    // Nesting is bounded.
    auto nest = [](size_t depth) {
        Value v = array({});
        for (size_t i = 1; i < depth; ++i)
            v = array({v});
        return v;
    };
    EXPECT_TRUE(write(nest(512)).ok);
    EXPECT_EQ(write(nest(513)).text,
              "Unable to serialize object class MutableArray: nesting exceeds the maximum depth "
              "of 512.");
}

TEST(JKSerializer, HandsUnsupportedValuesToTheFormatter) {
    const Value withDate = array({Value(plat::Date{86400}), Value("x")});
    EXPECT_EQ(write(withDate).text, "Unable to serialize object class NSDate.");

    auto seconds = [](const Value& v) { return v.date() ? Value(v.date()->seconds) : Value(); };
    EXPECT_EQ(write(withDate, 0, seconds).text, "[86400,\"x\"]");
    EXPECT_EQ(write(withDate, 0, [](const Value&) { return Value(); }).text,
              "Unable to serialize object class NSDate.");
    EXPECT_EQ(write(withDate, 0, [](const Value&) { return Value(plat::Bytes{1}); }).text,
              "Unable to serialize object class NSData that was returned by the unsupported class "
              "formatter.  Original object class was NSDate.");

    // A delegate that answers a selector.
    auto delegate = testing_support::DynamicObject::make();
    delegate->on("jsonValueFor:", [](plat::Args& args) {
        const Value v = std::any_cast<Value>(args[0]);
        return std::any(Value("date:" + std::to_string(static_cast<int>(v.date()->seconds))));
    });
    const auto list = withDate.array();
    Ref<plat::Error> error;
    EXPECT_EQ(JSONStringWithOptions(list, 0, delegate, "jsonValueFor:", &error).value_or("?"),
              R"(["date:86400","x"])");
    EXPECT_FALSE(error);

    auto reason = [](auto&& fn) -> std::string {
        try {
            fn();
        } catch (const plat::Exception& e) {
            return e.reason();
        }
        return "no exception";
    };
    EXPECT_EQ(reason([&] { JSONStringWithOptions(list, 0, delegate, plat::Selector(), nullptr); }),
              "The delegate argument is not NULL, but the selector argument is NULL.");
    EXPECT_EQ(reason([&] { JSONStringWithOptions(list, 0, delegate, "other:", nullptr); }),
              "The serializeUnsupportedClassesUsingDelegate: delegate does not respond to the "
              "selector argument.");
}

TEST(JKSerializer, ChecksTheTopLevelAndReportsErrors) {
    Ref<plat::Error> error = plat::Error::make("stale", 1);
    Value v = JKSerializer::serializeObject(
        Value("text"), 0, JKEncodeOptionCollectionObj | JKEncodeOptionResultString, {}, {}, {},
        &error);
    EXPECT_TRUE(v.isNil());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), JKErrorDomain);
    EXPECT_EQ(error->code(), -1);
    EXPECT_EQ(error->localizedDescription(),
              "Unable to serialize object class NSString, expected a NSArray or NSDictionary.");

    v = JKSerializer::serializeObject(Value(int32_t{3}), 0,
                                      JKEncodeOptionStringObj | JKEncodeOptionResultString, {}, {},
                                      {}, &error);
    EXPECT_EQ(error->localizedDescription(),
              "Unable to serialize object class NSNumber, expected a NSString.");

    v = JKSerializer::serializeObject(array({}), 0, JKEncodeOptionCollectionObj, {}, {}, {},
                                      &error);
    EXPECT_EQ(error->localizedDescription(), "Unknown encode as type.");

    // A success clears an error left in the out-parameter; data results hold the bytes.
    v = JKSerializer::serializeObject(array({Value("a")}), 0, JKEncodeOptionResultData, {}, {}, {},
                                      &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(v.bytes());
    EXPECT_EQ(std::string(v.bytes()->begin(), v.bytes()->end()), R"(["a"])");
    EXPECT_EQ(JSONString(Ref<plat::Array>()), std::nullopt);
}

TEST(JKSerializer, OutputCacheNeverConfusesObjects) {
    // One string object repeated many times is written the same everywhere.
    const Value name("ชื่อ \"quoted\"");
    std::vector<Value> rows;
    for (int i = 0; i < 5000; ++i) {
        rows.push_back(dictionary({{name, Value(int32_t{i})}, {Value("Name"), name}}));
    }
    const auto text = write(array(rows));
    ASSERT_TRUE(text.ok);
    Value back = objectFromJSONString(text.text);
    ASSERT_TRUE(back.isArray());
    EXPECT_EQ(back, array(rows));

    // Values made on demand die right after they are written; a new value at the same address
    // must not receive the old text.
    auto list = std::make_shared<ComputedList>(4000);
    const auto computed = JSONString(Ref<plat::Array>(list));
    ASSERT_TRUE(computed);
    Value reread = objectFromJSONString(*computed);
    ASSERT_TRUE(reread.isArray());
    ASSERT_EQ(reread.array()->count(), 4000u);
    for (size_t i = 0; i < 4000; ++i) {
        ASSERT_EQ(reread.array()->objectAtIndex(i), list->objectAtIndex(i)) << i;
    }

    // A formatter may let go of strings written before it ran and make new ones of the same
    // size, which the heap likely places at the same addresses (the text's own block is of
    // another size than the string object's, so that it is the one handed out again).
    for (const char* textOfReader : {"", R"(["read from a reply, long enough"])"}) {
        auto inner = plat::MutableArray::make({Value(std::string(100, 'o'))});
        if (*textOfReader)
            inner->addObject(objectFromJSONString(textOfReader).array()->objectAtIndex(0));
        const Value tree(Ref<plat::Array>(plat::MutableArray::make(
            {Value(Ref<plat::Array>(inner)), Value(plat::Date{1}), Value(plat::Date{2})})));
        const auto replaced = write(tree, 0, [&](const Value&) {
            while (inner->count())
                inner->removeObjectAtIndex(0);
            return Value(plat::Array::make({Value(std::string(100, 'n'))}));
        });
        const std::string old = *textOfReader ? R"(,"read from a reply, long enough")" : "";
        const std::string made = "[\"" + std::string(100, 'n') + "\"]";
        EXPECT_EQ(replaced.text,
                  "[[\"" + std::string(100, 'o') + "\"" + old + "]," + made + "," + made + "]");
    }
}

// Strings from the reader are known to be well-formed and are copied without a second check;
// other strings are checked. Both give the same text, and only the check refuses bad bytes.
TEST(JKSerializer, WritesReaderStringsAsOtherStringsAndChecksOnlyTheOthers) {
    const std::string text =
        "[\"สุขภาพดี \\\"เริ่มต้น\\\" ที่บ้าน\\n\\u0001 — ok/💡 ชีวจิตชีวจิตชีวจิต\",\"a/b\"]";
    Value read = objectFromJSONString(text);
    ASSERT_TRUE(read.isArray());
    const Value fromReader = read.array()->objectAtIndex(0);
    ASSERT_TRUE(fromReader.hasCheckedUTF8());
    const Value plain(*fromReader.string());
    ASSERT_FALSE(plain.hasCheckedUTF8());
    for (JKSerializeOptionFlags options :
         {JKSerializeOptionFlags{0}, JKSerializeOptionEscapeSolidus,
          JKSerializeOptionEscapeNonASCII}) {
        auto a = JSONStringWithOptions(Ref<plat::Array>(plat::Array::make({fromReader})), options,
                                       nullptr);
        auto b =
            JSONStringWithOptions(Ref<plat::Array>(plat::Array::make({plain})), options, nullptr);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(*a, *b) << options;
    }
    EXPECT_EQ(JSONString(read.array()).value_or(""), text);

    Ref<plat::Error> error;
    for (const char* bad : {"\xC3", "a\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        EXPECT_FALSE(
            JSONStringWithOptions(Ref<plat::Array>(plat::Array::make({Value(bad)})), 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->localizedDescription(),
                  "An error occurred converting the contents of a NSString to UTF8.");
    }
}

// Compact text without options takes a self-writing dictionary's members from the dictionary,
// nested or not; every other text enumerates it. Either way the text is the same, failures
// included.
TEST(JKSerializer, SelfWritingDictionariesGiveTheEnumeratedText) {
    EXPECT_EQ(*JKMemberWriter::renderedKey("k\"é/"), "\"k\\\"é/\":");
    EXPECT_FALSE(JKMemberWriter::renderedKey("\xff"));

    for (size_t n : {0, 1, 2, 3, 5}) {
        auto row = std::make_shared<SelfWrittenRow>(n, "ท้าย \"/\n");
        std::vector<std::pair<Value, Value>> entries;
        row->enumerateKeysAndObjects([&](const Value& k, const Value& v) {
            entries.emplace_back(k, v);
            return true;
        });
        const Value copy(plat::makeDictionary(entries));
        auto nest = [](const Value& v) { return array({v, dictionary({{Value("in"), v}})}); };
        for (JKSerializeOptionFlags options :
             {JKSerializeOptionFlags{0}, JKSerializeOptionPretty, JKSerializeOptionEscapeNonASCII,
              JKSerializeOptionEscapeSolidus}) {
            const int before = row->written;
            const auto text = write(nest(Value(row)), options);
            ASSERT_TRUE(text.ok) << text.text;
            EXPECT_EQ(text.text, write(nest(copy), options).text) << n << " " << options;
            EXPECT_EQ(row->written - before, options == 0 ? 2 : 0) << options;
        }
    }

    for (const char* last : {"\xff", "\xc3"}) {
        auto bad = std::make_shared<SelfWrittenRow>(last[0] == '\xff' ? 4 : 1, last);
        Ref<plat::Error> error;
        EXPECT_FALSE(JSONStringWithOptions(Ref<plat::Dictionary>(bad), 0, &error));
        EXPECT_TRUE(error);
    }
}
