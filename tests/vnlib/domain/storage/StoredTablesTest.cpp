// Tables written by earlier builds (data/: catalogue rows in an object store, per-user records in
// a table file) read back into the same records, and written again give the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

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
