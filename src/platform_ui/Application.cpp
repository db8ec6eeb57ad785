#include "platform_ui/Application.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "platform_ui/RunLoopBridge.h"

namespace ui {

Application& Application::shared() {
    static Application application;
    return application;
}

int Application::run() {
    RunLoopBridge::install();
    QTimer::singleShot(0, [this] {
        if (auto hook = std::exchange(launchHook_, nullptr))
            hook();
    });
    return QApplication::exec();
}

int Application::runModalForWindow(QWidget* window) {
    if (!window)
        return 0;
    RunLoopBridge::install();
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    QEventLoop loop;
    modalLoops_.push_back({&loop});
    int code;
    {
        RunLoopBridge::ModalScope scope;
        code = loop.exec();
    }
    std::erase_if(modalLoops_, [&](const ModalLoop& m) { return m.loop == &loop; });
    return code;
}

void Application::stopModal(int code) {
    // The innermost modal loop ends once, with the first code it was given.
    if (modalLoops_.empty() || modalLoops_.back().stopping)
        return;
    modalLoops_.back().stopping = true;
    modalLoops_.back().loop->exit(code);
}

}  // namespace ui
