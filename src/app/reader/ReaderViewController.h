#pragma once
// ReaderViewController: the reader window's content: the page view (PDFModifyView) with the
// thumbnail strip at its left, the previous/next hover buttons over it and the loading strip
// under it. It builds its own document, one slot a source page: the downloaded page (its file,
// cropped by the page's insets) or a "temp_hd_pdf" placeholder until the page arrives; bytes
// QtPdf cannot use keep the placeholder. It moves through the issue (pages, cover, contents,
// jumps asked by page links), zooms, switches the four display modes, keeps bookmarks and the
// last viewed page, and lays the page widgets of the visible pages over them.
//
// Messages it answers: the issue's page arrivals and interactive files
// (VnMagazineIssueContextDelegate, handed on by the issue's UI context) and its pages' painters,
// images and widget trees (MagazinePageUIContextDelegate).
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QTransform>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "app/reader/PDFModifyView.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QProgressBar;
class QPushButton;
class MagazineIssueUIContext;
class MagazinePageUIContext;
class PageChangeButton;
class VisibleWidget;
class WidgetView;
class VnMagazineIssueContext;
class VnMagazineIssuePageContext;
namespace ui {
class PdfThumbnailView;
class PdfRenderCache;
}  // namespace ui

inline constexpr const char* kJumpToPageNotification = "BookViewController_JumpToPage";

class ReaderViewController : public ui::ViewController, public PDFModifyViewDelegate {
    PLAT_CLASS(ReaderViewController)
  public:
    static constexpr int kProgressViewHeight = 30;
    static constexpr size_t kRenderCacheBytes = size_t{128} << 20;
    static constexpr double kProgressLaterDelay = 3.0;

    ReaderViewController();
    ~ReaderViewController() override;

    // ---- Life cycle ----
    void viewDidLoad() override;
    void viewDidAppear() override;
    void viewDidDisappear() override;
    void createDocument();

    // ---- The open issue ----
    const Ref<MagazineIssueUIContext>& uiContext() const { return uiContext_; }
    // Shows another issue; the one shown so far keeps the page it was on as its last viewed.
    void setUiContext(const Ref<MagazineIssueUIContext>& context);
    // The same for an issue about to be shown at page `openAt` (a source index): that page's
    // render is asked for before the rest of the issue's pages are made.
    void setUiContext(const Ref<MagazineIssueUIContext>& context, int openAt);
    void getPdfForAddToDocument();
    // Crops the page by insets (top, left, bottom, right), each read in single precision.
    static Ref<ui::PdfPage> insetPage(const Ref<ui::PdfPage>& page, double top, double left,
                                      double bottom, double right);
    // Puts the first page of the PDF in the bytes in the slot at the index, in place of the page
    // there, and hands the document to the page view again. Bytes that do not look like a PDF,
    // or an index outside the document, change nothing. Like every page held in memory, the page
    // is checked in a child process before QtPdf opens it. Nothing in the program calls it.
    void loadPDfView(const QByteArray& pdf, int index);
    void magazineIssueContext_pageAvalable(Ref<VnMagazineIssueContext> context,
                                           int32_t sourcePageIndex);
    void updateLoadingProgress();
    void updateLoadingProgressLater();
    void magazineIssueContextDidFinishLoadingInteractive(Ref<VnMagazineIssueContext> context);
    void pageUIContextPageContentPainterAvailable(Ref<MagazinePageUIContext> page);
    void pageUIContextFullPageImageAvailable(Ref<MagazinePageUIContext> page);
    void pageUIContextSmallThumbnailImageAvailable(Ref<MagazinePageUIContext> page);
    void pageUIContextRootWidgetAvailable(Ref<MagazinePageUIContext> page);

    bool isDisplayReader() const { return isDisplayReader_; }
    void setIsDisplayReader(bool display) { isDisplayReader_ = display; }
    bool hiddenThumbmailPDF() const { return hiddenThumbmailPDF_; }
    const Ref<ui::PdfDocument>& mainDocument() const { return mainDocument_; }
    const QImage& placeholderImage() const { return placeholder_; }

    // ---- Navigation, modes and bookmarks ----
    // Every move is clamped to the document's pages; an empty document goes nowhere. Moving asks
    // nothing of the issue: a page still to come shows its placeholder until it arrives.
    void goToPage(int index);
    void goToCoverPage();
    void goToTOCPage();
    void goToNextPage();
    void gotoPreviousPage();
    void nextButton_Click();
    void previousButton_Click();
    // -1 without a current page.
    int currentPageIndex() const;
    void zoomInPdfView();
    void zoomOutPdfView();
    void zoomAutoPdfView();
    void pdfPageViewType(int mode);
    void setHiddenThumbmailPDF(bool hidden);
    void jumpToPageNotify(const plat::Notification& notification);
    void addBookmarkCurrentPage();
    // Page images of the open issue's bookmarks, by page index.
    std::map<int, QImage> getThumbnailBookmark();

    // ---- Page widgets ----
    void pdfModifyView_visiblePageChagne(PDFModifyView* view,
                                         const std::vector<Ref<ui::PdfPage>>& pages) override;
    // A page whose file went or changed since the issue kept it keeps its placeholder while the
    // issue looks at the file again (MagazineIssueUIContext::checkPageAgain).
    void pdfModifyView_pageFileRefused(PDFModifyView* view, const Ref<ui::PdfPage>& page) override;
    void addWidgetData(const Ref<VisibleWidget>& widget, const Ref<ui::PdfPage>& page, int index);
    void addWigdetBox(const Ref<VisibleWidget>& widget, const Ref<ui::PdfPage>& page, int index);
    void addWidgetVisibleView(const Ref<WidgetView>& view, int index);
    // Keeps the pages listed; without a list every page's views go.
    void removeWidgetVisibleViewNotInPage(const std::optional<std::vector<int>>& keep);
    QRectF convertRectFromPageToDocumentView(const Ref<ui::PdfPage>& page,
                                             const QRectF& frame) const;
    QRectF convertRectFromViewToWidgetFrame(const Ref<ui::PdfPage>& page,
                                            const QRectF& viewRect) const;
    // Adds a plain button at the frame (document-view coordinates, as the page view lies at the
    // time) to the document view, and keeps it among the box views; the object, the index and
    // the type are not used. Box views stay until the document view goes.
    void addBoxView(const Ref<plat::Object>& object, int index, const QRectF& frame, int type);
    // The box views added so far that still exist, oldest first.
    std::vector<QPushButton*> widgetVisible() const;
    // Places the widgets of the pages shown that are ready now and were not before.
    void placeWidgetsThatBecameReady();
    // Page space (origin top left, y down, points) to the document view, for the page.
    QTransform pageTransformation(const Ref<ui::PdfPage>& page) const;
    // The widget views placed for a page (none when it has no entry).
    std::vector<Ref<WidgetView>> widgetViewsOfPage(int index) const;
    std::vector<int> placedPages() const;

    // ---- Outlets ----
    PDFModifyView* pdfView() const { return pdfView_; }
    ui::PdfThumbnailView* pdfThumbnailView() const { return pdfThumbnailView_; }
    PageChangeButton* nextPageButton() const { return nextPageButton_; }
    PageChangeButton* previousPageButton() const { return previousPageButton_; }
    QWidget* progressView() const { return progressView_; }
    QLabel* percentTextField() const { return percentTextField_; }
    QProgressBar* percentProgress() const { return percentProgress_; }
    // The loading bar's value, from 0 to 1.
    double progressValue() const { return progressValue_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // The page of a downloaded slot: its file, labelled, cropped, with the placeholder for when
    // QtPdf refuses it later; null (logged) when the file is not a PDF.
    Ref<ui::PdfPage> downloadedPage(int sourcePageIndex);
    // The page as the issue's page record describes it; null when it does not, whole.
    Ref<ui::PdfPage> keptPage(int sourcePageIndex);
    // Asks for the render of the page the issue opens at, made from the issue's page record,
    // when the record keeps every page of the issue.
    void renderOpeningAhead(int openAt);
    // The page's context once its file has arrived whole; null before.
    Ref<VnMagazineIssuePageContext> arrivedPage(int sourcePageIndex) const;
    Ref<ui::PdfPage> placeholderPage() const;
    // Shows or hides the loading strip; the page view is laid out again when it comes or goes.
    void setProgressHidden(bool hidden);
    // Whether the slot shows the page's downloaded file as it is now.
    bool showsDownloadedFile(int sourcePageIndex) const;
    void replaceSlot(int index, const Ref<ui::PdfPage>& page);
    // Lays the page view, strip, buttons and thumbnails out for the view's size.
    void layoutSubviews();
    Ref<VnMagazineIssueContext> issueContext() const;
    void placeWidgetsOfPage(const Ref<ui::PdfPage>& page, int index);
    // The page arrived in its slot: its widgets, placed already over the stand-in, go; they come
    // again with the next report of the pages shown.
    void replaceWidgetsOfPage(int index);
    // Whether a widget of that frame (page space, y down) may go on the page.
    bool mayPlaceOnPage(const Ref<ui::PdfPage>& page, const QRectF& frame) const;
    // Keeps the view's frame, its clipping to the page and the widget's sub-widgets in step
    // with where the page view puts it. A view not held to the page (a popup over the whole
    // host) opens over the part of its page that shows.
    void watchPlacedView(const Ref<VisibleWidget>& widget, const Ref<WidgetView>& view, int index,
                         bool clipToPage);
    // Lays the placed widget over the part of its page on screen (none when the page is not).
    void placeOverVisiblePage(QWidget* placed, int index);

    bool isDisplayReader_ = false;
    std::map<int, Ref<ui::PdfPage>> aheadPages_;  // made for the opening's render, for the document
    bool hiddenThumbmailPDF_ = true;
    bool progressHidden_ = true;
    double progressValue_ = 0;
    Ref<MagazineIssueUIContext> uiContext_;
    Ref<ui::PdfDocument> mainDocument_;
    std::unique_ptr<ui::PdfRenderCache> renderCache_;
    QImage placeholder_;
    std::map<int, std::vector<Ref<WidgetView>>> widgetVisibleInPage_;
    // Box views, owned by the document view they were added to.
    std::vector<QPointer<QPushButton>> widgetVisible_;
    // The visible pages of the last report, by index.
    std::vector<std::pair<int, WeakRef<ui::PdfPage>>> widgetPagesShown_;
    plat::NotificationCenter::ObserverId jumpObserver_ = 0;

    PDFModifyView* pdfView_ = nullptr;
    ui::PdfThumbnailView* pdfThumbnailView_ = nullptr;
    PageChangeButton* nextPageButton_ = nullptr;
    PageChangeButton* previousPageButton_ = nullptr;
    QWidget* progressView_ = nullptr;
    QLabel* percentTextField_ = nullptr;
    QProgressBar* percentProgress_ = nullptr;
};
