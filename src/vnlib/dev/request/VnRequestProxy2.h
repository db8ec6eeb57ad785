#pragma once
// VnRequestProxy2: stands in front of a target request. Its proxy delegate may refuse the start,
// watch the finish and replace the result; the target's own delegate sees the raw result and the
// proxy's delegate the transformed one. Proxy-delegate messages (all optional):
//   requestProxy:requestWillStart:                      (proxy, target) -> bool
//   requestProxy:requestDidNotify_didStart:             (proxy, target)
//   requestProxy:request:willNotify_didFinishWithResult: (proxy, target, result)
//   requestProxy:request:transformRequestResult:        (proxy, target, result) -> result
//   requestProxy:request:didNotify_didFinishWithResult:  (proxy, target, untransformed result)
//   requestProxy:requestDidCancel:                      (proxy, target)
//   requestProxy:request:didReportProgress:             (proxy, target, VnRequestProgress)
#include "vnlib/dev/request/VnRequestContext.h"

class VnRequestProxy2 : public VnRequestContext {
    PLAT_CLASS(VnRequestProxy2)
  public:
    VnRequestProxy2(Ref<VnRequestContext> target, const Ref<plat::Object>& proxyDelegate);
    static Ref<VnRequestProxy2> proxyWithTarget(Ref<VnRequestContext> target,
                                                const Ref<plat::Object>& proxyDelegate);

    const Ref<VnRequestContext>& target() const { return target_; }
    Ref<plat::Object> proxyDelegate() const { return proxyDelegate_.lock(); }
    // Makes the proxy own its proxy delegate (a delegator it made).
    void setOwnedProxyDelegate(Ref<plat::Object> delegator);

    void start() override;
    void coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) override;
    void coreReportProgress(VnRequestProgress progress) override;
    Ref<plat::Dictionary> customParams() const override { return target_->customParams(); }
    void setCustomParams(Ref<plat::Dictionary> params) override {
        target_->setCustomParams(std::move(params));
    }

  protected:
    void coreCancel() override;

  private:
    Ref<VnRequestContext> target_;
    WeakRef<plat::Object> proxyDelegate_;
    Ref<plat::Object> ownedProxyDelegate_;
};
