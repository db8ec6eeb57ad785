#include <filesystem>

#include "platform/core/Collections.h"
#include "platform/storage/KeychainConformance.h"
#include "platform/storage/ScopedEnvironment.h"

using namespace plat;
using testing_support::KeychainConformance;

namespace {

// Every test uses its own service name, so backends that share one store between tests (the
// Secret Service) still start each test empty.
class Fixture {
  public:
    explicit Fixture(const testing_support::KeychainFactory& factory)
        : keychain(factory.make(testing_support::freshTestFolder())) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        service = std::string("svc.") + info->name();
    }

    Ref<Dictionary> item(const std::string& account, const std::string& secret,
                         std::vector<std::pair<Value, Value>> extra = {}) const {
        auto d = MutableDictionary::make({
            {Value(kSecClass), Value(kSecClassGenericPassword)},
            {Value(kSecAttrAccount), Value(account)},
            {Value(kSecAttrService), Value(service)},
            {Value(kSecValueData), Value(Bytes(secret.begin(), secret.end()))},
        });
        for (auto& [k, v] : extra)
            d->setObject(v, k);
        return d;
    }

    Ref<Dictionary> query(const std::string& account,
                          std::vector<std::pair<Value, Value>> extra = {}) const {
        auto d = MutableDictionary::make({
            {Value(kSecClass), Value(kSecClassGenericPassword)},
            {Value(kSecAttrService), Value(service)},
        });
        if (!account.empty())
            d->setObject(Value(account), Value(kSecAttrAccount));
        for (auto& [k, v] : extra)
            d->setObject(v, k);
        return d;
    }

    Ref<Dictionary> attributes(std::vector<std::pair<Value, Value>> entries) const {
        return MutableDictionary::make(std::move(entries));
    }

    std::optional<std::string> secret(const std::string& account) const {
        Value result;
        if (keychain->copyMatching(*query(account, {{Value(kSecReturnData), Value::boolean(true)}}),
                                   &result) != errSecSuccess) {
            return std::nullopt;
        }
        const Bytes* b = result.bytes();
        return b ? std::optional<std::string>(std::string(b->begin(), b->end())) : std::nullopt;
    }

    Ref<Keychain> keychain;
    std::string service;
};

}  // namespace

TEST_P(KeychainConformance, AddFindAndReadBack) {
    Fixture f(GetParam());
    const std::string thai = "รหัสผ่าน-ลับ";
    ASSERT_EQ(f.keychain->add(*f.item(
                  "VarnelAccount", thai,
                  {{Value(kSecAttrLabel), Value("")},
                   {Value(kSecAttrDescription), Value("")},
                   {Value(kSecAttrAccessible), Value(kSecAttrAccessibleWhenUnlockedThisDeviceOnly)},
                   {Value(kSecAttrGeneric), Value("tom")}})),
              errSecSuccess);

    Value attrs;
    ASSERT_EQ(f.keychain->copyMatching(
                  *f.query("VarnelAccount", {{Value(kSecReturnAttributes), Value::boolean(true)},
                                             {Value(kSecMatchLimit), Value(kSecMatchLimitOne)}}),
                  &attrs),
              errSecSuccess);
    auto d = attrs.dictionary();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->objectForKey(kSecClass), Value(kSecClassGenericPassword));
    EXPECT_EQ(d->objectForKey(kSecAttrAccount), Value("VarnelAccount"));
    EXPECT_EQ(d->objectForKey(kSecAttrService), Value(f.service));
    EXPECT_EQ(d->objectForKey(kSecAttrLabel), Value(""));
    EXPECT_EQ(d->objectForKey(kSecAttrAccessible),
              Value(kSecAttrAccessibleWhenUnlockedThisDeviceOnly));
    EXPECT_EQ(d->objectForKey(kSecAttrGeneric), Value("tom"));
    EXPECT_TRUE(d->objectForKey(kSecAttrAccessGroup).isNil());
    EXPECT_TRUE(d->objectForKey(kSecValueData).isNil());  // attributes only

    EXPECT_EQ(f.secret("VarnelAccount"), thai);

    Value both;
    ASSERT_EQ(f.keychain->copyMatching(
                  *f.query("VarnelAccount", {{Value(kSecReturnAttributes), Value::boolean(true)},
                                             {Value(kSecReturnData), Value::boolean(true)}}),
                  &both),
              errSecSuccess);
    EXPECT_EQ(both.dictionary()->objectForKey(kSecValueData),
              Value(Bytes(thai.begin(), thai.end())));
}

TEST_P(KeychainConformance, StatusCodesForDuplicatesAndMissingItems) {
    Fixture f(GetParam());
    Value result = Value("stale");
    EXPECT_EQ(f.keychain->copyMatching(
                  *f.query("nobody", {{Value(kSecReturnData), Value::boolean(true)}}), &result),
              errSecItemNotFound);
    EXPECT_TRUE(result.isNil());
    EXPECT_EQ(
        f.keychain->update(*f.query("nobody"), *f.attributes({{Value(kSecAttrLabel), Value("x")}})),
        errSecItemNotFound);
    EXPECT_EQ(f.keychain->deleteItem(*f.query("nobody")), errSecItemNotFound);

    ASSERT_EQ(f.keychain->add(*f.item("VarnelToken", "one")), errSecSuccess);
    EXPECT_EQ(f.keychain->add(*f.item("VarnelToken", "two")), errSecDuplicateItem);
    EXPECT_EQ(f.secret("VarnelToken"), "one");
}

TEST_P(KeychainConformance, UpdateChangesValueAndAttributes) {
    Fixture f(GetParam());
    ASSERT_EQ(f.keychain->add(*f.item("VarnelToken", "old", {{Value(kSecAttrLabel), Value("")}})),
              errSecSuccess);
    const std::string fresh = "new token";
    ASSERT_EQ(f.keychain->update(
                  *f.query("VarnelToken"),
                  *f.attributes({{Value(kSecValueData), Value(Bytes(fresh.begin(), fresh.end()))},
                                 {Value(kSecAttrLabel), Value("renamed")},
                                 {Value(kSecAttrGeneric), Value(Bytes{0, 1, 2})}})),
              errSecSuccess);
    EXPECT_EQ(f.secret("VarnelToken"), fresh);
    Value attrs;
    ASSERT_EQ(f.keychain->copyMatching(
                  *f.query("VarnelToken", {{Value(kSecAttrLabel), Value("renamed")},
                                           {Value(kSecReturnAttributes), Value::boolean(true)}}),
                  &attrs),
              errSecSuccess);
    EXPECT_EQ(attrs.dictionary()->objectForKey(kSecAttrGeneric), Value(Bytes{0, 1, 2}));
    // The old label no longer matches.
    EXPECT_EQ(f.keychain->copyMatching(*f.query("VarnelToken", {{Value(kSecAttrLabel), Value("")}}),
                                       nullptr),
              errSecItemNotFound);
}

TEST_P(KeychainConformance, UpdateThatWouldCreateADuplicateChangesNothing) {
    Fixture f(GetParam());
    ASSERT_EQ(f.keychain->add(*f.item("first", "1")), errSecSuccess);
    ASSERT_EQ(f.keychain->add(*f.item("second", "2")), errSecSuccess);
    EXPECT_EQ(f.keychain->update(*f.query("second"),
                                 *f.attributes({{Value(kSecAttrAccount), Value("first")},
                                                {Value(kSecValueData), Value(Bytes{'x'})}})),
              errSecDuplicateItem);
    EXPECT_EQ(f.secret("first"), "1");
    EXPECT_EQ(f.secret("second"), "2");
    // Renaming to a free account is fine.
    EXPECT_EQ(f.keychain->update(*f.query("second"),
                                 *f.attributes({{Value(kSecAttrAccount), Value("third")}})),
              errSecSuccess);
    EXPECT_EQ(f.secret("third"), "2");
    EXPECT_FALSE(f.secret("second"));
}

// The item wrapper deletes with its whole in-memory item: empty label and description and the
// value itself. Absent text attributes match the empty text, and the value is not a criterion.
TEST_P(KeychainConformance, DeleteWithTheWrappersFullItem) {
    Fixture f(GetParam());
    ASSERT_EQ(f.keychain->add(*f.item("VarnelAccount", "secret")), errSecSuccess);
    auto full =
        f.item("VarnelAccount", "a different value",
               {{Value(kSecAttrLabel), Value("")}, {Value(kSecAttrDescription), Value("")}});
    EXPECT_EQ(f.keychain->deleteItem(*full), errSecSuccess);
    EXPECT_FALSE(f.secret("VarnelAccount"));
    EXPECT_EQ(f.keychain->deleteItem(*full), errSecItemNotFound);
}

TEST_P(KeychainConformance, AccessGroupsSeparateItems) {
    Fixture f(GetParam());
    ASSERT_EQ(f.keychain->add(*f.item("acct", "plain")), errSecSuccess);
    ASSERT_EQ(f.keychain->add(
                  *f.item("acct", "grouped", {{Value(kSecAttrAccessGroup), Value("group.a")}})),
              errSecSuccess);
    Value all;
    ASSERT_EQ(f.keychain->copyMatching(
                  *f.query("acct", {{Value(kSecMatchLimit), Value(kSecMatchLimitAll)},
                                    {Value(kSecReturnData), Value::boolean(true)}}),
                  &all),
              errSecSuccess);
    ASSERT_TRUE(all.array());
    EXPECT_EQ(all.array()->count(), 2u);
    Value one;
    ASSERT_EQ(
        f.keychain->copyMatching(*f.query("acct", {{Value(kSecAttrAccessGroup), Value("group.a")},
                                                   {Value(kSecReturnData), Value::boolean(true)}}),
                                 &one),
        errSecSuccess);
    EXPECT_EQ(one, Value(Bytes{'g', 'r', 'o', 'u', 'p', 'e', 'd'}));
    EXPECT_EQ(
        f.keychain->deleteItem(*f.query("acct", {{Value(kSecAttrAccessGroup), Value("group.a")}})),
        errSecSuccess);
    EXPECT_EQ(f.secret("acct"), "plain");
}

TEST_P(KeychainConformance, MalformedCallsAreParameterErrors) {
    Fixture f(GetParam());
    auto noClass = f.query("a");
    std::static_pointer_cast<MutableDictionary>(noClass)->removeObjectForKey(Value(kSecClass));
    EXPECT_EQ(f.keychain->copyMatching(*noClass, nullptr), errSecParam);
    EXPECT_EQ(f.keychain->add(*f.item("a", "x", {{Value(kSecClass), Value("internetPassword")}})),
              errSecParam);
    EXPECT_EQ(f.keychain->add(*f.item("a", "x", {{Value(kSecValueData), Value("text, not data")}})),
              errSecParam);
    EXPECT_EQ(f.keychain->add(*f.item("a", "x", {{Value("bogusKey"), Value("v")}})), errSecParam);
    EXPECT_EQ(f.keychain->add(*f.item("a", "x", {{Value(kSecAttrLabel), Value(int32_t{3})}})),
              errSecParam);
    ASSERT_EQ(f.keychain->add(*f.item("a", "x")), errSecSuccess);
    // The class may not be among the attributes to update.
    EXPECT_EQ(
        f.keychain->update(*f.query("a"),
                           *f.attributes({{Value(kSecClass), Value(kSecClassGenericPassword)}})),
        errSecParam);
    EXPECT_EQ(
        f.keychain->copyMatching(*f.query("a", {{Value(kSecMatchLimit), Value("some")}}), nullptr),
        errSecParam);
    EXPECT_EQ(f.secret("a"), "x");
}

TEST_P(KeychainConformance, EmptySecretAndDataGeneric) {
    Fixture f(GetParam());
    ASSERT_EQ(f.keychain->add(*f.item("empty", "", {{Value(kSecAttrGeneric), Value(Bytes{})}})),
              errSecSuccess);
    EXPECT_EQ(f.secret("empty"), "");
    Value attrs;
    ASSERT_EQ(f.keychain->copyMatching(
                  *f.query("empty", {{Value(kSecReturnAttributes), Value::boolean(true)}}), &attrs),
              errSecSuccess);
    EXPECT_EQ(attrs.dictionary()->objectForKey(kSecAttrGeneric), Value(Bytes{}));
}
