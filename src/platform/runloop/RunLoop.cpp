#include "platform/runloop/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>

#include "platform/core/Exception.h"
#include "platform/runloop/RunLoopImpl.h"
#include "platform/runloop/ThreadState.h"

namespace plat {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// runPending gives up after this many passes, so work that keeps re-queuing itself cannot hold
// the caller forever; the rest runs on its next call.
constexpr size_t kMaxPendingPasses = 100;
// Longest single wait, in seconds; waits are re-evaluated after it.
constexpr double kMaxWaitSeconds = 3600.0;
// runUntil looks at its predicate at least this often, in case another thread makes it true
// without posting to the loop.
constexpr double kPredicatePollSeconds = 0.005;

using SteadyClock = std::chrono::steady_clock;
using SteadyTime = SteadyClock::time_point;

std::thread::id mainThreadId() {
    static const std::thread::id id = std::this_thread::get_id();
    return id;
}
// Pins the main thread's identity while static initialisation runs on it.
[[maybe_unused]] const std::thread::id kMainThreadAtStartup = mainThreadId();

SteadyTime steadyAfter(double seconds) {
    seconds = std::clamp(seconds, 0.0, kMaxWaitSeconds);
    return SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                    std::chrono::duration<double>(seconds));
}

struct PassOptions {
    double untilDate = kInfinity;            // on the loop's clock
    std::optional<SteadyTime> realDeadline;  // in real time
    bool wait = true;
    bool honourStop = true;
};

// Keeps the pass's mode on the loop's mode stack while the pass runs.
class ModeScope {
  public:
    ModeScope(RunLoop::Impl& impl, const std::string& mode) : impl_(impl) {
        impl_.modeStack.push_back(mode);
    }
    ~ModeScope() { impl_.modeStack.pop_back(); }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

  private:
    RunLoop::Impl& impl_;
};

// The release pool of one pass: drained when the pass ends; the thread's root pool is drained too
// when the outermost pass ends.
class PassPool {
  public:
    PassPool() {
        if (auto* ts = detail::threadState()) {
            level_ = detail::pushPool();
            ++ts->passDepth;
            active_ = true;
        }
    }
    ~PassPool() {
        if (!active_)
            return;
        detail::popPoolsFrom(level_);
        auto* ts = detail::threadState();
        if (ts && --ts->passDepth == 0)
            detail::drainPool(0);
    }
    PassPool(const PassPool&) = delete;
    PassPool& operator=(const PassPool&) = delete;

  private:
    size_t level_ = 0;
    bool active_ = false;
};

// Waits until something changes on the loop (or until the real deadline).
void waitForChange(RunLoop::Impl& impl, std::unique_lock<std::mutex>& lock,
                   std::optional<SteadyTime> until) {
    const uint64_t seen = impl.changeCount;
    ++impl.waitingPasses;
    auto changed = [&] { return impl.changeCount != seen; };
    if (until) {
        impl.changed.wait_until(lock, *until, changed);
    } else {
        impl.changed.wait(lock, changed);
    }
    --impl.waitingPasses;
}

// Runs everything due at now in the mode that was queued before the pass began. Called with the
// lock held; returns with it released. Answers how many sources ran.
size_t processDue(RunLoop::Impl& impl, const std::string& mode, double now,
                  std::unique_lock<std::mutex>& lock) {
    struct Candidate {
        RunLoop::Impl::PerformKey key;
        RunLoop::PerformId id = 0;
        Ref<Timer> timer;
    };
    const uint64_t limit = detail::currentSequence();
    std::vector<Candidate> due;
    for (const auto& [key, perform] : impl.performs) {
        if (key.first > now)
            break;
        if (key.second < limit && impl.matches(perform.modes, mode)) {
            due.push_back({key, perform.id, nullptr});
        }
    }
    for (const auto& entry : impl.timers) {
        auto key = RunLoop::Impl::timerKey(*entry.timer);
        if (key && key->first <= now && key->second < limit && impl.matches(entry.modes, mode)) {
            due.push_back({*key, 0, entry.timer});
        }
    }
    lock.unlock();
    std::sort(due.begin(), due.end(),
              [](const Candidate& a, const Candidate& b) { return a.key < b.key; });

    size_t ran = 0;
    for (auto& candidate : due) {
        if (candidate.timer) {
            if (RunLoop::Impl::fireTimer(*candidate.timer, now, limit))
                ++ran;
            continue;
        }
        // Each perform is taken out just before it runs, so one that an earlier perform of this
        // pass cancelled never runs.
        std::optional<RunLoop::Impl::Perform> perform;
        {
            std::lock_guard guard(impl.mutex);
            auto keyIt = impl.performKeys.find(candidate.id);
            if (keyIt == impl.performKeys.end())
                continue;
            auto it = impl.performs.find(keyIt->second);
            perform = std::move(it->second);
            impl.performs.erase(it);
            impl.performKeys.erase(keyIt);
        }
        ++ran;
        perform->fn();
    }
    return ran;
}

RunLoop::RunResult runPass(RunLoop::Impl& impl, const std::string& mode, const PassOptions& options,
                           size_t& ran) {
    ran = 0;
    {
        std::lock_guard guard(impl.mutex);
        if (impl.ended)
            return RunLoop::RunResult::Finished;
    }
    if (std::this_thread::get_id() != impl.owner) {
        raise(NSInternalInconsistencyException, "A run loop can only run on its own thread");
    }
    ModeScope modeScope(impl, mode);
    PassPool passPool;

    std::unique_lock lock(impl.mutex);
    for (;;) {
        if (impl.ended)
            return RunLoop::RunResult::Finished;
        if (options.honourStop && impl.stopRequested) {
            impl.stopRequested = false;
            return RunLoop::RunResult::Stopped;
        }
        const std::shared_ptr<Clock> clock = impl.clock;
        const double now = clock->now();
        if (impl.hasDueLocked(mode, now)) {
            ran = processDue(impl, mode, now, lock);
            if (ran > 0)
                return RunLoop::RunResult::HandledSource;
            lock.lock();  // everything due was cancelled meanwhile
            continue;
        }
        if (!options.wait || now >= options.untilDate)
            return RunLoop::RunResult::TimedOut;
        if (options.realDeadline && SteadyClock::now() >= *options.realDeadline) {
            return RunLoop::RunResult::TimedOut;
        }

        const double deadline = std::min(options.untilDate, impl.nextDeadlineLocked(mode));
        if (clock->isVirtual()) {
            auto* virtualClock = dynamic_cast<VirtualClock*>(clock.get());
            if (virtualClock && virtualClock->autoAdvance() && impl.virtualTimeHolds == 0 &&
                std::isfinite(deadline)) {
                lock.unlock();
                virtualClock->advanceTo(deadline);
                lock.lock();
                continue;
            }
            waitForChange(impl, lock, options.realDeadline);
        } else {
            std::optional<SteadyTime> until = options.realDeadline;
            if (std::isfinite(deadline)) {
                const SteadyTime due = steadyAfter(deadline - now);
                if (!until || due < *until)
                    until = due;
            }
            waitForChange(impl, lock, until);
        }
        if (impl.wokenUp) {
            impl.wokenUp = false;
            return RunLoop::RunResult::TimedOut;
        }
    }
}

// Keeps a loop for the rest of the process: other threads may still post to it while the process
// exits.
std::shared_ptr<RunLoop>& keepLoopForever(std::shared_ptr<RunLoop> loop) {
    return *std::make_unique<std::shared_ptr<RunLoop>>(std::move(loop)).release();
}

}  // namespace

// ---- Impl ---------------------------------------------------------------------------------------

RunLoop::Impl::Impl(std::thread::id ownerThread)
    : owner(ownerThread),
      clock(std::make_shared<RealClock>()),
      commonSet{kDefaultRunLoopMode, kModalPanelRunLoopMode, kEventTrackingRunLoopMode} {}

bool RunLoop::Impl::matches(const Modes& modes, const std::string& mode) const {
    for (const auto& m : modes) {
        if (m == mode)
            return true;
        if (m == kRunLoopCommonModes && commonSet.contains(mode))
            return true;
    }
    return false;
}

double RunLoop::Impl::nextDeadlineLocked(const std::string& mode) const {
    double deadline = kInfinity;
    for (const auto& [key, perform] : performs) {
        if (key.first >= deadline)
            break;
        if (matches(perform.modes, mode)) {
            deadline = key.first;
            break;
        }
    }
    for (const auto& entry : timers) {
        auto key = timerKey(*entry.timer);
        if (key && key->first < deadline && matches(entry.modes, mode))
            deadline = key->first;
    }
    return deadline;
}

bool RunLoop::Impl::hasDueLocked(const std::string& mode, double now) const {
    for (const auto& [key, perform] : performs) {
        if (key.first > now)
            break;
        if (matches(perform.modes, mode))
            return true;
    }
    for (const auto& entry : timers) {
        auto key = timerKey(*entry.timer);
        if (key && key->first <= now && matches(entry.modes, mode))
            return true;
    }
    return false;
}

void RunLoop::Impl::signal() {
    std::unique_lock lock(mutex);
    signalLocked(lock);
}

void RunLoop::Impl::signalLocked(std::unique_lock<std::mutex>& lock) {
    ++changeCount;
    changed.notify_all();
    auto handler = wakeUpHandler;
    lock.unlock();
    if (handler)
        handler();
}

void RunLoop::Impl::removeTimer(const Timer* timer) {
    Ref<Timer> removed;  // released after the lock
    std::lock_guard guard(mutex);
    auto it = std::find_if(timers.begin(), timers.end(),
                           [timer](const TimerEntry& e) { return e.timer.get() == timer; });
    if (it == timers.end())
        return;
    removed = std::move(it->timer);
    timers.erase(it);
}

void RunLoop::Impl::end() {
    std::map<PerformKey, Perform> droppedPerforms;
    std::vector<TimerEntry> droppedTimers;
    std::function<void()> droppedHandler;
    {
        std::lock_guard guard(mutex);
        if (ended)
            return;
        ended = true;
        droppedPerforms.swap(performs);
        performKeys.clear();
        droppedTimers.swap(timers);
        droppedHandler.swap(wakeUpHandler);
        ++changeCount;
        changed.notify_all();
    }
    for (auto& entry : droppedTimers)
        entry.timer->invalidate();
}

// ---- RunLoop ------------------------------------------------------------------------------------

RunLoop::RunLoop(Key) : impl_(std::make_shared<Impl>(std::this_thread::get_id())) {}

RunLoop::~RunLoop() {
    impl_->end();
}

RunLoop& RunLoop::current() {
    if (isMainThread())
        return main();
    auto* state = detail::threadState();
    if (!state) {
        // The thread is being torn down: hand out a loop that refuses all work.
        static std::shared_ptr<RunLoop>& ended = []() -> std::shared_ptr<RunLoop>& {
            auto loop = std::make_shared<RunLoop>(Key{});
            loop->impl_->end();
            return keepLoopForever(std::move(loop));
        }();
        return *ended;
    }
    if (!state->loop)
        state->loop = std::make_shared<RunLoop>(Key{});
    return *state->loop;
}

RunLoop& RunLoop::main() {
    static std::shared_ptr<RunLoop>& loop = []() -> std::shared_ptr<RunLoop>& {
        auto made = std::make_shared<RunLoop>(Key{});
        made->impl_->owner = mainThreadId();
        return keepLoopForever(std::move(made));
    }();
    return *loop;
}

bool RunLoop::isMainThread() {
    return std::this_thread::get_id() == mainThreadId();
}

RunLoop::PerformId RunLoop::perform(std::function<void()> fn, double delay, Modes modes,
                                    const void* target, std::string action, Value argument) {
    if (!fn)
        return 0;
    if (modes.empty())
        modes = defaultModes();
    if (!(delay > 0))
        delay = 0;  // negative and NaN delays mean "as soon as possible"
    std::unique_lock lock(impl_->mutex);
    if (impl_->ended)
        return 0;
    const PerformId id = impl_->nextId++;
    const Impl::PerformKey key{impl_->clock->now() + delay, detail::nextSequence()};
    impl_->performs.emplace(key, Impl::Perform{id, std::move(fn), std::move(modes), target,
                                               std::move(action), std::move(argument)});
    impl_->performKeys.emplace(id, key);
    impl_->signalLocked(lock);
    return id;
}

void RunLoop::cancelPerforms(const void* target, std::string_view action, const Value* argument) {
    if (!target)
        return;
    std::vector<Impl::Perform> removed;  // released after the lock
    std::lock_guard guard(impl_->mutex);
    for (auto it = impl_->performs.begin(); it != impl_->performs.end();) {
        auto& perform = it->second;
        if (perform.target == target && (action.empty() || perform.action == action) &&
            (!argument || perform.argument.equals(*argument))) {
            impl_->performKeys.erase(perform.id);
            removed.push_back(std::move(perform));
            it = impl_->performs.erase(it);
        } else {
            ++it;
        }
    }
}

void RunLoop::cancelPerform(PerformId id) {
    std::optional<Impl::Perform> removed;  // released after the lock
    std::lock_guard guard(impl_->mutex);
    auto keyIt = impl_->performKeys.find(id);
    if (keyIt == impl_->performKeys.end())
        return;
    auto it = impl_->performs.find(keyIt->second);
    removed = std::move(it->second);
    impl_->performs.erase(it);
    impl_->performKeys.erase(keyIt);
}

bool RunLoop::hasPerforms(const void* target, std::string_view action) const {
    if (!target)
        return false;
    std::lock_guard guard(impl_->mutex);
    return std::any_of(impl_->performs.begin(), impl_->performs.end(), [&](const auto& item) {
        return item.second.target == target && (action.empty() || item.second.action == action);
    });
}

void RunLoop::post(std::function<void()> fn, Modes modes) {
    tryPost(std::move(fn), std::move(modes));
}

bool RunLoop::tryPost(std::function<void()> fn, Modes modes) {
    return perform(std::move(fn), 0, std::move(modes)) != 0;
}

bool RunLoop::performAndWait(std::function<void()> fn, Modes modes) {
    if (!fn)
        return false;
    if (std::this_thread::get_id() == impl_->owner) {
        fn();
        return true;
    }
    struct Rendezvous {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool ran = false;
        std::exception_ptr error;
    };
    // Tells the waiter when the queued call is gone, whether it ran or was dropped unrun.
    struct Signal {
        explicit Signal(std::shared_ptr<Rendezvous> r) : rendezvous(std::move(r)) {}
        ~Signal() {
            {
                std::lock_guard guard(rendezvous->mutex);
                rendezvous->finished = true;
            }
            rendezvous->done.notify_all();
        }
        Signal(const Signal&) = delete;
        Signal& operator=(const Signal&) = delete;
        std::shared_ptr<Rendezvous> rendezvous;
    };
    auto rendezvous = std::make_shared<Rendezvous>();
    const bool queued = tryPost(
        [signal = std::make_shared<Signal>(rendezvous), fn = std::move(fn)] {
            auto& r = *signal->rendezvous;
            try {
                fn();
                std::lock_guard guard(r.mutex);
                r.ran = true;
            } catch (...) {
                std::lock_guard guard(r.mutex);
                r.error = std::current_exception();
            }
        },
        std::move(modes));
    if (!queued)
        return false;
    std::unique_lock lock(rendezvous->mutex);
    rendezvous->done.wait(lock, [&] { return rendezvous->finished; });
    if (rendezvous->error)
        std::rethrow_exception(rendezvous->error);
    return rendezvous->ran;
}

RunLoop::RunResult RunLoop::runMode(const std::string& mode, double untilDate) {
    size_t ran = 0;
    return runPass(*impl_, mode, PassOptions{untilDate, std::nullopt, true, true}, ran);
}

void RunLoop::run() {
    for (;;) {
        size_t ran = 0;
        const RunResult result = runPass(*impl_, kDefaultRunLoopMode,
                                         PassOptions{kInfinity, std::nullopt, true, true}, ran);
        if (result == RunResult::Stopped || result == RunResult::Finished)
            return;
    }
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds,
                       const std::string& mode) {
    if (!predicate)
        return false;
    const SteadyTime deadline = steadyAfter(timeoutSeconds);
    for (;;) {
        if (predicate())
            return true;
        if (SteadyClock::now() >= deadline)
            return false;
        size_t ran = 0;
        const SteadyTime slice = std::min(deadline, steadyAfter(kPredicatePollSeconds));
        const RunResult result =
            runPass(*impl_, mode, PassOptions{kInfinity, slice, true, true}, ran);
        if (result == RunResult::Stopped || result == RunResult::Finished)
            return predicate();
    }
}

size_t RunLoop::runPending(const std::string& mode) {
    size_t total = 0;
    for (size_t pass = 0; pass < kMaxPendingPasses; ++pass) {
        size_t ran = 0;
        runPass(*impl_, mode, PassOptions{kInfinity, std::nullopt, false, false}, ran);
        total += ran;
        if (ran == 0)
            break;
    }
    return total;
}

void RunLoop::stop() {
    std::unique_lock lock(impl_->mutex);
    impl_->stopRequested = true;
    impl_->signalLocked(lock);
}

void RunLoop::wakeUp() {
    std::unique_lock lock(impl_->mutex);
    if (impl_->waitingPasses > 0)
        impl_->wokenUp = true;
    impl_->signalLocked(lock);
}

const std::string& RunLoop::currentMode() const {
    static const std::string none;
    return impl_->modeStack.empty() ? none : impl_->modeStack.back();
}

void RunLoop::addCommonMode(const std::string& mode) {
    std::unique_lock lock(impl_->mutex);
    if (!impl_->commonSet.insert(mode).second)
        return;
    impl_->signalLocked(lock);
}

bool RunLoop::isCommonMode(const std::string& mode) const {
    std::lock_guard guard(impl_->mutex);
    return impl_->commonSet.contains(mode);
}

Clock& RunLoop::clock() const {
    std::lock_guard guard(impl_->mutex);
    return *impl_->clock;
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    if (!clock)
        clock = std::make_shared<RealClock>();
    std::unique_lock lock(impl_->mutex);
    if (clock == impl_->clock)
        return;
    impl_->retiredClocks.push_back(std::move(impl_->clock));
    impl_->clock = clock;
    if (auto* virtualClock = dynamic_cast<VirtualClock*>(clock.get())) {
        if (!impl_->clockListener) {
            impl_->clockListener =
                std::make_shared<std::function<void()>>([weak = std::weak_ptr<Impl>(impl_)] {
                    if (auto impl = weak.lock())
                        impl->signal();
                });
        }
        virtualClock->addListener(impl_->clockListener);
    }
    impl_->signalLocked(lock);
}

double RunLoop::nextDeadline(const std::string& mode) const {
    std::lock_guard guard(impl_->mutex);
    return impl_->nextDeadlineLocked(mode);
}

std::shared_ptr<void> RunLoop::holdVirtualTime() {
    struct Hold {
        explicit Hold(std::weak_ptr<Impl> i) : impl(std::move(i)) {}
        ~Hold() {
            if (auto i = impl.lock()) {
                std::unique_lock lock(i->mutex);
                --i->virtualTimeHolds;
                i->signalLocked(lock);
            }
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        std::weak_ptr<Impl> impl;
    };
    std::lock_guard guard(impl_->mutex);
    ++impl_->virtualTimeHolds;
    return std::make_shared<Hold>(impl_);
}

void RunLoop::setWakeUpHandler(std::function<void()> handler) {
    std::lock_guard guard(impl_->mutex);
    if (impl_->ended)
        return;
    impl_->wakeUpHandler.swap(handler);
}

void RunLoop::addTimer(const Ref<Timer>& timer, Modes modes) {
    if (!timer)
        return;
    if (modes.empty())
        modes = defaultModes();
    auto& state = *timer->state_;
    std::unique_lock lock(impl_->mutex);
    if (impl_->ended)
        return;
    {
        std::lock_guard timerGuard(state.mutex);
        if (!state.valid)
            return;
        auto scheduledOn = state.loop.lock();
        if (scheduledOn && scheduledOn != impl_) {
            raise(NSInvalidArgumentException, "A timer can be scheduled on one run loop only");
        }
        state.loop = impl_;
        if (!state.armed) {
            state.fireDate = impl_->clock->now() + timer->interval_;
            state.armed = true;
            state.sequence = detail::nextSequence();
        }
    }
    auto it = std::find_if(impl_->timers.begin(), impl_->timers.end(),
                           [&](const Impl::TimerEntry& e) { return e.timer == timer; });
    if (it == impl_->timers.end()) {
        impl_->timers.push_back({timer, std::move(modes)});
    } else {
        for (auto& mode : modes) {
            if (std::find(it->modes.begin(), it->modes.end(), mode) == it->modes.end()) {
                it->modes.push_back(mode);
            }
        }
    }
    impl_->signalLocked(lock);
}

bool RunLoop::hasEnded() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->ended;
}

}  // namespace plat
