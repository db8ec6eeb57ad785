#pragma once
// VndDelegator: renames messages on their way to a delegate. A message sent to the delegator
// reaches the delegate as prefix + message name when the delegate answers that, else under its
// own name. It lets one object tell apart the callbacks of several requests
// ("signin_request:didFinishWithResult:", "session_request:didFinishWithResult:", ...).
#include <optional>
#include <string>

#include "platform/core/Object.h"

class VndDelegator : public plat::Object {
    PLAT_CLASS(VndDelegator)
  public:
    // The delegate is not owned; a null prefix forwards every message unchanged.
    VndDelegator(WeakRef<plat::Object> delegate, std::optional<std::string> selectorPrefix);
    // The same, kept alive until the end of the current run-loop turn unless kept.
    static Ref<VndDelegator> delegatorWithDelegate(WeakRef<plat::Object> delegate,
                                                   std::optional<std::string> selectorPrefix);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    const std::optional<std::string>& selectorPrefix() const { return selectorPrefix_; }

    plat::Selector prefixedSelector(plat::Selector sel) const;
    // Whether the delegate answers the prefixed selector (the plain one is not asked).
    bool respondsToSelector(plat::Selector sel) const override;
    void forwardInvocation(plat::Invocation& invocation) override;

  private:
    WeakRef<plat::Object> delegate_;
    std::optional<std::string> selectorPrefix_;
};
