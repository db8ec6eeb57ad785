#pragma once
// The shell's entries in the resource registry: the loading overlay ("", "HZLoading"), the member
// information panel ("", "UserInfoViewController") and the account sheet ("", "SettingView").
namespace ui {
class ResourceRegistry;
}

void registerShellResources(ui::ResourceRegistry& registry);
