#pragma once
// PDFModifyView: the reader's page view. Dragging scrolls the pages under a closed hand; the
// cursor is an open hand over the pages' area and an arrow elsewhere. Nothing is selected, no
// link is followed and no context menu shows. Each answer of visiblePages that differs from the
// one before is reported to the delegate once.
#include <memory>
#include <vector>

#include "platform_ui/pdf/PdfView.h"

class PDFModifyView;

// What the page view tells its delegate; the operation is optional (it does nothing unless
// overridden).
class PDFModifyViewDelegate {
  public:
    virtual ~PDFModifyViewDelegate() = default;
    virtual void pdfModifyView_visiblePageChagne(PDFModifyView* view,
                                                 const std::vector<Ref<ui::PdfPage>>& pages);
    // A page was refused as it rendered: its file went or changed since its check.
    virtual void pdfModifyView_pageFileRefused(PDFModifyView* view, const Ref<ui::PdfPage>& page);
};

class PDFModifyView : public ui::PdfView {
  public:
    explicit PDFModifyView(QWidget* parent = nullptr);

    // The base answer; reported to the delegate when it differs from the last one (and the view
    // has a document).
    std::vector<Ref<ui::PdfPage>> visiblePages() override;

    // The next answer of visiblePages is reported even when it is the last one again.
    void forgetVisiblePages() { oldVisiblePage_.clear(); }

    std::shared_ptr<PDFModifyViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PDFModifyViewDelegate>& delegate) {
        delegate_ = delegate;
    }

  protected:
    void pageFileRefused(const Ref<ui::PdfPage>& page) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Sets the cursor for a point of the viewport.
    void mouseMoved(const QPointF& viewportPoint);

    std::weak_ptr<PDFModifyViewDelegate> delegate_;
    std::vector<Ref<ui::PdfPage>> oldVisiblePage_;
    bool dragging_ = false;
};
