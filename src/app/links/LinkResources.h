#pragma once
// The link area's resources: the link router, registered as LinkScreens::kUriDirect (declared with
// the router's messages in app/services/LinkRouting.h) for the store screens, which reach it
// through a LinkRouter.
#include "app/services/LinkRouting.h"

namespace ui {
class ResourceRegistry;
}

void registerLinkResources(ui::ResourceRegistry& registry);
