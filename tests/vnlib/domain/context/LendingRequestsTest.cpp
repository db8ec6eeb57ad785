// The lending, account and store requests of the user and bookstore contexts, against the demo.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "vnlib/domain/storage/VnBookStorePurchaseRequestRedeemInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/store/VnStoreItemReview.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

using demo::Json;

namespace {

// The class of the answer, or of its first element.
std::string answerClass(const Ref<VnRequestResult>& result) {
    const plat::Value& value = result->returnValue();
    if (auto list = value.array())
        return list->count() ? list->objectAtIndex(0).object()->className() : "[]";
    auto object = value.object();
    return object ? object->className() : value.description();
}

class LendingTest : public ContextTest {
  protected:
    Ref<VnBookStoreUserContext> member() {
        EXPECT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
        auto user = context->activeUserContext();
        plat::RunLoop::current().runUntil([&] { return user->accountInfo() != nullptr; });
        return user;
    }
    // Runs a lending call; answers whether the service did it, and its message.
    std::pair<bool, std::string> lend(const Ref<VnRequestContext>& request) {
        auto result = run(request);
        auto answer = result ? result->returnValue().as<VnCommonBoolReturnValue>() : nullptr;
        EXPECT_TRUE(answer) << (result ? result->description() : "no result");
        return answer ? std::pair{answer->isSuccess(), answer->message().value_or("")}
                      : std::pair{false, std::string()};
    }
};

TEST_F(LendingTest, EveryOperationCallsItsWebMethodThroughTheGateOrNot) {
    struct Row {
        const char* method;
        bool gated;
        const char* answer;  // class of the answer (or of its first element); empty: any
        std::function<Ref<VnRequestContext>(VnBookStoreUserContext&, VnBookStoreContext&)> make;
    };
    auto subscription = std::make_shared<VnUserSubscriptionInfo>();
    subscription->renewSubId_ = 501;
    auto price = std::make_shared<VnPriceInfo>();
    price->purchaseCode_ = "BK0002-INAPP";
    const std::vector<Row> rows = {
        {"BorrowBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForBorrowBook(issueRecord("BK0003")); }},
        {"ReserveBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForReserveBook(issueRecord("BK0004")); }},
        {"ReturnBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForReturnBook(issueRecord("BK0003")); }},
        {"CancelReserveBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForCancelReserveBook("BK0004"); }},
        {"GetCurrentReserveBookInfos", true, "VnReserveItemInfo",
         [](auto& u, auto&) { return u.requestForGetCurrentReserveBookInfos(); }},
        {"ClaimReserveBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForClaimReserveBook("RS0001"); }},
        {"ExtendBorrowBook", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestforExtendBorrowBook("LN0001"); }},
        {"GetIssueInfo", true, "VnMagazineIssueInfo",
         [](auto& u, auto&) { return u.requestForGetIssueInfo("BK0001"); }},
        {"GetLibraryIssueInfos", true, "VnMagazineIssueInfo",
         [](auto& u, auto&) {
             return u.requestForGetLibraryIssueInfo(plat::Array::make({plat::Value("BK0001")}));
         }},
        {"GetProfile", true, "VnProfileInfo",
         [](auto& u, auto&) { return u.requestForGetProfileInfo(); }},
        {"GetBorrowHistory2", true, "VnBorrowHistoryInfo",
         [](auto& u, auto&) { return u.requestForGetBorrowHistory(std::nullopt, std::nullopt); }},
        {"NeedClaimAction", true, "", [](auto& u, auto&) { return u.requestForNeedClaimAction(); }},
        {"NeedClaimActionBooks", true, "",
         [](auto& u, auto&) { return u.requestForNeedClaimActionBooks(); }},
        {"GetCurrentSubscription", true, "VnUserSubscriptionInfo",
         [](auto& u, auto&) { return u.requestForGetCurrentSubscription(); }},
        {"GetSubscriptionOptions", true, "",
         [](auto& u, auto&) { return u.requestForGetSubscriptionOptions(); }},
        {"ReadBookNow", false, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForReadBookNow(issueRecord("BK0003")); }},
        {"PurchaseFreeBook", false, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForPurchaseFreeBook(issueRecord("BK0003")); }},
        {"GetHistory", false, "VnBorrowHistoryInfo",
         [](auto& u, auto&) { return u.requestForGetHistory(0, 10); }},
        {"GetBookDetails", false, "VnBookDetail",
         [](auto& u, auto&) { return u.requestForBookDetail(issueRecord("BK0001")); }},
        {"UnSubScriptionFree", true, "VnCommonBoolReturnValue",
         [subscription](auto& u, auto&) {
             return u.requestForUnSubscriptionWithSubscriptionInfo(subscription);
         }},
        {"CanPurchaseProduct", true, "VnCommonBoolReturnValue",
         [price](auto& u, auto&) { return u.requestForCheckingNeedPurchase(price); }},
        {"RedeemProduct", true, "VnPurchaseProductReturnValue",
         [](auto& u, auto&) {
             return u.requestForMobilePurchaseConfirmationWithProductType("MOBILE", "0812345678",
                                                                          std::nullopt);
         }},
        {"MobileRequestOnetimePassword", false, "",
         [](auto& u, auto&) {
             return u.requestForMobileOneTimePasswordWithOperator("AIS", "0812345678", "P1");
         }},
        {"MobileDetectClientInfo", false, "",
         [](auto& u, auto&) { return u.requestForMobileDataNumberDetection(); }},
        {"ChangePassword", false, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForChangingPasswordWithOldPassword("x", "yyyyyy"); }},
        {"GetLumoCardLatestUserPointsRecord", false, "",
         [](auto& u, auto&) { return u.requestForLumoCardLatestUserPointsRecord(); }},
        {"BindLumoCard", false, "",
         [](auto& u, auto&) {
             return u.requestForLumoCardBindingWithCardNumber("1234", "19800101", "1100");
         }},
        {"RegisterAPNS", true, "VnCommonBoolReturnValue",
         [](auto& u, auto&) { return u.requestForAPNSPushTokenRegistration("00ff"); }},
        {"SubmitUserFollowBookCategory", true, "VnUserFollowResult",
         [](auto& u, auto&) { return u.requestForFollowBookCategory("B01", true); }},
        {"UnFollowMagazineCategory", true, "VnUserFollowResult",
         [](auto& u, auto&) { return u.requestForFollowMagazineCategory("M01", false); }},
        {"TransferUserBooks", false, "VnTransferUserBooksReturnValue",
         [](auto& u, auto&) { return u.requestForTransferBooksFromCurrentDeviceLibrary(); }},
        {"RequestPasswordResetEmail", false, "",
         [](auto&, auto& c) { return c.requestForPasswordResetWithUsername("nok@example.com"); }},
        {"RetrieveInAppIDs", false, "",
         [](auto&, auto& c) { return c.requestForAllAppleInAppIds(); }},
        {"ReportPurchaseError", false, "",
         [](auto&, auto& c) {
             return c.requestForPurchaseErrorReport(plat::Value("receipt"), plat::Value("failed"));
         }},
    };

    // Before any sign-in the gated ones wait; the others go out at once.
    auto device = context->activeUserContext();
    for (const auto& row : rows) {
        const auto parked = device->pendingRequestCount();
        auto request = row.make(*device, *context);
        request->startWithDidFinishBlock([](auto&, auto&) {});
        EXPECT_EQ(device->pendingRequestCount() - parked, row.gated ? 1U : 0U) << row.method;
    }
    device->cancelPendingRequests();
    plat::RunLoop::current().runUntil([] { return false; }, 0.2);

    auto user = member();
    for (const auto& row : rows) {
        service.clearRequests();
        auto result = run(row.make(*user, *context));
        ASSERT_TRUE(result) << row.method;
        EXPECT_TRUE(result->succeed()) << row.method << ": " << result->description();
        EXPECT_EQ(calls(row.method), 1U) << row.method;
        if (*row.answer) {
            EXPECT_EQ(answerClass(result), row.answer) << row.method;
        }
    }
}

TEST_F(LendingTest, LoansReservationsAndHistoryMoveAsTheLibrarySays) {
    auto user = member();
    // Already borrowed, not available, reserve, another member returns, claim.
    EXPECT_NE(lend(user->requestForBorrowBook(issueRecord("BK0001"))).second.find("already"),
              std::string::npos);
    ASSERT_TRUE(catalogue.borrow("nok@example.com", "BK0004").success);
    EXPECT_FALSE(lend(user->requestForBorrowBook(issueRecord("BK0004"))).first);
    EXPECT_TRUE(lend(user->requestForReserveBook(issueRecord("BK0004"))).first);
    ASSERT_TRUE(catalogue.returnLoan("nok@example.com", "BK0004").success);
    EXPECT_TRUE(run(user->requestForNeedClaimAction())->returnValue().boolValue());
    EXPECT_TRUE(lend(user->requestForClaimReserveBook("BK0004")).first);

    // A held copy is claimable only within its window.
    catalogue.advanceClock(3 * 24 * 3600);
    EXPECT_FALSE(lend(user->requestForClaimReserveBook("BK0002")).first);

    // One extension only.
    EXPECT_TRUE(lend(user->requestforExtendBorrowBook("LN0001")).first);
    EXPECT_FALSE(lend(user->requestforExtendBorrowBook("LN0001")).first);

    // The loan limit.
    for (const char* code : {"BK0003", "BK0005", "BK0006"})
        EXPECT_TRUE(lend(user->requestForBorrowBook(issueRecord(code))).first) << code;
    const auto overLimit = lend(user->requestForBorrowBook(issueRecord("BK0002")));
    EXPECT_NE(overLimit.second.find("limit"), std::string::npos) << overLimit.second;

    // A return shows in both histories, newest first.
    EXPECT_TRUE(lend(user->requestForReturnBook(issueRecord("BK0001"))).first);
    for (const auto& history : {run(user->requestForGetBorrowHistory(std::nullopt, std::nullopt)),
                                run(user->requestForGetHistory(0, 10))}) {
        ASSERT_TRUE(history->succeed());
        auto first = history->returnValue().array()->objectAtIndex(0).object();
        ASSERT_TRUE(first);
        EXPECT_NE(first->description().find("BK0001"), std::string::npos) << first->description();
    }
}

TEST_F(LendingTest, FollowsReviewsReceiptsTransfersAndRedemptions) {
    // The device user borrows, then a member takes the device's loans over.
    auto device = context->activeUserContext();
    ASSERT_TRUE(run(device->requestForBorrowBook(issueRecord("BK0003")))->succeed());
    const auto deviceName =
        VnUserAuthenticationInfo::infoWithDeviceId(context->machineID())->username();
    ASSERT_EQ(catalogue.loans(deviceName).size(), 1U);

    auto user = member();
    const auto accountId = user->accountInfo()->userId_;
    EXPECT_EQ(accountId, 1001);
    auto transfer = run(user->requestForTransferBooksFromCurrentDeviceLibrary());
    ASSERT_TRUE(transfer->succeed());
    EXPECT_EQ(user->activeRequestCount(), 0U);
    auto moved = transfer->returnValue().as<VnTransferUserBooksReturnValue>();
    ASSERT_TRUE(moved);
    EXPECT_TRUE(moved->isSuccess_);
    EXPECT_TRUE(catalogue.loans(deviceName).empty());

    // Follows of authors and publishers carry the account's id and show in the store.
    ASSERT_TRUE(run(user->requestForFollowAuthor("Jane Austen", true))->succeed());
    ASSERT_TRUE(run(user->requestForFollowPublisher("Sample House", true))->succeed());
    EXPECT_EQ(Json::parse(service.requestsForMethod("SubmitUserFollowAuthor")[0].body)["accountId"],
              accountId);
    auto follows = run(user->requestForFollowInfosWithFollowTypeIdArray({3, 4}));
    ASSERT_TRUE(follows->succeed());
    std::vector<std::string> names;
    follows->returnValue().array()->enumerate([&](const plat::Value& v) {
        names.push_back(v.as<VnFollowInfo>()->name_.value_or(""));
        return true;
    });
    EXPECT_NE(std::find(names.begin(), names.end(), "Jane Austen"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Sample House"), names.end());

    // Reviews by page: page 2 of 10 asks for 20..29.
    ASSERT_TRUE(run(user->requestForReviewOfMagazineCode("MG02", 2, 10))->succeed());
    const auto review = Json::parse(store.requestsForMethod("GetItemReview").back().body);
    EXPECT_EQ(review["start"], 20);
    EXPECT_EQ(review["length"], 10);

    // The mobile receipt, with and without a promotion code.
    EXPECT_EQ(VnBookStoreUserContext::mobilePurchaseReceipt("0812345678", std::nullopt),
              "MS4wOzA4MTIzNDU2Nzg=");
    EXPECT_EQ(VnBookStoreUserContext::mobilePurchaseReceipt("0812345678", "P1"),
              "MS4wOzA4MTIzNDU2Nzg7UDE=");
    auto purchase = run(user->requestForMobilePurchaseConfirmationWithProductType(
        "MOBILE", "0812345678", std::nullopt));
    ASSERT_TRUE(purchase->succeed());
    EXPECT_EQ(
        Json::parse(service.requestsForMethod("RedeemProduct").back().body)["transactionReceipt"],
        "MS4wOzA4MTIzNDU2Nzg=");

    // Pending redemptions are kept in the member's table; none is redeemed here.
    auto pending = std::make_shared<VnBookStorePurchaseRequestRedeemInfo>();
    user->addPendingRedemption(pending);
    EXPECT_EQ(user->pendingRedemptions().size(), 1U);
    user->removePendingRedemption(pending);
    EXPECT_TRUE(user->pendingRedemptions().empty());
    EXPECT_EQ(user->requestForRedeemCompletedPurchasesWithTransactions(plat::Value()), nullptr);
    EXPECT_THROW(user->requestForCheckingNeedPurchase(nullptr), plat::Exception);

    // A transfer the service refuses changes nothing.
    service.addMethod("TransferUserBooks", [](const Json&, demo::Session&) {
        return Json{{"IsSuccess", false}, {"Message", "No."}, {"BookCodes", Json::array()}};
    });
    const auto loans = catalogue.loans("somchai@example.com").size();
    auto refused = run(user->requestForTransferBooksFromCurrentDeviceLibrary());
    ASSERT_TRUE(refused->succeed());
    EXPECT_FALSE(refused->returnValue().as<VnTransferUserBooksReturnValue>()->isSuccess_);
    EXPECT_EQ(catalogue.loans("somchai@example.com").size(), loans);
}

}  // namespace
