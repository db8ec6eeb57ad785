#pragma once
// plat::RunLoop: one event loop per thread. Work is registered for a set of modes and runs only
// while the loop runs in one of them: the default mode, the modal-panel mode, the event-tracking
// mode, custom modes, and the common set (default, modal panel and event tracking, plus any mode
// added with addCommonMode). Sources:
//  - performs: zero-delay or delayed calls, FIFO among equal fire times, never run inside the call
//    that queued them, cancellable by (target, action[, argument]);
//  - timers (plat::Timer), one-shot or repeating;
//  - posts from other threads (thread-safe).
// Each pass ends by draining the thread's release pool (plat::autorelease). Time comes from a
// clock: the real one or a VirtualClock that tests drive.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Value.h"

namespace plat {

namespace detail {
struct ThreadState;
}

inline const std::string kDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline const std::string kModalPanelRunLoopMode = "NSModalPanelRunLoopMode";
inline const std::string kEventTrackingRunLoopMode = "NSEventTrackingRunLoopMode";
inline const std::string kRunLoopCommonModes = "kCFRunLoopCommonModes";

using Modes = std::vector<std::string>;
inline Modes defaultModes() {
    return {kDefaultRunLoopMode};
}
inline Modes commonModes() {
    return {kRunLoopCommonModes};
}

// Seconds on a monotonic scale.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    // True for a clock that only moves when told (the loop then never sleeps for a deadline).
    virtual bool isVirtual() const { return false; }
};

class RealClock : public Clock {
  public:
    double now() const override;
};

// A clock for tests. With auto-advance on (the default), a loop that has nothing due jumps the
// clock to its next deadline instead of sleeping, so long timers take no real time. With it off,
// a loop waits (in real time) for posts and for advance(). Thread-safe.
class VirtualClock : public Clock {
  public:
    explicit VirtualClock(double start = 1000.0) : now_(start) {}
    double now() const override;
    bool isVirtual() const override { return true; }
    // Moves the clock and wakes the loops that use it.
    void advance(double seconds);
    void setNow(double t);
    // Moves the clock forward to t; never moves it back.
    void advanceTo(double t);
    void setAutoAdvance(bool on);
    bool autoAdvance() const { return autoAdvance_; }

    // Called by loops: listener() runs (on the thread that moved the clock) whenever time moves,
    // for as long as the listener exists.
    void addListener(std::weak_ptr<std::function<void()>> listener);

  private:
    void notifyListeners();
    mutable std::mutex mutex_;
    double now_;
    std::atomic<bool> autoAdvance_{true};
    std::vector<std::weak_ptr<std::function<void()>>> listeners_;
};

class Timer;

class RunLoop : public std::enable_shared_from_this<RunLoop> {
    struct Key {
        explicit Key() = default;
    };

  public:
    enum class RunResult { Finished, Stopped, TimedOut, HandledSource };
    using PerformId = uint64_t;

    explicit RunLoop(Key);  // made by current() and main() only
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    ~RunLoop();

    // The loop of the calling thread, made on first use.
    static RunLoop& current();
    // The loop of the process's main thread (the thread that ran static initialisation).
    static RunLoop& main();
    static bool isMainThread();

    // Queues fn to run after delay seconds in the given modes (an empty list means the default
    // mode). target/action/argument identify the perform for cancelPerforms; fn keeps whatever it
    // captures alive until it runs or is cancelled. Thread-safe. Answers 0 (and drops fn) when
    // the loop's thread has ended.
    PerformId perform(std::function<void()> fn, double delay = 0, Modes modes = defaultModes(),
                      const void* target = nullptr, std::string action = {},
                      Value argument = Value());
    // Cancels queued performs of a target: all of them (empty action), those with the action, or
    // (with an argument) those whose argument is equal to it. A null target matches nothing.
    void cancelPerforms(const void* target, std::string_view action = {},
                        const Value* argument = nullptr);
    void cancelPerform(PerformId id);
    bool hasPerforms(const void* target, std::string_view action = {}) const;

    // Thread-safe: queues fn from any thread and wakes the loop.
    void post(std::function<void()> fn, Modes modes = commonModes());
    // As post, but answers false (and drops fn) when the loop's thread has ended.
    bool tryPost(std::function<void()> fn, Modes modes = commonModes());
    // Runs fn on this loop's thread and waits until it has run: at once when called on that
    // thread, otherwise as a post in the modes. An exception thrown by fn is rethrown here.
    // Answers false when fn could not run because the loop's thread has ended.
    bool performAndWait(std::function<void()> fn, Modes modes = commonModes());

    // Runs one pass in the mode: waits (up to untilDate on the loop's clock) for something to do,
    // does what is due, drains the release pool. HandledSource when something ran, TimedOut when
    // untilDate came first (or wakeUp() interrupted the wait), Stopped after stop(), Finished
    // when the loop's thread has ended. Must be called on the loop's own thread.
    RunResult runMode(const std::string& mode, double untilDate);
    // Runs in the default mode until stop().
    void run();
    // Runs passes in the mode until the predicate holds (true) or timeoutSeconds of real time pass
    // (false). The predicate is asked after every pass and, while the loop waits, every few
    // milliseconds (so another thread may make it true without posting).
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds = 10.0,
                  const std::string& mode = kDefaultRunLoopMode);
    // Runs every pass that is due now, without waiting; answers how many sources ran.
    size_t runPending(const std::string& mode = kDefaultRunLoopMode);
    // Makes the innermost run (run, runUntil, runMode) return after the current pass; when the
    // loop is not running, the next run returns at once. Thread-safe.
    void stop();
    // Wakes a waiting loop. Thread-safe.
    void wakeUp();

    // The mode of the innermost running pass; empty when not running.
    const std::string& currentMode() const;
    void addCommonMode(const std::string& mode);
    bool isCommonMode(const std::string& mode) const;

    Clock& clock() const;
    void setClock(std::shared_ptr<Clock> clock);  // null restores the real clock
    double now() const { return clock().now(); }
    // The earliest fire time of anything queued for the mode; infinity when none.
    double nextDeadline(const std::string& mode) const;

    // While the returned token lives, a virtual clock in auto-advance mode does not jump ahead on
    // this loop: the loop waits in real time for the posts that another thread is about to make.
    std::shared_ptr<void> holdVirtualTime();

    // Called (from any thread) whenever work is added, for an outer event loop to schedule a pass.
    void setWakeUpHandler(std::function<void()> handler);

    void addTimer(const Ref<Timer>& timer, Modes modes);

    // True once the loop's thread has ended; queued work was dropped and new work is refused.
    bool hasEnded() const;

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
    friend class Timer;
    friend struct detail::ThreadState;
};

// A one-shot or repeating timer. The loop keeps a scheduled timer (and what its callback
// captures) alive until it is invalidated or, for a one-shot timer, until it has fired. The first
// fire date is set when the timer is added to a loop (the loop's now + interval) unless
// setFireDate came first. A repeating timer that fell behind fires once and then keeps its period.
class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Callback = std::function<void(Timer&)>;
    // Intervals below 0.1 ms are raised to 0.1 ms.
    Timer(double interval, bool repeats, Callback callback);

    // Made and added to the current loop in the given modes.
    static Ref<Timer> scheduled(double interval, bool repeats, Callback callback,
                                Modes modes = defaultModes());

    // Stops the timer for good and releases its callback. Thread-safe.
    void invalidate();
    bool isValid() const;
    double interval() const { return interval_; }
    bool repeats() const { return repeats_; }
    // Infinity until the timer has been added to a loop or given a date.
    double fireDate() const;
    // Re-arms the timer (no effect once invalidated).
    void setFireDate(double date);
    // Runs the callback now; a one-shot timer is then invalidated unless the callback re-armed it.
    void fire();

  private:
    friend class RunLoop;
    friend struct RunLoop::Impl;
    double interval_;
    bool repeats_;
    struct State;
    std::shared_ptr<State> state_;
};

// ---- Release pools ------------------------------------------------------------------------------

// Keeps an extra reference until the innermost release pool of this thread drains (by default,
// at the end of the current run-loop pass).
void autoreleaseAny(std::shared_ptr<void> object);
template <class T>
Ref<T> autorelease(Ref<T> object) {
    if (object)
        autoreleaseAny(std::const_pointer_cast<std::remove_cv_t<T>>(object));
    return object;
}

// A nested release scope: references deferred while it is open are dropped when it closes.
// Draining keeps going until nothing is left, so destructors may autorelease more objects or open
// pools of their own.
class ReleasePool {
  public:
    ReleasePool();
    ~ReleasePool();
    ReleasePool(const ReleasePool&) = delete;
    ReleasePool& operator=(const ReleasePool&) = delete;
    void drain();

  private:
    size_t depth_;
};

}  // namespace plat
