#pragma once
// Dispatch-style queues and groups.
//  - DispatchQueue::main(): blocks run on the main thread's run loop, in the common modes, in
//  order.
//  - DispatchQueue::global(): a shared concurrent queue on the worker threads.
//  - serial(label) / concurrent(label): private queues. On a private concurrent queue a barrier
//    block waits for the blocks before it and holds back the blocks after it (on the global queue
//    a barrier is an ordinary block).
//  - sync runs the block on the calling thread once its turn comes; sync onto the queue the caller
//    is already running on (or onto the main queue from the main thread) runs it at once instead
//    of deadlocking.
//  - DispatchGroup: enter/leave counting, async-in-group, notify, wait.
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Ref.h"

namespace plat {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
  public:
    enum class Kind { Main, Serial, Concurrent };

    DispatchQueue(Kind kind, std::string label);  // prefer the factories below
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    static Ref<DispatchQueue> main();
    static Ref<DispatchQueue> global();
    static Ref<DispatchQueue> serial(std::string label);
    static Ref<DispatchQueue> concurrent(std::string label);

    Kind kind() const { return kind_; }
    const std::string& label() const { return label_; }

    void async(std::function<void()> block);
    void sync(const std::function<void()>& block);
    void barrierAsync(std::function<void()> block);
    void barrierSync(const std::function<void()>& block);

    // True while the calling code runs in a block of this queue.
    bool isCurrent() const;
    // The blocks of a private queue waiting or running (the main queue tells none).
    size_t pendingBlocks() const;

  private:
    struct Gate;
    struct Item {
        std::function<void()> block;
        bool barrier = false;
        std::shared_ptr<Gate> gate;  // a sync block: the caller runs it when admitted
    };

    void enqueue(Item item);
    void pump();
    void complete(bool barrier);
    void runSync(const std::function<void()>& block, bool barrier);

    const Kind kind_;
    const std::string label_;
    bool isGlobal_ = false;
    mutable std::mutex mutex_;
    std::deque<Item> items_;
    size_t running_ = 0;
    bool barrierRunning_ = false;
};

class DispatchGroup : public std::enable_shared_from_this<DispatchGroup> {
  public:
    static Ref<DispatchGroup> make() { return std::make_shared<DispatchGroup>(); }

    void enter();
    // A leave without a matching enter is ignored.
    void leave();
    // Runs block on the queue (null: the main queue) as part of the group.
    void async(const Ref<DispatchQueue>& queue, std::function<void()> block);
    // Submits block to the queue (null: the main queue) once the group is empty (at once when it
    // already is).
    void notify(const Ref<DispatchQueue>& queue, std::function<void()> block);
    // Waits until the group is empty; false when the timeout (real seconds) passed first.
    bool wait(double timeoutSeconds = std::numeric_limits<double>::infinity());

  private:
    std::mutex mutex_;
    std::condition_variable emptied_;
    size_t count_ = 0;
    std::vector<std::pair<Ref<DispatchQueue>, std::function<void()>>> notifications_;
};

}  // namespace plat
