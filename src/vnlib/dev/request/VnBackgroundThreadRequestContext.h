#pragma once
// VnBackgroundThreadRequestContext: starting it runs an invocation on a class-wide background
// operation queue (at most 10 at once). It does not finish by itself: whoever owns it finishes
// or cancels it on the request's own thread. VnBackgroundThreadRequest does nothing when started
// or cancelled.
#include <memory>

#include "platform/runloop/OperationQueue.h"
#include "vnlib/dev/request/VnRequestContext.h"

class VnBackgroundThreadRequestContext : public VnRequestContext {
    PLAT_CLASS(VnBackgroundThreadRequestContext)
  public:
    // The invocation carries its target (see plat::Invocation::setTarget) and is owned.
    explicit VnBackgroundThreadRequestContext(std::shared_ptr<plat::Invocation> invocation)
        : invocation_(std::move(invocation)) {}
    static Ref<VnBackgroundThreadRequestContext> requestWithInvocation(
        std::shared_ptr<plat::Invocation> invocation);

    const std::shared_ptr<plat::Invocation>& invocation() const { return invocation_; }
    // The queue shared by all such requests, made on first use.
    static const Ref<plat::OperationQueue>& backgroundQueue();

  protected:
    void coreStart() override;

  private:
    std::shared_ptr<plat::Invocation> invocation_;
};

class VnBackgroundThreadRequest : public VnRequestContext {
    PLAT_CLASS(VnBackgroundThreadRequest)
};
