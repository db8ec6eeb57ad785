// Journeys of a member whose borrowed book never got its first page: the program ended while the
// service held that page, once the page list and the page metadata were kept. At the next start
// the book opened from the shelf with the service out of reach ends its download with the usual
// message, and opens once the service is back; a first page that is only slow is waited for.
#include <filesystem>

#include "JourneySupport.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";

// A small book: the demo's own, made short.
constexpr const char* kBook = "BK0003";
const QString kBookTitle = QStringLiteral("The Little Prince");
constexpr int kPages = 5;

// How long an opening from the shelf may take to show the reader or a message with the service
// out of reach, with one tick of the issue's page retries beyond it.
constexpr int kRetryTick = static_cast<int>(VnMagazineIssueContext::kRetryInterval * 1000);
constexpr int kBound = 30000 + kRetryTick;

class FirstPageJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    static std::string firstPagePath() { return "/content/" + std::string(kBook) + "/PAGE_0.pdf"; }

    // Signed in, the book borrowed in its detail while the service holds its first page: its
    // page table and its page metadata are on disk, its first page's download is held, and no
    // reader shows.
    void borrowWithTheFirstPageHeld() {
        demo().service->setFault(firstPagePath(), demo::Fault::stall());
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        openShown(kBookTitle);
        click(detailAction(QStringLiteral("ยืม")));
        namespace fs = std::filesystem;
        ASSERT_TRUE(waitFor(
            [&] {
                return demo().service->stalledCount() == 1 &&
                       fs::exists(itemFolder(kBook) / "VnPageInfo.table.json") &&
                       fs::exists(itemFolder(kBook) / "XML_XML_0");
            },
            30000))
            << "the page list and the metadata are kept and the first page is held; lent: "
            << demo().catalogue().hasItem(kNok, kBook) << "; alerts: " << alertsText();
        EXPECT_EQ(readerWindow(), nullptr);
        EXPECT_TRUE(pagesOnDisk(kBook, kPages).empty());
    }
};

// Ended by its window's close and by SIGTERM with the first page held; started again with the
// service out of reach: the book opened from the shelf says it cannot connect within the bound,
// once, with its download bar ended and no reader. The service back in the same run, the book
// opens with the next double click and reads through.
class EndedBeforeTheFirstPageArrived : public FirstPageJourney,
                                       public ::testing::WithParamInterface<Ending> {};

TEST_P(EndedBeforeTheFirstPageArrived, OpensOfflineToTheMessageThenWithTheServiceBack) {
    ASSERT_NO_FATAL_FAILURE(borrowWithTheFirstPageHeld());
    restartOffline(GetParam());
    alerts_->messages.clear();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    expectToldItCannotConnect(kBookTitle, kBound);

    ASSERT_TRUE(demo().start());
    alerts_->messages.clear();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, kBound))
        << "the reader opens with the service back; alerts: " << alertsText()
        << "; the cell's download bar shows: " << downloadBarShows(shelfCell(kBookTitle));
    EXPECT_TRUE(readThrough(kBook, kPages, kBound));
    EXPECT_TRUE(waitFor([&] { return !downloadBarShows(shelfCell(kBookTitle)); }))
        << "the download bar ends";
    EXPECT_EQ(alertsText(), "");
}

INSTANTIATE_TEST_SUITE_P(FirstPageJourney, EndedBeforeTheFirstPageArrived,
                         ::testing::Values(Ending::WindowClosed, Ending::Terminated),
                         JourneyTest::endingTestName);

// Started again with the service there but holding the first page again: the opening from the
// shelf waits past a tick of the page retries, with no message and no reader, and the book opens
// once the page comes.
TEST_F(FirstPageJourney, AFirstPageThatIsOnlySlowIsWaitedFor) {
    ASSERT_NO_FATAL_FAILURE(borrowWithTheFirstPageHeld());
    quit();
    demo().stop();
    ASSERT_TRUE(demo().start());
    demo().service->setFault(firstPagePath(), demo::Fault::stall());
    startAgain();
    alerts_->messages.clear();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    ASSERT_TRUE(waitFor([&] { return demo().service->stalledCount() == 1; }, kBound))
        << "the first page is asked for and held; alerts: " << alertsText();
    EXPECT_FALSE(
        waitFor([&] { return !alerts_->messages.empty() || readerWindow(); }, kRetryTick + 2000))
        << "the opening keeps waiting; alerts: " << alertsText();

    demo().service->clearFaults();
    demo().service->releaseStalled();
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, kBound))
        << "the reader opens once the page comes; alerts: " << alertsText();
    EXPECT_TRUE(readThrough(kBook, kPages, kBound));
    EXPECT_TRUE(waitFor([&] { return !downloadBarShows(shelfCell(kBookTitle)); }))
        << "the download bar ends";
    EXPECT_EQ(alertsText(), "");
}

}  // namespace
