#include "platform_ui/pdf/PdfView.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform_ui/pdf/PdfPageRenderer.h"

namespace ui {
namespace {

constexpr double kDefaultWidth = 595, kDefaultHeight = 842;  // A4, for pages of unknown size
constexpr qint64 kMaxWholePagePixels = 4096 * 4096;
// Far below a pixel, far above the error of computing a fitted size.
constexpr double kFitTolerance = 1e-6;

}  // namespace

PdfView::PdfView(QWidget* parent) : QAbstractScrollArea(parent), cache_(&PdfRenderCache::shared()) {
    documentViewOwner_ = std::make_unique<QWidget>(viewport());
    documentView_ = documentViewOwner_.get();
    documentView_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    documentView_->setGeometry(viewport()->rect());
    documentView_->show();
    viewport()->setMouseTracking(true);
    // It takes the keyboard, as a page view does: a click or the tab key gives it the focus.
    setFocusPolicy(Qt::StrongFocus);
    // paintPages fills the whole viewport itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
}

PdfView::~PdfView() {
    cache_->cancelClient(this);
    if (document_)
        document_->removeChangeObserver(observerToken_);
}

void PdfView::setRenderCache(PdfRenderCache* cache) {
    cache_->cancelClient(this);
    cache_ = cache ? cache : &PdfRenderCache::shared();
    changed();
}

void PdfView::setDocument(const Ref<PdfDocument>& document) {
    if (document_)
        document_->removeChangeObserver(observerToken_);
    document_ = document;
    observerToken_ = 0;
    if (document_) {
        const QPointer<PdfView> self(this);
        observerToken_ = document_->addChangeObserver([self](const PdfDocument::Change& change) {
            if (self)
                self->documentChanged(change);
        });
    }
    layout_.currentRow = 0;
    painted_.clear();
    anchorPage_.reset();
    // Its renders are asked for at the end of this turn: a new document is mostly opened at
    // another page than its first, gone to right after.
    relayout(false, false);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    deferPaper();
}

void PdfView::setDisplayMode(int mode) {
    if (mode < SinglePage || mode > TwoUpContinuous || mode == mode_)
        return;
    const Ref<PdfPage> current = currentPage();
    mode_ = mode;
    relayout(false);
    if (current)
        goToPage(current);
}

void PdfView::setDisplaysAsBook(bool book) {
    if (book == book_)
        return;
    const Ref<PdfPage> current = currentPage();
    book_ = book;
    relayout(false);
    if (current)
        goToPage(current);
}

void PdfView::setDisplaysPageBreaks(bool breaks) {
    if (breaks == breaks_)
        return;
    breaks_ = breaks;
    setNeedsLayout();
}

void PdfView::setDisplayBox(PdfPage::Box box) {
    if (box == displayBox_)
        return;
    displayBox_ = box;
    setNeedsLayout();
}

void PdfView::setBackgroundColor(const QColor& color) {
    if (color == background_)
        return;
    background_ = color;
    viewport()->update();
}

void PdfView::layoutDocumentView() {
    setNeedsLayout();
}

void PdfView::setNeedsLayout() {
    layoutPending_ = true;
    if (layoutQueued_)
        return;
    layoutQueued_ = true;
    const QPointer<PdfView> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self)
            return;
        self->layoutQueued_ = false;
        self->layoutIfNeeded();
    });
}

void PdfView::documentChanged(const PdfDocument::Change& change) {
    // A page put in a slot at the size laid out for it moves nothing: it is placed, rendered and
    // painted in the layout there is.
    if (change.kind == PdfDocument::Change::Replaced && !layoutPending_ &&
        keepsLayout(change.index)) {
        changed();
        return;
    }
    setNeedsLayout();
}

bool PdfView::keepsLayout(int index) const {
    const Ref<PdfPage> page = document_ ? document_->pageAtIndex(index) : nullptr;
    if (!page || static_cast<size_t>(index) >= known_.size() || sizes_.size() != known_.size() ||
        static_cast<int>(sizes_.size()) != document_->pageCount())
        return false;
    // Only a known size for a known size: an estimate depends on the pages around it.
    return known_[static_cast<size_t>(index)] && page->isChecked() &&
           cropBoxOf(page).size() == sizes_[static_cast<size_t>(index)];
}

void PdfView::layoutIfNeeded() const {
    // The layout is the view's own cache of its document: making it late changes nothing else.
    if (layoutPending_)
        const_cast<PdfView*>(this)->relayout(true);
}

int PdfView::indexOf(const Ref<PdfPage>& page) const {
    return document_ && page ? document_->indexForPage(page) : -1;
}

QRectF PdfView::cropBoxOf(const Ref<PdfPage>& page) const {
    if (!page->isChecked())
        return QRectF(QPointF(0, 0), page->displaySize());
    return page->boundsForBox(displayBox_);
}

QSizeF PdfView::sizeOfPage(int index) const {
    return index >= 0 && static_cast<size_t>(index) < sizes_.size()
               ? sizes_[static_cast<size_t>(index)]
               : QSizeF();
}

void PdfView::relayout(bool keepCurrentPage, bool renderNow) {
    layoutPending_ = false;
    const int count = document_ ? document_->pageCount() : 0;
    if (count > 0)
        ++layoutCount_;
    // Keep the anchor page (the page gone to, or the current one after a scroll) where it is on
    // screen.
    const Ref<PdfPage> anchor = keepCurrentPage ? anchorPage_.lock() : nullptr;
    const double anchorY = anchorY_;

    // Sizes: a page not checked yet takes the nearest known size.
    sizes_.assign(static_cast<size_t>(count), QSizeF());
    std::vector<bool> known(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        const Ref<PdfPage> page = document_->pageAtIndex(i);
        if (page->isChecked()) {
            sizes_[static_cast<size_t>(i)] = cropBoxOf(page).size();
            known[static_cast<size_t>(i)] = true;
        }
    }
    known_ = known;
    std::vector<int> lastKnown(static_cast<size_t>(count), -1),
        nextKnown(static_cast<size_t>(count), -1);
    for (int i = 0, last = -1; i < count; ++i) {
        if (known[static_cast<size_t>(i)])
            last = i;
        lastKnown[static_cast<size_t>(i)] = last;
    }
    for (int i = count - 1, next = -1; i >= 0; --i) {
        if (known[static_cast<size_t>(i)])
            next = i;
        nextKnown[static_cast<size_t>(i)] = next;
    }
    for (int i = 0; i < count; ++i) {
        if (known[static_cast<size_t>(i)])
            continue;
        const int before = lastKnown[static_cast<size_t>(i)],
                  after = nextKnown[static_cast<size_t>(i)];
        const int nearest = before < 0  ? after
                            : after < 0 ? before
                                        : (i - before <= after - i ? before : after);
        sizes_[static_cast<size_t>(i)] =
            nearest >= 0 ? sizes_[static_cast<size_t>(nearest)]
                         : document_->pageAtIndex(i)->displaySize().expandedTo(QSizeF(1, 1));
        if (nearest < 0 && !document_->pageAtIndex(i)->isImagePage())
            sizes_[static_cast<size_t>(i)] = QSizeF(kDefaultWidth, kDefaultHeight);
    }

    place(anchor, anchorY, renderNow);
}

void PdfView::place(const Ref<PdfPage>& anchor, double anchorY, bool renderNow) {
    const QSizeF viewportSize = viewport()->size();
    if (autoScales_)
        scale_ =
            PdfLayout::fitScale(sizes_, mode_, book_, breaks_, layout_.currentRow, viewportSize);
    layout_ = PdfLayout::make(sizes_, mode_, book_, breaks_, scale_, layout_.currentRow);
    updateScrollBars();
    if (anchor && indexOf(anchor) >= 0 && PdfLayout::isContinuous(mode_))
        verticalScrollBar()->setValue(
            qRound(pageFrame(anchor).top() - anchorY +
                   std::max(0.0, (viewportSize.height() - layout_.contentSize.height()) / 2)));
    // The worker starts on what is shown now, not a turn later.
    if (renderNow)
        requestRenders();
    changed();
}

void PdfView::updateScrollBars() {
    const QSize v = viewport()->size();
    const QSizeF c = layout_.contentSize;
    // Whole pixels the content takes; a page fitted to the view comes out a rounding error
    // larger than it, which is no reason for a scroll bar.
    const auto pixels = [](double length) {
        return static_cast<int>(std::ceil(length - kFitTolerance));
    };
    horizontalScrollBar()->setRange(0, std::max(0, pixels(c.width()) - v.width()));
    horizontalScrollBar()->setPageStep(v.width());
    verticalScrollBar()->setRange(0, std::max(0, pixels(c.height()) - v.height()));
    verticalScrollBar()->setPageStep(v.height());
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

QPointF PdfView::scrollOffset() const {
    const QSize v = viewport()->size();
    const double cx = std::max(0.0, (v.width() - layout_.contentSize.width()) / 2);
    const double cy = std::max(0.0, (v.height() - layout_.contentSize.height()) / 2);
    return QPointF(horizontalScrollBar()->value() - cx, verticalScrollBar()->value() - cy);
}

QRectF PdfView::documentVisibleRect() const {
    return QRectF(scrollOffset(), QSizeF(viewport()->size()));
}

void PdfView::scrollRectToVisible(const QRectF& rect) {
    const QRectF visible = documentVisibleRect();
    double dx = 0, dy = 0;
    if (rect.left() < visible.left())
        dx = rect.left() - visible.left();
    else if (rect.right() > visible.right())
        dx = std::min(rect.right() - visible.right(), rect.left() - visible.left());
    if (rect.top() < visible.top())
        dy = rect.top() - visible.top();
    else if (rect.bottom() > visible.bottom())
        dy = std::min(rect.bottom() - visible.bottom(), rect.top() - visible.top());
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(dx));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(dy));
}

QRectF PdfView::pageFrame(const Ref<PdfPage>& page) const {
    layoutIfNeeded();
    const int index = indexOf(page);
    if (index < 0 || static_cast<size_t>(index) >= layout_.frames.size())
        return {};
    return layout_.frames[static_cast<size_t>(index)];
}

QTransform PdfView::pageToViewTransform(const Ref<PdfPage>& page) const {
    const QRectF frame = pageFrame(page);
    if (frame.isNull())
        return {};
    const QRectF crop = cropBoxOf(page);
    const QSizeF size = sizeOfPage(indexOf(page));
    const double sx = size.width() > 0 ? frame.width() / crop.width() : scale_;
    const double sy = size.height() > 0 ? frame.height() / crop.height() : scale_;
    const QPointF origin = frame.topLeft() - scrollOffset();
    // x' = origin.x + (x - crop.x) * sx ; y' = origin.y + (crop.top - y) * sy (crop.top: y-up top)
    return QTransform(sx, 0, 0, -sy, origin.x() - crop.x() * sx,
                      origin.y() + (crop.y() + crop.height()) * sy);
}

QPointF PdfView::convertPointFromPage(const QPointF& point, const Ref<PdfPage>& page) const {
    return pageToViewTransform(page).map(point);
}

QPointF PdfView::convertPointToPage(const QPointF& viewPoint, const Ref<PdfPage>& page) const {
    bool invertible = false;
    const QTransform inverse = pageToViewTransform(page).inverted(&invertible);
    return invertible ? inverse.map(viewPoint) : QPointF();
}

QRectF PdfView::convertRectFromPage(const QRectF& rect, const Ref<PdfPage>& page) const {
    return pageToViewTransform(page).mapRect(rect);
}

QRectF PdfView::convertRectToPage(const QRectF& viewRect, const Ref<PdfPage>& page) const {
    bool invertible = false;
    const QTransform inverse = pageToViewTransform(page).inverted(&invertible);
    return invertible ? inverse.mapRect(viewRect) : QRectF();
}

QRectF PdfView::convertRectToDocumentView(const QRectF& viewRect) const {
    return viewRect.translated(scrollOffset());
}

QRectF PdfView::convertRectFromDocumentView(const QRectF& documentRect) const {
    return documentRect.translated(-scrollOffset());
}

Ref<PdfPage> PdfView::currentPage() const {
    if (!document_ || document_->pageCount() == 0)
        return nullptr;
    layoutIfNeeded();
    const QRectF visible = documentVisibleRect();
    double best = -1;
    int bestIndex = -1;
    for (size_t i = 0; i < layout_.frames.size(); ++i) {
        const QRectF frame = layout_.frames[i];
        if (frame.isNull())
            continue;
        const QRectF shown = frame.intersected(visible);
        // A page at a time, the row's first page on screen is the current one, whatever the
        // sizes of its two pages (one may still show its placeholder); scrolling through the
        // pages, the one that takes most of the screen.
        if (!PdfLayout::isContinuous(mode_) && !shown.isEmpty())
            return document_->pageAtIndex(static_cast<int>(i));
        const double area = shown.isEmpty() ? 0 : shown.width() * shown.height();
        if (area > best + 1e-9) {
            best = area;
            bestIndex = static_cast<int>(i);
        }
    }
    return document_->pageAtIndex(bestIndex < 0 ? 0 : bestIndex);
}

std::vector<Ref<PdfPage>> PdfView::visiblePages() {
    return visiblePagesInLayout();
}

void PdfView::goToPage(const Ref<PdfPage>& page) {
    const int index = indexOf(page);
    if (index < 0)
        return;
    if (!PdfLayout::isContinuous(mode_)) {
        // The rows do not depend on the page sizes: a layout still to make is made once, here;
        // with the sizes known, only the row gone to is placed.
        layout_.currentRow = PdfLayout::rowOfPage(index, mode_, book_);
        if (layoutPending_ || static_cast<int>(sizes_.size()) != document_->pageCount())
            relayout(false);
        else
            place(nullptr, 0, true);
        verticalScrollBar()->setValue(0);
    } else {
        layoutIfNeeded();
        const QRectF frame = layout_.frames[static_cast<size_t>(index)];
        const double margin = breaks_ ? PdfLayout::kPageBreak : 0;
        applyingLayout_ = true;
        verticalScrollBar()->setValue(qRound(frame.top() - margin));
        applyingLayout_ = false;
        // Sizes still to be learnt move the page; it stays the one at the top.
        anchorPage_ = page;
        anchorY_ = margin;
    }
    deferPaper();
    changed();
}

void PdfView::deferPaper() {
    paperDeferredUntil_ = std::chrono::steady_clock::now() + kPaperDelay;
}

bool PdfView::paperDeferred() const {
    return holdsPicture_ && std::chrono::steady_clock::now() < paperDeferredUntil_;
}

bool PdfView::waitsForItsRender(const Ref<PdfPage>& page) const {
    const int index = indexOf(page);
    return index >= 0 && page->isRendered() && cache_->image(keyFor(index)).isNull() &&
           cache_->anyImageOfPage(page->pageId()).isNull();
}

bool PdfView::aPageWaitsForItsRender() const {
    const auto visible = visiblePagesInLayout();
    return std::any_of(visible.begin(), visible.end(),
                       [&](const auto& page) { return waitsForItsRender(page); });
}

QRegion PdfView::pagesOnScreen() const {
    QRegion pages;
    const QRect all = viewport()->rect();
    const QPointF offset = scrollOffset();
    for (size_t i = 0; document_ && i < layout_.frames.size(); ++i) {
        if (!layout_.frames[i].isNull())
            pages += layout_.frames[i].translated(-offset).toAlignedRect() & all;
    }
    return pages;
}

void PdfView::notePainted(const QRect& shownPixels) {
    // Pages (and pages waiting for their paper) are where this paint put them; elsewhere the
    // window shows what earlier paints left.
    pagesPainted_ = (pagesPainted_ - QRegion(shownPixels)) | (pagesOnScreen() & shownPixels);
    if (!holdsPicture_ || shownPixels.contains(viewport()->rect()))
        backgroundPainted_ = background_;
    else if (backgroundPainted_ != background_)
        backgroundPainted_ = QColor();  // a mix: known no more
    holdsPicture_ = everPainted_ = true;
}

QRegion PdfView::changedRegion() const {
    const QRect all = viewport()->rect();
    if (wholeHeld_ || !holdsPicture_ || !backgroundPainted_.isValid() ||
        backgroundPainted_ != background_)
        return all;
    // The background stays where it was painted and still lies: what the pages cover now and
    // covered at the last paints, and whatever lies over the pages, may change.
    QRegion region = pagesOnScreen() | pagesPainted_;
    for (const QObject* child : documentView_->children()) {
        if (const auto* widget = qobject_cast<const QWidget*>(child))
            region += widget->geometry();
    }
    return region & all;
}

bool PdfView::nothingToShowYet() const {
    const auto visible = visiblePagesInLayout();
    return !visible.empty() && std::all_of(visible.begin(), visible.end(), [&](const auto& page) {
        return waitsForItsRender(page);
    });
}

void PdfView::paperAfterTheMoment() {
    if (std::exchange(paperDue_, true))
        return;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                          paperDeferredUntil_ - std::chrono::steady_clock::now()) +
                      std::chrono::milliseconds(1);
    const QPointer<PdfView> self(this);
    QTimer::singleShot(std::max(wait, std::chrono::milliseconds(1)), this, [self] {
        if (self && std::exchange(self->paperDue_, false) && self->aPageWaitsForItsRender())
            self->viewport()->update();
    });
}

void PdfView::goToFirstPage() {
    if (document_)
        goToPage(document_->pageAtIndex(0));
}

void PdfView::goToLastPage() {
    if (document_)
        goToPage(document_->pageAtIndex(document_->pageCount() - 1));
}

void PdfView::goToNextPage() {
    const int row = layout_.rowOfPage(indexOf(currentPage()));
    if (row >= 0 && static_cast<size_t>(row) + 1 < layout_.rows.size())
        goToPage(document_->pageAtIndex(layout_.rows[static_cast<size_t>(row) + 1].front()));
}

void PdfView::goToPreviousPage() {
    const int row = layout_.rowOfPage(indexOf(currentPage()));
    if (row > 0)
        goToPage(document_->pageAtIndex(layout_.rows[static_cast<size_t>(row) - 1].front()));
}

void PdfView::setScaleFactor(double scale) {
    autoScales_ = false;
    zoomTo(scale);
}

void PdfView::zoomIn() {
    setScaleFactor(scale_ * std::sqrt(2.0));
}

void PdfView::zoomOut() {
    setScaleFactor(scale_ / std::sqrt(2.0));
}

void PdfView::setAutoScales(bool autoScales) {
    autoScales_ = autoScales;
    if (autoScales_)
        relayout(true);
}

void PdfView::zoomTo(double scale) {
    scale = std::clamp(scale, kMinScale, kMaxScale);
    // The page point at the centre stays at the centre.
    const QPointF centre(viewport()->width() / 2.0, viewport()->height() / 2.0);
    const Ref<PdfPage> page = currentPage();
    const QPointF pagePoint = page ? convertPointToPage(centre, page) : QPointF();
    scale_ = scale;
    relayout(false);
    if (page) {
        const QPointF now = convertPointFromPage(pagePoint, page);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        qRound(now.x() - centre.x()));
        verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(now.y() - centre.y()));
    }
    changed();
}

void PdfView::addOverlay(QWidget* widget, int pageIndex) {
    const Ref<PdfPage> page = document_ ? document_->pageAtIndex(pageIndex) : nullptr;
    if (!widget || !page)
        return;
    const QRectF viewRect = convertRectFromDocumentView(QRectF(widget->geometry()));
    overlays_.push_back({widget, page, pageIndex, convertRectToPage(viewRect, page)});
    widget->setParent(documentView_);
    // Only the new one: the others are where they were, so that placing n costs n steps.
    placeOverlay(overlays_.back(), QRectF(QPointF(0, 0), QSizeF(viewport()->size())));
}

void PdfView::removeOverlay(QWidget* widget) {
    std::erase_if(overlays_, [&](const Overlay& o) { return o.widget == widget; });
}

void PdfView::placeOverlays() {
    std::erase_if(overlays_, [](const Overlay& o) { return o.widget.isNull(); });
    const QRectF shown(QPointF(0, 0), QSizeF(viewport()->size()));
    for (auto& overlay : overlays_)
        placeOverlay(overlay, shown);
}

void PdfView::placeOverlay(Overlay& overlay, const QRectF& shown) {
    ++overlayPlacements_;
    // One taken out of the document view for now (a video shown full screen) is left alone
    // until it comes back.
    if (overlay.widget->parentWidget() != documentView_)
        return;
    // A page replaced in its slot takes the overlays of the page it replaced.
    Ref<PdfPage> page = overlay.page.lock();
    int index = indexOf(page);
    if (index < 0 && document_) {
        page = document_->pageAtIndex(overlay.pageIndex);
        index = page ? overlay.pageIndex : -1;
        if (page)
            overlay.page = page;
    }
    overlay.pageIndex = index < 0 ? overlay.pageIndex : index;
    const QRectF rect = index >= 0 ? convertRectFromPage(overlay.pageRect, page) : QRectF();
    const QRectF pageShown = index >= 0 ? convertRectFromDocumentView(pageFrame(page)) : QRectF();
    if (rect.isNull() || pageShown.isNull() || !pageShown.intersects(shown)) {
        overlay.widget->hide();
        return;
    }
    overlay.widget->setGeometry(rect.toAlignedRect());
    overlay.widget->show();
}

void PdfView::changed() {
    if (changeScheduled_)
        return;
    changeScheduled_ = true;
    const QPointer<PdfView> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->afterChange();
    });
}

void PdfView::afterChange() {
    changeScheduled_ = false;
    layoutIfNeeded();
    // A page that waits for its check shows its estimate: the render cache has it checked before
    // its render, which then lays it out at its size.
    const auto visible = visiblePagesInLayout();
    firstVisiblePageWaiting_ = !visible.empty() && !visible.front()->isChecked();
    documentView_->setGeometry(viewport()->rect());
    placeOverlays();
    requestRenders();
    if (paperDeferred() && nothingToShowYet()) {
        // Nothing new to show yet: the window keeps its picture until the pages come (or the
        // moment passes), and then only what changed is painted.
        paintHeld_ = true;
        paperAfterTheMoment();
    } else {
        viewport()->update(changedRegion());
    }
    // Reported once the first visible page has its true size: what is placed over the pages
    // goes by it. Its render, after its check, asks again.
    if (!firstVisiblePageWaiting_)
        visiblePages();
}

std::vector<Ref<PdfPage>> PdfView::visiblePagesInLayout() const {
    std::vector<Ref<PdfPage>> pages;
    if (!document_)
        return pages;
    layoutIfNeeded();
    const QRectF visible = documentVisibleRect();
    for (size_t i = 0; i < layout_.frames.size(); ++i) {
        if (!layout_.frames[i].isNull() && layout_.frames[i].intersects(visible))
            pages.push_back(document_->pageAtIndex(static_cast<int>(i)));
    }
    return pages;
}

PdfRenderCache::Key PdfView::keyFor(int index) const {
    const Ref<PdfPage> page = document_->pageAtIndex(index);
    const double dpr = devicePixelRatioF();
    const QSizeF size = sizeOfPage(index) * scale_ * dpr;
    PdfRenderCache::Key key{page->pageId(), size.toSize(), QRect()};
    if (static_cast<qint64>(key.fullSize.width()) * key.fullSize.height() > kMaxWholePagePixels) {
        // At high zoom only the part on screen is rendered.
        const QRectF frame = layout_.frames[static_cast<size_t>(index)];
        const QRectF shown = frame.intersected(documentVisibleRect());
        if (!shown.isEmpty()) {
            const QRectF local((shown.topLeft() - frame.topLeft()) * dpr, shown.size() * dpr);
            key.clip = local.toAlignedRect().intersected(QRect(QPoint(0, 0), key.fullSize));
        }
    }
    return key;
}

void PdfView::requestRenders() {
    if (!document_)
        return;
    std::vector<PdfRenderCache::Request> requests;
    std::vector<int> order;
    int firstRow = -1, lastRow = -1;
    for (const auto& page : visiblePagesInLayout()) {
        const int index = indexOf(page);
        order.push_back(index);
        const int row = layout_.rowOfPage(index);
        firstRow = firstRow < 0 ? row : std::min(firstRow, row);
        lastRow = std::max(lastRow, row);
    }
    // Then a page or spread each side, rendered ahead.
    const size_t visibleCount = order.size();
    for (int row : {firstRow - 1, lastRow + 1}) {
        if (firstRow >= 0 && row >= 0 && static_cast<size_t>(row) < layout_.rows.size())
            order.insert(order.end(), layout_.rows[static_cast<size_t>(row)].begin(),
                         layout_.rows[static_cast<size_t>(row)].end());
    }
    for (size_t i = 0; i < order.size(); ++i) {
        const int index = order[i];
        const Ref<PdfPage> page = document_->pageAtIndex(index);
        if (!page->isRendered())
            continue;
        PdfRenderCache::Key key = keyFor(index);
        if (layout_.frames[static_cast<size_t>(index)].isNull() ||
            !layout_.frames[static_cast<size_t>(index)].intersects(documentVisibleRect()))
            key.clip = QRect();  // neighbours: whole pages
        // A page not checked yet is checked by the cache before it renders.
        if (!key.fullSize.isEmpty())
            requests.push_back({page, key,
                                i < visibleCount ? PdfRenderCache::Priority::Visible
                                                 : PdfRenderCache::Priority::Neighbour});
    }
    const QPointer<PdfView> self(this);
    cache_->request(this, std::move(requests), [self](const PdfRenderCache::Key& key) {
        if (self)
            self->pageRendered(key.pageId);
    });
}

void PdfView::renderAhead(int index, int count, const std::function<Ref<PdfPage>(int)>& pageAt,
                          double widest) {
    // Fitted, the pages need no scroll bars: the view's whole inside shows them (its size is
    // known once it has been on screen, and kept while its window is hidden).
    const QSizeF viewportSize = contentsRect().size();
    if (autoScales_ &&
        (PdfLayout::isContinuous(mode_) || !everPainted_ || widest <= 0 || viewportSize.isEmpty()))
        return;
    const auto indices =
        PdfLayout::pagesOfRow(PdfLayout::rowOfPage(index, mode_, book_), count, mode_, book_);
    std::vector<Ref<PdfPage>> row;
    double height = 0;
    for (const int i : indices) {
        auto page = pageAt(i);
        if (!page || !page->isChecked() || !page->isRendered())
            return;
        height = std::max(height, cropBoxOf(page).height());
        row.push_back(std::move(page));
    }
    if (row.empty() || height <= 0)
        return;
    double scale = scale_;
    if (autoScales_) {
        // As the layout will fit it, when the row's height decides (the pages' true widths may
        // be narrower than `widest`, which only makes the width's scale larger).
        const auto fit = PdfLayout::fitScales(widest, height, mode_, breaks_, viewportSize);
        scale = fit.byHeight;
        if (scale > fit.byWidth || scale < kMinScale || scale > kMaxScale)
            return;
    }
    const double dpr = devicePixelRatioF();
    std::vector<PdfRenderCache::Request> requests;
    for (const auto& page : row) {
        const QSize size = (cropBoxOf(page).size() * scale * dpr).toSize();
        if (size.isEmpty() ||
            static_cast<qint64>(size.width()) * size.height() > kMaxWholePagePixels)
            return;
        requests.push_back({page, PdfRenderCache::Key{page->pageId(), size, QRect()},
                            PdfRenderCache::Priority::Visible});
    }
    const QPointer<PdfView> self(this);
    cache_->request(this, std::move(requests), [self](const PdfRenderCache::Key& key) {
        if (self)
            self->pageRendered(key.pageId);
    });
}

void PdfView::pageFileRefused(const Ref<PdfPage>&) {}

void PdfView::pageRenderedElsewhere(uint64_t pageId) {
    for (int i = 0; document_ && i < document_->pageCount(); ++i) {
        const Ref<PdfPage> page = document_->pageAtIndex(i);
        if (page->pageId() == pageId) {
            if (page->isRefusedChangedFile())
                pageFileRefused(page);
            return;
        }
    }
}

void PdfView::pageRendered(uint64_t pageId) {
    // A page rendered after its check: a size other than the estimate moves the pages after it.
    QRect shown;  // where the page is on screen
    for (int i = 0; document_ && i < document_->pageCount(); ++i) {
        const Ref<PdfPage> page = document_->pageAtIndex(i);
        if (page->pageId() != pageId)
            continue;
        if (page->isRefusedChangedFile())
            pageFileRefused(page);
        if (page->isChecked() && cropBoxOf(page).size() != sizeOfPage(i)) {
            setNeedsLayout();
            return;
        }
        const QRectF frame = layout_.frames[static_cast<size_t>(i)];
        if (!frame.isNull())
            shown = convertRectFromDocumentView(frame).toAlignedRect() & viewport()->rect();
        break;
    }
    if (firstVisiblePageWaiting_)
        changed();
    // A page on screen is drawn now, not after whatever else waits in the event loop, and only
    // it; a neighbour's render changes nothing on screen until the view moves to it.
    if (layoutPending_ || !isVisible())
        viewport()->update();
    else if (paintHeld_)
        viewport()->repaint(changedRegion());
    else if (!shown.isEmpty())
        viewport()->repaint(shown);
}

void PdfView::paintPages(const QRect& dirty) {
    layoutIfNeeded();
    const bool deferring = paperDeferred();
    if (deferring && nothingToShowYet()) {
        // The window keeps its picture until the pages come (or the moment passes): then it is
        // painted once, whole (what asked for this paint is not known), with nothing else
        // drawing beside the renders meanwhile.
        paintHeld_ = wholeHeld_ = true;
        paperAfterTheMoment();
        return;
    }
    if (paintHeld_) {
        const QRegion rest = changedRegion() - QRegion(dirty);
        paintHeld_ = wholeHeld_ = false;
        if (!rest.isEmpty())
            viewport()->update(rest);
    }
    QPainter painter(viewport());
    const QPointF offset = scrollOffset();
    const QRect shownPixels = dirty & viewport()->rect();
    const QRectF shown(shownPixels);
    // The background goes around the pages, not under them (each pixel is filled once).
    QRegion around(shownPixels);
    for (size_t i = 0; document_ && i < layout_.frames.size(); ++i) {
        const QRectF target = layout_.frames[i].translated(-offset);
        if (layout_.frames[i].isNull() || !target.intersects(shown))
            continue;
        const QPoint inner(static_cast<int>(std::ceil(target.left())),
                           static_cast<int>(std::ceil(target.top())));
        const QPoint outer(static_cast<int>(std::floor(target.right())),
                           static_cast<int>(std::floor(target.bottom())));
        if (outer.x() > inner.x() && outer.y() > inner.y())
            around -= QRect(inner, QSize(outer.x() - inner.x(), outer.y() - inner.y()));
    }
    for (const QRect& part : around)
        painter.fillRect(part, background_);
    if (!document_) {
        notePainted(shownPixels);
        return;
    }
    const double dpr = devicePixelRatioF();
    bool leftWithoutPaper = false;
    for (size_t i = 0; i < layout_.frames.size(); ++i) {
        const QRectF frame = layout_.frames[i];
        if (frame.isNull())
            continue;
        const QRectF target = frame.translated(-offset);
        if (!target.intersects(shown))
            continue;
        const Ref<PdfPage> page = document_->pageAtIndex(static_cast<int>(i));
        const bool rendered = page->isRendered();
        const PdfRenderCache::Key key = keyFor(static_cast<int>(i));
        const QImage image = rendered ? cache_->image(key) : QImage();
        const QImage any =
            rendered && image.isNull() ? cache_->anyImageOfPage(page->pageId()) : QImage();
        if (rendered && image.isNull() && any.isNull() && deferring) {
            leftWithoutPaper = true;
            continue;
        }
        // The part of the page its render covers, and whether it is copied there as it is.
        const QRectF part = key.clip.isNull() || image.isNull()
                                ? target
                                : QRectF(target.topLeft() + QPointF(key.clip.topLeft()) / dpr,
                                         QSizeF(key.clip.size()) / dpr);
        const bool exact = !image.isNull() && std::abs(part.width() * dpr - image.width()) < 1 &&
                           std::abs(part.height() * dpr - image.height()) < 1;
        // Paper: under what renders leave transparent, and around a render laid on it already
        // (a pixel's edge at most, where the page and its render round differently).
        if (exact && !image.hasAlphaChannel() && !page->isImagePage()) {
            const QRegion edges =
                QRegion(target.toAlignedRect())
                    .subtracted(QRect(part.topLeft().toPoint(), part.size().toSize())
                                    .adjusted(1, 1, -1, -1));
            for (const QRect& edge : edges)
                painter.fillRect(edge, Qt::white);
        } else {
            painter.fillRect(target, Qt::white);
        }
        if (page->isImagePage()) {
            painter.drawImage(target, page->sourceImage());
            painted_.insert(page->pageId());
            continue;
        }
        if (page->isChecked() && page->error()) {
            painter.drawImage(target,
                              PdfPageRenderer::image(*page, (target.size() * dpr).toSize()));
            painted_.insert(page->pageId());
            continue;
        }
        if (!image.isNull()) {
            // Rendered at the size it shows: copied, not scaled (a part of a pixel is no reason
            // to resample the page).
            if (exact) {
                QImage copied = image;
                copied.setDevicePixelRatio(dpr);
                painter.drawImage(part.topLeft(), copied);
            } else {
                painter.drawImage(part, image);
            }
            painted_.insert(page->pageId());
        } else if (!any.isNull()) {
            painter.drawImage(target, any);
        }
    }
    // Painted white then, unless the render came first (and painted the page).
    if (leftWithoutPaper)
        paperAfterTheMoment();
    notePainted(shownPixels);
}

bool PdfView::hasPainted(const Ref<PdfPage>& page) const {
    return page && painted_.count(page->pageId());
}

bool PdfView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Paint) {
        paintPages(static_cast<QPaintEvent*>(event)->rect());
        return true;
    }
    // A window shown or resized holds nothing of this view until it paints.
    if (event->type() == QEvent::Resize || event->type() == QEvent::Hide)
        holdsPicture_ = false;
    if (event->type() == QEvent::Resize && !applyingLayout_) {
        // The viewport changes size with the window and when a scroll bar comes or goes.
        documentView_->setGeometry(viewport()->rect());
        relayout(true);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PdfView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    documentView_->setGeometry(viewport()->rect());
}

void PdfView::rememberAnchor() {
    const Ref<PdfPage> page = currentPage();
    anchorPage_ = page;
    anchorY_ = page ? pageFrame(page).top() - scrollOffset().y() : 0;
}

void PdfView::scrollContentsBy(int, int) {
    if (!applyingLayout_)
        rememberAnchor();
    placeOverlays();
    viewport()->update();
    changed();
}

void PdfView::keyPressEvent(QKeyEvent* event) {
    // Keys with a command modifier are the window's; the arrows may come from the keypad.
    const auto modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier | Qt::GroupSwitchModifier);
    if (modifiers != Qt::NoModifier || !document_) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_PageUp:
            goToPreviousPage();
            break;
        case Qt::Key_Right:
        case Qt::Key_PageDown:
            goToNextPage();
            break;
        case Qt::Key_Up:
            bar->setValue(bar->value() - bar->singleStep());
            break;
        case Qt::Key_Down:
            bar->setValue(bar->value() + bar->singleStep());
            break;
        case Qt::Key_Home:
            goToFirstPage();
            break;
        case Qt::Key_End:
            goToLastPage();
            break;
        case Qt::Key_Space:
            pageOn(!(event->modifiers() & Qt::ShiftModifier));
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PdfView::pageOn(bool forward) {
    layoutIfNeeded();
    QScrollBar* bar = verticalScrollBar();
    // A screen at a time, keeping a line of what was seen; past the end of what shows, the next
    // page (the previous one from its end, going back).
    const int step = std::max(bar->singleStep(), bar->pageStep() - bar->singleStep());
    if (forward ? bar->value() < bar->maximum() : bar->value() > bar->minimum()) {
        bar->setValue(bar->value() + (forward ? step : -step));
        return;
    }
    if (forward) {
        goToNextPage();
        return;
    }
    const Ref<PdfPage> before = currentPage();
    goToPreviousPage();
    if (currentPage() != before && !PdfLayout::isContinuous(mode_))
        bar->setValue(bar->maximum());
}

void PdfView::mousePressEvent(QMouseEvent* event) {
    // Dragging scrolls; nothing is selected and no link is followed.
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    dragStart_ = event->position().toPoint();
    dragVisible_ = documentVisibleRect();
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void PdfView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        const QPointF delta = QPointF(dragStart_) - event->position();
        scrollRectToVisible(dragVisible_.translated(delta));
    } else {
        viewport()->setCursor(Qt::OpenHandCursor);
    }
}

void PdfView::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    viewport()->setCursor(Qt::OpenHandCursor);
}

}  // namespace ui
