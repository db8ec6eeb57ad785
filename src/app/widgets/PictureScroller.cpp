#include "app/widgets/PictureScroller.h"

#include <QGridLayout>

#include "app/widgets/PopupCloseButton.h"
#include "app/widgets/PopupView.h"
#include "app/widgets/ScaledImageView.h"
#include "platform/image/Image.h"
#include "platform_ui/DTScrollView.h"
#include "platform_ui/ResourceRegistry.h"

PLAT_DEFINE_CLASS(PictureScroller, ui::ViewController, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(PictureScrollerView, PopupWidgetView, PLAT_NO_METHODS)

namespace {

std::unique_ptr<QWidget> buildNib(plat::Object& owner) {
    auto root = std::make_unique<PopupView>();
    root->setAutoFillBackground(true);
    QPalette palette = root->palette();
    palette.setColor(QPalette::Window, QColor(20, 20, 20));
    root->setPalette(palette);
    auto layout = std::make_unique<QGridLayout>();
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new ui::DTScrollView(root.get());  // children of the view
    scroll->setObjectName("scrollView");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(false);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* close = new PopupCloseButton(QColor(255, 255, 255, 220), QColor(40, 40, 40), root.get());
    close->setObjectName("closeButton");
    close->setFixedSize(40, 40);
    layout->addWidget(scroll, 0, 0);
    layout->addWidget(close, 0, 0, Qt::AlignTop | Qt::AlignRight);
    root->setLayout(layout.release());  // the view owns its layout
    close->raise();
    if (auto* controller = dynamic_cast<PictureScroller*>(&owner)) {
        const WeakRef<PictureScroller> weak = controller->weakSelf<PictureScroller>();
        QObject::connect(close, &QAbstractButton::clicked, root.get(), [weak] {
            if (auto target = weak.lock())
                target->closeButtonTouchUpInside();
        });
    }
    return root;
}

}  // namespace

void PictureScroller::registerNib(ui::ResourceRegistry& registry) {
    registry.registerNib(kNibName, [](plat::Object& owner) {
        auto view = buildNib(owner);
        if (auto* controller = dynamic_cast<PictureScroller*>(&owner)) {
            controller->scrollView_ = view->findChild<ui::DTScrollView*>("scrollView");
            controller->closeButton_ = view->findChild<QAbstractButton*>("closeButton");
        }
        return view;
    });
}

ui::DTScrollView* PictureScroller::scrollView() const {
    return scrollView_;
}

QAbstractButton* PictureScroller::closeButton() const {
    return closeButton_;
}

void PictureScroller::viewDidLoad() {
    loadPictureViews();
}

void PictureScroller::loadPictureViews() {
    if (pictureViews_ || !scrollView_)
        return;
    pictureViews_.emplace();
    QWidget* superview = scrollView_->parentWidget();
    const QRect bounds = superview ? QRect(QPoint(), superview->size()) : QRect();
    auto content = std::make_unique<QWidget>();
    content->resize(bounds.width() * static_cast<int>(pictures_.size()), bounds.height());
    int x = bounds.x();
    for (const auto& picture : pictures_) {
        auto* view = new ScaledImageView(ScaledImageView::Scaling::ProportionallyUpOrDown,
                                         content.get());  // a child of the content
        view->setGeometry(x, bounds.y(), bounds.width(), bounds.height());
        view->setImage(picture ? picture->qimage() : QImage());
        pictureViews_->emplace_back(view);
        x += bounds.width();
    }
    scrollView_->setWidget(content.release());  // the scroll view owns its content
    scrollView_->widget()->setAutoFillBackground(false);
}

void PictureScroller::reloadPictures(const std::vector<Ref<plat::Image>>& pictures) {
    pictures_ = pictures;
    if (pictureViews_) {
        for (const auto& view : *pictureViews_) {
            if (view)
                view->hide();  // goes with the content it belongs to
        }
    }
    pictureViews_.reset();
    if (isViewLoaded())
        loadPictureViews();
}

void PictureScroller::closeButtonTouchUpInside() {
    if (!isViewLoaded())
        return;
    if (auto* popup = dynamic_cast<PopupView*>(view()))
        popup->setOpen(false);
    else
        view()->hide();
}

PictureScrollerView::PictureScrollerView(const Ref<PictureScroller>& controller)
    : PopupWidgetView(std::unique_ptr<QWidget>(controller ? controller->view() : nullptr)),
      controller_(controller) {}
