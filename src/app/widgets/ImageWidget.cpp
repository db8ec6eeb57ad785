#include "app/widgets/ImageWidget.h"

#include "app/issueui/WidgetView.h"
#include "platform/image/Image.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(ImageWidget, VisibleWidget, [](auto&) {})

Ref<WidgetView> ImageWidget::newWidgetView(const QRectF& frame) {
    auto view = WidgetViewFactory::makeView(kImageViewKind, *this, frame);
    const auto image = imageFileName_ ? imageWithAssetId(*imageFileName_) : nullptr;
    imageSize_ = image ? QSize(image->width(), image->height()) : QSize();
    if (view)
        view->setImage(image);
    return view;
}

void ImageWidget::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (const auto* name = description.objectForKey("ImageFileName").string())
        imageFileName_ = *name;
    backgroundColor_ =
        boolForKey(description, "Opaque", false) ? QColor(255, 255, 255) : QColor(0, 0, 0, 0);
}

std::vector<std::string> ImageWidget::_requiredAssetFileIds() const {
    if (!imageFileName_)
        return {};
    return {*imageFileName_};
}

bool ImageWidget::readyForDisplay() {
    return imageFileName_ && assetIdAvailable(*imageFileName_);
}

QTransform ImageWidget::calcSubwidgetTransformation(const QTransform&,
                                                    const Ref<WidgetView>& widgetView) const {
    if (!widgetView || imageSize_.width() <= 0 || imageSize_.height() <= 0)
        return {};
    const QSizeF size = widgetView->bounds().size();
    return QTransform::fromScale(size.width() / imageSize_.width(),
                                 size.height() / imageSize_.height());
}
