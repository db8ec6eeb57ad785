#pragma once
// ui::PdfView: the reader's page view. It lays a PdfDocument out in one of four modes (single,
// single continuous, two-up, two-up continuous; optionally as a book), zooms in steps of the
// square root of two between 0.1 and 10 keeping the centre, or scales itself to fit the width
// (the whole page or spread in the non-continuous modes), and pages and scrolls by keyboard
// (keyPressEvent). Pages render on the render cache's worker, visible pages first, then a page
// or spread each side; pages whose check is not known yet are checked on the cache's checking
// thread in the same order, then rendered.
// Changes of the document and of the box or page breaks are laid out once per event-loop turn
// (or at once when something needs the layout before then); a page replaced by one of the size
// laid out for it is not laid out again.
// Coordinates: page space is y-up, in points, relative to the page's media box; the view is the
// viewport widget (pixels, y down); the document view is the scroll-independent space of the
// layout (view + scroll offset). Overlays added with addOverlay stay on their page through
// scrolling, zooming, resizing, mode changes and page replacement, hidden while it is off screen;
// one taken out of the document view for a while (a video shown full screen) is left alone then.
// After every scroll, resize, zoom, layout, mode change or page replacement the view asks its
// own visiblePages() once on the next event-loop turn, so a subclass override sees each change.
#include <QAbstractScrollArea>
#include <QColor>
#include <QPointer>
#include <QRegion>
#include <QTransform>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "platform_ui/pdf/PdfDocument.h"
#include "platform_ui/pdf/PdfLayout.h"
#include "platform_ui/pdf/PdfRenderCache.h"

namespace ui {

class PdfView : public QAbstractScrollArea {
  public:
    enum DisplayMode : int {
        SinglePage = 0,
        SinglePageContinuous = 1,
        TwoUp = 2,
        TwoUpContinuous = 3
    };
    static constexpr double kMinScale = 0.1, kMaxScale = 10;
    // How long after a new document or a page gone to a page whose render is on its way may keep
    // what the screen showed there (then it is painted on its paper).
    static constexpr std::chrono::milliseconds kPaperDelay{30};

    explicit PdfView(QWidget* parent = nullptr);
    ~PdfView() override;

    const Ref<PdfDocument>& document() const { return document_; }
    void setDocument(const Ref<PdfDocument>& document);
    int displayMode() const { return mode_; }
    void setDisplayMode(int mode);
    bool displaysAsBook() const { return book_; }
    void setDisplaysAsBook(bool book);
    bool displaysPageBreaks() const { return breaks_; }
    void setDisplaysPageBreaks(bool breaks);
    PdfPage::Box displayBox() const { return displayBox_; }
    void setDisplayBox(PdfPage::Box box);
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return background_; }
    void layoutDocumentView();

    // Navigation; an absent page does nothing.
    void goToPage(const Ref<PdfPage>& page);
    void goToFirstPage();
    void goToLastPage();
    void goToNextPage();
    void goToPreviousPage();
    // The most visible page (the first of equals; a page at a time, the first of the row on
    // screen); null without pages.
    Ref<PdfPage> currentPage() const;
    // For a document about to be set and shown at page `index` of `count`: asks now for the
    // renders of that page's row (`pageAt` makes its pages, the very ones the document will
    // hold), when the size they will show at is certain already: at the view's own scale, or
    // scaled to fit a page at a time when the row's height decides the scale (no page of the
    // document being wider than `widest` points).
    void renderAhead(int index, int count, const std::function<Ref<PdfPage>(int)>& pageAt,
                     double widest);

    double scaleFactor() const { return scale_; }
    void setScaleFactor(double scale);
    void zoomIn();
    void zoomOut();
    bool autoScales() const { return autoScales_; }
    void setAutoScales(bool autoScales);

    // Pages that intersect the visible rect, in layout order.
    virtual std::vector<Ref<PdfPage>> visiblePages();

    // The overlay parent; its widget coordinates are the view's.
    QWidget* documentView() const { return documentView_; }
    QRectF documentVisibleRect() const;
    // The size of the laid-out pages with their margins (document-view coordinates).
    QSizeF documentSize() const {
        layoutIfNeeded();
        return layout_.contentSize;
    }
    // Layouts of a document with pages made so far.
    int layoutCount() const { return layoutCount_; }
    // No layout or document change waits for a later turn of the event loop.
    bool isSettled() const { return !layoutPending_ && !layoutQueued_ && !changeScheduled_; }
    // How many times an overlay has been placed so far (what adding and moving them costs).
    int64_t overlayPlacementCount() const { return overlayPlacements_; }
    void scrollRectToVisible(const QRectF& documentRect);
    bool isFlipped() const { return true; }

    // page (y-up points) <-> view (pixels, y down) <-> document view.
    QRectF convertRectFromPage(const QRectF& rect, const Ref<PdfPage>& page) const;
    QRectF convertRectToPage(const QRectF& viewRect, const Ref<PdfPage>& page) const;
    QPointF convertPointFromPage(const QPointF& point, const Ref<PdfPage>& page) const;
    QPointF convertPointToPage(const QPointF& viewPoint, const Ref<PdfPage>& page) const;
    QRectF convertRectToDocumentView(const QRectF& viewRect) const;
    QRectF convertRectFromDocumentView(const QRectF& documentRect) const;
    QTransform pageToViewTransform(const Ref<PdfPage>& page) const;
    // The page's frame in document-view coordinates (null when it is not laid out).
    QRectF pageFrame(const Ref<PdfPage>& page) const;

    // Reparents the widget to the document view; its current geometry, in document-view
    // coordinates, is taken as its place on the page.
    void addOverlay(QWidget* widget, int pageIndex);
    void removeOverlay(QWidget* widget);

    PdfRenderCache& renderCache() const { return *cache_; }
    // A render of one of the document's pages ended elsewhere (a strip that shows them): a page
    // refused by it is reported as the view's own renders report it (pageFileRefused).
    void pageRenderedElsewhere(uint64_t pageId);
    void setRenderCache(PdfRenderCache* cache);
    // Whether the page's own rendering (not a stand-in) has been drawn.
    bool hasPainted(const Ref<PdfPage>& page) const;

  protected:
    // A page of the document was refused as it rendered: its file went or changed since its
    // check (it shows its placeholder). Nothing here; a view that knows where its pages come
    // from may have them fetched again.
    virtual void pageFileRefused(const Ref<PdfPage>& page);
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // The keys of a page view: Left, Right, Page Up and Page Down turn pages, Up and Down
    // scroll, Space and Shift+Space page on and back, Home and End go to the first and the last
    // page.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Overlay {
        QPointer<QWidget> widget;
        WeakRef<PdfPage> page;
        int pageIndex;    // the slot, for a page replaced in it
        QRectF pageRect;  // y-up page space
    };
    std::vector<Ref<PdfPage>> visiblePagesInLayout() const;
    // Learns every page's size (a layout, counted), then places the pages.
    void relayout(bool keepCurrentPage, bool renderNow = true);
    // Places the pages at the sizes learnt, keeping the anchor page where it was on screen.
    void place(const Ref<PdfPage>& anchor, double anchorY, bool renderNow);
    // A layout on the next event-loop turn; layoutIfNeeded makes it at once.
    void setNeedsLayout();
    void documentChanged(const PdfDocument::Change& change);
    // Whether the page now in the slot has the size the layout gave the one before.
    bool keepsLayout(int index) const;
    void layoutIfNeeded() const;
    void changed();  // schedules the once-per-turn work
    void afterChange();
    void updateScrollBars();
    void rememberAnchor();
    void placeOverlays();
    // Places one overlay over its page, or hides it when its page is not in `shown`.
    void placeOverlay(Overlay& overlay, const QRectF& shown);
    void requestRenders();
    void pageRendered(uint64_t pageId);
    // Paints what lies in `dirty` (view coordinates).
    void paintPages(const QRect& dirty);
    // For a short while after a new document or a page gone to, a page whose render is on its
    // way keeps what the screen showed there instead of being painted white first: the render
    // mostly comes within a few milliseconds, and the page is then painted once, with nothing
    // else drawing at the same time. A render that takes longer finds the paper painted. Only
    // while the window holds what this view painted last (not after it was shown or resized).
    void deferPaper();
    bool paperDeferred() const;
    // Whether the page has no image yet (neither its render nor any other of it).
    bool waitsForItsRender(const Ref<PdfPage>& page) const;
    // Whether a page on screen waits for its render.
    bool aPageWaitsForItsRender() const;
    // Whether every page on screen waits for its render: a paint would show nothing new.
    bool nothingToShowYet() const;
    // Where pages are on screen in the layout.
    QRegion pagesOnScreen() const;
    // What a change of the layout or the document may change on screen (a paint left to the
    // pages' renders paints it when they come): all of it, or only where pages are and were.
    QRegion changedRegion() const;
    // Notes what a paint of those pixels left on screen.
    void notePainted(const QRect& shownPixels);
    // Paints the pages left without their paper once the moment has passed.
    void paperAfterTheMoment();
    void zoomTo(double scale);
    // Space: a screen on (or back), or the next (previous) page where the screen ends.
    void pageOn(bool forward);
    QPointF scrollOffset() const;  // document point at the view's origin
    QSizeF sizeOfPage(int index) const;
    int indexOf(const Ref<PdfPage>& page) const;
    PdfRenderCache::Key keyFor(int index) const;
    QRectF cropBoxOf(const Ref<PdfPage>& page) const;

    Ref<PdfDocument> document_;
    int observerToken_ = 0;
    int mode_ = SinglePageContinuous;
    bool book_ = false;
    bool breaks_ = true;
    PdfPage::Box displayBox_ = PdfPage::CropBox;
    QColor background_ = Qt::gray;
    double scale_ = 1;
    bool autoScales_ = false;
    PdfLayout layout_;
    std::vector<QSizeF> sizes_;
    std::vector<bool> known_;  // the pages whose own size sizes_ holds (not an estimate)
    std::unique_ptr<QWidget> documentViewOwner_;
    QWidget* documentView_ = nullptr;
    bool layoutPending_ = false;
    bool layoutQueued_ = false;
    int layoutCount_ = 0;
    int64_t overlayPlacements_ = 0;
    // The visible pages are not reported while the first of them waits for its file's check.
    bool firstVisiblePageWaiting_ = false;
    bool applyingLayout_ = false;
    WeakRef<PdfPage> anchorPage_;
    double anchorY_ = 0;  // the anchor page's top in view coordinates
    std::vector<Overlay> overlays_;
    PdfRenderCache* cache_;
    bool changeScheduled_ = false;
    std::set<uint64_t> painted_;
    std::chrono::steady_clock::time_point paperDeferredUntil_;
    bool paperDue_ = false;      // a paint left a page without its paper
    bool holdsPicture_ = false;  // the window holds this view's last paint
    bool paintHeld_ = false;     // a paint is left to the pages' renders
    bool wholeHeld_ = false;     // ... and one asked for from elsewhere with it: all of it
    QRegion pagesPainted_;       // where the window shows pages (or what was left under them)
    QColor backgroundPainted_;   // the colour the window shows around them; invalid: a mix
    bool everPainted_ = false;
    QPoint dragStart_;
    QRectF dragVisible_;
    bool dragging_ = false;
};

}  // namespace ui
