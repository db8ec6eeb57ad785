// An issue's page record killed during its writes: a writer process is killed at random moments
// while it replaces the record version after version.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "PageRecordVersions.h"
#include "platform/storage/ScopedEnvironment.h"

namespace fs = std::filesystem;
using namespace page_record_kill;

namespace {

pid_t spawnWriter(const fs::path& path, long firstVersion) {
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string first = std::to_string(firstVersion);
        ::execl(PAGE_RECORD_KILL_CHILD, PAGE_RECORD_KILL_CHILD, path.c_str(), first.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// The unfinished copies that writes cut short left in the folder.
size_t leftovers(const fs::path& folder) {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".") ? 1 : 0;
    return count;
}

}  // namespace

// After every kill the record reads as one whole version the writer wrote, never an older one
// than before the kill (nothing written is lost), and never a mixture or a cut one taken for a
// record; the writer started again writes over whatever the kill left.
TEST(PageRecordKill, EveryKillLeavesAWholeVersion) {
    const fs::path folder = testing_support::freshTestFolder();
    const fs::path path = folder / IssuePageRecord::kFileName;
    std::mt19937 random(20261208);
    long seen = -1;
    int killedMidWrite = 0;
    size_t leftBefore = 0;
    // At least 30 rounds, and more (150 at most) until a few kills have fallen inside a write.
    int round = 0;
    for (; round < 150 && (round < 30 || killedMidWrite < 3); ++round) {
        // Each round's versions start above the last round's, so that a version read back tells
        // which round wrote it.
        const long base = (round + 1) * 1000000L;
        const pid_t child = spawnWriter(path, base);
        ASSERT_GT(child, 0);
        // Killed at a random moment once this round's first version is there, however slow the
        // machine: within a few writes.
        const auto started = std::chrono::steady_clock::now();
        long before = -1;
        while (std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
            const auto record = IssuePageRecord::read(path, kIssue);
            before = record.page(0) ? std::atol(record.page(0)->identity.c_str()) : -1;
            if (before >= base)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_GE(before, base) << "round " << round << ": the writer wrote nothing whole";
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer ended by itself";

        const auto record = IssuePageRecord::read(path, kIssue);
        const long after = versionOf(record);
        ASSERT_GE(after, before) << "round " << round << ": the record read back as "
                                 << (record.size() ? "a mixture" : "nothing") << " ("
                                 << record.size() << " pages) after version " << before;
        ASSERT_GT(after, seen);
        EXPECT_EQ(record.size(), static_cast<size_t>(pageCount(after)));
        seen = after;
        // A write cut by the kill leaves its unfinished copy beside the record.
        const size_t left = leftovers(folder);
        killedMidWrite += left > leftBefore ? 1 : 0;
        leftBefore = left;
    }
    // The kills fell inside writes, not only between them.
    EXPECT_GE(killedMidWrite, 3) << killedMidWrite << " of " << round
                                 << " kills fell inside a write";
}
