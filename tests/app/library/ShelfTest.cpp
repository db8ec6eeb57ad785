// The shelves against the demo library: refresh gating, first fill, reconciliation with the
// member's loans, return mode and opening an item into the reader.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "LibraryTestSupport.h"
#include "app/issueui/IssuePageRecord.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/library/IssueMetadataDownloader.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "app/services/GlobalService.h"
#include "demo-service/DemoLibraryMembers.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using namespace library_testing;

namespace {

bool contains(const std::vector<std::string>& codes, const std::string& code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

Ref<VnMagazineIssueInfo> bookRecord(const std::string& code) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->itemCode_ = code;
    info->type_ = "Book";
    return info;
}

// What reading an item leaves on this home: a page file, the page table, the page record and a
// cover in the item's folder, and the member's last viewed page.
const std::set<std::string> kReading = {"PAGE_PDF_0", "VnPageInfo.table.json",
                                        IssuePageRecord::kFileName, "cover.jpg", "last page"};
// What a removal leaves of it: the cover.
const std::set<std::string> kCoverOnly = {"cover.jpg"};

class ShelfTest : public LibraryTest {
  protected:
    static void leaveReadingOf(const Ref<VnMagazineIssueInfo>& item) {
        const auto folder = user()->bookArchiveWithIssueInfo(item)->archivePath();
        std::filesystem::create_directories(folder);
        for (const auto& name : kReading) {
            if (name != "last page")
                std::ofstream(folder / name) << "read";
        }
        user()->userStorage()->setObject(
            plat::Value(plat::Number::fromInt64(3, 'i')),
            VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(item));
    }
    // What is left of that reading for the member: the names in the item's folder, and "last
    // page" while the last viewed page is kept.
    static std::set<std::string> readingLeftOf(const Ref<VnMagazineIssueInfo>& item,
                                               const Ref<VnBookStoreUserContext>& member = user()) {
        std::set<std::string> left;
        std::error_code error;
        const auto folder = member->bookArchiveWithIssueInfo(item)->archivePath();
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            left.insert(entry.path().filename().string());
        if (member->userStorage()->objectForKey(
                VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(item)))
            left.insert("last page");
        return left;
    }
};

TEST_F(ShelfTest, RefreshGateOnBothShelvesAndAnEmptyLibrary) {
    startDemo(false, demo::kEmptyMember, demo::kEmptyMemberPassword);
    for (const bool bookShelf : {true, false}) {
        SCOPED_TRACE(bookShelf ? "books" : "magazines");
        auto shelf = makeShelf(bookShelf);
        // The first fill leaves empty lists, not none.
        ASSERT_TRUE(shelf->libraryBooks() && shelf->libraryMagazines());
        EXPECT_TRUE(shelf->content().empty());
        const char* list = bookShelf ? "GetMetaBookInfos" : "GetMetaMagazineIssueInfos";
        const auto running = [&] {
            return bookShelf ? shelf->booksRequest() : shelf->magazineIssuesRequest();
        };
        demo.service.setFault(list, demo::Fault::stall());
        shelf->updateLibrary();
        const auto first = running();
        ASSERT_TRUE(first);
        ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
        shelf->updateLibrary();  // ignored while one runs
        EXPECT_EQ(running(), first);
        shelf->updateLibraryForceUpdate(true);  // replaces a non-forced one
        const auto second = running();
        ASSERT_TRUE(second);
        EXPECT_NE(second, first);
        EXPECT_TRUE(second->forceUpdate());
        // The magazine shelf cancels the replaced update; the book shelf lets it run.
        EXPECT_EQ(first->running(), bookShelf);
        shelf->updateLibraryForceUpdate(true);  // ignored during a forced one
        shelf->updateLibrary();
        EXPECT_EQ(running(), second);
        demo.service.clearFaults();
        demo.service.releaseStalled();
        ASSERT_TRUE(runUntil([&] { return !running() && !first->running(); }));
        // Once finished, any refresh starts a new one.
        shelf->updateLibrary();
        EXPECT_TRUE(running());
        ASSERT_TRUE(runUntil([&] { return !running(); }));
        spin(0.1);
        EXPECT_TRUE(shelf->content().empty());
        EXPECT_TRUE(shelf->libraryBooks()->empty() && shelf->libraryMagazines()->empty());
    }
    // An empty library asks nothing more on its own.
    const size_t states = calls("GetLibraryIssueInfos");
    const size_t lists = calls("GetMetaBookInfos") + calls("GetMetaMagazineIssueInfos");
    spin(0.3);
    EXPECT_EQ(calls("GetLibraryIssueInfos"), states);
    EXPECT_EQ(calls("GetMetaBookInfos") + calls("GetMetaMagazineIssueInfos"), lists);
}

// An update begun before another member signed in (here the device's, before anyone had) goes on
// after the change; answered once the member's shelf has filled, it leaves that shelf and the
// member's local library as they are.
TEST_F(ShelfTest, AnUpdateBegunForAnEarlierMemberLeavesTheNextMembersShelfAlone) {
    startDemo();
    GlobalService::globalShared()->storeContext()->signOutRegisteredUser();
    auto books = makeShelf(true);
    demo::Fault held = demo::Fault::stall();
    held.calls = 1;
    demo.service.setFault("GetMetaBookInfos", held);
    books->updateLibrary();
    const auto earlier = books->booksRequest();
    ASSERT_TRUE(earlier);
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
    books->updateLibraryForceUpdate(true);  // replaces it; it goes on

    ASSERT_NO_FATAL_FAILURE(signIn("nok@example.com", "nok-2567"));
    books->reloadForAnotherMember();  // as the library screen does
    ASSERT_TRUE(runUntil([&] {
        const auto& state = books->getIssueInfoRequest();
        return !books->booksRequest() && state && !state->running() &&
               contains(contentCodes(*books), "BK0005");
    }));
    const auto nok = user();
    ASSERT_TRUE(nok->hasIssueInLibrary(itemOf(*books, "BK0005")));

    // The earlier update is answered (the device's empty list), and all it started has ended.
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] {
        const auto& state = books->getIssueInfoRequest();
        return !earlier->running() && !(state && state->running());
    }));
    EXPECT_TRUE(contains(contentCodes(*books), "BK0005"));
    EXPECT_TRUE(nok->hasIssueInLibrary(itemOf(*makeShelf(true), "BK0005")))
        << "the member's loan stays in the local library";
}

// The magazine shelf's update begun for an earlier member (here the device's, before anyone had
// signed in) and answered after another member signed in, before the shelf heard of the change,
// is let go: the shelf neither takes that list for the member's nor asks the service about it for
// the member. (A new update, which the change brings, cancels it.) The shelf's reload then shows
// the member's own magazines.
TEST_F(ShelfTest, AMagazineUpdateBegunForAnEarlierMemberIsLetGoOnceAnotherSignedIn) {
    startDemo();
    ASSERT_TRUE(demo.catalogue.borrow("nok@example.com", "MG01-2402").success);
    GlobalService::globalShared()->storeContext()->signOutRegisteredUser();
    auto magazines = makeShelf(false);
    demo::Fault held = demo::Fault::stall();
    held.calls = 1;
    demo.service.setFault("GetMetaMagazineIssueInfos", held);
    magazines->updateLibraryForceUpdate(true);
    const auto earlier = magazines->magazineIssuesRequest();
    ASSERT_TRUE(earlier);
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));

    ASSERT_NO_FATAL_FAILURE(signIn("nok@example.com", "nok-2567"));
    const auto asked = magazines->getIssueInfoRequest();
    const auto binds = std::make_shared<int>(0);
    magazines->contentDidChange = [binds] { ++*binds; };
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return !earlier->running(); }));
    EXPECT_TRUE(magazines->getIssueInfoRequest() == asked)
        << "the device's magazines were asked about for Nok";
    EXPECT_EQ(*binds, 0) << "the shelf took the device's magazines for Nok's";
    EXPECT_FALSE(magazines->magazineIssuesRequest());

    magazines->reloadForAnotherMember();  // as the library screen does
    ASSERT_TRUE(runUntil([&] {
        const auto& state = magazines->getIssueInfoRequest();
        return !magazines->magazineIssuesRequest() && state && !state->running() &&
               contains(contentCodes(*magazines), "MG01-2402");
    }));
    EXPECT_TRUE(user()->hasIssueInLibrary(itemOf(*magazines, "MG01-2402")));
}

// On another member's sign-in the shelf starts from that member's own local library, before any
// answer, and leaves the other member's items alone; and a question asked for a member who has
// signed out since is not acted on (an item's folder serves every member).
TEST_F(ShelfTest, AnAnswerRemovesOnlyWhatTheAnsweringMembersLibraryHolds) {
    startDemo();
    auto books = makeShelf(true);
    ASSERT_TRUE(refresh(books));
    const auto manees = itemOf(*books, demo::kEpubOnlyBook);
    ASSERT_TRUE(manees && user()->hasIssueInLibrary(manees));

    // Nok's list held back: before it comes, the shelf shows what her local library keeps.
    demo::Fault held = demo::Fault::stall();
    held.calls = 1;
    demo.service.setFault("GetMetaBookInfos", held);
    ASSERT_NO_FATAL_FAILURE(signIn("nok@example.com", "nok-2567"));
    books->reloadForAnotherMember();
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
    EXPECT_EQ(contentCodes(*books), std::vector<std::string>{});
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] {
        const auto& state = books->getIssueInfoRequest();
        return !books->booksRequest() && state && !state->running() &&
               contains(contentCodes(*books), "BK0005");
    }));
    EXPECT_FALSE(contains(contentCodes(*books), demo::kEpubOnlyBook));
    EXPECT_FALSE(manees->hiddenFromLibrary_) << "Manee's book is left alone";

    // Nok's question about her loans held while she signs out: the service, which no longer
    // knows her, answers that she holds nothing. Answered before the shelf hears of the change,
    // it takes nothing of hers away.
    const auto nok = user();
    const auto hers = itemOf(*books, "BK0005");
    ASSERT_TRUE(hers && nok->hasIssueInLibrary(hers));
    leaveReadingOf(hers);
    const auto signedOut = std::make_shared<std::atomic<int>>(0);
    demo.service.addMethodWithRequest(
        "AccountLogoutEx",
        [signedOut, signOut = demo.service.methodHandler("AccountLogoutEx")](
            const demo::Json& body, demo::Session& session, const demo::RecordedRequest& request) {
            auto reply = signOut(body, session, request);
            ++*signedOut;
            return reply;
        });
    demo.service.setFault("GetLibraryIssueInfos", held);
    books->updateLibraryForceUpdate(true);
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
    const auto asked = books->getIssueInfoRequest();
    ASSERT_TRUE(asked && asked->running());
    GlobalService::globalShared()->storeContext()->signOutRegisteredUser();
    ASSERT_TRUE(runUntil([&] { return *signedOut == 1; }));
    // The answer's completion binds the shelf's content anew, whatever it does with the answer.
    const auto binds = std::make_shared<int>(0);
    books->contentDidChange = [binds] { ++*binds; };
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return !asked->running() && *binds > 0; }));
    EXPECT_TRUE(nok->hasIssueInLibrary(hers)) << "Nok's book stays in her local library";
    EXPECT_FALSE(hers->hiddenFromLibrary_);
    EXPECT_EQ(readingLeftOf(hers, nok), kReading) << "with its files and last page";
    EXPECT_FALSE(manees->hiddenFromLibrary_);
}

// An answer to a question about the member's loans that is not the last one asked, or was asked
// before the member took a loan, changes nothing: it names only the codes asked then. After a
// loan is taken, a forced refresh starts although an older forced one runs.
TEST_F(ShelfTest, OnlyTheLastAnswerAskedSinceTheLastLoanRemovesItems) {
    startDemo();
    auto books = makeShelf(true);
    auto magazines = makeShelf(false);
    ASSERT_TRUE(refresh(books));
    ASSERT_TRUE(refresh(magazines));
    // The read-now loan given back, and the refresh that follows, are over.
    ASSERT_TRUE(runUntil([&] { return delegate->events.size() == 1; }));
    ASSERT_TRUE(runUntil([&] {
        const auto& state = books->getIssueInfoRequest();
        return !books->booksRequest() && !(state && state->running());
    }));
    const auto book = itemOf(*books, demo::kEpubOnlyBook);
    const auto issue = itemOf(*magazines, "MG01-2401");
    ASSERT_TRUE(book && issue);
    demo::Fault held = demo::Fault::stall();
    held.calls = 1;

    // An earlier question answered after a later one, without the book (returned in between).
    demo.service.setFault("GetLibraryIssueInfos", held);
    books->getLibraryIssueInfos(*books->libraryBooks());
    const auto earlier = books->getIssueInfoRequest();
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
    books->getLibraryIssueInfos(*books->libraryBooks());
    const auto later = books->getIssueInfoRequest();
    ASSERT_TRUE(runUntil([&] { return !later->running(); }));
    ASSERT_TRUE(demo.catalogue.returnLoan(demo::kShelfMember, demo::kEpubOnlyBook).success);
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return !earlier->running(); }));
    EXPECT_TRUE(contains(contentCodes(*books), demo::kEpubOnlyBook));
    EXPECT_TRUE(user()->hasIssueInLibrary(book));
    EXPECT_FALSE(book->hiddenFromLibrary_);

    // The last question, asked before a loan was taken, answered without the issue.
    demo.service.setFault("GetLibraryIssueInfos", held);
    magazines->updateLibraryForceUpdate(true);
    ASSERT_TRUE(runUntil([&] { return demo.service.stalledCount() == 1; }));
    const auto before = magazines->getIssueInfoRequest();
    ASSERT_TRUE(before && before->running());
    ASSERT_TRUE(demo.catalogue.returnLoan(demo::kShelfMember, "MG01-2401").success);
    magazines->loanTaken();
    demo.service.releaseStalled();
    ASSERT_TRUE(runUntil([&] { return !before->running() && demo.service.stalledCount() == 0; }));
    EXPECT_TRUE(contains(contentCodes(*magazines), "MG01-2401"));
    EXPECT_TRUE(user()->hasIssueInLibrary(issue));
    EXPECT_FALSE(issue->hiddenFromLibrary_);

    // A forced update under way, begun before a loan was taken, does not hold back the refresh
    // that follows the loan, which asks for the list afresh.
    demo.service.setFault("GetMetaBookInfos", held);
    const size_t lists = calls("GetMetaBookInfos");
    books->updateLibraryForceUpdate(true);
    const auto older = books->booksRequest();
    ASSERT_TRUE(older && older->forceUpdate());
    ASSERT_TRUE(runUntil([&] {
        return calls("GetMetaBookInfos") == lists + 1 && demo.service.stalledCount() == 1;
    }));
    books->updateLibraryForceUpdate(true);
    EXPECT_EQ(books->booksRequest(), older) << "ignored while a forced one runs";
    books->loanTaken();
    books->updateLibraryForceUpdate(true);
    const auto fresh = books->booksRequest();
    EXPECT_TRUE(fresh && fresh != older);
    EXPECT_FALSE(older->running());
    ASSERT_TRUE(runUntil([&] {
        const auto& state = books->getIssueInfoRequest();
        return !books->booksRequest() && state && !state->running();
    }));
    EXPECT_EQ(calls("GetMetaBookInfos"), lists + 2);
    EXPECT_EQ(demo.service.stalledCount(), 1u) << "the older list is still held";
    EXPECT_TRUE(contains(contentCodes(*books), "BK0003"));
    demo.service.releaseStalled();
}

TEST_F(ShelfTest, ReconcilesTheShelvesWithTheMembersLoans) {
    startDemo(true);
    auto sample = bookRecord("BK0007");
    user()->saveBookSample(sample);
    auto books = makeShelf(true);
    auto magazines = makeShelf(false);
    ASSERT_TRUE(refresh(books));
    ASSERT_TRUE(refresh(magazines));

    auto codes = contentCodes(*books);
    EXPECT_TRUE(contains(codes, demo::kNumericCodeBook));  // sent as a number, still matched
    EXPECT_TRUE(contains(codes, "BK0003"));
    EXPECT_TRUE(contains(codes, "BK0007"));   // the local sample
    EXPECT_FALSE(contains(codes, "BK0006"));  // the read-now loan is not shown...
    EXPECT_EQ(calls("ReturnBook"), 1u);       // ...but returned
    EXPECT_TRUE(contains(contentCodes(*magazines), "MG01-2401"));
    // The return's success refreshes; the read-now loan is gone from the local library, so a new
    // shelf, filled before any reply, shows the rest without it.
    ASSERT_TRUE(runUntil([&] { return !books->booksRequest(); }));
    spin(0.2);
    EXPECT_EQ(calls("ReturnBook"), 1u);
    EXPECT_FALSE(contains(contentCodes(*books), "BK0006"));
    // A new shelf shows the local items before any reply.
    EXPECT_TRUE(contains(contentCodes(*makeShelf(true)), "BK0003"));

    // Read on this home: a loan to be returned elsewhere, one to expire, and the free item.
    const auto returned = itemOf(*books, "BK0003");
    const auto expired = itemOf(*books, demo::kEpubOnlyBook);
    const auto kept = itemOf(*books, "BK0001");
    const auto issue = itemOf(*magazines, "MG01-2401");
    ASSERT_TRUE(returned && expired && kept && issue);
    for (const auto& item : {returned, expired, kept, issue})
        leaveReadingOf(item);

    // A failed library-state request, or one that is not a list, removes nothing.
    demo.catalogue.returnLoan(demo::kShelfMember, "BK0003");
    for (const auto kind : {demo::FaultKind::ServerError, demo::FaultKind::EmptyObject}) {
        demo.service.setFault("GetLibraryIssueInfos", demo::Fault{kind});
        ASSERT_TRUE(refresh(books));
        EXPECT_TRUE(contains(contentCodes(*books), "BK0003"));
        EXPECT_EQ(readingLeftOf(returned), kReading);
    }
    demo.service.clearFaults();
    // Returned elsewhere (while the service could not say which loans it lends), and expired on
    // the service's clock: out of the local library with their files, but for the cover, and
    // their last page; the sample and the free item stay.
    demo.catalogue.advanceClock(30 * 24 * 3600);
    ASSERT_TRUE(refresh(books));
    codes = contentCodes(*books);
    EXPECT_FALSE(contains(codes, "BK0003"));
    EXPECT_FALSE(contains(codes, demo::kEpubOnlyBook));
    EXPECT_TRUE(contains(codes, "BK0007"));
    EXPECT_TRUE(contains(codes, "BK0001"));
    EXPECT_FALSE(contains(contentCodes(*makeShelf(true)), "BK0003"));
    for (const auto& item : {returned, expired}) {
        SCOPED_TRACE(*item->code());
        EXPECT_FALSE(user()->hasIssueInLibrary(item));
        EXPECT_EQ(readingLeftOf(item), kCoverOnly);
    }
    EXPECT_TRUE(user()->hasIssueInLibrary(kept));
    EXPECT_EQ(readingLeftOf(kept), kReading);
    // The magazine issue expired alike.
    ASSERT_TRUE(refresh(magazines));
    EXPECT_FALSE(contains(contentCodes(*magazines), "MG01-2401"));
    EXPECT_FALSE(user()->hasIssueInLibrary(issue));
    EXPECT_EQ(readingLeftOf(issue), kCoverOnly);

    // Hostile codes in a reply are neither returned nor taken for local items.
    demo.service.addMethod("GetLibraryIssueInfos", [](const demo::Json&, demo::Session&) {
        demo::Json records = demo::Json::array();
        for (const char* code : {"", ".", "..", "../BK0001", "a/b"})
            records.push_back({{"Code", code}, {"Type", "Book"}, {"AsReadNow", true}});
        return records;
    });
    const size_t returns = calls("ReturnBook");
    ASSERT_TRUE(refresh(books));
    spin(0.1);
    EXPECT_EQ(calls("ReturnBook"), returns);
    EXPECT_EQ(contentCodes(*books), std::vector<std::string>{"BK0007"});
}

TEST_F(ShelfTest, ReturnModeReturnsLoansAndDeletesSamplesLocally) {
    startDemo();
    auto sample = bookRecord("BK0007");
    user()->saveBookSample(sample);
    auto books = makeShelf(true);
    ASSERT_TRUE(refresh(books));
    // The read-now loan's automatic return.
    ASSERT_TRUE(runUntil([&] { return delegate->events.size() == 1; }));
    ASSERT_TRUE(runUntil([&] { return !books->booksRequest(); }));
    spin(0.2);
    delegate->events.clear();
    const size_t shown = books->content().size();

    books->returnButton_Click();
    EXPECT_EQ(books->mode(), 1);
    EXPECT_TRUE(books->returnButtonHidden());
    EXPECT_FALSE(books->closeButtonHidden());
    for (const auto& info : books->content())
        EXPECT_TRUE(info->removeMode);

    // Refused (the member never borrowed it): start and complete, the item stays.
    const auto cell = std::make_shared<RecordingCell>(bookRecord("BK0002"));
    books->libraryBookCollectionCellRemove(cell);
    ASSERT_TRUE(runUntil([&] { return delegate->events.size() == 2; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "complete"}));
    EXPECT_EQ(books->content().size(), shown);

    // Accepted: removed from the local library and refreshed, without the remove buttons, while
    // the close button stays.
    cell->item = itemOf(*books, "BK0003");
    ASSERT_TRUE(cell->item);
    books->libraryBookCollectionCellRemove(cell);
    ASSERT_TRUE(runUntil([&] { return !contains(contentCodes(*books), "BK0003"); }));
    EXPECT_EQ(delegate->events.size(), 4u);
    for (const auto& info : books->content())
        EXPECT_FALSE(info->removeMode);
    EXPECT_EQ(books->mode(), 1);
    EXPECT_FALSE(books->closeButtonHidden());

    // Deleting a sample asks the service nothing.
    const size_t returns = calls("ReturnBook");
    cell->item = itemOf(*books, "BK0007");
    ASSERT_TRUE(cell->item && cell->item->isSample_);
    books->libraryBookCollectionCellDelete(cell);
    spin(0.2);
    EXPECT_EQ(calls("ReturnBook"), returns);
    EXPECT_TRUE(user()->bookSamples().empty());

    books->closeButton_Click();
    EXPECT_EQ(books->mode(), 0);
    EXPECT_FALSE(books->returnButtonHidden());
    EXPECT_TRUE(books->closeButtonHidden());
}

TEST_F(ShelfTest, OpeningAnItemHandsItToTheReader) {
    startDemo();
    auto books = makeShelf(true);
    auto magazines = makeShelf(false);
    ASSERT_TRUE(refresh(books));
    ASSERT_TRUE(refresh(magazines));
    const auto issue = itemOf(*magazines, "MG01-2401");
    ASSERT_TRUE(issue);
    const auto storePage = [&](const Ref<VnMagazineIssueInfo>& item, int page) {
        auto context = user()->magazineIssueContextWithInfo(item);
        MagazineIssueUIContext::initWithContext<MagazineIssueUIContext>(context)
            ->persistUserLastViewedPageIndex(page);
    };
    storePage(issue, 999);

    const auto cell = std::make_shared<RecordingCell>(issue);
    magazines->libraryBookCollectionCellSelect(cell);
    ASSERT_TRUE(runUntil([&] { return !reader->calls.empty(); }));
    ASSERT_EQ(reader->calls.size(), 2u);
    EXPECT_EQ(reader->calls[0], "setDelegate");
    EXPECT_EQ(reader->pages, std::vector<int>{83});  // 84 pages
    EXPECT_EQ(reader->delegate.lock(), magazines);
    ASSERT_FALSE(cell->progress.empty());
    EXPECT_EQ(cell->progress.front(), 0.0);
    for (const double value : cell->progress)
        EXPECT_TRUE(value >= 0 && value <= 100) << value;
    EXPECT_GE(cell->progress.back(), 25.0);
    EXPECT_FALSE(cell->downloadMode);

    // Opening it again shows it at once and asks the service nothing.
    const size_t requests = demo.service.requests().size();
    magazines->libraryBookCollectionCellSelect(cell);
    EXPECT_EQ(reader->pages, (std::vector<int>{83, 83}));
    EXPECT_EQ(demo.service.requests().size(), requests);
    reader->shown = false;
    plat::send(reader->delegate, "readerWindowControllerWillClose");

    // Another item, opened from the store, cancels the first; the cell of the first gets none of
    // its progress. A zero-page issue fails: the slot is freed, no reader, one alert.
    const size_t progressBefore = cell->progress.size();
    const auto zero = itemOf(*magazines, demo::kZeroPageIssue);
    ASSERT_TRUE(zero);
    magazines->displayLibraryItem(zero);
    EXPECT_FALSE(magazines->downloadingIssueUIContext());
    ASSERT_TRUE(runUntil([&] { return !alerts->messages.empty(); }));
    EXPECT_EQ(alerts->messages, std::vector<std::string>{"Connection error. Please try again."});
    EXPECT_FALSE(magazines->metadataDownloader());
    EXPECT_EQ(cell->progress.size(), progressBefore);
    EXPECT_EQ(reader->pages.size(), 2u);

    // An item that offers EPUB opens as EPUB, also when it offers pages too: nothing starts and
    // the member is told the reader cannot open it.
    alerts->messages.clear();
    books->displayLibraryItem(itemOf(*books, demo::kEpubOnlyBook));
    EXPECT_FALSE(books->metadataDownloader());
    auto pagesAndText = std::make_shared<VnMagazineIssueInfo>();
    pagesAndText->initWithJSONString(
        R"({"Code":"BK0003","ItemCode":"BK0003","Type":"Book","SupportedMediaFormats":[0,1,3]})");
    ASSERT_EQ(pagesAndText->defaultFormat(), 3);
    books->displayLibraryItem(pagesAndText);
    EXPECT_FALSE(books->metadataDownloader());
    EXPECT_EQ(alerts->messages,
              std::vector<std::string>(2, "รายการนี้เปิดอ่านในโปรแกรมนี้ไม่ได้ (มีเฉพาะรูปแบบ EPUB)"));
    alerts->messages.clear();

    // The stop button cancels that download.
    const auto book = itemOf(*books, "BK0003");
    storePage(book, -5);
    const auto bookCell = std::make_shared<RecordingCell>(book);
    books->libraryBookCollectionCellSelect(bookCell);
    ASSERT_TRUE(books->metadataDownloader());
    // Before that: reports that give no figure (an infinite total, an amount that is no number)
    // leave the bar as it is; the others stay within the bar.
    const auto downloader =
        std::dynamic_pointer_cast<PdfIssueMetadataDownloader>(books->metadataDownloader());
    ASSERT_TRUE(downloader);
    const float infinite = std::numeric_limits<float>::infinity();
    const size_t reports = bookCell->progress.size();
    downloader->pageUIContext_pageLoadingProgress(nullptr, VnRequestProgressMake(10, infinite));
    downloader->metadata_request_progressReport(nullptr, VnRequestProgressMake(infinite, infinite));
    downloader->metadata_request_progressReport(nullptr, VnRequestProgressMake(std::nanf(""), 100));
    books->issueDownloader_metadataLoadingProgress(downloader, VnRequestProgressMake(5, 0));
    EXPECT_EQ(bookCell->progress.size(), reports);
    books->issueDownloader_metadataLoadingProgress(downloader, VnRequestProgressMake(infinite, 10));
    books->issueDownloader_metadataLoadingProgress(downloader, VnRequestProgressMake(-3, 10));
    EXPECT_EQ(std::vector<double>(bookCell->progress.begin() + reports, bookCell->progress.end()),
              (std::vector<double>{100, 0}));
    EXPECT_TRUE(bookCell->downloadMode);
    books->libraryBookShelfCellStopDownload(bookCell);
    EXPECT_FALSE(books->metadataDownloader());
    spin(0.3);
    EXPECT_EQ(reader->pages.size(), 2u);
    // Opened again, the stored page −5 opens at the first page.
    books->libraryBookCollectionCellSelect(bookCell);
    ASSERT_TRUE(runUntil([&] { return reader->pages.size() == 3; }));
    EXPECT_EQ(reader->pages.back(), 0);
}

TEST_F(ShelfTest, TheMagazineShelfShowsWhatItsUpdateBroughtWhenTheLoanCheckFails) {
    startDemo();
    auto magazines = makeShelf(false);
    ASSERT_TRUE(refresh(magazines));
    EXPECT_TRUE(contains(contentCodes(*magazines), "MG01-2401"));
    EXPECT_FALSE(contains(contentCodes(*magazines), "MG01-2402"));
    // A new issue on loan (room made by returning two books), while the service cannot say
    // which items are lent: the update's issues show, and nothing is removed.
    for (const char* code : {demo::kEpubOnlyBook, demo::kNumericCodeBook})
        ASSERT_TRUE(demo.catalogue.returnLoan(demo::kShelfMember, code).success);
    ASSERT_TRUE(demo.catalogue.borrow(demo::kShelfMember, "MG01-2402").success);
    demo.service.setFault("GetLibraryIssueInfos", demo::Fault{demo::FaultKind::ServerError});
    const size_t checks = calls("GetLibraryIssueInfos");
    ASSERT_TRUE(refresh(magazines));
    EXPECT_EQ(calls("GetLibraryIssueInfos"), checks + 1);
    const auto codes = contentCodes(*magazines);
    EXPECT_TRUE(contains(codes, "MG01-2402"));
    EXPECT_TRUE(contains(codes, "MG01-2401"));
    EXPECT_TRUE(contains(codes, demo::kZeroPageIssue));
    EXPECT_FALSE(contains(codes, "BK0003"));  // magazines only
}

}  // namespace

TEST_F(ShelfTest, ItemsGoNewestFirstWithUndatedLastAndSplitByKind) {
    const auto dated = [](const std::string& code, const char* type, std::optional<double> at) {
        auto info = bookRecord(code);
        info->type_ = type;
        if (at)
            info->setIssueDate(plat::Date{*at});
        return info;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto shelf = ui::ViewController::create<LibraryListView>();
    shelf->setBookLibraryMode(true);
    shelf->updateIssueInfos({dated("A", "Book", 100), dated("B", "Book", std::nullopt),
                             dated("C", "Magazine", 300), nullptr, dated("D", "Book", 300),
                             dated("E", "Book", nan), dated("F", "Book", 200)});
    const auto codesOf = [](const LibraryListView::Items& items) {
        std::vector<std::string> codes;
        for (const auto& item : items)
            codes.push_back(item->code().value_or("?"));
        return codes;
    };
    // Equal dates keep their order; a date that is no number counts as none.
    const std::vector<std::string> books{"D", "F", "A", "B", "E"};
    ASSERT_TRUE(shelf->libraryBooks() && shelf->libraryMagazines());
    EXPECT_EQ(codesOf(*shelf->libraryBooks()), books);
    EXPECT_EQ(codesOf(*shelf->libraryMagazines()), std::vector<std::string>{"C"});
    EXPECT_EQ(contentCodes(*shelf), books);
    EXPECT_TRUE(shelf->content().front()->isBook);
    // Items already in order stay as they are; the magazine shelf shows the magazines.
    shelf->updateIssueInfos(*shelf->libraryBooks());
    EXPECT_EQ(codesOf(*shelf->libraryBooks()), books);
    shelf->setBookLibraryMode(false);
    shelf->updateIssueInfos({dated("G", "Magazine", 5), dated("H", "Magazine", 6)});
    EXPECT_EQ(contentCodes(*shelf), (std::vector<std::string>{"H", "G"}));
    EXPECT_FALSE(shelf->content().front()->isBook);
}
