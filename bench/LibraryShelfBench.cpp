// The book shelf of 2,000 books, offscreen, against the demo library in-process (the whole
// catalogue's answer), its covers fetched once through the image loader: the time from the
// library-state reply's completion to the grid's first painted frame with its covers, against a
// bare QListView in icon mode given the same 2,000 decoded covers, in the same run: one whose
// model is rebuilt with every item and its icon on each pass (the anchor), and one over a model
// that makes a picture only for the rows it paints. Prints
//   shelf_time_ratio ... <r>x       (against the anchor; goal at most 1.5)
//   shelf_time_ratio_lazy ... <r>x  (against the list that makes only the pictures it paints)
//   shelf_memory_ratio ... <r>x     (heap in use, image cache included; goal at most 1.5)
//   shelf_live_cells <most> <bound>  (most cells alive scrolling end to end; bound: the cells
//                                     on screen and two more rows)
#include <benchmark/benchmark.h>

#include <QAbstractListModel>
#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "DemoMember.h"
#include "HeapInUse.h"
#include "RatioReporter.h"
#include "TemporaryFolder.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryResources.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "app/services/GlobalService.h"
#include "app/shell/ShellResources.h"
#include "demo-service/DemoCovers.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "external/AFImageView.h"
#include "platform/core/Collections.h"
#include "platform/net/Url.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "support/GuiTestSupport.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

constexpr int kBooks = 2000;
const QSize kViewSize(1024, 768);
constexpr const char* kMember = "shelf@example.com";
constexpr const char* kPassword = "shelf-pass";

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "library_shelf_bench: %s\n", what);
    std::exit(1);
}

bool spinUntil(const std::function<bool()>& done) {
    return testing_support::spinUntil(done, 60000);
}

struct Shared {
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    Ref<LibraryListView> shelf;
    Ref<VnRequestContext> stateRequest;
    Ref<VnRequestResult> stateResult;
    std::vector<QImage> covers;
    std::vector<QString> titles;
    int mostCells = 0;
    int cellBound = 0;
    size_t shelfBytes = 0;
    size_t listBytes = 0;
};

Shared& shared() {
    static Shared s;
    return s;
}

// The library with exactly kBooks books, its services started, the program's configuration
// pointing at them and the member signed in.
void startLibrary() {
    Shared& s = shared();
    int books = 0;
    for (const auto* item : s.catalogue.libraryItems())
        books += item->kind == demo::ItemKind::Book;
    if (books > kBooks)
        fail("the sample catalogue holds more books than the shelf is measured with");
    s.catalogue.generateItems(static_cast<size_t>(2 * (kBooks - books)), 7);
    s.catalogue.addAccount({kMember, kPassword, 1, "", "Shelf", "Reader", 4001, false, false});
    s.service.setServicePath(kBookServicePath);
    demo::registerVersion2Methods(s.service, s.catalogue);
    if (!s.service.start())
        fail("the demo service did not start");
    demo::registerStoreService(s.store, s.catalogue, "ORV_001", demo::kDemoAuthorizationToken);
    if (!s.store.start())
        fail("the demo store did not start");
    bench::configureProgramForDemo(s.service, s.store);
    registerShellResources(ui::ResourceRegistry::shared());
    registerLibraryResources(ui::ResourceRegistry::shared());
    if (!bench::signInToDemo(kMember, kPassword))
        fail("the member could not sign in");
}

Ref<VnBookStoreUserContext> user() {
    return GlobalService::globalShared()->storeContext()->activeUserContext();
}

bool coverCached(const Ref<VnMagazineIssueInfo>& item) {
    const auto url = item && item->coverUrl_ ? plat::Url::parse(*item->coverUrl_) : std::nullopt;
    return url && AFImageView::af_sharedImageCache().cachedImageForRequest(plat::UrlRequest(*url));
}

// Every live cell of the grid shows a cover the loader has cached.
bool visibleCoversCached(const ui::CollectionView& grid) {
    for (int i = 0; i < static_cast<int>(grid.content().size()); ++i) {
        if (const auto cell = grid.itemAtIndex(i)) {
            const auto info = cell->representedObject().as<LibraryShelfBookInfo>();
            if (!info || !coverCached(info->magazineIssueInfo))
                return false;
        }
    }
    return true;
}

// Scrolls from the top to the end in steps of half a page, each step waiting for its covers;
// answers the most cells alive at once.
int scrollEndToEnd(QAbstractScrollArea& area, const std::function<bool()>& stepDone,
                   const std::function<int()>& alive) {
    QScrollBar* bar = area.verticalScrollBar();
    int most = alive();
    for (int value = 0;; value += std::max(1, bar->pageStep() / 2)) {
        bar->setValue(std::min(value, bar->maximum()));
        if (!spinUntil(stepDone))
            fail("the covers of a scroll step did not arrive");
        most = std::max(most, alive());
        if (value >= bar->maximum())
            break;
    }
    bar->setValue(0);
    return most;
}

// The shelf shown with its 2,000 books, scrolled end to end with its covers fetched through
// the image loader, back at the top; its heap, and the state reply to replay.
void prepareShelf() {
    Shared& s = shared();
    const size_t before = bench::heapInUse();
    s.shelf = ui::ViewController::create<LibraryListView>();
    s.shelf->setTitleLibrary("หนังสือ");
    s.shelf->setBookLibraryMode(true);
    QWidget* view = s.shelf->view();
    view->resize(kViewSize);
    view->show();
    s.shelf->updateLibraryForceUpdate(true);
    const auto& shelf = *s.shelf;
    if (!spinUntil([&] {
            const auto& state = shelf.getIssueInfoRequest();
            return !shelf.booksRequest() && state && !state->running() &&
                   static_cast<int>(shelf.content().size()) == kBooks;
        }))
        fail("the shelf did not fill with its books");
    ui::CollectionView& grid = *s.shelf->collectionView();
    s.mostCells = scrollEndToEnd(
        grid, [&] { return visibleCoversCached(grid); }, [&] { return grid.madeItemCount(); });
    if (!spinUntil([&] { return visibleCoversCached(grid); }))
        fail("the first covers did not arrive again");
    s.shelfBytes = bench::heapInUse() - before;

    const int spacing = 10;
    const int columns = std::max(1, (grid.viewport()->width() - spacing) /
                                        (LibraryBookShelfCollectionCellView::kWidth + spacing));
    const int rows =
        static_cast<int>(std::ceil(double(grid.viewport()->height()) /
                                   (LibraryBookShelfCollectionCellView::kHeight + spacing)));
    s.cellBound = columns * (rows + 2);

    // The reply the shelf's last refresh had, asked again.
    std::vector<plat::Value> codes;
    for (const auto& info : shelf.content())
        codes.emplace_back(info->magazineIssueInfo->code().value_or(""));
    s.stateRequest = user()->requestForGetLibraryIssueInfo(plat::Array::make(std::move(codes)));
    s.stateRequest->startWithDidFinishBlock(
        [&s](const Ref<VnRequestResult>& result, const plat::Value&) { s.stateResult = result; });
    if (!spinUntil([&] { return s.stateResult != nullptr; }) || !s.stateResult->succeed())
        fail("the library state could not be asked");
    for (const auto& info : shelf.content())
        s.titles.push_back(
            QString::fromStdString(info->magazineIssueInfo->issueName().value_or("")));
}

// A list in icon mode of the shelf's size, its icons the size of the shelf's covers.
void makeIconList(QListView& list) {
    list.setViewMode(QListView::IconMode);
    list.setIconSize(QSize(120, 160));
    list.setUniformItemSizes(true);
    list.resize(kViewSize);
}

// Every book with its title and its cover's icon, made at once.
std::unique_ptr<QStandardItemModel> itemModel(const Shared& s) {
    auto model = std::make_unique<QStandardItemModel>();
    for (int i = 0; i < kBooks; ++i)
        model->appendRow(
            new QStandardItem(QIcon(QPixmap::fromImage(s.covers[size_t(i)])), s.titles[size_t(i)]));
    return model;
}

// The same 2,000 covers decoded, in shelf order, and the list view's heap once it has shown them
// all.
void prepareCovers() {
    Shared& s = shared();
    const size_t before = bench::heapInUse();
    for (const auto& info : s.shelf->content()) {
        const auto url = plat::Url::parse(info->magazineIssueInfo->coverUrl_.value_or(""));
        const auto bytes = url ? demo::demoCover(url->path()) : std::nullopt;
        QImage image;
        if (!bytes || !image.loadFromData(reinterpret_cast<const uchar*>(bytes->first.data()),
                                          static_cast<int>(bytes->first.size())))
            fail("a cover could not be decoded");
        s.covers.push_back(std::move(image));
    }
    QListView list;
    makeIconList(list);
    const auto model = itemModel(s);
    list.setModel(model.get());
    list.show();
    list.doItemsLayout();
    list.repaint();
    scrollEndToEnd(
        list, [] { return true; }, [] { return 0; });
    s.listBytes = bench::heapInUse() - before;
}

void BM_Shelf_StateReplyToFirstFrame(benchmark::State& state) {
    Shared& s = shared();
    QWidget* window = s.shelf->view();
    for (auto _ : state) {
        s.shelf->getIssueInfo_request_didFinishWithResult(s.stateRequest, s.stateResult);
        // What the event loop does before the frame: the posted layout and show events.
        QCoreApplication::sendPostedEvents();
        window->repaint();
    }
    const ui::CollectionView& grid = *s.shelf->collectionView();
    if (static_cast<int>(s.shelf->content().size()) != kBooks || !visibleCoversCached(grid) ||
        grid.liveItemCount() == 0)
        state.SkipWithError("the shelf did not show its books with their covers");
}

// Times, each pass, a new model from `make` given to a shown list until its first frame is
// painted; the row fails unless the list then shows its books and `check` accepts the last model.
template <class Make, class Check>
void modelToFirstFrame(benchmark::State& state, Make make, Check check) {
    QListView list;
    makeIconList(list);
    list.show();
    decltype(make()) model;
    for (auto _ : state) {
        state.PauseTiming();
        list.setModel(nullptr);
        model.reset();
        state.ResumeTiming();
        model = make();
        list.setModel(model.get());
        list.doItemsLayout();
        QCoreApplication::sendPostedEvents();
        list.repaint();
    }
    if (!model || model->rowCount() != kBooks || !list.indexAt(QPoint(20, 20)).isValid() ||
        !check(*model))
        state.SkipWithError("the list did not show its books as it should");
    list.setModel(nullptr);
}

void BM_QListView_ModelToFirstFrame(benchmark::State& state) {
    modelToFirstFrame(
        state, [] { return itemModel(shared()); }, [](const QStandardItemModel&) { return true; });
}

// The books with their decoded covers, a picture made of a cover only when a row is painted (the
// view asks for it); counts the pictures made.
class CoverListModel : public QAbstractListModel {
  public:
    CoverListModel(const std::vector<QImage>& covers, const std::vector<QString>& titles)
        : covers_(covers), titles_(titles) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(covers_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const auto row = static_cast<size_t>(index.row());
        if (!index.isValid() || row >= covers_.size())
            return {};
        if (role == Qt::DisplayRole)
            return titles_[row];
        if (role == Qt::DecorationRole) {
            ++picturesMade;
            return QIcon(QPixmap::fromImage(covers_[row]));
        }
        return {};
    }

    mutable int picturesMade = 0;

  private:
    const std::vector<QImage>& covers_;
    const std::vector<QString>& titles_;
};

void BM_QListView_LazyModelToFirstFrame(benchmark::State& state) {
    const Shared& s = shared();
    // Pictures were made for the rows painted, not for all of them.
    modelToFirstFrame(
        state, [&] { return std::make_unique<CoverListModel>(s.covers, s.titles); },
        [](const CoverListModel& model) {
            return model.picturesMade > 0 && model.picturesMade < kBooks;
        });
}

BENCHMARK(BM_Shelf_StateReplyToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QListView_ModelToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QListView_LazyModelToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    bench::TemporaryFolder home("library-shelf-bench");
    setenv("VARNEL_HOME", home.path().c_str(), 1);
    QApplication app(argc, argv);
    startLibrary();
    prepareShelf();
    prepareCovers();

    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const Shared& s = shared();
    std::printf(
        "shelf_time_ratio (shelf / QListView icon mode, state reply to first frame) "
        "%.2fx\n",
        reporter.ratio("BM_Shelf_StateReplyToFirstFrame/real_time",
                       "BM_QListView_ModelToFirstFrame/real_time"));
    std::printf(
        "shelf_time_ratio_lazy (shelf / QListView icon mode over a model making the pictures it "
        "paints) %.2fx\n",
        reporter.ratio("BM_Shelf_StateReplyToFirstFrame/real_time",
                       "BM_QListView_LazyModelToFirstFrame/real_time"));
    std::printf(
        "shelf_memory_ratio (heap in use, image cache included: %.1f MiB / %.1f MiB) "
        "%.2fx\n",
        double(s.shelfBytes) / (1 << 20), double(s.listBytes) / (1 << 20),
        s.listBytes ? double(s.shelfBytes) / double(s.listBytes) : 0.0);
    std::printf("shelf_live_cells %d %d\n", s.mostCells, s.cellBound);
    benchmark::Shutdown();
    shared().shelf.reset();
    GlobalService::releaseShared();
    shared().store.stop();
    shared().service.stop();
    return 0;
}
