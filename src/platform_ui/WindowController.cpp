#include "platform_ui/WindowController.h"

#include <QDialog>
#include <QEvent>
#include <QLayout>

#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/ResourceRegistry.h"

PLAT_DEFINE_CLASS(ui::WindowController, plat::Object, PLAT_NO_METHODS)

namespace ui {

class WindowController::CloseFilter : public QObject {
  public:
    explicit CloseFilter(WindowController& owner) : owner_(owner) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == owner_.window_.data() && event->type() == QEvent::Close)
            plat::NotificationCenter::defaultCenter().postNotificationName(
                kWindowWillCloseNotification, owner_.shared_from_this());
        return false;
    }

  private:
    WindowController& owner_;
};

WindowController::WindowController(std::string windowNibName)
    : nibName_(std::move(windowNibName)) {}

WindowController::~WindowController() {
    if (window_) {
        window_->removeEventFilter(filter_.get());
        window_->deleteLater();
    }
}

std::unique_ptr<QWidget> WindowController::loadWindow() {
    if (!nibName_.empty() && ResourceRegistry::shared().hasNib(nibName_))
        return ResourceRegistry::shared().loadNib(nibName_, *this);
    return std::make_unique<QWidget>();
}

QWidget* WindowController::window() {
    if (!window_) {
        std::unique_ptr<QWidget> made = loadWindow();
        if (!made)
            made = std::make_unique<QWidget>();
        window_ = made.release();  // deleted with the controller
        filter_ = std::make_unique<CloseFilter>(*this);
        window_->installEventFilter(filter_.get());
        if (content_)
            content_->addToContainer(window_);
        windowDidLoad();
    }
    return window_;
}

void WindowController::showWindow() {
    QWidget* w = window();
    w->show();
    w->raise();
}

void WindowController::close() {
    if (window_)
        window_->close();
}

QWidget* WindowController::beginSheet(const Ref<ViewController>& sheet) {
    if (!sheet)
        return nullptr;
    if (sheet_)
        endSheet(sheet_);
    auto dialog = std::make_unique<QDialog>(window());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    sheet->addToContainer(dialog.get());
    sheet_ = sheet;
    sheetWindow_ = dialog.get();
    // A sheet dismissed by the window system (Escape) ends as endSheet would, so that its
    // controller keeps its view rather than losing it with the dialog.
    QObject::connect(dialog.get(), &QDialog::rejected, dialog.get(),
                     [owner = weak_from_this(), weak = std::weak_ptr<ViewController>(sheet)] {
                         auto controller = std::static_pointer_cast<WindowController>(owner.lock());
                         if (auto ending = weak.lock(); controller && ending)
                             controller->endSheet(ending);
                     });
    dialog.release()->open();  // owned by the window; no nested loop
    return sheetWindow_;
}

void WindowController::endSheet(const Ref<ViewController>& sheet) {
    if (!sheet || sheet != sheet_)
        return;
    Ref<ViewController> ending = std::move(sheet_);
    sheet_.reset();
    ending->removeFromContainer();
    if (sheetWindow_)
        sheetWindow_->close();
    sheetWindow_.clear();
}

void WindowController::setContentViewController(const Ref<ViewController>& controller) {
    if (content_ == controller)
        return;
    if (content_)
        content_->removeFromContainer();
    content_ = controller;
    if (content_ && window_)
        content_->addToContainer(window_);
}

}  // namespace ui
