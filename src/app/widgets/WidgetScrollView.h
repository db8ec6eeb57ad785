#pragma once
// WidgetScrollView: a scroll view over a Qt scroll area. Its document view is another widget
// view whose Qt widget scrolls inside the area (only its size counts there: the area places
// it); subviews added to the scroll view itself lie over the area and do not scroll. Each
// scroll, by the user or by code, is reported to the observer.
#include <functional>

#include "app/issueui/QtWidgetView.h"

class QScrollArea;

class WidgetScrollView : public QtWidgetView {
    PLAT_CLASS(WidgetScrollView)
  public:
    static constexpr const char* kViewKind = "WidgetScrollView";

    explicit WidgetScrollView(const QRectF& frame);
    ~WidgetScrollView() override;

    QScrollArea* scrollArea() const;
    // Views other than Qt widget views are kept but not shown.
    void setDocumentView(const Ref<WidgetView>& view);
    const Ref<WidgetView>& documentView() const { return documentView_; }
    // The area follows the document view's new size.
    void documentViewDidResize();
    void setHasVerticalScroller(bool on);
    void setHasHorizontalScroller(bool on);
    // A clear colour shows what lies behind.
    void setBackgroundColor(const QColor& color) override;
    // Puts the document's point at the top left of the visible area (as far as it can).
    void scrollToPoint(const QPointF& point);
    QPointF scrollPosition() const;
    void setScrollObserver(std::function<void()> observer) { observer_ = std::move(observer); }

  private:
    Ref<WidgetView> documentView_;
    std::function<void()> observer_;
};
