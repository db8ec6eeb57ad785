#pragma once
// ui::RunLoopBridge: lets Qt's event loop drive the main plat::RunLoop. Work added to the run
// loop wakes the bridge (a queued call, from any thread); each pass runs what is due in the
// current mode and arms one single-shot timer for the next deadline. Modal loops (alerts, modal
// windows) push the modal-panel mode: common-mode work (completions) goes on, default-mode work
// waits until the modal loop ends. Passes nest inside performs that open a modal loop.
#include <QObject>
#include <QTimer>
#include <atomic>
#include <string>
#include <vector>

namespace ui {

class RunLoopBridge : public QObject {
  public:
    // The bridge of the main run loop, made on first use (on the main thread, once a
    // QApplication exists).
    static RunLoopBridge& install();
    ~RunLoopBridge() override;

    const std::string& mode() const { return modes_.back(); }
    // Runs what is due now in the current mode, then arms the timer for the next deadline.
    void pass();

    // While it lives, passes run in the modal-panel mode.
    class ModalScope {
      public:
        ModalScope();
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;
    };

  private:
    RunLoopBridge();
    void wake();
    void armTimer();

    std::vector<std::string> modes_;
    QTimer timer_;
    std::atomic<bool> posted_{false};
};

}  // namespace ui
