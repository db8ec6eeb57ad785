#include "app/widgets/ImageRotationView.h"

#include "app/widgets/ScaledImageView.h"
#include "platform/image/Image.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(ImageRotationView, QtWidgetView, PLAT_NO_METHODS)

ImageRotationView::ImageRotationView(const QRectF& frame)
    : QtWidgetView(
          std::make_unique<ScaledImageView>(ScaledImageView::Scaling::ProportionallyUpOrDown)) {
    setFrame(frame);
}

ImageRotationView::~ImageRotationView() {
    stopAnimating();
}

ScaledImageView* ImageRotationView::imageView() const {
    return static_cast<ScaledImageView*>(widget());
}

void ImageRotationView::setImage(const Ref<plat::Image>& image) {
    image_ = image;
    if (auto* view = imageView())
        view->setImage(image ? image->qimage() : QImage());
}

void ImageRotationView::loadImages(const std::vector<Ref<plat::Image>>& images) {
    images_ = images;
    if (!images.empty())
        setImage(images.front());
}

void ImageRotationView::startAnimating() {
    if (animationTimer_ || !images_ || images_->empty())
        return;
    currentAnimationImageIndex_ = 0;
    const float interval = static_cast<float>(1.0 / static_cast<double>(images_->size()));
    const WeakRef<ImageRotationView> weak = weakSelf<ImageRotationView>();
    animationTimer_ = plat::Timer::scheduled(interval, true, [weak](plat::Timer&) {
        if (auto view = weak.lock())
            view->nextAnimation();
    });
}

void ImageRotationView::nextAnimation() {
    if (!images_ || images_->empty()) {
        stopAnimating();
        return;
    }
    ++currentAnimationImageIndex_;
    if (static_cast<size_t>(currentAnimationImageIndex_) >= images_->size()) {
        setImage(images_->front());
        stopAnimating();
    } else {
        setImage((*images_)[static_cast<size_t>(currentAnimationImageIndex_)]);
    }
}

void ImageRotationView::stopAnimating() {
    currentAnimationImageIndex_ = 0;
    if (animationTimer_) {
        animationTimer_->invalidate();
        animationTimer_.reset();
    }
}

double ImageRotationView::animationInterval() const {
    return animationTimer_ ? animationTimer_->interval() : 0;
}
