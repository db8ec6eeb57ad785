// Files discarded in batches: gone from their place when take() returns, deleted later on the
// deletion queue, never touching a new file written in their place; what an earlier run left is
// deleted; what cannot be moved aside is deleted at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/runloop/OperationQueue.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t entriesBelow(const fs::path& folder) {
    size_t count = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error))
        ++count;
    return count;
}

}  // namespace

TEST(DiscardedFiles, TakenFilesLeaveAtOnceAndAreDeletedOnTheQueueWithoutTouchingNewOnes) {
    const auto home = testing_support::freshTestFolder();
    const auto item = home / "MagazineIssues" / "BK0006";
    VnDiscardedFiles discarded(home / "Discarded");
    writeFile(item / "PAGE_PDF_0", "page");
    writeFile(item / "PAGE_PDF_0.tmp", "part");
    writeFile(item / "EPUB" / "chapter.xhtml", "text");
    writeFile(item / "cover.jpg", "cover");

    // Held back: the files wait in the batch's folder until the queue runs.
    discarded.deletions()->setSuspended(true);
    {
        auto batch = discarded.batch();
        for (const char* name : {"PAGE_PDF_0", "PAGE_PDF_0.tmp", "EPUB", "PAGE_PDF_1"})
            batch.take(item / name);
        EXPECT_FALSE(fs::exists(item / "PAGE_PDF_0"));
        EXPECT_FALSE(fs::exists(item / "PAGE_PDF_0.tmp"));
        EXPECT_FALSE(fs::exists(item / "EPUB"));
    }
    EXPECT_TRUE(fs::exists(item / "cover.jpg"));
    EXPECT_EQ(entriesBelow(home / "Discarded"), 5u);  // the batch, three taken, the chapter
    // A new download of the item writes where the taken files were.
    writeFile(item / "PAGE_PDF_0", "new page");
    discarded.deletions()->setSuspended(false);
    discarded.deletions()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(entriesBelow(home / "Discarded"), 0u);
    EXPECT_EQ(readFile(item / "PAGE_PDF_0"), "new page");
    EXPECT_EQ(readFile(item / "cover.jpg"), "cover");

    // Batch after batch while earlier ones are deleted, each new file written at once in the
    // place of the one just taken: only the taken ones go.
    for (int round = 0; round < 40; ++round) {
        {
            auto batch = discarded.batch();
            batch.take(item / "PAGE_PDF_0");
            batch.take(item / "PAGE_PDF_1");
        }
        writeFile(item / "PAGE_PDF_0", "round " + std::to_string(round));
        writeFile(item / "PAGE_PDF_1", "round " + std::to_string(round));
    }
    discarded.deletions()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(entriesBelow(home / "Discarded"), 0u);
    EXPECT_EQ(readFile(item / "PAGE_PDF_0"), "round 39");
    EXPECT_EQ(readFile(item / "PAGE_PDF_1"), "round 39");
}

TEST(DiscardedFiles, WhatAnEarlierRunLeftIsDeletedAndWhatCannotMoveIsDeletedAtOnce) {
    const auto home = testing_support::freshTestFolder();
    writeFile(home / "Discarded" / "batch-left" / "0", "page");
    writeFile(home / "Discarded" / "batch-left" / "1" / "chapter.xhtml", "text");
    {
        VnDiscardedFiles discarded(home / "Discarded");
        discarded.deletions()->waitUntilAllOperationsAreFinished();
        EXPECT_EQ(entriesBelow(home / "Discarded"), 0u);
    }

    // A root that cannot be a folder (a file stands there): the file taken is deleted at once.
    writeFile(home / "Blocked", "not a folder");
    VnDiscardedFiles blocked(home / "Blocked");
    blocked.deletions()->setSuspended(true);
    writeFile(home / "item" / "PAGE_PDF_0", "page");
    blocked.batch().take(home / "item" / "PAGE_PDF_0");
    EXPECT_FALSE(fs::exists(home / "item" / "PAGE_PDF_0"));
    EXPECT_EQ(blocked.deletions()->operationCount(), 0u);
    EXPECT_EQ(readFile(home / "Blocked"), "not a folder");
}
