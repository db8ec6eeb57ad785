// The request factories of the version-2 session: each builds a request object, picks the web
// method and the return-value class, and hands them to newRequestWithWebMethod.
#include "platform/storage/InfoDictionary.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/member/VnAccountInfo.h"
#include "vnlib/info/member/VnAssetFileInfo.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnProfileInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/service/auth/VnChangePasswordRemoteRequest.h"
#include "vnlib/service/auth/VnTransferUserBooksRequest.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/auth/VnUserRegistrationInfo.h"
#include "vnlib/service/follow/VnUserFollowInputParams.h"
#include "vnlib/service/follow/VnUserFollowResult.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v2/VnWebMethodNames.h"

namespace {

using Entry = std::pair<const char*, plat::Value>;

// A request object with the keys in the given order. A value that is missing is sent as JSON
// null: it never drops the keys that follow it.
plat::Value requestObject(std::initializer_list<Entry> entries) {
    std::vector<std::pair<plat::Value, plat::Value>> pairs;
    pairs.reserve(entries.size());
    for (const auto& [key, value] : entries)
        pairs.emplace_back(plat::Value(key), VnValue(value));
    return plat::Value(plat::makeDictionary(std::move(pairs)));
}

plat::Value text(const std::optional<std::string>& value) {
    return VnValue(value);
}

plat::Value list(const Ref<plat::Array>& value) {
    return VnValue(plat::Value(value));
}

// "optionalParams" of a call without optional parameters.
plat::Value noOptions() {
    return plat::Value::null();
}

plat::Value seconds(const std::optional<plat::Date>& date) {
    return plat::Value(date ? date->seconds : 0.0);
}

constexpr const char* kLibrariesCategory = "_Libraries";
constexpr int32_t kDefaultMetaBookLength = 200;

}  // namespace

// ---- Catalogue and store front ------------------------------------------------------------------

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMetaMagazineIssueInfosRequest(
    const Ref<VnGetMetaMagazineIssueInfosParams>& params) {
    return newRequestWithWebMethod(VNWS_GetMetaMagazineIssueInfos, plat::Value(params),
                                   &VnMagazineIssueMetaInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMetaBookInfosRequestWithCategory(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
    int32_t startIndex, int32_t length) {
    return newRequestWithWebMethod(VNWS_GetMetaBookInfos,
                                   requestObject({{"categoryCode", text(categoryCode)},
                                                  {"keyword", text(keyword)},
                                                  {"start", plat::Value(startIndex)},
                                                  {"length", plat::Value(length)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnMagazineIssueMetaInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMetaBookInfosRequestWithCategory(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    const int32_t length = categoryCode == kLibrariesCategory ? 0 : kDefaultMetaBookLength;
    return newMetaBookInfosRequestWithCategory(categoryCode, keyword, 0, length);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMagazineIssueInfosRequestWithCodes(
    const Ref<plat::Array>& magazineIssueCodes) {
    return newRequestWithWebMethod(VNWS_GetMagazineIssueInfos,
                                   requestObject({{"magazineIssueCodes", list(magazineIssueCodes)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnMagazineIssueInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newBookInfosRequestWithCodes(
    const Ref<plat::Array>& bookCodes) {
    return newRequestWithWebMethod(
        VNWS_GetBookInfos,
        requestObject({{"bookCodes", list(bookCodes)}, {"optionalParams", noOptions()}}),
        &VnMagazineIssueInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetIssueInfo(
    const std::optional<std::string>& bookCode) {
    return newRequestWithWebMethod(
        VNWS_GetIssueInfo,
        requestObject({{"bookCode", text(bookCode)}, {"optionalParams", noOptions()}}),
        &VnMagazineIssueInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetLibraryIssueInfos(
    const Ref<plat::Array>& bookCodes) {
    return newRequestWithWebMethod(
        VNWS_GetLibraryIssueInfos,
        requestObject({{"bookCodes", list(bookCodes)}, {"optionalParams", noOptions()}}),
        &VnMagazineIssueInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newBookDetailRequestWithCode(
    const std::optional<std::string>& bookCode) {
    return newRequestWithWebMethod(
        VNWS_GetBookDetails,
        requestObject({{"bookCode", text(bookCode)}, {"optionalParams", noOptions()}}),
        &VnBookDetail::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMagazineCategoryListRequest() {
    return newRequestWithWebMethod(
        VNWS_GetCategoryInfos,
        requestObject({{"categoryType", plat::Value("Magazine")}, {"optionalParams", noOptions()}}),
        &VnMagazineCategoryInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newBookCategoryListRequest() {
    return newRequestWithWebMethod(
        VNWS_GetCategoryInfos,
        requestObject({{"categoryType", plat::Value("Book")}, {"optionalParams", noOptions()}}),
        &VnMagazineCategoryInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return newRequestWithWebMethod(VNWS_GetMagazineInfos,
                                   requestObject({{"categoryCode", text(categoryCode)},
                                                  {"keyword", text(keyword)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnMagazineInfo::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newMetaMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
    int32_t startIndex, int32_t length) {
    auto options = plat::MutableDictionary::make();
    options->setObject(text(keyword), plat::Value("keyword"));
    if (length >= 1) {
        options->setObject(plat::Value(startIndex), plat::Value("start"));
        options->setObject(plat::Value(length), plat::Value("length"));
    }
    return newRequestWithWebMethod(
        VNWS_GetMetaMagazineInfos,
        requestObject(
            {{"categoryCode", text(categoryCode)},
             {"optionalParams", plat::Value(optionalParamArrayWithDictionary(*options))}}),
        &VnMagazineInfo::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newMetaMagazineInfosRequestWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return newMetaMagazineInfosRequestWithCategoryCode(categoryCode, keyword, 0, 0);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMagazineInfosRequestWithMagazineCodes(
    const Ref<plat::Array>& magazineCodes) {
    return newRequestWithWebMethod(
        VNWS_GetMagazineInfosEx,
        requestObject({{"magazineCodes", list(magazineCodes)}, {"optionalParams", noOptions()}}),
        &VnMagazineInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newPageInfoRequestWithMagazineIssueCode(
    const std::optional<std::string>& magazineIssueCode,
    const std::optional<std::string>& pageType) {
    return newRequestWithWebMethod(VNWS_GetBookPages,
                                   requestObject({{"magazineIssueCode", text(magazineIssueCode)},
                                                  {"pageType", text(pageType)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnPageInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newAssetRequestWithMagazineIssueCode(
    const std::optional<std::string>& magazineIssueCode, const Ref<plat::Array>& assetInfos) {
    return newRequestWithWebMethod(VNWS_GetAssetFiles,
                                   requestObject({{"magazineIssueCode", text(magazineIssueCode)},
                                                  {"assetRequests", list(assetInfos)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnAssetFileInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newPriceInfosRequestWithMagazineIssueCode(
    const std::optional<std::string>& magazineIssueCode) {
    return newRequestWithWebMethod(VNWS_GetPriceInfos,
                                   requestObject({{"productCode", text(magazineIssueCode)},
                                                  {"productType", plat::Value("Book")},
                                                  {"optionalParams", noOptions()}}),
                                   &VnPriceInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newAuthorListRequest() {
    return newRequestWithWebMethod("GetAuthorList",
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnAuthorInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetShopGroupInfoCode(
    const std::optional<std::string>& groupCode) {
    const auto appCode = configuration_ ? configuration_->appCode() : std::nullopt;
    return newRequestWithWebMethod(
        VNWS_GetWidgetInfo,
        requestObject(
            {{"id", text(groupCode)}, {"appCode", text(appCode)}, {"optionalParams", noOptions()}}),
        &VnShopGroupInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetShopGroupInfoCode(
    const std::optional<std::string>& groupCode, int32_t startIndex, int32_t length) {
    const auto appCode = configuration_ ? configuration_->appCode() : std::nullopt;
    return newRequestWithWebMethod(VNWS_GetSubWidgetInfo,
                                   requestObject({{"id", text(groupCode)},
                                                  {"appCode", text(appCode)},
                                                  {"start", plat::Value(startIndex)},
                                                  {"length", plat::Value(length)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnShopGroupInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetItemURLRequestWithItemKind(
    const std::optional<std::string>& itemKind, const std::optional<std::string>& itemCode) {
    return newRequestWithWebMethod(VNWS_GetItemURL,
                                   requestObject({{"itemType", text(itemKind)},
                                                  {"itemCode", text(itemCode)},
                                                  {"optionalParams", noOptions()}}),
                                   nullptr);
}

// ---- Lending ------------------------------------------------------------------------------------

namespace {

// The usual lending call: one code under its key, answered with the common success record.
Ref<VnClientServiceCommonRequest> lendingCall(VnClientServiceSession& session,
                                              const char* webMethod, const char* key,
                                              const std::optional<std::string>& code) {
    return session.newRequestWithWebMethod(
        webMethod, requestObject({{key, text(code)}, {"optionalParams", noOptions()}}),
        &VnCommonBoolReturnValue::classObject());
}

}  // namespace

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newBorrowBook(
    const std::optional<std::string>& bookCode) {
    return lendingCall(*this, VNWS_BorrowBook, "bookCode", bookCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newReserveBook(
    const std::optional<std::string>& bookCode) {
    return lendingCall(*this, VNWS_ReserveBook, "bookCode", bookCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newCancelReserveBook(
    const std::optional<std::string>& bookCode) {
    return lendingCall(*this, VNWS_CancelReserveBook, "bookCode", bookCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newReturnBook(
    const std::optional<std::string>& itemCode) {
    return lendingCall(*this, VNWS_ReturnBook, "itemCode", itemCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newExtendBorrowBook(
    const std::optional<std::string>& itemCode) {
    return lendingCall(*this, VNWS_ExtendBorrowBook, "itemCode", itemCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newClaimReserveBook(
    const std::optional<std::string>& itemCode) {
    return lendingCall(*this, VNWS_ClaimReserveBook, "itemCode", itemCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newReadBookNow(
    const std::optional<std::string>& bookCode) {
    return lendingCall(*this, VNWS_ReadBookNow, "bookCode", bookCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newPurchaseFreeBook(
    const std::optional<std::string>& bookCode) {
    return lendingCall(*this, VNWS_PurchaseFreeBook, "bookCode", bookCode);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetCurrentReserveBookInfos() {
    return newRequestWithWebMethod(VNWS_GetCurrentReserveBookInfos,
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnReserveItemInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newNeedClaimActionBooks() {
    return newRequestWithWebMethod(VNWS_NeedClaimActionBooks,
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnReserveItemInfo::classObject());
}

Ref<VnJsonWebRequest> VnClientServiceSession::newNeedClaimAction() {
    return webRequestWithWebMethod(VNWS_NeedClaimAction,
                                   requestObject({{"optionalParams", noOptions()}}));
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetBorrowHistory(
    std::optional<plat::Date> startDate, std::optional<plat::Date> endDate) {
    return newRequestWithWebMethod(VNWS_GetBorrowHistory,
                                   requestObject({{"startDate", seconds(startDate)},
                                                  {"endDate", seconds(endDate)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnBorrowHistoryInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetHistory(int32_t startIndex,
                                                                        int32_t length) {
    return newRequestWithWebMethod(VNWS_GetHistory,
                                   requestObject({{"start", plat::Value(startIndex)},
                                                  {"length", plat::Value(length)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnBorrowHistoryInfo::classObject());
}

// ---- Wishlists and reading sync -----------------------------------------------------------------

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newWishlistSubmitWithBookCode(
    const std::optional<std::string>& bookCode) {
    return newRequestWithWebMethod(
        VNWS_SubmitWishlistBook,
        requestObject({{"bookCode", text(bookCode)}, {"optionalParams", noOptions()}}), nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newWishlistSubmitWithMagazineIssueCode(
    const std::optional<std::string>& issueCode) {
    return newRequestWithWebMethod(
        VNWS_SubmitUserWishMagazine,
        requestObject({{"issueCode", text(issueCode)}, {"optionalParams", noOptions()}}), nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newWishlistRemoveWithBookCode(
    const std::optional<std::string>& bookCode) {
    return newRequestWithWebMethod(
        VNWS_RemoveUserWishBook,
        requestObject({{"bookCode", text(bookCode)}, {"optionalParams", noOptions()}}), nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newWishlistRemoveWithMagazineCode(
    const std::optional<std::string>& issueCode) {
    return newRequestWithWebMethod(
        VNWS_RemoveUserWishMagazine,
        requestObject({{"issueCode", text(issueCode)}, {"optionalParams", noOptions()}}), nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newSubmitSyncBookmarkWithIssueCode(
    const std::optional<std::string>& issueCode, const std::optional<std::string>& markName,
    int32_t pageIndex, int32_t chapterIndex, int32_t amountPage) {
    return newRequestWithWebMethod(VNWS_SubmitSyncBookMark,
                                   requestObject({{"issueCode", text(issueCode)},
                                                  {"pageIndex", plat::Value(pageIndex)},
                                                  {"chapterIndex", plat::Value(chapterIndex)},
                                                  {"amountPage", plat::Value(amountPage)},
                                                  {"markName", text(markName)},
                                                  {"optionalParams", noOptions()}}),
                                   nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newRemoveUserSyncBookmark(
    int32_t bookMarkId) {
    return newRequestWithWebMethod(
        VNWS_RemoveUserSyncBookMark,
        requestObject({{"bookMarkId", plat::Value(bookMarkId)}, {"optionalParams", noOptions()}}),
        nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newSubmitSyncLastPageWithIssueCode(
    const std::optional<std::string>& issueCode, int32_t pageIndex) {
    return newRequestWithWebMethod(VNWS_SubmitSyncLastPage,
                                   requestObject({{"issueCode", text(issueCode)},
                                                  {"pageIndex", plat::Value(pageIndex)},
                                                  {"optionalParams", noOptions()}}),
                                   nullptr);
}

Ref<VnRequestContext> VnClientServiceSession::newFollowRequestWithUserFollowInputParams(
    const Ref<VnUserFollowInputParams>& params) {
    PLAT_PARAMETER_ASSERT(params);
    if (auto refused = params->failedResultIfInvalid())
        return VnRequestContext::requestWithResult(refused);
    return newRequestWithWebMethod(params->getWebMethod(), plat::Value(params->getRequestParams()),
                                   &VnUserFollowResult::classObject());
}

// ---- Account, subscriptions and purchases -------------------------------------------------------

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newAccountRegistrationRequest(
    const Ref<VnUserRegistrationInfo>& registration) {
    auto field = [&](std::optional<std::string> VnUserRegistrationInfo::*member) {
        return registration ? text(registration.get()->*member) : plat::Value::null();
    };
    auto profile = plat::makeDictionary({
        {plat::Value("idcard"), field(&VnUserRegistrationInfo::idCard)},
        {plat::Value("address"), plat::Value::null()},
        {plat::Value("address2"), plat::Value::null()},
        {plat::Value("mobile"), plat::Value::null()},
        {plat::Value("phone"), plat::Value::null()},
        {plat::Value("submail"), plat::Value::null()},
        {plat::Value("country"), plat::Value::null()},
        {plat::Value("birthdate"), plat::Value::null()},
        {plat::Value("gender"), plat::Value(0)},
        {plat::Value("education"), plat::Value(0)},
        {plat::Value("salary"), plat::Value(0.0)},
    });
    return newRequestWithWebMethod(
        VNWS_RegisterNewAccount,
        requestObject(
            {{"username", field(&VnUserRegistrationInfo::username)},
             {"password", field(&VnUserRegistrationInfo::password)},
             {"firstname", field(&VnUserRegistrationInfo::firstname)},
             {"lastname", field(&VnUserRegistrationInfo::lastname)},
             {"optionalParams", plat::Value(optionalParamArrayWithDictionary(*profile))}}),
        &VnUserRegistrationReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newSignInMethodQueryRequestForUserName(
    const std::optional<std::string>& username) {
    return newRequestWithWebMethod(
        "GetAccountAuthenticationMethod",
        requestObject({{"username", text(username)}, {"optionalParams", noOptions()}}),
        &VnAuthenticationMethodInfo::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newRequestPasswordResetEmailRequestWithUsername(
    const std::optional<std::string>& username) {
    return newRequestWithWebMethod(
        VNWS_RequestPasswordResetEmail,
        requestObject({{"username", text(username)}, {"optionalParams", noOptions()}}),
        &VnCommonBoolReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newChangePasswordRequestWithUserAuthenticationInfo(
    const Ref<VnUserAuthenticationInfo>& credentials,
    const std::optional<std::string>& newPassword) {
    return newRequestWithWebMethod(
        VNWS_ChangePassword,
        VnChangePasswordRemoteRequest::requestObjectWithUserAuthenticationInfo(credentials,
                                                                               newPassword),
        &VnCommonBoolReturnValue::classObject());
}

Ref<VnTransferUserBooksRequest>
VnClientServiceSession::newTransferUserBooksRequestWithSourceUserAuthenticationInfo(
    const Ref<VnUserAuthenticationInfo>& sourceCredentials) {
    return std::make_shared<VnTransferUserBooksRequest>(
        self<VnClientServiceSession>(), VNWS_TransferUserBooks,
        requestObject({{"sourceAuthentication", plat::Value(sourceCredentials)},
                       {"optionalParams", noOptions()}}),
        &VnTransferUserBooksReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newAccountInfoRequest() {
    return newRequestWithWebMethod(VNWS_GetAccountInfo, plat::Value(voidWebMethodParam()),
                                   &VnAccountInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetProfileRequest() {
    return newRequestWithWebMethod(VNWS_GetProfile, plat::Value(voidWebMethodParam()),
                                   &VnProfileInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::updateAcountDetail() {
    return newRequestWithWebMethod(VNWS_UpdateAcountDetail, requestObject({}), nullptr);
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newRegisterAPNSTokenRequest(
    const std::optional<std::string>& pushToken) {
    const bool newsstand = plat::InfoDictionary::objectForKey("UINewsstandApp").boolValue();
    plat::Value options =
        newsstand
            ? plat::Value(plat::makeDictionary({{plat::Value("IsNewsstand"), plat::Value(1)}}))
            : noOptions();
    return newRequestWithWebMethod(
        VNWS_RegisterAPNS,
        requestObject({{"pushToken", text(pushToken)}, {"optionalParams", options}}),
        &VnCommonBoolReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newMobileDataNumberDetectionRequest() {
    return newRequestWithWebMethod(
        VNWS_MobileDetectClientInfo,
        requestObject({{"mobileOperator", plat::Value("ORV")}, {"optionalParams", noOptions()}}),
        &VnMobileDataNumberDetectionReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newMobileOneTimePasswordRequestWithOperator(
    const std::optional<std::string>& mobileOperator, const std::optional<std::string>& MSISDN,
    const std::optional<std::string>& packageIdentifier) {
    return newRequestWithWebMethod(VNWS_MobileRequestOnetimePassword,
                                   requestObject({{"mobileOperator", text(mobileOperator)},
                                                  {"package", text(packageIdentifier)},
                                                  {"phoneNumber", text(MSISDN)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnCommonBoolReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newUserSubscriptionRequest() {
    return newRequestWithWebMethod(VNWS_GetUserSubscriptions, plat::Value(voidWebMethodParam()),
                                   &VnUserSubscriptionInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetCurrentSubscription() {
    return newRequestWithWebMethod(VNWS_GetCurrentSubscription,
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnUserSubscriptionInfo::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newSubscriptionOptionsRequestWithMagazineCode(
    const std::optional<std::string>& magazineCode) {
    return newRequestWithWebMethod(
        VNWS_GetSubscriptionOptions,
        requestObject({{"magazineCode", text(magazineCode)}, {"optionalParams", noOptions()}}),
        &VnSubscriptionOptionInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newGetSubscriptionOptions() {
    return newRequestWithWebMethod(VNWS_GetSubscriptionOptions,
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnSubscriptionOptionInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::unSubscriptionRequestWithSubscriptionId(
    int32_t subscriptionId) {
    return newRequestWithWebMethod(VNWS_UnSubScriptionFree,
                                   requestObject({{"autoSubId", plat::Value(subscriptionId)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnCommonBoolReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newPurchaseProductRequestWithPurchaseCode(
    const std::optional<std::string>& purchaseCode, const std::optional<std::string>& productType,
    const std::optional<std::string>& transactionReceipt) {
    return newRequestWithWebMethod(VNWS_RedeemProduct,
                                   requestObject({{"purchaseCode", text(purchaseCode)},
                                                  {"productType", text(productType)},
                                                  {"transactionReceipt", text(transactionReceipt)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnPurchaseProductReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newCanRedeemProductRequestWithPurchaseCode(
    const std::optional<std::string>& purchaseCode) {
    return newRequestWithWebMethod(
        "CanPurchaseProduct",
        requestObject({{"purchaseCode", text(purchaseCode)}, {"optionalParams", noOptions()}}),
        &VnCommonBoolReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newRestoreInAppPurchaseWithReceipt(
    const std::optional<std::string>& receipt) {
    return newRequestWithWebMethod(
        "RestoreInAppPurchase",
        requestObject({{"receipt", text(receipt)}, {"optionalParams", noOptions()}}),
        &VnRestoreInAppPurchaseReturnValue::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newFilterRestorableInAppRequestWithReceiptInfos(
    const Ref<plat::Array>& receiptInfos) {
    return newRequestWithWebMethod(
        VNWS_FilterRestorableInApp,
        requestObject({{"receiptInfos", list(receiptInfos)}, {"optionalParams", noOptions()}}),
        &VnReceiptInfoEx::classObject());
}

Ref<VnClientServiceCommonRequest>
VnClientServiceSession::newLumoCardLatestUserPointsRecordRequest() {
    return newRequestWithWebMethod("GetLumoCardLatestUserPointsRecord",
                                   requestObject({{"optionalParams", noOptions()}}),
                                   &VnUserPointsInfo::classObject());
}

Ref<VnClientServiceCommonRequest> VnClientServiceSession::newLumoCardBindingWithCardNumber(
    const std::optional<std::string>& cardNumber,
    const std::optional<std::string>& dateOfBirthYYYYMMDD,
    const std::optional<std::string>& identificationNumber) {
    return newRequestWithWebMethod("BindLumoCard",
                                   requestObject({{"lumoCardNumber", text(cardNumber)},
                                                  {"dateOfBirth", text(dateOfBirthYYYYMMDD)},
                                                  {"idCardNumber", text(identificationNumber)},
                                                  {"optionalParams", noOptions()}}),
                                   &VnCommonBoolReturnValue::classObject());
}

// ---- Meta-infos factory -------------------------------------------------------------------------

Ref<VnRequestContext> VnClientServiceSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode) {
    return requestForMetaBookInfosWithCategoryCode(categoryCode, std::nullopt);
}

Ref<VnRequestContext> VnClientServiceSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword) {
    return requestForMetaBookInfosWithCategoryCode(categoryCode, keyword, VnIndexRange{0, 0});
}

Ref<VnRequestContext> VnClientServiceSession::requestForMetaBookInfosWithCategoryCode(
    const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
    VnIndexRange itemRange) {
    return newMetaBookInfosRequestWithCategory(categoryCode, keyword,
                                               static_cast<int32_t>(itemRange.location),
                                               static_cast<int32_t>(itemRange.length));
}

Ref<VnRequestContext> VnClientServiceSession::requestForMetaMagazineIssueInfosWithMagazineType(
    const std::optional<std::string>& magazineType, const std::optional<std::string>&,
    VnIndexRange itemRange) {
    if (magazineType != VnMagazineIssueKind_Library) {
        plat::raise(VnClientServiceSessionInvalidMagazineType,
                    "Can create only request for library");
    }
    auto params = std::make_shared<VnGetMetaMagazineIssueInfosParams>();
    params->initWithCode(std::nullopt, std::string(VN_MAGAZINETYPE_LIBRARY), itemRange);
    return newMetaMagazineIssueInfosRequest(params);
}

Ref<VnRequestResult> VnClientServiceSession::bookDetail_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result || !result->succeed())
        return result;
    auto list = result->returnValue().array();
    if (!list)
        return result;
    return VnRequestResult::resultWithRequestParams(result->requestParams(), list->firstObject(),
                                                    nullptr);
}
