#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>

#include "platform/storage/AtomicFile.h"
#include "platform/storage/ScopedEnvironment.h"

using plat::AtomicFile;
using plat::Bytes;
namespace fs = std::filesystem;

namespace {

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

size_t entriesIn(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++n;
    return n;
}

}  // namespace

TEST(AtomicFile, WritesReplacesAndSetsTheModeWhateverTheUmask) {
    const auto folder = testing_support::freshTestFolder();
    const auto file = folder / "data.plist";
    const mode_t oldMask = ::umask(0);
    EXPECT_FALSE(AtomicFile::write(file, bytesOf("first")));
    ::umask(oldMask);
    EXPECT_EQ(testing_support::permissionsOf(file), 0600u);
    EXPECT_EQ(*AtomicFile::read(file, 100), bytesOf("first"));

    EXPECT_FALSE(AtomicFile::write(file, bytesOf("second, longer"), 0644));
    EXPECT_EQ(testing_support::permissionsOf(file), 0644u);
    EXPECT_EQ(*AtomicFile::read(file, 100), bytesOf("second, longer"));
    EXPECT_FALSE(AtomicFile::write(file, Bytes{}));
    EXPECT_EQ(AtomicFile::read(file, 100)->size(), 0u);
    EXPECT_EQ(entriesIn(folder), 1u);  // no temporary file left behind
}

// The write fails half-way (the file-size limit stops it, as a full disk would): the old content
// stays, and no temporary file is left.
TEST(AtomicFile, FailedWriteLeavesTheOldFileIntact) {
    const auto folder = testing_support::freshTestFolder();
    const auto file = folder / "keep.plist";
    ASSERT_FALSE(AtomicFile::write(file, bytesOf("precious")));

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto error = AtomicFile::write(file, Bytes(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), plat::NSPOSIXErrorDomain);
    EXPECT_EQ(*AtomicFile::read(file, 100), bytesOf("precious"));
    EXPECT_EQ(entriesIn(folder), 1u);
}

TEST(AtomicFile, WriteIntoAMissingFolderFails) {
    const auto folder = testing_support::freshTestFolder();
    EXPECT_TRUE(AtomicFile::write(folder / "missing" / "file", bytesOf("x")));
    EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST(AtomicFile, ReadDistinguishesMissingFromUnreadable) {
    const auto folder = testing_support::freshTestFolder();
    Ref<plat::Error> error;
    EXPECT_FALSE(AtomicFile::read(folder / "absent", 100, &error));
    EXPECT_FALSE(error);  // simply not there

    EXPECT_FALSE(AtomicFile::read(folder, 100, &error));  // a folder
    EXPECT_TRUE(error);

    ASSERT_FALSE(AtomicFile::write(folder / "big", Bytes(101, 'x')));
    EXPECT_FALSE(AtomicFile::read(folder / "big", 100, &error));
    EXPECT_TRUE(error);
    EXPECT_EQ(AtomicFile::read(folder / "big", 101)->size(), 101u);
}

// A FIFO where a file should be, or a link to one, is refused at once: open() would otherwise wait
// for a writer forever. A link to a regular file is read as the file.
TEST(AtomicFile, ReadRefusesAFifoWithoutWaitingAndFollowsLinksToFiles) {
    const auto folder = testing_support::freshTestFolder();
    const auto fifo = folder / "record";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, folder / "link-to-fifo");
    ASSERT_FALSE(AtomicFile::write(folder / "real", bytesOf("content")));
    fs::create_symlink(folder / "real", folder / "link-to-file");

    for (const char* name : {"record", "link-to-fifo"}) {
        auto reading = std::async(std::launch::async, [&] {
            Ref<plat::Error> error;
            const bool read = AtomicFile::read(folder / name, 100, &error).has_value();
            return std::make_pair(read, error);
        });
        // A safety net only: the read answers at once, or is stuck in open() for good.
        if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets it go
            reading.wait();
            if (writer >= 0)
                ::close(writer);
            ADD_FAILURE() << name << ": the read waited on the FIFO";
            continue;
        }
        const auto [read, error] = reading.get();
        EXPECT_FALSE(read) << name;
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->domain(), plat::NSPOSIXErrorDomain);
    }
    EXPECT_EQ(*AtomicFile::read(folder / "link-to-file", 100), bytesOf("content"));
}
