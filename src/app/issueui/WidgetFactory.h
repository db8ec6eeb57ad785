#pragma once
// WidgetFactory: makes a widget from a description dictionary by its "WidgetType" (compared
// exactly). Thirteen type names name twelve widget classes; each class is made by the maker
// registered under its class name, so that the widget kinds can live in libraries of their own
// and register at start. A description that is no dictionary, an unknown type or a class nobody
// registered gives no widget (the last is logged). A class may throw while it loads.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/issueui/OverlayData.h"

class WidgetFactory {
  public:
    using Maker = std::function<Ref<OverlayData>(const plat::Dictionary& description,
                                                 const Ref<WidgetAssetManager>& assetManager)>;

    // The type names and their class names, in table order.
    static std::vector<std::pair<std::string, std::string>> newClassMapDictionary();
    // The class name of a type name; empty when the type is unknown.
    static std::string classNameForWidgetType(const std::string& widgetType);

    static Ref<OverlayData> widgetWithDictionary(const plat::Value& description,
                                                 const Ref<WidgetAssetManager>& assetManager);

    // Registers (or replaces) the maker of a class; later builds use it.
    static void registerWidgetClass(const std::string& className, Maker maker);
    template <class T>
    static void registerWidgetClass(const std::string& className) {
        registerWidgetClass(className, [](const plat::Dictionary& description,
                                          const Ref<WidgetAssetManager>& assetManager) {
            return std::static_pointer_cast<OverlayData>(
                OverlayData::dataByDictionary<T>(description, assetManager));
        });
    }
    static bool isWidgetClassRegistered(const std::string& className);
    // Forgets every registered class (tests).
    static void unregisterAllWidgetClasses();
};
