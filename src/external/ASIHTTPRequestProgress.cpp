// The status check four times a second: throttling, bytes sent, time-outs with retries, and
// progress to the receivers, the queue object and the blocks, always on the main thread.
#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "external/ASIHTTPRequestMessages.h"

void ASIHTTPRequest::setStatusTimer(Ref<plat::Timer> timer) {
    auto keep = self<ASIHTTPRequest>();
    if (statusTimer_ && statusTimer_ != timer)
        statusTimer_->invalidate();
    statusTimer_ = std::move(timer);
}

void ASIHTTPRequest::updateStatus() {
    auto keep = self<ASIHTTPRequest>();
    checkRequestStatus();
    if (!inProgress())
        setStatusTimer(nullptr);
}

void ASIHTTPRequest::checkRequestStatus() {
    auto keep = self<ASIHTTPRequest>();
    CancelledLockHolder lock(*this);
    if (cancelled_ || complete())
        return;
    performThrottling();
    if (shouldTimeOut()) {
        if (numberOfTimesToRetryOnTimeout() <= retryCount()) {
            failWithError(requestTimedOutError());
            cancelLoad();
            setComplete(true);
            return;
        }
        updatePartialDownloadSize();
        if (partialDownloadSize() != 0 && request_)
            request_->setHeaderFieldValue("Range",
                                          "bytes=" + std::to_string(partialDownloadSize()) + "-");
        setRetryCount(retryCount() + 1);
        unscheduleReadStream();
        lock.unlock();
        startRequest();
        return;
    }
    if (readStream_) {
        if (postLength() != 0) {
            lastBytesSent_ = totalBytesSent();
            setTotalBytesSent(readStream_->requestBytesWritten());
            // The body's bytes were counted against the bandwidth window as the metered body
            // stream read them; counting them again as sent would spend each window twice and
            // hold a throttled upload to half its limit.
            if (totalBytesSent() > lastBytesSent_)
                lastActivityTime_ = plat::RunLoop::current().now();
        }
        updateProgressIndicators();
    }
}

bool ASIHTTPRequest::shouldTimeOut() {
    if (!readStream_ || !readStreamIsScheduled_ || !lastActivityTime_ || timeOutSeconds() <= 0)
        return false;
    const double elapsed = plat::RunLoop::current().now() - *lastActivityTime_;
    if (elapsed <= timeOutSeconds())
        return false;
    if (postLength() == 0 || (uploadBufferSize_ != 0 && totalBytesSent() > uploadBufferSize_))
        return true;
    return elapsed > 1.5 * timeOutSeconds();
}

// ---- Progress -----------------------------------------------------------------------------------

void ASIHTTPRequest::updateProgressIndicators() {
    if (mainRequest())
        return;
    if (showAccurateProgress() || (complete() && !updatedProgress_)) {
        updateUploadProgress();
        updateDownloadProgress();
    }
}

void ASIHTTPRequest::updateUploadProgress() {
    if (isCancelled() || totalBytesSent() == 0)
        return;
    if (uploadBufferSize_ == 0 && totalBytesSent() != postLength()) {
        uploadBufferSize_ = totalBytesSent();
        incrementUploadSizeBy(-static_cast<int64_t>(uploadBufferSize_));
    }
    int64_t amount = 1;
    if (showAccurateProgress()) {
        if (totalBytesSent() != postLength() && lastBytesSent_ == 0)
            return;
        amount = static_cast<int64_t>(totalBytesSent() - lastBytesSent_);
    } else {
        updatedProgress_ = true;
    }
    if (amount == 0)
        return;
    auto me = self<ASIHTTPRequest>();
    for (Receiver receiver : {Receiver::Queue, Receiver::Upload}) {
        deliver(receiver, ASIHTTPRequestQueueMessages::kDidSendBytes.text(),
                [me, amount](const Ref<plat::Object>& target) {
                    plat::send(target, ASIHTTPRequestQueueMessages::kDidSendBytes, me, amount);
                });
    }
    deliverFraction(Receiver::Upload, totalBytesSent() - uploadBufferSize_,
                    postLength() - std::min(postLength(), uploadBufferSize_));
    const uint64_t total = postLength();
    onMainThread([me, amount, total] {
        std::function<void(uint64_t, uint64_t)> block;
        {
            std::lock_guard lock(me->propertyMutex_);
            block = me->bytesSentBlock_;
        }
        if (block)
            block(static_cast<uint64_t>(amount), total);
    });
}

void ASIHTTPRequest::updateDownloadProgress() {
    if (!responseHeaders() || needsRedirect_)
        return;
    if (contentLength() == 0 && !complete())
        return;
    const uint64_t soFar = totalBytesRead() + partialDownloadSize();
    uint64_t amount = 1;
    if (showAccurateProgress() && contentLength() != 0) {
        amount = soFar - lastBytesRead_;
        if (amount == 0)
            return;
    } else {
        updatedProgress_ = true;
    }
    auto me = self<ASIHTTPRequest>();
    for (Receiver receiver : {Receiver::Queue, Receiver::Download}) {
        deliver(receiver, ASIHTTPRequestQueueMessages::kDidReceiveBytes.text(),
                [me, amount](const Ref<plat::Object>& target) {
                    plat::send(target, ASIHTTPRequestQueueMessages::kDidReceiveBytes, me, amount);
                });
    }
    const uint64_t total = contentLength() + partialDownloadSize();
    deliverFraction(Receiver::Download, soFar, total);
    onMainThread([me, amount, total] {
        std::function<void(uint64_t, uint64_t)> block;
        {
            std::lock_guard lock(me->propertyMutex_);
            block = me->bytesReceivedBlock_;
        }
        if (block)
            block(amount, total);
    });
    lastBytesRead_ = soFar;
}

void ASIHTTPRequest::incrementUploadSizeBy(int64_t amount) {
    auto me = self<ASIHTTPRequest>();
    for (Receiver receiver : {Receiver::Queue, Receiver::Upload}) {
        deliver(receiver, ASIHTTPRequestQueueMessages::kIncrementUploadSizeBy.text(),
                [me, amount](const Ref<plat::Object>& target) {
                    plat::send(target, ASIHTTPRequestQueueMessages::kIncrementUploadSizeBy, me,
                               amount);
                });
    }
    onMainThread([me, amount] {
        std::function<void(int64_t)> block;
        {
            std::lock_guard lock(me->propertyMutex_);
            block = me->uploadSizeIncrementedBlock_;
        }
        if (block)
            block(amount);
    });
}

void ASIHTTPRequest::incrementDownloadSizeBy(int64_t amount) {
    auto me = self<ASIHTTPRequest>();
    for (Receiver receiver : {Receiver::Queue, Receiver::Download}) {
        deliver(receiver, ASIHTTPRequestQueueMessages::kIncrementDownloadSizeBy.text(),
                [me, amount](const Ref<plat::Object>& target) {
                    plat::send(target, ASIHTTPRequestQueueMessages::kIncrementDownloadSizeBy, me,
                               amount);
                });
    }
    onMainThread([me, amount] {
        std::function<void(int64_t)> block;
        {
            std::lock_guard lock(me->propertyMutex_);
            block = me->downloadSizeIncrementedBlock_;
        }
        if (block)
            block(amount);
    });
}

void ASIHTTPRequest::removeUploadProgressSoFar() {
    const int64_t amount = -static_cast<int64_t>(totalBytesSent());
    auto me = self<ASIHTTPRequest>();
    for (Receiver receiver : {Receiver::Queue, Receiver::Upload}) {
        deliver(receiver, ASIHTTPRequestQueueMessages::kDidSendBytes.text(),
                [me, amount](const Ref<plat::Object>& target) {
                    plat::send(target, ASIHTTPRequestQueueMessages::kDidSendBytes, me, amount);
                });
    }
    deliverFraction(Receiver::Upload, 0, postLength());
    const uint64_t total = postLength();
    onMainThread([me, amount, total] {
        std::function<void(uint64_t, uint64_t)> block;
        {
            std::lock_guard lock(me->propertyMutex_);
            block = me->bytesSentBlock_;
        }
        if (block)
            block(static_cast<uint64_t>(amount), total);
    });
}

// ---- Receivers ----------------------------------------------------------------------------------

Ref<plat::Object> ASIHTTPRequest::uploadProgressDelegate() const {
    CancelledLockHolder lock(*this);
    return uploadProgressDelegate_.lock();
}

void ASIHTTPRequest::setUploadProgressDelegate(const Ref<plat::Object>& receiver) {
    {
        CancelledLockHolder lock(*this);
        uploadProgressDelegate_ = receiver;
    }
    deliver(Receiver::Upload, ASIProgressIndicatorMessages::kSetMaxValue.text(),
            [](const Ref<plat::Object>& target) {
                plat::send(target, ASIProgressIndicatorMessages::kSetMaxValue, 1.0);
            });
}

Ref<plat::Object> ASIHTTPRequest::downloadProgressDelegate() const {
    CancelledLockHolder lock(*this);
    return downloadProgressDelegate_.lock();
}

void ASIHTTPRequest::setDownloadProgressDelegate(const Ref<plat::Object>& receiver) {
    {
        CancelledLockHolder lock(*this);
        downloadProgressDelegate_ = receiver;
    }
    deliver(Receiver::Download, ASIProgressIndicatorMessages::kSetMaxValue.text(),
            [](const Ref<plat::Object>& target) {
                plat::send(target, ASIProgressIndicatorMessages::kSetMaxValue, 1.0);
            });
}

void ASIHTTPRequest::deliver(Receiver receiver, const std::string& selector,
                             std::function<void(const Ref<plat::Object>&)> send) {
    // The receiver is looked up again on the main thread: a receiver cleared meanwhile gets
    // nothing. The pending delivery keeps the request alive.
    auto me = self<ASIHTTPRequest>();
    onMainThread([me, receiver, selector, send = std::move(send)] {
        Ref<plat::Object> target = receiver == Receiver::Upload     ? me->uploadProgressDelegate()
                                   : receiver == Receiver::Download ? me->downloadProgressDelegate()
                                                                    : me->queue();
        if (target && plat::respondsToSelector(target, plat::Selector(selector)))
            send(target);
    });
}

void ASIHTTPRequest::deliverFraction(Receiver receiver, uint64_t progress, uint64_t total) {
    const double fraction =
        total == 0 ? 0.0 : static_cast<double>(progress) / static_cast<double>(total);
    deliver(receiver, ASIProgressIndicatorMessages::kSetDoubleValue.text(),
            [fraction](const Ref<plat::Object>& target) {
                plat::send(target, ASIProgressIndicatorMessages::kSetDoubleValue, fraction);
            });
}

Ref<ASIHTTPRequest> ASIHTTPRequest::HEADRequest() const {
    auto twin = makeEmptyCopy();
    if (auto headers = requestHeaders()) {
        headers->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
            if (key.string() && value.string())
                twin->addRequestHeader(*key.string(), *value.string());
            return true;
        });
    }
    twin->setRequestCookies(requestCookies());
    twin->setUseCookiePersistence(useCookiePersistence());
    twin->setUseKeychainPersistence(useKeychainPersistence());
    twin->setUseSessionPersistence(useSessionPersistence());
    twin->setAllowCompressedResponse(allowCompressedResponse());
    twin->setUsername(username());
    twin->setPassword(password());
    twin->setDomain(domain());
    twin->setProxyUsername(proxyUsername());
    twin->setProxyPassword(proxyPassword());
    twin->setProxyDomain(proxyDomain());
    twin->setProxyHost(proxyHost());
    twin->setProxyPort(proxyPort());
    twin->setProxyType(proxyType());
    twin->setShouldPresentAuthenticationDialog(shouldPresentAuthenticationDialog());
    twin->setShouldPresentProxyAuthenticationDialog(shouldPresentProxyAuthenticationDialog());
    twin->setTimeOutSeconds(timeOutSeconds());
    twin->setUseHTTPVersionOne(useHTTPVersionOne());
    twin->setValidatesSecureCertificate(validatesSecureCertificate());
    twin->setShouldPresentCredentialsBeforeChallenge(shouldPresentCredentialsBeforeChallenge());
    twin->setNumberOfTimesToRetryOnTimeout(numberOfTimesToRetryOnTimeout());
    twin->setShouldUseRFC2616RedirectBehaviour(shouldUseRFC2616RedirectBehaviour());
    twin->setShouldAttemptPersistentConnection(shouldAttemptPersistentConnection());
    twin->setPersistentConnectionTimeoutSeconds(persistentConnectionTimeoutSeconds());
    twin->setMainRequest(std::const_pointer_cast<ASIHTTPRequest>(self<ASIHTTPRequest>()));
    {
        CancelledLockHolder lock(*twin);
        twin->requestMethod_ = "HEAD";
    }
    return twin;
}
