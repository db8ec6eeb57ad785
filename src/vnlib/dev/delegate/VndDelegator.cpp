#include "vnlib/dev/delegate/VndDelegator.h"

#include "platform/core/MessageWiring.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(VndDelegator, plat::Object, PLAT_NO_METHODS)

VndDelegator::VndDelegator(WeakRef<plat::Object> delegate,
                           std::optional<std::string> selectorPrefix)
    : delegate_(std::move(delegate)), selectorPrefix_(std::move(selectorPrefix)) {}

Ref<VndDelegator> VndDelegator::delegatorWithDelegate(WeakRef<plat::Object> delegate,
                                                      std::optional<std::string> selectorPrefix) {
    return plat::autorelease(
        std::make_shared<VndDelegator>(std::move(delegate), std::move(selectorPrefix)));
}

plat::Selector VndDelegator::prefixedSelector(plat::Selector sel) const {
    if (!selectorPrefix_)
        return sel;
    return plat::Selector(*selectorPrefix_ + sel.name());
}

bool VndDelegator::respondsToSelector(plat::Selector sel) const {
    return plat::respondsToSelector(delegate_.lock(), prefixedSelector(sel));
}

void VndDelegator::forwardInvocation(plat::Invocation& invocation) {
    auto target = delegate_.lock();
    if (!target)
        return;  // the delegate is gone: the message is dropped
    const plat::Selector prefixed = prefixedSelector(invocation.selector());
    if (target->respondsToSelector(prefixed) && prefixed != invocation.selector()) {
        invocation.setSelector(prefixed);
        // Checked under the name it arrives under, against its real receiver.
        plat::recordForwardedMessage(target.get(), invocation);
    }
    invocation.invokeWithTarget(target);
}
