#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/storage/PropertyList.h"
#include "support/ChildProcess.h"

using plat::Bytes;
using plat::Number;
using plat::PropertyList;
using plat::PropertyListFormat;
using plat::Value;

namespace {

Bytes plistBytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

struct Parsed {
    Value value;
    PropertyListFormat format = PropertyListFormat::XML;
    Ref<plat::Error> error;
};

Parsed parse(const Bytes& data) {
    Parsed p;
    p.value = PropertyList::propertyListWithData(data, &p.format, &p.error);
    return p;
}
Parsed parse(std::string_view text) {
    return parse(plistBytesOf(text));
}

// Expects a failure and answers its message.
std::string failure(const Bytes& data) {
    Parsed p = parse(data);
    EXPECT_TRUE(p.value.isNil()) << "unexpectedly parsed: " << p.value.description();
    if (!p.error) {
        ADD_FAILURE() << "no error";
        return {};
    }
    EXPECT_EQ(p.error->domain(), plat::NSCocoaErrorDomain);
    EXPECT_EQ(p.error->code(), plat::NSPropertyListReadCorruptError);
    return p.error->localizedDescription();
}
std::string failure(std::string_view text) {
    return failure(plistBytesOf(text));
}

Value dict(std::vector<std::pair<Value, Value>> entries) {
    return Value::fromObject(plat::makeDictionary(std::move(entries)));
}
Value array(std::vector<Value> values) {
    return Value::fromObject(plat::Array::make(std::move(values)));
}

std::string xmlDocument(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           std::string(body) + "\n</plist>\n";
}

// Assembles a binary property list from hand-written object bytes: computes the offset table
// and the trailer.
Bytes binaryPlist(const std::vector<Bytes>& objects, uint64_t top = 0, uint8_t refSize = 1,
                  uint8_t offsetSize = 1) {
    Bytes out = plistBytesOf("bplist00");
    std::vector<uint64_t> offsets;
    for (const Bytes& o : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), o.begin(), o.end());
    }
    const uint64_t tableOffset = out.size();
    for (uint64_t off : offsets) {
        for (int i = offsetSize - 1; i >= 0; --i)
            out.push_back(static_cast<uint8_t>(off >> (8 * i)));
    }
    auto be64 = [&](uint64_t v) {
        for (int i = 7; i >= 0; --i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    for (int i = 0; i < 6; ++i)
        out.push_back(0);
    out.push_back(offsetSize);
    out.push_back(refSize);
    be64(objects.size());
    be64(top);
    be64(tableOffset);
    return out;
}

Value sampleValue() {
    return dict({
        {Value("Pages"),
         dict({{Value("0"), dict({{Value("PageName"), Value("cover")},
                                  {Value("Widgets"), array({})},
                                  {Value("PageInsets"), dict({{Value("Top"), Value(1.5)}})}})}})},
        {Value("HasSingleCoverPage"), Value::boolean(false)},
        {Value("Count"), Value(int64_t{-42})},
        {Value("Big"), Value(uint64_t{18446744073709551615ull})},
        {Value("Ratio"), Value(0.1)},
        {Value("Name"), Value("ไทย <&> \"quoted\" \r\n tab\t")},
        {Value("Blob"), Value(Bytes{0, 1, 2, 254, 255})},
        {Value("When"), Value(plat::Date{1700000000.5})},
        {Value("Empty"), dict({})},
        {Value("List"), array({Value("a"), Value(int32_t{1}), Value::boolean(true)})},
    });
}

}  // namespace

// ---- XML ----------------------------------------------------------------------------------------

TEST(PropertyListXml, WriterAndReaderRoundTripEveryKind) {
    const Value original = sampleValue();
    auto data = PropertyList::dataWithPropertyList(original);
    ASSERT_TRUE(data);
    Parsed p = parse(*data);
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    EXPECT_EQ(p.format, PropertyListFormat::XML);
    EXPECT_TRUE(p.value.equals(original)) << p.value.description();
    // Key order and the typed numbers survive.
    EXPECT_EQ(p.value.dictionary()->allKeys().front(), Value("Pages"));
    EXPECT_TRUE(p.value.dictionary()->objectForKey("Big").number()->isUnsigned());
    EXPECT_TRUE(p.value.dictionary()->objectForKey("Ratio").number()->isFloatingPoint());
    EXPECT_TRUE(p.value.dictionary()->objectForKey("HasSingleCoverPage").isBool());
    EXPECT_FALSE(p.value.dictionary()->isMutable());
}

TEST(PropertyListXml, WriterProducesTheStandardLayout) {
    auto data = PropertyList::dataWithPropertyList(dict(
        {{Value("a"), array({Value(int32_t{1}), Value::boolean(true)})}, {Value("e"), array({})}}));
    ASSERT_TRUE(data);
    EXPECT_EQ(
        std::string(data->begin(), data->end()),
        xmlDocument("<dict>\n\t<key>a</key>\n\t<array>\n\t\t<integer>1</integer>\n\t\t<true/>\n"
                    "\t</array>\n\t<key>e</key>\n\t<array/>\n</dict>"));
}

TEST(PropertyListXml, WriterFormatsDatesAndSpecialReals) {
    auto text = [](const Value& v) {
        auto data = PropertyList::dataWithPropertyList(array({v}));
        EXPECT_TRUE(data);
        return data ? std::string(data->begin(), data->end()) : std::string();
    };
    EXPECT_NE(text(Value(plat::Date{0})).find("<date>1970-01-01T00:00:00Z</date>"),
              std::string::npos);
    EXPECT_NE(text(Value(plat::Date{951782400.25})).find("<date>2000-02-29T00:00:00.25Z</date>"),
              std::string::npos);
    EXPECT_NE(text(Value(plat::Date{-1})).find("<date>1969-12-31T23:59:59Z</date>"),
              std::string::npos);
    EXPECT_NE(text(Value(-INFINITY)).find("<real>-infinity</real>"), std::string::npos);
    EXPECT_NE(text(Value(NAN)).find("<real>nan</real>"), std::string::npos);
    // Single-precision numbers keep their own shortest text.
    EXPECT_NE(text(Value(Number::fromDouble(0.1, 'f'))).find("<real>0.1</real>"),
              std::string::npos);
}

TEST(PropertyListXml, WriterRefusesWhatIsNotAPropertyList) {
    auto refused = [](const Value& v) {
        Ref<plat::Error> error;
        EXPECT_FALSE(PropertyList::dataWithPropertyList(v, PropertyListFormat::XML, &error));
        EXPECT_TRUE(error && error->code() == plat::NSPropertyListWriteInvalidError);
        EXPECT_FALSE(PropertyList::isValidPropertyList(v));
    };
    refused(Value());
    refused(Value::null());
    refused(array({Value("ok"), Value::null()}));
    refused(dict({{Value(int32_t{1}), Value("non-string key")}}));
    refused(Value(plat::Date{NAN}));
    // Characters XML 1.0 cannot hold, in values and in keys.
    refused(Value(std::string("nul\0byte", 8)));
    refused(dict({{Value("bell\x07"), Value("x")}}));
    refused(array({Value("ok"), Value("\xEF\xBF\xBF")}));
    EXPECT_TRUE(PropertyList::isValidPropertyList(Value("tab\tline\ncr\r ไทย")));
    // A container that holds itself ends at the depth limit instead of overflowing the stack.
    auto loop = plat::MutableArray::make();
    loop->addObject(Value::fromObject(loop));
    refused(Value::fromObject(loop));
    loop->removeAllObjects();  // break the cycle so it is freed
    // Only XML is written.
    Ref<plat::Error> error;
    EXPECT_FALSE(
        PropertyList::dataWithPropertyList(Value("x"), PropertyListFormat::Binary, &error));
    EXPECT_TRUE(error);
}

TEST(PropertyListXml, ReaderAcceptsTheFormsWritersUse) {
    Parsed p = parse(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- leading comment -->\n"
        "<!DOCTYPE plist [ <!ENTITY x \"not expanded\"> ]>\n"
        "<plist version='1.0'><dict>\n"
        "  <key>e</key><string>&lt;&amp;&gt;&quot;&apos;&#65;&#x0E01;</string>\n"
        "  <key>c</key><string><![CDATA[<raw & text>]]></string>\n"
        "  <key>empty</key><string/>\n"
        "  <key/><integer> 0x1F </integer>\n"
        "  <key>neg</key><integer>-9223372036854775808</integer>\n"
        "  <key>max</key><integer>18446744073709551615</integer>\n"
        "  <key>r</key><real>1e3</real>\n"
        "  <key>inf</key><real>-Infinity</real>\n"
        "  <key>d</key><data>\n    AAEC\n    /w\n  </data>\n"
        "  <key>day</key><date>2024-02-29</date>\n"
        "  <key>frac</key><date>1970-01-01T00:00:01.5Z</date>\n"
        "  <key>t</key><true></true>\n"
        "  <key>dict</key><dict/>\n"
        "  <!-- a comment between entries -->\n"
        "</dict></plist>\n<!-- trailing -->\n");
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    auto d = p.value.dictionary();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->objectForKey("e"), Value("<&>\"'A\u0E01"));
    EXPECT_EQ(d->objectForKey("c"), Value("<raw & text>"));
    EXPECT_EQ(d->objectForKey("empty"), Value(""));
    EXPECT_EQ(d->objectForKey(""), Value(int64_t{31}));
    EXPECT_EQ(d->objectForKey("neg").number()->int64Value(), INT64_MIN);
    EXPECT_EQ(d->objectForKey("max").number()->uint64Value(), UINT64_MAX);
    EXPECT_EQ(d->objectForKey("r"), Value(1000.0));
    EXPECT_EQ(d->objectForKey("inf").doubleValue(), -INFINITY);
    EXPECT_EQ(*d->objectForKey("d").bytes(), (Bytes{0, 1, 2, 255}));
    EXPECT_EQ(d->objectForKey("day").date()->seconds, 1709164800.0);
    EXPECT_EQ(d->objectForKey("frac").date()->seconds, 1.5);
    EXPECT_EQ(d->objectForKey("t"), Value::boolean(true));
    EXPECT_EQ(d->objectForKey("dict").dictionary()->count(), 0u);
}

TEST(PropertyListXml, BareValueWithoutPlistElement) {
    Parsed p = parse("<array><string>x</string></array>");
    ASSERT_FALSE(p.error);
    EXPECT_EQ(p.value, array({Value("x")}));
    EXPECT_EQ(p.format, PropertyListFormat::XML);
}

TEST(PropertyListXml, MalformedDocumentsGiveErrorsNamingTheLine) {
    EXPECT_NE(
        failure(xmlDocument("<dict>\n<key>a</key>\n<string>x</strin>\n</dict>")).find("line 6"),
        std::string::npos);
    failure(xmlDocument("<dict><key>a</key></dict>"));        // key without value
    failure(xmlDocument("<dict><string>a</string></dict>"));  // value without key
    failure(xmlDocument("<key>a</key>"));                     // key outside a dictionary
    failure(xmlDocument("<foo/>"));                           // unknown element
    failure(xmlDocument("<string>a<b/></string>"));           // element inside text
    failure(xmlDocument("<string>&bogus;</string>"));         // unknown entity
    failure(xmlDocument("<string>&#0;</string>"));            // NUL reference
    failure(xmlDocument("<string>&#xD800;</string>"));        // surrogate reference
    failure(xmlDocument("<integer>12a</integer>"));
    failure(xmlDocument("<integer></integer>"));
    failure(xmlDocument("<integer>-9223372036854775809</integer>"));  // below the signed range
    failure(xmlDocument("<integer>18446744073709551616</integer>"));  // above the unsigned range
    failure(xmlDocument("<real>1.5x</real>"));
    failure(xmlDocument("<date>2023-02-29T00:00:00Z</date>"));  // not a leap year
    failure(xmlDocument("<date>2024-01-01T24:00:00Z</date>"));
    failure(xmlDocument("<date>yesterday</date>"));
    failure(xmlDocument("<data>A</data>"));  // impossible Base64 length
    failure(xmlDocument("<data>AA*A</data>"));
    failure(xmlDocument("<true>x</true>"));
    failure(xmlDocument("<string>a</string><string>b</string>"));  // two values
    failure("<plist><string>a</string></plist> junk");
    failure("<plist></plist>");
    failure("<?xml version=\"1.0\"?>");
    failure("<plist><dict><key>a</key><string>unterminated");
    failure("<plist><!-- unterminated comment");
    failure("<plist><string><![CDATA[unterminated</string></plist>");
    failure(std::string("<plist><string>\xC3\x28</string></plist>"));  // invalid UTF-8
}

TEST(PropertyListXml, NestingDeeperThanTheLimitIsRefused) {
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "<array>";
        for (int i = 0; i < depth; ++i)
            s += "</array>";
        return xmlDocument(s);
    };
    EXPECT_FALSE(parse(nested(PropertyList::kMaxDepth)).error);
    EXPECT_NE(failure(nested(PropertyList::kMaxDepth + 1)).find("too deep"), std::string::npos);
    failure(nested(100000));
}

TEST(PropertyListXml, Utf16DocumentsWithByteOrderMark) {
    const std::string text = "<plist><string>\xE0\xB8\x81</string></plist>";  // U+0E01
    Bytes be{0xFE, 0xFF}, le{0xFF, 0xFE};
    for (size_t i = 0; i < text.size();) {
        // Everything but the Thai letter is ASCII.
        uint16_t unit;
        if (static_cast<uint8_t>(text[i]) == 0xE0) {
            unit = 0x0E01;
            i += 3;
        } else {
            unit = static_cast<uint8_t>(text[i++]);
        }
        be.push_back(static_cast<uint8_t>(unit >> 8));
        be.push_back(static_cast<uint8_t>(unit));
        le.push_back(static_cast<uint8_t>(unit));
        le.push_back(static_cast<uint8_t>(unit >> 8));
    }
    EXPECT_EQ(parse(be).value, Value("\xE0\xB8\x81"));
    EXPECT_EQ(parse(le).value, Value("\xE0\xB8\x81"));
    Bytes odd = be;
    odd.pop_back();
    failure(odd);
}

// ---- Binary -------------------------------------------------------------------------------------

TEST(PropertyListBinary, LiteralSmallDictionary) {
    // {"a": 1}: a dictionary object, its key and its value, the offset table and the trailer.
    const Bytes data = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 0x01,
                        0x02,              // dict of 1: key ref 1, value
                                           // ref 2
                        0x51, 'a',         // ASCII string "a"
                        0x10, 0x01,        // 1-byte integer 1
                        0x08, 0x0B, 0x0D,  // offset table
                        0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        0, 0, 0, 0, 0, 0, 15};
    Parsed p = parse(data);
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    EXPECT_EQ(p.format, PropertyListFormat::Binary);
    EXPECT_EQ(p.value, dict({{Value("a"), Value(int32_t{1})}}));
}

TEST(PropertyListBinary, EveryObjectKind) {
    // Object 0 is the top-level array of objects 1..17.
    Bytes top = {0xAF, 0x10, 17};
    for (uint8_t i = 1; i <= 17; ++i)
        top.push_back(i);
    Bytes data49(20, 0x5A);
    Bytes longData = {0x4F, 0x10, 20};
    longData.insert(longData.end(), data49.begin(), data49.end());
    const double when = 1000.5;  // seconds after 2001-01-01
    uint64_t whenBits;
    std::memcpy(&whenBits, &when, 8);
    Bytes date = {0x33};
    for (int i = 7; i >= 0; --i)
        date.push_back(static_cast<uint8_t>(whenBits >> (8 * i)));
    const Bytes data = binaryPlist({
        top,
        {0x09},                                                  // 1 true
        {0x08},                                                  // 2 false
        {0x11, 0xFF, 0xFE},                                      // 3 65534
        {0x12, 0x80, 0x00, 0x00, 0x00},                          // 4 2147483648 (unsigned 4 bytes)
        {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE},  // 5 -2
        {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
         0xFF},                                                  // 6 UINT64_MAX
        {0x22, 0x3F, 0xC0, 0x00, 0x00},                          // 7 1.5f
        {0x23, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18},  // 8 pi
        date,                                                    // 9
        {0x43, 1, 2, 3},                                         // 10 data
        longData,                                                // 11 data with extended count
        {0x63, 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00},              // 12 UTF-16 "é😀"
        {0x53, 'a', 0xE9, 'b'},  // 13 8-bit "ASCII": read as Latin-1
        {0xC2, 1, 2},            // 14 set, read as an array
        {0x80, 0x07},            // 15 UID 7
        {0xD0},                  // 16 empty dictionary
        {0x50},                  // 17 empty string
    });
    Parsed p = parse(data);
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    auto a = p.value.array();
    ASSERT_TRUE(a);
    ASSERT_EQ(a->count(), 17u);
    EXPECT_TRUE(a->objectAtIndex(0).isBool() && a->objectAtIndex(0).boolValue());
    EXPECT_EQ(a->objectAtIndex(1), Value::boolean(false));
    EXPECT_EQ(a->objectAtIndex(2), Value(int32_t{65534}));
    EXPECT_EQ(a->objectAtIndex(3), Value(int64_t{2147483648}));
    EXPECT_EQ(a->objectAtIndex(4), Value(int32_t{-2}));
    EXPECT_EQ(a->objectAtIndex(5).number()->uint64Value(), UINT64_MAX);
    EXPECT_EQ(a->objectAtIndex(6), Value(1.5));
    EXPECT_EQ(a->objectAtIndex(7), Value(3.141592653589793));
    EXPECT_EQ(a->objectAtIndex(8).date()->seconds, 978307200.0 + 1000.5);
    EXPECT_EQ(*a->objectAtIndex(9).bytes(), (Bytes{1, 2, 3}));
    EXPECT_EQ(*a->objectAtIndex(10).bytes(), data49);
    EXPECT_EQ(a->objectAtIndex(11), Value("\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ(a->objectAtIndex(12), Value("a\xC3\xA9"
                                          "b"));
    EXPECT_EQ(a->objectAtIndex(13), array({Value::boolean(true), Value::boolean(false)}));
    EXPECT_EQ(a->objectAtIndex(14), dict({{Value("CF$UID"), Value(int32_t{7})}}));
    EXPECT_EQ(a->objectAtIndex(15), dict({}));
    EXPECT_EQ(a->objectAtIndex(16), Value(""));
}

TEST(PropertyListBinary, WideReferencesAndSharedObjects) {
    // Two-byte references and offsets; the same string object used as a value twice.
    const Bytes data = binaryPlist(
        {{0xD2, 0, 1, 0, 2, 0, 3, 0, 3}, {0x51, 'x'}, {0x51, 'y'}, {0x52, 'o', 'k'}}, 0, 2, 2);
    Parsed p = parse(data);
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    EXPECT_EQ(p.value, dict({{Value("x"), Value("ok")}, {Value("y"), Value("ok")}}));
}

TEST(PropertyListBinary, MalformedFilesGiveErrors) {
    const Bytes good = binaryPlist({{0xA1, 1}, {0x51, 'a'}});
    ASSERT_FALSE(parse(good).error);

    // Every truncation fails cleanly. (Shorter than "bplist", the bytes are a valid old-style
    // word.)
    for (size_t n = 6; n < good.size(); ++n)
        failure(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)));

    auto patched = [&](size_t fromEnd, uint8_t value) {
        Bytes b = good;
        b[b.size() - fromEnd] = value;
        return b;
    };
    failure(patched(26, 0));    // offset size 0
    failure(patched(26, 9));    // offset size 9
    failure(patched(25, 0));    // reference size 0
    failure(patched(9, 2));     // top object beyond the object count (count is 2)
    failure(patched(1, 0));     // offset table inside the header
    failure(patched(1, 200));   // offset table beyond the file
    failure(patched(17, 200));  // more objects than the table can hold

    failure(binaryPlist({{0xA1, 5}}));             // reference out of range
    failure(binaryPlist({{0xA1, 0}}));             // an array that contains itself
    failure(binaryPlist({{0xA1, 1}, {0xA1, 0}}));  // a longer cycle
    failure(binaryPlist({{0xA3, 1}}));             // count runs past the object area
    failure(
        binaryPlist({{0x5F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}));  // huge count
    failure(binaryPlist({{0x5F, 0x13, 0x80, 0, 0, 0, 0, 0, 0, 0}}));  // negative count
    failure(binaryPlist({{0x4F, 0x22, 0, 0, 0, 0}}));  // count that is not an integer
    failure(binaryPlist({{0xD1, 1, 1}, {0x10, 1}}));   // non-string key
    failure(binaryPlist({{0x70}}));                    // unknown marker
    failure(binaryPlist({{0x00}}));                    // null
    failure(binaryPlist({{0x15, 0}}));                 // 32-byte integer
    failure(binaryPlist({{0x14, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}));  // > 64 bits
    failure(binaryPlist({{0x21, 0, 0}}));
    failure(binaryPlist({{0x88, 0, 0, 0, 0, 0, 0, 0, 0, 1}}));  // 9-byte UID // 2-byte real
    failure(binaryPlist({{0x61, 0xDC, 0x00}}));                 // lone low surrogate
    failure(binaryPlist({{0x23, 0, 0}}));                  // real cut short by the offset table
    failure(plistBytesOf("bplist01" + std::string(40, '\0')));  // other versions
}

TEST(PropertyListBinary, NestingAndExpansionLimits) {
    // A chain of nested arrays (two-byte references) ending in an empty string.
    auto chain = [](int arrays) {
        std::vector<Bytes> objects;
        for (int i = 0; i < arrays; ++i) {
            objects.push_back(
                {0xA1, static_cast<uint8_t>((i + 1) >> 8), static_cast<uint8_t>(i + 1)});
        }
        objects.push_back({0x50});
        return binaryPlist(objects, 0, 2, 2);
    };
    EXPECT_FALSE(parse(chain(PropertyList::kMaxDepth)).error);
    EXPECT_NE(failure(chain(PropertyList::kMaxDepth + 1)).find("too deep"), std::string::npos);

    // Sharing: 40 arrays, each holding the next one twice, would expand to 2^40 values.
    std::vector<Bytes> bomb;
    for (uint8_t i = 0; i < 40; ++i)
        bomb.push_back({0xA2, static_cast<uint8_t>(i + 1), static_cast<uint8_t>(i + 1)});
    bomb.push_back({0x50});
    EXPECT_NE(failure(binaryPlist(bomb)).find("too many"), std::string::npos);
    // 23 levels (about 130 bytes) would still be 8 million values: refused by the input's size.
    bomb.resize(23);
    bomb.push_back({0x50});
    EXPECT_LT(binaryPlist(bomb).size(), 140u);
    EXPECT_NE(failure(binaryPlist(bomb)).find("too many"), std::string::npos);
    // Plain sharing stays legal: one string used by a thousand array slots.
    Bytes slots = {0xAF, 0x11, 0x03, 0xE8};
    slots.insert(slots.end(), 1000, 1);
    const Parsed many = parse(binaryPlist({slots, {0x51, 'x'}}, 0, 1, 2));
    ASSERT_FALSE(many.error) << many.error->localizedDescription();
    EXPECT_EQ(many.value.array()->count(), 1000u);

    // A shared subtree reached at two depths: legal while the deeper use stays within the limit.
    std::vector<Bytes> shared = {{0xA2, 1, 2}, {0xA1, 2}, {0xA1, 3}, {0x50}};
    EXPECT_FALSE(parse(binaryPlist(shared)).error);
}

// A 1.05 MB list whose array names one 1 MB string 3,000 times: read shared, refused for
// writing in full (3 GB of text), all in bounded memory.
TEST(PropertyListBinary, SharedStringChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside SharedObjectsAreNotWrittenOutThousandsOfTimes";
    Bytes slots = {0xAF, 0x11, 0x0B, 0xB8};
    slots.insert(slots.end(), 3000, 1);
    Bytes text = {0x5F, 0x12, 0x00, 0x0F, 0x42, 0x40};  // 1,000,000 ASCII bytes
    text.insert(text.end(), 1'000'000, 'a');
    const Parsed read = parse(binaryPlist({slots, text}, 0, 1, 4));
    ASSERT_FALSE(read.error) << read.error->localizedDescription();
    ASSERT_EQ(read.value.array()->count(), 3000u);
    Ref<plat::Error> error;
    EXPECT_FALSE(PropertyList::dataWithPropertyList(read.value, PropertyListFormat::XML, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription().find("shares objects"), std::string::npos);
    EXPECT_FALSE(PropertyList::isValidPropertyList(read.value));

    // Sharing in moderation still writes: the same string in ten slots, a small one in many.
    auto few = plat::MutableArray::make();
    for (int i = 0; i < 10; ++i)
        few->addObject(read.value.array()->objectAtIndex(0));
    const Value key("a key that many entries share");
    for (int i = 0; i < 5000; ++i)
        few->addObject(dict({{key, Value(int64_t{i})}}));
    const auto written = PropertyList::dataWithPropertyList(Value(few), PropertyListFormat::XML);
    ASSERT_TRUE(written);
    EXPECT_EQ(parse(*written).value, Value(few));
}

TEST(PropertyListMemory, SharedObjectsAreNotWrittenOutThousandsOfTimes) {
    const auto run = testing_support::runTestInChild("PropertyListBinary.SharedStringChild", 60);
    EXPECT_TRUE(run.passed) << "exit " << run.exitStatus << (run.timedOut ? ", timed out" : "");
    EXPECT_LT(run.peakResidentKb, 200 * 1024 + testing_support::kSanitizerAllowanceKb);
}

// ---- Old-style text -----------------------------------------------------------------------------

TEST(PropertyListOpenStep, ReadsDictionariesArraysDataAndStrings) {
    Parsed p = parse(
        "// leading comment\n"
        "{\n"
        "  name = \"Quoted \\\"text\\\"\\n\\t\\101\\U0E01\";\n"
        "  plain = some_word.with-path/and:colon$;\n"
        "  'single' = 'it\\'s';\n"
        "  list = (one, \"two\", (nested), );\n"
        "  empty = ();\n"
        "  blob = <0001 02ff>;\n"
        "  /* block\n comment */ dict = { inner = 1 };\n"
        "  number = 42\n"
        "}\n");
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    EXPECT_EQ(p.format, PropertyListFormat::OpenStep);
    auto d = p.value.dictionary();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->objectForKey("name"), Value("Quoted \"text\"\n\tA\u0E01"));
    EXPECT_EQ(d->objectForKey("plain"), Value("some_word.with-path/and:colon$"));
    EXPECT_EQ(d->objectForKey("single"), Value("it's"));
    EXPECT_EQ(d->objectForKey("list"),
              array({Value("one"), Value("two"), array({Value("nested")})}));
    EXPECT_EQ(d->objectForKey("empty"), array({}));
    EXPECT_EQ(*d->objectForKey("blob").bytes(), (Bytes{0, 1, 2, 255}));
    EXPECT_EQ(d->objectForKey("dict"), dict({{Value("inner"), Value("1")}}));
    EXPECT_EQ(d->objectForKey("number"), Value("42"));  // every scalar is a string here
}

TEST(PropertyListOpenStep, StringsFileAndBareValues) {
    Parsed p = parse("greeting = hello;\n\"farewell\" = \"good bye\";\n");
    ASSERT_FALSE(p.error) << p.error->localizedDescription();
    EXPECT_EQ(p.value,
              dict({{Value("greeting"), Value("hello")}, {Value("farewell"), Value("good bye")}}));
    EXPECT_EQ(parse("<>").value, Value(Bytes{}));
    EXPECT_EQ(parse("(a)").value, array({Value("a")}));
    EXPECT_EQ(parse("  word  ").value, Value("word"));
}

TEST(PropertyListOpenStep, MalformedTextGivesErrors) {
    EXPECT_NE(failure("{\n a = b;\n c = ;\n}").find("line 3"), std::string::npos);
    failure("");
    failure("   // only a comment\n");
    failure("{ a = b ");          // unterminated dictionary
    failure("{ a b; }");          // missing '='
    failure("{ a = b c = d; }");  // missing ';'
    failure("(a b)");             // missing ','
    failure("(a,");               // unterminated array
    failure("<0g>");              // not hex
    failure("<abc>");             // odd digit count
    failure("\"open");            // unterminated string
    failure("\"\\UD800\"");       // lone surrogate escape
    failure("\"\\0\"");           // NUL escape
    failure("{ (a) = b; }");      // non-string key
    failure("a b");               // junk after the value
    failure("/* open comment");
    failure("@");
    std::string deep(1000, '(');
    EXPECT_NE(failure(deep).find("too deep"), std::string::npos);
}

// ---- Robustness ---------------------------------------------------------------------------------

// Mutated documents of every format must parse or fail cleanly: no crash, no hang, and exactly
// one of value and error. Run under the sanitizers this also checks memory safety.
TEST(PropertyListRobustness, DeterministicMutationsNeverCrash) {
    const auto xml = PropertyList::dataWithPropertyList(sampleValue());
    ASSERT_TRUE(xml);
    std::vector<Bytes> seeds = {
        *xml,
        binaryPlist({{0xD3, 1, 2, 3, 4, 5, 6},
                     {0x51, 'a'},
                     {0x51, 'b'},
                     {0x51, 'c'},
                     {0xA2, 7, 8},
                     {0x23, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18},
                     {0x63, 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00},
                     {0x13, 0, 0, 0, 0, 0, 0, 0, 5},
                     {0x44, 1, 2, 3, 4}}),
        plistBytesOf("{ a = (b, \"c\\n\", <00ff>); d = { e = f; }; }"),
    };
    std::mt19937 rng(20240601);
    int parsed = 0;
    for (const Bytes& seed : seeds) {
        for (int round = 0; round < 4000; ++round) {
            Bytes b = seed;
            const int edits = 1 + static_cast<int>(rng() % 4);
            for (int e = 0; e < edits && !b.empty(); ++e) {
                const size_t at = rng() % b.size();
                switch (rng() % 5) {
                    case 0:
                        b[at] = static_cast<uint8_t>(rng());
                        break;
                    case 1:
                        b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
                        break;
                    case 2:
                        b.erase(b.begin() + static_cast<ptrdiff_t>(at));
                        break;
                    case 3:
                        b.insert(b.begin() + static_cast<ptrdiff_t>(at),
                                 static_cast<uint8_t>(rng()));
                        break;
                    case 4:
                        b.resize(at);
                        break;
                }
            }
            Ref<plat::Error> error;
            Value v = PropertyList::propertyListWithData(b, nullptr, &error);
            EXPECT_NE(v.isNil(), error == nullptr);
            parsed += !v.isNil();
        }
    }
    EXPECT_GT(parsed, 0);  // the mutations are not all fatal, so the parsers were exercised deeply
}
