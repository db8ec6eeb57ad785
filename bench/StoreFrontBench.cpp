// The store front's screens, offscreen, pinned to one processor, in one run.
//
// The group list: the demo's list of all items (10,000 entries) in a 1024 x 768 group item list,
// paged to its end. Before each page its reply is fetched and its 48 covers are decoded into the
// image cache (not timed); timed is each page from its reply handed to the list to the end of the
// next paint that shows it (the grid scrolled one row short of its end, so that the list asks for
// nothing itself). Against a bare QListView in icon mode given the same titles and covers, each
// page appended and shown the same way. Prints page_paint_ratio (median page against median
// page), grid_heap_mb (heap in use after the last page less after the first, the image cache's
// cost taken out of both), grid_live_cells (the most cells alive: cells are made only when none
// can be reused) and grid_live_bound (the cells of the visible rows and two more rows).
//
// The home page's sliders: the home page (its two ad banners sliding every 5 seconds) in a
// 1024 x 768 window left without input for 10 seconds, the process's CPU time measured while the
// event loop waits; then the same 10 seconds with the page away (taken out of the window, its
// sliders' timers still running). Against two QStackedWidgets in the same places, showing the
// same banner pictures, each changing page on a 5-second QTimer with a 0.3 s ease-out push
// animation. Prints slider_idle_cpu_ms (median), slider_away_cpu_ms (median) and
// slider_cpu_ratio (ours at rest against the stacked widgets').
#include <benchmark/benchmark.h>
#include <sched.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListView>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <tuple>

#include "HeapInUse.h"
#include "app/common/QtImageView.h"
#include "app/services/GlobalService.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopCategoryMainViewController.h"
#include "app/store/feature/FeatureAdBannerItemView.h"
#include "app/store/feature/FeatureAdBannerView.h"
#include "app/store/feature/ShopFeatureMainView.h"
#include "demo-service/DemoCovers.h"
#include "demo-service/DemoGroupLists.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "external/AFImageView.h"
#include "platform/core/Collections.h"
#include "platform/image/Image.h"
#include "platform/net/Url.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

constexpr size_t kEntries = 10000;
constexpr int kPage = 48;
const QSize kWindowSize(1024, 768);
using GroupList = ShopCategoryMainViewController::GroupList;

[[noreturn]] void fail(const char* what) {
    std::fflush(stdout);  // the figures printed so far
    std::fprintf(stderr, "store_front_bench: %s\n", what);
    std::_Exit(1);
}

// Runs the event loop until `done` holds (false after a minute).
bool spinUntil(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
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

Ref<VnBookStoreUserContext> user() {
    return GlobalService::globalShared()->storeContext()->activeUserContext();
}

double heapBytes() {
    return static_cast<double>(bench::heapInUse());
}

double cacheBytes() {
    return static_cast<double>(AFImageView::af_sharedImageCache().totalCost());
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Notes the paint events a widget receives.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
    bool painted = false;
};

// Waits for the next paint of the widget watched; the paint has ended when the loop returns.
void waitForPaint(PaintWatch& watch) {
    if (!spinUntil([&] { return watch.painted; }))
        fail("no paint came");
    watch.painted = false;
}

// The reply of a page of the list of all items, as the list's next page receives it.
Ref<VnRequestResult> fetchPage(size_t start) {
    auto domain = user()->shopSubGroupInfoDomainWithGroupCode(demo::kAllItemsGroup,
                                                              static_cast<int32_t>(start), kPage);
    Ref<VnRequestResult> result;
    domain->newDomainUpdatingRequest(domain->takeLocalSnapshot())
        ->startWithDidFinishBlock(
            [&](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
    if (!spinUntil([&] { return result != nullptr; }) || !result->succeed())
        fail("a page did not arrive");
    return result;
}

GroupList entriesOf(const Ref<VnRequestResult>& result) {
    GroupList entries;
    if (auto snapshot = result->returnValue().as<VnLocalSnapshot>())
        for (const auto& item : snapshot->items())
            if (auto entry = std::dynamic_pointer_cast<VnShopGroupInfo>(item))
                entries.push_back(entry);
    return entries;
}

// Decodes the entries' covers into the shared image cache; answers the pictures in order.
std::vector<QImage> decodeCovers(const GroupList& entries) {
    std::vector<QImage> covers;
    for (const auto& entry : entries) {
        const auto url = plat::Url::parse(entry->ImageUrl_.value_or(""));
        const auto cover = url ? demo::demoCover(url->path()) : std::nullopt;
        if (!cover)
            fail("an entry has no demo cover");
        const auto image =
            plat::Image::imageWithData(plat::Bytes(cover->first.begin(), cover->first.end()));
        if (!image)
            fail("a cover did not decode");
        AFImageView::af_sharedImageCache().cacheImage(image, plat::UrlRequest(*url));
        covers.push_back(image->qimage());
    }
    return covers;
}

// The scroll position one row short of the end: the newest rows show, the end does not.
void scrollNearEnd(QScrollBar* bar, int row) {
    bar->setValue(std::max(0, bar->maximum() - row));
}

// ---- The group list ------------------------------------------------------------------------

struct GroupListFigures {
    std::vector<double> pageSeconds;
    double heapMb = 0;
    int liveCells = 0;
    int liveBound = 0;
};
GroupListFigures& groupListFigures() {
    static GroupListFigures figures;
    return figures;
}
std::vector<double>& listViewPageSeconds() {
    static std::vector<double> seconds;
    return seconds;
}

void BM_GroupList_Pages(benchmark::State& state) {
    auto& figures = groupListFigures();
    decodeCovers(entriesOf(fetchPage(0)));
    auto list = ui::ViewController::create<ShopCategoryMainViewController>();
    list->setCurrentCodeSort(demo::kAllItemsGroup);
    QWidget* view = list->view();
    view->resize(kWindowSize);
    view->show();
    PaintWatch watch(list->collectionView->viewport());
    if (!spinUntil([&] {
            return list->shopGroupArray()->size() == kPage && !list->isUpdateItem() &&
                   !list->isMenuRequestRunning();
        }))
        fail("the first page did not show");
    spinUntil([] { return false; }, 200);
    ui::CollectionView* grid = list->collectionView;
    const int row = BookCoverCollectionCellView::kHeight + 10;
    const double heapAtFirst = heapBytes() - cacheBytes();

    for (auto _ : state) {
        state.PauseTiming();
        const size_t shown = list->shopGroupArray()->size();
        const auto reply = fetchPage(shown);
        const GroupList page = entriesOf(reply);
        decodeCovers(page);
        spinUntil([] { return false; }, 1);
        watch.painted = false;
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        list->requestItemBookGroupInfoContinueFinished(nullptr, reply);
        scrollNearEnd(grid->verticalScrollBar(), row);
        waitForPaint(watch);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        figures.pageSeconds.push_back(seconds);

        state.PauseTiming();
        if (list->shopGroupArray()->size() != shown + page.size() || page.empty())
            fail("a page was not appended");
        if (list->isUpdateItem())
            fail("the list asked a page itself");
        state.ResumeTiming();
    }
    if (list->shopGroupArray()->size() != kEntries)
        fail("the list was not paged to its end");
    spinUntil([] { return false; }, 200);
    figures.heapMb = (heapBytes() - cacheBytes() - heapAtFirst) / (1 << 20);
    figures.liveCells = grid->madeItemCount();
    const int columns = grid->viewport()->width() / (BookCoverCollectionCellView::kWidth + 10);
    const int visibleRows = grid->viewport()->height() / row + 2;
    figures.liveBound = columns * (visibleRows + 2);
}
BENCHMARK(BM_GroupList_Pages)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations((kEntries + kPage - 1) / kPage - 1);

void BM_QListView_Pages(benchmark::State& state) {
    QStandardItemModel model;
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setMovement(QListView::Static);
    view.setResizeMode(QListView::Adjust);
    view.setUniformItemSizes(true);
    view.setIconSize(QSize(110, 160));
    view.setGridSize(
        QSize(BookCoverCollectionCellView::kWidth + 10, BookCoverCollectionCellView::kHeight + 10));
    view.setModel(&model);
    view.resize(kWindowSize);
    view.show();
    PaintWatch watch(view.viewport());
    const int row = BookCoverCollectionCellView::kHeight + 10;
    auto append = [&](const GroupList& entries, const std::vector<QImage>& covers) {
        QList<QStandardItem*> items;
        for (size_t i = 0; i < entries.size(); ++i)
            items.append(
                new QStandardItem(QIcon(QPixmap::fromImage(covers[i])),
                                  QString::fromStdString(entries[i]->Title_.value_or(""))));
        model.invisibleRootItem()->appendRows(items);  // the model owns the items
    };
    {
        const GroupList first = entriesOf(fetchPage(0));
        append(first, decodeCovers(first));
        spinUntil([] { return false; }, 200);
    }
    for (auto _ : state) {
        state.PauseTiming();
        const GroupList page = entriesOf(fetchPage(static_cast<size_t>(model.rowCount())));
        const std::vector<QImage> covers = decodeCovers(page);
        spinUntil([] { return false; }, 1);
        watch.painted = false;
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        append(page, covers);
        view.doItemsLayout();
        scrollNearEnd(view.verticalScrollBar(), row);
        waitForPaint(watch);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        listViewPageSeconds().push_back(seconds);
    }
    if (static_cast<size_t>(model.rowCount()) != kEntries)
        fail("the list view was not paged to its end");
}
BENCHMARK(BM_QListView_Pages)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations((kEntries + kPage - 1) / kPage - 1);

void printGroupListFigures() {
    const auto& figures = groupListFigures();
    const double ours = median(figures.pageSeconds);
    const double peer = median(listViewPageSeconds());
    if (ours <= 0 || peer <= 0)
        fail("the group list rows did not run");
    std::printf("page_paint_ratio=%.2f\n", ours / peer);
    std::printf("grid_heap_mb=%.1f\n", figures.heapMb);
    std::printf("grid_live_cells=%d\n", figures.liveCells);
    std::printf("grid_live_bound=%d\n", figures.liveBound);
    std::printf("(median page: group list %.2f ms, QListView %.2f ms; image cache %.1f MB)\n",
                ours * 1e3, peer * 1e3, cacheBytes() / (1 << 20));
}

// ---- The home page's sliders
// ---------------------------------------------------------------------

constexpr int kRestSeconds = 10;
constexpr int kSlideMilliseconds = 5000;
constexpr int kPushMilliseconds = 300;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Lets the event loop wait for kRestSeconds; answers the CPU time the process used meanwhile.
double cpuAtRest() {
    QEventLoop loop;
    QTimer::singleShot(kRestSeconds * 1000, &loop, &QEventLoop::quit);
    const double start = processCpuSeconds();
    loop.exec();
    return processCpuSeconds() - start;
}

struct HomePage {
    QWidget window;
    Ref<ShopFeatureMainView> page;
    std::vector<QImage> banners;  // the pictures of the first ad banner's slides
};

std::unique_ptr<HomePage>& homePageHeld() {
    static std::unique_ptr<HomePage> held;
    return held;
}

// The home page, loaded with its banner pictures, in its window; made on first use and kept
// until main lets it go.
HomePage& homePage() {
    std::unique_ptr<HomePage>& held = homePageHeld();
    if (held)
        return *held;
    held = std::make_unique<HomePage>();
    HomePage& made = *held;
    made.window.resize(kWindowSize);
    made.window.show();
    made.page = ui::ResourceRegistry::shared().instantiate<ShopFeatureMainView>(
        ShopFeatureMainView::kStoryboard, ShopFeatureMainView::kIdentifier);
    if (!made.page)
        fail("no feature page");
    made.page->setFeatureCode("0.feature_all");
    made.page->addToContainer(&made.window);
    if (!spinUntil([&] { return made.page->shopGroupItems().size() == 4; }))
        fail("the home page did not load");
    for (int row = 0; row < 2; ++row) {
        auto banners =
            std::dynamic_pointer_cast<FeatureAdBannerView>(made.page->rowControllerAt(row));
        if (!banners || banners->slideControllers().size() != 3)
            fail("the home page has no ad banners of three slides");
        for (const auto& slide : banners->slideControllers()) {
            if (!spinUntil(
                    [&] { return slide->coverImageView()->image().size() == QSize(760, 250); }))
                fail("a banner picture did not load");
            if (row == 0)
                made.banners.push_back(slide->coverImageView()->image());
        }
    }
    spinUntil([] { return false; }, 1000);
    return made;
}

std::vector<double>& sliderIdleMs() {
    static std::vector<double> ms;
    return ms;
}
std::vector<double>& sliderAwayMs() {
    static std::vector<double> ms;
    return ms;
}
std::vector<double>& stackedIdleMs() {
    static std::vector<double> ms;
    return ms;
}

void BM_HomeSliders_Idle(benchmark::State& state) {
    HomePage& home = homePage();
    for (auto _ : state) {
        const double cpu = cpuAtRest();
        state.SetIterationTime(cpu);
        sliderIdleMs().push_back(cpu * 1e3);
    }
    if (!home.page->view()->isVisible())
        fail("the home page was not on screen");
}
BENCHMARK(BM_HomeSliders_Idle)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_HomeSliders_Away(benchmark::State& state) {
    HomePage& home = homePage();
    home.page->removeFromContainer();
    for (auto _ : state) {
        const double cpu = cpuAtRest();
        state.SetIterationTime(cpu);
        sliderAwayMs().push_back(cpu * 1e3);
    }
    if (home.page->view()->isVisible())
        fail("the home page stayed on screen");
    home.page->addToContainer(&home.window);
}
BENCHMARK(BM_HomeSliders_Away)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A stacked widget that pushes its next page in from the right on a timer.
class PushingStack : public QStackedWidget {
  public:
    PushingStack(QWidget* parent, const std::vector<QImage>& pictures) : QStackedWidget(parent) {
        for (const auto& picture : pictures) {
            auto label = std::make_unique<QLabel>();
            label->setScaledContents(true);
            label->setPixmap(QPixmap::fromImage(picture));
            addWidget(label.release());  // the stack owns its pages
        }
        timer_.setInterval(kSlideMilliseconds);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { push(); });
        timer_.start();
    }

  private:
    void push() {
        QWidget* from = currentWidget();
        const int next = (currentIndex() + 1) % count();
        QWidget* to = widget(next);
        to->setGeometry(rect().translated(width(), 0));
        to->show();
        to->raise();
        auto group = std::make_unique<QParallelAnimationGroup>();
        for (auto [page, start, end] : {std::tuple{from, QPoint(0, 0), QPoint(-width(), 0)},
                                        std::tuple{to, QPoint(width(), 0), QPoint(0, 0)}}) {
            auto move = std::make_unique<QPropertyAnimation>(page, "pos");
            move->setDuration(kPushMilliseconds);
            move->setStartValue(start);
            move->setEndValue(end);
            move->setEasingCurve(QEasingCurve::OutCubic);
            group->addAnimation(move.release());  // the group owns its animations
        }
        QObject::connect(group.get(), &QAbstractAnimation::finished, this, [this, next] {
            setCurrentIndex(next);
            currentWidget()->move(0, 0);
        });
        group.release()->start(QAbstractAnimation::DeleteWhenStopped);
    }
    QTimer timer_;
};

void BM_QStackedWidget_Idle(benchmark::State& state) {
    const std::vector<QImage> pictures = homePage().banners;
    QWidget window;
    window.resize(kWindowSize);
    const int width = kWindowSize.width();
    PushingStack first(&window, pictures);
    first.setGeometry(0, 0, width, FeatureAdBannerView::kHeight);
    PushingStack second(&window, pictures);
    second.setGeometry(0, FeatureAdBannerView::kHeight, width, FeatureAdBannerView::kHeight);
    window.show();
    spinUntil([] { return false; }, 1000);
    for (auto _ : state) {
        const double cpu = cpuAtRest();
        state.SetIterationTime(cpu);
        stackedIdleMs().push_back(cpu * 1e3);
    }
}
BENCHMARK(BM_QStackedWidget_Idle)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void printSliderFigures() {
    const double idle = median(sliderIdleMs());
    const double away = median(sliderAwayMs());
    const double peer = median(stackedIdleMs());
    if (sliderIdleMs().empty() || sliderAwayMs().empty() || peer <= 0)
        fail("the slider rows did not run");
    std::printf("slider_idle_cpu_ms=%.1f\n", idle);
    std::printf("slider_away_cpu_ms=%.1f\n", away);
    std::printf("slider_cpu_ratio=%.2f\n", idle / peer);
    std::printf("(%d s at rest; QStackedWidget pair %.1f ms)\n", kRestSeconds, peer);
}

// Pins the process to the processor it runs on now.
void pin() {
    const int cpu = sched_getcpu();
    if (cpu < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(0, sizeof set, &set);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char folder[] = "/tmp/store_front_bench.XXXXXX";
    if (!mkdtemp(folder))
        fail("no temporary folder");
    setenv("VARNEL_HOME", folder, 1);
    {
        QApplication app(argc, argv);
        ui::RunLoopBridge::install();
        plat::UserDefaults::resetStandardUserDefaults();
        plat::Keychain::setShared(
            std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
        Demo& demo = demoService();
        size_t listed = 0;
        for (const auto& item : demo.catalogue.items())
            listed += item.withdrawn ? 0 : 1;
        demo.catalogue.generateItems(kEntries - listed, 1);
        demo.service.setServicePath(kBookServicePath);
        demo::registerVersion2Methods(demo.service, demo.catalogue);
        demo::registerStoreService(demo.store, demo.catalogue, "VARNEL",
                                   demo::kDemoAuthorizationToken);
        if (!demo.service.start() || !demo.store.start())
            fail("the demo service did not start");
        using plat::makeDictionary;
        using plat::Value;
        plat::InfoDictionary::setDictionary(makeDictionary(
            {{Value(kVarnelDeploymentKey),
              Value(makeDictionary(
                  {{Value(kServiceHostKey), Value(demo.service.baseUrl())},
                   {Value(kAuthorizationTokenKey), Value(demo::kDemoAuthorizationToken)}}))},
             {Value("ApplicationCustomization"),
              Value(makeDictionary(
                  {{Value("Metadata"),
                    Value(makeDictionary({{Value("AppCode"), Value("VARNEL")}}))},
                   {Value("Shop"),
                    Value(makeDictionary(
                        {{Value("StoreServiceURL"), Value(demo.store.serviceUrl())}}))}}))}}));
        auto& registry = ui::ResourceRegistry::shared();
        registry.addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "images");
        registerStoreResources(registry);
        pin();

        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        printGroupListFigures();
        printSliderFigures();
        homePageHeld().reset();
        benchmark::Shutdown();
        GlobalService::releaseShared();
        plat::Keychain::setShared(nullptr);
        demo.store.stop();
        demo.service.stop();
    }
    std::filesystem::remove_all(folder);
    return 0;
}
