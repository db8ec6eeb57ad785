// What a member waits for over a slow link: a double-click on a shelf item not yet downloaded,
// until its first page is painted in the reader, with the demo library behind a relay that adds
// 40 ms of round trip and holds 20 Mbit/s (bench/LinkRelay.h; the program's requests reach it as
// their proxy, through the environment's "all_proxy"). Our side is the program's own road: the
// book shelf (LibraryListView) shown offscreen with a signed-in member, its cell's cover
// double-clicked through QTest, the metadata downloader, the issue's UI context and the reader
// window made as the program makes it at launch. Each timed run opens a 412-page item of its own,
// never downloaded before; between runs the reader closes, the shelf lets the download go, and the
// link is left idle.
//   Clock (ours): starts just before the double-click's mouse events are sent to the cover's
//   button; stops when the reader's page view says it has painted the first page's own rendering
//   (PdfView::hasPainted), checked after every event the loop handles.
// Floor, same run: libcurl through the same relay sending the web-method calls the program sent
// for the item's metadata and first page (as the demo service recorded them in an untimed first
// opening), all at once, then fetching the rendering metadata and the first page file at once,
// then QPdfDocument loading that page from memory and rendering it at the size the reader painted
// it.
//   Clock (floor): from before the first request to the rendered image.
// Also the same requests by libcurl one after another in the order the service heard them, and
// the page rendered: what the program's order of requests costs by itself.
// Whole-file reader: the same calls, then every page file of the item (32 at a time), then the
// first page rendered: what a reader that needs the whole issue before its first page waits.
// Medians of 5. Prints reader_link_first_page_ratio (goal at most 1.5), the whole-file reader's
// time and our ratio to it; on its error output, the first (untimed) opening's requests and when
// each of their connections opened.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPdfDocument>
#include <QScrollBar>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "DemoMember.h"
#include "LinkRelay.h"
#include "TemporaryFolder.h"
#include "app/AreaRegistrations.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "app/reader/ReaderResources.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "app/services/GlobalService.h"
#include "demo-service/DemoContent.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/storage/Keychain.h"
#include "platform_ui/Alert.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfView.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRoundTrip = std::chrono::milliseconds(40);
constexpr double kBytesPerSecond = 20e6 / 8;
constexpr int kPages = 412;
constexpr int kTimedRuns = 5;
constexpr int kWholeFileParallel = 32;
constexpr const char* kMember = "link@example.com";
constexpr const char* kPassword = "link-pass";
const QSize kShelfSize(1600, 400);

std::string itemCode(int k) {
    return "LK" + std::to_string(10 + k) + "-0412";
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "reader_link_bench: %s\n", what.c_str());
    std::exit(1);
}

// Runs the event loop until `done` holds (false after the time). A timer wakes it every
// millisecond for work that comes without an event.
bool spinUntil(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer timer;
    timer.start();
    QTimer wake;
    wake.start(1);
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// An alert fails the run: the program met an error it told the member about.
class FailingAlert : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string& info) override {
        fail("the program said: " + message + " " + info);
    }
};

struct Shared {
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    std::unique_ptr<bench::LinkRelay> relay;
    Ref<LibraryListView> shelf;
    Ref<ReaderWindowController> reader;
    int nextItem = 0;
    // The first opening's requests for its item's metadata and first page, in the order the
    // service heard them, and the size the reader painted that page at.
    std::vector<demo::RecordedRequest> calls;
    std::vector<std::string> files;  // paths of the metadata and first page files
    QSize paintedSize;
    int64_t firstPageBytes = 0;
    int64_t metadataBytes = 0;
    int64_t wholeFileBytes = 0;
    int checks = 0, openings = 0;
    // Each timed run's seconds, by row.
    std::map<std::string, std::vector<double>> runs;
};

Shared& shared() {
    static Shared s;
    return s;
}

// Records a timed run of the row and hands its time to the benchmark.
void timed(benchmark::State& state, const char* row, double seconds) {
    shared().runs[row].push_back(seconds);
    state.SetIterationTime(seconds);
}

double median(const char* row) {
    auto runs = shared().runs[row];
    if (runs.size() != kTimedRuns)
        return 0;
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// ---- libcurl through the relay ----

struct Fetch {
    std::string url;
    std::string body;  // POSTed when not empty
    std::vector<std::string> headers;
    std::string reply;
};

size_t append(char* data, size_t size, size_t count, void* out) {
    auto* reply = static_cast<std::string*>(out);
    if (reply->size() + size * count > (size_t{64} << 20))
        return 0;
    reply->append(data, size * count);
    return size * count;
}

// Fetches them all, at most `parallel` at once; fails on any error or status but 200.
void fetchAll(std::vector<Fetch>& fetches, int parallel) {
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(parallel));
    std::vector<CURL*> easies;
    std::vector<curl_slist*> lists;
    for (Fetch& fetch : fetches) {
        CURL* easy = curl_easy_init();
        curl_slist* list = nullptr;
        for (const auto& header : fetch.headers)
            list = curl_slist_append(list, header.c_str());
        curl_easy_setopt(easy, CURLOPT_URL, fetch.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXY, shared().relay->proxyUrl().c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
        if (!fetch.body.empty()) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(fetch.body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, fetch.body.data());
        }
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, append);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &fetch.reply);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT, 120L);
        curl_multi_add_handle(multi, easy);
        easies.push_back(easy);
        lists.push_back(list);
    }
    int running = 0;
    do {
        curl_multi_perform(multi, &running);
        if (running)
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    } while (running);
    std::string problem;
    while (CURLMsg* message = curl_multi_info_read(multi, &running)) {
        long status = 0;
        curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
        if (message->msg == CURLMSG_DONE && (message->data.result != CURLE_OK || status != 200))
            problem = curl_easy_strerror(message->data.result) + (" " + std::to_string(status));
    }
    for (size_t i = 0; i < easies.size(); ++i) {
        curl_multi_remove_handle(multi, easies[i]);
        curl_easy_cleanup(easies[i]);
        curl_slist_free_all(lists[i]);
    }
    curl_multi_cleanup(multi);
    if (!problem.empty())
        fail("a libcurl fetch failed: " + problem);
    for (const Fetch& fetch : fetches)
        if (fetch.reply.empty())
            fail("a libcurl fetch answered nothing: " + fetch.url);
}

// The recorded requests (the web-method calls only, or all), sent again as they came.
std::vector<Fetch> recordedCalls(bool withFiles = false) {
    std::vector<Fetch> calls;
    for (const auto& request : shared().calls) {
        if (request.method != "POST" && !withFiles)
            continue;
        Fetch fetch{shared().service.baseUrl() + request.path +
                        (request.query.empty() ? "" : "?" + request.query),
                    request.body,
                    {"Expect:"},
                    {}};
        for (const auto& [name, value] : request.headers) {
            if (name == "Host" || name == "Content-Length" || name == "Connection" ||
                name == "Transfer-Encoding" || name == "Accept-Encoding" ||
                name.starts_with("REMOTE") || name.starts_with("LOCAL"))
                continue;
            fetch.headers.push_back(name + ": " + value);
        }
        calls.push_back(std::move(fetch));
    }
    return calls;
}

void renderFirstPage(const std::string& bytes) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    const QImage image = document.render(0, shared().paintedSize);
    if (image.isNull() || image.size() != shared().paintedSize)
        fail("QtPdf did not render the first page");
    benchmark::DoNotOptimize(image.bits());
}

// ---- Our side ----

Ref<ReaderViewController> shownReader() {
    const auto& reader = shared().reader;
    return reader ? reader->readerViewController() : nullptr;
}

bool firstPagePainted(const std::string& code) {
    const auto reader = shownReader();
    if (!reader || !reader->uiContext() || !reader->mainDocument() ||
        reader->uiContext()->context()->info()->code().value_or("") != code)
        return false;
    const auto page = reader->mainDocument()->pageAtIndex(0);
    return page && reader->pdfView()->hasPainted(page);
}

// The shelf's cell of the item, on screen; null when it does not show.
QAbstractButton* coverButtonOf(const std::string& code) {
    ui::CollectionView* grid = shared().shelf->collectionView();
    const auto& content = shared().shelf->content();
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i]->magazineIssueInfo->code().value_or("") != code)
            continue;
        const QRect rect = grid->rectOfItem(static_cast<int>(i));
        grid->horizontalScrollBar()->setValue(rect.left());
        grid->verticalScrollBar()->setValue(rect.top());
        QAbstractButton* button = nullptr;
        spinUntil(
            [&] {
                const auto cell = std::dynamic_pointer_cast<LibraryBookShelfCollectionCellView>(
                    grid->itemAtIndex(static_cast<int>(i)));
                button = cell && cell->isOnScreen() ? cell->itemSelectButton() : nullptr;
                return button && button->isVisible();
            },
            5000);
        return button;
    }
    return nullptr;
}

// The link idle: no connection open, nothing queued.
void waitForIdleLink() {
    if (!spinUntil([] { return shared().relay->connectionsOpen() == 0; }, 30000))
        fail("the link did not go idle");
}

// Opens the next item from the shelf with a double-click; answers the seconds until its first
// page was painted.
double openNextItem() {
    Shared& s = shared();
    if (s.nextItem > kTimedRuns)
        fail("no item left that was never downloaded");
    const std::string code = itemCode(s.nextItem++);
    waitForIdleLink();
    QAbstractButton* cover = coverButtonOf(code);
    if (!cover)
        fail("the shelf does not show " + code);
    if (!cover->window()->windowHandle())
        fail("the shelf has no window");
    s.service.clearRequests();
    const uint64_t checks = ui::PdfPageCheck::checksRun();
    const int connections = s.relay->connectionsMade();
    const auto start = Clock::now();
    // As the window system hands a double-click to the window: press, release, press (a
    // double-click), release, at the middle of the cover.
    QTest::mouseDClick(cover->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       cover->mapTo(cover->window(), cover->rect().center()));
    if (!spinUntil([&] { return firstPagePainted(code); })) {
        for (const auto& request : s.service.requests())
            std::fprintf(stderr, "  heard: %s %s %.200s\n", request.method.c_str(),
                         request.path.c_str(), request.body.c_str());
        const auto reader = shownReader();
        std::fprintf(stderr, "  downloader %d, reader %d, ui %d, document %d\n",
                     s.shelf->metadataDownloader() != nullptr, reader != nullptr,
                     reader && reader->uiContext(), reader && reader->mainDocument());
        fail("the first page of " + code + " was not painted");
    }
    const auto stop = Clock::now();
    // Every request the service heard came over the link.
    const auto requests = s.service.requests();
    if (requests.empty() ||
        s.relay->connectionsMade() - connections < static_cast<int>(requests.size()))
        fail("a request went around the link");
    // The page was checked as the program checks every page file, not used unchecked.
    if (ui::PdfPageCheck::checksRun() == checks)
        fail("no page file was checked");
    s.checks += static_cast<int>(ui::PdfPageCheck::checksRun() - checks);
    ++s.openings;
    if (s.calls.empty()) {
        // The first opening tells the floor what to fetch; it shows when each connection
        // opened.
        std::string opened;
        for (const auto& at : s.relay->acceptTimes())
            if (at >= start)
                opened += " +" + std::to_string((at - start) / std::chrono::milliseconds(1));
        std::fprintf(stderr, "reader_link_bench: connections opened at%s ms; painted at +%lld ms\n",
                     opened.c_str(),
                     static_cast<long long>((stop - start) / std::chrono::milliseconds(1)));
        for (const auto& request : requests) {
            std::fprintf(stderr, "  heard: %s %s %.160s\n", request.method.c_str(),
                         request.path.c_str(), request.body.c_str());
            if ((request.method == "POST" && request.body.find(code) != std::string::npos) ||
                (request.method == "GET" && request.path.find(code) != std::string::npos))
                s.calls.push_back(request);
        }
        for (const auto& request : s.calls)
            if (request.method == "GET")
                s.files.push_back(request.path);
        if (s.files != std::vector<std::string>{demo::demoContentPath(code, "XML", "XML", "0"),
                                                demo::demoContentPath(code, "PAGE", "PDF", "0")})
            fail("the first opening fetched other files than the metadata and the first page");
        const auto reader = shownReader();
        const auto page = reader->mainDocument()->pageAtIndex(0);
        s.paintedSize =
            (reader->pdfView()->pageFrame(page).size() * reader->pdfView()->devicePixelRatioF())
                .toSize();
    }
    // The reader starts the rest of the issue once its first page shows; then the reader closes
    // and the shelf lets the issue go, as a click on another item would.
    const auto issue = shownReader()->uiContext()->context();
    spinUntil([&] { return issue->downloading(); }, 5000);
    s.reader->window()->close();
    s.shelf->releaseDownloadingIssue();
    return std::chrono::duration<double>(stop - start).count();
}

void BM_Shelf_DoubleClickToFirstPage(benchmark::State& state) {
    for (auto _ : state)
        timed(state, "ours", openNextItem());
}
BENCHMARK(BM_Shelf_DoubleClickToFirstPage)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(kTimedRuns);

// ---- Floor and whole-file reader ----

std::vector<Fetch> fileFetches(const std::vector<std::string>& paths) {
    std::vector<Fetch> fetches;
    for (const auto& path : paths)
        fetches.push_back({shared().service.baseUrl() + path, {}, {}, {}});
    return fetches;
}

void BM_Curl_MetadataAndFirstPage(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        waitForIdleLink();
        auto calls = recordedCalls();
        auto files = fileFetches(shared().files);
        state.ResumeTiming();
        const auto start = Clock::now();
        fetchAll(calls, 16);
        fetchAll(files, 16);
        renderFirstPage(files.back().reply);
        timed(state, "floor", std::chrono::duration<double>(Clock::now() - start).count());
        shared().firstPageBytes = static_cast<int64_t>(files.back().reply.size());
        shared().metadataBytes = static_cast<int64_t>(files.front().reply.size());
    }
}
BENCHMARK(BM_Curl_MetadataAndFirstPage)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(kTimedRuns);

// The same calls and files one after another, in the order the program sent them: the waits of
// its order of requests alone.
void BM_Curl_OneAfterAnother(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        waitForIdleLink();
        auto all = recordedCalls(true);
        state.ResumeTiming();
        const auto start = Clock::now();
        for (Fetch& fetch : all) {
            std::vector<Fetch> one{std::move(fetch)};
            fetchAll(one, 1);
            fetch = std::move(one.front());
        }
        renderFirstPage(all.back().reply);
        timed(state, "sequential", std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_Curl_OneAfterAnother)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(kTimedRuns);

void BM_Curl_WholeFileThenFirstPage(benchmark::State& state) {
    const std::string code = itemCode(0);
    std::vector<std::string> paths = {shared().files.front()};
    for (int i = 0; i < kPages; ++i)
        paths.push_back(demo::demoContentPath(code, "PAGE", "PDF", std::to_string(i)));
    for (auto _ : state) {
        state.PauseTiming();
        waitForIdleLink();
        auto calls = recordedCalls();
        auto files = fileFetches(paths);
        state.ResumeTiming();
        const auto start = Clock::now();
        fetchAll(calls, 16);
        fetchAll(files, kWholeFileParallel);
        renderFirstPage(files[1].reply);
        timed(state, "whole", std::chrono::duration<double>(Clock::now() - start).count());
        int64_t bytes = 0;
        for (const auto& file : files)
            bytes += static_cast<int64_t>(file.reply.size());
        shared().wholeFileBytes = bytes;
    }
}
BENCHMARK(BM_Curl_WholeFileThenFirstPage)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(kTimedRuns);

// ---- Set-up ----

void startLibrary() {
    Shared& s = shared();
    demo::SampleItem model = *s.catalogue.findItem("BK0005");
    if (model.pageCount != kPages)
        fail("the demo's 412-page book changed");
    for (int k = 0; k <= kTimedRuns; ++k) {
        demo::SampleItem item = model;
        item.code = itemCode(k);
        item.title = "Link " + item.code;
        item.isbn = "97800000" + std::to_string(10000 + k);
        item.sortIndex = -100 + k;
        if (!s.catalogue.addItem(item))
            fail("the bench's items could not be added");
    }
    s.catalogue.addAccount({kMember, kPassword, 1, "", "Link", "Reader", 4002, false, false});
    s.service.setServicePath(kBookServicePath);
    demo::registerVersion2Methods(s.service, s.catalogue);
    demo::registerStoreService(s.store, s.catalogue, "ORV_001", demo::kDemoAuthorizationToken);
    s.relay = std::make_unique<bench::LinkRelay>(kRoundTrip, kBytesPerSecond);
    if (!s.service.start() || !s.store.start() || !s.relay->start())
        fail("the demo service or the relay did not start");
    // Every request of the program goes over the link.
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(name);
    setenv("all_proxy", s.relay->proxyUrl().c_str(), 1);
    bench::configureProgramForDemo(s.service, s.store);
    ui::Alert::setShared(std::make_shared<FailingAlert>());
    registerAllAreaResources(ui::ResourceRegistry::shared());
    if (!bench::signInToDemo(kMember, kPassword))
        fail("the member could not sign in");
}

// The reader window as the program makes it at launch, and the book shelf showing the items.
void showShelf() {
    Shared& s = shared();
    s.reader = std::dynamic_pointer_cast<ReaderWindowController>(
        ui::ResourceRegistry::shared().instantiateController(ReaderScreens::kReaderWindow));
    if (!s.reader)
        fail("no reader window");
    GlobalService::globalShared()->setReaderViewController(s.reader);
    s.shelf = ui::ViewController::create<LibraryListView>();
    s.shelf->setReaderWindowController(GlobalService::globalShared()->readerHandOver());
    s.shelf->setTitleLibrary("หนังสือ");
    s.shelf->setBookLibraryMode(true);
    QWidget* view = s.shelf->view();
    view->resize(kShelfSize);
    view->show();
    s.shelf->updateLibraryForceUpdate(true);
    if (!spinUntil([&] {
            const auto& state = s.shelf->getIssueInfoRequest();
            if (s.shelf->booksRequest() || !state || state->running())
                return false;
            for (int k = 0; k <= kTimedRuns; ++k)
                if (!coverButtonOf(itemCode(k)))
                    return false;
            return true;
        }))
        fail("the shelf did not show the items");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    bench::TemporaryFolder home("reader-link-bench");
    setenv("VARNEL_HOME", home.path().c_str(), 1);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int status = 0;
    {
        QApplication app(argc, argv);
        startLibrary();
        showShelf();
        // An untimed first opening: the program's code warmed, the floor's requests recorded.
        const double first = openNextItem();
        std::fprintf(stderr, "reader_link_bench: first opening %.0f ms, %zu calls recorded\n",
                     first * 1000, shared().calls.size());

        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        const Shared& s = shared();
        const double ours = median("ours");
        const double floor = median("floor");
        const double whole = median("whole");
        std::printf(
            "(link: %lld ms round trip, %.0f Mbit/s; metadata %lld bytes, first page %lld bytes, "
            "whole issue %lld bytes; %zu requests; the page painted at %dx%d px)\n",
            static_cast<long long>(kRoundTrip.count()), kBytesPerSecond * 8 / 1e6,
            static_cast<long long>(s.metadataBytes), static_cast<long long>(s.firstPageBytes),
            static_cast<long long>(s.wholeFileBytes), s.calls.size(), s.paintedSize.width(),
            s.paintedSize.height());
        std::printf("reader_link_first_page_ms %.1f\n", ours * 1000);
        std::printf("reader_link_floor_ms %.1f\n", floor * 1000);
        std::printf("reader_link_first_page_ratio %.2fx\n", floor > 0 ? ours / floor : 0.0);
        const double sequential = median("sequential");
        std::printf(
            "(the same requests one after another, in the program's order: %.1f ms, "
            "ours %.2fx; checker processes per opening %.1f)\n",
            sequential * 1000, sequential > 0 ? ours / sequential : 0.0,
            s.openings ? double(s.checks) / s.openings : 0.0);
        std::printf("reader_link_whole_file_ms %.1f\n", whole * 1000);
        std::printf("reader_link_whole_file_ratio %.2fx\n", whole > 0 ? ours / whole : 0.0);
        if (ours <= 0 || floor <= 0 || whole <= 0)
            status = 1;
        // The link held its rate and its round trip: nothing came faster than it allows (the
        // floor waits at least two round trips and the connections' own).
        if (whole > 0 && whole < static_cast<double>(s.wholeFileBytes) / kBytesPerSecond)
            fail("the whole issue came faster than the link's rate");
        if (floor > 0 && floor < 4 * std::chrono::duration<double>(kRoundTrip).count())
            fail("the floor came faster than its round trips");
        benchmark::Shutdown();
        shared().shelf.reset();
        shared().reader.reset();
        GlobalService::releaseShared();
        plat::Keychain::setShared(nullptr);
        shared().relay->stop();
        shared().store.stop();
        shared().service.stop();
    }
    curl_global_cleanup();
    return status;
}
