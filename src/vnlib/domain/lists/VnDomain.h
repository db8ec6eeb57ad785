#pragma once
// VnDomain: the in-memory, ordered list of the records of one class that one catalogue or user
// list holds, loaded once from storage (the persistence hooks of each concrete domain), with the
// request that fetches it from the service and the time it was last refreshed. Screens take
// snapshots and refresh them through updating requests made here; several refreshes at once
// share one server call. The domain never sorts: items keep the order in which they arrived.
//
// The owning user context is not owned and may be absent; it is reached by message:
// "executeRequest:withDelegate:selectorPrefix:" and "cancelRequest:" (its sign-in gate),
// "storeRemoteSession" and "domainMarkUpdated:". Without one, requests start directly.
#include <mutex>
#include <optional>

#include "platform/core/Message.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContextSubobject.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/service/params/VnGetMagazineIssueInfosParams.h"

class VnDomain;
class VnDomainUpdatingRequest;
class VnStoreRemoteSession;

// What a domain asks of its user context, declared once with their C++ types.
struct VnDomainUserContextMessages {
    static constexpr plat::Message<void(const Ref<VnRequestContext>&, const Ref<plat::Object>&,
                                        const std::string&)>
        kExecuteRequest{"executeRequest:withDelegate:selectorPrefix:"};
    static constexpr plat::Message<void(const Ref<VnRequestContext>&)> kCancelRequest{
        "cancelRequest:"};
    static constexpr plat::Message<Ref<VnStoreRemoteSession>()> kStoreRemoteSession{
        "storeRemoteSession"};
    static constexpr plat::Message<void(const Ref<VnDomain>&)> kDomainMarkUpdated{
        "domainMarkUpdated:"};
};

class VnDomain : public VnBookStoreContextSubobject {
    PLAT_CLASS(VnDomain)
  public:
    static constexpr double kDefaultExpirationInterval = 3600.0;

    VnDomain(Ref<VnBookStoreContext> context, const plat::Class& itemClass,
             Ref<VnRequestContext> itemsRequest);
    // The user context is not owned; the bookstore context is asked of it ("context").
    VnDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
             Ref<VnRequestContext> itemsRequest);
    ~VnDomain() override;  // cancels the items request

    bool alwaysRequestUpdate() const { return alwaysRequestUpdate_; }
    void setAlwaysRequestUpdate(bool always) { alwaysRequestUpdate_ = always; }
    Ref<plat::Object> userContext() const { return userContext_.lock(); }
    const plat::Class& itemClass() const { return *itemClass_; }
    const Ref<VnRequestContext>& itemsRequest() const { return itemsRequest_; }
    void replaceItemsRequest(Ref<VnRequestContext> request);
    // The user context's version-3 store session; null without a user context.
    Ref<VnStoreRemoteSession> storeRemoteSession() const;

    // ---- Persistence hooks ----
    virtual VnInfoList itemsFromPersistentStorage() { return {}; }
    virtual void persistItems(const VnInfoList&) {}
    // Both store the whole held list by default.
    virtual void persistAddOrUpdateItems(const VnInfoList& items);
    virtual void persistRemoveItems(const VnInfoList& items);

    // ---- The held list ----
    void ensureLocalItems();
    // The held list, loaded first.
    VnInfoList& items();
    bool loadedFromPersistentStorage() const { return loadedFromPersistentStorage_; }
    // Merges by code: a held item of the same code leaves its place, the incoming one is
    // appended; then persistAddOrUpdateItems.
    virtual void notifyItemsAddOrUpdate(const VnInfoList& items);
    // Removes each given object (by identity); then persistRemoveItems.
    void notifyItemsRemoved(const VnInfoList& items);
    // Empties the list without loading it and stores the empty list.
    void notifyItemsRemovedAll();
    // The list becomes a copy of the given one and is stored.
    void notifyItemLoaded(const VnInfoList& items);
    // Back to unloaded: the next use reads storage again.
    void clearItemsCache();
    // Replaces the held list without storing it (persistence hooks reorder through this).
    void replaceItemsCacheWithItems(const VnInfoList& items);
    void removeItemCacheForItem(const Ref<VnInfo>& item);

    // ---- Snapshots and freshness ----
    std::optional<plat::Date> lastUpdated() const { return lastUpdated_; }
    double lastUpdateExpirationInterval() const { return lastUpdateExpirationInterval_; }
    void setLastUpdateExpirationInterval(double seconds) {
        lastUpdateExpirationInterval_ = seconds;
    }
    // lastUpdated, or 1970 when the domain was never refreshed.
    plat::Date snapshotDate() const;
    Ref<VnLocalSnapshot> takeLocalSnapshot();
    Ref<VnUpdatedLocalSnapshot> takeLocalSnapshotWithUpdateFlag(bool hasUpdated);
    Ref<VnUpdatedLocalSnapshot> takeLocalSnapshotWithUpdateFlag(bool hasUpdated,
                                                                VnIndexRange itemRange);
    // A subclass's own snapshot; the base has none. Nothing here calls it.
    virtual Ref<VnLocalSnapshot> coreTakeLocalSnapshot() { return nullptr; }
    // The held items of the listed codes, in the order of the codes; unknown codes skipped.
    Ref<VnLocalSnapshot> takeLocalSnapshotForCodes(const std::vector<std::string>& codes);
    VnIndexRange trimRange(VnIndexRange range);
    // Whether a caller showing this snapshot should ask the server.
    bool snapshotShouldUpdate(const Ref<VnLocalSnapshot>& snapshot) const;
    // lastUpdated becomes now; the user context is told.
    void markUpdated();
    void resetLastUpdated() { lastUpdated_.reset(); }

    // ---- Requests ----
    // A new updating request of this domain's refresh class, for the caller to start.
    Ref<VnDomainUpdatingRequest> newDomainUpdatingRequest(Ref<VnLocalSnapshot> previousSnapshot);
    // A new joint request on the shared items request (the range is for subclasses).
    virtual Ref<VnRequestContext> itemsRequestFactory(VnIndexRange range);
    // Through the user context's gate, or started directly without one.
    void executeRequest(const Ref<VnRequestContext>& request, const Ref<plat::Object>& delegate,
                        const std::string& selectorPrefix);
    void cancelRequest(const Ref<VnRequestContext>& request);
    virtual void cancelAllRequests();
    // Keeps the given request as the active one unless another is held and still running;
    // answers the held one. The domain does not keep it alive.
    Ref<VnDomainUpdatingRequest> _interlockedNominateActiveDomainRequest(
        const Ref<VnDomainUpdatingRequest>& request);

  protected:
    // Makes the updating request of this domain's kind.
    virtual Ref<VnDomainUpdatingRequest> makeDomainUpdatingRequest(
        Ref<VnLocalSnapshot> previousSnapshot);

  private:
    bool alwaysRequestUpdate_ = false;
    WeakRef<plat::Object> userContext_;
    const plat::Class* itemClass_;
    Ref<VnRequestContext> itemsRequest_;
    VnInfoList items_;
    double lastUpdateExpirationInterval_ = kDefaultExpirationInterval;
    std::optional<plat::Date> lastUpdated_;
    bool loadedFromPersistentStorage_ = false;
    std::mutex activeRequestLock_;
    WeakRef<VnDomainUpdatingRequest> activeRequest_;
};
