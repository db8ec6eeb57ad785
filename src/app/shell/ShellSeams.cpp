#include "app/shell/ShellSeams.h"

#include <QWidget>

#include "app/services/GlobalService.h"
#include "app/services/MainWindow.h"
#include "platform_ui/WindowController.h"

namespace {

class ProgramMainWindow : public MainWindow {
  public:
    std::optional<QRect> frame() const override {
        QWidget* shown = window();
        return shown ? std::optional<QRect>(shown->geometry()) : std::nullopt;
    }
    void show() override { setVisible(true); }
    void hide() override { setVisible(false); }

  private:
    // The main window, once it is loaded.
    static QWidget* window() {
        const auto service = GlobalService::globalShared();
        const auto controller =
            std::dynamic_pointer_cast<ui::WindowController>(service->windowController());
        return controller && controller->isWindowLoaded() ? controller->window() : nullptr;
    }
    static void setVisible(bool visible) {
        if (QWidget* shown = window())
            shown->setVisible(visible);
    }
};

}  // namespace

std::shared_ptr<MainWindow> makeMainWindow() {
    return std::make_shared<ProgramMainWindow>();
}
