#pragma once
// ui::ViewController: owns a widget tree and follows the life cycle the screens rely on:
// construction with a nib name, awakeFromNib (through create), the view made on first use
// (loadView, then viewDidLoad once), viewWillAppear/viewDidAppear on every explicit show (added
// to a shown container, a switch that shows it, a sheet, its window shown again) but not on a
// restore from minimise, viewWillDisappear/viewDidDisappear on removal, hide and close.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/core/Object.h"

namespace ui {

class ViewController : public plat::Object {
    PLAT_CLASS(ViewController)
  public:
    explicit ViewController(std::string nibName = {});
    ~ViewController() override;

    // A new controller of class T, awoken from its nib.
    template <class T, class... A>
    static Ref<T> create(A&&... args) {
        auto controller = std::make_shared<T>(std::forward<A>(args)...);
        controller->awakeFromNib();
        return controller;
    }

    const std::string& nibName() const { return nibName_; }
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }

    virtual void awakeFromNib() {}
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}

    // Puts the view into a container widget (shown at once when the container is) and takes it
    // out again.
    void addToContainer(QWidget* container);
    void removeFromContainer();

    // A sheet: a window-modal dialog over this controller's window, shown without a nested loop.
    void presentViewControllerAsSheet(const Ref<ViewController>& sheet);
    void dismissViewController(const Ref<ViewController>& sheet);

  protected:
    // The widget tree: the registered nib of that name, else an empty widget.
    virtual std::unique_ptr<QWidget> loadView();

  private:
    class LifecycleFilter;
    std::string nibName_;
    QPointer<QWidget> view_;
    std::unique_ptr<QObject> filter_;
    Ref<ViewController> presented_;
    QPointer<QWidget> sheetDialog_;
};

}  // namespace ui
