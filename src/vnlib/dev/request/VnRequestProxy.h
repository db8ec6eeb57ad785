#pragma once
// VnRequestProxy: the older proxy. Like VnRequestProxy2 it may refuse the start, announce it and
// transform the result, but it takes the target's delegate slot for the run (prefix "target_"),
// gives it back at the finish and tells the target's former delegate the transformed result. It
// handles neither cancel nor progress.
#include "platform/core/Message.h"
#include "vnlib/dev/request/VnRequestContext.h"

class VnRequestProxy;
class VnRequestResult;

// The proxy's delegate messages, declared once with their C++ types: whether the target may
// start (yes when unanswered), that it did, and the result it may replace.
struct VnRequestProxyDelegate {
    using Proxy = Ref<VnRequestProxy>;
    using Target = Ref<VnRequestContext>;
    static constexpr plat::Message<bool(const Proxy&, const Target&)> kWillStart{
        "requestProxy:requestWillStart:"};
    static constexpr plat::Message<void(const Proxy&, const Target&)> kDidStart{
        "requestProxy:requestDidNotify_didStart:"};
    static constexpr plat::Message<Ref<VnRequestResult>(const Proxy&, const Target&,
                                                        const Ref<VnRequestResult>&)>
        kTransformResult{"requestProxy:request:transformRequestResult:"};
};

class VnRequestProxy : public VnRequestContext {
    PLAT_CLASS(VnRequestProxy)
  public:
    VnRequestProxy(Ref<VnRequestContext> target, const Ref<plat::Object>& proxyDelegate);

    const Ref<VnRequestContext>& target() const { return target_; }
    void start() override;
    void target_request_didFinishWithResult(Ref<VnRequestContext> request,
                                            Ref<VnRequestResult> result);

  private:
    Ref<VnRequestContext> target_;
    WeakRef<plat::Object> proxyDelegate_;
    WeakRef<plat::Object> targetDelegate_;
};
