// The metadata downloader over an issue of the demo library: one figure of progress, one finish,
// which comes once the first page is handed over checked, or about a second into a check that
// runs long.
#include <filesystem>
#include <fstream>

#include "LibraryTestSupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/library/IssueMetadataDownloader.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "demo-service/DemoLibraryMembers.h"
#include "platform/core/Exception.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "support/PdfFixtures.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using namespace library_testing;

namespace {

class DownloadWatcher : public plat::Object {
    PLAT_CLASS(DownloadWatcher)
  public:
    void progressed(const Ref<plat::Object>&, VnRequestProgress p) {
        steps.emplace_back(p.completed, p.total);
    }
    void finished(const Ref<plat::Object>&, const Ref<VnRequestResult>& r) {
        results.push_back(r);
        if (onFinish)
            onFinish();
    }
    std::vector<std::pair<float, float>> steps;
    std::vector<Ref<VnRequestResult>> results;
    std::function<void()> onFinish;
};

}  // namespace

PLAT_DEFINE_CLASS(DownloadWatcher, plat::Object, [](auto& c) {
    c.method(IssueDownloaderProgressSelector, &DownloadWatcher::progressed)
        .method(IssueDownloaderDidFinishSelector, &DownloadWatcher::finished);
})

namespace {

class MetadataDownloaderTest : public LibraryTest {
  protected:
    Ref<PdfIssueMetadataDownloader> downloaderFor(const std::string& code) {
        if (!magazines) {
            magazines = makeShelf(false);
            EXPECT_TRUE(refresh(magazines));
        }
        const auto item = itemOf(*magazines, code);
        EXPECT_TRUE(item);
        const auto ui = MagazineIssueUIContext::initWithContext<MagazineIssueUIContext>(
            user()->magazineIssueContextWithInfo(item));
        return PdfIssueMetadataDownloader::initWithPdfMagazineIssueUIContext(ui);
    }
    Ref<LibraryListView> magazines;
};

TEST_F(MetadataDownloaderTest, OneFigureOfProgressAndOneFinish) {
    startDemo();
    EXPECT_THROW(PdfIssueMetadataDownloader(nullptr), plat::Exception);
    const auto downloader = downloaderFor("MG01-2401");
    const auto watcher = std::make_shared<DownloadWatcher>();
    downloader->setDelegate(watcher);
    downloader->setDelegate(watcher);  // the same delegate keeps its fan-out: one report each
    EXPECT_FALSE(downloader->isReadyForDisplay());

    downloader->startLoading();
    downloader->metadata_request_progressReport(nullptr, VnRequestProgressMake(50, 100));
    downloader->pageUIContext_pageLoadingProgress(nullptr, VnRequestProgressMake(50, 100));
    downloader->pageUIContext_pageLoadingProgress(nullptr, VnRequestProgressMake(10, 0));
    ASSERT_GE(watcher->steps.size(), 4u);
    EXPECT_EQ(watcher->steps[0], std::make_pair(0.0f, 100.0f));
    EXPECT_EQ(watcher->steps[1], std::make_pair(12.5f, 100.0f));
    EXPECT_EQ(watcher->steps[2], std::make_pair(62.5f, 100.0f));
    EXPECT_EQ(watcher->steps[3], std::make_pair(0.0f, 0.0f));  // a zero total reports nothing done

    ASSERT_TRUE(runUntil([&] { return !watcher->results.empty(); }));
    EXPECT_TRUE(watcher->results[0]->succeed());
    EXPECT_TRUE(downloader->isReadyForDisplay());
    // Both page callbacks, however late, finish nothing more.
    const auto page = downloader->issueContext()->pageContextAtPresentationIndex(0);
    downloader->pageUIContextFullPageImageAvailable(page);
    downloader->pageUIContextPageContentPainterAvailable(page);
    spin(0.2);
    EXPECT_EQ(watcher->results.size(), 1u);

    // The first page cached: the next download finishes right after the metadata.
    const auto again = downloaderFor("MG01-2401");
    const auto second = std::make_shared<DownloadWatcher>();
    again->setDelegate(second);
    again->startLoading();
    ASSERT_TRUE(runUntil([&] { return !second->results.empty(); }));
    EXPECT_TRUE(second->results[0]->succeed());
    for (const auto& [completed, total] : second->steps)
        EXPECT_LE(completed, total * 0.25f);  // no page progress

    // A zero-page issue finishes failed; a released download reports nothing.
    const auto zero = downloaderFor(demo::kZeroPageIssue);
    const auto third = std::make_shared<DownloadWatcher>();
    zero->setDelegate(third);
    zero->startLoading();
    ASSERT_TRUE(runUntil([&] { return !third->results.empty(); }));
    EXPECT_FALSE(third->results[0]->succeed());
    const auto released = downloaderFor("MG01-2401");
    const auto fourth = std::make_shared<DownloadWatcher>();
    released->setDelegate(fourth);
    released->startLoading();
    released->cancelLoading();
    spin(0.3);
    EXPECT_TRUE(fourth->results.empty());
}

// The main loop's time stands still while it lives: nothing there that waits for a time comes.
class MainLoopTimeStandingStill {
  public:
    MainLoopTimeStandingStill() {
        clock_->setAutoAdvance(false);
        plat::RunLoop::main().setClock(clock_);
    }
    ~MainLoopTimeStandingStill() { plat::RunLoop::main().setClock(nullptr); }
    MainLoopTimeStandingStill(const MainLoopTimeStandingStill&) = delete;
    MainLoopTimeStandingStill& operator=(const MainLoopTimeStandingStill&) = delete;

  private:
    std::shared_ptr<plat::VirtualClock> clock_ =
        std::make_shared<plat::VirtualClock>(plat::RunLoop::main().now());
};

// The reader opens on the first page itself: the finish comes once that page is handed over
// checked, whether it was downloaded now or found on disk unchecked, and whatever its check finds
// (a damaged page, thrown away and downloaded again, or a check that gives no verdict, opens on
// its placeholder; nothing waits for ever).
TEST_F(MetadataDownloaderTest, TheFinishComesOnceTheFirstPageIsHandedOverChecked) {
    startDemo();
    namespace fs = std::filesystem;
    // The bound on a check that runs long (the case below) is a time on the main loop: with that
    // time standing still it never ends the wait, so each finish here comes through the check
    // alone, however long a busy machine takes over it.
    const MainLoopTimeStandingStill still;
    // What the finish finds of the first page: checked and handed over, and its file's verdict.
    struct AtFinish {
        bool handedOver = false;
        bool thrownAway = false;
        std::optional<ui::PdfPageCheck::Verdict> verdict;
        Ref<MagazineIssueUIContext> ui;
    };
    const auto download = [&]() -> std::optional<AtFinish> {
        const auto downloader = downloaderFor("MG01-2401");
        const auto ui = downloader->issueContext();
        const auto watcher = std::make_shared<DownloadWatcher>();
        AtFinish found;
        found.ui = ui;
        watcher->onFinish = [&] {
            const auto file =
                ui->context()->pageContextWithSourcePageIndex(0)->localCacheAsset()->filePath();
            found.handedOver = ui->pagesBeingChecked() == 0;
            found.thrownAway = ui->pagesThrownAway().count(0) > 0;
            found.verdict = ui::PdfPageCheck::keptVerdict(file);
        };
        downloader->setDelegate(watcher);
        downloader->startLoading();
        if (!runUntil([&] { return !watcher->results.empty(); }, 60))
            return std::nullopt;
        EXPECT_TRUE(watcher->results[0]->succeed());
        return found;
    };
    // Downloaded now.
    const auto fresh = download();
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->handedOver) << "the finish came while the first page was being checked";
    ASSERT_TRUE(fresh->verdict) << "the finish came before the first page's check was kept";
    EXPECT_TRUE(fresh->verdict->usable);

    // Found on disk, not checked as it is now (another file of the same bytes moved there), then
    // damaged, then with a check that gives no verdict.
    const auto file = downloaderFor("MG01-2401")
                          ->issueContext()
                          ->context()
                          ->contentAssetWithSourcePageIndex(0)
                          ->filePath();
    const auto replace = [&](const std::string& bytes) {
        std::ofstream(file.string() + ".new", std::ios::binary) << bytes;
        fs::rename(file.string() + ".new", file);
    };
    std::ifstream in(file, std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    replace(good);
    const uint64_t checks = ui::PdfPageCheck::checksRun();
    const auto unchecked = download();
    ASSERT_TRUE(unchecked);
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), checks + 1);
    ASSERT_TRUE(unchecked->verdict);
    EXPECT_TRUE(unchecked->verdict->usable);

    // Refused by its check: thrown away and downloaded again, and then kept as the service's.
    replace("%PDF-1.4\n" + std::string(good.size() / 2, '?') + "\n%%EOF\n");
    const auto damaged = download();
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->thrownAway);
    ASSERT_TRUE(damaged->verdict);
    EXPECT_FALSE(damaged->verdict->usable);
    ASSERT_TRUE(runUntil(
        [&] {
            const auto* kept = damaged->ui->keptPage(0);
            return kept && kept->verdict.usable && damaged->ui->pagesBeingChecked() == 0;
        },
        60));
    std::ifstream again(file, std::ios::binary);
    EXPECT_EQ(
        std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
        good);

    testing_support::ScopedEnvironment environment;
    environment.set(
        "VARNEL_PDF_CHECK",
        testing_support::checkerStoppedAtItsLimit(testing_support::freshTestFolder()).string());
    replace(good);
    const auto stopped = download();
    ASSERT_TRUE(stopped) << "a check without a verdict keeps the download waiting";
    EXPECT_FALSE(stopped->verdict);
}

}  // namespace

namespace {

// Hears the pages the issue's UI context hands over.
class HandOverListener : public plat::Object {
    PLAT_CLASS(HandOverListener)
  public:
    void pageAvailable(Ref<plat::Object>, int32_t index) { pages.push_back(index); }
    std::vector<int32_t> pages;
};

}  // namespace

PLAT_DEFINE_CLASS(HandOverListener, plat::Object, [](auto& c) {
    c.method("magazineIssueContext:pageAvalable:", &HandOverListener::pageAvailable);
})

namespace {

// A first page whose check runs long (held open here) does not hold the opening: the finish
// comes about a second into the check, whether the page has just arrived or was on disk
// unchecked, and the page is handed over, checked, when its check ends.
TEST_F(MetadataDownloaderTest, AFirstPageWhoseCheckRunsLongDoesNotHoldTheOpening) {
    startDemo();
    namespace fs = std::filesystem;
    testing_support::ScopedEnvironment environment;
    const fs::path checker = ui::PdfPageCheck::program();
    const fs::path folders = testing_support::freshTestFolder();
    fs::path file;
    for (const bool onDisk : {false, true}) {
        SCOPED_TRACE(onDisk ? "on disk, unchecked" : "just arrived");
        const fs::path folder = folders / (onDisk ? "on-disk" : "arrived");
        fs::create_directories(folder);
        environment.set("VARNEL_PDF_CHECK", testing_support::heldChecker(folder, checker).string());
        if (onDisk) {
            // Another file of the same bytes moved there: not checked as it is now.
            ASSERT_TRUE(fs::exists(file));
            fs::copy_file(file, file.string() + ".new");
            fs::rename(file.string() + ".new", file);
        }
        const auto downloader = downloaderFor("MG01-2401");
        const auto ui = downloader->issueContext();
        const auto listener = std::make_shared<HandOverListener>();
        ui->setDelegate(listener);
        const auto watcher = std::make_shared<DownloadWatcher>();
        bool heldAtFinish = false;
        watcher->onFinish = [&] {
            heldAtFinish = fs::exists(folder / "started") && !fs::exists(folder / "release");
        };
        downloader->setDelegate(watcher);
        downloader->startLoading();
        // Without the bound the finish waits for the release, which never comes here.
        ASSERT_TRUE(runUntil([&] { return !watcher->results.empty(); }, 30))
            << "the opening waited for the first page's check";
        EXPECT_TRUE(watcher->results[0]->succeed());
        EXPECT_TRUE(heldAtFinish) << "the finish came before the check began or after it ended";
        EXPECT_TRUE(listener->pages.empty()) << "handed over before its check ended";
        file = ui->context()->contentAssetWithSourcePageIndex(0)->filePath();

        // The reader opens on it: the issue loads its pages, the first among them.
        ui->context()->startLoadingAllPages();
        std::ofstream(folder / "release").flush();
        ASSERT_TRUE(runUntil([&] { return !listener->pages.empty(); }, 30));
        EXPECT_EQ(listener->pages.front(), 0);
        const auto verdict = ui::PdfPageCheck::keptVerdict(file);
        ASSERT_TRUE(verdict);
        EXPECT_TRUE(verdict->usable);
        ASSERT_TRUE(ui->keptPage(0));
        EXPECT_EQ(watcher->results.size(), 1u);
        downloader->releaseDownloadingIssue();
    }
}

}  // namespace

namespace {

// With the page list and the metadata at hand and the first page still to come, a fetch of that
// page that fails (its location, its file, or one that failed before the wait began) ends the
// opening at once as one failed finish, and nothing of the issue goes on loading; a new opening
// then finishes once the service serves the page. After the finish, a failure of the first page
// reports nothing more and leaves the issue loading for the reader.
TEST_F(MetadataDownloaderTest, AFailedFetchOfTheFirstPageEndsTheOpeningUntilItsFinish) {
    startDemo();
    const std::string code = "MG01-2401";
    const std::string firstPage = "/content/" + code + "/PAGE_0.pdf";
    // The metadata arrives; the first page is held, then the opening released.
    demo.service.setFault(firstPage, demo::Fault::stall());
    {
        const auto held = downloaderFor(code);
        held->setDelegate(std::make_shared<DownloadWatcher>());
        held->startLoading();
        ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
        ASSERT_TRUE(held->issueContext()->context()->metadataAvailable());
        held->releaseDownloadingIssue();
    }
    demo.service.clearFaults();
    demo.service.releaseStalled();

    // Each fails once, so that a fetch asked again would bring the page: the page's own location
    // or its file, or, before the wait began, every page's location (as the reader asks them) or
    // the page's file.
    struct Failing {
        const char* what;
        std::string failing;
        std::function<void(VnMagazineIssueContext&)> before;
    };
    const std::vector<Failing> failings = {
        {"its location", "GetAssetFiles", {}},
        {"its file", firstPage, {}},
        {"every location before", "GetAssetFiles",
         [](VnMagazineIssueContext& issue) { issue.startLoadingAllPages(); }},
        {"its file before", firstPage,
         [](VnMagazineIssueContext& issue) { issue.startLoadingWithPages({0}); }},
    };
    for (const auto& failing : failings) {
        SCOPED_TRACE(failing.what);
        demo::Fault once = demo::Fault::htmlStatus(500);
        once.calls = 1;
        demo.service.setFault(failing.failing, once);
        VnContentAssetRequest::forgetGlobalFileInfos();  // the page is located again
        const auto downloader = downloaderFor(code);
        const auto issue = downloader->issueContext()->context();
        issue->pageContextWithSourcePageIndex(0)->localCacheAsset()->clearData();
        if (failing.before) {
            failing.before(*issue);
            ASSERT_TRUE(runUntil([&] { return issue->pageFetchFailure(0) != nullptr; }));
        }
        const auto watcher = std::make_shared<DownloadWatcher>();
        downloader->setDelegate(watcher);
        downloader->startLoading();
        ASSERT_TRUE(runUntil([&] { return !watcher->results.empty(); }, 30))
            << "the opening waits on the issue's page retries";
        EXPECT_FALSE(watcher->results[0]->succeed());
        EXPECT_FALSE(watcher->results[0]->isUserCancelled());
        // Released: no page retry, no request queued or running that could report again.
        EXPECT_FALSE(issue->retryTimerRunning());
        EXPECT_TRUE(issue->pageRequestManager()->activeRequests().empty());
        EXPECT_TRUE(issue->pageRequestManager()->queuedRequests().empty());
        EXPECT_FALSE(issue->assetFileUrlRequest());
        EXPECT_EQ(watcher->results.size(), 1u);
        demo.service.clearFaults();
    }
    // A new opening with the service serving the page is not failed by the ones before it.
    const auto downloader = downloaderFor(code);
    const auto issue = downloader->issueContext()->context();
    const auto watcher = std::make_shared<DownloadWatcher>();
    downloader->setDelegate(watcher);
    downloader->startLoading();
    ASSERT_TRUE(runUntil([&] { return !watcher->results.empty(); }, 30));
    EXPECT_TRUE(watcher->results[0]->succeed());

    // The reader has the issue: its first page, gone and fetched again, fails; the opening says
    // nothing more and the issue keeps the page for its retries.
    issue->pageContextWithSourcePageIndex(0)->localCacheAsset()->clearData();
    demo.service.setFault(firstPage, demo::Fault::htmlStatus(500));
    bool failed = false;  // heard after the downloader, which waits on the page since before
    const auto alive = std::make_shared<bool>(true);
    issue->whenPageFetchFails(0, alive, [&](const Ref<VnRequestResult>&) { failed = true; });
    issue->startLoadingWithPages({0});
    ASSERT_TRUE(runUntil([&] { return failed; }));
    EXPECT_EQ(watcher->results.size(), 1u);
    EXPECT_TRUE(issue->retryTimerRunning());
    EXPECT_TRUE(issue->pageFetchFailure(0));
    downloader->releaseDownloadingIssue();
}

}  // namespace
