#include "vnlib/service/v3/VnStoreRemoteSession.h"

#include "platform/storage/Paths.h"
#include "vnlib/domain/VnMagazineIssueKind.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/store/VnFollowInfo.h"
#include "vnlib/info/store/VnItemReviewMessageInfo.h"
#include "vnlib/info/store/VnPromotionInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/info/store/VnStoreItemReview.h"
#include "vnlib/info/store/VnUserRatingInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

PLAT_DEFINE_CLASS(VnStoreItemReviewAndRatingSession, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnStoreRemoteSession, plat::Object, PLAT_NO_METHODS)

namespace {

using Entries = std::vector<std::pair<plat::Value, plat::Value>>;

plat::Value object(Entries entries) {
    return plat::Value(plat::makeDictionary(std::move(entries)));
}

// A text, or JSON null when missing.
plat::Value orNull(const std::optional<std::string>& text) {
    return text ? plat::Value(*text) : plat::Value::null();
}
plat::Value orNull(const Ref<plat::Array>& list) {
    return list ? plat::Value(list) : plat::Value::null();
}

const plat::Class* numberAnswer() {
    // Counts and wish-list checks answer a bare number, which passes unchanged.
    return nullptr;
}

}  // namespace

// ---- The per-item companion ---------------------------------------------------------------------

VnStoreItemReviewAndRatingSession::VnStoreItemReviewAndRatingSession(
    const Ref<VnStoreRemoteSession>& session, std::string itemId)
    : session_(session), itemId_(std::move(itemId)) {}

Ref<VnServiceCommonRequest> VnStoreItemReviewAndRatingSession::requestForItemReviewInRange(
    VnIndexRange range) const {
    auto owner = session();
    return owner ? owner->requestForItemReviewWithItemId(itemId_, range) : nullptr;
}

Ref<VnServiceCommonRequest> VnStoreItemReviewAndRatingSession::requestForItemRating() const {
    auto owner = session();
    return owner ? owner->requestForItemRatingWithItemId(itemId_) : nullptr;
}

// ---- Construction and state ---------------------------------------------------------------------

VnStoreRemoteSession::VnStoreRemoteSession(plat::Url serviceURL,
                                           const Ref<VnClientServiceConfiguration>& configuration)
    : serviceConnection_(std::make_shared<VnServiceConnection>(std::move(serviceURL))),
      sessionContext_(VnServiceSessionContext::defaultContextWithAppCode(
          configuration ? configuration->appCode() : std::nullopt)),
      magazineTypeEnumMap_{{VnMagazineIssueKind_Features, 0},
                           {VnMagazineIssueKind_Library, 1},
                           {VnMagazineIssueKind_Shops, 2},
                           {VnMagazineIssueKind_NewArrival, 2},
                           {VnMagazineIssueKind_SpecialIssues, 5}} {}

std::filesystem::path VnStoreRemoteSession::offlineStorageRootPathForMac() {
    return plat::Paths::libraryDirectory() / plat::Paths::kApplicationFolderName;
}

std::filesystem::path VnStoreRemoteSession::offlineStorageRootPath() {
    return plat::Paths::libraryDirectory() / "PrivateDocuments" /
           plat::Paths::kApplicationFolderName;
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestWithWebMethod(
    const std::string& webMethod, const plat::Value& requestObject,
    const plat::Class* returnValueClass) {
    plat::Value sent = requestObject;
    if (auto dictionary = requestObject.dictionary()) {
        auto copy = dictionary->mutableCopy();
        // Without a context there is nothing to carry.
        copy->setObject(sessionContext_ ? plat::Value(sessionContext_) : plat::Value(),
                        plat::Value("tokenContext"));
        sent = plat::Value(copy);
    }
    return requestWithWebMethodNoToken(webMethod, sent, returnValueClass);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestWithWebMethodNoToken(
    const std::string& webMethod, const plat::Value& requestObject,
    const plat::Class* returnValueClass) {
    return std::make_shared<VnServiceCommonRequest>(serviceConnection_, sessionContext_, webMethod,
                                                    requestObject, returnValueClass);
}

// ---- Store front --------------------------------------------------------------------------------

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForWidgetInfoWithCode(
    const std::string& widgetId) {
    return requestWithWebMethod("GetWidgetInfo", object({{"id", widgetId}}),
                                &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForSubWidgetInfoWithCode(
    const std::optional<std::string>& widgetId, int32_t startIndex, int32_t length) {
    return requestWithWebMethod("GetSubWidgetInfo",
                                object({{"id", orNull(widgetId)},
                                        {"start", startIndex},
                                        {"length", length},
                                        {"optionalParams", plat::Value::null()}}),
                                &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForPromotionInfoWithStartIndex(
    int32_t startIndex, int32_t length, const std::optional<std::string>& sortId) {
    return requestWithWebMethod("GetPromotionInfo",
                                object({{"sortId", orNull(sortId)},
                                        {"start", startIndex},
                                        {"length", length},
                                        {"optionalParams", plat::Value::null()}}),
                                &VnPromotionInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForMessageInfoWithStartIndex(
    int32_t startIndex, int32_t length) {
    return requestWithWebMethod(
        "GetMessageInfo",
        object(
            {{"start", startIndex}, {"length", length}, {"optionalParams", plat::Value::null()}}),
        &VnMessageInfo::classObject());
}

// ---- Ranged meta lists --------------------------------------------------------------------------

Ref<VnRequestContext> VnStoreRemoteSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode) {
    return requestForMetaBookInfosWithCategoryCode(categoryCode, std::nullopt, VnIndexRange{});
}

Ref<VnRequestContext> VnStoreRemoteSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return requestForMetaBookInfosWithCategoryCode(categoryCode, keyword, VnIndexRange{});
}

Ref<VnRequestContext> VnStoreRemoteSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
    VnIndexRange itemRange) {
    return requestWithWebMethod("GetMetaBookInfos",
                                object({{"categoryCode", orNull(categoryCode)},
                                        {"keyword", orNull(keyword)},
                                        {"start", itemRange.location},
                                        {"length", itemRange.length},
                                        {"optionalParams", plat::Value::null()}}),
                                &VnMagazineIssueMetaInfo::classObject());
}

Ref<VnRequestContext> VnStoreRemoteSession::requestForMetaMagazineIssueInfosWithMagazineType(
    const std::optional<std::string>& magazineType, const std::optional<std::string>& magazineCode,
    VnIndexRange itemRange) {
    const std::optional<int32_t> number =
        magazineType ? intValueForMagazineType(*magazineType) : std::nullopt;
    return requestWithWebMethod(
        "GetMetaMagazineIssueInfos",
        object({{"magazineType", number ? plat::Value(*number) : plat::Value::null()},
                {"magazineCode", orNull(magazineCode)},
                {"start", itemRange.location},
                {"length", itemRange.length},
                {"optionalParams", plat::Value::null()}}),
        &VnMagazineIssueMetaInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForMetaMagazineInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode, VnIndexRange itemRange) {
    auto range = makeOptionalParamsFromRange(itemRange);
    return requestWithWebMethod(
        "GetMetaMagazineInfos",
        object({{"categoryCode", orNull(categoryCode)},
                {"optionalParams", range ? plat::Value(range) : plat::Value::null()}}),
        &VnMagazineInfo::classObject());
}

// ---- Catalogue ----------------------------------------------------------------------------------

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForBookDetailsWithBookCode(
    const std::optional<std::string>& bookCode) {
    return requestWithWebMethod("GetBookDetails", object({{"bookCode", orNull(bookCode)}}),
                                &VnMagazineIssueInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newMagazineIssueInfosRequestWithCodes(
    const Ref<plat::Array>& magazineIssueCodes) {
    return requestWithWebMethod("GetMagazineIssueInfos",
                                object({{"magazineIssueCodes", orNull(magazineIssueCodes)},
                                        {"optionalParams", plat::Value::null()}}),
                                &VnMagazineIssueInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newBookInfosRequestWithCodes(
    const Ref<plat::Array>& bookCodes) {
    return requestWithWebMethod(
        "GetBookInfos",
        object({{"bookCodes", orNull(bookCodes)}, {"optionalParams", plat::Value::null()}}),
        &VnMagazineIssueInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newMagazineInfosRequestWithMagazineCodes(
    const Ref<plat::Array>& magazineCodes) {
    return requestWithWebMethod(
        "GetMagazineInfosEx",
        object({{"magazineCodes", orNull(magazineCodes)}, {"optionalParams", plat::Value::null()}}),
        &VnMagazineInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return requestWithWebMethod("GetMagazineInfos",
                                object({{"categoryCode", orNull(categoryCode)},
                                        {"keyword", orNull(keyword)},
                                        {"optionalParams", plat::Value::null()}}),
                                &VnMagazineInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newMetaMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return newMetaMagazineInfosRequestWithCategoryCode(categoryCode, keyword, 0, 0);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newMetaMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
    int32_t startIndex, int32_t length) {
    auto params = plat::MutableDictionary::make();
    params->setObject(orNull(keyword), plat::Value("keyword"));
    if (length > 0) {
        params->setObject(plat::Value(startIndex), plat::Value("start"));
        params->setObject(plat::Value(length), plat::Value("length"));
    }
    return requestWithWebMethod(
        "GetMetaMagazineInfos",
        object({{"categoryCode", orNull(categoryCode)},
                {"optionalParams", plat::Value(optionalParamArrayWithDictionary(*params))}}),
        &VnMagazineInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::newSubscriptionOptionsRequestWithMagazineCode(
    const std::optional<std::string>& magazineCode) {
    return requestWithWebMethod(
        "GetSubscriptionOptions",
        object({{"magazineCode", orNull(magazineCode)}, {"optionalParams", plat::Value::null()}}),
        &VnSubscriptionOptionInfo::classObject());
}

// ---- Reviews, ratings and item messages ---------------------------------------------------------

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemReviewWithItemId(
    const std::string& itemId, VnIndexRange range) {
    return requestWithWebMethodNoToken(
        "GetItemReview",
        object({{"itemId", itemId}, {"start", range.location}, {"length", range.length}}),
        &VnStoreItemReviewRange::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemRatingWithItemId(
    const std::string& itemId) {
    return requestWithWebMethodNoToken("GetItemRating", object({{"itemId", itemId}}),
                                       &VnStoreItemRating::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::submitItemReviewWithItemId(
    const std::string& itemId, const Ref<VnStoreItemReview>& review) {
    PLAT_PARAMETER_ASSERT(review);
    return requestWithWebMethodNoToken("SubmitItemReview",
                                       object({{"itemId", itemId}, {"review", review}}),
                                       &VnStoreItemReview::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemReviewWithCode(
    const std::string& itemId, int32_t startIndex, int32_t length) {
    return requestWithWebMethod(
        "GetItemMessage", object({{"itemId", itemId}, {"start", startIndex}, {"length", length}}),
        &VnItemReviewMessageInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::submitReviewMessageSessionWithCode(
    const std::string& itemId, const plat::Value& message) {
    PLAT_PARAMETER_ASSERT(!message.isNil());
    return requestWithWebMethod("SubmitItemMessage",
                                object({{"itemId", itemId}, {"message", message}}),
                                &VnItemReviewMessageRecieve::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemRatingUserWithItemId(
    const std::string& itemId) {
    return requestWithWebMethod("GetItemRatingByUser", object({{"itemId", itemId}}),
                                &VnUserRatingInfo::classObject());
}

// ---- By item kind -------------------------------------------------------------------------------

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForMagazineIssueItemReviewWithCode(
    const std::string& code, VnIndexRange range) {
    return requestForItemReviewWithItemId(makeItemId(kBookItemKind, code), range);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForMagazineItemReviewWithCode(
    const std::string& code, VnIndexRange itemRange) {
    return requestForItemReviewWithItemId(makeItemId(kMagazineItemKind, code), itemRange);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemReviewWithBookCode(
    const std::string& code, int32_t startIndex, int32_t length) {
    return requestForItemReviewWithCode(makeItemId(kBookItemKind, code), startIndex, length);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemReviewWithMagazineCode(
    const std::string& code, int32_t startIndex, int32_t length) {
    return requestForItemReviewWithCode(makeItemId(kMagazineItemKind, code), startIndex, length);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemReviewWithMagazineIssueCode(
    const std::string& code, int32_t startIndex, int32_t length) {
    return requestForItemReviewWithCode(makeItemId(kMagazineIssueItemKind, code), startIndex,
                                        length);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::submitForItemReviewWithBookCode(
    const std::string& code, const plat::Value& review) {
    return submitReviewMessageSessionWithCode(makeItemId(kBookItemKind, code), review);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::submitForItemReviewWithMagazineCode(
    const std::string& code, const plat::Value& review) {
    return submitReviewMessageSessionWithCode(makeItemId(kMagazineItemKind, code), review);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::submitForItemReviewWithMagazineIssueCode(
    const std::string& code, const plat::Value& review) {
    return submitReviewMessageSessionWithCode(makeItemId(kMagazineIssueItemKind, code), review);
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemRatingUserWithBookCode(
    const std::string& code) {
    return requestForItemRatingUserWithItemId(makeItemId(kBookItemKind, code));
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemRatingUserWithMagazineCode(
    const std::string& code) {
    return requestForItemRatingUserWithItemId(makeItemId(kMagazineItemKind, code));
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemRatingUserWithMagazineIssueCode(
    const std::string& code) {
    return requestForItemRatingUserWithItemId(makeItemId(kMagazineIssueItemKind, code));
}

// ---- Per-item companions ------------------------------------------------------------------------

Ref<VnStoreItemReviewAndRatingSession> VnStoreRemoteSession::reviewSessionForItemId(
    const std::string& itemId) {
    auto it = itemReviewSessionMap_.find(itemId);
    if (it != itemReviewSessionMap_.end())
        return it->second;
    auto companion =
        std::make_shared<VnStoreItemReviewAndRatingSession>(self<VnStoreRemoteSession>(), itemId);
    itemReviewSessionMap_.emplace(itemId, companion);
    return companion;
}

Ref<VnStoreItemReviewAndRatingSession> VnStoreRemoteSession::reviewSessionForMagazineCode(
    const std::string& code) {
    return reviewSessionForItemId(makeItemId(kMagazineItemKind, code));
}

Ref<VnStoreItemReviewAndRatingSession> VnStoreRemoteSession::reviewSessionForMagazineIssueCode(
    const std::string& code) {
    return reviewSessionForItemId(makeItemId(kBookItemKind, code));
}

// ---- Related books, wish lists, counts, search, follows -----------------------------------------

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForBookRelateWithBookCode(
    const std::string& bookCode, int32_t startIndex, int32_t length) {
    return requestWithWebMethod(
        "GetBookRelate",
        object({{"bookCode", bookCode}, {"start", startIndex}, {"length", length}}),
        &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForWishlistBookAtStartIndex(
    int32_t startIndex, int32_t length) {
    return requestWithWebMethod("GetUserWishBookInfo",
                                object({{"start", startIndex}, {"length", length}}),
                                &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForWishlistMagazineIssueAtStartIndex(
    int32_t startIndex, int32_t length) {
    return requestWithWebMethod("GetUserWishMagazineInfo",
                                object({{"start", startIndex}, {"length", length}}),
                                &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestCheckWishlistWithBookCode(
    const std::string& bookCode) {
    return requestWithWebMethod("IsUserWishBook", object({{"bookCode", bookCode}}), numberAnswer());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestCheckWishlistWithMagazineIssueCode(
    const std::string& issueCode) {
    return requestWithWebMethod("IsUserWishmagazine", object({{"issueCode", issueCode}}),
                                numberAnswer());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestMessageCountWaitForRead() {
    return requestWithWebMethod("GetCountMessageWaitforRead", object({}), numberAnswer());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestNotificationCountWaitForRead() {
    return requestWithWebMethod("GetCountNotificationWaitforRead", object({}), numberAnswer());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemSearchMagazineWithKeyword(
    const std::string& keyword, int32_t startIndex, int32_t length, const std::string& sortId) {
    return requestWithWebMethod(
        "SearchMagazineInfo",
        object(
            {{"keyword", keyword}, {"start", startIndex}, {"length", length}, {"sortId", sortId}}),
        &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForItemSearchBookWithKeyword(
    const std::string& keyword, int32_t startIndex, int32_t length, const std::string& sortId) {
    return requestWithWebMethod(
        "SearchBookInfo",
        object(
            {{"keyword", keyword}, {"start", startIndex}, {"length", length}, {"sortId", sortId}}),
        &VnShopGroupInfo::classObject());
}

Ref<VnServiceCommonRequest> VnStoreRemoteSession::requestForFollowInfosWithFollowTypeIdArrays(
    const Ref<plat::Array>& followTypeIds) {
    return requestWithWebMethod(
        "GetUserFollowInfo",
        object({{"type", orNull(followTypeIds)}, {"optionalParams", plat::Value::null()}}),
        &VnFollowInfo::classObject());
}

// ---- Support ------------------------------------------------------------------------------------

std::string VnStoreRemoteSession::makeItemId(std::string_view kind, std::string_view code) {
    std::string id(kind);
    id += '_';
    id += code;
    return id;
}

std::optional<int32_t> VnStoreRemoteSession::intValueForMagazineType(
    std::string_view magazineType) const {
    auto it = magazineTypeEnumMap_.find(magazineType);
    if (it == magazineTypeEnumMap_.end())
        return std::nullopt;
    return it->second;
}

Ref<plat::Dictionary> VnStoreRemoteSession::makeOptionalParamsFromRange(VnIndexRange range) {
    if (range.length == 0)
        return nullptr;
    return plat::makeDictionary(
        {{plat::Value("start"), range.location}, {plat::Value("length"), range.length}});
}

Ref<plat::Array> VnStoreRemoteSession::optionalParamArrayWithDictionary(
    const plat::Dictionary& dictionary) {
    std::vector<plat::Value> items;
    dictionary.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        const plat::Value text = value.isNull() ? value : plat::Value(value.description());
        items.push_back(object({{plat::Value("Key"), key}, {plat::Value("Value"), text}}));
        return true;
    });
    return plat::Array::make(std::move(items));
}
