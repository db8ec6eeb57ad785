#pragma once
// Widgets that carry data and readiness but draw nothing: the item highlighter
// ("ItemHighlighter": "FileName", "Blinks" default yes; ready once its file is there), the
// close-up button data (the same keys, no type name) and the inline image scroller
// ("InlineImageScroller": "Images"; lays its tagged image views out side by side).
#include "app/issueui/OverlayData.h"

// The picture of a highlight and whether it blinks ("FileName"; "Blinks", yes when absent).
class HighlightData {
  public:
    void loadHighlight(const plat::Dictionary& description);
    const std::optional<std::string>& imageFileName() const { return imageFileName_; }
    void setImageFileName(std::optional<std::string> name) { imageFileName_ = std::move(name); }
    bool blinks() const { return blinks_; }
    void setBlinks(bool blinks) { blinks_ = blinks; }

  private:
    std::optional<std::string> imageFileName_;
    bool blinks_ = true;
};

class ItemHighlighterWidget : public OverlayData, public HighlightData {
    PLAT_CLASS(ItemHighlighterWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    void createTransparentButtonWithSuperview(const Ref<WidgetView>&, const QRectF&) {}
    std::vector<std::string> _requiredAssetFileIds() const override;
    bool readyForDisplay() override;
};

class ItemCloseUpButtonData : public OverlayData, public HighlightData {
    PLAT_CLASS(ItemCloseUpButtonData)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
};

class InlineImageScroller : public OverlayData {
    PLAT_CLASS(InlineImageScroller)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    // The widget's view takes the frame mapped through the transformation; its subviews tagged
    // above 0 stand side by side from the left, each as large as the widget.
    void layoutWidget(const QTransform& transformation) override;

    const std::vector<std::string>& imageNames() const { return imageNames_; }
    const Ref<WidgetView>& widgetView() const { return widgetView_; }
    void setWidgetView(const Ref<WidgetView>& view) { widgetView_ = view; }

  private:
    std::vector<std::string> imageNames_;
    Ref<WidgetView> widgetView_;
};

// Registers the highlighter and the inline scroller with the widget factory.
void registerIssueUIWidgetClasses();
