#pragma once
// ui::WindowController: owns a top-level window made on first use (from the registered nib of
// its name, else an empty window) and its content view controller. The first showWindow loads
// the window and runs windowDidLoad inside it; closing the window (by code or by the user) posts
// "NSWindowWillCloseNotification" with the controller as object. beginSheet shows a view
// controller as a window-modal sheet over the window (no nested loop); endSheet takes it away.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "platform_ui/ViewController.h"

namespace ui {

inline constexpr const char* kWindowWillCloseNotification = "NSWindowWillCloseNotification";

class WindowController : public plat::Object {
    PLAT_CLASS(WindowController)
  public:
    explicit WindowController(std::string windowNibName = {});
    ~WindowController() override;

    QWidget* window();
    bool isWindowLoaded() const { return !window_.isNull(); }
    // Whether the window is loaded and shows.
    bool isWindowVisible() const { return window_ && window_->isVisible(); }
    void showWindow();
    void close();
    virtual void windowDidLoad() {}

    // The sheet's window; null when no sheet could be shown. A sheet already shown is ended first.
    QWidget* beginSheet(const Ref<ViewController>& sheet);
    // Ends the sheet when it is the one shown; its controller keeps its view.
    void endSheet(const Ref<ViewController>& sheet);
    const Ref<ViewController>& sheetViewController() const { return sheet_; }

    const Ref<ViewController>& contentViewController() const { return content_; }
    void setContentViewController(const Ref<ViewController>& controller);

  protected:
    virtual std::unique_ptr<QWidget> loadWindow();

  private:
    class CloseFilter;
    std::string nibName_;
    QPointer<QWidget> window_;
    std::unique_ptr<QObject> filter_;
    Ref<ViewController> content_;
    Ref<ViewController> sheet_;
    QPointer<QWidget> sheetWindow_;
};

}  // namespace ui
