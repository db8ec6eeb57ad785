#pragma once
// VisibleWidget: a page widget that shows something: a view of its own placed in a host view,
// sub-widgets drawn inside that view (their frames relative to this widget's), attached widgets
// placed beside them with the page's own transformation, an action button built from "Button"
// through which a press reaches the widget, and activation ("RunWhenActive" acts once each time
// the widget becomes active). Parents keep their children, the button and their views; children
// and buttons do not keep their parents.
//
// Two roads put a widget on screen: attachToView makes and places every view itself; a host that
// places views itself (the reader) asks newWidgetView for the frame it computed, lays the view
// where it wants and hands it back with adoptPlacedView, after which the widget behaves as if it
// had been attached (its view, sub-widgets, attached widgets). layoutSubwidgets follows a new
// transformation (a zoom) without making anything anew. A widget going is detached first.
#include <vector>

#include "app/issueui/OverlayData.h"

class WidgetActionButton;

struct WidgetAnchor {
    int32_t horizontal = 1;  // 0 left, 1 center, 2 right
    int32_t vertical = 1;    // 0 top, 1 center, 2 bottom
    bool operator==(const WidgetAnchor&) const = default;
};

class WidgetActionDelegate {
  public:
    virtual ~WidgetActionDelegate() = default;
    // sender: the button pressed, or null.
    virtual void invokeButtonAction(const Ref<plat::Object>& sender) = 0;
};

class VisibleWidget : public OverlayData, public WidgetActionDelegate {
    PLAT_CLASS(VisibleWidget)
  public:
    VisibleWidget() = default;
    ~VisibleWidget() override;

    // ---- Views ----
    // A new view for the widget with that frame in the host view; a plain view here.
    virtual Ref<WidgetView> newWidgetView(const QRectF& frame);
    virtual void setAttachedView(const Ref<WidgetView>& view) { attachedView_ = view; }
    const Ref<WidgetView>& attachedView() const { return attachedView_; }
    const Ref<WidgetView>& widgetView() const { return widgetView_; }
    // The view that receives sub-widget and attached-widget views.
    virtual Ref<WidgetView> subwidgetParentView() const { return widgetView_; }
    // Places the widget's view, its sub-widgets, attached widgets and button in the view.
    void attachToView(const Ref<WidgetView>& view, const QTransform& transformation) override;
    void detachFromView() override;
    // The host placed `view` (made by newWidgetView, null for widgets without a view) itself,
    // with the page transformation t: it becomes the widget's view, and the sub-widgets and
    // attached widgets are attached in it as attachToView does. The button is not touched.
    void adoptPlacedView(const Ref<WidgetView>& host, const Ref<WidgetView>& view,
                         const QTransform& transformation);
    // The page transformation changed while the widget's view stays where its host put it: the
    // sub-widgets and attached widgets follow.
    void layoutSubwidgets(const QTransform& transformation);
    // A child's view follows the transformation: its frame, then its own children.
    void layoutWidget(const QTransform& transformation) override;
    virtual bool needOverlayButton() const { return false; }
    virtual void createTransparentButtonWithSuperview(const Ref<WidgetView>&, const QRectF&) {}
    // A page rectangle in the host view of the last attach.
    QRectF viewRectByUserRect(const QRectF& rect) const;
    // The transformation sub-widgets get: this one without its translation.
    virtual QTransform calcSubwidgetTransformation(const QTransform& transformation,
                                                   const Ref<WidgetView>& widgetView) const;
    virtual void subwidgetsDidAttached(const Ref<WidgetView>&) {}
    const QRectF& documentBounds() const { return documentBounds_; }
    void setDocumentBounds(const QRectF& bounds) { documentBounds_ = bounds; }

    // ---- Actions and activation ----
    virtual void widgetTapped() {}
    void itemButtonFrameClicked(const Ref<plat::Object>& sender);
    // Makes the siblings (this widget included) inactive, then runs widgetTapped.
    void invokeButtonAction(const Ref<plat::Object>& sender) override;
    void didBecomeActive() override;
    void didBecomeInactive() override;
    void purgeCacheData() override;
    virtual bool raiseTouchUpInsidePageBounds() const;

    // ---- Button ----
    virtual Ref<WidgetActionButton> button() const { return button_; }
    virtual Ref<plat::Image> buttonIcon() const { return nullptr; }
    // Pairs (key of the widget's description, key of the button's properties) copied over.
    virtual void buildButtonInjectPropertyMap(
        std::vector<std::pair<std::string, std::string>>& map) const;
    virtual void buildDefaultButtonProperties(plat::MutableDictionary& properties) const;
    Ref<plat::MutableDictionary> defaultButtonProperties() const;
    // Copies each default whose key the properties lack.
    static void mergeProperties(plat::MutableDictionary& properties,
                                const plat::Dictionary& defaults);

    // ---- Tree and description ----
    void loadFromDictionary(const plat::Dictionary& description) override;
    // Widgets of the descriptions of a list, with this widget as their parent; descriptions that
    // give none are skipped, and anything but a list gives none.
    std::vector<Ref<OverlayData>> loadWidgetsFromDictionaryArray(const plat::Value& list);
    void addSubwidget(const Ref<OverlayData>& widget);
    virtual const std::vector<Ref<OverlayData>>& subwidgets() const { return subwidgets_; }
    const std::vector<Ref<OverlayData>>& attachedWidgets() const { return attachedWidgets_; }
    // Every sub-widget ready (yes without any).
    bool readyForDisplay() override;
    // The widget's own file ids and its sub-widgets', without repeats.
    std::vector<std::string> requiredInteractiveFileIds() const;
    bool runWhenActive() const { return runWhenActive_; }
    bool lockReaderScrollWhenActive() const { return lockReaderScrollWhenActive_; }

    // A rectangle of the size of rect placed in container by the anchor.
    static QRectF alignRect(const QRectF& rect, const QRectF& container, WidgetAnchor anchor);
    // The text form of a frame that the frame reader reads back: "{{x, y}, {w, h}}".
    static std::string stringFromRect(const QRectF& rect);

  protected:
    void setWidgetView(const Ref<WidgetView>& view) { widgetView_ = view; }

  private:
    void loadButton(const plat::Dictionary& description);
    void attachChildren(const QTransform& transformation, const QRectF& viewFrame);

    Ref<WidgetView> widgetView_;
    std::vector<Ref<OverlayData>> subwidgets_;
    std::vector<Ref<OverlayData>> attachedWidgets_;
    Ref<WidgetView> attachedView_;
    QTransform userToViewTransformation_;
    bool hasRunWhenActive_ = false;
    bool lockReaderScrollWhenActive_ = false;
    bool runWhenActive_ = false;
    Ref<WidgetActionButton> button_;
    QRectF documentBounds_;
};
