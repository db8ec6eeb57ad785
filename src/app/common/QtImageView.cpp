#include "app/common/QtImageView.h"

#include <QLabel>
#include <QPixmap>

#include "platform/image/Image.h"
#include "platform/net/Url.h"

QtImageView::QtImageView(QLabel* label) : label_(label) {
    if (label_)
        label_->setScaledContents(true);
}

void QtImageView::setImage(const Ref<plat::Image>& image) {
    setImage(image ? image->qimage() : placeholder_);
}

void QtImageView::setImage(const QImage& image) {
    if (!label_)
        return;
    // The picture already shown stays as drawn (the label keeps its scaled copy).
    if (!image.isNull() && image.cacheKey() == image_.cacheKey() &&
        label_->pixmap().cacheKey() == pixmap_.cacheKey())
        return;
    image_ = image;
    pixmap_ = QPixmap::fromImage(image);
    label_->setPixmap(pixmap_);
}

void QtImageView::setImageWithURL(const std::optional<std::string>& url,
                                  const QImage& placeholder) {
    placeholder_ = placeholder;
    const auto parsed = url && !url->empty() ? plat::Url::parse(*url) : std::nullopt;
    if (!parsed || parsed->absoluteString().empty()) {
        cancelImageRequestOperation();
        setImage(placeholder_);
        return;
    }
    AFImageView::setImageWithURL(*parsed, nullptr);
}
