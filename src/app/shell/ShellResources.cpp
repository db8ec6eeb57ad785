#include "app/shell/ShellResources.h"

#include "app/shell/HZLoading.h"
#include "platform_ui/ResourceRegistry.h"

void registerShellResources(ui::ResourceRegistry& registry) {
    registry.registerController("", "HZLoading",
                                [] { return ui::ViewController::create<HZLoading>(); });
}
