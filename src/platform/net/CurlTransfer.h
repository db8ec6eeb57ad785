#pragma once
// plat::CurlTransfer (internal to the networking layer): one HTTP exchange, one request and its
// one response, on a libcurl easy handle that the network thread drives. Redirects are not
// followed here: a redirect response ends the transfer with a Redirect event, and the connection
// decides what comes next. Events go to a listener on the network thread; detach() (from any
// thread) stops them: once it returns, the listener is never called again.
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Value.h"
#include "platform/net/ContentDecoder.h"
#include "platform/net/HttpUrlResponse.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/UrlRequest.h"

namespace plat {

struct TransferEvent {
    enum class Kind { Response, Data, Redirect, Finish, Fail, SentBody };
    Kind kind = Kind::Finish;
    HttpUrlResponse response;  // Response, Redirect
    Bytes data;                // Data; for Redirect the body of the redirect response
    std::string location;      // Redirect: the absolute target
    Ref<Error> error;          // Fail
    // SentBody: bytes sent since the last report, in all, and expected in all (-1: unknown).
    int64_t sent = 0;
    int64_t totalSent = 0;
    int64_t expectedToSend = -1;
};

class CurlTransfer : public NetworkTransfer {
  public:
    using Listener = std::function<void(TransferEvent event)>;

    // A redirect response's body is kept up to this size, in case the redirect is not followed.
    static constexpr size_t kMaxRedirectBody = 1 << 20;
    // Body bytes reported but not yet taken by the connection's loop: beyond this the transfer
    // pauses (it is not idle while paused) until the loop catches up.
    static constexpr size_t kMaxUndelivered = 1 << 20;
    // A reply's head (status lines and fields of it and of its interim replies), in bytes;
    // a longer one cannot be read (NSURLErrorBadServerResponse).
    static constexpr size_t kMaxHeadBytes = 256 * 1024;
    // Trailer fields after a chunked body, in bytes, as a response head is bounded.
    static constexpr size_t kMaxTrailerBytes = 64 * 1024;

    // Multiplies every idle and connect time-out from now on (tests: 0.01 turns 15 s into
    // 150 ms); 1 by default.
    static void setTimeoutScale(double scale);
    static double timeoutScale();

    // A transfer of the request with the Cookie header to add (when given); nothing when the
    // request cannot be sent (an invalid method, or libcurl refuses a setting). trustServer:
    // the server's certificate is not verified (its delegate accepted it).
    static Ref<CurlTransfer> make(const UrlRequest& request,
                                  std::optional<std::string> cookieHeader, Listener listener,
                                  bool trustServer = false);
    ~CurlTransfer() override;
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Any thread: no event is reported after this returns.
    void detach();
    void abandon() override { detach(); }
    // Any thread: the loop took `bytes` reported body bytes. True when the transfer is paused and
    // may now go on (NetworkThread::resume).
    bool consumed(size_t bytes);
    size_t undeliveredBytes() const { return undelivered_; }

    // Network thread only.
    CURL* handle() const override { return handle_; }
    void begin(SteadyTime now) override { lastActivity_ = now; }
    SteadyTime idleDeadline() const override;
    void complete(CURLcode result) override;
    void timeOut() override;
    void resume(SteadyTime now) override;
    void afterPerform() override;

    struct Private {};
    CurlTransfer(Private, const UrlRequest& request, Listener listener);

  private:
    static size_t onHeader(char* buffer, size_t size, size_t count, void* self);
    static size_t onBody(char* buffer, size_t size, size_t count, void* self);
    static size_t onRead(char* buffer, size_t size, size_t count, void* self);
    static int onProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                          curl_off_t ulnow);

    bool configure(const UrlRequest& request, const std::optional<std::string>& cookieHeader,
                   bool trustServer);
    void headerLine(std::string_view line);
    void endOfHeaders();
    void emit(TransferEvent event);
    // Reports the transfer's last event and lets go of the listener.
    void emitLast(TransferEvent event);
    void fail(CURLcode result);

    CURL* handle_ = nullptr;
    curl_slist* headerList_ = nullptr;
    Url url_;
    Bytes body_;
    Ref<InputStream> bodyStream_;
    curl_off_t bodyLength_ = -1;
    bool handleCookies_ = true;
    bool decoding_ = false;
    std::chrono::duration<double> timeout_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};

    // Network thread state.
    SteadyTime lastActivity_{};
    curl_off_t uploaded_ = 0;
    curl_off_t streamRead_ = 0;
    std::vector<HttpHeaderFields::Field> rawFields_;
    HttpHeaderFields fields_;
    bool headersDone_ = false;
    bool responseSent_ = false;
    bool redirect_ = false;
    HttpUrlResponse response_;
    Bytes redirectBody_;
    size_t trailerBytes_ = 0;
    size_t headBytes_ = 0;
    std::string badReply_;                     // why the reply cannot be read, once it is known
    std::unique_ptr<ContentDecoder> decoder_;  // the final response's Content-Encoding undone
    size_t decodedAhead_ = 0;  // bytes libcurl will hand over again that were decoded already

    std::atomic<size_t> undelivered_{0};
    std::atomic<bool> paused_{false};

    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace plat
