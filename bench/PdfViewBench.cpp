// The reader's first page: 100 one-page A4 PDFs (checked once before, as downloaded pages are) made
// into pages from their kept checks (as an issue's page record gives them) and inserted, a PdfView
// shown offscreen until page 0 is painted, against QPdfDocument loading that page's file and
// rendering it at the same size, and against that render with the two paints a view needs to show
// it; also with the pages made from their files alone (each file stat-ed and its kept check looked
// up). Then 2,000 pages scrolled through with a 64 MiB cache: the cache's peak and the growth of
// the process's peak RSS. Prints the time ratios and the memory figures. Each timed row is the
// median of 5 repetitions.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPdfDocument>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <thread>

#include "ProcessStatus.h"
#include "RatioReporter.h"
#include "ShownPageFloor.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfView.h"
#include "support/PdfFixtures.h"

namespace {

constexpr int kPages = 100;
const QSize kViewSize(600, 800);

std::vector<std::string>& files() {
    static std::vector<std::string> paths;
    return paths;
}

// Each file's check as it was kept when it arrived (what an issue's page record holds).
struct Kept {
    ui::PdfPageCheck::Verdict verdict;
    std::string identity;
};
std::vector<Kept>& kept() {
    static std::vector<Kept> checks;
    return checks;
}

// Runs the event loop until `done` holds, sleeping briefly between passes so that the render
// worker gets the core.
void spinUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (true) {
        QApplication::processEvents(QEventLoop::AllEvents);
        if (done() || timer.elapsed() > 20000)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
}

// The size page 0 is painted at: the view's width less its margins, A4's proportions.
QSize firstPageSize() {
    ui::PdfView view;
    view.resize(kViewSize);
    const double scale = (view.viewport()->width() - 2 * ui::PdfLayout::kPageBreak) / 595.0;
    return QSizeF(595 * scale, 842 * scale).toSize();
}

// Pages made as the reader makes an issue's pages: from their kept checks, or from the files
// alone (each file's kept check looked up, as for a page the record does not hold).
Ref<ui::PdfPage> pageOf(size_t index, bool fromRecord) {
    if (!fromRecord)
        return ui::PdfPage::fromFile(files()[index]);
    return ui::PdfPage::fromCheckedFile(files()[index], kept()[index].verdict,
                                        kept()[index].identity);
}

void timeFirstPage(benchmark::State& state, bool fromRecord) {
    // One window, shown once; each round makes a new document of new pages.
    ui::PdfView view;
    view.resize(kViewSize);
    view.setAutoScales(true);
    view.show();
    spinUntil([&] { return view.isVisible(); });
    for (auto _ : state) {
        // A new cache each round, as each opening of the reader makes one; it goes when the
        // reader closes, untimed here (with a render of a page ahead it may wait for).
        auto cache = std::make_unique<ui::PdfRenderCache>();
        view.setRenderCache(cache.get());
        auto document = std::make_shared<ui::PdfDocument>();
        for (size_t i = 0; i < files().size(); ++i)
            document->insertPage(pageOf(i, fromRecord), document->pageCount());
        view.setDocument(document);
        spinUntil([&] { return view.hasPainted(document->pageAtIndex(0)); });
        state.PauseTiming();
        if (!view.hasPainted(document->pageAtIndex(0))) {
            state.SkipWithError("the first page was not painted");
            break;
        }
        view.setDocument(nullptr);
        view.setRenderCache(nullptr);
        cache.reset();
        state.ResumeTiming();
    }
}

void BM_PdfView_FirstPagePainted(benchmark::State& state) {
    timeFirstPage(state, true);
}
BENCHMARK(BM_PdfView_FirstPagePainted)->Apply(bench::realMillisecondsMedianOfFive);

void BM_PdfView_FirstPagePaintedFromFiles(benchmark::State& state) {
    timeFirstPage(state, false);
}
BENCHMARK(BM_PdfView_FirstPagePaintedFromFiles)->Apply(bench::realMillisecondsMedianOfFive);

void BM_QPdfDocument_LoadAndRender(benchmark::State& state) {
    const QSize size = firstPageSize();
    for (auto _ : state) {
        QPdfDocument document;
        document.load(QString::fromStdString(files().front()));
        QImage image = document.render(0, size);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_QPdfDocument_LoadAndRender)->Apply(bench::realMillisecondsMedianOfFive);

// QtPdf's render with the two paints a view needs to show the page (ShownPageFloor.h).
void BM_QPdfDocument_LoadRenderAndShow(benchmark::State& state) {
    const QSize size = firstPageSize();
    QImage window(kViewSize, QImage::Format_RGB32);
    const int margin = static_cast<int>(ui::PdfLayout::kPageBreak);
    for (auto _ : state) {
        const auto seconds =
            bench::shownPageSeconds(files().front(), size, window, QPoint(margin, margin));
        if (!seconds) {
            state.SkipWithError("the page was not rendered and laid on the view");
            break;
        }
        state.SetIterationTime(*seconds);
    }
}
BENCHMARK(BM_QPdfDocument_LoadRenderAndShow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Apply(bench::medianOfFive);

void scrollThroughTwoThousandPages() {
    const long rssBefore = bench::statusKiB("VmHWM:");
    ui::PdfRenderCache cache(size_t{64} << 20);
    auto document = std::make_shared<ui::PdfDocument>();
    const std::string pdf = testing_support::filledPdf(595, 842, 0.2, 0.4, 0.6);
    for (int i = 0; i < 2000; ++i)
        document->insertPage(
            ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size()))), i);
    ui::PdfView view;
    view.setRenderCache(&cache);
    view.resize(kViewSize);
    view.setAutoScales(true);
    view.setDocument(document);
    view.show();
    while (view.verticalScrollBar()->value() < view.verticalScrollBar()->maximum()) {
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 400);
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    spinUntil([&] { return false; });
    const long rssAfter = bench::statusKiB("VmHWM:");
    std::printf(
        "2,000 pages scrolled: cache peak %.1f MiB (budget 64 MiB), %llu renders, "
        "peak RSS growth %.1f MiB (goal <= 96 MiB)\n",
        static_cast<double>(cache.peakBytesUsed()) / (1 << 20),
        static_cast<unsigned long long>(cache.renderCount()),
        static_cast<double>(rssAfter - rssBefore) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    for (int i = 0; i < kPages; ++i) {
        const std::string path = dir.filePath(QString("page%1.pdf").arg(i)).toStdString();
        std::ofstream(path, std::ios::binary)
            << testing_support::onePagePdf(595, 842, 72, 72, 451, 698, (i % 5) / 5.0, 0.3, 0.7);
        files().push_back(path);
        // Each downloaded page is checked once when it arrives; the view then reads its size.
        if (!ui::PdfPageCheck::check(path).usable)
            return 1;
        const auto identity = ui::PdfPageCheck::fileIdentity(path);
        const auto verdict = identity ? ui::PdfPageCheck::keptVerdict(path, *identity) : std::nullopt;
        if (!verdict)
            return 1;
        kept().push_back({*verdict, *identity});
    }
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("pdfview_first_page_ratio %.2fx\n",
                reporter.ratio("BM_PdfView_FirstPagePainted/repeats:5/real_time",
                               "BM_QPdfDocument_LoadAndRender/repeats:5/real_time"));
    std::printf(
        "(against QtPdf's render and the two paints a view needs, at best beside it: "
        "%.2fx)\n",
        reporter.ratio("BM_PdfView_FirstPagePainted/repeats:5/real_time",
                       "BM_QPdfDocument_LoadRenderAndShow/repeats:5/manual_time"));
    std::printf("(pages made from their files, each file's kept check looked up: %.2fx)\n",
                reporter.ratio("BM_PdfView_FirstPagePaintedFromFiles/repeats:5/real_time",
                               "BM_QPdfDocument_LoadAndRender/repeats:5/real_time"));
    scrollThroughTwoThousandPages();
    benchmark::Shutdown();
    return 0;
}
