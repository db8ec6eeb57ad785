#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/storage/FileKeychainBackend.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/dev/keychain/VnKeychainItemWrapper.h"

using plat::Value;

namespace {

// A memory keychain that counts its writes and can be told to refuse them.
class ObservedBackend : public plat::KeychainBackend {
  public:
    struct Control {
        std::atomic<int> writes{0};
        std::atomic<plat::OSStatus> failWritesWith{plat::errSecSuccess};
    };
    explicit ObservedBackend(std::shared_ptr<Control> control) : control_(std::move(control)) {}

    const char* name() const override { return "observed"; }
    plat::OSStatus find(const plat::KeychainFilter& filter,
                        std::vector<plat::KeychainItem>& out) override {
        return items_.find(filter, out);
    }
    plat::OSStatus apply(const std::vector<plat::KeychainItemKey>& remove,
                         const std::vector<plat::KeychainItem>& store) override {
        if (control_->failWritesWith != plat::errSecSuccess)
            return control_->failWritesWith;
        ++control_->writes;
        return items_.apply(remove, store);
    }

  private:
    std::shared_ptr<Control> control_;
    plat::MemoryKeychainBackend items_;
};

std::string text(const Value& value) {
    return value.stringOr("<not a text>");
}

class KeychainItemWrapperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::Keychain::setShared(
            std::make_shared<plat::Keychain>(std::make_unique<ObservedBackend>(control_)));
        previousSink_ =
            plat::setLogSink([this](std::string_view line) { logged_.emplace_back(line); });
    }
    void TearDown() override {
        plat::setLogSink(previousSink_);
        plat::Keychain::setShared(nullptr);
    }

    static Ref<VnKeychainItemWrapper> tokenItem() {
        return std::make_shared<VnKeychainItemWrapper>("VarnelToken", "ORV_001", std::nullopt);
    }

    // The secret bytes stored under the token item's account and service, as text.
    static std::optional<std::string> storedSecret() {
        auto query = plat::makeDictionary({
            {Value(plat::kSecClass), Value(plat::kSecClassGenericPassword)},
            {Value(plat::kSecAttrAccount), Value("VarnelToken")},
            {Value(plat::kSecAttrService), Value("ORV_001")},
            {Value(plat::kSecReturnData), Value::boolean(true)},
        });
        Value result;
        if (plat::SecItemCopyMatching(*query, &result) != plat::errSecSuccess)
            return std::nullopt;
        return std::string(result.bytes()->begin(), result.bytes()->end());
    }

    bool wasLogged(const std::string& line) const {
        return std::find(logged_.begin(), logged_.end(), line) != logged_.end();
    }

    std::shared_ptr<ObservedBackend::Control> control_ =
        std::make_shared<ObservedBackend::Control>();
    std::vector<std::string> logged_;
    plat::LogSink previousSink_;
};

}  // namespace

TEST_F(KeychainItemWrapperTest, WithoutAStoredItemTheDefaultsAreInMemoryAndNothingIsWritten) {
    auto item = tokenItem();
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrAccount)), "VarnelToken");
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrService)), "ORV_001");
    EXPECT_EQ(text(item->objectForKey(plat::kSecValueData)), "");
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrLabel)), "");
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrDescription)), "");
    EXPECT_EQ(control_->writes, 0);
    EXPECT_FALSE(storedSecret());
}

TEST_F(KeychainItemWrapperTest, FirstValueAddsTheItemAndAChangedValueUpdatesIt) {
    auto item = tokenItem();
    EXPECT_TRUE(item->setObject(Value("first-token"), plat::kSecValueData));
    EXPECT_EQ(control_->writes, 1);
    EXPECT_EQ(storedSecret(), "first-token");

    EXPECT_TRUE(item->setObject(Value("second-token"), plat::kSecValueData));
    EXPECT_EQ(control_->writes, 2);
    EXPECT_EQ(storedSecret(), "second-token");

    // Exactly one item, which a new wrapper loads.
    auto all = plat::makeDictionary({
        {Value(plat::kSecClass), Value(plat::kSecClassGenericPassword)},
        {Value(plat::kSecMatchLimit), Value(plat::kSecMatchLimitAll)},
        {Value(plat::kSecReturnAttributes), Value::boolean(true)},
    });
    Value found;
    ASSERT_EQ(plat::SecItemCopyMatching(*all, &found), plat::errSecSuccess);
    EXPECT_EQ(found.array()->count(), 1u);
    EXPECT_EQ(text(tokenItem()->objectForKey(plat::kSecValueData)), "second-token");
}

TEST_F(KeychainItemWrapperTest, AnEqualOrMissingValueWritesNothing) {
    auto item = tokenItem();
    EXPECT_TRUE(item->setObject(Value("token"), plat::kSecValueData));
    EXPECT_TRUE(item->setObject(Value("token"), plat::kSecValueData));
    EXPECT_TRUE(item->setObject(Value(), plat::kSecValueData));
    EXPECT_EQ(control_->writes, 1);
    EXPECT_EQ(text(item->objectForKey(plat::kSecValueData)), "token");

    // Loaded from the keychain, the same value is still equal.
    EXPECT_TRUE(tokenItem()->setObject(Value("token"), plat::kSecValueData));
    EXPECT_EQ(control_->writes, 1);
}

TEST_F(KeychainItemWrapperTest, ResetDeletesTheItemAndToleratesAMissingOne) {
    auto fresh = tokenItem();
    EXPECT_NO_THROW(fresh->resetKeychainItem());
    EXPECT_EQ(text(fresh->objectForKey(plat::kSecValueData)), "");

    auto item = tokenItem();
    ASSERT_TRUE(item->setObject(Value("token"), plat::kSecValueData));
    ASSERT_TRUE(item->setObject(Value("Varnel"), plat::kSecAttrLabel));
    item->resetKeychainItem();
    EXPECT_EQ(text(item->objectForKey(plat::kSecValueData)), "");
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrLabel)), "");
    EXPECT_EQ(text(item->objectForKey(plat::kSecAttrAccount)), "VarnelToken");
    EXPECT_FALSE(storedSecret());
    EXPECT_EQ(text(tokenItem()->objectForKey(plat::kSecValueData)), "");
}

TEST_F(KeychainItemWrapperTest, NonAsciiValuesRoundTripAsUtf8) {
    const std::string thai = "รหัสผ่านของฉัน 🔑";
    ASSERT_TRUE(tokenItem()->setObject(Value(thai), plat::kSecValueData));
    EXPECT_EQ(storedSecret(), thai);
    EXPECT_EQ(text(tokenItem()->objectForKey(plat::kSecValueData)), thai);
}

TEST_F(KeychainItemWrapperTest, ARefusedWriteIsReportedAndMemoryKeepsTheStoredValue) {
    auto item = tokenItem();
    control_->failWritesWith = plat::errSecIO;
    EXPECT_FALSE(item->setObject(Value("lost"), plat::kSecValueData));
    EXPECT_TRUE(wasLogged("Couldn't add the Keychain Item. -36"));
    EXPECT_EQ(text(item->objectForKey(plat::kSecValueData)), "");

    control_->failWritesWith = plat::errSecSuccess;
    ASSERT_TRUE(item->setObject(Value("kept"), plat::kSecValueData));
    control_->failWritesWith = plat::errSecIO;
    EXPECT_FALSE(item->setObject(Value("lost"), plat::kSecValueData));
    EXPECT_TRUE(wasLogged("Couldn't update the Keychain Item. -36"));
    EXPECT_EQ(text(item->objectForKey(plat::kSecValueData)), "kept");
    EXPECT_EQ(storedSecret(), "kept");

    // Once the keychain works again, the same value is written rather than taken as unchanged.
    control_->failWritesWith = plat::errSecSuccess;
    EXPECT_TRUE(item->setObject(Value("lost"), plat::kSecValueData));
    EXPECT_EQ(storedSecret(), "lost");
}

TEST_F(KeychainItemWrapperTest, AFailedDeleteOtherThanNotFoundIsAnAssertion) {
    auto item = tokenItem();
    ASSERT_TRUE(item->setObject(Value("token"), plat::kSecValueData));
    control_->failWritesWith = plat::errSecIO;
    try {
        item->resetKeychainItem();
        FAIL() << "no assertion";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), plat::NSInternalInconsistencyException);
        EXPECT_EQ(e.reason(), "Problem deleting current dictionary.");
    }
}

TEST_F(KeychainItemWrapperTest, AnUnreadableSecretIsLoggedAndTheItemCanStillBeWritten) {
    // A secret that is not UTF-8, stored by someone else.
    auto attributes = plat::makeDictionary({
        {Value(plat::kSecClass), Value(plat::kSecClassGenericPassword)},
        {Value(plat::kSecAttrAccount), Value("VarnelToken")},
        {Value(plat::kSecAttrService), Value("ORV_001")},
        {Value(plat::kSecValueData), Value(plat::Bytes{0xff, 0xfe, 0x00})},
    });
    ASSERT_EQ(plat::SecItemAdd(*attributes), plat::errSecSuccess);

    auto item = tokenItem();
    EXPECT_TRUE(wasLogged("Serious error, no matching item found in the keychain.\n"));
    EXPECT_FALSE(item->objectForKey(plat::kSecValueData));
    EXPECT_FALSE(item->objectForKey(plat::kSecReturnData));
    EXPECT_TRUE(item->setObject(Value("replacement"), plat::kSecValueData));
    EXPECT_EQ(storedSecret(), "replacement");
}

TEST_F(KeychainItemWrapperTest, AccountOrServiceIsRequired) {
    try {
        VnKeychainItemWrapper item(std::nullopt, std::nullopt, std::nullopt);
        FAIL() << "no assertion";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), plat::NSInternalInconsistencyException);
        EXPECT_EQ(e.reason(), "Both account and service are nil.  Must specifiy at least one.");
    }
    EXPECT_NO_THROW(VnKeychainItemWrapper("account only", std::nullopt, std::nullopt));
}

TEST_F(KeychainItemWrapperTest, ItemsAreKeptApartByAccessGroupAndByIdentifier) {
    auto grouped = std::make_shared<VnKeychainItemWrapper>("VarnelToken", "ORV_001", "group.a");
    EXPECT_EQ(text(grouped->objectForKey(plat::kSecAttrAccessGroup)), "group.a");
    ASSERT_TRUE(grouped->setObject(Value("in group a"), plat::kSecValueData));
    auto other = std::make_shared<VnKeychainItemWrapper>("VarnelToken", "ORV_001", "group.b");
    EXPECT_EQ(text(other->objectForKey(plat::kSecValueData)), "");
    EXPECT_EQ(text(std::make_shared<VnKeychainItemWrapper>("VarnelToken", "ORV_001", "group.a")
                       ->objectForKey(plat::kSecValueData)),
              "in group a");

    auto byIdentifier = VnKeychainItemWrapper::initWithIdentifier("reader", std::nullopt);
    ASSERT_TRUE(byIdentifier->setObject(Value("by identifier"), plat::kSecValueData));
    EXPECT_EQ(text(VnKeychainItemWrapper::initWithIdentifier("reader", std::nullopt)
                       ->objectForKey(plat::kSecValueData)),
              "by identifier");
}

TEST(KeychainItemWrapperFileStore, TheFileStoreIsPrivateAndKeepsTheItem) {
    testing_support::ScopedEnvironment env;
    env.set("VARNEL_HOME", testing_support::freshTestFolder().string());
    env.set("VARNEL_KEYCHAIN", "file");
    plat::Keychain::setShared(nullptr);
    ASSERT_STREQ(plat::Keychain::shared()->backendName(), "file");

    auto item = std::make_shared<VnKeychainItemWrapper>("VarnelAccount", "ORV_001", std::nullopt);
    ASSERT_TRUE(item->setObject(Value("รหัสลับ"), plat::kSecValueData));
    const auto file = plat::FileKeychainBackend::standardFilePath();
    EXPECT_EQ(testing_support::permissionsOf(file), 0600u);

    plat::Keychain::setShared(nullptr);
    auto reloaded =
        std::make_shared<VnKeychainItemWrapper>("VarnelAccount", "ORV_001", std::nullopt);
    EXPECT_EQ(text(reloaded->objectForKey(plat::kSecValueData)), "รหัสลับ");
    plat::Keychain::setShared(nullptr);
}
