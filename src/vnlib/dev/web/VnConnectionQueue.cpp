#include "vnlib/dev/web/VnConnectionQueue.h"

#include <algorithm>

void VnConnectionQueue::run() {
    std::lock_guard guard(lock_);
    while (active_.size() < maxActive_ && !pending_.empty()) {
        auto connection = pending_.front();
        pending_.pop_front();
        active_.push_back(connection);
        highWaterMark_ = std::max(highWaterMark_, active_.size());
        connection->start();
    }
}

void VnConnectionQueue::enter(const Ref<plat::UrlConnection>& connection) {
    std::lock_guard guard(lock_);
    if (std::find(pending_.begin(), pending_.end(), connection) != pending_.end() ||
        std::find(active_.begin(), active_.end(), connection) != active_.end()) {
        return;
    }
    pending_.push_back(connection);
    run();
}

void VnConnectionQueue::leave(const Ref<plat::UrlConnection>& connection) {
    std::lock_guard guard(lock_);
    std::erase(pending_, connection);
    std::erase(active_, connection);
    run();
}

void VnConnectionQueue::prioritize(const Ref<plat::UrlConnection>& connection) {
    std::lock_guard guard(lock_);
    auto it = std::find(pending_.begin(), pending_.end(), connection);
    if (it != pending_.end())
        std::iter_swap(pending_.begin(), it);
}

size_t VnConnectionQueue::activeCount() const {
    std::lock_guard guard(lock_);
    return active_.size();
}

size_t VnConnectionQueue::pendingCount() const {
    std::lock_guard guard(lock_);
    return pending_.size();
}

size_t VnConnectionQueue::highWaterMark() const {
    std::lock_guard guard(lock_);
    return highWaterMark_;
}

bool VnConnectionQueue::takeReplyBytes(size_t bytes) {
    std::lock_guard guard(lock_);
    if (bytes > maxReplyBytes_ - replyBytes_)
        return false;
    replyBytes_ += bytes;
    return true;
}

void VnConnectionQueue::giveBackReplyBytes(size_t bytes) {
    std::lock_guard guard(lock_);
    replyBytes_ -= std::min(bytes, replyBytes_);
}

size_t VnConnectionQueue::replyBytesHeld() const {
    std::lock_guard guard(lock_);
    return replyBytes_;
}
