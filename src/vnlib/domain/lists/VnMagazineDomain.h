#pragma once
// VnMagazineDomain: the magazine titles of one category or search, kept in a store table and
// always ordered by the server's sort index. Its refresh, VnMagazineDomainUpdatingRequest, takes
// the server's light list of references (code, hash, sort index), removes the titles that
// vanished and fetches, in one request, the full records of the new and changed ones (a title
// that only moved counts as changed).
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnStoreDomain.h"

class VnMagazineDomain : public VnStoreDomain {
    PLAT_CLASS(VnMagazineDomain)
  public:
    using VnStoreDomain::VnStoreDomain;

    // Sorted by sort index.
    VnInfoList itemsFromPersistentStorage() override;
    // Stores the list, then holds it sorted by sort index.
    void persistItems(const VnInfoList& items) override;
    const std::optional<std::string>& category() const { return category_; }
    void setCategory(std::optional<std::string> category) { category_ = std::move(category); }

  protected:
    Ref<VnDomainUpdatingRequest> makeDomainUpdatingRequest(
        Ref<VnLocalSnapshot> previousSnapshot) override;

  private:
    std::optional<std::string> category_;
};

class VnMagazineDomainUpdatingRequest : public VnDomainUpdatingRequest {
    PLAT_CLASS(VnMagazineDomainUpdatingRequest)
  public:
    using VnDomainUpdatingRequest::VnDomainUpdatingRequest;

    const Ref<VnRequestContext>& realInfoRequest() const { return realInfoRequest_; }
    void markUpdatedIfNeeded();
    // Changed when the hashes differ, or when equal hashes come with another sort index.
    static bool checkUpdate(const Ref<VnInfo>& reference, const Ref<VnInfo>& held);
    // The references whose code the domain does not hold with the same hash.
    VnInfoList filterForNeedUpdatedMetaInfo(const VnInfoList& references);
    Ref<VnRequestResult> rejectRemoteValue(const plat::Value& value) const override;
    void coreNotifyRemoteItemsAvailable(const VnInfoList& references) override;
    void magazineInfo_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                  Ref<VnRequestResult> result);

  protected:
    void coreCancel() override;

  private:
    // Marks the domain updated only when the refresh brought the whole list.
    void finishWithSnapshot(bool hasUpdated, bool whole = true);

    Ref<VnRequestContext> realInfoRequest_;
    // Kept from the meta list for the fetch's answer.
    VnChangeList modified_;
    VnInfoList fetchList_;
    VnInfoList metaList_;
};
