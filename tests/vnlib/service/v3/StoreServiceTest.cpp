#include <gtest/gtest.h>

#include "demo-service/DemoService.h"
#include "demo-service/V3StoreService.h"
#include "platform/runloop/RunLoop.h"
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

using demo::Fault;
using demo::FaultKind;
using demo::Json;
using plat::Value;

namespace {

constexpr const char* kMemberToken = "c0ffee-session";
constexpr const char* kMember = "somchai@example.com";

class StoreServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.rememberSessionToken(kMemberToken, kMember);
        demo::registerStoreService(service, catalogue, "VARNEL");
        ASSERT_TRUE(service.start());
        auto configuration = std::make_shared<VnClientServiceConfiguration>();
        configuration->setAppCode("VARNEL");
        session = std::make_shared<VnStoreRemoteSession>(*plat::Url::parse(service.serviceUrl()),
                                                         configuration);
    }

    void signIn(bool testUser = false) {
        session->setSessionContext(
            std::make_shared<VnServiceSessionContext>("VARNEL", kMemberToken, testUser));
    }

    Ref<VnRequestResult> run(const Ref<VnRequestContext>& request) {
        Ref<VnRequestResult> result;
        request->startWithDidFinishBlock(
            [&result](const Ref<VnRequestResult>& r, const Value&) { result = r; });
        EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return result != nullptr; }));
        return result;
    }

    // Runs a call that must succeed and answers its return value.
    Value answer(const Ref<VnRequestContext>& request) {
        auto result = run(request);
        if (!result)
            return Value();
        EXPECT_TRUE(result->succeed()) << result->errorMessage().value_or("");
        return result->returnValue();
    }

    Json lastBody(const std::string& method) {
        auto calls = service.requestsForMethod(method);
        return calls.empty() ? Json() : Json::parse(calls.back().body);
    }
    demo::RecordedRequest lastRequest(const std::string& method) {
        auto calls = service.requestsForMethod(method);
        return calls.empty() ? demo::RecordedRequest{} : calls.back();
    }

    demo::SampleCatalogue catalogue;  // outlives the service
    demo::DemoService service;
    Ref<VnStoreRemoteSession> session;
};

template <class T>
std::vector<Ref<T>> recordsOf(const Value& value) {
    std::vector<Ref<T>> out;
    if (auto list = value.array()) {
        for (const auto& element : list->values()) {
            auto record = element.as<T>();
            EXPECT_TRUE(record) << "an element of another class";
            out.push_back(record);
        }
    } else {
        ADD_FAILURE() << "not a list";
    }
    return out;
}

}  // namespace

TEST_F(StoreServiceTest, GuestTokenFirstThenTheSessionToken) {
    auto feature =
        answer(session->requestForWidgetInfoWithCode("0.feature_all")).as<VnShopGroupInfo>();
    ASSERT_TRUE(feature);
    EXPECT_EQ(feature->code(), "0.feature_all");
    EXPECT_GE(feature->subgroupCount(), 3);

    auto guestCall = lastRequest("GetWidgetInfo");
    EXPECT_EQ(guestCall.header("TokenVersion"), "2");
    EXPECT_EQ(guestCall.header("Authorization"), "Token token=\"guest\"");
    EXPECT_EQ(guestCall.header("Varnel-AppCode"), "VARNEL");
    EXPECT_EQ(
        lastBody("GetWidgetInfo")["tokenContext"],
        Json::parse(
            R"({"TokenVersion":"2","TokenKey":"guest","AppCode":"VARNEL","IsTestUser":false})"));

    // The member's own things are refused to the guest.
    auto refused = run(session->requestForWishlistBookAtStartIndex(0, 10));
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->succeed());

    // A context that holds no token yet (a member restored at start, before the session is)
    // sends none, and the store answers it as a guest: the front, but not the member's things.
    session->setSessionContext(
        std::make_shared<VnServiceSessionContext>("VARNEL", std::nullopt, false));
    ASSERT_TRUE(
        answer(session->requestForWidgetInfoWithCode("0.feature_all")).as<VnShopGroupInfo>());
    EXPECT_FALSE(lastRequest("GetWidgetInfo").hasHeader("Authorization"));
    refused = run(session->requestForWishlistBookAtStartIndex(0, 10));
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->succeed());

    signIn(true);
    auto wishes = answer(session->requestForWishlistBookAtStartIndex(0, 10)).as<VnShopGroupInfo>();
    ASSERT_TRUE(wishes);
    ASSERT_EQ(wishes->subgroupCount(), 1);
    EXPECT_EQ(wishes->subgroupAtIndex(0)->code(), "BK0004");
    EXPECT_EQ(lastRequest("GetUserWishBookInfo").header("Authorization"),
              std::string("Token token=\"") + kMemberToken + "\"");
    EXPECT_EQ(lastBody("GetUserWishBookInfo")["tokenContext"]["TokenKey"], kMemberToken);
    EXPECT_EQ(lastBody("GetUserWishBookInfo")["tokenContext"]["IsTestUser"], true);

    // A token the service does not know fails the call.
    session->setSessionContext(std::make_shared<VnServiceSessionContext>("VARNEL", "stale"));
    EXPECT_FALSE(run(session->requestForWidgetInfoWithCode("0.feature_all"))->succeed());
}

TEST_F(StoreServiceTest, FeaturePagesAndTheirRows) {
    for (const char* id :
         {"0.feature_all", "0.feature_book", "0.feature_magazine", "0.feature_hdbook"}) {
        SCOPED_TRACE(id);
        auto page = answer(session->requestForWidgetInfoWithCode(id)).as<VnShopGroupInfo>();
        ASSERT_TRUE(page);
        ASSERT_GT(page->subgroupCount(), 0);
        for (int32_t i = 0; i < page->subgroupCount(); ++i) {
            auto row = page->subgroupAtIndex(i);
            EXPECT_TRUE(row->Type_ >= 1 && row->Type_ <= 3);
            EXPECT_GT(row->subgroupCount(), 0);
        }
    }

    // A ranged row: the caller's own range replaces the request's.
    auto request = session->requestForSubWidgetInfoWithCode("0.feature_all.books", 0, 100);
    request->setCustomParams(
        plat::makeDictionary({{Value("start"), Value(1)}, {Value("length"), Value(2)}}));
    auto entries = recordsOf<VnShopGroupInfo>(answer(request));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]->code(), "BK0002");
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["start"], 1);

    EXPECT_TRUE(answer(session->requestForWidgetInfoWithCode("no.such.widget")).isNilOrNull());
}

TEST_F(StoreServiceTest, ReviewsAndRatingsTravelWithoutTokenContext) {
    auto companion = session->reviewSessionForMagazineIssueCode("MG01-2403");
    auto page =
        answer(companion->requestForItemReviewInRange({0, 10})).as<VnStoreItemReviewRange>();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->totalReviewAvailable_, 1);
    ASSERT_EQ(page->reviews_->count(), 1u);
    auto review = page->reviews_->objectAtIndex(0).as<VnStoreItemReview>();
    ASSERT_TRUE(review);
    EXPECT_EQ(review->rating_, 4);
    EXPECT_TRUE(review->reviewDate_);

    auto reviewCall = lastRequest("GetItemReview");
    EXPECT_FALSE(lastBody("GetItemReview").contains("tokenContext"));
    EXPECT_EQ(lastBody("GetItemReview")["itemId"], "bookcode_MG01-2403");
    EXPECT_EQ(reviewCall.header("Authorization"), "Token token=\"guest\"");

    auto rating = answer(companion->requestForItemRating()).as<VnStoreItemRating>();
    ASSERT_TRUE(rating);
    EXPECT_EQ(rating->numberOfReview_, 1);
    EXPECT_EQ(rating->rate4_, 1);
    EXPECT_FALSE(lastBody("GetItemRating").contains("tokenContext"));

    // Submitting needs a member; the new review counts at once.
    auto mine = std::make_shared<VnStoreItemReview>();
    mine->subject_ = "สนุก";
    mine->reviewText_ = "อ่านจบในวันเดียว";
    mine->rating_ = 5;
    EXPECT_FALSE(run(session->submitItemReviewWithItemId("bookcode_BK0007", mine))->succeed());
    signIn();
    auto stored = answer(session->submitItemReviewWithItemId("bookcode_BK0007", mine))
                      .as<VnStoreItemReview>();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->reviewer_, kMember);
    EXPECT_FALSE(lastBody("SubmitItemReview").contains("tokenContext"));
    EXPECT_EQ(lastBody("SubmitItemReview")["review"]["Subject"], "สนุก");
    EXPECT_EQ(answer(session->requestForItemRatingWithItemId("bookcode_BK0007"))
                  .as<VnStoreItemRating>()
                  ->rate5_,
              1);
    auto own =
        answer(session->requestForItemRatingUserWithBookCode("BK0007")).as<VnUserRatingInfo>();
    ASSERT_TRUE(own);
    EXPECT_EQ(own->rate_, 5);
}

TEST_F(StoreServiceTest, ItemMessagesUseTheKindWords) {
    signIn();
    auto sent = answer(session->submitForItemReviewWithMagazineIssueCode("NP01-240301",
                                                                         Value("ส่งช้าไปหน่อย")))
                    .as<VnItemReviewMessageRecieve>();
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->messageText_, "ส่งช้าไปหน่อย");
    EXPECT_EQ(lastBody("SubmitItemMessage")["itemId"], "issuecode_NP01-240301");

    auto page = recordsOf<VnItemReviewMessageInfo>(
        answer(session->requestForItemReviewWithMagazineIssueCode("NP01-240301", 0, 10)));
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0]->messager_, kMember);
    EXPECT_EQ(recordsOf<VnItemReviewMessageInfo>(
                  answer(session->requestForItemReviewWithBookCode("BK0001", 0, 10)))
                  .size(),
              1u);
    EXPECT_EQ(lastBody("GetItemMessage")["itemId"], "bookcode_BK0001");
}

TEST_F(StoreServiceTest, CountsAndWishChecksAnswerBareNumbers) {
    EXPECT_EQ(answer(session->requestMessageCountWaitForRead()), Value(0));
    signIn();
    EXPECT_EQ(answer(session->requestMessageCountWaitForRead()), Value(2));
    EXPECT_EQ(answer(session->requestNotificationCountWaitForRead()), Value(1));
    EXPECT_EQ(lastBody("GetCountNotificationWaitforRead").size(), 1u);  // only "tokenContext"
    EXPECT_EQ(answer(session->requestCheckWishlistWithBookCode("BK0004")), Value(1));
    EXPECT_EQ(answer(session->requestCheckWishlistWithBookCode("BK0001")), Value(0));
    EXPECT_EQ(answer(session->requestCheckWishlistWithMagazineIssueCode("MG01-2403")), Value(0));
}

TEST_F(StoreServiceTest, CatalogueLookupsMapIntoTheirRecords) {
    auto meta = recordsOf<VnMagazineIssueMetaInfo>(
        answer(session->requestForMetaBookInfosWithCategoryCode("B01", std::nullopt, {1, 1})));
    ASSERT_EQ(meta.size(), 1u);

    auto issues = recordsOf<VnMagazineIssueMetaInfo>(answer(
        session->requestForMetaMagazineIssueInfosWithMagazineType("SpecialIssues", "MG01", {})));
    EXPECT_EQ(issues.size(), 3u);
    EXPECT_EQ(lastBody("GetMetaMagazineIssueInfos")["magazineType"], 5);

    auto books = recordsOf<VnMagazineIssueInfo>(answer(session->newBookInfosRequestWithCodes(
        plat::Array::make({Value("BK0001"), Value("nope"), Value("BK0003")}))));
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[1]->code(), "BK0003");
    EXPECT_TRUE(
        answer(session->requestForBookDetailsWithBookCode("BK0002")).as<VnMagazineIssueInfo>());

    EXPECT_EQ(recordsOf<VnMagazineInfo>(
                  answer(session->newMetaMagazineInfosRequestWithCategoryCode("", "tech")))
                  .size(),
              1u);
    EXPECT_EQ(recordsOf<VnMagazineInfo>(
                  answer(session->requestForMetaMagazineInfosWithCategoryCode("", {0, 2})))
                  .size(),
              2u);
    EXPECT_EQ(recordsOf<VnMagazineInfo>(answer(session->newMagazineInfosRequestWithMagazineCodes(
                                            plat::Array::make({Value("MG02")}))))
                  .size(),
              1u);
    EXPECT_EQ(recordsOf<VnSubscriptionOptionInfo>(
                  answer(session->newSubscriptionOptionsRequestWithMagazineCode("MG01")))
                  .size(),
              2u);
    EXPECT_EQ(recordsOf<VnPromotionInfo>(
                  answer(session->requestForPromotionInfoWithStartIndex(0, 2, std::nullopt)))
                  .size(),
              2u);
    EXPECT_EQ(recordsOf<VnMessageInfo>(answer(session->requestForMessageInfoWithStartIndex(0, 10)))
                  .size(),
              1u);

    auto found = answer(session->requestForItemSearchBookWithKeyword("prince", 0, 10, "Title"))
                     .as<VnShopGroupInfo>();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->subgroupCount(), 1);
    auto related =
        answer(session->requestForBookRelateWithBookCode("BK0001", 0, 10)).as<VnShopGroupInfo>();
    ASSERT_TRUE(related);
    EXPECT_EQ(related->subgroupCount(), 1);

    signIn();
    auto follows = recordsOf<VnFollowInfo>(answer(
        session->requestForFollowInfosWithFollowTypeIdArrays(plat::Array::make({Value(3)}))));
    ASSERT_EQ(follows.size(), 1u);
    EXPECT_EQ(follows[0]->name_, "ศรีบูรพา");
}

TEST_F(StoreServiceTest, OddListAnswersAndTransportFailures) {
    service.addMethod("GetOddList", [](const Json&, demo::Session&) {
        return Json::parse(R"([null,"bookcode_1",{"Code":"bookcode_2","Rate":3},false])");
    });
    auto odd = recordsOf<VnUserRatingInfo>(answer(session->requestWithWebMethod(
        "GetOddList", Value(plat::makeDictionary({})), &VnUserRatingInfo::classObject())));
    ASSERT_EQ(odd.size(), 3u);
    EXPECT_EQ(odd[0]->code(), "bookcode_1");
    EXPECT_EQ(odd[1]->rate_, 3);

    service.setFaultForNext(1, Fault{FaultKind::Unauthorized});
    auto unauthorized = run(session->requestForWidgetInfoWithCode("0.feature_all"));
    EXPECT_EQ(unauthorized->errorMessage(), "Unauthorized");
    EXPECT_EQ(unauthorized->error()->code(), 401);

    // The service itself refuses an unknown token with 401: the same sign-in-needed failure.
    session->setSessionContext(
        std::make_shared<VnServiceSessionContext>("VARNEL", "expired-token", false));
    auto expired = run(session->requestForWidgetInfoWithCode("0.feature_all"));
    EXPECT_EQ(expired->errorMessage(), "Unauthorized");
    EXPECT_EQ(expired->error()->code(), 401);
    EXPECT_EQ(lastRequest("GetWidgetInfo").header("Authorization"),
              "Token token=\"expired-token\"");
    signIn();

    service.setFaultForNext(1, Fault{FaultKind::NotJson});
    EXPECT_FALSE(run(session->requestForWidgetInfoWithCode("0.feature_all"))->succeed());

    VnStoreRemoteSession nowhere(plat::Url(), nullptr);
    EXPECT_FALSE(run(nowhere.requestForWidgetInfoWithCode("0.feature_all"))->succeed());
}

TEST_F(StoreServiceTest, ACancelledCallSaysNothing) {
    service.setFault("GetPromotionInfo", Fault::stall());
    auto request = session->requestForPromotionInfoWithStartIndex(0, 5, std::nullopt);
    bool finished = false;
    request->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const Value&) { finished = true; });
    ASSERT_TRUE(service.waitForStalled(1));
    ASSERT_TRUE(request->remoteRequest());
    request->cancel();
    EXPECT_FALSE(request->remoteRequest());
    EXPECT_FALSE(request->running());
    service.releaseStalled();
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(finished);
}
