#include "app/shell/AppDelegate.h"

#include <QCoreApplication>

#include "app/services/GlobalService.h"
#include "app/services/ReaderScreens.h"
#include "app/shell/WindowController.h"
#include "app/signon/OAuth.h"
#include "external/AFImageView.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfRenderCache.h"

PLAT_DEFINE_CLASS(AppDelegate, plat::Object, [](auto& c) {
    c.method("applicationDidFinishLaunching:", &AppDelegate::applicationDidFinishLaunching);
    c.method("applicationWillTerminate:", &AppDelegate::applicationWillTerminate);
})

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() {
    if (closeObserver_)
        plat::NotificationCenter::defaultCenter().removeObserver(closeObserver_);
}

void AppDelegate::applicationDidFinishLaunching() {
    readerWindowController_ =
        ui::ResourceRegistry::shared().instantiateController(ReaderScreens::kReaderWindow);
    const auto service = GlobalService::openShared();
    service->setReaderViewController(readerWindowController_);

    myWindowController_ = std::make_shared<WindowController>();
    closeObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        [](const plat::Notification&) { QCoreApplication::quit(); },
        ui::kWindowWillCloseNotification, myWindowController_);
    myWindowController_->showWindow();
    service->setWindowController(myWindowController_);
}

void AppDelegate::applicationWillTerminate() {
    if (closeObserver_) {
        plat::NotificationCenter::defaultCenter().removeObserver(closeObserver_);
        closeObserver_ = 0;
    }
    // The page renderer's worker uses Qt's thread pool: it stops first.
    ui::PdfRenderCache::stopSharedWorker();
    AFImageView::cancelAllImageRequests(1.0);
    // Windows and screens are kept by the delegate, by the global service and by the sign-on
    // client (whose delegate is the main window): all of them go now, while their widgets can
    // still be destroyed, not in the process's static destruction.
    myWindowController_.reset();
    readerWindowController_.reset();
    OAuth::gInstance.reset();
    // For good: what goes after it (the screens' deferred deletes, a read-now loan a detail
    // still holds) finds no member and leaves the rest to the service; no new service and store
    // context are built during the end.
    GlobalService::closeShared();
    // No page check outlives the program: those the issues let go still run on their queues.
    ui::PdfPageCheck::stopChecks();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
