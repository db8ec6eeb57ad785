// The item information row's lending actions against the demo library, with a signed-in member,
// a library screen double and an alert recorder: borrow, return, reserve, read now with its
// extensions, sample, read, preview, the buy-now toggle, the service's refusals and failures, and
// items that do not open (a format the reader cannot show, nothing to open them with).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "StoreTestSupport.h"
#include "app/library/LibrarySeams.h"
#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/IssueOpening.h"
#include "app/store/detail/ShopDetailInfoItemState.h"
#include "app/store/detail/ShopDetailMainViewController.h"
#include "demo-service/DemoLibraryMembers.h"
#include "demo-service/DemoMemberShelves.h"
#include "platform/runloop/RunLoop.h"
#include "support/CapturedLog.h"
#include "support/DynamicObject.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

namespace {

using G = InfoItemGroup;
using testing_support::DynamicObject;

class LendingActionsTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
        demo::enableMemberShelves(service, catalogue);
        library = DynamicObject::make();
        for (const char* sel : {"view", "updateLibraryForceUpdate:", "displayReaderWithIssueInfo:",
                                "cancelLoading", "libraryLoanTaken"})
            library->on(sel);
        useNeighbours(library);
        delegate = DynamicObject::make();
        delegate->on("shopDetailInfoItemStartLoading").on("shopDetailInfoItemLoadComplete");
        state = std::make_shared<ShopDetailInfoItemState>();
        state->setDelegate(delegate);
    }
    void TearDown() override {
        state.reset();
        StoreTest::TearDown();
    }

    // The row shows the book as the store gives it; the reservations lookup of a book the
    // member does not hold has answered.
    Ref<VnMagazineIssueInfo> showBook(const std::string& code) {
        auto item = storeItem(code);
        EXPECT_TRUE(item);
        const size_t lookups = calls("GetCurrentReserveBookInfos");
        state->setMagazineInfo(nullptr);
        state->setMagazineIssueInfo(item);
        if (!state->model().isShown(G::Return))
            waitFor([&] { return calls("GetCurrentReserveBookInfos") > lookups; });
        settle();
        return item;
    }
    std::set<G> shown() const {
        std::set<G> out;
        for (size_t i = 0; i < kInfoItemGroupCount; ++i)
            if (state->model().shown[i])
                out.insert(static_cast<G>(i));
        return out;
    }
    size_t ends() const { return delegate->count("shopDetailInfoItemLoadComplete"); }
    size_t starts() const { return delegate->count("shopDetailInfoItemStartLoading"); }
    // The item codes of the calls of a web method, from their bodies.
    std::vector<std::string> bodies(const char* method) const {
        std::vector<std::string> out;
        for (const auto& request : service.requestsForMethod(method))
            out.push_back(request.body);
        return out;
    }

    // The member's stored library takes the service's lists, as the shelves update it.
    void updateLibrary() {
        for (const auto& domain : {user()->bookLibraryDomain(), user()->libraryDomain()}) {
            auto request = domain->newDomainUpdatingRequest(nullptr);
            request->setForceUpdate(true);
            ASSERT_TRUE(run(request)) << "the library's update";
        }
    }

    std::string loanOf(const std::string& code) const {
        for (const auto& loan : catalogue.loans("somchai@example.com"))
            if (loan.bookCode == code)
                return loan.itemCode;
        return {};
    }
    Ref<VnMagazineIssueInfo> readerItem(size_t call) {
        return std::dynamic_pointer_cast<VnMagazineIssueInfo>(std::any_cast<Ref<plat::Object>>(
            library->arguments("displayReaderWithIssueInfo:").at(call).at(0)));
    }

    Ref<DynamicObject> library;
    Ref<DynamicObject> delegate;
    Ref<ShopDetailInfoItemState> state;
};

// An opening seam that keeps each opening under way: the item, and what to call should it end
// without the reader.
class HeldOpenings : public IssueOpening {
  public:
    bool openIssue(const Ref<VnMagazineIssueInfo>& item,
                   std::function<void()> whenNotShown) override {
        items.push_back(item);
        notShown.push_back(std::move(whenNotShown));
        return true;
    }
    std::vector<Ref<VnMagazineIssueInfo>> items;
    std::vector<std::function<void()>> notShown;
};

}  // namespace

TEST_F(LendingActionsTest, AFailedOpeningEndsOnlyTheLoadingOfItsOwnAction) {
    // The row in a detail screen, whose loading a container double shows.
    const auto container = DynamicObject::make();
    container->on("shopDetailMainViewStartLoading").on("shopDetailMainViewLoadComplete");
    const auto detail = ui::ViewController::create<ShopDetailMainViewController>();
    detail->setDelegate(container);
    state->setDelegate(detail);
    const auto openings = std::make_shared<HeldOpenings>();
    AreaSeams::shared().replace<IssueOpening>(openings, "library");
    const auto shownLoadings = [&] {
        return static_cast<int>(container->count("shopDetailMainViewStartLoading")) -
               static_cast<int>(container->count("shopDetailMainViewLoadComplete"));
    };

    // A borrow whose opening is under way; the member cancels the overlay (it only hides) and
    // returns the book, whose answer the service holds.
    showBook("BK0003");
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return openings->items.size() == 1; }));
    ASSERT_EQ(shownLoadings(), 1);
    service.setFault("ReturnBook", demo::Fault::stall());
    state->btnReturn_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return service.stalledCount() == 1; }));
    ASSERT_EQ(shownLoadings(), 2);
    // The borrow's opening fails: the return's loading stays until the return answers.
    const size_t endsBefore = container->count("shopDetailMainViewLoadComplete");
    openings->notShown[0]();
    EXPECT_EQ(container->count("shopDetailMainViewLoadComplete"), endsBefore)
        << "a failed opening ended the return's loading";
    service.clearFaults();
    service.releaseStalled();
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 1; }));
    EXPECT_EQ(alerts->messages[0], "การคืนเสร็จสมบูรณ์");
    EXPECT_EQ(container->count("shopDetailMainViewLoadComplete"), endsBefore + 1);

    // The same detail shows another item, whose borrow the service holds; the first item's
    // opening, taken again, fails meanwhile.
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return openings->items.size() == 2; }));
    detail->setMagazineIssueInfo(storeItem("BK0006"));
    showBook("BK0006");
    service.setFault("BorrowBook", demo::Fault::stall());
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return service.stalledCount() == 1; }));
    const size_t endsThen = container->count("shopDetailMainViewLoadComplete");
    openings->notShown[1]();
    EXPECT_EQ(container->count("shopDetailMainViewLoadComplete"), endsThen)
        << "another item's failed opening ended this borrow's loading";
    // The borrow answers and its own opening fails: that ends its loading.
    service.clearFaults();
    service.releaseStalled();
    ASSERT_TRUE(waitFor([&] { return openings->items.size() == 3; }));
    EXPECT_EQ(container->count("shopDetailMainViewLoadComplete"), endsThen);
    openings->notShown[2]();
    EXPECT_EQ(container->count("shopDetailMainViewLoadComplete"), endsThen + 1);
    EXPECT_EQ(alerts->messages.size(), 1u);
}

TEST_F(LendingActionsTest, BorrowOpensTheReaderAndRefusalsAlertTheServicesMessage) {
    const auto book = showBook("BK0003");
    EXPECT_EQ(shown(), (std::set<G>{G::Borrow, G::ReadNow, G::GetSample}));
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 1; }));
    EXPECT_EQ(state->model().digitalPrice, "ยืมแล้ว");
    EXPECT_EQ(shown(), (std::set<G>{G::Return, G::View}));
    EXPECT_EQ(library->count("view"), 2u);
    ASSERT_EQ(library->count("updateLibraryForceUpdate:"), 1u);
    EXPECT_TRUE(std::any_cast<bool>(library->arguments("updateLibraryForceUpdate:")[0][0]));
    // The shelves hear of the loan before the refresh that follows it.
    const auto& heard = library->calls();
    const auto taken = std::find(heard.begin(), heard.end(), "libraryLoanTaken");
    EXPECT_TRUE(taken != heard.end() &&
                std::find(taken, heard.end(), "updateLibraryForceUpdate:") != heard.end());
    EXPECT_EQ(
        std::any_cast<Ref<plat::Object>>(library->arguments("displayReaderWithIssueInfo:")[0][0]),
        book);
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(ends(), 0u);  // the loading stays until the screen shows again
    state->viewWillAppear();
    EXPECT_EQ(ends(), 1u);
    EXPECT_TRUE(alerts->messages.empty());

    // Up to the loan limit, then the service's refusal in Thai.
    for (const auto* item : catalogue.libraryItems()) {
        if (catalogue.loans("somchai@example.com").size() >= demo::SampleCatalogue::kLoanLimit)
            break;
        if (item->code != "BK0006")
            catalogue.borrow("somchai@example.com", item->code);
    }
    showBook("BK0006");
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 1; }));
    EXPECT_EQ(alerts->messages[0], "คุณยืมครบจำนวนสูงสุดแล้ว");
    EXPECT_EQ(ends(), 2u);
    EXPECT_EQ(library->count("displayReaderWithIssueInfo:"), 1u);

    // A connection that drops: the failure's own message.
    service.setFault("BorrowBook", demo::Fault{demo::FaultKind::Drop});
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 2; }, 60));
    EXPECT_FALSE(alerts->messages[1].empty());
    EXPECT_EQ(ends(), 3u);
}

TEST_F(LendingActionsTest, ReturnLooksTheLoanUpReturnsItsCodeAndClearsTheFiles) {
    const auto book = showBook("BK0001");  // somchai's loan LN0001
    const auto folder = user()->archiveForIssueInfo(book)->archivePath();
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "PAGE_PDF_0") << "page";
    std::ofstream(folder / "cover_240x320") << "cover";
    const size_t lookups = calls("GetLibraryIssueInfos");
    state->btnReturn_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return !alerts->messages.empty(); }));
    EXPECT_EQ(alerts->messages, std::vector<std::string>{"การคืนเสร็จสมบูรณ์"});
    ASSERT_EQ(bodies("ReturnBook").size(), 1u);
    EXPECT_NE(bodies("ReturnBook")[0].find("\"LN0001\""), std::string::npos);
    EXPECT_EQ(calls("GetLibraryIssueInfos"), lookups + 1);
    EXPECT_EQ(library->count("cancelLoading"), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / "PAGE_PDF_0") &&
                 std::filesystem::file_size(folder / "PAGE_PDF_0") > 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "cover_240x320"));
    EXPECT_TRUE(catalogue.loans("somchai@example.com").empty());
    EXPECT_EQ(ends(), 1u);

    // An item not on loan: the lookup lists nothing, the loading ends, nothing else.
    showBook("BK0004");
    state->btnReturn_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return ends() == 2; }));
    settle();
    EXPECT_EQ(bodies("ReturnBook").size(), 1u);
    EXPECT_EQ(alerts->messages.size(), 1u);

    // A reservation the member holds swaps reserve and borrow for cancel; cancelling it says so
    // and rebuilds the groups from the record.
    showBook("BK0002");
    EXPECT_TRUE(state->model().isShown(G::Cancel));
    EXPECT_FALSE(state->model().isShown(G::Borrow) || state->model().isShown(G::Reserve));
    state->btnCancel_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 2; }));
    EXPECT_EQ(alerts->messages[1], "ยกเลิกการจองเสร็จสมบูรณ์");
    settle();
    EXPECT_FALSE(state->model().isShown(G::Cancel));
    EXPECT_TRUE(catalogue.reservations("somchai@example.com").empty());

    // A lookup that answers no list: the loading ends, nothing is returned.
    const size_t ended = ends();
    service.addMethod("GetLibraryIssueInfos", [](const demo::Json&, demo::Session&) {
        return demo::Json{{"Code", 1}};
    });
    state->btnReturn_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return ends() == ended + 1; }));
    EXPECT_EQ(bodies("ReturnBook").size(), 1u);
}

TEST_F(LendingActionsTest, ReadNowIsExtendedEveryThreeMinutesAndGivenBackSilently) {
    // Time moves only when told: a little while the loop waits for the network, three minutes
    // at a time for the timer.
    auto clock = useVirtualClock();

    // No free copy: the loading ends and the service's refusal shows; nothing is held.
    showBook("BK0002");
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 1; }));
    EXPECT_EQ(alerts->messages[0], "ไม่มีสำเนาว่างให้อ่านทันที");
    EXPECT_EQ(ends(), 1u);
    EXPECT_FALSE(state->isReadBookNow() || state->hasExtensionTimer());
    alerts->messages.clear();

    // Twice in a row: one timer, for the second item.
    showBook("BK0003");
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 1; }));
    const auto second = showBook("BK0006");
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 2; }));
    EXPECT_EQ(state->readNowItem(), second);
    EXPECT_TRUE(state->isReadBookNow());
    EXPECT_EQ(ends(), 1u);
    // The shelves hear of each loan, and refresh neither: they would give a read-now loan back.
    EXPECT_EQ(library->count("libraryLoanTaken"), 2u);
    EXPECT_EQ(library->count("updateLibraryForceUpdate:"), 0u);
    ASSERT_FALSE(loanOf("BK0006").empty());

    // Each 180 s: one lookup, then one extension of the loan's code.
    const size_t lookups = calls("GetLibraryIssueInfos");
    clock->advance(179);
    settle();
    EXPECT_EQ(calls("ExtendBorrowBook"), 0u);
    clock->advance(1);
    ASSERT_TRUE(waitFor([&] { return calls("ExtendBorrowBook") == 1; }));
    settle();
    EXPECT_EQ(calls("GetLibraryIssueInfos"), lookups + 1);
    EXPECT_NE(bodies("ExtendBorrowBook")[0].find(loanOf("BK0006")), std::string::npos);
    EXPECT_EQ(ends(), 2u);  // the tick ends the loading

    // Refused extensions wait for the next tick: two calls in 360 s.
    service.setFault("ExtendBorrowBook", demo::Fault{demo::FaultKind::ServerError});
    clock->advance(180);
    ASSERT_TRUE(waitFor([&] { return calls("ExtendBorrowBook") == 2; }));
    settle();
    clock->advance(180);
    ASSERT_TRUE(waitFor([&] { return calls("ExtendBorrowBook") == 3; }));
    settle();
    EXPECT_EQ(calls("ExtendBorrowBook"), 3u);

    // Shown again: the loan goes back without a word, also when the return fails.
    service.setFault("ReturnBook", demo::Fault{demo::FaultKind::ServerError});
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return calls("ReturnBook") == 1; }));
    ASSERT_TRUE(waitFor([&] { return !state->isReadBookNow(); }));
    EXPECT_FALSE(state->hasExtensionTimer());
    EXPECT_TRUE(alerts->messages.empty());
    service.clearFaults();
    clock->advance(400);
    settle();
    EXPECT_EQ(calls("ExtendBorrowBook"), 3u);

    // The loan taken goes back, and its files go, though the row now shows another item.
    showBook("BK0003");
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 3; }));
    const auto shownNow = showBook("BK0004");
    const auto folderOf = [&](const std::string& code) {
        return user()->archiveForIssueInfo(storeItem(code))->archivePath();
    };
    for (const char* code : {"BK0003", "BK0004"}) {
        std::filesystem::create_directories(folderOf(code));
        std::ofstream(folderOf(code) / "PAGE_PDF_0") << "page";
    }
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return loanOf("BK0003").empty(); }));
    settle();
    EXPECT_EQ(calls("ReturnBook"), 2u);
    EXPECT_FALSE(std::filesystem::exists(folderOf("BK0003") / "PAGE_PDF_0") &&
                 std::filesystem::file_size(folderOf("BK0003") / "PAGE_PDF_0") > 0);
    EXPECT_TRUE(std::filesystem::exists(folderOf("BK0004") / "PAGE_PDF_0"));
    EXPECT_EQ(state->magazineIssueInfo(), shownNow);

    // A row let go while it holds a read-now loan gives it back.
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 4; }));
    settle();
    WeakRef<ShopDetailInfoItemState> weak = state;
    state.reset();
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(waitFor([&] { return loanOf("BK0004").empty(); }));
    EXPECT_EQ(calls("ReturnBook"), 3u);
    clock->advance(400);
    settle();
    EXPECT_EQ(calls("ExtendBorrowBook"), 3u);
    EXPECT_TRUE(alerts->messages.empty());
}

// Records the alerts and what the row showed when each came.
class GroupsAtAlert : public AlertRecorder {
  public:
    void runModal(QWidget* parent, const std::string& message, const std::string& info) override {
        AlertRecorder::runModal(parent, message, info);
        if (onAlert)
            onAlert();
    }
    std::function<void()> onAlert;
};

TEST_F(LendingActionsTest, ReserveTellsTheOutcomeAndTheMembersReservationsSwapReserveForCancel) {
    auto recorder = std::make_shared<GroupsAtAlert>();
    alerts = recorder;
    ui::Alert::setShared(recorder);
    std::vector<std::set<G>> atAlert;
    recorder->onAlert = [&] { atAlert.push_back(shown()); };

    // Nok holds BK0004's one copy: none left and nobody queued.
    ASSERT_TRUE(catalogue.borrow("nok@example.com", "BK0004").success);
    showBook("BK0004");
    EXPECT_EQ(shown(), (std::set<G>{G::Reserve, G::GetSample}));
    const std::string line = state->model().digitalPrice;
    EXPECT_EQ(line.rfind("จำนวนเล่มเต็มแล้ว ยังไม่มีการจอง ได้ไม่เกินวันที่ ", 0), 0u) << line;

    // Success: cancel in place of reserve, then the message, then the groups again from the
    // unchanged record (reserve back) until the member's reservations swap it for cancel.
    const size_t lookups = calls("GetCurrentReserveBookInfos");
    state->btnReserve_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 1; }));
    EXPECT_EQ(alerts->messages[0], "การจองเสร็จสมบูรณ์");
    ASSERT_EQ(atAlert.size(), 1u);
    EXPECT_EQ(atAlert[0], (std::set<G>{G::Cancel, G::GetSample}));
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(ends(), 1u);
    ASSERT_TRUE(waitFor([&] { return calls("GetCurrentReserveBookInfos") == lookups + 1; }));
    settle();
    EXPECT_EQ(shown(), (std::set<G>{G::Cancel, G::GetSample}));
    EXPECT_EQ(state->model().digitalPrice, line);  // the record's line: the queue is not re-read
    EXPECT_EQ(catalogue.reservations("somchai@example.com").size(), 2u);
    EXPECT_EQ(library->count("updateLibraryForceUpdate:"), 0u);

    // Refused: the service's Thai message, the groups rebuilt alike.
    state->btnReserve_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return alerts->messages.size() == 2; }));
    EXPECT_EQ(alerts->messages[1], "คุณจองรายการนี้อยู่แล้ว");
    EXPECT_EQ(ends(), 2u);
    ASSERT_TRUE(waitFor([&] { return calls("GetCurrentReserveBookInfos") == lookups + 2; }));
    settle();
    EXPECT_EQ(shown(), (std::set<G>{G::Cancel, G::GetSample}));
    EXPECT_EQ(catalogue.reservations("somchai@example.com").size(), 2u);

    // The row given another item before the reservations of the first answer: the reserved
    // item's answer does not put cancel on the other one, and the other's own answer stands.
    const auto reserved = storeItem("BK0004");
    const auto free = storeItem("BK0003");
    const size_t before = calls("GetCurrentReserveBookInfos");
    state->setMagazineIssueInfo(reserved);
    state->setMagazineIssueInfo(free);
    ASSERT_TRUE(waitFor([&] { return calls("GetCurrentReserveBookInfos") == before + 2; }));
    settle();
    EXPECT_EQ(shown(), (std::set<G>{G::Borrow, G::ReadNow, G::GetSample}));
    state->setMagazineIssueInfo(free);
    state->setMagazineIssueInfo(reserved);
    ASSERT_TRUE(waitFor([&] { return calls("GetCurrentReserveBookInfos") == before + 4; }));
    settle();
    EXPECT_EQ(shown(), (std::set<G>{G::Cancel, G::GetSample}));
}

TEST_F(LendingActionsTest, SampleReadPreviewAndTheBuyNowToggle) {
    const std::string preview = "shopDetailInfoItem:previewMagazineIssueInfo:";
    delegate->on(preview);
    // Read opens only what the member's stored library lends, asked at the press. The member's
    // own loan before the library has it, and an item the member does not hold, open nothing,
    // whatever the row offers: the row is filled again instead.
    const auto book = showBook("BK0003");
    state->btnRead_Click(nullptr);
    showBook("BK0001");  // LN0001, not yet in the library on this home
    state->btnRead_Click(nullptr);
    EXPECT_EQ(shown(), (std::set<G>{G::Borrow, G::ReadNow, G::GetSample}));
    updateLibrary();
    const auto loan = showBook("BK0001");
    EXPECT_EQ(shown(), (std::set<G>{G::Return, G::View}));
    EXPECT_EQ(library->count("displayReaderWithIssueInfo:"), 0u);
    const size_t requests = service.requests().size() + store.requests().size();

    // Read and preview: the reader, the delegate; no request, no loading.
    state->btnRead_Click(nullptr);
    ASSERT_EQ(library->count("displayReaderWithIssueInfo:"), 1u);
    EXPECT_EQ(readerItem(0), loan);
    state->btnPreview_Click(nullptr);
    ASSERT_EQ(delegate->count(preview), 1u);
    EXPECT_EQ(testing_support::sentArgument<Ref<ShopDetailInfoItemState>>(*delegate, preview, 0, 0),
              state);
    EXPECT_EQ(testing_support::sentArgument<Ref<VnMagazineIssueInfo>>(*delegate, preview, 0, 1),
              loan);

    // Buy now only toggles.
    const auto groups = shown();
    EXPECT_FALSE(state->check());
    state->btnBuyNow_click(nullptr);
    EXPECT_TRUE(state->check());
    state->btnBuyNow_click(nullptr);
    EXPECT_FALSE(state->check());
    EXPECT_EQ(shown(), groups);
    settle();
    EXPECT_EQ(service.requests().size() + store.requests().size(), requests);
    EXPECT_EQ(starts(), 0u);
    EXPECT_EQ(library->count("updateLibraryForceUpdate:"), 0u);

    // Sample: kept among the member's samples, the library refreshed and the reader opened; the
    // loading lasts until the screen shows again.
    showBook("BK0003");
    state->btnGetSample_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 2; }));
    EXPECT_EQ(readerItem(1)->code(), book->code());
    EXPECT_EQ(library->count("updateLibraryForceUpdate:"), 1u);
    bool kept = false;
    for (const auto& sample : user()->bookSamples())
        kept = kept || sample->code() == book->code();
    EXPECT_TRUE(kept);
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(ends(), 0u);
    state->viewWillAppear();
    EXPECT_EQ(ends(), 1u);
    EXPECT_TRUE(alerts->messages.empty());

    // The read-now loan the row holds opens too, though the library does not list it.
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 3; }));
    state->btnRead_Click(nullptr);
    ASSERT_EQ(library->count("displayReaderWithIssueInfo:"), 4u);
    EXPECT_EQ(readerItem(3)->code(), book->code());
}

TEST_F(LendingActionsTest, ReadNowHoldsTheClickedItemsLoanAndGivesBackNoOrdinaryLoan) {
    auto clock = useVirtualClock();

    // The row given the member's own loan before the read-now answer: the loan taken, the
    // reader and the give-back are the clicked item's.
    const auto clicked = showBook("BK0003");
    const auto own = storeItem("BK0001");  // LN0001
    state->btnReadNow_Clcik(nullptr);
    state->setMagazineIssueInfo(own);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 1; }));
    EXPECT_EQ(state->readNowItem(), clicked);
    EXPECT_EQ(readerItem(0), clicked);
    ASSERT_FALSE(loanOf("BK0003").empty());
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return !state->isReadBookNow(); }));
    EXPECT_TRUE(loanOf("BK0003").empty());
    EXPECT_EQ(loanOf("BK0001"), "LN0001");
    EXPECT_TRUE(alerts->messages.empty());

    // The read-now loan given back elsewhere (the shelves do so when they learn of it): the
    // lookup lists nothing, the loading ends and the loan stays held.
    showBook("BK0003");
    state->btnReadNow_Clcik(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 2; }));
    ASSERT_TRUE(catalogue.returnLoan("somchai@example.com", loanOf("BK0003")).success);
    const size_t returns = calls("ReturnBook");
    size_t ended = ends();
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return ends() == ended + 1; }));
    settle();
    EXPECT_TRUE(state->isReadBookNow());
    EXPECT_TRUE(state->hasExtensionTimer());
    EXPECT_EQ(calls("ReturnBook"), returns);

    // Borrowed now in the ordinary way: neither the next showing nor a tick touches that loan.
    state->btnBorrow_Click(nullptr);
    ASSERT_TRUE(waitFor([&] { return library->count("displayReaderWithIssueInfo:") == 3; }));
    const std::string borrowed = loanOf("BK0003");
    ASSERT_FALSE(borrowed.empty());
    ended = ends();
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return ends() == ended + 1; }));
    settle();
    EXPECT_EQ(loanOf("BK0003"), borrowed);
    EXPECT_TRUE(state->isReadBookNow());
    const size_t lookups = calls("GetLibraryIssueInfos");
    clock->advance(180);
    ASSERT_TRUE(waitFor([&] { return calls("GetLibraryIssueInfos") == lookups + 1; }));
    settle();
    EXPECT_EQ(calls("ReturnBook"), returns);
    EXPECT_EQ(calls("ExtendBorrowBook"), 0u);
    EXPECT_EQ(loanOf("BK0003"), borrowed);
    EXPECT_TRUE(alerts->messages.empty());
}

TEST_F(LendingActionsTest, AnItemTheReaderCannotOpenEndsTheLoadingOnceTheOpeningReturns) {
    demo::addEpubOnlyBook(catalogue);
    const auto book = showBook(demo::kEpubOnlyBook);
    ASSERT_TRUE(book);
    // Each action's loading ends in the answer that opened the item, right after the opening.
    const auto openedAndEnded = [&](size_t openings, size_t loadings) {
        return waitFor([&] { return library->count("displayReaderWithIssueInfo:") == openings; }) &&
               starts() == loadings && ends() == loadings;
    };

    // Read now: the loan is held all the same, on its extension timer, and given back when the
    // screen shows again.
    state->btnReadNow_Clcik(nullptr);
    EXPECT_TRUE(openedAndEnded(1, 1)) << starts() << " starts, " << ends() << " ends";
    EXPECT_TRUE(state->isReadBookNow());
    EXPECT_TRUE(state->hasExtensionTimer());
    state->viewWillAppear();
    ASSERT_TRUE(waitFor([&] { return !state->isReadBookNow() && ends() == 2; }));
    ASSERT_TRUE(loanOf(demo::kEpubOnlyBook).empty());

    state->btnBorrow_Click(nullptr);
    EXPECT_TRUE(openedAndEnded(2, 3)) << starts() << " starts, " << ends() << " ends";
    EXPECT_FALSE(loanOf(demo::kEpubOnlyBook).empty());
    state->btnGetSample_Click(nullptr);
    EXPECT_TRUE(openedAndEnded(3, 4)) << starts() << " starts, " << ends() << " ends";
    EXPECT_TRUE(alerts->messages.empty());
}

TEST_F(LendingActionsTest, WithNothingToOpenTheItemEachActionsLoadingEndsWithItsAnswer) {
    // Each action's loading ends in the answer that would have opened the item; the library
    // double is never asked to open it and the member is told nothing.
    const auto endsWithTheAnswer = [&](size_t loadings) {
        return waitFor([&] { return ends() == loadings; }) && starts() == loadings;
    };
    const auto eachAction = [&](const std::string& code, size_t before) {
        showBook(code);
        state->btnReadNow_Clcik(nullptr);
        EXPECT_TRUE(endsWithTheAnswer(before + 1)) << starts() << " starts, " << ends() << " ends";
        // The loan is held all the same, on its extension timer, and goes back when the screen
        // shows again.
        EXPECT_TRUE(state->isReadBookNow());
        EXPECT_TRUE(state->hasExtensionTimer());
        EXPECT_FALSE(loanOf(code).empty());
        state->viewWillAppear();
        EXPECT_TRUE(waitFor([&] { return !state->isReadBookNow() && ends() == before + 2; }));
        EXPECT_TRUE(loanOf(code).empty());

        state->btnBorrow_Click(nullptr);
        EXPECT_TRUE(endsWithTheAnswer(before + 3)) << starts() << " starts, " << ends() << " ends";
        EXPECT_FALSE(loanOf(code).empty());
        state->btnGetSample_Click(nullptr);
        EXPECT_TRUE(endsWithTheAnswer(before + 4)) << starts() << " starts, " << ends() << " ends";
    };

    // No opening seam at all.
    AreaSeams::shared().replace<IssueOpening>(nullptr, "library");
    eachAction("BK0003", 0);
    // The seam, but no library screen to open the item with.
    AreaSeams::shared().replace<IssueOpening>(makeLibraryIssueOpening(), "library");
    GlobalService::globalShared()->setLibraryViewController(nullptr);
    eachAction("BK0006", 4);

    EXPECT_EQ(library->count("displayReaderWithIssueInfo:"), 0u);
    EXPECT_TRUE(alerts->messages.empty());
}

TEST_F(LendingActionsTest, AnAnswerChangesTheGroupsOnlyOfTheItemItWasSentFor) {
    auto recorder = std::make_shared<GroupsAtAlert>();
    alerts = recorder;
    ui::Alert::setShared(recorder);
    std::vector<std::set<G>> atAlert;
    recorder->onAlert = [&] { atAlert.push_back(shown()); };
    // Somchai holds BK0001 and BK0006 and has reserved BK0002; nok holds BK0004's one copy.
    ASSERT_TRUE(catalogue.borrow("somchai@example.com", "BK0006").success);
    ASSERT_TRUE(catalogue.borrow("nok@example.com", "BK0004").success);
    updateLibrary();

    // The action is pressed on one item, whose answer the service holds; the row is given the
    // other item meanwhile (the kept detail of a list shows the next one chosen). The answer then
    // leaves that item's groups as its own record, library and reservations make them.
    struct Late {
        const char* method;
        void (ShopDetailInfoItemState::*press)(Ref<plat::Object>);
        const char* pressedOn;
        const char* shownWhenItComes;
    };
    const std::vector<Late> actions = {
        {"BorrowBook", &ShopDetailInfoItemState::btnBorrow_Click, "BK0003", "BK0002"},
        {"ReturnBook", &ShopDetailInfoItemState::btnReturn_Click, "BK0001", "BK0006"},
        {"ReserveBook", &ShopDetailInfoItemState::btnReserve_Click, "BK0004", "BK0003"},
        {"CancelReserveBook", &ShopDetailInfoItemState::btnCancel_Click, "BK0002", "BK0004"},
        {"ReadBookNow", &ShopDetailInfoItemState::btnReadNow_Clcik, "BK0005", "BK0006"},
    };
    size_t openings = 0;
    for (const auto& late : actions) {
        SCOPED_TRACE(late.method);
        const auto pressed = showBook(late.pressedOn);
        demo::Fault held = demo::Fault::stall();
        held.calls = 1;
        service.setFault(late.method, held);
        ((*state).*late.press)(nullptr);
        ASSERT_TRUE(waitFor([&] { return service.stalledCount() == 1; }));
        const auto other = showBook(late.shownWhenItComes);
        const auto groups = shown();
        const std::string line = state->model().digitalPrice;
        const size_t told = alerts->messages.size();
        const size_t opened = library->count("displayReaderWithIssueInfo:");
        service.releaseStalled(late.method);
        // Each answer ends in an alert or in the opening of the item it was sent for.
        ASSERT_TRUE(waitFor([&] {
            return alerts->messages.size() > told ||
                   library->count("displayReaderWithIssueInfo:") > opened;
        })) << "the answer comes";
        EXPECT_EQ(state->magazineIssueInfo(), other);
        if (library->count("displayReaderWithIssueInfo:") > opened) {
            EXPECT_EQ(readerItem(openings++)->code(), pressed->code());
        } else {
            ASSERT_EQ(atAlert.size(), alerts->messages.size());
            EXPECT_EQ(atAlert.back(), groups) << alerts->messages.back();
        }
        // The other item's groups, once its reservations have answered again.
        settle();
        EXPECT_EQ(shown(), groups);
        EXPECT_EQ(state->model().digitalPrice, line);
    }
    EXPECT_EQ(alerts->messages, (std::vector<std::string>{"การคืนเสร็จสมบูรณ์", "การจองเสร็จสมบูรณ์",
                                                          "ยกเลิกการจองเสร็จสมบูรณ์"}));
    EXPECT_TRUE(loanOf("BK0001").empty());
    EXPECT_FALSE(loanOf("BK0003").empty());
    EXPECT_TRUE(state->isReadBookNow());
    EXPECT_EQ(state->readNowItem()->code(), "BK0005");
}

TEST_F(LendingActionsTest, AnswersForAMemberWhoHasLeftShowOpenAndTellNothing) {
    // Each action of somchai's is pressed and its answer held; he signs out on this computer only
    // (the service still serves his session) and the row is filled for the signed-out member, as
    // the detail does at a change of member; then the answer comes.
    const testing_support::ScopedTraceSwitch traces([](std::string_view) { return true; });
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    const auto answeredAfterLeaving = [&] {
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("answered after its member had left") != std::string::npos;
        });
    };
    ASSERT_TRUE(catalogue.borrow("nok@example.com", "BK0004").success);  // none left to borrow
    // A loan that is not free content, which a return takes out of the stored library.
    ASSERT_TRUE(catalogue.borrow("somchai@example.com", "BK0005").success);
    const auto somchaiHolds = [&](const char* code) { return !loanOf(code).empty(); };
    struct Left {
        const char* method;  // held; the sample answers on the next turn without asking
        void (ShopDetailInfoItemState::*press)(Ref<plat::Object>);
        const char* code;
    };
    const std::vector<Left> actions = {
        {"", &ShopDetailInfoItemState::btnGetSample_Click, "BK0003"},
        {"BorrowBook", &ShopDetailInfoItemState::btnBorrow_Click, "BK0003"},
        {"ReadBookNow", &ShopDetailInfoItemState::btnReadNow_Clcik, "BK0006"},
        {"ReserveBook", &ShopDetailInfoItemState::btnReserve_Click, "BK0004"},
        {"CancelReserveBook", &ShopDetailInfoItemState::btnCancel_Click, "BK0002"},
        {"GetLibraryIssueInfos", &ShopDetailInfoItemState::btnReturn_Click, "BK0005"},
        {"ReturnBook", &ShopDetailInfoItemState::btnReturn_Click, "BK0005"},
    };
    for (const auto& left : actions) {
        SCOPED_TRACE(left.method);
        ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
        updateLibrary();
        const auto somchai = user();
        const auto item = showBook(left.code);
        if (*left.method) {
            demo::Fault held = demo::Fault::stall();
            held.calls = 1;
            service.setFault(left.method, held);
        }
        const auto answered = answeredAfterLeaving();
        const size_t opened = library->count("displayReaderWithIssueInfo:");
        ((*state).*left.press)(nullptr);
        if (*left.method) {
            ASSERT_TRUE(waitFor([&] { return service.stalledCount() == 1; }));
        }
        context->signOutRegisteredUserWithRemote(false);  // before the sample's answer
        state->activeMemberChanged();
        showBook(left.code);
        const auto groups = shown();
        const size_t told = alerts->messages.size();
        service.releaseStalled();
        ASSERT_TRUE(waitFor([&] { return answeredAfterLeaving() > answered; }));
        EXPECT_EQ(shown(), groups);
        EXPECT_EQ(alerts->messages.size(), told);
        EXPECT_EQ(library->count("displayReaderWithIssueInfo:"), opened);
        EXPECT_FALSE(state->isReadBookNow());
        // What the service carried out for somchai stays carried out, and a return reaches his
        // stored library at once.
        if (left.method == std::string("ReturnBook")) {
            EXPECT_FALSE(somchaiHolds("BK0005"));
            EXPECT_FALSE(somchai->hasIssueInLibrary(item));
        }
    }
    // The return's lookup answered after he left sent no return; the next one did.
    EXPECT_EQ(calls("ReturnBook"), 1u);
    EXPECT_TRUE(somchaiHolds("BK0003") && somchaiHolds("BK0006"));
    EXPECT_EQ(catalogue.reservations("somchai@example.com").size(), 1u);

    // Signed in again before his shelves' update, the returned book is not lent to him.
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
    state->activeMemberChanged();
    showBook("BK0005");
    EXPECT_EQ(shown(), (std::set<G>{G::Borrow, G::ReadNow, G::GetSample}));
    state->btnRead_Click(nullptr);
    EXPECT_EQ(library->count("displayReaderWithIssueInfo:"), 0u);
    plat::setLogSink(previous);
}
