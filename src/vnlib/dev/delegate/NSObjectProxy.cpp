#include "vnlib/dev/delegate/NSObjectProxy.h"

#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(NSObjectProxy, plat::Object, PLAT_NO_METHODS)

Ref<NSObjectProxy> NSObjectProxy::proxyWithTarget(Ref<plat::Object> target) {
    return plat::autorelease(std::make_shared<NSObjectProxy>(std::move(target)));
}

bool NSObjectProxy::respondsToSelector(plat::Selector sel) const {
    return plat::respondsToSelector(target_, sel);
}

void NSObjectProxy::forwardInvocation(plat::Invocation& invocation) {
    if (!target_) {
        plat::Object::forwardInvocation(invocation);
        return;
    }
    invocation.invokeWithTarget(target_);
}
