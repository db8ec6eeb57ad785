#pragma once
// plat::Image: a decoded picture (PNG, JPEG, ...). Decoding needs no display.
#include <memory>

#include "platform/core/Object.h"
#include "platform/core/Value.h"

class QImage;

namespace plat {

class Image : public Object {
    PLAT_CLASS(Image)
  public:
    ~Image() override;
    // The picture in the bytes; null when they are not a picture.
    static Ref<Image> imageWithData(const Bytes& data);

    int width() const;
    int height() const;
    const QImage& qimage() const { return *image_; }

    struct Decoded {};  // only imageWithData makes images
    Image(Decoded, std::unique_ptr<QImage> image);

  private:
    std::unique_ptr<QImage> image_;
};

}  // namespace plat
