// The reader view against the demo library: a slot a page, filled as pages arrive, under a
// loading strip; books on white; damaged pages on placeholders; odd issues open without harm.
#include <QLabel>
#include <QPointer>
#include <filesystem>
#include <fstream>

#include "ReaderTestSupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/services/GlobalService.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/storage/AtomicFile.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "support/CapturedLog.h"
#include "support/PdfFixtures.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

using namespace reader_testing;

using ReaderViewTest = ReaderTest;

TEST_F(ReaderViewTest, EachArrivalFillsItsOwnSlotWhileTheStripCountsThePages) {
    addItem("RV01-0008", 8);
    for (int stalled : {2, 5, 7})
        demo.service.setFault("/content/RV01-0008/PAGE_" + std::to_string(stalled) + ".pdf",
                              demo::Fault::stall());
    auto context = contextOf("RV01-0008");
    ASSERT_TRUE(context);
    auto reader = shownReader();
    reader->setUiContext(context);
    ASSERT_TRUE(spinUntil(
        [&] { return context->finishedPageCount() == 5 && demo.service.stalledCount() == 3; }));
    spin(50);
    ASSERT_TRUE(waitUntilParsed(reader));

    // Five pages cropped by the demo's insets (4 points top and bottom), three placeholders.
    const auto document = reader->mainDocument();
    ASSERT_EQ(document->pageCount(), 8);
    std::vector<Ref<ui::PdfPage>> before;
    for (int i = 0; i < 8; ++i) {
        const auto page = document->pageAtIndex(i);
        before.push_back(page);
        const bool stalled = i == 2 || i == 5 || i == 7;
        EXPECT_EQ(page->isImagePage(), stalled) << i;
        EXPECT_EQ(page->label(), "P" + std::to_string(i + 1));
        if (!stalled) {
            EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(0, 4, 595, 834)) << i;
        }
    }
    EXPECT_EQ(reader->percentTextField()->text(), "Loading pages... 5 of 8 done");
    EXPECT_DOUBLE_EQ(reader->progressValue(), 0.625);
    EXPECT_FALSE(reader->progressView()->isHidden());
    EXPECT_EQ(reader->pdfView()->geometry().bottom() + 1, reader->progressView()->geometry().top());
    EXPECT_EQ(reader->progressView()->geometry().bottom() + 1, reader->view()->height());
    // A magazine lies on black.
    ASSERT_TRUE(waitUntilPainted(reader, 0));
    ASSERT_TRUE(waitUntilParsed(reader));
    const QImage shot = reader->pdfView()->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(3, 3)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(3, shot.height() - 3)), QColor(Qt::black));

    // Something laid over slot 2 while it holds its placeholder.
    const auto slot2 = document->pageAtIndex(2);
    const QRectF slot2Frame = reader->pdfView()->pageFrame(slot2);
    QPointer<QWidget> mark = new QWidget;
    mark->setGeometry(QRect(slot2Frame.topLeft().toPoint() + QPoint(10, 10), QSize(20, 20)));
    reader->pdfView()->addOverlay(mark, 2);

    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(waitUntilLoaded(reader));
    // Each arrival took its own slot only, with its label; the overlay stayed on its slot.
    for (int i = 0; i < 8; ++i) {
        const auto page = document->pageAtIndex(i);
        const bool arrived = i == 2 || i == 5 || i == 7;
        EXPECT_EQ(page == before[static_cast<size_t>(i)], !arrived) << i;
        EXPECT_FALSE(page->isImagePage()) << i;
        EXPECT_EQ(page->label(), "P" + std::to_string(i + 1));
    }
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->parentWidget(), reader->pdfView()->documentView());
    reader->goToPage(2);
    ASSERT_TRUE(waitUntilPainted(reader, 2));
    EXPECT_TRUE(mark->isVisible());
    // The strip has gone and the page view takes the whole height.
    EXPECT_TRUE(reader->progressView()->isHidden());
    EXPECT_DOUBLE_EQ(reader->progressValue(), 1.0);
    EXPECT_EQ(reader->pdfView()->height(), reader->view()->height());

    // The same context again changes nothing.
    reader->setIsDisplayReader(true);
    reader->setUiContext(context);
    EXPECT_EQ(reader->mainDocument(), document);
    EXPECT_TRUE(reader->isDisplayReader());
    EXPECT_EQ(reader->currentPageIndex(), 1);  // the spread of pages 1 and 2

    // A PDF in memory put in a slot: checked like any page before it shows, it replaces the
    // slot's page; bytes that are no PDF and slots the issue does not have change nothing.
    const auto arrived3 = document->pageAtIndex(3);
    reader->loadPDfView(QByteArray::fromStdString(testing_support::filledPdf(300, 400)), 3);
    const auto loaded = document->pageAtIndex(3);
    ASSERT_NE(loaded, arrived3);
    EXPECT_FALSE(loaded->isImagePage());
    EXPECT_EQ(reader->pdfView()->document(), document);
    reader->goToPage(3);
    ASSERT_TRUE(waitUntilParsed(reader));
    EXPECT_EQ(loaded->boundsForBox(ui::PdfPage::MediaBox), QRectF(0, 0, 300, 400));
    EXPECT_EQ(document->pageCount(), 8);
    reader->loadPDfView(QByteArray("<html>no pdf</html>"), 4);
    reader->loadPDfView(QByteArray::fromStdString(testing_support::filledPdf(300, 400)), 8);
    reader->loadPDfView(QByteArray::fromStdString(testing_support::filledPdf(300, 400)), -1);
    EXPECT_EQ(document->pageAtIndex(4), before[4]);
    EXPECT_EQ(document->pageCount(), 8);
}

TEST_F(ReaderViewTest, AnIssueOpenedAgainShowsEachPageAsItsFirstOpeningDid) {
    // The second opening makes its pages from the issue's page record alone: the same files,
    // names, crops and damage as those made from the issue's metadata and files.
    addItem("RV04-0006", 6).damagedPages = true;
    auto reader = shownReader();
    reader->setUiContext(contextOf("RV04-0006"));
    ASSERT_TRUE(waitUntilLoaded(reader));
    ASSERT_TRUE(waitUntilParsed(reader));
    // Until the issue's record on disk describes every page whole.
    const auto recordPath = reader->uiContext()->pageRecordPath();
    ASSERT_TRUE(spinUntil([&] {
        const auto record = IssuePageRecord::read(recordPath, "RV04-0006");
        for (int i = 0; i < 6; ++i) {
            if (!record.page(i) || record.page(i)->file.empty())
                return false;
        }
        return true;
    }));
    const auto first = reader->mainDocument();
    reader->setUiContext(nullptr);
    reader->setUiContext(contextOf("RV04-0006"));
    const auto again = reader->mainDocument();
    ASSERT_NE(again, first);
    ASSERT_EQ(again->pageCount(), 6);
    ASSERT_TRUE(waitUntilParsed(reader));
    int damaged = 0;
    for (int i = 0; i < 6; ++i) {
        const auto was = first->pageAtIndex(i);
        const auto page = again->pageAtIndex(i);
        EXPECT_FALSE(page->isImagePage()) << i;
        EXPECT_EQ(page->filePath(), was->filePath()) << i;
        EXPECT_EQ(page->label(), "P" + std::to_string(i + 1));
        EXPECT_EQ(page->displaySize(), was->displaySize()) << i;
        EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), was->boundsForBox(ui::PdfPage::CropBox))
            << i;
        EXPECT_EQ(!!page->error(), !!was->error()) << i;
        damaged += page->error() ? 1 : 0;
    }
    EXPECT_GT(damaged, 0);
    EXPECT_LT(damaged, 6);
    ASSERT_TRUE(waitUntilPainted(reader, 0));
}

TEST_F(ReaderViewTest, BooksLieOnWhiteDamagedPagesKeepPlaceholdersAndOddIssuesOpen) {
    addItem("RV02-0008", 8, true).damagedPages = true;
    auto reader = shownReader();
    auto context = contextOf("RV02-0008");
    ASSERT_TRUE(context);
    reader->setUiContext(context);
    ASSERT_TRUE(waitUntilLoaded(reader));
    EXPECT_EQ(reader->pdfView()->backgroundColor(), QColor(Qt::white));
    ASSERT_TRUE(waitUntilPainted(reader, 0));
    ASSERT_TRUE(waitUntilParsed(reader));
    const QImage shot = reader->pdfView()->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(3, 3)), QColor(Qt::white));
    // An HTML page, a cut one, garbage and a 1-point page show the placeholder, the rest their
    // own pixels.
    const QColor grey = reader->placeholderImage().pixelColor(10, 10);
    for (int i = 0; i < 8; ++i) {
        const auto page = reader->mainDocument()->pageAtIndex(i);
        EXPECT_TRUE(page->isChecked()) << i;
        const bool placeholder = page->isImagePage() || page->error();
        EXPECT_EQ(placeholder, i >= 2 && i <= 5) << i;
        EXPECT_EQ(ui::PdfPageRenderer::image(*page, {60, 84}).pixelColor(30, 60) == grey,
                  i >= 2 && i <= 5)
            << i;
    }

    // No pages at all: nothing to show, nothing stored, nothing divided by zero.
    addItem("RV03-0000", 0);
    auto empty = contextOf("RV03-0000");
    ASSERT_TRUE(empty);
    reader->setUiContext(empty);
    spin(100);
    EXPECT_EQ(reader->mainDocument()->pageCount(), 0);
    EXPECT_EQ(reader->currentPageIndex(), -1);
    EXPECT_DOUBLE_EQ(reader->progressValue(), 0);
    reader->goToPage(3);
    reader->goToNextPage();
    reader->addBookmarkCurrentPage();
    reader->view()->hide();
    reader->view()->show();
    EXPECT_EQ(empty->userLastViewedPageIndex(), 0);

    // Hostile metadata and page lists open too.
    addItem("RV04-0008", 8).content = demo::ContentVariant::Hostile;
    auto hostile = contextOf("RV04-0008");
    ASSERT_TRUE(hostile);
    reader->setUiContext(hostile);
    spinUntil([&] { return hostile->context()->finishedPageCount() >= 8; }, 10000);
    spin(100);
    EXPECT_EQ(reader->mainDocument()->pageCount(), hostile->presentationPageCount());
    reader->goToPage(1);
    spin(50);
}

TEST_F(ReaderViewTest, APageFileThatArrivedEmptyIsDownloadedAgainNotTakenForDamaged) {
    addItem("RV05-0004", 4);
    auto reader = shownReader();
    auto first = contextOf("RV05-0004");
    ASSERT_TRUE(first);
    reader->setUiContext(first);
    ASSERT_TRUE(spinUntil([&] { return first->finishedPageCount() == 4; }));
    // A download that brought nothing: page 2's file holds no byte.
    const auto path = first->context()->contentAssetWithSourcePageIndex(2)->filePath();
    reader->setUiContext(nullptr);
    ASSERT_FALSE(plat::AtomicFile::write(path, {}));
    const auto pageGets = [&] {
        size_t n = 0;
        for (const auto& r : demo.service.requests())
            n += r.path == "/content/RV05-0004/PAGE_2.pdf";
        return n;
    };
    const size_t before = pageGets();

    // Opened again: the page waits on its placeholder, unchecked, and comes again.
    auto again = contextOf("RV05-0004");
    ASSERT_TRUE(again);
    const auto lines = testing_support::loggedAnywhere([&] {
        reader->setUiContext(again);
        EXPECT_TRUE(spinUntil([&] {
            const auto page = reader->mainDocument()->pageAtIndex(2);
            return page && !page->isImagePage() && page->isChecked() && !page->error();
        })) << "page 2 shows as itself";
    });
    EXPECT_EQ(pageGets(), before + 1);
    size_t told = 0;
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("Cannot use PDF page"), std::string::npos) << line;
        EXPECT_EQ(line.find("keeps its placeholder"), std::string::npos) << line;
        told += line.find("arrived empty") != std::string::npos;
    }
    EXPECT_EQ(told, 1U);
}

namespace {

// The requests the demo heard from the index on that name the item's page list, its files'
// locations or one of its pages.
size_t loadingRequestsSince(const demo::DemoService& service, size_t from,
                            const std::string& code) {
    size_t count = 0;
    const auto requests = service.requests();
    for (size_t i = from; i < requests.size(); ++i) {
        const auto& path = requests[i].path;
        count += path.ends_with("/GetBookPages") || path.ends_with("/GetAssetFiles") ||
                 path.starts_with("/content/" + code + "/PAGE_");
    }
    return count;
}

// The entries of the folder other than covers.
std::vector<std::string> entriesBesideCovers(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("cover") && !name.starts_with("Cover"))
            names.push_back(name);
    }
    return names;
}

}  // namespace

// A reader open on an issue when the member returns it, a page's check running long and later
// pages still on their way: once the check ends, the opening asks for nothing more (no page list,
// no locations, no page, also on its retry timer's tick and when the reader turns to a page that
// never came) and writes nothing into the emptied folder, and the reader still shows its pages.
// Borrowed again, the same item opened anew asks for its page list again and keeps it, with every
// page, and loads whole.
TEST_F(ReaderViewTest, AReturnedIssuesOpeningLoadsNothingMoreAndANewLoanKeepsItsPageListAgain) {
    constexpr int kPages = 12;
    const std::string code = "RV06-0012";
    addItem(code, kPages);
    const auto held = testing_support::freshTestFolder();
    testing_support::ScopedEnvironment checker;
    checker.set("VARNEL_PDF_CHECK",
                testing_support::heldChecker(held, ui::PdfPageCheck::program()).string());
    for (int page = 6; page < kPages; ++page)
        demo.service.setFault("/content/" + code + "/PAGE_" + std::to_string(page) + ".pdf",
                              demo::Fault::stall());
    auto context = contextOf(code);
    ASSERT_TRUE(context);
    const auto issue = context->context();
    auto reader = shownReader();
    reader->setUiContext(context);
    // Every page the issue downloads at a time (four) is on its way and held: the service has
    // heard each request made before the return.
    ASSERT_TRUE(spinUntil([&] {
        return std::filesystem::exists(held / "started") && issue->finishedPageCount() == 6 &&
               demo.service.stalledCount() == 4;
    }));
    const auto folder = context->pageFolder();
    const auto table = folder / "VnPageInfo.table.json";
    ASSERT_TRUE(std::filesystem::exists(table));

    const auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    const auto info = issue->info();
    const size_t heard = demo.service.requests().size();
    user->removeBookFromLocalLibrary(info);
    EXPECT_FALSE(std::filesystem::exists(table));
    demo.service.clearFaults();
    demo.service.releaseStalled();
    std::ofstream(held / "release").flush();
    ASSERT_TRUE(spinUntil([&] { return context->pagesBeingChecked() == 0; }, 20000));
    reader->goToPage(8);
    issue->checkDelayedPages();
    issue->startLoadingAllPages();
    // Whatever those asked for has run its course: the main queue has run what was posted before
    // now, the issue is not loading, no request of it is queued or under way, and no check or
    // record write is due.
    bool posted = false;
    plat::DispatchQueue::main()->async([&] { posted = true; });
    const auto idle = [](const Ref<VnRequestManager>& manager) {
        return manager->activeRequests().empty() && manager->queuedRequests().empty();
    };
    EXPECT_TRUE(spinUntil([&] {
        const auto& locations = issue->assetFileUrlRequest();
        return posted && !issue->downloading() && !issue->retryTimerRunning() &&
               idle(issue->contextRequestManager()) && idle(issue->pageRequestManager()) &&
               !(locations && locations->running()) && !issue->interactiveDownloading() &&
               context->checkQueueIdle();
    })) << "the returned item's opening is still loading";
    EXPECT_EQ(loadingRequestsSince(demo.service, heard, code), 0u);
    EXPECT_EQ(entriesBesideCovers(folder), std::vector<std::string>{})
        << "something went back into the returned item's folder";
    EXPECT_EQ(reader->mainDocument()->pageCount(), kPages) << "the reader keeps its pages";
    EXPECT_EQ(issue->pageArray() ? issue->pageArray()->count() : 0u, size_t{kPages});

    // Borrowed again: a new opening of the same record.
    const size_t lists = demo.service.requestsForMethod("GetBookPages").size();
    auto again = MagazineIssueUIContext::initWithContext(user->magazineIssueContextWithInfo(info));
    bool loaded = false;
    again->context()->requestForLoadingMetadata()->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value&) { loaded = true; });
    ASSERT_TRUE(spinUntil([&] { return loaded; }, 15000));
    EXPECT_EQ(demo.service.requestsForMethod("GetBookPages").size(), lists + 1)
        << "the page list is asked for again";
    ASSERT_TRUE(std::filesystem::exists(table)) << "and kept again";
    std::ifstream in(table);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto kept = objectFromJSONString(text).array();
    EXPECT_EQ(kept ? kept->count() : 0u, size_t{kPages}) << text;
    auto second = shownReader();
    second->setUiContext(again);
    EXPECT_TRUE(waitUntilLoaded(second));
    EXPECT_EQ(again->context()->finishedPageCount(), size_t{kPages});
}
