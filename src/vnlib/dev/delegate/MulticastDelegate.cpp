#include "vnlib/dev/delegate/MulticastDelegate.h"

#include <algorithm>

#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(MulticastDelegate, plat::Object,
                  [](auto& c) { c.method("doNothing", &MulticastDelegate::doNothing); })
PLAT_DEFINE_CLASS(MulticastDelegateEnumerator, plat::Object, PLAT_NO_METHODS)

MulticastDelegate::~MulticastDelegate() {
    removeAllDelegates();
}

void MulticastDelegate::addDelegate(const Ref<plat::Object>& delegate) {
    if (!delegate)
        return;
    auto node = std::make_shared<MulticastDelegateListNode>();
    node->delegate = delegate;
    nodes_.push_back(std::move(node));
}

void MulticastDelegate::removeDelegate(const plat::Object* delegate) {
    if (!delegate)
        return;
    for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it) {
        if ((*it)->delegate.lock().get() == delegate) {
            (*it)->removed = true;
            (*it)->delegate.reset();
            nodes_.erase(std::next(it).base());
            return;
        }
    }
}

void MulticastDelegate::removeAllDelegates() {
    for (auto& node : nodes_) {
        node->removed = true;
        node->delegate.reset();
    }
    nodes_.clear();
}

Ref<MulticastDelegateEnumerator> MulticastDelegate::delegateEnumerator() const {
    return plat::autorelease(std::make_shared<MulticastDelegateEnumerator>(nodes_));
}

Ref<plat::Object> MulticastDelegate::forwardingTargetForSelector(plat::Selector sel) {
    Ref<plat::Object> found;
    for (const auto& node : nodes_) {
        auto delegate = node->delegate.lock();
        if (!delegate || !delegate->respondsToSelector(sel))
            continue;
        if (found)
            return nullptr;  // more than one: fan out
        found = std::move(delegate);
    }
    return found;
}

void MulticastDelegate::forwardInvocation(plat::Invocation& invocation) {
    plat::ReleasePool pool;
    const auto snapshot = nodes_;  // each entry holds its node until the fan-out ends
    for (const auto& node : snapshot) {
        if (node->removed)
            continue;
        auto delegate = node->delegate.lock();
        if (delegate && delegate->respondsToSelector(invocation.selector())) {
            invocation.invokeWithTarget(delegate);
        }
    }
}

MulticastDelegateEnumerator::MulticastDelegateEnumerator(
    std::vector<Ref<MulticastDelegateListNode>> snapshot)
    : delegates_(std::move(snapshot)) {}

Ref<plat::Object> MulticastDelegateEnumerator::nextDelegate() {
    while (currentDelegateIndex_ < delegates_.size()) {
        const auto& node = delegates_[currentDelegateIndex_++];
        if (node->removed)
            continue;
        if (auto delegate = node->delegate.lock())
            return delegate;
    }
    return nullptr;
}

Ref<plat::Object> MulticastDelegateEnumerator::nextDelegateOfClass(const plat::Class& cls) {
    while (auto delegate = nextDelegate()) {
        if (delegate->isKindOfClass(cls))
            return delegate;
    }
    return nullptr;
}

Ref<plat::Object> MulticastDelegateEnumerator::nextDelegateForSelector(plat::Selector sel) {
    while (auto delegate = nextDelegate()) {
        if (delegate->respondsToSelector(sel))
            return delegate;
    }
    return nullptr;
}
