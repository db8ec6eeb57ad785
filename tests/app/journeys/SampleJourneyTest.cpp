// Journeys of a book's sample beside a loan of the same book: the two share the book's folder.
// Deleting the sample leaves the loan held beside it whole, and a loan taken of a sampled book
// (borrowed, read now, claimed) ends the sample, so that the loan keeps a page list of its own;
// each held book opens with the service out of reach.
#include <algorithm>
#include <filesystem>
#include <set>

#include <QPushButton>
#include <nlohmann/json.hpp>

#include "JourneySupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";
const QString kSampleLine = QStringLiteral("หนังสือตัวอย่าง");

// A book lent (not free: a removal takes it out of the local library) and a free one, both made
// short so that they arrive whole quickly.
struct Book {
    const char* code;
    QString title;
    QString author;
    int pages;
};
const Book kLent{"BK0004", QStringLiteral("Thai Economy in Transition"),
                 QStringLiteral("Somsak Wongsa"), 8};
const Book kFree{"BK0003", QStringLiteral("The Little Prince"),
                 QStringLiteral("Antoine de Saint-Exupéry"), 5};

// How long the reader may take to open from the shelf with the service out of reach.
constexpr int kOfflineBound = 30000;

bool holds(const std::string& member, const std::string& code) {
    const auto loans = DemoLibrary::shared().catalogue().loans(member);
    return std::any_of(loans.begin(), loans.end(),
                       [&](const demo::SampleLoan& l) { return l.bookCode == code; });
}

// What the book's folder holds: its page files, the pages of its page table, the pages of its
// page record, and whether a sample's page table lies there.
struct Folder {
    std::set<std::string> files;  // all but the sample's page table
    std::vector<int> tablePages;
    size_t recordedPages = 0;
    bool sampleTable = false;
    bool operator==(const Folder&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Folder& folder) {
    for (const auto& name : folder.files)
        out << name << " ";
    out << folder.files.size() << " files, a page table of " << folder.tablePages.size()
        << " pages, " << folder.recordedPages << " pages recorded, "
        << (folder.sampleTable ? "a" : "no") << " sample page table";
    return out;
}

class SampleJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        for (const Book& book : {kLent, kFree})
            ASSERT_TRUE(demo().shorten(book.code, book.pages));
    }

    static Folder folder(const std::string& code) {
        Folder seen;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(itemFolder(code), error)) {
            const std::string name = entry.path().filename().string();
            if (name == "VnPageInfo_Sample.table.json")
                seen.sampleTable = true;
            else
                seen.files.insert(name);
        }
        seen.tablePages = pagesOfTable(code);
        seen.recordedPages =
            IssuePageRecord::read(itemFolder(code) / IssuePageRecord::kFileName, code).size();
        return seen;
    }
    // Every page's file, the page table and the page record of the whole book.
    static bool whole(const Folder& seen, const Book& book) {
        for (int i = 0; i < book.pages; ++i) {
            if (!seen.files.count("PAGE_PDF_" + std::to_string(i)))
                return false;
        }
        return seen.tablePages == allPages(book.pages) &&
               seen.recordedPages == static_cast<size_t>(book.pages);
    }

    // How many times the service was asked for the book's page list as a loan's.
    static size_t loanPageLists(const std::string& code) {
        size_t count = 0;
        for (const auto& request : demo().service->requestsForMethod("GetBookPages")) {
            const auto body = nlohmann::json::parse(request.body, nullptr, false);
            count += body.is_object() && body.value("magazineIssueCode", "") == code &&
                     body.value("pageType", "") == "Libraries";
        }
        return count;
    }

    static Ref<VnBookStoreUserContext> member() {
        const auto context = GlobalService::globalShared()->storeContext();
        return context ? context->activeUserContext() : nullptr;
    }
    static bool sampled(const std::string& code) {
        const auto samples = member()->bookSamples();
        return std::any_of(samples.begin(), samples.end(),
                           [&](const auto& sample) { return sample->code() == code; });
    }
    // Whether the member's local library holds the book.
    static bool inLocalLibrary(const std::string& code) {
        const auto user = member();
        const auto local = user->bookLibraryDomain()->takeLocalSnapshot();
        for (const auto& item : local->items()) {
            const auto record = VnMagazineIssueInfoProxy::recordOf(item);
            if (record && record->code() == code && user->hasIssueInLibrary(record))
                return true;
        }
        return false;
    }
    static std::optional<int> lastViewedPage(const std::string& code) {
        const auto stored = member()->userStorage()->objectForKey(code + "/LastViewedPageIndex");
        return stored.isNumber() ? std::optional<int>(stored.intValue()) : std::nullopt;
    }
    // How many times the book shelf lists the book.
    int shelfListings(const std::string& code) const {
        const auto all = shelves();
        const auto& books = all.empty() ? std::nullopt : all[0]->libraryBooks();
        return books ? static_cast<int>(
                           std::count_if(books->begin(), books->end(),
                                         [&](const auto& book) { return book->code() == code; }))
                     : 0;
    }

    // The shelf cell of the book's sample (its line says so) or of its loan; null when none shows.
    QWidget* cellOf(const QString& title, bool sample) const {
        for (QLabel* label :
             widgets<QLabel>([&](QLabel* l) { return l->text() == title; }, true, content())) {
            for (QWidget* up = label; up; up = up->parentWidget()) {
                if (!up->findChild<QProgressBar*>())
                    continue;
                if ((byText<QLabel>(kSampleLine, false, up) != nullptr) == sample)
                    return up;
                break;
            }
        }
        return nullptr;
    }

    // A button of the item detail, found by its caption's own group (the caption lies over it).
    QAbstractButton* detailButton(const QString& caption) {
        QAbstractButton* found = nullptr;
        EXPECT_TRUE(waitFor([&] {
            QLabel* label = byText<QLabel>(caption, false, content());
            found = label && label->parentWidget()
                        ? label->parentWidget()->findChild<QAbstractButton*>()
                        : nullptr;
            return found && showing(found);
        })) << "the detail offers "
            << caption.toStdString() << ":\n"
            << shownTexts(content());
        return found;
    }

    // Signed in, the book's detail shown from the book list.
    void showTheDetail(const Book& book) {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(openShown(book.title));
    }
    // The sample taken in the shown detail, read through and closed: the detail shows again.
    void sampleAndReadThrough(const Book& book) {
        click(detailButton(QStringLiteral("ทดลองอ่าน")));
        ASSERT_TRUE(waitFor([&] { return readerCode() == book.code; }, 30000))
            << "the sample opens; alerts: " << alertsText();
        ASSERT_TRUE(readThrough(book.code, book.pages));
        closeReader();
        ASSERT_TRUE(detailShowsWithoutOverlay(book.author));
        ASSERT_TRUE(sampled(book.code));
    }
    // A loan just taken of the sampled book, its reader shown: the sample ended, and the loan's
    // own page list asked and kept, with every page.
    void theLoanReadsItsOwnPages(const Book& book, size_t loanListsBefore) {
        ASSERT_TRUE(waitFor([&] { return readerCode() == book.code; }, 30000))
            << "the reader opens the loan; alerts: " << alertsText();
        ASSERT_TRUE(readThrough(book.code, book.pages));
        EXPECT_FALSE(sampled(book.code)) << "the sample ends with the loan";
        EXPECT_GT(loanPageLists(book.code), loanListsBefore) << "the loan's page list is asked for";
        EXPECT_TRUE(waitFor([&] { return whole(folder(book.code), book); }))
            << "the loan keeps its page table: " << folder(book.code);
    }

    // The shelf, once its updates have ended, lists the book once: the loan, no sample beside it.
    void theShelfListsTheBookOnce(const Book& book) {
        showShelf();
        ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfListings(book.code) > 0; }))
            << shownTexts(content());
        EXPECT_EQ(shelfListings(book.code), 1) << shownTexts(content());
        EXPECT_FALSE(cellOf(book.title, true)) << shownTexts(content());
    }

    // In the shelf's return mode, "ลบ" on the sample's cell.
    void deleteTheSampleOnTheShelf(const Book& book) {
        showShelf();
        ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && cellOf(book.title, true); }))
            << "the shelf shows the sample:\n"
            << shownTexts(content());
        // The book shelf's own return button (the magazine shelf has one of the same name).
        click(shelves()[0]->returnButton());
        QAbstractButton* remove = nullptr;
        ASSERT_TRUE(waitFor([&] {
            QWidget* cell = cellOf(book.title, true);
            remove = cell ? byText<QAbstractButton>(QStringLiteral("ลบ"), false, cell) : nullptr;
            return remove != nullptr;
        })) << "the sample's cell offers its delete:\n"
            << shownTexts(content());
        click(remove);
        ASSERT_TRUE(waitFor([&] { return !cellOf(book.title, true) && shelvesUpdated(); }))
            << "the sample leaves the shelf:\n"
            << shownTexts(content());
    }
};

// A sample, then a loan of the same book taken elsewhere (on the service, as on another device):
// at a new start the shelf shows the loan and the sample. The loan read through, the sample is
// deleted on the shelf: the loan keeps its cell, every file, its table, its page record, its entry
// in the local library and its last viewed page, and opens with the service out of reach. Walked
// with a lent book and a free one.
class ASampleDeletedBesideItsLoan : public SampleJourney,
                                    public ::testing::WithParamInterface<bool> {};

TEST_P(ASampleDeletedBesideItsLoan, LeavesTheLoanWhole) {
    const Book& book = GetParam() ? kFree : kLent;
    ASSERT_NO_FATAL_FAILURE(showTheDetail(book));
    ASSERT_NO_FATAL_FAILURE(sampleAndReadThrough(book));
    auto& catalogue = demo().catalogue();
    ASSERT_TRUE(
        (GetParam() ? catalogue.takeFreeItem(kNok, book.code) : catalogue.borrow(kNok, book.code))
            .success);

    restart();
    showShelf();
    ASSERT_TRUE(waitFor([&] {
        return shelvesUpdated() && cellOf(book.title, false) && cellOf(book.title, true);
    })) << "the shelf shows the loan and the sample:\n"
        << shownTexts(content());
    ASSERT_TRUE(inLocalLibrary(book.code));
    doubleClick(buttonNear(byText<QLabel>(book.title, false, cellOf(book.title, false))));
    ASSERT_TRUE(waitFor([&] { return readerCode() == book.code; }, 30000))
        << "the loan opens; alerts: " << alertsText();
    ASSERT_TRUE(readThrough(book.code, book.pages));
    click(byText<QAbstractButton>(QStringLiteral("Next"), false, readerWindow()));
    ASSERT_TRUE(waitFor([&] { return readerController()->currentPageIndex() > 0; }));
    closeReader();
    const auto lastPage = lastViewedPage(book.code);
    ASSERT_TRUE(lastPage && *lastPage > 0);
    ASSERT_TRUE(waitFor([&] { return whole(folder(book.code), book); })) << folder(book.code);
    Folder loan = folder(book.code);

    ASSERT_NO_FATAL_FAILURE(deleteTheSampleOnTheShelf(book));
    EXPECT_TRUE(cellOf(book.title, false)) << "the loan's cell stays:\n" << shownTexts(content());
    EXPECT_FALSE(sampled(book.code));
    loan.sampleTable = false;  // the sample's page table goes
    EXPECT_EQ(folder(book.code), loan) << "the loan's files stay";
    EXPECT_TRUE(inLocalLibrary(book.code));
    EXPECT_EQ(lastViewedPage(book.code), lastPage);

    restartOffline();
    openFromShelfAndSeeEveryPageOnDisk(book.title, book.code, book.pages, kOfflineBound);
}

INSTANTIATE_TEST_SUITE_P(SampleJourney, ASampleDeletedBesideItsLoan, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Free" : "Lent"; });

// With no loan of the book held, deleting its sample clears its files.
TEST_F(SampleJourney, ASampleDeletedAloneTakesItsFiles) {
    ASSERT_NO_FATAL_FAILURE(showTheDetail(kLent));
    ASSERT_NO_FATAL_FAILURE(sampleAndReadThrough(kLent));
    ASSERT_NO_FATAL_FAILURE(deleteTheSampleOnTheShelf(kLent));
    EXPECT_FALSE(sampled(kLent.code));
    // Covers may stay.
    EXPECT_TRUE(waitFor([&] {
        const Folder left = folder(kLent.code);
        return std::none_of(left.files.begin(), left.files.end(),
                            [](const auto& name) { return name.rfind("cover", 0) != 0; }) &&
               !left.sampleTable;
    })) << "the files go: "
        << folder(kLent.code);
}

// Sampled, read through and closed, then borrowed in the same detail and read through: the loan
// asks for and keeps its own page list, the shelf lists the book once, and it opens with the
// service out of reach.
TEST_F(SampleJourney, ABorrowAfterTheSampleKeepsTheLoansOwnPages) {
    ASSERT_NO_FATAL_FAILURE(showTheDetail(kLent));
    ASSERT_NO_FATAL_FAILURE(sampleAndReadThrough(kLent));
    const size_t loanLists = loanPageLists(kLent.code);
    click(detailButton(QStringLiteral("ยืม")));
    ASSERT_TRUE(waitFor([&] { return demo().calls("BorrowBook") > 0 && holds(kNok, kLent.code); }))
        << "BorrowBook reached the service (" << demo().calls("BorrowBook")
        << " asked); alerts: " << alertsText();
    ASSERT_NO_FATAL_FAILURE(theLoanReadsItsOwnPages(kLent, loanLists));
    closeReader();
    ASSERT_NO_FATAL_FAILURE(theShelfListsTheBookOnce(kLent));

    restartOffline();
    openFromShelfAndSeeEveryPageOnDisk(kLent.title, kLent.code, kLent.pages, kOfflineBound);
}

// Sampled, then read now in the same detail: while the read-now loan is held, it reads its own
// page list and keeps it; closed, the loan goes back.
TEST_F(SampleJourney, AReadNowAfterTheSampleKeepsTheLoansOwnPages) {
    ASSERT_NO_FATAL_FAILURE(showTheDetail(kLent));
    ASSERT_NO_FATAL_FAILURE(sampleAndReadThrough(kLent));
    const size_t loanLists = loanPageLists(kLent.code);
    click(detailButton(QStringLiteral("หยิบอ่าน")));
    ASSERT_TRUE(waitFor([&] { return holds(kNok, kLent.code); }))
        << "ReadBookNow reached the service; alerts: " << alertsText();
    ASSERT_NO_FATAL_FAILURE(theLoanReadsItsOwnPages(kLent, loanLists));
    closeReader();
    EXPECT_TRUE(waitFor([&] { return !holds(kNok, kLent.code); })) << "the read-now loan goes back";
}

// A copy claimed in the reservation queue of a sampled book: the sample ends, the shelf lists the
// book once, and the loan opened from the shelf keeps its own page list.
TEST_F(SampleJourney, AClaimAfterTheSampleEndsIt) {
    auto& catalogue = demo().catalogue();
    ASSERT_TRUE(catalogue.borrow(kSomchai, kLent.code).success);  // no copy left to borrow
    ASSERT_NO_FATAL_FAILURE(showTheDetail(kLent));
    ASSERT_NO_FATAL_FAILURE(sampleAndReadThrough(kLent));
    ASSERT_TRUE(catalogue.reserve(kNok, kLent.code).success);
    ASSERT_TRUE(catalogue.returnLoan(kSomchai, kLent.code).success);  // held for Nok
    ASSERT_NO_FATAL_FAILURE(claimInTheQueue([] { return holds(kNok, kLent.code); }));
    EXPECT_TRUE(waitFor([&] { return !sampled(kLent.code); })) << "the claim ends the sample";
    ASSERT_NO_FATAL_FAILURE(theShelfListsTheBookOnce(kLent));

    const size_t loanLists = loanPageLists(kLent.code);
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kLent.title));
    ASSERT_NO_FATAL_FAILURE(theLoanReadsItsOwnPages(kLent, loanLists));
}

}  // namespace
