#include "platform/net/CurlTransfer.h"

#include <cerrno>
#include <cstdlib>

#include "platform/net/ContentDecoder.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetText.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/UrlError.h"

namespace plat {
namespace {

using net_text::equalsIgnoringCase;

bool isToken(std::string_view text) {
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

// A header value on one line: CR, LF and NUL would split or cut the request.
std::string singleLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return std::string(net_text::trim(out));
}

bool isRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int64_t urlErrorCode(CURLcode result, long osErrno) {
    switch (result) {
        case CURLE_OPERATION_TIMEDOUT:
            return NSURLErrorTimedOut;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return NSURLErrorCannotFindHost;
        case CURLE_COULDNT_CONNECT:
            return (osErrno == ENETUNREACH || osErrno == ENETDOWN)
                       ? NSURLErrorNotConnectedToInternet
                       : NSURLErrorCannotConnectToHost;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return NSURLErrorNetworkConnectionLost;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return NSURLErrorUnsupportedURL;
        case CURLE_URL_MALFORMAT:
            return NSURLErrorBadURL;
        case CURLE_TOO_MANY_REDIRECTS:
            return NSURLErrorHTTPTooManyRedirects;
        case CURLE_WEIRD_SERVER_REPLY:
            return NSURLErrorBadServerResponse;
        case CURLE_BAD_CONTENT_ENCODING:
            return NSURLErrorCannotDecodeContentData;
        case CURLE_PEER_FAILED_VERIFICATION:
            return NSURLErrorServerCertificateUntrusted;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return NSURLErrorSecureConnectionFailed;
        default:
            return NSURLErrorUnknown;
    }
}

}  // namespace

Ref<CurlTransfer> CurlTransfer::make(const UrlRequest& request,
                                     std::optional<std::string> cookieHeader, Listener listener,
                                     bool trustServer) {
    if (!isToken(request.httpMethod()))
        return nullptr;
    auto transfer = std::make_shared<CurlTransfer>(Private{}, request, std::move(listener));
    if (!transfer->handle_ || !transfer->configure(request, cookieHeader, trustServer))
        return nullptr;
    return transfer;
}

CurlTransfer::CurlTransfer(Private, const UrlRequest& request, Listener listener)
    : handle_((NetworkThread::shared(), curl_easy_init())),
      url_(request.url()),
      body_(request.httpBody()),
      bodyStream_(request.httpBodyStream()),
      handleCookies_(request.httpShouldHandleCookies()),
      timeout_(request.timeoutInterval()),
      listener_(std::move(listener)) {}

CurlTransfer::~CurlTransfer() {
    if (handle_)
        curl_easy_cleanup(handle_);
    if (headerList_)
        curl_slist_free_all(headerList_);
}

bool CurlTransfer::configure(const UrlRequest& request,
                             const std::optional<std::string>& cookieHeader, bool trustServer) {
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle_, option, value) == CURLE_OK;
    };
    auto append = [&](const std::string& line) {
        if (curl_slist* next = curl_slist_append(headerList_, line.c_str())) {
            headerList_ = next;
        } else {
            ok = false;
        }
    };

    set(CURLOPT_URL, url_.absoluteString().c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_SSL_VERIFYPEER, trustServer ? 0L : 1L);
    set(CURLOPT_SSL_VERIFYHOST, trustServer ? 0L : 2L);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS,
        std::max(1L, static_cast<long>(timeout_.count() * timeoutScale() * 1000)));
    set(CURLOPT_ERRORBUFFER, errorBuffer_);
    set(CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    set(CURLOPT_XFERINFODATA, this);
    set(CURLOPT_NOPROGRESS, 0L);

    const std::string& method = request.httpMethod();
    const bool sendsBody = method != "GET" && method != "HEAD";
    if (method == "GET") {
        set(CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else {
        static const char kEmpty[] = "";
        set(CURLOPT_POST, 1L);
        if (method != "POST")
            set(CURLOPT_CUSTOMREQUEST, method.c_str());
        if (bodyStream_) {
            // Read on the network thread as libcurl sends; chunked unless the length is given.
            if (const auto length = request.valueForHttpHeaderField("Content-Length")) {
                char* end = nullptr;
                const long long value = std::strtoll(length->c_str(), &end, 10);
                if (end && *end == '\0' && !length->empty() && value >= 0)
                    bodyLength_ = value;
            }
            set(CURLOPT_READFUNCTION, &CurlTransfer::onRead);
            // Larger pieces: fewer reads of the stream for a large body.
            set(CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
            set(CURLOPT_READDATA, this);
            set(CURLOPT_POSTFIELDSIZE_LARGE, bodyLength_);
        } else {
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
            set(CURLOPT_POSTFIELDS,
                body_.empty() ? kEmpty : reinterpret_cast<const char*>(body_.data()));
        }
    }

    std::optional<std::string> acceptEncoding;
    const HttpHeaderFields& fields = request.allHttpHeaderFields();
    for (const auto& [name, value] : fields) {
        // The layer sets the length from the body itself.
        if (equalsIgnoringCase(name, "Content-Length") || !isToken(name))
            continue;
        if (equalsIgnoringCase(name, "Accept-Encoding")) {
            acceptEncoding = singleLine(value);
            continue;
        }
        const std::string line = singleLine(value);
        append(line.empty() ? name + ";" : name + ": " + line);
    }
    if (cookieHeader && !cookieHeader->empty())
        append("Cookie: " + singleLine(*cookieHeader));
    if (request.cachePolicy() == UrlRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData &&
        !fields.contains("Cache-Control")) {
        append("Cache-Control: no-cache");
    }
    if (acceptEncoding && acceptEncoding->empty()) {
        append("Accept-Encoding;");  // sent empty: identity only, nothing to decode
    } else if (acceptEncoding) {
        // Decoded here, not by libcurl, which ends a cut compressed body without an error.
        decoding_ = true;
        append("Accept-Encoding: " + *acceptEncoding);
    }
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // Neither libcurl's form content type nor its "Expect: 100-continue" pause.
    if (sendsBody && !fields.contains("Content-Type"))
        append("Content-Type:");
    if (!fields.contains("Expect"))
        append("Expect:");
    set(CURLOPT_HTTPHEADER, headerList_);
    return ok;
}

void CurlTransfer::detach() {
    Listener old;
    {
        std::lock_guard lock(listenerMutex_);
        old = std::move(listener_);
        listener_ = nullptr;
    }
}

namespace {

std::atomic<double>& timeoutScaleValue() {
    static std::atomic<double> scale{1.0};
    return scale;
}

}  // namespace

void CurlTransfer::setTimeoutScale(double scale) {
    timeoutScaleValue() = scale > 0 ? scale : 1.0;
}

double CurlTransfer::timeoutScale() {
    return timeoutScaleValue();
}

CurlTransfer::SteadyTime CurlTransfer::idleDeadline() const {
    // Waiting for the loop to take the bytes is not silence of the server.
    if (paused_)
        return SteadyTime::max();
    return lastActivity_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               timeout_ * timeoutScale());
}

bool CurlTransfer::consumed(size_t bytes) {
    const size_t left = undelivered_ -= std::min<size_t>(bytes, undelivered_);
    return paused_ && left < kMaxUndelivered / 2;
}

void CurlTransfer::afterPerform() {
    // The loop may have taken every reported byte between the window check and the pause: then
    // no one else takes the transfer up again.
    if (paused_ && undelivered_ < kMaxUndelivered / 2)
        resume(std::chrono::steady_clock::now());
}

void CurlTransfer::resume(SteadyTime now) {
    if (!paused_.exchange(false))
        return;
    lastActivity_ = now;
    curl_easy_pause(handle_, CURLPAUSE_CONT);
}

size_t CurlTransfer::onHeader(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    transfer->headerLine(std::string_view(buffer, size * count));
    // Returning less than given stops the transfer (the reason is kept for fail()).
    return transfer->badReply_.empty() ? size * count : 0;
}

size_t CurlTransfer::onBody(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer);
    if (transfer->redirect_) {
        Bytes& kept = transfer->redirectBody_;
        const auto keep = [&kept](const uint8_t* piece, size_t size) {
            const size_t room = kMaxRedirectBody - std::min(kMaxRedirectBody, kept.size());
            kept.insert(kept.end(), piece, piece + std::min(room, size));
        };
        if (!transfer->decoder_) {
            keep(bytes, length);
        } else if (kept.size() < kMaxRedirectBody &&
                   !transfer->decoder_->decode(bytes, length, keep,
                                               kMaxRedirectBody - kept.size())) {
            transfer->redirectBody_.clear();  // an undecodable redirect body is not shown
        }
        return length;
    }
    if (length == 0)
        return 0;
    if (transfer->undelivered_ >= kMaxUndelivered) {
        // libcurl keeps these bytes and hands them over again after the resume.
        transfer->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    const auto deliver = [transfer](const uint8_t* piece, size_t size) {
        transfer->undelivered_ += size;
        TransferEvent event;
        event.kind = TransferEvent::Kind::Data;
        event.data.assign(piece, piece + size);
        transfer->emit(std::move(event));
    };
    if (!transfer->decoder_) {
        deliver(bytes, length);
        return length;
    }
    // A compressed body inflates up to the window at a time: libcurl hands the bytes over
    // again after a pause, and those decoded already are skipped.
    const size_t skip = std::min(transfer->decodedAhead_, length);
    const size_t window =
        kMaxUndelivered - std::min(kMaxUndelivered, transfer->undelivered_.load());
    const auto taken = transfer->decoder_->decode(bytes + skip, length - skip, deliver, window);
    if (!taken)
        return 0;  // less than given stops the transfer; fail() says why
    if (skip + *taken < length) {
        transfer->decodedAhead_ = skip + *taken;
        transfer->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer->decodedAhead_ -= skip;
    return length;
}

size_t CurlTransfer::onRead(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    InputStream& stream = *transfer->bodyStream_;
    if (stream.streamStatus() == Stream::Status::NotOpen && !stream.open())
        return CURL_READFUNC_ABORT;
    // A stream that cannot say how long it is ends when it reads nothing.
    const int64_t n = stream.read(reinterpret_cast<uint8_t*>(buffer), size * count);
    if (n < 0)
        return CURL_READFUNC_ABORT;
    transfer->streamRead_ += n;
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    return static_cast<size_t>(n);
}

int CurlTransfer::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t ultotal,
                             curl_off_t ulnow) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    // A streamed body goes chunked: its framing is not body.
    if (transfer->bodyStream_)
        ulnow = std::min(ulnow, transfer->streamRead_);
    if (ulnow > transfer->uploaded_) {
        TransferEvent event;
        event.kind = TransferEvent::Kind::SentBody;
        event.sent = ulnow - transfer->uploaded_;
        event.totalSent = ulnow;
        event.expectedToSend = ultotal > 0 ? ultotal : transfer->bodyLength_;
        if (!transfer->bodyStream_)
            event.expectedToSend = static_cast<int64_t>(transfer->body_.size());
        transfer->uploaded_ = ulnow;
        transfer->lastActivity_ = std::chrono::steady_clock::now();
        transfer->emit(std::move(event));
    }
    return 0;
}

void CurlTransfer::headerLine(std::string_view line) {
    if (!headersDone_) {
        // The heads of one reply (interim ones included) are bounded before libcurl's own
        // bound, which would fail as a lost connection.
        headBytes_ += line.size();
        if (headBytes_ > kMaxHeadBytes) {
            badReply_ = "its head is longer than 256 KiB";
            return;
        }
    }
    if (line.substr(0, 5) == "HTTP/") {
        // A new response head (after an interim 1xx one).
        rawFields_.clear();
        headersDone_ = false;
        return;
    }
    if (headersDone_) {
        // Trailers: bounded as a head is.
        trailerBytes_ += line.size();
        if (trailerBytes_ > kMaxTrailerBytes)
            badReply_ = "its trailer fields are longer than 64 KiB";
        return;
    }
    const std::string_view text = net_text::trim(line);
    if (text.empty()) {
        endOfHeaders();
        return;
    }
    if (net_text::isSpaceOrTab(line.front())) {
        // An obsolete folded line continues the previous field.
        if (!rawFields_.empty()) {
            rawFields_.back().second += ' ';
            rawFields_.back().second += text;
        }
        return;
    }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return;
    rawFields_.emplace_back(net_text::trim(text.substr(0, colon)),
                            net_text::trim(text.substr(colon + 1)));
    if (equalsIgnoringCase(rawFields_.back().first, "Content-Length") &&
        !net_text::isUsableContentLength(rawFields_.back().second))
        badReply_ = "its Content-Length is invalid or overflows";
}

void CurlTransfer::endOfHeaders() {
    long status = 0;
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200) {
        rawFields_.clear();
        return;
    }
    headersDone_ = true;
    for (const auto& [name, value] : rawFields_)
        fields_.add(name, value);
    if (handleCookies_)
        HttpCookieStorage::shared().setCookiesFromResponseHeaderFields(fields_, url_);
    if (decoding_) {
        if (const auto coding = fields_.first("Content-Encoding"))
            decoder_ = ContentDecoder::forContentEncoding(*coding);
    }
    if (isRedirectStatus(status) && fields_.contains("Location")) {
        redirect_ = true;
        response_ = HttpUrlResponse(url_, static_cast<int>(status), fields_);
        return;
    }
    bool decoded = false;
    if (decoding_) {
        const auto coding = fields_.first("Content-Encoding");
        decoded = coding && !coding->empty() && !equalsIgnoringCase(*coding, "identity");
    }
    response_ = HttpUrlResponse(url_, static_cast<int>(status), fields_, decoded);
    responseSent_ = true;
    TransferEvent event;
    event.kind = TransferEvent::Kind::Response;
    event.response = response_;
    emit(std::move(event));
}

void CurlTransfer::complete(CURLcode result) {
    if (result != CURLE_OK) {
        fail(result);
        return;
    }
    if (!redirect_ && decoder_ && decoder_->started() && !decoder_->ended()) {
        TransferEvent event;
        event.kind = TransferEvent::Kind::Fail;
        event.error = makeUrlError(NSURLErrorCannotDecodeContentData, url_,
                                   "The server's reply could not be read: its compressed body "
                                   "ends before its compressed stream does");
        emitLast(std::move(event));
        return;
    }
    if (redirect_) {
        char* location = nullptr;
        curl_easy_getinfo(handle_, CURLINFO_REDIRECT_URL, &location);
        if (location && *location) {
            TransferEvent event;
            event.kind = TransferEvent::Kind::Redirect;
            event.response = response_;
            event.data = std::move(redirectBody_);
            event.location = location;
            emitLast(std::move(event));
            return;
        }
        // A Location that cannot be resolved: the redirect response is the answer.
        TransferEvent head;
        head.kind = TransferEvent::Kind::Response;
        head.response = response_;
        emit(std::move(head));
        if (!redirectBody_.empty()) {
            TransferEvent body;
            body.kind = TransferEvent::Kind::Data;
            body.data = std::move(redirectBody_);
            emit(std::move(body));
        }
    } else if (!responseSent_) {
        long status = 0;
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
        TransferEvent head;
        head.kind = TransferEvent::Kind::Response;
        head.response = HttpUrlResponse(url_, static_cast<int>(status), fields_);
        emit(std::move(head));
    }
    TransferEvent done;
    done.kind = TransferEvent::Kind::Finish;
    emitLast(std::move(done));
}

void CurlTransfer::timeOut() {
    TransferEvent event;
    event.kind = TransferEvent::Kind::Fail;
    event.error = makeUrlError(NSURLErrorTimedOut, url_);
    emitLast(std::move(event));
}

void CurlTransfer::fail(CURLcode result) {
    long osErrno = 0;
    curl_easy_getinfo(handle_, CURLINFO_OS_ERRNO, &osErrno);
    TransferEvent event;
    event.kind = TransferEvent::Kind::Fail;
    char* address = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_PRIMARY_IP, &address);
    const bool answered = address && *address;
    if (decoder_ && !decoder_->failure().empty()) {
        event.error = makeUrlError(NSURLErrorCannotDecodeContentData, url_,
                                   "The server's reply could not be read: " + decoder_->failure());
        emitLast(std::move(event));
        return;
    }
    // libcurl refuses a status line or header field longer than it holds as out of memory.
    const bool headTooLong = answered && !headersDone_ && result == CURLE_OUT_OF_MEMORY;
    if (!badReply_.empty() || headTooLong ||
        (answered &&
         (result == CURLE_UNSUPPORTED_PROTOCOL || result == CURLE_WEIRD_SERVER_REPLY))) {
        // A server answered, but not with HTTP this layer can read: not an unsupported URL.
        const std::string detail = !badReply_.empty() ? badReply_
                                   : errorBuffer_[0]  ? std::string(errorBuffer_)
                                                      : std::string(curl_easy_strerror(result));
        event.error = makeUrlError(NSURLErrorBadServerResponse, url_,
                                   "The server's reply could not be read: " + detail);
        emitLast(std::move(event));
        return;
    }
    event.error = makeUrlError(urlErrorCode(result, osErrno), url_,
                               errorBuffer_[0] ? std::string_view(errorBuffer_)
                                               : std::string_view(curl_easy_strerror(result)));
    emitLast(std::move(event));
}

void CurlTransfer::emit(TransferEvent event) {
    std::lock_guard lock(listenerMutex_);
    if (listener_)
        listener_(std::move(event));
}

void CurlTransfer::emitLast(TransferEvent event) {
    Listener old;
    {
        std::lock_guard lock(listenerMutex_);
        if (listener_)
            listener_(std::move(event));
        old = std::move(listener_);
        listener_ = nullptr;
    }
}

}  // namespace plat
