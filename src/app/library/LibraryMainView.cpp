#include "app/library/LibraryMainView.h"

#include "app/library/LibraryAccess.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryTexts.h"
#include "app/shell/GlobalService.h"
#include "app/shell/HZLoading.h"
#include "platform/core/Log.h"
#include "platform_ui/Alert.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

PLAT_DEFINE_CLASS(LibraryMainView, ui::ViewController, [](auto& c) {
    c.method("libraryListView_StartLoading:", &LibraryMainView::libraryListView_StartLoading)
        .method("libraryListView_LoadComplete:", &LibraryMainView::libraryListView_LoadComplete);
})

PLAT_DEFINE_CLASS(LibraryMainViewController, ui::ViewController, [](auto& c) {
    using C = LibraryMainViewController;
    c.method("HZLoading_CancelClick:", &C::HZLoading_CancelClick)
        .method("LibraryMainViewStartLoading", &C::LibraryMainViewStartLoading)
        .method("LibraryMainViewLoadComplete", &C::LibraryMainViewLoadComplete);
})

// ---- LibraryMainView ------------------------------------------------------------------------

LibraryMainView::LibraryMainView() : ui::ViewController("LibraryMain") {}

LibraryMainView::~LibraryMainView() = default;

void LibraryMainView::viewDidLoad() {
    buildShelves();
}

void LibraryMainView::buildShelves() {
    if (magazineShelf_ || bookShelf_)
        return;
    const auto reader = GlobalService::globalShared()->readerHandOver();
    const auto makeShelf = [&](const char* title, bool books) {
        auto shelf = ui::ViewController::create<LibraryListView>();
        shelf->setTitleLibrary(title);
        shelf->setBookLibraryMode(books);
        shelf->setLibraryDelegate(self());
        shelf->setReaderWindowController(reader);
        return shelf;
    };
    magazineShelf_ = makeShelf("นิตยสาร", false);
    magazineShelf_->updateLibrary();
    bookShelf_ = makeShelf("หนังสือ", true);
    bookShelf_->updateLibrary();
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
    if (!item)
        return;
    const auto& shelf = item->bookKind() == 1 ? bookShelf_ : magazineShelf_;
    if (shelf)
        shelf->displayLibraryItem(item);
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

void LibraryMainView::libraryListView_StartLoading(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, "LibraryMainViewStartLoading");
}

void LibraryMainView::libraryListView_LoadComplete(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, "LibraryMainViewLoadComplete");
}

// ---- LibraryMainViewController --------------------------------------------------------------

LibraryMainViewController::LibraryMainViewController()
    : ui::ViewController("LibraryMainViewController") {}

LibraryMainViewController::~LibraryMainViewController() = default;

void LibraryMainViewController::awakeFromNib() {
    libraryMainView_ = ui::ViewController::create<LibraryMainView>();
    libraryMainView_->setDelegate(self());
}

void LibraryMainViewController::viewDidLoad() {
    hzLoading_ = ui::ViewController::create<HZLoading>();
    hzLoading_->setDelegate(self());
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

void LibraryMainViewController::LibraryMainViewStartLoading() {
    setLoadingVisible(true);
}

void LibraryMainViewController::LibraryMainViewLoadComplete() {
    setLoadingVisible(false);
}

void LibraryMainViewController::displayReaderWithIssueInfo(const Ref<VnMagazineIssueInfo>& item) {
    libraryMainView_->displayReaderWithIssueInfo(item);
}

void LibraryMainViewController::setLoadingVisible(bool visible) {
    loadingVisible_ = visible;
}
