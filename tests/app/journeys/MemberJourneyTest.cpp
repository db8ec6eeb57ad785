// Journeys of a member who signs in, borrows, reads, returns and reserves.
#include <algorithm>
#include <map>

#include "JourneySupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/reader/PDFModifyView.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";
constexpr const char* kNok = "nok@example.com";

bool holds(const std::string& member, const std::string& code) {
    const auto loans = journey::DemoLibrary::shared().catalogue().loans(member);
    return std::any_of(loans.begin(), loans.end(),
                       [&](const demo::SampleLoan& l) { return l.bookCode == code; });
}

bool reserved(const std::string& member, const std::string& code) {
    const auto list = journey::DemoLibrary::shared().catalogue().reservations(member);
    return std::any_of(list.begin(), list.end(),
                       [&](const demo::SampleReservation& r) { return r.bookCode == code; });
}

// 4. Signing in on the sign-on page shows the member on the account sheet; after a restart the
// member is still signed in and the home page shows its rows.
TEST_F(JourneyTest, SignInOnThePageLastsAcrossARestart) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai, "rak-an-nangsue", true));
    openAccountSheet();
    EXPECT_TRUE(showsText(kSomchai, window()->settingWindow()))
        << shownTexts(window()->settingWindow());
    EXPECT_TRUE(byText<QAbstractButton>("ออกจากระบบ", false, window()->settingWindow()));
    click(byText<QAbstractButton>("ปิด", false, window()->settingWindow()));

    restart();
    EXPECT_TRUE(waitFor([&] { return showsText("หนังสือแนะนำ", content()); }))
        << "home shows its rows on a signed-in start:\n"
        << shownTexts(content());
    EXPECT_TRUE(waitFor([&] { return showsText("สี่แผ่นดิน", content()); }));
    openAccountSheet();
    EXPECT_TRUE(showsText(kSomchai, window()->settingWindow()))
        << "still signed in:\n"
        << shownTexts(window()->settingWindow());
}

// 5. Borrowing a book and a magazine issue from their details: the shelf lists them, the reader
// opens at the first page, and once it closes the detail shows again without the overlay.
TEST_F(JourneyTest, BorrowOpensTheReaderAndFillsTheShelf) {
    launch();
    // What the reader's page view first paints of each issue it opens: its first page itself (a
    // freshly downloaded page 0 is handed over checked before the reader opens), or its
    // placeholder.
    struct FirstPaints : QObject {
        std::map<std::string, bool> placeholder;
        bool eventFilter(QObject* watched, QEvent* event) override {
            const auto window = std::dynamic_pointer_cast<ReaderWindowController>(
                GlobalService::globalShared()->readerViewController());
            const auto reader = window ? window->readerViewController() : nullptr;
            const auto context = reader ? reader->uiContext() : nullptr;
            const auto* view = reader ? reader->pdfView() : nullptr;
            if (event->type() == QEvent::Paint && context && view && watched == view->viewport() &&
                view->document() && view->document()->pageCount() > 0) {
                const auto first = view->document()->pageAtIndex(0);
                const QRectF shown = view->convertRectFromDocumentView(view->pageFrame(first));
                if (shown.intersects(QRectF(view->viewport()->rect())))
                    placeholder.emplace(context->context()->info()->code().value_or(""),
                                        first->isImagePage());
            }
            return QObject::eventFilter(watched, event);
        }
    } firstPaints;
    qApp->installEventFilter(&firstPaints);
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    // The device's sign-in, under way as the sign-on window opened, kept its session: none of
    // its calls went without the session's cookie (the service would have refused it).
    for (const auto& call : demo().service->requestsForMethod("AccountAuthentication"))
        EXPECT_NE(call.header("Cookie").find(demo::DemoService::kSessionCookieName),
                  std::string::npos)
            << call.header("Cookie");
    clickToolbar("ic_book");
    openShown("The Little Prince");
    click(detailAction("ยืม"));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
        << "the reader opens; alerts: " << alertsText() << "\n"
        << shownTexts(content());
    EXPECT_TRUE(readerWindow()->windowTitle().contains("The Little Prince"))
        << readerWindow()->windowTitle().toStdString();
    EXPECT_TRUE(holds(kNok, "BK0003"));
    EXPECT_TRUE(waitFor([&] { return firstPaints.placeholder.count("BK0003") > 0; }))
        << "the reader painted its first page";
    closeReader();
    EXPECT_TRUE(detailShowsWithoutOverlay("Antoine de Saint-Exupéry"));

    clickToolbar("ic_mag");
    ASSERT_NO_FATAL_FAILURE(borrowShown("สุขภาพดี"));
    EXPECT_TRUE(holds(kNok, "MG01-2403"));
    EXPECT_TRUE(waitFor([&] { return firstPaints.placeholder.count("MG01-2403") > 0; }))
        << "the reader painted its first page";
    closeReader();
    EXPECT_TRUE(detailShowsWithoutOverlay("#88 Overall"));

    showShelf();
    EXPECT_TRUE(waitFor([&] { return shelfShows("The Little Prince"); })) << shownTexts(content());
    EXPECT_TRUE(waitFor([&] { return shelfShows("สุขภาพดี 2024/03"); })) << shownTexts(content());
    // Each opened on its first page itself, not on its placeholder.
    EXPECT_EQ(firstPaints.placeholder,
              (std::map<std::string, bool>{{"BK0003", false}, {"MG01-2403", false}}));
}

// 6. Read now on a book opens the reader; so does "อ่าน" on a borrowed book.
TEST_F(JourneyTest, ReadNowAndReadOpenTheReader) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    clickToolbar("ic_book");
    // "อ่าน" on a book the member has borrowed.
    openShown("The Little Prince");
    click(detailAction("ยืม"));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    closeReader();
    click(detailAction("อ่าน"));
    EXPECT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
        << "อ่าน opens the reader; alerts: " << alertsText();
    closeReader();
    click(shownButton("กลับ"));

    // Read now on another book. Back from the reader, the loan goes back: the overlay shows
    // until the return is answered, and is gone once the answer has been handled (the row then
    // looks up the member's reservations).
    openShown("Pride and Prejudice");
    click(detailAction("หยิบอ่าน"));
    EXPECT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
        << "read now opens the reader; alerts: " << alertsText();
    ASSERT_TRUE(holds(kSomchai, "BK0006"));
    demo().service->setFault("ReturnBook", demo::Fault::stall());
    closeReader();
    ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 1; }))
        << "the loan's return reaches the service";
    EXPECT_TRUE(showing(mainWindow()) && showsText("Jane Austen", content()))
        << shownTexts(content());
    EXPECT_TRUE(overlayShows()) << "the overlay waits for the return's answer";
    const size_t lookups = demo().calls("GetCurrentReserveBookInfos");
    demo().service->clearFaults();
    demo().service->releaseStalled();
    ASSERT_TRUE(waitFor([&] {
        return !holds(kSomchai, "BK0006") && demo().calls("GetCurrentReserveBookInfos") > lookups;
    })) << "the return is answered and the answer handled";
    EXPECT_FALSE(overlayShows()) << "the overlay ends with the return's answer";
}

// 7. Returning from the shelf: the item leaves it and the service has it back.
TEST_F(JourneyTest, ReturnFromTheShelf) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_TRUE(holds(kSomchai, "BK0001"));
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("ข้างหลังภาพ"); })) << shownTexts(content());
    // The return mode of the shelf that holds the book, then the cell's own return button.
    QAbstractButton* returnMode = nullptr;
    for (QWidget* up = byText<QLabel>("ข้างหลังภาพ", false, content()); up && !returnMode;
         up = up->parentWidget())
        returnMode = byText<QAbstractButton>("คืนหนังสือ", false, up);
    click(returnMode);
    QAbstractButton* giveBack = nullptr;
    ASSERT_TRUE(waitFor([&] {
        QLabel* title = byText<QLabel>("ข้างหลังภาพ", false, content());
        for (QWidget* up = title; up && !giveBack; up = up->parentWidget())
            giveBack = byText<QAbstractButton>("คืน", false, up);
        return giveBack != nullptr;
    })) << shownTexts(content());
    click(giveBack);
    EXPECT_TRUE(waitFor([&] { return !holds(kSomchai, "BK0001"); }))
        << "the service has it back; alerts: " << alertsText();
    EXPECT_TRUE(waitFor([&] { return !shelfShows("ข้างหลังภาพ"); })) << "the shelf lets it go:\n"
                                                                   << shownTexts(content());
}

// 8. Reserving an item with no copy left, its place in the queue, the claim once the demo has a
// copy for the member, and a cancelled reservation.
TEST_F(JourneyTest, ReserveClaimAndCancel) {
    auto& catalogue = demo().catalogue();
    ASSERT_TRUE(catalogue.borrow(kSomchai, "BK0004").success);  // the one copy is out
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    // Nok looks at her shelf first. (A forced refresh asked while the sign-in's own one runs is
    // dropped, and that one may bring her list from before the claim below.)
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("ประวัติศาสตร์กรุงศรีอยุธยา"); }))
        << shownTexts(content());
    clickToolbar("ic_book");
    openShown("Thai Economy in Transition");
    click(detailAction("จอง"));
    ASSERT_TRUE(waitFor([&] { return reserved(kNok, "BK0004"); })) << alertsText();

    openAccountSheet();
    click(byText<QAbstractButton>("คิวการจองหนังสือ", false, window()->settingWindow()));
    ASSERT_TRUE(waitFor([&] { return showsText("Thai Economy in Transition"); }))
        << "the queue lists it:\n"
        << shownTexts();

    // Somchai gives the copy back; it is held for Nok.
    std::string loanCode;
    for (const auto& loan : catalogue.loans(kSomchai))
        if (loan.bookCode == "BK0004")
            loanCode = loan.itemCode;
    ASSERT_TRUE(catalogue.returnLoan(kSomchai, loanCode).success);
    // The queue again, from a new sheet in place of the one shown.
    ASSERT_NO_FATAL_FAILURE(claimInTheQueue([] { return holds(kNok, "BK0004"); }));
    showShelf();
    EXPECT_TRUE(waitFor([&] { return shelfShows("Thai Economy in Transition"); }))
        << shownTexts(content());

    // A reservation cancelled from the item's detail.
    // (Somchai's reservation holds the one copy of "สี่แผ่นดิน".)
    clickToolbar("ic_book");
    click(shownButton("กลับ"));
    openShown("สี่แผ่นดิน");
    click(detailAction("จอง"));
    ASSERT_TRUE(waitFor([&] { return reserved(kNok, "BK0002"); })) << alertsText();
    click(detailAction("ยกเลิกการจอง"));
    EXPECT_TRUE(waitFor([&] { return !reserved(kNok, "BK0002"); })) << alertsText();
}

// 9. After sign-out the shelf shows none of the member's loans; the next member sees only theirs.
TEST_F(JourneyTest, ShelfFollowsTheMemberSignedIn) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("ข้างหลังภาพ"); })) << shownTexts(content());

    // Signing out from the sheet over the shelf: the shelf shows nothing of the member.
    openAccountSheet();
    click(byText<QAbstractButton>("ออกจากระบบ", false, window()->settingWindow()));
    ASSERT_TRUE(waitFor([&] { return signedInMember().empty(); }));
    EXPECT_TRUE(waitFor([&] { return !shelfShows("ข้างหลังภาพ"); }, testing_support::memberWait()))
        << "the member who left is not on the shelf:\n"
        << shownTexts(content());
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfScreenShows() && !overlayShows(); }));
    EXPECT_FALSE(shelfShows("ข้างหลังภาพ")) << "nor when the shelf is chosen again:\n"
                                          << shownTexts(content());

    // The next member, signed in over the shelf, finds only their own loans there.
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    EXPECT_TRUE(waitFor([&] { return shelfShows("ประวัติศาสตร์กรุงศรีอยุธยา"); }))
        << shownTexts(content());
    EXPECT_FALSE(shelfShows("ข้างหลังภาพ")) << shownTexts(content());
    showShelf();
    EXPECT_TRUE(waitFor([&] { return shelfShows("ประวัติศาสตร์กรุงศรีอยุธยา"); }))
        << shownTexts(content());
    EXPECT_FALSE(shelfShows("ข้างหลังภาพ")) << shownTexts(content());
}

// 14. A copy claimed in the reservation queue, then the shelf, which lists it: the book's detail,
// opened from a search, offers to return and read it, not to reserve it.
TEST_F(JourneyTest, AClaimedBookShowsAsHeldInItsDetail) {
    auto& catalogue = demo().catalogue();
    // Nok waits for the one copy, which Somchai gives back: it is held for her.
    ASSERT_TRUE(catalogue.borrow(kSomchai, "BK0004").success);
    ASSERT_TRUE(catalogue.reserve(kNok, "BK0004").success);
    ASSERT_TRUE(catalogue.returnLoan(kSomchai, "BK0004").success);
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    // Her shelf first, so that the sign-in's own refresh has ended before the claim.
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("ประวัติศาสตร์กรุงศรีอยุธยา"); }))
        << shownTexts(content());

    ASSERT_NO_FATAL_FAILURE(claimInTheQueue([] { return holds(kNok, "BK0004"); }));
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("Thai Economy in Transition"); }))
        << shownTexts(content());

    search("Thai Economy");
    ASSERT_TRUE(waitFor([&] { return showsText("ค้นหา \"Thai Economy\" พบจำนวน", content()); }))
        << shownTexts(content());
    openShown("Thai Economy in Transition");
    ASSERT_TRUE(waitFor([&] { return showsText("Somsak Wongsa", content()); }))
        << "the detail shows:\n"
        << shownTexts(content());
    // Held: return and read, and the line says so; once the overlay has gone, nothing else.
    EXPECT_TRUE(detailAction("คืน")) << "the detail offers to return it";
    EXPECT_TRUE(detailAction("อ่าน")) << "and to read it";
    EXPECT_TRUE(detailShowsWithoutOverlay("ยืมแล้ว"));
    EXPECT_FALSE(byText<QLabel>("จอง", false, content())) << "the detail offers no reservation:\n"
                                                          << shownTexts(content());
    EXPECT_FALSE(byText<QLabel>("ยืม", false, content())) << shownTexts(content());
    EXPECT_FALSE(reserved(kNok, "BK0004"));
}

}  // namespace
