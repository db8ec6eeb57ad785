#pragma once
// VnClientServiceSession: the client of the version-2 web service. It keeps the server session
// id (fetched once with "RequestSessionID" and shared by every call through one session step),
// the signed-in user's name and the sign-out state, and it makes every version-2 call. The id is
// never sent in later calls' bodies or headers: the service recognises the session by its cookie.
#include <optional>
#include <string>

#include "vnlib/dev/request/VnRequestProxy2.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"
#include "vnlib/service/v2/VnMetaInfosRequestFactory.h"

class VnClientServiceConfiguration;
class VnClientServiceSession;
// Web methods and sign-in.
class VnTransferUserBooksRequest;
class VnUserAuthenticationInfo;
class VnUserAuthenticationRequest;
class VnUserFollowInputParams;
class VnUserRegistrationInfo;

// A missing value is sent as JSON null.
inline plat::Value VnValue(const plat::Value& value) {
    return value.isNil() ? plat::Value::null() : value;
}
inline plat::Value VnValue(const std::optional<std::string>& text) {
    return text ? plat::Value(*text) : plat::Value::null();
}

// The one shared session step of a session: finishes with the session id once it exists.
class VnSessionRequestContext : public VnRequestContext {
    PLAT_CLASS(VnSessionRequestContext)
  public:
    explicit VnSessionRequestContext(const Ref<VnClientServiceSession>& session)
        : session_(session) {}
    void startRequestToService();
    void notifySessionAvailable();
    void request_didFinishWithResult(Ref<VnRequestContext> request, Ref<VnRequestResult> result);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    WeakRef<VnClientServiceSession> session_;
    Ref<VnJsonWebRequest> sessionIdRequest_;
};

class VnClientServiceSession : public plat::Object, public VnMetaInfosRequestFactory {
    PLAT_CLASS(VnClientServiceSession)
  public:
    VnClientServiceSession(plat::Url serviceUrl, Ref<VnClientServiceConfiguration> configuration);

    const plat::Url& serviceUrl() const { return serviceUrl_; }
    const Ref<VnClientServiceConfiguration>& configuration() const { return configuration_; }
    const std::optional<std::string>& sessionId() const { return sessionId_; }
    bool hasSignedIn() const { return authenticatedUserName_.has_value(); }
    const std::optional<std::string>& authenticatedUserName() const {
        return authenticatedUserName_;
    }
    bool signingOut() const { return signingOut_; }
    bool requestingRemoteSession() const { return requesting_; }
    void setRequestingRemoteSession(bool requesting) { requesting_ = requesting; }

    // A bare transport call: no session step, no result mapping.
    Ref<VnJsonWebRequest> webRequestWithWebMethod(const std::string& webMethod,
                                                  const plat::Value& requestObject);
    // The standard version-2 call.
    Ref<VnClientServiceCommonRequest> newRequestWithWebMethod(const std::string& webMethod,
                                                              const plat::Value& requestObject,
                                                              const plat::Class* returnValueClass);
    // A joint request on the shared session step.
    Ref<VnRequestContext> newSessionEnsuringRequest();
    // "RestoreSession" with a stored token; on success the session takes the returned id and
    // the user name.
    Ref<VnRequestProxy2> newRestoreSessionRequest(const std::optional<std::string>& sessionToken,
                                                  const std::string& userName);
    // A joint request on the session's one sign-out call ("AccountLogoutEx", or "AccountLogout"
    // when newSignOutRequest came first).
    Ref<VnRequestContext> newSignOutRequest();
    Ref<VnRequestContext> newSignOutRequestEx();
    void signOut() { signOutWithRemoteRequest(true); }
    void signOutLocally() { signOutWithRemoteRequest(false); }
    void signOutWithRemoteRequest(bool remote);

    void notifyAuthenticatedWithUserName(const std::string& userName) {
        authenticatedUserName_ = userName;
    }
    // Keeps the id; the id itself is never written to the log.
    void setSessionToken(const std::string& token);

    static Ref<plat::Dictionary> voidWebMethodParam();
    // {"Key": key, "Value": value as text (null stays null)} per entry, in the dictionary's order.
    static Ref<plat::Array> optionalParamArrayWithDictionary(const plat::Dictionary& dictionary);

    // Proxy-delegate messages of the restore and sign-out calls.
    void restoreSession_willNotifyFinish(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request,
                                         Ref<VnRequestResult> result);
    bool signout_requestWillStart(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request);
    void signout_willNotifyFinish(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request,
                                  Ref<VnRequestResult> result);

    // ==== Web methods ============================================================================
    // Each new… factory answers a new, unstarted request that the caller owns. Texts and lists
    // that are missing are sent as JSON null; the other keys of the request are sent all the same.
    // Most requests first run the session step; the return-value class named with each factory
    // is what a dictionary answer maps into (a list answer into a list of them).

    // ---- Catalogue and store front ----
    // "GetMetaMagazineIssueInfos" with the record as request object -> VnMagazineIssueMetaInfo.
    Ref<VnClientServiceCommonRequest> newMetaMagazineIssueInfosRequest(
        const Ref<VnGetMetaMagazineIssueInfosParams>& params);
    // "GetMetaBookInfos" -> VnMagazineIssueMetaInfo.
    Ref<VnClientServiceCommonRequest> newMetaBookInfosRequestWithCategory(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        int32_t startIndex, int32_t length);
    // The same from 0: all items (length 0) for the category "_Libraries", else 200 of them.
    Ref<VnClientServiceCommonRequest> newMetaBookInfosRequestWithCategory(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword);
    // "GetMagazineIssueInfos", "GetBookInfos", "GetIssueInfo", "GetLibraryIssueInfos"
    // -> VnMagazineIssueInfo; "GetBookDetails" -> VnBookDetail.
    Ref<VnClientServiceCommonRequest> newMagazineIssueInfosRequestWithCodes(
        const Ref<plat::Array>& magazineIssueCodes);
    Ref<VnClientServiceCommonRequest> newBookInfosRequestWithCodes(
        const Ref<plat::Array>& bookCodes);
    Ref<VnClientServiceCommonRequest> newGetIssueInfo(const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newGetLibraryIssueInfos(const Ref<plat::Array>& bookCodes);
    Ref<VnClientServiceCommonRequest> newBookDetailRequestWithCode(
        const std::optional<std::string>& bookCode);
    // "GetCategoryInfos" of magazines or books -> VnMagazineCategoryInfo.
    Ref<VnClientServiceCommonRequest> newMagazineCategoryListRequest();
    Ref<VnClientServiceCommonRequest> newBookCategoryListRequest();
    // "GetMagazineInfos", "GetMetaMagazineInfos", "GetMagazineInfosEx" -> VnMagazineInfo. The
    // paged listing sends the keyword, and the start and length when the length is 1 or more, as
    // optional parameters.
    Ref<VnClientServiceCommonRequest> newMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword);
    Ref<VnClientServiceCommonRequest> newMetaMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        int32_t startIndex, int32_t length);
    Ref<VnClientServiceCommonRequest> newMetaMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword);
    Ref<VnClientServiceCommonRequest> newMagazineInfosRequestWithMagazineCodes(
        const Ref<plat::Array>& magazineCodes);
    // "GetBookPages" -> VnPageInfo.
    Ref<VnClientServiceCommonRequest> newPageInfoRequestWithMagazineIssueCode(
        const std::optional<std::string>& magazineIssueCode,
        const std::optional<std::string>& pageType);
    // "GetAssetFiles" with a list of VnRequestAssetInfo -> VnAssetFileInfo.
    Ref<VnClientServiceCommonRequest> newAssetRequestWithMagazineIssueCode(
        const std::optional<std::string>& magazineIssueCode, const Ref<plat::Array>& assetInfos);
    // "GetPriceInfos" of a book -> VnPriceInfo.
    Ref<VnClientServiceCommonRequest> newPriceInfosRequestWithMagazineIssueCode(
        const std::optional<std::string>& magazineIssueCode);
    // "GetAuthorList" -> VnAuthorInfo.
    Ref<VnClientServiceCommonRequest> newAuthorListRequest();
    // "GetWidgetInfo" and "GetSubWidgetInfo" for the configuration's app code -> VnShopGroupInfo.
    Ref<VnClientServiceCommonRequest> newGetShopGroupInfoCode(
        const std::optional<std::string>& groupCode);
    Ref<VnClientServiceCommonRequest> newGetShopGroupInfoCode(
        const std::optional<std::string>& groupCode, int32_t startIndex, int32_t length);
    // "GetItemURL": the answer as it stands.
    Ref<VnClientServiceCommonRequest> newGetItemURLRequestWithItemKind(
        const std::optional<std::string>& itemKind, const std::optional<std::string>& itemCode);

    // ---- Lending (VnCommonBoolReturnValue unless said otherwise) ----
    Ref<VnClientServiceCommonRequest> newBorrowBook(const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newReserveBook(const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newCancelReserveBook(
        const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newReturnBook(const std::optional<std::string>& itemCode);
    Ref<VnClientServiceCommonRequest> newExtendBorrowBook(
        const std::optional<std::string>& itemCode);
    Ref<VnClientServiceCommonRequest> newClaimReserveBook(
        const std::optional<std::string>& itemCode);
    Ref<VnClientServiceCommonRequest> newReadBookNow(const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newPurchaseFreeBook(
        const std::optional<std::string>& bookCode);
    // -> VnReserveItemInfo.
    Ref<VnClientServiceCommonRequest> newGetCurrentReserveBookInfos();
    Ref<VnClientServiceCommonRequest> newNeedClaimActionBooks();
    // "NeedClaimAction" as a bare call (no session step): the answer's value as it stands.
    Ref<VnJsonWebRequest> newNeedClaimAction();
    // "GetBorrowHistory2" between two dates (seconds since 1970; a missing date is 0) and
    // "GetHistory" by position -> VnBorrowHistoryInfo.
    Ref<VnClientServiceCommonRequest> newGetBorrowHistory(std::optional<plat::Date> startDate,
                                                          std::optional<plat::Date> endDate);
    Ref<VnClientServiceCommonRequest> newGetHistory(int32_t startIndex, int32_t length);

    // ---- Wishlists and reading sync (answers as they stand) ----
    Ref<VnClientServiceCommonRequest> newWishlistSubmitWithBookCode(
        const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newWishlistSubmitWithMagazineIssueCode(
        const std::optional<std::string>& issueCode);
    Ref<VnClientServiceCommonRequest> newWishlistRemoveWithBookCode(
        const std::optional<std::string>& bookCode);
    Ref<VnClientServiceCommonRequest> newWishlistRemoveWithMagazineCode(
        const std::optional<std::string>& issueCode);
    Ref<VnClientServiceCommonRequest> newSubmitSyncBookmarkWithIssueCode(
        const std::optional<std::string>& issueCode, const std::optional<std::string>& markName,
        int32_t pageIndex, int32_t chapterIndex, int32_t amountPage);
    Ref<VnClientServiceCommonRequest> newRemoveUserSyncBookmark(int32_t bookMarkId);
    Ref<VnClientServiceCommonRequest> newSubmitSyncLastPageWithIssueCode(
        const std::optional<std::string>& issueCode, int32_t pageIndex);
    // The follow or unfollow call the record names -> VnUserFollowResult. A record without a
    // real follow type or code gives a request that fails without posting anything.
    Ref<VnRequestContext> newFollowRequestWithUserFollowInputParams(
        const Ref<VnUserFollowInputParams>& params);

    // ---- Account, subscriptions and purchases ----
    // "RegisterNewAccount" -> VnUserRegistrationReturnValue.
    Ref<VnClientServiceCommonRequest> newAccountRegistrationRequest(
        const Ref<VnUserRegistrationInfo>& registration);
    // "GetAccountAuthenticationMethod" -> VnAuthenticationMethodInfo.
    Ref<VnClientServiceCommonRequest> newSignInMethodQueryRequestForUserName(
        const std::optional<std::string>& username);
    Ref<VnClientServiceCommonRequest> newRequestPasswordResetEmailRequestWithUsername(
        const std::optional<std::string>& username);
    // Sends the credentials' stored hash as the old password and the new password as given.
    Ref<VnClientServiceCommonRequest> newChangePasswordRequestWithUserAuthenticationInfo(
        const Ref<VnUserAuthenticationInfo>& credentials,
        const std::optional<std::string>& newPassword);
    // -> VnTransferUserBooksReturnValue.
    Ref<VnTransferUserBooksRequest> newTransferUserBooksRequestWithSourceUserAuthenticationInfo(
        const Ref<VnUserAuthenticationInfo>& sourceCredentials);
    // -> VnAccountInfo, VnProfileInfo.
    Ref<VnClientServiceCommonRequest> newAccountInfoRequest();
    Ref<VnClientServiceCommonRequest> newGetProfileRequest();
    // An empty request object; the answer as it stands.
    Ref<VnClientServiceCommonRequest> updateAcountDetail();
    // "IsNewsstand" goes with it when the information dictionary sets "UINewsstandApp".
    Ref<VnClientServiceCommonRequest> newRegisterAPNSTokenRequest(
        const std::optional<std::string>& pushToken);
    // -> VnMobileDataNumberDetectionReturnValue.
    Ref<VnClientServiceCommonRequest> newMobileDataNumberDetectionRequest();
    Ref<VnClientServiceCommonRequest> newMobileOneTimePasswordRequestWithOperator(
        const std::optional<std::string>& mobileOperator, const std::optional<std::string>& MSISDN,
        const std::optional<std::string>& packageIdentifier);
    // -> VnUserSubscriptionInfo, VnSubscriptionOptionInfo.
    Ref<VnClientServiceCommonRequest> newUserSubscriptionRequest();
    Ref<VnClientServiceCommonRequest> newGetCurrentSubscription();
    Ref<VnClientServiceCommonRequest> newSubscriptionOptionsRequestWithMagazineCode(
        const std::optional<std::string>& magazineCode);
    Ref<VnClientServiceCommonRequest> newGetSubscriptionOptions();
    Ref<VnClientServiceCommonRequest> unSubscriptionRequestWithSubscriptionId(
        int32_t subscriptionId);
    // -> VnPurchaseProductReturnValue, VnCommonBoolReturnValue, VnRestoreInAppPurchaseReturnValue,
    // VnReceiptInfoEx.
    Ref<VnClientServiceCommonRequest> newPurchaseProductRequestWithPurchaseCode(
        const std::optional<std::string>& purchaseCode,
        const std::optional<std::string>& productType,
        const std::optional<std::string>& transactionReceipt);
    Ref<VnClientServiceCommonRequest> newCanRedeemProductRequestWithPurchaseCode(
        const std::optional<std::string>& purchaseCode);
    Ref<VnClientServiceCommonRequest> newRestoreInAppPurchaseWithReceipt(
        const std::optional<std::string>& receipt);
    Ref<VnClientServiceCommonRequest> newFilterRestorableInAppRequestWithReceiptInfos(
        const Ref<plat::Array>& receiptInfos);
    // -> VnUserPointsInfo; the card binding -> VnCommonBoolReturnValue.
    Ref<VnClientServiceCommonRequest> newLumoCardLatestUserPointsRecordRequest();
    Ref<VnClientServiceCommonRequest> newLumoCardBindingWithCardNumber(
        const std::optional<std::string>& cardNumber,
        const std::optional<std::string>& dateOfBirthYYYYMMDD,
        const std::optional<std::string>& identificationNumber);

    // ---- Meta-infos factory ----
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode) override;
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode,
        const std::optional<std::string>& keyword) override;
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        VnIndexRange itemRange) override;
    // Only the library kind ("Libraries"): any other kind raises
    // "VnClientServiceSessionInvalidMagazineType". The magazine code is not used.
    Ref<VnRequestContext> requestForMetaMagazineIssueInfosWithMagazineType(
        const std::optional<std::string>& magazineType,
        const std::optional<std::string>& magazineCode, VnIndexRange itemRange) override;

    // A result transform for a request proxy: a successful list answer becomes its first element.
    static Ref<VnRequestResult> bookDetail_transformRequestResult(Ref<VnRequestProxy2> proxy,
                                                                  Ref<VnRequestContext> request,
                                                                  Ref<VnRequestResult> result);

    // ==== Sign-in ================================================================================
    // "AccountAuthentication" with credentials made from a password or a stored hash, and
    // "AccountAuthenticationWithAccessToken" with single-sign-on credentials
    // (initWithUserNameAuthorizationCode) -> VnUserAuthenticationReturnValue. New, unstarted.
    Ref<VnUserAuthenticationRequest> newSignInRequest(
        const Ref<VnUserAuthenticationInfo>& credentials);
    Ref<VnUserAuthenticationRequest> newSignInRequestEx(
        const Ref<VnUserAuthenticationInfo>& credentials);
    // ==== End of web methods and sign-in
    // ==========================================================

  private:
    Ref<VnRequestContext> signOutRequestWithMethod(const char* webMethod);

    plat::Url serviceUrl_;
    Ref<VnClientServiceConfiguration> configuration_;
    std::optional<std::string> sessionId_;
    std::optional<std::string> authenticatedUserName_;
    Ref<VnSessionRequestContext> sessionEnsuringRootRequest_;
    bool signingOut_ = false;
    Ref<VnRequestProxy2> signoutRequest_;
    bool requesting_ = false;
};
