// Journeys of a member who reads a borrowed item with the service out of reach: each walks a road
// with the service there, then the program starts again on the same home with the demo stopped,
// and the item opened from the shelf shows every page that lies on disk, within a bound, with no
// download bar left for good.
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "JourneySupport.h"
#include "support/PdfFixtures.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";

// A small book and a small magazine issue: the demo's own, made short.
constexpr const char* kBook = "BK0003";
const QString kBookTitle = QStringLiteral("The Little Prince");
const QString kBookAuthor = QStringLiteral("Antoine de Saint-Exupéry");
constexpr const char* kIssue = "MG01-2403";
const QString kIssueTitle = QStringLiteral("สุขภาพดี");
constexpr int kPages = 5;

// How long the reader may take to open from the shelf with the service out of reach and show
// what lies on disk (pages not checked before are checked one at a time, each by a program of its
// own); how long a message may take instead.
constexpr int kOfflineBound = 30000;

class OfflineJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
        ASSERT_TRUE(demo().shorten(kIssue, kPages));
    }

    // Signed in, the book borrowed from its detail and read through.
    void borrowAndReadTheBook() {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(borrowShown(kBookTitle));
        ASSERT_TRUE(readThrough(kBook, kPages));
    }

    // The book, read through before, opened from the shelf with the service out of reach: every
    // page lies on disk and is drawn.
    void readTheBookOffline() {
        ASSERT_FALSE(demo().running());
        EXPECT_EQ(pagesOnDisk(kBook, kPages), allPages(kPages)) << "the book lies on disk";
        openFromShelfAndSeeEveryPageOnDisk(kBookTitle, kBook, kPages, kOfflineBound);
    }

    // The book borrowed again in its detail and the new loan read through and closed; once the
    // shelves have taken in what the service says (their updates have ended), the shelf lists the
    // book, the service was asked for its page list again since the count given, and its folder
    // holds the page table and the file of every page.
    void borrowAgainInTheDetail(size_t pageListsAtTheReturn) {
        ASSERT_TRUE(detailShowsWithoutOverlay(kBookAuthor));
        click(detailAction(QStringLiteral("ยืม")));
        demo().service->clearFaults();
        ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, 30000))
            << "the reader opens the new loan; alerts: " << alertsText()
            << "; lent: " << demo().catalogue().hasItem(kNok, kBook);
        ASSERT_TRUE(readThrough(kBook, kPages));
        closeReader();
        showShelf();
        ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfCell(kBookTitle); }, 30000))
            << "the shelf lists the new loan once its updates end:\n"
            << shownTexts(content());
        EXPECT_GT(demo().calls("GetBookPages"), pageListsAtTheReturn)
            << "the page list is asked again for the new loan";
        EXPECT_EQ(pagesOfTable(kBook), allPages(kPages))
            << "the page table in " << itemFolder(kBook);
        EXPECT_EQ(pagesOnDisk(kBook, kPages), allPages(kPages)) << "the new loan stays on disk";
    }
};

// A borrowed book read through opens from the shelf with the service out of reach, every page
// drawn from its file.
TEST_F(OfflineJourney, ABorrowReadThroughOpensOffline) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadTheBook());
    closeReader();
    restartOffline();
    readTheBookOffline();
}

// A return and a new borrow in one run, walked with the service's list of the member's books as
// quick as it is, and slow (each byte of its reply after a pause): the shelves' update that the
// return starts then answers after the new borrow, with the list from before it.
class ReturnedAndBorrowedAgain : public OfflineJourney, public ::testing::WithParamInterface<bool> {
  protected:
    void listTheBooksSlowlyWhenAsked() {
        if (GetParam())
            demo().service->setFault("GetMetaBookInfos", demo::Fault::drip(0.005));
    }
};

// Borrowed, opened, closed, returned in its detail and borrowed again there: the new loan has its
// page table, and the book opens offline.
TEST_P(ReturnedAndBorrowedAgain, InTheDetail) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadTheBook());
    closeReader();
    ASSERT_TRUE(detailShowsWithoutOverlay(kBookAuthor));
    listTheBooksSlowlyWhenAsked();
    click(detailAction(QStringLiteral("คืน")));
    ASSERT_TRUE(waitFor([&] { return !demo().catalogue().hasItem(kNok, kBook); }))
        << "the service has it back; alerts: " << alertsText();
    ASSERT_NO_FATAL_FAILURE(borrowAgainInTheDetail(demo().calls("GetBookPages")));
    restartOffline();
    readTheBookOffline();
}

// Read now and closed (the loan goes back), then borrowed in the detail: the new loan has its
// page table, and the book opens offline.
TEST_P(ReturnedAndBorrowedAgain, AfterReadNow) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    openShown(kBookTitle);
    click(detailAction(QStringLiteral("หยิบอ่าน")));
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, 30000))
        << "read now opens the reader; alerts: " << alertsText();
    ASSERT_TRUE(readThrough(kBook, kPages));
    listTheBooksSlowlyWhenAsked();
    closeReader();
    ASSERT_TRUE(waitFor([&] { return !demo().catalogue().hasItem(kNok, kBook); }))
        << "the read-now loan goes back; alerts: " << alertsText();
    ASSERT_NO_FATAL_FAILURE(borrowAgainInTheDetail(demo().calls("GetBookPages")));
    restartOffline();
    readTheBookOffline();
}

INSTANTIATE_TEST_SUITE_P(OfflineJourney, ReturnedAndBorrowedAgain, ::testing::Bool(),
                         [](const auto& info) {
                             return info.param ? "WithTheBookListSlow" : "WithTheBookListQuick";
                         });

// The program ended while the pages were being checked (the check of page 2 held, so that it and
// the pages behind it were not checked yet), by its window's close and by SIGTERM: the page
// files stay, and at the offline start every page on disk is checked and drawn.
class EndedDuringThePageChecks : public OfflineJourney,
                                 public ::testing::WithParamInterface<Ending> {};

TEST_P(EndedDuringThePageChecks, EveryPageOnDiskIsCheckedAtTheOfflineStart) {
    constexpr int kHeld = 2;
    const auto folder = testing_support::freshTestFolder();
    const auto started = folder / "started";
    // Page 2's check waits until the program ends; every other page's runs the program's checker.
    const auto checker = testing_support::checkerScript(
        folder, "checker-holding-a-page",
        "case \"$1\" in */PAGE_PDF_" + std::to_string(kHeld) + ") : > '" + started.string() +
            "'; exec sleep 600;; esac\nexec '" + ui::PdfPageCheck::program().string() +
            "' \"$@\"\n");
    {
        testing_support::ScopedEnvironment holding;
        holding.set("VARNEL_PDF_CHECK", checker.string());
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(borrowShown(kBookTitle));
        ASSERT_TRUE(waitFor(
            [&] {
                return std::filesystem::exists(started) &&
                       pagesOnDisk(kBook, kPages) == allPages(kPages);
            },
            30000))
            << "every page arrives and the check of page " << kHeld << " waits";
        end(GetParam());
    }
    EXPECT_EQ(pagesOnDisk(kBook, kPages), allPages(kPages)) << "the page files stay";
    EXPECT_FALSE(ui::PdfPageCheck::keptVerdict(pageFile(kBook, kHeld)))
        << "page " << kHeld << " was not checked";

    demo().stop();
    startAgain();
    readTheBookOffline();
    for (const int i : allPages(kPages)) {
        const auto verdict = ui::PdfPageCheck::keptVerdict(pageFile(kBook, i));
        EXPECT_TRUE(verdict && verdict->usable) << "page " << i << " is checked";
    }
}

INSTANTIATE_TEST_SUITE_P(OfflineJourney, EndedDuringThePageChecks,
                         ::testing::Values(Ending::WindowClosed, Ending::Terminated),
                         JourneyTest::endingTestName);

// Signed out over the shelf and signed in again as the same member: the book stays on disk and
// opens offline.
TEST_F(OfflineJourney, SignedOutAndInAgain) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadTheBook());
    closeReader();
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfCell(kBookTitle) && shelvesUpdated(); }))
        << shownTexts(content());
    openAccountSheet();
    click(byText<QAbstractButton>(QStringLiteral("ออกจากระบบ"), false, window()->settingWindow()));
    ASSERT_TRUE(waitFor([&] { return signedInMember().empty(); }));
    ASSERT_TRUE(waitFor([&] { return !shelfCell(kBookTitle) && shelvesUpdated(); }))
        << "the shelf lets the member's book go:\n"
        << shownTexts(content());
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return shelfCell(kBookTitle) && shelvesUpdated(); }))
        << "the book is on the shelf again:\n"
        << shownTexts(content());
    EXPECT_EQ(pagesOnDisk(kBook, kPages), allPages(kPages)) << "the member's book stays on disk";
    restartOffline();
    readTheBookOffline();
}

// The offline start's updates have ended (the session restore failed, the shelves gave up) before
// the member opens the book: it opens from what lies on disk. Its opening asks the service for
// nothing, so it does not show whether a request after the failed restore is held (the opening of
// a book without its page table, which asks, does).
TEST_F(OfflineJourney, OpenedOnceTheOfflineUpdatesHaveEnded) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadTheBook());
    closeReader();
    restartOffline();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }, kOfflineBound))
        << "the shelves' updates end with the service out of reach";
    readTheBookOffline();
}

// Started with the service out of reach, which comes back in the same run: opened from the shelf,
// the book fetches the pages it lacks, with no restart.
TEST_F(OfflineJourney, TheServiceBackInTheSameRunFetchesWhatIsMissing) {
    // Pages 3 and 4 wait on the service until the program has ended.
    for (const int i : {3, 4})
        demo().service->setFault(
            "/content/" + std::string(kBook) + "/PAGE_" + std::to_string(i) + ".pdf",
            demo::Fault::stall());
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    ASSERT_NO_FATAL_FAILURE(borrowShown(kBookTitle));
    ASSERT_TRUE(waitFor([&] {
        return demo().service->stalledCount() == 2 &&
               pagesOnDisk(kBook, kPages) == std::vector<int>{0, 1, 2};
    })) << "pages 0 to 2 arrive, 3 and 4 wait";
    closeReader();
    restartOffline();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }, kOfflineBound))
        << "the shelves' updates end with the service out of reach";

    ASSERT_TRUE(demo().start());
    alerts_->messages.clear();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, kOfflineBound))
        << "the reader opens; alerts: " << alertsText();
    EXPECT_TRUE(readThrough(kBook, kPages, kOfflineBound)) << "the missing pages are fetched";
    EXPECT_TRUE(waitFor([&] { return !downloadBarShows(shelfCell(kBookTitle)); }))
        << "the download bar ends";
    EXPECT_EQ(alertsText(), "");
}

// The first road with a magazine issue: borrowed, read through, opened offline from the magazine
// shelf.
TEST_F(OfflineJourney, AnIssueReadThroughOpensOffline) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_mag");
    ASSERT_NO_FATAL_FAILURE(borrowShown(kIssueTitle));
    ASSERT_EQ(readerCode(), kIssue);
    ASSERT_TRUE(readThrough(kIssue, kPages));
    closeReader();
    restartOffline();
    EXPECT_EQ(pagesOnDisk(kIssue, kPages), allPages(kPages)) << "the issue lies on disk";
    openFromShelfAndSeeEveryPageOnDisk(kIssueTitle, kIssue, kPages, kOfflineBound);
}

// A book whose page table went, opened offline at once and once the session restore has failed:
// the shelf says it cannot connect, within the bound, and the cell's download bar ends; no
// reader opens.
class WithoutItsPageTable : public OfflineJourney, public ::testing::WithParamInterface<bool> {};

TEST_P(WithoutItsPageTable, ABookSaysItCannotConnectOffline) {
    const bool afterTheRestoreFailed = GetParam();
    ASSERT_NO_FATAL_FAILURE(borrowAndReadTheBook());
    closeReader();
    quit();
    ASSERT_TRUE(std::filesystem::remove(itemFolder(kBook) / "VnPageInfo.table.json"));
    demo().stop();
    startAgain();
    if (afterTheRestoreFailed) {
        ASSERT_TRUE(waitFor([&] { return shelvesUpdated(); }, kOfflineBound))
            << "the shelves' updates end with the service out of reach";
    }
    alerts_->messages.clear();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    expectToldItCannotConnect(kBookTitle, kOfflineBound);
}

INSTANTIATE_TEST_SUITE_P(OfflineJourney, WithoutItsPageTable, ::testing::Bool(),
                         [](const auto& info) {
                             return info.param ? "OpenedAfterTheRestoreFailed" : "OpenedAtOnce";
                         });

}  // namespace
