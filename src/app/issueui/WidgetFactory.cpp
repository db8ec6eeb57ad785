#include "app/issueui/WidgetFactory.h"

#include <map>

#include "platform/core/Log.h"

namespace {

// Type name -> class name, built once.
const std::map<std::string, std::string>& classMap() {
    static const std::map<std::string, std::string> map = [] {
        std::map<std::string, std::string> built;
        for (auto& [type, cls] : WidgetFactory::newClassMapDictionary())
            built.emplace(std::move(type), std::move(cls));
        return built;
    }();
    return map;
}

std::map<std::string, WidgetFactory::Maker>& makers() {
    static std::map<std::string, WidgetFactory::Maker> map;
    return map;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> WidgetFactory::newClassMapDictionary() {
    return {
        {"ImageView360", "ImageView360Widget"},
        {"InlineImageScroller", "InlineImageScroller"},
        {"ItemHighlighter", "ItemHighlighterWidget"},
        {"PageLinkWidget", "PageLinkWidget"},
        {"PageLink", "PageLinkWidget"},
        {"EmbeddedVideo", "VideoAsset"},
        {"SlideshowButton", "SlideshowButton"},
        {"PopupVideoButton", "PopupVideoButton"},
        {"ImageScrollWidget", "ImageScrollWidget"},
        {"ImageWidget", "ImageWidget"},
        {"UrlLink", "UrlLinkWidget"},
        {"EmailLink", "EmailLinkWidget"},
        {"AudioPlayer", "AudioPlayerWidget"},
    };
}

std::string WidgetFactory::classNameForWidgetType(const std::string& widgetType) {
    const auto it = classMap().find(widgetType);
    return it == classMap().end() ? std::string() : it->second;
}

Ref<OverlayData> WidgetFactory::widgetWithDictionary(const plat::Value& description,
                                                     const Ref<WidgetAssetManager>& assetManager) {
    const auto dictionary = description.dictionary();
    if (!dictionary)
        return nullptr;
    const std::string* type = dictionary->objectForKey("WidgetType").string();
    if (!type)
        return nullptr;
    const std::string className = classNameForWidgetType(*type);
    if (className.empty())
        return nullptr;
    const auto it = makers().find(className);
    if (it == makers().end()) {
        plat::systemLog(plat::format("No widget class %s is registered for the widget type %s",
                                     className.c_str(), type->c_str()));
        return nullptr;
    }
    return it->second(*dictionary, assetManager);
}

void WidgetFactory::registerWidgetClass(const std::string& className, Maker maker) {
    if (maker)
        makers()[className] = std::move(maker);
    else
        makers().erase(className);
}

bool WidgetFactory::isWidgetClassRegistered(const std::string& className) {
    return makers().count(className) > 0;
}

void WidgetFactory::unregisterAllWidgetClasses() {
    makers().clear();
}
