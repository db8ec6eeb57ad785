#include "app/reader/PDFModifyView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

void PDFModifyViewDelegate::pdfModifyView_visiblePageChagne(PDFModifyView*,
                                                            const std::vector<Ref<ui::PdfPage>>&) {}

void PDFModifyViewDelegate::pdfModifyView_pageFileRefused(PDFModifyView*, const Ref<ui::PdfPage>&) {
}

PDFModifyView::PDFModifyView(QWidget* parent) : ui::PdfView(parent) {
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setContextMenuPolicy(Qt::NoContextMenu);
}

std::vector<Ref<ui::PdfPage>> PDFModifyView::visiblePages() {
    std::vector<Ref<ui::PdfPage>> pages = ui::PdfView::visiblePages();
    if (pages == oldVisiblePage_)
        return pages;
    oldVisiblePage_ = pages;
    // Without a document there is no answer to report.
    if (document()) {
        if (const auto delegate = delegate_.lock())
            delegate->pdfModifyView_visiblePageChagne(this, pages);
    }
    return pages;
}

void PDFModifyView::pageFileRefused(const Ref<ui::PdfPage>& page) {
    if (const auto delegate = delegate_.lock())
        delegate->pdfModifyView_pageFileRefused(this, page);
}

void PDFModifyView::mousePressEvent(QMouseEvent* event) {
    // The base view starts the drag under a closed hand; it selects nothing.
    dragging_ = event->button() == Qt::LeftButton;
    ui::PdfView::mousePressEvent(event);
}

void PDFModifyView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        mouseMoved(event->position());
        return;
    }
    ui::PdfView::mouseMoveEvent(event);
}

void PDFModifyView::mouseReleaseEvent(QMouseEvent* event) {
    ui::PdfView::mouseReleaseEvent(event);
    dragging_ = false;
    // The cursor of where the drag ended, once the scroll it made has been laid out.
    const QPointer<PDFModifyView> self(this);
    const QPointF at = event->position();
    QTimer::singleShot(0, this, [self, at] {
        if (self && !self->dragging_)
            self->mouseMoved(at);
    });
}

void PDFModifyView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void PDFModifyView::mouseMoved(const QPointF& viewportPoint) {
    const QRectF document =
        QRectF(QPointF(0, 0), documentSize()).intersected(documentVisibleRect());
    const QPointF point = convertRectToDocumentView(QRectF(viewportPoint, QSizeF(0, 0))).topLeft();
    viewport()->setCursor(document.contains(point) ? Qt::OpenHandCursor : Qt::ArrowCursor);
}
