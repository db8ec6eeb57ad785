// Journeys of an item detail left open while the member changes: it shows the item for the member
// now signed in (a sign-out, another member, the first member again) and offers only what that
// member holds; a sign-out while an opening begun there waits ends the detail's loading. And a
// program ended while a detail still holds a read-now loan ends cleanly, building nothing anew.
#include "JourneySupport.h"
#include "app/library/IssueMetadataDownloader.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";

// Nok's loan, which somchai does not hold.
const QString kHeldTitle = QStringLiteral("ประวัติศาสตร์กรุงศรีอยุธยา");
constexpr const char* kHeld = "BK0005";

// A book nobody holds, made short.
constexpr const char* kBook = "BK0004";
const QString kBookTitle = QStringLiteral("Thai Economy in Transition");
constexpr int kPages = 8;
const std::string kFirstPage = "/content/" + std::string(kBook) + "/PAGE_0.pdf";

class DetailMemberJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    // Whether the detail shows the item as one the member signed in does not hold: neither read
    // nor return is offered, and it can be borrowed or reserved.
    bool showsNotHeld() {
        return !detailOffers("อ่าน") && !detailOffers("คืน") && !detailOffers("ยืมแล้ว") &&
               (detailOffers("ยืม") || detailOffers("จอง"));
    }
    bool showsHeld() {
        return detailOffers("อ่าน") && detailOffers("คืน") && detailOffers("ยืมแล้ว") &&
               !detailOffers("ยืม");
    }

    // Whether the held page has been served and every opening the shelves began has ended:
    // ended by a change of member, or finished (the reader opens at that finish).
    bool openingsEnded() const {
        if (demo().service->stalledCount() != 0 || demo().service->transfersInFlight() != 0)
            return false;
        for (const auto& shelf : shelves()) {
            const auto opening = shelf ? std::dynamic_pointer_cast<PdfIssueMetadataDownloader>(
                                             shelf->metadataDownloader())
                                       : nullptr;
            if (opening && !opening->finished())
                return false;
        }
        return true;
    }

    // The demo holds the book's first page unanswered until released.
    static void holdFirstPage() { demo().service->setFault(kFirstPage, demo::Fault::stall()); }
    static void releaseFirstPage() {
        demo().service->clearFaults();
        demo().service->releaseStalled();
    }

    // Nok presses the action in the book's detail; its answer comes and the opening that
    // follows waits for the book's first page.
    void actWithTheFirstPageHeld(const QString& action) {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(openShown(kBookTitle));
        holdFirstPage();
        click(detailAction(action));
        ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() >= 1 && overlayShows(); }))
            << "the opening waits for the book's first page under the loading; alerts: "
            << alertsText();
    }
};

TEST_F(DetailMemberJourney, AnOpenDetailFollowsTheMemberSignedIn) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_cat");
    ASSERT_NO_FATAL_FAILURE(openShown(QStringLiteral("ประวัติศาสตร์")));
    ASSERT_NO_FATAL_FAILURE(openShown(kHeldTitle));
    ASSERT_TRUE(waitFor([&] { return showsHeld(); })) << "nok's loan:\n" << shownTexts(content());

    // Signed out, then somchai, with the detail left open: what each of them holds shows.
    ASSERT_NO_FATAL_FAILURE(signOut());
    EXPECT_TRUE(waitFor([&] { return showsNotHeld(); }, testing_support::memberWait()))
        << "signed out:\n"
        << shownTexts(content());
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    EXPECT_TRUE(waitFor([&] { return showsNotHeld() && detailOffers("หยิบอ่าน"); },
                        testing_support::memberWait()))
        << "somchai, who does not hold it:\n"
        << shownTexts(content());
    EXPECT_EQ(readerWindow(), nullptr);

    // Nok again: her loan, which she reads.
    ASSERT_NO_FATAL_FAILURE(signOut());
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return showsHeld(); }, testing_support::memberWait()))
        << "nok's loan again:\n"
        << shownTexts(content());
    click(detailAction(QStringLiteral("อ่าน")));
    EXPECT_TRUE(waitFor([&] { return readerCode() == kHeld; }, 30000))
        << "nok reads her loan; alerts: " << alertsText();
    EXPECT_EQ(alertsText(), "");
}

TEST_F(DetailMemberJourney, ASignOutWhileAnOpeningWaitsEndsTheDetailsLoading) {
    ASSERT_NO_FATAL_FAILURE(actWithTheFirstPageHeld(QStringLiteral("ยืม")));

    ASSERT_NO_FATAL_FAILURE(signOut());
    EXPECT_TRUE(
        waitFor([&] { return !overlayShows() && showsNotHeld(); }, testing_support::memberWait()))
        << "the detail shows, without its loading, what a signed-out member sees:\n"
        << shownTexts(content());
    releaseFirstPage();
    ASSERT_TRUE(waitFor([&] { return openingsEnded(); }))
        << "the held page is served and every opening the shelves began has ended";
    EXPECT_EQ(readerWindow(), nullptr);
    EXPECT_EQ(alertsText(), "");
}

TEST_F(DetailMemberJourney, AProgramEndedWhileADetailHoldsAReadNowLoanEndsCleanly) {
    ASSERT_NO_FATAL_FAILURE(actWithTheFirstPageHeld(QStringLiteral("หยิบอ่าน")));

    // The detail left while the opening waits; the reader, then Close, and the program's end.
    showShelf();
    releaseFirstPage();
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, 30000))
        << "the reader opens the book; alerts: " << alertsText();
    closeReader();
    ASSERT_TRUE(waitFor([&] { return showing(mainWindow()); }));
    const uint64_t built = GlobalService::servicesBuilt();
    quit();
    EXPECT_EQ(GlobalService::servicesBuilt(), built)
        << "something built the service again during the program's end";
    EXPECT_EQ(alertsText(), "");
}

}  // namespace
