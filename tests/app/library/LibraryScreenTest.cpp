// The library screens on screen (offscreen), against the demo library: the two shelves in their
// places, what the shelf cells show (a cover that fails keeps the placeholder), return mode's
// buttons and the overlay while a return runs, a download's progress in the clicked cell, and the
// borrow history and reservation rows; items opened on the shelf of their kind, the bar kept in
// its range, and the overlay dismissed while a return goes on.
#include <algorithm>
#include <cmath>
#include <limits>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "LibraryTestSupport.h"
#include "app/library/BorrowHistoryViewController.h"
#include "app/library/BorrowItemViewCell.h"
#include "app/library/IssueMetadataDownloader.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/library/LibraryResources.h"
#include "app/library/ReserveBookItemTableCellView.h"
#include "app/library/ReserveBookViewController.h"
#include "app/services/GlobalService.h"
#include "app/shell/HZLoading.h"
#include "app/shell/ShellResources.h"
#include "demo-service/DemoLibraryMembers.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/TableView.h"
#include "platform_ui/ViewGeometry.h"
#include "support/CapturedLog.h"
#include "support/GuiTestSupport.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

using namespace library_testing;
using testing_support::spinUntil;

namespace {

using Cell = LibraryBookShelfCollectionCellView;
constexpr int kWait = 20000;

class LibraryScreenTest : public LibraryTest {
  protected:
    // The demo member without the read-now loan (whose automatic return would refresh on its
    // own), the program's shell and library registrations, and the run loop under Qt's.
    void startScreens() {
        startDemo();
        demo.catalogue.returnLoan(demo::kShelfMember, "BK0006");
        ui::RunLoopBridge::install();
        registerShellResources(ui::ResourceRegistry::shared());
        registerLibraryResources(ui::ResourceRegistry::shared());
    }

    // The library screen as the main window makes it, shown.
    Ref<LibraryMainViewController> showLibrary() {
        auto library = ui::ResourceRegistry::shared().instantiate<LibraryMainViewController>(
            "LibraryStoryboard", "LibraryMainViewController");
        EXPECT_TRUE(library);
        if (!library)
            return nullptr;
        library->view()->resize(1200, 800);
        library->view()->show();
        return library;
    }

    // The demo and the library screen, shown once both shelves have settled (null when they do
    // not); `books` and `magazines` are its shelves.
    Ref<LibraryMainViewController> openSettledLibrary() {
        startScreens();
        auto library = showLibrary();
        if (!library || !spinUntil([&] { return settled(*library->libraryMainView()); }, kWait)) {
            ADD_FAILURE() << "The shelves did not settle";
            return nullptr;
        }
        books = library->libraryMainView()->bookLibraryListView().get();
        magazines = library->libraryMainView()->magazineLibraryListView().get();
        return library;
    }

    // A screen made from its nib, shown.
    template <class T>
    static Ref<T> showNib(const char* nib) {
        auto screen = ui::ResourceRegistry::shared().instantiate<T>("", nib);
        if (screen) {
            screen->view()->resize(600, 500);
            screen->view()->show();
        }
        return screen;
    }

    // Both shelves have no update running and their last library-state request has finished.
    static bool settled(const LibraryMainView& screen) {
        for (const auto* shelf :
             {screen.bookLibraryListView().get(), screen.magazineLibraryListView().get()}) {
            const auto& state = shelf->getIssueInfoRequest();
            if (shelf->booksRequest() || shelf->magazineIssuesRequest() || !state ||
                state->running() || shelf->content().empty())
                return false;
        }
        return true;
    }

    // The grid's live cell that shows the item of that code.
    static Ref<Cell> cellOf(const LibraryListView& shelf, const std::string& code) {
        const ui::CollectionView* grid = shelf.collectionView();
        for (int i = 0; grid && i < static_cast<int>(grid->content().size()); ++i) {
            const auto cell = std::dynamic_pointer_cast<Cell>(grid->itemAtIndex(i));
            if (cell && cell->magazienIssueInfo() && cell->magazienIssueInfo()->code() == code)
                return cell;
        }
        return nullptr;
    }

    static QString text(const QLabel* label) { return label ? label->text() : QString("<none>"); }

    LibraryListView* books = nullptr;
    LibraryListView* magazines = nullptr;
};

TEST_F(LibraryScreenTest, ShelvesCellsAndReturnMode) {
    startScreens();
    user()->saveBookSample([] {
        auto sample = std::make_shared<VnMagazineIssueInfo>();
        sample->setCode("BK0007");
        sample->itemCode_ = "BK0007";
        sample->type_ = "Book";
        sample->setIssueName("Sample Seven");
        return sample;
    }());
    demo.service.setFault("/covers/BK0003.jpg", demo::Fault::htmlStatus(404));
    demo.service.setFault("/covers/BK0001.jpg", demo::Fault::stall());
    const auto library = showLibrary();
    ASSERT_TRUE(library);
    const auto& screen = *library->libraryMainView();
    ASSERT_TRUE(spinUntil([&] { return settled(screen); }, kWait));
    testing_support::spin(50);  // milliseconds
    books = screen.bookLibraryListView().get();
    magazines = screen.magazineLibraryListView().get();

    // Books on top, magazines below, in a document of two shelf heights scrolled to its top
    // (in y-up frames the magazine shelf lies at 0, the book shelf at 350).
    EXPECT_EQ(text(books->titleTextField()), "หนังสือ");
    EXPECT_EQ(text(magazines->titleTextField()), "นิตยสาร");
    QWidget* document = screen.scrollView()->widget();
    EXPECT_EQ(document->height(), 700);
    EXPECT_EQ(books->view()->parentWidget(), document);
    EXPECT_EQ(books->view()->geometry().top(), 0);
    EXPECT_EQ(magazines->view()->geometry().top(), 350);
    EXPECT_EQ(ui::frame(magazines->view()).y(), 0);
    EXPECT_EQ(ui::frame(books->view()).y(), 350);
    EXPECT_EQ(books->view()->width(), screen.scrollView()->viewport()->width());
    EXPECT_EQ(screen.scrollView()->verticalScrollBar()->value(), 0);
    // The reserved-book notice came with the showing.
    ASSERT_TRUE(spinUntil([&] { return !alerts->messages.empty(); }, kWait));
    ASSERT_EQ(alerts->messages.size(), 1u);
    EXPECT_EQ(alerts->messages[0],
              "คุณได้รับหนังสือที่จองแล้ว\nชื่อเรื่อง : \nQueued BK-RSV1\n"
              "ดูหนังสือที่ได้รับในเมนู \"คิวการจองหนังสือ\"");

    // Cell texts: a borrowed book, a borrowed issue, a sample.
    const auto book = cellOf(*books, "BK0003");
    const auto issue = cellOf(*magazines, "MG01-2401");
    const auto sample = cellOf(*books, "BK0007");
    ASSERT_TRUE(book && issue && sample);
    const auto& bookItem = *book->magazienIssueInfo();
    EXPECT_EQ(text(book->titleTextField()).toStdString(), bookItem.issueName().value_or("?"));
    EXPECT_EQ(text(book->descriptionTextField()), "");
    ASSERT_TRUE(bookItem.dueDate_ && !bookItem.dueDate_->empty());
    EXPECT_EQ(text(book->dueDateTextField()).toStdString(), "กำหนดคืน : " + *bookItem.dueDate_);
    const auto& issueItem = *issue->magazienIssueInfo();
    EXPECT_EQ(text(issue->titleTextField()).toStdString(), issueItem.magazineName().value_or("?"));
    EXPECT_EQ(text(issue->descriptionTextField()).toStdString(),
              issueItem.issueName().value_or("?"));
    EXPECT_EQ(text(sample->titleTextField()), "Sample Seven");
    EXPECT_EQ(text(sample->descriptionTextField()), "");
    EXPECT_EQ(text(sample->dueDateTextField()), "หนังสือตัวอย่าง");

    // The cover that is not found keeps the drawn placeholder; a found one replaces it.
    const auto coverAsked = [&] {
        for (const auto& request : demo.service.requests()) {
            if (request.path == "/covers/BK0003.jpg")
                return true;
        }
        return false;
    };
    ASSERT_TRUE(spinUntil(coverAsked, kWait));
    QLabel expected;
    expected.setScaledContents(true);
    expected.resize(book->coverImageView()->size());
    expected.setPixmap(
        QPixmap::fromImage(ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png")));
    const QImage placeholder = expected.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto coverOf = [](const Ref<Cell>& cell) {
        return cell->coverImageView()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    ASSERT_TRUE(spinUntil([&] { return coverOf(issue) != placeholder; }, kWait));
    testing_support::spin(200);  // milliseconds
    EXPECT_EQ(coverOf(book), placeholder);
    // A shadow darkens the cover's edge.
    const QImage cellImage = book->view()->grab().toImage();
    const QRect cover = book->coverImageView()->geometry().translated(
        book->coverImageView()->parentWidget()->pos());
    EXPECT_LT(cellImage.pixelColor(cover.left() - 2, cover.center().y()).lightness(),
              cellImage.pixelColor(2, cover.center().y()).lightness());

    // A refresh with the same answers leaves the cells in place with the covers they show or
    // load; a cover that was not found is asked for again.
    const auto coverRequests = [&](const char* path) {
        const auto& requests = demo.service.requests();
        return std::count_if(requests.begin(), requests.end(),
                             [&](const auto& request) { return request.path == path; });
    };
    const auto notFoundAsked = coverRequests("/covers/BK0003.jpg");
    ASSERT_TRUE(cellOf(*books, "BK0001"));
    ASSERT_TRUE(spinUntil([&] { return demo.service.stalledCount() == 1; }, kWait));
    const auto loading = coverRequests("/covers/BK0001.jpg");
    const qint64 shownCover = issue->coverImageView()->pixmap().cacheKey();
    for (LibraryListView* shelf : {books, magazines}) {
        const auto before = shelf->getIssueInfoRequest();
        shelf->updateLibraryForceUpdate(true);
        ASSERT_TRUE(spinUntil(
            [&] {
                const auto& state = shelf->getIssueInfoRequest();
                return state && state != before && !state->running() && !shelf->booksRequest() &&
                       !shelf->magazineIssuesRequest();
            },
            kWait));
    }
    EXPECT_EQ(cellOf(*magazines, "MG01-2401"), issue);
    EXPECT_EQ(cellOf(*books, "BK0003"), book);
    EXPECT_EQ(issue->coverImageView()->pixmap().cacheKey(), shownCover);
    EXPECT_TRUE(
        spinUntil([&] { return coverRequests("/covers/BK0003.jpg") > notFoundAsked; }, kWait));
    EXPECT_EQ(coverRequests("/covers/BK0001.jpg"), loading);
    demo.service.clearFaults();
    demo.service.setFault("/covers/BK0003.jpg", demo::Fault::htmlStatus(404));
    demo.service.releaseStalled();

    // Return mode: borrowed items offer return, samples delete; the borrowed cover opens nothing.
    ASSERT_FALSE(books->returnButton()->isHidden());
    EXPECT_TRUE(books->closeButton()->isHidden());
    books->returnButton()->click();
    EXPECT_TRUE(books->returnButton()->isHidden());
    EXPECT_FALSE(books->closeButton()->isHidden());
    const auto bookNow = cellOf(*books, "BK0003");
    const auto sampleNow = cellOf(*books, "BK0007");
    ASSERT_TRUE(bookNow && sampleNow);
    EXPECT_TRUE(bookNow->removeButton()->isVisible());
    EXPECT_FALSE(bookNow->deleteButton()->isVisible());
    EXPECT_FALSE(sampleNow->removeButton()->isVisible());
    EXPECT_TRUE(sampleNow->deleteButton()->isVisible());
    EXPECT_FALSE(cellOf(*magazines, "MG01-2401")->removeButton()->isVisible());  // other shelf
    bookNow->itemSelectButton()->click();
    EXPECT_FALSE(books->metadataDownloader());
    // A refresh drops the buttons; the close button stays.
    const auto state = books->getIssueInfoRequest();
    library->updateLibraryForceUpdate(true);
    ASSERT_TRUE(
        spinUntil([&] { return settled(screen) && books->getIssueInfoRequest() != state; }, kWait));
    EXPECT_FALSE(cellOf(*books, "BK0003")->removeButton()->isVisible());
    EXPECT_FALSE(cellOf(*books, "BK0007")->deleteButton()->isVisible());
    EXPECT_FALSE(books->closeButton()->isHidden());
    books->closeButton()->click();
    EXPECT_FALSE(books->returnButton()->isHidden());
    EXPECT_TRUE(books->closeButton()->isHidden());
}

// The shelves follow the member signed in, also while they are not shown: a sign-out empties
// them of the member's loans, and the next member's loans come at once.
TEST_F(LibraryScreenTest, TheShelvesFollowTheMemberSignedIn) {
    const auto library = openSettledLibrary();
    ASSERT_TRUE(library);
    const auto holds = [](const LibraryListView* shelf, const char* code) {
        const auto codes = contentCodes(*shelf);
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    };
    ASSERT_TRUE(holds(books, "BK0003"));
    ASSERT_TRUE(holds(magazines, "MG01-2401"));
    library->view()->hide();

    GlobalService::globalShared()->storeContext()->signOutRegisteredUser();
    EXPECT_TRUE(
        spinUntil([&] { return !holds(books, "BK0003") && !holds(magazines, "MG01-2401"); }, kWait))
        << "the member who left is off the shelves";

    ASSERT_NO_FATAL_FAILURE(signIn("nok@example.com", "nok-2567"));
    EXPECT_TRUE(spinUntil([&] { return holds(books, "BK0005"); }, kWait))
        << "the next member's loans come";
    EXPECT_FALSE(holds(books, "BK0003"));
    EXPECT_FALSE(holds(magazines, "MG01-2401"));
}

TEST_F(LibraryScreenTest, DownloadProgressAndTheOverlayDuringAReturn) {
    const auto library = openSettledLibrary();
    ASSERT_TRUE(library);
    const auto& screen = *library->libraryMainView();

    // While the first page is held, the clicked cell shows the bar past the metadata's quarter
    // and the stop button; when the page comes, the bar goes and the reader opens.
    demo.service.setFault("/content/MG01-2401/PAGE_0.pdf", demo::Fault::stall());
    const auto issue = cellOf(*magazines, "MG01-2401");
    ASSERT_TRUE(issue);
    EXPECT_FALSE(issue->downloadProgress()->isVisible());
    // With every trace group off, the click writes the cell's line and the shelf's to the system
    // log, and neither to the terminal.
    const auto written =
        testing_support::writtenWithTracesOff([&] { issue->itemSelectButton()->click(); });
    EXPECT_EQ(written.inSystemLog("double click in the collectionItem"), 1u);
    EXPECT_EQ(written.inSystemLog("Library book cover click"), 1u);
    EXPECT_EQ(written.onTerminal("collectionItem") + written.onTerminal("cover click"), 0u);
    ASSERT_TRUE(spinUntil([&] { return demo.service.stalledCount() == 1; }, kWait));
    testing_support::spin(50);  // milliseconds
    EXPECT_TRUE(issue->downloadProgress()->isVisible());
    EXPECT_TRUE(issue->stopDownloadButton()->isVisible());
    EXPECT_EQ(issue->downloadProgress()->maximum(), 100);
    EXPECT_TRUE(spinUntil([&] { return issue->downloadProgress()->value() >= 25; }, kWait));
    EXPECT_TRUE(reader->pages.empty());
    for (const auto& other : {cellOf(*magazines, demo::kZeroPageIssue), cellOf(*books, "BK0003")})
        EXPECT_FALSE(other && other->downloadProgress()->isVisible());
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(spinUntil([&] { return reader->pages.size() == 1; }, kWait));
    EXPECT_FALSE(issue->downloadProgress()->isVisible());
    EXPECT_FALSE(issue->stopDownloadButton()->isVisible());

    // The overlay covers the screen from the return's start to its end.
    EXPECT_FALSE(library->loadingView()->isVisible());
    demo.service.setFault("ReturnBook", demo::Fault::stall());
    books->returnButton()->click();
    const auto book = cellOf(*books, "BK0003");
    ASSERT_TRUE(book);
    book->removeButton()->click();
    EXPECT_TRUE(library->loadingView()->isVisible());
    EXPECT_TRUE(library->hzLoading()->view()->isVisible());
    ASSERT_TRUE(spinUntil([&] { return demo.service.stalledCount() == 1; }, kWait));
    EXPECT_TRUE(library->loadingView()->isVisible());
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(spinUntil([&] { return !library->loadingView()->isVisible(); }, kWait));
    ASSERT_TRUE(spinUntil([&] { return settled(screen) && !cellOf(*books, "BK0003"); }, kWait));
    EXPECT_EQ(demo.calls("ReturnBook"), 1u);
}

// The library view holds the reader window the shelves are given; a cover click that reaches the
// view shows that window and makes no other. Held none, it makes one, once.
TEST_F(LibraryScreenTest, ACoverClickOnTheLibraryViewShowsTheReaderItHolds) {
    const auto library = openSettledLibrary();
    ASSERT_TRUE(library);
    const auto& screen = library->libraryMainView();
    EXPECT_EQ(std::dynamic_pointer_cast<RecordingReader>(screen->readerWindowController()), reader);
    EXPECT_EQ(books->readerWindowController(), screen->readerWindowController());
    EXPECT_EQ(magazines->readerWindowController(), screen->readerWindowController());
    ASSERT_TRUE(screen->mainTableView());
    EXPECT_FALSE(screen->mainTableView()->isVisible());

    auto made = std::make_shared<std::vector<Ref<RecordingReader>>>();
    ui::ResourceRegistry::shared().replaceController(
        "ReaderWindowStoryboard", "ReaderWindow", [made] {
            made->push_back(std::make_shared<RecordingReader>());
            return made->back();
        });
    const auto cell = std::make_shared<RecordingCell>(itemOf(*books, "BK0003"));
    const auto click = [&](const Ref<LibraryMainView>& view) {
        return testing_support::writtenWithTracesOff(
            [&] { plat::send(view, "libraryBookCollectionCellSelect:", Ref<plat::Object>(cell)); });
    };
    const size_t before = reader->calls.size();
    const auto written = click(screen);
    EXPECT_EQ(written.inSystemLog("Library book cover click"), 1u);
    EXPECT_EQ(written.onTerminal("cover click"), 0u);
    ASSERT_EQ(reader->calls.size(), before + 1);
    EXPECT_EQ(reader->calls.back(), "showWindow");
    EXPECT_TRUE(made->empty());
    EXPECT_FALSE(books->metadataDownloader()) << "nothing is opened";

    // A library view that found no reader window when it loaded makes one, and keeps it.
    GlobalService::globalShared()->setReaderViewController(nullptr);
    const auto other =
        ui::ResourceRegistry::shared().instantiate<LibraryMainView>(LibraryScreens::kMainView);
    ASSERT_TRUE(other);
    other->view();
    EXPECT_FALSE(other->readerWindowController());
    click(other);
    click(other);
    ASSERT_EQ(made->size(), 1u);
    EXPECT_EQ(made->front()->calls, (std::vector<std::string>{"showWindow", "showWindow"}));
    EXPECT_EQ(reader->calls.size(), before + 1);
}

TEST_F(LibraryScreenTest, ItemsOpenOnTheShelfOfTheirKindAndTheOverlayCanBeDismissed) {
    const auto library = openSettledLibrary();
    ASSERT_TRUE(library);
    const auto& screen = *library->libraryMainView();

    // Opened through the screen, as the store does: a book on the book shelf, an issue on the
    // magazine shelf, each without touching the other's download; a cancel stops both.
    demo.service.setFault("/content/BK0003/PAGE_0.pdf", demo::Fault::stall());
    demo.service.setFault("/content/MG01-2401/PAGE_0.pdf", demo::Fault::stall());
    const auto book = itemOf(*books, "BK0003");
    const auto issue = itemOf(*magazines, "MG01-2401");
    ASSERT_TRUE(book && issue);
    library->displayReaderWithIssueInfo(book);
    ASSERT_TRUE(books->metadataDownloader());
    EXPECT_EQ(books->metadataDownloader()->issueInfo(), book);
    EXPECT_FALSE(magazines->metadataDownloader());
    library->displayReaderWithIssueInfo(issue);
    ASSERT_TRUE(magazines->metadataDownloader());
    EXPECT_EQ(magazines->metadataDownloader()->issueInfo(), issue);
    EXPECT_EQ(books->metadataDownloader()->issueInfo(), book);
    library->cancelLoading();
    EXPECT_FALSE(books->metadataDownloader());
    EXPECT_FALSE(magazines->metadataDownloader());
    demo.service.clearFaults();
    demo.service.releaseStalled();
    testing_support::spin(100);  // milliseconds
    EXPECT_TRUE(reader->pages.empty());

    // The bar keeps within 0 to 100, and a value that is no number leaves it as it was.
    const auto cell = cellOf(*books, "BK0003");
    ASSERT_TRUE(cell);
    const double infinite = std::numeric_limits<double>::infinity();
    std::vector<int> shown;
    for (const double value : {40.0, std::nan(""), infinite, -infinite, 250.0, 7.9}) {
        cell->setDownloadProgressValue(value);
        shown.push_back(cell->downloadProgress()->value());
    }
    EXPECT_EQ(shown, (std::vector<int>{40, 40, 100, 0, 100, 7}));
    const auto fresh = Cell::makeFromStoryboard();
    auto loading = std::make_shared<LibraryShelfBookInfo>();
    loading->isLoading = true;
    loading->current = std::nanf("");
    loading->magazineIssueInfo = book;
    fresh->setRepresentedObject(plat::Value(loading));
    EXPECT_EQ(fresh->downloadProgress()->value(), 0);

    // The overlay's cancel button hides it while the return goes on to its end.
    demo.service.setFault("ReturnBook", demo::Fault::stall());
    books->returnButton()->click();
    cellOf(*books, "BK0003")->removeButton()->click();
    EXPECT_TRUE(library->loadingView()->isVisible());
    ASSERT_TRUE(spinUntil([&] { return demo.service.stalledCount() == 1; }, kWait));
    library->hzLoading()->cancelButton()->click();
    EXPECT_FALSE(library->loadingView()->isVisible());
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(spinUntil([&] { return settled(screen) && !cellOf(*books, "BK0003"); }, kWait));
    EXPECT_FALSE(library->loadingView()->isVisible());
    EXPECT_EQ(demo.calls("ReturnBook"), 1u);
}

TEST_F(LibraryScreenTest, HistoryAndReservationRows) {
    startScreens();

    // The history: 25 unselectable rows of 130 points.
    const auto history = showNib<BorrowHistoryViewController>("BorrowHistoryViewController");
    ASSERT_TRUE(history);
    ui::TableView* historyTable = history->borrowTableView();
    ASSERT_TRUE(spinUntil([&] { return historyTable->numberOfRows() == 25; }, kWait));
    EXPECT_EQ(historyTable->rectOfRow(0).height(), 130);
    const auto* row = dynamic_cast<BorrowItemViewCell*>(historyTable->viewAtRow(0));
    ASSERT_TRUE(row);
    const auto& loan = *history->rowAt(0);
    EXPECT_EQ(row->titleBorrowTextField()->text().toStdString(),
              loan.bookHeaderName_.value_or("") + " - " + loan.bookName_.value_or(""));
    EXPECT_EQ(row->detailDateBorrowTextField()->text(), "");
    ASSERT_TRUE(loan.returnDateString());
    EXPECT_EQ(row->queueTextField()->text().toStdString(), "คืนวันที่ " + *loan.returnDateString());
    QTest::mouseClick(historyTable->viewport(), Qt::LeftButton, {},
                      historyTable->rectOfRow(1).center());
    EXPECT_EQ(historyTable->selectedRow(), -1);

    // The reservations: the claim button on the claimable row only; cancel mode shows every
    // row's cancel button, and a cancel takes the row away.
    const auto queue = showNib<ReserveBookViewController>("ReserveBookViewController");
    ASSERT_TRUE(queue);
    ui::TableView* table = queue->reserveTableView();
    ASSERT_TRUE(spinUntil([&] { return table->numberOfRows() == 3; }, kWait));
    EXPECT_EQ(table->rectOfRow(2).height(), 130);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->rectOfRow(0).center());
    EXPECT_EQ(table->selectedRow(), -1);
    const auto rowOf = [&](const char* bookCode) -> Ref<ReserveBookItemTableCellView> {
        for (int i = 0; i < table->numberOfRows(); ++i) {
            auto cell = queue->cellAtRow(i);
            if (cell && cell->reserveInfo() && cell->reserveInfo()->bookCode_ == bookCode)
                return cell;
        }
        return nullptr;
    };
    const auto buttons = [&](const char* bookCode) {
        const auto cell = rowOf(bookCode);
        if (!cell)
            return std::string("<no row>");
        return std::string(cell->activeBookButton()->isVisible() ? "claim" : "-") + "/" +
               (cell->cancelReserveButton()->isVisible() ? "cancel" : "-");
    };
    EXPECT_EQ(buttons("BK-RSV1"), "claim/-");
    EXPECT_EQ(buttons("BK-RSV2"), "-/-");
    EXPECT_EQ(rowOf("BK-RSV1")->titleReserveTextField()->text(), "Queued BK-RSV1");
    EXPECT_EQ(rowOf("BK-RSV1")->detailDateReserveTextField()->text(), "Book");
    EXPECT_TRUE(rowOf("BK-RSV2")->queueDetailTextField()->text().startsWith(
        QString::fromUtf8("คิวที่ 1 , ไม่เกินวันที่ ")));
    EXPECT_TRUE(
        rowOf("BK-RSV3")->queueDetailTextField()->text().startsWith(QString::fromUtf8("คิวที่ 2 , ")));

    EXPECT_TRUE(queue->closeButton()->isHidden());
    queue->cancelReserveButton()->click();
    EXPECT_TRUE(queue->cancelReserveButton()->isHidden());
    EXPECT_FALSE(queue->closeButton()->isHidden());
    EXPECT_EQ(buttons("BK-RSV1"), "claim/cancel");
    EXPECT_EQ(buttons("BK-RSV2"), "-/cancel");
    EXPECT_EQ(buttons("BK-RSV3"), "-/cancel");
    rowOf("BK-RSV2")->cancelReserveButton()->click();
    ASSERT_TRUE(spinUntil([&] { return table->numberOfRows() == 2; }, kWait));
    EXPECT_EQ(buttons("BK-RSV2"), "<no row>");
    EXPECT_EQ(buttons("BK-RSV3"), "-/cancel");  // cancel mode survives the reload
    queue->closeButton()->click();
    EXPECT_EQ(buttons("BK-RSV1"), "claim/-");
    EXPECT_EQ(buttons("BK-RSV3"), "-/-");
    EXPECT_TRUE(alerts->messages.empty());
}

}  // namespace
