#include "vnlib/dev/request/VnRequestManager.h"

#include <algorithm>

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/delegate/VndDelegator.h"

PLAT_DEFINE_CLASS(VnRequestManager, VnRequestContext, [](auto& c) {
    c.method("requestProxy:request:willNotify_didFinishWithResult:",
             &VnRequestManager::requestProxy_request_willNotify_didFinishWithResult)
        .method("requestProxy:request:didNotify_didFinishWithResult:",
                &VnRequestManager::requestProxy_request_didNotify_didFinishWithResult)
        .method("requestProxy:requestDidCancel:", &VnRequestManager::requestProxy_requestDidCancel)
        .method("subrequest_request:didFinishWithResult:",
                &VnRequestManager::subrequest_request_didFinishWithResult);
})

VnRequestManager::VnRequestManager(std::vector<Ref<VnRequestContext>> requests)
    : queuedRequests_(std::move(requests)) {
    std::erase(queuedRequests_, nullptr);
}

Ref<VnRequestManager> VnRequestManager::managerWithRequests(
    std::vector<Ref<VnRequestContext>> requests) {
    return plat::autorelease(std::make_shared<VnRequestManager>(std::move(requests)));
}

bool VnRequestManager::isQueuedOrActive(const Ref<VnRequestContext>& request) const {
    return std::find(queuedRequests_.begin(), queuedRequests_.end(), request) !=
               queuedRequests_.end() ||
           std::find(activeRequests_.begin(), activeRequests_.end(), request) !=
               activeRequests_.end();
}

void VnRequestManager::enqueueRequests(const std::vector<Ref<VnRequestContext>>& requests) {
    for (const auto& r : requests) {
        if (r)
            queuedRequests_.push_back(r);
    }
    if (running()) {
        fillQueue();
    } else if (autostart_) {
        start();
    }
}

void VnRequestManager::enqueueRequest(const Ref<VnRequestContext>& request) {
    if (!request || isQueuedOrActive(request))
        return;
    enqueueRequests({request});
}

void VnRequestManager::enqueueRequest(const Ref<VnRequestContext>& request,
                                      const plat::Value& requestId) {
    auto it = std::find_if(requestIdMap_.begin(), requestIdMap_.end(),
                           [&](const auto& e) { return e.first.equals(requestId); });
    if (it != requestIdMap_.end()) {
        it->second = request;
    } else {
        requestIdMap_.emplace_back(requestId, request);
    }
    enqueueRequest(request);
}

Ref<VnRequestContext> VnRequestManager::requestForId(const plat::Value& requestId) const {
    for (const auto& [key, request] : requestIdMap_) {
        if (key.equals(requestId))
            return request;
    }
    return nullptr;
}

bool VnRequestManager::prioritizeRequest(const Ref<VnRequestContext>& request) {
    auto it = std::find(queuedRequests_.begin(), queuedRequests_.end(), request);
    if (it == queuedRequests_.end())
        return false;
    std::rotate(queuedRequests_.begin(), it, it + 1);
    request->prioritize();
    return true;
}

void VnRequestManager::cancelAndClearQueue() {
    cancel();
    queuedRequests_.clear();
    requestIdMap_.clear();
}

void VnRequestManager::setSubrequestDelegate(const Ref<plat::Object>& delegate) {
    if (delegate == subrequestDelegate_.lock() && !subrequestDelegate_.expired())
        return;
    ownedSubrequestDelegate_.reset();
    ownsSubrequestDelegate_ = false;
    subrequestDelegate_ = delegate;
}

void VnRequestManager::setSubrequestDelegate(const Ref<plat::Object>& delegate,
                                             const std::string& prefix) {
    auto delegator = std::make_shared<VndDelegator>(delegate, prefix);
    subrequestDelegate_ = delegator;
    ownedSubrequestDelegate_ = std::move(delegator);
    ownsSubrequestDelegate_ = true;
}

void VnRequestManager::fillQueue() {
    // A negative limit, widened and compared unsigned, places no limit.
    const auto limit = static_cast<uint64_t>(static_cast<int64_t>(concurrentRequestCountLimit_));
    auto me = self<VnRequestManager>();
    while (running() && !queuedRequests_.empty() && activeRequests_.size() < limit) {
        auto request = queuedRequests_.front();
        queuedRequests_.erase(queuedRequests_.begin());
        activeRequests_.push_back(request);
        auto proxy = request->proxyWithProxyDelegate(me);
        proxy->setUserInfo(plat::Value(request));
        proxy->startWithDelegateUsingPrefixFromDidFinishSelector(
            me, "subrequest_request:didFinishWithResult:");
    }
    if (activeRequests_.empty() && queuedRequests_.empty()) {
        coreNotifyFinishWithResult(VnRequestResult::succeedResult());
    }
}

void VnRequestManager::removeRequest(const Ref<VnRequestContext>& request, bool checkRunning) {
    std::erase(activeRequests_, request);
    // A subrequest put back at the front of the queue by a cancel keeps its identifier.
    if (!cancelling_) {
        auto it = std::find_if(requestIdMap_.begin(), requestIdMap_.end(),
                               [&](const auto& e) { return e.second == request; });
        if (it != requestIdMap_.end())
            requestIdMap_.erase(it);
    }
    if (running()) {
        fillQueue();
    } else if (checkRunning) {
        VND_TRACE("Performance", "Request implementation defected for %s", description().c_str());
    }
}

void VnRequestManager::requestProxy_request_willNotify_didFinishWithResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult>) {
    if (removingFinishedRequestEarlier_)
        removeRequest(request, true);
}

void VnRequestManager::requestProxy_request_didNotify_didFinishWithResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult>) {
    if (!removingFinishedRequestEarlier_)
        removeRequest(request, true);
}

void VnRequestManager::requestProxy_requestDidCancel(Ref<VnRequestProxy2>,
                                                     Ref<VnRequestContext> request) {
    removeRequest(request, false);
}

void VnRequestManager::subrequest_request_didFinishWithResult(Ref<VnRequestContext> proxy,
                                                              Ref<VnRequestResult> result) {
    auto delegate = subrequestDelegate();
    if (plat::respondsToSelector(delegate, VnRequestDidFinishSelector)) {
        plat::send(delegate, VnRequestDidFinishSelector, proxy->userInfo().as<VnRequestContext>(),
                   result);
    }
}

void VnRequestManager::coreCancel() {
    cancelling_ = true;
    const auto running = activeRequests_;
    for (auto it = running.rbegin(); it != running.rend(); ++it) {
        (*it)->cancel();
        queuedRequests_.insert(queuedRequests_.begin(), *it);
    }
    activeRequests_.clear();
    cancelling_ = false;
}
