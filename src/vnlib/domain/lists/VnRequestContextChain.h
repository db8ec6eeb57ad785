#pragma once
// VnRequestContextChain: runs requests one after another; each starts when the one before it
// succeeded. The chain finishes with the last step's result, with the first failed step's
// result, or at once with an empty success when it holds no requests. Cancelling the chain
// cancels the running step; nothing after it starts.
#include <deque>

#include "vnlib/dev/request/VnRequestContext.h"

class VnRequestContextChain : public VnRequestContext {
    PLAT_CLASS(VnRequestContextChain)
  public:
    explicit VnRequestContextChain(std::vector<Ref<VnRequestContext>> requests)
        : requestContexts_(requests.begin(), requests.end()) {}
    ~VnRequestContextChain() override;

    const Ref<VnRequestContext>& activeRequest() const { return activeRequest_; }
    void startNextRequest(const Ref<VnRequestResult>& result);
    void request_didFinishWithResult(Ref<VnRequestContext> request, Ref<VnRequestResult> result);

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    std::deque<Ref<VnRequestContext>> requestContexts_;
    Ref<VnRequestContext> activeRequest_;
};
