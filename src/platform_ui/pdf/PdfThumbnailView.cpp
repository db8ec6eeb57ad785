#include "platform_ui/pdf/PdfThumbnailView.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "platform_ui/pdf/PdfPageRenderer.h"

namespace ui {
namespace {

constexpr int kPadding = 8;
constexpr int kLabelHeight = 18;

}  // namespace

PdfThumbnailView::PdfThumbnailView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFixedWidth(kDefaultWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
}

PdfThumbnailView::~PdfThumbnailView() {
    PdfRenderCache& cache = view_ ? view_->renderCache() : PdfRenderCache::shared();
    cache.cancelClient(this);
    if (document_)
        document_->removeChangeObserver(observerToken_);
}

void PdfThumbnailView::setPdfView(PdfView* view) {
    if (view_)
        view_->viewport()->removeEventFilter(this);
    view_ = view;
    // The view's current page changes with its scrolling, its layout and its page moves; each
    // of them paints the view, and the strip then moves its highlight when the page changed.
    if (view_)
        view_->viewport()->installEventFilter(this);
    reload();
}

bool PdfThumbnailView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && view_ && watched == view_->viewport() && document_ &&
        view_->currentPage() != highlighted_.lock()) {
        showCurrentPage();
        viewport()->update();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void PdfThumbnailView::reload() {
    const Ref<PdfDocument> document = view_ ? view_->document() : nullptr;
    if (document != document_) {
        if (document_)
            document_->removeChangeObserver(observerToken_);
        document_ = document;
        if (document_) {
            const QPointer<PdfThumbnailView> self(this);
            observerToken_ =
                document_->addChangeObserver([self](const PdfDocument::Change& change) {
                    if (!self)
                        return;
                    // A replaced page keeps the strip's items: only its own image changes.
                    if (change.kind == PdfDocument::Change::Replaced) {
                        self->requestRenders();
                        self->viewport()->update();
                    } else {
                        self->reload();
                    }
                });
        }
    }
    const int count = document_ ? document_->pageCount() : 0;
    verticalScrollBar()->setRange(0, std::max(0, count * itemHeight() - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    requestRenders();
    viewport()->update();
}

int PdfThumbnailView::itemHeight() const {
    // Room for a portrait page at the strip's width, and the label.
    const int w = viewport()->width() - 2 * kPadding;
    return kPadding + w * 1414 / 1000 + kLabelHeight;
}

QSize PdfThumbnailView::imageSize(int index) const {
    const Ref<PdfPage> page = document_ ? document_->pageAtIndex(index) : nullptr;
    const int w = viewport()->width() - 2 * kPadding;
    const int maxH = itemHeight() - kPadding - kLabelHeight;
    if (!page || w <= 0)
        return {};
    const QSizeF s = page->displaySize();
    QSizeF fitted = s.scaled(QSizeF(w, maxH), Qt::KeepAspectRatio);
    return fitted.toSize().expandedTo(QSize(1, 1));
}

QRect PdfThumbnailView::itemRect(int index) const {
    return QRect(0, index * itemHeight() - verticalScrollBar()->value(), viewport()->width(),
                 itemHeight());
}

int PdfThumbnailView::indexAt(const QPoint& point) const {
    const int count = document_ ? document_->pageCount() : 0;
    const int index = (point.y() + verticalScrollBar()->value()) / std::max(1, itemHeight());
    return index >= 0 && index < count ? index : -1;
}

void PdfThumbnailView::requestRenders() {
    if (!document_ || !view_)
        return;
    std::vector<PdfRenderCache::Request> requests;
    const int first = indexAt(QPoint(0, 0));
    for (int i = std::max(0, first); i < document_->pageCount(); ++i) {
        if (itemRect(i).top() > viewport()->height())
            break;
        const Ref<PdfPage> page = document_->pageAtIndex(i);
        if (!page->isRendered())
            continue;
        requests.push_back({page,
                            {page->pageId(), imageSize(i) * devicePixelRatioF(), QRect()},
                            PdfRenderCache::Priority::Thumbnail});
    }
    const QPointer<PdfThumbnailView> self(this);
    view_->renderCache().request(this, std::move(requests), [self](const PdfRenderCache::Key& key) {
        if (!self)
            return;
        self->viewport()->update();
        if (self->view_)
            self->view_->pageRenderedElsewhere(key.pageId);
    });
}

void PdfThumbnailView::paint() {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().window());
    if (!document_ || !view_)
        return;
    const Ref<PdfPage> current = view_->currentPage();
    highlighted_ = current;
    for (int i = std::max(0, indexAt(QPoint(0, 0))); i < document_->pageCount(); ++i) {
        const QRect item = itemRect(i);
        if (item.top() > viewport()->height())
            break;
        const Ref<PdfPage> page = document_->pageAtIndex(i);
        const QSize size = imageSize(i);
        const QRect imageRect(item.left() + (item.width() - size.width()) / 2,
                              item.top() + kPadding, size.width(), size.height());
        if (page == current)
            painter.fillRect(imageRect.adjusted(-3, -3, 3, 3), palette().highlight());
        painter.fillRect(imageRect, Qt::white);
        QImage image;
        if (page->isImagePage())
            image = page->sourceImage();
        else if (page->isChecked() && page->error())
            image = PdfPageRenderer::image(*page, size);
        else
            image =
                view_->renderCache().image({page->pageId(), size * devicePixelRatioF(), QRect()});
        if (!image.isNull())
            painter.drawImage(imageRect, image);
        painter.drawText(QRect(item.left(), imageRect.bottom() + 2, item.width(), kLabelHeight),
                         Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(page->label()));
    }
}

bool PdfThumbnailView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Paint) {
        paint();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PdfThumbnailView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    reload();
}

void PdfThumbnailView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    showCurrentPage();
}

void PdfThumbnailView::showCurrentPage() {
    const Ref<PdfPage> current = view_ && document_ ? view_->currentPage() : nullptr;
    const int index = current ? document_->indexForPage(current) : -1;
    if (index < 0)
        return;
    const QRect item = itemRect(index);
    QScrollBar* bar = verticalScrollBar();
    if (item.top() < 0)
        bar->setValue(bar->value() + item.top());
    else if (item.bottom() >= viewport()->height())
        bar->setValue(bar->value() +
                      std::min(item.top(), item.bottom() + 1 - viewport()->height()));
}

void PdfThumbnailView::scrollContentsBy(int, int) {
    requestRenders();
    viewport()->update();
}

void PdfThumbnailView::mousePressEvent(QMouseEvent* event) {
    const int index = indexAt(event->position().toPoint());
    if (index >= 0 && view_)
        view_->goToPage(document_->pageAtIndex(index));
    viewport()->update();
}

}  // namespace ui
