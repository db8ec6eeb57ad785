// Telling the delegate, the blocks and the queue what happens to a request, on the main
// thread; failing a request once.
#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "external/ASIHTTPRequestMessages.h"
#include "platform/core/Object.h"

namespace {

// A delegate's selector with the request (and one more argument), when it answers it.
template <class... A>
void tell(const Ref<plat::Object>& target, const std::string& selector, A&&... args) {
    if (target && !selector.empty())
        plat::sendIfResponds(target, plat::Selector(selector), std::forward<A>(args)...);
}

template <class S, class... A>
void tell(const Ref<plat::Object>& target, const plat::Message<S>& message, A&&... args) {
    if (target)
        plat::sendIfResponds(target, message, std::forward<A>(args)...);
}

}  // namespace

void ASIHTTPRequest::requestStarted() {
    if (error() || mainRequest())
        return;
    auto me = self<ASIHTTPRequest>();
    tell(delegate(), didStartSelector(), me);
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = startedBlock_;
    }
    if (block)
        block();
    tell(queue(), ASIHTTPRequestQueueMessages::kStarted, me);
}

void ASIHTTPRequest::requestReceivedResponseHeaders(const Ref<plat::Dictionary>& headers) {
    if (error() || mainRequest())
        return;
    auto me = self<ASIHTTPRequest>();
    const plat::Value value = plat::Value::fromObject(headers);
    tell(delegate(), didReceiveResponseHeadersSelector(), me, value);
    std::function<void(Ref<plat::Dictionary>)> block;
    {
        std::lock_guard lock(propertyMutex_);
        block = headersReceivedBlock_;
    }
    if (block)
        block(headers);
    tell(queue(), ASIHTTPRequestQueueMessages::kDidReceiveResponseHeaders, me, value);
}

void ASIHTTPRequest::requestWillRedirectToURL(const plat::Url& url) {
    if (error() || mainRequest())
        return;
    auto me = self<ASIHTTPRequest>();
    const plat::Value text(url.absoluteString());
    tell(delegate(), willRedirectSelector(), me, text);
    tell(queue(), ASIHTTPRequestQueueMessages::kWillRedirectToURL, me, text);
}

void ASIHTTPRequest::requestRedirected() {
    if (error() || mainRequest())
        return;
    tell(delegate(), ASIHTTPRequestDelegateMessages::kRedirected, self<ASIHTTPRequest>());
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = requestRedirectedBlock_;
    }
    if (block)
        block();
}

void ASIHTTPRequest::passOnReceivedData(const plat::Bytes& data) {
    tell(delegate(), didReceiveDataSelector(), self<ASIHTTPRequest>(), plat::Value(data));
    std::function<void(const plat::Bytes&)> block;
    {
        std::lock_guard lock(propertyMutex_);
        block = dataReceivedBlock_;
    }
    if (block)
        block(data);
}

void ASIHTTPRequest::requestFinished() {
    if (error() || mainRequest())
        return;
    auto me = self<ASIHTTPRequest>();
    if (isPACFileRequest_)
        reportFinished();
    else
        onMainThread([me] { me->reportFinished(); });
}

void ASIHTTPRequest::reportFinished() {
    auto me = self<ASIHTTPRequest>();
    tell(delegate(), didFinishSelector(), me);
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = completionBlock_;
    }
    if (block)
        block();
    tell(queue(), ASIHTTPRequestQueueMessages::kFinished, me);
}

void ASIHTTPRequest::reportFailure() {
    auto me = self<ASIHTTPRequest>();
    tell(delegate(), didFailSelector(), me);
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = failureBlock_;
    }
    if (block)
        block();
    tell(queue(), ASIHTTPRequestQueueMessages::kFailed, me);
}

void ASIHTTPRequest::failWithError(Ref<plat::Error> theError) {
    auto keep = self<ASIHTTPRequest>();
    setComplete(true);
    if (theError && theError->code() != ASIAuthenticationErrorType &&
        theError->code() != ASITooMuchRedirectionErrorType) {
        dropConnectionEntry();
        destroyReadStream();
    }
    if (connectionCanBeReused_) {
        if (auto info = connectionInfo())
            info->setObject(plat::Value(plat::Date{plat::Date::now().seconds +
                                                   persistentConnectionTimeoutSeconds()}),
                            "expires");
    }
    if (isCancelled() || error())
        return;
    if (auto cache = downloadCache();
        cache && (cachePolicy() & 64) && cache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return;
    }
    setError(theError);
    Ref<ASIHTTPRequest> reported = keep;
    if (auto main = mainRequest()) {
        main->setError(theError);
        reported = main;
    }
    if (isPACFileRequest_)
        reported->reportFailure();
    else
        onMainThread([reported] { reported->reportFailure(); });
    if (inProgress())
        markAsFinished();
}

void ASIHTTPRequest::markAsFinished() {
    auto keep = self<ASIHTTPRequest>();
    request_.reset();
    requestAuthentication_.reset();
    proxyAuthentication_.reset();
    const bool wasInProgress = inProgress();
    const bool wasFinished = isFinished();
    if (!wasFinished)
        willChangeValueForKey("isFinished");
    if (wasInProgress)
        willChangeValueForKey("isExecuting");
    setInProgress(false);
    {
        std::lock_guard lock(propertyMutex_);
        finished_ = true;
    }
    if (wasInProgress)
        didChangeValueForKey("isExecuting");
    if (!wasFinished)
        didChangeValueForKey("isFinished");
}
