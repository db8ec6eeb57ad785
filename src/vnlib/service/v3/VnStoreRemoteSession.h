#pragma once
// VnStoreRemoteSession: the client of the version-3 store service (store-front widgets,
// promotions, messages, catalogue lookups, wish lists, search, follows, reviews, ratings and item
// messages). Every operation builds a request object and hands back an unstarted
// VnServiceCommonRequest on the session's connection and current token context; the caller
// starts it. Most calls also carry the context in the body under "tokenContext". The session
// starts with the guest context of the application; the user context replaces it after sign-in.
//
// Reviews, ratings and item messages address an item by an item id "<kind>_<code>", the kind
// being "bookcode", "magazinecode" or "issuecode". VnStoreItemReviewAndRatingSession is the
// per-item companion serving one item's review pages and rating summary.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "vnlib/service/v2/VnMetaInfosRequestFactory.h"
#include "vnlib/service/v3/VnServiceRemoteRequest.h"

class VnClientServiceConfiguration;
class VnStoreItemReview;
class VnStoreRemoteSession;

class VnStoreItemReviewAndRatingSession : public plat::Object {
    PLAT_CLASS(VnStoreItemReviewAndRatingSession)
  public:
    // The store session is not owned: it keeps its companions.
    VnStoreItemReviewAndRatingSession(const Ref<VnStoreRemoteSession>& session, std::string itemId);

    Ref<VnStoreRemoteSession> session() const { return session_.lock(); }
    const std::string& itemId() const { return itemId_; }

    // "GetItemReview" for this item; none once the store session is gone.
    Ref<VnServiceCommonRequest> requestForItemReviewInRange(VnIndexRange range) const;
    // "GetItemRating" for this item; none once the store session is gone.
    Ref<VnServiceCommonRequest> requestForItemRating() const;

  private:
    WeakRef<VnStoreRemoteSession> session_;
    std::string itemId_;
};

class VnStoreRemoteSession : public plat::Object, public VnMetaInfosRequestFactory {
    PLAT_CLASS(VnStoreRemoteSession)
  public:
    // Item-kind words of item ids.
    static constexpr const char* kBookItemKind = "bookcode";
    static constexpr const char* kMagazineItemKind = "magazinecode";
    static constexpr const char* kMagazineIssueItemKind = "issuecode";

    // Only the configuration's application code is read (none without a configuration).
    VnStoreRemoteSession(plat::Url serviceURL,
                         const Ref<VnClientServiceConfiguration>& configuration);

    const Ref<VnServiceConnection>& serviceConnection() const { return serviceConnection_; }
    const Ref<VnServiceSessionContext>& sessionContext() const { return sessionContext_; }
    // Reaches only the requests made afterwards.
    void setSessionContext(Ref<VnServiceSessionContext> context) {
        sessionContext_ = std::move(context);
    }

    // The folder of the bookstore's local storage: the user's Library folder + "Varnel".
    static std::filesystem::path offlineStorageRootPathForMac();
    // The Library folder + "PrivateDocuments/Varnel" (used by nothing).
    static std::filesystem::path offlineStorageRootPath();

    // A new call whose dictionary request object also carries "tokenContext" (the current
    // context); any other request object is sent as it is.
    Ref<VnServiceCommonRequest> requestWithWebMethod(const std::string& webMethod,
                                                     const plat::Value& requestObject,
                                                     const plat::Class* returnValueClass);
    // A new call with the request object as given (the token still travels in the headers).
    Ref<VnServiceCommonRequest> requestWithWebMethodNoToken(const std::string& webMethod,
                                                            const plat::Value& requestObject,
                                                            const plat::Class* returnValueClass);

    // ---- Store front ----
    Ref<VnServiceCommonRequest> requestForWidgetInfoWithCode(const std::string& widgetId);
    Ref<VnServiceCommonRequest> requestForSubWidgetInfoWithCode(
        const std::optional<std::string>& widgetId, int32_t startIndex, int32_t length);
    Ref<VnServiceCommonRequest> requestForPromotionInfoWithStartIndex(
        int32_t startIndex, int32_t length, const std::optional<std::string>& sortId);
    Ref<VnServiceCommonRequest> requestForMessageInfoWithStartIndex(int32_t startIndex,
                                                                    int32_t length);

    // ---- Ranged meta lists (the request-factory role shared with the version-2 session) ----
    // Each answers a VnServiceCommonRequest.
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode) override;
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode,
        const std::optional<std::string>& keyword) override;
    Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        VnIndexRange itemRange) override;
    // "magazineType" is the number of the issue-list kind, null for a kind outside the map.
    Ref<VnRequestContext> requestForMetaMagazineIssueInfosWithMagazineType(
        const std::optional<std::string>& magazineType,
        const std::optional<std::string>& magazineCode, VnIndexRange itemRange) override;
    Ref<VnServiceCommonRequest> requestForMetaMagazineInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode, VnIndexRange itemRange);

    // ---- Catalogue ----
    Ref<VnServiceCommonRequest> requestForBookDetailsWithBookCode(
        const std::optional<std::string>& bookCode);
    Ref<VnServiceCommonRequest> newMagazineIssueInfosRequestWithCodes(
        const Ref<plat::Array>& magazineIssueCodes);
    Ref<VnServiceCommonRequest> newBookInfosRequestWithCodes(const Ref<plat::Array>& bookCodes);
    Ref<VnServiceCommonRequest> newMagazineInfosRequestWithMagazineCodes(
        const Ref<plat::Array>& magazineCodes);
    Ref<VnServiceCommonRequest> newMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword);
    Ref<VnServiceCommonRequest> newMetaMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword);
    Ref<VnServiceCommonRequest> newMetaMagazineInfosRequestWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        int32_t startIndex, int32_t length);
    Ref<VnServiceCommonRequest> newSubscriptionOptionsRequestWithMagazineCode(
        const std::optional<std::string>& magazineCode);

    // ---- Reviews, ratings and item messages (by item id) ----
    Ref<VnServiceCommonRequest> requestForItemReviewWithItemId(const std::string& itemId,
                                                               VnIndexRange range);
    Ref<VnServiceCommonRequest> requestForItemRatingWithItemId(const std::string& itemId);
    // The review is required.
    Ref<VnServiceCommonRequest> submitItemReviewWithItemId(const std::string& itemId,
                                                           const Ref<VnStoreItemReview>& review);
    // "GetItemMessage": a page of the item's messages.
    Ref<VnServiceCommonRequest> requestForItemReviewWithCode(const std::string& itemId,
                                                             int32_t startIndex, int32_t length);
    // "SubmitItemMessage"; the message (required) is sent as given.
    Ref<VnServiceCommonRequest> submitReviewMessageSessionWithCode(const std::string& itemId,
                                                                   const plat::Value& message);
    Ref<VnServiceCommonRequest> requestForItemRatingUserWithItemId(const std::string& itemId);

    // ---- The same by item kind ----
    // Reviews of a magazine issue are kept under its "bookcode" id.
    Ref<VnServiceCommonRequest> requestForMagazineIssueItemReviewWithCode(const std::string& code,
                                                                          VnIndexRange range);
    Ref<VnServiceCommonRequest> requestForMagazineItemReviewWithCode(const std::string& code,
                                                                     VnIndexRange itemRange);
    Ref<VnServiceCommonRequest> requestForItemReviewWithBookCode(const std::string& code,
                                                                 int32_t startIndex,
                                                                 int32_t length);
    Ref<VnServiceCommonRequest> requestForItemReviewWithMagazineCode(const std::string& code,
                                                                     int32_t startIndex,
                                                                     int32_t length);
    Ref<VnServiceCommonRequest> requestForItemReviewWithMagazineIssueCode(const std::string& code,
                                                                          int32_t startIndex,
                                                                          int32_t length);
    Ref<VnServiceCommonRequest> submitForItemReviewWithBookCode(const std::string& code,
                                                                const plat::Value& review);
    Ref<VnServiceCommonRequest> submitForItemReviewWithMagazineCode(const std::string& code,
                                                                    const plat::Value& review);
    Ref<VnServiceCommonRequest> submitForItemReviewWithMagazineIssueCode(const std::string& code,
                                                                         const plat::Value& review);
    Ref<VnServiceCommonRequest> requestForItemRatingUserWithBookCode(const std::string& code);
    Ref<VnServiceCommonRequest> requestForItemRatingUserWithMagazineCode(const std::string& code);
    Ref<VnServiceCommonRequest> requestForItemRatingUserWithMagazineIssueCode(
        const std::string& code);

    // ---- Per-item companions (made on first use, then kept) ----
    Ref<VnStoreItemReviewAndRatingSession> reviewSessionForItemId(const std::string& itemId);
    Ref<VnStoreItemReviewAndRatingSession> reviewSessionForMagazineCode(const std::string& code);
    // Under the issue's "bookcode" id.
    Ref<VnStoreItemReviewAndRatingSession> reviewSessionForMagazineIssueCode(
        const std::string& code);

    // ---- Related books, wish lists, counts, search, follows ----
    Ref<VnServiceCommonRequest> requestForBookRelateWithBookCode(const std::string& bookCode,
                                                                 int32_t startIndex,
                                                                 int32_t length);
    Ref<VnServiceCommonRequest> requestForWishlistBookAtStartIndex(int32_t startIndex,
                                                                   int32_t length);
    Ref<VnServiceCommonRequest> requestForWishlistMagazineIssueAtStartIndex(int32_t startIndex,
                                                                            int32_t length);
    // Answer a bare number.
    Ref<VnServiceCommonRequest> requestCheckWishlistWithBookCode(const std::string& bookCode);
    Ref<VnServiceCommonRequest> requestCheckWishlistWithMagazineIssueCode(
        const std::string& issueCode);
    Ref<VnServiceCommonRequest> requestMessageCountWaitForRead();
    Ref<VnServiceCommonRequest> requestNotificationCountWaitForRead();
    Ref<VnServiceCommonRequest> requestForItemSearchMagazineWithKeyword(const std::string& keyword,
                                                                        int32_t startIndex,
                                                                        int32_t length,
                                                                        const std::string& sortId);
    Ref<VnServiceCommonRequest> requestForItemSearchBookWithKeyword(const std::string& keyword,
                                                                    int32_t startIndex,
                                                                    int32_t length,
                                                                    const std::string& sortId);
    Ref<VnServiceCommonRequest> requestForFollowInfosWithFollowTypeIdArrays(
        const Ref<plat::Array>& followTypeIds);

    // ---- Support ----
    // "<kind>_<code>".
    static std::string makeItemId(std::string_view kind, std::string_view code);
    // The "magazineType" number of an issue-list kind: "Features" 0, "Libraries" 1, "Shops" 2,
    // "SpecialIssues" 5; nothing for any other kind.
    std::optional<int32_t> intValueForMagazineType(std::string_view magazineType) const;
    const std::map<std::string, int32_t, std::less<>>& magazineTypeEnumMap() const {
        return magazineTypeEnumMap_;
    }
    // {"start", "length"} for a range of non-zero length; none otherwise.
    static Ref<plat::Dictionary> makeOptionalParamsFromRange(VnIndexRange range);
    // One {"Key", "Value"} item per entry, in the dictionary's order, values as text (null stays
    // null).
    static Ref<plat::Array> optionalParamArrayWithDictionary(const plat::Dictionary& dictionary);

  private:
    Ref<VnServiceConnection> serviceConnection_;
    Ref<VnServiceSessionContext> sessionContext_;
    std::map<std::string, int32_t, std::less<>> magazineTypeEnumMap_;
    std::map<std::string, Ref<VnStoreItemReviewAndRatingSession>, std::less<>>
        itemReviewSessionMap_;
};
