#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "platform/core/Collections.h"
#include "platform/core/KeyValueCoding.h"
#include "platform/core/Property.h"

namespace {

class KvIssue : public plat::Object {
    PLAT_CLASS(KvIssue)
  public:
    std::string issueName;
    int32_t sortIndex = 0;
};

class KvOther : public plat::Object {
    PLAT_CLASS(KvOther)
};

class KvRecord : public plat::Object {
    PLAT_CLASS(KvRecord)
  public:
    const std::string& code() const { return code_; }
    void setCode(const std::string& code) { code_ = code; }
    std::string sortToken() const { return "9" + code_; }

    std::string code_;
    int32_t pageCount = 0;
    bool isAutoRenew = false;  // declared as BOOL ("c")
    bool finished = false;     // declared as bool ("B")
    char grade = 0;
    int64_t offset = 0;
    uint64_t fileSize = 0;
    float ratio = 0;
    double price = 0;
    plat::Date modifiedDate;
    std::optional<std::string> author;
    plat::Bytes receipt;
    plat::Value extra;
    Ref<plat::Array> prices;
    Ref<plat::Dictionary> options;
    Ref<KvIssue> latestIssue;
    WeakRef<plat::Object> delegate;
};

// Redeclares "code" with another text and adds one property of its own.
class KvSubRecord : public KvRecord {
    PLAT_CLASS(KvSubRecord)
  public:
    int32_t revision = 0;
    std::string ownCode;
};

class KvCovered : public plat::Object {
    PLAT_CLASS(KvCovered)
  public:
    std::string title;
    std::string description() const override { return "covered"; }
};

}  // namespace

PLAT_DEFINE_CLASS(KvIssue, plat::Object, [](auto& c) {
    c.property("issueName", &KvIssue::issueName).property("sortIndex", &KvIssue::sortIndex);
})
PLAT_DEFINE_CLASS(KvOther, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(KvRecord, plat::Object, [](auto& c) {
    c.property("code", "T@\"NSString\",C,N,Vcode_", &KvRecord::code, &KvRecord::setCode)
        .property("pageCount", "Ti,N,VpageCount_", &KvRecord::pageCount)
        .property("isAutoRenew", "Tc,N,V_isAutoRenew", &KvRecord::isAutoRenew)
        .property("finished", &KvRecord::finished)
        .property("grade", &KvRecord::grade)
        .property("offset", &KvRecord::offset)
        .property("fileSize", &KvRecord::fileSize)
        .property("ratio", &KvRecord::ratio)
        .property("price", &KvRecord::price)
        .property("modifiedDate", &KvRecord::modifiedDate)
        .property("author", &KvRecord::author)
        .property("receipt", &KvRecord::receipt)
        .property("extra", &KvRecord::extra)
        .property("prices", &KvRecord::prices)
        .property("options", &KvRecord::options)
        .property("latestIssue", &KvRecord::latestIssue)
        .property("delegate", &KvRecord::delegate)
        .property("sortToken", &KvRecord::sortToken)
        .property("fixedPages", "Ti,R,N,VfixedPages_", &KvRecord::pageCount);
})
PLAT_DEFINE_CLASS(KvSubRecord, KvRecord, [](auto& c) {
    c.property("revision", &KvSubRecord::revision)
        .property("code", "T@\"NSString\",&,N", &KvSubRecord::ownCode);
})
PLAT_DEFINE_CLASS(KvCovered, plat::Object, [](auto& c) {
    c.property("title", &KvCovered::title).objectProtocolProperties();
})

namespace {

using plat::Value;

std::vector<std::string> names(const plat::Class& cls) {
    std::vector<std::string> out;
    for (const auto& e : cls.declaredProperties())
        out.push_back(e->name);
    return out;
}

std::string attributesOf(const plat::Class& cls, std::string_view name) {
    auto entry = cls.findOwnProperty(name);
    return entry ? entry->attributes : "<none>";
}

Ref<plat::Array> array(std::vector<Value> values) {
    return plat::Array::make(std::move(values));
}

Ref<KvIssue> issue(std::string name, int32_t sortIndex) {
    auto i = std::make_shared<KvIssue>();
    i->issueName = std::move(name);
    i->sortIndex = sortIndex;
    return i;
}

std::string exceptionName(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const plat::Exception& e) {
        return e.name() + ": " + e.reason();
    }
    return "no exception";
}

}  // namespace

// ---- Tables
// --------------------------------------------------------------------------------------

TEST(PropertyTable, KeepsDeclarationOrderAndExactTexts) {
    const plat::Class& cls = KvRecord::classObject();
    EXPECT_EQ(names(cls),
              (std::vector<std::string>{"code", "pageCount", "isAutoRenew", "finished", "grade",
                                        "offset", "fileSize", "ratio", "price", "modifiedDate",
                                        "author", "receipt", "extra", "prices", "options",
                                        "latestIssue", "delegate", "sortToken", "fixedPages"}));
    EXPECT_EQ(attributesOf(cls, "code"), "T@\"NSString\",C,N,Vcode_");
    EXPECT_EQ(attributesOf(cls, "isAutoRenew"), "Tc,N,V_isAutoRenew");
    EXPECT_EQ(attributesOf(cls, "fixedPages"), "Ti,R,N,VfixedPages_");
    // Derived texts.
    EXPECT_EQ(attributesOf(cls, "finished"), "TB,N");
    EXPECT_EQ(attributesOf(cls, "grade"), "Tc,N");
    EXPECT_EQ(attributesOf(cls, "offset"), "Tq,N");
    EXPECT_EQ(attributesOf(cls, "fileSize"), "TQ,N");
    EXPECT_EQ(attributesOf(cls, "ratio"), "Tf,N");
    EXPECT_EQ(attributesOf(cls, "price"), "Td,N");
    EXPECT_EQ(attributesOf(cls, "modifiedDate"), "T@\"NSDate\",C,N");
    EXPECT_EQ(attributesOf(cls, "author"), "T@\"NSString\",C,N");
    EXPECT_EQ(attributesOf(cls, "receipt"), "T@\"NSData\",C,N");
    EXPECT_EQ(attributesOf(cls, "extra"), "T@,&,N");
    EXPECT_EQ(attributesOf(cls, "prices"), "T@\"NSArray\",C,N");
    EXPECT_EQ(attributesOf(cls, "options"), "T@\"NSDictionary\",C,N");
    EXPECT_EQ(attributesOf(cls, "latestIssue"), "T@\"KvIssue\",&,N");
    EXPECT_EQ(attributesOf(cls, "delegate"), "T@,W,N");
    EXPECT_EQ(attributesOf(cls, "sortToken"), "T@\"NSString\",R,C,N");
    EXPECT_EQ(attributesOf(KvIssue::classObject(), "sortIndex"), "Ti,N");

    auto latest = cls.findOwnProperty("latestIssue");
    EXPECT_EQ(latest->typeEncoding, "@\"KvIssue\"");
    EXPECT_EQ(latest->objectClassName, "KvIssue");
    EXPECT_EQ(latest->objectClass(), &KvIssue::classObject());
    EXPECT_EQ(cls.findOwnProperty("prices")->objectClassName, "NSArray");
    EXPECT_EQ(cls.findOwnProperty("extra")->objectClass(), nullptr);
    EXPECT_EQ(cls.findOwnProperty("pageCount")->scalarType(), 'i');
    EXPECT_EQ(cls.findOwnProperty("code")->scalarType(), 0);
    EXPECT_TRUE(cls.findOwnProperty("sortToken")->isReadOnly());
    EXPECT_TRUE(cls.findOwnProperty("fixedPages")->isReadOnly());
    EXPECT_FALSE(cls.findOwnProperty("pageCount")->isReadOnly());
}

TEST(PropertyTable, DeclaringAPropertyGivesItsAccessorMessages) {
    auto r = std::make_shared<KvRecord>();
    EXPECT_TRUE(r->respondsToSelector("code"));
    EXPECT_TRUE(r->respondsToSelector("setCode:"));
    EXPECT_TRUE(r->respondsToSelector("setPageCount:"));
    EXPECT_TRUE(r->respondsToSelector("sortToken"));
    EXPECT_FALSE(r->respondsToSelector("setSortToken:"));
    EXPECT_FALSE(r->respondsToSelector("setFixedPages:"));
    plat::send(r, "setCode:", "ab");
    plat::send(r, "setPageCount:", 7);
    plat::send(r, "setLatestIssue:", issue("x", 1));
    plat::send(r, "setDelegate:", r);
    EXPECT_EQ(plat::send<std::string>(r, "code"), "ab");
    EXPECT_EQ(plat::send<int32_t>(r, "pageCount"), 7);
    EXPECT_EQ(plat::send<std::string>(r, "sortToken"), "9ab");
    EXPECT_EQ(r->latestIssue->issueName, "x");
    EXPECT_EQ(r->delegate.lock(), r);
    EXPECT_EQ(r->getClass().findMethod("pageCount")->returnType, "i");
    EXPECT_THROW(plat::send(r, "setLatestIssue:", std::make_shared<KvOther>()), plat::Exception);
}

TEST(PropertyTable, RefusesTablesWhoseTextDoesNotSuitTheMember) {
    plat::Class scratch("KvScratch", &KvRecord::classObject(), {});
    using Registrar = plat::PropertyRegistrar<KvRecord>;
    EXPECT_THROW(Registrar::add(scratch, "a", "Ti,N", &KvRecord::code_), plat::Exception);
    EXPECT_THROW(Registrar::add(scratch, "b", "T@\"NSString\",N", &KvRecord::pageCount),
                 plat::Exception);
    EXPECT_THROW(Registrar::add(scratch, "c", "C,N", &KvRecord::code_), plat::Exception);
    EXPECT_THROW(Registrar::add(scratch, "d", "T@\"NSString\",C", &KvRecord::sortToken),
                 plat::Exception);  // writable but no setter
    EXPECT_THROW(
        Registrar::add(scratch, "e", "T@\"NSString\",R", &KvRecord::code, &KvRecord::setCode),
        plat::Exception);  // read-only with a setter
    EXPECT_TRUE(scratch.declaredProperties().empty());
}

TEST(PropertyTable, LooksPropertiesUpAlongTheSuperclassChain) {
    const plat::Class& sub = KvSubRecord::classObject();
    EXPECT_EQ(names(sub), (std::vector<std::string>{"revision", "code"}));
    EXPECT_EQ(sub.findProperty("code")->attributes, "T@\"NSString\",&,N");
    EXPECT_EQ(sub.findProperty("pageCount")->owner, &KvRecord::classObject());
    EXPECT_EQ(sub.findOwnProperty("pageCount"), nullptr);
    EXPECT_EQ(sub.findProperty("missing"), nullptr);

    auto s = std::make_shared<KvSubRecord>();
    plat::setValueForKey(*s, Value(3), "pageCount");
    plat::setValueForKey(*s, Value("own"), "code");
    EXPECT_EQ(s->pageCount, 3);
    EXPECT_EQ(s->ownCode, "own");
    EXPECT_EQ(s->code_, "");
}

TEST(PropertyTable, ObjectProtocolEntriesFollowTheClassesOwn) {
    const plat::Class& cls = KvCovered::classObject();
    EXPECT_EQ(names(cls), (std::vector<std::string>{"title", "hash", "superclass", "description",
                                                    "debugDescription"}));
    EXPECT_EQ(attributesOf(cls, "hash"), "TQ,R");
    EXPECT_EQ(attributesOf(cls, "superclass"), "T#,R");
    EXPECT_EQ(attributesOf(cls, "description"), "T@\"NSString\",R,C");
    EXPECT_EQ(attributesOf(cls, "debugDescription"), "T@\"NSString\",R,C");
    auto c = std::make_shared<KvCovered>();
    EXPECT_EQ(plat::valueForKey(*c, "description").stringOr(), "covered");
    EXPECT_EQ(plat::valueForKey(*c, "superclass").stringOr(), "NSObject");
    EXPECT_EQ(plat::valueForKey(*c, "hash").number()->type(), 'Q');
    EXPECT_THROW(plat::setValueForKey(*c, Value("x"), "description"), plat::Exception);
}

// ---- Reading and writing
// -------------------------------------------------------------------------

TEST(KeyValueCoding, ScalarsRoundTripWithTheirDeclaredTypeCodes) {
    auto r = std::make_shared<KvRecord>();
    auto roundTrip = [&](const char* key, Value in) {
        plat::setValueForKey(*r, in, key);
        return plat::valueForKey(*r, key);
    };

    Value v = roundTrip("pageCount", Value(-42));
    EXPECT_EQ(v.number()->type(), 'i');
    EXPECT_EQ(v.int64Value(), -42);

    v = roundTrip("isAutoRenew", Value::boolean(true));
    EXPECT_TRUE(r->isAutoRenew);
    ASSERT_TRUE(v.isNumber());  // a char number, not a shared boolean
    EXPECT_EQ(v.number()->type(), 'c');
    EXPECT_EQ(v.int64Value(), 1);

    v = roundTrip("finished", Value(int32_t{5}));
    EXPECT_TRUE(r->finished);
    EXPECT_TRUE(v.isBool());
    EXPECT_TRUE(v.identical(Value::boolean(true)));

    v = roundTrip("grade", Value(int32_t{-7}));
    EXPECT_EQ(v.number()->type(), 'c');
    EXPECT_EQ(r->grade, -7);

    v = roundTrip("offset", Value(std::numeric_limits<int64_t>::min()));
    EXPECT_EQ(v.number()->type(), 'q');
    EXPECT_EQ(v.number()->int64Value(), std::numeric_limits<int64_t>::min());

    v = roundTrip("fileSize", Value(std::numeric_limits<uint64_t>::max()));
    EXPECT_EQ(v.number()->type(), 'Q');
    EXPECT_EQ(v.number()->uint64Value(), std::numeric_limits<uint64_t>::max());

    v = roundTrip("ratio", Value(0.1));
    EXPECT_EQ(v.number()->type(), 'f');
    EXPECT_EQ(r->ratio, 0.1f);
    EXPECT_EQ(v.doubleValue(), static_cast<double>(0.1f));

    v = roundTrip("price", Value(2.5));
    EXPECT_EQ(v.number()->type(), 'd');
    EXPECT_EQ(v.doubleValue(), 2.5);
}

TEST(KeyValueCoding, ScalarsTakeNumbersOfOtherTypesTextAndNothing) {
    auto r = std::make_shared<KvRecord>();
    plat::setValueForKey(*r, Value(3.9), "pageCount");
    EXPECT_EQ(r->pageCount, 3);
    plat::setValueForKey(*r, Value("  42"), "pageCount");
    EXPECT_EQ(r->pageCount, 42);
    plat::setValueForKey(*r, Value("18446744073709551615"), "fileSize");
    EXPECT_EQ(r->fileSize, std::numeric_limits<uint64_t>::max());
    plat::setValueForKey(*r, Value(plat::Decimal{false, "125", -2}), "price");
    EXPECT_DOUBLE_EQ(r->price, 1.25);
    plat::setValueForKey(*r, Value("YES"), "isAutoRenew");
    EXPECT_TRUE(r->isAutoRenew);

    r->offset = 9;
    r->fileSize = 9;
    r->ratio = 9;
    r->price = 9;
    r->finished = true;
    r->grade = 9;
    for (const char* key : {"pageCount", "offset", "fileSize", "ratio", "price", "grade"}) {
        plat::setValueForKey(*r, Value(), key);
        EXPECT_EQ(plat::valueForKey(*r, key).doubleValue(), 0) << key;
        plat::setValueForKey(*r, Value(7), key);
        plat::setValueForKey(*r, Value::null(), key);
        EXPECT_EQ(plat::valueForKey(*r, key).doubleValue(), 0) << key;
    }
    plat::setValueForKey(*r, Value::null(), "finished");
    plat::setValueForKey(*r, Value::null(), "isAutoRenew");
    EXPECT_FALSE(r->finished);
    EXPECT_FALSE(r->isAutoRenew);
}

TEST(KeyValueCoding, ObjectsStringsDatesAndData) {
    auto r = std::make_shared<KvRecord>();
    plat::setValueForKey(*r, Value("C-1"), "code");
    EXPECT_EQ(r->code_, "C-1");
    plat::setValueForKey(*r, Value(int64_t{7}), "code");  // numbers give their text
    EXPECT_EQ(plat::valueForKey(*r, "code").stringOr(), "7");
    plat::setValueForKey(*r, Value::null(), "code");
    EXPECT_EQ(r->code_, "");

    plat::setValueForKey(*r, Value("ann"), "author");
    EXPECT_EQ(r->author, "ann");
    plat::setValueForKey(*r, Value::null(), "author");
    EXPECT_FALSE(r->author.has_value());
    EXPECT_TRUE(plat::valueForKey(*r, "author").isNil());

    plat::setValueForKey(*r, Value(plat::Date{1705314030}), "modifiedDate");
    EXPECT_EQ(plat::valueForKey(*r, "modifiedDate").date()->seconds, 1705314030);
    plat::setValueForKey(*r, Value(plat::Bytes{1, 2, 3}), "receipt");
    EXPECT_EQ(*plat::valueForKey(*r, "receipt").bytes(), (plat::Bytes{1, 2, 3}));

    plat::setValueForKey(*r, Value::null(), "extra");  // an untyped object keeps null as null
    EXPECT_TRUE(r->extra.isNull());
    plat::setValueForKey(*r, Value("any"), "extra");
    EXPECT_EQ(plat::valueForKey(*r, "extra").stringOr(), "any");

    // A copied array is not changed by later changes to the array that was set.
    auto source = plat::MutableArray::make({Value(1)});
    plat::setValueForKey(*r, Value(source), "prices");
    source->addObject(Value(2));
    EXPECT_EQ(r->prices->count(), 1u);
    EXPECT_FALSE(r->prices->isMutable());

    auto target = std::make_shared<KvRecord>();
    plat::setValueForKey(*r, Value(target), "delegate");
    EXPECT_EQ(plat::valueForKey(*r, "delegate").object(), target);
    target.reset();
    EXPECT_TRUE(plat::valueForKey(*r, "delegate").isNil());
}

TEST(KeyValueCoding, RefusesValuesOfTheWrongKindAndKeepsTheProperty) {
    auto r = std::make_shared<KvRecord>();
    auto kept = issue("kept", 1);
    r->latestIssue = kept;
    r->pageCount = 5;
    r->modifiedDate = plat::Date{10};

    // An object of another class for a nested record.
    const std::string refused = exceptionName(
        [&] { plat::setValueForKey(*r, Value(std::make_shared<KvOther>()), "latestIssue"); });
    EXPECT_EQ(refused.rfind("NSInvalidArgumentException: ", 0), 0u) << refused;
    EXPECT_NE(refused.find("latestIssue"), std::string::npos);
    // A dictionary is not a record either.
    auto dict = plat::makeDictionary({{Value("IssueName"), Value("x")}});
    EXPECT_THROW(plat::setValueForKey(*r, Value(dict), "latestIssue"), plat::Exception);
    EXPECT_THROW(plat::setValueForKey(*r, Value("text"), "latestIssue"), plat::Exception);
    EXPECT_EQ(r->latestIssue, kept);

    EXPECT_THROW(plat::setValueForKey(*r, Value(array({Value(1)})), "pageCount"), plat::Exception);
    EXPECT_THROW(plat::setValueForKey(*r, Value(plat::Date{1}), "pageCount"), plat::Exception);
    EXPECT_EQ(r->pageCount, 5);
    EXPECT_THROW(plat::setValueForKey(*r, Value("15/01/2024"), "modifiedDate"), plat::Exception);
    EXPECT_EQ(r->modifiedDate.seconds, 10);
    EXPECT_THROW(plat::setValueForKey(*r, Value(dict), "prices"), plat::Exception);
    EXPECT_THROW(plat::setValueForKey(*r, Value(plat::Date{1}), "code"), plat::Exception);

    // A subclass instance is accepted; null clears.
    plat::setValueForKey(*r, Value::null(), "latestIssue");
    EXPECT_EQ(r->latestIssue, nullptr);
}

TEST(KeyValueCoding, UnknownAndReadOnlyKeysRaiseUnknownKey) {
    auto r = std::make_shared<KvRecord>();
    EXPECT_EQ(exceptionName([&] { plat::valueForKey(*r, "nope"); }),
              "NSUnknownKeyException: [<KvRecord> valueForUndefinedKey:]: this class is not key "
              "value coding-compliant for the key nope.");
    EXPECT_EQ(exceptionName([&] { plat::setValueForKey(*r, Value(1), "nope"); }),
              "NSUnknownKeyException: [<KvRecord> setValue:forUndefinedKey:]: this class is not "
              "key value coding-compliant for the key nope.");
    EXPECT_EQ(exceptionName([&] { plat::setValueForKey(*r, Value("x"), "sortToken"); }),
              "NSUnknownKeyException: [<KvRecord> setValue:forUndefinedKey:]: this class is not "
              "key value coding-compliant for the key sortToken.");
    EXPECT_THROW(plat::valueForKey(Value("text"), "length"), plat::Exception);
    // An entry handed an object of another class refuses it.
    auto entry = KvRecord::classObject().findOwnProperty("pageCount");
    KvOther other;
    EXPECT_THROW(entry->get(other), plat::Exception);
}

TEST(KeyValueCoding, DictionariesAnswerTheirEntries) {
    auto d = plat::MutableDictionary::make({{Value("a"), Value(1)}});
    EXPECT_EQ(plat::valueForKey(*d, "a").int64Value(), 1);
    EXPECT_TRUE(plat::valueForKey(*d, "b").isNil());
    plat::setValueForKey(*d, Value(2), "b");
    EXPECT_EQ(d->objectForKey("b").int64Value(), 2);
    plat::setValueForKey(*d, Value(), "a");
    EXPECT_EQ(d->count(), 1u);
    auto fixed = plat::makeDictionary({{Value("a"), Value(1)}});
    EXPECT_THROW(plat::setValueForKey(*fixed, Value(2), "a"), plat::Exception);
}

TEST(KeyValueCoding, KeyPathsWalkObjectsDictionariesAndArrays) {
    auto r = std::make_shared<KvRecord>();
    r->latestIssue = issue("March", 3);
    r->options = plat::makeDictionary(
        {{Value("colour"), Value("red")},
         {Value("nested"), Value(plat::makeDictionary({{Value("depth"), Value(2)}}))}});
    r->prices = array({Value(issue("a", 1)), Value(issue("b", 2))});

    EXPECT_EQ(plat::valueForKeyPath(*r, "latestIssue.issueName").stringOr(), "March");
    EXPECT_EQ(plat::valueForKeyPath(*r, "options.colour").stringOr(), "red");
    EXPECT_EQ(plat::valueForKeyPath(*r, "options.nested.depth").int64Value(), 2);
    EXPECT_TRUE(plat::valueForKeyPath(*r, "options.missing.depth").isNil());
    EXPECT_EQ(plat::valueForKeyPath(*r, "prices.issueName"),
              Value(array({Value("a"), Value("b")})));
    EXPECT_THROW(plat::valueForKeyPath(*r, "latestIssue..x"), plat::Exception);
    EXPECT_THROW(plat::valueForKeyPath(*r, "code.length"), plat::Exception);
    r->latestIssue = nullptr;
    EXPECT_TRUE(plat::valueForKeyPath(*r, "latestIssue.issueName").isNil());
}

// ---- Sorting and selecting
// -----------------------------------------------------------------------

TEST(KeyValueSorting, OrdersByKeyBothWaysWithNothingFirst) {
    auto items = array({Value(issue("c", 3)), Value(plat::makeDictionary({})), Value(issue("a", 1)),
                        Value(issue("b", 2)), Value::null()});
    auto asc = plat::sortedArrayByKey(*items, "sortIndex", true);
    std::vector<std::string> order;
    for (const Value& v : asc->values()) {
        order.push_back(v.isNull() ? "null" : plat::valueForKey(v, "issueName").stringOr("nil"));
    }
    // The dictionary and the null element have no sort index: they come first, in input order.
    EXPECT_EQ(order, (std::vector<std::string>{"nil", "null", "a", "b", "c"}));

    auto desc = plat::sortedArrayByKey(*items, "sortIndex", false);
    order.clear();
    for (const Value& v : desc->values()) {
        order.push_back(v.isNull() ? "null" : plat::valueForKey(v, "issueName").stringOr("nil"));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"c", "b", "a", "nil", "null"}));
    EXPECT_EQ(items->count(), 5u);
}

TEST(KeyValueSorting, ComparesNumbersAcrossTypesAndTextLiterallyOrLocalized) {
    auto dicts = [](std::vector<Value> keys) {
        std::vector<Value> out;
        for (auto& k : keys)
            out.push_back(Value(plat::makeDictionary({{Value("k"), k}})));
        return array(std::move(out));
    };
    auto keysOf = [](const Ref<plat::Array>& a) {
        std::vector<std::string> out;
        for (const Value& v : a->values())
            out.push_back(plat::valueForKey(v, "k").description());
        return out;
    };
    auto numbers =
        dicts({Value(2.5), Value(int32_t{-1}), Value(std::numeric_limits<uint64_t>::max()),
               Value::boolean(true), Value(int64_t{2})});
    EXPECT_EQ(keysOf(plat::sortedArrayByKey(*numbers, "k")),
              (std::vector<std::string>{"-1", "1", "2", "2.5", "18446744073709551615"}));

    auto words = dicts(
        {Value("b"), Value("B"), Value("a"), Value("A"), Value("\xC3\xA9"), Value("\xC3\x89")});
    EXPECT_EQ(keysOf(plat::sortedArrayByKey(*words, "k")),
              (std::vector<std::string>{"A", "B", "a", "b", "\xC3\x89", "\xC3\xA9"}));
    EXPECT_EQ(keysOf(plat::sortedArrayByKey(*words, "k", true, plat::StringComparison::Localized)),
              (std::vector<std::string>{"A", "a", "B", "b", "\xC3\x89", "\xC3\xA9"}));

    // UTF-16 order: a character beyond U+FFFF (a surrogate pair) sorts before U+FF61.
    EXPECT_LT(plat::compareValues(Value("\xF0\x9F\x98\x80"), Value("\xEF\xBD\xA1")), 0);
    EXPECT_LT(plat::compareValues(Value("ab"), Value("abc")), 0);
    EXPECT_EQ(plat::compareValues(Value(), Value::null()), 0);
    EXPECT_LT(plat::compareValues(Value::null(), Value(int32_t{-5})), 0);
    EXPECT_LT(plat::compareValues(Value(plat::Date{1}), Value(plat::Date{2})), 0);
    EXPECT_EQ(plat::compareValues(Value(1), Value(1.0)), 0);
}

TEST(KeyValueSorting, SelectsAKeyPathOfEveryElement) {
    auto r1 = std::make_shared<KvRecord>();
    r1->latestIssue = issue("one", 1);
    auto r2 = std::make_shared<KvRecord>();
    auto selected = plat::selectByKeyPath(*array({Value(r1), Value(r2)}), "latestIssue.issueName");
    ASSERT_EQ(selected->count(), 2u);
    EXPECT_EQ(selected->objectAtIndex(0).stringOr(), "one");
    EXPECT_TRUE(selected->objectAtIndex(1).isNull());
}
