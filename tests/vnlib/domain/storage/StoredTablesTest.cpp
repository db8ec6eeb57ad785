// Tables written by earlier builds (data/: catalogue rows in an object store, per-user records in
// a table file) read back into the same records, and written again give the same bytes.
#include <gtest/gtest.h>

#include "StorageTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/domain/storage/VnJsonDBDataTable.h"
#include "vnlib/domain/storage/VnStoreModels.h"

using namespace storage_test;

namespace {

const std::filesystem::path kData =
    std::filesystem::path(VARNEL_SOURCE_DIR) / "tests" / "vnlib" / "domain" / "storage" / "data";

std::string textOf(const Ref<VnInfo>& info) {
    return JSONStringWithOptions(info->proxyForJson().dictionary(), 0, nullptr).value_or("");
}

// Code and text of every catalogue row, by code.
std::vector<std::pair<std::string, std::string>> rowsOf(plat::ObjectStoreContext& store) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& row :
         store.fetch("JSONMagazineIssueInfoLibrary", plat::Predicate::truePredicate())) {
        rows.emplace_back(row->primitiveValueForKey("code").stringOr(),
                          row->primitiveValueForKey("jsonString").stringOr());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST(StoredTables, CatalogueRowsReadBackEqualAndRewriteUnchanged) {
    const auto folder = testing_support::freshTestFolder();
    std::filesystem::copy_file(kData / "LibraryRows.sqlite", folder / "GlobalCache.sqlite");
    auto store = plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                                VarnelClientGlobalCacheModel());
    auto stored = rowsOf(*store);
    ASSERT_GE(stored.size(), 10U);
    auto table = std::make_shared<VnJsonDBDataTable>(
        std::make_shared<VnCoreDataContext>("JSONMagazineIssueInfoLibrary", store),
        VnMagazineIssueInfo::classObject(), VnJsonMagazineIssueInfoData::classObject());
    table->preloadItemsWithCodes({});
    std::vector<Ref<VnInfo>> records;
    bool anyThai = false;
    for (const auto& [code, text] : stored) {
        auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(table->infoForCode(code));
        ASSERT_TRUE(record) << code;
        EXPECT_EQ(record->code(), code);
        EXPECT_EQ(textOf(record), text) << code;
        anyThai = anyThai || record->issueName().value_or("").find("\xe0\xb8") != std::string::npos;
        // A copy loaded from the row's text is the same record.
        auto copy = std::make_shared<VnMagazineIssueInfo>();
        copy->initWithJSONString(text);
        EXPECT_EQ(textOf(copy), text) << code;
        records.push_back(copy);
    }
    EXPECT_TRUE(anyThai);

    // Written again into the old file: the same rows, the same texts.
    table->updateWithInfos(records);
    table.reset();
    store.reset();
    auto reopened = plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                                   VarnelClientGlobalCacheModel());
    auto again = rowsOf(*reopened);
    EXPECT_EQ(again, stored);
}

TEST(StoredTables, PerUserTableFileReadsBackAndRewritesTheSameBytes) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "Library.table.json";
    std::filesystem::copy_file(kData / "Library.table.json", path);
    const std::string before = readFile(path);
    {
        VnLocalDataTable table(path, VnUserMagazineIssueInfo::classObject());
        const auto items = table.takeItems();
        ASSERT_GE(items.size(), 10U);
        int hidden = 0, finished = 0;
        for (const auto& item : items) {
            auto user = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(item);
            ASSERT_TRUE(user && user->code());
            hidden += user->hiddenFromLibrary();
            finished += user->finished();
        }
        EXPECT_GT(hidden, 0);
        EXPECT_GT(finished, 0);
        table.updateWithInfos(items);
    }
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
