#pragma once
// The sign-on area's resources: the nib "OAuthLogin", the login window's layout (a web view
// filling it, the loading overlay with its spinner, the failure overlay and a close button).
namespace ui {
class ResourceRegistry;
}

void registerSignOnResources(ui::ResourceRegistry& registry);
