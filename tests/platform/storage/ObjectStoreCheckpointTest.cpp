// The object store's checkpoint thread beside the saving thread and the store's other contexts:
// saves that come while a copy runs ask it for another, a save after it ended starts the next
// one, and closing waits for the copy under way; no save is lost and the file stays whole.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ScopedEnvironment.h"
#include "platform/storage/ObjectStore.h"

using plat::AttributeType;
using plat::ObjectModel;
using plat::ObjectStoreContext;
using plat::Predicate;
using plat::Value;
namespace fs = std::filesystem;

namespace {

ObjectModel logModel() {
    return ObjectModel{"Log",
                       1,
                       {{"Entry",
                         {{"text", AttributeType::String}, {"number", AttributeType::Integer32, true}},
                         {}}}};
}

std::string integrity(const fs::path& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    std::string text;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
        text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return text;
}

}  // namespace

TEST(ObjectStoreCheckpoint, SavesInARowWhileTheLogIsCopiedAndReadElsewhereLoseNothing) {
    const auto path = testing_support::freshTestFolder() / "log.sqlite";
    constexpr int kSaves = 300, kRowsPerSave = 4;
    const std::string text(1500, 'x');
    std::atomic<bool> saving{true};
    std::atomic<int> badCounts{0};
    std::atomic<int> reads{0};
    {
        auto writer = ObjectStoreContext::open(path, logModel());
        // Another context of the same store, on a thread of its own, reads while the log is
        // written and copied: it sees whole saves only.
        std::thread reader([&] {
            auto other = ObjectStoreContext::open(path, logModel());
            while (saving) {
                const auto count = other->count("Entry");
                if (!count || *count % kRowsPerSave != 0)
                    ++badCounts;
                ++reads;
            }
        });
        for (int save = 0; save < kSaves; ++save) {
            for (int i = 0; i < kRowsPerSave; ++i) {
                auto row = writer->insertNewObject("Entry");
                row->setPrimitiveValueForKey("text", Value(text));
                row->setPrimitiveValueForKey("number", Value(int32_t{save * kRowsPerSave + i}));
            }
            ASSERT_FALSE(writer->save()) << save;
        }
        saving = false;
        reader.join();
        // Closed straight after its last save, with that save's copy maybe under way.
    }
    EXPECT_EQ(badCounts, 0) << "of " << reads << " reads";
    auto wal = path;
    wal += "-wal";
    EXPECT_FALSE(fs::exists(wal));
    EXPECT_EQ(integrity(path), "ok");
    auto again = ObjectStoreContext::open(path, logModel());
    EXPECT_EQ(again->count("Entry"), kSaves * kRowsPerSave);
    const auto last =
        again->fetch("Entry", Predicate::equal("number", Value(int32_t{kSaves * kRowsPerSave - 1})));
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0]->primitiveValueForKey("text"), Value(text));
}

// Contexts made and closed on several threads at once, each saving as it goes: every checkpoint
// thread ends with its context, and the rows of all of them are in the store.
TEST(ObjectStoreCheckpoint, ContextsOnSeveralThreadsSaveAndCloseWhileCopiesRun) {
    const auto path = testing_support::freshTestFolder() / "log.sqlite";
    ObjectStoreContext::open(path, logModel());
    constexpr int kThreads = 4, kContexts = 10, kSaves = 5;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int c = 0; c < kContexts; ++c) {
                auto context = ObjectStoreContext::open(path, logModel());
                for (int s = 0; s < kSaves; ++s) {
                    auto row = context->insertNewObject("Entry");
                    row->setPrimitiveValueForKey("number", Value(int32_t{t}));
                    EXPECT_FALSE(context->save());
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(integrity(path), "ok");
    auto again = ObjectStoreContext::open(path, logModel());
    EXPECT_EQ(again->count("Entry"), kThreads * kContexts * kSaves);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(again->count("Entry", Predicate::equal("number", Value(int32_t{t}))),
                  kContexts * kSaves);
}
