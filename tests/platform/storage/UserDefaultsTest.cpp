#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/core/Collections.h"
#include "platform/core/Exception.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"

using plat::UserDefaults;
using plat::Value;
namespace fs = std::filesystem;

namespace {

Value openUdidRecord() {
    return Value::fromObject(plat::makeDictionary({
        {Value("OpenUDID"), Value("0123456789abcdef0123456789abcdef01234567")},
        {Value("OpenUDID_createdTS"), Value(plat::Date{1700000000})},
        {Value("OpenUDID_slot"), Value("org.OpenUDID.slot.0")},
    }));
}

}  // namespace

TEST(UserDefaults, ValuesSurviveAReloadAndTheFileIsPrivate) {
    const auto file = testing_support::freshTestFolder() / "cfg" / "UserDefaults.plist";
    {
        UserDefaults d(file);
        d.setObject(Value("token-123"), "Varnel/SessionToken");
        d.setObject(Value(int32_t{2}), "Varnel/AuthenticationMethod");
        d.setObject(Value::boolean(true), "Varnel/IsTestAccount");
        d.setObject(Value("YES"), "tom/UserIsSinglePage");
        d.setObject(Value(int32_t{17}), "tom/ISS123/LastViewedPageIndex");
        d.setObject(openUdidRecord(), "OpenUDID");
        ASSERT_TRUE(d.synchronize()) << d.lastError()->localizedDescription();
    }
    EXPECT_EQ(testing_support::permissionsOf(file), 0600u);
    EXPECT_EQ(testing_support::permissionsOf(file.parent_path()), 0700u);

    UserDefaults again(file);
    EXPECT_EQ(again.stringForKey("Varnel/SessionToken"), "token-123");
    EXPECT_EQ(again.integerForKey("Varnel/AuthenticationMethod"), 2);
    EXPECT_TRUE(again.boolForKey("Varnel/IsTestAccount"));
    EXPECT_TRUE(again.objectForKey("Varnel/IsTestAccount").isBool());
    EXPECT_TRUE(again.boolForKey("tom/UserIsSinglePage"));
    EXPECT_EQ(again.integerForKey("tom/ISS123/LastViewedPageIndex"), 17);
    EXPECT_EQ(again.objectForKey("OpenUDID"), openUdidRecord());
}

TEST(UserDefaults, RemovalAndNilAreSavedToo) {
    const auto file = testing_support::freshTestFolder() / "UserDefaults.plist";
    {
        UserDefaults d(file);
        d.setObject(Value("a"), "one");
        d.setObject(Value("b"), "two");
        d.setObject(Value("c"), "three");
        ASSERT_TRUE(d.synchronize());
        d.removeObjectForKey("one");
        d.setObject(Value(), "two");  // nil removes
        d.removeObjectForKey("never-there");
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults again(file);
    EXPECT_TRUE(again.objectForKey("one").isNil());
    EXPECT_TRUE(again.objectForKey("two").isNil());
    EXPECT_EQ(again.objectForKey("three"), Value("c"));
    EXPECT_EQ(again.dictionaryRepresentation()->count(), 1u);
}

TEST(UserDefaults, TypedReadings) {
    UserDefaults d(testing_support::freshTestFolder() / "UserDefaults.plist");
    d.setObject(Value("NO"), "no");
    d.setObject(Value("yes"), "yes");
    d.setObject(Value("true"), "true");
    d.setObject(Value("12"), "twelve");
    d.setObject(Value(int32_t{0}), "zero");
    d.setObject(Value(2.5), "real");
    d.setObject(Value(plat::Bytes{1, 2}), "data");
    EXPECT_FALSE(d.boolForKey("no"));
    EXPECT_TRUE(d.boolForKey("yes"));
    EXPECT_TRUE(d.boolForKey("true"));
    EXPECT_TRUE(d.boolForKey("twelve"));
    EXPECT_FALSE(d.boolForKey("zero"));
    EXPECT_FALSE(d.boolForKey("absent"));
    EXPECT_EQ(d.integerForKey("twelve"), 12);
    EXPECT_EQ(d.integerForKey("absent"), 0);
    EXPECT_EQ(d.doubleForKey("real"), 2.5);
    EXPECT_EQ(d.stringForKey("real"), "2.5");
    EXPECT_FALSE(d.stringForKey("data"));
    EXPECT_EQ(*d.dataForKey("data"), (plat::Bytes{1, 2}));
    EXPECT_FALSE(d.dictionaryForKey("no"));
    EXPECT_FALSE(d.arrayForKey("no"));
}

TEST(UserDefaults, StoresACopyAndRefusesValuesThatAreNotPropertyLists) {
    UserDefaults d(testing_support::freshTestFolder() / "UserDefaults.plist");
    auto storage = plat::MutableDictionary::make();
    storage->setObject(Value("abc"), Value("ACCESS_TOKEN"));
    d.setObject(Value::fromObject(storage), "OAuthStorage");
    storage->setObject(Value("changed later"), Value("ACCESS_TOKEN"));
    EXPECT_EQ(d.dictionaryForKey("OAuthStorage")->objectForKey("ACCESS_TOKEN"), Value("abc"));
    EXPECT_FALSE(d.dictionaryForKey("OAuthStorage")->isMutable());

    EXPECT_THROW(d.setObject(Value::null(), "bad"), plat::Exception);
    auto badKey = plat::makeDictionary({{Value(int32_t{1}), Value("x")}});
    EXPECT_THROW(d.setObject(Value::fromObject(badKey), "bad"), plat::Exception);
    EXPECT_TRUE(d.objectForKey("bad").isNil());
}

TEST(UserDefaults, DamagedFileIsKeptAsideNotOverwritten) {
    const auto folder = testing_support::freshTestFolder();
    const auto file = folder / "UserDefaults.plist";
    { std::ofstream(file) << "<plist><dict><key>broken"; }
    UserDefaults d(file);
    EXPECT_TRUE(d.lastError());
    EXPECT_TRUE(d.objectForKey("broken").isNil());
    ASSERT_TRUE(fs::exists(folder / "UserDefaults.plist.corrupt"));
    d.setObject(Value("fresh"), "k");
    ASSERT_TRUE(d.synchronize());
    std::ifstream kept(folder / "UserDefaults.plist.corrupt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "<plist><dict><key>broken");
}

TEST(UserDefaults, FailedSynchronizeKeepsChangesForTheNextTry) {
    const auto folder = testing_support::freshTestFolder();
    { std::ofstream(folder / "blocker") << "a file where the folder should be"; }
    const auto file = folder / "blocker" / "UserDefaults.plist";
    {
        UserDefaults d(file);
        d.setObject(Value("v"), "k");
        EXPECT_FALSE(d.synchronize());
        EXPECT_TRUE(d.lastError());
        EXPECT_EQ(d.objectForKey("k"), Value("v"));

        fs::remove(folder / "blocker");
        EXPECT_TRUE(d.synchronize());
        EXPECT_FALSE(d.lastError());
    }
    EXPECT_EQ(UserDefaults(file).objectForKey("k"), Value("v"));
}

TEST(UserDefaults, SharedInstanceLivesInTheConfigurationFolder) {
    testing_support::ScopedEnvironment env;
    const auto home = testing_support::freshTestFolder();
    env.set("VARNEL_HOME", home.string());
    UserDefaults::resetStandardUserDefaults();

    auto shared = UserDefaults::standardUserDefaults();
    EXPECT_EQ(shared, UserDefaults::standardUserDefaults());
    EXPECT_EQ(shared->filePath(), home / "Varnel" / "UserDefaults.plist");
    shared->setObject(Value("kept"), "unsynchronised");
    shared.reset();
    UserDefaults::resetStandardUserDefaults();  // the dropped instance saves what it held

    EXPECT_EQ(UserDefaults::standardUserDefaults()->objectForKey("unsynchronised"), Value("kept"));
    auto replacement = std::make_shared<UserDefaults>(home / "other.plist");
    UserDefaults::setStandardUserDefaults(replacement);
    EXPECT_EQ(UserDefaults::standardUserDefaults(), replacement);
    UserDefaults::resetStandardUserDefaults();
}
