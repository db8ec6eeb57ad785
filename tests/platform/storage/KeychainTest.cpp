#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/core/Collections.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileKeychainBackend.h"
#include "platform/storage/KeychainConformance.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/SecretServiceKeychainBackend.h"

using namespace plat;
using testing_support::KeychainConformance;
namespace fs = std::filesystem;

INSTANTIATE_TEST_SUITE_P(
    Backends, KeychainConformance,
    ::testing::Values(
        testing_support::KeychainFactory{"Memory",
                                         [](const fs::path&) {
                                             return std::make_shared<Keychain>(
                                                 std::make_unique<MemoryKeychainBackend>());
                                         }},
        testing_support::KeychainFactory{"File",
                                         [](const fs::path& folder) {
                                             return std::make_shared<Keychain>(
                                                 std::make_unique<FileKeychainBackend>(
                                                     folder / "Keychain" / "Keychain.plist"));
                                         }}),
    testing_support::keychainFactoryName);

namespace {

Ref<Dictionary> token(const std::string& secret) {
    return makeDictionary({
        {Value(kSecClass), Value(kSecClassGenericPassword)},
        {Value(kSecAttrAccount), Value("VarnelToken")},
        {Value(kSecAttrService), Value("ORV_001")},
        {Value(kSecValueData), Value(Bytes(secret.begin(), secret.end()))},
    });
}

Ref<Dictionary> tokenQuery() {
    return makeDictionary({
        {Value(kSecClass), Value(kSecClassGenericPassword)},
        {Value(kSecAttrAccount), Value("VarnelToken")},
        {Value(kSecAttrService), Value("ORV_001")},
        {Value(kSecReturnData), Value::boolean(true)},
    });
}

}  // namespace

TEST(FileKeychain, ItemsPersistInAPrivateFile) {
    const auto file = testing_support::freshTestFolder() / "Keychain" / "Keychain.plist";
    {
        Keychain keychain(std::make_unique<FileKeychainBackend>(file));
        ASSERT_EQ(keychain.add(*token("persisted")), errSecSuccess);
    }
    EXPECT_EQ(testing_support::permissionsOf(file), 0600u);
    EXPECT_EQ(testing_support::permissionsOf(file.parent_path()), 0700u);

    Keychain reopened(std::make_unique<FileKeychainBackend>(file));
    Value secret;
    ASSERT_EQ(reopened.copyMatching(*tokenQuery(), &secret), errSecSuccess);
    EXPECT_EQ(secret, Value(Bytes{'p', 'e', 'r', 's', 'i', 's', 't', 'e', 'd'}));

    // Two keychains on the same file see each other's changes.
    Keychain other(std::make_unique<FileKeychainBackend>(file));
    ASSERT_EQ(other.deleteItem(*tokenQuery()), errSecSuccess);
    EXPECT_EQ(reopened.copyMatching(*tokenQuery(), nullptr), errSecItemNotFound);
}

TEST(FileKeychain, DamagedFileIsNeverOverwritten) {
    const auto folder = testing_support::freshTestFolder();
    const auto file = folder / "Keychain.plist";
    const std::string damaged = "<plist><dict><key>Version</key><integer>1</integer>";
    { std::ofstream(file) << damaged; }
    Keychain keychain(std::make_unique<FileKeychainBackend>(file));
    EXPECT_EQ(keychain.copyMatching(*tokenQuery(), nullptr), errSecDecode);
    EXPECT_EQ(keychain.add(*token("x")), errSecDecode);
    EXPECT_EQ(keychain.deleteItem(*tokenQuery()), errSecDecode);
    auto bytes = AtomicFile::read(file, 1 << 20);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), damaged);

    // A well-formed file with an item missing its fields is damaged too.
    {
        std::ofstream(file)
            << "<plist><dict><key>Version</key><integer>1</integer><key>Items</key>"
               "<array><dict><key>Account</key><string>a</string></dict></array></dict></plist>";
    }
    EXPECT_EQ(keychain.copyMatching(*tokenQuery(), nullptr), errSecDecode);
}

TEST(FileKeychain, UnwritableLocationIsAnIoError) {
    const auto folder = testing_support::freshTestFolder();
    { std::ofstream(folder / "blocker") << "x"; }
    Keychain keychain(std::make_unique<FileKeychainBackend>(folder / "blocker" / "Keychain.plist"));
    EXPECT_EQ(keychain.add(*token("x")), errSecIO);
}

TEST(KeychainSelection, EnvironmentChoosesTheBackend) {
    testing_support::ScopedEnvironment env;
    env.set("VARNEL_KEYCHAIN", "memory");
    EXPECT_STREQ(Keychain::makeDefault()->backendName(), "memory");
    env.set("VARNEL_KEYCHAIN", "file");
    EXPECT_STREQ(Keychain::makeDefault()->backendName(), "file");
    env.set("VARNEL_KEYCHAIN", "secret-service");
    EXPECT_STREQ(Keychain::makeDefault()->backendName(), "secret-service");
    // No choice: an isolated home (as in every test) keeps secrets in its own file store.
    env.set("VARNEL_KEYCHAIN", std::nullopt);
    EXPECT_STREQ(Keychain::makeDefault()->backendName(), "file");
    env.set("VARNEL_KEYCHAIN", "bogus");
    EXPECT_STREQ(Keychain::makeDefault()->backendName(), "file");
}

TEST(KeychainSelection, NoSessionBusMeansNoSecretService) {
    testing_support::ScopedEnvironment env;
    env.set("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    env.set("XDG_RUNTIME_DIR", testing_support::freshTestFolder().string());
    EXPECT_FALSE(SecretServiceKeychainBackend::isAvailable());
    env.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/varnel-test-bus");
    EXPECT_FALSE(SecretServiceKeychainBackend::isAvailable());
}

TEST(KeychainSelection, SharedKeychainServesThePlatformCalls) {
    testing_support::ScopedEnvironment env;
    env.set("VARNEL_KEYCHAIN", "memory");
    Keychain::setShared(nullptr);
    EXPECT_STREQ(Keychain::shared()->backendName(), "memory");
    EXPECT_EQ(Keychain::shared(), Keychain::shared());

    EXPECT_EQ(SecItemAdd(*token("shared")), errSecSuccess);
    EXPECT_EQ(SecItemAdd(*token("again")), errSecDuplicateItem);
    Value secret;
    EXPECT_EQ(SecItemCopyMatching(*tokenQuery(), &secret), errSecSuccess);
    EXPECT_EQ(SecItemUpdate(*makeDictionary({{Value(kSecClass), Value(kSecClassGenericPassword)},
                                             {Value(kSecAttrAccount), Value("VarnelToken")}}),
                            *makeDictionary({{Value(kSecAttrLabel), Value("l")}})),
              errSecSuccess);
    EXPECT_EQ(SecItemDelete(*tokenQuery()), errSecSuccess);
    EXPECT_EQ(SecItemDelete(*tokenQuery()), errSecItemNotFound);

    auto mine = std::make_shared<Keychain>(std::make_unique<MemoryKeychainBackend>());
    Keychain::setShared(mine);
    EXPECT_EQ(Keychain::shared(), mine);
    Keychain::setShared(nullptr);
}
