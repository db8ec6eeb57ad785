#pragma once
// WidgetActionButton: the pressable surface of a page widget, built from the widget's "Button"
// properties: a frame decoration (0 underline, 1 none, 2 border), an optional icon placed by an
// anchor, a pushed colour for toggles. A press reaches the owning widget (not kept). Its view
// comes from the "WidgetActionButton" view maker, which a screen registers for the button's
// look; that maker hands the icon's view back through setIconButton.
//
// "IconAnchor" reads "{vertical,horizontal}" with the words top/center/bottom and
// left/center/right in any letter case; a word that does not match (blanks after it included)
// gives center, and so does a missing one. A word without its "," or "}" runs to the end of the
// text: "{top" is top, "{top}" (the vertical word read up to a "," that never comes) center.
#include <QColor>
#include <optional>

#include "app/issueui/VisibleWidget.h"

extern const char* const kVN_CK_WidgetActionButton_FrameStyle;
extern const char* const kVN_CK_WidgetActionButton_FrameColor;
extern const char* const kVN_CK_WidgetActionButton_BlinkInterval;
extern const char* const kVN_CK_WidgetActionButton_BlinkColor;
extern const char* const kVN_CK_WidgetActionButton_GroupId;
extern const char* const kVN_CK_WidgetActionButton_BackgroundColor;
extern const char* const kVN_CK_WidgetActionButton_BackgroundInteractable;
extern const char* const kVN_CK_WidgetActionButton_PushedBackgroundColor;
extern const char* const kVN_CK_WidgetActionButton_PushedEffectEnabled;
extern const char* const kVN_CK_WidgetActionButton_IsToggleButton;
extern const char* const kVN_CK_WidgetActionButton_IconVisible;
extern const char* const kVN_CK_WidgetActionButton_IconUserInteractive;
extern const char* const kVN_CK_WidgetActionButton_IconAnchor;

WidgetAnchor WidgetAnchorFromNSString(const std::optional<std::string>& text);
int32_t VertialAlignmentFromNSString(const std::optional<std::string>& text);
int32_t HorizontalAlignmentFromNSString(const std::optional<std::string>& text);

class WidgetActionButton : public VisibleWidget {
    PLAT_CLASS(WidgetActionButton)
  public:
    static constexpr const char* kViewKind = "WidgetActionButton";

    WidgetActionButton() = default;

    void loadFromDictionary(const plat::Dictionary& description) override;
    bool hasButton() const override { return false; }
    bool needOverlayButton() const override { return false; }
    // The button's view, from the "WidgetActionButton" maker.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;

    // A press: the owner hears it, then the pushed colour (only with a view of its own).
    void invokeButtonAction();
    using VisibleWidget::invokeButtonAction;
    void frameButtonTouchUpInside(const Ref<plat::Object>&) { invokeButtonAction(); }
    void iconButtonTouchUpInside(const Ref<plat::Object>&) { invokeButtonAction(); }

    const Ref<plat::Image>& icon() const { return icon_; }
    // Stores the icon; a different one is shown by the icon's view at once.
    void setIcon(const Ref<plat::Image>& icon);
    const Ref<WidgetView>& iconButton() const { return iconButton_; }
    void setIconButton(const Ref<WidgetView>& view) { iconButton_ = view; }

    Ref<WidgetActionDelegate> owner() const { return owner_.lock(); }
    void setOwner(const Ref<WidgetActionDelegate>& owner) { owner_ = owner; }

    bool isToggleButton() const { return isToggleButton_; }
    bool iconVisible() const { return iconVisible_; }
    bool iconUserInteractive() const { return iconUserInteractive_; }
    bool backgroundInteractable() const { return backgroundInteractable_; }
    bool pushedEffectEnabled() const { return pushedEffectEnabled_; }
    int32_t frameStyle() const { return frameStyle_; }
    int32_t groupId() const { return groupId_; }
    const QColor& frameColor() const { return frameColor_; }
    double blinkInterval() const { return blinkInterval_; }
    const QColor& blinkColor() const { return blinkColor_; }
    const QColor& backgroundColor() const { return backgroundColor_; }
    WidgetAnchor iconAlignment() const { return iconAlignment_; }
    const QColor& pushedBackgroundColor() const { return pushedBackgroundColor_; }

  private:
    Ref<WidgetView> iconButton_;
    bool isToggleButton_ = false;
    bool iconVisible_ = true;
    bool iconUserInteractive_ = true;
    bool backgroundInteractable_ = true;
    bool pushedEffectEnabled_ = false;
    int32_t frameStyle_ = 1;
    int32_t groupId_ = 0;
    QColor frameColor_ = QColor(255, 255, 0);
    Ref<plat::Image> icon_;
    double blinkInterval_ = 0;
    QColor blinkColor_ = QColor(0, 0, 0, 0);
    QColor backgroundColor_ = QColor(0, 0, 0, 0);
    WidgetAnchor iconAlignment_;
    QColor pushedBackgroundColor_ = QColor(255, 255, 0);
    WeakRef<WidgetActionDelegate> owner_;
};
