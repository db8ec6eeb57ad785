#include "platform/runloop/OperationQueue.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <thread>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/runloop/OperationQueueCore.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/WorkerPool.h"

namespace plat {

PLAT_DEFINE_CLASS(OperationQueue, Object, PLAT_NO_METHODS)

namespace {

constexpr double kLongWait = 3600.0;

int systemDefaultWidth() {
    return static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
}

}  // namespace

// ---- Core ---------------------------------------------------------------------------------------

int OperationQueue::Core::width() const {
    if (onMainThread)
        return 1;
    return maxCount < 0 ? systemDefaultWidth() : maxCount;
}

void OperationQueue::Core::pump() {
    for (;;) {
        std::vector<Ref<Operation>> waiting;
        {
            std::lock_guard guard(mutex);
            if (suspended || static_cast<int>(running) >= width())
                return;
            for (const auto& item : items) {
                if (!item.started)
                    waiting.push_back(item.operation);
            }
        }
        // Readiness and priority are asked without the queue's lock: operations answer them
        // under locks of their own.
        Ref<Operation> best;
        int bestPriority = INT_MIN;
        for (const auto& operation : waiting) {
            if (!operation->isReady())
                continue;
            const int priority = operation->queuePriority();
            if (!best || priority > bestPriority) {
                best = operation;
                bestPriority = priority;
            }
        }
        if (!best)
            return;
        {
            std::lock_guard guard(mutex);
            if (static_cast<int>(running) >= width())
                return;
            auto it = std::find_if(items.begin(), items.end(),
                                   [&](const Item& i) { return i.operation == best; });
            if (it == items.end() || it->started)
                continue;  // taken meanwhile: look again
            it->started = true;
            ++running;
        }
        launch(best);
    }
}

void OperationQueue::Core::launch(const Ref<Operation>& operation) {
    auto task = [core = shared_from_this(), operation] {
        try {
            operation->start();
        } catch (const std::exception& e) {
            log(format("Uncaught exception in an operation: %s", e.what()));
        }
        // An operation that finished without saying so still frees its slot.
        if (operation->isFinished())
            operation->didChangeValueForKey("isFinished");
    };
    if (onMainThread) {
        RunLoop::main().post(std::move(task), commonModes());
    } else {
        detail::WorkerPool::shared().submit(std::move(task));
    }
}

void OperationQueue::Core::finished(const Operation& operation) {
    Ref<Operation> removed;  // released after the lock
    std::function<void()> handler;
    {
        std::lock_guard guard(mutex);
        auto it = std::find_if(items.begin(), items.end(),
                               [&](const Item& i) { return i.operation.get() == &operation; });
        if (it == items.end())
            return;
        if (it->started)
            --running;
        removed = std::move(it->operation);
        items.erase(it);
        if (items.empty())
            handler = becameEmpty;
    }
    emptied.notify_all();
    pump();
    if (handler)
        handler();
}

// ---- OperationQueue -----------------------------------------------------------------------------

OperationQueue::OperationQueue() : core_(std::make_shared<Core>()) {}

Ref<OperationQueue> OperationQueue::make(std::string name) {
    auto queue = std::make_shared<OperationQueue>();
    queue->setName(std::move(name));
    return queue;
}

Ref<OperationQueue> OperationQueue::mainQueue() {
    // Never destroyed, like the main run loop.
    static Ref<OperationQueue>* const queue = [] {
        auto made = std::make_shared<OperationQueue>();
        made->core_->onMainThread = true;
        made->core_->name = "main";
        return std::make_unique<Ref<OperationQueue>>(std::move(made)).release();
    }();
    return *queue;
}

void OperationQueue::addOperation(const Ref<Operation>& operation) {
    if (!operation)
        raise(NSInvalidArgumentException, "operation is null");
    if (operation->isExecuting() || operation->isFinished()) {
        raise(NSInvalidArgumentException,
              "operation is executing or finished and cannot be enqueued");
    }
    {
        std::lock_guard guard(operation->mutex_);
        if (operation->queue_ || operation->finishHandled_) {
            raise(NSInvalidArgumentException, "operation is already enqueued on a queue");
        }
        operation->queue_ = std::make_shared<Operation::QueueLink>(Operation::QueueLink{core_});
    }
    {
        std::lock_guard guard(core_->mutex);
        core_->items.push_back({operation, false});
    }
    core_->pump();
}

void OperationQueue::addOperations(const std::vector<Ref<Operation>>& operations,
                                   bool waitUntilFinished) {
    for (const auto& operation : operations)
        addOperation(operation);
    if (!waitUntilFinished)
        return;
    for (const auto& operation : operations) {
        if (core_->onMainThread && RunLoop::isMainThread()) {
            while (!RunLoop::main().runUntil([&] { return operation->isFinished(); }, kLongWait)) {
            }
        } else {
            operation->waitUntilFinished();
        }
    }
}

Ref<BlockOperation> OperationQueue::addOperationWithBlock(std::function<void()> block) {
    auto operation = BlockOperation::make(std::move(block));
    addOperation(operation);
    return operation;
}

std::vector<Ref<Operation>> OperationQueue::operations() const {
    std::lock_guard guard(core_->mutex);
    std::vector<Ref<Operation>> list;
    for (const auto& item : core_->items)
        list.push_back(item.operation);
    return list;
}

size_t OperationQueue::operationCount() const {
    std::lock_guard guard(core_->mutex);
    return core_->items.size();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard guard(core_->mutex);
    return core_->onMainThread ? 1 : core_->maxCount;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard guard(core_->mutex);
        if (core_->onMainThread)
            return;
        core_->maxCount = std::max(count, kDefaultMaxConcurrentOperationCount);
    }
    core_->pump();
}

void OperationQueue::cancelAllOperations() {
    for (const auto& operation : operations())
        operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    if (core_->onMainThread && RunLoop::isMainThread()) {
        while (!RunLoop::main().runUntil([&] { return operationCount() == 0; }, kLongWait)) {
        }
        return;
    }
    std::unique_lock lock(core_->mutex);
    core_->emptied.wait(lock, [&] { return core_->items.empty(); });
}

std::string OperationQueue::name() const {
    std::lock_guard guard(core_->mutex);
    return core_->name;
}

void OperationQueue::setName(std::string name) {
    std::lock_guard guard(core_->mutex);
    core_->name = std::move(name);
}

void OperationQueue::setBecameEmptyHandler(std::function<void()> handler) {
    std::lock_guard guard(core_->mutex);
    core_->becameEmpty = std::move(handler);
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard guard(core_->mutex);
        core_->suspended = suspended;
    }
    if (!suspended)
        core_->pump();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard guard(core_->mutex);
    return core_->suspended;
}

}  // namespace plat
