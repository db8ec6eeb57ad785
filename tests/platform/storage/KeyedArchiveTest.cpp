#include <gtest/gtest.h>

#include "platform/core/Collections.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/PropertyList.h"

using plat::Bytes;
using plat::KeyedArchiver;
using plat::KeyedUnarchiver;
using plat::Value;

TEST(KeyedArchive, RoundTripsPropertyListValues) {
    const Value record = Value::fromObject(plat::makeDictionary({
        {Value("OpenUDID"), Value("0123456789abcdef0123456789abcdef01234567")},
        {Value("OpenUDID_appUID"), Value("1B4E28BA-2FA1-41D2-883F-0016D3CCA427")},
        {Value("OpenUDID_createdTS"), Value(plat::Date{1712345678.125})},
        {Value("Nested"), Value::fromObject(plat::Array::make(
                              {Value(int32_t{3}), Value(Bytes{0, 255}), Value::boolean(false)}))},
    }));
    auto archive = KeyedArchiver::archivedDataWithRootObject(record);
    ASSERT_TRUE(archive);
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(*archive), record);
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(
                  *KeyedArchiver::archivedDataWithRootObject(Value("s"))),
              Value("s"));
}

TEST(KeyedArchive, AnythingElseUnarchivesAsNothing) {
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(Bytes{}).isNil());
    EXPECT_TRUE(
        KeyedUnarchiver::unarchiveObjectWithData(Bytes{'b', 'p', 'l', 'i', 's', 't'}).isNil());
    // A property list that is not an archive.
    auto plain = plat::PropertyList::dataWithPropertyList(
        Value::fromObject(plat::makeDictionary({{Value("root"), Value("x")}})));
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(*plain).isNil());
    // An archive of another version, and a truncated archive.
    auto archive = KeyedArchiver::archivedDataWithRootObject(Value("x"));
    std::string text(archive->begin(), archive->end());
    const auto at = text.find("<integer>1</integer>");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 20, "<integer>2</integer>");
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(Bytes(text.begin(), text.end())).isNil());
    Bytes cut(archive->begin(), archive->begin() + static_cast<ptrdiff_t>(archive->size() / 2));
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(cut).isNil());
    // Values that cannot be archived.
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value::null()));
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value()));
}
