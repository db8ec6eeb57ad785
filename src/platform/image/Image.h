#pragma once
// plat::Image: a decoded picture (PNG, JPEG, WebP when the system's decoders have it, ...).
// Decoding needs no display and is safe on any thread. The size is read from the header first:
// a picture over 64 megapixels is refused before anything is allocated for it. Every refusal
// says why (VarnelImageErrorDomain: 1 no bytes, 2 not a picture the decoders know, 3 too large,
// 4 the decoder failed on the data).
#include <memory>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

class QImage;

namespace plat {

inline constexpr const char* kImageErrorDomain = "VarnelImageErrorDomain";

class Image : public Object {
    PLAT_CLASS(Image)
  public:
    static constexpr int64_t kMaxPixels = int64_t{64} << 20;

    ~Image() override;
    // The picture in the bytes; null (with the reason, when asked) when they hold none.
    static Ref<Image> imageWithData(const Bytes& data, Ref<Error>* error = nullptr);

    int width() const;
    int height() const;
    const QImage& qimage() const { return *image_; }

    struct Decoded {};  // only imageWithData makes images
    Image(Decoded, std::unique_ptr<QImage> image);

  private:
    std::unique_ptr<QImage> image_;
};

}  // namespace plat
