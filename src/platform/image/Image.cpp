#include "platform/image/Image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <string_view>

namespace plat {
namespace {

// The size a PNG's header announces, read from the bytes themselves: the decoder cannot tell it
// when the file ends right after its header.
QSize pngHeaderSize(const Bytes& data) {
    static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (data.size() < 24 ||
        !std::equal(std::begin(kSignature), std::end(kSignature), data.begin()) ||
        std::string_view(reinterpret_cast<const char*>(data.data()) + 12, 4) != "IHDR") {
        return {};
    }
    auto word = [&](size_t at) {
        return (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) |
               (uint32_t{data[at + 2]} << 8) | data[at + 3];
    };
    const uint32_t width = word(16), height = word(20);
    if (width > INT32_MAX || height > INT32_MAX)
        return QSize(INT32_MAX, INT32_MAX);
    return QSize(static_cast<int>(width), static_cast<int>(height));
}

}  // namespace

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
    QSize size = pngHeaderSize(data);
    if (!size.isValid())
        size = reader.size();
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
