// A case run in a child process is measured by what the child itself takes, however large the
// test process that starts it has grown (a program run whole has run other cases before).
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "support/ChildProcess.h"

namespace {

constexpr size_t kMiB = size_t{1} << 20;

// Touches every page of the block, so that it is resident, and gives a sum the compiler cannot
// leave out.
long touched(std::vector<char>& block) {
    long sum = 0;
    for (size_t i = 0; i < block.size(); i += 4096) {
        block[i] = 1;
        sum += block[i];
    }
    return sum;
}

}  // namespace

TEST(ChildProcess, IdleChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside AChildIsMeasuredByWhatItTakesItself";
}

TEST(ChildProcess, GrowingChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside AChildIsMeasuredByWhatItTakesItself";
    std::vector<char> block(160 * kMiB);
    EXPECT_EQ(touched(block), static_cast<long>(block.size() / 4096));
}

TEST(ChildProcess, AChildIsMeasuredByWhatItTakesItself) {
    // This process holds 256 MiB while it starts its children.
    std::vector<char> held(256 * kMiB);
    ASSERT_EQ(touched(held), static_cast<long>(held.size() / 4096));

    const auto idle = testing_support::runTestInChild("ChildProcess.IdleChild", 60);
    EXPECT_TRUE(idle.passed) << "exit " << idle.exitStatus;
    EXPECT_LT(idle.peakResidentKb, 64 * 1024 + testing_support::kSanitizerAllowanceKb);

    const auto growing = testing_support::runTestInChild("ChildProcess.GrowingChild", 60);
    EXPECT_TRUE(growing.passed) << "exit " << growing.exitStatus;
    EXPECT_GE(growing.peakResidentKb, 160 * 1024);
    EXPECT_LT(growing.peakResidentKb, 224 * 1024 + testing_support::kSanitizerAllowanceKb);
    EXPECT_EQ(held[0], 1);
}
