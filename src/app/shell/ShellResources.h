#pragma once
// The shell's entries in the resource registry: the loading overlay ("", "HZLoading"), the member
// information panel ("", "UserInfoViewController") and the account sheet ("", "SettingView").
#include "platform_ui/ScreenName.h"

namespace ui {
class ResourceRegistry;
}

namespace ShellScreens {
inline constexpr ui::ScreenName kLoading{"", "HZLoading"};
inline constexpr ui::ScreenName kUserInfo{"", "UserInfoViewController"};
}  // namespace ShellScreens

void registerShellResources(ui::ResourceRegistry& registry);
