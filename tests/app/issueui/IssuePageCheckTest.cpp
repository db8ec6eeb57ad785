// An opened issue's page checks on its checking queue: letting the issue go waits for no check,
// and what a check ends with afterwards goes nowhere; a page file changed in place, or a page
// record changed to fit another file, never reaches the PDF renderer unchecked; a check stopped
// at its limit of processor time is no verdict, and runs once an opening; pages found on disk
// unchecked when the issue starts loading are checked then, once, the pages shown first; a page
// shown, and what waits for a page's check, go out once that page is checked.
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "IssueUITestSupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "support/PdfFixtures.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

using namespace issueui_test;
namespace fs = std::filesystem;

namespace {

class ArrivalListener : public plat::Object {
    PLAT_CLASS(ArrivalListener)
  public:
    void pageAvailable(Ref<plat::Object>, int32_t index) {
        notices.push_back("page " + std::to_string(index));
    }
    std::vector<std::string> notices;
};

// Hears the issue's arrivals, what the pages tell and what the issue tells of itself, in one list.
class PageListener : public ArrivalListener {
    PLAT_CLASS(PageListener)
  public:
    void painterAvailable(const Ref<MagazinePageUIContext>& page) {
        notices.push_back("painter " + std::to_string(page->pageContext()->sourcePageIndex()));
    }
    void interactiveFinished(Ref<plat::Object>) { notices.push_back("interactive"); }
};

}  // namespace

PLAT_DEFINE_CLASS(ArrivalListener, plat::Object, [](auto& c) {
    c.method("magazineIssueContext:pageAvalable:", &ArrivalListener::pageAvailable);
})
PLAT_DEFINE_CLASS(PageListener, ArrivalListener, [](auto& c) {
    c.method(MagazinePageUIContextDelegate::kPageContentPainterAvailable,
             &PageListener::painterAvailable)
        .method("magazineIssueContextDidFinishLoadingInteractive:",
                &PageListener::interactiveFinished);
})

namespace {

// The page's file as a finished download leaves it in the content cache.
fs::path cachePage(const Ref<VnMagazineIssueContext>& issue, int index, const std::string& bytes) {
    const auto cache =
        issue->userContext()->cachedAssetWithId(issue->contentAssetIdWithSourcePageIndex(index));
    EXPECT_FALSE(cache->replaceWithData(plat::Bytes(bytes.begin(), bytes.end())));
    return issue->contentAssetWithSourcePageIndex(index)->filePath();
}

bool runMainUntil(const std::function<bool()>& done, double seconds = 60) {
    return plat::RunLoop::current().runUntil(done, seconds);
}

// Runs the main run loop until what was posted to it so far has run.
void drainMain() {
    bool ran = false;
    plat::DispatchQueue::main()->async([&] { ran = true; });
    runMainUntil([&] { return ran; }, 10);
}

// Lets a held check go after a while unless dismissed first, so that a test whose code waits for
// the check ends (and fails) instead of waiting for ever.
class LetGoLater {
  public:
    explicit LetGoLater(fs::path release)
        : thread_([this, release = std::move(release)] {
              std::unique_lock lock(mutex_);
              if (!dismissed_.wait_for(lock, std::chrono::seconds(20), [&] { return done_; })) {
                  fired_ = true;
                  std::ofstream(release).flush();
              }
          }) {}
    ~LetGoLater() { dismiss(); }
    // Whether it had to let the check go.
    bool dismiss() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        dismissed_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return fired_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable dismissed_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// A held checker (testing_support::heldChecker) that first adds the name of the file it was
// given as a line to "<folder>/runs": the files in the order their checks began.
fs::path heldCheckerInOrder(const fs::path& folder) {
    return testing_support::checkerScript(
        folder, "held-checker-in-order",
        "basename \"$1\" >> '" + (folder / "runs").string() + "'\nexec '" +
            testing_support::heldChecker(folder, ui::PdfPageCheck::program()).string() +
            "' \"$@\"\n");
}

size_t linesOf(const fs::path& file) {
    std::ifstream in(file);
    size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

class IssuePageCheckTest : public IssueUITest {
  protected:
    void TearDown() override {
        ui::PdfPageCheck::stopChecks();
        IssueUITest::TearDown();
    }
    // An opening whose page 0 waits in a held checker (until "<folder>/release" exists) while
    // page 1, checked at an earlier opening, is learned at once: the record's write waits for the
    // check under way. Nothing when the check did not start.
    Ref<MagazineIssueUIContext> openWithACheckHeld(const Ref<VnMagazineIssueContext>& issue,
                                                   const fs::path& folder) {
        const std::string good = testing_support::filledPdf(200, 100, 0, 0, 1);
        cachePage(issue, 0, good);
        EXPECT_TRUE(ui::PdfPageCheck::check(cachePage(issue, 1, good)).usable);
        checker.set("VARNEL_PDF_CHECK",
                    testing_support::heldChecker(folder, ui::PdfPageCheck::program()).string());
        auto context = MagazineIssueUIContext::initWithContext(issue);
        context->magazineIssueContext_pageAvalable(issue, 0);
        if (!runMainUntil([&] { return fs::exists(folder / "started"); })) {
            ADD_FAILURE() << "the check did not start";
            return nullptr;
        }
        context->magazineIssueContext_pageAvalable(issue, 1);
        EXPECT_TRUE(context->keptPage(1));
        drainMain();
        return context;
    }

    // A book of that many pages, each standing at its own index.
    Ref<VnMagazineIssueContext> makeBook(const std::string& code, int pageCount) {
        std::vector<std::pair<int, int>> pages;
        for (int i = 0; i < pageCount; ++i)
            pages.emplace_back(i, i);
        return makeIssue(code, "Book", pages);
    }

    testing_support::ScopedEnvironment checker;
};

}  // namespace

// The window never waits for a check: an issue let go while its page is being checked (the check
// held open here) goes at once; the check then ends on its queue, and what it found is dropped.
// The page record learned before is written there after it, never on the main thread.
TEST_F(IssuePageCheckTest, LettingTheIssueGoWaitsForNoCheckAndTheCheckThenTellsNothing) {
    const fs::path folder = testing_support::freshTestFolder();
    const auto issue = makeIssue("PC01-0002", "Magazine", {{0, 0}, {1, 1}});
    auto context = openWithACheckHeld(issue, folder);
    ASSERT_TRUE(context);
    const auto listener = std::make_shared<ArrivalListener>();
    context->setDelegate(listener);
    const fs::path recordPath = context->pageRecordPath();

    LetGoLater letGo(folder / "release");
    const WeakRef<MagazineIssueUIContext> gone = context;
    context.reset();
    EXPECT_FALSE(letGo.dismiss()) << "letting the issue go waited for its check";
    EXPECT_TRUE(gone.expired()) << "the check under way kept the issue's context";
    EXPECT_FALSE(fs::exists(recordPath)) << "the record was written before the check ended";

    std::ofstream(folder / "release");
    // After the check the record is written on the checking queue, with what was learned
    // before: the page checked meanwhile is not in it (and, its context gone, no one hears of it).
    ASSERT_TRUE(runMainUntil([&] { return fs::exists(recordPath); }));
    ui::PdfPageCheck::stopChecks();  // nothing left pending
    drainMain();
    const auto record = IssuePageRecord::read(recordPath, "PC01-0002");
    EXPECT_EQ(record.size(), 1u);
    EXPECT_TRUE(record.page(1));
    EXPECT_FALSE(record.page(0));
}

// A checked page file rewritten in place with other bytes of its size and given back its
// modification time, and a record edited to fit a file swapped in: each page made from the record
// shows its placeholder (never drawn by QtPdf), and the file is checked when the issue finds it.
// Kept checks and records of an earlier version are not trusted either.
TEST_F(IssuePageCheckTest, APageChangedInPlaceOrARecordFittedToAnotherFileIsCheckedNotDrawn) {
    const auto issue = makeIssue("PC02-0003", "Magazine", {{0, 0}, {1, 1}, {2, 2}});
    const std::string good = testing_support::filledPdf(200, 100, 1, 0, 0);
    // Of the same size, upright and blue: drawn from its file, it would show.
    const std::string other = testing_support::filledPdf(100, 200, 0, 0, 1);
    ASSERT_EQ(other.size(), good.size());
    std::vector<fs::path> files;
    fs::path recordPath;
    {
        auto downloading = MagazineIssueUIContext::initWithContext(issue);
        recordPath = downloading->pageRecordPath();
        for (int i = 0; i < 3; ++i)
            files.push_back(cachePage(issue, i, good));
        for (int i = 0; i < 2; ++i)
            downloading->magazineIssueContext_pageAvalable(issue, i);
        ASSERT_TRUE(runMainUntil([&] { return downloading->pagesBeingChecked() == 0; }));
    }
    ASSERT_TRUE(
        runMainUntil([&] { return IssuePageRecord::read(recordPath, "PC02-0003").size() == 2u; }));

    // Page 0: rewritten in place, its size and modification time as they were.
    struct stat before {};
    ASSERT_EQ(::stat(files[0].c_str(), &before), 0);
    std::ofstream(files[0], std::ios::binary | std::ios::trunc) << other;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, files[0].c_str(), times, 0), 0);
    // Page 1: another file of its size moved there, and the record's line made to fit it.
    std::ofstream(files[1].string() + ".new", std::ios::binary) << other;
    fs::rename(files[1].string() + ".new", files[1]);
    {
        auto record = IssuePageRecord::read(recordPath, "PC02-0003");
        auto entry = *record.page(1);
        entry.identity = ui::PdfPageCheck::fileIdentity(files[1]).value_or("");
        record.set(1, entry);
        ASSERT_FALSE(record.write(recordPath));
    }
    // Page 2 (not checked by this process): a kept check and a record as an earlier version
    // wrote them (the file's size and time alone).
    {
        struct stat st {};
        ASSERT_EQ(::stat(files[2].c_str(), &st), 0);
        const std::string oldIdentity = std::to_string(st.st_size) + " " +
                                        std::to_string(st.st_mtim.tv_sec) + "." +
                                        std::to_string(st.st_mtim.tv_nsec);
        std::ofstream(ui::PdfPageCheck::verdictPath(files[2]), std::ios::trunc)
            << "varnel-pdf-check 2\n" + oldIdentity + "\nusable\n200 100\n";
        EXPECT_FALSE(IssuePageRecord::parse("varnel-issue-pages 2\nissue PC02-0003\n2 " +
                                                oldIdentity +
                                                " % % 0 0 0 0 usable 200 100\nend 1\n",
                                            "PC02-0003"));
    }

    // The next opening makes the pages from the record (as the reader does): neither page 0 nor
    // page 1 is drawn from its file, both show their placeholders.
    auto opened = MagazineIssueUIContext::initWithContext(issue);
    QImage green(20, 10, QImage::Format_ARGB32);
    green.fill(Qt::green);
    for (int i : {0, 1}) {
        const auto* kept = opened->keptPage(i);
        ASSERT_TRUE(kept) << i;
        ASSERT_TRUE(kept->verdict.usable) << i;
        const auto page = ui::PdfPage::fromCheckedFile(files[static_cast<size_t>(i)].string(),
                                                       kept->verdict, kept->identity);
        page->setPlaceholderImage(green);
        const auto drawn =
            ui::PdfPageRenderer::render(ui::PdfPageRenderer::inputOf(*page), {40, 20}, {});
        EXPECT_TRUE(drawn.fileChanged) << i;
        EXPECT_EQ(QColor(drawn.image.pixel(20, 10)), QColor(Qt::green)) << i;
        EXPECT_FALSE(page->isUnchangedFile(files[static_cast<size_t>(i)])) << i;
    }
    // The issue finds its pages on disk: each of the three is checked, the two swapped ones kept
    // with the size of the file now there.
    const uint64_t checks = ui::PdfPageCheck::checksRun();
    for (int i = 0; i < 3; ++i)
        opened->magazineIssueContext_pageAvalable(issue, i);
    ASSERT_TRUE(runMainUntil([&] { return opened->pagesBeingChecked() == 0; }));
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, 3u);
    for (int i = 0; i < 3; ++i) {
        const auto* kept = opened->keptPage(i);
        ASSERT_TRUE(kept) << i;
        EXPECT_TRUE(kept->verdict.usable) << i;
        EXPECT_EQ(kept->verdict.width, i == 2 ? 200 : 100) << i;
        EXPECT_EQ(kept->identity, ui::PdfPageCheck::fileIdentity(files[static_cast<size_t>(i)]))
            << i;
    }
}

// A page whose check is stopped at its limit of processor time (a stand-in stopped at once) is
// handed on without a verdict (the reader keeps its placeholder), kept as damaged nowhere, not
// checked again within the opening however often the issue finds it, and checked again at the
// next opening.
TEST_F(IssuePageCheckTest, ACheckStoppedAtItsLimitIsNoVerdictAndRunsOnceAnOpening) {
    const fs::path folder = testing_support::freshTestFolder();
    checker.set("VARNEL_PDF_CHECK", testing_support::checkerStoppedAtItsLimit(folder).string());
    const auto issue = makeIssue("PC03-0002", "Magazine", {{0, 0}, {1, 1}});
    const fs::path file = cachePage(issue, 0, testing_support::filledPdf(300, 200, 0, 1, 0));
    fs::path recordPath;
    for (size_t opening = 1; opening <= 3; ++opening) {
        SCOPED_TRACE(opening);
        auto context = MagazineIssueUIContext::initWithContext(issue);
        recordPath = context->pageRecordPath();
        const auto listener = std::make_shared<ArrivalListener>();
        context->setDelegate(listener);
        for (int found = 0; found < 3; ++found) {
            context->magazineIssueContext_pageAvalable(issue, 0);
            ASSERT_TRUE(runMainUntil([&] { return context->pagesBeingChecked() == 0; }));
        }
        EXPECT_EQ(listener->notices, std::vector<std::string>(3, "page 0"));
        EXPECT_EQ(linesOf(folder / "runs"), opening);
        EXPECT_FALSE(context->keptPage(0));
        EXPECT_FALSE(ui::PdfPageCheck::keptVerdict(file));
        EXPECT_FALSE(fs::exists(ui::PdfPageCheck::verdictPath(file)));
    }
    ui::PdfPageCheck::stopChecks();
    EXPECT_FALSE(IssuePageRecord::read(recordPath, "PC03-0002").page(0));
}

// A checker ended by a signal from outside (Ctrl-C in the terminal, a logout, a shutdown, a kill)
// judged nothing: the page is handed on without a verdict, its file stays with nothing kept of
// it, and the next opening checks it again and draws it.
TEST_F(IssuePageCheckTest, ACheckEndedFromOutsideKeepsItsFileUnjudgedForTheNextOpening) {
    const std::string real = ui::PdfPageCheck::program().string();
    int n = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGKILL}) {
        SCOPED_TRACE(sigabbrev_np(signal));
        const fs::path folder = testing_support::freshTestFolder();
        testing_support::ScopedEnvironment ending;
        ending.set("VARNEL_PDF_CHECK", testing_support::checkerEndedFromOutside(folder).string());
        const std::string code = "PC07-000" + std::to_string(++n);
        const auto issue = makeIssue(code, "Magazine", {{0, 0}, {1, 1}});
        const fs::path file = cachePage(issue, 0, testing_support::filledPdf(300, 200, 0, 0, 1));
        {
            auto context = MagazineIssueUIContext::initWithContext(issue);
            const auto listener = std::make_shared<ArrivalListener>();
            context->setDelegate(listener);
            context->magazineIssueContext_pageAvalable(issue, 0);
            pid_t checker = 0;
            ASSERT_TRUE(runMainUntil([&] {
                std::ifstream(folder / "started") >> checker;
                return checker > 0;
            }));
            ASSERT_EQ(::kill(checker, signal), 0);
            ASSERT_TRUE(runMainUntil([&] { return context->pagesBeingChecked() == 0; }));
            EXPECT_EQ(listener->notices, std::vector<std::string>{"page 0"});
            EXPECT_FALSE(context->keptPage(0));
            drainMain();
            EXPECT_TRUE(fs::exists(file)) << "the page file was thrown away";
            EXPECT_FALSE(fs::exists(ui::PdfPageCheck::verdictPath(file)));
        }
        ending.set("VARNEL_PDF_CHECK", real);
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        auto opened = MagazineIssueUIContext::initWithContext(issue);
        opened->magazineIssueContext_pageAvalable(issue, 0);
        ASSERT_TRUE(runMainUntil([&] { return opened->pagesBeingChecked() == 0; }));
        EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, 1u);
        const auto* kept = opened->keptPage(0);
        ASSERT_TRUE(kept);
        ASSERT_TRUE(kept->verdict.usable) << kept->verdict.reason;
        const auto page =
            ui::PdfPage::fromCheckedFile(file.string(), kept->verdict, kept->identity);
        const auto drawn =
            ui::PdfPageRenderer::render(ui::PdfPageRenderer::inputOf(*page), {30, 20}, {});
        EXPECT_FALSE(drawn.fileChanged);
        EXPECT_EQ(QColor(drawn.image.pixel(15, 10)), QColor(Qt::blue));
    }
}

// The checker's own crash is the page's refusal, kept with the file. A crash verdict an earlier
// version kept for a checker ended from outside (Ctrl-C: signal 2) is no verdict: the file is
// checked again.
TEST_F(IssuePageCheckTest, OnlyTheCheckersOwnCrashRefusesThePage) {
    const std::string real = ui::PdfPageCheck::program().string();
    const fs::path folder = testing_support::freshTestFolder();
    const fs::path crashing = folder / "crashing.pdf";
    std::ofstream(crashing, std::ios::binary) << testing_support::filledPdf(100, 100);
    checker.set("VARNEL_PDF_CHECK", testing_support::crashingChecker(folder).string());
    const auto refused = ui::PdfPageCheck::check(crashing);
    EXPECT_FALSE(refused.usable);
    EXPECT_EQ(refused.reason, "the check crashed (signal " + std::to_string(SIGSEGV) + ")");
    EXPECT_EQ(ui::PdfPageCheck::keptVerdict(crashing), refused);
    EXPECT_TRUE(fs::exists(ui::PdfPageCheck::verdictPath(crashing)));

    // Kept by an earlier version: one file refused for its checker's Ctrl-C, one for a crash.
    checker.set("VARNEL_PDF_CHECK", real);
    for (const int signal : {SIGINT, SIGSEGV}) {
        SCOPED_TRACE(sigabbrev_np(signal));
        const fs::path file = folder / (std::string(sigabbrev_np(signal)) + ".pdf");
        std::ofstream(file, std::ios::binary) << testing_support::filledPdf(100, 100);
        const auto identity = ui::PdfPageCheck::fileIdentity(file);
        ASSERT_TRUE(identity);
        std::ofstream(ui::PdfPageCheck::verdictPath(file), std::ios::trunc)
            << "varnel-pdf-check 3\n"
            << *identity << "\ndamaged\nthe check crashed (signal " << signal << ")\n";
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        const auto verdict = ui::PdfPageCheck::check(file);
        EXPECT_EQ(verdict.usable, signal == SIGINT);
        EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, signal == SIGINT ? 1u : 0u);
    }
}

// An item returned while its issue is open has its folder emptied for good: no page record of
// that opening goes back there, whether its write was queued before the return (the issue let go
// during a check, its last write waiting behind the check) or after it (the check ending after
// the return). An opening after a new borrow keeps its record as usual.
TEST_F(IssuePageCheckTest, AReturnedItemGetsNoPageRecordFromAnOpeningBeforeItsReturn) {
    const std::string good = testing_support::filledPdf(200, 100, 0, 0, 1);
    const std::string real = ui::PdfPageCheck::program().string();
    for (const bool letGoBeforeTheReturn : {true, false}) {
        SCOPED_TRACE(letGoBeforeTheReturn ? "let go before the return" : "open at the return");
        const std::string code = letGoBeforeTheReturn ? "PC08-0002" : "PC09-0002";
        const fs::path folder = testing_support::freshTestFolder();
        const auto issue = makeIssue(code, "Magazine", {{0, 0}, {1, 1}});
        auto context = openWithACheckHeld(issue, folder);
        ASSERT_TRUE(context);
        const fs::path recordPath = context->pageRecordPath();
        const fs::path known = issue->contentAssetWithSourcePageIndex(1)->filePath();
        if (letGoBeforeTheReturn)
            context.reset();
        user->removeBookFromLocalLibrary(issue->info());
        ASSERT_FALSE(fs::exists(known));
        std::ofstream(folder / "release");
        if (context) {
            ASSERT_TRUE(runMainUntil([&] { return context->pagesBeingChecked() == 0; }));
        }
        drainMain();
        context.reset();
        ui::PdfPageCheck::stopChecks();  // whatever was queued has run
        EXPECT_FALSE(fs::exists(recordPath))
            << "a record went back into the returned item's folder";

        // Borrowed again: the new opening's record is written as usual.
        checker.set("VARNEL_PDF_CHECK", real);
        user->restoreBookToLocalLibrary(issue->info());
        cachePage(issue, 0, good);
        {
            auto again = MagazineIssueUIContext::initWithContext(issue);
            again->magazineIssueContext_pageAvalable(issue, 0);
            ASSERT_TRUE(runMainUntil([&] { return again->pagesBeingChecked() == 0; }));
        }
        ASSERT_TRUE(runMainUntil([&] { return fs::exists(recordPath); }));
        ui::PdfPageCheck::stopChecks();
        EXPECT_TRUE(IssuePageRecord::read(recordPath, code).page(0));
    }
}

// The program's end stops the checks its issues let go (here one that would wait for ever): none
// outlives it, and what a stopped check gives is kept nowhere.
TEST_F(IssuePageCheckTest, TheProgramsEndStopsTheChecksLeftRunning) {
    const fs::path folder = testing_support::freshTestFolder();
    checker.set("VARNEL_PDF_CHECK",
                testing_support::heldChecker(folder, ui::PdfPageCheck::program()).string());
    const auto issue = makeIssue("PC04-0002", "Magazine", {{0, 0}, {1, 1}});
    std::vector<fs::path> files;
    {
        auto context = MagazineIssueUIContext::initWithContext(issue);
        for (int i = 0; i < 2; ++i) {
            files.push_back(cachePage(issue, i, testing_support::filledPdf(100, 100)));
            context->magazineIssueContext_pageAvalable(issue, i);
        }
        ASSERT_TRUE(runMainUntil([&] { return fs::exists(folder / "started"); }));
    }
    LetGoLater letGo(folder / "release");
    ui::PdfPageCheck::stopChecks();
    EXPECT_FALSE(letGo.dismiss()) << "the end waited for the checks instead of stopping them";
    for (const auto& file : files)
        EXPECT_FALSE(fs::exists(ui::PdfPageCheck::verdictPath(file))) << file;
}

// What a page's UI context tells of a page whose arrival waits for its file's check comes right
// after that arrival (a page is available before it is finished); of another page, at once. A
// page on disk that was not announced is checked when asked to be, and then is known at once.
TEST_F(IssuePageCheckTest, WhatAPageTellsOfItselfWaitsBehindItsHeldArrival) {
    const fs::path folder = testing_support::freshTestFolder();
    checker.set("VARNEL_PDF_CHECK",
                testing_support::heldChecker(folder, ui::PdfPageCheck::program()).string());
    const auto issue = makeIssue("PC05-0002", "Magazine", {{0, 0}, {1, 1}});
    cachePage(issue, 0, testing_support::filledPdf(100, 140));
    const fs::path onDisk = cachePage(issue, 1, testing_support::filledPdf(100, 140, 0, 1, 0));
    const auto context = MagazineIssueUIContext::initWithContext(issue);
    const auto listener = std::make_shared<PageListener>();
    context->setDelegate(listener);
    for (int i : {0, 1})
        context->pageContextAtSourceIndex(i)->addDelegate(listener);

    // Page 0 arrives and is finished, as the issue context tells both in that order.
    context->magazineIssueContext_pageAvalable(issue, 0);
    ASSERT_TRUE(runMainUntil([&] { return fs::exists(folder / "started"); }));
    context->pageContextAtSourceIndex(0)->pageContextDidFinishLoadingPage(nullptr);
    context->pageContextAtSourceIndex(1)->notifyPagePainterAvailableOrPending();
    EXPECT_EQ(listener->notices, std::vector<std::string>{"painter 1"});
    std::ofstream(folder / "release");
    ASSERT_TRUE(runMainUntil([&] { return listener->notices.size() == 3; }));
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"painter 1", "page 0", "painter 0"}));

    bool checked = false;
    context->whenPageChecked(1,
                             [&] { checked = ui::PdfPageCheck::keptVerdict(onDisk).has_value(); });
    ASSERT_TRUE(runMainUntil([&] { return context->pagesBeingChecked() == 0; }));
    EXPECT_TRUE(checked);
    ASSERT_TRUE(context->keptPage(1));
    bool known = false;
    context->whenPageChecked(1, [&] { known = true; });
    EXPECT_TRUE(known);
}

// Pages found on disk with no kept check when the issue starts loading (their checks cut short by
// the program's end) are checked then, once an opening, from the page the member last viewed on,
// and handed on as arrivals are; the issue announcing one of them while it waits for its check
// checks it no more, and its notice follows that hand-over. A page whose file has its kept check
// is not looked at.
TEST_F(IssuePageCheckTest, PagesFoundUncheckedAtTheOpeningAreCheckedOnceFromTheLastViewedPage) {
    const fs::path folder = testing_support::freshTestFolder();
    const auto issue = makeIssue("PC10-0004", "Magazine", {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    const std::string good = testing_support::filledPdf(100, 140);
    for (int i : {0, 2, 3})
        cachePage(issue, i, good);
    EXPECT_TRUE(ui::PdfPageCheck::check(cachePage(issue, 1, good)).usable);
    checker.set("VARNEL_PDF_CHECK",
                testing_support::heldChecker(folder, ui::PdfPageCheck::program()).string());
    const auto context = MagazineIssueUIContext::initWithContext(issue);
    const auto listener = std::make_shared<ArrivalListener>();
    context->setDelegate(listener);
    context->persistUserLastViewedPageIndex(2);
    const uint64_t checks = ui::PdfPageCheck::checksRun();

    context->magazineIssueContextWillStartLoading(issue);
    ASSERT_TRUE(runMainUntil([&] { return fs::exists(folder / "started"); }));
    context->magazineIssueContextWillStartLoading(issue);
    context->magazineIssueContext_pageAvalable(issue, 3);
    EXPECT_EQ(context->pagesBeingChecked(), 3);
    EXPECT_FALSE(context->checkQueueIdle());
    EXPECT_TRUE(listener->notices.empty());

    std::ofstream(folder / "release");
    ASSERT_TRUE(runMainUntil([&] { return context->checkQueueIdle(); }));
    EXPECT_EQ(listener->notices,
              (std::vector<std::string>{"page 2", "page 3", "page 0", "page 3"}));
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, 3u);
    for (int i : {0, 2, 3}) {
        const auto* kept = context->keptPage(i);
        ASSERT_TRUE(kept) << i;
        EXPECT_TRUE(kept->verdict.usable) << i;
    }
    EXPECT_FALSE(context->keptPage(1));
    EXPECT_EQ(IssuePageRecord::read(context->pageRecordPath(), "PC10-0004").size(), 3u);
}

// The member turns to the last page while the pages found unchecked at the opening wait for their
// checks from the page last viewed on (the first check held): the last page is checked next, then
// the page before it, and each is handed on as soon as it is checked (with what the page tells of
// itself right after its arrival), ahead of the pages still waiting; the rest keep their order.
// Every page is checked once.
TEST_F(IssuePageCheckTest, APageShownIsCheckedAndHandedOnBeforeThePagesWaitingBeforeIt) {
    constexpr int kPages = 12, kLast = kPages - 1;
    const fs::path folder = testing_support::freshTestFolder();
    const auto issue = makeBook("PC11-0012", kPages);
    std::vector<std::string> files;
    for (int i = 0; i < kPages; ++i)
        files.push_back(
            cachePage(issue, i, testing_support::filledPdf(100, 140)).filename().string());
    checker.set("VARNEL_PDF_CHECK", heldCheckerInOrder(folder).string());
    const auto context = MagazineIssueUIContext::initWithContext(issue);
    const auto listener = std::make_shared<PageListener>();
    context->setDelegate(listener);
    const auto last = context->pageContextAtSourceIndex(kLast);
    last->addDelegate(listener);

    context->magazineIssueContextWillStartLoading(issue);
    ASSERT_TRUE(runMainUntil([&] { return fs::exists(folder / "started"); }));
    last->notifyPagePainterAvailableOrPending();
    context->checkShownPagesFirst({kLast});
    std::ofstream(folder / "release");
    ASSERT_TRUE(runMainUntil([&] { return context->checkQueueIdle(); }));

    std::vector<std::string> checked;
    std::ifstream runs(folder / "runs");
    for (std::string line; std::getline(runs, line);)
        checked.push_back(line);
    std::vector<std::string> expected{files[0], files[kLast], files[kLast - 1]};
    expected.insert(expected.end(), files.begin() + 1, files.end() - 2);
    EXPECT_EQ(checked, expected);
    std::vector<std::string> notices{"page 0", "page 11", "painter 11", "page 10"};
    for (int i = 1; i < kLast - 1; ++i)
        notices.push_back("page " + std::to_string(i));
    EXPECT_EQ(listener->notices, notices);
}

// The pages found unchecked at the opening wait for their checks from the first page on (its check
// held, then the others'); meanwhile the issue tells that its interactive files are in, the
// opening waits for the first page's check, and the last page arrives and is shown. Once the first
// page is checked, what waits for its check goes out right after its arrival; the last page,
// checked next, goes out at once: neither waits for the pages waiting before them, nor for what
// the issue told of itself. The rest then keep their order.
TEST_F(IssuePageCheckTest, AWaitForAPagesCheckAndAPageShownGoAheadOfThePagesStillWaiting) {
    constexpr int kPages = 12, kLast = kPages - 1;
    const fs::path folder = testing_support::freshTestFolder();
    const auto issue = makeBook("PC12-0012", kPages);
    for (int i = 0; i < kLast; ++i)
        cachePage(issue, i, testing_support::filledPdf(100, 140));
    // The first page's check begins, then waits for "first"; the last page's runs at once; the
    // others' wait for "rest".
    const std::string started = (folder / "started").string(), first = (folder / "first").string(),
                      rest = (folder / "rest").string();
    const std::string script =
        std::string("case \"$1\" in\n") +                                        //
        "  */PAGE_PDF_0) : > '" + started + "'; gate='" + first + "';;\n" +      //
        "  */PAGE_PDF_" + std::to_string(kLast) + ") gate=;;\n" +                //
        "  *) gate='" + rest + "';;\n" +                                         //
        "esac\n" +                                                               //
        "while [ -n \"$gate\" ] && [ ! -e \"$gate\" ]; do sleep 0.02; done\n" +  //
        "exec '" + ui::PdfPageCheck::program().string() + "' \"$@\"\n";
    checker.set("VARNEL_PDF_CHECK",
                testing_support::checkerScript(folder, "gated-checker", script).string());
    const auto context = MagazineIssueUIContext::initWithContext(issue);
    const auto listener = std::make_shared<PageListener>();
    context->setDelegate(listener);

    context->magazineIssueContextWillStartLoading(issue);
    ASSERT_TRUE(runMainUntil([&] { return fs::exists(folder / "started"); }));
    context->magazineIssueContextDidFinishLoadingInteractive(issue);
    context->whenPageChecked(0, [&] { listener->notices.push_back("checked 0"); });
    cachePage(issue, kLast, testing_support::filledPdf(100, 140));
    context->magazineIssueContext_pageAvalable(issue, kLast);
    context->checkShownPagesFirst({kLast});
    EXPECT_TRUE(listener->notices.empty());

    std::ofstream(folder / "first");
    const auto told = [&] {
        std::string text;
        for (const auto& notice : listener->notices)
            text += notice + "; ";
        return text;
    };
    EXPECT_TRUE(runMainUntil([&] { return listener->notices.size() >= 3; }, 30)) << told();
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"page 0", "checked 0", "page 11"}));
    EXPECT_EQ(context->pagesBeingChecked(), kLast - 1) << "the pages before the last wait";

    std::ofstream(folder / "rest");
    ASSERT_TRUE(runMainUntil([&] { return context->checkQueueIdle(); }));
    std::vector<std::string> notices{"page 0", "checked 0", "page 11", "page 10"};
    for (int i = 1; i < kLast - 1; ++i)
        notices.push_back("page " + std::to_string(i));
    notices.push_back("interactive");
    EXPECT_EQ(listener->notices, notices);
}
