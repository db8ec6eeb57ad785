#include "app/widgets/ImageListScroller.h"

#include <QScrollArea>

#include "app/issueui/QtWidgetView.h"
#include "app/widgets/PopupCloseButton.h"
#include "app/widgets/ScaledImageView.h"
#include "platform/image/Image.h"

namespace {

constexpr int kCloseButtonSize = 40;

// A clear, borderless push button.
class ClearButton : public QAbstractButton {
  public:
    using QAbstractButton::QAbstractButton;

  protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

ImageListScroller::ImageListScroller(const QRectF& frame) {
    const QRect geometry = QtWidgetView::geometryOf(frame);
    setGeometry(geometry);
    const int w = geometry.width();
    const int h = geometry.height();
    auto* scroll = new QScrollArea(this);  // children of the strip
    scroll->setGeometry(0, 0, w, h);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidgetResizable(false);
    scrollView_ = scroll;
    auto* close = new PopupCloseButton(QColor(0, 0, 0, 160), Qt::white, this);
    close->setGeometry(w - kCloseButtonSize, 0, kCloseButtonSize, kCloseButtonSize);
    connect(close, &QAbstractButton::clicked, this, [this] { closeButtonTouchUpInside(); });
    closeButton_ = close;
    // Clear over the whole strip but the bottom 10 points, where the scroller runs.
    auto* click = new ClearButton(this);
    click->setGeometry(0, -10, w, h);
    connect(click, &QAbstractButton::clicked, this, [this] { imageTouched(); });
    imageClickButton_ = click;
    lastLayoutBounds_ = QRectF(rect());
}

void ImageListScroller::setImages(const ImageList& images) {
    if (images == images_)
        return;
    images_ = images;
    updateFromImages();
}

void ImageListScroller::updateFromImages() {
    // The views shown go with the content they belong to, which updateScrollview replaces.
    for (const auto& view : imageViews_) {
        if (view)
            view->hide();
    }
    imageViews_.clear();
    if (images_) {
        for (const auto& image : *images_) {
            auto view =
                std::make_unique<ScaledImageView>(ScaledImageView::Scaling::AxesIndependently);
            view->setGeometry(rect());
            view->setImage(image ? image->qimage() : QImage());
            imageViews_.emplace_back(view.release());  // owned by the content from updateScrollview
        }
    }
    updateScrollview();
}

void ImageListScroller::updateScrollview() {
    if (!scrollView_)
        return;
    const int w = width();
    const int h = height();
    auto content = std::make_unique<QWidget>();
    content->setAutoFillBackground(false);
    content->resize(w * static_cast<int>(imageViews_.size()), h);
    int x = 0;
    for (const auto& view : imageViews_) {
        if (!view)
            continue;
        view->setParent(content.get());
        view->move(x, view->y());
        view->show();
        x += view->width();
    }
    scrollView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollView_->setHorizontalScrollBarPolicy(imageViews_.size() > 1 ? Qt::ScrollBarAlwaysOn
                                                                     : Qt::ScrollBarAlwaysOff);
    scrollView_->setWidget(content.release());  // the area owns its content (and the old one goes)
    scrollView_->widget()->setAutoFillBackground(false);
}

void ImageListScroller::layoutSubviews() {
    const QRectF bounds(rect());
    if (bounds != lastLayoutBounds_) {
        updateScrollview();
        lastLayoutBounds_ = bounds;
    }
}

void ImageListScroller::resizeEvent(QResizeEvent* event) {
    PopupView::resizeEvent(event);
    layoutSubviews();
}

void ImageListScroller::imageTouched() {
    setOpen(false);
}

void ImageListScroller::closeButtonTouchUpInside() {
    setOpen(false);
}

bool ImageListScroller::closeButtonVisible() const {
    return closeButton_ && !closeButton_->isHidden();
}

void ImageListScroller::setCloseButtonVisible(bool visible) {
    if (closeButton_)
        closeButton_->setHidden(!visible);
}
