#pragma once
// plat::Operation: a unit of work for an OperationQueue. A non-concurrent operation does its work
// in main(), which the queue calls (through start()) on a worker thread. A concurrent operation
// overrides start(), isConcurrent(), isExecuting() and isFinished(), keeps its own state and
// reports each change through willChangeValueForKey / didChangeValueForKey ("isReady",
// "isExecuting", "isFinished", "isCancelled"), possibly later and from another thread; the queue
// frees its slot when it hears "isFinished". Also: dependencies (an operation is ready when all of
// them have finished, or once it is cancelled), queue priorities, and a completion block that runs
// once, on the thread that finished the operation. plat::BlockOperation runs blocks.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/core/Object.h"

namespace plat {

class OperationQueue;

class Operation : public Object {
    PLAT_CLASS(Operation)
  public:
    enum QueuePriority : int {
        VeryLow = -8,
        Low = -4,
        Normal = 0,
        High = 4,
        VeryHigh = 8,
    };

    Operation() = default;

    // Non-concurrent flow: a cancelled operation just finishes; otherwise executing, main(),
    // finished. Calling it on an operation that is executing, finished or not ready does nothing.
    virtual void start();
    virtual void main() {}
    virtual bool isConcurrent() const { return false; }
    virtual bool isReady() const;
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    virtual bool isCancelled() const;
    virtual void cancel();

    // Keeps dep; this operation is not ready until dep has finished.
    void addDependency(const Ref<Operation>& dep);
    void removeDependency(const Ref<Operation>& dep);
    std::vector<Ref<Operation>> dependencies() const;

    int queuePriority() const;
    void setQueuePriority(int priority);
    // Kept for callers that set it; worker threads run at the system's normal priority.
    double threadPriority() const;
    void setThreadPriority(double priority);

    // Runs once after the operation has finished; released after it ran.
    void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    // Blocks until the operation has finished.
    void waitUntilFinished();

    // Change notifications: the queue, the dependants and the completion block listen to them.
    // Call will- before and did- after changing what the key's accessor answers.
    void willChangeValueForKey(std::string_view key);
    void didChangeValueForKey(std::string_view key);

  private:
    friend class OperationQueue;
    struct QueueLink;

    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    bool executing_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    bool finishHandled_ = false;  // the finish was heard (completion, dependants, queue)
    int queuePriority_ = Normal;
    double threadPriority_ = 0.5;
    std::function<void()> completionBlock_;
    std::vector<Ref<Operation>> dependencies_;
    std::vector<WeakRef<Operation>> dependants_;
    std::shared_ptr<QueueLink> queue_;  // while enqueued
};

class BlockOperation : public Operation {
    PLAT_CLASS(BlockOperation)
  public:
    BlockOperation() = default;
    static Ref<BlockOperation> make(std::function<void()> block);
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;
    // Runs the blocks in the order they were added.
    void main() override;

  private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};

}  // namespace plat
