#include "platform/runloop/DispatchQueue.h"

#include <algorithm>
#include <chrono>

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/WorkerPool.h"

namespace plat {

namespace {

// The queues whose blocks are running on this thread, innermost last.
thread_local std::vector<const DispatchQueue*> tlsRunningQueues;

class RunningOn {
  public:
    explicit RunningOn(const DispatchQueue* queue) { tlsRunningQueues.push_back(queue); }
    ~RunningOn() { tlsRunningQueues.pop_back(); }
    RunningOn(const RunningOn&) = delete;
    RunningOn& operator=(const RunningOn&) = delete;
};

// Keeps a process-wide queue for the rest of the process.
Ref<DispatchQueue>& keepForever(Ref<DispatchQueue> queue) {
    return *std::make_unique<Ref<DispatchQueue>>(std::move(queue)).release();
}

}  // namespace

struct DispatchQueue::Gate {
    std::mutex mutex;
    std::condition_variable admitted;
    bool open = false;

    void admit() {
        {
            std::lock_guard guard(mutex);
            open = true;
        }
        admitted.notify_all();
    }
    void waitAdmitted() {
        std::unique_lock lock(mutex);
        admitted.wait(lock, [this] { return open; });
    }
};

DispatchQueue::DispatchQueue(Kind kind, std::string label)
    : kind_(kind), label_(std::move(label)) {}

Ref<DispatchQueue> DispatchQueue::main() {
    static Ref<DispatchQueue>& queue =
        keepForever(std::make_shared<DispatchQueue>(Kind::Main, "main"));
    return queue;
}

Ref<DispatchQueue> DispatchQueue::global() {
    static Ref<DispatchQueue>& queue = []() -> Ref<DispatchQueue>& {
        auto made = std::make_shared<DispatchQueue>(Kind::Concurrent, "global");
        made->isGlobal_ = true;
        return keepForever(std::move(made));
    }();
    return queue;
}

Ref<DispatchQueue> DispatchQueue::serial(std::string label) {
    return std::make_shared<DispatchQueue>(Kind::Serial, std::move(label));
}

Ref<DispatchQueue> DispatchQueue::concurrent(std::string label) {
    return std::make_shared<DispatchQueue>(Kind::Concurrent, std::move(label));
}

bool DispatchQueue::isCurrent() const {
    if (kind_ == Kind::Main)
        return RunLoop::isMainThread();
    return std::find(tlsRunningQueues.begin(), tlsRunningQueues.end(), this) !=
           tlsRunningQueues.end();
}

size_t DispatchQueue::pendingBlocks() const {
    std::lock_guard guard(mutex_);
    return items_.size() + running_;
}

void DispatchQueue::async(std::function<void()> block) {
    if (!block)
        return;
    if (kind_ == Kind::Main) {
        RunLoop::main().post(std::move(block), commonModes());
        return;
    }
    enqueue({std::move(block), false, nullptr});
}

void DispatchQueue::barrierAsync(std::function<void()> block) {
    if (!block)
        return;
    if (kind_ != Kind::Concurrent || isGlobal_) {
        async(std::move(block));
        return;
    }
    enqueue({std::move(block), true, nullptr});
}

void DispatchQueue::sync(const std::function<void()>& block) {
    runSync(block, false);
}

void DispatchQueue::barrierSync(const std::function<void()>& block) {
    runSync(block, kind_ == Kind::Concurrent && !isGlobal_);
}

void DispatchQueue::runSync(const std::function<void()>& block, bool barrier) {
    if (!block)
        return;
    if (kind_ == Kind::Main) {
        RunLoop::main().performAndWait(block, commonModes());
        return;
    }
    if (isCurrent()) {
        block();  // waiting for ourselves would never end
        return;
    }
    auto gate = std::make_shared<Gate>();
    enqueue({nullptr, barrier, gate});
    gate->waitAdmitted();
    struct Complete {
        DispatchQueue& queue;
        bool barrier;
        ~Complete() { queue.complete(barrier); }
    } complete{*this, barrier};
    RunningOn runningOn(this);
    block();
}

void DispatchQueue::enqueue(Item item) {
    {
        std::lock_guard guard(mutex_);
        items_.push_back(std::move(item));
    }
    pump();
}

void DispatchQueue::pump() {
    const size_t width = kind_ == Kind::Serial ? 1 : std::numeric_limits<size_t>::max();
    std::vector<Item> admitted;
    {
        std::lock_guard guard(mutex_);
        while (!items_.empty() && !barrierRunning_) {
            Item& front = items_.front();
            if (front.barrier) {
                if (running_ > 0)
                    break;
                barrierRunning_ = true;
            } else if (running_ >= width) {
                break;
            }
            ++running_;
            admitted.push_back(std::move(front));
            items_.pop_front();
        }
    }
    for (auto& item : admitted) {
        if (item.gate) {
            item.gate->admit();
            continue;
        }
        detail::WorkerPool::shared().submit(
            [self = shared_from_this(), block = std::move(item.block), barrier = item.barrier] {
                struct Complete {
                    DispatchQueue& queue;
                    bool barrier;
                    ~Complete() { queue.complete(barrier); }
                } complete{*self, barrier};
                RunningOn runningOn(self.get());
                block();
            });
    }
}

void DispatchQueue::complete(bool barrier) {
    {
        std::lock_guard guard(mutex_);
        --running_;
        if (barrier)
            barrierRunning_ = false;
    }
    pump();
}

// ---- DispatchGroup ------------------------------------------------------------------------------

void DispatchGroup::enter() {
    std::lock_guard guard(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    std::vector<std::pair<Ref<DispatchQueue>, std::function<void()>>> due;
    {
        std::lock_guard guard(mutex_);
        if (count_ == 0) {
            log("DispatchGroup: leave without a matching enter ignored");
            return;
        }
        if (--count_ > 0)
            return;
        due.swap(notifications_);
    }
    emptied_.notify_all();
    for (auto& [queue, block] : due)
        queue->async(std::move(block));
}

void DispatchGroup::async(const Ref<DispatchQueue>& queue, std::function<void()> block) {
    if (!block)
        return;
    enter();
    (queue ? queue : DispatchQueue::main())
        ->async([group = shared_from_this(), block = std::move(block)] {
            struct Leave {
                DispatchGroup& group;
                ~Leave() { group.leave(); }
            } leave{*group};
            block();
        });
}

void DispatchGroup::notify(const Ref<DispatchQueue>& queue, std::function<void()> block) {
    if (!block)
        return;
    auto target = queue ? queue : DispatchQueue::main();
    {
        std::lock_guard guard(mutex_);
        if (count_ > 0) {
            notifications_.emplace_back(std::move(target), std::move(block));
            return;
        }
    }
    target->async(std::move(block));
}

bool DispatchGroup::wait(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    auto empty = [this] { return count_ == 0; };
    if (!(timeoutSeconds < 1e9)) {
        emptied_.wait(lock, empty);
        return true;
    }
    const auto timeout = std::chrono::duration<double>(std::max(timeoutSeconds, 0.0));
    return emptied_.wait_for(lock, timeout, empty);
}

}  // namespace plat
