#include "app/library/LibraryMainView.h"

#include <QGridLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>

#include "app/library/LibraryAccess.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMessages.h"
#include "app/library/LibraryResources.h"
#include "app/library/LibraryTexts.h"
#include "app/services/GlobalService.h"
#include "app/services/ReaderHandOver.h"
#include "app/services/ReaderScreens.h"
#include "app/shell/ContentArea.h"
#include "app/shell/HZLoading.h"
#include "app/shell/ShellResources.h"
#include "platform/core/Log.h"
#include "platform_ui/Alert.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

PLAT_DEFINE_CLASS(LibraryMainView, ui::ViewController, [](auto& c) {
    c.method(LibraryShelfMessages::kStartLoading, &LibraryMainView::libraryListView_StartLoading)
        .method(LibraryShelfMessages::kLoadComplete, &LibraryMainView::libraryListView_LoadComplete)
        .method("libraryBookCollectionCellSelect:",
                &LibraryMainView::libraryBookCollectionCellSelect)
        .method(VnBookStoreContextObserver::kActiveUserContextDidChange,
                &LibraryMainView::bookStoreContextActiveUserContextDidChange);
})

// Other screens reach the container by these messages (GlobalService's LibraryViewController).
PLAT_DEFINE_CLASS(LibraryMainViewController, ui::ViewController, [](auto& c) {
    using C = LibraryMainViewController;
    c.method(HZLoadingDelegate::kCancelClick, &C::HZLoading_CancelClick)
        .method(LibraryShelfMessages::kMainViewStartLoading, &C::LibraryMainViewStartLoading)
        .method(LibraryShelfMessages::kMainViewLoadComplete, &C::LibraryMainViewLoadComplete)
        .method(LibraryScreenMessages::kCancelLoading, &C::cancelLoading)
        .method(LibraryScreenMessages::kUpdateLibraryForceUpdate, &C::updateLibraryForceUpdate)
        .method(LibraryScreenMessages::kLoanTaken, &C::loanTaken)
        .method(LibraryScreenMessages::kDisplayReaderWithIssueInfo, &C::displayReaderWithIssueInfo);
})

namespace {

// A controller of the storyboard, or a plain one of that class when none is registered.
template <class T>
Ref<T> instantiate(ui::ScreenName name) {
    if (auto made = ui::ResourceRegistry::shared().instantiate<T>(name))
        return made;
    return ui::ViewController::create<T>();
}

}  // namespace

// ---- LibraryMainView ------------------------------------------------------------------------

LibraryMainView::LibraryMainView() : ui::ViewController("LibraryMain") {}

LibraryMainView::~LibraryMainView() = default;

std::unique_ptr<QWidget> LibraryMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* layout = new QGridLayout(view.get());  // owned by the view
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(view.get());  // owned by the view
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 0, 0);
    scrollView_ = scroll;
    // Part of the view, with nothing to show.
    auto* table = new QTableView(view.get());  // owned by the view
    table->hide();
    mainTableView_ = table;
    return view;
}

QScrollArea* LibraryMainView::scrollView() const {
    return qobject_cast<QScrollArea*>(scrollView_.data());
}

QTableView* LibraryMainView::mainTableView() const {
    return qobject_cast<QTableView*>(mainTableView_.data());
}

void LibraryMainView::viewDidLoad() {
    readerWindowController_ = GlobalService::globalShared()->readerHandOver();
    buildShelves();
    observeLibraryUserChanges(self());
}

void LibraryMainView::bookStoreContextActiveUserContextDidChange(const Ref<plat::Object>&) {
    for (const auto& shelf : {bookShelf_, magazineShelf_}) {
        if (shelf)
            shelf->reloadForAnotherMember();
    }
}

void LibraryMainView::buildShelves() {
    QScrollArea* scroll = scrollView();
    if (!scroll || magazineShelf_ || bookShelf_)
        return;
    constexpr int kShelf = LibraryListView::kShelfHeight;
    const int width = scroll->viewport()->width();
    // The document: two shelves high, as wide as the scroll view and following its width.
    auto document = std::make_unique<QWidget>();
    document->setFixedHeight(2 * kShelf);
    document->resize(width, 2 * kShelf);
    // Frames are y-up: the magazine shelf at y 0 lies at the bottom, the book shelf at y 350 on
    // top.
    const auto makeShelf = [&](const char* title, bool books, int y) {
        auto shelf = instantiate<LibraryListView>(LibraryScreens::kShelf);
        QWidget* shelfView = shelf->view();
        shelf->setTitleLibrary(title);
        shelf->setBookLibraryMode(books);
        shelf->setLibraryDelegate(self());
        shelf->setReaderWindowController(readerWindowController_);
        shelfView->setParent(document.get());
        const QRectF own = ui::frame(shelfView);
        ui::setFrame(shelfView, {own.x(), double(y), double(width), own.height()});
        ui::setAutoresizingMask(shelfView, ui::ViewWidthSizable);
        return shelf;
    };
    magazineShelf_ = makeShelf("นิตยสาร", false, 0);
    magazineShelf_->updateLibrary();
    bookShelf_ = makeShelf("หนังสือ", true, kShelf);
    scroll->setWidgetResizable(true);
    scroll->setWidget(document.release());  // owned by the scroll view
    bookShelf_->updateLibrary();
    scroll->verticalScrollBar()->setValue(0);
}

void LibraryMainView::viewDidAppear() {
    updateLibraryForceUpdate(true);
    needClaimAction();
}

void LibraryMainView::needClaimAction() {
    const auto user = libraryActiveUser();
    const auto request = user ? user->requestForNeedClaimActionBooks() : nullptr;
    if (!request)
        return;
    request->startWithDidFinishBlock([](const Ref<VnRequestResult>& result, const plat::Value&) {
        const auto items = recordsOf<VnReserveItemInfo>(result);
        if (!items || items->empty())
            return;
        ui::Alert::shared().runModal(nullptr, claimNoticeMessage(claimNoticeListText(*items)), "");
    });
}

void LibraryMainView::displayReaderWithIssueInfo(const Ref<VnMagazineIssueInfo>& item) {
    displayReaderWithIssueInfo_whenNotShown(item, nullptr);
}

bool LibraryMainView::displayReaderWithIssueInfo_whenNotShown(const Ref<VnMagazineIssueInfo>& item,
                                                              std::function<void()> whenNotShown) {
    if (!item)
        return false;
    const auto& shelf = item->bookKind() == 1 ? bookShelf_ : magazineShelf_;
    return shelf && shelf->displayLibraryItem_whenNotShown(item, std::move(whenNotShown));
}

void LibraryMainView::cancelLoading() {
    if (bookShelf_)
        bookShelf_->cancelLoading();
    if (magazineShelf_)
        magazineShelf_->cancelLoading();
}

void LibraryMainView::updateLibraryForceUpdate(bool force) {
    if (bookShelf_)
        bookShelf_->updateLibraryForceUpdate(force);
    if (magazineShelf_)
        magazineShelf_->updateLibraryForceUpdate(force);
}

void LibraryMainView::loanTaken() {
    for (const auto& shelf : {bookShelf_, magazineShelf_}) {
        if (shelf)
            shelf->loanTaken();
    }
}

void LibraryMainView::libraryBookCollectionCellSelect(const Ref<plat::Object>&) {
    plat::systemLog("Library book cover click");
    if (!readerWindowController_)
        readerWindowController_ = std::dynamic_pointer_cast<ReaderHandOver>(
            ui::ResourceRegistry::shared().instantiateController(ReaderScreens::kReaderWindow));
    if (readerWindowController_)
        readerWindowController_->showWindow();
}

void LibraryMainView::libraryListView_StartLoading(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, LibraryShelfMessages::kMainViewStartLoading);
}

void LibraryMainView::libraryListView_LoadComplete(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, LibraryShelfMessages::kMainViewLoadComplete);
}

// ---- LibraryMainViewController --------------------------------------------------------------

LibraryMainViewController::LibraryMainViewController()
    : ui::ViewController("LibraryMainViewController") {}

LibraryMainViewController::~LibraryMainViewController() = default;

void LibraryMainViewController::awakeFromNib() {
    libraryMainView_ = instantiate<LibraryMainView>(LibraryScreens::kMainView);
    libraryMainView_->setDelegate(self());
}

std::unique_ptr<QWidget> LibraryMainViewController::loadView() {
    // The library view's area under the overlay's, both filling the screen.
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* layout = new QGridLayout(view.get());  // owned by the view
    layout->setContentsMargins(0, 0, 0, 0);
    mainView_ = new QWidget(view.get());
    loadingView_ = new QWidget(view.get());
    for (QWidget* area : {mainView_.data(), loadingView_.data()}) {
        layout->addWidget(area, 0, 0);
        shell::keepChildrenAtBounds(area);
    }
    return view;
}

void LibraryMainViewController::viewDidLoad() {
    shell::addFilling(mainView_, libraryMainView_->view());
    hzLoading_ = ui::ResourceRegistry::shared().instantiate<HZLoading>(ShellScreens::kLoading);
    if (!hzLoading_)
        hzLoading_ = ui::ViewController::create<HZLoading>();
    hzLoading_->setDelegate(self());
    shell::addFilling(loadingView_, hzLoading_->view());
    setLoadingVisible(false);
}

void LibraryMainViewController::HZLoading_CancelClick(const Ref<plat::Object>&) {
    setLoadingVisible(false);
}

void LibraryMainViewController::cancelLoading() {
    libraryMainView_->cancelLoading();
}

void LibraryMainViewController::updateLibraryForceUpdate(bool force) {
    libraryMainView_->updateLibraryForceUpdate(force);
}

void LibraryMainViewController::loanTaken() {
    // Reached also before the screen has loaded.
    if (libraryMainView_)
        libraryMainView_->loanTaken();
}

void LibraryMainViewController::LibraryMainViewStartLoading() {
    setLoadingVisible(true);
}

void LibraryMainViewController::LibraryMainViewLoadComplete() {
    setLoadingVisible(false);
}

void LibraryMainViewController::displayReaderWithIssueInfo(const Ref<VnMagazineIssueInfo>& item) {
    displayReaderWithIssueInfo_whenNotShown(item, nullptr);
}

bool LibraryMainViewController::displayReaderWithIssueInfo_whenNotShown(
    const Ref<VnMagazineIssueInfo>& item, std::function<void()> whenNotShown) {
    return libraryMainView_ &&
           libraryMainView_->displayReaderWithIssueInfo_whenNotShown(item, std::move(whenNotShown));
}

void LibraryMainViewController::setLoadingVisible(bool visible) {
    loadingVisible_ = visible;
    if (loadingView_)
        loadingView_->setVisible(visible);
}
