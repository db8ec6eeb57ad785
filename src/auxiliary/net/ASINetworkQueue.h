#pragma once
// ASINetworkQueue: an operation queue for engine requests only, run as one batch: it starts
// suspended (go() starts it), runs four at a time, sums upload and download progress over its
// requests for two indicators, hands each request's start, headers, redirect, finish and failure
// to its delegate through the selectors set (only when the delegate answers them), tells the
// delegate when the last request is done, and can cancel the rest when one fails.
#include <cstdint>
#include <string>

#include "external/ASIHTTPRequest.h"
#include "platform/runloop/OperationQueue.h"

class ASINetworkQueue : public plat::OperationQueue {
    PLAT_CLASS(ASINetworkQueue)
  public:
    ASINetworkQueue();
    static Ref<ASINetworkQueue> queue() { return std::make_shared<ASINetworkQueue>(); }
    ~ASINetworkQueue() override;

    void go() { setSuspended(false); }
    // NSInvalidArgumentException-like "AttemptToAddInvalidRequest" for anything but a request.
    void addOperation(const Ref<plat::Operation>& operation) override;
    void addHEADOperation(const Ref<plat::Operation>& operation);
    void cancelAllOperations() override;
    void reset();
    Ref<ASINetworkQueue> copyWithZone() const;

    // Hooks the requests send (on the main thread).
    void requestStarted(Ref<plat::Object> request);
    void requestDidReceiveResponseHeaders(Ref<plat::Object> request, plat::Value headers);
    void requestWillRedirectToURL(Ref<plat::Object> request, plat::Value url);
    void requestFinished(Ref<plat::Object> request);
    void requestFailed(Ref<plat::Object> request);
    void requestDidReceiveBytes(Ref<plat::Object> request, uint64_t bytes);
    void requestDidSendBytes(Ref<plat::Object> request, int64_t bytes);
    void requestIncrementDownloadSizeBy(Ref<plat::Object> request, int64_t bytes);
    void requestIncrementUploadSizeBy(Ref<plat::Object> request, int64_t bytes);
    void authenticationNeededForRequest(Ref<plat::Object> request);
    void proxyAuthenticationNeededForRequest(Ref<plat::Object> request);
    bool respondsToSelector(plat::Selector selector) const override;

    // Settings.
    WeakRef<plat::Object> delegate;
    std::string requestDidStartSelector;
    std::string requestDidReceiveResponseHeadersSelector;
    std::string requestWillRedirectSelector;
    std::string requestDidFinishSelector;
    std::string requestDidFailSelector;
    std::string queueDidFinishSelector;
    bool shouldCancelAllRequestsOnFailure = true;
    bool showAccurateProgress = false;
    Ref<plat::Dictionary> userInfo;

    Ref<plat::Object> uploadProgressDelegate() const { return uploadProgressDelegate_.lock(); }
    Ref<plat::Object> downloadProgressDelegate() const { return downloadProgressDelegate_.lock(); }
    void setUploadProgressDelegate(const Ref<plat::Object>& indicator);
    void setDownloadProgressDelegate(const Ref<plat::Object>& indicator);

    // Counters (main thread). The byte sums never go below 0.
    int32_t requestsCount() const { return requestsCount_; }
    uint64_t bytesUploadedSoFar() const { return bytesUploadedSoFar_; }
    uint64_t totalBytesToUpload() const { return totalBytesToUpload_; }
    uint64_t bytesDownloadedSoFar() const { return bytesDownloadedSoFar_; }
    uint64_t totalBytesToDownload() const { return totalBytesToDownload_; }

  private:
    static void resetIndicator(const Ref<plat::Object>& indicator);
    static void showProgress(const Ref<plat::Object>& indicator, uint64_t soFar, uint64_t total);
    void tellDelegate(const std::string& selector, const Ref<plat::Object>& argument);

    WeakRef<plat::Object> uploadProgressDelegate_;
    WeakRef<plat::Object> downloadProgressDelegate_;
    int32_t requestsCount_ = 0;
    uint64_t bytesUploadedSoFar_ = 0, totalBytesToUpload_ = 0;
    uint64_t bytesDownloadedSoFar_ = 0, totalBytesToDownload_ = 0;
};
