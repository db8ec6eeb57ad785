#include "platform/runloop/Operation.h"

#include <algorithm>
#include <exception>

#include "platform/core/Log.h"
#include "platform/runloop/OperationQueueCore.h"

namespace plat {

PLAT_DEFINE_CLASS(Operation, Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(BlockOperation, Operation, PLAT_NO_METHODS)

void Operation::start() {
    if (isCancelled()) {
        {
            std::lock_guard guard(mutex_);
            if (executing_ || finished_)
                return;
            finished_ = true;
        }
        didChangeValueForKey("isFinished");
        return;
    }
    if (!isReady())
        return;
    {
        std::lock_guard guard(mutex_);
        if (executing_ || finished_)
            return;
        executing_ = true;
    }
    didChangeValueForKey("isExecuting");
    // Finishes the operation even when main() throws.
    struct Finish {
        Operation& operation;
        ~Finish() {
            {
                std::lock_guard guard(operation.mutex_);
                operation.executing_ = false;
                operation.finished_ = true;
            }
            operation.didChangeValueForKey("isExecuting");
            operation.didChangeValueForKey("isFinished");
        }
    } finish{*this};
    main();
}

bool Operation::isReady() const {
    std::vector<Ref<Operation>> dependencies;
    {
        std::lock_guard guard(mutex_);
        if (cancelled_)
            return true;
        dependencies = dependencies_;
    }
    return std::all_of(dependencies.begin(), dependencies.end(),
                       [](const Ref<Operation>& d) { return d->isFinished(); });
}

bool Operation::isExecuting() const {
    std::lock_guard guard(mutex_);
    return executing_;
}

bool Operation::isFinished() const {
    std::lock_guard guard(mutex_);
    return finished_;
}

bool Operation::isCancelled() const {
    std::lock_guard guard(mutex_);
    return cancelled_;
}

void Operation::cancel() {
    {
        std::lock_guard guard(mutex_);
        if (cancelled_ || finished_)
            return;
        cancelled_ = true;
    }
    didChangeValueForKey("isCancelled");
}

void Operation::addDependency(const Ref<Operation>& dep) {
    if (!dep || dep.get() == this)
        return;
    {
        std::lock_guard guard(mutex_);
        if (std::find(dependencies_.begin(), dependencies_.end(), dep) != dependencies_.end())
            return;
        dependencies_.push_back(dep);
    }
    auto self = std::static_pointer_cast<Operation>(weak_from_this().lock());
    if (!self)
        return;  // not shared: nothing to tell
    std::lock_guard guard(dep->mutex_);
    if (!dep->finishHandled_)
        dep->dependants_.push_back(self);
}

void Operation::removeDependency(const Ref<Operation>& dep) {
    {
        std::lock_guard guard(mutex_);
        auto it = std::find(dependencies_.begin(), dependencies_.end(), dep);
        if (it == dependencies_.end())
            return;
        dependencies_.erase(it);
    }
    didChangeValueForKey("isReady");
}

std::vector<Ref<Operation>> Operation::dependencies() const {
    std::lock_guard guard(mutex_);
    return dependencies_;
}

int Operation::queuePriority() const {
    std::lock_guard guard(mutex_);
    return queuePriority_;
}

void Operation::setQueuePriority(int priority) {
    std::lock_guard guard(mutex_);
    queuePriority_ = priority;
}

double Operation::threadPriority() const {
    std::lock_guard guard(mutex_);
    return threadPriority_;
}

void Operation::setThreadPriority(double priority) {
    std::lock_guard guard(mutex_);
    threadPriority_ = std::clamp(priority, 0.0, 1.0);
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard guard(mutex_);
    if (finishHandled_)
        return;  // too late: it would never run
    completionBlock_.swap(block);
}

std::function<void()> Operation::completionBlock() const {
    std::lock_guard guard(mutex_);
    return completionBlock_;
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedCondition_.wait(lock, [this] { return finishHandled_; });
}

void Operation::willChangeValueForKey(std::string_view) {}

void Operation::didChangeValueForKey(std::string_view key) {
    if (key == "isReady" || key == "isCancelled") {
        std::shared_ptr<QueueLink> link;
        {
            std::lock_guard guard(mutex_);
            link = queue_;
        }
        if (link)
            link->core->pump();
        return;
    }
    if (key != "isFinished" || !isFinished())
        return;

    auto keepAlive = weak_from_this().lock();
    std::function<void()> completion;
    std::vector<WeakRef<Operation>> dependants;
    std::shared_ptr<QueueLink> link;
    {
        std::lock_guard guard(mutex_);
        if (finishHandled_)
            return;
        finishHandled_ = true;
        completion.swap(completionBlock_);
        dependants.swap(dependants_);
        link = std::move(queue_);
    }
    finishedCondition_.notify_all();
    if (completion) {
        try {
            completion();
        } catch (const std::exception& e) {
            log(format("Uncaught exception in an operation's completion block: %s", e.what()));
        }
        completion = nullptr;
    }
    for (auto& weak : dependants) {
        if (auto dependant = weak.lock())
            dependant->didChangeValueForKey("isReady");
    }
    if (link)
        link->core->finished(*this);
}

Ref<BlockOperation> BlockOperation::make(std::function<void()> block) {
    auto operation = std::make_shared<BlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void BlockOperation::addExecutionBlock(std::function<void()> block) {
    if (!block)
        return;
    std::lock_guard guard(blocksMutex_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> BlockOperation::executionBlocks() const {
    std::lock_guard guard(blocksMutex_);
    return blocks_;
}

void BlockOperation::main() {
    for (const auto& block : executionBlocks())
        block();
}

}  // namespace plat
