#include "external/ASIHTTPRequest.h"

#include <filesystem>

#include "external/ASIHTTPRequestErrors.h"

PLAT_DEFINE_CLASS(ASIHTTPRequest, plat::Operation, PLAT_NO_METHODS)

ASIHTTPRequest::ASIHTTPRequest(plat::Url url)
    : url_(std::move(url)), runLoopMode_(plat::kDefaultRunLoopMode) {}

Ref<ASIHTTPRequest> ASIHTTPRequest::requestWithURL(plat::Url url) {
    return std::make_shared<ASIHTTPRequest>(std::move(url));
}

// ---- Properties ---------------------------------------------------------------------------------

plat::Url ASIHTTPRequest::url() const {
    std::lock_guard lock(cancelledLock_);
    return url_;
}

void ASIHTTPRequest::setURL(plat::Url url) {
    std::lock_guard lock(cancelledLock_);
    url_ = std::move(url);
}

#define ASI_ATOMIC_PROPERTY(Type, getter, setter, field) \
    Type ASIHTTPRequest::getter() const {                \
        std::lock_guard lock(propertyMutex_);            \
        return field;                                    \
    }                                                    \
    void ASIHTTPRequest::setter(Type value) {            \
        std::lock_guard lock(propertyMutex_);            \
        field = std::move(value);                        \
    }

ASI_ATOMIC_PROPERTY(std::optional<std::string>, username, setUsername, username_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, password, setPassword, password_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, authenticationRealm, setAuthenticationRealm,
                    authenticationRealm_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyHost, setProxyHost, proxyHost_)
ASI_ATOMIC_PROPERTY(int32_t, proxyPort, setProxyPort, proxyPort_)
ASI_ATOMIC_PROPERTY(Ref<plat::Dictionary>, responseHeaders, setResponseHeaders, responseHeaders_)

#undef ASI_ATOMIC_PROPERTY

// ---- Throttling and the read stream -------------------------------------------------------------

void ASIHTTPRequest::performThrottling() {
    if (!readStream_)
        return;
    measureBandwidthUsage();
    if (isBandwidthThrottled()) {
        const auto wakeUp = throttleWakeUpTime();
        if (wakeUp && *wakeUp > plat::RunLoop::main().now()) {
            if (readStreamIsScheduled_)
                unscheduleReadStream();
        } else if (wakeUp && !readStreamIsScheduled_) {
            scheduleReadStream();
        }
    } else if (!readStreamIsScheduled_) {
        scheduleReadStream();
    }
}

void ASIHTTPRequest::performThrottlingOnStreamLoop() {
    std::shared_ptr<plat::RunLoop> loop;
    {
        std::lock_guard lock(propertyMutex_);
        loop = scheduledLoop_.lock();
    }
    if (!loop || loop.get() == &plat::RunLoop::current()) {
        performThrottling();
        return;
    }
    std::weak_ptr<ASIHTTPRequest> weak = weakSelf<ASIHTTPRequest>();
    loop->post(
        [weak] {
            if (auto me = weak.lock())
                me->performThrottling();
        },
        {runLoopMode_});
}

void ASIHTTPRequest::scheduleReadStream() {
    if (!readStream_ || readStreamIsScheduled_)
        return;
    noteRunningRequest(+1);
    lastActivityTime_ = plat::RunLoop::current().now();
    std::weak_ptr<ASIHTTPRequest> weak = weakSelf<ASIHTTPRequest>();
    readStream_->setClient(plat::Stream::HasBytesAvailable | plat::Stream::ErrorOccurred |
                               plat::Stream::EndEncountered,
                           [weak](plat::Stream&, plat::Stream::Event event) {
                               if (auto me = weak.lock())
                                   me->handleNetworkEvent(event);
                           });
    {
        std::lock_guard lock(propertyMutex_);
        scheduledLoop_ = plat::RunLoop::current().shared_from_this();
    }
    readStream_->scheduleInRunLoop(plat::RunLoop::current(), runLoopMode_);
    readStreamIsScheduled_ = true;
}

void ASIHTTPRequest::unscheduleReadStream() {
    if (!readStream_ || !readStreamIsScheduled_)
        return;
    noteRunningRequest(-1);
    readStream_->setClient(0, {});
    std::shared_ptr<plat::RunLoop> loop;
    {
        std::lock_guard lock(propertyMutex_);
        loop = scheduledLoop_.lock();
    }
    if (loop)
        readStream_->unscheduleFromRunLoop(*loop, runLoopMode_);
    readStreamIsScheduled_ = false;
}

void ASIHTTPRequest::destroyReadStream() {
    if (!readStream_)
        return;
    unscheduleReadStream();
    if (!connectionCanBeReused_)
        readStream_->close();
    readStream_.reset();
}

void ASIHTTPRequest::handleNetworkEvent(plat::Stream::Event) {}

bool ASIHTTPRequest::removeFileAtPath(const std::string& path, Ref<plat::Error>* error) {
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return true;
    if (std::filesystem::remove(path, code) && !code)
        return true;
    if (error) {
        *error = ASIMakeError(
            ASIFileManagementError, "Failed to delete file at path '" + path + "'",
            plat::Error::withDescription("NSPOSIXErrorDomain", code.value(), code.message()));
    }
    return false;
}
