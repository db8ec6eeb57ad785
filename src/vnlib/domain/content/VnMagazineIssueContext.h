#pragma once
// VnMagazineIssueContext: loads one catalogue item of the user into the content cache: its page
// list, its rendering metadata, the download location of every page and interactive file (one
// request), then the page files in reading order, at most 4 at a time. Failed pages — and a
// failed page list, metadata or location request — are asked for again on a 15-second timer.
// The item is marked finished once every page, the metadata and every interactive file are
// cached. One page context per source page. Whoever waits for a page may hear of its fetch
// failing (whenPageFetchFails), rather than wait for the retries.
//
// An opening belongs to the item's files as it found them: once the item is returned (its files
// taken away) the context stops its loading, asks for nothing more and writes nothing into the
// item's folder or its library entry; it keeps the page list it had, so that a reader still
// showing it goes on. An opening after a new loan is a new context.
//
// Delegate messages (optional unless said): "magazineIssueContextWillStartLoading:",
// "magazineIssueContext:pageAvalable:", "magazineIssueContext:requestedPageAvilable:",
// "magazineIssueContextDidFinishLoadingInteractive:",
// "magazineIssueContext:interactiveAssetFilesForRenderingInfo:" (sent whenever a delegate is set:
// answers a list of file ids), "magazineIssueContextDidFinishLoadingPageInfos:".
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/domain/content/VnContentAssetId.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"
#include "vnlib/domain/lists/VnDomain.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"

class VnArchiveFileGeneration;
class VnBookStoreUserContext;
class VnLocalArchive;
class VnMagazineIssueContext;

// The issue context's delegate messages, declared once with their C++ types.
struct VnMagazineIssueContextDelegate {
    using Issue = Ref<VnMagazineIssueContext>;
    static constexpr plat::Message<void(const Issue&)> kWillStartLoading{
        "magazineIssueContextWillStartLoading:"};
    static constexpr plat::Message<void(const Issue&, int32_t)> kPageAvailable{
        "magazineIssueContext:pageAvalable:"};
    static constexpr plat::Message<void(const Issue&, int32_t)> kRequestedPageAvailable{
        "magazineIssueContext:requestedPageAvilable:"};
    static constexpr plat::Message<void(const Issue&)> kDidFinishLoadingInteractive{
        "magazineIssueContextDidFinishLoadingInteractive:"};
    static constexpr plat::Message<void(const Issue&)> kDidFinishLoadingPageInfos{
        "magazineIssueContextDidFinishLoadingPageInfos:"};
    // Answers the list of interactive file ids of a page (its rendering information).
    static constexpr plat::Message<plat::Value(const Issue&,
                                               const Ref<VnMagazineIssuePageRenderingInfo>&)>
        kInteractiveAssetFilesForRenderingInfo{
            "magazineIssueContext:interactiveAssetFilesForRenderingInfo:"};
};

// What the issue context tells its user context when the item is read through, or not.
struct VnMagazineIssueReadingMessages {
    static constexpr plat::Message<void(const plat::Value&)> kMarkReaded{"markReaded:"};
    static constexpr plat::Message<void(const plat::Value&)> kMarkUnReaded{"markUnReaded:"};
};

struct VnSize {
    double width = 0;
    double height = 0;
    bool operator==(const VnSize&) const = default;
};

class VnMagazineIssueContext : public plat::Object {
    PLAT_CLASS(VnMagazineIssueContext)
  public:
    static constexpr double kRetryInterval = 15.0;

    // Made through make(): the page contexts need the object's own reference.
    static Ref<VnMagazineIssueContext> make(const Ref<VnBookStoreUserContext>& userContext,
                                            const Ref<VnMagazineIssueInfo>& info);
    VnMagazineIssueContext(Ref<VnBookStoreUserContext> userContext, Ref<VnMagazineIssueInfo> info);
    ~VnMagazineIssueContext() override;

    // ---- Loading ----
    void startLoadingAllPages();
    void startLoadingWithPages(const std::vector<int32_t>& sourcePageIndices);
    Ref<VnRequestContext> requestForLoadingMetadata();
    Ref<VnRequestContext> requestForPreviewPage(int32_t sourcePageIndex);
    void startRequestPageContentAssetWithSourcePageIndex(int32_t sourcePageIndex);
    void prioritizePageWithSourcePageIndex(int32_t sourcePageIndex);
    void cancelLoading();

    // ---- Queries ----
    // The page list (VnPageInfo) this opening reads: the item's, while its files are the ones
    // the opening found; the one it had, once the item was returned.
    const Ref<plat::Array>& pageArray() const;
    // Whether the item was returned (its files taken away) since this context was made.
    bool itemReturned() const;
    // Whether this context was made for the member's sample of the item and that sample has ended
    // since (a loan of the item taken, or the sample deleted): the page list it asked is the
    // sample's, not the loan's.
    bool sampleEnded() const;
    bool metadataAvailable() const;
    bool contentRenderingMetadataAvailable() const;
    Ref<VnContentAssetId> contentRenderingMetadataAssetId() const;
    // The rendering metadata property list; nothing while it cannot be read. Once its file has
    // arrived it is read on a worker thread (prepareRenderingMetadata), so that the reader opening
    // the issue finds it made; asked before that read has started, it is read here.
    plat::Value contentRenderingMetadata();
    void prepareRenderingMetadata();
    Ref<VnMagazineIssuePageContext> pageContextWithSourcePageIndex(int32_t sourcePageIndex);
    // Null for an empty page list.
    std::optional<std::vector<Ref<VnMagazineIssuePageContext>>> allPageContexts();
    size_t finishedPageCount();
    Ref<VnContentAssetId> contentAssetIdWithSourcePageIndex(int32_t sourcePageIndex) const;
    Ref<VnContentAsset> contentAssetWithSourcePageIndex(int32_t sourcePageIndex) const;
    bool contentAssetAvailbleAtSourcePageIndex(int32_t sourcePageIndex) const;
    Ref<VnContentAssetId> interactiveContentAssetIdWithFileId(const std::string& fileId) const;
    bool interactiveDownloading() const { return !loadingInteractivePageContextMap_.empty(); }
    Ref<VnLocalCacheAsset> localCacheWithId(const std::string& idString) const;
    Ref<VnLocalCacheAsset> thumbnailCacheWithSourcePageIndex(int32_t sourcePageIndex) const;
    Ref<VnContentAsset> thumbnailWithSourcePageIndex(int32_t sourcePageIndex) const;
    bool thumbnailAvailableAtSourcePageIndex(int32_t sourcePageIndex) const;
    void saveThumbnail(std::span<const uint8_t> jpegData, int32_t sourcePageIndex);
    const Ref<VnRequestManager>& contextRequestManager() const { return commonRequestQueue_; }
    const Ref<VnRequestManager>& pageRequestManager() const { return pageRequestManager_; }
    const Ref<VnMagazineIssueInfo>& info() const { return info_; }
    const Ref<VnBookStoreUserContext>& userContext() const { return userContext_; }
    const Ref<VnDomain>& priceDomain() const { return priceDomain_; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    bool downloading() const { return downloading_; }
    // The request that locates the pages' files while it runs; null before and after.
    const Ref<VnRequestContext>& assetFileUrlRequest() const { return assetFileUrlRequest_; }
    bool online() const { return online_; }
    void setOnline(bool online) { online_ = online; }
    bool firstPageInFirstSlot() const { return false; }
    bool retryTimerRunning() const { return retryTimer_ != nullptr; }

    // ---- A page's fetch (its download location, then its file) ----
    // The failed result of the page's latest fetch, when that fetch ended failed (not cancelled)
    // and the page was not asked for again since; null otherwise.
    Ref<VnRequestResult> pageFetchFailure(int32_t sourcePageIndex) const;
    // Calls `then` once, on a later turn, with the failed result of the next fetch of the page
    // that ends failed (not cancelled). Nothing is called once `owner` is gone, nor after the
    // loading was cancelled meanwhile.
    void whenPageFetchFails(int32_t sourcePageIndex, std::weak_ptr<const void> owner,
                            std::function<void(const Ref<VnRequestResult>&)> then);

    // ---- Covers ----
    Ref<VnContentAssetId> assetIdForCoverFrameSize(VnSize size) const;
    Ref<VnContentAsset> coverAssetWithFrameSize(VnSize size) const;
    Ref<VnContentAsset> coverAssetWithFullSize() const;
    void updateCoverAssetWithFrameSize(VnSize size, std::span<const uint8_t> imageData);
    bool tryLoadFullResolutionCoverImage();
    // The size of an image fitted into a frame; a zero original size fits as zero.
    static VnSize coverImageSizeForOriginalSize(VnSize original, VnSize target);
    Ref<VnRequestContext> requestForCoverWithFrameSize(VnSize size);
    Ref<VnRequestContext> requestForCoverWithFullSize() { return requestForCoverWithFrameSize({}); }

    // ---- For page contexts and request callbacks ----
    void _notifyInteractiveAssetDidStartLoading(const Ref<VnMagazineIssuePageContext>& page);
    void _notifyInteractiveAssetDidFinishLoading(const Ref<VnMagazineIssuePageContext>& page);
    // A page's interactive file arrived: pages already loaded that name it too (and did not
    // ask for it while that request was queued) take it now.
    void _notifyInteractiveFileArrived(const std::string& fileId,
                                       const VnMagazineIssuePageContext* from);
    void pageInfos_request_didFinishWithResult(Ref<VnRequestContext> request,
                                               Ref<VnRequestResult> result);
    void xml_request_didFinishWithResult(Ref<VnRequestContext> request,
                                         Ref<VnRequestResult> result);
    void loadingMetadata_request_didFinishWithResult(Ref<VnRequestContext>, Ref<VnRequestResult>) {}
    void pageFile_request_didFinishWithResult(Ref<VnRequestContext> request,
                                              Ref<VnRequestResult> result);
    void pageFile_request_progressReport(Ref<VnRequestContext> request, VnRequestProgress progress);
    void assetFileUrl_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                  Ref<VnRequestResult> result);
    Ref<plat::Object> processRequest_result(Ref<VnRequestContext> request,
                                            Ref<VnRequestResult> result);
    void checkDelayedPages();
    void checkFinished();
    // With the metadata known and pages open: preloads the item's cached files, asks the user
    // context (when it answers "markReaded:") to mark the item read and stops the retry timer;
    // otherwise a read item is marked unread ("markUnReaded:"). Nothing calls it yet.
    void checkReaded();
    void refreshPageContextAtSourcePageIndex(int32_t sourcePageIndex);

  private:
    Ref<VnRequestContext> pageInfosRequestThen(std::function<void()> continuation);
    void startRequestAllAssetIds();
    void startQueuePageLoading();
    void enqueuePageRequest(const Ref<VnPageInfo>& pageInfo);
    void processPageFileArrivalAtIndex(int32_t sourcePageIndex);
    void ensureRetryTimer();
    void stopRetryTimer();
    // The page asked for again, or arrived.
    void forgetPageFetchFailure(int32_t sourcePageIndex) {
        failedPageFetches_.erase(sourcePageIndex);
    }
    void pageFetchFailed(int32_t sourcePageIndex, const Ref<VnRequestResult>& result);
    std::map<int32_t, Ref<VnMagazineIssuePageContext>>& finishedPageMap();
    std::vector<Ref<VnPageInfo>> pageInfos() const;
    // The number of page infos in the page list, counted once per list.
    size_t pageInfoCount() const;
    const std::set<std::string>& allInteractiveFileIds();
    Ref<VnLocalArchive> itemArchive() const;

    Ref<VnBookStoreUserContext> userContext_;
    Ref<VnMagazineIssueInfo> info_;
    std::shared_ptr<VnArchiveFileGeneration> fileGeneration_;
    uint64_t fileGenerationSeen_ = 0;
    bool madeForSample_ = false;
    mutable Ref<plat::Array> pageArray_;
    Ref<VnRequestManager> pageRequestManager_;
    Ref<VnRequestManager> commonRequestQueue_;
    Ref<VnDomain> priceDomain_;
    std::set<int32_t> customRequestedSourcePageIndices_;
    std::map<int32_t, Ref<VnMagazineIssuePageContext>> pageContextMap_;
    std::map<int32_t, Ref<VnRequestContext>> previewRequestMap_;
    std::map<int32_t, Ref<VnMagazineIssuePageContext>> loadingInteractivePageContextMap_;
    std::vector<Ref<VnPageInfo>> delayedPageInfos_;
    std::optional<std::map<int32_t, Ref<VnMagazineIssuePageContext>>> finishedPageContextMap_;
    plat::Value contentRenderingMetadata_;
    struct MetadataRead;
    std::shared_ptr<MetadataRead> metadataRead_;  // started on a worker, not taken yet
    Ref<VnRequestContext> loadingPageInfosRootRequest_;
    Ref<VnRequestContext> loadingXmlRootRequest_;
    Ref<VnRequestContext> loadingMetadataRootRequest_;
    // The running request for the download locations of the pages and files: cancelling the
    // loading cancels it, so that its answer queues no page.
    Ref<VnRequestContext> assetFileUrlRequest_;
    std::vector<int32_t> locatingPages_;  // the pages that request locates
    // Pages whose latest fetch failed, and who waits to hear of a page's fetch failing.
    std::map<int32_t, Ref<VnRequestResult>> failedPageFetches_;
    struct PageFetchWait {
        int32_t sourcePageIndex;
        std::weak_ptr<const void> owner;
        std::function<void(const Ref<VnRequestResult>&)> then;
    };
    std::vector<PageFetchWait> pageFetchWaits_;
    // Counts the cancellations of the loading: what was started before one does not go on.
    uint64_t loadingGeneration_ = 0;
    std::optional<std::set<std::string>> allInteractiveFileIds_;
    // Set once every file of allInteractiveFileIds_ was found cached (cached files stay).
    bool interactiveFilesCached_ = false;
    mutable Ref<plat::Array> countedPageArray_;
    mutable size_t countedPageArraySize_ = 0;
    mutable size_t pageInfoCount_ = 0;
    WeakRef<plat::Object> delegate_;
    Ref<plat::Timer> retryTimer_;
    bool downloading_ = false;
    bool online_ = false;
    bool retryFullLoad_ = false;  // a page list, metadata or location request failed
};
