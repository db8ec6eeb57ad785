#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "StorageTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

using namespace storage_test;
namespace fs = std::filesystem;

namespace {

// The answers of one query, as texts, one row a line.
std::vector<std::string> query(const fs::path& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {"cannot open"};
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row += (i ? "|" : "") + std::string(text ? text : "NULL");
            }
            out.push_back(row);
        }
        // A statement that fails on the way (a row that is not JSON, say) answers its error.
        if (step != SQLITE_DONE)
            out.push_back(std::string("error: ") + sqlite3_errmsg(db));
    } else {
        out.push_back(std::string("error: ") + sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

// The bookmarks saved so far (0 while the store is not there or is busy).
int savedBookmarks(const fs::path& folder) {
    if (!fs::exists(folder / "UserData.sqlite"))
        return 0;
    const auto count = query(folder / "UserData.sqlite", "SELECT COUNT(*) FROM UserBookmark");
    return count.size() == 1 && !count.front().empty() && std::isdigit(count.front()[0])
               ? std::stoi(count.front())
               : 0;
}

}  // namespace

// Killed at random moments, the writer leaves every file whole: the table is one written version,
// each store passes its integrity check and holds whole saved batches, a library refresh's rows
// (its records written) among them, whatever the store's log and its checkpoint were doing.
TEST(StorageKill, EveryKillLeavesWholeVersions) {
    const auto folder = testing_support::freshTestFolder();
    std::mt19937 random(20261206);
    for (int round = 0; round < 50; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string version = std::to_string(round * 1000000);
            ::execl(STORAGE_KILL_CHILD, STORAGE_KILL_CHILD, folder.c_str(), version.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Kill at a random moment after the writer's first flush of this round, however slow
        // the machine.
        const auto table = folder / "Versions.table.json";
        const auto started = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
            const auto rows =
                fs::exists(table) ? objectFromJSONString(readFile(table)).array() : nullptr;
            if (rows && rows->count() > 0 &&
                (*rows->objectAtIndex(0).dictionary())["SortIndex"].int64Value() >=
                    round * 1000000) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        // The last rounds also wait for saved bookmarks, so that kills surely fall among the
        // stores' saves too, however slow the machine.
        while (round >= 45 &&
               std::chrono::steady_clock::now() - started < std::chrono::seconds(20) &&
               savedBookmarks(folder) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer ended by itself";

        if (fs::exists(table)) {
            auto rows = objectFromJSONString(readFile(table)).array();
            ASSERT_TRUE(rows) << "round " << round;
            ASSERT_EQ(rows->count(), 20u);
            std::set<int64_t> versions;
            rows->enumerate([&](const plat::Value& row) {
                versions.insert((*row.dictionary())["SortIndex"].int64Value());
                return true;
            });
            EXPECT_EQ(versions.size(), 1u) << "round " << round;
        }
        for (const char* store : {"GlobalCache.sqlite", "UserData.sqlite"}) {
            if (fs::exists(folder / store)) {
                ASSERT_EQ(query(folder / store, "PRAGMA integrity_check"),
                          std::vector<std::string>{"ok"})
                    << store << ", round " << round;
            }
        }
        if (fs::exists(folder / "GlobalCache.sqlite")) {
            const auto names = query(folder / "GlobalCache.sqlite",
                                     "SELECT COUNT(*), COUNT(DISTINCT jsonString) FROM "
                                     "JSONMagazineIssueInfoShop");
            // Nothing before the first save ever, then always one whole replacement.
            EXPECT_TRUE(names == std::vector<std::string>{"0|0"} ||
                        names == std::vector<std::string>{"10|10"})
                << names.front();
            // The library's refresh: nothing before the first one, then one whole version.
            const auto library = query(folder / "GlobalCache.sqlite",
                                       "SELECT COUNT(*), COUNT(DISTINCT json_extract(jsonString, "
                                       "'$.IssueName')) FROM JSONMagazineIssueInfoLibrary");
            EXPECT_TRUE(library == std::vector<std::string>{"0|0"} ||
                        library == std::vector<std::string>{"400|1"})
                << library.front() << ", round " << round;
            // Each row is its record written whole, under its own code.
            EXPECT_EQ(query(folder / "GlobalCache.sqlite",
                            "SELECT COUNT(*) FROM JSONMagazineIssueInfoLibrary WHERE CASE WHEN "
                            "json_valid(jsonString) THEN json_extract(jsonString, '$.Code') IS NOT "
                            "code OR length(json_extract(jsonString, '$.Publisher')) <> 3000 "
                            "ELSE 1 END"),
                      std::vector<std::string>{"0"})
                << "round " << round;
        }
        if (fs::exists(folder / "UserData.sqlite")) {
            for (const auto& batch : query(folder / "UserData.sqlite",
                                           "SELECT bookmarkId, COUNT(*) FROM UserBookmark "
                                           "GROUP BY bookmarkId")) {
                EXPECT_EQ(batch.substr(batch.find('|')), "|5") << batch;
            }
        }
    }
    // The writer got as far as its stores, so kills also fell in the middle of their saves.
    EXPECT_GT(savedBookmarks(folder), 0);
}
