#include "app/shell/AppDelegate.h"

#include <QCoreApplication>

#include "app/shell/GlobalService.h"
#include "app/shell/WindowController.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/ResourceRegistry.h"

PLAT_DEFINE_CLASS(AppDelegate, plat::Object, [](auto& c) {
    c.method("applicationDidFinishLaunching:", &AppDelegate::applicationDidFinishLaunching);
})

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() {
    if (closeObserver_)
        plat::NotificationCenter::defaultCenter().removeObserver(closeObserver_);
}

void AppDelegate::applicationDidFinishLaunching() {
    readerWindowController_ = ui::ResourceRegistry::shared().instantiateController(
        "ReaderWindowStoryboard", "ReaderWindow");
    const auto service = GlobalService::globalShared();
    service->setReaderViewController(readerWindowController_);

    myWindowController_ = std::make_shared<WindowController>();
    closeObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        [](const plat::Notification&) { QCoreApplication::quit(); },
        ui::kWindowWillCloseNotification, myWindowController_);
    myWindowController_->showWindow();
    service->setWindowController(myWindowController_);
}
