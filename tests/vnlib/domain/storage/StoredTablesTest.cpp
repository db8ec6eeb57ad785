// Tables written by earlier builds (data/: catalogue rows in an object store, per-user records in
// a table file) read back into the same records, and written again give the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include <sqlite3.h>

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

// The record of every stored row, read through the table: it has the row's code and writes the
// row's text again, and so does a copy loaded from that text; answers the copies. Some hold Thai.
std::vector<Ref<VnInfo>> readBackEqual(
    VnJsonDBDataTable& table, const std::vector<std::pair<std::string, std::string>>& stored) {
    std::vector<Ref<VnInfo>> records;
    bool anyThai = false;
    for (const auto& [code, text] : stored) {
        auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(table.infoForCode(code));
        EXPECT_TRUE(record) << code;
        if (!record)
            continue;
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
    return records;
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
    const auto records = readBackEqual(*table, stored);

    // Written again into the old file: the same rows, the same texts.
    table->updateWithInfos(records);
    table.reset();
    store.reset();
    auto reopened = plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                                   VarnelClientGlobalCacheModel());
    auto again = rowsOf(*reopened);
    EXPECT_EQ(again, stored);
}

// Catalogue stores written by a library refresh before the store kept a log, one made with 16 KB
// pages and one with SQLite's 4 KB pages: each record reads back equal, a refresh's save writes
// into the old file, and the store keeps its pages, its rows and a clean integrity check.
TEST(StoredTables, RefreshedCatalogueStoresOfEitherPageSizeReadBackEqual) {
    const auto folder = testing_support::freshTestFolder();
    for (const auto& [name, pageSize] :
         {std::pair<const char*, int>{"CatalogueRows16k.sqlite", 16384},
          std::pair<const char*, int>{"CatalogueRows4k.sqlite", 4096}}) {
        SCOPED_TRACE(name);
        const auto path = folder / name;
        std::filesystem::copy_file(kData / name, path);
        auto store = plat::ObjectStoreContext::open(path, VarnelClientGlobalCacheModel());
        ASSERT_TRUE(store->hasStore());
        const auto stored = rowsOf(*store);
        ASSERT_GE(stored.size(), 80U);
        auto table = std::make_shared<VnJsonDBDataTable>(
            std::make_shared<VnCoreDataContext>("JSONMagazineIssueInfoLibrary", store),
            VnMagazineIssueInfo::classObject(), VnJsonMagazineIssueInfoData::classObject());
        auto records = readBackEqual(*table, stored);
        // A refresh: every record written again, and one new.
        auto added = std::make_shared<VnMagazineIssueInfo>();
        added->setCode("NEW1");
        added->setIssueName("ฉบับใหม่");
        records.push_back(added);
        table->updateWithInfos(records);
        table.reset();
        store.reset();

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        auto answer = [&](const char* sql) {
            sqlite3_stmt* statement = nullptr;
            std::string text;
            if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
                text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            sqlite3_finalize(statement);
            return text;
        };
        EXPECT_EQ(answer("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(answer("PRAGMA page_size"), std::to_string(pageSize));
        sqlite3_close(db);
        auto reopened = plat::ObjectStoreContext::open(path, VarnelClientGlobalCacheModel());
        auto again = rowsOf(*reopened);
        ASSERT_EQ(again.size(), stored.size() + 1);
        again.erase(std::find_if(again.begin(), again.end(),
                                 [](const auto& row) { return row.first == "NEW1"; }));
        EXPECT_EQ(again, stored);
    }
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

// Per-user records write their rows themselves, with the text of their dictionary view: made
// here or loaded, with codes the writer escapes and extreme positions. A record that cannot (a
// key of its own from the file, a code that is not UTF-8) leaves the whole table to the generic
// writer, and its key is kept.
TEST(StoredTables, PerUserRowsWrittenByTheRecordsMatchTheGenericWriter) {
    std::vector<Ref<VnInfo>> records;
    int32_t position = INT32_MIN;
    for (const char* code :
         {"GI1", "a\"b\\c", "\xe0\xb8\x97\xe0\xb8\x94", "tab\there", "x/y", "\x7f"}) {
        auto record = userItem(code, position);
        record->setHiddenFromLibrary(position < 0);
        record->setFinished(records.size() % 2 == 0);
        record->setReaded(records.size() % 3 == 0);
        records.push_back(record);
        position = position < 0 ? INT32_MAX : position / 7;
    }
    auto loaded = std::make_shared<VnUserMagazineIssueInfo>();
    loaded->initWithJSONString(
        R"({"HiddenFromLibrary":1,"SortIndex":-7,"Finished":0,"Readed":1,"Code":"GI9"})");
    records.push_back(loaded);
    for (const auto& record : records) {
        std::string direct = "[";
        ASSERT_TRUE(
            std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(record)->appendRowText(direct));
        EXPECT_EQ(direct, "[" + textOf(record));
    }

    auto noted = std::make_shared<VnUserMagazineIssueInfo>();
    noted->initWithJSONString(R"({"SortIndex":3,"Code":"GI8","Note":"kept"})");
    auto notText = userItem("GI7\xff", 1);
    for (const auto& declining : {noted, notText}) {
        std::string out = "[";
        EXPECT_FALSE(declining->appendRowText(out));
        EXPECT_EQ(out, "[");
    }

    // The table file: rows by code, the same bytes whichever writer wrote them.
    const auto folder = testing_support::freshTestFolder();
    for (const bool withNoted : {false, true}) {
        auto rows = records;
        if (withNoted)
            rows.push_back(noted);
        const auto path = folder / (withNoted ? "Noted.table.json" : "Own.table.json");
        {
            VnLocalDataTable table(path, VnUserMagazineIssueInfo::classObject());
            table.replaceWithNewItems(rows);
        }
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return *a->code() < *b->code(); });
        auto views = plat::MutableArray::make();
        for (const auto& row : rows)
            views->addObject(row->proxyForJson());
        const auto expected = JSONStringWithOptions(Ref<plat::Array>(views), 0, nullptr);
        ASSERT_TRUE(expected);
        EXPECT_EQ(readFile(path), *expected);
        EXPECT_EQ(readFile(path).find(R"("Note":"kept")") != std::string::npos, withNoted);
    }
}

}  // namespace
