#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "demo-service/DemoService.h"
#include "platform/crypto/Digest.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/ScopedEnvironment.h"

namespace fs = std::filesystem;
using plat::FileManager;

namespace {

constexpr int64_t kFileSize = 4 << 20;

std::string expectedDigest(uint32_t seed) {
    std::vector<uint8_t> bytes(kFileSize);
    for (int64_t i = 0; i < kFileSize; ++i)
        bytes[static_cast<size_t>(i)] = demo::DemoService::generatedByte(i, seed);
    return plat::Digest::hex(plat::Digest::sha256(bytes));
}

pid_t spawn(const std::string& url, const fs::path& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(DOWNLOAD_KILL_CHILD, DOWNLOAD_KILL_CHILD, url.c_str(), path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

}  // namespace

// A download killed at random moments and started again by a new process ends byte-exact, and
// each new start asks for exactly the bytes it did not find. The rounds are bounded by count and
// by time: a sanitized child on a busy machine takes seconds to start.
TEST(DownloadKill, KilledDownloadsResumeToTheExactFile) {
    const auto folder = testing_support::freshTestFolder();
    demo::DemoService service;
    ASSERT_TRUE(service.start());
    service.addGeneratedFile("/issue.pdf", kFileSize, 77);
    service.setFault("/issue.pdf", demo::Fault::throttle(40 << 20));
    const std::string digest = expectedDigest(77);
    const std::string url = service.baseUrl() + "/issue.pdf";
    const fs::path path = folder / "PAGE_PDF_1";
    const fs::path temp = fs::path(path.string() + ".tmp");

    std::mt19937_64 random(4242);
    int kills = 0, completions = 0;
    const auto began = std::chrono::steady_clock::now();
    while (kills < 100 && std::chrono::steady_clock::now() - began < std::chrono::seconds(120)) {
        const int64_t held = static_cast<int64_t>(FileManager::fileSize(temp).value_or(0));
        // Somewhere in the next 2 MB: beyond the end, the download completes and starts over.
        const int64_t killAt = held + 1 + static_cast<int64_t>(random() % (2 << 20));
        service.clearRequests();
        const pid_t child = spawn(url, path);
        ASSERT_GT(child, 0);
        int status = 0;
        bool exited = false;
        const auto started = std::chrono::steady_clock::now();
        while (!exited && std::chrono::steady_clock::now() - started < std::chrono::seconds(60)) {
            if (static_cast<int64_t>(FileManager::fileSize(temp).value_or(0)) >= killAt) {
                ::kill(child, SIGKILL);
                break;
            }
            exited = ::waitpid(child, &status, WNOHANG) == child;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!exited)
            ::waitpid(child, &status, 0);

        // The request asked for the rest of what the child found on disk.
        const auto requests = service.requests();
        if (!requests.empty()) {
            EXPECT_EQ(requests.front().header("Range"),
                      held == 0 ? std::string() : "bytes=" + std::to_string(held) + "-")
                << "held " << held;
        }
        if (WIFSIGNALED(status)) {
            ++kills;
            ASSERT_FALSE(FileManager::fileExists(path)) << "complete before the kill";
            continue;
        }
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the download failed";
        ++completions;
        auto bytes = plat::AtomicFile::read(path, kFileSize + 1);
        ASSERT_TRUE(bytes);
        ASSERT_EQ(plat::Digest::hex(plat::Digest::sha256(*bytes)), digest);
        FileManager::removeItem(path);
    }
    EXPECT_GE(kills, 20);
    EXPECT_GE(completions, 3);
}

// Memory stays flat whatever the size: a 128 MB download peaks within 16 MB of a 1 MB one.
TEST(DownloadMemory, PeakMemoryDoesNotGrowWithTheFileSize) {
    const auto folder = testing_support::freshTestFolder();
    demo::DemoService service;
    ASSERT_TRUE(service.start());
    service.addGeneratedFile("/small", 1 << 20, 1);
    service.addGeneratedFile("/large", int64_t{128} << 20, 2);
    // Under the address sanitizer, freed memory is held back for a while: keep that small.
    ::setenv("ASAN_OPTIONS", "quarantine_size_mb=1:detect_leaks=0", 1);
    auto peakKilobytes = [&](const std::string& path) -> long {
        const pid_t child = spawn(service.baseUrl() + path, folder / path.substr(1));
        int status = 0;
        struct rusage usage {};
        if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            return -1;
        }
        return usage.ru_maxrss;
    };
    const long small = peakKilobytes("/small");
    const long large = peakKilobytes("/large");
    ::unsetenv("ASAN_OPTIONS");
    ASSERT_GT(small, 0);
    ASSERT_GT(large, 0);
    EXPECT_LT(large - small, 16 * 1024) << "1 MB: " << small << " KB, 128 MB: " << large << " KB";
    EXPECT_EQ(FileManager::fileSize(folder / "large"), uint64_t{128} << 20);
}
