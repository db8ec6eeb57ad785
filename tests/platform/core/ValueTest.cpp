#include <gtest/gtest.h>

#include <cmath>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "platform/core/Log.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"

using plat::Number;
using plat::Value;

TEST(Value, NumbersCompareAcrossTypesAndWithBooleans) {
    EXPECT_EQ(Value(int32_t{1}), Value(1.0));
    EXPECT_EQ(Value(int32_t{1}), Value::boolean(true));
    EXPECT_EQ(Value(Number::fromChar(0)), Value::boolean(false));
    EXPECT_NE(Value(int32_t{1}), Value("1"));
    EXPECT_EQ(Value(int32_t{7}).hash(), Value(7.0).hash());
    // Values above the signed range stay unsigned and compare correctly.
    const Value big(uint64_t{18446744073709551615ull});
    EXPECT_NE(big, Value(int64_t{-1}));
    EXPECT_EQ(big.number()->compare(*Value(int64_t{5}).number()), 1);
    EXPECT_FALSE(Value::boolean(true).identical(Value(Number::fromChar(1))));
}

TEST(Value, NumberTextIsShortestRoundTrip) {
    EXPECT_EQ(Value(int32_t{20}).description(), "20");
    EXPECT_EQ(Value(0.0).description(), "0");
    EXPECT_EQ(Value(0.1).description(), "0.1");
    EXPECT_EQ(Value(Number::fromDouble(0.1, 'f')).description(), "0.1");
    EXPECT_EQ(Value(-2.5).description(), "-2.5");
    EXPECT_EQ(Value(uint64_t{18446744073709551615ull}).description(), "18446744073709551615");
    EXPECT_EQ(Value::null().description(), "<null>");
}

TEST(Value, DecimalText) {
    EXPECT_EQ((plat::Decimal{false, "12345", -2}).stringValue(), "123.45");
    EXPECT_EQ((plat::Decimal{true, "5", -3}).stringValue(), "-0.005");
    EXPECT_EQ((plat::Decimal{false, "12", 3}).stringValue(), "12000");
}

TEST(Value, IntegerConversionsOfOutOfRangeValuesSaturate) {
    EXPECT_EQ(Number::fromDouble(-1.0).uint64Value(), 0u);
    EXPECT_EQ(Number::fromDouble(-1e300).uint64Value(), 0u);
    EXPECT_EQ(Number::fromDouble(1e300).uint64Value(), UINT64_MAX);
    EXPECT_EQ(Number::fromDouble(NAN).uint64Value(), 0u);
    EXPECT_EQ(Number::fromDouble(-1e300).int64Value(), INT64_MIN);
    EXPECT_EQ(Number::fromDouble(1e300).int64Value(), INT64_MAX);
    EXPECT_EQ(Value(plat::Decimal{false, "1", 300}).int64Value(), INT64_MAX);
    EXPECT_EQ(Value(plat::Decimal{true, "1", 300}).int64Value(), INT64_MIN);
}

TEST(Collections, ImmutableContainersRefuseMutation) {
    auto a = plat::Array::make({Value("x"), Value(int32_t{2})});
    EXPECT_EQ(a->copy(), a);
    auto m = std::dynamic_pointer_cast<plat::MutableArray>(a);
    ASSERT_TRUE(m);
    try {
        m->addObject(Value("y"));
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.reason(),
                  "*** -[MutableArray addObject:]: mutating method sent to immutable object");
    }
    EXPECT_THROW(a->objectAtIndex(2), plat::Exception);
    auto copy = a->mutableCopy();
    copy->addObject(Value("y"));
    EXPECT_EQ(copy->count(), 3u);
    EXPECT_EQ(a->count(), 2u);
}

TEST(Collections, DictionaryKeepsInsertionOrderAndLastWriteWins) {
    auto d = plat::MutableDictionary::make();
    d->setObject(Value(int32_t{1}), Value("b"));
    d->setObject(Value(int32_t{2}), Value("a"));
    d->setObject(Value(int32_t{3}), Value("b"));
    d->setObject(Value(int32_t{4}), Value(int32_t{5}));  // non-text keys are allowed
    ASSERT_EQ(d->count(), 3u);
    EXPECT_EQ(d->allKeys()[0], Value("b"));
    EXPECT_EQ((*d)["b"], Value(int32_t{3}));
    EXPECT_EQ(d->objectForKey(Value(5.0)), Value(int32_t{4}));
    d->setObject(Value(), Value("a"));
    EXPECT_TRUE((*d)["a"].isNil());
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(Value(d), Value(d->copy()));
}

TEST(Error, LocalizedDescription) {
    auto e = plat::Error::withDescription("VnRequestDomain", 0, "boom");
    EXPECT_EQ(e->localizedDescription(), "boom");
    EXPECT_EQ(plat::Error::make("D", 3)->localizedDescription(),
              "The operation couldn't be completed. (D error 3.)");
}

TEST(Log, TraceLinesCarryFunctionAndLineAndObeyTheSwitch) {
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view l) { lines.emplace_back(l); });
    VND_TRACE("General", "n=%d", 4);
    VND_TRACE("Webservice", "hidden");
    {
        const testing_support::ScopedTraceSwitch webservice(
            [](std::string_view g) { return g == "Webservice"; });
        VND_TRACE("Webservice", "shown");
    }
    plat::setLogSink(previous);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" [Line "), std::string::npos);
    EXPECT_TRUE(lines[0].ends_with("] n=4"));
    EXPECT_TRUE(lines[1].ends_with("] shown"));
}

// A test or helper that changes the switch for a while puts back the one that was there, not the
// built-in default: a program's own switch outlives what its tests do in between.
TEST(Log, ASwitchChangedForAWhileGivesWayToTheOneBefore) {
    const testing_support::ScopedTraceSwitch programs(
        [](std::string_view g) { return g == "Program"; });
    EXPECT_TRUE(plat::traceEnabled("Program"));
    EXPECT_FALSE(plat::traceEnabled("General"));
    {
        const testing_support::ScopedTraceSwitch another(
            [](std::string_view g) { return g == "Another"; });
        EXPECT_FALSE(plat::traceEnabled("Program"));
    }
    EXPECT_TRUE(plat::traceEnabled("Program"));
    const auto written = testing_support::writtenWithTracesOff([] {
        EXPECT_FALSE(plat::traceEnabled("Program"));
        VND_TRACE("General", "hidden");
    });
    EXPECT_TRUE(written.terminal.empty());
    EXPECT_TRUE(plat::traceEnabled("Program"));
    EXPECT_FALSE(plat::traceEnabled("General"));
}

namespace {

// A document that holds a string and an array for the values that refer into it.
struct Holder : plat::Object {
    std::string text = "a string longer than any inline buffer";
    Ref<plat::Array> array = plat::Array::make({Value(int32_t{1})});
};

}  // namespace

TEST(Value, ValuesInADocumentCountTheDocumentOnlyWhenCopied) {
    auto holder = std::make_shared<Holder>();
    const Value inside = Value::inDocument(holder->text, *holder, true);
    const Value array = Value::inDocument(*holder->array, *holder);
    EXPECT_EQ(holder.use_count(), 1);  // the document's own values hold no count

    Value moved = Value::inDocument(holder->text, *holder, false);
    Value target = std::move(moved);
    EXPECT_TRUE(moved.isNil());
    EXPECT_EQ(holder.use_count(), 1);

    Value copy = inside;
    EXPECT_EQ(holder.use_count(), 2);
    Ref<plat::Array> taken = array.array();
    EXPECT_EQ(holder.use_count(), 3);
    EXPECT_EQ(array.arrayPointer(), holder->array.get());
    EXPECT_EQ(array.dictionaryPointer(), nullptr);

    // Taken values keep the document alive and stay identical to the document's own.
    const std::string* text = inside.string();
    holder.reset();
    EXPECT_EQ(*copy.string(), "a string longer than any inline buffer");
    EXPECT_EQ(copy.string(), text);
    EXPECT_TRUE(copy.hasCheckedUTF8());
    EXPECT_FALSE(Value(std::string("x")).hasCheckedUTF8());
    EXPECT_EQ(taken->objectAtIndex(0).intValue(), 1);
    copy = Value();
    taken.reset();  // the last reference: the document goes
}
