#include "vnlib/domain/lists/VnMagazineIssueDomain.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/core/Collections.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/VnItemCode.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/service/v2/VnMetaInfosRequestFactory.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

PLAT_DEFINE_CLASS(VnMagazineIssueDomain, VnDomain, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnMagazineIssueDomainUpdatingRequest, VnDomainUpdatingRequest, [](auto& c) {
    c.method("magazineIssueInfo_request:didFinishWithResult:",
             &VnMagazineIssueDomainUpdatingRequest::magazineIssueInfo_request_didFinishWithResult);
})

namespace {

using Proxy = VnMagazineIssueInfoProxy;

std::vector<Ref<VnMagazineIssueInfo>> recordsOf(const VnInfoList& items) {
    std::vector<Ref<VnMagazineIssueInfo>> records;
    for (const auto& item : items) {
        if (auto record = Proxy::recordOf(item))
            records.push_back(std::move(record));
    }
    return records;
}

// The references of a list are kept as they came (see VnRequestContext::keepsReceivedText): a
// list of thousands is read in one pass over each reference.
Ref<VnRequestContext> keepingText(Ref<VnRequestContext> request) {
    if (request)
        request->setKeepsReceivedText(true);
    return request;
}

Ref<VnRequestContext> metaIssueRequest(const Ref<VnBookStoreUserContext>& userContext,
                                       const std::string& kind,
                                       const std::optional<std::string>& magazineCode) {
    PLAT_PARAMETER_ASSERT(userContext);
    return keepingText(userContext->requestFactoryForIssueKind(kind)
                           .requestForMetaMagazineIssueInfosWithMagazineType(kind, magazineCode,
                                                                             VnIndexRange{0, 0}));
}

}  // namespace

Ref<VnRequestResult> VnRejectUnusableCodes(const plat::Value& reply, const char* what) {
    auto list = reply.array();
    if (!reply.isNilOrNull() && !list) {
        return VnRequestResult::failedResultWithErrorMessage(
            std::string("The ") + what + " is not a list: " + reply.description());
    }
    if (!list)
        return nullptr;
    Ref<VnRequestResult> rejected;
    list->enumerate([&](const plat::Value& element) {
        auto info = element.as<VnInfo>();
        if (info && info->code() && VnIsUsableItemCode(*info->code()) && info->codeCameAsText())
            return true;
        rejected = VnRequestResult::failedResultWithErrorMessage(
            std::string("The ") + what + " holds an element without a usable code: " +
            (info ? info->description() : element.description()));
        return false;
    });
    return rejected;
}

Ref<VnRequestResult> VnRejectMissingList(const plat::Value& reply, const char* what) {
    if (reply.isNilOrNull())
        return VnRequestResult::failedResultWithErrorMessage(std::string("The ") + what +
                                                             " is missing from the reply");
    bool holdsNull = false;
    if (auto list = reply.array()) {
        list->enumerate([&](const plat::Value& element) {
            holdsNull = element.isNilOrNull();
            return !holdsNull;
        });
    }
    if (!holdsNull)
        return nullptr;
    return VnRequestResult::failedResultWithErrorMessage(std::string("The ") + what +
                                                         " holds a null element");
}

VnInfoList VnKeepAskedRecords(const VnInfoList& records, const VnCodeSet& asked) {
    VnInfoList kept;
    for (const auto& record : records) {
        if (record && record->code() && asked.contains(*record->code())) {
            kept.push_back(record);
            continue;
        }
        VND_TRACE("Error", "Dropped a record that was not asked for: %s",
                  record ? record->code().value_or("(no code)").c_str() : "(null)");
    }
    return kept;
}

Ref<VnRequestResult> VnRejectMissingAskedCodes(const std::vector<std::string>& asked,
                                               const VnInfoList& records) {
    VnCodeSet answered(records.size());
    for (const auto& record : records) {
        if (record && record->code())
            answered.insert(*record->code());
    }
    std::string missing;
    size_t count = 0;
    for (const auto& code : asked) {
        if (answered.contains(code))
            continue;
        if (++count <= 5)
            missing += (missing.empty() ? "" : ", ") + code;
    }
    if (count == 0)
        return nullptr;
    return VnRequestResult::failedResultWithErrorMessage(
        "The batch did not bring back " + std::to_string(count) +
        " of the items asked for: " + missing + (count > 5 ? ", ..." : ""));
}

// ---- VnMagazineIssueDomain ---------------------------------------------------------------------

VnMagazineIssueDomain::VnMagazineIssueDomain(const Ref<VnBookStoreUserContext>& userContext,
                                             std::string issueKind,
                                             std::optional<std::string> magazineCode)
    : VnDomain(userContext, VnMagazineIssueInfo::classObject(),
               metaIssueRequest(userContext, issueKind, magazineCode)),
      magazineCode_(std::move(magazineCode)),
      issueKind_(std::move(issueKind)) {}

Ref<VnMagazineIssueDomain> VnMagazineIssueDomain::bookList(
    const Ref<VnBookStoreUserContext>& userContext, const std::string& bookCategory,
    std::optional<std::string> keyword) {
    const std::string kind = bookCategory == VnBookCategory_Libraries ? VnMagazineIssueKind_Library
                                                                      : VnMagazineIssueKind_Shops;
    auto domain = std::make_shared<VnMagazineIssueDomain>(userContext, kind);
    domain->bookCategory_ = bookCategory;
    domain->replaceItemsRequest(keepingText(
        userContext->requestFactoryForIssueKind(kind).requestForMetaBookInfosWithCategoryCode(
            bookCategory, keyword)));
    domain->keyword_ = std::move(keyword);
    return domain;
}

Ref<VnBookStoreUserContext> VnMagazineIssueDomain::bookStoreUserContext() const {
    return std::dynamic_pointer_cast<VnBookStoreUserContext>(userContext());
}

std::string VnMagazineIssueDomain::persistentStorageTableName() const {
    std::string name;
    if (bookCategory_)
        name = "Books." + *bookCategory_;
    else if (magazineCode_)
        name = issueKind_ + "." + *magazineCode_;
    else
        name = issueKind_;
    if (keyword_)
        name += "." + VnSafeTableText(*keyword_);
    return name;
}

Ref<VnLocalDataTable> VnMagazineIssueDomain::userIssueInfoDataTable() const {
    auto userContext = bookStoreUserContext();
    PLAT_ASSERT(userContext, "The list's user context has been closed");
    return userContext->userStorage()->userArchive()->tableWithName(
        persistentStorageTableName(), VnUserMagazineIssueInfo::classObject());
}

std::vector<Ref<VnUserMagazineIssueInfo>> VnMagazineIssueDomain::convertToUserInfo(
    const VnInfoList& items) const {
    std::vector<Ref<VnUserMagazineIssueInfo>> userInfos;
    for (const auto& item : items) {
        auto record = Proxy::recordOf(item);
        if (!record || !record->code())
            continue;
        auto userInfo = VnUserMagazineIssueInfo::itemWithMagazineIssueCode(*record->code());
        userInfo->setHiddenFromLibrary(record->hiddenFromLibrary_);
        userInfo->setSortIndex(VnSortIndexOf(item));
        userInfo->setFinished(record->finished_);
        userInfo->setReaded(record->readed_);
        userInfos.push_back(std::move(userInfo));
    }
    return userInfos;
}

Ref<VnMagazineIssueInfoProxy> VnMagazineIssueDomain::proxyWithInfo(
    const Ref<VnMagazineIssueInfo>& info, const Ref<VnUserMagazineIssueInfo>& userInfo) const {
    auto proxy = std::make_shared<VnMagazineIssueInfoProxy>(info);
    info->hiddenFromLibrary_ = userInfo && userInfo->hiddenFromLibrary();
    proxy->setSortIndex(userInfo ? userInfo->sortIndex() : 0);
    info->finished_ = userInfo && userInfo->finished();
    info->readed_ = userInfo && userInfo->readed();
    // The item's kind follows its record's type; nothing to set here.
    return proxy;
}

VnInfoList VnMagazineIssueDomain::itemsFromPersistentStorage() {
    auto userContext = bookStoreUserContext();
    if (!userContext)
        return {};
    auto catalogue = userContext->userStorage()->dataTableForMagazineIssueKind(issueKind_);
    if (!catalogue)
        return {};
    const auto userInfos = userIssueInfoDataTable()->takeItems();
    std::vector<std::string> codes;
    for (const auto& userInfo : userInfos) {
        if (userInfo->code())
            codes.push_back(*userInfo->code());
    }
    catalogue->preloadItemsWithCodes(codes);
    VnInfoList items;
    for (const auto& userInfo : userInfos) {
        if (!userInfo->code())
            continue;
        auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(
            catalogue->infoForCode(*userInfo->code()));
        if (!record || (magazineCode_ && record->headCode_ != magazineCode_))
            continue;
        items.push_back(
            proxyWithInfo(record, std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(userInfo)));
    }
    return VnSortedBySortIndex(std::move(items));
}

void VnMagazineIssueDomain::updateHeldItemsWithUserInfos(
    const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos) {
    auto table = userIssueInfoDataTable();
    // Held items keep their place in the table: a changed one is listed anew with its per-user
    // record, one whose per-user record is gone leaves, a code is listed once.
    VnInfoList items;
    std::unordered_set<std::string_view> listed;
    if (const auto& held = VnDomain::items(); !held.empty()) {
        std::unordered_set<std::string_view> changed(userInfos.size());
        for (const auto& userInfo : userInfos) {
            if (userInfo && userInfo->code())
                changed.insert(*userInfo->code());
        }
        for (const auto& item : held) {
            auto record = Proxy::recordOf(item);
            if (!record || !item->code() || !listed.insert(*item->code()).second)
                continue;
            auto userInfo = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(
                table->infoForCode(*item->code()));
            if (!userInfo)
                continue;
            items.push_back(changed.contains(*item->code()) ? proxyWithInfo(record, userInfo)
                                                            : item);
        }
    }
    // Codes new to the list join with the catalogue record stored for them, if any (an empty
    // catalogue, as at a first refresh, has none to look up).
    std::vector<std::string_view> joining;
    for (const auto& userInfo : userInfos) {
        if (userInfo && userInfo->code() && !listed.contains(*userInfo->code()))
            joining.emplace_back(*userInfo->code());
    }
    auto userContext = joining.empty() ? nullptr : bookStoreUserContext();
    auto catalogue = userContext
                         ? userContext->userStorage()->dataTableForMagazineIssueKind(issueKind_)
                         : nullptr;
    if (catalogue && catalogue->dataContext()->itemCount() > 0) {
        std::vector<std::string> missing;  // each code once
        std::unordered_set<std::string_view> seen(joining.size());
        for (const auto code : joining) {
            if (seen.insert(code).second)
                missing.emplace_back(code);
        }
        catalogue->preloadItemsWithCodes(missing);
        for (const auto& code : missing) {
            auto record =
                std::dynamic_pointer_cast<VnMagazineIssueInfo>(catalogue->infoForCode(code));
            if (!record || (magazineCode_ && record->headCode_ != magazineCode_))
                continue;
            if (auto userInfo =
                    std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(table->infoForCode(code)))
                items.push_back(proxyWithInfo(record, userInfo));
        }
    }
    // The order storage gives: by position, then by code (every item here has one: held ones
    // were checked, joining ones are listed by their record's code).
    std::vector<std::tuple<int32_t, std::string_view, size_t>> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        keys.emplace_back(VnSortIndexOf(items[i]), std::string_view(*items[i]->code()), i);
    std::sort(keys.begin(), keys.end());
    VnInfoList sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(items[std::get<2>(key)]));
    replaceItemsCacheWithItems(sorted);
}

Ref<VnMagazineIssueInfo> VnMagazineIssueDomain::latestIssueFromSnapshot() {
    Ref<VnMagazineIssueInfo> latest;
    const auto snapshot = takeLocalSnapshot();
    for (const auto& item : snapshot->items()) {
        auto record = Proxy::recordOf(item);
        if (record && (!latest || latest->issueDate().value_or(plat::Date{}) <=
                                      record->issueDate().value_or(plat::Date{})))
            latest = record;
    }
    return latest;
}

void VnMagazineIssueDomain::persistItems(const VnInfoList& items) {
    if (auto userContext = bookStoreUserContext())
        userContext->userStorage()->persistMagazineIssueInfos(recordsOf(items), issueKind_);
    replaceItemsCacheWithItems(VnSortedBySortIndex(items));
}

void VnMagazineIssueDomain::persistAddOrUpdateItems(const VnInfoList& items) {
    if (auto userContext = bookStoreUserContext())
        userContext->userStorage()->persistMagazineIssueInfos(recordsOf(items), issueKind_);
    replaceItemsCacheWithItems(VnSortedBySortIndex(VnDomain::items()));
}

void VnMagazineIssueDomain::notifyItemsAddOrUpdate(const VnInfoList& incoming) {
    auto table = userIssueInfoDataTable();
    VnInfoList proxies;
    for (const auto& item : incoming) {
        auto record = Proxy::recordOf(item);
        if (!record || !record->code())
            continue;
        proxies.push_back(proxyWithInfo(record, std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(
                                                    table->infoForCode(*record->code()))));
    }
    VnDomain::notifyItemsAddOrUpdate(proxies);
    auto userContext = bookStoreUserContext();
    for (const auto& proxy : proxies) {
        auto record = Proxy::recordOf(proxy);
        if (!record->pageArray_ || !userContext)
            continue;
        auto pageTable = userContext->pageDataTableForIssueInfo(record);
        pageTable->replaceWithNewItems(VnInfoListFromArray(record->pageArray_));
        pageTable->flushStorageWriting();
    }
}

void VnMagazineIssueDomain::notifyUserInfoItemsRemove(
    const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos) {
    auto table = userIssueInfoDataTable();
    std::set<std::string> removed;
    for (const auto& userInfo : userInfos) {
        if (userInfo && userInfo->code() && removed.insert(*userInfo->code()).second)
            table->removeInfoByCode(*userInfo->code());
    }
    // One pass over the held list, however many items leave.
    std::erase_if(VnDomain::items(), [&](const Ref<VnInfo>& item) {
        return item->code() && removed.contains(*item->code());
    });
}

void VnMagazineIssueDomain::notifyUserInfoItemsRemovedAll() {
    userIssueInfoDataTable()->replaceWithNewItems({});
    clearItemsCache();
}

void VnMagazineIssueDomain::notifyUserInfoItemsAddOrUpdate(
    const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos) {
    userIssueInfoDataTable()->updateWithInfos(VnInfoList(userInfos.begin(), userInfos.end()));
    // A list not read yet is read with these records on first use.
    if (loadedFromPersistentStorage())
        updateHeldItemsWithUserInfos(userInfos);
}

void VnMagazineIssueDomain::flushUserInfoItemsWritingCache() {
    userIssueInfoDataTable()->flushStorageWriting();
}

void VnMagazineIssueDomain::notifyUserItemsAddOrUpdate(const VnInfoList& items) {
    notifyUserInfoItemsAddOrUpdate(convertToUserInfo(items));
}

void VnMagazineIssueDomain::notifyUserItemsRemoved(const VnInfoList& items) {
    auto table = userIssueInfoDataTable();
    for (const auto& userInfo : convertToUserInfo(items))
        table->removeInfoByCode(*userInfo->code());
    table->flushStorageWriting();
}

bool VnMagazineIssueDomain::containsInfo(const Ref<VnInfo>& info) const {
    return info && info->code() && userIssueInfoDataTable()->infoForCode(*info->code()) != nullptr;
}

Ref<VnLocalSnapshot> VnMagazineIssueDomain::takeLocalUserItemSnapshot() const {
    return VnLocalSnapshot::snapshotsWithItems(userIssueInfoDataTable()->takeItems(),
                                               plat::Date::now());
}

Ref<VnRequestContext> VnMagazineIssueDomain::updateRequestWithRange(VnIndexRange range) {
    auto userContext = bookStoreUserContext();
    PLAT_ASSERT(userContext, "The list's user context has been closed");
    auto& factory = userContext->requestFactoryForIssueKind(issueKind_);
    auto request = bookCategory_ ? factory.requestForMetaBookInfosWithCategoryCode(bookCategory_,
                                                                                   keyword_, range)
                                 : factory.requestForMetaMagazineIssueInfosWithMagazineType(
                                       issueKind_, magazineCode_, range);
    if (request)
        request->setKeepsNullElements(true);
    return keepingText(request);
}

Ref<VnDomainUpdatingRequest> VnMagazineIssueDomain::requestForUpdateWithRange(VnIndexRange range) {
    auto request = std::make_shared<VnMagazineIssueDomainUpdatingRequest>(
        self<VnDomain>(), updateRequestWithRange(range), VnLocalSnapshot::empty());
    request->setUpdateRange(range);
    return plat::autorelease(std::move(request));
}

Ref<VnDomainUpdatingRequest> VnMagazineIssueDomain::requestForUpdateWithStartIndex(int32_t start,
                                                                                   int32_t length) {
    return requestForUpdateWithRange(
        {static_cast<uint64_t>(std::max(start, 0)), static_cast<uint64_t>(std::max(length, 0))});
}

Ref<VnDomainUpdatingRequest> VnMagazineIssueDomain::makeDomainUpdatingRequest(
    Ref<VnLocalSnapshot> previousSnapshot) {
    auto request = std::make_shared<VnMagazineIssueDomainUpdatingRequest>(
        self<VnDomain>(), "itemsRequestFactory:", std::move(previousSnapshot));
    request->setIsBook(bookCategory_.has_value());
    request->setIsLibrary(issueKind_ == VnMagazineIssueKind_Library);
    return request;
}

// ---- VnMagazineIssueDomainUpdatingRequest -------------------------------------------------------

Ref<VnMagazineIssueDomain> VnMagazineIssueDomainUpdatingRequest::issueDomain() const {
    return std::static_pointer_cast<VnMagazineIssueDomain>(domain());
}

bool VnMagazineIssueDomainUpdatingRequest::checkUpdateWithRemoteInfo(
    const Ref<VnInfo>& reference, const Ref<VnInfo>& held) const {
    const auto& referenceHash = VnHashOf(reference);
    if (!referenceHash || referenceHash != VnHashOf(held))
        return true;
    auto record = Proxy::recordOf(held);
    return !record || record->bookKind() != bookKind();
}

bool VnMagazineIssueDomainUpdatingRequest::checkSortIndexUpdate(const Ref<VnInfo>& reference,
                                                                const Ref<VnInfo>& userInfo) {
    return VnSortIndexOf(reference) != VnSortIndexOf(userInfo);
}

std::vector<Ref<VnUserMagazineIssueInfo>> VnMagazineIssueDomainUpdatingRequest::userItemsByInfos(
    const VnInfoList& infos) const {
    auto table = issueDomain()->userIssueInfoDataTable();
    std::vector<Ref<VnUserMagazineIssueInfo>> userInfos;
    for (const auto& info : infos) {
        if (!info || !info->code())
            continue;
        auto userInfo =
            std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(table->infoForCode(*info->code()));
        if (!userInfo) {
            userInfo = VnUserMagazineIssueInfo::itemWithMagazineIssueCode(*info->code());
            userInfo->setSortIndex(VnSortIndexOf(info));
        }
        userInfos.push_back(std::move(userInfo));
    }
    return userInfos;
}

VnChangeList VnMagazineIssueDomainUpdatingRequest::filterForNeedUpdatedMetaInfo(
    const VnChangeList& changes) {
    std::vector<std::string> codes;
    for (const auto& change : changes) {
        if (change->updatedData()->code())
            codes.push_back(*change->updatedData()->code());
    }
    const auto held = VnInfoMapByCode(domain()->takeLocalSnapshotForCodes(codes)->items());
    VnChangeList needed;
    for (const auto& change : changes) {
        auto found = held.find(change->updatedData()->code());
        if (found == held.end() || VnHashOf(found->second) != VnHashOf(change->updatedData()))
            needed.push_back(change);
    }
    return needed;
}

Ref<VnRequestResult> VnMagazineIssueDomainUpdatingRequest::rejectRemoteValue(
    const plat::Value& value) const {
    if (auto missing = VnRejectMissingList(value, "reference list"))
        return missing;
    return VnRejectUnusableCodes(value, "reference list");
}

void VnMagazineIssueDomainUpdatingRequest::coreNotifyRemoteItemsAvailable(
    const VnInfoList& references) {
    if (endedWithNowhereToKeep())
        return;
    auto domain = issueDomain();
    fullLengthItemCount_ = 0;
    if (!references.empty()) {
        if (auto first = std::dynamic_pointer_cast<VnMagazineIssueMetaInfo>(references.front()))
            fullLengthItemCount_ = first->totalResultLength_;
    }

    const VnIndexRange range = updateRange();
    std::unordered_set<std::string_view> heldCodes;
    bool heldWithoutCode = false;
    const auto userRecords = domain->takeLocalUserItemSnapshot();
    for (const auto& userInfo : userRecords->items()) {
        if (userInfo->code())
            heldCodes.insert(*userInfo->code());
        else
            heldWithoutCode = true;
    }
    const uint64_t held = heldCodes.size() + (heldWithoutCode ? 1 : 0);
    const bool intersects = range.length > 0 && held > 0 && range.location < held;
    const bool covers = range.location == 0 && held <= range.location + range.length;
    Ref<VnLocalSnapshot> base = previousSnapshot();
    if (intersects && !covers) {
        domain->notifyUserInfoItemsRemovedAll();
        base = VnLocalSnapshot::empty();
    }

    const VnInfoIndexByCode referenceIndex(references);
    const auto changes = base->compareWithNewItems(
        references, referenceIndex, [this](const Ref<VnInfo>& n, const Ref<VnInfo>& o) {
            return checkUpdateWithRemoteInfo(n, o);
        });
    VnChangeList removed, added;
    modified_.clear();
    for (const auto& change : changes) {
        if (change->changeType() == VnDataChangeRecord::Removed)
            removed.push_back(change);
        else if (change->changeType() == VnDataChangeRecord::New)
            added.push_back(change);
        else
            modified_.push_back(change);
    }

    bool changed = false;
    if (!removed.empty() && !skipRemoving_) {
        notifyItemUpdateDelegate(VnDomainItemsRemovedSelector, removed);
        VnInfoList gone;
        for (const auto& change : removed)
            gone.push_back(change->originalData());
        domain->notifyUserInfoItemsRemove(userItemsByInfos(gone));
        changed = true;
    }
    if (!added.empty()) {
        changed = true;
        for (auto& change : filterForNeedUpdatedMetaInfo(added))
            modified_.push_back(std::move(change));
    }
    std::vector<std::string> codes;
    VnInfoList toFetch;
    for (const auto& change : modified_) {
        codes.push_back(*change->updatedData()->code());
        toFetch.push_back(change->updatedData());
    }
    // A per-user record the table holds already, of an item the list holds, stays as it is: only
    // the others are written (and listed).
    std::vector<Ref<VnUserMagazineIssueInfo>> userInfos;
    if (!toFetch.empty()) {
        auto table = domain->userIssueInfoDataTable();
        const VnInfoIndexByCode listed(domain->items());
        for (auto& userInfo : userItemsByInfos(toFetch)) {
            if (table->infoForCode(*userInfo->code()) != userInfo ||
                !listed.contains(userInfo->code()))
                userInfos.push_back(std::move(userInfo));
        }
    }
    if (!userInfos.empty())
        domain->notifyUserInfoItemsAddOrUpdate(userInfos);

    // Positions: every per-user record takes its reference's sort index.
    const auto userSnapshot = domain->takeLocalUserItemSnapshot();
    const auto moves =
        userSnapshot->compareWithNewItems(references, referenceIndex, &checkSortIndexUpdate);
    std::vector<Ref<VnUserMagazineIssueInfo>> positions;
    for (const auto& change : moves) {
        changed = true;
        if (change->changeType() == VnDataChangeRecord::Modified) {
            auto userInfo =
                std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(change->originalData());
            if (!userInfo)
                continue;
            userInfo->setSortIndex(VnSortIndexOf(change->updatedData()));
            positions.push_back(userInfo);
        } else if (change->changeType() == VnDataChangeRecord::New) {
            auto userInfo =
                VnUserMagazineIssueInfo::itemWithMagazineIssueCode(*change->updatedData()->code());
            userInfo->setSortIndex(VnSortIndexOf(change->updatedData()));
            positions.push_back(userInfo);
        }
    }
    if (!positions.empty())
        domain->notifyUserInfoItemsAddOrUpdate(positions);
    domain->flushUserInfoItemsWritingCache();

    // A code listed twice is fetched once (one item, one stored row).
    VnCodeSet seen(codes.size());
    std::vector<std::string> unique;
    unique.reserve(codes.size());
    for (const auto& code : codes) {
        if (seen.insert(code).second)
            unique.push_back(code);
    }
    if (unique.size() != codes.size()) {
        std::string list;
        for (const auto& code : codes)
            list += (list.empty() ? "" : ", ") + code;
        VND_TRACE("Warning", "Duplicate book codes detected (%s)", list.c_str());
    }

    if (unique.empty()) {
        domain->markUpdated();
        coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value::fromObject(finalSnapshot(changed)), nullptr));
        return;
    }
    queryingInfoCodes_.assign(unique.begin(), unique.end());
    askedCodes_ = std::move(seen);
    resultItems_.clear();
    anyBatchFailed_ = false;
    startLoadingByInfoCodes();
}

Ref<VnUpdatedLocalSnapshot> VnMagazineIssueDomainUpdatingRequest::finalSnapshot(bool hasUpdated) {
    auto snapshot = takeLocalSnapshotWithUpdateFlag(hasUpdated);
    snapshot->setFullLengthItemCount(fullLengthItemCount_);
    return snapshot;
}

void VnMagazineIssueDomainUpdatingRequest::startLoadingByInfoCodes() {
    chainedRequest_.reset();
    if (queryingInfoCodes_.empty())
        return;
    const size_t n = std::min(kBatchSize, queryingInfoCodes_.size());
    std::vector<plat::Value> codes;
    batchCodes_.clear();
    for (size_t i = 0; i < n; ++i) {
        codes.emplace_back(queryingInfoCodes_.front());
        batchCodes_.push_back(std::move(queryingInfoCodes_.front()));
        queryingInfoCodes_.pop_front();
    }
    chainedRequest_ = makeBatchRequest(plat::Array::make(std::move(codes)));
    if (!chainedRequest_) {
        coreNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("No store session to fetch items"));
        return;
    }
    // The records keep what they were loaded from as the reply's text.
    chainedRequest_->setKeepsReceivedText(true);
    chainedRequest_->startWithDelegate(self(), "magazineIssueInfo_");
}

Ref<VnRequestContext> VnMagazineIssueDomainUpdatingRequest::makeBatchRequest(
    const Ref<plat::Array>& codes) {
    auto session = domain()->storeRemoteSession();
    if (!session)
        return nullptr;
    return isBook_ ? session->newBookInfosRequestWithCodes(codes)
                   : session->newMagazineIssueInfosRequestWithCodes(codes);
}

bool VnMagazineIssueDomainUpdatingRequest::endedWithNowhereToKeep() {
    const auto user = issueDomain()->bookStoreUserContext();
    if (user && user->userStorage()->localStorage())
        return false;
    queryingInfoCodes_.clear();
    chainedRequest_.reset();
    resultItems_.clear();
    coreNotifyFinishWithResult(VnRequestResult::failedResultWithErrorMessage(
        user ? "The list's storage has been closed" : "The list's user context has been closed"));
    return true;
}

void VnMagazineIssueDomainUpdatingRequest::magazineIssueInfo_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    auto keep = chainedRequest_;
    if (endedWithNowhereToKeep())
        return;
    Ref<VnRequestResult> failure;
    if (!result->succeed())
        failure = result;
    else
        failure = VnRejectUnusableCodes(result->returnValue(), "batch");
    if (!failure) {
        auto kept =
            VnKeepAskedRecords(itemsByRequestReturnValue(result->returnValue()), askedCodes_);
        // A batch that leaves out an asked item ends as a failed one that is not the last: what
        // came is kept and the list is not marked updated, so the next refresh asks again.
        if (auto missing = VnRejectMissingAskedCodes(batchCodes_, kept)) {
            VND_TRACE("Error", "%s", missing->errorMessage().value_or("").c_str());
            anyBatchFailed_ = true;
        }
        for (auto& record : kept)
            resultItems_.push_back(std::move(record));
        coreReportProgress(VnRequestProgressMake(
            static_cast<float>(resultItems_.size()),
            static_cast<float>(resultItems_.size() + queryingInfoCodes_.size())));
    } else {
        anyBatchFailed_ = true;
        VND_TRACE("Error", "A batch of items failed: %s",
                  failure->errorMessage().value_or("").c_str());
    }
    if (!queryingInfoCodes_.empty()) {
        startLoadingByInfoCodes();
        return;
    }
    finishWithFetchedRecords(failure);
}

void VnMagazineIssueDomainUpdatingRequest::finishWithFetchedRecords(
    const Ref<VnRequestResult>& lastFailure) {
    auto domain = issueDomain();
    // Every modified reference and every kept record has a code (unusable ones were refused).
    std::unordered_map<std::string_view, const Ref<VnInfo>*> modifiedMap(modified_.size());
    for (const auto& change : modified_) {
        if (const auto& code = change->updatedData()->code())
            modifiedMap[*code] = &change->updatedData();
    }
    // One record per code, the last answer winning.
    VnInfoList records;
    records.reserve(resultItems_.size());
    std::unordered_map<std::string_view, size_t> position(resultItems_.size());
    const char* type = isNewspaper_ ? "Newspaper" : isBook_ ? "Book" : "Magazine";
    for (const auto& item : resultItems_) {
        auto* record = dynamic_cast<VnMagazineIssueInfo*>(item.get());
        if (!record || !record->code())
            continue;
        record->type_ = type;
        auto [at, inserted] = position.try_emplace(*record->code(), records.size());
        if (inserted)
            records.push_back(item);
        else
            records[at->second] = item;
    }
    VnInfoList added;
    VnChangeList changed;
    for (const auto& record : records) {
        if (auto reference = modifiedMap.find(*record->code()); reference != modifiedMap.end())
            changed.push_back(
                VnDataChangeRecord::changeWithModifiedData(record, *reference->second));
        else
            added.push_back(record);
    }
    // What arrived is kept even when a batch failed: the next refresh fetches only the rest.
    if (!records.empty())
        domain->notifyItemsAddOrUpdate(records);
    if (!added.empty())
        notifyItemUpdateDelegate(VnDomainItemsAddedSelector, added);
    if (!changed.empty())
        notifyItemUpdateDelegate(VnDomainItemsChangedSelector, changed);
    chainedRequest_.reset();
    resultItems_.clear();
    if (lastFailure) {
        coreNotifyFinishWithResult(lastFailure);
        return;
    }
    // The domain counts as refreshed only when every batch arrived.
    if (!anyBatchFailed_)
        domain->markUpdated();
    coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
        plat::Value::fromObject(finalSnapshot(true)), nullptr));
}

void VnMagazineIssueDomainUpdatingRequest::coreCancel() {
    VnDomainUpdatingRequest::coreCancel();
    queryingInfoCodes_.clear();
    if (auto batch = std::move(chainedRequest_))
        batch->cancel();
}

void VnMagazineIssueDomainUpdatingRequest::coreCleanUp() {
    queryingInfoCodes_.clear();
    // Their room goes too (clear() would keep it while the request is held).
    VnCodeSet().swap(askedCodes_);
    VnChangeList().swap(modified_);
    VnInfoList().swap(resultItems_);
    std::vector<std::string>().swap(batchCodes_);
}
