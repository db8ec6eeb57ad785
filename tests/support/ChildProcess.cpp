#include "support/ChildProcess.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace testing_support {

namespace {
constexpr const char* kChildVariable = "VARNEL_TEST_CHILD";
}

bool inChildProcess() {
    return std::getenv(kChildVariable) != nullptr;
}

ChildRun runTestInChild(const std::string& testName, double timeoutSeconds) {
    ChildRun run;
    const std::string filter = "--gtest_filter=" + testName;
    const pid_t pid = ::fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        ::setenv(kChildVariable, "1", 1);
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
        if (done < 0)
            return run;
        if (std::chrono::steady_clock::now() >= deadline && !run.timedOut) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.peakResidentKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        run.exitStatus = WEXITSTATUS(status);
        run.passed = run.exitStatus == 0 && !run.timedOut;
    }
    return run;
}

}  // namespace testing_support
