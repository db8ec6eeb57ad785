#pragma once
// ImageScrollWidget: the widget's sub-widgets shown in a scroll view laid over the page, with an
// optional up/down hint in the view's top right corner ("ScrollableIndicatorVisible"), shown at
// the first activation of each view and gone at the first scroll. The pictures of its
// "ImageViews" entries are the files it needs ("ImageFileName"; an entry without one is skipped
// and logged); the last entry's "ScrollDirection" decides whether the content is fitted to the
// view's width (0) or height (any other value). The "Widgets" of an entry are built and let go.
// It has no button.
//
// Attached (by attachToView, or by a host that places the view itself and hands it back), the
// sub-widgets are placed in the scrolling content with the widget's scale, once each.
#include <QColor>

#include "app/issueui/VisibleWidget.h"

class ImageScrollWidget : public VisibleWidget {
    PLAT_CLASS(ImageScrollWidget)
  public:
    ImageScrollWidget() = default;
    ~ImageScrollWidget() override;

    bool needOverlayButton() const override { return false; }
    bool hasButton() const override { return false; }
    // The scroll view with the sub-widgets' views in its content.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;
    void detachFromView() override;
    // The scrolling content of the widget's view.
    Ref<WidgetView> subwidgetParentView() const override;
    // Takes the hint away.
    void scrollViewDidScroll();
    std::vector<std::string> _requiredAssetFileIds() const override { return imageFilePaths_; }
    bool readyForDisplay() override;
    // Shows the hint once per view when asked for.
    void didBecomeActive() override;
    // Fits the content to the view across (or down).
    void subwidgetsDidAttached(const Ref<WidgetView>& parentView) override;
    void widgetTapped() override {}
    void loadFromDictionary(const plat::Dictionary& description) override;

    // The zero rectangle united with each rectangle: it always holds the origin.
    static QRectF contentRect(const std::vector<QRectF>& frames);

    const std::vector<std::string>& imageFilePaths() const { return imageFilePaths_; }
    int32_t scrollDirection() const { return scrollDirection_; }
    const QColor& backgroundColor() const { return backgroundColor_; }
    bool scrollableIndicatorVisible() const { return scrollableIndicatorVisible_; }
    const Ref<WidgetView>& scrollableIndicator() const { return scrollableIndicator_; }
    const Ref<WidgetView>& documentView() const { return documentView_; }

  private:
    void removeIndicator();

    std::vector<std::string> imageFilePaths_;
    int32_t scrollDirection_ = 0;
    QColor backgroundColor_ = QColor(0, 0, 0, 0);
    Ref<WidgetView> scrollableIndicator_;
    bool scrollableIndicatorVisible_ = false;
    Ref<WidgetView> documentView_;
    WeakRef<WidgetView> scrollView_;  // the last view made, which reports scrolls here
    bool indicatorShownInView_ = false;
};
