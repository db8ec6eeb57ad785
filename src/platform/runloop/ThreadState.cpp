#include "platform/runloop/ThreadState.h"

#include <atomic>

#include "platform/runloop/RunLoop.h"
#include "platform/runloop/RunLoopImpl.h"

namespace plat::detail {

namespace {

std::atomic<uint64_t> gSequence{1};
// Set once the calling thread's state is gone; later autoreleases release at once.
thread_local bool tlsTornDown = false;

ThreadState& localState() {
    thread_local ThreadState state;
    return state;
}

// Empties one level; objects autoreleased by the destructors that run meanwhile land in the
// innermost open level and are released by the next round (or by the pool they opened).
void drainLevel(std::vector<ThreadState::Pool>& pools, size_t level) {
    while (level < pools.size() && !pools[level].empty()) {
        ThreadState::Pool batch;
        batch.swap(pools[level]);
        while (!batch.empty())
            batch.pop_back();  // newest first
    }
}

void popLevelsFrom(std::vector<ThreadState::Pool>& pools, size_t level) {
    if (level == 0)
        level = 1;  // the root pool stays open
    while (pools.size() > level) {
        const size_t top = pools.size() - 1;
        drainLevel(pools, top);
        if (pools.size() == top + 1 && pools[top].empty())
            pools.pop_back();
    }
}

}  // namespace

ThreadState::ThreadState() : pools(1) {}

ThreadState::~ThreadState() {
    // The thread ends: its loop refuses further work and drops what was queued, then every pool
    // is drained.
    if (loop)
        loop->impl_->end();
    popLevelsFrom(pools, 1);
    drainLevel(pools, 0);
    tlsTornDown = true;
}

ThreadState* threadState() {
    if (tlsTornDown)
        return nullptr;
    return &localState();
}

size_t pushPool() {
    auto* state = threadState();
    if (!state)
        return 0;
    state->pools.emplace_back();
    return state->pools.size() - 1;
}

void drainPool(size_t level) {
    if (auto* state = threadState())
        drainLevel(state->pools, level);
}

void popPoolsFrom(size_t level) {
    if (auto* state = threadState())
        popLevelsFrom(state->pools, level);
}

uint64_t nextSequence() {
    return gSequence.fetch_add(1);
}
uint64_t currentSequence() {
    return gSequence.load();
}

}  // namespace plat::detail

namespace plat {

void autoreleaseAny(std::shared_ptr<void> object) {
    if (!object)
        return;
    auto* state = detail::threadState();
    if (!state)
        return;  // the thread is being torn down: released at once
    state->pools.back().push_back(std::move(object));
}

ReleasePool::ReleasePool() : depth_(detail::pushPool()) {}

ReleasePool::~ReleasePool() {
    if (depth_ > 0)
        detail::popPoolsFrom(depth_);
}

void ReleasePool::drain() {
    detail::drainPool(depth_);
}

}  // namespace plat
