#include "app/reader/ReaderViewController.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/VisibleWidget.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/reader/BookmarkViewController.h"
#include "app/reader/PageChangeButton.h"
#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FileManager.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "platform_ui/pdf/PdfRenderCache.h"
#include "platform_ui/pdf/PdfThumbnailView.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"

Q_LOGGING_CATEGORY(readerLog, "varnel.reader", QtInfoMsg)

PLAT_DEFINE_CLASS(ReaderViewController, ui::ViewController, [](auto& c) {
    using C = ReaderViewController;
    using Issue = VnMagazineIssueContextDelegate;
    using Page = MagazinePageUIContextDelegate;
    c.method(Issue::kPageAvailable, &C::magazineIssueContext_pageAvalable)
        .method(Issue::kDidFinishLoadingInteractive,
                &C::magazineIssueContextDidFinishLoadingInteractive)
        .method(Page::kPageContentPainterAvailable, &C::pageUIContextPageContentPainterAvailable)
        .method(Page::kFullPageImageAvailable, &C::pageUIContextFullPageImageAvailable)
        .method(Page::kSmallThumbnailImageAvailable, &C::pageUIContextSmallThumbnailImageAvailable)
        .method(Page::kRootWidgetAvailable, &C::pageUIContextRootWidgetAvailable);
})

namespace {

// The controller's view: it lays its children out again whenever it is resized.
class ReaderView : public QWidget {
  public:
    std::function<void()> didResize;

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (didResize)
            didResize();
    }
};

constexpr int kHoverButtonWidth = 56, kHoverButtonHeight = 120;

std::string pageText(const Ref<ui::PdfPage>& page) {
    return page ? page->label() : std::string();
}

// The Qt widget of a widget view made over one; null for other views.
QWidget* qtWidgetOf(const Ref<WidgetView>& view) {
    const auto* qt = dynamic_cast<const QtWidgetView*>(view.get());
    return qt ? qt->widget() : nullptr;
}

}  // namespace

ReaderViewController::ReaderViewController()
    : renderCache_(std::make_unique<ui::PdfRenderCache>(kRenderCacheBytes)) {}

ReaderViewController::~ReaderViewController() {
    if (jumpObserver_)
        plat::NotificationCenter::defaultCenter().removeObserver(jumpObserver_);
    // The views may outlive the controller (their window goes later): they leave its cache.
    if (isViewLoaded()) {
        pdfView_->setRenderCache(nullptr);
        pdfThumbnailView_->setPdfView(nullptr);
    }
}

// ---- Life cycle ------------------------------------------------------------------------------

std::unique_ptr<QWidget> ReaderViewController::loadView() {
    auto view = std::make_unique<ReaderView>();
    view->resize(1024, 768);
    view->setAutoFillBackground(true);
    pdfView_ = new PDFModifyView(view.get());
    pdfView_->setRenderCache(renderCache_.get());
    // The layout's starting mode: two pages side by side.
    pdfView_->setDisplayMode(ui::PdfView::TwoUp);
    // The strip follows the page view only while it shows: hidden, it asks for no renders.
    pdfThumbnailView_ = new ui::PdfThumbnailView(view.get());
    pdfThumbnailView_->hide();
    previousPageButton_ = new PageChangeButton(PageChangeButton::Previous, view.get());
    nextPageButton_ = new PageChangeButton(PageChangeButton::Next, view.get());
    QObject::connect(previousPageButton_, &QPushButton::clicked, view.get(),
                     [this] { previousButton_Click(); });
    QObject::connect(nextPageButton_, &QPushButton::clicked, view.get(),
                     [this] { nextButton_Click(); });

    progressView_ = new QWidget(view.get());
    progressView_->setAutoFillBackground(true);
    percentProgress_ = new QProgressBar(progressView_);
    percentProgress_->setRange(0, 1000);
    percentProgress_->setTextVisible(false);
    percentTextField_ = new QLabel(progressView_);
    progressView_->hide();

    view->didResize = [this] { layoutSubviews(); };
    return view;
}

void ReaderViewController::viewDidLoad() {
    placeholder_ = ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf");
    // The observation is held weakly: it ends with the controller.
    const WeakRef<ReaderViewController> weak = weakSelf<ReaderViewController>();
    jumpObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        [weak](const plat::Notification& notification) {
            if (const auto self = weak.lock())
                self->jumpToPageNotify(notification);
        },
        kJumpToPageNotification);
    widgetVisible_.clear();
    widgetVisibleInPage_.clear();
    pdfView_->setDelegate(std::dynamic_pointer_cast<PDFModifyViewDelegate>(self()));
    createDocument();
    layoutSubviews();
}

void ReaderViewController::viewDidAppear() {
    pdfModifyView_visiblePageChagne(nullptr, pdfView_->visiblePages());
}

void ReaderViewController::viewDidDisappear() {
    removeWidgetVisibleViewNotInPage(std::nullopt);
    // Stored only when a page is shown.
    const int index = currentPageIndex();
    if (uiContext_ && index >= 0)
        uiContext_->persistUserLastViewedPageIndex(index);
}

void ReaderViewController::createDocument() {
    mainDocument_ = std::make_shared<ui::PdfDocument>();
    pdfView_->setDisplaysAsBook(true);
    pdfView_->setDocument(mainDocument_);
    pdfView_->setDisplayBox(ui::PdfPage::CropBox);
    pdfView_->layoutDocumentView();
    pdfThumbnailView_->reload();
}

void ReaderViewController::layoutSubviews() {
    if (!isViewLoaded())
        return;
    const QSizeF size = view()->size();
    const double strip = progressHidden_ ? 0 : kProgressViewHeight;
    const double left = hiddenThumbmailPDF_ ? 0 : ui::PdfThumbnailView::kDefaultWidth;
    // y-up frames: the loading strip lies along the bottom, the page view above it.
    ui::setFrame(pdfView_, QRectF(left, strip, size.width() - left, size.height() - strip));
    ui::setFrame(pdfThumbnailView_,
                 QRectF(0, strip, ui::PdfThumbnailView::kDefaultWidth, size.height() - strip));
    ui::setFrame(progressView_, QRectF(0, 0, size.width(), kProgressViewHeight));
    percentProgress_->setGeometry(12, 8, 240, kProgressViewHeight - 16);
    percentTextField_->setGeometry(264, 0, std::max(0.0, size.width() - 276), kProgressViewHeight);
    const QRect page = pdfView_->geometry();
    const int y = page.top() + (page.height() - kHoverButtonHeight) / 2;
    previousPageButton_->setGeometry(page.left() + 8, y, kHoverButtonWidth, kHoverButtonHeight);
    nextPageButton_->setGeometry(page.right() - 8 - kHoverButtonWidth, y, kHoverButtonWidth,
                                 kHoverButtonHeight);
    previousPageButton_->raise();
    nextPageButton_->raise();
}

// ---- The open issue ---------------------------------------------------------------------------

Ref<VnMagazineIssueContext> ReaderViewController::issueContext() const {
    return uiContext_ ? uiContext_->context() : nullptr;
}

void ReaderViewController::setUiContext(const Ref<MagazineIssueUIContext>& context) {
    setUiContext(context, -1);
}

void ReaderViewController::setUiContext(const Ref<MagazineIssueUIContext>& context, int openAt) {
    if (context == uiContext_)
        return;
    view();
    // The issue shown so far keeps the page it was on, as when the window closes: another issue
    // opened in its place (an opening that ends while the member reads it) does not lose it.
    if (const int index = currentPageIndex(); uiContext_ && context && index >= 0)
        uiContext_->persistUserLastViewedPageIndex(index);
    // The widgets of the issue shown so far go with it.
    removeWidgetVisibleViewNotInPage(std::nullopt);
    pdfView_->setDocument(nullptr);
    // Its pages too, now rather than when the next issue opens.
    mainDocument_ = std::make_shared<ui::PdfDocument>();
    isDisplayReader_ = false;
    uiContext_ = context;
    if (!uiContext_)
        return;
    uiContext_->setDelegate(self());
    const auto issue = uiContext_->context();
    // An issue whose store has closed (its user gone) takes no stock and loads nothing.
    const bool storeOpen = issue && issue->userContext() && issue->userContext()->context();
    if (storeOpen) {
        issue->checkFinished();
        // The strip tells this issue's progress, not the previous issue's.
        updateLoadingProgress();
    } else {
        setProgressHidden(true);
    }
    renderOpeningAhead(openAt);
    getPdfForAddToDocument();
    const bool book = issue && issue->info() && issue->info()->bookKind() == 1;
    pdfView_->setBackgroundColor(book ? Qt::white : Qt::black);
    pdfView_->setDisplayBox(ui::PdfPage::CropBox);
    pdfView_->layoutDocumentView();
    // Then the issue loads all its pages (announcing again those it has on disk).
    if (storeOpen)
        issue->startLoadingAllPages();
}

Ref<ui::PdfPage> ReaderViewController::insetPage(const Ref<ui::PdfPage>& page, double top,
                                                 double left, double bottom, double right) {
    if (!page)
        return page;
    const auto single = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    page->insetCropBox(QMarginsF(single(left), single(top), single(right), single(bottom)));
    return page;
}

bool ReaderViewController::showsDownloadedFile(int sourcePageIndex) const {
    // A file that arrives again unchanged (the issue announces the pages it finds on disk) keeps
    // its page, with its size and its render.
    const auto pageContext = arrivedPage(sourcePageIndex);
    const auto asset = pageContext ? pageContext->pageContentAsset() : nullptr;
    const auto shown = mainDocument_->pageAtIndex(sourcePageIndex);
    return asset && shown && shown->isUnchangedFile(asset->filePath());
}

Ref<ui::PdfPage> ReaderViewController::placeholderPage() const {
    return ui::PdfPage::fromImage(placeholder_);
}

Ref<VnMagazineIssuePageContext> ReaderViewController::arrivedPage(int sourcePageIndex) const {
    const auto issue = issueContext();
    const auto pageContext =
        issue ? issue->pageContextWithSourcePageIndex(sourcePageIndex) : nullptr;
    return pageContext && pageContext->pageContentAssetAvailable() ? pageContext : nullptr;
}

Ref<ui::PdfPage> ReaderViewController::keptPage(int sourcePageIndex) {
    // A page the issue's page record describes whole is made from the record alone: neither its
    // file nor the issue's metadata is read now (each render holds the file to the size and time
    // its check found; a file gone since keeps the placeholder until the page comes again).
    const auto* kept = uiContext_ ? uiContext_->keptPage(sourcePageIndex) : nullptr;
    if (!kept || kept->file.empty())
        return nullptr;
    // Its path as text, put together without making a filesystem path a page.
    const std::string& folder = uiContext_->pageFolder().native();
    std::string file;
    file.reserve(folder.size() + 1 + kept->file.size());
    file.append(folder);
    if (!folder.empty() && folder.back() != '/')
        file.push_back('/');
    file.append(kept->file);
    auto page = ui::PdfPage::fromCheckedFile(std::move(file), kept->verdict, kept->identity);
    page->setPlaceholderImage(placeholder_);
    page->setLabel(kept->label);
    return insetPage(page, kept->insets.top, kept->insets.left, kept->insets.bottom,
                     kept->insets.right);
}

void ReaderViewController::renderOpeningAhead(int openAt) {
    const int count = uiContext_ ? std::max(0, uiContext_->presentationPageCount()) : 0;
    if (openAt < 0 || openAt >= count)
        return;
    // No page of the issue is wider than the widest page file it keeps (a crop lies within its
    // page): the view then knows the scale the opening's page shows at.
    double widest = 0;
    for (int i = 0; i < count; ++i) {
        const auto* kept = uiContext_->keptPage(i);
        if (!kept || kept->file.empty() || !kept->verdict.usable || !kept->verdict.hasSize())
            return;
        widest = std::max(widest, kept->verdict.width);
    }
    // As the document will be shown.
    pdfView_->setDisplaysPageBreaks(false);
    pdfView_->setDisplayBox(ui::PdfPage::CropBox);
    pdfView_->renderAhead(
        openAt, count,
        [this](int index) {
            auto page = keptPage(index);
            if (page)
                aheadPages_[index] = page;
            return page;
        },
        widest);
}

Ref<ui::PdfPage> ReaderViewController::downloadedPage(int sourcePageIndex) {
    if (auto page = keptPage(sourcePageIndex))
        return page;
    const auto pageContext = arrivedPage(sourcePageIndex);
    if (!pageContext)
        return nullptr;
    const auto asset = pageContext->pageContentAsset();
    // A page the issue's page record keeps is made from it: its file is neither opened nor
    // stat-ed now (each render holds the file to the size and time its check found).
    const auto* kept = asset && uiContext_ ? uiContext_->keptPage(sourcePageIndex) : nullptr;
    // A file that holds nothing is a download that brought nothing, not a page that is not a
    // PDF: it keeps its placeholder while the issue has it downloaded again.
    if (asset && !kept && plat::FileManager::fileSize(asset->filePath()).value_or(0) == 0)
        return nullptr;
    Ref<plat::Error> error;
    Ref<ui::PdfPage> page;
    if (kept)
        page =
            ui::PdfPage::fromCheckedFile(asset->filePath().string(), kept->verdict, kept->identity);
    else if (asset)
        page = ui::PdfPage::fromFile(asset->filePath(), &error);
    if (!page) {
        plat::systemLog(plat::format(
            "Page %d of the issue is not a PDF and keeps its placeholder: %s", sourcePageIndex,
            error ? error->localizedDescription().c_str() : "no file"));
        return nullptr;
    }
    // Pages are handed over checked (the issue's UI context checks each file as it arrives): a
    // file not checked yet keeps its placeholder until its check hands it over.
    if (page->needsCheck())
        return nullptr;
    page->setPlaceholderImage(placeholder_);
    page->setLabel(pageContext->pageName().value_or(""));
    if (const auto info = pageContext->renderingInfo()) {
        const VnEdgeInsets& insets = info->pageInsets();
        insetPage(page, insets.top, insets.left, insets.bottom, insets.right);
    }
    return page;
}

void ReaderViewController::pdfModifyView_pageFileRefused(PDFModifyView*,
                                                         const Ref<ui::PdfPage>& page) {
    // Its file went or changed behind the program's back since the issue kept it: the issue
    // looks at the file again, and hands the page over anew when its check finds it usable (it
    // is downloaded again only when it is gone or its check refuses it).
    const int index = mainDocument_ ? mainDocument_->indexForPage(page) : -1;
    if (index >= 0 && uiContext_)
        uiContext_->checkPageAgain(index);
}

void ReaderViewController::replaceSlot(int index, const Ref<ui::PdfPage>& page) {
    // One change: the view lays the document out once.
    if (mainDocument_->pageAtIndex(index))
        mainDocument_->replacePageAtIndex(index, page);
    else
        mainDocument_->insertPage(page, index);
}

void ReaderViewController::getPdfForAddToDocument() {
    mainDocument_ = std::make_shared<ui::PdfDocument>();
    const int count = uiContext_ ? std::max(0, uiContext_->presentationPageCount()) : 0;
    const auto issue = issueContext();
    for (int i = 0; i < count; ++i) {
        const auto ahead = aheadPages_.find(i);
        Ref<ui::PdfPage> page = ahead != aheadPages_.end() ? ahead->second : downloadedPage(i);
        if (!page) {
            page = placeholderPage();
            const auto pageContext = issue ? issue->pageContextWithSourcePageIndex(i) : nullptr;
            page->setLabel(pageContext ? pageContext->pageName().value_or("") : "");
        }
        replaceSlot(i, page);
    }
    aheadPages_.clear();
    pdfView_->setDocument(mainDocument_);
    pdfView_->setDisplaysPageBreaks(false);
    pdfThumbnailView_->reload();
}

void ReaderViewController::loadPDfView(const QByteArray& pdf, int index) {
    if (!mainDocument_ || index < 0 || index >= mainDocument_->pageCount())
        return;
    Ref<plat::Error> error;
    auto page = ui::PdfPage::fromData(pdf, &error);
    if (!page) {
        plat::systemLog(plat::format("The page for slot %d is not a PDF: %s", index,
                                     error ? error->localizedDescription().c_str() : "no bytes"));
        return;
    }
    page->setPlaceholderImage(placeholder_);
    replaceSlot(index, page);
    pdfView_->setDocument(mainDocument_);
}

void ReaderViewController::magazineIssueContext_pageAvalable(Ref<VnMagazineIssueContext> context,
                                                             int32_t sourcePageIndex) {
    // Callbacks of an issue no longer shown, and slots the document does not have, are ignored.
    if (!context || context != issueContext())
        return;
    if (sourcePageIndex >= 0 && sourcePageIndex < mainDocument_->pageCount() &&
        !showsDownloadedFile(sourcePageIndex)) {
        if (const auto page = downloadedPage(sourcePageIndex)) {
            replaceSlot(sourcePageIndex, page);
            replaceWidgetsOfPage(sourcePageIndex);
        }
    }
    updateLoadingProgress();
}

void ReaderViewController::updateLoadingProgress() {
    if (!isViewLoaded())
        return;
    const auto issue = issueContext();
    const size_t finished = issue ? issue->finishedPageCount() : 0;
    const auto pageArray = issue ? issue->pageArray() : nullptr;
    const size_t total = pageArray ? pageArray->count() : 0;
    const bool allPages = !uiContext_ || uiContext_->allPresentationPagesAvailable();
    const bool interactive = issue && issue->interactiveDownloading();
    setProgressHidden(allPages && !interactive);
    progressValue_ = total ? static_cast<double>(finished) / static_cast<double>(total) : 0;
    percentProgress_->setValue(static_cast<int>(progressValue_ * 1000 + 0.5));
    // No translation table is carried: the English texts show.
    if (!allPages)
        percentTextField_->setText(QString::fromStdString(
            plat::format("Loading pages... %d of %d done", static_cast<int>(finished),
                         static_cast<int>(total))));
    else if (interactive)
        percentTextField_->setText("Loading interactive files...");
    else
        percentTextField_->setText("Optimizing pages...");
}

void ReaderViewController::setProgressHidden(bool hidden) {
    const bool changed = hidden != progressHidden_;
    progressHidden_ = hidden;
    for (QWidget* part : {progressView_, static_cast<QWidget*>(percentTextField_),
                          static_cast<QWidget*>(percentProgress_)})
        part->setHidden(hidden);
    // The page view gives the strip room, or takes it back, only when the strip comes or goes.
    if (changed)
        layoutSubviews();
}

void ReaderViewController::updateLoadingProgressLater() {
    const WeakRef<ReaderViewController> weak = weakSelf<ReaderViewController>();
    plat::RunLoop::main().perform(
        [weak] {
            if (const auto self = weak.lock())
                self->updateLoadingProgress();
        },
        kProgressLaterDelay);
}

void ReaderViewController::magazineIssueContextDidFinishLoadingInteractive(
    Ref<VnMagazineIssueContext>) {
    updateLoadingProgress();
    placeWidgetsThatBecameReady();
}

void ReaderViewController::pageUIContextPageContentPainterAvailable(Ref<MagazinePageUIContext>) {
    updateLoadingProgress();
}

void ReaderViewController::pageUIContextFullPageImageAvailable(Ref<MagazinePageUIContext>) {
    updateLoadingProgressLater();
}

void ReaderViewController::pageUIContextSmallThumbnailImageAvailable(Ref<MagazinePageUIContext>) {
    updateLoadingProgressLater();
}

void ReaderViewController::pageUIContextRootWidgetAvailable(Ref<MagazinePageUIContext>) {
    placeWidgetsThatBecameReady();
}

// ---- Navigation, modes and bookmarks ------------------------------------------------------------

void ReaderViewController::goToPage(int index) {
    const int count = mainDocument_ ? mainDocument_->pageCount() : 0;
    if (count == 0)
        return;
    index = std::clamp(index, 0, count - 1);
    pdfView_->goToPage(mainDocument_->pageAtIndex(index));
}

void ReaderViewController::goToCoverPage() {
    pdfView_->goToFirstPage();
}

void ReaderViewController::goToTOCPage() {
    const auto info = uiContext_ ? uiContext_->renderingInfo() : nullptr;
    if (info)
        goToPage(info->tableOfContentPresentationPageIndex());
}

void ReaderViewController::goToNextPage() {
    pdfView_->goToNextPage();
}

void ReaderViewController::gotoPreviousPage() {
    pdfView_->goToPreviousPage();
}

void ReaderViewController::nextButton_Click() {
    goToNextPage();
}

void ReaderViewController::previousButton_Click() {
    gotoPreviousPage();
}

int ReaderViewController::currentPageIndex() const {
    if (!pdfView_ || !mainDocument_)
        return -1;
    const auto page = pdfView_->currentPage();
    return page ? mainDocument_->indexForPage(page) : -1;
}

void ReaderViewController::zoomInPdfView() {
    pdfView_->zoomIn();
}

void ReaderViewController::zoomOutPdfView() {
    pdfView_->zoomOut();
}

void ReaderViewController::zoomAutoPdfView() {
    pdfView_->setAutoScales(true);
}

void ReaderViewController::pdfPageViewType(int mode) {
    if (mode >= 0 && mode <= 3)
        pdfView_->setDisplayMode(mode);
    removeWidgetVisibleViewNotInPage(std::nullopt);
    // Asked afresh: the pages shown may be the same ones, and their widgets must come back.
    pdfView_->forgetVisiblePages();
    pdfView_->visiblePages();
    pdfView_->setDisplaysPageBreaks(false);
}

void ReaderViewController::setHiddenThumbmailPDF(bool hidden) {
    hiddenThumbmailPDF_ = hidden;
    pdfThumbnailView_->setPdfView(hidden ? nullptr : pdfView_);
    pdfThumbnailView_->setHidden(hidden);
    layoutSubviews();
}

void ReaderViewController::jumpToPageNotify(const plat::Notification& notification) {
    if (!uiContext_)
        return;
    int64_t target = -1;
    const auto& info = notification.userInfo;
    const plat::Value name = info ? info->objectForKey("TargetPageName") : plat::Value();
    if (!name.isNil()) {
        // A name that finds no page (or is not text) goes nowhere, whatever the index says.
        const auto page =
            name.string() ? uiContext_->pageContextForPageName(*name.string()) : nullptr;
        if (page && page->pageContext())
            target = page->pageContext()->sourcePageIndex();
    } else if (info) {
        // A number, or text holding one; read in 64 bits so that no large value wraps inside.
        const plat::Value index = info->objectForKey("TargetPageIndex");
        if (index.isNumber() || index.string())
            target = index.int64Value();
    }
    if (target >= 0 && target < uiContext_->presentationPageCount())
        goToPage(static_cast<int>(target));
}

void ReaderViewController::addBookmarkCurrentPage() {
    const auto store = BookmarkViewController::activeBookmarkContext();
    const auto issue = issueContext();
    const int i = currentPageIndex();
    if (!store || !issue || !issue->info() || i < 0)
        return;
    const auto page = uiContext_->pageContextAtPresentationIndex(i);
    const auto pageContext = page ? page->pageContext() : nullptr;
    const std::optional<std::string> named = pageContext ? pageContext->pageName() : std::nullopt;
    const std::string pageName = named ? *named : plat::format("'%d", i + 1);
    const Ref<VnMagazineIssueInfo>& info = issue->info();
    if (store->bookmarkForIssueInfo(info, pageName))
        return;
    const auto bookmark = store->bookmarkWithIssueInfo(info);
    if (!bookmark)
        return;
    bookmark->setPageIndex(i);
    bookmark->setPageName(pageName);
    const std::string issueName = info->issueName().value_or("");
    bookmark->setTitle(info->bookKind() == 0 ? info->magazineName().value_or("") + " | " + issueName
                                             : issueName);
    bookmark->setCreateDate(plat::Date::now());
    store->addBookmark(bookmark);
}

std::map<int, QImage> ReaderViewController::getThumbnailBookmark() {
    std::map<int, QImage> thumbnails;
    const auto store = BookmarkViewController::activeBookmarkContext();
    const auto issue = issueContext();
    if (!store || !issue || !issue->info())
        return thumbnails;
    for (const auto& bookmark : store->bookmarksForIssueInfo(issue->info())) {
        const auto page = mainDocument_->pageAtIndex(bookmark->pageIndex());
        if (!page)
            continue;
        const QSizeF size = page->displaySize();
        const double scale = size.height() > 0 ? 126.0 / size.height() : 1;
        thumbnails[bookmark->pageIndex()] =
            ui::PdfPageRenderer::image(*page, (size * scale).toSize().expandedTo(QSize(1, 1)));
        if (page->isRefusedChangedFile())
            pdfModifyView_pageFileRefused(pdfView_, page);
    }
    return thumbnails;
}

// ---- Page widgets -----------------------------------------------------------------------------

void ReaderViewController::pdfModifyView_visiblePageChagne(
    PDFModifyView*, const std::vector<Ref<ui::PdfPage>>& pages) {
    if (!mainDocument_)
        return;
    std::vector<int> indices;
    for (const auto& page : pages)
        indices.push_back(mainDocument_->indexForPage(page));
    // A page shown that waits for its check (its file found unchecked) is checked next.
    if (uiContext_)
        uiContext_->checkShownPagesFirst(std::vector<int32_t>(indices.begin(), indices.end()));
    removeWidgetVisibleViewNotInPage(indices);
    widgetPagesShown_.clear();
    for (const auto& page : pages)
        widgetPagesShown_.emplace_back(mainDocument_->indexForPage(page), page);
    std::string text;
    for (const auto& page : pages) {
        text = plat::format("%s,@%s", text.c_str(), pageText(page).c_str());
        const int index = mainDocument_->indexForPage(page);
        // A page placed already keeps its views; the walk goes on with the next one.
        if (index < 0 || widgetVisibleInPage_.count(index))
            continue;
        placeWidgetsOfPage(page, index);
    }
    qCDebug(readerLog, "visible page : %s", text.c_str());
}

void ReaderViewController::placeWidgetsOfPage(const Ref<ui::PdfPage>& page, int index) {
    const auto pageUI = uiContext_ ? uiContext_->pageContextAtSourceIndex(index) : nullptr;
    if (!pageUI)
        return;
    // The page says when its widgets are built, should that come while it is shown.
    pageUI->addDelegate(self());
    const auto root = pageUI->rootWidget();
    if (!root || root->subwidgets().empty())
        return;
    (void)widgetVisibleInPage_[index];  // the page counts as placed from now on
    for (const auto& subwidget : std::vector(root->subwidgets())) {
        // Data-only widgets get no view; unready ones come when they are ready.
        const auto widget = std::dynamic_pointer_cast<VisibleWidget>(subwidget);
        if (widget && widget->isReadyForDisplay())
            addWidgetData(widget, page, index);
    }
    root->didBecomeActive();
}

void ReaderViewController::replaceWidgetsOfPage(int index) {
    if (!widgetVisibleInPage_.count(index))
        return;
    // Placed over the stand-in, whose size may differ: they go, and come again over the page
    // with the report of the pages shown that follows its layout.
    std::vector<int> keep = placedPages();
    std::erase(keep, index);
    removeWidgetVisibleViewNotInPage(keep);
}

void ReaderViewController::placeWidgetsThatBecameReady() {
    if (!mainDocument_ || !uiContext_ || !isViewLoaded())
        return;
    for (const auto& [index, shown] : std::vector(widgetPagesShown_)) {
        // A page replaced since the report waits for the report of its own layout.
        const auto page = mainDocument_->pageAtIndex(index);
        if (!page || page != shown.lock())
            continue;
        if (!widgetVisibleInPage_.count(index)) {
            placeWidgetsOfPage(page, index);
            continue;
        }
        const auto pageUI = uiContext_->pageContextAtSourceIndex(index);
        const auto root = pageUI ? pageUI->rootWidget() : nullptr;
        if (!root)
            continue;
        for (const auto& subwidget : std::vector(root->subwidgets())) {
            const auto widget = std::dynamic_pointer_cast<VisibleWidget>(subwidget);
            // A widget placed has its host; the others are placed once ready, and start.
            if (!widget || widget->attachedView() || !widget->isReadyForDisplay())
                continue;
            addWidgetData(widget, page, index);
            widget->didBecomeActive();
        }
    }
}

void ReaderViewController::addWidgetData(const Ref<VisibleWidget>& widget,
                                         const Ref<ui::PdfPage>& page, int index) {
    addWigdetBox(widget, page, index);
}

bool ReaderViewController::mayPlaceOnPage(const Ref<ui::PdfPage>& page, const QRectF& frame) const {
    // Frames come from the issue's files: a frame that is no number, lies far away or misses
    // its page entirely gets no view.
    constexpr double kFar = 1e6;
    for (const double value : {frame.x(), frame.y(), frame.width(), frame.height()}) {
        if (!std::isfinite(value) || std::abs(value) > kFar)
            return false;
    }
    if (frame.width() <= 0 || frame.height() <= 0)
        return true;  // shows nothing of its own
    const QRectF box = page ? page->boundsForBox(ui::PdfPage::MediaBox) : QRectF();
    return QRectF(QPointF(), box.size()).intersects(frame);
}

QTransform ReaderViewController::pageTransformation(const Ref<ui::PdfPage>& page) const {
    const QRectF box = page ? page->boundsForBox(ui::PdfPage::MediaBox) : QRectF();
    if (box.width() <= 0 || box.height() <= 0)
        return {};
    const QRectF whole =
        convertRectFromPageToDocumentView(page, QRectF(0, 0, box.width(), box.height()));
    return QTransform(whole.width() / box.width(), 0, 0, whole.height() / box.height(), whole.x(),
                      whole.y());
}

void ReaderViewController::addWigdetBox(const Ref<VisibleWidget>& widget,
                                        const Ref<ui::PdfPage>& page, int index) {
    if (!widget || !page)
        return;
    const auto host = QtWidgetView::borrowing(pdfView_->documentView());
    const QTransform transformation = pageTransformation(page);
    const QRectF frame = convertRectFromPageToDocumentView(page, widget->frame());
    widget->setAttachedView(host);
    if (!mayPlaceOnPage(page, widget->frame())) {
        qCDebug(readerLog) << "A widget outside its page is not shown:" << frame;
        return;
    }
    const auto view = widget->newWidgetView(frame);
    if (view) {
        qCDebug(readerLog) << "Frame on View :" << frame;
        addWidgetVisibleView(view, index);
    }
    // The placed view is the widget's own: its sub-widgets and behaviour follow it.
    widget->adoptPlacedView(host, view, transformation);
    if (view) {
        // A view the widget sized itself (a popup over the whole host) is not held to the page.
        const QRectF made = view->frame();
        const bool atFrame = std::abs(made.left() - frame.left()) <= 1 &&
                             std::abs(made.top() - frame.top()) <= 1 &&
                             std::abs(made.right() - frame.right()) <= 1 &&
                             std::abs(made.bottom() - frame.bottom()) <= 1;
        watchPlacedView(widget, view, index, atFrame);
    }
    if (!widget->hasButton())
        return;
    widget->setAttachedView(host);
    const auto button = widget->button();
    if (!button)
        return;
    button->setIcon(widget->buttonIcon());
    button->setAttachedView(host);
    const QRectF buttonFrame = convertRectFromPageToDocumentView(page, button->frame());
    if (!mayPlaceOnPage(page, button->frame()))
        return;
    if (const auto buttonView = button->newWidgetView(buttonFrame)) {
        qCDebug(readerLog) << "Button Frame on View :" << buttonFrame;
        addWidgetVisibleView(buttonView, index);
        button->adoptPlacedView(host, buttonView, transformation);
        watchPlacedView(button, buttonView, index, true);
    }
}

namespace {

// Reports the moves and resizes of a placed widget's Qt widget (the page view moves its overlays
// on every scroll, zoom and layout), and its showing when asked; it goes with the widget.
class PlacedViewWatcher : public QObject {
  public:
    PlacedViewWatcher(QWidget* watched, std::function<void(bool resized)> changed,
                      std::function<void()> shown)
        : QObject(watched), changed_(std::move(changed)), shown_(std::move(shown)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            changed_(event->type() == QEvent::Resize);
        else if (event->type() == QEvent::Show && shown_)
            shown_();
        return false;
    }

  private:
    std::function<void(bool)> changed_;
    std::function<void()> shown_;
};

}  // namespace

void ReaderViewController::watchPlacedView(const Ref<VisibleWidget>& widget,
                                           const Ref<WidgetView>& view, int index,
                                           bool clipToPage) {
    QWidget* qt = qtWidgetOf(view);
    if (!qt)
        return;
    const WeakRef<ReaderViewController> weakSelf = self<ReaderViewController>();
    const WeakRef<VisibleWidget> weakWidget = widget;
    const WeakRef<WidgetView> weakView = view;
    const auto changed = [weakSelf, weakWidget, weakView, index, clipToPage](bool resized) {
        const auto self = weakSelf.lock();
        const auto widget = weakWidget.lock();
        const auto view = weakView.lock();
        if (!self || !widget || !view || widget->widgetView() != view || !self->mainDocument_)
            return;
        QWidget* shown = qtWidgetOf(view);
        const auto page = self->mainDocument_->pageAtIndex(index);
        // A view out on its own (a video shown full screen) keeps its place on the page.
        if (!shown || !page || shown->isWindow())
            return;
        // The view's frame is where the page view put it.
        if (view->frame() != QRectF(shown->geometry()))
            view->setFrame(QRectF(shown->geometry()));
        if (clipToPage) {
            // Nothing of a page's widget shows beyond its page.
            // Overlays lie in the page view's coordinates.
            const QRect pageRect =
                self->pdfView_->convertRectFromDocumentView(self->pdfView_->pageFrame(page))
                    .toAlignedRect();
            const QRect geometry = shown->geometry();
            if (pageRect.contains(geometry)) {
                shown->clearMask();
            } else {
                const QRect inside = pageRect.intersected(geometry).translated(-geometry.topLeft());
                // An empty mask would show all: a region beside the widget shows nothing.
                shown->setMask(inside.isEmpty() ? QRegion(-1, -1, 1, 1) : QRegion(inside));
            }
        }
        if (resized)
            widget->layoutSubwidgets(self->pageTransformation(page));
    };
    std::function<void()> shown;
    if (!clipToPage) {
        // Made over the whole host, it would lie off its page (or beyond the screen) wherever
        // the page does not start at the top left of what shows.
        shown = [weakSelf, index, watched = QPointer<QWidget>(qt)] {
            if (const auto self = weakSelf.lock(); self && watched)
                self->placeOverVisiblePage(watched, index);
        };
    }
    new PlacedViewWatcher(qt, changed, std::move(shown));  // owned by the watched widget
    changed(false);
}

void ReaderViewController::placeOverVisiblePage(QWidget* placed, int index) {
    const auto page = mainDocument_ ? mainDocument_->pageAtIndex(index) : nullptr;
    if (!placed || !page || placed->parentWidget() != pdfView_->documentView())
        return;
    const QRectF shown = pdfView_->pageFrame(page).intersected(pdfView_->documentVisibleRect());
    if (shown.isEmpty())
        return;
    // Overlays are placed from document-view frames, kept against their page.
    placed->setGeometry(shown.toAlignedRect());
    pdfView_->removeOverlay(placed);
    pdfView_->addOverlay(placed, index);
}

void ReaderViewController::addWidgetVisibleView(const Ref<WidgetView>& view, int index) {
    if (!view)
        return;
    widgetVisibleInPage_[index].push_back(view);
    if (QWidget* widget = qtWidgetOf(view))
        pdfView_->addOverlay(widget, index);
}

void ReaderViewController::removeWidgetVisibleViewNotInPage(
    const std::optional<std::vector<int>>& keep) {
    if (!keep)
        widgetPagesShown_.clear();
    for (const int index : placedPages()) {
        if (keep && std::find(keep->begin(), keep->end(), index) != keep->end())
            continue;
        // The widgets let go of their views before the views go.
        const auto pageUI = uiContext_ ? uiContext_->pageContextAtSourceIndex(index) : nullptr;
        if (const auto root = pageUI ? pageUI->rootWidget() : nullptr) {
            for (const auto& subwidget : root->subwidgets()) {
                if (const auto widget = std::dynamic_pointer_cast<VisibleWidget>(subwidget))
                    widget->detachFromView();
            }
        }
        for (const auto& view : widgetVisibleInPage_[index]) {
            view->removeFromSuperview();
            QWidget* widget = qtWidgetOf(view);
            if (!widget)
                continue;
            pdfView_->removeOverlay(widget);
            // The view's own widget goes with the view; one lent to it goes now.
            widget->hide();
            if (static_cast<const QtWidgetView&>(*view).ownsWidget())
                widget->setParent(nullptr);
            else if (widget->parentWidget() == pdfView_->documentView())
                widget->deleteLater();
        }
        widgetVisibleInPage_.erase(index);
    }
}

QRectF ReaderViewController::convertRectFromPageToDocumentView(const Ref<ui::PdfPage>& page,
                                                               const QRectF& frame) const {
    if (!page)
        return {};
    const double height = page->boundsForBox(ui::PdfPage::MediaBox).height();
    const QRectF pageRect(frame.x(), height - (frame.y() + frame.height()), frame.width(),
                          frame.height());
    return pdfView_->convertRectToDocumentView(pdfView_->convertRectFromPage(pageRect, page));
}

QRectF ReaderViewController::convertRectFromViewToWidgetFrame(const Ref<ui::PdfPage>& page,
                                                              const QRectF& viewRect) const {
    if (!page)
        return {};
    const QRectF r = pdfView_->convertRectToPage(viewRect, page);
    const double height = page->boundsForBox(ui::PdfPage::MediaBox).height();
    const auto single = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    return QRectF(single(r.x()), single(height - (r.y() + r.height())), single(r.width()),
                  single(r.height()));
}

void ReaderViewController::addBoxView(const Ref<plat::Object>&, int, const QRectF& frame, int) {
    if (!isViewLoaded())
        return;
    QWidget* documentView = pdfView_->documentView();
    auto* button = new QPushButton(documentView);  // owned by the document view
    button->setGeometry(pdfView_->convertRectFromDocumentView(frame).toRect());
    button->show();
    widgetVisible_.emplace_back(button);
}

std::vector<QPushButton*> ReaderViewController::widgetVisible() const {
    std::vector<QPushButton*> buttons;
    for (const auto& button : widgetVisible_) {
        if (button)
            buttons.push_back(button);
    }
    return buttons;
}

std::vector<Ref<WidgetView>> ReaderViewController::widgetViewsOfPage(int index) const {
    const auto it = widgetVisibleInPage_.find(index);
    return it == widgetVisibleInPage_.end() ? std::vector<Ref<WidgetView>>{} : it->second;
}

std::vector<int> ReaderViewController::placedPages() const {
    std::vector<int> pages;
    for (const auto& [index, views] : widgetVisibleInPage_)
        pages.push_back(index);
    return pages;
}
