#pragma once
// VnRequestContext: the base of every asynchronous operation (web calls, downloads, catalogue
// updates, sign-in). A request is started, runs on the thread and run loop that started it, and
// each run finishes exactly once with a VnRequestResult, or is cancelled and says nothing. The
// finish goes, in this order, to the delegate ("request:didFinishWithResult:"), to the finish
// callback, to every joint request sharing this one, and to the proxy that started it. Subclasses
// supply the work through the core operations. A running request keeps itself alive.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "vnlib/dev/request/VnRequestProgress.h"
#include "vnlib/dev/request/VnRequestResult.h"

class VnJointRequest;
class VnRequestProxy2;

// The delegate messages (all optional; a request asks respondsToSelector before each).
inline constexpr const char* VnRequestDidStartSelector = "requestDidStart";
inline constexpr const char* VnRequestDidFinishSelector = "request:didFinishWithResult:";
inline constexpr const char* VnRequestProgressReportSelector = "request:progressReport:";

class VnRequestContext : public plat::Object {
    PLAT_CLASS(VnRequestContext)
  public:
    using DidFinishBlock =
        std::function<void(const Ref<VnRequestResult>& result, const plat::Value& returnValue)>;

    VnRequestContext() = default;
    ~VnRequestContext() override;

    // ---- For callers ----
    virtual void start();
    void startWithDelegate(const Ref<plat::Object>& delegate);
    void startWithDelegate(const Ref<plat::Object>& delegate, const std::string& selectorPrefix);
    void startWithDelegateUsingPrefixFromDidFinishSelector(const Ref<plat::Object>& delegate,
                                                           plat::Selector didFinishSelector);
    void startWithDidFinishBlock(DidFinishBlock block);
    // Marks the request started, then delivers the given result on a later run-loop turn.
    void startWithResult(const Ref<VnRequestResult>& result);

    // A plain delegate: referenced, not owned.
    void setDelegate(const Ref<plat::Object>& delegate);
    // A delegator for the object and prefix, owned by this request.
    void setDelegate(const Ref<plat::Object>& delegate, const std::string& selectorPrefix);
    void setDelegateUsingPrefixFromDidFinishSelector(const Ref<plat::Object>& delegate,
                                                     plat::Selector didFinishSelector);
    void setDidFinishBlock(DidFinishBlock block) { didFinishBlock_ = std::move(block); }

    // The text in front of "request:didFinishWithResult:" in the selector's name; raises
    // NSInternalInconsistencyException "Invalid selector" when the name lacks it.
    static std::string prefixFromSelector(plat::Selector sel);

    virtual void cancel();
    // Cancels it for good, as its owner goes: the joint requests waiting on it (which a cancel
    // leaves to their own callers) end with the cancel result rather than never.
    void cancelEndingJointRequests();
    void prioritize() { corePrioritize(); }
    // A new joint request sharing this one (kept until the end of the turn unless kept).
    Ref<VnJointRequest> jointRequest();
    // A proxy in front of this request whose proxy delegate (not owned) may refuse the start and
    // watch or replace the result (kept until the end of the turn unless kept).
    Ref<VnRequestProxy2> proxyWithProxyDelegate(const Ref<plat::Object>& proxyDelegate);
    // The same through a delegator for the proxy delegate and prefix, owned by the proxy.
    Ref<VnRequestProxy2> proxyWithProxyDelegate(const Ref<plat::Object>& proxyDelegate,
                                                const std::string& selectorPrefix);
    // A request that finishes with a result known in advance.
    static Ref<VnRequestContext> requestWithResult(const Ref<VnRequestResult>& result);

    bool running() const { return running_; }
    Ref<plat::Object> delegate() const;
    bool ownsDelegate() const { return ownsDelegate_; }
    void setOwnsDelegate(bool owns);
    int32_t tag() const { return tag_; }
    void setTag(int32_t tag) { tag_ = tag; }
    const plat::Value& userInfo() const { return userInfo_; }
    void setUserInfo(plat::Value userInfo) { userInfo_ = std::move(userInfo); }
    virtual Ref<plat::Dictionary> customParams() const { return customParams_; }
    virtual void setCustomParams(Ref<plat::Dictionary> params) {
        customParams_ = std::move(params);
    }
    const std::vector<Ref<VnJointRequest>>& jointRequests() const { return jointRequests_; }
    // A list answer keeps its null elements (as null) instead of dropping them, for callers
    // that must tell a list of nothing but nulls from an empty list. Off by default.
    bool keepsNullElements() const { return keepsNullElements_; }
    void setKeepsNullElements(bool keep) { keepsNullElements_ = keep; }
    // The reply is read keeping its text, and the records an answer is made of keep the
    // dictionary each was loaded from as its values' texts in it (VndReceivedDictionary) rather
    // than decoded. Off by default.
    bool keepsReceivedText() const { return keepsReceivedText_; }
    void setKeepsReceivedText(bool keep) { keepsReceivedText_ = keep; }

    // ---- For subclasses and sibling classes ----
    // The finish, called from the work's completion on the request's thread.
    virtual void coreNotifyFinishWithResult(const Ref<VnRequestResult>& result);
    // Finish on a later run-loop turn, for results known before any work starts.
    virtual void coreQueueNotifyFinishWithResult(const Ref<VnRequestResult>& result);
    virtual void coreReportProgress(VnRequestProgress progress);
    // Tells one delegate and then the finish callback.
    void notifyDelegate(const Ref<plat::Object>& delegate, const Ref<VnRequestResult>& result);
    // Keeps the proxy that starts this request, then starts.
    void startWithProxyRequest(const Ref<VnRequestContext>& proxy);
    void attachJointRequest(const Ref<VnJointRequest>& joint);
    void detachJointRequest(const Ref<VnJointRequest>& joint);

  protected:
    virtual void coreStart() {}
    virtual void coreCleanUp() {}
    virtual void coreCancel() {}
    virtual void corePrioritize() {}

    void beforeStart();
    // Undoes beforeStart when the start could not go ahead.
    void abandonStart();
    void coreNotifySelfDelegateWithResult(const Ref<VnRequestResult>& result);
    void coreNotifyFinishWithPendingResult();
    bool finishing() const { return finishing_; }
    const Ref<VnRequestContext>& proxy() const { return proxy_; }

  private:
    void giveBackSelfReference(Ref<VnRequestContext> reference);
    void releaseOwnedDelegate();

    WeakRef<plat::Object> delegate_;
    Ref<plat::Object> ownedDelegate_;  // set while ownsDelegate_ holds
    plat::Value userInfo_;
    Ref<plat::Dictionary> customParams_;
    bool ownsDelegate_ = false;
    bool keepsNullElements_ = false;
    bool keepsReceivedText_ = false;
    bool running_ = false;
    std::vector<Ref<VnJointRequest>> jointRequests_;
    Ref<VnRequestResult> pendingResult_;
    Ref<VnRequestContext> proxy_;
    DidFinishBlock didFinishBlock_;
    bool finishing_ = false;
    int32_t tag_ = 0;
    Ref<VnRequestContext> selfReference_;  // held from start until finish or cancel
};

// A request whose result is known in advance; it finishes on a later run-loop turn.
class VnCFRequestContext : public VnRequestContext {
    PLAT_CLASS(VnCFRequestContext)
  public:
    explicit VnCFRequestContext(Ref<VnRequestResult> result) : requestResult_(std::move(result)) {}
    const Ref<VnRequestResult>& requestResult() const { return requestResult_; }

  protected:
    void coreStart() override;

  private:
    Ref<VnRequestResult> requestResult_;
};

// A request sharing a main request: starting it starts the main request unless that runs
// already; it finishes with the main request's result; the last joint request to be cancelled
// cancels the main request.
class VnJointRequest : public VnRequestContext {
    PLAT_CLASS(VnJointRequest)
  public:
    explicit VnJointRequest(Ref<VnRequestContext> mainRequest)
        : mainRequest_(std::move(mainRequest)) {}
    const Ref<VnRequestContext>& mainRequest() const { return mainRequest_; }
    void setCustomParams(Ref<plat::Dictionary> params) override;

  protected:
    void coreStart() override;
    void coreCancel() override;

  private:
    Ref<VnRequestContext> mainRequest_;
};
