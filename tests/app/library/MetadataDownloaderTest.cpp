// The metadata downloader over an issue of the demo library: one figure of progress, one finish.
#include "LibraryTestSupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/library/IssueMetadataDownloader.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "demo-service/DemoLibraryMembers.h"
#include "platform/core/Exception.h"
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
    void finished(const Ref<plat::Object>&, const Ref<VnRequestResult>& r) { results.push_back(r); }
    std::vector<std::pair<float, float>> steps;
    std::vector<Ref<VnRequestResult>> results;
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

}  // namespace
