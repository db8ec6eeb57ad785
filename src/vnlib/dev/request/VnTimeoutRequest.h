#pragma once
// VnTimeoutRequest: a request that fails with "Request timeout" after a stretch of silence
// (120 s by default). Subclasses call notifyToKeepAlive whenever their work makes progress, so
// the limit is on inactivity, not on total time. The timer runs in the default run-loop mode.
#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/VnRequestContext.h"

class VnTimeoutRequest : public VnRequestContext {
    PLAT_CLASS(VnTimeoutRequest)
  public:
    virtual double timeoutInterval() const { return 120.0; }
    // Re-arms the inactivity timer.
    void notifyToKeepAlive();
    // Stops the work and finishes with the failed result "Request timeout".
    virtual void timeout();
    void cancelTimeoutTimer();
    bool timeoutTimerArmed() const { return timeoutTimer_ != nullptr; }

    void start() override;
    void cancel() override;
    void coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) override;
    void coreQueueNotifyFinishWithResult(const Ref<VnRequestResult>& result) override;

  private:
    Ref<plat::Timer> timeoutTimer_;
};
