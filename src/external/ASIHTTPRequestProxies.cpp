// Which proxy a request goes through: its own settings, a proxy auto-configuration script it
// or the system names (read from a file or fetched by a request of its own, then run), or the
// system's proxies for its URL.
#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "platform/net/PacEvaluator.h"
#include "platform/net/ProxySettings.h"

namespace {

std::string proxyTypeName(plat::ProxyEntry::Type type) {
    switch (type) {
        case plat::ProxyEntry::Type::Http:
            return "kCFProxyTypeHTTP";
        case plat::ProxyEntry::Type::Https:
            return "kCFProxyTypeHTTPS";
        case plat::ProxyEntry::Type::Socks:
            return "kCFProxyTypeSOCKS";
        case plat::ProxyEntry::Type::AutoConfigurationUrl:
            return "kCFProxyTypeAutoConfigurationURL";
        case plat::ProxyEntry::Type::None:
            break;
    }
    return "kCFProxyTypeNone";
}

}  // namespace

std::optional<plat::Url> ASIHTTPRequest::PACurl() const {
    std::lock_guard lock(propertyMutex_);
    return PACurl_;
}

void ASIHTTPRequest::setPACurl(std::optional<plat::Url> url) {
    std::lock_guard lock(propertyMutex_);
    PACurl_ = std::move(url);
}

std::optional<int32_t> ASIHTTPRequest::connectionID() const {
    const auto info = connectionInfo();
    if (!info)
        return std::nullopt;
    return info->objectForKey("id").intValue();
}

bool ASIHTTPRequest::configureProxies() {
    if (isPACFileRequest_ || proxyHost() || proxyPort() != 0)
        return true;
    if (PACurl()) {
        fetchPACFile();
        return false;
    }
    const auto settings = plat::ProxySettings::systemSettings();
    const auto proxies = plat::ProxySettings::proxiesForUrl(url(), *settings);
    if (!proxies || proxies->empty()) {
        readStream_.reset();
        failWithError(ASIMakeError(ASIInternalErrorWhileBuildingRequestType,
                                   "Unable to obtain information on proxy servers needed for "
                                   "request"));
        return false;
    }
    const auto& first = proxies->front();
    if (first.type == plat::ProxyEntry::Type::AutoConfigurationUrl) {
        setPACurl(plat::Url::parse(first.autoConfigurationUrl));
        fetchPACFile();
        return false;
    }
    setProxyHost(first.host.empty() ? std::nullopt : std::optional(first.host));
    setProxyPort(first.port);
    setProxyType(proxyTypeName(first.type));
    return true;
}

void ASIHTTPRequest::fetchPACFile() {
    const auto script = PACurl();
    if (!script) {
        startRequest();
        return;
    }
    if (script->scheme() == "file") {
        PACFileReadStream_ = plat::InputStream::inputStreamWithFileAtPath(
            plat::Url::percentDecode(script->path()).value_or(script->path()));
        std::weak_ptr<ASIHTTPRequest> weak = weakSelf<ASIHTTPRequest>();
        PACFileReadStream_->setClient(~0U, [weak](plat::Stream&, plat::Stream::Event event) {
            if (auto me = weak.lock())
                me->handlePACStreamEvent(event);
        });
        PACFileReadStream_->scheduleInRunLoop(plat::RunLoop::current(), runLoopMode_);
        PACFileReadStream_->open();
        plat::RunLoop::current().perform(
            [weak] {
                if (auto me = weak.lock())
                    me->timeOutPACRead();
            },
            timeOutSeconds(), {runLoopMode_}, this, "timeOutPACRead");
        return;
    }
    if (script->scheme() != "http" && script->scheme() != "https") {
        startRequest();
        return;
    }
    auto fetch = ASIHTTPRequest::requestWithURL(*script);
    fetch->setIsPACFileRequest(true);
    fetch->setTimeOutSeconds(timeOutSeconds());
    if (isSynchronous_) {
        fetch->startSynchronous();
        if (!fetch->error())
            runPACScript(fetch->responseString());
        startRequest();
        return;
    }
    PACFileRequest_ = fetch;
    fetch->setQueuePriority(plat::Operation::High);
    fetch->setDelegate(self<ASIHTTPRequest>());
    fetch->setDidFinishSelector("finishedDownloadingPACFile:");
    fetch->setDidFailSelector("finishedDownloadingPACFile:");
    fetch->startAsynchronous();
    // The script's request may run while the queue is full of requests waiting for it.
    adjustSharedQueueWidth(+1);
}

void ASIHTTPRequest::handlePACStreamEvent(plat::Stream::Event event) {
    if (!PACFileReadStream_)
        return;
    if (event == plat::Stream::HasBytesAvailable) {
        if (!PACFileData_)
            PACFileData_ = plat::Bytes{};
        uint8_t buffer[16384];
        const int64_t n = PACFileReadStream_->read(buffer, sizeof buffer);
        if (n > 0)
            PACFileData_->insert(PACFileData_->end(), buffer, buffer + n);
        return;
    }
    if (event != plat::Stream::ErrorOccurred && event != plat::Stream::EndEncountered)
        return;
    plat::RunLoop::current().cancelPerforms(this, "timeOutPACRead");
    PACFileReadStream_->close();
    PACFileReadStream_->unscheduleFromRunLoop(plat::RunLoop::current(), runLoopMode_);
    PACFileReadStream_.reset();
    if (event == plat::Stream::EndEncountered && PACFileData_) {
        auto text = plat::TextEncoding::decode(*PACFileData_, plat::NSUTF8StringEncoding);
        if (!text)
            text = plat::TextEncoding::decode(*PACFileData_, plat::NSISOLatin1StringEncoding);
        if (text)
            runPACScript(text);
    }
    PACFileData_.reset();
    startRequest();
}

void ASIHTTPRequest::timeOutPACRead() {
    handlePACStreamEvent(plat::Stream::ErrorOccurred);
}

void ASIHTTPRequest::runPACScript(const std::optional<std::string>& script) {
    if (!script)
        return;
    const auto result = plat::PacEvaluator::proxiesForUrl(*script, url());
    if (result.error || !result.proxies || result.proxies->empty())
        return;
    const auto& first = result.proxies->front();
    setProxyHost(first.host.empty() ? std::nullopt : std::optional(first.host));
    setProxyPort(first.port);
    setProxyType(proxyTypeName(first.type));
}

void ASIHTTPRequest::finishedDownloadingPACFile(Ref<plat::Object> scriptRequest) {
    auto fetch = std::dynamic_pointer_cast<ASIHTTPRequest>(scriptRequest);
    std::optional<std::string> script;
    if (fetch && !fetch->error())
        script = fetch->responseString();
    // Carried on once the script request has let go of its own lock.
    auto me = self<ASIHTTPRequest>();
    plat::RunLoop::current().perform([me, script] {
        me->runPACScript(script);
        adjustSharedQueueWidth(-1);
        me->PACFileRequest_.reset();
        me->startRequest();
    });
}
