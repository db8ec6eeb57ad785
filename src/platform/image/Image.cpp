#include "platform/image/Image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace plat {

PLAT_DEFINE_CLASS(Image, Object, PLAT_NO_METHODS)

Image::Image(Decoded, std::unique_ptr<QImage> image) : image_(std::move(image)) {}
Image::~Image() = default;

Ref<Image> Image::imageWithData(const Bytes& data, Ref<Error>* error) {
    auto refuse = [&](int64_t code, std::string why) -> Ref<Image> {
        if (error)
            *error = Error::withDescription(kImageErrorDomain, code, std::move(why));
        return nullptr;
    };
    if (data.empty())
        return refuse(1, "There are no image bytes.");
    if (data.size() > static_cast<size_t>(INT32_MAX))
        return refuse(3, "The image data is larger than 2 GB.");
    // The bytes are read in place; the reader never keeps them beyond this call.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                     static_cast<qsizetype>(data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return refuse(2, "The data is not an image in a format the decoders know.");
    const QSize size = reader.size();
    if (size.isValid()) {
        const int64_t pixels = int64_t{size.width()} * size.height();
        if (size.width() <= 0 || size.height() <= 0 || pixels > kMaxPixels)
            return refuse(3, "The image is too large (" + std::to_string(size.width()) + "x" +
                                 std::to_string(size.height()) + " pixels; at most " +
                                 std::to_string(kMaxPixels) + ").");
    }
    auto image = std::make_unique<QImage>();
    if (!reader.read(image.get()) || image->isNull())
        return refuse(4, "The image could not be decoded: " + reader.errorString().toStdString());
    if (int64_t{image->width()} * image->height() > kMaxPixels)
        return refuse(3, "The image is too large.");
    return std::make_shared<Image>(Decoded{}, std::move(image));
}

int Image::width() const {
    return image_->width();
}
int Image::height() const {
    return image_->height();
}

}  // namespace plat
