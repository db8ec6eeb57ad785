#include "vnlib/domain/content/VnContentAssetRequest.h"

#include <map>
#include <unordered_map>

#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/VnItemCode.h"
#include "vnlib/domain/content/VnUrlDownloader.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

PLAT_DEFINE_CLASS(VnContentAssetRequest, VnRequestContext, [](auto& c) {
    c.method("urlReq_request:didFinishWithResult:",
             &VnContentAssetRequest::urlReq_request_didFinishWithResult)
        .method("download_request:didFinishWithResult:",
                &VnContentAssetRequest::download_request_didFinishWithResult)
        .method("download_request:progressReport:",
                &VnContentAssetRequest::download_request_progressReport);
})

namespace {

struct FileInfoEntry {
    Ref<VnAssetFileInfo> info;
    double expires = 0;
};

// The process-wide file-info cache (main thread only).
std::unordered_map<Ref<VnContentAssetId>, FileInfoEntry, VnContentAssetIdHash,
                   VnContentAssetIdEqual>&
fileInfoCache() {
    static std::unordered_map<Ref<VnContentAssetId>, FileInfoEntry, VnContentAssetIdHash,
                              VnContentAssetIdEqual>
        cache;
    return cache;
}

bool isUsableId(const VnContentAssetId& id) {
    return id.magazineIssueCode() && VnIsUsableItemCode(*id.magazineIssueCode()) &&
           VnIsUsableItemCode(id.assetId());
}

}  // namespace

VnContentAssetRequest::VnContentAssetRequest(Ref<VnContentAssetId> assetId,
                                             Ref<VnBookStoreUserContext> context)
    : context_(std::move(context)), assetId_(std::move(assetId)) {
    PLAT_PARAMETER_ASSERT(assetId_);
    PLAT_PARAMETER_ASSERT(context_);
}

Ref<VnRequestAssetInfo> VnContentAssetRequest::requestAssetInfoWithContentAssetId(
    const VnContentAssetId& id, const std::string& requestId) {
    auto info = VnRequestAssetInfo::requestWithId(requestId, assetFormatFromEnumType(id.format()),
                                                  assetTypeFromEnumType(id.assetType()),
                                                  plat::Array::make({plat::Value(id.assetId())}));
    info->setWidth(id.width());
    info->setHeight(id.height());
    return info;
}

std::vector<VnAssetRequestGroup> VnContentAssetRequest::groupAssetIds(
    const std::vector<Ref<VnContentAssetId>>& ids) {
    std::vector<VnAssetRequestGroup> groups;
    std::map<std::string, size_t> groupOfKey;
    for (const auto& id : ids) {
        if (!id)
            continue;
        const std::string key = id->magazineIssueCode().value_or("") + "," +
                                std::to_string(id->format()) + "," +
                                std::to_string(id->assetType());
        auto [it, added] = groupOfKey.emplace(key, groups.size());
        if (added) {
            groups.push_back(
                {requestAssetInfoWithContentAssetId(*id, std::to_string(it->second)), {}});
        } else if (auto fileIds = std::dynamic_pointer_cast<plat::MutableArray>(
                       groups[it->second].record->fileIds())) {
            fileIds->addObject(plat::Value(id->assetId()));
        }
        groups[it->second].ids.push_back(id);
    }
    return groups;
}

Ref<VnRequestAssetInfo> VnContentAssetRequest::assetInfo() const {
    return requestAssetInfoWithContentAssetId(*assetId_);
}

Ref<VnRequestContext> VnContentAssetRequest::requestForAssetFileInfoWithAssetId(
    const Ref<VnContentAssetId>& id, const Ref<VnBookStoreUserContext>& userContext) {
    return userContext->serviceSession()->newAssetRequestWithMagazineIssueCode(
        id->magazineIssueCode(),
        plat::Array::make({plat::Value::fromObject(requestAssetInfoWithContentAssetId(*id))}));
}

Ref<VnAssetFileInfo> VnContentAssetRequest::fileInfoForAssetId(const Ref<VnContentAssetId>& id,
                                                               double now) {
    auto& cache = fileInfoCache();
    auto it = cache.find(id);
    if (it == cache.end())
        return nullptr;
    if (now > it->second.expires) {
        cache.erase(it);
        return nullptr;
    }
    return it->second.info;
}

void VnContentAssetRequest::addGlobalFileInfo(const Ref<VnAssetFileInfo>& info,
                                              const Ref<VnContentAssetId>& id, double now) {
    if (info && id)
        fileInfoCache()[id] = FileInfoEntry{info, now + kFileInfoLifetime};
}

void VnContentAssetRequest::removeGlobalFileInfoForAssetId(const Ref<VnContentAssetId>& id) {
    fileInfoCache().erase(id);
}

void VnContentAssetRequest::forgetGlobalFileInfos() {
    fileInfoCache().clear();
}

bool VnContentAssetRequest::tryFetchFromGlobalCache() {
    assetFileInfo_ = fileInfoForAssetId(assetId_);
    fileInfoFromCache_ = assetFileInfo_ != nullptr;
    return fileInfoFromCache_;
}

void VnContentAssetRequest::coreStart() {
    if (!isUsableId(*assetId_)) {
        coreQueueNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
            "The content id cannot name a file: " + assetId_->description()));
        return;
    }
    if (!localCache_)
        localCache_ = context_->cachedAssetWithId(assetId_);
    if (localCache_ && localCache_->state() == VnLocalCacheAssetStateComplete) {
        coreQueueNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value::fromObject(localCache_->contentAsset()), nullptr));
        return;
    }
    if (tryFetchFromGlobalCache()) {
        startDownloadFromFileInfo();
        return;
    }
    currentReq_ = requestForAssetFileInfoWithAssetId(assetId_, context_);
    context_->executeRequest(currentReq_, self(), "urlReq_");
}

void VnContentAssetRequest::urlReq_request_didFinishWithResult(Ref<VnRequestContext>,
                                                               Ref<VnRequestResult> result) {
    if (!result->succeed()) {
        currentReq_.reset();
        coreNotifyFinishWithResult(result);
        return;
    }
    Ref<VnAssetFileInfo> first;
    if (auto list = result->returnValue().array(); list && list->count() > 0)
        first = list->objectAtIndex(0).as<VnAssetFileInfo>();
    if (!first) {
        currentReq_.reset();
        coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value(), plat::Error::withDescription("", 404, "No download location")));
        return;
    }
    assetFileInfo_ = first;
    startDownloadFromFileInfo();
    coreReportProgress(VnRequestProgressMake(2, 100));
}

void VnContentAssetRequest::startDownloadFromFileInfo() {
    std::optional<plat::Url> url;
    if (assetFileInfo_ && assetFileInfo_->primaryUrl_)
        url = plat::Url::parse(*assetFileInfo_->primaryUrl_);
    auto downloader = std::make_shared<VnUrlDownloader>(url, localCache_);
    currentReq_ = downloader;
    downloader->startWithDelegate(self(), "download_");
    if (prioritizing_)
        downloader->prioritize();
}

void VnContentAssetRequest::download_request_progressReport(Ref<VnRequestContext>,
                                                            VnRequestProgress progress) {
    coreReportProgress(progress);
}

void VnContentAssetRequest::download_request_didFinishWithResult(Ref<VnRequestContext>,
                                                                 Ref<VnRequestResult> result) {
    currentReq_.reset();
    prioritizing_ = false;
    if (!result->succeed() && fileInfoFromCache_)
        removeGlobalFileInfoForAssetId(assetId_);
    coreNotifyFinishWithResult(result);
}

void VnContentAssetRequest::coreCancel() {
    // Through the gate, so that a parked location request leaves it.
    if (auto current = std::move(currentReq_))
        context_->cancelRequest(current);
}

void VnContentAssetRequest::corePrioritize() {
    if (!currentReq_)
        return;
    prioritizing_ = true;
    currentReq_->prioritize();
}
