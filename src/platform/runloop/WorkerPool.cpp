#include "platform/runloop/WorkerPool.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Thread.h"

namespace plat::detail {

namespace {

constexpr size_t kMaxWorkers = 64;
constexpr auto kIdleLifetime = std::chrono::seconds(20);

}  // namespace

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::function<void()>> tasks;
    size_t workers = 0;
    size_t idle = 0;

    void workerLoop() {
        Thread::setCurrentName("plat.worker");
        std::unique_lock lock(mutex);
        for (;;) {
            ++idle;
            const bool gotWork =
                work.wait_for(lock, kIdleLifetime, [this] { return !tasks.empty(); });
            --idle;
            if (!gotWork) {
                --workers;
                return;
            }
            auto task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            {
                ReleasePool pool;
                try {
                    task();
                } catch (const std::exception& e) {
                    log(format("Uncaught exception in a worker task: %s", e.what()));
                }
                task = nullptr;  // what it captured is released inside the pool
            }
            lock.lock();
        }
    }
};

WorkerPool::WorkerPool() {
    // Never destroyed: workers may still be running while the process exits.
    state_ = std::make_unique<State>().release();
}

WorkerPool& WorkerPool::shared() {
    static WorkerPool pool;
    return pool;
}

void WorkerPool::submit(std::function<void()> task) {
    if (!task)
        return;
    std::unique_lock lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    if (state_->idle < state_->tasks.size() && state_->workers < kMaxWorkers) {
        ++state_->workers;
        try {
            std::thread([state = state_] { state->workerLoop(); }).detach();
        } catch (const std::system_error& e) {
            --state_->workers;  // the task waits for a worker that exists
            log(format("Cannot start a worker thread: %s", e.what()));
        }
    }
    lock.unlock();
    state_->work.notify_one();
}

}  // namespace plat::detail
