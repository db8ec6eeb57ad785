#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/Log.h"
#include "vnlib/dev/json/JKArray.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKDocument.h"
#include "vnlib/dev/json/JSONDecoder.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"

using plat::Value;

namespace {

const char* const kReply = R"({"d":{"Items":[
  {"Code":"MAG-000001","Name":"ชีวจิต ฉบับพิเศษ ประจำเดือน","Tags":["health","home"],
   "Publisher":{"Code":"P-1","Name":"Nation Books"},"Price":59.5},
  {"Code":"MAG-000002","Name":"ชีวจิต ฉบับพิเศษ ประจำเดือน","Tags":[],
   "Publisher":{"Code":"P-2","Name":"Bangkok Post Media"},"Price":12}]}})";

}  // namespace

// Records keep values of a reply after the reply itself is gone: every way of taking a value
// out of the decoded tree must keep its storage alive (run under AddressSanitizer).
TEST(JKDocument, ValuesOutliveTheReplyTheyCameFrom) {
    Value name, publisher, tags, copied, fromEnumeration, key;
    Ref<plat::Array> items;
    Ref<JKDictionaryEnumerator> keys;
    std::vector<Value> all;
    {
        Value reply = objectFromJSONString(kReply);
        ASSERT_TRUE(reply.isDictionary());
        items = reply.dictionary()->objectForKey("d").dictionary()->objectForKey("Items").array();
        auto first = items->objectAtIndex(0).dictionary();
        name = first->objectForKey("Name");
        publisher = first->objectForKey("Publisher");
        tags = first->objectForKey("Tags");
        copied = Value(first->copy());
        keys = items->objectAtIndex(1).as<JKDictionary>()->keyEnumerator();
        first->enumerateKeysAndObjects([&](const Value& k, const Value& v) {
            if (v.isDictionary()) {
                key = k;
                fromEnumeration = v;
            }
            return true;
        });
        all = first->allValues();
    }
    EXPECT_EQ(name.stringOr(), "ชีวจิต ฉบับพิเศษ ประจำเดือน");
    EXPECT_EQ(publisher.dictionary()->objectForKey("Name").stringOr(), "Nation Books");
    EXPECT_EQ(tags.array()->objectAtIndex(1).stringOr(), "home");
    EXPECT_EQ(copied.dictionary()->objectForKey("Price").doubleValue(), 59.5);
    EXPECT_EQ(key.stringOr(), "Publisher");
    EXPECT_EQ(fromEnumeration.dictionary()->objectForKey("Code").stringOr(), "P-1");
    EXPECT_EQ(all.size(), 5u);
    size_t keyCount = 0;
    for (Value k = keys->nextObject(); !k.isNil(); k = keys->nextObject())
        ++keyCount;
    EXPECT_EQ(keyCount, 5u);
    EXPECT_EQ(items->objectAtIndex(1)
                  .dictionary()
                  ->objectForKey("Publisher")
                  .dictionary()
                  ->objectForKey("Name")
                  .stringOr(),
              "Bangkok Post Media");

    // A mutable copy stands on its own and can be written back.
    auto editable = publisher.dictionary()->mutableCopy();
    publisher = Value();
    items.reset();
    editable->setObject(Value("Edited"), Value("Name"));
    EXPECT_EQ(JSONString(Ref<plat::Dictionary>(editable)).value_or(""),
              R"({"Code":"P-1","Name":"Edited"})");
}

// The reader's strings are read in place; a std::string of one is made only when asked for,
// once whatever the thread, and lives as long as the value that gave it.
TEST(JKDocument, StringsAreReadInPlaceAndMadeOnceWhenAskedFor) {
    Value name, numbers;
    {
        const Value reply = objectFromJSONString(kReply);
        name = reply.dictionary()
                   ->objectForKey("d")
                   .dictionary()
                   ->objectForKey("Items")
                   .array()
                   ->objectAtIndex(1)
                   .dictionary()
                   ->objectForKey("Name");
        numbers = objectFromJSONString(R"([" 42 apples","-3.5e1","Yes","","x"])");
    }
    const std::string_view text = name.stringView();
    EXPECT_EQ(text, "ชีวจิต ฉบับพิเศษ ประจำเดือน");
    std::vector<const std::string*> made(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < made.size(); ++i)
        threads.emplace_back([&, i] { made[i] = name.string(); });
    for (std::thread& t : threads)
        t.join();
    for (const std::string* s : made)
        EXPECT_EQ(s, made[0]);
    ASSERT_TRUE(made[0]);
    EXPECT_EQ(*made[0], text);

    const Value copy = name, plain{std::string(text)};
    EXPECT_TRUE(copy.identical(name));
    EXPECT_FALSE(plain.identical(name));
    EXPECT_EQ(copy.string(), made[0]);
    EXPECT_EQ(plain, name);
    EXPECT_EQ(plain.hash(), name.hash());
    EXPECT_EQ(plain.stringView(), text);
    EXPECT_EQ(name.stringOr(), text);
    EXPECT_EQ(name.description(), text);
    EXPECT_TRUE(Value(int32_t{7}).stringView().empty());

    auto list = numbers.array();
    EXPECT_EQ(list->objectAtIndex(0).intValue(), 42);
    EXPECT_EQ(list->objectAtIndex(1).doubleValue(), -35.0);
    EXPECT_TRUE(list->objectAtIndex(2).boolValue());
    EXPECT_FALSE(list->objectAtIndex(3).boolValue());
    EXPECT_EQ(list->objectAtIndex(3).stringView(), "");
    EXPECT_EQ(*list->objectAtIndex(3).string(), "");
    EXPECT_EQ(list->objectAtIndex(4).int64Value(), 0);
}

// A decoder shares the strings of its earlier parses with later ones; the later tree must keep
// the earlier one's storage, and a failed parse must leave nothing behind in the cache.
TEST(JKDocument, StringsSharedAcrossParsesStayAliveWithTheLaterTree) {
    auto decoder = JSONDecoder::decoder();
    const std::string first = R"(["shared","MAG-000001",{"Key":"v"}])";
    const std::string failing = R"(["fresh","other",{"Key":)";
    const std::string second = R"(["MAG-000001","fresh",{"Key":"shared"}])";
    Value a = decoder->objectWithUTF8String(first.data(), first.size());
    ASSERT_TRUE(a.isArray());
    EXPECT_TRUE(decoder->objectWithUTF8String(failing.data(), failing.size()).isNil());
    Value b = decoder->objectWithUTF8String(second.data(), second.size());
    ASSERT_TRUE(b.isArray());
    EXPECT_TRUE(b.array()->objectAtIndex(0).identical(a.array()->objectAtIndex(1)));

    const Value code = a.array()->objectAtIndex(1);
    a = Value();
    decoder.reset();  // the cache lets go of both documents
    auto bArray = b.array();
    EXPECT_EQ(bArray->objectAtIndex(0).stringOr(), "MAG-000001");
    EXPECT_EQ(bArray->objectAtIndex(1).stringOr(), "fresh");
    EXPECT_EQ(bArray->objectAtIndex(2).dictionary()->objectForKey("Key").stringOr(), "shared");
    // The key's text belongs to the first document; a key taken out keeps it as well.
    Value sharedKey;
    bArray->objectAtIndex(2).dictionary()->enumerateKeysAndObjects(
        [&](const Value& k, const Value&) {
            sharedKey = k;
            return true;
        });
    b = Value();
    bArray.reset();
    EXPECT_EQ(code.stringOr(), "MAG-000001");
    EXPECT_EQ(sharedKey.stringOr(), "Key");
}

TEST(JKDocument, KeepsLargeAndManyPartsInItsBlocks) {
    auto document = std::make_shared<JKDocument>();
    std::vector<const plat::DocumentText*> strings;
    for (size_t i = 0; i < 3000; ++i)
        strings.push_back(&document->makeText(std::string(i % 97, 'x').c_str(), i % 97));
    void* large = document->allocate(1 << 20);  // larger than any block
    std::memset(large, 0xAB, 1 << 20);
    void* small = document->allocate(24);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % alignof(std::max_align_t), 0u);
    for (size_t i = 0; i < strings.size(); ++i)
        ASSERT_EQ(strings[i]->view(), std::string(i % 97, 'x'));

    // A first request larger than the first block, then requests of larger alignments than
    // its own: each gets storage of its own, inside a block.
    auto mixed = std::make_shared<JKDocument>();
    auto* big = static_cast<uint8_t*>(mixed->allocate(5000, 8));
    std::memset(big, 1, 5000);
    for (size_t alignment : {64u, 16u, 4096u}) {
        auto* p = static_cast<uint8_t*>(mixed->allocate(8, alignment));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << alignment;
        std::memset(p, 2, 8);
    }
    EXPECT_EQ(std::count(big, big + 5000, uint8_t{1}), 5000);

    // A document sized for its tree gives storage of any alignment asked for, in and beyond
    // its first block.
    auto sized = std::make_shared<JKDocument>(100000);
    std::vector<std::pair<uint8_t*, size_t>> parts;
    for (size_t i = 0; i < 2000; ++i) {
        const size_t alignment = size_t{1} << (i % 7), bytes = 1 + i % 300;
        auto* p = static_cast<uint8_t*>(sized->allocate(bytes, alignment));
        ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << i;
        std::memset(p, static_cast<int>(i & 0xFF), bytes);
        parts.emplace_back(p, bytes);
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const auto [p, bytes] = parts[i];
        ASSERT_EQ(std::count(p, p + bytes, static_cast<uint8_t>(i & 0xFF)),
                  static_cast<ptrdiff_t>(bytes))
            << i;
    }
}

// A large reply goes in the blocks of a large tree, beyond the size its text led to expect.
TEST(JKDocument, ReadsALargeReplyWholeAndKeepsItWhileAValueIsHeld) {
    std::string text = "[";
    for (size_t i = 0; i < 40000; ++i) {
        text += plat::format(
            "%s{\"Code\":\"MAG-%06zu\",\"Name\":\"ชีวจิต ฉบับพิเศษ %zu\",\"Tags\":[%zu,%zu.5,"
            "\"long enough to live outside any inline buffer %zu\"]}",
            i ? "," : "", i, i, i, i, i);
    }
    text += "]";
    ASSERT_GT(text.size(), size_t{4} << 20);
    Value last;
    {
        const Value reply = objectFromJSONString(text);
        ASSERT_TRUE(reply.isArray());
        const auto items = reply.array();
        ASSERT_EQ(items->count(), 40000u);
        for (size_t i = 0; i < 40000; i += 997) {
            const auto item = items->objectAtIndex(i).dictionary();
            ASSERT_EQ(item->objectForKey("Code").stringView(), plat::format("MAG-%06zu", i));
            const auto tags = item->objectForKey("Tags").array();
            ASSERT_EQ(tags->objectAtIndex(1).doubleValue(), static_cast<double>(i) + 0.5);
        }
        last = items->objectAtIndex(39999);
        EXPECT_EQ(JSONString(reply.array()).value_or(""), text);
    }
    EXPECT_EQ(last.dictionary()->objectForKey("Name").stringOr(), "ชีวจิต ฉบับพิเศษ 39999");
}
