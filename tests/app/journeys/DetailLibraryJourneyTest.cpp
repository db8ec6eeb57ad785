// Journeys of an item detail that must show, and open, only what the member's library lends: a
// borrow answered after the top charts' kept detail went on to another book; a return and a
// borrow answered as their member signs out, with that member signed in again; and a detail left
// open on a member's loan while that member signs in for the first time on this home.
#include "JourneySupport.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";

// Nok's loan.
constexpr const char* kNoksLoan = "BK0005";
const QString kNoksLoanTitle = QStringLiteral("ประวัติศาสตร์กรุงศรีอยุธยา");
// Somchai's loan, in the top charts.
constexpr const char* kSomchaisLoan = "BK0001";
const QString kSomchaisLoanTitle = QStringLiteral("ข้างหลังภาพ");
// A book nobody holds, in the top charts and the books' page.
constexpr const char* kFree = "BK0004";
const QString kFreeTitle = QStringLiteral("Thai Economy in Transition");
constexpr int kPages = 8;

class DetailLibraryJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kFree, kPages));
        ASSERT_TRUE(demo().shorten(kSomchaisLoan, kPages));
        ASSERT_TRUE(demo().shorten(kNoksLoan, kPages));
    }

    bool showsNotHeld() {
        return !detailOffers("อ่าน") && !detailOffers("คืน") && !detailOffers("ยืมแล้ว") &&
               detailOffers("ยืม");
    }
    bool showsHeld() {
        return detailOffers("อ่าน") && detailOffers("คืน") && detailOffers("ยืมแล้ว") &&
               !detailOffers("ยืม");
    }

    // The service holds the next call of the web method unanswered until it is released.
    static void holdNext(const std::string& method) {
        demo::Fault held = demo::Fault::stall();
        held.calls = 1;
        demo().service->setFault(method, held);
    }
    // The service holds every list of the member's books (what the shelves update the member's
    // library from) until released.
    static void holdTheLibraryList() {
        demo().service->setFault("GetMetaBookInfos", demo::Fault::stall());
    }
    static void releaseTheLibraryList() {
        demo().service->clearFaults();
        demo().service->releaseStalled("GetMetaBookInfos");
    }

    // Whether the service lends the item to the member.
    static bool lends(const std::string& member, const std::string& code) {
        for (const auto& loan : demo().catalogue().loans(member))
            if (loan.bookCode == code)
                return true;
        return false;
    }

    // Whether the service has been asked for anything of the item's content.
    static bool contentAskedFor(const std::string& code) {
        for (const auto& request : demo().service->requests()) {
            if (request.path.find("/content/" + code + "/") != std::string::npos ||
                (request.path.find("GetBookPages") != std::string::npos &&
                 request.body.find(code) != std::string::npos))
                return true;
        }
        return false;
    }

    // Whether the book shelf lists the item among the member's loans.
    bool shelfListsLoan(const std::string& code) const {
        const auto all = shelves();
        const auto& books = all.empty() || !all[0] ? std::nullopt : all[0]->libraryBooks();
        if (!books)
            return false;
        for (const auto& item : *books)
            if (item && item->code() == code && !item->isSample_)
                return true;
        return false;
    }

    // Signed in as nok, the detail of her loan shows it as hers.
    void openNoksLoan() {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_cat");
        ASSERT_NO_FATAL_FAILURE(openShown(QStringLiteral("ประวัติศาสตร์")));
        ASSERT_NO_FATAL_FAILURE(openShown(kNoksLoanTitle));
        ASSERT_TRUE(waitFor([&] { return showsHeld(); }, testing_support::memberWait()))
            << "nok's loan:\n"
            << shownTexts(content());
    }

    // The member presses the action in the detail, whose answer the service holds; the answer
    // is let go and, in the same turn of the event loop, the member signs out from the account
    // sheet, so that the answer comes for a member who has left.
    void actThenSignOutAsTheAnswerComes(const QString& caption, const std::string& method) {
        holdNext(method);
        click(detailAction(caption));
        ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 1; }))
            << method << " is held; alerts: " << alertsText();
        ASSERT_NO_FATAL_FAILURE(openAccountSheet());
        QAbstractButton* signOutButton =
            byText<QAbstractButton>(QStringLiteral("ออกจากระบบ"), false, window()->settingWindow());
        ASSERT_TRUE(signOutButton);
        demo().service->releaseStalled(method);
        click(signOutButton);
        ASSERT_TRUE(signedInMember().empty());
    }
};

// The top charts' detail is kept from one book to the next: a borrow answered after it went on
// to another book opens the borrowed book, and leaves the other one as the library has it.
TEST_F(DetailLibraryJourney,
       ABorrowAnsweredAfterTheKeptDetailShowsAnotherBookLeavesThatBookUnlent) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_top");
    ASSERT_NO_FATAL_FAILURE(openShown(kSomchaisLoanTitle));
    holdNext("BorrowBook");
    click(detailAction(QStringLiteral("ยืม")));
    ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 1 && overlayShows(); }))
        << "the borrow waits under its loading; alerts: " << alertsText();
    click(byText<QAbstractButton>(QStringLiteral("ยกเลิก"), false, content()));
    ASSERT_TRUE(waitFor([&] { return !overlayShows(); }));
    click(shownButton(QStringLiteral("กลับ")));
    ASSERT_NO_FATAL_FAILURE(openShown(kFreeTitle));
    ASSERT_TRUE(waitFor([&] {
        return showsText(kFreeTitle, content()) && showsNotHeld() && detailOffers("หยิบอ่าน") &&
               detailOffers("ทดลองอ่าน");
    })) << shownTexts(content());

    // The shelves' update that follows the borrow is held: what the detail shows meanwhile is
    // what the answer left in it.
    holdTheLibraryList();
    demo().service->releaseStalled("BorrowBook");
    ASSERT_TRUE(waitFor([&] { return readerCode() == kSomchaisLoan; }, 30000))
        << "the borrowed book opens; alerts: " << alertsText();
    closeReader();
    ASSERT_TRUE(detailShowsWithoutOverlay(kFreeTitle));
    EXPECT_TRUE(showsNotHeld() && detailOffers("หยิบอ่าน") && detailOffers("ทดลองอ่าน"))
        << "the other book is not lent to nok:\n"
        << shownTexts(content());
    // Once the shelves hold the loan, the detail still shows the other book as the library has
    // it, and nothing of it was asked for.
    releaseTheLibraryList();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }));
    EXPECT_TRUE(showsNotHeld()) << shownTexts(content());
    EXPECT_FALSE(contentAskedFor(kFree));
    EXPECT_EQ(alertsText(), "");
}

// Nok returns her loan; the answer comes after she signed out. Signed in again, with her shelves'
// update held, the detail left open offers her the book to borrow, not to read.
TEST_F(DetailLibraryJourney, AReturnAnsweredAsItsMemberSignsOutIsNotReadAgainAtTheNextSignIn) {
    ASSERT_NO_FATAL_FAILURE(openNoksLoan());
    ASSERT_NO_FATAL_FAILURE(actThenSignOutAsTheAnswerComes(QStringLiteral("คืน"), "ReturnBook"));
    ASSERT_TRUE(waitFor([&] { return !lends(kNok, kNoksLoan); })) << "the service ended the loan";
    EXPECT_TRUE(waitFor([&] { return showsNotHeld(); }, testing_support::memberWait()))
        << "signed out:\n"
        << shownTexts(content());

    holdTheLibraryList();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    EXPECT_TRUE(waitFor([&] { return showsNotHeld(); }, testing_support::memberWait()))
        << "nok again, before her shelves' update: the book she gave back\n"
        << shownTexts(content());
    releaseTheLibraryList();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }));
    EXPECT_TRUE(showsNotHeld()) << shownTexts(content());
    EXPECT_EQ(readerWindow(), nullptr);
    EXPECT_FALSE(contentAskedFor(kNoksLoan));
    EXPECT_EQ(alertsText(), "") << "nothing is told to whoever is signed in when it comes";
}

// Nok borrows a book; the answer comes after she signed out: nothing opens. Signed in again, the
// detail left open shows her loan once her shelves have it, and she reads it.
TEST_F(DetailLibraryJourney, ABorrowAnsweredAsItsMemberSignsOutShowsAsHersAtTheNextSignIn) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    ASSERT_NO_FATAL_FAILURE(openShown(kFreeTitle));
    ASSERT_TRUE(waitFor([&] { return showsNotHeld(); })) << shownTexts(content());
    ASSERT_NO_FATAL_FAILURE(actThenSignOutAsTheAnswerComes(QStringLiteral("ยืม"), "BorrowBook"));
    ASSERT_TRUE(waitFor([&] { return lends(kNok, kFree); })) << "the service lent the book";

    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfListsLoan(kFree); }))
        << "nok's shelves list the loan";
    ASSERT_TRUE(waitFor([&] { return showsHeld(); }, testing_support::memberWait()))
        << "the detail shows nok's loan:\n"
        << shownTexts(content());
    EXPECT_EQ(readerWindow(), nullptr) << "nothing opened for the member who had left";
    EXPECT_EQ(alertsText(), "");
    click(detailAction(QStringLiteral("อ่าน")));
    EXPECT_TRUE(waitFor([&] { return readerCode() == kFree; }, 30000))
        << "nok reads her loan; alerts: " << alertsText();
}

// A detail left open, signed out, on somchai's loan while he signs in for the first time on this
// home: once his shelves hold the loan, the detail shows it as his.
TEST_F(DetailLibraryJourney, AnOpenDetailFollowsTheMembersLibraryAsItIsUpdated) {
    launch();
    clickToolbar("ic_top");
    ASSERT_NO_FATAL_FAILURE(openShown(kSomchaisLoanTitle));
    ASSERT_TRUE(waitFor([&] { return showsNotHeld(); })) << shownTexts(content());

    holdTheLibraryList();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() >= 1; }))
        << "his shelves ask for his books";
    ASSERT_TRUE(waitFor([&] { return showsNotHeld(); }, testing_support::memberWait()))
        << "before his shelves' update, his library on this home is empty:\n"
        << shownTexts(content());
    releaseTheLibraryList();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }));
    ASSERT_TRUE(waitFor([&] { return showsHeld(); }, testing_support::memberWait()))
        << "the detail shows somchai's loan once his shelves have it:\n"
        << shownTexts(content());
    click(detailAction(QStringLiteral("อ่าน")));
    EXPECT_TRUE(waitFor([&] { return readerCode() == kSomchaisLoan; }, 30000))
        << "somchai reads his loan; alerts: " << alertsText();
    EXPECT_EQ(alertsText(), "");
}

}  // namespace
