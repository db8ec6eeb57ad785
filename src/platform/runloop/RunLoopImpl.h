#pragma once
// Internal: the shared state of a run loop and of a timer. A loop's state outlives the RunLoop
// object for as long as timers or clocks still refer to it.
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>

#include "platform/runloop/RunLoop.h"

namespace plat {

struct Timer::State {
    std::mutex mutex;
    double fireDate = 0;
    bool armed = false;  // has a fire date
    bool valid = true;
    bool firing = false;  // a one-shot timer whose callback is running
    uint64_t sequence = 0;
    uint64_t armCount = 0;  // bumped by every setFireDate
    std::shared_ptr<Callback> callback;
    std::weak_ptr<RunLoop::Impl> loop;
};

struct RunLoop::Impl : std::enable_shared_from_this<RunLoop::Impl> {
    struct Perform {
        PerformId id = 0;
        std::function<void()> fn;
        Modes modes;
        const void* target = nullptr;
        std::string action;
        Value argument;
    };
    using PerformKey = std::pair<double, uint64_t>;  // (fire time, sequence)
    struct TimerEntry {
        Ref<Timer> timer;
        Modes modes;
    };

    explicit Impl(std::thread::id owner);

    // All below is guarded by mutex, except modeStack (owner thread only).
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::thread::id owner;
    std::shared_ptr<Clock> clock;
    std::vector<std::shared_ptr<Clock>> retiredClocks;  // kept: clock() handed out references
    std::map<PerformKey, Perform> performs;
    std::unordered_map<PerformId, PerformKey> performKeys;
    std::vector<TimerEntry> timers;
    std::set<std::string> commonSet;
    PerformId nextId = 1;
    uint64_t changeCount = 0;  // bumped by anything that may end a wait
    int waitingPasses = 0;
    bool wokenUp = false;  // an explicit wakeUp() reached a waiting pass
    bool stopRequested = false;
    bool ended = false;
    int virtualTimeHolds = 0;
    std::function<void()> wakeUpHandler;
    std::shared_ptr<std::function<void()>> clockListener;
    std::deque<std::string> modeStack;

    bool matches(const Modes& modes, const std::string& mode) const;  // needs mutex
    double nextDeadlineLocked(const std::string& mode) const;
    bool hasDueLocked(const std::string& mode, double now) const;

    // Bumps changeCount, wakes waiting passes and calls the wake-up handler. Takes the mutex.
    void signal();
    void signalLocked(std::unique_lock<std::mutex>& lock);  // releases the lock

    // A timer's (fire date, sequence) when it may fire; nullopt otherwise. Takes the timer's lock.
    static std::optional<PerformKey> timerKey(const Timer& timer);
    // Fires a timer that is due at now and was armed before limit; false when it was not due.
    static bool fireTimer(Timer& timer, double now, uint64_t limit);
    // Runs a one-shot timer's callback; the timer is marked firing by the caller.
    static void runOneShot(Timer& timer, uint64_t armCount,
                           const std::shared_ptr<Timer::Callback>& callback);

    void removeTimer(const Timer* timer);
    void timerChanged() { signal(); }
    // Drops all queued work and refuses new work (the loop's thread has ended).
    void end();
};

}  // namespace plat
