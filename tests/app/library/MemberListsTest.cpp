// The borrow history, the reservation queue and the notice of reservations ready to claim,
// against the demo library.
#include <climits>

#include "LibraryTestSupport.h"
#include "app/library/BorrowHistoryViewController.h"
#include "app/library/LibraryMainView.h"
#include "app/library/LibraryTexts.h"
#include "app/library/ReserveBookViewController.h"
#include "demo-service/DemoLibraryMembers.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

using namespace library_testing;

namespace {

class MemberListsTest : public LibraryTest {};

Ref<VnReserveItemInfo> reservation(const char* type, const char* name, const char* description) {
    auto info = std::make_shared<VnReserveItemInfo>();
    info->itemType_ = type;
    info->name_ = name;
    info->descriptionText_ = description;
    return info;
}

TEST_F(MemberListsTest, HistoryRowsAndTheClaimNotice) {
    startDemo();
    auto history = ui::ViewController::create<BorrowHistoryViewController>();
    int reloads = 0;
    history->rowsDidChange = [&] { ++reloads; };
    history->viewDidAppear();
    ASSERT_TRUE(runUntil([&] { return reloads == 1; }));
    ASSERT_EQ(history->numberOfRows(), 25);  // of 30 past loans
    EXPECT_EQ(history->heightOfRow(0), 130);
    EXPECT_FALSE(history->shouldSelectRow(0));
    const auto first = history->rowAt(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(borrowRowTitle(*first),
              first->bookHeaderName_.value_or("") + " - " + first->bookName_.value_or(""));
    EXPECT_EQ(borrowRowReturnLine(*first), "คืนวันที่ " + first->returnDateString().value_or(""));
    EXPECT_NE(borrowRowReturnLine(*first), "คืนวันที่ ");
    // A failed load keeps the rows.
    demo.service.setFault("GetHistory", demo::Fault{demo::FaultKind::ServerError});
    history->refresh();
    spin(0.3);
    EXPECT_EQ(history->numberOfRows(), 25);
    EXPECT_EQ(reloads, 1);
    // An empty answer empties the list.
    demo.service.clearFaults();
    demo.service.addMethod("GetHistory",
                           [](const demo::Json&, demo::Session&) { return demo::Json::array(); });
    history->refresh();
    ASSERT_TRUE(runUntil([&] { return reloads == 2; }));
    EXPECT_EQ(history->numberOfRows(), 0);

    // The notice: on every showing, the ready reservations listed after a line break each.
    EXPECT_EQ(claimNoticeListText({reservation("Book", "สี่แผ่นดิน", "ignored"),
                                   reservation("Magazine", "Issue 3", "Tech Today")}),
              "\nสี่แผ่นดิน\nTech Today - Issue 3");
    auto screen = ui::ViewController::create<LibraryMainView>();
    screen->needClaimAction();
    ASSERT_TRUE(runUntil([&] { return !alerts->messages.empty(); }));
    EXPECT_EQ(alerts->messages[0],
              "คุณได้รับหนังสือที่จองแล้ว\nชื่อเรื่อง : \nQueued BK-RSV1\n"
              "ดูหนังสือที่ได้รับในเมนู \"คิวการจองหนังสือ\"");
    screen->needClaimAction();
    ASSERT_TRUE(runUntil([&] { return alerts->messages.size() == 2; }));
}

TEST_F(MemberListsTest, ReservationQueueClaimAndCancel) {
    startDemo();
    auto screen = ui::ViewController::create<ReserveBookViewController>();
    int reloads = 0;
    std::vector<int> reloadsAtAlert;
    screen->rowsDidChange = [&] { ++reloads; };
    alerts->onShow = [&] { reloadsAtAlert.push_back(reloads); };
    screen->viewDidAppear();
    ASSERT_TRUE(runUntil([&] { return reloads == 1; }));
    ASSERT_EQ(screen->numberOfRows(), 3);
    EXPECT_EQ(screen->heightOfRow(2), 130);
    EXPECT_FALSE(screen->shouldSelectRow(0));

    std::map<std::string, Ref<VnReserveItemInfo>> byBook;
    for (const auto& row : screen->rows())
        byBook[row->bookCode_.value_or("")] = row;
    ASSERT_EQ(byBook.size(), 3u);
    const auto claimable = reserveRowState(*byBook["BK-RSV1"], false);
    EXPECT_EQ(claimable.title, "Queued BK-RSV1");
    EXPECT_EQ(claimable.detail, "Book");
    EXPECT_EQ(claimable.queueLine.rfind("ภายในวันที่ ", 0), 0u);
    EXPECT_EQ(claimable.queueLine.size(), std::string("ภายในวันที่ ").size() + 10);  // dd/MM/yyyy
    EXPECT_TRUE(claimable.activeBookButtonShown);
    EXPECT_FALSE(claimable.cancelReserveButtonShown);
    const auto firstInQueue = reserveRowState(*byBook["BK-RSV2"], false);
    EXPECT_EQ(firstInQueue.queueLine.rfind("คิวที่ 1 , ไม่เกินวันที่ ", 0), 0u);
    EXPECT_GT(firstInQueue.queueLine.size(), std::string("คิวที่ 1 , ไม่เกินวันที่ ").size());
    EXPECT_FALSE(firstInQueue.activeBookButtonShown);
    EXPECT_EQ(reserveRowState(*byBook["BK-RSV3"], false).queueLine.rfind("คิวที่ 2 , ", 0), 0u);
    // In cancel mode every row shows its cancel button, a claimable one also its claim button.
    const auto cancelling = reserveRowState(*byBook["BK-RSV1"], true);
    EXPECT_TRUE(cancelling.activeBookButtonShown && cancelling.cancelReserveButtonShown);
    // Far places and missing dates.
    auto far = reservation("Magazine", "Issue", "Title");
    far->remainingPeople_ = INT_MAX;
    EXPECT_EQ(reserveRowState(*far, false).queueLine, "คิวที่ 2147483648 , ไม่เกินวันที่ ");
    EXPECT_EQ(reserveRowState(*far, false).title, "Title - Issue");

    EXPECT_FALSE(screen->cancelReserveButtonHidden());
    screen->cancelButton_Click();
    EXPECT_TRUE(screen->cancelMode());
    EXPECT_EQ(screen->cancelReserveButtonHidden(), true);
    EXPECT_EQ(screen->closeButtonHidden(), false);
    screen->closeButton_Click();
    EXPECT_FALSE(screen->cancelMode());
    EXPECT_EQ(screen->closeButtonHidden(), true);
    EXPECT_EQ(reloads, 3);

    // A refused claim alerts with the service's message, then reloads.
    screen->reserveBookItemCell_claimReserveBookCode(nullptr, std::string("RS-NONE"));
    ASSERT_TRUE(runUntil([&] { return reloads == 4; }));
    ASSERT_EQ(alerts->messages.size(), 1u);
    EXPECT_FALSE(alerts->messages[0].empty());
    EXPECT_NE(alerts->messages[0], kConnectionErrorText);
    EXPECT_EQ(reloadsAtAlert, std::vector<int>{3});
    // No answer at all: a connection error, then the reload.
    demo.service.setFault("ClaimReserveBook", demo::Fault{demo::FaultKind::ServerError});
    screen->reserveBookItemCell_claimReserveBookCode(nullptr, byBook["BK-RSV1"]->itemCode_);
    ASSERT_TRUE(runUntil([&] { return reloads == 5; }));
    EXPECT_EQ(alerts->messages.back(), kConnectionErrorText);
    demo.service.clearFaults();

    // Claimed and cancelled reservations leave the list.
    screen->reserveBookItemCell_claimReserveBookCode(nullptr, byBook["BK-RSV1"]->itemCode_);
    screen->reserveBookItemCell_cancelReserveBookCode(nullptr, byBook["BK-RSV2"]->bookCode_);
    ASSERT_TRUE(runUntil([&] { return reloads == 7; }));
    spin(0.2);
    EXPECT_EQ(alerts->messages.size(), 2u);
    ASSERT_EQ(screen->numberOfRows(), 1);
    EXPECT_EQ(screen->rowAt(0)->bookCode_, "BK-RSV3");
}

}  // namespace
