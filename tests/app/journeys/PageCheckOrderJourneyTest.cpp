// A member reads a borrowed book with the service out of reach after the program ended while the
// book's pages waited for their checks: the page the member turns to is checked before the pages
// waiting ahead of it, and drawn without waiting for them.
#include <QElapsedTimer>
#include <algorithm>
#include <fstream>

#include "JourneySupport.h"
#include "app/library/IssueMetadataDownloader.h"
#include "support/PdfFixtures.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kBook = "BK0003";
const QString kBookTitle = QStringLiteral("The Little Prince");
constexpr int kPages = 30;
constexpr int kLast = kPages - 1;
// How long the reader may take to open offline, and the last page to be drawn once the checks go
// on (each check is a program of its own).
constexpr int kBound = 30000;

// A checker that adds the name of the file it was given as a line to "<folder>/runs" (the files
// in the order their checks began); the first page's check then waits until "<folder>/first"
// exists, and the check of any other page but the last until "<folder>/rest" exists or it can
// take "<folder>/one" away (one such check goes on each time that file is made); then the
// program's checker runs.
std::filesystem::path gatedChecker(const std::filesystem::path& folder) {
    const std::string runs = (folder / "runs").string(), first = (folder / "first").string(),
                      rest = (folder / "rest").string(), one = (folder / "one").string(),
                      last = std::to_string(kLast);
    return testing_support::checkerScript(
        folder, "gated-checker",
        "basename \"$1\" >> '" + runs + "'\n" +                                        //
            "case \"$1\" in\n" +                                                       //
            "  */PAGE_PDF_0) until [ -e '" + first + "' ]; do sleep 0.02; done;;\n" +  //
            "  */PAGE_PDF_" + last + ") ;;\n" +                                        //
            "  *) until [ -e '" + rest + "' ] || mv '" + one + "' '" + one +           //
            ".taken' 2>/dev/null; do sleep 0.02; done;;\n" +                           //
            "esac\n" +                                                                 //
            "exec '" + ui::PdfPageCheck::program().string() + "' \"$@\"\n");
}

class PageCheckOrderJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    // Whether the shelf's opening of the book is over (the reader may show before it is: the
    // opening's end shows it again at the page last viewed).
    bool openingOver() const {
        const auto all = shelves();
        const auto downloader = all.empty() || !all[0]
                                    ? nullptr
                                    : std::dynamic_pointer_cast<PdfIssueMetadataDownloader>(
                                          all[0]->metadataDownloader());
        return !downloader || downloader->finished();
    }

    // Borrowed, and the program ended by its window's close while the first page's check was
    // held: every page lies on disk, none checked.
    void endWithEveryPageUnchecked() {
        const auto ended = testing_support::freshTestFolder();
        testing_support::ScopedEnvironment holding;
        holding.set("VARNEL_PDF_CHECK",
                    testing_support::heldChecker(ended, ui::PdfPageCheck::program()).string());
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(borrowShown(kBookTitle));
        ASSERT_TRUE(waitFor(
            [&] {
                return std::filesystem::exists(ended / "started") &&
                       pagesOnDisk(kBook, kPages) == allPages(kPages);
            },
            60000))
            << "every page arrives while the first page's check waits";
        quit();
        for (const int i : allPages(kPages))
            ASSERT_FALSE(ui::PdfPageCheck::keptVerdict(pageFile(kBook, i))) << "page " << i;
    }

    // The shelf screen, and on it the book's cover (the button over it).
    void findTheCoverOnTheShelf(QAbstractButton*& cover) {
        showShelf();
        QWidget* cell = nullptr;
        ASSERT_TRUE(waitFor([&] { return (cell = shelfCell(kBookTitle)) != nullptr; }));
        cover = buttonNear(byText<QLabel>(kBookTitle, false, cell));
        ASSERT_TRUE(cover);
    }

    // Waits until the condition holds while the book's checks go on one after another: it fails
    // only when no check has ended and no page been drawn within a member's wait of the one
    // before, however long the whole queue takes on a busy machine.
    static bool waitWhileChecksGoOn(const std::function<bool()>& condition) {
        const auto progress = [] {
            int done = 0;
            for (const int i : allPages(kPages)) {
                done += ui::PdfPageCheck::keptVerdict(pageFile(kBook, i)) ? 1 : 0;
                done += drawn(i) ? 1 : 0;
            }
            return done;
        };
        for (int seen = progress(); !condition(); seen = progress()) {
            if (!waitFor([&] { return condition() || progress() != seen; },
                         testing_support::memberWait()))
                return false;
        }
        return true;
    }

    // Whether the reader's slot shows the page drawn from its file (checked, no placeholder).
    static bool drawn(int index) {
        const auto reader = readerController();
        const auto* view = reader ? reader->pdfView() : nullptr;
        const auto document = view ? view->document() : nullptr;
        const auto page = document ? document->pageAtIndex(index) : nullptr;
        return page && !page->isImagePage() && page->isChecked() && !page->error();
    }
};

// Borrowed, and the program ended by its window's close while the first page's check was held:
// every page lies on disk, none checked. Started again with the service out of reach, the book
// opened from the shelf while the first page's check is held again, the member presses End in the
// page view once the opening is over. Once the first page's check goes on, the last page is checked
// next and drawn within the bound, while the checks of the pages before it are still held; once
// they go on too, every page is checked once and drawn.
TEST_F(PageCheckOrderJourney, TheLastPageTurnedToOfflineIsCheckedBeforeThePagesBeforeIt) {
    ASSERT_NO_FATAL_FAILURE(endWithEveryPageUnchecked());

    const auto folder = testing_support::freshTestFolder();
    testing_support::ScopedEnvironment checking;
    checking.set("VARNEL_PDF_CHECK", gatedChecker(folder).string());
    demo().stop();
    startAgain();
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook && openingOver(); }, kBound))
        << "the reader opens; alerts: " << alertsText();
    const auto reader = readerController();
    press(reader->pdfView(), Qt::Key_End);
    ASSERT_TRUE(waitFor([&] { return reader->currentPageIndex() >= kLast - 1; }))
        << "the page view shows the last spread";

    const auto checked = [&] {
        std::vector<std::string> names;
        std::ifstream runs(folder / "runs");
        for (std::string line; std::getline(runs, line);)
            names.push_back(line);
        return names;
    };
    const auto pagesFirst = [&] {
        std::string pages;
        for (const int32_t page : reader->uiContext()->pagesCheckedFirst())
            pages += " " + std::to_string(page);
        return pages;
    };
    const auto begun = [&] {
        std::string names;
        for (const auto& name : checked())
            names += " " + name;
        return names;
    };
    const std::string lastPage = pageFile(kBook, kLast).filename().string();
    std::ofstream(folder / "first");
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(waitFor([&] { return drawn(kLast); }, kBound))
        << "the last page is drawn within " << kBound
        << " ms, the pages before it still waiting; checks begun:" << begun()
        << "; pages first:" << pagesFirst();
    const auto before = checked();
    const auto lastAt = std::find(before.begin(), before.end(), lastPage);
    ASSERT_TRUE(lastAt != before.end()) << "the last page was checked; checks begun:" << begun();
    // Before it: the first page, whose check was under way, and at most one page shown with it.
    EXPECT_LE(lastAt - before.begin(), 2)
        << "checks before the last page's: " << lastAt - before.begin() << "; it was drawn "
        << clock.elapsed() << " ms after the first page's check went on";

    std::ofstream(folder / "rest");
    std::string why;
    EXPECT_TRUE(waitWhileChecksGoOn([&] {
        return (why = pagesOnDiskNotDrawn(kBook, kPages)).empty() &&
               reader->uiContext()->checkQueueIdle();
    })) << why;
    auto all = checked();
    std::sort(all.begin(), all.end());
    std::vector<std::string> every;
    for (const int i : allPages(kPages))
        every.push_back(pageFile(kBook, i).filename().string());
    std::sort(every.begin(), every.end());
    EXPECT_EQ(all, every) << "every page is checked once";
}

// Held with every page unchecked (as above), the book opened offline: a double click whose second
// click comes once the first page is there but its check still waits shows the reader before the
// opening is over (the reader has the issue check the pages found on disk unchecked, from the page
// last viewed on). The member turns a page at once. Once the first page's check ends, the opening
// ends with it (the cell's bar ended), the other pages still waiting for their checks; the reader
// stays on the page turned to, and Close keeps that page as the last viewed.
TEST_F(PageCheckOrderJourney, APageTurnedToBeforeTheOpeningEndsStays) {
    ASSERT_NO_FATAL_FAILURE(endWithEveryPageUnchecked());
    const auto folder = testing_support::freshTestFolder();
    testing_support::ScopedEnvironment checking;
    checking.set("VARNEL_PDF_CHECK", gatedChecker(folder).string());
    demo().stop();
    startAgain();
    QAbstractButton* cover = nullptr;
    ASSERT_NO_FATAL_FAILURE(findTheCoverOnTheShelf(cover));
    click(cover);
    ASSERT_TRUE(waitFor([&] {
        const auto& downloader = shelves()[0]->metadataDownloader();
        return downloader && downloader->isReadyForDisplay();
    })) << "the first page is there";
    ASSERT_FALSE(openingOver()) << "the first page's check holds the opening";
    click(cover);
    ASSERT_EQ(readerCode(), kBook) << "the second click shows the reader";
    const auto reader = readerController();
    const int opened = reader->currentPageIndex();
    press(reader->pdfView(), Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return reader->currentPageIndex() > opened; })) << "the page turns";
    const int turned = reader->currentPageIndex();

    std::ofstream(folder / "first");
    ASSERT_TRUE(
        waitFor([&] { return openingOver() && !downloadBarShows(shelfCell(kBookTitle)); }, kBound))
        << "the opening ends";
    EXPECT_GT(reader->uiContext()->pagesBeingChecked(), 0)
        << "the opening ended with the other pages' checks";
    std::ofstream(folder / "rest");
    EXPECT_EQ(readerCode(), kBook);
    EXPECT_EQ(reader->currentPageIndex(), turned) << "the reader stays on the page turned to";
    const auto ui = reader->uiContext();
    closeReader();
    EXPECT_EQ(ui->userLastViewedPageIndex(), turned) << "Close keeps the page the member left";
    EXPECT_EQ(alertsText(), "");
}

// One click: only the opening's end shows the reader, and a page turned to at once stays.
TEST_F(PageCheckOrderJourney, APageTurnedToAsSoonAsTheReaderShowsStays) {
    ASSERT_NO_FATAL_FAILURE(endWithEveryPageUnchecked());
    demo().stop();
    startAgain();
    QAbstractButton* cover = nullptr;
    ASSERT_NO_FATAL_FAILURE(findTheCoverOnTheShelf(cover));
    click(cover);
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, kBound)) << alertsText();
    EXPECT_TRUE(openingOver()) << "the reader shows before the opening's end";
    const auto reader = readerController();
    const int opened = reader->currentPageIndex();
    press(reader->pdfView(), Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return reader->currentPageIndex() > opened; })) << "the page turns";
    const int turned = reader->currentPageIndex();
    ASSERT_TRUE(
        waitFor([&] { return openingOver() && !downloadBarShows(shelfCell(kBookTitle)); }, kBound));
    EXPECT_EQ(reader->currentPageIndex(), turned);
    const auto ui = reader->uiContext();
    closeReader();
    EXPECT_EQ(ui->userLastViewedPageIndex(), turned);
}

// Online, the member borrows the book and presses End as soon as the reader shows. The service
// holds the last page until the pages before it are in, with their interactive files (the issue
// then tells that it has them all), while their checks wait. Once the last page arrives, it is
// checked next and drawn within a member's wait of its check's end, the pages before it still
// waiting for theirs; once they go on, every page is drawn.
TEST_F(PageCheckOrderJourney, TheLastPageTurnedToOnlineIsDrawnOnceItIsChecked) {
    const auto folder = testing_support::freshTestFolder();
    testing_support::ScopedEnvironment checking;
    std::ofstream(folder / "first");  // the first page's check goes on at once
    checking.set("VARNEL_PDF_CHECK", gatedChecker(folder).string());
    demo().service->setFault(
        "/content/" + std::string(kBook) + "/PAGE_" + std::to_string(kLast) + ".pdf",
        demo::Fault::stall());
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    ASSERT_NO_FATAL_FAILURE(borrowShown(kBookTitle));
    const auto reader = readerController();
    press(reader->pdfView(), Qt::Key_End);
    ASSERT_TRUE(waitFor([&] { return reader->currentPageIndex() >= kLast - 1; },
                        testing_support::memberWait()))
        << "the page view shows the last spread";
    const auto ui = reader->uiContext();
    // Downloads, with one round of the issue's retries for a request held past its time-out.
    const int arrivals = kBound + static_cast<int>(VnMagazineIssueContext::kRetryInterval * 1000);
    ASSERT_TRUE(waitFor(
        [&] {
            return ui->finishedPageCount() == kPages - 1 &&
                   !ui->context()->interactiveDownloading();
        },
        arrivals))
        << "the pages before the last arrive with their interactive files; arrived: "
        << ui->finishedPageCount();
    demo().service->clearFaults();
    demo().service->releaseStalled();

    const auto lastChecked = [&] {
        const auto verdict = ui::PdfPageCheck::keptVerdict(pageFile(kBook, kLast));
        return verdict && verdict->usable;
    };
    ASSERT_TRUE(waitFor([&] { return lastChecked() || ui->pageBeingChecked(kLast); }, arrivals))
        << "the last page arrives";
    // The check under way goes on, and those of the pages shown with the last that come before
    // it, one at a time, until the last page's is over; the others wait.
    ASSERT_TRUE(waitFor(
        [&] {
            if (!std::filesystem::exists(folder / "one"))
                std::ofstream(folder / "one");
            return lastChecked();
        },
        kBound))
        << "the last page is checked";
    EXPECT_TRUE(waitFor([&] { return drawn(kLast); }, testing_support::memberWait()))
        << "the last page is drawn within a member's wait of its check; pages waiting for their "
           "checks: "
        << ui->pagesBeingChecked();
    EXPECT_GT(ui->pagesBeingChecked(), 0) << "the pages before it wait for their checks";

    std::ofstream(folder / "rest");
    std::string why;
    EXPECT_TRUE(waitWhileChecksGoOn([&] {
        return (why = pagesOnDiskNotDrawn(kBook, kPages)).empty() && ui->checkQueueIdle();
    })) << why;
}

}  // namespace
