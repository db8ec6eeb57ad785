#include "app/Program.h"

#include <QApplication>
#include <cstdio>

#include "app/AreaRegistrations.h"
#include "app/EndingSignals.h"
#include "app/ProgramEnvironment.h"
#include "app/services/AreaSeams.h"
#include "app/shell/AppDelegate.h"
#include "platform_ui/Application.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/util/VndDiags.h"

void prepareProgram() {
    prepareProgramEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the web engine needs it
}

void setUpProgram() {
    QApplication::setApplicationName(QStringLiteral("Varnel"));
    quietQtLogging();
    VndDiags::initialize();  // diagnostic lines follow the information dictionary's groups
    registerAllAreaResources(ui::ResourceRegistry::shared());
    AreaSeams::shared().requireComplete();
}

int runProgram(int argc, char** argv, const std::function<void(AppDelegate&)>& afterLaunch) {
    prepareProgram();
    QApplication application(argc, argv);
    try {
        setUpProgram();
    } catch (const SeamError& e) {
        std::fprintf(stderr, "Varnel cannot start. %s\n", e.what());
        return 1;
    }
    const auto delegate = std::make_shared<AppDelegate>();
    std::unique_ptr<QTimer> smokeCheck;
    ui::Application::shared().setLaunchHook([&] {
        delegate->applicationDidFinishLaunching();
        smokeCheck = startSmokeCheckIfAsked(*delegate);
        if (afterLaunch)
            afterLaunch(*delegate);
    });
    // Asked to end (logout, shutdown, a closed terminal, Ctrl-C), the program ends as when its main
    // window is closed: every window is asked to close and the event loop ends (even when a
    // window stays, as a full-screen video does), then the usual end below.
    const EndingSignals endingSignals([](int) {
        QCoreApplication::quit();
        QCoreApplication::exit(0);
    });
    const int status = ui::Application::shared().run();
    smokeCheck.reset();
    delegate->applicationWillTerminate();
    return status;
}
