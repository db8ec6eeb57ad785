#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/core/Selector.h"

namespace {

TEST(Selector, SameTextIsOneSelectorAndEmptyTextIsNone) {
    const std::string text = "request:didFinishWithResult:";
    plat::Selector a(text), b("request:didFinishWithResult:"), c{std::string_view(text)};
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_EQ(a.name(), text);
    EXPECT_FALSE(a == plat::Selector("request:didFailWithError:"));
    plat::Selector none(""), unset;
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none, unset);
    EXPECT_EQ(none.name(), "");
}

// Eight threads intern an overlapping set of names at once, half of them new to the table while
// others look them up: every thread must end with the very same selector for a text, and
// different texts must stay different selectors.
TEST(Selector, InterningIsConsistentUnderEightThreads) {
    constexpr int kThreads = 8;
    constexpr int kNames = 2000;
    std::vector<std::string> names;
    for (int i = 0; i < kNames; ++i)
        names.push_back("concurrentName" + std::to_string(i) + ":");
    (void)plat::Selector("concurrentName0:");  // one name already there before the threads start
    std::vector<std::vector<plat::Selector>> seen(kThreads, std::vector<plat::Selector>(kNames));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the names from its own starting point, so that the first
            // insertion of a name races with lookups of it by the others.
            for (int k = 0; k < kNames; ++k) {
                const int i = (k + t * kNames / kThreads) % kNames;
                seen[t][i] = plat::Selector(names[i]);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::unordered_set<plat::Selector> distinct;
    for (int i = 0; i < kNames; ++i) {
        for (int t = 0; t < kThreads; ++t) {
            ASSERT_EQ(seen[t][i], seen[0][i]) << names[i];
        }
        EXPECT_EQ(seen[0][i].name(), names[i]);
        EXPECT_EQ(seen[0][i], plat::Selector(names[i]));
        distinct.insert(seen[0][i]);
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kNames));
}

}  // namespace
