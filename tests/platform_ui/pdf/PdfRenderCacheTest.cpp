// The render cache: one worker for all its clients, by priority; cancelled requests never render;
// pages no one checked are checked before they render; pages stay their thread's while the worker
// renders; pages ahead are laid on their paper beside the worker; the worker stops with the
// application and starts again when asked (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfRenderCache.h"
#include "support/GuiTestSupport.h"
#include "support/PdfFixtures.h"

namespace {

// An application of its own for each case, as a program (or a journey test) makes one.
class Application {
  public:
    Application() : app_(std::make_unique<QCoreApplication>(argc_, argv_)) {}
    void end() { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "render-cache";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

bool runEventsUntil(const std::function<bool()>& predicate) {
    return testing_support::spinUntil(predicate, 20000);
}

// Runs the event loop until the predicate holds, while the cache works through many renders one
// after another: a busy machine slows each render but never stops them, so the wait fails only
// when no render has begun for as long as one may take, not after a time for all of them.
bool runEventsWhileRendering(const ui::PdfRenderCache& cache,
                             const std::function<bool()>& predicate) {
    constexpr int kOneRender = 20000;
    for (uint64_t begun = cache.renderCount(); !predicate(); begun = cache.renderCount()) {
        if (!testing_support::spinUntil([&] { return predicate() || cache.renderCount() != begun; },
                                        kOneRender))
            return false;
    }
    return true;
}

// Waits with the event loop not run: nothing the cache finishes meanwhile is handed over.
bool waitWithoutEventsUntil(const std::function<bool()>& predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

Ref<ui::PdfPage> checkedPdfPage(double width, double height) {
    const std::string pdf = testing_support::filledPdf(width, height, 0, 0, 1);
    ui::PdfPageCheck::checkData(pdf.data(), pdf.size());
    return ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
}

using Key = ui::PdfRenderCache::Key;
using Priority = ui::PdfRenderCache::Priority;

Ref<ui::PdfPage> imagePage(int i) {
    QImage image(400, 560, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(i % 256, 128, 64));
    return ui::PdfPage::fromImage(image);
}

ui::PdfRenderCache::Request requestOf(const Ref<ui::PdfPage>& page, QSize size, Priority priority) {
    return {page, {page->pageId(), size, QRect()}, priority};
}

// The keys rendered, in the order their renders finished (the worker renders one at a time).
struct Rendered {
    std::vector<Key> keys;
    ui::PdfRenderCache::DoneCallback recorder() {
        return [this](const Key& key) { keys.push_back(key); };
    }
    long position(const Key& key) const {
        const auto at = std::find(keys.begin(), keys.end(), key);
        return at == keys.end() ? -1 : at - keys.begin();
    }
};

// Whether the cache is done with the requests: none is queued, under way or waiting for its
// page's check, and every render it finished has been delivered. Nothing more comes after.
bool doneWith(const ui::PdfRenderCache& cache,
              const std::vector<ui::PdfRenderCache::Request>& requests, const Rendered& rendered) {
    for (const auto& request : requests) {
        if (!cache.pendingKeys(request.key.pageId).empty())
            return false;
    }
    return rendered.keys.size() == cache.renderCount();
}

TEST(PdfRenderCacheTest, PagesOnScreenRenderBeforeThumbnailsAndThumbnailsBeforeNeighbours) {
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int strip = 0, view = 0;
    // The strip asks for many thumbnails; the worker is busy with them.
    std::vector<Ref<ui::PdfPage>> pages;
    std::vector<ui::PdfRenderCache::Request> thumbnails;
    for (int i = 0; i < 60; ++i) {
        pages.push_back(imagePage(i));
        thumbnails.push_back(requestOf(pages.back(), {900, 1260}, Priority::Thumbnail));
    }
    cache.request(&strip, thumbnails, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.keys.size() >= 3; }));
    // Then the view asks for the page it shows and a neighbour: held while it asks, so that the
    // renders begun before are known.
    cache.setSuspended(true);
    const uint64_t begun = cache.renderCount();
    EXPECT_LT(begun, 60u);
    const auto shown = requestOf(pages[30], {800, 1120}, Priority::Visible);
    const auto neighbour = requestOf(pages[31], {800, 1120}, Priority::Neighbour);
    cache.request(&view, {neighbour, shown}, rendered.recorder());
    cache.setSuspended(false);
    ASSERT_TRUE(runEventsWhileRendering(cache, [&] { return rendered.keys.size() == 62; }));
    // The page on screen is the very next render (after the one the worker may have taken just
    // before the hold, not yet counted then); its neighbour waits for every thumbnail.
    EXPECT_GE(rendered.position(shown.key), static_cast<long>(begun));
    EXPECT_LE(rendered.position(shown.key), static_cast<long>(begun) + 1);
    EXPECT_EQ(rendered.position(neighbour.key), 61);
    EXPECT_EQ(cache.renderCount(), 62u);
    cache.cancelClient(&strip);
    cache.cancelClient(&view);
}

TEST(PdfRenderCacheTest, PagesAheadWaitUntilThePagesOnScreenAreHandedOver) {
    // The worker starts on a page ahead only once the pages on screen it rendered have been
    // handed over (and drawn) on the cache's thread, so that it does not take the processor
    // from that drawing.
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int view = 0;
    const auto shown = requestOf(imagePage(1), {800, 1120}, Priority::Visible);
    const auto ahead = requestOf(imagePage(2), {800, 1120}, Priority::Neighbour);
    uint64_t begunWhenShownArrived = 0;
    cache.setSuspended(true);
    cache.request(&view, {shown, ahead}, [&](const Key& key) {
        if (key == shown.key)
            begunWhenShownArrived = cache.renderCount();
        rendered.keys.push_back(key);
    });
    cache.setSuspended(false);
    ASSERT_TRUE(runEventsUntil([&] { return rendered.keys.size() == 2; }));
    EXPECT_EQ(begunWhenShownArrived, 1u);
    EXPECT_EQ(rendered.position(ahead.key), 1);
    cache.cancelClient(&view);
}

TEST(PdfRenderCacheTest, CancelledRequestsNeverRenderAndTheWorkerStartsAgainAfterItsShutdown) {
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int strip = 0, view = 0;
    std::vector<ui::PdfRenderCache::Request> asked;
    for (int i = 0; i < 8; ++i)
        asked.push_back(requestOf(imagePage(i), {200, 280}, Priority::Visible));
    cache.setSuspended(true);
    cache.request(&view, {asked[0], asked[1], asked[2]}, rendered.recorder());
    cache.request(&strip, {asked[3], asked[4]}, rendered.recorder());
    // The view moved on (0 and 1 are no longer wanted); the strip went.
    cache.request(&view, {asked[2], asked[5]}, rendered.recorder());
    cache.cancelClient(&strip);
    cache.setSuspended(false);
    ASSERT_TRUE(runEventsWhileRendering(cache, [&] { return doneWith(cache, asked, rendered); }));
    EXPECT_EQ(cache.renderCount(), 2u);
    EXPECT_EQ(cache.cancelledCount(), 4u);
    for (int i : {0, 1, 3, 4})
        EXPECT_TRUE(cache.image(asked[static_cast<size_t>(i)].key).isNull()) << i;

    // Stopped while it renders (the program's end), then asked again: it renders again, and
    // what was queued at the stop never renders.
    std::vector<ui::PdfRenderCache::Request> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(requestOf(imagePage(i), {600, 840}, Priority::Visible));
    cache.request(&view, many, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.keys.size() >= 3; }));
    cache.shutdown();
    EXPECT_FALSE(cache.isWorkerRunning());
    const uint64_t begun = cache.renderCount();
    EXPECT_LT(begun, 42u);
    cache.request(&view, {asked[6], asked[7]}, rendered.recorder());
    EXPECT_TRUE(cache.isWorkerRunning());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.position(asked[7].key) >= 0; }));
    EXPECT_EQ(cache.renderCount(), begun + 2);
    cache.cancelClient(&view);
}

TEST(PdfRenderCacheTest, APageNoOneCheckedIsCheckedOffTheRenderWorkerBeforeItRenders) {
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int view = 0;
    // Bytes from memory, never checked in this process, asked for first; then pages that need
    // no check. The check (a child process) holds none of them back.
    const std::string pdf = testing_support::filledPdf(311, 177, 0, 1, 0);
    const auto page =
        ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->needsCheck());
    const uint64_t children = ui::PdfPageCheck::checksRun();
    const auto unchecked = requestOf(page, {311, 177}, Priority::Visible);
    std::vector<ui::PdfRenderCache::Request> asked{unchecked};
    for (int i = 0; i < 3; ++i)
        asked.push_back(requestOf(imagePage(i), {100, 140}, Priority::Visible));
    cache.request(&view, asked, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.keys.size() == 4; }));
    EXPECT_EQ(rendered.position(asked[1].key), 0);
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), children + 1);
    EXPECT_EQ(page->displaySize(), QSizeF(311, 177));
    EXPECT_EQ(QColor(cache.image(unchecked.key).pixel(150, 80)), QColor(Qt::green));

    // Cancelled while its page is checked: it never renders. A page asked for next is checked
    // after it on the same queue, and renders.
    const auto uncheckedRequest = [](double width) {
        const std::string bytes = testing_support::filledPdf(width, 177, 0, 1, 0);
        const auto made =
            ui::PdfPage::fromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return requestOf(made, {static_cast<int>(width), 177}, Priority::Visible);
    };
    const auto dropped = uncheckedRequest(211);
    cache.request(&view, {dropped}, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return ui::PdfPageCheck::checksRun() == children + 2; }));
    cache.cancelClient(&view);
    const auto later = uncheckedRequest(111);
    cache.request(&view, {later}, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.position(later.key) >= 0; }));
    EXPECT_TRUE(dropped.page->isChecked());
    EXPECT_EQ(rendered.position(dropped.key), -1);
    EXPECT_TRUE(cache.image(dropped.key).isNull());
    cache.cancelClient(&view);
}

TEST(PdfRenderCacheTest, TheSharedWorkerStopsInTheDestructorOfEachApplicationThatUsedIt) {
    // The worker renders through QtPdf, which uses Qt's thread pool: it must not still render
    // while an application's destructor takes that pool down. Twice, as journey tests make one
    // application after another in one process; and each application has its pages drawn, not
    // only the first, and is handed none of the renders the one before finished and never handed
    // over (QtPdf may have closed under them).
    const Ref<ui::PdfPage> page = checkedPdfPage(300, 400);
    ASSERT_TRUE(page);
    const int client = 0;
    std::vector<Key> neverHandedOver;  // finished or asked for in an application that has gone
    for (int round = 0; round < 2; ++round) {
        Application application;
        ui::PdfRenderCache& cache = ui::PdfRenderCache::shared();
        const auto requestOfSize = [&](int i) {
            const QSize size(120 + i + 400 * round, 160 + i + 400 * round);
            return ui::PdfRenderCache::Request{page, {page->pageId(), size, QRect()}};
        };
        std::vector<Key> done;
        const auto record = [&](const Key& key) { done.push_back(key); };
        // The pages on screen, handed over and drawn.
        const std::vector<ui::PdfRenderCache::Request> shown = {requestOfSize(0), requestOfSize(1)};
        cache.request(&client, shown, record);
        const auto handedOver = [&](const ui::PdfRenderCache::Request& request) {
            return std::find(done.begin(), done.end(), request.key) != done.end();
        };
        ASSERT_TRUE(runEventsUntil([&] {
            return std::all_of(shown.begin(), shown.end(), handedOver);
        })) << round;
        EXPECT_EQ(done.size(), shown.size()) << "round " << round << ": only what it asked for";
        for (const Key& key : done) {
            const QImage image = cache.image(key);
            EXPECT_EQ(QColor(image.pixel(image.width() / 2, image.height() / 2)), QColor(Qt::blue))
                << "round " << round << ", width " << key.fullSize.width() << ": the page drawn";
        }
        for (const Key& key : neverHandedOver)
            EXPECT_TRUE(cache.image(key).isNull())
                << "round " << round << ", width " << key.fullSize.width()
                << ": a render of the application before is not kept";
        // Then far more renders than finish before the application ends, asked for once its loop
        // no longer runs: the worker is busy as it ends, and has finished renders that were never
        // handed over (it takes its second only once its first is finished).
        std::vector<ui::PdfRenderCache::Request> ahead;
        for (int i = 2; i < 400; ++i) {
            ahead.push_back(requestOfSize(i));
            neverHandedOver.push_back(ahead.back().key);
        }
        const uint64_t begun = cache.renderCount();
        cache.request(&client, std::move(ahead), record);
        ASSERT_TRUE(waitWithoutEventsUntil([&] { return cache.renderCount() >= begun + 2; }))
            << round;
        EXPECT_TRUE(cache.isWorkerRunning()) << round;
        application.end();
        EXPECT_FALSE(cache.isWorkerRunning()) << round;
        EXPECT_EQ(done.size(), shown.size()) << round;
        cache.cancelClient(&client);
    }
}

}  // namespace

TEST(PdfRenderCacheTest, APageStaysItsThreadsWhileTheWorkerRendersWhatItHandedOver) {
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int view = 0;
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("page.pdf").toStdString();
    std::ofstream(path, std::ios::binary) << testing_support::filledPdf(200, 100, 1, 0, 0);
    ASSERT_TRUE(ui::PdfPageCheck::check(path).usable);
    const auto page = ui::PdfPage::fromFile(path);
    ASSERT_TRUE(page && page->isChecked());
    QImage green(20, 10, QImage::Format_ARGB32_Premultiplied), blue = green;
    green.fill(Qt::green);
    blue.fill(Qt::blue);
    page->setPlaceholderImage(green);
    // Changed behind the program's back: every render draws the placeholder.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << testing_support::filledPdf(300, 100, 0, 0, 1);
    std::vector<ui::PdfRenderCache::Request> asked;
    for (int i = 0; i < 40; ++i)
        asked.push_back(requestOf(page, {100 + i, 50}, Priority::Visible));
    cache.request(&view, asked, rendered.recorder());
    // Meanwhile this thread goes on changing the page: the worker reads none of it, and the page
    // is refused here, on its own thread.
    int changes = 0;
    ASSERT_TRUE(runEventsWhileRendering(cache, [&] {
        ++changes;
        page->setLabel(std::to_string(changes));
        page->setPlaceholderImage(changes % 2 ? blue : green);
        page->setBounds({0, 0, 200, 100}, ui::PdfPage::CropBox);
        return rendered.keys.size() == asked.size();
    }));
    ASSERT_TRUE(page->error());
    EXPECT_NE(page->error()->localizedDescription().find("changed"), std::string::npos);
    // Drawn with the placeholder the page had when it was asked for.
    EXPECT_EQ(QColor(cache.image(asked.front().key).pixel(50, 25)), QColor(Qt::green));
}

TEST(PdfRenderCacheTest, PagesAheadAreLaidOnTheirPaperBesideTheWorkerAndNoneIsLostAtAStop) {
    Application application;
    ui::PdfRenderCache cache;
    Rendered rendered;
    const int view = 0;
    // A blue square on a page QtPdf leaves transparent elsewhere.
    const auto pdfPage = [] {
        const std::string pdf = testing_support::onePagePdf(300, 420, 100, 100, 100, 100, 0, 0, 1);
        ui::PdfPageCheck::checkData(pdf.data(), pdf.size());
        return ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
    };
    std::vector<ui::PdfRenderCache::Request> asked{
        requestOf(pdfPage(), {300, 420}, Priority::Visible)};
    for (int i = 0; i < 5; ++i)
        asked.push_back(requestOf(pdfPage(), {300, 420}, Priority::Neighbour));
    cache.setSuspended(true);
    cache.request(&view, asked, rendered.recorder());
    cache.setSuspended(false);
    ASSERT_TRUE(
        runEventsWhileRendering(cache, [&] { return rendered.keys.size() == asked.size(); }));
    // The page on screen is laid by the worker (nothing ahead starts before it is drawn), and so
    // is the last page ahead (nothing waited after it); the others beside it.
    EXPECT_EQ(cache.laidAsideCount(), 4u);
    for (const auto& request : asked) {
        const QImage image = cache.image(request.key);
        ASSERT_EQ(image.size(), request.key.fullSize);
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_EQ(QColor(image.pixel(10, 10)), QColor(Qt::white));
        EXPECT_EQ(QColor(image.pixel(150, 270)), QColor(Qt::blue));
    }

    // Stopped while pages ahead are being laid (the program's end): every render begun is
    // finished and handed over with the next delivery; none is lost or laid twice.
    std::vector<ui::PdfRenderCache::Request> many;
    for (int i = 0; i < 30; ++i)
        many.push_back(requestOf(pdfPage(), {600, 840}, Priority::Neighbour));
    cache.request(&view, many, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.keys.size() >= asked.size() + 3; }));
    cache.shutdown();
    EXPECT_FALSE(cache.isWorkerRunning());
    const uint64_t begun = cache.renderCount();
    const auto last = requestOf(pdfPage(), {300, 420}, Priority::Visible);
    cache.request(&view, {last}, rendered.recorder());
    ASSERT_TRUE(runEventsUntil([&] { return rendered.position(last.key) >= 0; }));
    many.push_back(last);
    ASSERT_TRUE(runEventsWhileRendering(cache, [&] { return doneWith(cache, many, rendered); }));
    EXPECT_EQ(rendered.keys.size(), begun + 1);
    for (const auto& key : rendered.keys)
        EXPECT_EQ(std::count(rendered.keys.begin(), rendered.keys.end(), key), 1);
    for (const auto& request : many) {
        if (rendered.position(request.key) >= 0) {
            EXPECT_EQ(cache.image(request.key).format(), QImage::Format_RGB32);
        }
    }
    cache.cancelClient(&view);
}
