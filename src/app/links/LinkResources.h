#pragma once
// The link area's resources: the link router, registered as ("", "UriDirect") for the store
// screens, which drive it by selector (see UriDirect.h).
#include "platform_ui/ScreenName.h"

namespace ui {
class ResourceRegistry;
}

namespace LinkScreens {
inline constexpr ui::ScreenName kUriDirect{"", "UriDirect"};
}  // namespace LinkScreens

void registerLinkResources(ui::ResourceRegistry& registry);
