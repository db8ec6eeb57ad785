#include "vnlib/domain/content/VnUrlDownloader.h"

#include <atomic>
#include <charconv>
#include <mutex>

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/web/VnNetworkActivityNotificationCenter.h"

PLAT_DEFINE_CLASS(VnUrlDownloader, VnRequestContext, PLAT_NO_METHODS)

namespace {

struct LocalCacheStorage {
    std::mutex lock;
    Ref<plat::Object> storage;
};

LocalCacheStorage& localCacheStorage() {
    static LocalCacheStorage holder;
    return holder;
}

// A token of its own for each downloader, never 0.
int32_t newLockerToken() {
    static std::atomic<int32_t> next{0};
    int32_t token = ++next;
    if (token <= 0)
        token = next = 1;
    return token;
}

// The first byte position of "bytes <first>-<last>/<length>"; nothing for other texts.
std::optional<int64_t> contentRangeStart(std::string_view header) {
    constexpr std::string_view kUnit = "bytes ";
    if (header.substr(0, kUnit.size()) != kUnit)
        return std::nullopt;
    header.remove_prefix(kUnit.size());
    int64_t first = 0;
    const auto [end, ec] = std::from_chars(header.data(), header.data() + header.size(), first);
    if (ec != std::errc() || end == header.data() + header.size() || *end != '-')
        return std::nullopt;
    return first;
}

std::string fieldsText(const plat::HttpHeaderFields& fields) {
    std::string text;
    for (const auto& [name, value] : fields)
        text += name + ": " + (name == "Authorization" || name == "Cookie" ? "***" : value) + "\n";
    return text;
}

void activityStarted() {
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidStart();
}

void activityFinished() {
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidFinish();
}

}  // namespace

VnUrlDownloader::VnUrlDownloader(std::optional<plat::Url> fileUrl,
                                 Ref<VnLocalCacheAsset> cacheAsset)
    : fileUrl_(std::move(fileUrl)),
      cacheAsset_(std::move(cacheAsset)),
      lockerToken_(newLockerToken()) {
    PLAT_PARAMETER_ASSERT(cacheAsset_);
}

VnUrlDownloader::~VnUrlDownloader() {
    cancelConnection();
    releaseWritingLock();
}

void VnUrlDownloader::setLocalCacheStorage(Ref<plat::Object> storage) {
    auto& holder = localCacheStorage();
    std::lock_guard guard(holder.lock);
    holder.storage = std::move(storage);
}

VnConnectionQueue& VnUrlDownloader::connectionQueue() {
    static VnConnectionQueue queue(kMaxRunningConnections);
    return queue;
}

plat::UrlRequest VnUrlDownloader::requestWithResumeAtPosition(int64_t position) const {
    plat::UrlRequest request(*fileUrl_, plat::UrlRequest::CachePolicy::UseProtocolCachePolicy,
                             kRequestTimeoutInterval);
    if (position != 0)
        request.setValueForHttpHeaderField(
            plat::format("bytes=%lld-", static_cast<long long>(position)), "Range");
    // Bytes as the server stores them, so that lengths and ranges count the file itself.
    request.setValueForHttpHeaderField("", "Accept-Encoding");
    return request;
}

bool VnUrlDownloader::loadFromLocalCacheURL(const plat::Url& localUrl) {
    cacheAsset_->clearData();
    return !cacheAsset_->appendContentsOfFileURL(localUrl, kLocalCopyChunk);
}

void VnUrlDownloader::coreStart() {
    remainingContentLength_ = 0;
    if (!fileUrl_ || !fileUrl_->isValid()) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("Invalid URL"));
        return;
    }
    if (cacheWritingLock_ == 0) {
        cacheWritingLock_ = cacheAsset_->tryObtainWritingLockWithLocker(lockerToken_);
        if (cacheWritingLock_ == 0) {
            // Another downloader is writing this file: leave it alone.
            coreQueueNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
                "Cannot obtain writing lock for asset " + cacheAsset_->filePath().string()));
            return;
        }
    }
    if (cacheAsset_->state() == VnLocalCacheAssetStateComplete) {
        queueRaiseCompleteDownload();
        return;
    }
    Ref<plat::Object> storage;
    {
        auto& holder = localCacheStorage();
        std::lock_guard guard(holder.lock);
        storage = holder.storage;
    }
    if (storage) {
        const auto local =
            plat::send(storage, kLocalCacheURLForURL, plat::Value(fileUrl_->absoluteString()));
        const auto localUrl = local.isString() ? plat::Url::parse(*local.string()) : std::nullopt;
        if (localUrl && loadFromLocalCacheURL(*localUrl)) {
            markCompletedAndNotify();
            return;
        }
    }

    resumePos_ = cacheAsset_->currentLength();
    currentRequest_ = requestWithResumeAtPosition(resumePos_);
    remoteConnection_ = plat::UrlConnection::make(*currentRequest_, self<VnUrlDownloader>());
    remoteConnection_->scheduleInRunLoop(plat::RunLoop::current(), plat::kDefaultRunLoopMode);
    VND_TRACE("Webservice", "Start loading URL: %s", fileUrl_->absoluteString().c_str());
    connectionQueue().enter(remoteConnection_);
    activityStarted();
}

void VnUrlDownloader::corePrioritize() {
    if (remoteConnection_)
        connectionQueue().prioritize(remoteConnection_);
}

void VnUrlDownloader::cancelConnection() {
    if (remoteConnection_) {
        auto connection = std::move(remoteConnection_);
        remoteConnection_.reset();
        connection->cancel();
        connectionQueue().leave(connection);
        cacheAsset_->flushWritingCache();
        activityFinished();
    }
    releaseWritingLock();
}

void VnUrlDownloader::releaseWritingLock() {
    if (cacheWritingLock_ != 0 && cacheAsset_->lockingToken() == cacheWritingLock_)
        cacheAsset_->unlockWithWritingLockToken(cacheWritingLock_);
    cacheWritingLock_ = 0;
}

void VnUrlDownloader::restartWithoutRange() {
    cancelConnection();
    cacheAsset_->clearData();
    coreStart();
}

void VnUrlDownloader::finishWithFailure(const Ref<VnRequestResult>& result) {
    cancelConnection();
    coreNotifyFinishWithResult(result);
}

void VnUrlDownloader::didReceiveResponse(plat::UrlConnection& connection,
                                         const plat::HttpUrlResponse& response) {
    if (&connection != remoteConnection_.get())
        return;
    const int status = response.statusCode();
    VND_TRACE("Webservice", "Request: %s - %s \nResponse: HTTP-%d %s",
              currentRequest_->url().absoluteString().c_str(),
              fieldsText(currentRequest_->allHttpHeaderFields()).c_str(), status,
              fieldsText(response.allHeaderFields()).c_str());
    if (status == 200 || status == 206) {
        const auto contentRange = response.allHeaderFields().first("Content-Range");
        const int64_t expected = response.expectedContentLength();
        if (status == 206 && contentRange) {
            // The bytes must continue exactly where the partial file ends.
            if (contentRangeStart(*contentRange) != resumePos_) {
                restartWithoutRange();
                return;
            }
        } else if (expected >= 0 && expected == cacheAsset_->currentLength()) {
            // The whole file, and what is held is as long: it is complete already.
            cancelConnection();
            markCompletedAndNotify();
            return;
        } else {
            // The whole file from its start.
            cacheAsset_->clearData();
        }
        remainingContentLength_ = expected >= 0 ? std::optional<int64_t>(expected) : std::nullopt;
        return;
    }
    if (status == 416) {
        restartWithoutRange();
        return;
    }
    if (status >= 300) {
        VND_TRACE("Error", "HTTP resopnse error code %d for URL %s", status,
                  fileUrl_->absoluteString().c_str());
        finishWithFailure(VnRequestResult::failedResultWithErrorMessage(
            plat::format("HTTP respnse error code %d", status)));
        return;
    }
    remainingContentLength_ = std::nullopt;
}

void VnUrlDownloader::didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) {
    if (&connection != remoteConnection_.get())
        return;
    if (auto error = cacheAsset_->appendData(data)) {
        // A file that cannot take the bytes (a full disk) ends the download; nothing half-made
        // stays behind.
        cancelConnection();
        cacheAsset_->clearData();
        coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(plat::Value(), error));
        return;
    }
    if (remainingContentLength_)
        *remainingContentLength_ -= static_cast<int64_t>(data.size());
    reportProgress();
}

void VnUrlDownloader::reportProgress() {
    const auto done = static_cast<float>(cacheAsset_->currentLength());
    const float left = remainingContentLength_ && *remainingContentLength_ > 0
                           ? static_cast<float>(*remainingContentLength_)
                           : 0.0f;
    coreReportProgress(VnRequestProgressMake(done, done + left));
}

void VnUrlDownloader::didFinishLoading(plat::UrlConnection& connection) {
    if (&connection != remoteConnection_.get())
        return;
    activityFinished();
    VND_TRACE("FileSystem", "File downloaded: %s", cacheAsset_->filePath().c_str());
    auto finished = std::move(remoteConnection_);
    remoteConnection_.reset();
    connectionQueue().leave(finished);
    // An unknown length ends with the stream; a known one must have arrived whole.
    if (!remainingContentLength_ || *remainingContentLength_ <= 0) {
        markCompletedAndNotify();
        return;
    }
    if (retryCount_ < kMaxRetries) {
        ++retryCount_;
        coreStart();
        return;
    }
    cacheAsset_->flushWritingCache();
    releaseWritingLock();
    coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
        "The download ended short of its length after " + std::to_string(kMaxRetries) +
        " retries"));
}

void VnUrlDownloader::didFailWithError(plat::UrlConnection& connection,
                                       const Ref<plat::Error>& error) {
    if (&connection != remoteConnection_.get())
        return;
    activityFinished();
    auto failed = std::move(remoteConnection_);
    remoteConnection_.reset();
    connectionQueue().leave(failed);
    VND_TRACE("Webservice", "Connection failed: %s", error ? error->description().c_str() : "");
    cacheAsset_->flushWritingCache();
    ++retryCount_;
    if (retryCount_ <= kMaxRetries) {
        VND_TRACE("Webservice", "Retry %d for %s", retryCount_, fileUrl_->absoluteString().c_str());
        coreStart();
        return;
    }
    releaseWritingLock();
    coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(plat::Value(), error));
}

void VnUrlDownloader::markCompletedAndNotify() {
    cacheAsset_->markCompleted();
    cacheAssetCompleted(cacheAsset_);
}

void VnUrlDownloader::cacheAssetCompleted(const Ref<VnLocalCacheAsset>&) {
    releaseWritingLock();
    raiseCompleteDownload();
}

void VnUrlDownloader::raiseCompleteDownload() {
    if (cacheAsset_->state() != VnLocalCacheAssetStateComplete) {
        coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
            "The downloaded file could not be put in place: " + cacheAsset_->filePath().string()));
        return;
    }
    coreNotifyFinishWithResult(
        VnRequestResult::resultWithReturnValue(plat::Value(cacheAsset_->contentAsset()), nullptr));
}

void VnUrlDownloader::queueRaiseCompleteDownload() {
    coreQueueNotifyFinishWithResult(
        VnRequestResult::resultWithReturnValue(plat::Value(cacheAsset_->contentAsset()), nullptr));
}
