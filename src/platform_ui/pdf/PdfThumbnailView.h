#pragma once
// ui::PdfThumbnailView: a fixed-width vertical strip of page images with their labels, linked to
// a PdfView: a click goes to the page, the strip follows the view's document, and the view's
// current page is highlighted and scrolled into the strip (followed whenever the view paints, and
// when the strip is shown).
#include <QAbstractScrollArea>
#include <QPointer>

#include "platform_ui/pdf/PdfView.h"

namespace ui {

class PdfThumbnailView : public QAbstractScrollArea {
  public:
    static constexpr int kDefaultWidth = 140;

    explicit PdfThumbnailView(QWidget* parent = nullptr);
    ~PdfThumbnailView() override;

    void setPdfView(PdfView* view);
    PdfView* pdfView() const { return view_; }
    // Re-reads the view's document (pages added, removed or replaced).
    void reload();
    // The item rectangle of a page index, in viewport coordinates.
    QRect itemRect(int index) const;
    int indexAt(const QPoint& viewportPoint) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QSize imageSize(int index) const;
    int itemHeight() const;
    void requestRenders();
    // Scrolls the strip so that the view's current page is in it whole.
    void showCurrentPage();
    void paint();

    QPointer<PdfView> view_;
    Ref<PdfDocument> document_;
    std::weak_ptr<PdfPage> highlighted_;  // the page highlighted when the strip last painted
    int observerToken_ = 0;
};

}  // namespace ui
