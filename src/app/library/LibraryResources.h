#pragma once
// The library area's entries in the resource registry, under the names of LibraryScreens
// (app/services/LibraryScreens.h).
#include "app/services/LibraryScreens.h"

namespace ui {
class ResourceRegistry;
}

void registerLibraryResources(ui::ResourceRegistry& registry);
