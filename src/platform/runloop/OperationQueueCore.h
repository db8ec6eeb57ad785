#pragma once
// Internal: the shared state of an operation queue. Each enqueued operation keeps it alive until
// the operation has finished.
#include <condition_variable>
#include <mutex>

#include "platform/runloop/OperationQueue.h"

namespace plat {

struct OperationQueue::Core : std::enable_shared_from_this<OperationQueue::Core> {
    struct Item {
        Ref<Operation> operation;
        bool started = false;
    };

    mutable std::mutex mutex;
    std::condition_variable emptied;
    std::string name;
    bool onMainThread = false;
    int maxCount = kDefaultMaxConcurrentOperationCount;
    std::vector<Item> items;  // in the order they were added
    size_t running = 0;
    bool suspended = false;  // nothing new starts while set
    std::function<void()> becameEmpty;

    int width() const;  // needs mutex
    // Starts ready operations while slots are free.
    void pump();
    // The operation has finished: frees its slot and starts what can start.
    void finished(const Operation& operation);

  private:
    void launch(const Ref<Operation>& operation);
};

struct Operation::QueueLink {
    std::shared_ptr<OperationQueue::Core> core;
};

}  // namespace plat
