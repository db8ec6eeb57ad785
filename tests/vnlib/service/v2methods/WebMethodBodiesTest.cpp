// What each version-2 web-method factory posts (web method, body with its keys in order and their
// JSON types) and which class its answer maps into.
#include <gtest/gtest.h>

#include <functional>

#include "platform/runloop/RunLoop.h"
#include "platform/storage/InfoDictionary.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
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
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/auth/VnUserRegistrationInfo.h"
#include "vnlib/service/follow/VnUserFollowInputParams.h"
#include "vnlib/service/follow/VnUserFollowResult.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

using plat::Value;
using Session = VnClientServiceSession;
using Text = std::optional<std::string>;

namespace {

Ref<Session> makeSession() {
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAppCode("VARNEL_DEMO");
    return std::make_shared<Session>(*plat::Url::parse("http://127.0.0.1:9/svc"), configuration);
}

std::string jsonText(const Value& value) {
    return KxJsonWriter().stringWithObject(value).value_or("<error>");
}

Ref<plat::Array> codes(std::initializer_list<Value> values) {
    return plat::Array::make(values);
}

struct Row {
    const char* name;
    std::function<Ref<VnRequestContext>(Session&)> make;
    const char* webMethod;
    const char* body;
    const plat::Class* returnClass;
};

}  // namespace

TEST(VersionTwoWebMethods, BodiesAndReturnClasses) {
    const Text none;
    const Text code("BK0001");
    auto asset = VnRequestAssetInfo::requestWithId(std::string("r1"), std::string("PDF"),
                                                   std::string("PAGE"), codes({Value(1)}));
    const std::vector<Row> rows = {
        {"meta books",
         [&](Session& s) {
             return s.newMetaBookInfosRequestWithCategory(std::string("B01"), std::string("รัก"), 40,
                                                          20);
         },
         "GetMetaBookInfos",
         R"({"categoryCode":"B01","keyword":"รัก","start":40,"length":20,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"meta books of the library",
         [&](Session& s) {
             return s.newMetaBookInfosRequestWithCategory(std::string("_Libraries"), none);
         },
         "GetMetaBookInfos",
         R"({"categoryCode":"_Libraries","keyword":null,"start":0,"length":0,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"meta books of a category",
         [&](Session& s) { return s.newMetaBookInfosRequestWithCategory(none, none); },
         "GetMetaBookInfos",
         R"({"categoryCode":null,"keyword":null,"start":0,"length":200,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"meta factory, ranged",
         [&](Session& s) {
             return s.requestForMetaBookInfosWithCategoryCode(std::string("B02"), none,
                                                              VnIndexRange{5, 10});
         },
         "GetMetaBookInfos",
         R"({"categoryCode":"B02","keyword":null,"start":5,"length":10,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"meta factory, category only",
         [&](Session& s) { return s.requestForMetaBookInfosWithCategoryCode(std::string("B02")); },
         "GetMetaBookInfos",
         R"({"categoryCode":"B02","keyword":null,"start":0,"length":0,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"library issues",
         [&](Session& s) {
             return s.requestForMetaMagazineIssueInfosWithMagazineType(
                 std::string("Libraries"), std::string("ignored"), VnIndexRange{40, 20});
         },
         "GetMetaMagazineIssueInfos",
         R"({"magazineType":"Libraries","magazineCode":null,"start":40,"length":20,"optionalParams":null})",
         &VnMagazineIssueMetaInfo::classObject()},
        {"issue infos",
         [&](Session& s) {
             return s.newMagazineIssueInfosRequestWithCodes(codes({Value("MG01-2401")}));
         },
         "GetMagazineIssueInfos", R"({"magazineIssueCodes":["MG01-2401"],"optionalParams":null})",
         &VnMagazineIssueInfo::classObject()},
        {"book infos without codes",
         [&](Session& s) { return s.newBookInfosRequestWithCodes(nullptr); }, "GetBookInfos",
         R"({"bookCodes":null,"optionalParams":null})", &VnMagazineIssueInfo::classObject()},
        {"issue info", [&](Session& s) { return s.newGetIssueInfo(code); }, "GetIssueInfo",
         R"({"bookCode":"BK0001","optionalParams":null})", &VnMagazineIssueInfo::classObject()},
        {"library issue infos",
         [&](Session& s) {
             return s.newGetLibraryIssueInfos(codes({Value("BK0001"), Value("BK0002")}));
         },
         "GetLibraryIssueInfos", R"({"bookCodes":["BK0001","BK0002"],"optionalParams":null})",
         &VnMagazineIssueInfo::classObject()},
        {"book detail", [&](Session& s) { return s.newBookDetailRequestWithCode(none); },
         "GetBookDetails", R"({"bookCode":null,"optionalParams":null})",
         &VnBookDetail::classObject()},
        {"magazine categories", [&](Session& s) { return s.newMagazineCategoryListRequest(); },
         "GetCategoryInfos", R"({"categoryType":"Magazine","optionalParams":null})",
         &VnMagazineCategoryInfo::classObject()},
        {"book categories", [&](Session& s) { return s.newBookCategoryListRequest(); },
         "GetCategoryInfos", R"({"categoryType":"Book","optionalParams":null})",
         &VnMagazineCategoryInfo::classObject()},
        {"magazines",
         [&](Session& s) {
             return s.newMagazineInfosRequestWithCategoryCode(std::string("M01"), none);
         },
         "GetMagazineInfos", R"({"categoryCode":"M01","keyword":null,"optionalParams":null})",
         &VnMagazineInfo::classObject()},
        {"meta magazines, paged",
         [&](Session& s) {
             return s.newMetaMagazineInfosRequestWithCategoryCode(none, std::string("tech"), 40,
                                                                  20);
         },
         "GetMetaMagazineInfos",
         R"({"categoryCode":null,"optionalParams":[{"Key":"keyword","Value":"tech"},{"Key":"start","Value":"40"},{"Key":"length","Value":"20"}]})",
         &VnMagazineInfo::classObject()},
        {"meta magazines, keyword only",
         [&](Session& s) {
             return s.newMetaMagazineInfosRequestWithCategoryCode(std::string("M02"), none);
         },
         "GetMetaMagazineInfos",
         R"({"categoryCode":"M02","optionalParams":[{"Key":"keyword","Value":null}]})",
         &VnMagazineInfo::classObject()},
        {"magazines by codes",
         [&](Session& s) {
             return s.newMagazineInfosRequestWithMagazineCodes(codes({Value("MG01")}));
         },
         "GetMagazineInfosEx", R"({"magazineCodes":["MG01"],"optionalParams":null})",
         &VnMagazineInfo::classObject()},
        {"pages",
         [&](Session& s) {
             return s.newPageInfoRequestWithMagazineIssueCode(std::string("MG01-2401"),
                                                              std::string("PREVIEW"));
         },
         "GetBookPages",
         R"({"magazineIssueCode":"MG01-2401","pageType":"PREVIEW","optionalParams":null})",
         &VnPageInfo::classObject()},
        {"asset files",
         [&](Session& s) {
             return s.newAssetRequestWithMagazineIssueCode(std::string("MG01-2401"),
                                                           codes({Value(asset)}));
         },
         "GetAssetFiles",
         R"({"magazineIssueCode":"MG01-2401","assetRequests":[{"requestId":"r1","Type":"PDF","fileIdType":"PAGE","fileIds":[1],"width":0,"height":0,"optionalParams":null}],"optionalParams":null})",
         &VnAssetFileInfo::classObject()},
        {"prices", [&](Session& s) { return s.newPriceInfosRequestWithMagazineIssueCode(code); },
         "GetPriceInfos", R"({"productCode":"BK0001","productType":"Book","optionalParams":null})",
         &VnPriceInfo::classObject()},
        {"authors", [&](Session& s) { return s.newAuthorListRequest(); }, "GetAuthorList",
         R"({"optionalParams":null})", &VnAuthorInfo::classObject()},
        {"shop group", [&](Session& s) { return s.newGetShopGroupInfoCode(std::string("home")); },
         "GetWidgetInfo", R"({"id":"home","appCode":"VARNEL_DEMO","optionalParams":null})",
         &VnShopGroupInfo::classObject()},
        {"shop subgroups", [&](Session& s) { return s.newGetShopGroupInfoCode(none, 0, 10); },
         "GetSubWidgetInfo",
         R"({"id":null,"appCode":"VARNEL_DEMO","start":0,"length":10,"optionalParams":null})",
         &VnShopGroupInfo::classObject()},
        {"item URL",
         [&](Session& s) { return s.newGetItemURLRequestWithItemKind(std::string("Book"), code); },
         "GetItemURL", R"({"itemType":"Book","itemCode":"BK0001","optionalParams":null})", nullptr},
        {"borrow without code", [&](Session& s) { return s.newBorrowBook(none); }, "BorrowBook",
         R"({"bookCode":null,"optionalParams":null})", &VnCommonBoolReturnValue::classObject()},
        {"reserve", [&](Session& s) { return s.newReserveBook(code); }, "ReserveBook",
         R"({"bookCode":"BK0001","optionalParams":null})", &VnCommonBoolReturnValue::classObject()},
        {"cancel reservation", [&](Session& s) { return s.newCancelReserveBook(code); },
         "CancelReserveBook", R"({"bookCode":"BK0001","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"return", [&](Session& s) { return s.newReturnBook(std::string("LN1")); }, "ReturnBook",
         R"({"itemCode":"LN1","optionalParams":null})", &VnCommonBoolReturnValue::classObject()},
        {"extend", [&](Session& s) { return s.newExtendBorrowBook(std::string("LN1")); },
         "ExtendBorrowBook", R"({"itemCode":"LN1","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"claim", [&](Session& s) { return s.newClaimReserveBook(std::string("RS1")); },
         "ClaimReserveBook", R"({"itemCode":"RS1","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        // A missing required value is sent as null; it does not empty the request.
        {"read now without code", [&](Session& s) { return s.newReadBookNow(none); }, "ReadBookNow",
         R"({"bookCode":null,"optionalParams":null})", &VnCommonBoolReturnValue::classObject()},
        {"free book", [&](Session& s) { return s.newPurchaseFreeBook(code); }, "PurchaseFreeBook",
         R"({"bookCode":"BK0001","optionalParams":null})", &VnCommonBoolReturnValue::classObject()},
        {"reservations", [&](Session& s) { return s.newGetCurrentReserveBookInfos(); },
         "GetCurrentReserveBookInfos", R"({"optionalParams":null})",
         &VnReserveItemInfo::classObject()},
        {"claimable books", [&](Session& s) { return s.newNeedClaimActionBooks(); },
         "NeedClaimActionBooks", R"({"optionalParams":null})", &VnReserveItemInfo::classObject()},
        {"borrow history",
         [&](Session& s) { return s.newGetBorrowHistory(plat::Date{10}, std::nullopt); },
         "GetBorrowHistory2", R"({"startDate":10,"endDate":0,"optionalParams":null})",
         &VnBorrowHistoryInfo::classObject()},
        {"history", [&](Session& s) { return s.newGetHistory(0, 25); }, "GetHistory",
         R"({"start":0,"length":25,"optionalParams":null})", &VnBorrowHistoryInfo::classObject()},
        {"wish book", [&](Session& s) { return s.newWishlistSubmitWithBookCode(code); },
         "SubmitUserWishBook", R"({"bookCode":"BK0001","optionalParams":null})", nullptr},
        {"wish issue", [&](Session& s) { return s.newWishlistSubmitWithMagazineIssueCode(none); },
         "SubmitUserWishMagazine", R"({"issueCode":null,"optionalParams":null})", nullptr},
        {"unwish book", [&](Session& s) { return s.newWishlistRemoveWithBookCode(code); },
         "RemoveUserWishBook", R"({"bookCode":"BK0001","optionalParams":null})", nullptr},
        {"unwish issue",
         [&](Session& s) { return s.newWishlistRemoveWithMagazineCode(std::string("MG01-2401")); },
         "RemoveUserWishMagazine", R"({"issueCode":"MG01-2401","optionalParams":null})", nullptr},
        {"bookmark",
         [&](Session& s) {
             return s.newSubmitSyncBookmarkWithIssueCode(std::string("MG01-2401"),
                                                         std::string("บทที่ 1"), 3, 1, 2);
         },
         "SubmitSyncBookMark",
         R"({"issueCode":"MG01-2401","pageIndex":3,"chapterIndex":1,"amountPage":2,"markName":"บทที่ 1","optionalParams":null})",
         nullptr},
        {"remove bookmark", [&](Session& s) { return s.newRemoveUserSyncBookmark(42); },
         "RemoveUserSyncBookMark", R"({"bookMarkId":42,"optionalParams":null})", nullptr},
        {"last page", [&](Session& s) { return s.newSubmitSyncLastPageWithIssueCode(none, 7); },
         "SubmitSyncLastPage", R"({"issueCode":null,"pageIndex":7,"optionalParams":null})",
         nullptr},
        {"follow",
         [&](Session& s) {
             return s.newFollowRequestWithUserFollowInputParams(
                 VnUserFollowInputParams::initWithUserID(7, std::string("A1"), 3, true));
         },
         "SubmitUserFollowAuthor", R"({"accountId":7,"code":"A1"})",
         &VnUserFollowResult::classObject()},
        {"sign-in method",
         [&](Session& s) {
             return s.newSignInMethodQueryRequestForUserName(std::string("nok@example.com"));
         },
         "GetAccountAuthenticationMethod",
         R"({"username":"nok@example.com","optionalParams":null})",
         &VnAuthenticationMethodInfo::classObject()},
        {"password reset",
         [&](Session& s) { return s.newRequestPasswordResetEmailRequestWithUsername(none); },
         "RequestPasswordResetEmail", R"({"username":null,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"change password",
         [&](Session& s) {
             return s.newChangePasswordRequestWithUserAuthenticationInfo(
                 VnUserAuthenticationInfo::infoWithUserNameHashedPassword("u@x.th", "OLD"),
                 std::string("new-pw"));
         },
         "ChangePassword",
         R"({"username":"u@x.th","hashedOldPassword":"OLD","newPassword":"new-pw","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"change-password request class",
         [&](Session& s) {
             return std::make_shared<VnChangePasswordRemoteRequest>(
                 std::static_pointer_cast<Session>(s.shared_from_this()),
                 VnUserAuthenticationInfo::infoWithUserNameHashedPassword("ผู้ใช้@x.th", "OLD=="),
                 none);
         },
         "ChangePassword",
         R"({"username":"ผู้ใช้@x.th","hashedOldPassword":"OLD==","newPassword":null,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"change password without credentials",
         [&](Session& s) {
             return s.newChangePasswordRequestWithUserAuthenticationInfo(nullptr, none);
         },
         "ChangePassword",
         R"({"username":null,"hashedOldPassword":null,"newPassword":null,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"account", [&](Session& s) { return s.newAccountInfoRequest(); }, "GetAccountInfo",
         R"({"optionalParams":null})", &VnAccountInfo::classObject()},
        {"profile", [&](Session& s) { return s.newGetProfileRequest(); }, "GetProfile",
         R"({"optionalParams":null})", &VnProfileInfo::classObject()},
        {"update account", [&](Session& s) { return s.updateAcountDetail(); }, "UpdateAcountDetail",
         R"({})", nullptr},
        {"push token",
         [&](Session& s) { return s.newRegisterAPNSTokenRequest(std::string("tok")); },
         "RegisterAPNS", R"({"pushToken":"tok","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"mobile number", [&](Session& s) { return s.newMobileDataNumberDetectionRequest(); },
         "MobileDetectClientInfo", R"({"mobileOperator":"ORV","optionalParams":null})",
         &VnMobileDataNumberDetectionReturnValue::classObject()},
        {"one-time password",
         [&](Session& s) {
             return s.newMobileOneTimePasswordRequestWithOperator(std::string("ORV"),
                                                                  std::string("0812345678"), none);
         },
         "MobileRequestOnetimePassword",
         R"({"mobileOperator":"ORV","package":null,"phoneNumber":"0812345678","optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"subscriptions", [&](Session& s) { return s.newUserSubscriptionRequest(); },
         "GetUserSubscriptions", R"({"optionalParams":null})",
         &VnUserSubscriptionInfo::classObject()},
        {"current subscription", [&](Session& s) { return s.newGetCurrentSubscription(); },
         "GetCurrentSubscription", R"({"optionalParams":null})",
         &VnUserSubscriptionInfo::classObject()},
        {"subscription options",
         [&](Session& s) {
             return s.newSubscriptionOptionsRequestWithMagazineCode(std::string("MG01"));
         },
         "GetSubscriptionOptions", R"({"magazineCode":"MG01","optionalParams":null})",
         &VnSubscriptionOptionInfo::classObject()},
        {"all subscription options", [&](Session& s) { return s.newGetSubscriptionOptions(); },
         "GetSubscriptionOptions", R"({"optionalParams":null})",
         &VnSubscriptionOptionInfo::classObject()},
        {"unsubscribe", [&](Session& s) { return s.unSubscriptionRequestWithSubscriptionId(501); },
         "UnSubScriptionFree", R"({"autoSubId":501,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"redeem",
         [&](Session& s) {
             return s.newPurchaseProductRequestWithPurchaseCode(std::string("P1"), none,
                                                                std::string("R"));
         },
         "RedeemProduct",
         R"({"purchaseCode":"P1","productType":null,"transactionReceipt":"R","optionalParams":null})",
         &VnPurchaseProductReturnValue::classObject()},
        {"can redeem",
         [&](Session& s) { return s.newCanRedeemProductRequestWithPurchaseCode(none); },
         "CanPurchaseProduct", R"({"purchaseCode":null,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
        {"restore purchases",
         [&](Session& s) { return s.newRestoreInAppPurchaseWithReceipt(std::string("R")); },
         "RestoreInAppPurchase", R"({"receipt":"R","optionalParams":null})",
         &VnRestoreInAppPurchaseReturnValue::classObject()},
        {"restorable receipts",
         [&](Session& s) { return s.newFilterRestorableInAppRequestWithReceiptInfos(nullptr); },
         "FilterRestorableInApp", R"({"receiptInfos":null,"optionalParams":null})",
         &VnReceiptInfoEx::classObject()},
        {"points", [&](Session& s) { return s.newLumoCardLatestUserPointsRecordRequest(); },
         "GetLumoCardLatestUserPointsRecord", R"({"optionalParams":null})",
         &VnUserPointsInfo::classObject()},
        {"bind card",
         [&](Session& s) {
             return s.newLumoCardBindingWithCardNumber(std::string("1234"), std::string("19900131"),
                                                       none);
         },
         "BindLumoCard",
         R"({"lumoCardNumber":"1234","dateOfBirth":"19900131","idCardNumber":null,"optionalParams":null})",
         &VnCommonBoolReturnValue::classObject()},
    };

    auto session = makeSession();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto request = std::dynamic_pointer_cast<VnClientServiceCommonRequest>(row.make(*session));
        ASSERT_TRUE(request);
        EXPECT_EQ(request->webMethod(), row.webMethod);
        EXPECT_EQ(jsonText(request->webMethodParams()), row.body);
        EXPECT_EQ(request->returnValueClass(), row.returnClass);
        EXPECT_FALSE(request->running());  // handed over unstarted
    }
}

TEST(VersionTwoWebMethods, RegistrationSendsEveryKeyEvenWithoutPassword) {
    auto session = makeSession();
    auto registration = std::make_shared<VnUserRegistrationInfo>();
    registration->username = "malee@example.com";
    registration->firstname = "มาลี";
    registration->lastname = "Rakdee";
    registration->idCard = "1103700012345";
    auto request = session->newAccountRegistrationRequest(registration);
    EXPECT_EQ(request->webMethod(), "RegisterNewAccount");
    EXPECT_EQ(request->returnValueClass(), &VnUserRegistrationReturnValue::classObject());
    EXPECT_EQ(
        jsonText(request->webMethodParams()),
        R"({"username":"malee@example.com","password":null,"firstname":"มาลี","lastname":"Rakdee",)"
        R"("optionalParams":[{"Key":"idcard","Value":"1103700012345"},{"Key":"address","Value":null},)"
        R"({"Key":"address2","Value":null},{"Key":"mobile","Value":null},{"Key":"phone","Value":null},)"
        R"({"Key":"submail","Value":null},{"Key":"country","Value":null},{"Key":"birthdate","Value":null},)"
        R"({"Key":"gender","Value":"0"},{"Key":"education","Value":"0"},{"Key":"salary","Value":"0"}]})");

    // Without an id card the profile item is null rather than a made-up text.
    registration->idCard.reset();
    auto items = session->newAccountRegistrationRequest(registration)
                     ->webMethodParams()
                     .dictionary()
                     ->objectForKey("optionalParams")
                     .array();
    EXPECT_EQ(jsonText(items->objectAtIndex(0)), R"({"Key":"idcard","Value":null})");
}

TEST(VersionTwoWebMethods, NewsstandSwitchAndBareClaimCall) {
    auto session = makeSession();
    plat::InfoDictionary::setDictionary(
        plat::makeDictionary({{Value("UINewsstandApp"), Value::boolean(true)}}));
    EXPECT_EQ(jsonText(session->newRegisterAPNSTokenRequest(std::nullopt)->webMethodParams()),
              R"({"pushToken":null,"optionalParams":{"IsNewsstand":1}})");
    plat::InfoDictionary::setDictionary(nullptr);

    auto claim = session->newNeedClaimAction();
    EXPECT_EQ(claim->webMethod(), "NeedClaimAction");
    EXPECT_EQ(jsonText(claim->requestObject()), R"({"optionalParams":null})");
}

TEST(VersionTwoWebMethods, RefusedRequestsAndTheFirstElementTransform) {
    auto session = makeSession();
    try {
        session->requestForMetaMagazineIssueInfosWithMagazineType(std::string("Shops"),
                                                                  std::nullopt, {});
        ADD_FAILURE() << "no exception";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), "VnClientServiceSessionInvalidMagazineType");
        EXPECT_EQ(e.reason(), "Can create only request for library");
    }
    EXPECT_THROW(
        session->requestForMetaMagazineIssueInfosWithMagazineType(std::nullopt, std::nullopt, {}),
        plat::Exception);

    // A follow record without a real type fails without posting anything.
    auto refused = session->newFollowRequestWithUserFollowInputParams(
        VnUserFollowInputParams::initWithUserID(7, std::string("A1"), 0, true));
    EXPECT_FALSE(std::dynamic_pointer_cast<VnClientServiceCommonRequest>(refused));
    Ref<VnRequestResult> result;
    refused->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>& r, const Value&) { result = r; });
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return result != nullptr; }));
    EXPECT_FALSE(result->succeed());
    EXPECT_EQ(result->errorMessage(), "Invalid follow type");

    auto list = VnRequestResult::resultWithRequestParams(
        Value("params"), Value(codes({Value("first"), Value("second")})), nullptr);
    auto first = Session::bookDetail_transformRequestResult(nullptr, nullptr, list);
    EXPECT_EQ(first->returnValue(), Value("first"));
    EXPECT_TRUE(first->succeed());
    auto single = VnRequestResult::resultWithReturnValue(Value("one"), nullptr);
    EXPECT_EQ(Session::bookDetail_transformRequestResult(nullptr, nullptr, single), single);
    auto failed = VnRequestResult::failedResultWithErrorMessage("x");
    EXPECT_EQ(Session::bookDetail_transformRequestResult(nullptr, nullptr, failed), failed);
}
