// Opening a downloaded issue: every page file is checked once, when it arrives; the reader then
// opens on the kept sizes, without a child and with at most two layouts, however many pages the
// issue announces again; damaged pages keep their placeholders and reasons; the issue takes stock
// before the document is built and loads before the opening ends, and moving through it asks
// nothing of the issue; the last viewed page shows as soon as its own file is there; a page file
// gone since it was kept is fetched again when its page is drawn. A page file that is no longer
// the one kept (a copied home, a chmod, a file changed while its issue is open) is checked again
// and kept, never thrown away unchecked; one its check refuses (cut, emptied, damaged, or kept
// damaged before) is thrown away and fetched again once an opening. Page files left unchecked are
// checked and drawn at the opening even when the service never tells where they download from.
#include <fcntl.h>
#include <sys/stat.h>

#include <QLabel>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "ReaderTestSupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/reader/BookmarkViewController.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "platform_ui/pdf/PdfRenderCache.h"
#include "support/CapturedLog.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"

using namespace reader_testing;

using ReaderOpeningTest = ReaderTest;

namespace {

// Whether every page file of the issue has its kept check.
bool allChecked(const Ref<VnMagazineIssueContext>& issue, int pages) {
    for (int i = 0; i < pages; ++i) {
        const auto page = issue->pageContextWithSourcePageIndex(i);
        if (!page->pageContentAssetAvailable() ||
            !ui::PdfPageCheck::keptVerdict(page->pageContentAsset()->filePath()))
            return false;
    }
    return true;
}

// Downloads the issue as the shelf does, until every page file has its kept check.
::testing::AssertionResult downloadedAndChecked(const Ref<MagazineIssueUIContext>& downloading,
                                                int pages) {
    if (!downloading)
        return ::testing::AssertionFailure() << "no issue";
    downloading->context()->startLoadingAllPages();
    if (!spinUntil([&] { return downloading->context()->info()->finished_; }, 60000))
        return ::testing::AssertionFailure() << "the issue did not download";
    if (!spinUntil([&] { return allChecked(downloading->context(), pages); }, 60000))
        return ::testing::AssertionFailure() << "its page files were not checked";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(ReaderOpeningTest, PagesCheckedAtDownloadOpenWithoutAChildInAtMostTwoLayouts) {
    constexpr int kPages = 200;
    addItem("RO01-0200", kPages).damagedPages = true;
    // Downloaded as the shelf does: the issue's UI context hears each page arrive.
    const uint64_t beforeDownload = ui::PdfPageCheck::checksRun();
    {
        auto downloading = contextOf("RO01-0200");
        ASSERT_TRUE(downloading);
        downloading->context()->startLoadingAllPages();
        ASSERT_TRUE(spinUntil([&] { return downloading->context()->info()->finished_; }, 120000));
        ASSERT_TRUE(spinUntil([&] { return allChecked(downloading->context(), kPages); }, 120000));
        // The three refused by their checks (the HTML page, the cut one, the garbage) are
        // thrown away once, downloaded again, and kept as damaged.
        ASSERT_TRUE(spinUntil(
            [&] {
                for (int i = 2; i <= 4; ++i) {
                    const auto* kept = downloading->keptPage(i);
                    if (!kept || kept->verdict.usable)
                        return false;
                }
                return downloading->pagesBeingChecked() == 0;
            },
            120000));
        EXPECT_EQ(downloading->pagesThrownAway(), (std::set<int32_t>{2, 3, 4}));
    }
    // Once each (the HTML page of the damaged ones too), and once more each page refused.
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - beforeDownload, static_cast<uint64_t>(kPages + 3));
    // At the opening they are thrown away again; their downloads hang meanwhile, so that nothing
    // arrives while the opening is measured.
    for (int i = 2; i <= 4; ++i)
        demo.service.setFault("/content/RO01-0200/PAGE_" + std::to_string(i) + ".pdf",
                              demo::Fault::stall());

    auto reader = shownReader();
    auto context = contextOf("RO01-0200");
    ASSERT_TRUE(context);
    // Scaled to fit, as the benchmark reads (at a fixed zoom the scroll bars' coming lays the
    // view out once more).
    reader->pdfPageViewType(0);
    reader->zoomAutoPdfView();
    spin(50);
    const uint64_t beforeOpening = ui::PdfPageCheck::checksRun();
    const int layouts = reader->pdfView()->layoutCount();
    reader->setUiContext(context);
    // Every size is known before anything renders: the first layout is the last.
    const auto document = reader->mainDocument();
    ASSERT_EQ(document->pageCount(), kPages);
    std::vector<Ref<ui::PdfPage>> pages;
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(document->pageAtIndex(i));
        EXPECT_TRUE(pages.back()->isChecked()) << i;
    }
    reader->goToPage(150);
    ASSERT_TRUE(waitUntilPainted(reader, 150));
    // The issue announces every page it finds on disk; none of them changes the document.
    ASSERT_TRUE(spinUntil([&] { return context->finishedPageCount() == kPages; }));
    ASSERT_TRUE(waitUntilLoaded(reader));
    spin(100);
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), beforeOpening);
    EXPECT_LE(reader->pdfView()->layoutCount() - layouts, 2);
    for (int i = 0; i < kPages; ++i)
        EXPECT_EQ(document->pageAtIndex(i), pages[static_cast<size_t>(i)]) << i;
    EXPECT_TRUE(reader->pdfView()->hasPainted(pages[150]));

    // The damaged pages (an HTML page, a cut one, garbage, a 1-point page) keep their
    // placeholders and say why.
    const QColor grey = reader->placeholderImage().pixelColor(10, 10);
    for (int i = 2; i <= 5; ++i) {
        const auto page = pages[static_cast<size_t>(i)];
        if (page->isImagePage())
            continue;  // not a PDF at all: the placeholder itself
        EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*page)) << i;
        ASSERT_TRUE(page->error()) << i;
        EXPECT_FALSE(page->error()->localizedDescription().empty()) << i;
        EXPECT_EQ(ui::PdfPageRenderer::image(*page, {60, 84}).pixelColor(30, 60), grey) << i;
    }
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), beforeOpening);
}

TEST_F(ReaderOpeningTest, TheLastViewedPageShowsWhileOtherPagesStillDownload) {
    addItem("RO02-0012", 12);
    // Two pages before it and the two after it hang in the download.
    for (int stalled : {0, 1, 10, 11})
        demo.service.setFault("/content/RO02-0012/PAGE_" + std::to_string(stalled) + ".pdf",
                              demo::Fault::stall());
    auto context = contextOf("RO02-0012");
    ASSERT_TRUE(context);
    context->persistUserLastViewedPageIndex(9);
    auto reader = shownReader();
    // As the shelf hands it over: opened, then at the member's last viewed page.
    reader->setUiContext(context);
    reader->goToPage(context->userLastViewedPageIndex());
    // Its own page, not the placeholder, is painted.
    ASSERT_TRUE(spinUntil([&] {
        const auto page = reader->mainDocument()->pageAtIndex(9);
        return !page->isImagePage() && reader->pdfView()->hasPainted(page);
    }));
    EXPECT_EQ(reader->currentPageIndex(), 9);
    EXPECT_GE(demo.service.stalledCount(), 2u);
    EXPECT_LT(context->finishedPageCount(), 12);
    EXPECT_TRUE(reader->mainDocument()->pageAtIndex(10)->isImagePage());
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(waitUntilLoaded(reader));
    EXPECT_EQ(reader->currentPageIndex(), 9);
}

TEST_F(ReaderOpeningTest, ADownloadedIssueShowsItsPageAndWhatTheIssueFindsLeavesItAsItWas) {
    constexpr int kPages = 40;
    addItem("RO03-0040", kPages);
    ASSERT_TRUE(downloadedAndChecked(contextOf("RO03-0040"), kPages));
    auto reader = shownReader();
    reader->pdfPageViewType(0);
    spin(50);
    auto context = contextOf("RO03-0040");
    ASSERT_TRUE(context);
    const auto issue = context->context();
    reader->setUiContext(context);
    // It has taken stock: every page is on disk.
    EXPECT_TRUE(issue->info()->finished_);
    reader->goToPage(30);
    ASSERT_TRUE(waitUntilPainted(reader, 30));
    // The issue announces what it found, which leaves the document as it was.
    const auto shown = reader->mainDocument()->pageAtIndex(30);
    ASSERT_TRUE(waitUntilLoaded(reader));
    spin(100);
    EXPECT_EQ(reader->mainDocument()->pageAtIndex(30), shown);
    EXPECT_TRUE(reader->progressView()->isHidden());

    // A reader that is not on screen paints nothing: its issue loads all the same.
    auto hidden = ui::ViewController::create<ReaderViewController>();
    hidden->view()->resize(800, 600);
    auto other = contextOf("RO03-0040");
    ASSERT_TRUE(other);
    hidden->setUiContext(other);
    ASSERT_TRUE(spinUntil([&] { return other->finishedPageCount() == kPages; }));
}

namespace {

// Notes, whenever the reader asks how many pages the issue has (as it builds its document),
// whether the issue had taken stock by then: its stale "finished" mark cleared.
class StockWatchingUIContext : public MagazineIssueUIContext {
    PLAT_CLASS(StockWatchingUIContext)
  public:
    using MagazineIssueUIContext::MagazineIssueUIContext;
    int32_t presentationPageCount() const override {
        (context()->info()->finished_ ? askedBeforeStock : askedAfterStock)++;
        return MagazineIssueUIContext::presentationPageCount();
    }
    mutable int askedBeforeStock = 0, askedAfterStock = 0;
};
PLAT_DEFINE_CLASS(StockWatchingUIContext, MagazineIssueUIContext, PLAT_NO_METHODS)

// The position of the page's request among those waiting in the issue's page queue; -1 when it
// is not there.
int queuePosition(const Ref<VnMagazineIssueContext>& issue, int page) {
    const auto request =
        issue->pageRequestManager()->requestForId(plat::Value(plat::Number::fromInt64(page, 'i')));
    const auto& queued = issue->pageRequestManager()->queuedRequests();
    const auto it = std::find(queued.begin(), queued.end(), request);
    return request && it != queued.end() ? static_cast<int>(it - queued.begin()) : -1;
}

}  // namespace

// Opening an issue: it takes stock of its files before the reader builds the document, and has
// started loading all its pages when the opening returns; moving to a page still to come asks
// nothing of it (the pages come in their order).
TEST_F(ReaderOpeningTest, TheIssueTakesStockBeforeTheDocumentIsBuiltAndLoadsBeforeTheOpeningEnds) {
    constexpr int kPages = 12;
    addItem("RO08-0012", kPages);
    // The first four pages hang in the download: the others wait in the queue behind them.
    stallFirstPages("RO08-0012", 4);
    auto context = contextOf<StockWatchingUIContext>("RO08-0012");
    ASSERT_TRUE(context);
    const auto issue = context->context();
    // Marked finished, wrongly: taking stock clears the mark.
    issue->info()->finished_ = true;
    auto reader = shownReader();
    reader->pdfPageViewType(0);
    reader->setUiContext(context);
    EXPECT_EQ(reader->mainDocument()->pageCount(), kPages);
    EXPECT_GT(context->askedAfterStock, 0);
    EXPECT_EQ(context->askedBeforeStock, 0) << "the document was built before the issue took stock";
    EXPECT_TRUE(issue->downloading()) << "the issue does not load yet";

    // As the shelf hands it over: at the member's last viewed page, still to come.
    reader->goToPage(kPages - 1);
    ASSERT_TRUE(spinUntil([&] { return queuePosition(issue, kPages - 1) >= 0; }));
    EXPECT_TRUE(reader->mainDocument()->pageAtIndex(kPages - 1)->isImagePage());
    const int last = static_cast<int>(issue->pageRequestManager()->queuedRequests().size()) - 1;
    EXPECT_EQ(queuePosition(issue, kPages - 1), last);
    // Gone to once the pages wait in the queue: they stay in their order.
    reader->goToPage(kPages - 2);
    EXPECT_EQ(reader->currentPageIndex(), kPages - 2);
    EXPECT_EQ(queuePosition(issue, kPages - 1), last);
    EXPECT_EQ(queuePosition(issue, kPages - 2), last - 1);
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(waitUntilLoaded(reader));
}

// The reader opening another issue shows no strip with the former issue's progress: the new
// issue's own shows once it has taken stock, as the opening begins.
TEST_F(ReaderOpeningTest, AnotherIssueOpensWithoutTheFormerIssuesProgress) {
    addItem("RO04-0006", 6);
    addItem("RO04-0007", 2);
    demo.service.setFault("/content/RO04-0006/PAGE_5.pdf", demo::Fault::stall());
    auto first = contextOf("RO04-0006");
    ASSERT_TRUE(first);
    auto reader = shownReader();
    reader->setUiContext(first);
    ASSERT_TRUE(spinUntil([&] { return !reader->progressView()->isHidden(); }))
        << "the strip tells of the page still to come";
    auto second = contextOf("RO04-0007");
    ASSERT_TRUE(second);
    reader->setUiContext(second);
    EXPECT_FALSE(reader->progressView()->isHidden());
    EXPECT_EQ(reader->percentTextField()->text().toStdString(), "Loading pages... 0 of 2 done");
    EXPECT_EQ(reader->progressValue(), 0);
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(waitUntilLoaded(reader));
}

TEST_F(ReaderOpeningTest, AnIssueReplacedByAnotherKeepsThePageItWasOn) {
    addItem("RO04-0016", 6);
    addItem("RO04-0017", 4, true);
    auto magazine = contextOf("RO04-0016");
    ASSERT_TRUE(magazine);
    auto reader = shownReader();
    reader->setUiContext(magazine);
    ASSERT_TRUE(waitUntilLoaded(reader));
    reader->goToPage(3);
    ASSERT_EQ(reader->currentPageIndex(), 3);
    // Another issue takes the reader over while the window stays open (an opening that ends
    // while the member reads): the magazine keeps its place, for this opening and the next.
    auto book = contextOf("RO04-0017");
    ASSERT_TRUE(book);
    reader->setUiContext(book);
    EXPECT_EQ(magazine->userLastViewedPageIndex(), 3);
    const auto again = contextOf("RO04-0016");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->userLastViewedPageIndex(), 3);
    // The book opened on its own place, untouched by the magazine's.
    EXPECT_EQ(book->userLastViewedPageIndex(), 0);
    ASSERT_TRUE(waitUntilLoaded(reader));
}

TEST_F(ReaderOpeningTest, ADownloadedPageIsHandedOverCheckedOnceAndLaidOutAtMostOnce) {
    constexpr int kPages = 12;
    addItem("RO05-0012", kPages);
    auto reader = shownReader();
    reader->pdfPageViewType(1);
    reader->zoomAutoPdfView();
    auto context = contextOf("RO05-0012");
    ASSERT_TRUE(context);
    const uint64_t checks = ui::PdfPageCheck::checksRun();
    reader->setUiContext(context);
    const auto document = reader->mainDocument();
    ASSERT_EQ(document->pageCount(), kPages);
    // Counted from the opening on, before anything arrives: every slot still holds its
    // placeholder. Each page arrives in its slot once, with its size known: never with an
    // estimate to correct.
    for (int i = 0; i < kPages; ++i)
        ASSERT_TRUE(document->pageAtIndex(i)->isImagePage()) << i;
    std::multiset<int> replaced;
    int unchecked = 0;
    const int token = document->addChangeObserver([&](const ui::PdfDocument::Change& change) {
        if (change.kind != ui::PdfDocument::Change::Replaced)
            return;
        replaced.insert(change.index);
        if (!document->pageAtIndex(change.index)->isChecked())
            ++unchecked;
    });
    ASSERT_TRUE(waitUntilPainted(reader, 0));
    const int layouts = reader->pdfView()->layoutCount();
    ASSERT_TRUE(waitUntilLoaded(reader));
    ASSERT_TRUE(waitUntilParsed(reader));
    document->removeChangeObserver(token);
    std::multiset<int> eachOnce;
    for (int i = 0; i < kPages; ++i)
        eachOnce.insert(i);
    EXPECT_EQ(replaced, eachOnce);
    EXPECT_EQ(unchecked, 0);
    // The placeholder's size is not a page's: one layout a page at most (arrivals within one
    // turn share one), and one more as the loading strip goes and the view grows.
    EXPECT_GE(reader->pdfView()->layoutCount() - layouts, 1);
    EXPECT_LE(reader->pdfView()->layoutCount() - layouts, kPages + 1);
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, static_cast<uint64_t>(kPages));
    for (int i = 0; i < kPages; ++i)
        EXPECT_FALSE(document->pageAtIndex(i)->isImagePage()) << i;
}

TEST_F(ReaderOpeningTest, AnIssueOpensFromItsPageRecordWithoutAStatOrACheckAndDistrustsABadOne) {
    constexpr int kPages = 8;
    addItem("RO06-0008", kPages);
    std::filesystem::path recordPath, changed;
    {
        auto downloading = contextOf("RO06-0008");
        ASSERT_TRUE(downloading);
        recordPath = downloading->pageRecordPath();
        downloading->context()->startLoadingAllPages();
        ASSERT_TRUE(spinUntil([&] { return downloading->context()->info()->finished_; }, 60000));
        ASSERT_TRUE(spinUntil([&] { return allChecked(downloading->context(), kPages); }, 60000));
        ASSERT_TRUE(spinUntil([&] { return downloading->pagesBeingChecked() == 0; }, 60000));
        changed = downloading->context()->contentAssetWithSourcePageIndex(1)->filePath();
    }
    // Written on the issue's checking queue once its context has gone.
    ASSERT_TRUE(spinUntil([&] {
        return IssuePageRecord::read(recordPath, "RO06-0008").size() == static_cast<size_t>(kPages);
    }));

    // Opening takes every page from the record: no checker, no file stat-ed.
    const auto open = [&](const Ref<ReaderViewController>& reader) {
        auto context = contextOf("RO06-0008");
        reader->pdfPageViewType(0);
        reader->zoomAutoPdfView();
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        const uint64_t stats = ui::PdfPageCheck::identitiesTaken();
        reader->setUiContext(context);
        const auto document = reader->mainDocument();
        EXPECT_EQ(document->pageCount(), kPages);
        for (int i = 0; i < kPages; ++i) {
            const auto page = document->pageAtIndex(i);
            // (the changed one: see below)
            EXPECT_TRUE(i == 1 || (page->isChecked() && !page->isImagePage())) << i;
        }
        EXPECT_EQ(ui::PdfPageCheck::checksRun(), checks);
        return ui::PdfPageCheck::identitiesTaken() - stats;
    };
    // A page file changed after the record was written is refused when it is drawn.
    std::ofstream(changed, std::ios::binary | std::ios::app) << "\n% changed\n";
    {
        auto reader = shownReader();
        EXPECT_EQ(open(reader), 0u);
        const auto page = reader->mainDocument()->pageAtIndex(1);
        reader->goToPage(1);
        ASSERT_TRUE(spinUntil([&] { return page->error() != nullptr; }));
        EXPECT_NE(page->error()->localizedDescription().find("changed"), std::string::npos);
        EXPECT_FALSE(reader->mainDocument()->pageAtIndex(0)->error());
        // The refused page is downloaded again and kept anew (the record written again) before
        // the record is cut short below.
        ASSERT_TRUE(spinUntil([&] {
            const auto record = IssuePageRecord::read(recordPath, "RO06-0008");
            const auto* kept = record.page(1);
            return record.size() == static_cast<size_t>(kPages) && kept &&
                   kept->identity == ui::PdfPageCheck::fileIdentity(changed).value_or("");
        }));
    }
    // A record cut short is not trusted: the pages are found from their files again, all kept.
    auto text = IssuePageRecord::read(recordPath, "RO06-0008").text();
    std::ofstream(recordPath, std::ios::binary | std::ios::trunc)
        << text.substr(0, text.size() - 3);
    auto reader = shownReader();
    EXPECT_GE(open(reader), static_cast<uint64_t>(kPages));
    // The issue announces the pages it finds on disk: the changed file is checked, and shown.
    EXPECT_TRUE(spinUntil([&] {
        for (int i = 0; i < kPages; ++i) {
            const auto page = reader->mainDocument()->pageAtIndex(i);
            if (page->isImagePage() || page->error() || !page->isChecked())
                return false;
        }
        return true;
    }));
    // ... and kept again whole.
    EXPECT_TRUE(spinUntil([&] {
        return IssuePageRecord::read(recordPath, "RO06-0008").size() == static_cast<size_t>(kPages);
    }));
}

// A page file gone since the issue kept it (the issue still counts it as downloaded) is fetched
// again when its page is drawn and refused: the page shown comes back as itself, first.
TEST_F(ReaderOpeningTest, AKeptPageWhoseFileWentIsFetchedAgainWhenItIsShown) {
    constexpr int kPages = 12, kShown = 9;
    addItem("RO07-0012", kPages);
    std::vector<std::filesystem::path> files;
    {
        auto downloading = contextOf("RO07-0012");
        ASSERT_TRUE(downloading);
        downloading->context()->startLoadingAllPages();
        ASSERT_TRUE(spinUntil([&] { return downloading->context()->info()->finished_; }, 60000));
        ASSERT_TRUE(spinUntil([&] { return allChecked(downloading->context(), kPages); }, 60000));
        ASSERT_TRUE(spinUntil([&] { return downloading->pagesBeingChecked() == 0; }, 60000));
        ASSERT_TRUE(spinUntil([&] {
            return IssuePageRecord::read(downloading->pageRecordPath(), "RO07-0012").size() ==
                   static_cast<size_t>(kPages);
        }));
        for (int i = 0; i <= kShown; ++i)
            files.push_back(downloading->context()->contentAssetWithSourcePageIndex(i)->filePath());
    }
    for (const auto& file : files)
        ASSERT_TRUE(std::filesystem::remove(file));
    const size_t heard = demo.service.requests().size();

    auto context = contextOf("RO07-0012");
    ASSERT_TRUE(context);
    context->persistUserLastViewedPageIndex(kShown);
    auto reader = shownReader();
    reader->setUiContext(context);
    reader->goToPage(context->userLastViewedPageIndex());
    ASSERT_TRUE(waitUntilLoaded(reader));
    ASSERT_TRUE(spinUntil([&] {
        const auto page = reader->mainDocument()->pageAtIndex(kShown);
        return page->isChecked() && !page->error() && reader->pdfView()->hasPainted(page);
    })) << "the page shown comes again and shows as itself";

    std::vector<std::string> pageGets;
    const auto requests = demo.service.requests();
    for (size_t i = heard; i < requests.size(); ++i) {
        if (requests[i].method == "GET" && requests[i].path.find("/PAGE_") != std::string::npos)
            pageGets.push_back(requests[i].path);
    }
    ASSERT_FALSE(pageGets.empty());
    EXPECT_EQ(pageGets.front(), "/content/RO07-0012/PAGE_" + std::to_string(kShown) + ".pdf");
    EXPECT_LE(pageGets.size(), 3u) << "only pages drawn are fetched again";
}

// An issue kept whole opened again at a page, with the reader's window closed meanwhile: the
// page's render is asked for before the rest of the issue's pages are made, for the page the
// document then holds, at the very size it is painted at (fitted, or at the scale chosen); two
// pages side by side, the spread.
TEST_F(ReaderOpeningTest, AnIssueKeptWholeAsksForItsOpeningPageFirstAtTheSizeItShowsAt) {
    constexpr int kPages = 30;
    addItem("RO09-0030", kPages);
    {
        auto downloading = contextOf("RO09-0030");
        ASSERT_TRUE(downloadedAndChecked(downloading, kPages));
        ASSERT_TRUE(spinUntil(
            [&] {
                return downloading->pagesBeingChecked() == 0 &&
                       IssuePageRecord::read(downloading->pageRecordPath(), "RO09-0030").size() ==
                           static_cast<size_t>(kPages);
            },
            60000));
    }
    // Wide enough for two pages side by side to be fitted by their height.
    auto reader = shownReader(QSize(1400, 800));
    auto& cache = reader->pdfView()->renderCache();
    // A page at a time fitted, two pages fitted, and two pages zoomed by hand.
    for (const auto& [mode, fitted] : {std::pair{0, true}, {2, true}, {2, false}}) {
        reader->pdfPageViewType(mode);
        if (fitted)
            reader->zoomAutoPdfView();
        else
            reader->pdfView()->setScaleFactor(0.75);
        reader->setUiContext(contextOf("RO09-0030"), 0);
        reader->goToPage(0);
        ASSERT_TRUE(waitUntilPainted(reader, 0));
        reader->view()->hide();

        // Opened as the window opens an issue: the renders asked for while the issue's pages
        // were made wait (the worker held) for the page gone to after.
        const int at = 20;
        const auto context = contextOf("RO09-0030");
        cache.setSuspended(true);
        reader->setUiContext(context, at);
        const auto document = reader->mainDocument();
        const std::vector<int> row =
            mode == 0 ? std::vector<int>{at} : std::vector<int>{at - 1, at};
        std::map<int, std::vector<ui::PdfRenderCache::Key>> early;
        for (const int index : row) {
            early[index] = cache.pendingKeys(document->pageAtIndex(index)->pageId());
            EXPECT_EQ(early[index].size(), 1u) << mode << ": " << index;
        }
        reader->view()->show();
        reader->goToPage(at);
        cache.setSuspended(false);
        ASSERT_TRUE(waitUntilPainted(reader, at)) << mode;
        for (const int index : row) {
            const auto page = document->pageAtIndex(index);
            const QSize painted =
                (reader->pdfView()->pageFrame(page).size() * reader->pdfView()->devicePixelRatioF())
                    .toSize();
            if (!early[index].empty()) {
                EXPECT_EQ(early[index].front().fullSize, painted) << mode << ": " << index;
            }
        }
        reader->setUiContext(nullptr);
    }
}

namespace {

namespace fs = std::filesystem;

// The file made anew with its bytes and its access and modification times (as `cp -a`, rsync -a
// or a restore from a backup makes it): another inode, a new status-change time.
void copyKeepingTimes(const fs::path& file) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
    const fs::path copy = file.string() + ".copy";
    fs::copy_file(file, copy);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
    fs::rename(copy, file);
}

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A PDF that QtPdf cannot open, of exactly `size` bytes, which looks whole at its start and end.
std::string damagedPdfOfSize(size_t size) {
    std::string pdf = "%PDF-1.4\n";
    pdf += std::string(size - pdf.size() - 7, 'x');
    return pdf + "\n%%EOF\n";
}

}  // namespace

class ReaderChangedFilesTest : public ReaderTest {
  protected:
    // Downloads the issue whole, every page checked and kept in its record; its page files.
    std::vector<fs::path> downloadedWhole(const std::string& code, int pages) {
        std::vector<fs::path> files;
        auto downloading = contextOf(code);
        EXPECT_TRUE(downloadedAndChecked(downloading, pages));
        EXPECT_TRUE(spinUntil([&] {
            return downloading->pagesBeingChecked() == 0 &&
                   IssuePageRecord::read(downloading->pageRecordPath(), code).size() ==
                       static_cast<size_t>(pages);
        }));
        // Its last write of the record over: nothing of it comes after the test's own changes.
        EXPECT_TRUE(spinUntil([&] { return downloading->checkQueueIdle(); }));
        for (int i = 0; i < pages; ++i)
            files.push_back(downloading->context()->contentAssetWithSourcePageIndex(i)->filePath());
        return files;
    }
    // Opens the issue anew (`opened`, whether or not its pages draw) and shows each of its
    // pages, in the page view and in the strip, until each is drawn as itself.
    ::testing::AssertionResult drawsEveryPage(const std::string& code, int pages) {
        auto context = contextOf(code);
        opened = context;
        if (!context)
            return ::testing::AssertionFailure() << "no issue";
        const auto reader = shownReader();
        reader->setHiddenThumbmailPDF(false);
        reader->setUiContext(context);
        for (int i = 0; i < pages; ++i) {
            reader->goToPage(i);
            const bool drawn = spinUntil([&] {
                const auto page = reader->mainDocument()->pageAtIndex(i);
                return page && !page->isImagePage() && page->isChecked() && !page->error() &&
                       reader->pdfView()->hasPainted(page);
            });
            if (!drawn)
                return ::testing::AssertionFailure() << "page " << i << " is not drawn as itself";
        }
        reader->setUiContext(nullptr);
        return ::testing::AssertionSuccess();
    }
    // GET requests for the page's file heard so far.
    size_t pageGets(const std::string& code, int index) const {
        const std::string path = "/content/" + code + "/PAGE_" + std::to_string(index) + ".pdf";
        size_t n = 0;
        for (const auto& request : demo.service.requests())
            n += request.method == "GET" && request.path == path;
        return n;
    }
    // Downloads the issue whole and opens it in the reader at its first page (`opened`), every
    // page arrived and that one drawn; then copies the page's file anew (its times kept) and has
    // it drawn by `draw`. The page comes back in its slot checked and usable, as the file is now,
    // after one check and without a download, nothing thrown away, the reader at the same page.
    ::testing::AssertionResult changedPageComesBack(const Ref<ReaderViewController>& reader,
                                                    const std::string& code, int pages, int index,
                                                    const std::function<void()>& draw) {
        const auto files = downloadedWhole(code, pages);
        opened = contextOf(code);
        if (files.size() != static_cast<size_t>(pages) || !opened)
            return ::testing::AssertionFailure() << "the issue was not kept whole";
        reader->setUiContext(opened);
        if (!waitUntilLoaded(reader) || !waitUntilPainted(reader, 0))
            return ::testing::AssertionFailure() << "the issue did not open at its first page";
        const auto& file = files[static_cast<size_t>(index)];
        const auto before = reader->mainDocument()->pageAtIndex(index);
        copyKeepingTimes(file);
        const size_t gets = pageGets(code, index);
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        draw();
        if (!spinUntil([&] {
                const auto page = reader->mainDocument()->pageAtIndex(index);
                return page != before && page->isChecked() && !page->error() &&
                       page->isUnchangedFile(file);
            }))
            return ::testing::AssertionFailure() << "the page found changed did not come back";
        const uint64_t checked = ui::PdfPageCheck::checksRun() - checks;
        if (checked != 1 || pageGets(code, index) != gets || !opened->pagesThrownAway().empty() ||
            reader->currentPageIndex() != 0)
            return ::testing::AssertionFailure()
                   << "checks " << checked << ", downloads " << pageGets(code, index) - gets
                   << ", thrown away " << opened->pagesThrownAway().size() << ", at page "
                   << reader->currentPageIndex();
        return ::testing::AssertionSuccess();
    }
    Ref<MagazineIssueUIContext> opened;
};

// A home copied with its times kept (every file a new inode and status-change time, the kept
// checks copied too), and then one whose page files were chmod-ed, opened with the service
// stopped: every page is checked again once, drawn as before, and no page file is thrown away.
TEST_F(ReaderChangedFilesTest, ACopiedOrChmoddedHomeLosesNoPageOffline) {
    constexpr int kPages = 6;
    addItem("RC01-0006", kPages);
    const auto files = downloadedWhole("RC01-0006", kPages);
    ASSERT_EQ(files.size(), static_cast<size_t>(kPages));
    ASSERT_TRUE(drawsEveryPage("RC01-0006", kPages));
    std::vector<std::string> bytes;
    for (const auto& file : files)
        bytes.push_back(bytesOf(file));
    demo.service.stop();

    for (const char* change : {"copied", "chmod-ed"}) {
        SCOPED_TRACE(change);
        // The opening's page record may still be written (a copy then renamed over it): the
        // folder is walked once nothing of it is left to come.
        ASSERT_TRUE(opened);
        ASSERT_TRUE(spinUntil([&] { return opened->checkQueueIdle(); }));
        for (const auto& entry : fs::directory_iterator(files[0].parent_path())) {
            if (std::string(change) == "copied")
                copyKeepingTimes(entry.path());
            else
                fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write);
        }
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        EXPECT_TRUE(drawsEveryPage("RC01-0006", kPages));
        EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, static_cast<uint64_t>(kPages));
        ASSERT_TRUE(opened);
        EXPECT_TRUE(opened->pagesThrownAway().empty());
        for (int i = 0; i < kPages; ++i)
            EXPECT_EQ(bytesOf(files[static_cast<size_t>(i)]), bytes[static_cast<size_t>(i)]) << i;
    }
}

// Page files left on disk unchecked (the program ended while they waited for their checks: no
// kept check, no page record), opened in a program that knows no download location and with a
// service that never tells one ("GetAssetFiles" held, then the service stopped): at the opening
// every page is checked once and drawn, without waiting for the issue to announce it, and nothing
// is fetched.
TEST_F(ReaderChangedFilesTest, PagesLeftUncheckedAreCheckedAndDrawnWithoutTheirLocations) {
    constexpr int kPages = 6;
    addItem("RC06-0006", kPages);
    const auto files = downloadedWhole("RC06-0006", kPages);
    ASSERT_EQ(files.size(), static_cast<size_t>(kPages));
    std::vector<size_t> gets;
    for (int i = 0; i < kPages; ++i)
        gets.push_back(pageGets("RC06-0006", i));
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "service stopped" : "GetAssetFiles held");
        if (opened) {
            // The former opening is closed, its last writes over.
            opened->cancelLoading();
            ASSERT_TRUE(spinUntil([&] { return opened->checkQueueIdle(); }));
        }
        if (stopped)
            demo.service.stop();
        else
            demo.service.setFault("GetAssetFiles", demo::Fault::stall());
        // As a new program finds them: files it never checked, nor located.
        for (const auto& file : files) {
            fs::remove(ui::PdfPageCheck::verdictPath(file));
            copyKeepingTimes(file);
        }
        fs::remove(files[0].parent_path() / IssuePageRecord::kFileName);
        VnContentAssetRequest::forgetGlobalFileInfos();

        const uint64_t checks = ui::PdfPageCheck::checksRun();
        EXPECT_TRUE(drawsEveryPage("RC06-0006", kPages));
        if (!stopped) {
            EXPECT_GE(demo.service.stalledCount(), 1u)
                << "the issue did not ask where its pages are";
        }
        ASSERT_TRUE(opened);
        ASSERT_TRUE(spinUntil([&] { return opened->pagesBeingChecked() == 0; }));
        EXPECT_EQ(ui::PdfPageCheck::checksRun() - checks, static_cast<uint64_t>(kPages));
        for (int i = 0; i < kPages; ++i) {
            EXPECT_EQ(pageGets("RC06-0006", i), gets[static_cast<size_t>(i)]) << i;
            EXPECT_TRUE(ui::PdfPageCheck::keptVerdict(files[static_cast<size_t>(i)])) << i;
        }
        EXPECT_TRUE(opened->pagesThrownAway().empty());
    }
}

// With the reader closed, a page file cut short in place, one emptied, one overwritten keeping
// its size and both its times, and one that an earlier version kept as damaged (its kept check
// and the issue's record say so for the file as it is): at the next opening each is fetched
// again once and drawn; the others are not fetched, and the opening after fetches nothing.
TEST_F(ReaderChangedFilesTest, PagesChangedOrKeptDamagedAreFetchedAgainOnceAndDrawn) {
    constexpr int kPages = 6;
    addItem("RC02-0006", kPages);
    const auto files = downloadedWhole("RC02-0006", kPages);
    ASSERT_EQ(files.size(), static_cast<size_t>(kPages));
    const fs::path recordPath = files[0].parent_path() / IssuePageRecord::kFileName;

    const std::string page1 = bytesOf(files[1]);
    fs::resize_file(files[1], page1.size() / 2);
    fs::resize_file(files[2], 0);
    {
        struct stat st {};
        ASSERT_EQ(::stat(files[3].c_str(), &st), 0);
        std::ofstream(files[3], std::ios::binary | std::ios::trunc)
            << damagedPdfOfSize(static_cast<size_t>(st.st_size));
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, files[3].c_str(), times, 0), 0);
    }
    {
        std::ofstream(files[4].string() + ".new", std::ios::binary)
            << damagedPdfOfSize(bytesOf(files[4]).size());
        fs::rename(files[4].string() + ".new", files[4]);
        const auto verdict = ui::PdfPageCheck::check(files[4]);
        ASSERT_FALSE(verdict.usable);
        auto record = IssuePageRecord::read(recordPath, "RC02-0006");
        auto entry = *record.page(4);
        entry.verdict = verdict;
        entry.identity = ui::PdfPageCheck::fileIdentity(files[4]).value_or("");
        record.set(4, entry);
        ASSERT_FALSE(record.write(recordPath));
    }
    std::vector<size_t> before;
    for (int i = 0; i < kPages; ++i)
        before.push_back(pageGets("RC02-0006", i));

    const auto lines =
        testing_support::loggedAnywhere([&] { EXPECT_TRUE(drawsEveryPage("RC02-0006", kPages)); });
    ASSERT_TRUE(opened);
    for (int i = 0; i < kPages; ++i) {
        const bool changed = i >= 1 && i <= 4;
        EXPECT_EQ(pageGets("RC02-0006", i) - before[static_cast<size_t>(i)], changed ? 1u : 0u)
            << i;
        EXPECT_EQ(opened->pagesThrownAway().count(i), changed ? 1u : 0u) << i;
        const std::string told = "Page " + std::to_string(i) + " of the issue ";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) {
                                    return line.find(told) != std::string::npos &&
                                           line.find("downloaded again") != std::string::npos;
                                }),
                  changed ? 1 : 0)
            << i;
    }
    EXPECT_EQ(bytesOf(files[1]), page1);

    std::vector<size_t> after;
    for (int i = 0; i < kPages; ++i)
        after.push_back(pageGets("RC02-0006", i));
    EXPECT_TRUE(drawsEveryPage("RC02-0006", kPages));
    for (int i = 0; i < kPages; ++i)
        EXPECT_EQ(pageGets("RC02-0006", i), after[static_cast<size_t>(i)]) << i;
}

// Pages the service sends damaged (an HTML page, a PDF cut short) keep their placeholders: each is
// thrown away and fetched again once an opening, never more, and kept as damaged meanwhile.
TEST_F(ReaderChangedFilesTest, APageTheServiceSendsDamagedIsThrownAwayAtMostOnceAnOpening) {
    constexpr int kPages = 6;
    addItem("RC03-0006", kPages).damagedPages = true;
    for (size_t opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        auto context = contextOf("RC03-0006");
        ASSERT_TRUE(context);
        const auto reader = shownReader();
        reader->setUiContext(context);
        // Until both are thrown away once and then kept as damaged, as their files are now.
        const auto keptDamaged = [&](int index) {
            const auto* kept = context->keptPage(index);
            const auto file = context->context()
                                  ->pageContextWithSourcePageIndex(index)
                                  ->localCacheAsset()
                                  ->filePath();
            return context->pagesThrownAway().count(index) && kept && !kept->verdict.usable &&
                   ui::PdfPageCheck::fileIdentity(file) == kept->identity;
        };
        ASSERT_TRUE(spinUntil([&] { return keptDamaged(2) && keptDamaged(3); }, 60000));
        ASSERT_TRUE(waitUntilLoaded(reader));
        for (int i : {2, 3}) {
            // The first download and one more at the first opening, one more at each later one.
            EXPECT_EQ(pageGets("RC03-0006", i), opening + 1) << i;
            reader->goToPage(i);
            const auto page = reader->mainDocument()->pageAtIndex(i);
            EXPECT_TRUE(page->isChecked() && page->error()) << i;
        }
        reader->setUiContext(nullptr);
    }
}

// A page file copied anew (its times kept) while its issue is open, after the issue found it: the
// thumbnail strip draws the page and finds the file changed, and the page comes back checked, as
// itself, although the page view never showed it (open at the first page, two pages side by side
// as a book, it draws the spread after the first page ahead, not the one after that); nothing is
// fetched.
TEST_F(ReaderChangedFilesTest, AFileChangedWhileItsIssueIsOpenIsCheckedAgainWhenTheStripDrawsIt) {
    constexpr int kPages = 6, kChanged = 3;
    addItem("RC04-0006", kPages);
    const auto reader = shownReader();
    EXPECT_TRUE(changedPageComesBack(reader, "RC04-0006", kPages, kChanged,
                                     [&] { reader->setHiddenThumbmailPDF(false); }));
}

// The same on a bookmarked page that neither the page view nor the strip (hidden) draws: the
// bookmarks' pictures draw it and find the file changed.
TEST_F(ReaderChangedFilesTest,
       AFileChangedWhileItsIssueIsOpenIsCheckedAgainWhenItsBookmarkIsDrawn) {
    constexpr int kPages = 8, kMarked = 5;
    addItem("RC05-0008", kPages);
    const auto reader = shownReader();
    // The page is bookmarked, and the bookmarks' pictures are drawn as their panel opens.
    const auto pictureTheBookmark = [&] {
        const auto store = BookmarkViewController::activeBookmarkContext();
        ASSERT_TRUE(store);
        const auto bookmark = store->bookmarkWithIssueInfo(opened->context()->info());
        ASSERT_TRUE(bookmark);
        bookmark->setPageIndex(kMarked);
        bookmark->setPageName("'" + std::to_string(kMarked + 1));
        store->addBookmark(bookmark);
        EXPECT_EQ(reader->getThumbnailBookmark().count(kMarked), 1u);
    };
    EXPECT_TRUE(changedPageComesBack(reader, "RC05-0008", kPages, kMarked, pictureTheBookmark));
    EXPECT_TRUE(reader->hiddenThumbmailPDF());
}
