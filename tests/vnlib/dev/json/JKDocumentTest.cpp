#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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
    std::vector<const std::string*> strings;
    for (size_t i = 0; i < 3000; ++i)
        strings.push_back(&document->makeString(std::string(i % 97, 'x').c_str(), i % 97));
    void* large = document->allocate(1 << 20);  // larger than any block
    std::memset(large, 0xAB, 1 << 20);
    void* small = document->allocate(24);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % alignof(std::max_align_t), 0u);
    for (size_t i = 0; i < strings.size(); ++i)
        ASSERT_EQ(*strings[i], std::string(i % 97, 'x'));
}
