#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
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
#include "vnlib/service/v3/VnStoreRemoteSession.h"

using plat::Value;

namespace {

Ref<VnStoreRemoteSession> makeSession() {
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAppCode("VARNEL");
    return std::make_shared<VnStoreRemoteSession>(*plat::Url::parse("http://127.0.0.1:9/store.svc"),
                                                  configuration);
}

std::string textOf(const Value& value) {
    return KxJsonWriter().stringWithObject(value).value_or("<error>");
}

Ref<plat::Array> codes(std::initializer_list<Value> values) {
    return plat::Array::make(values);
}

struct Row {
    const char* name;
    std::function<Ref<VnRequestContext>(VnStoreRemoteSession&)> make;
    const char* webMethod;
    const char* body;  // without "tokenContext"
    bool tokenContext;
    const plat::Class* returnValueClass;
};

std::vector<Row> rows() {
    using S = VnStoreRemoteSession;
    const std::optional<std::string> none;
    auto review = std::make_shared<VnStoreItemReview>();
    review->subject_ = "Good";
    const auto* group = &VnShopGroupInfo::classObject();
    const auto* meta = &VnMagazineIssueMetaInfo::classObject();
    const auto* issue = &VnMagazineIssueInfo::classObject();
    const auto* magazine = &VnMagazineInfo::classObject();
    return {
        {"widget", [](S& s) { return s.requestForWidgetInfoWithCode("0.feature_all"); },
         "GetWidgetInfo", R"({"id":"0.feature_all"})", true, group},
        {"subwidget", [](S& s) { return s.requestForSubWidgetInfoWithCode("w", 4, 8); },
         "GetSubWidgetInfo", R"({"id":"w","start":4,"length":8,"optionalParams":null})", true,
         group},
        {"subwidget without id",
         [none](S& s) { return s.requestForSubWidgetInfoWithCode(none, 0, 1); }, "GetSubWidgetInfo",
         R"({"id":null,"start":0,"length":1,"optionalParams":null})", true, group},
        {"promotions", [none](S& s) { return s.requestForPromotionInfoWithStartIndex(0, 5, none); },
         "GetPromotionInfo", R"({"sortId":null,"start":0,"length":5,"optionalParams":null})", true,
         &VnPromotionInfo::classObject()},
        {"messages", [](S& s) { return s.requestForMessageInfoWithStartIndex(2, 3); },
         "GetMessageInfo", R"({"start":2,"length":3,"optionalParams":null})", true,
         &VnMessageInfo::classObject()},
        {"meta books 1", [](S& s) { return s.requestForMetaBookInfosWithCategoryCode("c"); },
         "GetMetaBookInfos",
         R"({"categoryCode":"c","keyword":null,"start":0,"length":0,"optionalParams":null})", true,
         meta},
        {"meta books 2",
         [](S& s) { return s.requestForMetaBookInfosWithCategoryCode("c", std::string("k")); },
         "GetMetaBookInfos",
         R"({"categoryCode":"c","keyword":"k","start":0,"length":0,"optionalParams":null})", true,
         meta},
        {"meta books 3",
         [none](S& s) {
             return s.requestForMetaBookInfosWithCategoryCode(none, none, {48, 24});
         },
         "GetMetaBookInfos",
         R"({"categoryCode":null,"keyword":null,"start":48,"length":24,"optionalParams":null})",
         true, meta},
        {"meta issues special",
         [](S& s) {
             return s.requestForMetaMagazineIssueInfosWithMagazineType(
                 VnMagazineIssueKind_SpecialIssues, "m1", {0, 20});
         },
         "GetMetaMagazineIssueInfos",
         R"({"magazineType":5,"magazineCode":"m1","start":0,"length":20,"optionalParams":null})",
         true, meta},
        {"meta issues new arrivals",
         [none](S& s) {
             return s.requestForMetaMagazineIssueInfosWithMagazineType(
                 VnMagazineIssueKind_NewArrival, none, {});
         },
         "GetMetaMagazineIssueInfos",
         R"({"magazineType":2,"magazineCode":null,"start":0,"length":0,"optionalParams":null})",
         true, meta},
        {"meta issues unknown kind",
         [](S& s) {
             return s.requestForMetaMagazineIssueInfosWithMagazineType("Unknown", "m", {});
         },
         "GetMetaMagazineIssueInfos",
         R"({"magazineType":null,"magazineCode":"m","start":0,"length":0,"optionalParams":null})",
         true, meta},
        {"meta magazines ranged",
         [](S& s) {
             return s.requestForMetaMagazineInfosWithCategoryCode("c", {10, 5});
         },
         "GetMetaMagazineInfos", R"({"categoryCode":"c","optionalParams":{"start":10,"length":5}})",
         true, magazine},
        {"meta magazines empty range",
         [](S& s) {
             return s.requestForMetaMagazineInfosWithCategoryCode("c", {10, 0});
         },
         "GetMetaMagazineInfos", R"({"categoryCode":"c","optionalParams":null})", true, magazine},
        {"book details", [](S& s) { return s.requestForBookDetailsWithBookCode("b1"); },
         "GetBookDetails", R"({"bookCode":"b1"})", true, issue},
        {"issue infos", [](S& s) { return s.newMagazineIssueInfosRequestWithCodes(codes({"i1"})); },
         "GetMagazineIssueInfos", R"({"magazineIssueCodes":["i1"],"optionalParams":null})", true,
         issue},
        {"book infos", [](S& s) { return s.newBookInfosRequestWithCodes(nullptr); }, "GetBookInfos",
         R"({"bookCodes":null,"optionalParams":null})", true, issue},
        {"magazine infos ex",
         [](S& s) {
             return s.newMagazineInfosRequestWithMagazineCodes(codes({"m1", "m2"}));
         },
         "GetMagazineInfosEx", R"({"magazineCodes":["m1","m2"],"optionalParams":null})", true,
         magazine},
        {"magazine infos",
         [none](S& s) { return s.newMagazineInfosRequestWithCategoryCode("c", none); },
         "GetMagazineInfos", R"({"categoryCode":"c","keyword":null,"optionalParams":null})", true,
         magazine},
        {"meta magazines keyword",
         [none](S& s) { return s.newMetaMagazineInfosRequestWithCategoryCode(none, "k"); },
         "GetMetaMagazineInfos",
         R"({"categoryCode":null,"optionalParams":[{"Key":"keyword","Value":"k"}]})", true,
         magazine},
        {"meta magazines keyword ranged",
         [](S& s) { return s.newMetaMagazineInfosRequestWithCategoryCode("", "k", 20, 10); },
         "GetMetaMagazineInfos",
         R"({"categoryCode":"","optionalParams":[{"Key":"keyword","Value":"k"},{"Key":"start","Value":"20"},{"Key":"length","Value":"10"}]})",
         true, magazine},
        {"meta magazines negative length",
         [none](S& s) { return s.newMetaMagazineInfosRequestWithCategoryCode("", none, 5, -1); },
         "GetMetaMagazineInfos",
         R"({"categoryCode":"","optionalParams":[{"Key":"keyword","Value":null}]})", true,
         magazine},
        {"subscription options",
         [](S& s) { return s.newSubscriptionOptionsRequestWithMagazineCode("m"); },
         "GetSubscriptionOptions", R"({"magazineCode":"m","optionalParams":null})", true,
         &VnSubscriptionOptionInfo::classObject()},
        {"item review",
         [](S& s) {
             return s.requestForItemReviewWithItemId("bookcode_1", {5, 10});
         },
         "GetItemReview", R"({"itemId":"bookcode_1","start":5,"length":10})", false,
         &VnStoreItemReviewRange::classObject()},
        {"item rating", [](S& s) { return s.requestForItemRatingWithItemId("bookcode_1"); },
         "GetItemRating", R"({"itemId":"bookcode_1"})", false, &VnStoreItemRating::classObject()},
        {"submit review",
         [review](S& s) { return s.submitItemReviewWithItemId("bookcode_1", review); },
         "SubmitItemReview", nullptr, false, &VnStoreItemReview::classObject()},
        {"item messages", [](S& s) { return s.requestForItemReviewWithCode("x_1", 0, 10); },
         "GetItemMessage", R"({"itemId":"x_1","start":0,"length":10})", true,
         &VnItemReviewMessageInfo::classObject()},
        {"submit message",
         [](S& s) { return s.submitReviewMessageSessionWithCode("x_1", Value("hello")); },
         "SubmitItemMessage", R"({"itemId":"x_1","message":"hello"})", true,
         &VnItemReviewMessageRecieve::classObject()},
        {"user rating", [](S& s) { return s.requestForItemRatingUserWithItemId("x_1"); },
         "GetItemRatingByUser", R"({"itemId":"x_1"})", true, &VnUserRatingInfo::classObject()},
        {"book relate", [](S& s) { return s.requestForBookRelateWithBookCode("b", 0, 6); },
         "GetBookRelate", R"({"bookCode":"b","start":0,"length":6})", true, group},
        {"wish books", [](S& s) { return s.requestForWishlistBookAtStartIndex(0, 20); },
         "GetUserWishBookInfo", R"({"start":0,"length":20})", true, group},
        {"wish issues", [](S& s) { return s.requestForWishlistMagazineIssueAtStartIndex(20, 20); },
         "GetUserWishMagazineInfo", R"({"start":20,"length":20})", true, group},
        {"is wish book", [](S& s) { return s.requestCheckWishlistWithBookCode("b"); },
         "IsUserWishBook", R"({"bookCode":"b"})", true, nullptr},
        {"is wish issue", [](S& s) { return s.requestCheckWishlistWithMagazineIssueCode("i"); },
         "IsUserWishmagazine", R"({"issueCode":"i"})", true, nullptr},
        {"message count", [](S& s) { return s.requestMessageCountWaitForRead(); },
         "GetCountMessageWaitforRead", "{}", true, nullptr},
        {"notification count", [](S& s) { return s.requestNotificationCountWaitForRead(); },
         "GetCountNotificationWaitforRead", "{}", true, nullptr},
        {"search magazines",
         [](S& s) { return s.requestForItemSearchMagazineWithKeyword("ข่าว", 0, 48, "Rank"); },
         "SearchMagazineInfo", R"({"keyword":"ข่าว","start":0,"length":48,"sortId":"Rank"})", true,
         group},
        {"search books",
         [](S& s) { return s.requestForItemSearchBookWithKeyword("k", 48, 48, "Date"); },
         "SearchBookInfo", R"({"keyword":"k","start":48,"length":48,"sortId":"Date"})", true,
         group},
        {"follows",
         [](S& s) {
             return s.requestForFollowInfosWithFollowTypeIdArrays(codes({1, 3}));
         },
         "GetUserFollowInfo", R"({"type":[1,3],"optionalParams":null})", true,
         &VnFollowInfo::classObject()},
        // Operations by item kind.
        {"issue reviews",
         [](S& s) {
             return s.requestForMagazineIssueItemReviewWithCode("i9", {0, 5});
         },
         "GetItemReview", R"({"itemId":"bookcode_i9","start":0,"length":5})", false,
         &VnStoreItemReviewRange::classObject()},
        {"magazine reviews",
         [](S& s) {
             return s.requestForMagazineItemReviewWithCode("m9", {0, 5});
         },
         "GetItemReview", R"({"itemId":"magazinecode_m9","start":0,"length":5})", false,
         &VnStoreItemReviewRange::classObject()},
        {"book messages", [](S& s) { return s.requestForItemReviewWithBookCode("b9", 1, 2); },
         "GetItemMessage", R"({"itemId":"bookcode_b9","start":1,"length":2})", true,
         &VnItemReviewMessageInfo::classObject()},
        {"magazine messages",
         [](S& s) { return s.requestForItemReviewWithMagazineCode("m9", 1, 2); }, "GetItemMessage",
         R"({"itemId":"magazinecode_m9","start":1,"length":2})", true,
         &VnItemReviewMessageInfo::classObject()},
        {"issue messages",
         [](S& s) { return s.requestForItemReviewWithMagazineIssueCode("i9", 1, 2); },
         "GetItemMessage", R"({"itemId":"issuecode_i9","start":1,"length":2})", true,
         &VnItemReviewMessageInfo::classObject()},
        {"submit book message",
         [](S& s) { return s.submitForItemReviewWithBookCode("b9", Value("m")); },
         "SubmitItemMessage", R"({"itemId":"bookcode_b9","message":"m"})", true,
         &VnItemReviewMessageRecieve::classObject()},
        {"submit magazine message",
         [](S& s) { return s.submitForItemReviewWithMagazineCode("m9", Value("m")); },
         "SubmitItemMessage", R"({"itemId":"magazinecode_m9","message":"m"})", true,
         &VnItemReviewMessageRecieve::classObject()},
        {"submit issue message",
         [](S& s) { return s.submitForItemReviewWithMagazineIssueCode("i9", Value("m")); },
         "SubmitItemMessage", R"({"itemId":"issuecode_i9","message":"m"})", true,
         &VnItemReviewMessageRecieve::classObject()},
        {"book user rating", [](S& s) { return s.requestForItemRatingUserWithBookCode("b9"); },
         "GetItemRatingByUser", R"({"itemId":"bookcode_b9"})", true,
         &VnUserRatingInfo::classObject()},
        {"magazine user rating",
         [](S& s) { return s.requestForItemRatingUserWithMagazineCode("m9"); },
         "GetItemRatingByUser", R"({"itemId":"magazinecode_m9"})", true,
         &VnUserRatingInfo::classObject()},
        {"issue user rating",
         [](S& s) { return s.requestForItemRatingUserWithMagazineIssueCode("i9"); },
         "GetItemRatingByUser", R"({"itemId":"issuecode_i9"})", true,
         &VnUserRatingInfo::classObject()},
        {"magazine companion reviews",
         [](S& s) {
             return s.reviewSessionForMagazineCode("m9")->requestForItemReviewInRange({3, 4});
         },
         "GetItemReview", R"({"itemId":"magazinecode_m9","start":3,"length":4})", false,
         &VnStoreItemReviewRange::classObject()},
        {"issue companion rating",
         [](S& s) { return s.reviewSessionForMagazineIssueCode("i9")->requestForItemRating(); },
         "GetItemRating", R"({"itemId":"bookcode_i9"})", false, &VnStoreItemRating::classObject()},
    };
}

}  // namespace

TEST(VnStoreRemoteSession, EveryOperationBuildsItsCall) {
    auto session = makeSession();
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        auto request = std::dynamic_pointer_cast<VnServiceCommonRequest>(row.make(*session));
        ASSERT_TRUE(request);
        EXPECT_FALSE(request->running());
        EXPECT_EQ(request->webMethod(), row.webMethod);
        EXPECT_EQ(request->returnValueClass(), row.returnValueClass);
        EXPECT_EQ(request->sessionContext(), session->sessionContext());
        EXPECT_EQ(request->serviceConnection(), session->serviceConnection());

        auto body = request->requestObject().dictionary();
        ASSERT_TRUE(body);
        auto rest = body->mutableCopy();
        const Value context = rest->objectForKey("tokenContext");
        rest->removeObjectForKey(Value("tokenContext"));
        if (row.tokenContext) {
            EXPECT_EQ(context.as<VnServiceSessionContext>(), session->sessionContext());
        } else {
            EXPECT_TRUE(context.isNil());
        }
        if (row.body) {
            EXPECT_EQ(textOf(Value(rest)), row.body);
        }
    }
}

TEST(VnStoreRemoteSession, ASubmittedReviewTravelsAsItsRecordView) {
    auto session = makeSession();
    auto review = std::make_shared<VnStoreItemReview>();
    review->initWithDictionary(
        objectFromJSONString(R"({"Subject":"ดีมาก","Rating":5,"ReviewDate":"2014/03/07"})")
            .dictionary());
    auto request = session->submitItemReviewWithItemId("bookcode_b1", review);
    const std::string body = textOf(request->webMethodParams());
    EXPECT_EQ(body.rfind(R"({"itemId":"bookcode_b1","review":{)", 0), 0u) << body;
    EXPECT_NE(body.find(R"("Subject":"ดีมาก")"), std::string::npos) << body;
    EXPECT_NE(body.find(R"("ReviewDate":"2014/03/07")"), std::string::npos) << body;
    EXPECT_THROW(session->submitItemReviewWithItemId("bookcode_b1", nullptr), plat::Exception);
    EXPECT_THROW(session->submitForItemReviewWithBookCode("b1", Value()), plat::Exception);
}

TEST(VnStoreRemoteSession, ANewContextReachesOnlyLaterRequests) {
    auto session = makeSession();
    const auto& guest = session->sessionContext();
    EXPECT_EQ(guest->tokenKey(), "guest");
    EXPECT_EQ(guest->appCode(), "VARNEL");
    EXPECT_FALSE(guest->isTestUser());

    auto before = session->requestForWishlistBookAtStartIndex(0, 10);
    session->setSessionContext(std::make_shared<VnServiceSessionContext>("VARNEL", "t-1", true));
    auto after = session->requestForWishlistBookAtStartIndex(0, 10);
    auto noToken = session->requestForItemRatingWithItemId("bookcode_1");

    EXPECT_EQ(before->sessionContext()->tokenKey(), "guest");
    EXPECT_EQ((*before->webHeaderParams())["Authorization"], Value(R"(Token token="guest")"));
    EXPECT_EQ(
        textOf(before->webMethodParams()),
        R"({"start":0,"length":10,"tokenContext":{"TokenVersion":"2","TokenKey":"guest","AppCode":"VARNEL","IsTestUser":false}})");

    EXPECT_EQ((*after->webHeaderParams())["Authorization"], Value(R"(Token token="t-1")"));
    EXPECT_EQ(
        textOf(after->webMethodParams()),
        R"({"start":0,"length":10,"tokenContext":{"TokenVersion":"2","TokenKey":"t-1","AppCode":"VARNEL","IsTestUser":true}})");
    EXPECT_EQ((*noToken->webHeaderParams())["Authorization"], Value(R"(Token token="t-1")"));

    // Without any context nothing of a token is sent.
    session->setSessionContext(nullptr);
    auto bare = session->requestMessageCountWaitForRead();
    EXPECT_EQ(textOf(bare->webMethodParams()), "{}");
    EXPECT_EQ(bare->webHeaderParams()->count(), 0u);
}

TEST(VnStoreRemoteSession, CustomRangeParametersReplaceTheRequestMembers) {
    auto session = makeSession();
    auto request = session->requestForSubWidgetInfoWithCode("w", 0, 10);
    request->setCustomParams(plat::makeDictionary(
        {{Value("start"), Value(30)}, {Value("length"), Value(15)}, {Value("sort"), Value("a")}}));
    auto body = request->webMethodParams().dictionary();
    EXPECT_EQ((*body)["start"], Value(30));
    EXPECT_EQ((*body)["length"], Value(15));
    EXPECT_TRUE((*body)["optionalParams"].isNull());
    EXPECT_TRUE((*body)["sort"].isNil());
    EXPECT_TRUE((*body)["tokenContext"].as<VnServiceSessionContext>());
}

TEST(VnStoreRemoteSession, KindsItemIdsAndCompanions) {
    auto session = makeSession();
    EXPECT_EQ(session->intValueForMagazineType("Features"), 0);
    EXPECT_EQ(session->intValueForMagazineType("Libraries"), 1);
    EXPECT_EQ(session->intValueForMagazineType("Shops"), 2);
    EXPECT_EQ(session->intValueForMagazineType("SpecialIssues"), 5);
    EXPECT_FALSE(session->intValueForMagazineType("features"));
    EXPECT_EQ(session->magazineTypeEnumMap().size(), 4u);

    EXPECT_EQ(VnStoreRemoteSession::makeItemId("bookcode", "B-1"), "bookcode_B-1");

    auto first = session->reviewSessionForMagazineIssueCode("i1");
    EXPECT_EQ(first->itemId(), "bookcode_i1");
    EXPECT_EQ(session->reviewSessionForItemId("bookcode_i1"), first);
    EXPECT_NE(session->reviewSessionForMagazineCode("i1"), first);
    EXPECT_EQ(first->session(), session);

    // A companion outliving its store session makes no calls.
    std::weak_ptr<VnStoreRemoteSession> weak = session;
    session.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(first->requestForItemRating());
    EXPECT_FALSE(first->requestForItemReviewInRange({0, 1}));
}

TEST(VnStoreRemoteSession, RangeAndOptionalParameterHelpers) {
    EXPECT_FALSE(VnStoreRemoteSession::makeOptionalParamsFromRange({7, 0}));
    EXPECT_EQ(textOf(Value(VnStoreRemoteSession::makeOptionalParamsFromRange({7, 3}))),
              R"({"start":7,"length":3})");
    auto params = plat::makeDictionary(
        {{Value("a"), Value(0)}, {Value("b"), Value::null()}, {Value("c"), Value(1.5)}});
    EXPECT_EQ(textOf(Value(VnStoreRemoteSession::optionalParamArrayWithDictionary(*params))),
              R"([{"Key":"a","Value":"0"},{"Key":"b","Value":null},{"Key":"c","Value":"1.5"}])");
}

TEST(VnStoreRemoteSession, StorageRootsAreBelowTheLibraryFolder) {
    const char* home = std::getenv("VARNEL_HOME");
    ASSERT_TRUE(home);
    EXPECT_EQ(VnStoreRemoteSession::offlineStorageRootPathForMac(),
              std::filesystem::path(home) / "Varnel");
    EXPECT_EQ(VnStoreRemoteSession::offlineStorageRootPath(),
              std::filesystem::path(home) / "PrivateDocuments" / "Varnel");
}

TEST(VnStoreRemoteSession, WorksWithoutAConfiguration) {
    VnStoreRemoteSession session(plat::Url(), nullptr);
    EXPECT_FALSE(session.sessionContext()->appCode());
    EXPECT_EQ(session.sessionContext()->tokenKey(), "guest");
    EXPECT_FALSE(session.serviceConnection()->serviceURL().isValid());
}
