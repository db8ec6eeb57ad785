#pragma once
// AppDelegate: the program's launch. Once the event loop runs it makes the reader window
// controller (not shown), hands it to the global service (whose first use builds the store
// context), makes and shows the main window (whose windowDidLoad runs inside the showing) and
// only then registers the main window on the service. Closing the main window ends the program;
// applicationWillTerminate then lets every window and screen go, with the process-wide objects
// that keep them, while the application object still exists.
#include "platform/core/Object.h"

class WindowController;

class AppDelegate : public plat::Object {
    PLAT_CLASS(AppDelegate)
  public:
    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Called once the event loop has ended, before the application object is destroyed.
    void applicationWillTerminate();

    const Ref<WindowController>& myWindowController() const { return myWindowController_; }
    const Ref<plat::Object>& readerWindowController() const { return readerWindowController_; }

  private:
    Ref<WindowController> myWindowController_;
    Ref<plat::Object> readerWindowController_;
    uint64_t closeObserver_ = 0;
};
