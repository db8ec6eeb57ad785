#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

#include <cstdio>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/VnItemCode.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

PLAT_DEFINE_CLASS(VnMagazineIssuePageContext, VndObject, [](auto& c) {
    c.method("interactive_request:didFinishWithResult:",
             &VnMagazineIssuePageContext::interactive_request_didFinishWithResult);
})

namespace {
std::string numbered(const char* prefix, int32_t index) {
    char text[32];
    std::snprintf(text, sizeof text, "%s_%04d", prefix, index);
    return text;
}
}  // namespace

VnMagazineIssuePageContext::VnMagazineIssuePageContext(
    const Ref<VnMagazineIssueContext>& issueContext, int32_t sourcePageIndex)
    : sourcePageIndex_(sourcePageIndex), issueContext_(issueContext) {}

VnMagazineIssuePageContext::~VnMagazineIssuePageContext() {
    plat::RunLoop::current().cancelPerforms(this);
}

void VnMagazineIssuePageContext::performLater(const char* action, double delay,
                                              void (VnMagazineIssuePageContext::*fn)(),
                                              bool commonModes) {
    plat::RunLoop::current().perform(
        [weak = weakSelf<VnMagazineIssuePageContext>(), fn] {
            if (auto me = weak.lock())
                ((*me).*fn)();
        },
        delay, commonModes ? plat::commonModes() : plat::defaultModes(), this, action);
}

void VnMagazineIssuePageContext::startLoading() {
    auto issue = issueContext();
    if (!issue)
        return;
    if (pageContentAssetAvailable())
        performLater("_didFinishLoadingPage", 0, &VnMagazineIssuePageContext::_didFinishLoadingPage,
                     true);
    else
        issue->startLoadingWithPages({sourcePageIndex_});
}

void VnMagazineIssuePageContext::cancelLoading() {
    auto& loop = plat::RunLoop::current();
    loop.cancelPerforms(this, "notifyInteractiveFinishIfNeeded");
    loop.cancelPerforms(this, "startLoadingInteractiveAssets");
    loop.cancelPerforms(this, "_didFinishLoadingPage");
    auto issue = issueContext();
    if (!issue || !interactiveFileIds_)
        return;
    for (const auto& fileId : *interactiveFileIds_) {
        if (auto request = issue->contextRequestManager()->requestForId(plat::Value(fileId)))
            request->cancel();
    }
}

void VnMagazineIssuePageContext::prioritizeLoading() {
    if (auto issue = issueContext())
        issue->prioritizePageWithSourcePageIndex(sourcePageIndex_);
}

bool VnMagazineIssuePageContext::pageContentAssetAvailable() const {
    auto issue = issueContext();
    return issue && issue->contentAssetAvailbleAtSourcePageIndex(sourcePageIndex_);
}

Ref<VnContentAsset> VnMagazineIssuePageContext::pageContentAsset() const {
    auto issue = issueContext();
    return issue ? issue->contentAssetWithSourcePageIndex(sourcePageIndex_) : nullptr;
}

Ref<VnLocalCacheAsset> VnMagazineIssuePageContext::localCacheAsset() const {
    auto issue = issueContext();
    return issue ? issue->userContext()->cachedAssetWithId(
                       issue->contentAssetIdWithSourcePageIndex(sourcePageIndex_))
                 : nullptr;
}

Ref<VnMagazineIssuePageRenderingInfo> VnMagazineIssuePageContext::renderingInfo() {
    if (renderingInfo_)
        return renderingInfo_;
    auto issue = issueContext();
    if (!issue || !issue->contentRenderingMetadataAvailable())
        return nullptr;
    renderingInfo_ = VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(
        issue->contentRenderingMetadata(), sourcePageIndex_);
    return renderingInfo_;
}

std::optional<std::string> VnMagazineIssuePageContext::pageName() {
    auto info = renderingInfo();
    return info ? info->pageName() : std::nullopt;
}

std::string VnMagazineIssuePageContext::fullPageImageAssetId() const {
    return numbered("page", sourcePageIndex_);
}

std::string VnMagazineIssuePageContext::smallThumbnailImageAssetId() const {
    return numbered("thumb", sourcePageIndex_);
}

bool VnMagazineIssuePageContext::fullPageImageAssetAvailable() const {
    auto issue = issueContext();
    return issue && issue->localCacheWithId(fullPageImageAssetId())->state() ==
                        VnLocalCacheAssetStateComplete;
}

bool VnMagazineIssuePageContext::smallThumbnailImageAssetAvailable() const {
    auto issue = issueContext();
    return issue && issue->localCacheWithId(smallThumbnailImageAssetId())->state() ==
                        VnLocalCacheAssetStateComplete;
}

Ref<VndDataProxy> VnMagazineIssuePageContext::fullPageImageAsset() {
    auto issue = issueContext();
    if (!fullPageProxy_ && issue)
        fullPageProxy_ = std::make_shared<VndCachableDataProxy>(
            issue->localCacheWithId(fullPageImageAssetId())->contentAsset());
    return fullPageProxy_;
}

Ref<VnContentAsset> VnMagazineIssuePageContext::smallThumbnailImageAsset() const {
    auto issue = issueContext();
    return issue ? issue->localCacheWithId(smallThumbnailImageAssetId())->contentAsset() : nullptr;
}

void VnMagazineIssuePageContext::saveFullPageImageWithImageData(std::span<const uint8_t> data) {
    if (auto issue = issueContext(); issue && !issue->itemReturned())
        issue->localCacheWithId(fullPageImageAssetId())->replaceWithData(data);
}

void VnMagazineIssuePageContext::saveSmallThumbnailImageWithImageData(
    std::span<const uint8_t> data) {
    if (auto issue = issueContext(); issue && !issue->itemReturned())
        issue->localCacheWithId(smallThumbnailImageAssetId())->replaceWithData(data);
}

const std::set<std::string>& VnMagazineIssuePageContext::interactiveFileIds() {
    if (interactiveFileIds_)
        return *interactiveFileIds_;
    interactiveFileIds_.emplace();
    auto issue = issueContext();
    auto delegate = issue ? issue->delegate() : nullptr;
    if (!delegate)
        return *interactiveFileIds_;
    auto ids =
        plat::send(delegate, VnMagazineIssueContextDelegate::kInteractiveAssetFilesForRenderingInfo,
                   issue, renderingInfo());
    if (auto list = ids.array()) {
        list->enumerate([&](const plat::Value& id) {
            const std::string* text = id.string();
            if (text && VnIsUsableItemCode(*text))
                interactiveFileIds_->insert(*text);
            else
                VND_TRACE("Error", "Dropped an interactive file id that cannot name a file: %s",
                          id.description().c_str());
            return true;
        });
    }
    return *interactiveFileIds_;
}

Ref<VnContentAsset> VnMagazineIssuePageContext::interactiveAssetWithId(
    const std::string& fileId) const {
    auto it = interactiveFileMap_.find(fileId);
    return it == interactiveFileMap_.end() ? nullptr : it->second;
}

bool VnMagazineIssuePageContext::interactiveDownloading() {
    return interactiveFileMap_.size() < interactiveFileIds().size();
}

std::vector<Ref<VnLocalCacheAsset>> VnMagazineIssuePageContext::interactiveLocalCacheAssets() {
    std::vector<Ref<VnLocalCacheAsset>> assets;
    auto issue = issueContext();
    if (!issue)
        return assets;
    for (const auto& fileId : interactiveFileIds())
        assets.push_back(issue->userContext()->cachedAssetWithId(
            issue->interactiveContentAssetIdWithFileId(fileId)));
    return assets;
}

Ref<VnRequestManager> VnMagazineIssuePageContext::pageInteractiveAssetRequestManager() const {
    auto issue = issueContext();
    return issue ? issue->contextRequestManager() : nullptr;
}

void VnMagazineIssuePageContext::purgeMemoryCache() {
    VndObject::purgeMemoryCache();
    if (fullPageProxy_)
        fullPageProxy_->purgeMemoryCache();
}

void VnMagazineIssuePageContext::_didFinishLoadingPage() {
    plat::sendIfResponds(delegate_, VnMagazineIssuePageContextDelegate::kDidFinishLoadingPage,
                         self<VnMagazineIssuePageContext>());
    startLoadingInteractiveAssets();
}

void VnMagazineIssuePageContext::_didFinishLoadingFullPageImage() {
    plat::sendIfResponds(delegate_,
                         VnMagazineIssuePageContextDelegate::kDidFinishLoadingFullPageImage,
                         self<VnMagazineIssuePageContext>());
}

void VnMagazineIssuePageContext::_didFinishLoadingSmallThumbnailImage() {
    plat::sendIfResponds(delegate_,
                         VnMagazineIssuePageContextDelegate::kDidFinishLoadingSmallThumbnailImage,
                         self<VnMagazineIssuePageContext>());
}

void VnMagazineIssuePageContext::_dispose() {
    cancelLoading();
    issueContext_.reset();
}

void VnMagazineIssuePageContext::startLoadingInteractiveAssets() {
    auto issue = issueContext();
    if (!issue || !issue->delegate())
        return;
    bool started = false;
    for (const auto& fileId : std::set(interactiveFileIds()))
        started = startLoadingInteractiveAssetWithFileIdIfNeeded(fileId) || started;
    if (started)
        issue->_notifyInteractiveAssetDidStartLoading(self<VnMagazineIssuePageContext>());
    performLater("notifyInteractiveFinishIfNeeded", 0,
                 &VnMagazineIssuePageContext::notifyInteractiveFinishIfNeeded);
}

bool VnMagazineIssuePageContext::startLoadingInteractiveAssetWithFileIdIfNeeded(
    const std::string& fileId) {
    auto issue = issueContext();
    if (!issue || issue->itemReturned() || interactiveFileMap_.contains(fileId))
        return false;
    auto user = issue->userContext();
    auto assetId = issue->interactiveContentAssetIdWithFileId(fileId);
    if (user->isContentAssetAvaiableWithId(assetId)) {
        interactiveFileMap_[fileId] = user->contentAssetWithId(assetId);
        return false;
    }
    auto queue = issue->contextRequestManager();
    if (queue->requestForId(plat::Value(fileId)))
        return false;
    auto request = user->requestAssetForMagazineIssue(issue->info(), assetId);
    request->setDelegate(self(), "interactive_");
    request->setUserInfo(plat::Value(fileId));
    queue->enqueueRequest(request, plat::Value(fileId));
    return true;
}

void VnMagazineIssuePageContext::interactive_request_didFinishWithResult(
    Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    const std::string* fileId = request->userInfo().string();
    auto asset = result->returnValue().as<VnContentAsset>();
    if (result->succeed() && fileId && asset) {
        interactiveFileMap_[*fileId] = asset;
        if (auto issue = issueContext())
            issue->_notifyInteractiveFileArrived(*fileId, this);
    } else
        performLater("startLoadingInteractiveAssets", kInteractiveRetryInterval,
                     &VnMagazineIssuePageContext::startLoadingInteractiveAssets);
    notifyInteractiveFinishIfNeeded();
}

void VnMagazineIssuePageContext::notifyInteractiveFinishIfNeeded() {
    auto issue = issueContext();
    if (!issue || interactiveFileMap_.size() < interactiveFileIds().size())
        return;
    plat::RunLoop::current().cancelPerforms(this, "startLoadingInteractiveAssets");
    renderingInfo();
    plat::sendIfResponds(delegate_,
                         VnMagazineIssuePageContextDelegate::kDidFinishLoadingInteractiveFiles,
                         self<VnMagazineIssuePageContext>());
    issue->_notifyInteractiveAssetDidFinishLoading(self<VnMagazineIssuePageContext>());
}
