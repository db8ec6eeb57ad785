#pragma once
// VnMagazineIssueDomain: one list of catalogue items (the user's library, special issues, a
// magazine's back issues, a book category, a book search) as listed items: the catalogue records
// of the list's kind, kept in the user's object store and shared by every list of that kind, each
// with a per-user record of its own in a table of this list (position, hidden, finished, read).
//
// VnMagazineIssueDomainUpdatingRequest, its refresh: the server's references (code, hash, sort
// index) are compared with what the domain holds; vanished items leave, the per-user records are
// rewritten (written once per refresh), and only new or changed items are fetched in full, 200
// codes per request, with progress. Replies with unusable codes are refused before anything is
// stored; the domain is marked updated only when every batch arrived.
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>

#include "vnlib/domain/VnMagazineIssueKind.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/domain/storage/VnLocalDataTable.h"

class VnBookStoreUserContext;

// Codes of the fixed catalogue categories.
inline constexpr const char* VnMagazineCategory_All = "";
inline constexpr const char* VnMagazineCategory_Features = "_Features";
inline constexpr const char* VnMagazineCategory_NewArrivals = "_NewArrivals";
inline constexpr const char* VnMagazineCategory_TopSellers = "_TopSellers";
inline constexpr const char* VnMagazineCategory_Free = "_Free";
inline constexpr const char* VnMagazineCategory_SpecialIssues = "_SpecialIssues";
inline constexpr const char* VnMagazineCategory_Promotion = "_Promotion";
inline constexpr const char* VnMagazineCategory_MarsdenCatalog = "_MarsdenCatalog";
inline constexpr const char* VnBookCategory_Libraries = "_Libraries";

using VnCodeSet = std::unordered_set<std::string>;

class VnMagazineIssueDomain : public VnDomain {
    PLAT_CLASS(VnMagazineIssueDomain)
  public:
    // A list of a kind, or of one magazine's issues. The user context is not owned.
    VnMagazineIssueDomain(const Ref<VnBookStoreUserContext>& userContext, std::string issueKind,
                          std::optional<std::string> magazineCode = std::nullopt);
    // A book list ("_Libraries": the user's book library) or book search.
    static Ref<VnMagazineIssueDomain> bookList(const Ref<VnBookStoreUserContext>& userContext,
                                               const std::string& bookCategory,
                                               std::optional<std::string> keyword = std::nullopt);

    const std::optional<std::string>& magazineCode() const { return magazineCode_; }
    const std::optional<std::string>& bookCategory() const { return bookCategory_; }
    const std::optional<std::string>& keyword() const { return keyword_; }
    const std::string& issueKind() const { return issueKind_; }
    int32_t maximumItemCount() const { return maximumItemCount_; }
    void setMaximumItemCount(int32_t count) { maximumItemCount_ = count; }
    Ref<VnBookStoreUserContext> bookStoreUserContext() const;

    // "Books.<category>", "<kind>.<magazine>" or the kind; ".<keyword>" with unsafe characters
    // replaced by "_".
    std::string persistentStorageTableName() const;
    Ref<VnLocalDataTable> userIssueInfoDataTable() const;
    std::vector<Ref<VnUserMagazineIssueInfo>> convertToUserInfo(const VnInfoList& items) const;
    Ref<VnMagazineIssueInfoProxy> proxyWithInfo(const Ref<VnMagazineIssueInfo>& info,
                                                const Ref<VnUserMagazineIssueInfo>& userInfo) const;
    // The record of the latest issue date, or null for an empty list.
    Ref<VnMagazineIssueInfo> latestIssueFromSnapshot();

    VnInfoList itemsFromPersistentStorage() override;
    void persistItems(const VnInfoList& items) override;
    void persistAddOrUpdateItems(const VnInfoList& items) override;
    // Takes catalogue records (or listed items): each joins the list with its per-user record.
    void notifyItemsAddOrUpdate(const VnInfoList& records) override;

    // ---- The per-user table (written on flush) ----
    void notifyUserInfoItemsRemove(const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos);
    void notifyUserInfoItemsRemovedAll();
    // Stores the per-user records and updates the held list in place, as reading it again from
    // storage would give it.
    void notifyUserInfoItemsAddOrUpdate(const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos);
    void flushUserInfoItemsWritingCache();
    void notifyUserItemsAddOrUpdate(const VnInfoList& items);
    void notifyUserItemsRemoved(const VnInfoList& items);
    bool containsInfo(const Ref<VnInfo>& info) const;
    Ref<VnLocalSnapshot> takeLocalUserItemSnapshot() const;

    // ---- Requests ----
    Ref<VnRequestContext> updateRequestWithRange(VnIndexRange range);
    Ref<VnDomainUpdatingRequest> requestForUpdateWithRange(VnIndexRange range);
    Ref<VnDomainUpdatingRequest> requestForUpdateWithStartIndex(int32_t start, int32_t length);

  protected:
    Ref<VnDomainUpdatingRequest> makeDomainUpdatingRequest(
        Ref<VnLocalSnapshot> previousSnapshot) override;

  private:
    void updateHeldItemsWithUserInfos(const std::vector<Ref<VnUserMagazineIssueInfo>>& userInfos);

    std::optional<std::string> magazineCode_;
    std::optional<std::string> bookCategory_;
    std::optional<std::string> keyword_;
    std::string issueKind_;
    int32_t maximumItemCount_ = 0;
};

class VnMagazineIssueDomainUpdatingRequest : public VnDomainUpdatingRequest {
    PLAT_CLASS(VnMagazineIssueDomainUpdatingRequest)
  public:
    static constexpr size_t kBatchSize = 200;
    using VnDomainUpdatingRequest::VnDomainUpdatingRequest;

    bool isBook() const { return isBook_; }
    void setIsBook(bool isBook) { isBook_ = isBook; }
    bool isNewspaper() const { return isNewspaper_; }
    void setIsNewspaper(bool isNewspaper) { isNewspaper_ = isNewspaper; }
    bool isLibrary() const { return isLibrary_; }
    void setIsLibrary(bool isLibrary) { isLibrary_ = isLibrary; }
    void setSkipRemoving(bool skip) { skipRemoving_ = skip; }
    int32_t bookKind() const { return isBook_ ? 1 : 0; }
    int32_t fullLengthItemCount() const { return fullLengthItemCount_; }
    const Ref<VnRequestContext>& chainedRequest() const { return chainedRequest_; }

    bool checkUpdateWithRemoteInfo(const Ref<VnInfo>& reference, const Ref<VnInfo>& held) const;
    static bool checkSortIndexUpdate(const Ref<VnInfo>& reference, const Ref<VnInfo>& userInfo);
    std::vector<Ref<VnUserMagazineIssueInfo>> userItemsByInfos(const VnInfoList& infos) const;
    VnChangeList filterForNeedUpdatedMetaInfo(const VnChangeList& changes);

    Ref<VnRequestResult> rejectRemoteValue(const plat::Value& value) const override;
    void coreNotifyRemoteItemsAvailable(const VnInfoList& references) override;
    void startLoadingByInfoCodes();
    void magazineIssueInfo_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                       Ref<VnRequestResult> result);

  protected:
    void coreCancel() override;
    void coreCleanUp() override;
    // The full-record request of one batch: the store session's books or issues by code.
    virtual Ref<VnRequestContext> makeBatchRequest(const Ref<plat::Array>& codes);

  private:
    Ref<VnMagazineIssueDomain> issueDomain() const;
    // A reply that comes after the list's member context went, or after the home storage it
    // writes to went (the store context let go while the member's context is still held), has
    // nowhere to be kept: the update ends failed without touching storage (true), and fetches
    // nothing more.
    bool endedWithNowhereToKeep();
    void finishWithFetchedRecords(const Ref<VnRequestResult>& lastFailure);
    Ref<VnUpdatedLocalSnapshot> finalSnapshot(bool hasUpdated);

    bool isBook_ = false;
    Ref<VnRequestContext> chainedRequest_;
    std::deque<std::string> queryingInfoCodes_;
    VnCodeSet askedCodes_;   // every code this refresh's batches ask for
    VnChangeList modified_;  // the modified group of this refresh (kept for the finish)
    int32_t fullLengthItemCount_ = 0;
    bool skipRemoving_ = false;
    VnInfoList resultItems_;
    bool isNewspaper_ = false;
    bool isLibrary_ = false;
    bool anyBatchFailed_ = false;
    // The codes the running batch asked for.
    std::vector<std::string> batchCodes_;
};

// A failed result naming the first element of a reply that is not a record with a usable code
// (text the reply gave as text, not a number or a truth value); null when every element is one.
// `what` says what the reply was ("list", "batch").
Ref<VnRequestResult> VnRejectUnusableCodes(const plat::Value& reply, const char* what);

// A failed result when a reply that must be a list is missing (none or null) or holds a null
// element (the domains' item requests keep them); null otherwise.
Ref<VnRequestResult> VnRejectMissingList(const plat::Value& reply, const char* what);

// The records whose codes were asked for, in order; the others are dropped with an "Error" trace.
VnInfoList VnKeepAskedRecords(const VnInfoList& records, const VnCodeSet& asked);

// A failed result naming the asked codes that no record answers; null when every one came back.
Ref<VnRequestResult> VnRejectMissingAskedCodes(const std::vector<std::string>& asked,
                                               const VnInfoList& records);
