#include "app/widgets/LinkWidget.h"

#include <algorithm>
#include <cctype>

#include "platform/core/Log.h"
#include "platform_ui/UrlOpener.h"

PLAT_DEFINE_CLASS(LinkWidget, VisibleWidget, [](auto&) {})

namespace {

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Printable ASCII without the characters that may appear nowhere in an address; a "%" starts
// an escape of two hex digits.
bool isWellFormedUrl(const std::string& url) {
    static constexpr std::string_view kNever = "\"<>\\^`{|}";
    for (size_t i = 0; i < url.size(); ++i) {
        const char c = url[i];
        if (c <= 0x20 || c >= 0x7f || kNever.find(c) != std::string_view::npos)
            return false;
        if (c == '%' && (i + 2 >= url.size() || !isHex(url[i + 1]) || !isHex(url[i + 2])))
            return false;
    }
    return !url.empty();
}

std::string schemeOf(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return {};
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

}  // namespace

void LinkWidget::buildDefaultButtonProperties(plat::MutableDictionary& properties) const {
    VisibleWidget::buildDefaultButtonProperties(properties);
    properties.setObject(plat::Value::boolean(false), "IconVisible");
    properties.setObject(0, "FrameStyle");
}

void LinkWidget::buildButtonInjectPropertyMap(
    std::vector<std::pair<std::string, std::string>>& map) const {
    VisibleWidget::buildButtonInjectPropertyMap(map);
    map.emplace_back("VisualStyle", "FrameStyle");
}

void LinkWidget::invokeButtonAction(const Ref<plat::Object>&) {
    widgetTapped();
}

bool LinkWidget::openLink(const std::string& url) {
    if (!isWellFormedUrl(url)) {
        plat::systemLog(
            plat::format("A link without a usable address is not opened: \"%s\"", url.c_str()));
        return false;
    }
    // Web and mail addresses, and the program's own links ("varnel..." schemes), go to the
    // system; any other scheme (a file, a script) coming from a page is not handed on.
    const auto scheme = schemeOf(url);
    if (scheme != "http" && scheme != "https" && scheme != "mailto" &&
        scheme.rfind("varnel", 0) != 0) {
        plat::systemLog(plat::format("A link of scheme \"%s\" is not opened", scheme.c_str()));
        return false;
    }
    ui::UrlOpener::openUrl(url);
    return true;
}
