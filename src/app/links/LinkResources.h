#pragma once
// The link area's resources: the link router, registered as ("", "UriDirect") for the store
// screens, which drive it by selector (see UriDirect.h).
namespace ui {
class ResourceRegistry;
}

void registerLinkResources(ui::ResourceRegistry& registry);
