#pragma once
// AFImageView: what an image view needs to show remote images. A view implements setImage; the
// loading is done here: setImageWithURL shows a cached image at once (no placeholder, no
// network), or shows the placeholder and runs an image operation on the shared queue; the image
// arrives on the main thread and is shown only while it answers the view's current request, and
// is cached in every case. A new call for the view cancels the load in flight. Use on the main
// thread; views are shared (the loads hold them until they end).
#include <functional>
#include <memory>
#include <optional>

#include "external/AFImageCache.h"
#include "external/AFImageRequestOperation.h"
#include "platform/runloop/OperationQueue.h"

class AFImageView : public std::enable_shared_from_this<AFImageView> {
  public:
    using SuccessBlock = AFImageRequestOperation::RequestSuccessBlock;
    using FailureBlock = AFImageRequestOperation::RequestFailureBlock;

    virtual ~AFImageView() = default;
    // Shows the image (null: nothing).
    virtual void setImage(const Ref<plat::Image>& image) = 0;

    void setImageWithURL(const plat::Url& url);
    void setImageWithURL(const plat::Url& url, const Ref<plat::Image>& placeholderImage);
    // With a success block the image is handed to it instead of being shown (a cache hit calls
    // it at once, with an empty request and no response).
    void setImageWithURLRequest(const plat::UrlRequest& request,
                                const Ref<plat::Image>& placeholderImage, SuccessBlock success,
                                FailureBlock failure);
    void cancelImageRequestOperation();

    // The operation in flight for this view; null when nothing is loading.
    Ref<AFImageRequestOperation> af_imageRequestOperation() const { return operation_; }
    void af_setImageRequestOperation(Ref<AFImageRequestOperation> operation) {
        operation_ = std::move(operation);
    }

    static Ref<plat::OperationQueue> af_sharedImageRequestOperationQueue();
    static AFImageCache& af_sharedImageCache();
    // At the program's end: cancels the pictures still loading and lets the main loop run (at
    // most the given seconds) until their operations have ended, so none outlives the program's
    // objects half way.
    static void cancelAllImageRequests(double seconds);

  private:
    Ref<AFImageRequestOperation> operation_;
};
