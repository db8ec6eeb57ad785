#include "vnlib/dev/request/VnRequestContext.h"

#include <algorithm>
#include <utility>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/delegate/VndDelegator.h"

namespace {

constexpr const char* kQueuedFinishAction = "coreNotifyFinishWithPendingResult";
constexpr const char* kDeferredStartAction = "coreStart";

}  // namespace

PLAT_DEFINE_CLASS(VnRequestContext, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnCFRequestContext, VnRequestContext, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnJointRequest, VnRequestContext, PLAT_NO_METHODS)

VnRequestContext::~VnRequestContext() = default;

// ---- Starting ---------------------------------------------------------------------------------

void VnRequestContext::beforeStart() {
    if (running_)
        plat::raise(plat::NSInternalInconsistencyException, "Request already started");
    running_ = true;
    selfReference_ = self<VnRequestContext>();
}

void VnRequestContext::abandonStart() {
    running_ = false;
    selfReference_.reset();
}

void VnRequestContext::start() {
    beforeStart();
    if (finishing_) {
        // Restarted from inside its own finish: the work begins on a later turn, after clean-up.
        auto me = self<VnRequestContext>();
        plat::RunLoop::current().perform([me] { me->coreStart(); }, 0, plat::defaultModes(), this,
                                         kDeferredStartAction);
    } else {
        coreStart();
    }
}

void VnRequestContext::startWithDelegate(const Ref<plat::Object>& delegate) {
    setDelegate(delegate);
    start();
}

void VnRequestContext::startWithDelegate(const Ref<plat::Object>& delegate,
                                         const std::string& selectorPrefix) {
    setDelegate(delegate, selectorPrefix);
    start();
}

void VnRequestContext::startWithDelegateUsingPrefixFromDidFinishSelector(
    const Ref<plat::Object>& delegate, plat::Selector didFinishSelector) {
    startWithDelegate(delegate, prefixFromSelector(didFinishSelector));
}

void VnRequestContext::startWithDidFinishBlock(DidFinishBlock block) {
    setDidFinishBlock(std::move(block));
    start();
}

void VnRequestContext::startWithResult(const Ref<VnRequestResult>& result) {
    beforeStart();
    coreQueueNotifyFinishWithResult(result);
}

void VnRequestContext::startWithProxyRequest(const Ref<VnRequestContext>& proxy) {
    if (running_)
        plat::raise(plat::NSInternalInconsistencyException, "Request already started");
    proxy_ = proxy;
    start();
}

// ---- Delegates --------------------------------------------------------------------------------

Ref<plat::Object> VnRequestContext::delegate() const {
    return delegate_.lock();
}

void VnRequestContext::releaseOwnedDelegate() {
    ownedDelegate_.reset();
    ownsDelegate_ = false;
}

void VnRequestContext::setDelegate(const Ref<plat::Object>& delegate) {
    if (delegate == delegate_.lock() && !delegate_.expired())
        return;
    releaseOwnedDelegate();
    delegate_ = delegate;
}

void VnRequestContext::setDelegate(const Ref<plat::Object>& delegate,
                                   const std::string& selectorPrefix) {
    releaseOwnedDelegate();
    auto delegator = std::make_shared<VndDelegator>(delegate, selectorPrefix);
    delegate_ = delegator;
    ownedDelegate_ = std::move(delegator);
    ownsDelegate_ = true;
}

void VnRequestContext::setDelegateUsingPrefixFromDidFinishSelector(
    const Ref<plat::Object>& delegate, plat::Selector didFinishSelector) {
    setDelegate(delegate, prefixFromSelector(didFinishSelector));
}

void VnRequestContext::setOwnsDelegate(bool owns) {
    ownsDelegate_ = owns;
    ownedDelegate_ = owns ? delegate_.lock() : nullptr;
}

std::string VnRequestContext::prefixFromSelector(plat::Selector sel) {
    const std::string& name = sel.name();
    const auto pos = name.find(VnRequestDidFinishSelector);
    if (pos == std::string::npos) {
        plat::raise(plat::NSInternalInconsistencyException, "Invalid selector");
    }
    return name.substr(0, pos);
}

// ---- Finishing --------------------------------------------------------------------------------

void VnRequestContext::coreNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    finishing_ = true;
    // Cleared on every exit, so that a misuse exception does not leave later starts deferred.
    struct ClearFinishing {
        bool& flag;
        ~ClearFinishing() { flag = false; }
    } clear{finishing_};
    if (pendingResult_)
        plat::raise(plat::NSInternalInconsistencyException, "Request already finished");
    coreNotifySelfDelegateWithResult(result);
}

void VnRequestContext::notifyDelegate(const Ref<plat::Object>& delegate,
                                      const Ref<VnRequestResult>& result) {
    if (plat::respondsToSelector(delegate, VnRequestDidFinishSelector)) {
        plat::send(delegate, VnRequestDidFinishSelector, self<VnRequestContext>(), result);
    }
    if (didFinishBlock_) {
        auto block = didFinishBlock_;  // the callback stays set, and may replace itself
        block(result, result ? result->returnValue() : plat::Value());
    }
}

void VnRequestContext::coreNotifySelfDelegateWithResult(const Ref<VnRequestResult>& result) {
    if (!running_)
        return;
    running_ = false;
    // The reference taken at start; a restart from a callback below takes a fresh one.
    Ref<VnRequestContext> startReference = std::move(selfReference_);
    auto keepAlive = self<VnRequestContext>();

    notifyDelegate(delegate(), result);

    const auto joints = jointRequests_;
    for (const auto& joint : joints) {
        joint->coreNotifyFinishWithResult(result);
        std::erase(jointRequests_, joint);
    }
    if (proxy_) {
        auto proxy = std::move(proxy_);
        proxy_.reset();
        proxy->coreNotifyFinishWithResult(result);
    }
    coreCleanUp();
    giveBackSelfReference(std::move(startReference));
}

void VnRequestContext::coreQueueNotifyFinishWithResult(const Ref<VnRequestResult>& result) {
    if (pendingResult_)
        plat::raise(plat::NSInternalInconsistencyException, "Result already queued");
    pendingResult_ = result;
    auto me = self<VnRequestContext>();
    plat::RunLoop::current().perform([me] { me->coreNotifyFinishWithPendingResult(); }, 0,
                                     plat::commonModes(), this, kQueuedFinishAction);
}

void VnRequestContext::coreNotifyFinishWithPendingResult() {
    auto result = std::move(pendingResult_);
    pendingResult_.reset();
    coreNotifyFinishWithResult(result);
}

void VnRequestContext::giveBackSelfReference(Ref<VnRequestContext> reference) {
    if (reference)
        plat::autorelease(std::move(reference));
}

// ---- Cancel and progress ------------------------------------------------------------------------

void VnRequestContext::cancel() {
    if (!running_)
        return;
    if (proxy_) {
        auto proxy = std::move(proxy_);
        proxy_.reset();
        proxy->cancel();
        plat::autorelease(std::move(proxy));
        if (!running_)
            return;  // cancelling the proxy cancelled this request
    }
    auto& loop = plat::RunLoop::current();
    loop.cancelPerforms(this, kQueuedFinishAction);
    loop.cancelPerforms(this, kDeferredStartAction);
    running_ = false;
    pendingResult_.reset();
    Ref<VnRequestContext> startReference = std::move(selfReference_);
    auto keepAlive = self<VnRequestContext>();
    coreCancel();
    coreCleanUp();
    giveBackSelfReference(std::move(startReference));
}

void VnRequestContext::cancelEndingJointRequests() {
    auto keepAlive = self<VnRequestContext>();
    const auto joints = std::exchange(jointRequests_, {});
    cancel();
    for (const auto& joint : joints)
        joint->coreNotifyFinishWithResult(VnRequestResult::cancel());
}

void VnRequestContext::coreReportProgress(VnRequestProgress progress) {
    if (proxy_)
        proxy_->coreReportProgress(progress);
    const auto joints = jointRequests_;
    for (const auto& joint : joints)
        joint->coreReportProgress(progress);
    auto target = delegate();
    if (plat::respondsToSelector(target, VnRequestProgressReportSelector)) {
        plat::send(target, VnRequestProgressReportSelector, self<VnRequestContext>(), progress);
    }
}

// ---- Joint requests -----------------------------------------------------------------------------

Ref<VnJointRequest> VnRequestContext::jointRequest() {
    return plat::autorelease(std::make_shared<VnJointRequest>(self<VnRequestContext>()));
}

Ref<VnRequestContext> VnRequestContext::requestWithResult(const Ref<VnRequestResult>& result) {
    return plat::autorelease(std::make_shared<VnCFRequestContext>(result));
}

void VnRequestContext::attachJointRequest(const Ref<VnJointRequest>& joint) {
    if (std::find(jointRequests_.begin(), jointRequests_.end(), joint) == jointRequests_.end()) {
        jointRequests_.push_back(joint);
    }
}

void VnRequestContext::detachJointRequest(const Ref<VnJointRequest>& joint) {
    std::erase(jointRequests_, joint);
}

void VnCFRequestContext::coreStart() {
    coreQueueNotifyFinishWithResult(requestResult_);
}

void VnJointRequest::coreStart() {
    mainRequest_->attachJointRequest(self<VnJointRequest>());
    if (!mainRequest_->running())
        mainRequest_->start();
}

void VnJointRequest::coreCancel() {
    mainRequest_->detachJointRequest(self<VnJointRequest>());
    if (mainRequest_->running() && mainRequest_->jointRequests().empty())
        mainRequest_->cancel();
}

void VnJointRequest::setCustomParams(Ref<plat::Dictionary> params) {
    mainRequest_->setCustomParams(std::move(params));
}
