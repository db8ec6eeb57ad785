#pragma once
// registerStoreResources: the store's storyboard scenes and nibs, registered under their names
// (the cover cell, the item detail and its rows, the preview popup, and each store page's own).
#include "platform_ui/ScreenName.h"

namespace ui {
class ResourceRegistry;
}

// The store's screens other areas open, by the names they are registered under.
namespace StoreScreens {
inline constexpr ui::ScreenName kFeature{"ShopFeatureStoryboard", "ShopFeatureViewController"};
inline constexpr ui::ScreenName kTopChart{"", "TopChartMainViewController"};
inline constexpr ui::ScreenName kCategory{"", "CategoryMainViewController"};
inline constexpr ui::ScreenName kBrowse{"", "BrowseMainViewController"};
inline constexpr ui::ScreenName kDetail{"ShopDetailStoryboard", "ShopDetailMainView"};
inline constexpr ui::ScreenName kSearch{"SearchViewStoryboard", "SearchMainViewContrller"};
}  // namespace StoreScreens

void registerStoreResources(ui::ResourceRegistry& registry);
