#pragma once
// MagazinePageUIContext: the screen side of one page of an opened issue: it listens to the page's
// loading context, tells any number of listeners (not kept) what arrives, builds the page's widget
// tree once its interactive files are there, and answers the page's alignment in a spread and its
// background. Made by the issue's UI context, one per source page; it refers back to that context
// without keeping it.
//
// Listener messages (optional): MagazinePageUIContextDelegate below; a listener may also answer
// "pageUIContextPageInteractiveAssetsAvailable:", which is never sent.
#include <QColor>
#include <QSizeF>
#include <functional>
#include <mutex>
#include <span>

#include "platform/core/Message.h"
#include "vnlib/dev/request/VnRequestProgress.h"
#include "vnlib/dev/util/VndObject.h"

namespace plat {
class Image;
}
class MagazineIssueUIContext;
class MulticastDelegate;
class VisibleWidget;
class VnMagazineIssuePageContext;
class VnRequestContext;
class VnRequestResult;
class WidgetAssetManager;
class MagazinePageUIContext;

// What a page UI context tells its listeners, declared once with their C++ types.
struct MagazinePageUIContextDelegate {
    using Page = Ref<MagazinePageUIContext>;
    static constexpr plat::Message<void(const Page&)> kSmallThumbnailImageAvailable{
        "pageUIContextSmallThumbnailImageAvailable:"};
    static constexpr plat::Message<void(const Page&)> kFullPageImageAvailable{
        "pageUIContextFullPageImageAvailable:"};
    static constexpr plat::Message<void(const Page&)> kPageContentPainterAvailable{
        "pageUIContextPageContentPainterAvailable:"};
    static constexpr plat::Message<void(const Page&)> kRootWidgetAvailable{
        "pageUIContextRootWidgetAvailable:"};
    static constexpr plat::Message<void(const Page&, VnRequestProgress)> kPageLoadingProgress{
        "pageUIContext:pageLoadingProgress:"};
};

class MagazinePageUIContext : public VndObject {
    PLAT_CLASS(MagazinePageUIContext)
  public:
    static constexpr int64_t kFileSizeLimit = 1300000;

    // Becomes the page context's delegate; a null page context is an assertion failure. A page
    // whose content and interactive files are all there already counts as finished.
    static Ref<MagazinePageUIContext> initWithMagazineIssueUIContext(
        const Ref<MagazineIssueUIContext>& issueUIContext,
        const Ref<VnMagazineIssuePageContext>& pageContext);
    MagazinePageUIContext(const Ref<MagazineIssueUIContext>& issueUIContext,
                          Ref<VnMagazineIssuePageContext> pageContext);
    ~MagazinePageUIContext() override;

    virtual const Ref<VnMagazineIssuePageContext>& pageContext() const { return pageContext_; }
    Ref<MagazineIssueUIContext> magazineIssueUIContext() const;
    const Ref<WidgetAssetManager>& assetManager() const { return assetManager_; }

    // ---- Widgets ----
    // The page's widget tree: null until the interactive files have loaded, then built once.
    virtual Ref<VisibleWidget> rootWidget();
    bool interactiveFinished() const { return interactiveFinished_; }

    // ---- Listeners ----
    // A listener is registered once and becomes the newest.
    void addDelegate(const Ref<plat::Object>& listener);
    void removeDelegate(const Ref<plat::Object>& listener);

    // ---- Page context callbacks ----
    void pageContextDidFinishLoadingPage(const Ref<plat::Object>& pageContext);
    void pageContextDidFinishLoadingFullPageImage(const Ref<plat::Object>& pageContext);
    void pageContextDidFinishLoadingInteractiveFiles(const Ref<plat::Object>& pageContext);
    void pageContext_loadingProgress(const Ref<plat::Object>& pageContext,
                                     VnRequestProgress progress);

    // ---- Images ----
    void updateSmallThumbnailImage(const Ref<plat::Image>& image);
    void updateFullPageImage(const Ref<plat::Image>& image);
    void cleanupPainterIfNeeded();
    bool allThumbnailAvailable() const;
    void notifyPagePainterAvailableOrPending();
    void smallThumbnailGeneration_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                              const Ref<VnRequestResult>& result);
    void fullPageImageGeneration_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                             const Ref<VnRequestResult>& result);
    void imageLoader_request_didFinishWithResult(const Ref<VnRequestContext>&,
                                                 const Ref<VnRequestResult>&) {}
    // Whether the page's cached file is larger than 1,300,000 bytes (a missing file is empty).
    bool checkFileSizeOverLimit() const;
    void saveSmallThumbnailImageWithImageData(std::span<const uint8_t> data);
    void saveFullPageImageWithImageData(std::span<const uint8_t> data);
    void buildFullPageLayerFromImage(const Ref<plat::Image>& image);
    void startRequestFullPageImage();
    void ensurePageContentPainterIfAvailable() {}
    void synchronousLoadImages() {}
    void ensureImages() {}
    void setGenerateImages(bool generate);
    bool generateImages() const { return generateImages_; }
    void setGenerateSmallThumbnail(bool generate);
    bool generateSmallThumbnail() const { return generateSmallThumbnail_; }
    const Ref<plat::Image>& smallThumbnailImage() const { return smallThumbnailImage_; }
    const Ref<plat::Image>& fullPageImage() const { return fullPageImage_; }
    QSizeF fullPageImageRenderSize() const;
    Ref<plat::Object> fullPageLayer() const;
    // Requests in flight, set by whoever produces page images.
    const Ref<VnRequestContext>& smallThumbnailGenerationRequest() const {
        return smallThumbnailGenerationRequest_;
    }
    void setSmallThumbnailGenerationRequest(const Ref<VnRequestContext>& request) {
        smallThumbnailGenerationRequest_ = request;
    }
    const Ref<VnRequestContext>& fullPageImageGenerationRequest() const {
        return fullPageImageGenerationRequest_;
    }
    void setFullPageImageGenerationRequest(const Ref<VnRequestContext>& request) {
        fullPageImageGenerationRequest_ = request;
    }
    const Ref<VnRequestContext>& fullPageImageLoadingRequest() const {
        return fullPageImageLoadingRequest_;
    }
    void setFullPageImageLoadingRequest(const Ref<VnRequestContext>& request) {
        fullPageImageLoadingRequest_ = request;
    }

    // ---- Loading ----
    void startLoading();
    void prioritizeLoading();
    void purgeMemoryCache() override;
    void cancelRequest(const Ref<VnRequestContext>& request);
    bool pageContentAssetAvailable() const;

    // ---- Layout ----
    void setDisplayMode(int32_t mode) { displayMode_ = mode; }
    int32_t displayMode() const { return displayMode_; }
    // 0 left, 1 centre, 2 right.
    int32_t contentAlignmentWithSlotIndex(int32_t slotIndex, bool doublePage) const;
    QColor effectiveBackgroundColor() const;

  private:
    // Tells the listeners, after the page's arrival while the issue holds that back.
    void tellListeners(
        const plat::Message<void(const MagazinePageUIContextDelegate::Page&)>& message);
    void sendAfterArrival(std::function<void()> send);

    WeakRef<MagazineIssueUIContext> magazineIssueUIContext_;
    Ref<VnMagazineIssuePageContext> pageContext_;
    Ref<WidgetAssetManager> assetManager_;
    Ref<MulticastDelegate> delegate_;
    Ref<plat::Image> smallThumbnailImage_;
    Ref<plat::Image> fullPageImage_;
    Ref<VnRequestContext> smallThumbnailGenerationRequest_;
    Ref<VnRequestContext> fullPageImageGenerationRequest_;
    Ref<VnRequestContext> fullPageImageLoadingRequest_;
    Ref<VnRequestContext> smallThumbnailLoadingRequest_;
    mutable std::mutex lock_;
    Ref<plat::Object> fullPageLayer_;
    Ref<VisibleWidget> rootWidget_;
    bool generateImages_ = false;
    bool generateSmallThumbnail_ = false;
    bool interactiveFinished_ = false;
    int32_t displayMode_ = 0;
};
