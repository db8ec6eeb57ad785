#include "vnlib/domain/content/VnMagazineIssueContext.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/runloop/DispatchQueue.h"
#include "platform/storage/PropertyList.h"
#include "vnlib/dev/request/VnChainedRequest.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"

PLAT_DEFINE_CLASS(VnMagazineIssueContext, plat::Object, [](auto& c) {
    c.method("pageInfos_request:didFinishWithResult:",
             &VnMagazineIssueContext::pageInfos_request_didFinishWithResult)
        .method("xml_request:didFinishWithResult:",
                &VnMagazineIssueContext::xml_request_didFinishWithResult)
        .method("loadingMetadata_request:didFinishWithResult:",
                &VnMagazineIssueContext::loadingMetadata_request_didFinishWithResult)
        .method("pageFile_request:didFinishWithResult:",
                &VnMagazineIssueContext::pageFile_request_didFinishWithResult)
        .method("pageFile_request:progressReport:",
                &VnMagazineIssueContext::pageFile_request_progressReport)
        .method("assetFileUrl_request:didFinishWithResult:",
                &VnMagazineIssueContext::assetFileUrl_request_didFinishWithResult)
        .method("processRequest:result:", &VnMagazineIssueContext::processRequest_result);
})

namespace {

// What to do once a request has finished, kept as its user info.
class VnContinuation : public plat::Object {
  public:
    explicit VnContinuation(std::function<void()> fn) : fn(std::move(fn)) {}
    std::function<void()> fn;
};

void runContinuation(const plat::Value& userInfo) {
    if (auto continuation = userInfo.as<VnContinuation>())
        continuation->fn();
}

constexpr int32_t kMetadataType = VnAssetTypeXml;
constexpr int32_t kMetadataFormat = VnAssetFormatTypeXML;
// What a request of an opening whose item was returned since ends with.
constexpr const char* kItemReturned = "The item was returned";

}  // namespace

Ref<VnMagazineIssueContext> VnMagazineIssueContext::make(
    const Ref<VnBookStoreUserContext>& userContext, const Ref<VnMagazineIssueInfo>& info) {
    auto context = std::make_shared<VnMagazineIssueContext>(userContext, info);
    // A return of the item stops this opening's loading before its files are taken away.
    context->fileGeneration_->whenTakenAway(context,
                                            [weak = WeakRef<VnMagazineIssueContext>(context)] {
                                                if (const auto me = weak.lock())
                                                    me->cancelLoading();
                                            });
    return context;
}

VnMagazineIssueContext::VnMagazineIssueContext(Ref<VnBookStoreUserContext> userContext,
                                               Ref<VnMagazineIssueInfo> info)
    : userContext_(std::move(userContext)), info_(std::move(info)) {
    PLAT_PARAMETER_ASSERT(userContext_);
    PLAT_PARAMETER_ASSERT(info_);
    pageRequestManager_ = std::make_shared<VnRequestManager>();
    commonRequestQueue_ = std::make_shared<VnRequestManager>();
    priceDomain_ = std::make_shared<VnDomain>(
        userContext_, VnPriceInfo::classObject(),
        userContext_->serviceSession()->newPriceInfosRequestWithMagazineIssueCode(info_->code()));
    fileGeneration_ = itemArchive()->fileGeneration();
    fileGenerationSeen_ = fileGeneration_->current();
    madeForSample_ = info_->isSample_;
    pageArray_ = info_->pageArray_;
}

VnMagazineIssueContext::~VnMagazineIssueContext() {
    cancelLoading();
    for (auto& [index, page] : pageContextMap_)
        page->_dispose();
}

// ---- Queries ------------------------------------------------------------------------------------

const Ref<plat::Array>& VnMagazineIssueContext::pageArray() const {
    // The item's list, as long as its files are the ones this opening found; afterwards the list
    // this opening had (the item's is dropped with its files).
    if (!itemReturned())
        pageArray_ = info_->pageArray_;
    return pageArray_;
}

bool VnMagazineIssueContext::itemReturned() const {
    return fileGeneration_->takenAwaySince(fileGenerationSeen_);
}

bool VnMagazineIssueContext::sampleEnded() const {
    return madeForSample_ && !info_->isSample_;
}

std::vector<Ref<VnPageInfo>> VnMagazineIssueContext::pageInfos() const {
    std::vector<Ref<VnPageInfo>> pages;
    if (const auto& list = pageArray()) {
        list->enumerate([&](const plat::Value& value) {
            if (auto page = value.as<VnPageInfo>())
                pages.push_back(std::move(page));
            return true;
        });
    }
    return pages;
}

size_t VnMagazineIssueContext::pageInfoCount() const {
    // Asked on every page's arrival: the list is walked only when it is another one.
    const Ref<plat::Array>& list = pageArray();
    const size_t size = list ? list->count() : 0;
    if (list != countedPageArray_ || size != countedPageArraySize_) {
        countedPageArray_ = list;
        countedPageArraySize_ = size;
        pageInfoCount_ = 0;
        if (list) {
            list->enumerate([&](const plat::Value& value) {
                if (value.as<VnPageInfo>())
                    ++pageInfoCount_;
                return true;
            });
        }
    }
    return pageInfoCount_;
}

Ref<VnContentAssetId> VnMagazineIssueContext::contentRenderingMetadataAssetId() const {
    return VnContentAssetId::idWithMagazineIssueCode(info_->code(), "0", kMetadataType,
                                                     kMetadataFormat);
}

bool VnMagazineIssueContext::contentRenderingMetadataAvailable() const {
    return userContext_->isContentAssetAvaiableWithId(contentRenderingMetadataAssetId());
}

bool VnMagazineIssueContext::metadataAvailable() const {
    return pageArray() && contentRenderingMetadataAvailable();
}

// The metadata's read on a worker: whoever comes first reads it. The thread that needs it never
// waits for a read that has not started (the workers may be busy); it waits only for one under
// way.
struct VnMagazineIssueContext::MetadataRead {
    enum class State { Queued, Reading, Done, TakenOver };
    std::mutex mutex;
    std::condition_variable done;
    State state = State::Queued;
    plat::Value list;  // nothing when the file could not be read or parsed
};

namespace {

// The property list in the asset's file; nothing, with the error, when it cannot be read.
plat::Value readMetadata(const Ref<VnContentAsset>& asset, Ref<plat::Error>* error) {
    const auto data = asset->data();
    return data ? plat::PropertyList::propertyListWithData(*data, nullptr, error) : plat::Value();
}

}  // namespace

void VnMagazineIssueContext::prepareRenderingMetadata() {
    if (!contentRenderingMetadata_.isNil() || metadataRead_ || !contentRenderingMetadataAvailable())
        return;
    auto read = std::make_shared<MetadataRead>();
    metadataRead_ = read;
    auto asset = userContext_->contentAssetWithId(contentRenderingMetadataAssetId());
    plat::DispatchQueue::global()->async([read, asset] {
        {
            std::lock_guard lock(read->mutex);
            if (read->state != MetadataRead::State::Queued)
                return;
            read->state = MetadataRead::State::Reading;
        }
        plat::Value list = readMetadata(asset, nullptr);
        std::lock_guard lock(read->mutex);
        read->list = std::move(list);
        read->state = MetadataRead::State::Done;
        read->done.notify_all();
    });
}

plat::Value VnMagazineIssueContext::contentRenderingMetadata() {
    if (!contentRenderingMetadata_.isNil())
        return contentRenderingMetadata_;
    if (const auto read = std::exchange(metadataRead_, nullptr)) {
        std::unique_lock lock(read->mutex);
        if (read->state == MetadataRead::State::Queued) {
            read->state = MetadataRead::State::TakenOver;
        } else {
            read->done.wait(lock, [&] { return read->state == MetadataRead::State::Done; });
            contentRenderingMetadata_ = read->list;
            if (!contentRenderingMetadata_.isNil())
                return contentRenderingMetadata_;
        }
    }
    if (!contentRenderingMetadataAvailable())
        return contentRenderingMetadata_;
    auto asset = userContext_->contentAssetWithId(contentRenderingMetadataAssetId());
    Ref<plat::Error> error;
    plat::Value list = readMetadata(asset, &error);
    if (list.isNil() && error)
        VND_TRACE("Error", "Error loading plist: %s at path: %s", error->description().c_str(),
                  asset->filePath().c_str());
    contentRenderingMetadata_ = list;
    return contentRenderingMetadata_;
}

Ref<VnMagazineIssuePageContext> VnMagazineIssueContext::pageContextWithSourcePageIndex(
    int32_t sourcePageIndex) {
    auto& slot = pageContextMap_[sourcePageIndex];
    if (!slot)
        slot = std::make_shared<VnMagazineIssuePageContext>(self<VnMagazineIssueContext>(),
                                                            sourcePageIndex);
    return slot;
}

std::optional<std::vector<Ref<VnMagazineIssuePageContext>>>
VnMagazineIssueContext::allPageContexts() {
    const auto pages = pageInfos();
    if (pages.empty())
        return std::nullopt;
    std::set<int32_t> indices;
    for (const auto& page : pages)
        indices.insert(page->sourcePageIndex());
    std::vector<Ref<VnMagazineIssuePageContext>> contexts;
    for (int32_t index : indices)
        contexts.push_back(pageContextWithSourcePageIndex(index));
    return contexts;
}

Ref<VnLocalArchive> VnMagazineIssueContext::itemArchive() const {
    return userContext_->bookArchiveWithIssueInfo(info_);
}

std::map<int32_t, Ref<VnMagazineIssuePageContext>>& VnMagazineIssueContext::finishedPageMap() {
    if (!finishedPageContextMap_) {
        // Walks the cached page files (not the record's page count, which the service sets).
        finishedPageContextMap_.emplace();
        auto archive = itemArchive();
        archive->preloadAllCacheAssets();
        for (const auto& asset : archive->allCacheAssets()) {
            const std::string name = asset->filePath().filename().string();
            int index = -1;
            char rest = 0;
            if (std::sscanf(name.c_str(), "PAGE_PDF_%d%c", &index, &rest) == 1 && index >= 0 &&
                "PAGE_PDF_" + std::to_string(index) == name &&
                asset->state() == VnLocalCacheAssetStateComplete)
                (*finishedPageContextMap_)[index] = pageContextWithSourcePageIndex(index);
        }
    }
    return *finishedPageContextMap_;
}

size_t VnMagazineIssueContext::finishedPageCount() {
    return finishedPageMap().size();
}

Ref<VnContentAssetId> VnMagazineIssueContext::contentAssetIdWithSourcePageIndex(
    int32_t sourcePageIndex) const {
    return VnContentAssetId::idWithMagazineIssueCode(info_->code(), std::to_string(sourcePageIndex),
                                                     VnAssetTypePage, VnAssetFormatTypePDF);
}

Ref<VnContentAsset> VnMagazineIssueContext::contentAssetWithSourcePageIndex(
    int32_t sourcePageIndex) const {
    return userContext_->contentAssetWithId(contentAssetIdWithSourcePageIndex(sourcePageIndex));
}

bool VnMagazineIssueContext::contentAssetAvailbleAtSourcePageIndex(int32_t sourcePageIndex) const {
    return userContext_->isContentAssetAvaiableWithId(
        contentAssetIdWithSourcePageIndex(sourcePageIndex));
}

Ref<VnContentAssetId> VnMagazineIssueContext::interactiveContentAssetIdWithFileId(
    const std::string& fileId) const {
    return VnContentAssetId::idWithMagazineIssueCode(info_->code(), fileId, VnAssetTypeInteractive,
                                                     VnAssetFormatTypeJPG);
}

Ref<VnLocalCacheAsset> VnMagazineIssueContext::localCacheWithId(const std::string& idString) const {
    return itemArchive()->assetWithId(idString);
}

Ref<VnLocalCacheAsset> VnMagazineIssueContext::thumbnailCacheWithSourcePageIndex(
    int32_t sourcePageIndex) const {
    char name[32];
    std::snprintf(name, sizeof name, "thumbnail_%04d.jpg", sourcePageIndex);
    return localCacheWithId(name);
}

Ref<VnContentAsset> VnMagazineIssueContext::thumbnailWithSourcePageIndex(
    int32_t sourcePageIndex) const {
    return thumbnailCacheWithSourcePageIndex(sourcePageIndex)->contentAsset();
}

bool VnMagazineIssueContext::thumbnailAvailableAtSourcePageIndex(int32_t sourcePageIndex) const {
    return thumbnailCacheWithSourcePageIndex(sourcePageIndex)->state() ==
           VnLocalCacheAssetStateComplete;
}

void VnMagazineIssueContext::saveThumbnail(std::span<const uint8_t> jpegData,
                                           int32_t sourcePageIndex) {
    if (itemReturned())
        return;
    thumbnailCacheWithSourcePageIndex(sourcePageIndex)->replaceWithData(jpegData);
}

const std::set<std::string>& VnMagazineIssueContext::allInteractiveFileIds() {
    if (!allInteractiveFileIds_) {
        allInteractiveFileIds_.emplace();
        for (const auto& page : pageInfos()) {
            const auto& ids =
                pageContextWithSourcePageIndex(page->sourcePageIndex())->interactiveFileIds();
            allInteractiveFileIds_->insert(ids.begin(), ids.end());
        }
    }
    return *allInteractiveFileIds_;
}

// ---- Loading ------------------------------------------------------------------------------------

Ref<VnRequestContext> VnMagazineIssueContext::pageInfosRequestThen(
    std::function<void()> continuation) {
    auto request = userContext_->requestForPageInfosWithMagazineIssueInfo(info_);
    request->setDelegate(self(), "pageInfos_");
    request->setUserInfo(
        plat::Value::fromObject(std::make_shared<VnContinuation>(std::move(continuation))));
    commonRequestQueue_->enqueueRequest(request);
    return request;
}

void VnMagazineIssueContext::startLoadingAllPages() {
    // A returned item is loaded again only by an opening after its new loan.
    if (itemReturned())
        return;
    plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kWillStartLoading,
                         self<VnMagazineIssueContext>());
    checkFinished();
    if (!info_->finished_)
        downloading_ = true;
    auto weak = weakSelf<VnMagazineIssueContext>();
    // Not after the loading was cancelled meanwhile (the metadata's request is not).
    auto again = [weak, generation = loadingGeneration_] {
        if (auto me = weak.lock(); me && me->loadingGeneration_ == generation)
            me->startLoadingAllPages();
    };
    if (!pageArray()) {
        pageInfosRequestThen(again);
        return;
    }
    if (!contentRenderingMetadataAvailable()) {
        auto request =
            userContext_->requestAssetForMagazineIssue(info_, kMetadataType, kMetadataFormat, "0");
        request->setUserInfo(plat::Value::fromObject(std::make_shared<VnContinuation>(again)));
        request->startWithDelegate(self(), "xml_");
        return;
    }
    startRequestAllAssetIds();
}

void VnMagazineIssueContext::startRequestAllAssetIds() {
    if (itemReturned())
        return;
    std::vector<Ref<VnContentAssetId>> pageIds, interactiveIds;
    std::set<std::string> fileIds;
    std::vector<int32_t> locating;
    for (const auto& page : pageInfos()) {
        auto id = contentAssetIdWithSourcePageIndex(page->sourcePageIndex());
        if (!VnContentAssetRequest::fileInfoForAssetId(id)) {
            pageIds.push_back(id);
            locating.push_back(page->sourcePageIndex());
        }
        const auto& ids =
            pageContextWithSourcePageIndex(page->sourcePageIndex())->interactiveFileIds();
        fileIds.insert(ids.begin(), ids.end());
    }
    for (const auto& fileId : fileIds) {
        auto id = interactiveContentAssetIdWithFileId(fileId);
        if (!VnContentAssetRequest::fileInfoForAssetId(id))
            interactiveIds.push_back(id);
    }
    if (pageIds.empty() && interactiveIds.empty()) {
        startQueuePageLoading();
        return;
    }
    std::vector<Ref<VnContentAssetId>> all = pageIds;
    all.insert(all.end(), interactiveIds.begin(), interactiveIds.end());
    auto request =
        userContext_->requestForAssetWithMagazineIssueCode(info_->code().value_or(""), all);
    // The reply names each file by its group's number and its id.
    auto groups = std::make_shared<plat::MutableDictionary>();
    for (const auto& group : VnContentAssetRequest::groupAssetIds(all)) {
        auto ids = std::make_shared<plat::MutableDictionary>();
        for (const auto& id : group.ids)
            ids->setObject(plat::Value::fromObject(id), plat::Value(id->assetId()));
        groups->setObject(plat::Value::fromObject(ids),
                          plat::Value(group.record->requestId().value_or("")));
    }
    request->setUserInfo(plat::Value::fromObject(groups));
    if (assetFileUrlRequest_)
        assetFileUrlRequest_->cancel();
    assetFileUrlRequest_ = request;
    for (int32_t index : locating)
        forgetPageFetchFailure(index);
    locatingPages_ = std::move(locating);
    request->startWithDelegate(self(), "assetFileUrl_");
}

void VnMagazineIssueContext::assetFileUrl_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                                      Ref<VnRequestResult> result) {
    std::vector<int32_t> located;
    if (request == assetFileUrlRequest_) {
        assetFileUrlRequest_.reset();
        located = std::exchange(locatingPages_, {});
    }
    if (itemReturned())
        return;
    if (!result->succeed()) {
        VND_TRACE("Error", "%s", "Loading asset file failed");
        retryFullLoad_ = true;
        ensureRetryTimer();
        if (!result->isUserCancelled()) {
            for (int32_t index : located)
                pageFetchFailed(index, result);
        }
        return;
    }
    auto groups = request->userInfo().dictionary();
    if (auto list = result->returnValue().array(); list && groups) {
        list->enumerate([&](const plat::Value& value) {
            auto fileInfo = value.as<VnAssetFileInfo>();
            if (!fileInfo || !fileInfo->requestId_ || !fileInfo->fileId_)
                return true;
            auto ids = groups->objectForKey(*fileInfo->requestId_).dictionary();
            auto id = ids ? ids->objectForKey(*fileInfo->fileId_).as<VnContentAssetId>() : nullptr;
            if (id)
                VnContentAssetRequest::addGlobalFileInfo(fileInfo, id);
            return true;
        });
    }
    startQueuePageLoading();
}

void VnMagazineIssueContext::startQueuePageLoading() {
    if (itemReturned())
        return;
    std::set<std::string> ids;
    for (const auto& page : pageInfos()) {
        enqueuePageRequest(page);
        const auto& pageIds =
            pageContextWithSourcePageIndex(page->sourcePageIndex())->interactiveFileIds();
        ids.insert(pageIds.begin(), pageIds.end());
    }
    if (allInteractiveFileIds_ != ids)
        interactiveFilesCached_ = false;
    allInteractiveFileIds_ = std::move(ids);
}

void VnMagazineIssueContext::enqueuePageRequest(const Ref<VnPageInfo>& pageInfo) {
    if (itemReturned())
        return;
    const plat::Value key(plat::Number::fromInt64(pageInfo->sourcePageIndex(), 'i'));
    if (!pageRequestManager_->requestForId(key)) {
        auto request =
            userContext_->requestPageFileWithMagazineIssueInfo(info_, pageInfo->sourcePageIndex());
        request->setUserInfo(plat::Value::fromObject(pageInfo));
        request->setDelegate(self(), "pageFile_");
        forgetPageFetchFailure(pageInfo->sourcePageIndex());
        pageRequestManager_->enqueueRequest(request, key);
    }
    ensureRetryTimer();
}

void VnMagazineIssueContext::ensureRetryTimer() {
    if (retryTimer_)
        return;
    auto weak = weakSelf<VnMagazineIssueContext>();
    retryTimer_ = plat::Timer::scheduled(kRetryInterval, true, [weak](plat::Timer&) {
        if (auto me = weak.lock())
            me->checkDelayedPages();
    });
}

void VnMagazineIssueContext::stopRetryTimer() {
    if (auto timer = std::move(retryTimer_))
        timer->invalidate();
}

void VnMagazineIssueContext::checkReaded() {
    if (itemReturned())
        return;
    if (metadataAvailable() && !pageContextMap_.empty()) {
        itemArchive()->preloadAllCacheAssets();
        if (!info_->readed_)
            plat::sendIfResponds(userContext_, VnMagazineIssueReadingMessages::kMarkReaded,
                                 plat::Value::fromObject(info_));
        stopRetryTimer();
    } else if (info_->readed_) {
        plat::sendIfResponds(userContext_, VnMagazineIssueReadingMessages::kMarkUnReaded,
                             plat::Value::fromObject(info_));
    }
}

void VnMagazineIssueContext::startLoadingWithPages(const std::vector<int32_t>& sourcePageIndices) {
    if (itemReturned())
        return;
    plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kWillStartLoading,
                         self<VnMagazineIssueContext>());
    if (!pageArray()) {
        auto weak = weakSelf<VnMagazineIssueContext>();
        pageInfosRequestThen([weak, sourcePageIndices] {
            if (auto me = weak.lock())
                me->startLoadingWithPages(sourcePageIndices);
        });
        return;
    }
    std::map<int32_t, Ref<VnPageInfo>> bySource;
    for (const auto& page : pageInfos())
        bySource.emplace(page->sourcePageIndex(), page);
    for (int32_t index : sourcePageIndices) {
        if (auto it = bySource.find(index); it != bySource.end())
            enqueuePageRequest(it->second);
    }
}

Ref<VnRequestContext> VnMagazineIssueContext::requestForLoadingMetadata() {
    if (!loadingMetadataRootRequest_) {
        loadingPageInfosRootRequest_ =
            userContext_->requestForPageInfosWithMagazineIssueInfo(info_);
        loadingPageInfosRootRequest_->setDelegate(self(), "pageInfos_");
        loadingXmlRootRequest_ =
            userContext_->requestAssetForMagazineIssue(info_, kMetadataType, kMetadataFormat, "0");
        loadingXmlRootRequest_->setDelegate(self(), "xml_");
        loadingMetadataRootRequest_ =
            VnChainedRequest::chainedRequestWithFirstRequest(loadingPageInfosRootRequest_, self());
        loadingMetadataRootRequest_->setDelegate(self(), "loadingMetadata_");
    }
    return loadingMetadataRootRequest_->jointRequest();
}

Ref<plat::Object> VnMagazineIssueContext::processRequest_result(Ref<VnRequestContext> request,
                                                                Ref<VnRequestResult> result) {
    if (itemReturned())
        return VnRequestResult::failedResultWithErrorMessage(kItemReturned);
    if (request == loadingPageInfosRootRequest_)
        return loadingXmlRootRequest_;
    return result;
}

Ref<VnRequestContext> VnMagazineIssueContext::requestForPreviewPage(int32_t sourcePageIndex) {
    auto& slot = previewRequestMap_[sourcePageIndex];
    if (!slot) {
        auto id = VnContentAssetId::idWithMagazineIssueCode(
            info_->code(), std::to_string(sourcePageIndex), VnAssetTypePagePreview,
            VnAssetFormatTypeJPG);
        id->setWidth(240);
        id->setHeight(320);
        slot = std::make_shared<VnContentAssetRequest>(id, userContext_);
    }
    return slot->jointRequest();
}

void VnMagazineIssueContext::startRequestPageContentAssetWithSourcePageIndex(
    int32_t sourcePageIndex) {
    if (itemReturned())
        return;
    if (contentAssetAvailbleAtSourcePageIndex(sourcePageIndex)) {
        auto weak = weakSelf<VnMagazineIssueContext>();
        plat::RunLoop::current().perform(
            [weak, sourcePageIndex] {
                if (auto me = weak.lock())
                    plat::sendIfResponds(me->delegate_,
                                         VnMagazineIssueContextDelegate::kRequestedPageAvailable,
                                         me, sourcePageIndex);
            },
            0, plat::commonModes(), this, "notifyRequestPageAvailable:");
        return;
    }
    customRequestedSourcePageIndices_.insert(sourcePageIndex);
    prioritizePageWithSourcePageIndex(sourcePageIndex);
}

void VnMagazineIssueContext::prioritizePageWithSourcePageIndex(int32_t sourcePageIndex) {
    if (auto request = pageRequestManager_->requestForId(
            plat::Value(plat::Number::fromInt64(sourcePageIndex, 'i'))))
        pageRequestManager_->prioritizeRequest(request);
}

void VnMagazineIssueContext::cancelLoading() {
    stopRetryTimer();
    pageRequestManager_->cancelAndClearQueue();
    commonRequestQueue_->cancelAndClearQueue();
    if (loadingMetadataRootRequest_)
        loadingMetadataRootRequest_->cancel();
    if (auto locating = std::move(assetFileUrlRequest_))
        locating->cancel();
    for (auto& [index, page] : pageContextMap_)
        page->cancelLoading();
    plat::RunLoop::current().cancelPerforms(this);
    // What failed before the cancel is no verdict on a loading started afresh.
    failedPageFetches_.clear();
    locatingPages_.clear();
    downloading_ = false;
    retryFullLoad_ = false;
    ++loadingGeneration_;
}

// ---- Callbacks ----------------------------------------------------------------------------------

void VnMagazineIssueContext::pageInfos_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                                   Ref<VnRequestResult> result) {
    auto snapshot =
        result->succeed() ? result->returnValue().as<VnUpdatedLocalSnapshot>() : nullptr;
    // The list of an item returned meanwhile is not this opening's to keep: its files and its
    // entry in the library went with the return. Nor is a sample's list once the sample has
    // ended: kept, it would stand as the loan's.
    if (itemReturned() || sampleEnded())
        return;
    if (!snapshot) {
        // Asked for again on the retry timer's next tick.
        if (request != loadingPageInfosRootRequest_) {
            retryFullLoad_ = true;
            ensureRetryTimer();
        }
        return;
    }
    info_->pageArray_ = VnInfoListValue(VnSortedByPresentationIndex(snapshot->items())).array();
    pageArray_ = info_->pageArray_;
    if (snapshot->hasUpdated()) {
        if (info_->isSample_)
            userContext_->saveBookSample(info_);
        else if (auto library = userContext_->libraryDomain())
            library->notifyItemsAddOrUpdate({info_});
    }
    runContinuation(request->userInfo());
    plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kDidFinishLoadingPageInfos,
                         self<VnMagazineIssueContext>());
}

void VnMagazineIssueContext::xml_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                             Ref<VnRequestResult> result) {
    if (itemReturned())
        return;
    if (result->succeed())
        prepareRenderingMetadata();
    if (!result->succeed() && request != loadingXmlRootRequest_) {
        // Not at once: on the retry timer's next tick.
        retryFullLoad_ = true;
        ensureRetryTimer();
        return;
    }
    runContinuation(request->userInfo());
}

void VnMagazineIssueContext::pageFile_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                                  Ref<VnRequestResult> result) {
    auto page = request->userInfo().as<VnPageInfo>();
    if (!page)
        return;
    if (result->succeed()) {
        processPageFileArrivalAtIndex(page->sourcePageIndex());
        return;
    }
    if (std::find(delayedPageInfos_.begin(), delayedPageInfos_.end(), page) ==
        delayedPageInfos_.end())
        delayedPageInfos_.push_back(page);
    if (!result->isUserCancelled())
        pageFetchFailed(page->sourcePageIndex(), result);
}

Ref<VnRequestResult> VnMagazineIssueContext::pageFetchFailure(int32_t sourcePageIndex) const {
    const auto it = failedPageFetches_.find(sourcePageIndex);
    return it == failedPageFetches_.end() ? nullptr : it->second;
}

void VnMagazineIssueContext::whenPageFetchFails(
    int32_t sourcePageIndex, std::weak_ptr<const void> owner,
    std::function<void(const Ref<VnRequestResult>&)> then) {
    std::erase_if(pageFetchWaits_, [](const PageFetchWait& wait) { return wait.owner.expired(); });
    pageFetchWaits_.push_back({sourcePageIndex, std::move(owner), std::move(then)});
}

void VnMagazineIssueContext::pageFetchFailed(int32_t sourcePageIndex,
                                             const Ref<VnRequestResult>& result) {
    failedPageFetches_[sourcePageIndex] = result;
    if (std::none_of(
            pageFetchWaits_.begin(), pageFetchWaits_.end(),
            [&](const PageFetchWait& wait) { return wait.sourcePageIndex == sourcePageIndex; }))
        return;
    // Told once the request that failed has ended, and only while the page has not been asked
    // for again since.
    plat::RunLoop::current().perform(
        [weak = weakSelf<VnMagazineIssueContext>(), sourcePageIndex, result] {
            const auto me = weak.lock();
            if (!me || me->pageFetchFailure(sourcePageIndex) != result)
                return;
            std::vector<std::function<void(const Ref<VnRequestResult>&)>> due;
            std::erase_if(me->pageFetchWaits_, [&](PageFetchWait& wait) {
                if (wait.owner.expired())
                    return true;
                if (wait.sourcePageIndex != sourcePageIndex)
                    return false;
                due.push_back(std::move(wait.then));
                return true;
            });
            for (const auto& then : due)
                then(result);
        },
        0, plat::commonModes(), this, "notifyPageFetchFailed");
}

void VnMagazineIssueContext::pageFile_request_progressReport(Ref<VnRequestContext> request,
                                                             VnRequestProgress progress) {
    auto page = request->userInfo().as<VnPageInfo>();
    if (!page)
        return;
    auto pageContext = pageContextWithSourcePageIndex(page->sourcePageIndex());
    plat::sendIfResponds(pageContext->delegate(),
                         VnMagazineIssuePageContextDelegate::kLoadingProgress, pageContext,
                         progress);
}

void VnMagazineIssueContext::processPageFileArrivalAtIndex(int32_t sourcePageIndex) {
    forgetPageFetchFailure(sourcePageIndex);
    auto page = pageContextWithSourcePageIndex(sourcePageIndex);
    finishedPageMap()[sourcePageIndex] = page;
    plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kPageAvailable,
                         self<VnMagazineIssueContext>(), sourcePageIndex);
    page->_didFinishLoadingPage();
    if (customRequestedSourcePageIndices_.erase(sourcePageIndex))
        plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kRequestedPageAvailable,
                             self<VnMagazineIssueContext>(), sourcePageIndex);
    checkFinished();
}

void VnMagazineIssueContext::checkDelayedPages() {
    if (itemReturned()) {
        cancelLoading();
        return;
    }
    if (retryFullLoad_) {
        retryFullLoad_ = false;
        startLoadingAllPages();
    }
    auto delayed = std::move(delayedPageInfos_);
    delayedPageInfos_.clear();
    for (const auto& page : delayed) {
        enqueuePageRequest(page);
        prioritizePageWithSourcePageIndex(page->sourcePageIndex());
    }
}

void VnMagazineIssueContext::refreshPageContextAtSourcePageIndex(int32_t sourcePageIndex) {
    if (contentAssetAvailbleAtSourcePageIndex(sourcePageIndex))
        processPageFileArrivalAtIndex(sourcePageIndex);
    else
        finishedPageMap().erase(sourcePageIndex);
}

void VnMagazineIssueContext::_notifyInteractiveAssetDidStartLoading(
    const Ref<VnMagazineIssuePageContext>& page) {
    loadingInteractivePageContextMap_[page->sourcePageIndex()] = page;
}

void VnMagazineIssueContext::_notifyInteractiveAssetDidFinishLoading(
    const Ref<VnMagazineIssuePageContext>& page) {
    loadingInteractivePageContextMap_.erase(page->sourcePageIndex());
    if (loadingInteractivePageContextMap_.empty()) {
        plat::sendIfResponds(delegate_,
                             VnMagazineIssueContextDelegate::kDidFinishLoadingInteractive,
                             self<VnMagazineIssueContext>());
        checkFinished();
    }
}

void VnMagazineIssueContext::_notifyInteractiveFileArrived(const std::string& fileId,
                                                           const VnMagazineIssuePageContext* from) {
    std::vector<Ref<VnMagazineIssuePageContext>> waiting;
    for (const auto& [index, page] : finishedPageMap()) {
        if (page && page.get() != from && page->interactiveFileIds().contains(fileId) &&
            !page->interactiveAssetWithId(fileId))
            waiting.push_back(page);
    }
    for (const auto& page : waiting)
        page->startLoadingInteractiveAssets();
}

void VnMagazineIssueContext::checkFinished() {
    // The library no longer holds a returned item: nothing of it is marked there.
    if (itemReturned())
        return;
    // Sent on every page's arrival: it costs the same however many pages the item has.
    bool complete = loadingInteractivePageContextMap_.empty() &&
                    finishedPageCount() == pageInfoCount() && metadataAvailable();
    if (complete && !interactiveFilesCached_) {
        itemArchive()->preloadAllCacheAssets();
        for (const auto& fileId : allInteractiveFileIds()) {
            if (!userContext_->isContentAssetAvaiableWithId(
                    interactiveContentAssetIdWithFileId(fileId))) {
                complete = false;
                break;
            }
        }
        interactiveFilesCached_ = complete;
    }
    if (complete) {
        if (!info_->finished_)
            userContext_->markFinished(info_);
        stopRetryTimer();
    } else if (info_->finished_) {
        userContext_->markUnfinished(info_);
    }
    if (info_->finished_)
        downloading_ = false;
}

// ---- Covers -------------------------------------------------------------------------------------

Ref<VnContentAssetId> VnMagazineIssueContext::assetIdForCoverFrameSize(VnSize size) const {
    const bool full = size.width == 0 && size.height == 0;
    const std::string text = full ? std::string()
                                  : std::to_string(static_cast<int>(size.width)) + "x" +
                                        std::to_string(static_cast<int>(size.height));
    return VnContentAssetId::idWithMagazineIssueCode(info_->code(), text, VnAssetTypeCover,
                                                     VnAssetFormatTypeJPG);
}

Ref<VnContentAsset> VnMagazineIssueContext::coverAssetWithFrameSize(VnSize size) const {
    auto id = assetIdForCoverFrameSize(size);
    return userContext_->isContentAssetAvaiableWithId(id) ? userContext_->contentAssetWithId(id)
                                                          : nullptr;
}

Ref<VnContentAsset> VnMagazineIssueContext::coverAssetWithFullSize() const {
    return coverAssetWithFrameSize({});
}

void VnMagazineIssueContext::updateCoverAssetWithFrameSize(VnSize size,
                                                           std::span<const uint8_t> imageData) {
    if (auto asset = userContext_->cachedAssetWithId(assetIdForCoverFrameSize(size)))
        asset->replaceWithData(imageData);
}

bool VnMagazineIssueContext::tryLoadFullResolutionCoverImage() {
    auto cover = coverAssetWithFullSize();
    if (!cover)
        return false;
    info_->setFullResolutionCoverImageDataProvider(cover);
    return true;
}

VnSize VnMagazineIssueContext::coverImageSizeForOriginalSize(VnSize original, VnSize target) {
    if (original.width <= 0 || original.height <= 0)
        return {};
    const double height = target.width * original.height / original.width;
    VnSize fitted = height > target.height
                        ? VnSize{target.height * original.width / original.height, target.height}
                        : VnSize{target.width, height};
    return {std::nearbyint(fitted.width), std::nearbyint(fitted.height)};
}

Ref<VnRequestContext> VnMagazineIssueContext::requestForCoverWithFrameSize(VnSize size) {
    auto request = userContext_->newCoverRequestWithIssueInfo(info_);
    if (size.width != 0 || size.height != 0)
        request->setUserInfo(
            plat::Value(std::to_string(size.width) + "x" + std::to_string(size.height)));
    return request->proxyWithProxyDelegate(self());
}
