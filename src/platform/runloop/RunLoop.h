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
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Value.h"

namespace plat {

inline const std::string kDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline const std::string kModalPanelRunLoopMode = "NSModalPanelRunLoopMode";
inline const std::string kEventTrackingRunLoopMode = "NSEventTrackingRunLoopMode";
inline const std::string kRunLoopCommonModes = "kCFRunLoopCommonModes";

using Modes = std::vector<std::string>;
inline Modes defaultModes() { return {kDefaultRunLoopMode}; }
inline Modes commonModes() { return {kRunLoopCommonModes}; }

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
// clock to its next deadline instead of sleeping, so long timers take no real time.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(double start = 1000.0) : now_(start) {}
    double now() const override;
    bool isVirtual() const override { return true; }
    void advance(double seconds);
    void setNow(double t);
    void setAutoAdvance(bool on) { autoAdvance_ = on; }
    bool autoAdvance() const { return autoAdvance_; }

private:
    double now_;
    bool autoAdvance_ = true;
};

class Timer;

class RunLoop {
public:
    enum class RunResult { Finished, Stopped, TimedOut, HandledSource };
    using PerformId = uint64_t;

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    ~RunLoop();

    // The loop of the calling thread, made on first use.
    static RunLoop& current();
    // The loop of the process's main thread.
    static RunLoop& main();
    static bool isMainThread();

    // Queues fn to run after delay seconds in the given modes. target/action/argument identify the
    // perform for cancelPerforms; fn keeps whatever it captures alive until it runs or is cancelled.
    PerformId perform(std::function<void()> fn, double delay = 0, Modes modes = defaultModes(),
                      const void* target = nullptr, std::string action = {},
                      Value argument = Value());
    // Cancels queued performs of a target: all of them (empty action), those with the action, or
    // (with an argument) those whose argument is equal to it.
    void cancelPerforms(const void* target, std::string_view action = {},
                        const Value* argument = nullptr);
    void cancelPerform(PerformId id);
    bool hasPerforms(const void* target, std::string_view action = {}) const;

    // Thread-safe: queues fn from any thread and wakes the loop.
    void post(std::function<void()> fn, Modes modes = commonModes());

    // Runs one pass in the mode: waits (up to untilDate on the loop's clock) for something to do,
    // does what is due, drains the release pool. Finished when the mode has no sources at all.
    RunResult runMode(const std::string& mode, double untilDate);
    // Runs in the default mode until stop().
    void run();
    // Runs passes in the mode until the predicate holds (true) or timeoutSeconds of real time pass
    // (false).
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds = 10.0,
                  const std::string& mode = kDefaultRunLoopMode);
    // Runs every pass that is due now, without waiting; answers how many sources ran.
    size_t runPending(const std::string& mode = kDefaultRunLoopMode);
    // Makes run() and runUntil return after the current pass. Thread-safe.
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

    // Called (from any thread) whenever work is added, for an outer event loop to schedule a pass.
    void setWakeUpHandler(std::function<void()> handler);

    void addTimer(const Ref<Timer>& timer, Modes modes);

    struct Impl;

private:
    RunLoop();
    std::unique_ptr<Impl> impl_;
    friend class Timer;
};

// A one-shot or repeating timer. The loop keeps a scheduled timer (and what its callback
// captures) alive until it is invalidated or, for a one-shot timer, until it has fired.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;
    Timer(double interval, bool repeats, Callback callback);

    // Made and added to the current loop in the given modes.
    static Ref<Timer> scheduled(double interval, bool repeats, Callback callback,
                                Modes modes = defaultModes());

    void invalidate();
    bool isValid() const;
    double interval() const { return interval_; }
    bool repeats() const { return repeats_; }
    double fireDate() const;
    void setFireDate(double date);
    // Runs the callback now; a one-shot timer is then invalidated.
    void fire();

private:
    friend class RunLoop;
    friend struct RunLoop::Impl;
    double interval_;
    bool repeats_;
    Callback callback_;
    struct State;
    std::shared_ptr<State> state_;
};

// ---- Release pools ------------------------------------------------------------------------------

// Keeps an extra reference until the innermost release pool of this thread drains (by default,
// at the end of the current run-loop pass).
void autoreleaseAny(std::shared_ptr<void> object);
template <class T>
Ref<T> autorelease(Ref<T> object) {
    if (object) autoreleaseAny(std::const_pointer_cast<std::remove_cv_t<T>>(object));
    return object;
}

// A nested release scope: references deferred while it is open are dropped when it closes.
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
