#include "vnlib/domain/lists/VnDomain.h"

#include <algorithm>
#include <unordered_set>

#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

PLAT_DEFINE_CLASS(VnDomain, VnBookStoreContextSubobject, [](auto& c) {
    c.method("itemsRequestFactory:", &VnDomain::itemsRequestFactory);
    c.method("cancelAllRequests", &VnDomain::cancelAllRequests);
})

namespace {
Ref<VnBookStoreContext> contextOfUserContext(const Ref<plat::Object>& userContext) {
    auto subobject = std::dynamic_pointer_cast<VnBookStoreContextSubobject>(userContext);
    return subobject ? subobject->context() : nullptr;
}
}  // namespace

VnDomain::VnDomain(Ref<VnBookStoreContext> context, const plat::Class& itemClass,
                   Ref<VnRequestContext> itemsRequest)
    : VnBookStoreContextSubobject(std::move(context)),
      itemClass_(&itemClass),
      itemsRequest_(std::move(itemsRequest)) {
    PLAT_PARAMETER_ASSERT(itemsRequest_);
    // A reply of nulls must not read as an empty list: subclasses refuse it.
    itemsRequest_->setKeepsNullElements(true);
}

VnDomain::VnDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
                   Ref<VnRequestContext> itemsRequest)
    : VnDomain(contextOfUserContext(userContext), itemClass, std::move(itemsRequest)) {
    userContext_ = userContext;
}

VnDomain::~VnDomain() {
    if (itemsRequest_)
        itemsRequest_->cancel();
}

void VnDomain::replaceItemsRequest(Ref<VnRequestContext> request) {
    PLAT_PARAMETER_ASSERT(request);
    request->setKeepsNullElements(true);
    if (request != itemsRequest_)
        itemsRequest_ = std::move(request);
}

Ref<VnStoreRemoteSession> VnDomain::storeRemoteSession() const {
    auto userContext = userContext_.lock();
    if (!userContext)
        return nullptr;
    return plat::send(userContext, VnDomainUserContextMessages::kStoreRemoteSession);
}

void VnDomain::persistAddOrUpdateItems(const VnInfoList&) {
    persistItems(items_);
}

void VnDomain::persistRemoveItems(const VnInfoList&) {
    persistItems(items_);
}

void VnDomain::ensureLocalItems() {
    if (loadedFromPersistentStorage_)
        return;
    items_ = itemsFromPersistentStorage();
    std::erase(items_, nullptr);
    loadedFromPersistentStorage_ = true;
}

VnInfoList& VnDomain::items() {
    ensureLocalItems();
    return items_;
}

void VnDomain::notifyItemsAddOrUpdate(const VnInfoList& incoming) {
    ensureLocalItems();
    const VnInfoIndexByCode held(items_);
    // The objects appended so far are only looked up for a held code: a list that holds nothing
    // (a first refresh) need not keep them.
    const bool holdsItems = !items_.empty();
    std::unordered_set<const VnInfo*> replaced, appendedObjects(holdsItems ? incoming.size() : 0);
    VnInfoList appended;
    appended.reserve(incoming.size());
    for (const auto& item : incoming) {
        if (!item)
            continue;
        if (const Ref<VnInfo>* found = held.find(item->code())) {
            replaced.insert(found->get());
            // A held object that was given earlier in the list leaves that place too.
            if (appendedObjects.erase(found->get()))
                std::erase(appended, *found);
        }
        appended.push_back(item);
        if (holdsItems)
            appendedObjects.insert(item.get());
    }
    // One pass over the held list, however many items are replaced.
    if (!replaced.empty())
        std::erase_if(items_,
                      [&](const Ref<VnInfo>& item) { return replaced.contains(item.get()); });
    items_.insert(items_.end(), appended.begin(), appended.end());
    persistAddOrUpdateItems(incoming);
}

void VnDomain::notifyItemsRemoved(const VnInfoList& removed) {
    ensureLocalItems();
    for (const auto& item : removed)
        std::erase(items_, item);
    persistRemoveItems(removed);
}

void VnDomain::notifyItemsRemovedAll() {
    items_.clear();
    persistItems(items_);
}

void VnDomain::notifyItemLoaded(const VnInfoList& loaded) {
    ensureLocalItems();
    items_ = loaded;
    std::erase(items_, nullptr);
    persistItems(loaded);
}

void VnDomain::clearItemsCache() {
    items_.clear();
    loadedFromPersistentStorage_ = false;
}

void VnDomain::replaceItemsCacheWithItems(const VnInfoList& replacement) {
    items_ = replacement;
    std::erase(items_, nullptr);
}

void VnDomain::removeItemCacheForItem(const Ref<VnInfo>& item) {
    std::erase(items_, item);
}

plat::Date VnDomain::snapshotDate() const {
    return lastUpdated_.value_or(plat::Date{0});
}

Ref<VnLocalSnapshot> VnDomain::takeLocalSnapshot() {
    return VnLocalSnapshot::snapshotsWithItems(items(), snapshotDate());
}

Ref<VnUpdatedLocalSnapshot> VnDomain::takeLocalSnapshotWithUpdateFlag(bool hasUpdated) {
    return VnUpdatedLocalSnapshot::snapshotsWithItems(items(), snapshotDate(), hasUpdated);
}

VnIndexRange VnDomain::trimRange(VnIndexRange range) {
    const uint64_t count = items().size();
    const uint64_t start = std::min(range.location, count);
    const uint64_t end = start + std::min(range.length, count - start);
    return VnIndexRange{start, end - start};
}

Ref<VnUpdatedLocalSnapshot> VnDomain::takeLocalSnapshotWithUpdateFlag(bool hasUpdated,
                                                                      VnIndexRange itemRange) {
    const VnIndexRange range = trimRange(itemRange);
    const auto& held = items();
    VnInfoList slice(held.begin() + static_cast<ptrdiff_t>(range.location),
                     held.begin() + static_cast<ptrdiff_t>(range.location + range.length));
    return VnUpdatedLocalSnapshot::snapshotsWithItems(std::move(slice), snapshotDate(), hasUpdated);
}

Ref<VnLocalSnapshot> VnDomain::takeLocalSnapshotForCodes(const std::vector<std::string>& codes) {
    const auto held = VnInfoMapByCode(items());
    VnInfoList found;
    for (const auto& code : codes) {
        if (auto it = held.find(code); it != held.end())
            found.push_back(it->second);
    }
    return VnLocalSnapshot::snapshotsWithItems(std::move(found), snapshotDate());
}

bool VnDomain::snapshotShouldUpdate(const Ref<VnLocalSnapshot>& snapshot) const {
    if (alwaysRequestUpdate_ || !lastUpdated_ || !snapshot)
        return true;
    return snapshot->lastUpdated().seconds + lastUpdateExpirationInterval_ <
           plat::Date::now().seconds;
}

void VnDomain::markUpdated() {
    lastUpdated_ = plat::Date::now();
    plat::sendIfResponds(userContext_, VnDomainUserContextMessages::kDomainMarkUpdated,
                         self<VnDomain>());
}

Ref<VnDomainUpdatingRequest> VnDomain::newDomainUpdatingRequest(
    Ref<VnLocalSnapshot> previousSnapshot) {
    if (!previousSnapshot)
        previousSnapshot = VnLocalSnapshot::empty();
    return makeDomainUpdatingRequest(std::move(previousSnapshot));
}

Ref<VnDomainUpdatingRequest> VnDomain::makeDomainUpdatingRequest(
    Ref<VnLocalSnapshot> previousSnapshot) {
    return std::make_shared<VnDomainUpdatingRequest>(
        self<VnDomain>(), "itemsRequestFactory:", std::move(previousSnapshot));
}

Ref<VnRequestContext> VnDomain::itemsRequestFactory(VnIndexRange) {
    return itemsRequest_->jointRequest();
}

void VnDomain::executeRequest(const Ref<VnRequestContext>& request,
                              const Ref<plat::Object>& delegate,
                              const std::string& selectorPrefix) {
    if (auto userContext = userContext_.lock()) {
        plat::send(userContext, VnDomainUserContextMessages::kExecuteRequest, request, delegate,
                   selectorPrefix);
    } else {
        request->startWithDelegate(delegate, selectorPrefix);
    }
}

void VnDomain::cancelRequest(const Ref<VnRequestContext>& request) {
    if (auto userContext = userContext_.lock())
        plat::send(userContext, VnDomainUserContextMessages::kCancelRequest, request);
    else
        request->cancel();
}

void VnDomain::cancelAllRequests() {
    // The domain goes with its user: the updates that joined its items request hold their callers
    // (a list on screen) and are held by them, and end now rather than never.
    itemsRequest_->cancelEndingJointRequests();
}

Ref<VnDomainUpdatingRequest> VnDomain::_interlockedNominateActiveDomainRequest(
    const Ref<VnDomainUpdatingRequest>& request) {
    std::lock_guard lock(activeRequestLock_);
    auto held = activeRequest_.lock();
    if (!held || !held->running()) {
        activeRequest_ = request;
        held = request;
    }
    return held;
}
