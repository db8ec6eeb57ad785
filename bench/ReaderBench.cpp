// The reader window's paging: a 200-page demo issue downloaded first (as the shelf does, each page
// file checked as it arrives), then shown offscreen in a 1200 x 900 reader in single-page mode,
// scaled to fit. Timed: opening at page 100 until that page is painted, then (once the opening's
// trailing work is done) 20 moves to the next page, each until painted; against QPdfDocument
// loading the same 21 files and rendering each at the size the reader painted it. Then the opening
// of a downloaded 412-page issue at page 1 against that of a 20-page one, each until page 1 is
// painted. The opening is also set against QtPdf's render with the two paints a view needs to show
// it (the window before the render, the page after), and against QtPdf's render from cold caches.
// Each timed row is the median of 5 repetitions. Memory is measured first, with only the 200-page
// issue downloaded before: a 500-page issue of 1 MiB pages, the peak RSS reset once it is
// downloaded, paged to its end two pages at a time. Prints reader_paging_ratio, reader_open_ratio,
// reader_large_open_ratio, reader_peak_rss_mib and reader_max_open_documents, and the checker
// processes and layouts the timed openings and moves made. Last, untimed, a 40-page issue
// downloaded with the reader open on it and then opened three times: prints
// reader_layouts_per_downloaded_page (goal 1 when a page's size differs from its placeholder's, 0
// otherwise) and reader_checks_per_page_file (goal 1).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfDocument>
#include <QTimer>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "ProcessStatus.h"
#include "RatioReporter.h"
#include "ShownPageFloor.h"
#include "app/AreaRegistrations.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/reader/ReaderViewController.h"
#include "app/services/GlobalService.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/core/Collections.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/pdf/PdfEngine.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfRenderCache.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

namespace {

constexpr const char* kPagingIssue = "RB01-0200";
constexpr const char* kMemoryIssue = "RB02-0500";
constexpr const char* kLargeIssue = "RB03-0412";
constexpr const char* kSmallIssue = "RB04-0020";
constexpr const char* kReadIssue = "RB05-0040";
constexpr int kOpenPage = 100, kMoves = 20;
const QSize kWindowSize(1200, 900);
// Before each timed opening the reader has shown nothing for this long (the previous issue
// closed), as a member's opening finds it: the processor has been idle or elsewhere meanwhile.
constexpr int kIdleBeforeOpeningMs = 20;

// Runs the event loop until `done` holds (false after a minute). It sleeps until events come
// (the render worker's results, the view's own updates); a timer wakes it now and then for work
// that comes without an event (the demo service's replies).
bool spinUntil(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer timer;
    timer.start();
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The benchmark's temporary folder, removed on every way out.
char folder[] = "/tmp/reader_bench.XXXXXX";

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "reader_bench: %s\n", what);
    if (std::strcmp(folder, "/tmp/reader_bench.XXXXXX") != 0) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::_Exit(1);
}

struct Demo {
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
};

Demo& demoService() {
    static Demo demo;
    return demo;
}

Ref<VnMagazineIssueInfo> recordOf(const std::string& code) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->itemCode_ = code;
    info->type_ = "Magazine";
    info->setMagazineName(std::string("Reader Bench"));
    info->setIssueName(code);
    return info;
}

// A new UI context over a new issue context of the item, its page list and metadata loaded (as
// the shelf hands an issue over).
Ref<MagazineIssueUIContext> contextOf(const std::string& code) {
    auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(recordOf(code));
    auto context = MagazineIssueUIContext::initWithContext(issue);
    bool loaded = false;
    issue->requestForLoadingMetadata()->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value&) { loaded = true; });
    if (!spinUntil([&] { return loaded; }))
        fail("the metadata did not load");
    return context;
}

// Downloads the issue as the shelf does (its UI context hears each page arrive and has its file
// checked), until every page file has its kept check.
void download(const std::string& code) {
    auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(recordOf(code));
    auto context = MagazineIssueUIContext::initWithContext(issue);
    issue->startLoadingAllPages();
    if (!spinUntil([&] { return issue->info()->finished_; }, 600000))
        fail("the issue did not download");
    const auto checked = [&] {
        const auto& pages = issue->info()->pageArray_;
        for (size_t i = 0; pages && i < pages->count(); ++i) {
            const auto page = issue->pageContextWithSourcePageIndex(static_cast<int32_t>(i));
            if (!page->pageContentAssetAvailable() ||
                !ui::PdfPageCheck::keptVerdict(page->pageContentAsset()->filePath()))
                return false;
        }
        return true;
    };
    if (!spinUntil(checked, 600000))
        fail("the issue's pages were not checked");
}

// Checker processes and layouts made while the timed parts ran.
struct Counts {
    uint64_t checks = 0;
    int layouts = 0;
    int openings = 0;
};
Counts& counts() {
    static Counts c;
    return c;
}

struct Reader {
    Ref<ReaderViewController> controller = ui::ViewController::create<ReaderViewController>();
    Reader() {
        QWidget* view = controller->view();
        view->resize(kWindowSize);
        view->show();
        controller->pdfPageViewType(0);
        controller->zoomAutoPdfView();
        spinUntil([&] { return view->isVisible(); });
    }
    bool painted(int index) const {
        const auto page = controller->mainDocument()->pageAtIndex(index);
        return page && controller->pdfView()->hasPainted(page);
    }
    QSize paintedSize(int index) const {
        const auto page = controller->mainDocument()->pageAtIndex(index);
        const QRectF frame = controller->pdfView()->pageFrame(page);
        return (frame.size() * controller->pdfView()->devicePixelRatioF()).toSize();
    }
};

// Made once the application runs, gone before it ends.
std::unique_ptr<Reader>& readerSlot() {
    static std::unique_ptr<Reader> r;
    return r;
}

Reader& reader() {
    if (!readerSlot())
        readerSlot() = std::make_unique<Reader>();
    return *readerSlot();
}

// What the reader painted in the last round: the files of pages 100 to 120 and their sizes.
std::vector<std::pair<std::string, QSize>>& paintedPages() {
    static std::vector<std::pair<std::string, QSize>> pages;
    return pages;
}

// Opens the downloaded issue at the page, timed until that page is painted, and counts the checker
// processes made; with countLayouts, once the opening's trailing work (the issue announcing the
// pages it finds on disk) has run, and its layouts too.
void timeOpenings(benchmark::State& state, const char* code, int pageIndex, bool countLayouts) {
    Reader& r = reader();
    for (auto _ : state) {
        state.PauseTiming();
        auto context = contextOf(code);
        r.controller->setUiContext(nullptr);
        spinUntil([] { return false; }, kIdleBeforeOpeningMs);
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        const int layouts = r.controller->pdfView()->layoutCount();
        state.ResumeTiming();
        // As the reader's window opens an issue at a page.
        r.controller->setUiContext(context, pageIndex);
        r.controller->goToPage(pageIndex);
        if (!spinUntil([&] { return r.painted(pageIndex); }))
            fail("the page an issue was opened at was not painted");
        state.PauseTiming();
        if (countLayouts) {
            spinUntil([] { return false; }, 100);
            counts().layouts += r.controller->pdfView()->layoutCount() - layouts;
            ++counts().openings;
        }
        counts().checks += ui::PdfPageCheck::checksRun() - checks;
        state.ResumeTiming();
    }
}

void BM_Reader_OpenAtPage100(benchmark::State& state) {
    timeOpenings(state, kPagingIssue, kOpenPage, true);
}
BENCHMARK(BM_Reader_OpenAtPage100)->Iterations(5)->Apply(bench::realMillisecondsMedianOfFive);

void BM_Reader_TwentyNextPages(benchmark::State& state) {
    Reader& r = reader();
    for (auto _ : state) {
        state.PauseTiming();
        r.controller->setUiContext(contextOf(kPagingIssue));
        r.controller->goToPage(kOpenPage);
        if (!spinUntil([&] { return r.painted(kOpenPage); }))
            fail("page 100 was not painted");
        // The opening's own work (the issue announcing every page it finds on disk) is timed
        // with the opening, not with the moves.
        spinUntil([] { return false; }, 200);
        auto& pages = paintedPages();
        pages.assign(1, {r.controller->mainDocument()->pageAtIndex(kOpenPage)->filePath().string(),
                         r.paintedSize(kOpenPage)});
        const uint64_t checks = ui::PdfPageCheck::checksRun();
        state.ResumeTiming();
        for (int k = 1; k <= kMoves; ++k) {
            r.controller->goToNextPage();
            if (!spinUntil([&] { return r.painted(kOpenPage + k); }))
                fail("a next page was not painted");
            // Only the shown page has a frame in this mode.
            pages.emplace_back(
                r.controller->mainDocument()->pageAtIndex(kOpenPage + k)->filePath().string(),
                r.paintedSize(kOpenPage + k));
        }
        state.PauseTiming();
        counts().checks += ui::PdfPageCheck::checksRun() - checks;
        if (r.controller->currentPageIndex() != kOpenPage + kMoves)
            fail("the reader is not on page 120");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Reader_TwentyNextPages)->Iterations(5)->Apply(bench::realMillisecondsMedianOfFive);

void loadAndRender(const std::pair<std::string, QSize>& page) {
    QPdfDocument document;
    document.load(QString::fromStdString(page.first));
    const QImage image = document.render(0, page.second);
    if (image.isNull() || image.size() != page.second)
        fail("QtPdf did not render a page");
    benchmark::DoNotOptimize(image.bits());
}

// The baselines read the pages the reader painted: they need BM_Reader_TwentyNextPages first.
bool pagesPainted(benchmark::State& state) {
    if (!paintedPages().empty())
        return true;
    state.SkipWithError("needs BM_Reader_TwentyNextPages in the same run");
    return false;
}

void BM_QPdfDocument_OpenPage100(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    for (auto _ : state)
        loadAndRender(paintedPages().front());
}
BENCHMARK(BM_QPdfDocument_OpenPage100)->Apply(bench::realMillisecondsMedianOfFive);

// Leaves the processor's caches cold, as an opening finds them (the reader's own work between
// openings has had them meanwhile): 64 MiB written and read.
void coolCaches() {
    static std::vector<uint64_t> sweep(size_t{64} << 17);
    uint64_t sum = 0;
    for (size_t i = 0; i < sweep.size(); i += 8)
        sum += sweep[i] += i;
    benchmark::DoNotOptimize(sum);
}

// The same from cold caches, untimed between renders.
void BM_QPdfDocument_OpenPage100Cold(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        coolCaches();
        state.ResumeTiming();
        loadAndRender(paintedPages().front());
    }
}
BENCHMARK(BM_QPdfDocument_OpenPage100Cold)
    ->Iterations(20)
    ->Apply(bench::realMillisecondsMedianOfFive);

// QtPdf's render with the two paints a view needs to show the page (ShownPageFloor.h).
void BM_QPdfDocument_OpenPage100Shown(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    const auto& page = paintedPages().front();
    QImage window(kWindowSize, QImage::Format_RGB32);
    const QPoint at((window.width() - page.second.width()) / 2,
                    (window.height() - page.second.height()) / 2);
    for (auto _ : state) {
        const auto seconds = bench::shownPageSeconds(page.first, page.second, window, at);
        if (!seconds)
            fail("QtPdf did not render a page, or it was not laid on the window");
        state.SetIterationTime(*seconds);
    }
}
BENCHMARK(BM_QPdfDocument_OpenPage100Shown)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Apply(bench::medianOfFive);

// QtPdf's render as a view that never makes its window wait gets it at best, timed as the
// openings are: after the same idle moment, asked of a thread waiting for work, from cold caches
// (as above), handed to the window's thread through its event loop and painted there once, over
// white paper.
class RenderThread {
  public:
    using Done = std::function<void(QImage)>;
    RenderThread() : thread_([this] { run(); }) {}
    ~RenderThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void render(const std::pair<std::string, QSize>& page, Done done) {
        {
            std::lock_guard lock(mutex_);
            job_ = {page, std::move(done)};
        }
        wake_.notify_one();
    }

  private:
    void run() {
        while (true) {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || job_; });
            if (stopping_)
                return;
            auto [page, done] = std::move(*job_);
            job_.reset();
            lock.unlock();
            QImage image;
            {
                QPdfDocument document;
                document.load(QString::fromStdString(page.first));
                image = document.render(0, page.second);
            }
            QMetaObject::invokeMethod(
                qApp, [done = std::move(done), image = std::move(image)] { done(image); },
                Qt::QueuedConnection);
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::pair<std::pair<std::string, QSize>, Done>> job_;
    bool stopping_ = false;
    std::thread thread_;
};

// Where a page goes on the window: at its middle.
QRect paperOn(const QImage& window, const QSize& page) {
    return {QPoint((window.width() - page.width()) / 2, (window.height() - page.height()) / 2),
            page};
}

// Asks the render thread for the page and paints it on the window, over white paper, once it
// comes; false unless it came at its size within a minute.
bool showOnThread(RenderThread& thread, const std::pair<std::string, QSize>& page, QImage& window) {
    bool painted = false;
    thread.render(page, [&](const QImage& image) {
        const QRect paper = paperOn(window, page.second);
        QPainter painter(&window);
        painter.fillRect(paper, Qt::white);
        painter.drawImage(paper.topLeft(), image);
        painted = image.size() == page.second;
    });
    return spinUntil([&] { return painted; });
}

void BM_QPdfDocument_OpenPage100OnThread(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    const auto& page = paintedPages().front();
    QImage window(kWindowSize, QImage::Format_RGB32);
    RenderThread thread;
    for (auto _ : state) {
        state.PauseTiming();
        coolCaches();
        spinUntil([] { return false; }, kIdleBeforeOpeningMs);
        window.fill(Qt::lightGray);
        state.ResumeTiming();
        if (!showOnThread(thread, page, window))
            fail("QtPdf did not render a page on its thread, or it was not painted");
        state.PauseTiming();
        if (window.pixel(paperOn(window, page.second).center()) == QColor(Qt::lightGray).rgb())
            fail("the page rendered on its thread was not laid on the window");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_QPdfDocument_OpenPage100OnThread)
    ->Iterations(20)
    ->Apply(bench::realMillisecondsMedianOfFive);

void BM_QPdfDocument_TwentyPages(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    for (auto _ : state) {
        for (size_t i = 1; i < paintedPages().size(); ++i)
            loadAndRender(paintedPages()[i]);
    }
}
BENCHMARK(BM_QPdfDocument_TwentyPages)->Apply(bench::realMillisecondsMedianOfFive);

// The same pages as a view that never makes its window wait shows them one after another: each
// asked of the render thread once the one before is painted, then painted over white paper.
void BM_QPdfDocument_TwentyPagesOnThread(benchmark::State& state) {
    if (!pagesPainted(state))
        return;
    QImage window(kWindowSize, QImage::Format_RGB32);
    RenderThread thread;
    for (auto _ : state) {
        for (size_t i = 1; i < paintedPages().size(); ++i) {
            if (!showOnThread(thread, paintedPages()[i], window))
                fail("QtPdf did not render a next page on its thread, or it was not painted");
        }
    }
}
BENCHMARK(BM_QPdfDocument_TwentyPagesOnThread)->Apply(bench::realMillisecondsMedianOfFive);

void BM_Reader_OpenLargeIssue(benchmark::State& state) {
    timeOpenings(state, kLargeIssue, 0, false);
}
BENCHMARK(BM_Reader_OpenLargeIssue)->Iterations(5)->Apply(bench::realMillisecondsMedianOfFive);

void BM_Reader_OpenSmallIssue(benchmark::State& state) {
    timeOpenings(state, kSmallIssue, 0, false);
}
BENCHMARK(BM_Reader_OpenSmallIssue)->Iterations(5)->Apply(bench::realMillisecondsMedianOfFive);

// A 500-page issue of 1 MiB pages paged to its end, two pages at a time.
void pageThroughLargeIssue() {
    download(kMemoryIssue);
    Reader& r = reader();
    r.controller->setUiContext(nullptr);
    auto context = contextOf(kMemoryIssue);
    spinUntil([] { return false; }, 200);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = bench::statusKiB("VmHWM:");
    r.controller->pdfPageViewType(3);
    r.controller->setUiContext(context);
    r.controller->goToPage(0);
    const int count = r.controller->mainDocument()->pageCount();
    int moves = 0;
    while (r.controller->currentPageIndex() < count - 1 && moves < count) {
        const int at = r.controller->currentPageIndex();
        r.controller->goToNextPage();
        ++moves;
        if (!spinUntil([&] {
                const int now = r.controller->currentPageIndex();
                return now != at && r.painted(now);
            }))
            fail("a spread of the large issue was not painted");
    }
    spinUntil([] { return false; }, 200);
    const long peak = bench::statusKiB("VmHWM:");
    const auto& cache = r.controller->pdfView()->renderCache();
    std::printf("reader_peak_rss_mib %.1f\n", static_cast<double>(peak) / 1024);
    std::printf("reader_max_open_documents %d\n", ui::PdfEngine::peakOpenDocuments());
    std::printf(
        "(%d pages in %d moves; RSS at the reset %.1f MiB; render cache peak %.1f MiB of "
        "%.0f MiB)\n",
        count, moves, static_cast<double>(before) / 1024,
        static_cast<double>(cache.peakBytesUsed()) / (1 << 20),
        static_cast<double>(cache.byteBudget()) / (1 << 20));
    if (r.controller->currentPageIndex() != count - 1 || count != 500)
        fail("the large issue was not paged to its end");
    if (cache.peakBytesUsed() > cache.byteBudget())
        fail("the render cache went over its budget");
    // The timed parts read single pages, scaled to fit.
    r.controller->setUiContext(nullptr);
    r.controller->pdfPageViewType(0);
    r.controller->zoomAutoPdfView();
    spinUntil([] { return false; }, 200);
}

// The issue downloaded while the reader shows it, then opened three times: the view's layouts per
// arriving page, and the checker processes per page file over all of it.
void downloadWhileReading() {
    Reader& r = reader();
    r.controller->setUiContext(nullptr);
    spinUntil([] { return false; }, 100);
    const uint64_t checks = ui::PdfPageCheck::checksRun();
    auto context = contextOf(kReadIssue);
    r.controller->setUiContext(context);
    r.controller->goToPage(0);
    const auto document = r.controller->mainDocument();
    const int count = document->pageCount();
    std::vector<QSizeF> placeholders;
    for (int i = 0; i < count; ++i)
        placeholders.push_back(document->pageAtIndex(i)->displaySize());
    // The opening's own layout made now, before any page can have arrived.
    r.controller->pdfView()->documentSize();
    const int layouts = r.controller->pdfView()->layoutCount();
    const auto loaded = [&] {
        if (!context->allPresentationPagesAvailable() || context->pagesBeingChecked() > 0 ||
            context->context()->interactiveDownloading())
            return false;
        for (int i = 0; i < count; ++i) {
            const auto page = document->pageAtIndex(i);
            if (page->isImagePage() || !page->isChecked())
                return false;
        }
        return true;
    };
    if (!spinUntil(loaded, 600000))
        fail("the issue read while downloading did not load");
    spinUntil([] { return false; }, 200);
    const int downloadLayouts = r.controller->pdfView()->layoutCount() - layouts;
    int resized = 0;
    for (int i = 0; i < count; ++i)
        resized += document->pageAtIndex(i)->displaySize() != placeholders[size_t(i)] ? 1 : 0;
    for (int k = 0; k < 3; ++k) {
        r.controller->setUiContext(nullptr);
        r.controller->setUiContext(contextOf(kReadIssue));
        r.controller->goToPage(0);
        if (!spinUntil([&] { return r.painted(0); }))
            fail("the downloaded issue was not painted");
        spinUntil([] { return false; }, 200);
    }
    r.controller->setUiContext(nullptr);
    if (count != 40)
        fail("the issue read while downloading does not have its 40 pages");
    std::printf("reader_layouts_per_downloaded_page %.2f\n",
                static_cast<double>(downloadLayouts) / count);
    std::printf("reader_checks_per_page_file %.2f\n",
                static_cast<double>(ui::PdfPageCheck::checksRun() - checks) / count);
    std::printf(
        "(%d of %d pages differ in size from their placeholders; layouts while they "
        "arrived: %d)\n",
        resized, count, downloadLayouts);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!mkdtemp(folder))
        fail("no temporary folder");
    setenv("VARNEL_HOME", folder, 1);
    int status = 0;
    {
        QApplication app(argc, argv);
        ui::RunLoopBridge::install();
        plat::UserDefaults::resetStandardUserDefaults();
        plat::Keychain::setShared(
            std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
        Demo& demo = demoService();
        for (const auto& [code, pages, bytes] :
             {std::tuple{kPagingIssue, 200, int64_t{0}},
              std::tuple{kMemoryIssue, 500, int64_t{1} << 20},
              std::tuple{kLargeIssue, 412, int64_t{0}}, std::tuple{kSmallIssue, 20, int64_t{0}},
              std::tuple{kReadIssue, 40, int64_t{0}}}) {
            demo::SampleItem item;
            item.code = code;
            item.kind = demo::ItemKind::MagazineIssue;
            item.title = code;
            item.titleCode = "RB";
            item.pageCount = pages;
            item.pageBytes = bytes;
            item.libraryCopies = 1;
            demo.catalogue.addItem(item);
        }
        demo.service.setServicePath(kBookServicePath);
        demo::registerVersion2Methods(demo.service, demo.catalogue);
        demo::registerStoreService(demo.store, demo.catalogue, "ORV_001",
                                   demo::kDemoAuthorizationToken);
        if (!demo.service.start() || !demo.store.start())
            fail("the demo service did not start");
        plat::InfoDictionary::setDictionary(plat::makeDictionary(
            {{plat::Value(kVarnelDeploymentKey),
              plat::Value(plat::makeDictionary(
                  {{plat::Value(kServiceHostKey), plat::Value(demo.service.baseUrl())},
                   {plat::Value(kAuthorizationTokenKey),
                    plat::Value(demo::kDemoAuthorizationToken)}}))}}));
        registerAllAreaResources(ui::ResourceRegistry::shared());
        download(kPagingIssue);
        // Memory first, on the heap of the one issue downloaded so far.
        pageThroughLargeIssue();
        download(kLargeIssue);
        download(kSmallIssue);

        // (For a profiler attached from here on.)
        std::fprintf(stderr, "reader_bench: downloads done, %llu checker processes so far\n",
                     static_cast<unsigned long long>(ui::PdfPageCheck::checksRun()));
        benchmark::Initialize(&argc, argv);
        bench::RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        std::printf("reader_paging_ratio %.2fx\n",
                    reporter.ratio("BM_Reader_TwentyNextPages/iterations:5/repeats:5/real_time",
                                   "BM_QPdfDocument_TwentyPages/repeats:5/real_time"));
        std::printf(
            "  (against QtPdf's renders on a thread of its own, each handed to the window and "
            "painted there before the next is asked: %.2fx; that alone is %.2fx of QtPdf's "
            "renders)\n",
            reporter.ratio("BM_Reader_TwentyNextPages/iterations:5/repeats:5/real_time",
                           "BM_QPdfDocument_TwentyPagesOnThread/repeats:5/real_time"),
            reporter.ratio("BM_QPdfDocument_TwentyPagesOnThread/repeats:5/real_time",
                           "BM_QPdfDocument_TwentyPages/repeats:5/real_time"));
        std::printf("reader_open_ratio %.2fx\n",
                    reporter.ratio("BM_Reader_OpenAtPage100/iterations:5/repeats:5/real_time",
                                   "BM_QPdfDocument_OpenPage100/repeats:5/real_time"));
        std::printf(
            "  (against QtPdf's render and the two paints a view needs, at best beside it: "
            "%.2fx)\n",
            reporter.ratio("BM_Reader_OpenAtPage100/iterations:5/repeats:5/real_time",
                           "BM_QPdfDocument_OpenPage100Shown/repeats:5/manual_time"));
        std::printf(
            "  (against QtPdf's render from cold caches, as an opening finds them: %.2fx)\n",
            reporter.ratio("BM_Reader_OpenAtPage100/iterations:5/repeats:5/real_time",
                           "BM_QPdfDocument_OpenPage100Cold/iterations:20/repeats:5/real_time"));
        std::printf(
            "  (against QtPdf's render on a thread of its own after the openings' idle moment, "
            "from cold caches, handed to the window and painted there: %.2fx; that alone is "
            "%.2fx of QtPdf's render)\n",
            reporter.ratio("BM_Reader_OpenAtPage100/iterations:5/repeats:5/real_time",
                           "BM_QPdfDocument_OpenPage100OnThread/iterations:20/repeats:5/real_time"),
            reporter.ratio("BM_QPdfDocument_OpenPage100OnThread/iterations:20/repeats:5/real_time",
                           "BM_QPdfDocument_OpenPage100/repeats:5/real_time"));
        std::printf("reader_large_open_ratio %.2fx\n",
                    reporter.ratio("BM_Reader_OpenLargeIssue/iterations:5/repeats:5/real_time",
                                   "BM_Reader_OpenSmallIssue/iterations:5/repeats:5/real_time"));
        std::printf(
            "(checker processes in the timed openings and moves: %llu; layouts per opening "
            "at page 100: %.1f)\n",
            static_cast<unsigned long long>(counts().checks),
            counts().openings ? static_cast<double>(counts().layouts) / counts().openings : 0.0);
        downloadWhileReading();
        benchmark::Shutdown();
        readerSlot().reset();
        GlobalService::releaseShared();
        plat::Keychain::setShared(nullptr);
        demo.store.stop();
        demo.service.stop();
    }
    std::filesystem::remove_all(folder);
    return status;
}
