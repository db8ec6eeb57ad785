#include "app/links/LinkResources.h"

#include "app/links/UriDirect.h"
#include "platform_ui/ResourceRegistry.h"

void registerLinkResources(ui::ResourceRegistry& registry) {
    registry.registerController(LinkScreens::kUriDirect, [] {
        return std::static_pointer_cast<plat::Object>(std::make_shared<UriDirect>());
    });
}
