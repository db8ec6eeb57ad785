#pragma once
// VnChainedRequest: runs one request after another. After each step its chaining delegate is
// asked "processRequest:result:" (the step, its result) and answers the next request to run, a
// final VnRequestResult, or nothing (the chain then finishes with the shared cancel result).
#include "platform/core/Message.h"
#include "vnlib/dev/request/VnRequestProxy2.h"

// What the chaining delegate is asked after each request: the next request to run (a request
// context), or nothing to end the chain.
struct VnChainedRequestDelegate {
    static constexpr plat::Message<Ref<plat::Object>(const Ref<VnRequestContext>&,
                                                     const Ref<VnRequestResult>&)>
        kProcessRequest{"processRequest:result:"};
};

class VnChainedRequest : public VnRequestContext {
    PLAT_CLASS(VnChainedRequest)
  public:
    // The first request is required; the chaining delegate is not owned.
    VnChainedRequest(Ref<VnRequestContext> firstRequest, const Ref<plat::Object>& chainingDelegate);
    static Ref<VnChainedRequest> chainedRequestWithFirstRequest(
        Ref<VnRequestContext> firstRequest, const Ref<plat::Object>& chainingDelegate);

    const Ref<VnRequestContext>& firstRequest() const { return firstRequest_; }
    const Ref<VnRequestContext>& activeRequest() const { return activeRequest_; }

    // Proxy-delegate messages of the steps.
    void requestProxy_request_didNotify_didFinishWithResult(Ref<VnRequestProxy2> proxy,
                                                            Ref<VnRequestContext> request,
                                                            Ref<VnRequestResult> result);
    void requestProxy_request_didReportProgress(Ref<VnRequestProxy2> proxy,
                                                Ref<VnRequestContext> request,
                                                VnRequestProgress progress);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    void startStep(const Ref<VnRequestContext>& step);

    Ref<VnRequestContext> firstRequest_;
    WeakRef<plat::Object> chainingDelegate_;
    Ref<VnRequestContext> activeRequest_;
};
