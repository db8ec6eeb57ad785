#pragma once
// Runs one test of the current test program in a fresh child process, to bound what the case may
// cost: its peak resident set, its run time, and a crash that must not take the suite with it.
//
//   TEST(Suite, ChildCase) { if (!testing_support::inChildProcess()) GTEST_SKIP(); ... }
//   auto run = testing_support::runTestInChild("Suite.ChildCase", 30);
//   EXPECT_TRUE(run.passed); EXPECT_LT(run.peakResidentKb, 200 * 1024);
#include <string>

namespace testing_support {

struct ChildRun {
    bool passed = false;    // exited with status 0
    bool timedOut = false;  // killed at the time limit
    int exitStatus = -1;    // its exit status, or -1 when it was killed
    // Its own peak resident set, from its start (whatever this process had grown to when it
    // started it).
    long peakResidentKb = 0;
};

// What AddressSanitizer itself adds to a test program's peak (its shadow, allocator and a small
// quarantine): memory bounds on a child allow this much more in that build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long kSanitizerAllowanceKb = 96 * 1024;
#else
inline constexpr long kSanitizerAllowanceKb = 0;
#endif

// Whether this process is a child started by runTestInChild.
bool inChildProcess();
// Runs the named test ("Suite.Name") alone in a new copy of this program and waits up to
// `timeoutSeconds` for it.
ChildRun runTestInChild(const std::string& testName, double timeoutSeconds);

}  // namespace testing_support
