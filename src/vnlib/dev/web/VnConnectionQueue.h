#pragma once
// VnConnectionQueue: runs at most a given number of URL connections at once; the others wait in
// order. Prioritising a waiting connection swaps it with the first waiting one. Thread-safe.
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/net/UrlConnection.h"

class VnConnectionQueue {
  public:
    explicit VnConnectionQueue(size_t maxActive) : maxActive_(maxActive) {}

    // Queues the connection (once) and starts what may run.
    void enter(const Ref<plat::UrlConnection>& connection);
    // Takes the connection out (finished, failed or cancelled) and starts the next.
    void leave(const Ref<plat::UrlConnection>& connection);
    // A waiting connection trades places with the first waiting one; a running one stays.
    void prioritize(const Ref<plat::UrlConnection>& connection);

    size_t activeCount() const;
    size_t pendingCount() const;
    // The most connections that ran at once so far.
    size_t highWaterMark() const;

  private:
    void run();

    const size_t maxActive_;
    mutable std::recursive_mutex lock_;
    std::deque<Ref<plat::UrlConnection>> pending_;
    std::vector<Ref<plat::UrlConnection>> active_;
    size_t highWaterMark_ = 0;
};
