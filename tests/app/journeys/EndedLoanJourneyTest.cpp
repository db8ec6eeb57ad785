// Journeys of a loan that ends on the service, not in this program: the book the member read
// leaves the shelf, the local library and the home's disk once the shelf has learnt of it.
#include <algorithm>
#include <filesystem>
#include <set>

#include "JourneySupport.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kBook = "BK0003";  // lent, not free
const QString kTitle = QStringLiteral("The Little Prince");
constexpr int kPages = 5;

class EndedLoanJourney : public JourneyTest {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    static Ref<VnBookStoreUserContext> member() {
        return GlobalService::globalShared()->storeContext()->activeUserContext();
    }
    // Whether the member's local library (the book shelf's part of it) holds the book.
    static bool inTheLocalLibrary(const std::string& code) {
        const auto local = member()->bookLibraryDomain()->takeLocalSnapshot();
        return std::any_of(local->items().begin(), local->items().end(),
                           [&](const auto& item) { return item->code() == code; });
    }
    // Whether the member's last viewed page of the book is kept.
    static bool lastPageKept(const std::string& code) {
        auto info = std::make_shared<VnMagazineIssueInfo>();
        info->setCode(code);
        return static_cast<bool>(member()->userStorage()->objectForKey(
            VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(info)));
    }
    // The names in the item's folder, but its covers.
    static std::set<std::string> filesBesideTheCovers(const std::string& code) {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(itemFolder(code), error)) {
            std::string name = entry.path().filename().string();
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (name.rfind("cover", 0) != 0)
                names.insert(entry.path().filename().string());
        }
        return names;
    }
};

// Borrowed, read through to its third page and closed; then returned elsewhere. The member goes
// to another screen and back to the shelf, which updates as it shows: the book leaves it, and
// with it the local library, its last viewed page and every file of its folder but the cover.
TEST_F(EndedLoanJourney, ABookReturnedElsewhereLeavesTheHome) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    ASSERT_NO_FATAL_FAILURE(borrowShown(kTitle));
    ASSERT_TRUE(readThrough(kBook, kPages));
    for (int turn = 0; turn < 2; ++turn)
        click(byText<QAbstractButton>(QStringLiteral("Next"), false, readerWindow()));
    closeReader();
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelvesUpdated() && shelfCell(kTitle); }))
        << shownTexts(content());
    // Held, the book keeps all of it while the shelves update.
    EXPECT_TRUE(inTheLocalLibrary(kBook));
    EXPECT_TRUE(lastPageKept(kBook));
    const auto read = filesBesideTheCovers(kBook);
    ASSERT_TRUE(read.count("VnPageInfo.table.json") && read.count("PAGE_PDF_0"))
        << "the book lies on disk";
    ASSERT_EQ(pagesOnDisk(kBook, kPages), allPages(kPages));

    ASSERT_TRUE(demo().catalogue().returnLoan(kNok, kBook).success);
    const size_t states = demo().calls("GetLibraryIssueInfos");
    clickToolbar("ic_book");
    showShelf();
    ASSERT_TRUE(waitFor([&] {
        return demo().calls("GetLibraryIssueInfos") >= states + 2 && shelvesUpdated();
    })) << "both shelves update as the shelf shows";
    EXPECT_FALSE(shelfCell(kTitle)) << shownTexts(content());
    EXPECT_FALSE(inTheLocalLibrary(kBook));
    EXPECT_FALSE(lastPageKept(kBook));
    EXPECT_EQ(filesBesideTheCovers(kBook), std::set<std::string>{})
        << "the folder " << itemFolder(kBook) << " keeps nothing of the loan";
}

}  // namespace
