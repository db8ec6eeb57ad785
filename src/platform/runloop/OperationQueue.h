#pragma once
// plat::OperationQueue: runs Operations on worker threads, at most maxConcurrentOperationCount at
// once (-1: a default the system picks; the count may change at any time). Among ready operations
// the one with the highest queue priority starts first, then the one added first. The queue keeps
// each operation until it has finished. mainQueue() runs its operations one at a time on the main
// thread's run loop, in the common modes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/runloop/Operation.h"

namespace plat {

class OperationQueue : public Object {
    PLAT_CLASS(OperationQueue)
  public:
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;

    OperationQueue();
    static Ref<OperationQueue> make(std::string name = {});
    static Ref<OperationQueue> mainQueue();

    // NSInvalidArgumentException for an operation that is already in a queue, executing or
    // finished.
    virtual void addOperation(const Ref<Operation>& operation);
    void addOperations(const std::vector<Ref<Operation>>& operations, bool waitUntilFinished);
    Ref<BlockOperation> addOperationWithBlock(std::function<void()> block);

    std::vector<Ref<Operation>> operations() const;
    size_t operationCount() const;

    int maxConcurrentOperationCount() const;
    // Values below -1 mean -1. Has no effect on the main queue, which runs one at a time.
    void setMaxConcurrentOperationCount(int count);

    // A suspended queue keeps its operations and starts none until it is resumed.
    virtual void setSuspended(bool suspended);
    bool isSuspended() const;

    virtual void cancelAllOperations();
    // Blocks until every operation has finished (on the main thread, the main queue's operations
    // keep running meanwhile).
    void waitUntilAllOperationsAreFinished();

    std::string name() const;
    void setName(std::string name);

    // Called on the thread that finished the last operation, each time the queue becomes empty.
    void setBecameEmptyHandler(std::function<void()> handler);

    struct Core;

  private:
    std::shared_ptr<Core> core_;
};

}  // namespace plat
