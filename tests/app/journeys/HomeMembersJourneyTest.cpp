// Journeys of two members on one home who hold the same book: its folder serves both. Nok reads
// the book and signs out; Somchai borrows it too, and his loan ends, by his return or on the
// service: Nok's page files, page table and page record stay, and her book opens with the service
// out of reach.
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "JourneySupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/store/detail/ShopDetailInfoItemView.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";
constexpr const char* kNok = "nok@example.com";
// Lent, not free: a return takes it out of the member's local library. The library lends two
// copies of it here, one to each member.
constexpr const char* kBook = "BK0004";
const QString kTitle = QStringLiteral("Thai Economy in Transition");
const QString kAuthor = QStringLiteral("Somsak Wongsa");
constexpr int kPages = 8;
// The book Somchai holds from the start.
constexpr const char* kOtherBook = "BK0001";
const QString kOtherTitle = QStringLiteral("ข้างหลังภาพ");
constexpr int kOtherPages = 5;
// How long the reader may take to open from the shelf with the service out of reach.
constexpr int kOfflineBound = 30000;

class HomeMembersJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
        ASSERT_TRUE(demo().shorten(kOtherBook, kOtherPages));
        demo::SampleItem twoCopies = *demo().catalogue().findItem(kBook);
        twoCopies.libraryCopies = 2;
        ASSERT_TRUE(demo().catalogue().withdrawItem(kBook));
        ASSERT_TRUE(demo().catalogue().addItem(std::move(twoCopies)));
    }

    // What is missing of a reading of the book in its folder: a page file, a page of its page
    // table, a page of its page record; empty when it is all there.
    static std::string missingOfTheBook() {
        std::string missing;
        const auto onDisk = pagesOnDisk(kBook, kPages);
        if (onDisk != allPages(kPages))
            missing += std::to_string(kPages - onDisk.size()) + " page files; ";
        std::ifstream in(itemFolder(kBook) / "VnPageInfo.table.json");
        const auto table = nlohmann::json::parse(in, nullptr, false);
        if (!table.is_array() || table.size() != kPages)
            missing += "the page table's pages; ";
        const size_t recorded =
            IssuePageRecord::read(itemFolder(kBook) / IssuePageRecord::kFileName, kBook).size();
        if (recorded != kPages)
            missing += std::to_string(kPages - recorded) + " pages of the page record";
        return missing;
    }

    // Nok borrows the book in its detail, reads it through and signs out: her files stay.
    void nokReadsTheBookAndSignsOut() {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(kNok));
        clickToolbar("ic_book");
        ASSERT_NO_FATAL_FAILURE(borrowShown(kTitle));
        ASSERT_TRUE(readThrough(kBook, kPages));
        ASSERT_TRUE(waitFor([] { return missingOfTheBook().empty(); })) << missingOfTheBook();
        closeReader();
        ASSERT_NO_FATAL_FAILURE(signOut());
    }

    // The borrow button of the shown detail: the one under the caption "ยืม" itself.
    QAbstractButton* borrowButton() {
        QAbstractButton* found = nullptr;
        waitFor([&] {
            QLabel* caption = byText<QLabel>(QStringLiteral("ยืม"), false, content());
            found = caption ? caption->parentWidget()->findChild<QAbstractButton*>() : nullptr;
            return showing(found);
        });
        return found;
    }

    // Somchai, signed in, borrows the book in a detail opened anew from the book list (the book
    // tab keeps a detail shown before: back first): the service lends it to him and the reader
    // opens.
    void somchaiBorrowsTheBook() {
        clickToolbar("ic_book");
        const auto detailShows = [&] {
            return first<ShopDetailInfoItemView>({}, content()) != nullptr;
        };
        ASSERT_TRUE(waitFor([&] { return detailShows() || shelfShows(kTitle); }))
            << shownTexts(content());
        if (detailShows())
            click(shownButton(QStringLiteral("กลับ")));
        ASSERT_TRUE(waitFor([&] { return !detailShows() && shelfShows(kTitle); }))
            << shownTexts(content());
        const size_t borrows = demo().calls("BorrowBook");
        openShown(kTitle);
        ASSERT_TRUE(detailShowsWithoutOverlay(kAuthor));
        click(borrowButton());
        ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, 30000))
            << "the reader opens; alerts: " << alertsText();
        EXPECT_EQ(demo().calls("BorrowBook"), borrows + 1);
        ASSERT_TRUE(demo().catalogue().hasItem(kSomchai, kBook));
    }

    // Whether the signed-in member's local library holds the item of that code.
    static bool localLibraryHolds(const char* code) {
        auto record = std::make_shared<VnMagazineIssueInfo>();
        record->setCode(code);
        record->type_ = "Book";
        const auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
        return user->hasIssueInLibrary(record);
    }
};

// Somchai reads the book Nok holds and returns it in its detail: Nok's files stay whole, his
// other book opens with the service out of reach, and so does hers once she is signed in again.
TEST_F(HomeMembersJourney, AReturnLeavesTheBookAnotherMemberHolds) {
    ASSERT_NO_FATAL_FAILURE(nokReadsTheBookAndSignsOut());
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_NO_FATAL_FAILURE(openFromShelf(kOtherTitle));
    ASSERT_TRUE(readThrough(kOtherBook, kOtherPages));
    closeReader();
    ASSERT_NO_FATAL_FAILURE(somchaiBorrowsTheBook());
    ASSERT_TRUE(readThrough(kBook, kPages));
    closeReader();

    ASSERT_TRUE(detailShowsWithoutOverlay(kAuthor));
    click(detailAction(QStringLiteral("คืน")));
    ASSERT_TRUE(waitFor([&] { return alerts_->said("การคืนเสร็จสมบูรณ์"); }))
        << "the return is done; alerts: " << alertsText();
    EXPECT_FALSE(demo().catalogue().hasItem(kSomchai, kBook));
    EXPECT_FALSE(localLibraryHolds(kBook)) << "the book leaves Somchai's local library";
    EXPECT_EQ(missingOfTheBook(), "") << "Nok still holds the book";

    restartOffline();
    openFromShelfAndSeeEveryPageOnDisk(kOtherTitle, kOtherBook, kOtherPages, kOfflineBound);
    closeReader();
    EXPECT_FALSE(shelfCell(kTitle)) << "the book is not Somchai's:\n" << shownTexts(content());

    end(Ending::WindowClosed);
    ASSERT_TRUE(demo().start());
    startAgain();
    ASSERT_NO_FATAL_FAILURE(signOut());
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfCell(kTitle); }))
        << shownTexts(content());
    EXPECT_EQ(missingOfTheBook(), "");
    restartOffline();
    openFromShelfAndSeeEveryPageOnDisk(kTitle, kBook, kPages, kOfflineBound);
}

// Somchai's loan of the book Nok holds ends on the service (returned elsewhere); the shelf,
// shown again, learns it: Nok's files stay whole.
TEST_F(HomeMembersJourney, ALoanEndedOnTheServiceLeavesTheBookAnotherMemberHolds) {
    ASSERT_NO_FATAL_FAILURE(nokReadsTheBookAndSignsOut());
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_NO_FATAL_FAILURE(somchaiBorrowsTheBook());
    ASSERT_TRUE(readThrough(kBook, kPages));
    closeReader();
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfCell(kTitle); }))
        << shownTexts(content());

    ASSERT_TRUE(demo().catalogue().returnLoan(kSomchai, kBook).success);
    const size_t states = demo().calls("GetLibraryIssueInfos");
    clickToolbar("ic_book");
    showShelf();
    ASSERT_TRUE(waitFor([&] {
        return demo().calls("GetLibraryIssueInfos") > states && shelvesUpdated() &&
               !shelfCell(kTitle);
    })) << "the shelf drops the ended loan:\n"
        << shownTexts(content());
    EXPECT_EQ(missingOfTheBook(), "") << "Nok still holds the book";
}

}  // namespace
