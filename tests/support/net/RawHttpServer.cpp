#include "support/net/RawHttpServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>

namespace net_test {

struct RawHttpServer::Tls {
    SSL_CTX* context = nullptr;
    explicit Tls(Certificate kind) {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* certificate = X509_new();
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
        const bool expired = kind == Certificate::Expired;
        X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -7200 : -3600);
        X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -3600 : 3600);
        X509_set_pubkey(certificate, key);
        X509_NAME* name = X509_get_subject_name(certificate);
        const char* host = kind == Certificate::OtherHost ? "other.invalid" : "127.0.0.1";
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(host), -1, -1, 0);
        X509_set_issuer_name(certificate, name);
        X509_sign(certificate, key, EVP_sha256());
        context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context, certificate);
        SSL_CTX_use_PrivateKey(context, key);
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
    ~Tls() { SSL_CTX_free(context); }
};

namespace {

// One connection's reads and writes, plain or TLS.
class Channel {
  public:
    Channel(int fd, SSL_CTX* tls) : fd_(fd) {
        if (tls) {
            ssl_ = SSL_new(tls);
            SSL_set_fd(ssl_, fd);
            if (SSL_accept(ssl_) != 1) {
                SSL_free(ssl_);
                ssl_ = nullptr;
                failed_ = true;
            }
        }
    }
    ~Channel() {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
    }
    bool failed() const { return failed_; }
    // Reads more into `buffer`; false at the end or on an error.
    bool fill(std::string& buffer) {
        char chunk[16384];
        const long n = ssl_ ? SSL_read(ssl_, chunk, sizeof chunk)
                            : static_cast<long>(::recv(fd_, chunk, sizeof chunk, 0));
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<size_t>(n));
        return true;
    }
    // Sends everything; each piece written is told to `sent` when given, and with a `piece`
    // size no write takes more than that.
    bool send(const std::string& bytes, const std::function<void(size_t)>& sent = nullptr,
              size_t piece = 0) {
        size_t done = 0;
        while (done < bytes.size()) {
            const size_t size = piece ? std::min(piece, bytes.size() - done) : bytes.size() - done;
            const long n =
                ssl_ ? SSL_write(ssl_, bytes.data() + done, static_cast<int>(size))
                     : static_cast<long>(::send(fd_, bytes.data() + done, size, MSG_NOSIGNAL));
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
            if (sent)
                sent(static_cast<size_t>(n));
        }
        return true;
    }

  private:
    int fd_;
    SSL* ssl_ = nullptr;
    bool failed_ = false;
};

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of a field in a request head (name without case), or empty.
std::string field(const std::string& head, const std::string& name) {
    const std::string low = lower(head);
    const size_t at = low.find("\r\n" + lower(name) + ":");
    if (at == std::string::npos)
        return {};
    const size_t start = at + name.size() + 3;
    const size_t end = head.find("\r\n", start);
    std::string value = head.substr(start, end - start);
    value.erase(0, value.find_first_not_of(' '));
    return value;
}

// The body of one request, kept or hashed as it arrives.
class BodySink {
  public:
    BodySink(bool hash, bool discard, std::function<void(size_t)> counter)
        : counter_(std::move(counter)), discard_(discard) {
        if (hash) {
            digest_ = EVP_MD_CTX_new();
            EVP_DigestInit_ex(digest_, EVP_sha256(), nullptr);
        }
    }
    ~BodySink() { EVP_MD_CTX_free(digest_); }
    BodySink(const BodySink&) = delete;
    BodySink& operator=(const BodySink&) = delete;
    void add(std::string_view bytes) {
        counter_(bytes.size());
        if (discard_)
            return;
        if (digest_)
            EVP_DigestUpdate(digest_, bytes.data(), bytes.size());
        else
            body_.append(bytes);
    }
    std::string take() {
        if (!digest_)
            return std::move(body_);
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(digest_, out, &length);
        static const char* kHex = "0123456789abcdef";
        std::string hex;
        for (unsigned int i = 0; i < length; ++i) {
            hex += kHex[out[i] >> 4];
            hex += kHex[out[i] & 15];
        }
        return hex;
    }

  private:
    std::function<void(size_t)> counter_;
    bool discard_;
    EVP_MD_CTX* digest_ = nullptr;
    std::string body_;
};

// Reads one request (head and body) from the channel; false when the connection ends first.
bool readRequest(Channel& channel, std::string& pending, std::string& head, BodySink& body) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (!channel.fill(pending))
            return false;
    }
    head = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    if (lower(field(head, "Transfer-Encoding")) == "chunked") {
        for (;;) {
            size_t line;
            while ((line = pending.find("\r\n")) == std::string::npos) {
                if (!channel.fill(pending))
                    return false;
            }
            size_t size = std::stoul(pending.substr(0, line), nullptr, 16);
            pending.erase(0, line + 2);
            const bool last = size == 0;
            while (size > 0) {
                if (pending.empty() && !channel.fill(pending))
                    return false;
                const size_t take = std::min(size, pending.size());
                body.add(std::string_view(pending).substr(0, take));
                pending.erase(0, take);
                size -= take;
            }
            while (pending.size() < 2) {
                if (!channel.fill(pending))
                    return false;
            }
            pending.erase(0, 2);
            if (last)
                return true;
        }
    }
    const std::string length = field(head, "Content-Length");
    uint64_t size = length.empty() ? 0 : std::stoull(length);
    while (size > 0) {
        if (pending.empty() && !channel.fill(pending))
            return false;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(size, pending.size()));
        body.add(std::string_view(pending).substr(0, take));
        pending.erase(0, take);
        size -= take;
    }
    return true;
}

int connectTo(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return -1;
    int fd = ::socket(found->ai_family, SOCK_STREAM, 0);
    if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

}  // namespace

namespace {

// A listening socket on a free loopback port.
int listenOnLoopback(int* port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 64);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return listener;
}

// Closes the listener, ends every open connection and waits for their threads.
void stopServing(int listener, std::thread& acceptor, std::mutex& mutex,
                 const std::vector<int>& open, std::vector<std::thread>& threads) {
    ::shutdown(listener, SHUT_RDWR);
    ::close(listener);
    acceptor.join();
    {
        std::lock_guard lock(mutex);
        for (int fd : open)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& thread : threads)
        thread.join();
}

}  // namespace

RawHttpServer::RawHttpServer(Handler handler, bool tls, Certificate certificate)
    : handler_(std::move(handler)) {
    // A client that goes away mid-reply must not end the test process (TLS writes use write()).
    std::signal(SIGPIPE, SIG_IGN);
    if (tls)
        tls_ = std::make_unique<Tls>(certificate);
    listener_ = listenOnLoopback(&port_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
    stopping_ = true;
    release();
    stopServing(listener_, acceptor_, mutex_, open_, threads_);
}

void RawHttpServer::hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void RawHttpServer::release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

std::string RawHttpServer::url(const std::string& path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawHttpServer::heads() const {
    std::lock_guard lock(mutex_);
    return heads_;
}

std::vector<std::string> RawHttpServer::bodies() const {
    std::lock_guard lock(mutex_);
    return bodies_;
}

std::string RawHttpServer::ok(const std::string& body, const std::string& extraFields) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           extraFields + "\r\n" + body;
}

void RawHttpServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0)
            return;
        if (stopping_) {
            ::close(fd);
            return;
        }
        ++connections_;
        std::lock_guard lock(mutex_);
        open_.push_back(fd);
        threads_.emplace_back([this, fd] { serve(fd); });
    }
}

std::vector<RawHttpServer::Count> RawHttpServer::sentLog() const {
    std::lock_guard lock(mutex_);
    return sentLog_;
}

std::vector<RawHttpServer::Count> RawHttpServer::receivedLog() const {
    std::lock_guard lock(mutex_);
    return receivedLog_;
}

void RawHttpServer::serve(int fd) {
    const bool paced = paced_;
    if (paced) {
        const int sendSize = 4096, receiveSize = 8192;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendSize, sizeof sendSize);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveSize, sizeof receiveSize);
    }
    // Adds to a count, and logs it with the moment when paced.
    auto counter = [this, paced](std::atomic<uint64_t>& count, std::vector<Count>& log) {
        return [this, paced, &count, &log](size_t n) {
            if (!paced) {
                count += n;
                return;
            }
            const double now =
                std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                    .count();
            std::lock_guard lock(mutex_);  // the log in the order of the counts, over connections
            log.push_back({now, count += n});
        };
    };
    const auto sent = counter(bytesSent_, sentLog_);
    const auto received = counter(bodyBytes_, receivedLog_);
    {
        Channel channel(fd, tls_ ? tls_->context : nullptr);
        std::string pending, head;
        for (;;) {
            if (channel.failed() || stopping_)
                break;
            BodySink sink(hashBodies_, discardBodies_, received);
            if (!readRequest(channel, pending, head, sink))
                break;
            const std::string body = sink.take();
            {
                std::lock_guard lock(mutex_);
                heads_.push_back(head);
                bodies_.push_back(body);
            }
            {
                std::unique_lock lock(mutex_);
                released_.wait(lock, [this] { return !held_ || stopping_; });
            }
            const Reply reply = handler_(head, body);
            bool ok = channel.send(reply.bytes, sent, paced ? 4096 : 0);
            for (std::string piece; ok && reply.more && !stopping_ && reply.more(piece);)
                ok = channel.send(piece, sent, paced ? 4096 : 0);
            if (!ok || reply.close || lower(field(head, "Connection")) == "close")
                break;
        }
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), fd), open_.end());
    ::close(fd);
}

namespace {

std::string md5Hex(const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), out, &length, EVP_md5(), nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[out[i] >> 4];
        hex += kHex[out[i] & 15];
    }
    return hex;
}

// The name="value" and name=value parameters of a Digest answer.
std::map<std::string, std::string> digestParameters(const std::string& value) {
    std::map<std::string, std::string> params;
    size_t i = value.find(' ');
    while (i != std::string::npos && i < value.size()) {
        while (i < value.size() && (value[i] == ' ' || value[i] == ','))
            ++i;
        const size_t equals = value.find('=', i);
        if (equals == std::string::npos)
            break;
        const std::string name = lower(value.substr(i, equals - i));
        std::string text;
        i = equals + 1;
        if (i < value.size() && value[i] == '"') {
            for (++i; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size())
                    ++i;
                text += value[i];
            }
            ++i;
        } else {
            const size_t end = std::min(value.find(',', i), value.size());
            text = value.substr(i, end - i);
            i = end;
        }
        params[name] = text;
    }
    return params;
}

}  // namespace

ForwardProxy::ForwardProxy(std::string user, std::string password, Scheme scheme)
    : user_(std::move(user)), password_(std::move(password)), scheme_(scheme) {
    server_ = std::make_unique<RawHttpServer>([this](
                                                  const std::string& head,
                                                  const std::string& body) -> RawHttpServer::Reply {
        if (!user_.empty() && !authorized(head)) {
            ++challenges_;
            return RawHttpServer::Reply{
                "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: " + challenge() +
                    "\r\nContent-Length: 0\r\n\r\n",
                true};
        }
        ++passed_;
        // "GET http://host:port/path HTTP/1.1"
        const size_t firstSpace = head.find(' ');
        const size_t secondSpace = head.find(' ', firstSpace + 1);
        const std::string target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        const std::string prefix = "http://";
        if (target.rfind(prefix, 0) != 0)
            return RawHttpServer::Reply{"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n",
                                        true};
        const size_t slash = target.find('/', prefix.size());
        const std::string authority = target.substr(prefix.size(), slash - prefix.size());
        const std::string path = slash == std::string::npos ? "/" : target.substr(slash);
        const size_t colon = authority.rfind(':');
        const std::string host = authority.substr(0, colon);
        const std::string port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
        const int upstream = connectTo(host, port);
        if (upstream < 0)
            return RawHttpServer::Reply{"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n",
                                        true};
        std::string forwarded = head.substr(0, firstSpace) + " " + path +
                                head.substr(secondSpace, head.find("\r\n") - secondSpace) + "\r\n";
        size_t line = head.find("\r\n") + 2;
        while (line < head.size() - 2) {
            const size_t next = head.find("\r\n", line);
            const std::string text = head.substr(line, next - line);
            const std::string name = lower(text.substr(0, text.find(':')));
            if (name != "connection" && name.rfind("proxy-", 0) != 0)
                forwarded += text + "\r\n";
            line = next + 2;
        }
        forwarded += "Connection: close\r\n\r\n" + body;
        Channel out(upstream, nullptr);
        std::string reply;
        if (out.send(forwarded)) {
            while (out.fill(reply)) {
            }
        }
        ::close(upstream);
        return RawHttpServer::Reply{reply, true};
    });
}

ForwardProxy::~ForwardProxy() = default;

std::string ForwardProxy::challenge() {
    if (scheme_ == Scheme::Basic)
        return "Basic realm=\"proxy\"";
    unsigned char bytes[12];
    RAND_bytes(bytes, sizeof bytes);
    std::string nonce;
    for (unsigned char byte : bytes)
        nonce += "0123456789abcdef"[byte >> 4], nonce += "0123456789abcdef"[byte & 15];
    {
        std::lock_guard lock(nonceMutex_);
        nonces_.push_back(nonce);
    }
    return "Digest realm=\"proxy\", qop=\"auth\", algorithm=MD5, nonce=\"" + nonce + "\"";
}

bool ForwardProxy::authorized(const std::string& head) const {
    const std::string answer = field(head, "Proxy-Authorization");
    if (scheme_ == Scheme::Basic) {
        const std::string pair = user_ + ":" + password_;
        std::string encoded(4 * ((pair.size() + 2) / 3) + 1, '\0');
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                      reinterpret_cast<const unsigned char*>(pair.data()),
                                      static_cast<int>(pair.size()));
        encoded.resize(static_cast<size_t>(n));
        return answer == "Basic " + encoded;
    }
    if (lower(answer.substr(0, 7)) != "digest ")
        return false;
    auto params = digestParameters(answer);
    {
        std::lock_guard lock(nonceMutex_);
        if (std::find(nonces_.begin(), nonces_.end(), params["nonce"]) == nonces_.end())
            return false;
    }
    if (params["username"] != user_ || params["realm"] != "proxy")
        return false;
    const std::string method = head.substr(0, head.find(' '));
    const std::string ha1 = md5Hex(user_ + ":proxy:" + password_);
    const std::string ha2 = md5Hex(method + ":" + params["uri"]);
    const std::string expected =
        params["qop"].empty() ? md5Hex(ha1 + ":" + params["nonce"] + ":" + ha2)
                              : md5Hex(ha1 + ":" + params["nonce"] + ":" + params["nc"] + ":" +
                                       params["cnonce"] + ":" + params["qop"] + ":" + ha2);
    return params["response"] == expected;
}

std::vector<std::string> ForwardProxy::requestLines() const {
    std::vector<std::string> lines;
    for (const auto& head : server_->heads())
        lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
}

namespace {

// Reads exactly `length` bytes; false when the peer closes first.
bool readExactly(int fd, uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::recv(fd, data, length, 0);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool sendAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

Socks5Proxy::Socks5Proxy() {
    listener_ = listenOnLoopback(&port_);
    acceptor_ = std::thread([this] {
        for (;;) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0 || stopping_) {
                if (fd >= 0)
                    ::close(fd);
                return;
            }
            std::lock_guard lock(mutex_);
            open_.push_back(fd);
            threads_.emplace_back([this, fd] { serve(fd); });
        }
    });
}

Socks5Proxy::~Socks5Proxy() {
    stopping_ = true;
    stopServing(listener_, acceptor_, mutex_, open_, threads_);
}

std::vector<std::string> Socks5Proxy::targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

void Socks5Proxy::serve(int client) {
    int upstream = -1;
    auto relay = [&] {
        // Greeting: version 5 and the offered methods; "no authentication" is chosen.
        uint8_t head[4];
        if (!readExactly(client, head, 2) || head[0] != 5)
            return;
        std::vector<uint8_t> methods(head[1]);
        if (!readExactly(client, methods.data(), methods.size()) ||
            std::find(methods.begin(), methods.end(), 0) == methods.end()) {
            const uint8_t refuse[] = {5, 0xFF};
            sendAll(client, refuse, sizeof refuse);
            return;
        }
        const uint8_t chosen[] = {5, 0};
        if (!sendAll(client, chosen, sizeof chosen))
            return;
        // The request: version, CONNECT, reserved, address type, address, port.
        if (!readExactly(client, head, 4) || head[0] != 5 || head[1] != 1)
            return;
        std::string host;
        if (head[3] == 1 || head[3] == 4) {
            uint8_t raw[16];
            const size_t size = head[3] == 1 ? 4 : 16;
            char text[INET6_ADDRSTRLEN] = {};
            if (!readExactly(client, raw, size) ||
                !::inet_ntop(head[3] == 1 ? AF_INET : AF_INET6, raw, text, sizeof text))
                return;
            host = text;
        } else if (head[3] == 3) {
            uint8_t size = 0;
            if (!readExactly(client, &size, 1))
                return;
            host.resize(size);
            if (!readExactly(client, reinterpret_cast<uint8_t*>(host.data()), size))
                return;
        } else {
            return;
        }
        uint8_t portBytes[2];
        if (!readExactly(client, portBytes, 2))
            return;
        const std::string port = std::to_string(portBytes[0] << 8 | portBytes[1]);
        {
            std::lock_guard lock(mutex_);
            targets_.push_back(host + ":" + port);
        }
        upstream = connectTo(host, port);
        const uint8_t reply[] = {5, static_cast<uint8_t>(upstream < 0 ? 5 : 0), 0, 1, 0, 0, 0, 0, 0,
                                 0};
        if (!sendAll(client, reply, sizeof reply) || upstream < 0)
            return;
        pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
        uint8_t buffer[16384];
        while (!stopping_ && ::poll(fds, 2, 200) >= 0) {
            for (int side = 0; side < 2; ++side) {
                if (!(fds[side].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::recv(fds[side].fd, buffer, sizeof buffer, 0);
                if (n <= 0 || !sendAll(fds[1 - side].fd, buffer, static_cast<size_t>(n)))
                    return;
            }
        }
    };
    relay();
    if (upstream >= 0)
        ::close(upstream);
    std::lock_guard lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), client), open_.end());
    ::close(client);
}

}  // namespace net_test
