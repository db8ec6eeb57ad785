#include "app/common/QtImageView.h"

#include <QLabel>
#include <QPixmap>
#include <QPixmapCache>

#include "platform/image/Image.h"
#include "platform/net/Url.h"

namespace {

// The picture as a label of that size shows it: stretched to the size once, smoothly, and kept
// in the pixmap cache, so that the label draws it as it stands. A picture of the label's size,
// or a label not sized yet, takes the picture as it is.
QPixmap fitted(const QImage& image, QSize size) {
    if (image.isNull() || size.isEmpty() || image.size() == size)
        return QPixmap::fromImage(image);
    const QString key = QStringLiteral("QtImageView:%1:%2x%3")
                            .arg(image.cacheKey())
                            .arg(size.width())
                            .arg(size.height());
    QPixmap shown;
    if (QPixmapCache::find(key, &shown))
        return shown;
    // Scaled by the image itself: a painter's smooth drawing hands the work for each cover to
    // Qt's thread pool and waits for it.
    shown = QPixmap::fromImage(image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QPixmapCache::insert(key, shown);
    return shown;
}

}  // namespace

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
    const bool sized = label_->hasScaledContents() && label_->testAttribute(Qt::WA_Resized);
    pixmap_ =
        fitted(image, sized ? label_->contentsRect().size() * label_->devicePixelRatio() : QSize());
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
