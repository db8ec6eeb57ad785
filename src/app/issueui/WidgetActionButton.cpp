#include "app/issueui/WidgetActionButton.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "app/issueui/WidgetView.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(WidgetActionButton, VisibleWidget, [](auto& c) {
    c.method("frameButtonTouchUpInside:", &WidgetActionButton::frameButtonTouchUpInside)
        .method("iconButtonTouchUpInside:", &WidgetActionButton::iconButtonTouchUpInside);
})

const char* const kVN_CK_WidgetActionButton_FrameStyle = "FrameStyle";
const char* const kVN_CK_WidgetActionButton_FrameColor = "FrameColor";
const char* const kVN_CK_WidgetActionButton_BlinkInterval = "BlinkInterval";
const char* const kVN_CK_WidgetActionButton_BlinkColor = "BlinkColor";
const char* const kVN_CK_WidgetActionButton_GroupId = "GroupId";
const char* const kVN_CK_WidgetActionButton_BackgroundColor = "BackgroundColor";
const char* const kVN_CK_WidgetActionButton_BackgroundInteractable = "BackgroundInteractable";
const char* const kVN_CK_WidgetActionButton_PushedBackgroundColor = "PushedBackgroundColor";
const char* const kVN_CK_WidgetActionButton_PushedEffectEnabled = "PushedEffectEnabled";
const char* const kVN_CK_WidgetActionButton_IsToggleButton = "IsToggleButton";
const char* const kVN_CK_WidgetActionButton_IconVisible = "IconVisible";
const char* const kVN_CK_WidgetActionButton_IconUserInteractive = "IconUserInteractive";
const char* const kVN_CK_WidgetActionButton_IconAnchor = "IconAnchor";

// ---- Anchors
// ---------------------------------------------------------------------------------------

namespace {

int32_t lookUp(const std::map<std::string, int32_t>& table,
               const std::optional<std::string>& text) {
    if (!text)
        return 1;
    std::string lower = *text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto it = table.find(lower);
    return it == table.end() ? 1 : it->second;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

int32_t VertialAlignmentFromNSString(const std::optional<std::string>& text) {
    static const std::map<std::string, int32_t> table{{"top", 0}, {"center", 1}, {"bottom", 2}};
    return lookUp(table, text);
}

int32_t HorizontalAlignmentFromNSString(const std::optional<std::string>& text) {
    static const std::map<std::string, int32_t> table{{"left", 0}, {"center", 1}, {"right", 2}};
    return lookUp(table, text);
}

WidgetAnchor WidgetAnchorFromNSString(const std::optional<std::string>& text) {
    WidgetAnchor anchor;
    if (!text)
        return anchor;
    const std::string& s = *text;
    size_t pos = s.find('{');
    if (pos == std::string::npos)
        return anchor;
    ++pos;
    // One component: blanks before it skipped, then everything up to the terminator, or up to
    // the end of the text when the terminator never comes ("{top" is top). Nothing before the
    // terminator is no component.
    auto component = [&](char terminator) -> std::optional<std::string> {
        while (pos < s.size() && isBlank(s[pos]))
            ++pos;
        const size_t end = std::min(s.find(terminator, pos), s.size());
        if (end == pos)
            return std::nullopt;
        std::string part = s.substr(pos, end - pos);
        pos = end;
        return part;
    };
    anchor.vertical = VertialAlignmentFromNSString(component(','));
    if (pos < s.size() && s[pos] == ',') {
        ++pos;
        anchor.horizontal = HorizontalAlignmentFromNSString(component('}'));
    }
    return anchor;
}

// ---- Button
// ----------------------------------------------------------------------------------------

void WidgetActionButton::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    frameStyle_ = intForKey(description, kVN_CK_WidgetActionButton_FrameStyle, 1);
    blinkInterval_ = floatForKey(description, kVN_CK_WidgetActionButton_BlinkInterval, 0);
    groupId_ = intForKey(description, kVN_CK_WidgetActionButton_GroupId, 0);
    backgroundInteractable_ =
        boolForKey(description, kVN_CK_WidgetActionButton_BackgroundInteractable, true);
    iconVisible_ = boolForKey(description, kVN_CK_WidgetActionButton_IconVisible, true);
    iconUserInteractive_ =
        boolForKey(description, kVN_CK_WidgetActionButton_IconUserInteractive, true);
    isToggleButton_ = boolForKey(description, kVN_CK_WidgetActionButton_IsToggleButton, false);
    pushedEffectEnabled_ =
        boolForKey(description, kVN_CK_WidgetActionButton_PushedEffectEnabled, isToggleButton_);
    iconAlignment_ =
        WidgetAnchorFromNSString(stringForKey(description, kVN_CK_WidgetActionButton_IconAnchor));
}

Ref<WidgetView> WidgetActionButton::newWidgetView(const QRectF& frame) {
    return WidgetViewFactory::makeView(kViewKind, *this, frame);
}

void WidgetActionButton::invokeButtonAction() {
    const auto keep = self<WidgetActionButton>();
    if (auto target = owner())
        target->invokeButtonAction(keep);
    if (widgetView() && pushedEffectEnabled_) {
        widgetView()->setBackgroundColor(pushedBackgroundColor_);
        if (!isToggleButton_)
            widgetView()->setBackgroundColor(backgroundColor_);
    }
}

void WidgetActionButton::setIcon(const Ref<plat::Image>& icon) {
    if (icon == icon_)
        return;
    icon_ = icon;
    if (iconButton_)
        iconButton_->setImage(icon_);
}
