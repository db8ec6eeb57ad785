// The user context's content names, page lists, asset and cover requests and single store
// records.
#include "platform/core/Collections.h"
#include "platform/core/Log.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/dev/request/VnRequestProxy2.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/VnItemCode.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnContentAssetId.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/service/params/VnGetMagazineIssueInfosParams.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

namespace {

Ref<plat::Array> codeList(const std::string& code) {
    return plat::Array::make({plat::Value(code)});
}

}  // namespace

// ---- Names --------------------------------------------------------------------------------------

std::string VnBookStoreUserContext::cacheFileNameForAssetId(const VnContentAssetId& assetId) {
    std::string name = assetTypeFromEnumType(assetId.assetType()) + "_" +
                       assetFormatFromEnumType(assetId.format()) + "_" + assetId.assetId();
    if (assetId.width() > 0 && assetId.height() > 0)
        name += "_" + std::to_string(assetId.width()) + "x" + std::to_string(assetId.height());
    return name;
}

Ref<VnLocalCacheAsset> VnBookStoreUserContext::cachedAssetWithId(
    const Ref<VnContentAssetId>& assetId) const {
    if (!assetId || !assetId->magazineIssueCode())
        return nullptr;
    return userStorage_->booksArchive()
        ->subarchiveWithId(*assetId->magazineIssueCode())
        ->assetWithId(cacheFileNameForAssetId(*assetId));
}

Ref<VnContentAsset> VnBookStoreUserContext::contentAssetWithId(
    const Ref<VnContentAssetId>& assetId) const {
    auto asset = cachedAssetWithId(assetId);
    auto content = asset ? asset->contentAsset() : nullptr;
    return content ? content : std::make_shared<VnContentAsset>(std::filesystem::path());
}

bool VnBookStoreUserContext::isContentAssetAvaiableWithId(
    const Ref<VnContentAssetId>& assetId) const {
    auto asset = cachedAssetWithId(assetId);
    return asset && asset->state() == VnLocalCacheAssetStateComplete;
}

Ref<VnLocalCacheAsset> VnBookStoreUserContext::cacheAssetForCoverWithMagazineIssueInfo(
    const Ref<VnInfo>& info) const {
    return bookArchiveWithIssueInfo(info)->assetWithId("cover.jpg");
}

// ---- Page lists and assets ----------------------------------------------------------------------

Ref<VnRequestContext> VnBookStoreUserContext::requestAssetForMagazineIssue(
    const Ref<VnMagazineIssueInfo>& info, const Ref<VnContentAssetId>& assetId) {
    PLAT_ASSERT(info, "Invalid parameter not satisfying: issueInfo");
    PLAT_ASSERT(assetId, "Invalid parameter not satisfying: assetId");
    return plat::autorelease(
        std::make_shared<VnContentAssetRequest>(assetId, self<VnBookStoreUserContext>()));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestAssetForMagazineIssue(
    const Ref<VnMagazineIssueInfo>& info, int32_t type, int32_t format,
    const std::string& idString) {
    PLAT_ASSERT(info, "Invalid parameter not satisfying: issueInfo");
    return requestAssetForMagazineIssue(
        info, VnContentAssetId::idWithMagazineIssueCode(info->code(), idString, type, format));
}

Ref<VnMagazineIssueContext> VnBookStoreUserContext::magazineIssueContextWithInfo(
    const Ref<VnMagazineIssueInfo>& info) {
    return plat::autorelease(VnMagazineIssueContext::make(self<VnBookStoreUserContext>(), info));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestPageFileWithMagazineIssueInfo(
    const Ref<VnMagazineIssueInfo>& info, int32_t pageIndex) {
    return requestAssetForMagazineIssue(info, VnAssetTypePage, VnAssetFormatTypePDF,
                                        std::to_string(pageIndex));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForPageInfosWithMagazineIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    if (!info->pageArray_) {
        auto stored = pageDataTableForIssueInfo(info)->takeItems();
        if (!stored.empty())
            info->pageArray_ =
                VnInfoListValue(VnSortedByPresentationIndex(std::move(stored))).array();
    }
    if (info->pageArray_) {
        return VnRequestContext::requestWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value::fromObject(VnUpdatedLocalSnapshot::snapshotsWithItems(
                VnInfoListFromArray(info->pageArray_), plat::Date::now(), false)),
            nullptr));
    }
    auto remote = serviceSession()->newPageInfoRequestWithMagazineIssueCode(
        info->code(), std::string(info->isSample_ ? "Sample" : "Libraries"));
    remote->setUserInfo(plat::Value::fromObject(info));
    return gated(remote->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "pageInfos_"));
}

Ref<VnRequestResult> VnBookStoreUserContext::pageInfos_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    // A page that no file can hold (a negative index) or that is listed twice would keep the
    // item from ever being complete: only the first entry of each sound index is kept.
    VnInfoList pages;
    std::set<int32_t> seen;
    for (auto& item : VnInfoListFromValue(result->returnValue())) {
        auto page = std::dynamic_pointer_cast<VnPageInfo>(item);
        if (page && page->sourcePageIndex() >= 0 && seen.insert(page->sourcePageIndex()).second)
            pages.push_back(std::move(item));
        else
            VND_TRACE("Error", "%s", "Page entry without a sound source page index dropped");
    }
    return VnRequestResult::resultWithReturnValue(
        plat::Value::fromObject(
            VnUpdatedLocalSnapshot::snapshotsWithItems(std::move(pages), plat::Date::now(), true)),
        nullptr);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForPageAssetWithMagazineIssueCode(
    const std::string& magazineIssueCode, const std::vector<int32_t>& sourcePageIndices) {
    std::vector<plat::Value> ids;
    for (int32_t index : sourcePageIndices)
        ids.emplace_back(std::to_string(index));
    auto info =
        VnRequestAssetInfo::requestWithId("1", "PDF", "PAGE", plat::Array::make(std::move(ids)));
    return gated(serviceSession()->newAssetRequestWithMagazineIssueCode(
        magazineIssueCode, plat::Array::make({plat::Value::fromObject(info)})));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForAssetWithMagazineIssueCode(
    const std::string& magazineIssueCode, const std::vector<Ref<VnContentAssetId>>& assetIds) {
    std::vector<plat::Value> records;
    for (const auto& group : VnContentAssetRequest::groupAssetIds(assetIds))
        records.push_back(plat::Value::fromObject(group.record));
    return gated(serviceSession()->newAssetRequestWithMagazineIssueCode(
        magazineIssueCode, plat::Array::make(std::move(records))));
}

// ---- Covers -------------------------------------------------------------------------------------

Ref<VnRequestContext> VnBookStoreUserContext::newCoverRequestWithIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) {
    return bookstore()->newCoverRequestWithIssueInfo(info);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForImageWithShopGroupInfo(
    const Ref<VnShopGroupInfo>& group) {
    return bookstore()->requestForImageWithShopGroupInfo(group);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForCoverWithMagazine(
    const Ref<VnMagazineInfo>& magazine) {
    return gated(bookstore()->requestForCoverWithMagazine(magazine));
}

Ref<VnRequestContext> VnBookStoreUserContext::contentAssetRequestForIssueInfo(
    const Ref<VnMagazineIssueInfo>& info, int32_t assetType) {
    if (assetType == 0)
        return newCoverRequestWithIssueInfo(info);
    if (assetType == 1)
        return nullptr;
    throw plat::Exception(plat::NSInternalInconsistencyException, "Invalid enum");
}

std::vector<Ref<VnRequestContext>> VnBookStoreUserContext::contentAssetRequestsForIssueInfos(
    const std::vector<Ref<VnMagazineIssueInfo>>& infos, int32_t assetType) {
    std::vector<Ref<VnRequestContext>> requests;
    for (const auto& info : infos) {
        if (auto request = contentAssetRequestForIssueInfo(info, assetType))
            requests.push_back(std::move(request));
    }
    return requests;
}

Ref<VnRequestManager> VnBookStoreUserContext::contentAssetRequestManagerWithIssueInfos(
    const std::vector<Ref<VnMagazineIssueInfo>>& infos, int32_t assetType) {
    return VnRequestManager::managerWithRequests(
        contentAssetRequestsForIssueInfos(infos, assetType));
}

Ref<VnRequestManager> VnBookStoreUserContext::requestManagerForCoverWithMagazines(
    const std::vector<Ref<VnMagazineInfo>>& magazines) {
    std::vector<Ref<VnRequestContext>> requests;
    for (const auto& magazine : magazines)
        requests.push_back(requestForCoverWithMagazine(magazine));
    return VnRequestManager::managerWithRequests(std::move(requests));
}

// ---- Single store records -----------------------------------------------------------------------

Ref<VnRequestContext> VnBookStoreUserContext::requestForShopMagazineIssueInfoWithCode(
    const std::string& code) {
    return gated(
        storeRemoteSession_->newMagazineIssueInfosRequestWithCodes(codeList(code))
            ->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "magazineIssueInfo_"));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForShopBookInfoWithCode(
    const std::string& code) {
    return gated(
        storeRemoteSession_->newBookInfosRequestWithCodes(codeList(code))
            ->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "magazineIssueInfo_"));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForLibraryMagazineIssueInfoWithCode(
    const std::string& code) {
    return gated(serviceSession()->newGetIssueInfo(code)->proxyWithProxyDelegate(
        self<VnBookStoreUserContext>(), "magazineIssueInfo_"));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForShopMagazineWithCode(
    const std::string& code) {
    return gated(storeRemoteSession_->newMagazineInfosRequestWithMagazineCodes(codeList(code))
                     ->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "magazineInfo_"));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMagazineInfoURL(
    const Ref<VnMagazineInfo>& magazine) {
    PLAT_ASSERT(magazine, "Invalid parameter not satisfying: magazineInfo");
    return gated(serviceSession()->newGetItemURLRequestWithItemKind(std::string("Magazine"),
                                                                    magazine->code()));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMagazineIssueInfoURL(
    const Ref<VnMagazineIssueInfo>& info) {
    PLAT_ASSERT(info, "Invalid parameter not satisfying: magazineIssueInfo");
    return gated(serviceSession()->newGetItemURLRequestWithItemKind(
        std::string(info->bookKind() == 1 ? "Book" : "MagazineIssue"), info->code()));
}

void VnBookStoreUserContext::magazineIssueInfo_requestProxy_request_willNotify_didFinishWithResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return;
    // Only records with usable codes reach storage.
    if (VnRejectUnusableCodes(result->returnValue(), "answer"))
        return;
    std::vector<Ref<VnMagazineIssueInfo>> records;
    if (auto list = result->returnValue().array()) {
        list->enumerate([&](const plat::Value& value) {
            if (auto record = value.as<VnMagazineIssueInfo>())
                records.push_back(std::move(record));
            return true;
        });
    } else if (auto record = result->returnValue().as<VnMagazineIssueInfo>()) {
        records.push_back(std::move(record));
    }
    userStorage_->persistMagazineIssueInfos(records, VnMagazineIssueKind_Shops);
}

Ref<VnRequestResult>
VnBookStoreUserContext::lastElement_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    if (auto rejected = VnRejectUnusableCodes(result->returnValue(), "answer"))
        return rejected;
    auto list = result->returnValue().array();
    if (!list) {
        // A single record (the library's own lookup) is already the answer.
        if (result->returnValue().as<VnInfo>())
            return result;
    } else if (list->count() > 0) {
        return VnRequestResult::resultWithReturnValue(list->lastObject(), nullptr);
    }
    return VnRequestResult::resultWithReturnValue(
        plat::Value(), plat::Error::withDescription("VNServerError", -1, "No record was found"));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForLatestIssueWithMagazine(
    const Ref<VnMagazineInfo>& magazine) {
    PLAT_PARAMETER_ASSERT(magazine);
    auto params = std::make_shared<VnGetMetaMagazineIssueInfosParams>();
    params->initWithCode(magazine->code(), std::string(VnMagazineIssueKind_Shops), {0, 1});
    auto domain = magazineIssueDomainWithMagazine(magazine);
    auto refresh = std::make_shared<VnMagazineIssueDomainUpdatingRequest>(
        domain, serviceSession()->newMetaMagazineIssueInfosRequest(params),
        VnLocalSnapshot::empty());
    refresh->setSkipRemoving(true);
    refresh->setUserInfo(plat::Value::fromObject(domain));
    return refresh->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "latestIssue_");
}

Ref<VnRequestResult>
VnBookStoreUserContext::latestIssue_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    auto domain = request->userInfo().as<VnMagazineIssueDomain>();
    auto latest = domain ? domain->latestIssueFromSnapshot() : nullptr;
    return VnRequestResult::resultWithReturnValue(plat::Value::fromObject(latest), nullptr);
}
