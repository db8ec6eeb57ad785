#include "app/reader/ReaderWindowController.h"

#include <QAction>
#include <QComboBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/reader/PDFModifyView.h"
#include "app/reader/ReaderViewController.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/Popover.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"

PLAT_DEFINE_CLASS(ReaderWindowController, ui::WindowController, [](auto&) {})

namespace {

constexpr const char* kActionProperty = "varnel.readerAction";

}  // namespace

ReaderWindowController::ReaderWindowController() = default;

ReaderWindowController::~ReaderWindowController() {
    if (closeObserver_)
        plat::NotificationCenter::defaultCenter().removeObserver(closeObserver_);
}

Ref<ReaderWindowController> ReaderWindowController::make() {
    auto controller = std::make_shared<ReaderWindowController>();
    controller->setContentViewController(ui::ViewController::create<ReaderViewController>());
    const WeakRef<ReaderWindowController> weak = controller;
    controller->closeObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        [weak](const plat::Notification&) {
            if (const auto self = weak.lock())
                self->windowWillClose();
        },
        ui::kWindowWillCloseNotification, controller);
    return controller;
}

std::unique_ptr<QWidget> ReaderWindowController::loadWindow() {
    auto window = std::make_unique<QWidget>();
    window->resize(1200, 900);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    toolbar_ = new QToolBar(window.get());
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(toolbar_);
    const auto item = [this](const char* title, const char* action, auto handler) {
        QAction* a = toolbar_->addAction(QString::fromUtf8(title));
        a->setProperty(kActionProperty, QString(action));
        QObject::connect(a, &QAction::triggered, toolbar_, [this, handler] {
            handler();
            focusPageView();
        });
        toolbar_->widgetForAction(a)->setFocusPolicy(Qt::NoFocus);
    };
    item("Cover", "coverToolbar_Click:", [this] { coverToolbar_Click(); });
    item("Bookmarks", "bookmarkToolbar_Click:", [this] { bookmarkToolbar_Click(); });
    item("Add Bookmark", "addBookmarkToolbar_Click:", [this] { addBookmarkToolbar_Click(); });
    item("Contents", "tocToolbar_Click:", [this] { tocToolbar_Click(); });
    item("Thumbnails", "thumbnailToolbar_Click:", [this] { thumbnailToolbar_Click(); });
    item("Previous", "previousPageToolbar_Click:", [this] { previousPageToolbar_Click(); });
    item("Next", "nextPageToolbar_Click:", [this] { nextPageToolbar_Click(); });
    toolbar_->addSeparator();
    // The zoom control: three segments.
    item("−", "zoomSelectionClick:0", [this] { zoomSelectionClick(0); });
    item("Fit", "zoomSelectionClick:1", [this] { zoomSelectionClick(1); });
    item("+", "zoomSelectionClick:2", [this] { zoomSelectionClick(2); });
    toolbar_->addSeparator();
    pageViewPopUpButton_ = new QComboBox(toolbar_);
    pageViewPopUpButton_->addItems(
        {"Single Page", "Single Page Continuous", "Two Pages", "Two Pages Continuous"});
    // Chosen with the mouse; the arrow keys stay the page view's.
    pageViewPopUpButton_->setFocusPolicy(Qt::NoFocus);
    toolbar_->addWidget(pageViewPopUpButton_);
    QObject::connect(pageViewPopUpButton_, &QComboBox::activated, toolbar_, [this](int) {
        pageViewPopUpButtonSelectClick();
        focusPageView();
    });
    toolbar_->addSeparator();
    item("Close", "closeToolbarItemClick:", [this] { closeToolbarItemClick(); });
    return window;
}

QToolButton* ReaderWindowController::toolbarButton(const char* action) const {
    if (!toolbar_)
        return nullptr;
    for (QAction* a : toolbar_->actions()) {
        if (a->property(kActionProperty).toString() == action)
            return qobject_cast<QToolButton*>(toolbar_->widgetForAction(a));
    }
    return nullptr;
}

void ReaderWindowController::windowDidLoad() {
    readerViewController_ =
        std::dynamic_pointer_cast<ReaderViewController>(contentViewController());
    // Two pages side by side, as the page view starts; choosing applies a mode.
    pageViewPopUpButton_->setCurrentIndex(2);
}

void ReaderWindowController::showWindow() {
    ui::WindowController::showWindow();
}

void ReaderWindowController::openIssue(const Ref<MagazineIssueUIContext>& uiContext,
                                       const std::string& caption, int pageIndex) {
    window()->setWindowTitle(QString::fromStdString(caption));
    const auto reader = readerViewController();
    if (!reader)
        return;
    reader->setUiContext(uiContext, pageIndex);
    showWindow();
    reader->setIsDisplayReader(true);
    reader->goToPage(pageIndex);
    focusPageView();
}

bool ReaderWindowController::showsIssue(const Ref<MagazineIssueUIContext>& uiContext) const {
    const auto reader = readerViewController();
    return uiContext && reader && reader->isDisplayReader() && reader->uiContext() == uiContext &&
           isWindowVisible();
}

void ReaderWindowController::focusPageView() {
    const auto reader = readerViewController();
    if (reader && reader->pdfView())
        reader->pdfView()->setFocus(Qt::OtherFocusReason);
}

void ReaderWindowController::windowWillClose() {
    // A window already hidden is not closed again.
    if (!isWindowLoaded() || !window()->isVisible())
        return;
    if (popover_)
        popover_->close();
    if (const auto reader = readerViewController())
        reader->setIsDisplayReader(false);
    plat::sendIfResponds(delegate_, ReaderHandOverDelegate::kWillClose);
}

void ReaderWindowController::coverToolbar_Click() {
    if (const auto reader = readerViewController())
        reader->goToCoverPage();
}

void ReaderWindowController::addBookmarkToolbar_Click() {
    if (const auto reader = readerViewController())
        reader->addBookmarkCurrentPage();
}

void ReaderWindowController::tocToolbar_Click() {
    if (const auto reader = readerViewController())
        reader->goToTOCPage();
}

void ReaderWindowController::thumbnailToolbar_Click() {
    isShowThumbnail_ = !isShowThumbnail_;
    if (const auto reader = readerViewController())
        reader->setHiddenThumbmailPDF(!isShowThumbnail_);
}

void ReaderWindowController::previousPageToolbar_Click() {
    if (const auto reader = readerViewController())
        reader->gotoPreviousPage();
}

void ReaderWindowController::nextPageToolbar_Click() {
    if (const auto reader = readerViewController())
        reader->goToNextPage();
}

void ReaderWindowController::zoomSelectionClick(int segment) {
    const auto reader = readerViewController();
    if (!reader)
        return;
    switch (segment) {
        case 0:
            reader->zoomOutPdfView();
            break;
        case 1:
            reader->zoomAutoPdfView();
            break;
        case 2:
            reader->zoomInPdfView();
            break;
        default:
            break;
    }
}

void ReaderWindowController::pageViewPopUpButtonSelectClick() {
    const int selected = pageViewPopUpButton_ ? pageViewPopUpButton_->currentIndex() : -1;
    const int mode = selected >= 0 && selected <= 3 ? selected : 2;
    if (const auto reader = readerViewController())
        reader->pdfPageViewType(mode);
}

void ReaderWindowController::closeToolbarItemClick() {
    close();
}

void ReaderWindowController::bookmarkToolbar_Click() {
    auto panel = ui::ViewController::create<BookmarkViewController>();
    prepareForSegue(kBookmarkSegue, panel);
    if (!popover_)
        popover_ = std::make_unique<ui::Popover>();
    popover_->setContentViewController(panel);
    QToolButton* button = toolbarButton("bookmarkToolbar_Click:");
    QWidget* anchor = button ? static_cast<QWidget*>(button) : window();
    popover_->showRelativeTo(anchor->rect(), anchor);
}

void ReaderWindowController::prepareForSegue(const std::string& identifier,
                                             const Ref<ui::ViewController>& destination) {
    if (identifier != kBookmarkSegue)
        return;
    const auto panel = std::dynamic_pointer_cast<BookmarkViewController>(destination);
    if (!panel)
        return;
    bookmarkViewController_ = panel;
    const auto reader = readerViewController();
    const auto issue = reader && reader->uiContext() ? reader->uiContext()->context() : nullptr;
    const Ref<VnMagazineIssueInfo> info = issue ? issue->info() : nullptr;
    const auto store = BookmarkViewController::activeBookmarkContext();
    panel->setBookmarkArray(store && info ? store->bookmarksForIssueInfo(info)
                                          : std::vector<Ref<VnUserBookmarkData>>{});
    panel->setIssueInfo(info);
    panel->setThumbnailBookmark(reader ? reader->getThumbnailBookmark() : std::map<int, QImage>{});
    panel->setDelegate(std::dynamic_pointer_cast<BookmarkViewControllerDelegate>(self()));
}

void ReaderWindowController::bookmarkView_bookmarkSelectItem(
    BookmarkViewController&, const Ref<VnUserBookmarkData>& bookmark) {
    if (const auto reader = readerViewController(); reader && bookmark)
        reader->goToPage(bookmark->pageIndex());
    if (popover_)
        popover_->close();
}
