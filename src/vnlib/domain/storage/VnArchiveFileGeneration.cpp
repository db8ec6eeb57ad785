#include "vnlib/domain/storage/VnArchiveFileGeneration.h"

#include <algorithm>

uint64_t VnArchiveFileGeneration::current() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void VnArchiveFileGeneration::advance() {
    decltype(waiting_) waiting;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        waiting.swap(waiting_);
    }
    for (auto& [owner, then] : waiting) {
        if (const auto alive = owner.lock())
            then();
    }
}

bool VnArchiveFileGeneration::writeUnlessTakenAwaySince(uint64_t seen,
                                                        const std::function<void()>& write) {
    std::lock_guard lock(mutex_);
    if (generation_ != seen)
        return false;
    write();
    return true;
}

void VnArchiveFileGeneration::whenTakenAway(std::weak_ptr<const void> owner,
                                            std::function<void()> then) {
    std::lock_guard lock(mutex_);
    // Those whose owners are gone are dropped as new ones come, so a folder opened many times
    // keeps no more than its live openings.
    std::erase_if(waiting_, [](const auto& entry) { return entry.first.expired(); });
    waiting_.emplace_back(std::move(owner), std::move(then));
}
