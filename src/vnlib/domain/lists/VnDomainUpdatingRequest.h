#pragma once
// VnDomainUpdatingRequest: brings a domain up to date for a caller showing a snapshot. A fresh
// snapshot (and no forced update) finishes on a later turn with the local list; otherwise the
// domain's item request runs through the user context's gate, its items are stored in the domain
// and the request finishes with an updated snapshot (hasUpdated YES). With a range, only that part
// of the server-side list is asked for ("start", "length"). Subclasses take the server's items
// in coreNotifyRemoteItemsAvailable to compare them with the previous snapshot.
#include "vnlib/domain/lists/VnDomain.h"

class VnDomainUpdatingRequest;

// The item-level messages of a refresh, sent only to a delegate that answers them:
//   domainUpdatingRequest:itemsAdded:   (request, list of records)
//   domainUpdatingRequest:itemsChanged: (request, list of change records)
//   domainUpdatingRequest:itemsRemoved: (request, list of change records)
inline constexpr const char* VnDomainItemsAddedSelector = "domainUpdatingRequest:itemsAdded:";
inline constexpr const char* VnDomainItemsChangedSelector = "domainUpdatingRequest:itemsChanged:";
inline constexpr const char* VnDomainItemsRemovedSelector = "domainUpdatingRequest:itemsRemoved:";

class VnDomainUpdatingRequest : public VnRequestContext {
    PLAT_CLASS(VnDomainUpdatingRequest)
  public:
    // The given item request is run (or joined when it runs already).
    VnDomainUpdatingRequest(Ref<VnDomain> domain, Ref<VnRequestContext> itemsRequest,
                            Ref<VnLocalSnapshot> previousSnapshot);
    // The item request is made at start by sending the selector, with the range, to the domain.
    VnDomainUpdatingRequest(Ref<VnDomain> domain, plat::Selector itemRequestFactorySelector,
                            Ref<VnLocalSnapshot> previousSnapshot);

    const Ref<VnDomain>& domain() const { return domain_; }
    void setDomain(Ref<VnDomain> domain);
    const Ref<VnRequestContext>& activeRequest() const { return activeRequest_; }
    const Ref<VnLocalSnapshot>& previousSnapshot() const { return previousSnapshot_; }
    Ref<plat::Object> itemUpdateDelegate() const { return itemUpdateDelegate_.lock(); }
    void setItemUpdateDelegate(const Ref<plat::Object>& delegate) {
        itemUpdateDelegate_ = delegate;
    }
    bool forceUpdate() const { return forceUpdate_; }
    void setForceUpdate(bool force) { forceUpdate_ = force; }
    VnIndexRange updateRange() const { return updateRange_; }
    void setUpdateRange(VnIndexRange range) { updateRange_ = range; }

    // A failed result for a server answer that must not be taken at all; null to take it.
    virtual Ref<VnRequestResult> rejectRemoteValue(const plat::Value&) const { return nullptr; }
    // A list as it is; nothing as an empty list; any other value as a one-element list.
    virtual VnInfoList itemsByRequestReturnValue(const plat::Value& returnValue) const;
    // Takes the server's items and finishes: the base makes them the domain's whole list.
    virtual void coreNotifyRemoteItemsAvailable(const VnInfoList& items);
    // A subclass's look at received items; the base does nothing and nothing here calls it.
    virtual void processReceivedItems(const VnInfoList&) {}
    void activeRequest_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                   Ref<VnRequestResult> result);
    // Ranged when the update range has a length.
    Ref<VnUpdatedLocalSnapshot> takeLocalSnapshotWithUpdateFlag(bool hasUpdated);

  protected:
    void coreStart() override;
    void coreCancel() override;
    // Sends an item-level message when the delegate answers it.
    void notifyItemUpdateDelegate(plat::Selector sel, const VnInfoList& items);
    void notifyItemUpdateDelegate(plat::Selector sel, const VnChangeList& changes);

  private:
    Ref<VnDomain> domain_;
    Ref<VnRequestContext> activeRequest_;
    Ref<VnLocalSnapshot> previousSnapshot_;
    plat::Selector itemRequestFactorySelector_;
    VnIndexRange updateRange_;
    bool forceUpdate_ = false;
    WeakRef<plat::Object> itemUpdateDelegate_;
};
