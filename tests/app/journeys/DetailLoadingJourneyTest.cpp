// Journeys of a detail whose opening fails after the member has gone on to another action there:
// the opening begun by a borrow waits for its first page, the member cancels its loading and
// returns the book, or borrows another book in the top charts' detail; then the first page is
// refused. The member is told once, and the later action's loading stays until its own answer.
#include "JourneySupport.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";

// A lent book nobody holds, made short; its first page is held, then refused.
constexpr const char* kBook = "BK0004";
const QString kBookTitle = QStringLiteral("Thai Economy in Transition");
constexpr int kPages = 8;
const std::string kFirstPage = "/content/" + std::string(kBook) + "/PAGE_0.pdf";

// Another book of the top charts, borrowed while the first one's opening waits.
constexpr const char* kOther = "BK0001";
const QString kOtherTitle = QStringLiteral("ข้างหลังภาพ");

class DetailLoadingJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
        ASSERT_TRUE(demo().shorten(kOther, kPages));
    }

    // Nok borrows the book shown on the screen of the toolbar item; the opening that follows
    // waits for its first page, and she cancels its loading: the detail shows her loan.
    void borrowAndCancelItsOpening(const char* screen) {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar(screen);
        ASSERT_NO_FATAL_FAILURE(openShown(kBookTitle));
        demo::Fault refusal = demo::Fault::stallThenFail();
        refusal.calls = 1;
        demo().service->setFault(kFirstPage, refusal);
        click(detailAction(QStringLiteral("ยืม")));
        ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 1 && overlayShows(); }))
            << "the opening waits for the book's first page under the loading; alerts: "
            << alertsText();
        click(byText<QAbstractButton>(QStringLiteral("ยกเลิก"), false, content()));
        ASSERT_TRUE(waitFor([&] { return !overlayShows() && detailOffers("คืน"); }))
            << "the loading is cancelled and the loan shows:\n"
            << shownTexts(content());
    }

    // The member presses the action, whose web method the service holds unanswered, and the
    // first page is refused: she is told once, and the action's loading stays while its answer
    // has not come.
    void actWhileTheFirstPageIsRefused(const QString& caption, const std::string& method) {
        demo::Fault held = demo::Fault::stall();
        held.calls = 1;
        demo().service->setFault(method, held);
        const size_t sent = demo().service->requestsForMethod(method).size();
        click(detailAction(caption));
        ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 2 && overlayShows(); }))
            << method << " waits under its loading; alerts: " << alertsText() << "\n"
            << shownTexts(content());

        demo().service->releaseStalled(kFirstPage);
        ASSERT_TRUE(waitFor(
            [&] {
                return alerts_->said(kConnectionErrorText) && alerts_->answersHandled() &&
                       demo().service->stalledCount() == 1;
            },
            testing_support::memberWait()))
            << "the member is told of the failed opening; alerts: " << alertsText();
        EXPECT_TRUE(overlayShows()) << method << "'s loading ended before its answer came:\n"
                                    << shownTexts(content());
        EXPECT_EQ(demo().service->requestsForMethod(method).size(), sent + 1);
        demo().service->releaseStalled(method);
    }
};

TEST_F(DetailLoadingJourney, AReturnAfterAFailedOpeningKeepsItsLoadingUntilItsAnswer) {
    ASSERT_NO_FATAL_FAILURE(borrowAndCancelItsOpening("ic_book"));

    ASSERT_NO_FATAL_FAILURE(actWhileTheFirstPageIsRefused(QStringLiteral("คืน"), "ReturnBook"));
    EXPECT_TRUE(waitFor(
        [&] { return alerts_->said("การคืนเสร็จสมบูรณ์") && !overlayShows() && detailOffers("ยืม"); },
        testing_support::memberWait()))
        << "the return's answer ends its loading; alerts: " << alertsText() << "\n"
        << shownTexts(content());
    EXPECT_EQ(alerts_->messages.size(), 2U) << alertsText();
    EXPECT_EQ(readerWindow(), nullptr);
}

TEST_F(DetailLoadingJourney, AnotherBorrowInTheTopChartsKeepsItsLoadingUntilItsAnswer) {
    ASSERT_NO_FATAL_FAILURE(borrowAndCancelItsOpening("ic_top"));

    // Back to the chart, and the other book in the same detail.
    click(shownButton(QStringLiteral("กลับ")));
    ASSERT_NO_FATAL_FAILURE(openShown(kOtherTitle));
    ASSERT_NO_FATAL_FAILURE(actWhileTheFirstPageIsRefused(QStringLiteral("ยืม"), "BorrowBook"));
    EXPECT_TRUE(waitFor([&] { return readerCode() == kOther; }, 30000))
        << "the other book's borrow opens it; alerts: " << alertsText();
    EXPECT_EQ(alerts_->messages.size(), 1U) << alertsText();
}

}  // namespace
