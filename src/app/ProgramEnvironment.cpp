#include "app/ProgramEnvironment.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "app/shell/AppDelegate.h"
#include "app/shell/WindowController.h"
#include "platform_ui/TableView.h"
#include "platform_ui/ViewController.h"

namespace {

constexpr int kSmokePollMilliseconds = 200;
constexpr int kSmokeGiveUpSeconds = 45;

// Rows the home page shows now (0 while it is not on screen or still loading).
int homeRowsShown(WindowController& window) {
    const auto home = std::dynamic_pointer_cast<ui::ViewController>(
        window.screenController(WindowController::Home));
    if (!home || !home->isViewLoaded() || !home->view()->isVisible())
        return 0;
    int rows = 0;
    // The kit's views declare no meta-object of their own: look them up by their C++ type.
    for (QWidget* child : home->view()->findChildren<QWidget*>()) {
        if (const auto* table = dynamic_cast<const ui::TableView*>(child);
            table && table->isVisible())
            rows += table->numberOfRows();
    }
    return rows;
}

}  // namespace

void prepareProgramEnvironment() {
    // Media plays through the ffmpeg backend (the one the program's packages bring); Qt's default
    // on Linux needs GStreamer plugins that a machine may lack, and then fails inside its player.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // The web engine's browser writes its own diagnostics (GPU process, sandbox) to the terminal;
    // only fatal ones are kept unless the user passes the engine flags of their choice.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3");
}

void quietQtLogging() {
    // The web engine's start-up parameter dump is informational; it shows when the user sets
    // logging rules of their own.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(
            QStringLiteral("qt.webenginecontext.info=false\n"
                           "qt.webenginecontext.debug=false"));
}

std::unique_ptr<QTimer> startSmokeCheckIfAsked(AppDelegate& delegate) {
    if (qEnvironmentVariableIsEmpty("VARNEL_SMOKE_CHECK"))
        return nullptr;
    const Ref<WindowController> controller = delegate.myWindowController();
    if (!controller)
        return nullptr;
    const WeakRef<WindowController> weak = controller;
    auto timer = std::make_unique<QTimer>();
    QTimer* const polling = timer.get();
    QObject::connect(polling, &QTimer::timeout, [weak, polling, waited = 0]() mutable {
        const auto window = weak.lock();
        if (!window) {
            polling->stop();
            return;
        }
        waited += kSmokePollMilliseconds;
        const int rows = homeRowsShown(*window);
        const bool givenUp = waited >= kSmokeGiveUpSeconds * 1000;
        if (rows == 0 && !givenUp)
            return;
        polling->stop();
        if (rows > 0)
            std::printf("Smoke check: the home page shows %d rows\n", rows);
        else
            std::printf("Smoke check: the home page showed no rows within %d s\n",
                        kSmokeGiveUpSeconds);
        std::fflush(stdout);
        // Closed as a user closes it: the window's close event, then the program's own ending.
        if (QWidget* shown = window->window())
            shown->close();
    });
    timer->start(kSmokePollMilliseconds);
    return timer;
}
