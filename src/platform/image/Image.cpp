#include "platform/image/Image.h"

#include <QImage>

namespace plat {

PLAT_DEFINE_CLASS(Image, Object, PLAT_NO_METHODS)

Image::Image(Decoded, std::unique_ptr<QImage> image) : image_(std::move(image)) {}
Image::~Image() = default;

Ref<Image> Image::imageWithData(const Bytes& data) {
    if (data.empty() || data.size() > static_cast<size_t>(INT32_MAX))
        return nullptr;
    auto image = std::make_unique<QImage>();
    if (!image->loadFromData(data.data(), static_cast<int>(data.size())) || image->isNull()) {
        return nullptr;
    }
    return std::make_shared<Image>(Decoded{}, std::move(image));
}

int Image::width() const {
    return image_->width();
}
int Image::height() const {
    return image_->height();
}

}  // namespace plat
