#pragma once
// plat::UrlConnection: loads one URL request asynchronously and reports to its delegate on a run
// loop. The exchange runs on the process's one network thread (libcurl); every callback is
// delivered as a post to the loop and modes the connection was scheduled in, so it arrives only
// while that loop runs in one of those modes.
//  - Created not started; scheduleInRunLoop (once per mode, or with several), then start(). A
//    connection started unscheduled uses the current thread's loop in the default mode.
//  - Callbacks: didReceiveResponse, then didReceiveData for each chunk, then didFinishLoading; or
//    didFailWithError (NSURLErrorDomain: -1001 time-out, -1003 host not found, -1004 cannot
//    connect, -1005 connection lost, -1009 offline, ...). 4xx and 5xx replies are ordinary
//    responses.
//  - Redirects (301, 302, 303, 307, 308) are followed here, at most 16 times: the delegate's
//    willSendRequest gets the request for the target and may answer it, another request, or
//    nothing to stop; after a stop the redirect response itself is delivered as the answer.
//    303, and 301/302 after a POST, become a GET without body; 307 and 308 keep the method and
//    the body; "Authorization" and an explicit "Cookie" field are not carried to another host.
//  - cancel() on the loop's thread: nothing is delivered afterwards.
//  - While running, a connection keeps itself alive; the delegate is not kept (a connection whose
//    delegate is gone stops).
//  - Cookies: with the request's httpShouldHandleCookies, the shared HttpCookieStorage's cookies
//    are sent and every response's Set-Cookie fields (redirects included) are stored.
//  - No content decoding unless the request sets a non-empty "Accept-Encoding"; then gzip and
//    deflate bodies are decoded, and another coding, or a compressed body that is corrupt or ends
//    before its stream does, fails with -1016. TLS peers are verified.
//  - A reply that is not HTTP this layer can read (a malformed or over-long status line or
//    header field, an impossible Content-Length) fails with -1011, saying why.
//  - A 401 with a challenge, a 407 with the proxy's (its protection space is the proxy's, the
//    credential goes out as "Proxy-Authorization"), or a server certificate that does not
//    verify, becomes an authentication challenge: the delegate says whether it can authenticate in
//    the protection space, then answers the challenge (now or later, on the connection's loop) with
//    useCredential, continueWithoutCredential or cancelAuthenticationChallenge. A delegate that
//    cannot authenticate gets the storage's credential for the space, when it lets the connection
//    use the storage and this is the first attempt; otherwise the 401 is an ordinary response
//    (and an untrusted server an ordinary failure).
//  - A request body stream is read once; sending the request again (a redirect keeping the
//    body, credentials) asks the delegate for a new stream (needNewBodyStream).
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Value.h"
#include "platform/net/HttpUrlResponse.h"
#include "platform/net/UrlAuthenticationChallenge.h"
#include "platform/net/UrlRequest.h"
#include "platform/runloop/RunLoop.h"

namespace plat {

class UrlConnection;
class CurlTransfer;
class HttpAuthentication;
struct TransferEvent;

class UrlConnectionDelegate {
  public:
    virtual ~UrlConnectionDelegate() = default;

    // A redirect is to be followed: `request` is what the connection would send next (built for
    // the target), `redirectResponse` the 3xx response. Answer the request to send, or nothing
    // to stop and take the redirect response as the answer. Follows by default.
    virtual std::optional<UrlRequest> willSendRequest(UrlConnection& connection,
                                                      const UrlRequest& request,
                                                      const HttpUrlResponse& redirectResponse);
    virtual void didReceiveResponse(UrlConnection& connection, const HttpUrlResponse& response);
    virtual void didReceiveData(UrlConnection& connection, const Bytes& data);
    virtual void didFinishLoading(UrlConnection& connection);
    virtual void didFailWithError(UrlConnection& connection, const Ref<Error>& error);

    // Authentication: no by default for server trust and client certificates, yes otherwise.
    virtual bool canAuthenticateAgainstProtectionSpace(UrlConnection& connection,
                                                       const ProtectionSpace& space);
    // By default: the proposed credential on a first attempt, else no credential.
    virtual void didReceiveAuthenticationChallenge(UrlConnection& connection,
                                                   const UrlAuthenticationChallenge& challenge);
    // Whether the connection may take credentials from the shared storage (yes by default).
    virtual bool connectionShouldUseCredentialStorage(UrlConnection& connection);
    // A new body stream for sending `request` again; by default a copy of its stream when the
    // stream can be read again. Null fails the connection (-1021).
    virtual Ref<InputStream> needNewBodyStream(UrlConnection& connection,
                                               const UrlRequest& request);
    // Body bytes sent: this time, in all, and in all expected (-1 when unknown).
    virtual void didSendBodyData(UrlConnection& connection, int64_t bytesWritten,
                                 int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite);
    // Before didFinishLoading of a successful GET: the response that could be kept, or nothing.
    virtual std::optional<CachedUrlResponse> willCacheResponse(UrlConnection& connection,
                                                               const CachedUrlResponse& response);
};

class UrlConnection : public std::enable_shared_from_this<UrlConnection> {
  public:
    static constexpr int kMaxRedirects = 16;

    // A connection for the request, not started.
    static Ref<UrlConnection> make(UrlRequest request, WeakRef<UrlConnectionDelegate> delegate);

    struct Private {};
    UrlConnection(Private, UrlRequest request, WeakRef<UrlConnectionDelegate> delegate);
    ~UrlConnection();
    UrlConnection(const UrlConnection&) = delete;
    UrlConnection& operator=(const UrlConnection&) = delete;

    // Adds modes in which callbacks are delivered, before start(). All calls must name the same
    // loop (NSInvalidArgumentException otherwise).
    void scheduleInRunLoop(RunLoop& loop, const std::string& mode);
    void scheduleInRunLoop(RunLoop& loop, const Modes& modes);

    // Begins loading; a second call, or a call after cancel(), does nothing.
    void start();
    // Stops loading. Called on the scheduling loop's thread, it guarantees that no callback
    // arrives afterwards.
    void cancel();

    // Answers to a challenge this connection asked, on the loop's thread; an answer to a
    // challenge that is no longer open is ignored.
    void useCredential(const UrlCredential& credential,
                       const UrlAuthenticationChallenge& challenge);
    void continueWithoutCredential(const UrlAuthenticationChallenge& challenge);
    void cancelAuthenticationChallenge(const UrlAuthenticationChallenge& challenge);

    const UrlRequest& originalRequest() const { return originalRequest_; }
    // The request being sent: the original one, or the one answered for the last redirect.
    const UrlRequest& currentRequest() const { return currentRequest_; }
    bool isCancelled() const { return cancelled_; }
    // Body bytes received from the server and not yet delivered here (at most about 1 MiB:
    // beyond that the transfer waits for this connection's loop).
    size_t undeliveredByteCount() const;
    // Multiplies every connection's idle and connect time-outs from now on (tests).
    static void setTimeoutScaleForTesting(double scale);

  private:
    void launch();
    void post(TransferEvent event);
    void deliver(TransferEvent& event);
    void redirect(TransferEvent& event, UrlConnectionDelegate& delegate);
    void fail(UrlConnectionDelegate& delegate, const Ref<Error>& error);
    void finish(UrlConnectionDelegate& delegate, const TransferEvent& event);
    // True when the event opened a challenge (its transfer's later events are held back).
    bool challenge(const TransferEvent& event, UrlConnectionDelegate& delegate);
    bool openChallenge(const UrlAuthenticationChallenge& challenge) const;
    void closeChallenge();
    // Sends the current request again on a new transfer; false when it failed.
    bool relaunch(UrlConnectionDelegate& delegate);

    UrlRequest originalRequest_;
    UrlRequest currentRequest_;
    WeakRef<UrlConnectionDelegate> delegate_;
    RunLoop* loop_ = nullptr;
    Modes modes_;
    bool started_ = false;
    bool finished_ = false;
    std::atomic<bool> cancelled_{false};
    int redirects_ = 0;
    Ref<CurlTransfer> transfer_;
    // Events of an earlier transfer (still queued on the loop) are dropped.
    std::atomic<uint64_t> generation_{0};
    HttpUrlResponse lastResponse_;
    std::shared_ptr<HttpAuthentication> authentication_;
    bool bodyStreamUsed_ = false;
    bool trustServer_ = false;
    // An open challenge: the events of its transfer wait until it is answered.
    std::optional<UrlAuthenticationChallenge> challenge_;
    std::vector<TransferEvent> held_;
    uint64_t challengeSerial_ = 0;
    int failures_ = 0;
    std::optional<UrlCredential> appliedCredential_;
    std::optional<ProtectionSpace> appliedSpace_;
};

}  // namespace plat
