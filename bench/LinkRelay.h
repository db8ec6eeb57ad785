#pragma once
// LinkRelay: a slow link between the benchmarks' clients and a service on this machine. A TCP
// relay reached as a SOCKS5 proxy (so that the service's own URLs keep working), whose link adds a
// round-trip time (half each way) and holds a rate shared by every connection in each direction,
// as a real line does: a chunk leaves once the ones before it are on the line, and arrives the
// delay later. Opening a connection costs one round trip, as a TCP handshake does. Only
// connections to 127.0.0.1 are relayed; at most kMaxConnections at once; every connection's queue
// is bounded (a sender is held while it is full).
//
//   bench::LinkRelay relay(std::chrono::milliseconds(40), 20e6 / 8);
//   if (!relay.start()) ...;
//   curl_easy_setopt(curl, CURLOPT_PROXY, relay.proxyUrl().c_str());
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class LinkRelay {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxConnections = 256;

    LinkRelay(Clock::duration roundTrip, double bytesPerSecond);
    ~LinkRelay();  // stops
    LinkRelay(const LinkRelay&) = delete;
    LinkRelay& operator=(const LinkRelay&) = delete;

    // Listens on a free port of 127.0.0.1; false when it cannot.
    bool start();
    // Cuts every connection and waits for the relay's threads.
    void stop();
    // "socks5://127.0.0.1:<port>"
    std::string proxyUrl() const;

    // Connections relayed since the start, those still open, the bytes carried each way, and
    // the connections refused (a bad greeting, another host, too many at once, no service).
    int connectionsMade() const { return made_; }
    int connectionsOpen() const { return open_; }
    int64_t bytesToService() const { return up_.carried; }
    int64_t bytesFromService() const { return down_.carried; }
    int refused() const { return refused_; }
    // When the last connections (at most kMaxLog) were accepted, oldest first.
    static constexpr size_t kMaxLog = 4096;
    std::vector<Clock::time_point> acceptTimes() const;

    // One direction of the line, shared by the connections.
    struct Line {
        std::mutex mutex;
        Clock::time_point freeAt{};
        std::atomic<int64_t> carried{0};
    };

  private:
    struct Connection;
    void acceptLoop();
    void serve(Connection& connection);
    void pump(Connection& connection, int from, int to, Line& line);
    Clock::time_point stamp(Line& line, size_t bytes);
    void reapFinished(bool all);

    const Clock::duration roundTrip_;
    const double bytesPerSecond_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex connectionsMutex_;
    std::vector<Clock::time_point> acceptTimes_;
    std::list<std::unique_ptr<Connection>> connections_;
    std::atomic<int> made_{0}, open_{0}, refused_{0};
    Line up_, down_;
};

}  // namespace bench
