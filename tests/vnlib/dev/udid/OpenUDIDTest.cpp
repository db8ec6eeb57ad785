#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "platform/core/Collections.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/Pasteboard.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/dev/udid/OpenUDID.h"
#include "vnlib/dev/udid/VndUDID.h"

using plat::Value;

namespace {

constexpr const char* kA = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
constexpr const char* kB = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
constexpr const char* kLocal = "0123456789abcdef0123456789abcdef01234567";

bool isIdentifier(const std::string& text) {
    static const std::regex pattern("^[0-9a-f]{40}$");
    return std::regex_match(text, pattern);
}

Ref<plat::Pasteboard> slot(int n) {
    return plat::Pasteboard::pasteboardWithName(OpenUDID::slotName(n));
}

void putSlot(int n, std::vector<std::pair<Value, Value>> entries) {
    auto record = plat::MutableDictionary::make(std::move(entries));
    ASSERT_TRUE(OpenUDID::_setDict(*record, *slot(n)));
}

Ref<plat::MutableDictionary> readSlot(int n) {
    return OpenUDID::_getDictFromPasteboard(*slot(n));
}

Ref<plat::Dictionary> localRecord() {
    return plat::UserDefaults::standardUserDefaults()->dictionaryForKey("OpenUDID");
}

void putLocalRecord(std::vector<std::pair<Value, Value>> entries) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->setObject(Value(plat::makeDictionary(std::move(entries))), "OpenUDID");
    ASSERT_TRUE(defaults->synchronize());
}

// Every test runs in its own home (defaults file and pasteboard slots) as a new process.
class OpenUDIDTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.set("VARNEL_HOME", testing_support::freshTestFolder().string());
        plat::UserDefaults::resetStandardUserDefaults();
        OpenUDID::resetProcessCacheForTesting();
    }
    void TearDown() override {
        plat::UserDefaults::resetStandardUserDefaults();
        OpenUDID::resetProcessCacheForTesting();
    }

    // What a process end and a new start do: the cache is gone and the defaults are read again
    // from their file.
    static void startNewProcess() {
        plat::UserDefaults::resetStandardUserDefaults();
        OpenUDID::resetProcessCacheForTesting();
    }

    static std::string valueAndError(int64_t& code, std::string& text) {
        Ref<plat::Error> error;
        std::string value = OpenUDID::valueWithError(&error);
        EXPECT_TRUE(error);
        if (error) {
            EXPECT_EQ(error->domain(), kOpenUDIDDomain);
            code = error->code();
            text = error->userInfo()->objectForKey("description").stringOr();
        }
        return value;
    }

    testing_support::ScopedEnvironment env_;
};

}  // namespace

TEST(OpenUDIDFormat, FreshIdentifiersAreFortyLowerCaseHexDigitsAndDiffer) {
    const std::string first = OpenUDID::_generateFreshOpenUDID();
    const std::string second = OpenUDID::_generateFreshOpenUDID();
    EXPECT_TRUE(isIdentifier(first)) << first;
    EXPECT_TRUE(isIdentifier(second)) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(OpenUDID::slotName(7), std::string(kOpenUDIDDomain) + ".slot.7");
}

TEST_F(OpenUDIDTest, FreshStateCreatesTheRecordAndSlotZeroThenAnswersFromTheCache) {
    int64_t code = -1;
    std::string text;
    const std::string udid = valueAndError(code, text);
    EXPECT_TRUE(isIdentifier(udid)) << udid;
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "OpenUDID succesfully retrieved");

    auto record = localRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->objectForKey("OpenUDID").stringOr(), udid);
    EXPECT_EQ(record->objectForKey("OpenUDID_slot").stringOr(), OpenUDID::slotName(0));
    EXPECT_TRUE(record->objectForKey("OpenUDID_createdTS").date());
    EXPECT_EQ(record->objectForKey("OpenUDID_appUID").stringOr().size(), 36u);
    EXPECT_FALSE(record->objectForKey("OpenUDID_optOutTS"));

    auto slotZero = readSlot(0);
    EXPECT_EQ(slotZero->objectForKey("OpenUDID").stringOr(), udid);
    EXPECT_EQ(slotZero->objectForKey("OpenUDID_appUID"), record->objectForKey("OpenUDID_appUID"));
    EXPECT_EQ(readSlot(1)->count(), 0u);

    // The defaults file is private to the user.
    EXPECT_EQ(testing_support::permissionsOf(plat::UserDefaults::standardFilePath()), 0600u);

    EXPECT_EQ(valueAndError(code, text), udid);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "OpenUDID in cache from first call");
    EXPECT_EQ(VndUDID::value(), udid);
}

TEST_F(OpenUDIDTest, StoredIdentifierWinsOverADisagreeingMajorityWithCodeTwo) {
    putLocalRecord({{Value("OpenUDID"), Value(kLocal)},
                    {Value("OpenUDID_appUID"), Value("11111111-2222-3333-4444-555555555555")},
                    {Value("OpenUDID_slot"), Value(OpenUDID::slotName(2))}});
    putSlot(0, {{Value("OpenUDID"), Value(kA)}});
    putSlot(1, {{Value("OpenUDID"), Value(kA)}});
    putSlot(2, {{Value("OpenUDID"), Value(kLocal)},
                {Value("OpenUDID_appUID"), Value("11111111-2222-3333-4444-555555555555")}});

    int64_t code = -1;
    std::string text;
    EXPECT_EQ(valueAndError(code, text), kLocal);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(text,
              "Found a discrepancy between stored OpenUDID (reliable) and redundant copies; one "
              "of the apps on the device is most likely corrupting the OpenUDID protocol");
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID").stringOr(), kLocal);
    EXPECT_EQ(readSlot(0)->objectForKey("OpenUDID").stringOr(), kA);
}

TEST_F(OpenUDIDTest, WithoutALocalRecordTheSlotMajorityIsAdoptedAndCopiedToTheFirstFreeSlot) {
    putSlot(0, {{Value("OpenUDID"), Value(kA)}});
    putSlot(1, {{Value("OpenUDID"), Value(kB)}});
    putSlot(3, {{Value("OpenUDID"), Value(kA)}});

    int64_t code = -1;
    std::string text;
    EXPECT_EQ(valueAndError(code, text), kA);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID").stringOr(), kA);
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID_slot").stringOr(), OpenUDID::slotName(2));
    EXPECT_EQ(readSlot(2)->objectForKey("OpenUDID").stringOr(), kA);
    EXPECT_EQ(readSlot(4)->count(), 0u);
}

TEST_F(OpenUDIDTest, UnreadableAndMalformedSlotsCountAsEmpty) {
    // Not an archive at all, an archive of something other than a record, and a record whose
    // identifier is not one.
    ASSERT_TRUE(slot(0)->setData(plat::Bytes{0xde, 0xad, 0xbe, 0xef}, kOpenUDIDDomain));
    ASSERT_TRUE(slot(1)->setData(*plat::KeyedArchiver::archivedDataWithRootObject(Value("text")),
                                 kOpenUDIDDomain));
    putSlot(2, {{Value("OpenUDID"), Value("not-an-identifier")}});
    putSlot(3, {{Value("OpenUDID"), Value(kB)}});

    EXPECT_EQ(readSlot(0)->count(), 0u);
    EXPECT_EQ(readSlot(1)->count(), 0u);
    EXPECT_EQ(OpenUDID::value(), kB);
    // The first unreadable slot was the free one, and now holds the copy.
    EXPECT_EQ(readSlot(0)->objectForKey("OpenUDID").stringOr(), kB);
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID_slot").stringOr(), OpenUDID::slotName(0));
}

TEST_F(OpenUDIDTest, ANewStartKeepsItsApplicationIdAndItsSlot) {
    const std::string udid = OpenUDID::value();
    const Value appUID = localRecord()->objectForKey("OpenUDID_appUID");

    for (int start = 0; start < 3; ++start) {
        startNewProcess();
        int64_t code = -1;
        std::string text;
        EXPECT_EQ(valueAndError(code, text), udid);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(text, "OpenUDID succesfully retrieved");
    }
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID_appUID"), appUID);
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID_slot").stringOr(), OpenUDID::slotName(0));
    EXPECT_EQ(readSlot(1)->count(), 0u);

    // When its own copy is lost, the application writes it back to the same slot.
    ASSERT_TRUE(slot(0)->setData(plat::Bytes{1, 2, 3}, kOpenUDIDDomain));
    startNewProcess();
    EXPECT_EQ(OpenUDID::value(), udid);
    EXPECT_EQ(readSlot(0)->objectForKey("OpenUDID").stringOr(), udid);
    EXPECT_EQ(readSlot(1)->count(), 0u);
}

TEST_F(OpenUDIDTest, AnotherApplicationSharesTheIdentifierFromItsOwnSlot) {
    const std::string udid = OpenUDID::value();

    // The other application has its own (empty) defaults but the same pasteboards.
    auto other = std::make_shared<plat::UserDefaults>(
        std::filesystem::path(std::getenv("VARNEL_HOME")) / "OtherApplication.plist");
    plat::UserDefaults::setStandardUserDefaults(other);
    OpenUDID::resetProcessCacheForTesting();
    EXPECT_EQ(OpenUDID::value(), udid);
    EXPECT_EQ(other->dictionaryForKey("OpenUDID")->objectForKey("OpenUDID_slot").stringOr(),
              OpenUDID::slotName(1));
    EXPECT_NE(readSlot(1)->objectForKey("OpenUDID_appUID"),
              readSlot(0)->objectForKey("OpenUDID_appUID"));
}

TEST_F(OpenUDIDTest, RecordsFromEarlierVersionsAreKeptAndGainTheApplicationId) {
    // A record without an application id, whose slot an earlier start claimed under a
    // throw-away id.
    putLocalRecord({{Value("OpenUDID"), Value(kLocal)},
                    {Value("OpenUDID_slot"), Value(OpenUDID::slotName(0))}});
    putSlot(0, {{Value("OpenUDID"), Value(kLocal)}, {Value("OpenUDID_appUID"), Value("OLD")}});

    EXPECT_EQ(OpenUDID::value(), kLocal);
    const Value appUID = localRecord()->objectForKey("OpenUDID_appUID");
    EXPECT_EQ(appUID.stringOr().size(), 36u);
    EXPECT_EQ(readSlot(1)->count(), 0u);

    startNewProcess();
    EXPECT_EQ(OpenUDID::value(), kLocal);
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID_appUID"), appUID);
    EXPECT_EQ(readSlot(1)->count(), 0u);
}

TEST_F(OpenUDIDTest, ALocalRecordThatIsNotADictionaryIsReplaced) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->setObject(Value("garbage"), "OpenUDID");
    putSlot(0, {{Value("OpenUDID"), Value(kA)}});

    EXPECT_EQ(OpenUDID::value(), kA);
    ASSERT_TRUE(localRecord());
    EXPECT_EQ(localRecord()->objectForKey("OpenUDID").stringOr(), kA);
}

TEST_F(OpenUDIDTest, OptingOutAnswersZerosUntilOptingInAgainAcrossStarts) {
    const std::string udid = OpenUDID::value();
    const std::string appUID = localRecord()->objectForKey("OpenUDID_appUID").stringOr();

    OpenUDID::setOptOut(true);
    int64_t code = -1;
    std::string text;
    EXPECT_EQ(valueAndError(code, text), std::string(40, '0'));
    EXPECT_EQ(code, 1);
    const std::regex message("^Application with unique id " + appUID +
                             " is opted-out from OpenUDID as of "
                             "\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} \\+0000$");
    EXPECT_TRUE(std::regex_match(text, message)) << text;
    EXPECT_TRUE(localRecord()->objectForKey("OpenUDID_optOutTS").date());

    // The choice holds for later starts, which also check this application's own slot.
    startNewProcess();
    EXPECT_EQ(valueAndError(code, text), std::string(40, '0'));
    EXPECT_EQ(code, 1);
    // The slot still offers the identifier to other applications.
    EXPECT_EQ(readSlot(0)->objectForKey("OpenUDID").stringOr(), udid);

    OpenUDID::setOptOut(false);
    EXPECT_EQ(valueAndError(code, text), udid);
    EXPECT_EQ(code, 0);
    startNewProcess();
    EXPECT_EQ(OpenUDID::value(), udid);
}
