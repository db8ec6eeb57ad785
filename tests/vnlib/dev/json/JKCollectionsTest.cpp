#include <gtest/gtest.h>

#include <string>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "vnlib/dev/json/JKArray.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

using plat::Value;

namespace {

template <class F>
std::string raised(F&& fn) {
    try {
        fn();
    } catch (const plat::Exception& e) {
        return e.name() + ": " + e.reason();
    }
    return "no exception";
}

Ref<JKArray> mutableArray(const char* text) {
    return mutableObjectFromJSONString(text).as<JKArray>();
}

Ref<JKDictionary> dictionaryWithKeys(size_t n, bool mutableCollection) {
    std::string text = "{";
    for (size_t i = 0; i < n; ++i)
        text += plat::format("%s\"k%zu\":%zu", i ? "," : "", i, i);
    text += "}";
    Value v = mutableCollection ? mutableObjectFromJSONString(text) : objectFromJSONString(text);
    return v.as<JKDictionary>();
}

// Every key must be reachable from its home slot without crossing an empty slot; a dictionary
// in a document must find the key of each of its members.
bool everyKeyReachable(const JKDictionary& d) {
    auto slots = d.entries();
    size_t occupied = 0;
    for (const JKFlatMember& m : d.members()) {
        ++occupied;
        if (d.objectForKey(Value(m.key->view())).isNil())
            return false;
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].key.isNil())
            continue;
        ++occupied;
        for (size_t s = slots[i].keyHash % slots.size(); s != i; s = (s + 1) % slots.size()) {
            if (slots[s].key.isNil())
                return false;
        }
        if (d.objectForKey(slots[i].key).isNil())
            return false;
    }
    return occupied == d.count();
}

}  // namespace

TEST(JKDictionary, SizesItsTableFromTheCount) {
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(0), 0u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(1), 3u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(3), 3u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(4), 7u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(6), 7u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(7), 13u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(10), 13u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(11), 23u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(54), 71u);
    EXPECT_EQ(JKDictionary::_JKDictionaryCapacityForCount(355569362), 472907251u);
    EXPECT_FALSE(JKDictionary::_JKDictionaryCapacityForCount(355569363));

    auto empty = objectFromJSONString("{}").as<JKDictionary>();
    EXPECT_EQ(empty->capacity(), 0u);
    EXPECT_TRUE(empty->objectForKey("a").isNil());
    EXPECT_TRUE(empty->objectForKey(Value()).isNil());

    // Three keys fill all three slots; a missing key is still answered.
    auto full = dictionaryWithKeys(3, false);
    EXPECT_EQ(full->capacity(), 3u);
    EXPECT_EQ(full->count(), 3u);
    EXPECT_TRUE(full->objectForKey("missing").isNil());
    EXPECT_EQ(full->objectForKey("k2").int64Value(), 2);
    EXPECT_TRUE(everyKeyReachable(*full));
}

TEST(JKDictionary, KeepsEveryKeyFindableThroughRemovalsAndGrowth) {
    auto d = dictionaryWithKeys(40, true);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->capacity(), 71u);
    ASSERT_TRUE(everyKeyReachable(*d));

    // Remove keys out of order; the rest of every collision cluster stays reachable.
    for (size_t i = 0; i < 40; i += 3) {
        d->removeObjectForKey(Value(plat::format("k%zu", i)));
        ASSERT_TRUE(everyKeyReachable(*d)) << "after removing k" << i;
    }
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(d->objectForKey(Value(plat::format("k%zu", i))).isNil(), i % 3 == 0) << i;
    }
    const size_t afterRemoval = d->count();
    d->removeObjectForKey(Value("not there"));
    EXPECT_EQ(d->count(), afterRemoval);

    // Replacing keeps the count and counts as a mutation.
    const uint64_t before = d->mutations();
    d->setObject(Value("new"), Value("k1"));
    EXPECT_EQ(d->count(), afterRemoval);
    EXPECT_GT(d->mutations(), before);
    EXPECT_EQ(d->objectForKey("k1").stringOr(), "new");

    // Growth re-seats every entry.
    for (size_t i = 100; i < 300; ++i)
        d->setObject(Value(int64_t(i)), Value(plat::format("n%zu", i)));
    EXPECT_EQ(d->count(), afterRemoval + 200);
    EXPECT_GE(d->capacity(), 191u);
    EXPECT_TRUE(everyKeyReachable(*d));
    EXPECT_EQ(d->objectForKey("n299").int64Value(), 299);

    // Enumerations agree with each other.
    std::vector<Value> keys(d->count()), objects(d->count());
    d->getObjects(objects.data(), keys.data());
    auto enumerator = d->keyEnumerator();
    EXPECT_TRUE(enumerator->nextObject().identical(keys[0]));
    auto rest = enumerator->allObjects();
    EXPECT_EQ(rest->count(), keys.size() - 1);
    EXPECT_TRUE(enumerator->nextObject().isNil());
    size_t i = 0;
    d->enumerateKeysAndObjects([&](const Value& k, const Value& v) {
        EXPECT_TRUE(k.identical(keys[i]));
        EXPECT_TRUE(v.identical(objects[i]));
        ++i;
        return true;
    });
    EXPECT_EQ(i, keys.size());
}

TEST(JKDictionary, RefusesMisuseWithThePlatformTexts) {
    auto immutable = dictionaryWithKeys(2, false);
    EXPECT_EQ(raised([&] { immutable->setObject(Value(1), Value("a")); }),
              "NSInternalInconsistencyException: *** -[JKDictionary setObject:forKey:]: mutating "
              "method sent to immutable object");
    EXPECT_EQ(raised([&] { immutable->removeObjectForKey(Value("k0")); }),
              "NSInternalInconsistencyException: *** -[JKDictionary removeObjectForKey:]: "
              "mutating method sent to immutable object");
    auto m = dictionaryWithKeys(2, true);
    EXPECT_EQ(raised([&] { m->setObject(Value(1), Value()); }),
              "NSInvalidArgumentException: *** -[JKDictionary setObject:forKey:]: attempt to "
              "insert nil key");
    EXPECT_EQ(raised([&] { m->setObject(Value(), Value("key")); }),
              "NSInvalidArgumentException: *** -[JKDictionary setObject:forKey:]: attempt to "
              "insert nil value (key: key)");
    EXPECT_EQ(raised([&] { m->removeObjectForKey(Value()); }),
              "NSInvalidArgumentException: *** -[JKDictionary removeObjectForKey:]: attempt to "
              "remove nil key");
    EXPECT_EQ(m->count(), 2u);
    EXPECT_EQ(raised([] { JKDictionary::classObject().make(); }),
              "NSInvalidArgumentException: *** - [JKDictionary allocWithZone:]: The JKDictionary "
              "class is private to JSONKit and should not be used in this fashion.");

    // Mutating while enumerating is caught instead of walking a changed table.
    EXPECT_EQ(raised([&] {
                  m->enumerateKeysAndObjects([&](const Value&, const Value&) {
                      m->setObject(Value(1), Value("extra"));
                      return true;
                  });
              }).substr(0, 34),
              "NSGenericException: *** Collection");
}

TEST(JKDictionary, CopiesAreImmutable) {
    auto immutable = dictionaryWithKeys(4, false);
    EXPECT_EQ(immutable->copy().get(), immutable.get());
    auto m = dictionaryWithKeys(4, true);
    auto copy = m->copy();
    EXPECT_NE(copy.get(), m.get());
    EXPECT_FALSE(copy->isMutable());
    EXPECT_EQ(Value(copy), Value(m));
    auto mc = immutable->mutableCopy();
    mc->setObject(Value(9), Value("k0"));
    EXPECT_EQ(immutable->objectForKey("k0").int64Value(), 0);
}

TEST(JKArray, GrowsAndMutatesOnlyWhenMutable) {
    auto a = mutableArray("[0,1,2,3,4]");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->capacity(), 5u);
    EXPECT_EQ(a->mutations(), 1u);
    a->addObject(Value("end"));
    EXPECT_EQ(a->capacity(), 21u);
    EXPECT_EQ(a->count(), 6u);
    EXPECT_EQ(a->objectAtIndex(5).stringOr(), "end");
    a->insertObject(Value("start"), 0);
    a->removeObjectAtIndex(3);
    a->replaceObjectAtIndex(1, Value::null());
    std::vector<std::string> texts;
    for (const Value& v : a->objects())
        texts.push_back(v.description());
    EXPECT_EQ(texts, (std::vector<std::string>{"start", "<null>", "1", "3", "4", "end"}));
    EXPECT_EQ(a->mutations(), 5u);

    EXPECT_EQ(
        raised([&] { a->insertObject(Value(1), 8); }),
        "NSRangeException: *** -[JKArray insertObject:atIndex:]: index (8) beyond bounds (7)");
    EXPECT_EQ(raised([&] { a->insertObject(Value(), 0); }),
              "NSInvalidArgumentException: *** -[JKArray insertObject:atIndex:]: attempt to "
              "insert nil");
    EXPECT_EQ(raised([&] { a->removeObjectAtIndex(6); }),
              "NSRangeException: *** -[JKArray removeObjectAtIndex:]: index (6) beyond bounds (6)");
    EXPECT_EQ(raised([&] { a->objectAtIndex(6); }),
              "NSRangeException: *** -[JKArray objectAtIndex:]: index (6) beyond bounds (6)");
    EXPECT_EQ(a->count(), 6u);

    std::vector<Value> window(2);
    a->getObjects(window.data(), 2, 2);
    EXPECT_EQ(window[1].int64Value(), 3);
    EXPECT_EQ(raised([&] { a->getObjects(window.data(), 5, 2); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: index (7) beyond bounds (6)");
    EXPECT_EQ(raised([&] { a->getObjects(nullptr, 0, 2); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: pointer to objects array is "
              "NULL but range length is 2");

    auto immutable = objectFromJSONString("[1]").as<JKArray>();
    EXPECT_EQ(raised([&] { immutable->addObject(Value(2)); }),
              "NSInternalInconsistencyException: *** -[JKArray insertObject:atIndex:]: mutating "
              "method sent to immutable object");
    EXPECT_EQ(raised([&] { immutable->replaceObjectAtIndex(0, Value()); }),
              "NSInternalInconsistencyException: *** -[JKArray replaceObjectAtIndex:withObject:]: "
              "mutating method sent to immutable object");
    EXPECT_EQ(immutable->copy().get(), immutable.get());
    auto copy = a->copy();
    EXPECT_NE(copy.get(), a.get());
    EXPECT_FALSE(copy->isMutable());
    EXPECT_EQ(Value(copy), Value(a));

    EXPECT_EQ(raised([] { JKArray::classObject().make(); }),
              "NSInvalidArgumentException: *** - [JKArray allocWithZone:]: The JKArray class is "
              "private to JSONKit and should not be used in this fashion.");
    EXPECT_EQ(raised([&] {
                  a->enumerate([&](const Value&) {
                      a->removeObjectAtIndex(0);
                      return true;
                  });
              }).substr(0, 34),
              "NSGenericException: *** Collection");
}

// Immutable dictionaries keep their members in the order of the text; small ones are searched
// in order, large ones through an index. Every size finds each key, misses absent ones, and lets
// a later equal key replace the earlier member in its place.
TEST(JKDictionary, ReaderDictionariesOfEverySizeFindEachKeyAndDropDuplicates) {
    for (size_t n : {1u, 4u, 5u, 32u, 33u, 300u}) {
        std::string text = "{";
        for (size_t i = 0; i < n; ++i)
            text += plat::format("%s\"k%zu\":%zu", i ? "," : "", i, i);
        text += plat::format(",\"k%zu\":\"again\",\"k0\":\"last\"}", n / 2);
        auto d = objectFromJSONString(text).as<JKDictionary>();
        ASSERT_TRUE(d) << n;
        EXPECT_EQ(d->count(), n) << n;
        EXPECT_EQ(d->capacity(), n) << n;
        EXPECT_TRUE(everyKeyReachable(*d)) << n;
        for (size_t i = 0; i < n; ++i) {
            const Value v = d->objectForKey(plat::format("k%zu", i));
            if (i == 0)
                EXPECT_EQ(v.stringOr(), "last") << n;
            else if (i == n / 2)
                EXPECT_EQ(v.stringOr(), "again") << n;
            else
                EXPECT_EQ(v.int64Value(), static_cast<int64_t>(i)) << n << " " << i;
        }
        EXPECT_TRUE(d->objectForKey(plat::format("k%zu", n)).isNil());
        EXPECT_TRUE(d->objectForKey("").isNil());
        // Members stay in the order of the text.
        const auto keys = d->allKeys();
        for (size_t i = 0; i < keys.size(); ++i)
            ASSERT_EQ(keys[i].stringOr(), plat::format("k%zu", i)) << n;
        EXPECT_THROW(d->removeObjectForKey(Value("k0")), plat::Exception);
    }
}
