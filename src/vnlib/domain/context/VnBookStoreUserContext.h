#pragma once
// VnBookStoreUserContext: everything done for one user (the anonymous device user, "default", or
// a registered member): the user's store session, domains, tables and bookmark store, and the
// gate through which requests that need a service session pass. The gate starts a request at
// once when the version-2 session has signed in; otherwise it parks it and gets a session first
// (device sign-in, restore from the stored token, or stored credentials), then releases every
// parked request or fails each with the failure's message. Every parked request finishes once.
//
// VnBookStoreUserRequest wraps a remote request so that starting it hands it to the gate.
#include <map>
#include <set>
#include <string>

#include "platform/storage/ObjectStore.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContextSubobject.h"
#include "vnlib/domain/context/VnUserId.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/domain/lists/VnUserFollowContext.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"
#include "vnlib/info/member/VnAccountInfo.h"

class VnBookStoreUserStorage;
class VnClientServiceSession;
class VnMagazineIssueDomain;
class VnMagazineDomain;
class VnMagazineInfo;
class VnAuthorInfo;
class VnMetaInfosRequestFactory;
class VnContentAssetId;
class VnContentAsset;
class VnLocalCacheAsset;
class VnRequestManager;
class VnRequestProxy2;
class VnShopGroupInfo;
class VnMagazineIssueContext;
class VnStoreRemoteSession;
class VnCoreDataContext;
class VnDataContext;
class VnUserAuthenticationInfo;

// Posted with the user context as its object each time that user's magazine or book library has
// taken an update.
inline constexpr const char* VnUserLibraryDidUpdateNotification = "VnUserLibraryDidUpdate";
class VnPriceInfo;
class VnUserSubscriptionInfo;
class VnBookStorePurchaseRequestRedeemInfo;
class VnStoreItemReview;
class VnMagazineIssueInfo;

class VnBookStoreUserContext : public VnBookStoreContextSubobject {
    PLAT_CLASS(VnBookStoreUserContext)
  public:
    // Made through make(): construction needs the object's own reference.
    static Ref<VnBookStoreUserContext> make(const Ref<VnBookStoreContext>& context,
                                            Ref<VnUserId> userId, bool isTestUser);
    static Ref<VnBookStoreUserContext> makeDefaultUser(const Ref<VnBookStoreContext>& context);
    VnBookStoreUserContext(Ref<VnBookStoreContext> context, Ref<VnUserId> userId, bool isTestUser);
    ~VnBookStoreUserContext() override;

    // ---- Identity and accessors ----
    // The bookstore context, which outlives the requests made here (an assertion otherwise),
    // and its version-2 session.
    Ref<VnBookStoreContext> bookstore() const;
    Ref<VnClientServiceSession> serviceSession() const;
    const Ref<VnUserId>& userId() const { return userId_; }
    bool isDefault() const { return userId_->isDefault(); }
    bool isTestUser() const { return isTestUser_; }
    const Ref<VnBookStoreUserStorage>& userStorage() const { return userStorage_; }
    Ref<VnStoreRemoteSession> storeRemoteSession() const { return storeRemoteSession_; }
    const Ref<VnStoreRemoteSession>& storeServiceSession() const { return storeRemoteSession_; }
    bool restoringSession() const { return isRestoringSession_; }
    void setRestoringSession(bool restoring) { isRestoringSession_ = restoring; }
    bool apnsRegistered() const { return apnsRegistered_; }
    void setApnsRegistered(bool registered) { apnsRegistered_ = registered; }
    Ref<VnDataContext> userBookmarkDataContext() const;
    const Ref<VnBookstoreUserBookmarkContext>& userBookmarkContext() const {
        return userBookmarkContext_;
    }
    const plat::ObjectModel& managedObjectModel() const;
    bool userIsSinglePage() const { return userIsSinglePage_; }
    bool userIsLockRotate() const { return userIsLockRotate_; }
    int32_t userDisplayMode() const { return userDisplayMode_; }
    int32_t userIsMagazineDisplayFilter() const { return userIsMagazineDisplayFilter_; }

    // ---- Domains and follow contexts ----
    const Ref<VnStoreDomain>& categoryDomain() const { return categoryDomain_; }
    const Ref<VnStoreDomain>& bookCategoryDomain() const { return bookCategoryDomain_; }
    const Ref<VnStoreDomain>& userSubscriptionDomain() const { return userSubscriptionDomain_; }
    const Ref<VnDomain>& authorDomain() const { return authorDomain_; }
    const Ref<VnMagazineIssueDomain>& libraryDomain() const { return libraryDomain_; }
    const Ref<VnMagazineIssueDomain>& bookLibraryDomain() const { return bookLibraryDomain_; }
    const Ref<VnMagazineIssueDomain>& specialIssuesDomain() const { return specialIssueDomain_; }
    std::nullptr_t newspaperLibraryDomain() const { return nullptr; }
    std::nullptr_t reserveDomain() const { return nullptr; }
    std::nullptr_t wishListDomain() const { return nullptr; }
    // The version-2 session for the library kind, the store session for every other kind.
    VnMetaInfosRequestFactory& requestFactoryForIssueKind(const std::string& issueKind) const;
    // Kept per key for the life of this context.
    Ref<VnMagazineIssueDomain> magazineIssueDomainWithMagazine(const Ref<VnMagazineInfo>& magazine);
    Ref<VnMagazineDomain> magazineDomainWithCategory(const std::string& categoryCode);
    Ref<VnDomain> subscriptionOptionDomainWithMagazine(const Ref<VnMagazineInfo>& magazine);
    Ref<VnMagazineIssueDomain> bookIssueDomainWithCategory(const std::string& categoryCode);
    Ref<VnMagazineIssueDomain> bookTopPaidDomainForCategory(const std::string& categoryCode);
    Ref<VnMagazineIssueDomain> bookTopFreeDomainForCategory(const std::string& categoryCode);
    // New on every call.
    Ref<VnMagazineIssueDomain> bookDomainWithSearchKeyword(const std::string& keyword);
    Ref<VnMagazineIssueDomain> bookDomainWithAuthor(const Ref<VnAuthorInfo>& author);
    Ref<VnMagazineDomain> magazineDomainWithSearchKeyword(const std::string& keyword);
    Ref<VnStoreDomain> shopGroupInfoDomainWithGroupCode(const std::string& groupCode);
    Ref<VnStoreDomain> shopSubGroupInfoDomainWithGroupCode(const std::string& groupCode,
                                                           int32_t startIndex, int32_t length);
    // The book library for a book, else the magazine library.
    Ref<VnMagazineIssueDomain> domainForIssueInfo(const Ref<VnMagazineIssueInfo>& info) const;
    bool hasIssueInLibrary(const Ref<VnMagazineIssueInfo>& info) const;

    // ---- The local library: the member's shelf, finished marks and book samples ----
    void updateUserItemForIssueInfo(const Ref<VnMagazineIssueInfo>& info);
    // Clears the item's downloaded files (covers stay), unless another member of the home holds
    // the item, and takes it off the shelf.
    void removeBookFromLocalLibrary(const Ref<VnMagazineIssueInfo>& info);
    void restoreBookToLocalLibrary(const Ref<VnMagazineIssueInfo>& info);
    void markFinished(const Ref<VnMagazineIssueInfo>& info);
    void markUnfinished(const Ref<VnMagazineIssueInfo>& info);
    static std::string lastViewedPageIndexKeyNameWithIssueInfo(const Ref<VnInfo>& info);
    Ref<VnRequestContext> requestForBookSample(const Ref<VnMagazineIssueInfo>& info);
    std::vector<Ref<VnMagazineIssueInfo>> bookSamples();
    void saveBookSample(const Ref<VnMagazineIssueInfo>& info);
    void removeBookSample(const Ref<VnMagazineIssueInfo>& info);
    // A sample and a loan of the same item share the item's folder. The member deletes a sample:
    // while the local library holds the item (a loan, lent or free) only the sample goes (out of
    // the samples, its page table with it) and the loan keeps its files, page table, entry, last
    // viewed page and any opening; otherwise the item goes as removeBookFromLocalLibrary takes it.
    void deleteBookSample(const Ref<VnMagazineIssueInfo>& sample);
    // The member has taken a loan of the item (borrowed, read now, claimed): the sample of it, if
    // the member has one, ends: out of the samples, its mark off and its page list dropped, so
    // that the loan asks for and keeps a page list of its own. `taken` is the record the loan was
    // taken with, also ended when it is a sample. The page files stay.
    void endBookSampleOfLoan(const std::string& code);
    void endBookSampleOfLoan(const Ref<VnMagazineIssueInfo>& taken);
    // Posts VnUserLibraryDidUpdateNotification with this context.
    void notifyLibraryDidUpdate();

    // ---- Reading preferences (per-user settings) ----
    void persistUserIsViewSinglePage(bool singlePage);
    void persistUserIsViewLockRotate(bool lockRotate);
    void persistUserDisplayMode(int32_t mode);
    void persistUserMagazineFilterMode(int32_t mode);
    int32_t userMagazineDisplayFilter() const { return userIsMagazineDisplayFilter_; }
    void setIsShareReviewFacebook(bool share);
    bool isShareReviewFacebook() const { return false; }

    // ---- Content names and archives ----
    // The item's folder in the shared issue archive.
    Ref<VnLocalArchive> bookArchiveWithIssueInfo(const Ref<VnInfo>& info) const;
    Ref<VnLocalArchive> archiveForIssueInfo(const Ref<VnInfo>& info) const {
        return bookArchiveWithIssueInfo(info);
    }
    // "VnPageInfo" (or "VnPageInfo_Sample" for a sample) in the item's folder.
    Ref<VnLocalDataTable> pageDataTableForIssueInfo(const Ref<VnMagazineIssueInfo>& info) const;
    // "<TYPE>_<FORMAT>_<id>", with "_<w>x<h>" when both are positive.
    static std::string cacheFileNameForAssetId(const VnContentAssetId& assetId);
    // The asset's cache file in its item's folder; null without an item code.
    Ref<VnLocalCacheAsset> cachedAssetWithId(const Ref<VnContentAssetId>& assetId) const;
    Ref<VnContentAsset> contentAssetWithId(const Ref<VnContentAssetId>& assetId) const;
    bool isContentAssetAvaiableWithId(const Ref<VnContentAssetId>& assetId) const;
    Ref<VnLocalCacheAsset> cacheAssetForCoverWithMagazineIssueInfo(const Ref<VnInfo>& info) const;

    // ---- Content and store requests (not started) ----
    // A content asset request of this user for the id (both required).
    Ref<VnRequestContext> requestAssetForMagazineIssue(const Ref<VnMagazineIssueInfo>& info,
                                                       const Ref<VnContentAssetId>& assetId);
    Ref<VnRequestContext> requestAssetForMagazineIssue(const Ref<VnMagazineIssueInfo>& info,
                                                       int32_t type, int32_t format,
                                                       const std::string& idString);
    // A new issue context that loads the item into the content cache.
    Ref<VnMagazineIssueContext> magazineIssueContextWithInfo(const Ref<VnMagazineIssueInfo>& info);
    // The page's PDF: type 2, format 0, the index as its id.
    Ref<VnRequestContext> requestPageFileWithMagazineIssueInfo(const Ref<VnMagazineIssueInfo>& info,
                                                               int32_t pageIndex);
    // The stored page list when there is one (answered on a later turn), else "GetBookPages".
    Ref<VnRequestContext> requestForPageInfosWithMagazineIssueInfo(
        const Ref<VnMagazineIssueInfo>& info);
    Ref<VnRequestContext> requestForPageAssetWithMagazineIssueCode(
        const std::string& magazineIssueCode, const std::vector<int32_t>& sourcePageIndices);
    // One "GetAssetFiles" asking for every id, grouped by item, format and type.
    Ref<VnRequestContext> requestForAssetWithMagazineIssueCode(
        const std::string& magazineIssueCode, const std::vector<Ref<VnContentAssetId>>& assetIds);
    Ref<VnRequestContext> newCoverRequestWithIssueInfo(const Ref<VnMagazineIssueInfo>& info);
    Ref<VnRequestContext> requestForImageWithShopGroupInfo(const Ref<VnShopGroupInfo>& group);
    Ref<VnRequestContext> requestForCoverWithMagazine(const Ref<VnMagazineInfo>& magazine);
    // Kind 0: the cover request; 1: none; any other kind raises "Invalid enum".
    Ref<VnRequestContext> contentAssetRequestForIssueInfo(const Ref<VnMagazineIssueInfo>& info,
                                                          int32_t assetType);
    std::vector<Ref<VnRequestContext>> contentAssetRequestsForIssueInfos(
        const std::vector<Ref<VnMagazineIssueInfo>>& infos, int32_t assetType);
    Ref<VnRequestManager> contentAssetRequestManagerWithIssueInfos(
        const std::vector<Ref<VnMagazineIssueInfo>>& infos, int32_t assetType);
    Ref<VnRequestManager> requestManagerForCoverWithMagazines(
        const std::vector<Ref<VnMagazineInfo>>& magazines);
    // Single store records: the answer list's last element ("VNServerError" -1 when empty).
    Ref<VnRequestContext> requestForShopMagazineIssueInfoWithCode(const std::string& code);
    Ref<VnRequestContext> requestForShopBookInfoWithCode(const std::string& code);
    Ref<VnRequestContext> requestForLibraryMagazineIssueInfoWithCode(const std::string& code);
    Ref<VnRequestContext> requestForShopMagazineWithCode(const std::string& code);
    Ref<VnRequestContext> requestForMagazineInfoURL(const Ref<VnMagazineInfo>& magazine);
    Ref<VnRequestContext> requestForMagazineIssueInfoURL(const Ref<VnMagazineIssueInfo>& info);
    // The magazine's newest issue (one reference asked for, nothing removed).
    Ref<VnRequestContext> requestForLatestIssueWithMagazine(const Ref<VnMagazineInfo>& magazine);
    void magazineIssueInfo_requestProxy_request_willNotify_didFinishWithResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    Ref<VnRequestResult> lastElement_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    Ref<VnRequestResult> pageInfos_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    Ref<VnRequestResult> latestIssue_requestProxy_request_transformRequestResult(
        Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request, Ref<VnRequestResult> result);
    const Ref<VnUserFollowContext>& followContextForBook(bool isBook) const {
        return isBook ? bookFollowContext_ : magazineFollowContext_;
    }
    void clearFollowContext();
    // The store session's token context: the application code, the token and the test flag.
    void setStoreSessionToken(const std::optional<std::string>& token);
    // Sent by a domain after a full refresh.
    void domainMarkUpdated(Ref<VnDomain> domain);

    // ---- The gate ----
    void executeRequest(Ref<VnRequestContext> request, Ref<plat::Object> delegate,
                        std::string selectorPrefix);
    void cancelRequest(Ref<VnRequestContext> request);
    // Ends every parked request with the cancel result.
    void cancelPendingRequests();
    void failPendingRequestsWithResult(const Ref<VnRequestResult>& result);
    void invokePendingRequests();
    size_t pendingRequestCount() const { return pendingRequests_.size(); }
    // Sent by the bookstore context after it persisted a sign-in.
    void contextRegisteredUserSessionAvailable();
    // Sent by the bookstore context when a sign-in ends: parked requests that waited on a
    // sign-in this context did not start are released or failed with its outcome.
    void contextSignInDidEnd(const Ref<VnRequestResult>& result);
    void defaultUserSignIn_request_didFinishWithResult(Ref<plat::Object> context,
                                                       Ref<VnRequestResult> result);
    void restoreSession_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                    Ref<VnRequestResult> result);

    // ---- Account info ----
    void startRequestAccountInfo();
    Ref<VnRequestContext> requestForAccountInfo();
    const Ref<VnAccountInfo>& accountInfo() const { return accountInfo_; }
    void accountInfo_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                 Ref<VnRequestResult> result);

    // ---- Lending, account and store requests (not started) ----
    Ref<VnRequestContext> requestForBorrowBook(const Ref<VnInfo>& item);
    Ref<VnRequestContext> requestForReserveBook(const Ref<VnInfo>& item);
    Ref<VnRequestContext> requestForReturnBook(const Ref<VnMagazineIssueInfo>& item);
    Ref<VnRequestContext> requestForCancelReserveBook(const std::optional<std::string>& bookCode);
    Ref<VnRequestContext> requestForClaimReserveBook(const std::optional<std::string>& itemCode);
    Ref<VnRequestContext> requestforExtendBorrowBook(const std::optional<std::string>& itemCode);
    Ref<VnRequestContext> requestForGetIssueInfo(const std::optional<std::string>& bookCode);
    Ref<VnRequestContext> requestForGetLibraryIssueInfo(const Ref<plat::Array>& bookCodes);
    Ref<VnRequestContext> requestForGetProfileInfo();
    Ref<VnRequestContext> requestForGetBorrowHistory(std::optional<plat::Date> startDate,
                                                     std::optional<plat::Date> endDate);
    Ref<VnRequestContext> requestForGetCurrentReserveBookInfos();
    Ref<VnRequestContext> requestForNeedClaimAction();
    Ref<VnRequestContext> requestForNeedClaimActionBooks();
    Ref<VnRequestContext> requestForGetCurrentSubscription();
    Ref<VnRequestContext> requestForGetSubscriptionOptions();
    Ref<VnRequestContext> requestForReadBookNow(const Ref<VnInfo>& item);
    Ref<VnRequestContext> requestForPurchaseFreeBook(const Ref<VnInfo>& item);
    Ref<VnRequestContext> requestForGetHistory(int32_t startIndex, int32_t length);
    Ref<VnRequestContext> requestForBookDetail(const Ref<VnInfo>& item);
    Ref<VnRequestContext> requestForUnSubscriptionWithSubscriptionInfo(
        const Ref<VnUserSubscriptionInfo>& subscription);
    Ref<VnRequestContext> requestForCheckingNeedPurchase(const Ref<VnPriceInfo>& priceInfo);
    Ref<VnRequestContext> requestForMobilePurchaseConfirmationWithProductType(
        const std::string& productType, const std::string& msisdn,
        const std::optional<std::string>& promotionCode);
    Ref<VnRequestContext> requestForMobileOneTimePasswordWithOperator(
        const std::string& mobileOperator, const std::string& msisdn,
        const std::string& packageIdentifier);
    Ref<VnRequestContext> requestForMobileDataNumberDetection();
    Ref<VnRequestContext> requestForChangingPasswordWithOldPassword(const std::string& oldPassword,
                                                                    const std::string& newPassword);
    Ref<VnRequestContext> requestForLumoCardLatestUserPointsRecord();
    Ref<VnRequestContext> requestForLumoCardBindingWithCardNumber(
        const std::string& cardNumber, const std::string& dateOfBirthYYYYMMDD,
        const std::string& identificationNumber);
    Ref<VnRequestContext> requestForAPNSPushTokenRegistration(
        const std::optional<std::string>& deviceToken);
    Ref<VnRequestContext> requestForFollowBookCategory(const std::string& code, bool isFollow);
    Ref<VnRequestContext> requestForFollowMagazineCategory(const std::string& code, bool isFollow);
    Ref<VnRequestContext> requestForFollowAuthor(const std::string& code, bool isFollow);
    Ref<VnRequestContext> requestForFollowPublisher(const std::string& code, bool isFollow);
    Ref<VnRequestContext> requestForTransferBooksFromCurrentDeviceLibrary();
    // Moves the device user's library items this member lacks into this member's libraries.
    void takeOverDeviceLibrary();
    void transfer_requestProxy_request_willNotify_didFinishWithResult(Ref<VnRequestContext> proxy,
                                                                      Ref<VnRequestContext> request,
                                                                      Ref<VnRequestResult> result);
    size_t activeRequestCount() const { return activeRequests_.size(); }

    Ref<VnRequestContext> requestForPromotionInfoWithStartIndex(int32_t startIndex, int32_t length,
                                                                int32_t sortId);
    Ref<VnRequestContext> requestForMessageInfoWithStartIndex(int32_t startIndex, int32_t length);
    Ref<VnRequestContext> requestForFollowInfosWithFollowTypeIdArray(
        const std::vector<int32_t>& followTypes);
    Ref<VnRequestContext> requestForFollowInfosWithFollowTypeId(int32_t followType);
    Ref<VnRequestContext> requestForReviewOfMagazineCode(const std::string& code, int32_t pageIndex,
                                                         int32_t reviewsPerPage);
    Ref<VnRequestContext> requestForReviewOfMagazineIssueCode(const std::string& code,
                                                              int32_t pageIndex,
                                                              int32_t reviewsPerPage);
    Ref<VnRequestContext> requestForRatingOfMagazineCode(const std::string& code);
    Ref<VnRequestContext> requestForRatingOfMagazineIssueCode(const std::string& code);
    Ref<VnRequestContext> submitItemRatingReview(const std::string& itemId,
                                                 const Ref<VnStoreItemReview>& review);

    // ---- Pending redemptions ----
    std::vector<Ref<VnInfo>> pendingRedemptions();
    void addPendingRedemption(const Ref<VnBookStorePurchaseRequestRedeemInfo>& info);
    void removePendingRedemption(const Ref<VnBookStorePurchaseRequestRedeemInfo>& info);
    std::nullptr_t requestForRedeemCompletedPurchasesWithTransactions(const plat::Value&) {
        return nullptr;
    }

    // The receipt of a mobile purchase: Base64 of "1.0;<MSISDN>[;<promotion code>]".
    static std::string mobilePurchaseReceipt(const std::string& msisdn,
                                             const std::optional<std::string>& promotionCode);

  private:
    void build();
    // A gated wrapper around the remote request.
    Ref<VnRequestContext> gated(Ref<VnRequestContext> remoteRequest);
    Ref<VnRequestContext> followRequest(const std::string& code, int32_t followType, bool isFollow);
    void writeAccountInfo(const Ref<VnAccountInfo>& info);

    Ref<VnUserId> userId_;
    Ref<VnMagazineIssueDomain> libraryDomain_;
    Ref<VnStoreDomain> categoryDomain_;
    Ref<VnStoreDomain> bookCategoryDomain_;
    Ref<VnDomain> authorDomain_;
    Ref<VnLocalDataTable> pendingRedemptionTable_;
    Ref<VnLocalDataTable> sampleBooksTable_;
    Ref<VnStoreDomain> userSubscriptionDomain_;
    Ref<VnMagazineIssueDomain> bookLibraryDomain_;
    Ref<VnBookStoreUserStorage> userStorage_;
    std::map<std::string, Ref<VnMagazineIssueDomain>> magazineIssueDomains_;
    std::map<std::string, Ref<VnMagazineDomain>> magazineDomains_;
    std::map<std::string, Ref<VnDomain>> subscriptionOptionDomains_;
    std::map<std::string, Ref<VnMagazineIssueDomain>> bookIssueDomains_;
    std::map<std::string, Ref<VnMagazineIssueDomain>> bookTopPaidDomains_;
    std::map<std::string, Ref<VnMagazineIssueDomain>> bookTopFreeDomains_;
    std::set<Ref<VnRequestContext>> pendingRequests_;
    std::set<Ref<VnRequestContext>> activeRequests_;
    bool isRestoringSession_ = false;
    // The device's sign-in was refused once and asked again on a fresh session: the service
    // refuses a sign-in whose session it no longer knows (it restarted, or the session's cookie
    // was cleared, as the sign-on window clears every cookie).
    bool defaultSignInRetried_ = false;
    bool waitingOnOtherSignIn_ = false;
    Ref<VnRequestContext> sessionRequest_;
    Ref<VnMagazineIssueDomain> specialIssueDomain_;
    Ref<VnUserFollowContext> bookFollowContext_;
    Ref<VnUserFollowContext> magazineFollowContext_;
    Ref<VnLocalDataTable> accountInfoDataTable_;
    Ref<VnRequestContext> accountInfoRequest_;
    Ref<VnAccountInfo> accountInfo_;
    bool isTestUser_ = false;
    Ref<plat::ObjectStoreContext> managedObjectContext_;
    Ref<VnCoreDataContext> userBookmarkDataContext_;
    Ref<VnBookstoreUserBookmarkContext> userBookmarkContext_;
    bool apnsRegistered_ = false;
    bool userIsSinglePage_ = false;
    bool userIsLockRotate_ = false;
    int32_t userDisplayMode_ = 0;
    int32_t userIsMagazineDisplayFilter_ = 0;
    Ref<VnStoreRemoteSession> storeRemoteSession_;
};

class VnBookStoreUserRequest : public VnRequestContext {
    PLAT_CLASS(VnBookStoreUserRequest)
  public:
    // The user context is not owned.
    VnBookStoreUserRequest(const Ref<VnBookStoreUserContext>& userContext,
                           Ref<VnRequestContext> remoteRequest)
        : userContext_(userContext), remoteRequest_(std::move(remoteRequest)) {}
    static Ref<VnBookStoreUserRequest> requestWithUserContext(
        const Ref<VnBookStoreUserContext>& userContext, Ref<VnRequestContext> remoteRequest);

    const Ref<VnRequestContext>& remoteRequest() const { return remoteRequest_; }
    void remoteRequest_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                   Ref<VnRequestResult> result);
    void remoteRequest_request_progressReport(Ref<VnRequestContext> request,
                                              VnRequestProgress progress);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    WeakRef<VnBookStoreUserContext> userContext_;
    Ref<VnRequestContext> remoteRequest_;
};
