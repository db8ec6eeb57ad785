// Journeys of the member's shelf and the files of what the member borrowed: a book read through
// keeps its files when the member signs out and when another member signs in, and opens from the
// shelf with the service away; a book returned and borrowed again at once, while the shelves'
// question about the member's loans is still unanswered, stays in the local library with its new
// files; a copy claimed in the reservation queue reaches the shelf.
#include <algorithm>
#include <filesystem>
#include <set>

#include "JourneySupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "platform_ui/pdf/PdfDocument.h"
#include "platform_ui/pdf/PdfPage.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";
constexpr const char* kNok = "nok@example.com";
constexpr const char* kBook = "BK0004";  // lent, not free: a removal takes it out of the library
const QString kTitle = QStringLiteral("Thai Economy in Transition");
constexpr int kPages = 8;

bool holds(const std::string& member, const std::string& code) {
    const auto loans = DemoLibrary::shared().catalogue().loans(member);
    return std::any_of(loans.begin(), loans.end(),
                       [&](const demo::SampleLoan& l) { return l.bookCode == code; });
}

Ref<ReaderViewController> shownReader() {
    const auto window = std::dynamic_pointer_cast<ReaderWindowController>(
        GlobalService::globalShared()->readerViewController());
    return window ? window->readerViewController() : nullptr;
}

// Whether the reader shows every page of the book, each from its own file (none a placeholder).
bool readerDrawsEveryPage() {
    const auto reader = shownReader();
    const auto& document = reader ? reader->mainDocument() : nullptr;
    if (!document || document->pageCount() != kPages)
        return false;
    for (int i = 0; i < kPages; ++i) {
        if (document->pageAtIndex(i)->isImagePage())
            return false;
    }
    return true;
}

// What the book's folder holds of its reading: its page files (with their kept checks), its page
// table and its page record with the pages it keeps.
struct Folder {
    std::set<std::string> pageFiles;
    bool pageTable = false;
    size_t recordedPages = 0;
    // Every page's file, the page table, and every page in the page record.
    bool whole() const {
        for (int i = 0; i < kPages; ++i) {
            if (!pageFiles.count("PAGE_PDF_" + std::to_string(i)))
                return false;
        }
        return pageTable && recordedPages == kPages;
    }
    bool operator==(const Folder&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Folder& folder) {
    for (const auto& name : folder.pageFiles)
        out << name << " ";
    out << folder.pageFiles.size() << " page files,"
        << (folder.pageTable ? " the page table, " : " no page table, ") << folder.recordedPages
        << " pages recorded";
    return out;
}

class ShelfJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        // The book on eight pages, so that it arrives whole quickly.
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    Folder folder(const std::string& code) const {
        Folder seen;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(itemFolder(code), error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("PAGE_", 0) == 0)
                seen.pageFiles.insert(name);
            seen.pageTable = seen.pageTable || name == "VnPageInfo.table.json";
        }
        seen.recordedPages =
            IssuePageRecord::read(itemFolder(code) / IssuePageRecord::kFileName, code).size();
        return seen;
    }

    static Ref<LibraryMainView> libraryScreen() {
        const auto container = std::dynamic_pointer_cast<LibraryMainViewController>(
            GlobalService::globalShared()->LibraryViewController());
        return container ? container->libraryMainView() : nullptr;
    }
    // Whether neither shelf runs an update or waits for the answer to its last question about the
    // member's loans.
    static bool shelvesIdle() {
        const auto screen = libraryScreen();
        if (!screen)
            return false;
        for (const auto& shelf :
             {screen->bookLibraryListView(), screen->magazineLibraryListView()}) {
            const auto& state = shelf->getIssueInfoRequest();
            if (shelf->booksRequest() || shelf->magazineIssuesRequest() ||
                (state && state->running()))
                return false;
        }
        return true;
    }
    // Whether both shelves are idle after a question asked since the service had heard `states`.
    static bool shelvesSettledAfter(size_t states) {
        return demo().calls("GetLibraryIssueInfos") > states && shelvesIdle();
    }
    static bool bookShelfLists(const std::string& code) {
        const auto screen = libraryScreen();
        const auto& books = screen ? screen->bookLibraryListView()->libraryBooks() : std::nullopt;
        return books && std::any_of(books->begin(), books->end(),
                                    [&](const auto& book) { return book->code() == code; });
    }

    // Signed in as the member, the book borrowed from its detail and read through: every page
    // has arrived and is kept in the page record; the reader is closed.
    void borrowAndReadThrough(const std::string& member) {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(member));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(borrowShown(kTitle));
        ASSERT_TRUE(waitFor(readerDrawsEveryPage, 60000)) << "the book arrives whole";
        ASSERT_TRUE(waitFor([&] { return folder(kBook).whole(); }))
            << "its folder keeps it: " << folder(kBook);
        closeReader();
    }

    // Started again on the same home with the service away: the shelf opens the book, every page
    // drawn from the files kept.
    void opensOfflineFromTheShelf() {
        demo().stop();
        restart();
        showShelf();
        ASSERT_TRUE(waitFor([&] { return shelfShows(kTitle); })) << shownTexts(content());
        openShown(kTitle);
        ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }))
            << "the reader opens; alerts: " << alertsText();
        EXPECT_TRUE(waitFor(readerDrawsEveryPage)) << "every page is drawn from its file";
    }
};

// Signing out, with the shelf shown, and another member signing in leave the files of the book
// the member read; signed in again, the member reads it with the service away.
TEST_F(ShelfJourney, SigningOutOverTheShelfAndAnotherMembersSignInKeepTheBooksFiles) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadThrough(kNok));
    const Folder read = folder(kBook);
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows(kTitle); })) << shownTexts(content());

    size_t states = demo().calls("GetLibraryIssueInfos");
    ASSERT_NO_FATAL_FAILURE(signOut());
    ASSERT_TRUE(waitFor([&] { return shelvesSettledAfter(states); }))
        << "the shelves load what the device keeps";
    EXPECT_EQ(folder(kBook), read) << "the member's files stay after the sign-out";
    EXPECT_TRUE(holds(kNok, kBook));
    EXPECT_FALSE(shelfShows(kTitle)) << shownTexts(content());

    states = demo().calls("GetLibraryIssueInfos");
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_TRUE(waitFor([&] { return shelvesSettledAfter(states) && shelfShows("ข้างหลังภาพ"); }))
        << shownTexts(content());
    EXPECT_EQ(folder(kBook), read) << "another member's sign-in leaves them";

    ASSERT_NO_FATAL_FAILURE(signOut());
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return shelfShows(kTitle); })) << shownTexts(content());
    EXPECT_EQ(folder(kBook), read);
    ASSERT_NO_FATAL_FAILURE(opensOfflineFromTheShelf());
}

// Signing out while the shelf is not shown (the book's detail is) leaves the files alike.
TEST_F(ShelfJourney, SigningOutAwayFromTheShelfKeepsTheBooksFiles) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadThrough(kNok));
    const Folder read = folder(kBook);
    ASSERT_TRUE(detailShowsWithoutOverlay(QStringLiteral("Somsak Wongsa")));

    const size_t states = demo().calls("GetLibraryIssueInfos");
    ASSERT_NO_FATAL_FAILURE(signOut());
    ASSERT_TRUE(waitFor([&] { return shelvesSettledAfter(states); }));
    EXPECT_EQ(folder(kBook), read) << "the member's files stay after the sign-out";
    EXPECT_TRUE(holds(kNok, kBook));

    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return bookShelfLists(kBook); }));
    EXPECT_EQ(folder(kBook), read);
    ASSERT_NO_FATAL_FAILURE(opensOfflineFromTheShelf());
}

// The book returned from its detail and borrowed again at once, while the service holds the
// shelves' questions about the member's loans that the return's refresh asked: answered after the
// borrow's own, they leave the book in the local library with the files and the page record of
// its new opening. Returned and borrowed again while the return's update itself is held, the
// borrow's own update runs beside it. The book lists on the shelf of a new start with the service
// away.
TEST_F(ShelfJourney, AnAnswerAskedBeforeABorrowLeavesTheNewLoanInTheLocalLibrary) {
    ASSERT_NO_FATAL_FAILURE(borrowAndReadThrough(kNok));
    ASSERT_TRUE(detailShowsWithoutOverlay(QStringLiteral("Somsak Wongsa")));
    ASSERT_TRUE(waitFor([&] { return shelvesIdle() && bookShelfLists(kBook); }));
    const auto screen = libraryScreen();
    const auto& books = screen->bookLibraryListView();
    const auto& magazines = screen->magazineLibraryListView();
    const auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    // The new loan in the local library, shown and not hidden, with every file of its opening.
    const auto newLoanKept = [&] {
        Ref<VnMagazineIssueInfo> kept;
        const auto local = user->bookLibraryDomain()->takeLocalSnapshot();
        for (const auto& item : local->items())
            if (item->code() == kBook)
                kept = VnMagazineIssueInfoProxy::recordOf(item);
        ASSERT_TRUE(kept && user->hasIssueInLibrary(kept))
            << "the new loan stays in the local library";
        EXPECT_FALSE(kept->hiddenFromLibrary_);
        EXPECT_TRUE(bookShelfLists(kBook));
        EXPECT_TRUE(waitFor([&] { return folder(kBook).whole(); }))
            << "the new opening's files and page record are kept: " << folder(kBook);
    };

    // The return looks the loan up first; the two questions of its refresh (one from each shelf)
    // are held.
    demo::Fault held = demo::Fault::stall();
    held.afterCalls = 1;
    held.calls = 2;
    demo().service->setFault("GetLibraryIssueInfos", held);
    click(detailAction(QStringLiteral("คืน")));
    ASSERT_TRUE(waitFor([&] {
        return !holds(kNok, kBook) && demo().service->stalledCount() == 2 && !overlayShows();
    })) << "the return's refresh asks about the loans; alerts: "
        << alertsText();
    const Ref<VnRequestContext> askedBefore[] = {books->getIssueInfoRequest(),
                                                 magazines->getIssueInfoRequest()};
    // Emptied by the return: what the folder holds later is the new opening's.
    ASSERT_EQ(folder(kBook), Folder{});
    for (const auto& asked : askedBefore)
        ASSERT_TRUE(asked && asked->running());

    click(detailAction(QStringLiteral("ยืม")));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
        << "the reader opens; alerts: " << alertsText();
    EXPECT_TRUE(holds(kNok, kBook));
    ASSERT_TRUE(waitFor([&] {
        const auto& asked = books->getIssueInfoRequest();
        return asked && asked != askedBefore[0] && !asked->running() && bookShelfLists(kBook);
    })) << "the borrow's own update asks about the book";
    ASSERT_TRUE(waitFor(readerDrawsEveryPage, 60000)) << "the book arrives whole again";

    // The questions asked before the borrow are answered now, without the book they did not ask
    // about.
    demo().service->clearFaults();
    demo().service->releaseStalled();
    ASSERT_TRUE(waitFor([&] {
        return demo().service->stalledCount() == 0 &&
               std::none_of(std::begin(askedBefore), std::end(askedBefore),
                            [](const auto& asked) { return asked->running(); });
    }));
    ASSERT_NO_FATAL_FAILURE(newLoanKept());
    closeReader();

    // Again, the return's update held this time.
    ASSERT_TRUE(detailShowsWithoutOverlay(QStringLiteral("Somsak Wongsa")));
    ASSERT_TRUE(waitFor([&] { return shelvesIdle(); }));
    demo::Fault listHeld = demo::Fault::stall();
    listHeld.calls = 1;
    demo().service->setFault("GetMetaBookInfos", listHeld);
    const size_t lists = demo().calls("GetMetaBookInfos");
    click(detailAction(QStringLiteral("คืน")));
    ASSERT_TRUE(waitFor([&] {
        return !holds(kNok, kBook) && demo().calls("GetMetaBookInfos") == lists + 1 &&
               demo().service->stalledCount() == 1 && !overlayShows();
    })) << alertsText();
    click(detailAction(QStringLiteral("ยืม")));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    EXPECT_TRUE(waitFor([&] { return demo().calls("GetMetaBookInfos") > lists + 1; }))
        << "the borrow's own update runs beside the return's";
    ASSERT_TRUE(waitFor(readerDrawsEveryPage, 60000));
    demo().service->clearFaults();
    demo().service->releaseStalled();
    ASSERT_TRUE(waitFor([&] { return shelvesIdle() && bookShelfLists(kBook); }));
    ASSERT_NO_FATAL_FAILURE(newLoanKept());
    closeReader();

    demo().stop();
    restart();
    showShelf();
    EXPECT_TRUE(waitFor([&] { return shelfShows(kTitle); }))
        << "the shelf of a new start lists it:\n"
        << shownTexts(content());
}

// A copy claimed in the reservation queue reaches the book shelf at once, the shelf not shown.
TEST_F(ShelfJourney, AClaimedCopyReachesTheShelfAtOnce) {
    auto& catalogue = demo().catalogue();
    ASSERT_TRUE(catalogue.borrow(kSomchai, kBook).success);
    ASSERT_TRUE(catalogue.reserve(kNok, kBook).success);
    ASSERT_TRUE(catalogue.returnLoan(kSomchai, kBook).success);  // held for Nok
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    ASSERT_TRUE(waitFor([&] { return shelvesIdle() && bookShelfLists("BK0005"); }));
    ASSERT_NO_FATAL_FAILURE(claimInTheQueue([] { return holds(kNok, kBook); }));
    EXPECT_TRUE(waitFor([&] { return bookShelfLists(kBook); }))
        << "the shelves update with the claimed copy";
}

}  // namespace
