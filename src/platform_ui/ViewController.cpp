#include "platform_ui/ViewController.h"

#include <QDialog>
#include <QEvent>
#include <QVBoxLayout>

#include "platform_ui/ResourceRegistry.h"

PLAT_DEFINE_CLASS(ui::ViewController, plat::Object, PLAT_NO_METHODS)

namespace ui {

// Turns the view's show and hide events into the controller's appearance calls.
class ViewController::LifecycleFilter : public QObject {
  public:
    explicit LifecycleFilter(ViewController& owner) : owner_(owner) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == owner_.view_.data() && !event->spontaneous()) {
            if (event->type() == QEvent::Show) {
                owner_.viewWillAppear();
                owner_.viewDidAppear();
            } else if (event->type() == QEvent::Hide) {
                owner_.viewWillDisappear();
                owner_.viewDidDisappear();
            }
        }
        return false;
    }

  private:
    ViewController& owner_;
};

ViewController::ViewController(std::string nibName) : nibName_(std::move(nibName)) {}

ViewController::~ViewController() {
    if (view_) {
        view_->removeEventFilter(filter_.get());
        if (!view_->parent())
            view_->deleteLater();
    }
}

std::unique_ptr<QWidget> ViewController::loadView() {
    if (!nibName_.empty() && ResourceRegistry::shared().hasNib(nibName_))
        return ResourceRegistry::shared().loadNib(nibName_, *this);
    return std::make_unique<QWidget>();
}

QWidget* ViewController::view() {
    if (!view_) {
        std::unique_ptr<QWidget> made = loadView();
        if (!made)
            made = std::make_unique<QWidget>();
        view_ = made.release();  // owned by its container once added, else by this controller
        filter_ = std::make_unique<LifecycleFilter>(*this);
        view_->installEventFilter(filter_.get());
        viewDidLoad();
    }
    return view_;
}

void ViewController::addToContainer(QWidget* container) {
    QWidget* v = view();
    if (!container)
        return;
    if (!container->layout()) {
        auto layout = std::make_unique<QVBoxLayout>();
        layout->setContentsMargins(0, 0, 0, 0);
        container->setLayout(layout.release());  // the container owns its layout
    }
    container->layout()->addWidget(v);
    v->show();
}

void ViewController::removeFromContainer() {
    if (!view_)
        return;
    view_->hide();
    if (QWidget* parent = view_->parentWidget(); parent && parent->layout())
        parent->layout()->removeWidget(view_);
    view_->setParent(nullptr);
}

void ViewController::presentViewControllerAsSheet(const Ref<ViewController>& sheet) {
    if (!sheet)
        return;
    auto dialog = std::make_unique<QDialog>(view()->window());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    sheet->addToContainer(dialog.get());
    presented_ = sheet;
    sheetDialog_ = dialog.get();
    dialog.release()->open();  // owned by its parent window; no nested loop
}

void ViewController::dismissViewController(const Ref<ViewController>& sheet) {
    if (!sheet || sheet != presented_)
        return;
    sheet->removeFromContainer();
    if (sheetDialog_)
        sheetDialog_->close();
    presented_.reset();
}

}  // namespace ui
