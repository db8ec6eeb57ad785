#include "auxiliary/net/ASINetworkQueue.h"

#include "external/ASIHTTPRequestMessages.h"
#include "platform/core/Exception.h"
#include "platform/runloop/Thread.h"

PLAT_DEFINE_CLASS(ASINetworkQueue, plat::OperationQueue, [](auto& c) {
    using M = ASIHTTPRequestQueueMessages;
    c.method(M::kStarted, &ASINetworkQueue::requestStarted)
        .method(M::kDidReceiveResponseHeaders, &ASINetworkQueue::requestDidReceiveResponseHeaders)
        .method(M::kWillRedirectToURL, &ASINetworkQueue::requestWillRedirectToURL)
        .method(M::kFinished, &ASINetworkQueue::requestFinished)
        .method(M::kFailed, &ASINetworkQueue::requestFailed)
        .method(M::kDidReceiveBytes, &ASINetworkQueue::requestDidReceiveBytes)
        .method(M::kDidSendBytes, &ASINetworkQueue::requestDidSendBytes)
        .method(M::kIncrementDownloadSizeBy, &ASINetworkQueue::requestIncrementDownloadSizeBy)
        .method(M::kIncrementUploadSizeBy, &ASINetworkQueue::requestIncrementUploadSizeBy)
        .method(M::kAuthenticationNeeded, &ASINetworkQueue::authenticationNeededForRequest)
        .method(M::kProxyAuthenticationNeeded,
                &ASINetworkQueue::proxyAuthenticationNeededForRequest);
})

namespace {

// Adds a signed amount to an unsigned sum, never below 0.
void addClamped(uint64_t& sum, int64_t amount) {
    if (amount >= 0) {
        sum += static_cast<uint64_t>(amount);
    } else {
        const uint64_t less = static_cast<uint64_t>(-(amount + 1)) + 1;
        sum = less > sum ? 0 : sum - less;
    }
}

}  // namespace

ASINetworkQueue::ASINetworkQueue() {
    setMaxConcurrentOperationCount(4);
    setSuspended(true);
}

ASINetworkQueue::~ASINetworkQueue() {
    for (const auto& operation : operations()) {
        if (auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(operation))
            request->setQueue(nullptr);
    }
}

void ASINetworkQueue::addOperation(const Ref<plat::Operation>& operation) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(operation);
    if (!request) {
        plat::raise("AttemptToAddInvalidRequest",
                    "Attempted to add an object that was not an ASIHTTPRequest to an "
                    "ASINetworkQueue");
    }
    ++requestsCount_;
    if (showAccurateProgress) {
        request->buildPostBody();
        if (request->requestMethod() == "GET" && isSuspended()) {
            auto head = request->HEADRequest();
            addHEADOperation(head);
            request->addDependency(head);
            if (request->shouldResetDownloadProgress()) {
                resetIndicator(downloadProgressDelegate());
                request->setShouldResetDownloadProgress(false);
            }
        }
        request->buildPostBody();
        addClamped(totalBytesToUpload_, static_cast<int64_t>(request->postLength()));
    } else {
        ++totalBytesToDownload_;
        ++totalBytesToUpload_;
    }
    if (request->shouldResetUploadProgress()) {
        resetIndicator(uploadProgressDelegate());
        request->setShouldResetUploadProgress(false);
    }
    request->setShowAccurateProgress(showAccurateProgress);
    request->setQueue(shared_from_this());
    plat::OperationQueue::addOperation(request);
}

void ASINetworkQueue::addHEADOperation(const Ref<plat::Operation>& operation) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(operation);
    if (!request)
        return;
    request->setRequestMethod("HEAD");
    request->setQueuePriority(10);
    request->setShowAccurateProgress(true);
    request->setQueue(shared_from_this());
    plat::OperationQueue::addOperation(request);
}

void ASINetworkQueue::cancelAllOperations() {
    bytesUploadedSoFar_ = totalBytesToUpload_ = 0;
    bytesDownloadedSoFar_ = totalBytesToDownload_ = 0;
    plat::OperationQueue::cancelAllOperations();
}

void ASINetworkQueue::reset() {
    cancelAllOperations();
    delegate.reset();
    setDownloadProgressDelegate(nullptr);
    setUploadProgressDelegate(nullptr);
    requestDidStartSelector.clear();
    requestDidReceiveResponseHeadersSelector.clear();
    requestDidFailSelector.clear();
    requestDidFinishSelector.clear();
    queueDidFinishSelector.clear();
    setSuspended(true);
}

Ref<ASINetworkQueue> ASINetworkQueue::copyWithZone() const {
    auto copy = std::static_pointer_cast<ASINetworkQueue>(getClass().make());
    copy->delegate = delegate;
    copy->requestDidStartSelector = requestDidStartSelector;
    copy->requestDidReceiveResponseHeadersSelector = requestDidReceiveResponseHeadersSelector;
    copy->requestWillRedirectSelector = requestWillRedirectSelector;
    copy->requestDidFinishSelector = requestDidFinishSelector;
    copy->requestDidFailSelector = requestDidFailSelector;
    copy->queueDidFinishSelector = queueDidFinishSelector;
    copy->uploadProgressDelegate_ = uploadProgressDelegate_;
    copy->downloadProgressDelegate_ = downloadProgressDelegate_;
    copy->shouldCancelAllRequestsOnFailure = shouldCancelAllRequestsOnFailure;
    copy->showAccurateProgress = showAccurateProgress;
    copy->userInfo = userInfo;  // immutable: sharing it is copying it
    return copy;
}

void ASINetworkQueue::setUploadProgressDelegate(const Ref<plat::Object>& indicator) {
    uploadProgressDelegate_ = indicator;
    resetIndicator(indicator);
}

void ASINetworkQueue::setDownloadProgressDelegate(const Ref<plat::Object>& indicator) {
    downloadProgressDelegate_ = indicator;
    resetIndicator(indicator);
}

void ASINetworkQueue::resetIndicator(const Ref<plat::Object>& indicator) {
    if (!indicator)
        return;
    plat::performOnMainThread(
        [indicator] {
            plat::sendIfResponds(indicator, ASIProgressIndicatorMessages::kSetMaxValue, 1.0);
            plat::sendIfResponds(indicator, ASIProgressIndicatorMessages::kSetDoubleValue, 0.0);
        },
        false);
}

void ASINetworkQueue::showProgress(const Ref<plat::Object>& indicator, uint64_t soFar,
                                   uint64_t total) {
    if (!indicator)
        return;
    const double fraction =
        total == 0 ? 0.0 : static_cast<double>(soFar) / static_cast<double>(total);
    plat::sendIfResponds(indicator, ASIProgressIndicatorMessages::kSetDoubleValue, fraction);
}

void ASINetworkQueue::tellDelegate(const std::string& selector, const Ref<plat::Object>& argument) {
    const auto target = delegate.lock();
    if (target && !selector.empty())
        plat::sendIfResponds(target, plat::Selector(selector), argument);
}

void ASINetworkQueue::requestStarted(Ref<plat::Object> request) {
    tellDelegate(requestDidStartSelector, request);
}

void ASINetworkQueue::requestDidReceiveResponseHeaders(Ref<plat::Object> request,
                                                       plat::Value headers) {
    const auto target = delegate.lock();
    if (target && !requestDidReceiveResponseHeadersSelector.empty()) {
        plat::sendIfResponds(target, plat::Selector(requestDidReceiveResponseHeadersSelector),
                             request, headers);
    }
}

void ASINetworkQueue::requestWillRedirectToURL(Ref<plat::Object> request, plat::Value url) {
    const auto target = delegate.lock();
    if (target && !requestWillRedirectSelector.empty())
        plat::sendIfResponds(target, plat::Selector(requestWillRedirectSelector), request, url);
}

void ASINetworkQueue::requestFinished(Ref<plat::Object> request) {
    --requestsCount_;
    tellDelegate(requestDidFinishSelector, request);
    if (requestsCount_ == 0)
        tellDelegate(queueDidFinishSelector, shared_from_this());
}

void ASINetworkQueue::requestFailed(Ref<plat::Object> request) {
    --requestsCount_;
    tellDelegate(requestDidFailSelector, request);
    if (requestsCount_ == 0)
        tellDelegate(queueDidFinishSelector, shared_from_this());
    if (shouldCancelAllRequestsOnFailure && requestsCount_ > 0)
        cancelAllOperations();
}

void ASINetworkQueue::requestDidReceiveBytes(Ref<plat::Object>, uint64_t bytes) {
    addClamped(bytesDownloadedSoFar_, static_cast<int64_t>(bytes));
    showProgress(downloadProgressDelegate(), bytesDownloadedSoFar_, totalBytesToDownload_);
}

void ASINetworkQueue::requestDidSendBytes(Ref<plat::Object>, int64_t bytes) {
    addClamped(bytesUploadedSoFar_, bytes);
    showProgress(uploadProgressDelegate(), bytesUploadedSoFar_, totalBytesToUpload_);
}

void ASINetworkQueue::requestIncrementDownloadSizeBy(Ref<plat::Object>, int64_t bytes) {
    addClamped(totalBytesToDownload_, bytes);
}

void ASINetworkQueue::requestIncrementUploadSizeBy(Ref<plat::Object>, int64_t bytes) {
    addClamped(totalBytesToUpload_, bytes);
}

void ASINetworkQueue::authenticationNeededForRequest(Ref<plat::Object> request) {
    tellDelegate("authenticationNeededForRequest:", request);
}

void ASINetworkQueue::proxyAuthenticationNeededForRequest(Ref<plat::Object> request) {
    tellDelegate("proxyAuthenticationNeededForRequest:", request);
}

bool ASINetworkQueue::respondsToSelector(plat::Selector selector) const {
    const auto target = delegate.lock();
    const std::string& name = selector.name();
    if (name == "authenticationNeededForRequest:" ||
        name == "proxyAuthenticationNeededForRequest:") {
        return target && plat::respondsToSelector(target, selector);
    }
    if (name == "request:willRedirectToURL:") {
        return target && !requestWillRedirectSelector.empty() &&
               plat::respondsToSelector(target, plat::Selector(requestWillRedirectSelector));
    }
    return plat::OperationQueue::respondsToSelector(selector);
}
