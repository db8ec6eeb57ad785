#include "vnlib/domain/lists/VnMagazineDomain.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/core/Collections.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

PLAT_DEFINE_CLASS(VnMagazineDomain, VnStoreDomain, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnMagazineDomainUpdatingRequest, VnDomainUpdatingRequest, [](auto& c) {
    c.method("magazineInfo_request:didFinishWithResult:",
             &VnMagazineDomainUpdatingRequest::magazineInfo_request_didFinishWithResult);
})

// ---- VnMagazineDomain ---------------------------------------------------------------------------

VnInfoList VnMagazineDomain::itemsFromPersistentStorage() {
    return VnSortedBySortIndex(VnStoreDomain::itemsFromPersistentStorage());
}

void VnMagazineDomain::persistItems(const VnInfoList& items) {
    VnStoreDomain::persistItems(items);
    replaceItemsCacheWithItems(VnSortedBySortIndex(items));
}

Ref<VnDomainUpdatingRequest> VnMagazineDomain::makeDomainUpdatingRequest(
    Ref<VnLocalSnapshot> previousSnapshot) {
    return std::make_shared<VnMagazineDomainUpdatingRequest>(
        self<VnDomain>(), "itemsRequestFactory:", std::move(previousSnapshot));
}

// ---- VnMagazineDomainUpdatingRequest -----------------------------------------------------------

void VnMagazineDomainUpdatingRequest::markUpdatedIfNeeded() {
    if (updateRange().length == 0)
        domain()->markUpdated();
}

bool VnMagazineDomainUpdatingRequest::checkUpdate(const Ref<VnInfo>& reference,
                                                  const Ref<VnInfo>& held) {
    const auto referenceHash = VnHashOf(reference);
    const auto heldHash = VnHashOf(held);
    if (referenceHash != heldHash)
        return true;
    return referenceHash && VnSortIndexOf(reference) != VnSortIndexOf(held);
}

VnInfoList VnMagazineDomainUpdatingRequest::filterForNeedUpdatedMetaInfo(
    const VnInfoList& references) {
    std::vector<std::string> codes;
    for (const auto& reference : references) {
        if (reference->code())
            codes.push_back(*reference->code());
    }
    const auto held = VnInfoMapByCode(domain()->takeLocalSnapshotForCodes(codes)->items());
    VnInfoList needed;
    for (const auto& reference : references) {
        auto found = held.find(reference->code());
        if (found == held.end() || VnHashOf(found->second) != VnHashOf(reference))
            needed.push_back(reference);
    }
    return needed;
}

void VnMagazineDomainUpdatingRequest::finishWithSnapshot(bool hasUpdated, bool whole) {
    // The domain is marked first, so that the caller's new snapshot carries the refresh's date.
    if (whole)
        markUpdatedIfNeeded();
    auto snapshot = takeLocalSnapshotWithUpdateFlag(hasUpdated);
    coreNotifyFinishWithResult(
        VnRequestResult::resultWithReturnValue(plat::Value::fromObject(snapshot), nullptr));
}

Ref<VnRequestResult> VnMagazineDomainUpdatingRequest::rejectRemoteValue(
    const plat::Value& value) const {
    return VnRejectMissingList(value, "title list");
}

void VnMagazineDomainUpdatingRequest::coreNotifyRemoteItemsAvailable(const VnInfoList& references) {
    const auto changes = previousSnapshot()->compareWithNewItems(references, &checkUpdate);
    VnChangeList removed;
    VnInfoList added;
    modified_.clear();
    fetchList_.clear();
    metaList_ = references;
    for (const auto& change : changes) {
        switch (change->changeType()) {
            case VnDataChangeRecord::Removed:
                removed.push_back(change);
                break;
            case VnDataChangeRecord::Modified:
                modified_.push_back(change);
                break;
            default:
                added.push_back(change->updatedData());
                break;
        }
    }

    bool changed = false;
    if (!removed.empty()) {
        notifyItemUpdateDelegate(VnDomainItemsRemovedSelector, removed);
        VnInfoList gone;
        for (const auto& change : removed)
            gone.push_back(change->originalData());
        domain()->notifyItemsRemoved(gone);
        changed = true;
    }
    for (const auto& change : modified_)
        fetchList_.push_back(change->updatedData());
    for (auto& reference : filterForNeedUpdatedMetaInfo(added))
        fetchList_.push_back(std::move(reference));

    // Each code is fetched once; a reference without a code cannot be fetched.
    std::vector<plat::Value> codes;
    std::set<std::string> seen;
    std::erase_if(fetchList_, [&](const Ref<VnInfo>& reference) {
        if (!reference->code()) {
            VND_TRACE("Error", "Skipped a magazine reference without a code: %s",
                      reference->description().c_str());
            return true;
        }
        if (!seen.insert(*reference->code()).second) {
            VND_TRACE("Error", "Skipped a repeated magazine code %s", reference->code()->c_str());
            return true;
        }
        return false;
    });
    for (const auto& reference : fetchList_)
        codes.emplace_back(*reference->code());

    if (codes.empty()) {
        auto magazineDomain = std::dynamic_pointer_cast<VnMagazineDomain>(domain());
        const auto category = magazineDomain ? magazineDomain->category() : std::nullopt;
        VND_TRACE("Performance", "No changes detected in magazine category %s",
                  category.value_or("(null)").c_str());
        finishWithSnapshot(changed);
        return;
    }

    auto session = domain()->storeRemoteSession();
    if (!session) {
        coreNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("No store session to fetch titles"));
        return;
    }
    realInfoRequest_ =
        session->newMagazineInfosRequestWithMagazineCodes(plat::Array::make(std::move(codes)));
    realInfoRequest_->startWithDelegate(self(), "magazineInfo_");
}

void VnMagazineDomainUpdatingRequest::magazineInfo_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    auto keepFetch = std::move(realInfoRequest_);
    if (!result->succeed()) {
        coreNotifyFinishWithResult(result);
        return;
    }
    VnCodeSet asked;
    std::vector<std::string> askedInOrder;
    for (const auto& reference : fetchList_) {
        asked.insert(*reference->code());
        askedInOrder.push_back(*reference->code());
    }
    const auto fetched =
        VnKeepAskedRecords(itemsByRequestReturnValue(result->returnValue()), asked);
    // A title asked for that did not come back leaves the list not taken as refreshed (what came
    // is kept), so that the next refresh asks for it again.
    const auto missing = VnRejectMissingAskedCodes(askedInOrder, fetched);
    const auto fetchMap = VnInfoMapByCode(fetchList_);
    std::map<std::optional<std::string>, Ref<VnInfo>> modifiedMap;
    for (const auto& change : modified_)
        modifiedMap[change->updatedData()->code()] = change->updatedData();

    VnInfoList added;
    VnChangeList changedRecords;
    for (const auto& record : fetched) {
        if (auto reference = fetchMap.find(record->code()); reference != fetchMap.end()) {
            VnSetSortIndex(record, VnSortIndexOf(reference->second));
            if (auto hashed = std::dynamic_pointer_cast<VnInfoWithHashString>(record))
                hashed->setHashString(VnHashOf(reference->second));
        }
        if (auto reference = modifiedMap.find(record->code()); reference != modifiedMap.end())
            changedRecords.push_back(
                VnDataChangeRecord::changeWithModifiedData(record, reference->second));
        else
            added.push_back(record);
        if (!VnHashOf(record))
            VND_TRACE("Error", "Hash is null for magazine info %s", record->description().c_str());
    }

    const auto held = VnInfoMapByCode(domain()->takeLocalSnapshot()->items());
    for (const auto& reference : fetchList_) {
        if (auto found = held.find(reference->code()); found != held.end())
            VnSetSortIndex(found->second, VnSortIndexOf(reference));
    }

    if (!added.empty())
        notifyItemUpdateDelegate(VnDomainItemsAddedSelector, added);
    if (!changedRecords.empty())
        notifyItemUpdateDelegate(VnDomainItemsChangedSelector, changedRecords);

    const VnIndexRange range = updateRange();
    const uint64_t heldCount = held.size();
    const bool intersects = range.length > 0 && heldCount > 0 && range.location < heldCount;
    const bool covers = range.location == 0 && heldCount <= range.location + range.length;
    if (range.length > 0 && intersects && !covers) {
        const auto fetchedMap = VnInfoMapByCode(fetched);
        VnInfoList page;
        std::set<std::optional<std::string>> taken;
        for (const auto& reference : metaList_) {
            if (!taken.insert(reference->code()).second)
                continue;
            if (auto f = fetchedMap.find(reference->code()); f != fetchedMap.end())
                page.push_back(f->second);
            else if (auto h = held.find(reference->code()); h != held.end())
                page.push_back(h->second);
        }
        domain()->notifyItemLoaded(page);
    } else {
        domain()->notifyItemsAddOrUpdate(fetched);
    }
    if (missing)
        VND_TRACE("Error", "%s", missing->errorMessage().value_or("").c_str());
    finishWithSnapshot(true, !missing);
}

void VnMagazineDomainUpdatingRequest::coreCancel() {
    VnDomainUpdatingRequest::coreCancel();
    if (auto fetch = std::move(realInfoRequest_))
        fetch->cancel();
}
