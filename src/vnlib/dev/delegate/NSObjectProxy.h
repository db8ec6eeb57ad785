#pragma once
// NSObjectProxy: keeps one target alive and forwards every message to it.
#include "platform/core/Object.h"

class NSObjectProxy : public plat::Object {
    PLAT_CLASS(NSObjectProxy)
  public:
    explicit NSObjectProxy(Ref<plat::Object> target) : target_(std::move(target)) {}
    // The same, kept alive until the end of the current run-loop turn unless kept.
    static Ref<NSObjectProxy> proxyWithTarget(Ref<plat::Object> target);

    const Ref<plat::Object>& target() const { return target_; }
    bool respondsToSelector(plat::Selector sel) const override;
    void forwardInvocation(plat::Invocation& invocation) override;

  private:
    Ref<plat::Object> target_;
};
