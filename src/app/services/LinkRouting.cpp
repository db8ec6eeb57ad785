#include "app/services/LinkRouting.h"

#include "platform/core/Object.h"
#include "platform_ui/ResourceRegistry.h"

LinkRouter LinkRouter::forDelegate(const Ref<plat::Object>& delegate) {
    LinkRouter made;
    made.router_ = ui::ResourceRegistry::shared().instantiateController(LinkScreens::kUriDirect);
    plat::sendIfResponds(made.router_, UriDirectMessages::kInitWithDelegate, delegate);
    return made;
}

void LinkRouter::cancel() const {
    plat::sendIfResponds(router_, UriDirectMessages::kCancel);
}

void LinkRouter::setCodeOnly(bool codeOnly) const {
    plat::sendIfResponds(router_, UriDirectMessages::kSetIsUseCodeOnly, codeOnly);
}

void LinkRouter::follow(std::string url) const {
    plat::sendIfResponds(router_, UriDirectMessages::kRedirectUri, std::move(url));
}
