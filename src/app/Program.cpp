#include "app/Program.h"

#include <QApplication>

#include "app/ProgramEnvironment.h"
#include "app/shell/AppDelegate.h"
#include "app/AreaRegistrations.h"
#include "platform_ui/Application.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/util/VndDiags.h"

int runProgram(int argc, char** argv, const std::function<void(AppDelegate&)>& afterLaunch) {
    prepareProgramEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the web engine needs it
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnel"));
    quietQtLogging();
    VndDiags::initialize();  // diagnostic lines follow the information dictionary's groups
    registerAllAreaResources(ui::ResourceRegistry::shared());
    const auto delegate = std::make_shared<AppDelegate>();
    std::unique_ptr<QTimer> smokeCheck;
    ui::Application::shared().setLaunchHook([&] {
        delegate->applicationDidFinishLaunching();
        smokeCheck = startSmokeCheckIfAsked(*delegate);
        if (afterLaunch)
            afterLaunch(*delegate);
    });
    const int status = ui::Application::shared().run();
    smokeCheck.reset();
    delegate->applicationWillTerminate();
    return status;
}
