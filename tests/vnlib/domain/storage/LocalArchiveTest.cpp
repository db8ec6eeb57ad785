#include <gtest/gtest.h>

#include "StorageTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/FileSizeLimit.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

using namespace storage_test;
namespace fs = std::filesystem;

TEST(LocalDataTable, LoadsOnceWritesWholeAndRetriesAFailedWrite) {
    const auto folder = testing_support::freshTestFolder();
    auto archive = std::make_shared<VnLocalArchive>(folder / "archive");
    auto table = archive->tableWithName("Shops.MG01", VnUserMagazineIssueInfo::classObject());
    EXPECT_EQ(archive->tableWithName("Shops.MG01", VnMagazineIssueInfo::classObject()), table);
    EXPECT_TRUE(table->takeItems().empty());
    EXPECT_FALSE(table->infoForCode("a"));

    table->addInfo(userItem("a", 3));
    table->flushStorageWriting();
    EXPECT_FALSE(table->needFlushing());
    const auto file = folder / "archive" / "Shops.MG01.table.json";
    auto rows = objectFromJSONString(readFile(file)).array();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->count(), 1u);
    EXPECT_EQ((*rows->objectAtIndex(0).dictionary())["Code"], plat::Value("a"));

    // A bad element is skipped and the last of two equal codes wins.
    writeFile(file, R"([{"Code":"a","SortIndex":1},5,{"SortIndex":9},{"Code":"b","SortIndex":1},)"
                    R"({"Code":"b","SortIndex":2}])");
    auto reread = std::make_shared<VnLocalDataTable>(file, VnUserMagazineIssueInfo::classObject());
    ASSERT_EQ(reread->takeItems().size(), 2u);
    EXPECT_EQ(
        std::static_pointer_cast<VnUserMagazineIssueInfo>(reread->infoForCode("b"))->sortIndex(),
        2);
    reread->removeInfoByCode("unknown");
    EXPECT_FALSE(reread->needFlushing());

    // A write that fails (a full disk) stays pending, and the next flush writes it.
    reread->removeInfoByCode("a");
    reread->addInfo(userItem(std::string(4000, 'x'), 1));
    {
        testing_support::ScopedFileSizeLimit limit(64);
        reread->flushStorageWriting();
    }
    EXPECT_TRUE(reread->needFlushing());
    EXPECT_NE(readFile(file).find("\"a\""), std::string::npos);  // the old version stays whole
    reread->flushStorageWriting();
    EXPECT_FALSE(reread->needFlushing());
    EXPECT_EQ(objectFromJSONString(readFile(file)).array()->count(), 2u);

    // Replacing with nothing writes "[]" without reading the old file.
    writeFile(file, "not json at all");
    auto replaced =
        std::make_shared<VnLocalDataTable>(file, VnUserMagazineIssueInfo::classObject());
    replaced->replaceWithNewItems({});
    replaced->flushStorageWriting();
    EXPECT_EQ(readFile(file), "[]");
    EXPECT_FALSE(fs::exists(fs::path(file.string() + ".corrupt")));

    // An archive's nested folders exist at once; its info list is JSON in "items.xml".
    auto nested = archive->subarchiveWithId("ISS-1");
    EXPECT_TRUE(fs::is_directory(folder / "archive" / "ISS-1"));
    EXPECT_EQ(archive->subarchiveWithId("ISS-1"), nested);
    nested->addInfo(userItem("i", 1));
    nested->flushStorageWriting();
    EXPECT_EQ(objectFromJSONString(readFile(nested->infosFilePath())).array()->count(), 1u);
    archive->markWithTag("done");
    EXPECT_TRUE(fs::exists(archive->filePathByTag("done")));
    archive->unmarkWithTag("done");
    EXPECT_FALSE(fs::exists(archive->filePathByTag("done")));
}

// Tables an archive forgets (their files taken away) write nothing back, not even the changes
// they held unwritten, and the next request reads the folder as it is.
TEST(LocalDataTable, ForgottenTablesWriteNothingBackAndTheNextOneReadsTheFolderAnew) {
    const auto folder = testing_support::freshTestFolder();
    auto archive = std::make_shared<VnLocalArchive>(folder / "archive");
    auto table = archive->tableWithName("VnPageInfo", VnUserMagazineIssueInfo::classObject());
    table->addInfo(userItem("a", 1));
    table->flushStorageWriting();
    table->addInfo(userItem("b", 2));
    ASSERT_TRUE(table->needFlushing());
    const auto file = folder / "archive" / "VnPageInfo.table.json";
    fs::rename(file, folder / "aside.json");

    archive->forgetTables();
    auto again = archive->tableWithName("VnPageInfo", VnUserMagazineIssueInfo::classObject());
    EXPECT_NE(again, table);
    EXPECT_TRUE(again->takeItems().empty());
    table.reset();
    EXPECT_FALSE(fs::exists(file)) << "a forgotten table wrote its list back";
    again.reset();
    archive.reset();
    EXPECT_FALSE(fs::exists(file));
}

TEST(LocalDataTable, DamagedFilesAreSetAsideLoggedAndTheTableStartsEmpty) {
    const auto folder = testing_support::freshTestFolder();
    writeFile(folder / "keep.txt", "other");
    const std::vector<std::string> damage = {R"([{"Code":"a"},{"Co)", "\x01\x02garbage",
                                             R"({"Code":"a"})", ""};
    for (size_t i = 0; i < damage.size(); ++i) {
        const auto file = folder / ("t" + std::to_string(i) + ".table.json");
        writeFile(file, damage[i]);
        auto table =
            std::make_shared<VnLocalDataTable>(file, VnUserMagazineIssueInfo::classObject());
        const auto lines = logged([&] { EXPECT_TRUE(table->takeItems().empty()); });
        ASSERT_EQ(lines.size(), 1u) << i;
        EXPECT_NE(lines[0].find("moved it aside"), std::string::npos) << lines[0];
        EXPECT_EQ(readFile(fs::path(file.string() + ".corrupt")), damage[i]);
        table->addInfo(userItem("new", 1));
        table->flushStorageWriting();
        EXPECT_EQ(objectFromJSONString(readFile(file)).array()->count(), 1u);
    }
    // A second damaged version never replaces the first one set aside.
    const auto file = folder / "t0.table.json";
    writeFile(file, "[broken again");
    std::make_shared<VnLocalDataTable>(file, VnUserMagazineIssueInfo::classObject())->takeItems();
    EXPECT_EQ(readFile(fs::path(file.string() + ".corrupt")), damage[0]);
    EXPECT_EQ(readFile(fs::path(file.string() + ".corrupt-2")), "[broken again");
    EXPECT_EQ(readFile(folder / "keep.txt"), "other");
}
