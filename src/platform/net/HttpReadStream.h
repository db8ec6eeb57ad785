#pragma once
// plat::HttpReadStream: one HTTP exchange read as a stream, for the request engine. The request
// head (and a body, from the message or from an input stream read on the network thread) goes
// out on the network thread's libcurl multi handle; the response body comes back through read().
//
// - Events (scheduled loop and modes only, none after close): OpenCompleted once the response
//   head is complete, HasBytesAvailable while body bytes wait, then EndEncountered or
//   ErrorOccurred (after any bytes that arrived first).
// - read() never blocks: > 0 bytes, 0 when nothing waits (the end once the status is AtEnd),
//   -1 on an error. No more than 1 MiB (or the read-ahead limit) waits, but for a single piece
//   when nothing else does: the transfer pauses until the reader catches up.
// - Nothing is decided here: no redirects, authentication, cookies, content decoding or idle
//   time-out (the engine's status check owns time-outs).
// - Errors: a connection lost (also a body short of its length or of its last chunk) is
//   -1005 in kCFErrorDomainCFNetwork; a malformed response head 303 there; TLS failures are
//   OS status errors from -9807 (certificate) to -9800; the rest NSURLErrorDomain codes.
// - Persistence: with it, an idle connection to the same scheme, host and port is reused and
//   left open after use; without, a fresh connection is made and closed after use.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/net/HttpMessage.h"
#include "platform/storage/InputStream.h"

namespace plat {

inline constexpr const char* kCFErrorDomainCFNetwork = "kCFErrorDomainCFNetwork";
inline constexpr const char* NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline constexpr int64_t kCFErrorHTTPParseFailure = 303;

class HttpReadStream final : public InputStream {
  public:
    static constexpr size_t kMaxWaitingBytes = 1 << 20;
    // The largest piece the network thread hands over at once.
    static constexpr size_t kPieceBytes = 256 * 1024;

    struct TlsSettings {
        bool validatesCertificateChain = true;
        std::string clientCertificatePem;  // the client's identity, when the server asks
        std::string clientKeyPem;
    };
    struct ProxyAddress {
        std::string host;
        int port = 0;
    };

    // Sets the network layer up on the calling thread (done by the first stream otherwise);
    // owners of worker threads that make streams call it first from the main thread.
    static void initializeNetworking();

    // The request, with the body to send from a stream (a body in the message is sent when
    // there is no stream).
    static Ref<HttpReadStream> make(HttpMessage request, Ref<InputStream> body = nullptr);
    ~HttpReadStream() override;

    // Settings, before open().
    void setTlsSettings(TlsSettings settings) { tls_ = std::move(settings); }
    // Proxies for http URLs, for https URLs (tunnelled), or SOCKS (version 5) for both.
    void setHttpProxy(ProxyAddress proxy) { httpProxy_ = std::move(proxy); }
    void setHttpsProxy(ProxyAddress proxy) { httpsProxy_ = std::move(proxy); }
    void setSocksProxy(ProxyAddress proxy) { socksProxy_ = std::move(proxy); }
    void setAttemptPersistentConnection(bool on) { persistent_ = on; }
    bool attemptPersistentConnection() const { return persistent_; }
    // The engine's key for the connection it means to reuse.
    void setReuseKey(std::string key) { reuseKey_ = std::move(key); }
    const std::string& reuseKey() const { return reuseKey_; }

    // Throttling. While held, the transfer takes no more body bytes from the server and sends
    // no more of the request body; a request body stream that reads 0 while it still has bytes
    // also stops the sending until the next release. Release lets it go on. The read-ahead
    // limit replaces kMaxWaitingBytes (0: back to it).
    void holdTransfer();
    void releaseTransfer();
    void setReadAheadLimit(size_t bytes);

    bool open() override;
    void close() override;
    int64_t read(uint8_t* buffer, size_t length) override;
    bool hasBytesAvailable() const override;
    // Body bytes received and not read yet.
    size_t bytesWaiting() const;

    const HttpMessage& request() const { return request_; }
    // The response head, once complete.
    std::optional<HttpMessage> responseHeader() const;
    // Body bytes sent so far.
    uint64_t requestBytesWritten() const;
    // After the response head: whether the exchange went over a connection made before it.
    bool reusedConnection() const;

    struct Shared;
    class Transfer;
    struct Private {};
    HttpReadStream(Private, HttpMessage request, Ref<InputStream> body);

  private:
    Event pendingEvent() override;
    bool askAgain(Event delivered) override;

    HttpMessage request_;
    Ref<InputStream> body_;
    TlsSettings tls_;
    std::optional<ProxyAddress> httpProxy_, httpsProxy_, socksProxy_;
    bool persistent_ = false;
    std::string reuseKey_;

    std::shared_ptr<Shared> shared_;
    std::shared_ptr<Transfer> transfer_;
    bool openReported_ = false;
    bool endReported_ = false;
    uint64_t readBefore_ = 0;
};

}  // namespace plat
