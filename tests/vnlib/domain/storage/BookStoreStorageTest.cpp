#include <gtest/gtest.h>

#include "StorageTestSupport.h"
#include "platform/storage/Paths.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/domain/VnMagazineIssueKind.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnBookStorePurchaseRequestRedeemInfo.h"

using namespace storage_test;
namespace fs = std::filesystem;

namespace {

class BookStoreStorage : public ::testing::Test {
  protected:
    void SetUp() override {
        home = testing_support::freshTestFolder() / "home";
        environment.set("VARNEL_HOME", home.string());
        plat::UserDefaults::resetStandardUserDefaults();
        root = plat::Paths::applicationDataDirectory() / "Cache";
        storage = std::make_shared<VnBookStoreLocalStorage>(root);
    }
    void TearDown() override { plat::UserDefaults::resetStandardUserDefaults(); }

    std::vector<int32_t> sortIndexes(const Ref<VnBookStoreUserStorage>& user,
                                     const std::string& table) {
        std::vector<int32_t> out;
        auto t = user->userArchive()->tableWithName(table, VnUserMagazineIssueInfo::classObject());
        for (const auto& item : t->takeItems())
            out.push_back(std::static_pointer_cast<VnUserMagazineIssueInfo>(item)->sortIndex());
        return out;
    }

    testing_support::ScopedEnvironment environment;
    fs::path home;
    fs::path root;
    Ref<VnBookStoreLocalStorage> storage;
};

}  // namespace

TEST_F(BookStoreStorage, LayoutIdentitiesSettingsAndTables) {
    for (const char* folder : {"Magazines", "MagazineIssues", "GlobalCache.sqlite"})
        EXPECT_TRUE(fs::exists(root / folder)) << folder;

    auto tom = VnUserId::userIdWithUserName("Tom@Example.com");
    auto user = storage->userStorageByUserId(tom);
    EXPECT_EQ(storage->userStorageByUserId(tom), user);
    auto twin = storage->userStorageByUserId(VnUserId::userIdWithUserName("tom@example.com"));
    EXPECT_NE(twin, user);  // identities have no value equality
    EXPECT_EQ(twin->userPath(), user->userPath());
    EXPECT_EQ(user->userPath(), root / "_Users" / "tom@example.com");
    EXPECT_TRUE(fs::is_directory(home / "Varnel" / "UserData" / "tom@example.com"));
    EXPECT_EQ(user->booksArchive(), storage->booksLocalArchive());

    auto device = storage->defaultUserStorage();
    EXPECT_EQ(storage->defaultUserStorage(), device);
    EXPECT_EQ(device->userPath(), root / "_Users" / "default");
    device->setObject(plat::Value("YES"), "UserIsSinglePage");
    EXPECT_EQ(storage->objectForKey("default/UserIsSinglePage"), plat::Value("YES"));
    EXPECT_EQ(device->objectForKey("UserIsSinglePage"), plat::Value("YES"));
    device->removeObjectForKey("UserIsSinglePage");
    EXPECT_TRUE(storage->objectForKey("default/UserIsSinglePage").isNil());

    try {
        storage->dataTableWithName("JSONMagazineIssueInfoShop",
                                   VnUserMagazineIssueInfo::classObject());
        ADD_FAILURE() << "no exception";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), "VnDomainException");
        EXPECT_EQ(e.reason(), "Invalid infoClass type");
    }
    user->persistMagazineIssueInfos({issue("LIB1")}, VnMagazineIssueKind_Library);
    EXPECT_TRUE(
        storage
            ->dataTableWithName("JSONMagazineIssueInfoLibrary", VnMagazineIssueInfo::classObject())
            ->infoForCode("LIB1"));
    EXPECT_FALSE(
        user->dataTableForMagazineIssueKind(VnMagazineIssueKind_Shops)->infoForCode("LIB1"));

    VnBookStorePurchaseRequestRedeemInfo a, b;
    EXPECT_EQ(a.code()->size(), 36u);
    EXPECT_NE(a.code(), b.code());
}

TEST_F(BookStoreStorage, StoringShopItemsKeepsEachHeadsOwnStates) {
    auto user = storage->userStorageByUserId(VnUserId::userIdWithUserName("nok"));
    user->persistShopMagazineIssueInfos({issue("A1", "MG01"), issue("A2", "MG01")});
    // The user's states in a head's table are kept: its position, what the user did.
    auto table =
        user->userArchive()->tableWithName("Shops.MG01", VnUserMagazineIssueInfo::classObject());
    auto state = std::static_pointer_cast<VnUserMagazineIssueInfo>(table->infoForCode("A1"));
    state->setSortIndex(7);
    state->setFinished(true);
    table->updateInfo(state);
    table->flushStorageWriting();

    user->persistShopMagazineIssueInfos(
        {issue("B1", "MG02"), issue("A1", "MG01"), issue("A3", "MG01")});
    auto reread = std::make_shared<VnLocalDataTable>(table->filePath(),
                                                     VnUserMagazineIssueInfo::classObject());
    ASSERT_EQ(reread->takeItems().size(), 3u);  // A1, A2, A3: no item of another head
    auto kept = std::static_pointer_cast<VnUserMagazineIssueInfo>(reread->infoForCode("A1"));
    EXPECT_EQ(kept->sortIndex(), 7);
    EXPECT_TRUE(kept->finished());
    EXPECT_EQ(sortIndexes(user, "Shops.MG02"), std::vector<int32_t>{0});
    EXPECT_EQ(
        user->dataTableForMagazineIssueKind(VnMagazineIssueKind_Shops)->dataContext()->itemCount(),
        4);
}

TEST_F(BookStoreStorage, HostileNamesNeverLeaveTheStorage) {
    const std::vector<std::string> hostile = {"../x", "/abs", std::string("a\0b", 3),
                                              ".",    "..",   ""};
    for (const auto& name : hostile) {
        auto user = storage->userStorageByUserId(VnUserId::userIdWithUserName(name));
        auto table =
            user->userArchive()->tableWithName(name, VnUserMagazineIssueInfo::classObject());
        table->addInfo(VnUserMagazineIssueInfo::itemWithMagazineIssueCode(name));
        table->flushStorageWriting();
        auto archive = storage->booksLocalArchive()->subarchiveWithId(name);
        archive->markWithTag(name);
        storage->booksLocalArchive()->subarchiveWithMagazineIssue(issue(name));
        user->persistShopMagazineIssueInfos({issue(name, name)});
    }
    // Everything lies below the program's folder, and nothing was made beside the home.
    EXPECT_EQ(entriesBelow(home.parent_path()).count("x"), 0u);
    for (const auto& entry : entriesBelow(home)) {
        EXPECT_TRUE(entry.rfind("Varnel", 0) == 0) << entry;
        for (const auto& part : fs::path(entry))
            EXPECT_TRUE(part != ".." && part != ".") << entry;
    }
    EXPECT_FALSE(fs::exists("/abs"));
    EXPECT_TRUE(fs::is_directory(root / "MagazineIssues" / "%2E%2E"));
    EXPECT_TRUE(fs::exists(root / "_Users" / "..%2Fx" / "..%2Fx.table.json"));
}
