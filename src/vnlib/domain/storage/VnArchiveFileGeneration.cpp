#include "vnlib/domain/storage/VnArchiveFileGeneration.h"

uint64_t VnArchiveFileGeneration::current() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void VnArchiveFileGeneration::advance() {
    std::lock_guard lock(mutex_);
    ++generation_;
}

bool VnArchiveFileGeneration::writeUnlessTakenAwaySince(uint64_t seen,
                                                        const std::function<void()>& write) {
    std::lock_guard lock(mutex_);
    if (generation_ != seen)
        return false;
    write();
    return true;
}
