#include "platform/net/HttpReadStream.h"

#include "platform/net/HttpAuthentication.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/net/NetText.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/UrlError.h"

namespace plat {

// What the network thread hands the reading thread, under one lock.
struct HttpReadStream::Shared {
    std::mutex mutex;
    // The body bytes waiting, in one ring reused for the whole exchange: no block is made or
    // freed per piece handed over. It grows (never past the read-ahead, or one piece when that
    // is larger) only while more waits than it holds.
    std::unique_ptr<uint8_t[]> ring;
    size_t capacity = 0;
    size_t head = 0;  // where the oldest waiting byte is
    size_t waitingBytes = 0;
    HttpMessage response = HttpMessage::emptyResponse();
    bool headComplete = false;
    bool finished = false;
    bool paused = false;      // the transfer stopped taking body bytes
    size_t pausedPiece = 0;   // the piece it holds back meanwhile
    bool held = false;        // throttled: take and send nothing until released
    bool sendPaused = false;  // the transfer stopped sending the request body
    size_t readAhead = kMaxWaitingBytes;
    bool reused = false;
    Ref<Error> error;
    std::atomic<uint64_t> bytesWritten{0};
    std::weak_ptr<HttpReadStream> stream;

    size_t waiting() const { return waitingBytes; }
    // Whether a piece of n bytes may join those waiting: the waiting bytes never go past the
    // read-ahead, but a piece is always taken when nothing waits.
    bool roomFor(size_t n) const { return waitingBytes == 0 || waitingBytes + n <= readAhead; }
    // Whether a paused transfer may go on: it is not held and its piece now fits.
    bool mayResume() const { return paused && !held && roomFor(pausedPiece); }

    void put(const uint8_t* data, size_t n) {
        if (n == 0)
            return;
        if (capacity - waitingBytes < n)
            grow(waitingBytes + n);
        const size_t tail = (head + waitingBytes) % capacity;
        const size_t first = std::min(n, capacity - tail);
        std::memcpy(ring.get() + tail, data, first);
        std::memcpy(ring.get(), data + first, n - first);
        waitingBytes += n;
    }
    size_t take(uint8_t* out, size_t length) {
        const size_t n = std::min(length, waitingBytes);
        if (n == 0)
            return 0;
        const size_t first = std::min(n, capacity - head);
        std::memcpy(out, ring.get() + head, first);
        std::memcpy(out + first, ring.get(), n - first);
        waitingBytes -= n;
        head = waitingBytes == 0 ? 0 : (head + n) % capacity;
        return n;
    }
    void grow(size_t needed) {
        const size_t bigger = std::max(needed, std::min(std::max<size_t>(capacity * 2, 64 * 1024),
                                                        std::max(readAhead, kPieceBytes)));
        auto next = std::make_unique_for_overwrite<uint8_t[]>(bigger);
        const size_t held = waitingBytes;
        take(next.get(), held);
        ring = std::move(next);
        capacity = bigger;
        head = 0;
        waitingBytes = held;
    }
    void wake() {
        if (auto s = stream.lock())
            s->signal();
    }
};

class HttpReadStream::Transfer final : public NetworkTransfer {
  public:
    Transfer(std::shared_ptr<Shared> shared, Ref<InputStream> body)
        : shared_(std::move(shared)), body_(std::move(body)) {
        NetworkThread::shared();  // libcurl's global set-up comes before any handle
        handle_ = curl_easy_init();
    }
    ~Transfer() override {
        if (handle_)
            curl_easy_cleanup(handle_);
        curl_slist_free_all(headers_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    Ref<Error> configure(const HttpReadStream& stream);

    CURL* handle() const override { return handle_; }
    void begin(SteadyTime) override {}
    SteadyTime idleDeadline() const override { return SteadyTime::max(); }
    void complete(CURLcode result) override;
    void timeOut() override {}
    void resume(SteadyTime) override { curl_easy_pause(handle_, CURLPAUSE_CONT); }
    void afterPerform() override {
        if (std::exchange(wakePending_, false))
            shared_->wake();
    }

  private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static size_t onRead(char* data, size_t size, size_t count, void* self);
    static int onSocket(void* self, curl_socket_t socket, curlsocktype purpose);
    Ref<Error> errorFor(CURLcode result);

    std::shared_ptr<Shared> shared_;
    Ref<InputStream> body_;
    HttpMessage request_ = HttpMessage::emptyResponse();
    Ref<Error> bodyError_;
    CURL* handle_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string proxy_;
    std::string url_;
    std::string parseFailure_;
    size_t trailerBytes_ = 0;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    bool wakePending_ = false;  // body bytes arrived in this pass of the I/O loop
    int socketBuffer_ = 0;      // the sockets' buffer sizes of a throttled stream
};

namespace {

Ref<Error> networkError(int64_t code, std::string description, std::string_view detail = {}) {
    auto info = MutableDictionary::make();
    info->setObject(Value(std::move(description)), "NSLocalizedDescription");
    if (!detail.empty())
        info->setObject(Value(std::string(detail)), NSDebugDescriptionErrorKey);
    return Error::make(kCFErrorDomainCFNetwork, code, info);
}

Ref<Error> connectionLost(std::string_view detail) {
    return networkError(NSURLErrorNetworkConnectionLost, "The network connection was lost.",
                        detail);
}

bool isHttpToken(std::string_view text) {
    constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    if (text.empty())
        return false;
    for (char c : text) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && kSymbols.find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace

Ref<Error> HttpReadStream::Transfer::configure(const HttpReadStream& stream) {
    request_ = stream.request_;
    const HttpMessage& request = request_;
    const Url& url = request.url();
    if (!handle_)
        return networkError(NSURLErrorUnknown, "The transfer could not be made.");
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") || url.host().empty())
        return makeUrlError(NSURLErrorUnsupportedURL, url);
    if (!isHttpToken(request.method()))
        return makeUrlError(NSURLErrorBadURL, url, "invalid method");

    url_ = url.absoluteString();
    bool ok = curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str()) == CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle_, option, value) == CURLE_OK;
    };
    set(CURLOPT_PRIVATE, this);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorBuffer_);
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_HTTP_VERSION,
        request.version() == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    set(CURLOPT_HEADERDATA, this);
    // Larger pieces mean fewer hand-overs to the reading thread. A stream that reads ahead
    // less than usual (a throttled one) keeps every buffer on the way small too, the sockets'
    // included, so that the server is held back by the connection itself.
    const size_t readAhead = [&] {
        std::lock_guard lock(shared_->mutex);
        return shared_->readAhead;
    }();
    if (readAhead < kMaxWaitingBytes) {
        set(CURLOPT_BUFFERSIZE,
            static_cast<long>(std::clamp<size_t>(readAhead, 4096, kPieceBytes)));
        set(CURLOPT_UPLOAD_BUFFERSIZE, 16384L);
        socketBuffer_ = static_cast<int>(std::max<size_t>(readAhead, 4096));
        set(CURLOPT_SOCKOPTFUNCTION, &Transfer::onSocket);
        set(CURLOPT_SOCKOPTDATA, this);
    } else {
        set(CURLOPT_BUFFERSIZE, static_cast<long>(kPieceBytes));
    }
    set(CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    set(CURLOPT_WRITEDATA, this);

    // The method, and the body when there is one.
    const std::string& method = request.method();
    if (body_) {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_READFUNCTION, &Transfer::onRead);
        set(CURLOPT_READDATA, this);
        curl_off_t length = -1;
        if (auto text = request.headerFieldValue("Content-Length")) {
            char* end = nullptr;
            errno = 0;
            const long long n = std::strtoll(text->c_str(), &end, 10);
            if (!text->empty() && *end == '\0' && errno == 0 && n >= 0)
                length = n;
        }
        set(CURLOPT_POSTFIELDSIZE_LARGE, length);
        if (method != "POST")
            set(CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else {
        set(CURLOPT_HTTPGET, 1L);
        if (method != "GET")
            set(CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    // The header fields as given; curl adds none of its own but Host (and, for a body of
    // unknown length, "Transfer-Encoding: chunked").
    for (const auto& [name, value] : request.allHeaderFields()) {
        std::string line = name + (value.empty() ? ";" : ": " + value);
        for (char& c : line) {
            if (c == '\r' || c == '\n' || c == '\0')
                c = ' ';
        }
        headers_ = curl_slist_append(headers_, line.c_str());
    }
    for (const char* name : {"Accept", "Expect", "Content-Type"}) {
        if (!request.allHeaderFields().contains(name))
            headers_ = curl_slist_append(headers_, (std::string(name) + ":").c_str());
    }
    set(CURLOPT_HTTPHEADER, headers_);

    // TLS.
    const TlsSettings& tls = stream.tls_;
    if (!tls.validatesCertificateChain) {
        set(CURLOPT_SSL_VERIFYPEER, 0L);
        set(CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!tls.clientCertificatePem.empty()) {
        curl_blob certificate{const_cast<char*>(tls.clientCertificatePem.data()),
                              tls.clientCertificatePem.size(), CURL_BLOB_COPY};
        set(CURLOPT_SSLCERT_BLOB, &certificate);
        set(CURLOPT_SSLCERTTYPE, "PEM");
        if (!tls.clientKeyPem.empty()) {
            curl_blob key{const_cast<char*>(tls.clientKeyPem.data()), tls.clientKeyPem.size(),
                          CURL_BLOB_COPY};
            set(CURLOPT_SSLKEY_BLOB, &key);
            set(CURLOPT_SSLKEYTYPE, "PEM");
        }
    }

    // Proxies: only the ones given (never the environment's, which the caller has read).
    auto address = [](const ProxyAddress& p) {
        const bool v6 = p.host.find(':') != std::string::npos;
        return (v6 ? "[" + p.host + "]" : p.host) + ":" + std::to_string(p.port);
    };
    if (stream.socksProxy_)
        proxy_ = "socks5h://" + address(*stream.socksProxy_);
    else if (url.isHttps() && stream.httpsProxy_)
        proxy_ = "http://" + address(*stream.httpsProxy_);
    else if (!url.isHttps() && stream.httpProxy_)
        proxy_ = "http://" + address(*stream.httpProxy_);
    set(CURLOPT_PROXY, proxy_.c_str());

    if (!stream.persistent_) {
        set(CURLOPT_FRESH_CONNECT, 1L);
        set(CURLOPT_FORBID_REUSE, 1L);
    }
    if (!ok)
        return makeUrlError(NSURLErrorBadURL, url, "the transfer refused a setting");
    return nullptr;
}

size_t HttpReadStream::Transfer::onHeader(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<Transfer*>(self);
    const size_t n = size * count;
    auto& shared = *me->shared_;
    bool wake = false;
    {
        std::lock_guard lock(shared.mutex);
        if (shared.headComplete) {
            // Trailers of a chunked body: bounded as the head is.
            me->trailerBytes_ += n;
            if (me->trailerBytes_ > HttpMessage::kMaxHeadBytes) {
                return 0;
            }
            return n;
        }
        std::string reason;
        if (!shared.response.appendHeaderLine({data, n}, &reason)) {
            me->parseFailure_ = reason;
            return 0;
        }
        if (shared.response.isFinalHeadComplete()) {
            shared.headComplete = true;
            // A challenge answered before: the credentials were refused, or a nonce went stale.
            for (bool proxy : {false, true}) {
                if (auto authentication = me->request_.appliedAuthentication(proxy))
                    authentication->updateFromResponse(shared.response);
            }
            long connects = 0;
            curl_easy_getinfo(me->handle_, CURLINFO_NUM_CONNECTS, &connects);
            shared.reused = connects == 0;
            wake = true;
        }
    }
    if (wake)
        shared.wake();
    return n;
}

size_t HttpReadStream::Transfer::onBody(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<Transfer*>(self);
    const size_t n = size * count;
    auto& shared = *me->shared_;
    bool wakeNow = false;
    {
        std::lock_guard lock(shared.mutex);
        if (shared.held || !shared.roomFor(n)) {
            shared.paused = true;
            shared.pausedPiece = n;
            return CURL_WRITEFUNC_PAUSE;
        }
        // The reader is woken once per pass of the I/O loop (afterPerform), not per piece: on
        // a busy core every wake-up costs two context switches. Only a pass that gathers half
        // the read-ahead wakes it at once, so that another core can read while this one takes.
        const size_t half = shared.readAhead / 2;
        wakeNow = shared.waiting() < half && shared.waiting() + n >= half;
        shared.put(reinterpret_cast<const uint8_t*>(data), n);
    }
    me->wakePending_ = !wakeNow;
    if (wakeNow)
        shared.wake();
    return n;
}

int HttpReadStream::Transfer::onSocket(void* self, curl_socket_t socket, curlsocktype purpose) {
    const int size = static_cast<Transfer*>(self)->socketBuffer_;
    if (purpose == CURLSOCKTYPE_IPCXN && size > 0) {
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    return CURL_SOCKOPT_OK;
}

size_t HttpReadStream::Transfer::onRead(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<Transfer*>(self);
    {
        std::lock_guard lock(me->shared_->mutex);
        if (me->shared_->held) {
            me->shared_->sendPaused = true;
            return CURL_READFUNC_PAUSE;
        }
    }
    const int64_t n = me->body_->read(reinterpret_cast<uint8_t*>(data), size * count);
    if (n < 0) {
        me->bodyError_ = me->body_->streamError();
        return CURL_READFUNC_ABORT;
    }
    if (n == 0 && me->body_->hasBytesAvailable()) {
        // Nothing now but more to come (a throttled body): wait for the next release.
        std::lock_guard lock(me->shared_->mutex);
        me->shared_->sendPaused = true;
        return CURL_READFUNC_PAUSE;
    }
    me->shared_->bytesWritten += static_cast<uint64_t>(n);
    return static_cast<size_t>(n);
}

Ref<Error> HttpReadStream::Transfer::errorFor(CURLcode result) {
    const std::string detail = errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(result);
    long osErrno = 0;
    curl_easy_getinfo(handle_, CURLINFO_OS_ERRNO, &osErrno);
    const bool headComplete = [&] {
        std::lock_guard lock(shared_->mutex);
        return shared_->headComplete;
    }();
    if (trailerBytes_ > HttpMessage::kMaxHeadBytes)
        return networkError(kCFErrorHTTPParseFailure,
                            "The response's trailer fields are longer than 64 KiB.");
    if (!parseFailure_.empty())
        return networkError(kCFErrorHTTPParseFailure,
                            "The response head could not be read: " + parseFailure_ + ".");
    if (bodyError_)
        return bodyError_;
    switch (result) {
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return networkError(kCFErrorHTTPParseFailure, "The response head could not be read.",
                                detail);
        case CURLE_OUT_OF_MEMORY:  // what curl answers for a head line it will not hold
            if (!headComplete)
                return networkError(kCFErrorHTTPParseFailure,
                                    "The response head could not be read: it is too long.", detail);
            return makeUrlError(NSURLErrorUnknown, *Url::parse(url_), detail);
        case CURLE_RECV_ERROR:
            if (!headComplete && detail.find("eader") != std::string::npos)
                return networkError(kCFErrorHTTPParseFailure,
                                    "The response head could not be read.", detail);
            return connectionLost(detail);
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
            return connectionLost(detail);
        case CURLE_PEER_FAILED_VERIFICATION:
            return Error::withDescription(NSOSStatusErrorDomain, -9807,
                                          "The server's certificate is not trusted: " + detail);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
            return Error::withDescription(NSOSStatusErrorDomain, -9800,
                                          "The secure connection failed: " + detail);
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return makeUrlError(NSURLErrorCannotFindHost, *Url::parse(url_), detail);
        case CURLE_COULDNT_CONNECT:
            if (osErrno != 0)
                return Error::withDescription("NSPOSIXErrorDomain", osErrno,
                                              std::strerror(static_cast<int>(osErrno)));
            return makeUrlError(NSURLErrorCannotConnectToHost, *Url::parse(url_), detail);
        case CURLE_OPERATION_TIMEDOUT:
            return makeUrlError(NSURLErrorTimedOut, *Url::parse(url_), detail);
        default:
            return makeUrlError(NSURLErrorUnknown, *Url::parse(url_), detail);
    }
}

void HttpReadStream::Transfer::complete(CURLcode result) {
    Ref<Error> error = result == CURLE_OK ? nullptr : errorFor(result);
    {
        std::lock_guard lock(shared_->mutex);
        if (error)
            shared_->error = error;
        else
            shared_->finished = true;
    }
    shared_->wake();
}

// ---- The stream ---------------------------------------------------------------------------------

void HttpReadStream::initializeNetworking() {
    NetworkThread::shared();
}

Ref<HttpReadStream> HttpReadStream::make(HttpMessage request, Ref<InputStream> body) {
    if (!body && !request.body().empty())
        body = InputStream::inputStreamWithData(request.body());
    return std::make_shared<HttpReadStream>(Private{}, std::move(request), std::move(body));
}

HttpReadStream::HttpReadStream(Private, HttpMessage request, Ref<InputStream> body)
    : request_(std::move(request)), body_(std::move(body)), shared_(std::make_shared<Shared>()) {}

HttpReadStream::~HttpReadStream() {
    if (transfer_)
        NetworkThread::shared().remove(transfer_);
}

bool HttpReadStream::open() {
    if (streamStatus() != Status::NotOpen)
        return streamStatus() != Status::Error;
    shared_->stream = std::static_pointer_cast<HttpReadStream>(shared_from_this());
    if (body_ && body_->streamStatus() == Status::NotOpen)
        body_->open();
    auto transfer = std::make_shared<Transfer>(shared_, body_);
    if (auto error = transfer->configure(*this)) {
        setError(error);
        signal();
        return false;
    }
    transfer_ = transfer;
    setStatus(Status::Opening);
    NetworkThread::shared().add(transfer_);
    return true;
}

void HttpReadStream::close() {
    InputStream::close();
    if (auto transfer = std::move(transfer_))
        NetworkThread::shared().remove(transfer);
    if (body_)
        body_->close();
}

int64_t HttpReadStream::read(uint8_t* buffer, size_t length) {
    const Status status = streamStatus();
    if (status == Status::Closed || status == Status::NotOpen)
        return status == Status::Closed ? 0 : -1;
    bool resume = false;
    size_t n = 0;
    Ref<Error> error;
    {
        std::lock_guard lock(shared_->mutex);
        n = shared_->take(buffer, length);
        if (shared_->mayResume()) {
            shared_->paused = false;
            resume = true;
        }
        if (n == 0)
            error = shared_->error;
    }
    if (resume && transfer_)
        NetworkThread::shared().resume(transfer_);
    if (n == 0 && error) {
        setError(error);
        return -1;
    }
    countRead(n);
    return static_cast<int64_t>(n);
}

void HttpReadStream::holdTransfer() {
    std::lock_guard lock(shared_->mutex);
    shared_->held = true;
}

void HttpReadStream::releaseTransfer() {
    bool resume = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->held = false;
        if (shared_->sendPaused || shared_->mayResume()) {
            resume = true;
            shared_->sendPaused = false;
            shared_->paused = false;
        }
    }
    if (resume && transfer_)
        NetworkThread::shared().resume(transfer_);
}

void HttpReadStream::setReadAheadLimit(size_t bytes) {
    std::lock_guard lock(shared_->mutex);
    shared_->readAhead = bytes == 0 ? kMaxWaitingBytes : bytes;
}

bool HttpReadStream::hasBytesAvailable() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->waiting() > 0;
}

size_t HttpReadStream::bytesWaiting() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->waiting();
}

std::optional<HttpMessage> HttpReadStream::responseHeader() const {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->headComplete)
        return std::nullopt;
    return shared_->response;
}

uint64_t HttpReadStream::requestBytesWritten() const {
    return shared_->bytesWritten;
}

bool HttpReadStream::reusedConnection() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->reused;
}

Stream::Event HttpReadStream::pendingEvent() {
    std::lock_guard lock(shared_->mutex);
    if (!openReported_ && shared_->headComplete) {
        openReported_ = true;
        setStatus(Status::Open);
        return OpenCompleted;
    }
    if (shared_->waiting() > 0) {
        readBefore_ = bytesRead();
        return HasBytesAvailable;
    }
    if (endReported_)
        return None;
    if (shared_->error) {
        endReported_ = true;
        setError(shared_->error);
        return ErrorOccurred;
    }
    if (shared_->finished) {
        endReported_ = true;
        setStatus(Status::AtEnd);
        return EndEncountered;
    }
    return None;
}

bool HttpReadStream::askAgain(Event delivered) {
    return delivered != HasBytesAvailable || bytesRead() != readBefore_;
}

}  // namespace plat
