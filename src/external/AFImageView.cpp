#include "external/AFImageView.h"

#include <algorithm>

#include "platform/runloop/RunLoop.h"

namespace {

bool sameFields(const plat::HttpHeaderFields& a, const plat::HttpHeaderFields& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// Two requests are the same request when everything they would send is the same.
bool sameRequest(const plat::UrlRequest& a, const plat::UrlRequest& b) {
    return a.url().absoluteString() == b.url().absoluteString() &&
           a.httpMethod() == b.httpMethod() &&
           sameFields(a.allHttpHeaderFields(), b.allHttpHeaderFields()) &&
           a.httpBody() == b.httpBody() && a.httpBodyStream() == b.httpBodyStream() &&
           a.cachePolicy() == b.cachePolicy() && a.timeoutInterval() == b.timeoutInterval() &&
           a.httpShouldHandleCookies() == b.httpShouldHandleCookies();
}

}  // namespace

Ref<plat::OperationQueue> AFImageView::af_sharedImageRequestOperationQueue() {
    static const auto queue = [] {
        auto made = plat::OperationQueue::make();
        made->setMaxConcurrentOperationCount(
            plat::OperationQueue::kDefaultMaxConcurrentOperationCount);
        return made;
    }();
    return queue;
}

AFImageCache& AFImageView::af_sharedImageCache() {
    static AFImageCache cache;
    return cache;
}

void AFImageView::setImageWithURL(const plat::Url& url) {
    setImageWithURL(url, nullptr);
}

void AFImageView::setImageWithURL(const plat::Url& url, const Ref<plat::Image>& placeholderImage) {
    plat::UrlRequest request(url);
    request.setHttpShouldHandleCookies(false);
    request.setValueForHttpHeaderField("image/*", "Accept");
    setImageWithURLRequest(request, placeholderImage, nullptr, nullptr);
}

void AFImageView::setImageWithURLRequest(const plat::UrlRequest& request,
                                         const Ref<plat::Image>& placeholderImage,
                                         SuccessBlock success, FailureBlock failure) {
    cancelImageRequestOperation();
    if (const auto cached = af_sharedImageCache().cachedImageForRequest(request)) {
        if (success) {
            success(plat::UrlRequest(), std::nullopt, cached);
        } else {
            setImage(cached);
        }
        af_setImageRequestOperation(nullptr);
        return;
    }
    setImage(placeholderImage);
    auto operation =
        AFImageRequestOperation::operationWithRequest<AFImageRequestOperation>(request);
    auto view = shared_from_this();
    operation->setCompletionBlockWithSuccess(
        [request, view, success](const Ref<AFHTTPRequestOperation>& op,
                                 const Ref<plat::Image>& image) {
            const auto current = view->af_imageRequestOperation();
            if (current && sameRequest(request, current->request())) {
                if (success) {
                    success(op->request(), op->response(), image);
                } else {
                    view->setImage(image);
                }
                if (current == op)
                    view->af_setImageRequestOperation(nullptr);
            }
            af_sharedImageCache().cacheImage(image, request);
        },
        [request, view, failure](const Ref<AFHTTPRequestOperation>& op,
                                 const Ref<plat::Error>& error) {
            const auto current = view->af_imageRequestOperation();
            if (current && sameRequest(request, current->request())) {
                if (failure)
                    failure(op->request(), op->response(), error);
                if (current == op)
                    view->af_setImageRequestOperation(nullptr);
            }
        });
    af_setImageRequestOperation(operation);
    af_sharedImageRequestOperationQueue()->addOperation(operation);
}

void AFImageView::cancelAllImageRequests(double seconds) {
    const auto queue = af_sharedImageRequestOperationQueue();
    queue->cancelAllOperations();
    plat::RunLoop::main().runUntil([&] { return queue->operationCount() == 0; }, seconds);
}

void AFImageView::cancelImageRequestOperation() {
    if (operation_)
        operation_->cancel();
    af_setImageRequestOperation(nullptr);
}
