#include "external/AFImageRequestOperation.h"

PLAT_DEFINE_CLASS(AFImageRequestOperation, AFHTTPRequestOperation, PLAT_NO_METHODS)

namespace {

// "png" for ".../cover.png"; empty without a dot in the last component.
std::string pathExtension(const std::string& path) {
    const std::string_view last = std::string_view(path).substr(path.rfind('/') + 1);
    const size_t dot = last.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string()
                                                     : std::string(last.substr(dot + 1));
}

}  // namespace

Ref<plat::Image> AFImageRequestOperation::responseImage() {
    std::lock_guard guard(imageMutex_);
    if (!responseImage_ && !decodeError_ && isFinished()) {
        if (const auto data = responseData(); data && !data->empty())
            responseImage_ = plat::Image::imageWithData(*data, &decodeError_);
    }
    return responseImage_;
}

void AFImageRequestOperation::setResponseImage(Ref<plat::Image> image) {
    std::lock_guard guard(imageMutex_);
    responseImage_ = std::move(image);
}

Ref<plat::Error> AFImageRequestOperation::decodeError() const {
    std::lock_guard guard(imageMutex_);
    return decodeError_;
}

void AFImageRequestOperation::setCompletionBlockWithSuccess(ImageSuccessBlock success,
                                                            FailureBlock failure) {
    // Held weakly: an operation that never runs is not kept alive by its own block (it is
    // alive whenever its completion runs).
    WeakRef<AFImageRequestOperation> weak =
        std::static_pointer_cast<AFImageRequestOperation>(shared_from_this());
    setCompletionBlock([weak, success = std::move(success), failure = std::move(failure)] {
        const auto operation = weak.lock();
        if (!operation)
            return;
        processingQueue()->async([operation, success, failure] {
            if (const auto error = operation->error()) {
                if (failure)
                    operation->failureQueue()->async(
                        [operation, failure, error] { failure(operation, error); });
            } else if (success) {
                const auto image = operation->responseImage();
                operation->successQueue()->async(
                    [operation, success, image] { success(operation, image); });
            }
        });
    });
}

void AFImageRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                            FailureBlock failure) {
    ImageSuccessBlock onImage;
    if (success) {
        onImage = [success](const Ref<AFHTTPRequestOperation>& op, const Ref<plat::Image>& image) {
            success(op, image ? plat::Value::fromObject(image) : plat::Value());
        };
    }
    setCompletionBlockWithSuccess(std::move(onImage), std::move(failure));
}

Ref<AFImageRequestOperation> AFImageRequestOperation::imageRequestOperationWithRequest(
    const plat::UrlRequest& request, std::function<void(const Ref<plat::Image>&)> success) {
    RequestSuccessBlock forward;
    if (success) {
        forward = [success = std::move(success)](const plat::UrlRequest&,
                                                 const std::optional<plat::HttpUrlResponse>&,
                                                 const Ref<plat::Image>& image) { success(image); };
    } else {
        forward = [](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                     const Ref<plat::Image>&) {};
    }
    return imageRequestOperationWithRequest(request, nullptr, std::move(forward), nullptr);
}

Ref<AFImageRequestOperation> AFImageRequestOperation::imageRequestOperationWithRequest(
    const plat::UrlRequest& request, ProcessingBlock processing, RequestSuccessBlock success,
    RequestFailureBlock failure) {
    auto operation = operationWithRequest<AFImageRequestOperation>(request);
    ImageSuccessBlock onSuccess;
    if (success) {
        onSuccess = [processing, success](const Ref<AFHTTPRequestOperation>& op,
                                          const Ref<plat::Image>& image) {
            if (!processing) {
                success(op->request(), op->response(), image);
                return;
            }
            processingQueue()->async([op, image, processing, success] {
                const auto processed = processing(image);
                const auto queue =
                    std::static_pointer_cast<AFImageRequestOperation>(op)->successQueue();
                queue->async([op, processed, success] {
                    success(op->request(), op->response(), processed);
                });
            });
        };
    }
    FailureBlock onFailure;
    if (failure) {
        onFailure = [failure](const Ref<AFHTTPRequestOperation>& op,
                              const Ref<plat::Error>& error) {
            failure(op->request(), op->response(), error);
        };
    }
    operation->setCompletionBlockWithSuccess(std::move(onSuccess), std::move(onFailure));
    return operation;
}

std::optional<AFContentTypeSet> AFImageRequestOperation::acceptableContentTypes() {
    if (auto replaced = replacedContentTypes(kClassName))
        return replaced;
    return AFContentTypeSet{"image/tiff",      "image/jpeg",        "image/gif", "image/png",
                            "image/ico",       "image/x-icon",      "image/bmp", "image/x-bmp",
                            "image/x-xbitmap", "image/x-win-bitmap"};
}

void AFImageRequestOperation::addAcceptableContentTypes(const AFContentTypeSet& types) {
    AFContentTypeSet all = acceptableContentTypes().value_or(AFContentTypeSet{});
    all.insert(types.begin(), types.end());
    replaceContentTypes(kClassName, std::move(all));
}

bool AFImageRequestOperation::canProcessRequest(const plat::UrlRequest& request) {
    static const std::set<std::string> kExtensions = {"tif", "tiff", "jpg", "jpeg", "gif",
                                                      "png", "ico",  "bmp", "cur"};
    if (kExtensions.contains(pathExtension(request.url().path())))
        return true;
    return acceptsTypesOfRequest(acceptableContentTypes(), request);
}

std::optional<AFContentTypeSet> AFImageRequestOperation::classAcceptableContentTypes() const {
    return acceptableContentTypes();
}

Ref<plat::DispatchQueue> AFImageRequestOperation::processingQueue() {
    static const auto queue = plat::DispatchQueue::concurrent(
        std::string(AFNetworkingNamePrefix) + ".networking.image-request.processing");
    return queue;
}
