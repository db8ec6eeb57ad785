#include "LinkRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <deque>
#include <vector>

namespace bench {

namespace {

constexpr size_t kChunkBytes = 16 * 1024;
// What one direction of a connection holds before it stops reading its sender.
constexpr size_t kQueueBytes = size_t{4} << 20;

// Runs `step` (a recv or a send of what is left) until all `size` bytes have gone; false on an
// error or the end of the peer's data.
template <class Step>
bool whole(size_t size, Step step) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool readExactly(int fd, uint8_t* out, size_t size) {
    return whole(size, [&](size_t done) { return ::recv(fd, out + done, size - done, 0); });
}

bool writeAll(int fd, const uint8_t* bytes, size_t size) {
    return whole(size,
                 [&](size_t done) { return ::send(fd, bytes + done, size - done, MSG_NOSIGNAL); });
}

// A connected socket to 127.0.0.1:port, or -1.
int connectLocal(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

struct LinkRelay::Connection {
    int client = -1;
    std::atomic<int> service{-1};
    std::thread thread;
    std::atomic<bool> finished{false};
    ~Connection() {
        if (thread.joinable())
            thread.join();
        if (client >= 0)
            ::close(client);
        if (service >= 0)
            ::close(service);
    }
    void cut() const {
        ::shutdown(client, SHUT_RDWR);
        if (service >= 0)
            ::shutdown(service, SHUT_RDWR);
    }
};

LinkRelay::LinkRelay(Clock::duration roundTrip, double bytesPerSecond)
    : roundTrip_(roundTrip), bytesPerSecond_(bytesPerSecond) {}

LinkRelay::~LinkRelay() {
    stop();
}

bool LinkRelay::start() {
    if (listener_ >= 0 || bytesPerSecond_ <= 0 || ::pipe2(wake_, O_CLOEXEC) != 0)
        return false;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 128) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        stop();
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void LinkRelay::stop() {
    stopping_ = true;
    if (wake_[1] >= 0)
        (void)!::write(wake_[1], "x", 1);
    if (acceptor_.joinable())
        acceptor_.join();
    {
        std::lock_guard lock(connectionsMutex_);
        for (const auto& connection : connections_)
            connection->cut();
    }
    reapFinished(true);
    for (int* fd : {&listener_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<LinkRelay::Clock::time_point> LinkRelay::acceptTimes() const {
    std::lock_guard lock(connectionsMutex_);
    return acceptTimes_;
}

std::string LinkRelay::proxyUrl() const {
    return "socks5://127.0.0.1:" + std::to_string(port_);
}

void LinkRelay::reapFinished(bool all) {
    std::list<std::unique_ptr<Connection>> done;
    {
        std::lock_guard lock(connectionsMutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->finished) {
                done.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    done.clear();  // joins their threads
}

void LinkRelay::acceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, 100);
        reapFinished(false);
        if (ready <= 0 || stopping_ || !(fds[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::lock_guard lock(connectionsMutex_);
        if (acceptTimes_.size() >= kMaxLog)
            acceptTimes_.erase(acceptTimes_.begin());
        acceptTimes_.push_back(Clock::now());
        if (connections_.size() >= kMaxConnections) {
            ::close(client);
            ++refused_;
            continue;
        }
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto connection = std::make_unique<Connection>();
        connection->client = client;
        Connection& made = *connection;
        connections_.push_back(std::move(connection));
        ++open_;
        made.thread = std::thread([this, &made] {
            serve(made);
            --open_;
            made.finished = true;
        });
    }
}

// The SOCKS5 greeting and request (no authentication; CONNECT to 127.0.0.1 by address or name),
// then the connection's two directions.
void LinkRelay::serve(Connection& connection) {
    const int client = connection.client;
    timeval limit{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    uint8_t head[2];
    uint8_t methods[255];
    uint8_t request[4];
    bool ok = readExactly(client, head, 2) && head[0] == 5 && head[1] > 0 &&
              readExactly(client, methods, head[1]);
    const uint8_t noAuthentication[2] = {5, 0};
    ok = ok && writeAll(client, noAuthentication, 2) && readExactly(client, request, 4) &&
         request[0] == 5 && request[1] == 1;
    bool local = false;
    if (ok && request[3] == 1) {
        uint8_t address[4];
        ok = readExactly(client, address, 4);
        local = ok && address[0] == 127 && address[1] == 0 && address[2] == 0 && address[3] == 1;
    } else if (ok && request[3] == 3) {
        uint8_t length = 0;
        char name[256] = {};
        ok = readExactly(client, &length, 1) &&
             readExactly(client, reinterpret_cast<uint8_t*>(name), length);
        const std::string host(name, length);
        local = ok && (host == "127.0.0.1" || host == "localhost");
    }
    uint8_t portBytes[2];
    ok = ok && local && readExactly(client, portBytes, 2);
    const int port = (portBytes[0] << 8) | portBytes[1];
    connection.service = ok ? connectLocal(port) : -1;
    // The handshake of a real line: one round trip before the first byte may go.
    if (connection.service >= 0)
        std::this_thread::sleep_for(roundTrip_);
    const uint8_t reply[10] = {5, static_cast<uint8_t>(connection.service >= 0 ? 0 : 5), 0, 1};
    if (connection.service < 0 || stopping_ || !writeAll(client, reply, sizeof reply)) {
        ++refused_;
        connection.cut();
        return;
    }
    ++made_;
    timeval none{0, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
    std::thread down([&] { pump(connection, connection.service, client, down_); });
    pump(connection, client, connection.service, up_);
    down.join();
}

LinkRelay::Clock::time_point LinkRelay::stamp(Line& line, size_t bytes) {
    std::lock_guard lock(line.mutex);
    const auto now = Clock::now();
    const auto onLine = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / bytesPerSecond_));
    line.freeAt = std::max(now, line.freeAt) + onLine;
    line.carried += static_cast<int64_t>(bytes);
    return line.freeAt + roundTrip_ / 2;
}

// Carries one direction: what is read from `from` is written to `to` once it has crossed the
// line; the end of the sender's data crosses it too.
void LinkRelay::pump(Connection& connection, int from, int to, Line& line) {
    struct Chunk {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
        bool end = false;
    };
    std::deque<Chunk> queue;
    size_t queued = 0;
    bool readDone = false;
    std::vector<uint8_t> buffer(kChunkBytes);
    while (!stopping_) {
        const auto now = Clock::now();
        while (!queue.empty() && queue.front().due <= now) {
            Chunk& chunk = queue.front();
            if (chunk.end) {
                ::shutdown(to, SHUT_WR);
                return;
            }
            if (!writeAll(to, chunk.bytes.data(), chunk.bytes.size())) {
                connection.cut();
                return;
            }
            queued -= chunk.bytes.size();
            queue.pop_front();
        }
        // Until the next chunk is due (a tenth of a second at most, to see a stop).
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(100));
        if (!queue.empty())
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      queue.front().due - now));
        const timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                               static_cast<long>(wait.count() % 1000000000)};
        const bool reading = !readDone && queued < kQueueBytes;
        pollfd input{from, POLLIN, 0};
        const int ready = ::ppoll(&input, reading ? 1 : 0, &timeout, nullptr);
        if (ready <= 0 || !reading || !(input.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            connection.cut();
            return;
        }
        if (n == 0) {
            readDone = true;
            queue.push_back({stamp(line, 0), {}, true});
            continue;
        }
        queue.push_back({stamp(line, static_cast<size_t>(n)),
                         std::vector<uint8_t>(buffer.begin(), buffer.begin() + n), false});
        queued += static_cast<size_t>(n);
    }
}

}  // namespace bench
