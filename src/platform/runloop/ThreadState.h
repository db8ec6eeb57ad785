#pragma once
// Internal: what each thread keeps for the run-loop layer (its release-pool stack and, for threads
// other than the main one, its run loop), and the process-wide sequence that orders queued work.
#include <cstdint>
#include <memory>
#include <vector>

namespace plat {
class RunLoop;
}

namespace plat::detail {

struct ThreadState {
    using Pool = std::vector<std::shared_ptr<void>>;

    ThreadState();
    ~ThreadState();
    ThreadState(const ThreadState&) = delete;
    ThreadState& operator=(const ThreadState&) = delete;

    std::vector<Pool> pools;  // pools[0] is the thread's root pool
    std::shared_ptr<RunLoop> loop;
    int passDepth = 0;  // run-loop passes running on this thread
};

// The calling thread's state; null while the thread is being torn down.
ThreadState* threadState();

// Release-pool levels of the calling thread.
size_t pushPool();
void drainPool(size_t level);     // empties the level (and keeps it open)
void popPoolsFrom(size_t level);  // drains and closes the level and any level above it

// A strictly increasing number: the order in which work was queued or armed.
uint64_t nextSequence();
uint64_t currentSequence();  // the number the next call to nextSequence() will return

}  // namespace plat::detail
