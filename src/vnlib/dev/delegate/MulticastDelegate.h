#pragma once
// MulticastDelegate: sends one message to every registered observer that answers it, oldest
// registration first, and silently drops messages that nobody answers. Observers are not owned.
// Observers may add or remove observers while being called: a fan-out works on a snapshot, skips
// nodes removed meanwhile, and never calls observers added during it.
#include <vector>

#include "platform/core/Object.h"

class MulticastDelegateEnumerator;

// One registration. The list, each fan-out and each enumerator hold it; a removed node keeps no
// delegate and is skipped by whoever still holds it.
struct MulticastDelegateListNode {
    WeakRef<plat::Object> delegate;
    bool removed = false;
};

class MulticastDelegate : public plat::Object {
    PLAT_CLASS(MulticastDelegate)
  public:
    MulticastDelegate() = default;
    ~MulticastDelegate() override;

    // A null delegate is ignored; the same delegate may be added more than once.
    void addDelegate(const Ref<plat::Object>& delegate);
    // Removes the newest registration of the delegate; older ones stay.
    void removeDelegate(const plat::Object* delegate);
    void removeDelegate(const Ref<plat::Object>& delegate) { removeDelegate(delegate.get()); }
    void removeAllDelegates();
    size_t count() const { return nodes_.size(); }

    // An enumerator over a snapshot of the registrations, oldest first.
    Ref<MulticastDelegateEnumerator> delegateEnumerator() const;

    bool respondsToSelector(plat::Selector) const override { return true; }
    // The one delegate that answers the selector, when exactly one does.
    Ref<plat::Object> forwardingTargetForSelector(plat::Selector sel) override;
    void forwardInvocation(plat::Invocation& invocation) override;
    void doesNotRecognizeSelector(plat::Selector) override {}
    void doNothing() {}

  private:
    // Oldest registration first.
    std::vector<Ref<MulticastDelegateListNode>> nodes_;
};

class MulticastDelegateEnumerator : public plat::Object {
    PLAT_CLASS(MulticastDelegateEnumerator)
  public:
    explicit MulticastDelegateEnumerator(std::vector<Ref<MulticastDelegateListNode>> snapshot);

    // The next delegate that is still registered and alive; null when the snapshot is used up.
    Ref<plat::Object> nextDelegate();
    Ref<plat::Object> nextDelegateOfClass(const plat::Class& cls);
    Ref<plat::Object> nextDelegateForSelector(plat::Selector sel);

  private:
    std::vector<Ref<MulticastDelegateListNode>> delegates_;
    size_t currentDelegateIndex_ = 0;
};
