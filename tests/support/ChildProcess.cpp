#include "support/ChildProcess.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

namespace {
constexpr const char* kChildVariable = "VARNEL_TEST_CHILD";
// Where a child writes its own peak resident set as it ends.
constexpr const char* kPeakFileVariable = "VARNEL_TEST_CHILD_PEAK_FILE";

// The peak resident set of this program since it started (its VmHWM), in KiB; 0 when unknown.
long peakResidentKbSinceExec() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

void writePeakForParent() {
    if (const char* path = std::getenv(kPeakFileVariable))
        std::ofstream(path, std::ios::trunc) << peakResidentKbSinceExec();
}

// The child's peak counts from its exec: what the kernel reports for it (ru_maxrss) also holds
// the copy of the parent it was forked as, as large as the parent had grown by the cases it ran
// before in the same process.
const bool reportsPeakAtExit = [] {
    if (std::getenv(kPeakFileVariable))
        std::atexit(writePeakForParent);
    return true;
}();

long readPeakFile(const std::filesystem::path& path) {
    long kb = 0;
    std::ifstream(path) >> kb;
    return kb;
}
}  // namespace

bool inChildProcess() {
    return std::getenv(kChildVariable) != nullptr;
}

ChildRun runTestInChild(const std::string& testName, double timeoutSeconds) {
    ChildRun run;
    const std::string filter = "--gtest_filter=" + testName;
    std::string peakFile = (std::filesystem::temp_directory_path() / "varnel-peak-XXXXXX").string();
    const int peakFd = ::mkstemp(peakFile.data());
    if (peakFd < 0)
        return run;
    ::close(peakFd);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::filesystem::remove(peakFile);
        return run;
    }
    if (pid == 0) {
        ::setenv(kChildVariable, "1", 1);
        ::setenv(kPeakFileVariable, peakFile.c_str(), 1);
        // A small quarantine, so that the sanitizer's kept blocks do not count as the case's own.
        std::string asan = "quarantine_size_mb=4:";
        if (const char* old = std::getenv("ASAN_OPTIONS"))
            asan += old;
        ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
        char self[] = "/proc/self/exe";
        std::vector<char*> argv{self, const_cast<char*>(filter.c_str()), nullptr};
        ::execv(self, argv.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    int status = 0;
    rusage usage{};
    while (true) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0) {
            std::filesystem::remove(peakFile);
            return run;
        }
        if (std::chrono::steady_clock::now() >= deadline && !run.timedOut) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A child that did not end by itself wrote nothing: the kernel's figure, which is no less.
    const long ownPeak = readPeakFile(peakFile);
    std::filesystem::remove(peakFile);
    run.peakResidentKb = ownPeak > 0 ? ownPeak : usage.ru_maxrss;
    if (WIFEXITED(status)) {
        run.exitStatus = WEXITSTATUS(status);
        run.passed = run.exitStatus == 0 && !run.timedOut;
    }
    return run;
}

}  // namespace testing_support
