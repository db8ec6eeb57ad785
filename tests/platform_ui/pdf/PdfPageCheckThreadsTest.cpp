// The page check from many threads at once, as the reader's checking queue, its render worker and
// the GUI thread's look-ups meet it: one child a file (or a page's bytes) however many ask, every
// asker gets that child's verdict, and a look-up meanwhile finds nothing or that verdict.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "support/PdfFixtures.h"

namespace fs = std::filesystem;

TEST(PdfPageCheckThreads, EachFileAndEachPageInMemoryIsCheckedOnceHoweverManyAsk) {
    const fs::path dir = testing_support::freshTestFolder();
    const std::string good = testing_support::filledPdf(200, 100, 0, 0, 1);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"good.pdf", good},
        {"wide.pdf", testing_support::filledPdf(400, 100, 1, 0, 0)},
        {"cut.pdf", good.substr(0, good.size() / 3) + "\n%%EOF\n"},
        {"html.pdf", "<html><body>Not found</body></html>\n"},
    };
    for (const auto& [name, bytes] : files)
        std::ofstream(dir / name, std::ios::binary) << bytes;
    const std::string inMemory = testing_support::filledPdf(300, 150, 0, 1, 0);

    constexpr int kThreads = 8;
    const uint64_t before = ui::PdfPageCheck::checksRun();
    std::latch start(kThreads + 1);
    std::vector<std::vector<ui::PdfPageCheck::Verdict>> verdicts(kThreads);
    std::vector<ui::PdfPageCheck::Verdict> dataVerdicts(kThreads);
    std::atomic<int> wrongLookUps{0}, finished{0}, lookUps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            // Each thread in another order, so that every file has several askers at once.
            for (size_t i = 0; i < files.size(); ++i) {
                const auto& name = files[(i + static_cast<size_t>(t)) % files.size()].first;
                verdicts[static_cast<size_t>(t)].push_back(ui::PdfPageCheck::check(dir / name));
            }
            dataVerdicts[static_cast<size_t>(t)] =
                ui::PdfPageCheck::checkData(inMemory.data(), inMemory.size());
            ++finished;
        });
    }
    // The GUI thread only looks, all the while: nothing yet, or the verdict the checks give.
    start.arrive_and_wait();
    while (finished < kThreads) {
        ++lookUps;
        for (const auto& [name, bytes] : files) {
            const auto kept = ui::PdfPageCheck::keptVerdict(dir / name);
            if (kept && kept->usable != (name == "good.pdf" || name == "wide.pdf"))
                ++wrongLookUps;
        }
        if (const auto known = ui::PdfPageCheck::knownDataVerdict(inMemory.data(), inMemory.size());
            known && !known->usable)
            ++wrongLookUps;
    }
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(wrongLookUps, 0) << "of " << lookUps << " rounds";
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - before, files.size() + 1)
        << "one child for each file and one for the page in memory";
    for (int t = 0; t < kThreads; ++t) {
        for (size_t i = 0; i < files.size(); ++i) {
            const auto& name = files[(i + static_cast<size_t>(t)) % files.size()].first;
            const auto& verdict = verdicts[static_cast<size_t>(t)][i];
            SCOPED_TRACE(name);
            if (name == "good.pdf") {
                EXPECT_TRUE(verdict.usable) << verdict.reason;
                EXPECT_EQ(verdict.width, 200);
                EXPECT_EQ(verdict.height, 100);
            } else if (name == "wide.pdf") {
                EXPECT_TRUE(verdict.usable) << verdict.reason;
                EXPECT_EQ(verdict.width, 400);
            } else {
                EXPECT_FALSE(verdict.usable);
                EXPECT_FALSE(verdict.reason.empty());
            }
        }
        EXPECT_TRUE(dataVerdicts[static_cast<size_t>(t)].usable);
        EXPECT_EQ(dataVerdicts[static_cast<size_t>(t)].width, 300);
    }
    // Kept whole beside each file: a later look-up needs no child.
    for (const auto& [name, bytes] : files) {
        const auto kept = ui::PdfPageCheck::keptVerdict(dir / name);
        ASSERT_TRUE(kept) << name;
        EXPECT_EQ(kept->usable, name == "good.pdf" || name == "wide.pdf") << name;
    }
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - before, files.size() + 1);
}
