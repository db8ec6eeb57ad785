// The metadata downloader over an issue of the demo library: one figure of progress, one finish,
// which comes once the first page is handed over checked.
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
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "support/PdfFixtures.h"
#include "vnlib/domain/content/VnContentAsset.h"
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

// The reader opens on the first page itself: the finish comes once that page is handed over
// checked, whether it was downloaded now or found on disk unchecked, and whatever its check finds
// (a damaged page, or a check that gives no verdict, opens on its placeholder; nothing waits for
// ever).
TEST_F(MetadataDownloaderTest, TheFinishComesOnceTheFirstPageIsHandedOverChecked) {
    startDemo();
    namespace fs = std::filesystem;
    // What the finish finds of the first page: checked and handed over, and its file's verdict.
    struct AtFinish {
        bool handedOver = false;
        std::optional<ui::PdfPageCheck::Verdict> verdict;
    };
    const auto download = [&]() -> std::optional<AtFinish> {
        const auto downloader = downloaderFor("MG01-2401");
        const auto ui = downloader->issueContext();
        const auto watcher = std::make_shared<DownloadWatcher>();
        AtFinish found;
        watcher->onFinish = [&] {
            const auto file = ui->context()->contentAssetWithSourcePageIndex(0)->filePath();
            found.handedOver = ui->pagesBeingChecked() == 0;
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
    EXPECT_TRUE(fresh->handedOver);
    ASSERT_TRUE(fresh->verdict);
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

    replace("%PDF-1.4\n" + std::string(good.size() / 2, '?') + "\n%%EOF\n");
    const auto damaged = download();
    ASSERT_TRUE(damaged);
    ASSERT_TRUE(damaged->verdict);
    EXPECT_FALSE(damaged->verdict->usable);

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
