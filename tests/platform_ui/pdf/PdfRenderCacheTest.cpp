// The render cache's worker across applications (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfRenderCache.h"
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

bool runEventsUntil(const std::function<bool()>& predicate, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

Ref<ui::PdfPage> checkedPdfPage(double width, double height) {
    const std::string pdf = testing_support::filledPdf(width, height, 0, 0, 1);
    ui::PdfPageCheck::checkData(pdf.data(), pdf.size());
    return ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
}

TEST(PdfRenderCacheTest, TheSharedWorkerStopsInTheDestructorOfEachApplicationThatUsedIt) {
    // The worker renders through QtPdf, which uses Qt's thread pool: it must not still render
    // while an application's destructor takes that pool down. Twice, as journey tests make one
    // application after another in one process.
    const Ref<ui::PdfPage> page = checkedPdfPage(300, 400);
    ASSERT_TRUE(page);
    const int client = 0;
    for (int round = 0; round < 2; ++round) {
        Application application;
        ui::PdfRenderCache& cache = ui::PdfRenderCache::shared();
        // Far more renders than finish before the application ends: the worker is busy then.
        std::vector<ui::PdfRenderCache::Request> requests;
        for (int i = 0; i < 400; ++i)
            requests.push_back({page, {page->pageId(), QSize(120 + i, 160 + i), QRect()}});
        int done = 0;
        cache.request(&client, std::move(requests),
                      [&](const ui::PdfRenderCache::Key&) { ++done; });
        ASSERT_TRUE(runEventsUntil([&] { return done >= 2; })) << round;
        EXPECT_TRUE(cache.isWorkerRunning()) << round;
        application.end();
        EXPECT_FALSE(cache.isWorkerRunning()) << round;
        cache.cancelClient(&client);
    }
}

}  // namespace
