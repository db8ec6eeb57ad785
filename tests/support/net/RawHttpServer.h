#pragma once
// A loopback HTTP/1.1 server for tests that must control every byte of a reply: each request
// (head, and a body by Content-Length or chunks) is answered with the bytes a handler returns,
// on the same connection until a reply asks to close. Optionally over TLS with a self-signed
// certificate made at start. It counts connections and keeps every request head.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net_test {

class RawHttpServer {
  public:
    struct Reply {
        std::string bytes;
        bool close = false;
        // After the bytes: further pieces, sent while this answers true and the client reads
        // (an endless or very long body without holding it).
        std::function<bool(std::string& piece)> more;
    };
    using Handler = std::function<Reply(const std::string& head, const std::string& body)>;

    // The self-signed certificate a TLS server shows: valid now for 127.0.0.1, out of date, or
    // made out to another host.
    enum class Certificate { Current, Expired, OtherHost };

    explicit RawHttpServer(Handler handler, bool tls = false,
                           Certificate certificate = Certificate::Current);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const;
    size_t connections() const { return connections_; }
    std::vector<std::string> heads() const;
    // The bodies received; with hashed bodies, the SHA-256 (hex) of each instead, and the
    // handler sees that text too.
    std::vector<std::string> bodies() const;
    // Bodies are hashed as they arrive and never kept (for very large uploads). Set before use.
    void setHashBodies(bool hash) { hashBodies_ = hash; }
    // Bodies are only counted (for benchmarks); bodies() holds empty texts.
    void setDiscardBodies(bool discard) { discardBodies_ = discard; }
    // Replies wait while held (the request has arrived, its answer has not).
    void hold();
    void release();
    // Body bytes received so far, over all requests (as they arrive).
    uint64_t bodyBytesReceived() const { return bodyBytes_; }
    // Reply bytes written to the sockets so far, over all connections.
    uint64_t bytesSent() const { return bytesSent_; }
    // Replies go out in pieces of 4 KiB through a small socket send buffer, and bodies come in
    // through a small receive buffer, so that bytesSent and bodyBytesReceived follow what the
    // client takes and gives (for measuring a client's pace); both are then also logged with
    // the moment of each change. Set before use.
    void setPacedSending(bool paced) { paced_ = paced; }
    // A count at a moment: seconds of the steady clock, bytes in all so far.
    struct Count {
        double seconds = 0;
        uint64_t bytes = 0;
    };
    // Paced sending only: every change of bytesSent and of bodyBytesReceived, in order.
    std::vector<Count> sentLog() const;
    std::vector<Count> receivedLog() const;

    // "HTTP/1.1 200 OK" with Content-Length and the body.
    static std::string ok(const std::string& body, const std::string& extraFields = {});

  private:
    struct Tls;
    void acceptLoop();
    void serve(int fd);

    Handler handler_;
    std::unique_ptr<Tls> tls_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<size_t> connections_{0};
    std::atomic<bool> hashBodies_{false};
    std::atomic<bool> discardBodies_{false};
    std::atomic<uint64_t> bodyBytes_{0};
    std::atomic<uint64_t> bytesSent_{0};
    std::atomic<bool> paced_{false};
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    std::vector<std::string> heads_, bodies_;
    std::vector<Count> sentLog_, receivedLog_;
    std::vector<int> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

// A forward HTTP proxy on loopback (absolute-form requests, plain HTTP): each request is sent
// on to its origin with "Connection: close" and the reply relayed back; the client connection
// then closes. It keeps the request lines it saw.
class ForwardProxy {
  public:
    enum class Scheme { Basic, Digest };
    // With a user name, requests without that user's "Proxy-Authorization" get a 407: Basic,
    // or Digest MD5 (qop "auth", realm "proxy", any nonce this proxy issued).
    explicit ForwardProxy(std::string user = {}, std::string password = {},
                          Scheme scheme = Scheme::Basic);
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;
    int port() const { return server_->port(); }
    std::vector<std::string> requestLines() const;
    // Requests answered with 407, and requests passed on to their origin.
    size_t challenges() const { return challenges_; }
    size_t passed() const { return passed_; }

  private:
    bool authorized(const std::string& head) const;
    std::string challenge();

    std::string user_, password_;
    Scheme scheme_;
    mutable std::mutex nonceMutex_;
    std::vector<std::string> nonces_;
    std::atomic<size_t> challenges_{0};
    std::atomic<size_t> passed_{0};
    std::unique_ptr<RawHttpServer> server_;
};

// A SOCKS version 5 proxy on loopback: no authentication, CONNECT only (to an IPv4 address, an
// IPv6 address or a host name); the bytes are relayed both ways until either side closes. It
// keeps the "host:port" of every CONNECT.
class Socks5Proxy {
  public:
    Socks5Proxy();
    ~Socks5Proxy();
    Socks5Proxy(const Socks5Proxy&) = delete;
    Socks5Proxy& operator=(const Socks5Proxy&) = delete;
    int port() const { return port_; }
    std::vector<std::string> targets() const;

  private:
    void serve(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<int> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

}  // namespace net_test
