#pragma once
// VnRequestManager: runs a queue of subrequests, at most concurrentRequestCountLimit (4) at once.
// Callers can find a queued request by an identifier, move one to the front, and cancel or clear
// the lot. The manager finishes, successfully and without a value, once its queue and its running
// set are both empty; a subrequest's failure only reaches the subrequest's own delegates.
#include <vector>

#include "vnlib/dev/request/VnRequestProxy2.h"

class VnRequestManager : public VnRequestContext {
    PLAT_CLASS(VnRequestManager)
  public:
    VnRequestManager() = default;
    // Queued in order; the manager is not started.
    explicit VnRequestManager(std::vector<Ref<VnRequestContext>> requests);
    static Ref<VnRequestManager> managerWithRequests(std::vector<Ref<VnRequestContext>> requests);

    void enqueueRequests(const std::vector<Ref<VnRequestContext>>& requests);
    // Ignored when the request is already queued or running.
    void enqueueRequest(const Ref<VnRequestContext>& request);
    void enqueueRequest(const Ref<VnRequestContext>& request, const plat::Value& requestId);
    Ref<VnRequestContext> requestForId(const plat::Value& requestId) const;
    // Moves a queued request to the front; false (and no change) when it is not queued.
    bool prioritizeRequest(const Ref<VnRequestContext>& request);
    void cancelAndClearQueue();

    const std::vector<Ref<VnRequestContext>>& activeRequests() const { return activeRequests_; }
    const std::vector<Ref<VnRequestContext>>& queuedRequests() const { return queuedRequests_; }
    int32_t concurrentRequestCountLimit() const { return concurrentRequestCountLimit_; }
    void setConcurrentRequestCountLimit(int32_t limit) { concurrentRequestCountLimit_ = limit; }
    bool removingFinishedRequestEarlier() const { return removingFinishedRequestEarlier_; }
    void setRemovingFinishedRequestEarlier(bool on) { removingFinishedRequestEarlier_ = on; }
    bool autostart() const { return autostart_; }
    void setAutostart(bool on) { autostart_ = on; }
    Ref<plat::Object> subrequestDelegate() const { return subrequestDelegate_.lock(); }
    bool ownsSubrequestDelegate() const { return ownsSubrequestDelegate_; }
    void setSubrequestDelegate(const Ref<plat::Object>& delegate);
    void setSubrequestDelegate(const Ref<plat::Object>& delegate, const std::string& prefix);

    // Messages from the subrequests' proxies.
    void requestProxy_request_willNotify_didFinishWithResult(Ref<VnRequestProxy2> proxy,
                                                             Ref<VnRequestContext> request,
                                                             Ref<VnRequestResult> result);
    void requestProxy_request_didNotify_didFinishWithResult(Ref<VnRequestProxy2> proxy,
                                                            Ref<VnRequestContext> request,
                                                            Ref<VnRequestResult> result);
    void requestProxy_requestDidCancel(Ref<VnRequestProxy2> proxy, Ref<VnRequestContext> request);
    void subrequest_request_didFinishWithResult(Ref<VnRequestContext> proxy,
                                                Ref<VnRequestResult> result);

  protected:
    void coreStart() override { fillQueue(); }
    void coreCancel() override;

  private:
    void fillQueue();
    void removeRequest(const Ref<VnRequestContext>& request, bool checkRunning);
    bool isQueuedOrActive(const Ref<VnRequestContext>& request) const;

    std::vector<std::pair<plat::Value, Ref<VnRequestContext>>> requestIdMap_;
    std::vector<Ref<VnRequestContext>> queuedRequests_;
    std::vector<Ref<VnRequestContext>> activeRequests_;
    int32_t concurrentRequestCountLimit_ = 4;
    WeakRef<plat::Object> subrequestDelegate_;
    Ref<plat::Object> ownedSubrequestDelegate_;
    bool ownsSubrequestDelegate_ = false;
    bool removingFinishedRequestEarlier_ = false;
    bool autostart_ = true;
    bool cancelling_ = false;
};
