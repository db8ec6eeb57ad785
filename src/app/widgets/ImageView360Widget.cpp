#include "app/widgets/ImageView360Widget.h"

#include <algorithm>

#include "app/issueui/WidgetView.h"
#include "app/widgets/FileNameSeries.h"
#include "app/widgets/ImageRotationView.h"

PLAT_DEFINE_CLASS(ImageView360Widget, VisibleWidget, PLAT_NO_METHODS)

ImageView360Widget::~ImageView360Widget() {
    if (auto* view = rotationView())
        view->stopAnimating();
}

ImageRotationView* ImageView360Widget::rotationView() const {
    return dynamic_cast<ImageRotationView*>(widgetView().get());
}

void ImageView360Widget::ensureImages() {
    if (images_)
        return;
    images_.emplace();
    for (const auto& path : imagePaths_) {
        if (auto image = imageWithAssetId(path))
            images_->push_back(std::move(image));
    }
}

void ImageView360Widget::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    imagePaths_ = FileNameSeries::seriesWithDictionary(description, "Image")->populateSeries();
}

bool ImageView360Widget::anyImageAvailable() const {
    return std::any_of(imagePaths_.begin(), imagePaths_.end(),
                       [this](const std::string& path) { return assetIdAvailable(path); });
}

bool ImageView360Widget::readyForDisplay() {
    return VisibleWidget::readyForDisplay() && anyImageAvailable();
}

void ImageView360Widget::didBecomeActive() {
    VisibleWidget::didBecomeActive();
    if (auto* view = rotationView(); view && !view->hasImages()) {
        ensureImages();
        view->loadImages(*images_);
    }
}

void ImageView360Widget::invokeButtonAction(const Ref<plat::Object>&) {
    auto* view = rotationView();
    if (!view)
        return;
    if (!view->hasImages()) {
        ensureImages();
        view->loadImages(*images_);
    }
    view->startAnimating();
}

Ref<WidgetView> ImageView360Widget::newWidgetView(const QRectF& frame) {
    ensureImages();
    auto view = WidgetViewFactory::makeView(ImageRotationView::kViewKind, *this, frame);
    if (!view)
        return nullptr;
    view->setTag(1);
    if (auto* rotation = dynamic_cast<ImageRotationView*>(view.get()))
        rotation->loadImages(*images_);
    return view;
}

void ImageView360Widget::purgeCacheData() {
    VisibleWidget::purgeCacheData();
    images_.reset();
    if (auto* view = rotationView())
        view->clearImages();
}
