#pragma once
// ui::WindowController: owns a top-level window made on first use (from the registered nib of
// its name, else an empty window) and its content view controller. The first showWindow loads
// the window and runs windowDidLoad inside it; closing the window (by code or by the user) posts
// "NSWindowWillCloseNotification" with the controller as object.
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
    void showWindow();
    void close();
    virtual void windowDidLoad() {}

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
};

}  // namespace ui
