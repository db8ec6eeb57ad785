#pragma once
// VnConnectionQueue: runs at most a given number of URL connections at once; the others wait in
// order. Prioritising a waiting connection swaps it with the first waiting one. It also counts
// the reply bytes its connections' owners hold, within a bound across all of them. Thread-safe.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/net/UrlConnection.h"

class VnConnectionQueue {
  public:
    explicit VnConnectionQueue(size_t maxActive, size_t maxReplyBytes = SIZE_MAX)
        : maxActive_(maxActive), maxReplyBytes_(maxReplyBytes) {}

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

    // Counts `bytes` more of replies held; false (and nothing counted) when that would pass the
    // bound across all replies.
    bool takeReplyBytes(size_t bytes);
    void giveBackReplyBytes(size_t bytes);
    size_t replyBytesHeld() const;
    size_t maxReplyBytes() const { return maxReplyBytes_; }

  private:
    void run();

    const size_t maxActive_;
    const size_t maxReplyBytes_;
    size_t replyBytes_ = 0;
    mutable std::recursive_mutex lock_;
    std::deque<Ref<plat::UrlConnection>> pending_;
    std::vector<Ref<plat::UrlConnection>> active_;
    size_t highWaterMark_ = 0;
};
