#pragma once
// AFImageRequestOperation: an HTTP operation for one image. It accepts only image types and
// decodes the body on a shared concurrent queue (never on the network or the main thread), one
// point per pixel. A body of an image type that does not decode still succeeds, with no image.
#include <functional>
#include <mutex>

#include "external/AFHTTPRequestOperation.h"
#include "platform/image/Image.h"

class AFImageRequestOperation : public AFHTTPRequestOperation {
    PLAT_CLASS(AFImageRequestOperation)
  public:
    using ImageSuccessBlock =
        std::function<void(const Ref<AFHTTPRequestOperation>&, const Ref<plat::Image>&)>;
    using RequestSuccessBlock =
        std::function<void(const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                           const Ref<plat::Image>&)>;
    using RequestFailureBlock =
        std::function<void(const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                           const Ref<plat::Error>&)>;
    using ProcessingBlock = std::function<Ref<plat::Image>(const Ref<plat::Image>&)>;

    AFImageRequestOperation() = default;
    explicit AFImageRequestOperation(plat::UrlRequest request)
        : AFHTTPRequestOperation(std::move(request)) {}

    // The decoded body: nothing before the operation finished with a body, or when the body is
    // not a picture (decodeError() says why).
    Ref<plat::Image> responseImage();
    void setResponseImage(Ref<plat::Image> image);
    Ref<plat::Error> decodeError() const;

    // The image is decoded on the processing queue, only when a success block is given.
    void setCompletionBlockWithSuccess(ImageSuccessBlock success, FailureBlock failure);
    // The same with the image as an object value (nil when there is none).
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

    static Ref<AFImageRequestOperation> imageRequestOperationWithRequest(
        const plat::UrlRequest& request, std::function<void(const Ref<plat::Image>&)> success);
    static Ref<AFImageRequestOperation> imageRequestOperationWithRequest(
        const plat::UrlRequest& request, ProcessingBlock processing, RequestSuccessBlock success,
        RequestFailureBlock failure);

    static std::optional<AFContentTypeSet> acceptableContentTypes();
    static void addAcceptableContentTypes(const AFContentTypeSet& types);
    // Yes for a URL ending in a known image extension (exact case), else by "Accept".
    static bool canProcessRequest(const plat::UrlRequest& request);
    std::optional<AFContentTypeSet> classAcceptableContentTypes() const override;
    bool classCanProcessRequest(const plat::UrlRequest& request) const override {
        return canProcessRequest(request);
    }

    // The shared concurrent queue the images decode on.
    static Ref<plat::DispatchQueue> processingQueue();

  private:
    mutable std::mutex imageMutex_;
    Ref<plat::Image> responseImage_;
    Ref<plat::Error> decodeError_;
};
