#include "platform/net/UrlConnection.h"

#include <algorithm>

#include "platform/core/Exception.h"
#include "platform/net/CurlTransfer.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetText.h"
#include "platform/net/NetworkThread.h"
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

Ref<UrlConnection> UrlConnection::make(UrlRequest request,
                                       WeakRef<UrlConnectionDelegate> delegate) {
    return std::make_shared<UrlConnection>(Private{}, std::move(request), std::move(delegate));
}

UrlConnection::UrlConnection(Private, UrlRequest request, WeakRef<UrlConnectionDelegate> delegate)
    : originalRequest_(request),
      currentRequest_(std::move(request)),
      delegate_(std::move(delegate)) {}

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
    std::optional<std::string> cookies;
    if (request.httpShouldHandleCookies() && !request.valueForHttpHeaderField("Cookie")) {
        cookies = HttpCookieStorage::shared().cookieHeaderForURL(url);
    }
    // The listener runs on the network thread: it captures what it needs by value, and the loop
    // weakly (a loop whose thread has ended refuses posts).
    auto listener = [self = shared_from_this(), weakLoop = loop_->weak_from_this(),
                     modes = modes_](TransferEvent event) {
        if (const auto loop = weakLoop.lock()) {
            loop->post([self, event = std::move(event)]() mutable { self->deliver(event); }, modes);
        }
    };
    transfer_ = CurlTransfer::make(request, std::move(cookies), std::move(listener));
    if (!transfer_) {
        failure.error = makeUrlError(NSURLErrorUnknown, url, "The request cannot be sent.");
        post(std::move(failure));
        return;
    }
    NetworkThread::shared().add(transfer_);
}

void UrlConnection::post(TransferEvent event) {
    loop_->post(
        [self = shared_from_this(), event = std::move(event)]() mutable { self->deliver(event); },
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
    switch (event.kind) {
        case TransferEvent::Kind::Response:
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
            finished_ = true;
            transfer_.reset();
            delegate->didFinishLoading(*this);
            break;
        case TransferEvent::Kind::Fail:
            fail(*delegate, event.error);
            break;
    }
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
        currentRequest_ = std::move(*answer);
        launch();
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
    transfer_.reset();
    delegate.didFailWithError(*this, error);
}

}  // namespace plat
