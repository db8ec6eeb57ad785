// varnel: the library's e-book client. Registers every screen area, then launches once the event
// loop runs; closing the main window ends the program.
#include <QApplication>

#include "app/AreaRegistrations.h"
#include "app/shell/AppDelegate.h"
#include "platform_ui/Application.h"
#include "platform_ui/ResourceRegistry.h"

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the web engine needs it
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnel"));
    registerAllAreaResources(ui::ResourceRegistry::shared());
    const auto delegate = std::make_shared<AppDelegate>();
    ui::Application::shared().setLaunchHook(
        [delegate] { delegate->applicationDidFinishLaunching(); });
    return ui::Application::shared().run();
}
