#pragma once
// VnMagazineIssuePageContext: one source page of an issue context: the page's PDF, its rendering
// info (from the item's rendering metadata, else the "*<index>" fallback), the reader's cached
// full-page image ("page_%04d") and thumbnail ("thumb_%04d"), and the page's interactive files,
// loaded once the page file has arrived and retried every 5 seconds until they load. Interactive
// file ids that cannot name a file are dropped (logged in "Error") so that the page can finish.
//
// Delegate messages (optional): "pageContextDidFinishLoadingPage:",
// "pageContextDidFinishLoadingInteractiveFiles:", "pageContext:loadingProgress:".
#include <map>
#include <set>
#include <string>

#include "platform/core/Message.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssuePageRenderingInfo.h"

class VnMagazineIssueContext;
class VnMagazineIssuePageContext;

// The page context's delegate messages, declared once with their C++ types.
struct VnMagazineIssuePageContextDelegate {
    using Page = Ref<VnMagazineIssuePageContext>;
    static constexpr plat::Message<void(const Page&)> kDidFinishLoadingPage{
        "pageContextDidFinishLoadingPage:"};
    static constexpr plat::Message<void(const Page&)> kDidFinishLoadingFullPageImage{
        "pageContextDidFinishLoadingFullPageImage:"};
    static constexpr plat::Message<void(const Page&)> kDidFinishLoadingSmallThumbnailImage{
        "pageContextDidFinishLoadingSmallThumbnailImage:"};
    static constexpr plat::Message<void(const Page&)> kDidFinishLoadingInteractiveFiles{
        "pageContextDidFinishLoadingInteractiveFiles:"};
    static constexpr plat::Message<void(const Page&, VnRequestProgress)> kLoadingProgress{
        "pageContext:loadingProgress:"};
};
class VnRequestManager;

class VnMagazineIssuePageContext : public VndObject {
    PLAT_CLASS(VnMagazineIssuePageContext)
  public:
    static constexpr double kInteractiveRetryInterval = 5.0;

    VnMagazineIssuePageContext(const Ref<VnMagazineIssueContext>& issueContext,
                               int32_t sourcePageIndex);
    ~VnMagazineIssuePageContext() override;

    int32_t sourcePageIndex() const { return sourcePageIndex_; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    bool disposed() const { return issueContext_.expired(); }

    void startLoading();
    void cancelLoading();
    void prioritizeLoading();
    bool pageContentAssetAvailable() const;
    Ref<VnContentAsset> pageContentAsset() const;
    Ref<VnLocalCacheAsset> localCacheAsset() const;

    // Null while the item's rendering metadata is not cached.
    Ref<VnMagazineIssuePageRenderingInfo> renderingInfo();
    std::optional<std::string> pageName();
    void setPageName(std::string name) { pageName_ = std::move(name); }

    std::string fullPageImageAssetId() const;
    std::string smallThumbnailImageAssetId() const;
    bool fullPageImageAssetAvailable() const;
    bool smallThumbnailImageAssetAvailable() const;
    Ref<VndDataProxy> fullPageImageAsset();
    Ref<VnContentAsset> smallThumbnailImageAsset() const;
    void saveFullPageImageWithImageData(std::span<const uint8_t> data);
    void saveSmallThumbnailImageWithImageData(std::span<const uint8_t> data);

    // The page's interactive file ids, asked of the issue context's delegate once.
    const std::set<std::string>& interactiveFileIds();
    Ref<VnContentAsset> interactiveAssetWithId(const std::string& fileId) const;
    bool interactiveDownloading();
    std::vector<Ref<VnLocalCacheAsset>> interactiveLocalCacheAssets();
    Ref<VnRequestManager> pageInteractiveAssetRequestManager() const;
    void purgeMemoryCache() override;

    // ---- For the issue context ----
    void _didFinishLoadingPage();
    // Tell the delegate that the full-page image or the small thumbnail is cached (the issue
    // context does not load those images today; a caller that does calls these).
    void _didFinishLoadingFullPageImage();
    void _didFinishLoadingSmallThumbnailImage();
    void _dispose();
    void startLoadingInteractiveAssets();
    bool startLoadingInteractiveAssetWithFileIdIfNeeded(const std::string& fileId);
    void notifyInteractiveFinishIfNeeded();
    void interactive_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                 Ref<VnRequestResult> result);

  private:
    Ref<VnMagazineIssueContext> issueContext() const { return issueContext_.lock(); }
    void performLater(const char* action, double delay, void (VnMagazineIssuePageContext::*fn)(),
                      bool commonModes = false);

    int32_t sourcePageIndex_;
    WeakRef<VnMagazineIssueContext> issueContext_;
    std::map<std::string, Ref<VnContentAsset>> interactiveFileMap_;
    std::optional<std::set<std::string>> interactiveFileIds_;
    Ref<VndCachableDataProxy> fullPageProxy_;
    Ref<VnMagazineIssuePageRenderingInfo> renderingInfo_;
    WeakRef<plat::Object> delegate_;
    std::optional<std::string> pageName_;
};
