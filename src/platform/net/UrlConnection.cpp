#include "platform/net/UrlConnection.h"

#include <algorithm>

#include "platform/core/Exception.h"
#include "platform/net/CurlTransfer.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/NetText.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/ProxySettings.h"
#include "platform/net/UrlError.h"

namespace plat {
namespace {

// The request the connection sends for a redirect to `target`.
UrlRequest requestForRedirect(const UrlRequest& current, int status, const Url& target) {
    UrlRequest next = current;
    next.setUrl(target);
    const std::string& method = current.httpMethod();
    const bool toGet = (status == 303 && method != "HEAD") ||
                       ((status == 301 || status == 302) && method == "POST");
    if (toGet) {
        next.setHttpMethod("GET");
        next.setHttpBody(Bytes());
        next.setValueForHttpHeaderField(std::nullopt, "Content-Type");
        next.setValueForHttpHeaderField(std::nullopt, "Content-Length");
    }
    const bool sameOrigin = net_text::equalsIgnoringCase(current.url().host(), target.host()) &&
                            current.url().scheme() == target.scheme() &&
                            current.url().effectivePort() == target.effectivePort();
    if (!sameOrigin) {
        next.setValueForHttpHeaderField(std::nullopt, "Authorization");
        next.setValueForHttpHeaderField(std::nullopt, "Cookie");
    }
    return next;
}

bool isWebScheme(const Url& url) {
    return url.scheme() == "http" || url.scheme() == "https";
}

// The response head as a message the authentication objects read.
std::optional<HttpMessage> challengeMessage(const HttpUrlResponse& response) {
    HttpMessage message = HttpMessage::emptyResponse();
    std::string reason;
    if (!message.appendHeaderLine("HTTP/1.1 " + std::to_string(response.statusCode()) + " Auth",
                                  &reason)) {
        return std::nullopt;
    }
    for (const auto& [name, value] : response.allHeaderFields()) {
        if (!message.appendHeaderLine(name + ": " + value, &reason))
            return std::nullopt;
    }
    if (!message.appendHeaderLine("", &reason))
        return std::nullopt;
    return message;
}

const char* methodName(const std::string& scheme) {
    if (scheme == "Basic")
        return NSURLAuthenticationMethodHTTPBasic;
    if (scheme == "Digest")
        return NSURLAuthenticationMethodHTTPDigest;
    if (scheme == "NTLM")
        return NSURLAuthenticationMethodNTLM;
    if (scheme == "Negotiate")
        return NSURLAuthenticationMethodNegotiate;
    return NSURLAuthenticationMethodDefault;
}

ProtectionSpace spaceFor(const Url& url, std::string realm, std::string method) {
    ProtectionSpace space;
    space.host = url.host();
    space.port = url.effectivePort();
    space.protocol = url.scheme();
    space.realm = std::move(realm);
    space.authenticationMethod = std::move(method);
    return space;
}

// The space of the proxy that asked (407): the first proxy the settings give for the URL, the
// one the transfer went through.
ProtectionSpace proxySpaceFor(const Url& url, std::string realm, std::string method) {
    ProtectionSpace space;
    space.proxy = true;
    space.protocol = "http";
    space.realm = std::move(realm);
    space.authenticationMethod = std::move(method);
    if (const auto settings = ProxySettings::systemSettings()) {
        for (const auto& entry :
             ProxySettings::proxiesForUrl(url, *settings).value_or(std::vector<ProxyEntry>{})) {
            if (entry.type == ProxyEntry::Type::Http || entry.type == ProxyEntry::Type::Https) {
                space.host = entry.host;
                space.port = entry.port;
                space.protocol = entry.type == ProxyEntry::Type::Https ? "https" : "http";
                break;
            }
        }
    }
    return space;
}

}  // namespace

std::optional<UrlRequest> UrlConnectionDelegate::willSendRequest(UrlConnection&,
                                                                 const UrlRequest& request,
                                                                 const HttpUrlResponse&) {
    return request;
}
void UrlConnectionDelegate::didReceiveResponse(UrlConnection&, const HttpUrlResponse&) {}
void UrlConnectionDelegate::didReceiveData(UrlConnection&, const Bytes&) {}
void UrlConnectionDelegate::didFinishLoading(UrlConnection&) {}
void UrlConnectionDelegate::didFailWithError(UrlConnection&, const Ref<Error>&) {}

bool UrlConnectionDelegate::canAuthenticateAgainstProtectionSpace(UrlConnection&,
                                                                  const ProtectionSpace& space) {
    return space.authenticationMethod != NSURLAuthenticationMethodServerTrust &&
           space.authenticationMethod != NSURLAuthenticationMethodClientCertificate;
}

void UrlConnectionDelegate::didReceiveAuthenticationChallenge(
    UrlConnection& connection, const UrlAuthenticationChallenge& challenge) {
    if (challenge.previousFailureCount == 0 && challenge.proposedCredential) {
        connection.useCredential(*challenge.proposedCredential, challenge);
    } else {
        connection.continueWithoutCredential(challenge);
    }
}

bool UrlConnectionDelegate::connectionShouldUseCredentialStorage(UrlConnection&) {
    return true;
}

Ref<InputStream> UrlConnectionDelegate::needNewBodyStream(UrlConnection&,
                                                          const UrlRequest& request) {
    const auto& stream = request.httpBodyStream();
    return stream ? stream->copyStream() : nullptr;
}

void UrlConnectionDelegate::didSendBodyData(UrlConnection&, int64_t, int64_t, int64_t) {}

std::optional<CachedUrlResponse> UrlConnectionDelegate::willCacheResponse(
    UrlConnection&, const CachedUrlResponse& response) {
    return response;
}

Ref<UrlConnection> UrlConnection::make(UrlRequest request,
                                       WeakRef<UrlConnectionDelegate> delegate) {
    return std::make_shared<UrlConnection>(Private{}, std::move(request), std::move(delegate));
}

UrlConnection::UrlConnection(Private, UrlRequest request, WeakRef<UrlConnectionDelegate> delegate)
    : originalRequest_(request),
      currentRequest_(std::move(request)),
      delegate_(std::move(delegate)) {}

UrlConnection::~UrlConnection() = default;

void UrlConnection::scheduleInRunLoop(RunLoop& loop, const std::string& mode) {
    scheduleInRunLoop(loop, Modes{mode});
}

void UrlConnection::scheduleInRunLoop(RunLoop& loop, const Modes& modes) {
    if (loop_ && loop_ != &loop) {
        raise(NSInvalidArgumentException, "A connection is scheduled on one run loop only");
    }
    loop_ = &loop;
    for (const auto& mode : modes) {
        if (std::find(modes_.begin(), modes_.end(), mode) == modes_.end())
            modes_.push_back(mode);
    }
}

void UrlConnection::start() {
    if (started_ || cancelled_)
        return;
    started_ = true;
    if (!loop_ || modes_.empty())
        scheduleInRunLoop(RunLoop::current(), kDefaultRunLoopMode);
    launch();
}

void UrlConnection::cancel() {
    if (cancelled_.exchange(true))
        return;
    closeChallenge();
    // Dropping the transfer's listener may drop the last other reference to this connection.
    const auto keepAlive = weak_from_this().lock();
    if (transfer_) {
        transfer_->detach();
        NetworkThread::shared().remove(transfer_);
        transfer_.reset();
    }
}

size_t UrlConnection::undeliveredByteCount() const {
    const auto transfer = transfer_;
    return transfer ? transfer->undeliveredBytes() : 0;
}

void UrlConnection::setTimeoutScaleForTesting(double scale) {
    CurlTransfer::setTimeoutScale(scale);
}

void UrlConnection::launch() {
    const UrlRequest& request = currentRequest_;
    const Url& url = request.url();
    TransferEvent failure;
    failure.kind = TransferEvent::Kind::Fail;
    if (!url.isValid()) {
        failure.error = makeUrlError(NSURLErrorBadURL, url);
        post(std::move(failure));
        return;
    }
    if (!isWebScheme(url)) {
        failure.error = makeUrlError(NSURLErrorUnsupportedURL, url);
        post(std::move(failure));
        return;
    }
    if (request.httpBodyStream()) {
        if (bodyStreamUsed_) {
            failure.error = makeUrlError(NSURLErrorRequestBodyStreamExhausted, url);
            post(std::move(failure));
            return;
        }
        bodyStreamUsed_ = true;
    }
    std::optional<std::string> cookies;
    if (request.httpShouldHandleCookies() && !request.valueForHttpHeaderField("Cookie")) {
        cookies = HttpCookieStorage::shared().cookieHeaderForURL(url);
    }
    // The listener runs on the network thread: it captures what it needs by value, and the loop
    // weakly (a loop whose thread has ended refuses posts).
    auto listener = [self = shared_from_this(), weakLoop = loop_->weak_from_this(), modes = modes_,
                     generation = ++generation_](TransferEvent event) {
        if (const auto loop = weakLoop.lock()) {
            loop->post(
                [self, generation, event = std::move(event)]() mutable {
                    if (generation == self->generation_)
                        self->deliver(event);
                },
                modes);
        }
    };
    transfer_ = CurlTransfer::make(request, std::move(cookies), std::move(listener), trustServer_);
    if (!transfer_) {
        failure.error = makeUrlError(NSURLErrorUnknown, url, "The request cannot be sent.");
        post(std::move(failure));
        return;
    }
    NetworkThread::shared().add(transfer_);
}

void UrlConnection::post(TransferEvent event) {
    loop_->post(
        [self = shared_from_this(), generation = generation_.load(),
         event = std::move(event)]() mutable {
            if (generation == self->generation_)
                self->deliver(event);
        },
        modes_);
}

void UrlConnection::deliver(TransferEvent& event) {
    if (cancelled_ || finished_)
        return;
    const auto delegate = delegate_.lock();
    if (!delegate) {
        // Nobody listens any more.
        cancel();
        return;
    }
    if (challenge_) {
        // The transfer goes on while its challenge waits for an answer.
        held_.push_back(std::move(event));
        return;
    }
    switch (event.kind) {
        case TransferEvent::Kind::Response:
            if (challenge(event, *delegate))
                return;
            if (appliedCredential_ && appliedSpace_) {
                // Accepted: keep the credential as its space's default.
                if (appliedCredential_->persistence != UrlCredential::Persistence::None &&
                    delegate->connectionShouldUseCredentialStorage(*this)) {
                    UrlCredentialStorage::shared().setDefaultCredential(*appliedCredential_,
                                                                        *appliedSpace_);
                }
                appliedCredential_.reset();
                appliedSpace_.reset();
            }
            delegate->didReceiveResponse(*this, event.response);
            break;
        case TransferEvent::Kind::Data: {
            // The bytes are taken: a transfer that paused for this loop may go on.
            if (const auto transfer = transfer_; transfer && transfer->consumed(event.data.size()))
                NetworkThread::shared().resume(transfer);
            delegate->didReceiveData(*this, event.data);
            break;
        }
        case TransferEvent::Kind::Redirect:
            redirect(event, *delegate);
            break;
        case TransferEvent::Kind::Finish:
            finish(*delegate, event);
            break;
        case TransferEvent::Kind::Fail:
            if (challenge(event, *delegate))
                return;
            fail(*delegate, event.error);
            break;
        case TransferEvent::Kind::SentBody:
            delegate->didSendBodyData(*this, event.sent, event.totalSent, event.expectedToSend);
            break;
    }
}

void UrlConnection::finish(UrlConnectionDelegate& delegate, const TransferEvent&) {
    if (currentRequest_.httpMethod() == "GET") {
        // Nothing keeps the answer: there is no local cache.
        (void)delegate.willCacheResponse(*this, CachedUrlResponse{lastResponse_});
        if (cancelled_ || finished_)
            return;
    }
    finished_ = true;
    transfer_.reset();
    delegate.didFinishLoading(*this);
}

bool UrlConnection::challenge(const TransferEvent& event, UrlConnectionDelegate& delegate) {
    UrlAuthenticationChallenge open;
    if (event.kind == TransferEvent::Kind::Response) {
        lastResponse_ = event.response;
        // A server's challenge (401), or the proxy's on the way to it (407).
        const bool proxy = event.response.statusCode() == 407;
        if ((event.response.statusCode() != 401 ||
             !event.response.valueForHttpHeaderField("WWW-Authenticate")) &&
            (!proxy || !event.response.valueForHttpHeaderField("Proxy-Authenticate"))) {
            return false;
        }
        const auto message = challengeMessage(event.response);
        authentication_ = message ? HttpAuthentication::fromResponse(*message) : nullptr;
        if (!authentication_)
            return false;
        open.protectionSpace = proxy
                                   ? proxySpaceFor(currentRequest_.url(), authentication_->realm(),
                                                   methodName(authentication_->method()))
                                   : spaceFor(currentRequest_.url(), authentication_->realm(),
                                              methodName(authentication_->method()));
        open.failureResponse = event.response;
    } else {
        const auto& url = currentRequest_.url();
        if (!event.error || event.error->code() != NSURLErrorServerCertificateUntrusted ||
            trustServer_ || url.scheme() != "https") {
            return false;
        }
        open.protectionSpace = spaceFor(url, {}, NSURLAuthenticationMethodServerTrust);
        open.error = event.error;
        // Only a delegate that says so may accept an unverified server.
        if (!delegate.canAuthenticateAgainstProtectionSpace(*this, open.protectionSpace))
            return false;
    }
    const bool useStorage = delegate.connectionShouldUseCredentialStorage(*this);
    if (useStorage && !open.error)
        open.proposedCredential =
            UrlCredentialStorage::shared().defaultCredential(open.protectionSpace);
    open.previousFailureCount = failures_;
    open.sender = weak_from_this();
    open.serial = ++challengeSerial_;
    challenge_ = open;
    held_.clear();
    held_.push_back(event);
    if (open.error || delegate.canAuthenticateAgainstProtectionSpace(*this, open.protectionSpace)) {
        delegate.didReceiveAuthenticationChallenge(*this, open);
    } else if (open.previousFailureCount == 0 && open.proposedCredential) {
        useCredential(*open.proposedCredential, open);
    } else {
        continueWithoutCredential(open);
    }
    return true;
}

bool UrlConnection::openChallenge(const UrlAuthenticationChallenge& challenge) const {
    return challenge_ && challenge_->serial == challenge.serial && !cancelled_ && !finished_;
}

void UrlConnection::closeChallenge() {
    challenge_.reset();
}

void UrlConnection::useCredential(const UrlCredential& credential,
                                  const UrlAuthenticationChallenge& challenge) {
    if (!openChallenge(challenge))
        return;
    if (challenge.protectionSpace.authenticationMethod == NSURLAuthenticationMethodServerTrust) {
        if (!credential.trustsServer) {
            continueWithoutCredential(challenge);
            return;
        }
        trustServer_ = true;
    } else {
        HttpMessage message =
            HttpMessage::request(currentRequest_.httpMethod(), currentRequest_.url());
        if (credential.trustsServer || !authentication_ ||
            !authentication_->applyCredentials(message, {credential.user, credential.password, {}},
                                               nullptr)) {
            continueWithoutCredential(challenge);
            return;
        }
        const char* field = authentication_->isProxy() ? "Proxy-Authorization" : "Authorization";
        currentRequest_.setValueForHttpHeaderField(message.headerFieldValue(field), field);
        appliedCredential_ = credential;
        appliedSpace_ = challenge.protectionSpace;
        ++failures_;
    }
    closeChallenge();
    held_.clear();
    const auto delegate = delegate_.lock();
    if (!delegate) {
        cancel();
        return;
    }
    relaunch(*delegate);
}

void UrlConnection::continueWithoutCredential(const UrlAuthenticationChallenge& challenge) {
    if (!openChallenge(challenge))
        return;
    closeChallenge();
    appliedCredential_.reset();
    appliedSpace_.reset();
    // The held events go out as if nothing had been asked; the first is what asked.
    auto held = std::move(held_);
    held_.clear();
    const auto delegate = delegate_.lock();
    if (!delegate) {
        cancel();
        return;
    }
    bool first = true;
    for (auto& event : held) {
        if (cancelled_ || finished_)
            return;
        if (first && event.kind == TransferEvent::Kind::Response) {
            delegate->didReceiveResponse(*this, event.response);
        } else if (first && event.kind == TransferEvent::Kind::Fail) {
            fail(*delegate, event.error);
        } else {
            deliver(event);
        }
        first = false;
    }
}

void UrlConnection::cancelAuthenticationChallenge(const UrlAuthenticationChallenge& challenge) {
    if (!openChallenge(challenge))
        return;
    closeChallenge();
    held_.clear();
    const auto delegate = delegate_.lock();
    if (transfer_) {
        transfer_->detach();
        NetworkThread::shared().remove(transfer_);
    }
    if (!delegate) {
        cancel();
        return;
    }
    fail(*delegate, makeUrlError(NSURLErrorUserCancelledAuthentication, currentRequest_.url()));
}

bool UrlConnection::relaunch(UrlConnectionDelegate& delegate) {
    if (transfer_) {
        transfer_->detach();
        NetworkThread::shared().remove(transfer_);
        transfer_.reset();
    }
    ++generation_;  // whatever the old transfer still has queued is dropped
    if (currentRequest_.httpBodyStream() && bodyStreamUsed_) {
        auto stream = delegate.needNewBodyStream(*this, currentRequest_);
        if (cancelled_ || finished_)
            return false;
        if (!stream) {
            fail(delegate,
                 makeUrlError(NSURLErrorRequestBodyStreamExhausted, currentRequest_.url()));
            return false;
        }
        currentRequest_.setHttpBodyStream(std::move(stream));
        bodyStreamUsed_ = false;
    }
    launch();
    return true;
}

void UrlConnection::redirect(TransferEvent& event, UrlConnectionDelegate& delegate) {
    transfer_.reset();
    const auto target = Url::parse(event.location);
    if (!target) {
        fail(delegate, makeUrlError(NSURLErrorBadURL, currentRequest_.url()));
        return;
    }
    if (!isWebScheme(*target)) {
        fail(delegate, makeUrlError(NSURLErrorUnsupportedURL, *target));
        return;
    }
    if (++redirects_ > kMaxRedirects) {
        fail(delegate, makeUrlError(NSURLErrorHTTPTooManyRedirects, currentRequest_.url()));
        return;
    }
    auto answer = delegate.willSendRequest(
        *this, requestForRedirect(currentRequest_, event.response.statusCode(), *target),
        event.response);
    if (cancelled_ || finished_)
        return;
    if (answer) {
        // A new request (the answer may carry another body stream than the one already read).
        if (answer->httpBodyStream() != currentRequest_.httpBodyStream())
            bodyStreamUsed_ = false;
        currentRequest_ = std::move(*answer);
        relaunch(delegate);
        return;
    }
    // Not followed: the redirect response is the answer.
    TransferEvent head;
    head.kind = TransferEvent::Kind::Response;
    head.response = std::move(event.response);
    post(std::move(head));
    if (!event.data.empty()) {
        TransferEvent body;
        body.kind = TransferEvent::Kind::Data;
        body.data = std::move(event.data);
        post(std::move(body));
    }
    TransferEvent done;
    done.kind = TransferEvent::Kind::Finish;
    post(std::move(done));
}

void UrlConnection::fail(UrlConnectionDelegate& delegate, const Ref<Error>& error) {
    finished_ = true;
    if (transfer_) {
        transfer_->detach();
        NetworkThread::shared().remove(transfer_);
        transfer_.reset();
    }
    delegate.didFailWithError(*this, error);
}

}  // namespace plat
