#pragma once
// Helpers for run-loop tests: a fresh thread (with a fresh run loop) per test, and a latch.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/runloop/RunLoop.h"

namespace runloop_test {

// Runs body on a new thread, whose run loop is new and ends with the thread; waits for it.
inline void onFreshThread(const std::function<void(plat::RunLoop&)>& body) {
    std::thread([&] { body(plat::RunLoop::current()); }).join();
}

// Counts up; waiters block until a value is reached (or a generous timeout passes).
class Counter {
  public:
    void add(int n = 1) {
        std::lock_guard guard(mutex_);
        value_ += n;
        changed_.notify_all();
    }
    int value() const {
        std::lock_guard guard(mutex_);
        return value_;
    }
    bool waitFor(int target, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return value_ >= target; });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int value_ = 0;
};

}  // namespace runloop_test
