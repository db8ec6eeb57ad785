#include <gtest/gtest.h>

#include "RecordTestClasses.h"
#include "platform/core/KeyValueCoding.h"
#include "platform/core/Property.h"
#include "vnlib/dev/json/JSONDecoder.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/dev/util/VndObjectProxyDictionary.h"
#include "vnlib/info/VnInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"

using plat::Value;

namespace {

Ref<VnTestRecord> load(std::string_view json) {
    auto record = std::make_shared<VnTestRecord>();
    record->initWithJSONString(json);
    return record;
}

Ref<plat::Dictionary> viewOf(const Ref<VnInfoBase>& record) {
    return record->proxyForJson().dictionary();
}

}  // namespace

TEST(VnInfoBase, LoadsByCapitalisedKeysWithTypeRules) {
    auto r = load(R"({"Code":"B1","Name":"หนังสือ","PageCount":"12","IsFree":1,"Price":9.5,
        "FileSize":123456789012,"Published":"15/01/2024 10:20:30",
        "Children":[{"Code":"c1","Count":2},7,{"Code":"c2"}],"Numbers":[1,2],"Tags":["x","y"],
        "Options":[{"Key":"a","Value":1},{"Key":"b","Value":2},{"Key":"a"},{"Value":9}],
        "Main":{"Count":5},"Hash":"ABCDEF","Id":"shelf-1","EBook":"yes"})");
    EXPECT_EQ(r->code(), "B1");
    EXPECT_EQ(r->name_, "หนังสือ");
    EXPECT_EQ(r->pageCount_, 12);
    EXPECT_TRUE(r->isFree_);
    EXPECT_DOUBLE_EQ(r->price_, 9.5);
    EXPECT_EQ(r->fileSize_, 123456789012);
    ASSERT_TRUE(r->published_);
    EXPECT_DOUBLE_EQ(r->published_->seconds, 1705314030);
    ASSERT_EQ(r->children_->count(), 2u);  // the element that is not an object is left out
    EXPECT_EQ(r->children_->objectAtIndex(1).as<VnTestChild>()->code(), "c2");
    EXPECT_EQ(r->children_->objectAtIndex(0).as<VnTestChild>()->count_, 2);
    EXPECT_EQ(r->numbers_->count(), 0u);  // no element class: the generic rule empties it
    EXPECT_EQ(r->tags_->count(), 2u);     // custom write keeps the plain list
    EXPECT_EQ(r->options_->count(), 1u);  // "a" removed again, the item without a key skipped
    EXPECT_EQ((*r->options_)["b"], Value(int32_t{2}));
    EXPECT_EQ(r->main_->count_, 5);
    EXPECT_EQ(r->hashString(), "abcdef");
    EXPECT_EQ(r->Id_, "shelf-1");
    EXPECT_EQ(r->eBook_, "yes");
}

TEST(VnInfoBase, NullsByTypeAndMissingKeysLeaveValues) {
    auto r = std::make_shared<VnTestRecord>();
    r->name_ = "keep";
    r->pageCount_ = 4;
    r->price_ = 2;
    r->fileSize_ = 9;
    r->isFree_ = true;
    r->published_ = plat::Date{5};
    r->initWithJSONString(R"({"PageCount":null,"IsFree":null,"Price":null,"FileSize":null,
        "Children":null,"Main":null,"Published":null,"Options":null})");
    EXPECT_EQ(r->name_, "keep");
    EXPECT_EQ(r->pageCount_, 0);
    EXPECT_FALSE(r->isFree_);
    EXPECT_EQ(r->price_, 0);
    EXPECT_EQ(r->fileSize_, 0);
    ASSERT_TRUE(r->children_);
    EXPECT_EQ(r->children_->count(), 0u);
    ASSERT_TRUE(r->main_);  // a default nested record
    EXPECT_EQ(r->main_->count_, 0);
    EXPECT_FALSE(r->published_);
    EXPECT_FALSE(r->options_);
}

TEST(VnInfoBase, BadValuesNeverCrashAndLeaveThePropertyAlone) {
    auto r = std::make_shared<VnTestRecord>();
    r->pageCount_ = 3;
    r->initWithJSONString(R"({"PageCount":{"x":1},"Children":"text","Main":"text",
        "Published":42,"Name":[1],"Code":null})");
    EXPECT_EQ(r->pageCount_, 3);
    EXPECT_EQ(r->children_->count(), 0u);
    EXPECT_FALSE(r->main_);
    EXPECT_FALSE(r->published_);
    EXPECT_FALSE(r->code());
    auto numeric = load(R"({"Code":12})");
    EXPECT_EQ(numeric->code(), "12");
    EXPECT_FALSE(load(R"({"code":"lower"})")->code());
    EXPECT_FALSE(load("not json")->code());
    EXPECT_FALSE(load("[1,2]")->persistentDictionary()->count());
}

TEST(VnInfoBase, DictionaryViewWritesCurrentValuesAndKeepsUnmappedKeys) {
    auto a = load(R"({"Code":"A","Hash":"FF","Extra":"x","Published":"29/02/2024 00:00:00"})");
    auto b = load(R"({"Code":"B","Other":[1]})");
    a->pageCount_ = 7;
    a->secret_ = "hidden";
    auto va = viewOf(a), vb = viewOf(b);
    EXPECT_EQ(a->proxyForJson().dictionary(), va);  // one view per record
    EXPECT_EQ((*va)["Extra"], Value("x"));
    EXPECT_TRUE((*va)["Other"].isNull());
    EXPECT_EQ((*vb)["Other"].array()->count(), 1u);
    EXPECT_EQ((*va)["PageCount"], Value(int32_t{7}));
    EXPECT_EQ((*va)["Hash"], Value("ff"));
    EXPECT_EQ((*va)["Published"], Value("29/02/2024 00:00:00"));
    EXPECT_EQ((*va)["Code"], Value("A"));
    EXPECT_TRUE((*va)["Name"].isNull());
    // BOOL properties are written as numbers, not as JSON booleans.
    EXPECT_FALSE((*va)["IsFree"].isBool());
    EXPECT_TRUE((*va)["IsFree"].isNumber());
    auto keys = va->allKeys();
    EXPECT_EQ(std::count(keys.begin(), keys.end(), Value("Secret")), 0);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), Value("Extra")), 1);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), Value("Other")), 0);
    EXPECT_EQ((*va)["Secret"], Value("hidden"));  // excluded, but answered when asked
}

// The record does not keep its view alive: a view made again once the last holder let go writes
// the same text, and follows later changes like the first.
TEST(VnInfoBase, AViewLivesWithItsHoldersAndIsMadeAgainAlike) {
    auto a = load(R"({"Code":"A","Extra":"x","Children":[{"Code":"c1","Odd":1}],"PageCount":3})");
    WeakRef<plat::Dictionary> first;
    Ref<plat::Error> error;
    std::optional<std::string> before;
    {
        auto view = viewOf(a);
        first = view;
        before = JSONStringWithOptions(view, 0, &error);
        EXPECT_EQ(viewOf(a), view);
    }
    EXPECT_TRUE(first.expired()) << "the record keeps its view alive";
    auto again = viewOf(a);
    ASSERT_TRUE(before);
    EXPECT_NE(before->find(R"("Odd":1)"), std::string::npos) << *before;
    EXPECT_EQ(JSONStringWithOptions(again, 0, &error), before);
    a->pageCount_ = 9;
    EXPECT_EQ((*again)["PageCount"], Value(int32_t{9}));
}

TEST(VnInfoBase, CapitalisedAndMixedCasePropertiesAreWrittenFromTheirValues) {
    auto r = std::make_shared<VnTestRecord>();
    r->Id_ = "made-in-code";
    r->eBook_ = "e";
    auto v = viewOf(r);
    EXPECT_EQ((*v)["Id"], Value("made-in-code"));
    EXPECT_EQ((*v)["EBook"], Value("e"));
}

TEST(VnInfoBase, NestedRecordsAndArraysOfRecordsInTheView) {
    auto r = load(R"({"Children":[{"Code":"c1","Extra":1}],"Main":{"Count":5,"Unmapped":2},
                      "Tags":["t"]})");
    auto v = viewOf(r);
    auto children = (*v)["Children"].array();
    ASSERT_EQ(children->count(), 1u);
    auto child = children->objectAtIndex(0).dictionary();
    EXPECT_EQ((*child)["Code"], Value("c1"));
    EXPECT_EQ((*child)["Extra"], Value(int32_t{1}));  // through the element's own view
    auto main = (*v)["Main"].dictionary();
    EXPECT_EQ((*main)["Count"], Value(int32_t{5}));
    EXPECT_TRUE((*main)["Unmapped"].isNil() || (*main)["Unmapped"].isNull());
    EXPECT_EQ((*v)["Tags"].array()->objectAtIndex(0), Value("t"));
}

TEST(VnInfoBase, ArrayFromDictionaryArrayAndRevisions) {
    auto list = objectFromJSONString(R"([{"Code":"1"},"skip",{"Code":"2"}])").array();
    auto records = VnInfoBase::arrayFromDictionaryArray(VnTestChild::classObject(), *list);
    ASSERT_EQ(records->count(), 2u);
    EXPECT_EQ(records->objectAtIndex(1).as<VnTestChild>()->code(), "2");

    VnRevisionedInfo three, five, one;
    three.setRevision(3);
    five.setRevision(5);
    one.setRevision(1);
    EXPECT_EQ(three.compareRevision(five), 1);
    EXPECT_EQ(three.compareRevision(one), -1);
    EXPECT_EQ(three.compareRevision(three), 0);
}

TEST(VnInfoBase, ServerDatesAreExactGregorianUtc) {
    auto at = [](const char* text) { return VnInfoBase::dateFromShortStyleString(text); };
    EXPECT_DOUBLE_EQ(at("15/01/2024 10:20:30")->seconds, 1705314030);
    EXPECT_DOUBLE_EQ(at("29/02/2024 00:00:00")->seconds, 1709164800);
    EXPECT_DOUBLE_EQ(at("01/03/2100 00:00:00")->seconds, 4107542400);
    EXPECT_FALSE(at("29/02/2100 00:00:00"));
    EXPECT_FALSE(at("15/01/2024"));
    EXPECT_FALSE(at("15/01/2024 10:20:30 extra"));
    EXPECT_FALSE(at("aa/01/2024 10:20:30"));
    EXPECT_EQ(VnInfoBase::sharedWriteFormatter()->stringFromDate(plat::Date{1705314030}),
              "15/01/2024 10:20:30");
}

TEST(NameSortingToken, LatinFirstNinesOthersZero) {
    EXPECT_EQ(nameSortingToken("Apple"), "9Apple");
    EXPECT_EQ(nameSortingToken("éclair"), "9éclair");
    EXPECT_EQ(nameSortingToken("กขค"), "0กขค");
    EXPECT_EQ(nameSortingToken("7 wonders"), "07 wonders");
    EXPECT_EQ(nameSortingToken(""), "");
}

TEST(VnInfoBase, RoundTripsThroughBothCodecs) {
    auto original = load(R"({"Code":"B9","Name":"นิตยสาร","PageCount":12,"IsFree":1,
        "Published":"15/01/2024 10:20:30","Children":[{"Code":"c1","Count":2}],
        "Options":[{"Key":"a","Value":1}],"Main":{"Count":5},"Hash":"ABC","Extra":"kept"})");
    original->pageCount_ = 13;
    // Fast writer, stream reader.
    auto fastText = JSONString(original->proxyForJson().dictionary());
    ASSERT_TRUE(fastText);
    auto viaStream = std::make_shared<VnTestRecord>();
    viaStream->initWithDictionary(KxJsonParser().objectWithString(*fastText).dictionary());
    // Stream writer, fast reader.
    auto streamText = KxJsonWriter().stringWithObject(original->proxyForJson());
    ASSERT_TRUE(streamText);
    auto viaFast = load(*streamText);
    for (const auto& copy : {viaStream, viaFast}) {
        EXPECT_EQ(copy->code(), "B9");
        EXPECT_EQ(copy->name_, "นิตยสาร");
        EXPECT_EQ(copy->pageCount_, 13);
        EXPECT_TRUE(copy->isFree_);
        EXPECT_DOUBLE_EQ(copy->published_->seconds, 1705314030);
        ASSERT_EQ(copy->children_->count(), 1u);
        EXPECT_EQ(copy->children_->objectAtIndex(0).as<VnTestChild>()->count_, 2);
        EXPECT_EQ(copy->main_->count_, 5);
        EXPECT_EQ(copy->hashString(), "abc");
        EXPECT_EQ((*copy->persistentDictionary())["Extra"], Value("kept"));
    }
}

// What a record keeps of its reply reads back as the reply, value for value and with each
// number's type, under mapped and unmapped keys alike, texts met twice and the keys of nested
// objects included; values of the wrong kind are kept as they came and written where the
// property has none; the records of a class share their unmapped keys.
TEST(VnInfoBase, TheKeptCopyReadsBackEveryKindOfValue) {
    const std::string json = R"({"Code":-9223372036854775808,"Name":[1,{"a":null,"b":[true,false]}],
        "PageCount":18446744073709551615,"IsFree":true,"Price":-0.5,"FileSize":1.5e300,
        "Published":"","Children":[{"Code":"c1","Count":-1},{"Count":"ÄÖ ✓ 𝄞","Code":"c1"}],
        "Main":null,"Hash":"ÄÖ ✓ 𝄞","Id":"abc","EBook":"abc","Tags":["ÄÖ ✓ 𝄞",{"abc":"abc"}],
        "UnmappedNumbers":[0,-1,127,128,16383,16384,-64,-65,4294967296,2.25],
        "UnmappedObject":{"k":{"":""}},"UnmappedNull":null,"Secret":"x"})";
    auto record = load(json);
    auto other = load(json);
    auto fresh = objectFromJSONString(json).dictionary();
    ASSERT_TRUE(fresh);
    const auto kept = record->persistentDictionary();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->count(), fresh->count());
    EXPECT_EQ(kept->allKeys(), fresh->allKeys());
    EXPECT_EQ(kept->allValues(), fresh->allValues());
    // The second record of the class repeats the first's texts: it reads back alike.
    EXPECT_EQ(other->persistentDictionary()->allValues(), fresh->allValues());
    EXPECT_EQ(load(R"({"Id":"changed","EBook":"abc"})")->persistentDictionary()->allValues(),
              objectFromJSONString(R"({"Id":"changed","EBook":"abc"})").dictionary()->allValues());
    // Numbers keep their type code, deep inside lists too.
    std::function<void(const Value&, const Value&)> sameTypes = [&](const Value& a,
                                                                    const Value& b) {
        if (a.number() && b.number()) {
            EXPECT_EQ(a.number()->type(), b.number()->type()) << b.description();
        } else if (a.array() && b.array() && a.array()->count() == b.array()->count()) {
            for (size_t i = 0; i < a.array()->count(); ++i)
                sameTypes(a.array()->objectAtIndex(i), b.array()->objectAtIndex(i));
        }
    };
    fresh->enumerateKeysAndObjects([&](const Value& key, const Value& value) {
        sameTypes((*kept)[*key.string()], value);
        return true;
    });
    EXPECT_TRUE((*kept)["UnmappedNull"].isNull());
    EXPECT_TRUE((*kept)["Missing"].isNil());
    // The name was refused: the view writes it as loaded.
    EXPECT_FALSE(record->name_);
    EXPECT_EQ((*viewOf(record))["Name"], (*fresh)["Name"]);
    // One key for all the records of the class.
    auto keyOf = [](const Ref<plat::Dictionary>& d, const char* name) {
        Value found;
        d->enumerateKeysAndObjects([&](const Value& k, const Value&) {
            if (k == Value(name))
                found = k;
            return found.isNil();
        });
        return found;
    };
    EXPECT_TRUE(keyOf(kept, "UnmappedNumbers")
                    .identical(keyOf(other->persistentDictionary(), "UnmappedNumbers")));
    // Short lists of numbers are shared by equal content, types included.
    auto formats = [](const char* json) {
        return load(json)->persistentDictionary()->objectForKey("Formats");
    };
    const Value ints = formats(R"({"Formats":[0,1]})");
    EXPECT_TRUE(ints.identical(formats(R"({"Formats":[0,1]})")));
    const Value doubles = formats(R"({"Formats":[0.0,1]})");
    EXPECT_FALSE(ints.identical(doubles));
    EXPECT_EQ(doubles.array()->objectAtIndex(0).number()->type(),
              objectFromJSONString("[0.0]").array()->objectAtIndex(0).number()->type());
    EXPECT_FALSE(ints.identical(formats(R"({"Formats":[0,1,"x"]})")));
}

namespace {

class VnTestTitled : public VnInfo {
    PLAT_CLASS(VnTestTitled)
  public:
    std::string title_;
};

}  // namespace

PLAT_DEFINE_CLASS(VnTestTitled, VnInfo, [](auto& c) { c.property("title", &VnTestTitled::title_); })

// Text properties take text straight into the member; every kind of value gives what the
// general conversion gives, and a value of the wrong kind is refused, changing nothing.
TEST(VnInfoBase, TextSettersAgreeWithTheGeneralConversion) {
    const auto reply = objectFromJSONString(R"({"Text":"ÄÖ ✓ long enough to leave the buffer"})");
    const std::vector<Value> values = {Value("abc"),
                                       Value(""),
                                       (*reply.dictionary())["Text"],  // a text of a reply
                                       Value(int32_t{12}),
                                       Value(2.5),
                                       Value::boolean(true),
                                       Value::null(),
                                       Value(),
                                       Value(plat::Array::make({Value("x")})),
                                       Value(plat::Date{5})};
    const auto& record = VnTestRecord::classObject();
    const auto& titled = VnTestTitled::classObject();
    for (const Value& value : values) {
        SCOPED_TRACE(value.description());
        using Optional = plat::detail::PropertyCoding<std::optional<std::string>>;
        using Plain = plat::detail::PropertyCoding<std::string>;
        const auto optional = Optional::unbox(value);
        const auto plain = Plain::unbox(value);

        auto r = std::make_shared<VnTestRecord>();
        r->name_ = "before";
        r->setCode("before");
        EXPECT_EQ(record.findProperty("name")->setter(*r, value), optional.has_value());
        EXPECT_EQ(record.findProperty("code")->setter(*r, value), optional.has_value());
        EXPECT_EQ(r->name_, optional ? *optional : std::optional<std::string>("before"));
        EXPECT_EQ(r->code(), optional ? *optional : std::optional<std::string>("before"));

        auto t = std::make_shared<VnTestTitled>();
        t->title_ = "before";
        EXPECT_EQ(titled.findProperty("title")->setter(*t, value), plain.has_value());
        EXPECT_EQ(t->title_, plain ? *plain : std::string("before"));
    }
}

// Records loaded in turn from replies whose texts, nested keys and unmapped entries differ at
// the same places: each kept copy still reads back as its own reply, numbers' types included.
TEST(VnInfoBase, KeptCopiesOfRecordsLoadedInTurnReadBackAsTheirReplies) {
    const std::vector<std::string> replies = {
        R"({"Code":"same text","Id":"first text","Main":{"Count":1,"Aa":"x"},"U1":[0,1],
            "U2":"u","Children":[{"Code":"c","Zz":[1]}]})",
        R"({"Code":"same text","Id":"other text","Main":{"Bb":"y","Count":2},"U1":[0.0,1],
            "U3":"v","Children":[{"Yy":2,"Code":"d"}]})",
        R"({"Code":"same text","Id":"first text","Main":{"Count":1,"Aa":"x"},"U2":[0,1],
            "U1":"w","Children":[{"Code":"c","Zz":[1.5]}]})",
        R"({"Id":"same text","Code":"first text","U1":[0,2],"Main":{"Aa":3,"Count":"z"}})"};
    std::function<void(const Value&, const Value&)> same = [&](const Value& a, const Value& b) {
        EXPECT_EQ(a, b);
        if (a.number() && b.number()) {
            EXPECT_EQ(a.number()->type(), b.number()->type()) << b.description();
        }
        if (a.array() && b.array() && a.array()->count() == b.array()->count()) {
            for (size_t i = 0; i < a.array()->count(); ++i)
                same(a.array()->objectAtIndex(i), b.array()->objectAtIndex(i));
        }
    };
    for (int round = 0; round < 3; ++round) {
        for (const auto& json : replies) {
            SCOPED_TRACE(json);
            const auto kept = load(json)->persistentDictionary();
            const auto fresh = objectFromJSONString(json).dictionary();
            ASSERT_TRUE(kept && fresh);
            EXPECT_EQ(kept->allKeys(), fresh->allKeys());
            fresh->enumerateKeysAndObjects([&](const Value& key, const Value& value) {
                same(kept->objectForKey(key), value);
                return true;
            });
        }
    }
}

// Records of classes with different code keys, loaded in turn, each read their own.
TEST(VnInfo, ClassesLoadedInTurnReadTheirOwnCodeKeys) {
    for (int round = 0; round < 2; ++round) {
        auto meta = std::make_shared<VnMagazineIssueMetaInfo>();
        meta->initWithJSONString(R"({"MagazineIssueCode":"M1","Code":"other"})");
        EXPECT_EQ(meta->code(), "M1");
        auto child = std::make_shared<VnTestChild>();
        child->initWithJSONString(R"({"MagazineIssueCode":"M1","Code":"C1"})");
        EXPECT_EQ(child->code(), "C1");
    }
}

// A record far larger than any before it on the thread: its copy grows as it is packed (texts
// met twice across the growth included) and still reads back as its reply, and so does the next
// small one.
TEST(VnInfoBase, AHugeRecordsKeptCopyReadsBackAsItsReply) {
    std::string json = R"({"Code":"huge","Name":")" + std::string(100000, 'n') + R"(","Tags":[)";
    for (int i = 0; i < 2000; ++i)
        json += (i ? ",\"" : "\"") + std::string("repeated text ") + std::to_string(i % 50) + "\"";
    json += R"(],"Id":"repeated text 7","Extra":")" + std::string(70000, 'x') + R"("})";
    for (const std::string& text : {json, std::string(R"({"Code":"small","Id":"abcd"})")}) {
        const auto kept = load(text)->persistentDictionary();
        const auto fresh = objectFromJSONString(text).dictionary();
        ASSERT_TRUE(kept && fresh);
        EXPECT_EQ(kept->allKeys(), fresh->allKeys());
        EXPECT_EQ(kept->allValues(), fresh->allValues());
    }
}

namespace {

// A record loaded from the JSON text as a reply read keeping its text gives it.
Ref<VnTestRecord> loadKept(const std::string& json, JKParseOptionFlags options = 0) {
    auto decoder = JSONDecoder::decoderWithParseOptions(options);
    auto record = std::make_shared<VnTestRecord>();
    record->initWithDictionary(
        decoder->objectKeepingText(plat::Bytes(json.begin(), json.end())).dictionary());
    return record;
}

// The same entries in the same order, numbers of the same types, deep inside containers too.
void expectSameEntries(const plat::Dictionary& kept, const plat::Dictionary& fresh) {
    std::function<void(const Value&, const Value&)> same = [&](const Value& a, const Value& b) {
        ASSERT_EQ(a.kind(), b.kind()) << b.description();
        EXPECT_EQ(a, b);
        if (a.number()) {
            EXPECT_EQ(a.number()->type(), b.number()->type()) << b.description();
        }
        if (a.array()) {
            for (size_t i = 0; i < a.array()->count(); ++i)
                same(a.array()->objectAtIndex(i), b.array()->objectAtIndex(i));
        } else if (a.dictionary()) {
            expectSameEntries(*a.dictionary(), *b.dictionary());
        }
    };
    ASSERT_EQ(kept.allKeys(), fresh.allKeys());
    fresh.enumerateKeysAndObjects([&](const Value& key, const Value& value) {
        same(kept.objectForKey(key), value);
        return true;
    });
    const auto values = kept.allValues();
    const auto freshValues = fresh.allValues();
    for (size_t i = 0; i < values.size() && i < freshValues.size(); ++i)
        same(values[i], freshValues[i]);
}

}  // namespace

// Records loaded from a reply whose text was kept keep their values' texts under keys shared by
// the records of one shape; each reads back as its reply, every kind of value, escapes, spacing
// and a repeated key included, shapes changing from record to record, nested records too. A text
// read with comments is kept the other way, alike.
TEST(VnInfoBase, ACopyKeptAsReceivedTextReadsBackAsItsReply) {
    const std::vector<std::string> replies = {
        R"({"Code":-9223372036854775808,"Name":[1,{"a":null,"b":[true,false]}],
            "PageCount":18446744073709551615 , "IsFree":true,"Price":-0.5,"FileSize":1.5e300,
            "Published":"","Children":[{"Code":"c1","Count":-1},{"Count":"ÄÖ ✓ 𝄞","Code":"c1"}],
            "Main":null,"Hash":"ÄÖ \u2713 \ud834\udd1e \"q\" \\ \/","Id":"abc","EBook":"abc",
            "Tags":["ÄÖ ✓ 𝄞",{"abc":"abc"}],"UnmappedNumbers":[0,-1,127,128,4294967296,2.25],
            "UnmappedObject":{"k":{"":"", "}":"{"}},"UnmappedNull":null,"Secret":"x"})",
        R"({ "Code" : "c2" , "Main" : { "Count" : 2 } })",
        R"({"Code":"c3","Main":{"Count":3}})",
        "{}",
        R"({"Id":"x","Code":"c4","Children":[]})",
        R"({"Code":"a","Id":"1","Price":2,"Id":"2"})"};
    for (int round = 0; round < 2; ++round) {
        for (const auto& json : replies) {
            SCOPED_TRACE(json);
            auto record = loadKept(json);
            const auto kept = record->persistentDictionary();
            ASSERT_TRUE(kept);
            EXPECT_EQ(kept->className(), "VndReceivedDictionary");
            expectSameEntries(*kept, *objectFromJSONString(json).dictionary());
            // The view writes what a record loaded from the plain text writes.
            EXPECT_EQ(JSONStringWithOptions(viewOf(record), 0, nullptr),
                      JSONStringWithOptions(viewOf(load(json)), 0, nullptr));
        }
    }
    // Nested records keep their own texts.
    auto nested = loadKept(replies[0]);
    ASSERT_EQ(nested->children_->count(), 2U);
    auto child = nested->children_->objectAtIndex(1).as<VnTestChild>();
    EXPECT_EQ(child->persistentDictionary()->className(), "VndReceivedDictionary");
    expectSameEntries(*child->persistentDictionary(),
                      *objectFromJSONString(R"({"Count":"ÄÖ ✓ 𝄞","Code":"c1"})").dictionary());

    // Values of more than 64 KiB in all.
    const std::string huge = R"({"Code":"huge","Name":")" + std::string(70000, 'n') +
                             R"(","Id":"after","Numbers":[1,2.5]})";
    auto large = loadKept(huge);
    EXPECT_EQ(large->persistentDictionary()->className(), "VndReceivedDictionary");
    expectSameEntries(*large->persistentDictionary(), *objectFromJSONString(huge).dictionary());

    // Kept the other way, with the same entries.
    for (const auto& [json, options] :
         {std::pair<std::string, JKParseOptionFlags>{"{\"Code\":\"a\", /* note */ \"Id\":\"1\"}",
                                                     JKParseAllowComments},
          {"{\"Code\":\"a\",\"Id\":[1, // note\n2]}", JKParseAllowComments}}) {
        SCOPED_TRACE(json);
        auto record = loadKept(json, options);
        EXPECT_NE(record->persistentDictionary()->className(), "VndReceivedDictionary");
        expectSameEntries(*record->persistentDictionary(),
                          *objectFromJSONStringWithParseOptions(json, options).dictionary());
    }
}

// The records of one reply are loaded in turn, as a list's are: records with the same keys in the
// same order, with the same keys in another order, with other keys at the same places, and nested
// records among them, each load and keep their own values; so do those of the next reply, and of
// a reply read again after the first has gone.
TEST(VnInfoBase, RecordsOfOneReplyLoadedInTurnEachReadTheirOwnKeys) {
    const std::vector<std::string> records = {
        R"({"Code":"a1","Id":"i1","Name":"n1","Main":{"Count":1,"Code":"m1"}})",
        R"({"Code":"a2","Id":"i2","Name":"n2","Main":{"Count":2,"Code":"m2"}})",
        R"({"Id":"i3","Code":"a3","Name":"n3","Main":{"Code":"m3","Count":3}})",
        R"({"Name":"a4","Id":"i4","Code":"n4","Main":{"Code":"m4","Count":4}})",
        R"({"Code":"a5","Other":"i5","Name":"n5","Main":{"Count":5,"Extra":"m5"}})",
        R"({"Code":"a6","Id":"i6","Name":"n6","Main":{"Count":6,"Code":"m6"}})"};
    auto replyOf = [](const std::vector<std::string>& list) {
        std::string text = "[";
        for (const auto& record : list)
            text += (text.size() > 1 ? "," : "") + record;
        return text + "]";
    };
    const std::vector<std::string> reversed(records.rbegin(), records.rend());
    for (const auto* list : {&records, &reversed, &records, &records}) {
        const std::string reply = replyOf(*list);
        auto decoder = JSONDecoder::decoderWithParseOptions(0);
        const auto elements =
            decoder->objectKeepingText(plat::Bytes(reply.begin(), reply.end())).array();
        ASSERT_TRUE(elements);
        ASSERT_EQ(elements->count(), list->size());
        for (size_t i = 0; i < list->size(); ++i) {
            SCOPED_TRACE((*list)[i]);
            auto record = std::make_shared<VnTestRecord>();
            record->initWithDictionary(elements->objectAtIndex(i).dictionary());
            ASSERT_EQ(record->persistentDictionary()->className(), "VndReceivedDictionary");
            expectSameEntries(*record->persistentDictionary(),
                              *objectFromJSONString((*list)[i]).dictionary());
            EXPECT_EQ(JSONStringWithOptions(viewOf(record), 0, nullptr),
                      JSONStringWithOptions(viewOf(load((*list)[i])), 0, nullptr));
        }
    }
}
