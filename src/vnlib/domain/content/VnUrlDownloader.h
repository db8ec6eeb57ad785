#pragma once
// VnUrlDownloader: fetches one file over HTTP into one cache asset, resuming from the bytes
// already there ("Range: bytes=N-"), restarting from zero when the server refuses or misplaces
// the range, and retrying a broken or short transfer up to 3 times in all. The process runs at
// most 4 transfers at once; a waiting one can be moved to the front. It holds the asset's writing
// lock while it works, so a second downloader of the same asset fails instead of mixing bytes.
// Its result is the content asset of the completed file.
//
// A reply without a length is read to its end; a 200 reply whose length equals what is held
// completes at once; any status of 300 or more except 416 fails ("HTTP respnse error code %d").
#include <cstdint>
#include <optional>

#include "platform/core/Message.h"
#include "platform/net/UrlConnection.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/web/VnConnectionQueue.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"

class VnUrlDownloader : public VnRequestContext, public plat::UrlConnectionDelegate {
    PLAT_CLASS(VnUrlDownloader)
  public:
    static constexpr double kRequestTimeoutInterval = 15.0;
    static constexpr int32_t kMaxRetries = 3;
    static constexpr size_t kMaxRunningConnections = 4;
    static constexpr size_t kLocalCopyChunk = 102400;

    // A missing URL fails the download ("Invalid URL") when it starts.
    VnUrlDownloader(std::optional<plat::Url> fileUrl, Ref<VnLocalCacheAsset> cacheAsset);
    ~VnUrlDownloader() override;  // cancels the connection, frees the writing lock

    const std::optional<plat::Url>& fileUrl() const { return fileUrl_; }
    const Ref<VnLocalCacheAsset>& cacheAsset() const { return cacheAsset_; }
    bool downloading() const { return false; }
    int32_t retryCount() const { return retryCount_; }

    // The one message the local cache storage answers: remote URL text -> local file URL text
    // or nil.
    static constexpr plat::Message<plat::Value(const plat::Value&)> kLocalCacheURLForURL{
        "localCacheURLForURL:"};
    // An object answering kLocalCacheURLForURL whose files are copied instead of downloaded;
    // none by default.
    static void setLocalCacheStorage(Ref<plat::Object> storage);
    // The process-wide queue of transfers.
    static VnConnectionQueue& connectionQueue();

    plat::UrlRequest requestWithResumeAtPosition(int64_t position) const;
    bool loadFromLocalCacheURL(const plat::Url& localUrl);
    void markCompletedAndNotify();
    void cacheAssetCompleted(const Ref<VnLocalCacheAsset>& asset);
    void raiseCompleteDownload();
    void queueRaiseCompleteDownload();

    void didReceiveResponse(plat::UrlConnection& connection,
                            const plat::HttpUrlResponse& response) override;
    void didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) override;
    void didFinishLoading(plat::UrlConnection& connection) override;
    void didFailWithError(plat::UrlConnection& connection, const Ref<plat::Error>& error) override;

  protected:
    void coreStart() override;
    void coreCancel() override { cancelConnection(); }
    void corePrioritize() override;

  private:
    void cancelConnection();
    void releaseWritingLock();
    void restartWithoutRange();
    void finishWithFailure(const Ref<VnRequestResult>& result);
    void reportProgress();

    std::optional<plat::Url> fileUrl_;
    Ref<VnLocalCacheAsset> cacheAsset_;
    Ref<plat::UrlConnection> remoteConnection_;
    int32_t cacheWritingLock_ = 0;
    std::optional<plat::UrlRequest> currentRequest_;
    // Bytes still expected from the current reply; nothing when its length is not known.
    std::optional<int64_t> remainingContentLength_;
    int64_t resumePos_ = 0;
    int32_t retryCount_ = 0;
    const int32_t lockerToken_;
};
