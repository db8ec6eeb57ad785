#include "app/issueui/MagazinePageUIContext.h"

#include <filesystem>

#include "app/issueui/ContainerWidget.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetFactory.h"
#include "platform/core/Log.h"
#include "platform/image/Image.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

PLAT_DEFINE_CLASS(MagazinePageUIContext, VndObject, [](auto& c) {
    c.method("pageContextDidFinishLoadingPage:",
             &MagazinePageUIContext::pageContextDidFinishLoadingPage)
        .method("pageContextDidFinishLoadingFullPageImage:",
                &MagazinePageUIContext::pageContextDidFinishLoadingFullPageImage)
        .method("pageContextDidFinishLoadingInteractiveFiles:",
                &MagazinePageUIContext::pageContextDidFinishLoadingInteractiveFiles)
        .method("pageContext:loadingProgress:", &MagazinePageUIContext::pageContext_loadingProgress)
        .method("smallThumbnailGeneration_request:didFinishWithResult:",
                &MagazinePageUIContext::smallThumbnailGeneration_request_didFinishWithResult)
        .method("fullPageImageGeneration_request:didFinishWithResult:",
                &MagazinePageUIContext::fullPageImageGeneration_request_didFinishWithResult)
        .method("imageLoader_request:didFinishWithResult:",
                &MagazinePageUIContext::imageLoader_request_didFinishWithResult);
})

Ref<MagazinePageUIContext> MagazinePageUIContext::initWithMagazineIssueUIContext(
    const Ref<MagazineIssueUIContext>& issueUIContext,
    const Ref<VnMagazineIssuePageContext>& pageContext) {
    auto page = std::make_shared<MagazinePageUIContext>(issueUIContext, pageContext);
    pageContext->setDelegate(page);
    // A page whose files all arrived before it had a UI context will not say so again.
    if (pageContext->pageContentAssetAvailable() && pageContext->renderingInfo() &&
        !pageContext->interactiveDownloading())
        page->interactiveFinished_ = true;
    return page;
}

MagazinePageUIContext::MagazinePageUIContext(const Ref<MagazineIssueUIContext>& issueUIContext,
                                             Ref<VnMagazineIssuePageContext> pageContext)
    : magazineIssueUIContext_(issueUIContext), pageContext_([&] {
          PLAT_PARAMETER_ASSERT(pageContext);
          return std::move(pageContext);
      }()) {
    assetManager_ = std::make_shared<WidgetAssetManager>(pageContext_);
    delegate_ = std::make_shared<MulticastDelegate>();
}

MagazinePageUIContext::~MagazinePageUIContext() {
    if (rootWidget_)
        rootWidget_->detachFromView();
}

Ref<MagazineIssueUIContext> MagazinePageUIContext::magazineIssueUIContext() const {
    return magazineIssueUIContext_.lock();
}

// ---- Widgets
// ---------------------------------------------------------------------------------------

Ref<VisibleWidget> MagazinePageUIContext::rootWidget() {
    if (rootWidget_ || !interactiveFinished_)
        return rootWidget_;
    auto root = std::make_shared<ContainerWidget>();
    auto info = pageContext_->renderingInfo();
    if (info && info->widgetDictionaries()) {
        info->widgetDictionaries()->enumerate([&](const plat::Value& description) {
            try {
                if (auto widget = WidgetFactory::widgetWithDictionary(description, assetManager_))
                    root->addSubwidget(widget);
            } catch (const std::exception& e) {
                VND_TRACE("Error", "A widget of page %d was skipped: %s",
                          pageContext_->sourcePageIndex(), e.what());
            }
            return true;
        });
    }
    rootWidget_ = root;
    return rootWidget_;
}

// ---- Listeners
// -------------------------------------------------------------------------------------

void MagazinePageUIContext::addDelegate(const Ref<plat::Object>& listener) {
    delegate_->removeDelegate(listener);
    delegate_->addDelegate(listener);
}

void MagazinePageUIContext::removeDelegate(const Ref<plat::Object>& listener) {
    delegate_->removeDelegate(listener);
}

// ---- Page context callbacks
// ------------------------------------------------------------------------

void MagazinePageUIContext::pageContextDidFinishLoadingPage(const Ref<plat::Object>&) {
    ensurePageContentPainterIfAvailable();
    notifyPagePainterAvailableOrPending();
    ensureImages();
}

void MagazinePageUIContext::pageContextDidFinishLoadingFullPageImage(const Ref<plat::Object>&) {
    startRequestFullPageImage();
}

void MagazinePageUIContext::pageContextDidFinishLoadingInteractiveFiles(const Ref<plat::Object>&) {
    interactiveFinished_ = true;
    if (pageContext_->renderingInfo())
        tellListeners(MagazinePageUIContextDelegate::kRootWidgetAvailable);
}

void MagazinePageUIContext::pageContext_loadingProgress(const Ref<plat::Object>&,
                                                        VnRequestProgress progress) {
    const auto page = self<MagazinePageUIContext>();
    sendAfterArrival([page, progress] {
        plat::send(page->delegate_, MagazinePageUIContextDelegate::kPageLoadingProgress, page,
                   progress);
    });
}

void MagazinePageUIContext::tellListeners(
    const plat::Message<void(const MagazinePageUIContextDelegate::Page&)>& message) {
    const auto page = self<MagazinePageUIContext>();
    sendAfterArrival([page, message] { plat::send(page->delegate_, message, page); });
}

void MagazinePageUIContext::sendAfterArrival(std::function<void()> send) {
    // The page's arrival comes before what it tells of the page: while the issue holds it back
    // for its file's check, this waits behind it.
    if (const auto issue = magazineIssueUIContext_.lock())
        issue->sendAfterPageArrival(pageContext_->sourcePageIndex(), std::move(send));
    else
        send();
}

// ---- Images
// ----------------------------------------------------------------------------------------

void MagazinePageUIContext::updateSmallThumbnailImage(const Ref<plat::Image>& image) {
    smallThumbnailImage_ = image;
    tellListeners(MagazinePageUIContextDelegate::kSmallThumbnailImageAvailable);
}

void MagazinePageUIContext::updateFullPageImage(const Ref<plat::Image>& image) {
    VND_TRACE("Performance", "Update full page image at sourcePageIndex:%d withImage:%s",
              pageContext_->sourcePageIndex(), image ? image->description().c_str() : "(null)");
    fullPageImage_ = image;
    tellListeners(MagazinePageUIContextDelegate::kFullPageImageAvailable);
}

void MagazinePageUIContext::cleanupPainterIfNeeded() {
    if (!smallThumbnailGenerationRequest_ && !fullPageImageGenerationRequest_)
        VND_TRACE("Memory", "Painter purged after thumbnail generation at page %d",
                  pageContext_->sourcePageIndex());
}

bool MagazinePageUIContext::allThumbnailAvailable() const {
    return pageContext_->smallThumbnailImageAssetAvailable() &&
           pageContext_->fullPageImageAssetAvailable();
}

void MagazinePageUIContext::notifyPagePainterAvailableOrPending() {
    tellListeners(MagazinePageUIContextDelegate::kPageContentPainterAvailable);
}

void MagazinePageUIContext::smallThumbnailGeneration_request_didFinishWithResult(
    const Ref<VnRequestContext>&, const Ref<VnRequestResult>& result) {
    smallThumbnailGenerationRequest_.reset();
    if (result && result->succeed())
        updateSmallThumbnailImage(result->returnValue().as<plat::Image>());
    cleanupPainterIfNeeded();
    smallThumbnailImage_.reset();
}

void MagazinePageUIContext::fullPageImageGeneration_request_didFinishWithResult(
    const Ref<VnRequestContext>&, const Ref<VnRequestResult>& result) {
    fullPageImageGenerationRequest_.reset();
    if (result && result->succeed() && generateImages_)
        updateFullPageImage(result->returnValue().as<plat::Image>());
    cleanupPainterIfNeeded();
    fullPageImage_.reset();
}

// Measures the page's cached file itself, at its own path. The cache writes a page's file under
// that name with no ".varnel" suffix, and no file of the suffixed name ever exists, so looking
// for one would always find nothing and answer NO. The size is read in 64 bits.
bool MagazinePageUIContext::checkFileSizeOverLimit() const {
    auto cache = pageContext_->localCacheAsset();
    if (!cache)
        return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(cache->filePath(), ec);
    return !ec && size > static_cast<uintmax_t>(kFileSizeLimit);
}

void MagazinePageUIContext::saveSmallThumbnailImageWithImageData(std::span<const uint8_t> data) {
    if (!pageContext_->disposed())
        pageContext_->saveSmallThumbnailImageWithImageData(data);
}

void MagazinePageUIContext::saveFullPageImageWithImageData(std::span<const uint8_t> data) {
    if (!pageContext_->disposed())
        pageContext_->saveFullPageImageWithImageData(data);
}

void MagazinePageUIContext::buildFullPageLayerFromImage(const Ref<plat::Image>&) {
    std::lock_guard guard(lock_);
}

Ref<plat::Object> MagazinePageUIContext::fullPageLayer() const {
    std::lock_guard guard(lock_);
    return fullPageLayer_;
}

void MagazinePageUIContext::startRequestFullPageImage() {
    if (!fullPageImageLoadingRequest_ && !fullPageImage_ && generateImages_)
        pageContext_->fullPageImageAsset();
}

void MagazinePageUIContext::setGenerateImages(bool generate) {
    if (generate == generateImages_)
        return;
    VND_TRACE("GUI", "Generate image changed to %s at sourcePageIndex:%d", generate ? "1" : "0",
              pageContext_->sourcePageIndex());
    generateImages_ = generate;
    if (generate) {
        if (pageContext_->fullPageImageAssetAvailable())
            startRequestFullPageImage();
    } else {
        fullPageImage_.reset();
        fullPageImageLoadingRequest_.reset();
        std::lock_guard guard(lock_);
        fullPageLayer_.reset();
    }
}

void MagazinePageUIContext::setGenerateSmallThumbnail(bool generate) {
    if (generate == generateSmallThumbnail_)
        return;
    generateSmallThumbnail_ = generate;
    if (generate)
        (void)pageContext_->smallThumbnailImageAssetAvailable();
}

QSizeF MagazinePageUIContext::fullPageImageRenderSize() const {
    if (!fullPageImage_)
        return {};
    return QSizeF(fullPageImage_->width(), fullPageImage_->height());
}

// ---- Loading
// ---------------------------------------------------------------------------------------

void MagazinePageUIContext::startLoading() {
    if (generateImages_ && pageContext_->pageContentAssetAvailable()) {
        ensureImages();
        notifyPagePainterAvailableOrPending();
    }
    pageContext_->startLoading();
}

void MagazinePageUIContext::prioritizeLoading() {
    pageContext_->prioritizeLoading();
    auto issue = magazineIssueUIContext();
    if (!issue)
        return;
    for (const auto& request :
         {smallThumbnailGenerationRequest_, fullPageImageGenerationRequest_}) {
        if (request)
            issue->prioritizePageRelatedRequest(request);
    }
}

void MagazinePageUIContext::purgeMemoryCache() {
    VndObject::purgeMemoryCache();
    if (rootWidget_ && !rootWidget_->attachedView())
        rootWidget_.reset();
}

void MagazinePageUIContext::cancelRequest(const Ref<VnRequestContext>& request) {
    if (!request)
        return;
    request->cancel();
    request->setDelegate(nullptr);
}

bool MagazinePageUIContext::pageContentAssetAvailable() const {
    return pageContext_->pageContentAssetAvailable();
}

// ---- Layout
// ----------------------------------------------------------------------------------------

int32_t MagazinePageUIContext::contentAlignmentWithSlotIndex(int32_t slotIndex,
                                                             bool doublePage) const {
    const auto issue = magazineIssueUIContext();
    const auto info = pageContext_->renderingInfo();
    int32_t code = VnMagazineIssuePageRenderingInfo::kDefaultAlignment;
    if (info)
        code = doublePage ? info->doublePageAlignment() : info->singlePageAlignment();
    if (code == VnMagazineIssuePageRenderingInfo::kDefaultAlignment) {
        auto issueInfo = issue ? issue->renderingInfo() : nullptr;
        code = !issueInfo   ? 0
               : doublePage ? issueInfo->defaultDoublePageAlignment()
                            : issueInfo->defaultSinglePageAlignment();
    }
    int32_t evenChoice = 2;
    int32_t oddChoice = 0;
    const bool isBook = issue && issue->context()->info()->bookKind() == 1;
    if (!doublePage && isBook)
        evenChoice = oddChoice = 1;
    switch (code) {
        case 1:
            evenChoice = oddChoice = 0;
            break;
        case 2:
            evenChoice = oddChoice = 2;
            break;
        case 3:
            evenChoice = oddChoice = 1;
            break;
        default:
            break;
    }
    return slotIndex % 2 != 0 ? oddChoice : evenChoice;
}

QColor MagazinePageUIContext::effectiveBackgroundColor() const {
    const auto info = pageContext_->renderingInfo();
    const VnColor own = info ? info->backgroundColor() : VnColor::clearColor();
    QColor color = QColor::fromRgbF(static_cast<float>(own.red), static_cast<float>(own.green),
                                    static_cast<float>(own.blue), static_cast<float>(own.alpha));
    const auto issue = magazineIssueUIContext();
    if (color.alphaF() < 0.01f) {
        auto issueInfo = issue ? issue->renderingInfo() : nullptr;
        color = issueInfo ? issueInfo->defaultPageBackgroundColor() : QColor(0, 0, 0, 0);
    }
    if (color.alphaF() < 0.01f) {
        const bool isBook = issue && issue->context()->info()->bookKind() == 1;
        return isBook && pageContext_->sourcePageIndex() > 0 ? QColor(255, 255, 255)
                                                             : QColor(0, 0, 0);
    }
    return color;
}
