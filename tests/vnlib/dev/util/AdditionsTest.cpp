#include <gtest/gtest.h>

#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/dev/util/VndArrayAdditions.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndObjectAdditions.h"

using plat::Value;

namespace {

class Item : public plat::Object {
    PLAT_CLASS(Item)
  public:
    Item() = default;
    Item(std::string code, int32_t order, bool hidden = false)
        : code_(std::move(code)), order_(order), hidden_(hidden) {}
    static Value make(std::string code, int32_t order, bool hidden = false) {
        return Value(std::make_shared<Item>(std::move(code), order, hidden));
    }
    int32_t negative() const { return -order_; }

    std::string code_;
    int32_t order_ = 0;
    bool hidden_ = false;
};

class SpecialItem : public Item {
    PLAT_CLASS(SpecialItem)
  public:
    std::string badge_ = "new";
};

}  // namespace

PLAT_DEFINE_CLASS(Item, plat::Object, [](auto& c) {
    c.property("code", "T@\"NSString\",C,N,Vcode_", &Item::code_)
        .property("order", "Ti,N,Vorder_", &Item::order_)
        .property("hidden", "Tc,N,Vhidden_", &Item::hidden_)
        .method("negative", &Item::negative);
})
PLAT_DEFINE_CLASS(SpecialItem, Item, [](auto& c) { c.property("badge", &SpecialItem::badge_); })

namespace {

std::vector<std::string> codes(const plat::Array& array) {
    std::vector<std::string> out;
    array.enumerate([&](const Value& v) {
        out.push_back(v.as<Item>()->code_);
        return true;
    });
    return out;
}

Ref<plat::Array> sample() {
    return plat::Array::make({Item::make("c", 3), Item::make("a", 0, true), Item::make("b", 2),
                              Item::make("z", 0), Item::make("d", -1, true)});
}

}  // namespace

TEST(ArrayAdditions, SelectOrderTakeAndFilter) {
    auto items = sample();
    EXPECT_EQ(codes(*linq_orderBy(*items, "code")),
              (std::vector<std::string>{"a", "b", "c", "d", "z"}));
    EXPECT_EQ(codes(*linq_orderByDescending(*items, "code")),
              (std::vector<std::string>{"z", "d", "c", "b", "a"}));
    EXPECT_EQ(codes(*linq_orderByInt(*items, "order")),
              (std::vector<std::string>{"d", "a", "z", "b", "c"}));
    EXPECT_EQ(codes(*linq_orderByIntDescending(*items, "order")),
              (std::vector<std::string>{"c", "b", "a", "z", "d"}));
    // Zeros end up together after every other value, in input order.
    EXPECT_EQ(codes(*linq_orderByIntNoZero(*items, "order")),
              (std::vector<std::string>{"d", "b", "c", "a", "z"}));
    EXPECT_EQ(codes(*linq_where(*items, "hidden")), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(codes(*linq_whereNot(*items, "hidden")), (std::vector<std::string>{"c", "b", "z"}));
    EXPECT_EQ(codes(*linq_whereNotEqual(*items, "order", Value(int32_t{0}))),
              (std::vector<std::string>{"c", "b", "d"}));
    EXPECT_EQ(linq_take(*items, 0)->count(), 0u);
    EXPECT_EQ(linq_take(*items, 99)->count(), 5u);
    EXPECT_TRUE(linq_firstOrNil(*plat::Array::make({})).isNil());

    auto selected = linq_selectWithSelector(*items, "code");
    EXPECT_EQ(selected->objectAtIndex(0), Value("c"));
    // An integer answer is boxed as a 64-bit number.
    auto negatives = linq_selectWithSelector(*items, "negative");
    EXPECT_EQ(negatives->objectAtIndex(0), Value(int64_t{-3}));
    EXPECT_EQ(negatives->objectAtIndex(0).number()->type(), 'q');
    EXPECT_EQ(linq_selectWithKeyPath(*items, "order")->objectAtIndex(2), Value(int32_t{2}));
}

TEST(ArrayAdditions, ComparatorsAreConsistent) {
    auto a = Item::make("a", 3), b = Item::make("b", 3), c = Item::make("c", -1),
         z = Item::make("z", 0);
    EXPECT_EQ(compareInt(a, b, "order"), 0);
    EXPECT_EQ(compareInt(c, a, "order"), -1);
    EXPECT_EQ(compareIntDesc(Item::make("x", 5), a, "order"), -1);
    for (const auto& [x, y] : {std::pair{a, z}, std::pair{z, c}, std::pair{c, a}}) {
        EXPECT_EQ(compareIntNoZero(x, y, "order"), -compareIntNoZero(y, x, "order"));
    }
    EXPECT_EQ(compareIntNoZero(z, Item::make("y", 0), "order"), 0);
}

TEST(ArrayAdditions, DictionariesFromArrays) {
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view l) { lines.emplace_back(l); });
    const testing_support::ScopedTraceSwitch warnings(
        [](std::string_view g) { return g == "Warning"; });
    auto items = plat::Array::make({Item::make("a", 1), Item::make("a", 2), Item::make("b", 1)});
    auto byCode = linq_toDictionaryWithKeySelector(*items, "code");
    EXPECT_EQ(byCode->count(), 2u);
    EXPECT_EQ((*byCode)["a"].as<Item>()->order_, 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with("Id must be unique"));

    auto byOrder = linq_toDictionaryWithIntKeySelector(*items, "order");
    EXPECT_EQ(objectForIntKey(*byOrder, 1).as<Item>()->code_, "b");

    auto withNil = plat::Array::make(
        {Value(plat::makeDictionary({{Value("k"), Value("x")}})), Value(plat::makeDictionary({}))});
    auto lookup = linq_toLookupDictionaryWithKeySelector(*withNil, "k");
    EXPECT_EQ(lookup->objectForKey(Value::null()).array()->count(), 1u);
    EXPECT_EQ(lookup->objectForKey(Value("x")).array()->count(), 1u);
    plat::setLogSink(previous);
}

TEST(DictionaryAdditions, DefaultsOnlyForAbsentKeys) {
    auto d = plat::makeDictionary({{Value("zero"), Value(int32_t{0})},
                                   {Value("seven"), Value(int32_t{7})},
                                   {Value("yes"), Value::boolean(true)},
                                   {Value("pi"), Value(3.5)}});
    EXPECT_EQ(intForKey(*d, "zero", 9), 0);
    EXPECT_EQ(intForKey(*d, "absent", 9), 9);
    EXPECT_FLOAT_EQ(floatForKey(*d, "pi", 0), 3.5f);
    EXPECT_TRUE(boolForKey(*d, "yes", false));
    EXPECT_TRUE(boolForKey(*d, "absent", true));
    EXPECT_EQ(stringForKey(*d, "seven"), "7");
    EXPECT_FALSE(stringForKey(*d, "absent").has_value());
    EXPECT_EQ(stringForKey(*d, "absent", "x"), "x");
    auto m = plat::MutableDictionary::make();
    setObjectForIntKey(*m, Value("v"), 4);
    EXPECT_EQ(objectForIntKey(*m, 4), Value("v"));
    removeObjectForIntKey(*m, 4);
    EXPECT_EQ(m->count(), 0u);
    EXPECT_TRUE(isEarlierThan(plat::Date{1}, plat::Date{2}));
    EXPECT_FALSE(isLaterThan(plat::Date{2}, plat::Date{2}));
}

TEST(ObjectAdditions, VisiblePropertiesDescriptionAndDelayedInvocation) {
    const auto& props = rt_allVisibleProperties(SpecialItem::classObject());
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props[0]->name(), "badge");
    EXPECT_EQ(props[1]->name(), "code");
    EXPECT_EQ(&rt_allVisibleProperties(SpecialItem::classObject()), &props);  // cached
    EXPECT_EQ(rt_allVisibleProperties(Item::classObject()).size(), 3u);
    ASSERT_TRUE(rt_cachedPropertyForName(SpecialItem::classObject(), "order"));
    EXPECT_EQ(rt_cachedPropertyForName(SpecialItem::classObject(), "order"),
              rt_cachedPropertyForName(SpecialItem::classObject(), "order"));

    EXPECT_EQ(descriptionByProperties(Value(plat::Array::make({Value("x"), Value("y")}))),
              "{ x,y }");
    EXPECT_EQ(descriptionByProperties(*std::make_shared<Item>("a", 2, true)),
              "{code: a, order: 2, hidden: 1, }");
}
