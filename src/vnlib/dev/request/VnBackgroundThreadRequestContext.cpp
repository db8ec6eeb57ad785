#include "vnlib/dev/request/VnBackgroundThreadRequestContext.h"

#include "platform/runloop/Operation.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(VnBackgroundThreadRequestContext, VnRequestContext, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnBackgroundThreadRequest, VnRequestContext, PLAT_NO_METHODS)

Ref<VnBackgroundThreadRequestContext> VnBackgroundThreadRequestContext::requestWithInvocation(
    std::shared_ptr<plat::Invocation> invocation) {
    return plat::autorelease(
        std::make_shared<VnBackgroundThreadRequestContext>(std::move(invocation)));
}

const Ref<plat::OperationQueue>& VnBackgroundThreadRequestContext::backgroundQueue() {
    static const Ref<plat::OperationQueue> queue = [] {
        auto q = plat::OperationQueue::make("VnBackgroundThreadRequestContext");
        q->setMaxConcurrentOperationCount(10);
        return q;
    }();
    return queue;
}

void VnBackgroundThreadRequestContext::coreStart() {
    if (!invocation_)
        return;
    auto invocation = invocation_;
    backgroundQueue()->addOperation(
        plat::BlockOperation::make([invocation] { invocation->invoke(); }));
}
