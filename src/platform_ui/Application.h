#pragma once
// ui::Application: the program's event loop over Qt with the run-loop bridge installed, a launch
// hook that runs once the loop runs, and modal windows: runModalForWindow runs a nested loop in
// the modal-panel mode until stopModal, which any callback may call, any number of times, with or
// without a modal loop.
#include <QWidget>
#include <functional>
#include <vector>

class QEventLoop;

namespace ui {

class Application {
  public:
    static Application& shared();

    void setLaunchHook(std::function<void()> hook) { launchHook_ = std::move(hook); }
    // Runs Qt's loop (QApplication must exist); the launch hook runs on its first turn.
    int run();
    // Shows the window application-modal and waits for stopModal; answers its code.
    int runModalForWindow(QWidget* window);
    void stopModal(int code = 0);
    bool isRunningModal() const { return !modalLoops_.empty(); }

  private:
    std::function<void()> launchHook_;
    struct ModalLoop {
        QEventLoop* loop;  // lives on runModalForWindow's stack
        bool stopping = false;
    };
    std::vector<ModalLoop> modalLoops_;  // innermost last
};

}  // namespace ui
