#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ScopedEnvironment.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileHandle.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "support/FileSizeLimit.h"

using plat::Bytes;
using plat::FileHandle;
using plat::FileManager;
using plat::Paths;
namespace fs = std::filesystem;

namespace {

Bytes fileBytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace

TEST(Paths, EscapedComponentsStayInTheirFolderAndNeverCollide) {
    const std::vector<std::string> hostile = {
        "../x",  "/abs",  std::string("a\0b", 3), ".",  "..", "", "%", "%2E", "a/b",
        "a%2Fb", "ไทย 1", std::string(1, '\0'),   "..."};
    std::set<std::string> seen;
    for (const auto& name : hostile) {
        const std::string escaped = Paths::escapeComponent(name);
        EXPECT_TRUE(Paths::isSafeComponent(escaped)) << escaped;
        EXPECT_TRUE(seen.insert(escaped).second) << "collision: " << escaped;
    }
    EXPECT_EQ(Paths::escapeComponent("ไทย 1"), "ไทย 1");
    EXPECT_EQ(Paths::escapeComponent("..."), "...");
    EXPECT_EQ(Paths::escapeComponent("../x"), "..%2Fx");
}

TEST(FileManager, ListsRemovesMovesAndSizes) {
    const auto folder = testing_support::freshTestFolder();
    fs::create_directories(folder / "tree" / "deep");
    ASSERT_FALSE(plat::AtomicFile::write(folder / "tree" / "deep" / "f", fileBytesOf("12345")));
    ASSERT_FALSE(plat::AtomicFile::write(folder / "tree" / "g", fileBytesOf("x")));
    auto names = FileManager::contentsOfDirectory(folder / "tree");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"deep", "g"}));
    EXPECT_TRUE(FileManager::contentsOfDirectory(folder / "missing").empty());
    EXPECT_EQ(FileManager::fileSize(folder / "tree" / "deep" / "f"), 5u);
    EXPECT_FALSE(FileManager::fileSize(folder / "tree" / "deep"));
    bool isDirectory = false;
    EXPECT_TRUE(FileManager::fileExists(folder / "tree" / "deep", &isDirectory));
    EXPECT_TRUE(isDirectory);

    // A move never replaces what is there.
    EXPECT_TRUE(FileManager::moveItem(folder / "tree" / "g", folder / "tree" / "deep" / "f"));
    EXPECT_EQ(FileManager::fileSize(folder / "tree" / "deep" / "f"), 5u);
    EXPECT_FALSE(FileManager::moveItem(folder / "tree" / "g", folder / "moved"));
    EXPECT_TRUE(FileManager::fileExists(folder / "moved"));
    EXPECT_FALSE(FileManager::fileExists(folder / "tree" / "g"));

    EXPECT_FALSE(FileManager::removeItem(folder / "tree"));
    EXPECT_FALSE(FileManager::fileExists(folder / "tree"));
    EXPECT_TRUE(FileManager::removeItem(folder / "tree"));
    EXPECT_FALSE(FileManager::setExcludedFromBackup(folder));
    EXPECT_TRUE(FileManager::setExcludedFromBackup(folder / "tree"));
}

TEST(FileHandle, AppendsReadsAndSurfacesWriteErrors) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "data.tmp";
    Ref<plat::Error> error;
    EXPECT_FALSE(FileHandle::openForUpdating(path, false, &error));
    EXPECT_TRUE(error);
    auto handle = FileHandle::openForUpdating(path, true);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->seekToEndOfFile(), 0u);
    EXPECT_FALSE(handle->writeData(fileBytesOf("hello ")));
    EXPECT_FALSE(handle->writeData(fileBytesOf("world")));
    EXPECT_FALSE(handle->synchronizeFile());
    handle->closeFile();

    handle = FileHandle::openForUpdating(path, true);
    EXPECT_EQ(handle->seekToEndOfFile(), 11u);
    handle->seekToFileOffset(6);
    EXPECT_EQ(*handle->readDataOfLength(100), fileBytesOf("world"));
    EXPECT_TRUE(handle->readDataOfLength(10)->empty());

    {
        testing_support::ScopedFileSizeLimit limit(16);
        handle->seekToEndOfFile();
        auto failed = handle->writeData(Bytes(100, 'z'));
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->domain(), plat::NSPOSIXErrorDomain);
        EXPECT_EQ(failed->code(), EFBIG);
    }
    EXPECT_EQ(FileManager::fileSize(path), 16u);  // what fitted stays
    handle->closeFile();
    EXPECT_TRUE(handle->writeData(fileBytesOf("x")));
}
