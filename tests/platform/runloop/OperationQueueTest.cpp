#include "platform/runloop/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopTestSupport.h"
#include "platform/core/Exception.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Thread.h"

using plat::BlockOperation;
using plat::Operation;
using plat::OperationQueue;
using runloop_test::Counter;

namespace {

class SharedJournal {
  public:
    void add(std::string entry) {
        std::lock_guard guard(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard guard(mutex_);
        return entries_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// A concurrent operation that starts on the queue's worker and reports its finish later, from
// another thread; it reports "isFinished" twice to check that the finish is heard once.
class LaterOperation : public Operation {
  public:
    LaterOperation(plat::Thread& finisher, SharedJournal& journal, std::string name)
        : finisher_(finisher), journal_(journal), name_(std::move(name)) {}

    bool isConcurrent() const override { return true; }
    bool isExecuting() const override { return executing_; }
    bool isFinished() const override { return finished_; }

    void start() override {
        journal_.add("start " + name_);
        executing_ = true;
        didChangeValueForKey("isExecuting");
        auto self = std::static_pointer_cast<LaterOperation>(shared_from_this());
        finisher_.performOnThread([self] { self->finish(); }, false);
    }

  private:
    void finish() {
        journal_.add("finish " + name_);
        willChangeValueForKey("isFinished");
        willChangeValueForKey("isExecuting");
        executing_ = false;
        finished_ = true;
        didChangeValueForKey("isExecuting");
        didChangeValueForKey("isFinished");
        didChangeValueForKey("isFinished");
    }

    plat::Thread& finisher_;
    SharedJournal& journal_;
    std::string name_;
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
};

TEST(OperationQueueTest, WidthLimitsRunningOperationsAndCanChangeWhileTheyRun) {
    auto queue = OperationQueue::make("width");
    queue->setMaxConcurrentOperationCount(2);
    Counter started;
    Counter gate;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    for (int i = 0; i < 5; ++i) {
        queue->addOperationWithBlock([&] {
            const int now = ++running;
            int seen = maxRunning;
            while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
            }
            started.add();
            gate.waitFor(1);
            --running;
        });
    }
    ASSERT_TRUE(started.waitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(started.value(), 2);
    EXPECT_EQ(queue->operationCount(), 5u);

    queue->setMaxConcurrentOperationCount(3);
    EXPECT_TRUE(started.waitFor(3));
    gate.add();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(started.value(), 5);
    EXPECT_EQ(maxRunning.load(), 3);
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueueTest, DependenciesHoldAnOperationBackUntilTheyFinish) {
    auto queue = OperationQueue::make();
    SharedJournal journal;
    auto first = BlockOperation::make([&] { journal.add("first"); });
    auto second = BlockOperation::make([&] { journal.add("second"); });
    auto third = BlockOperation::make([&] { journal.add("third"); });
    third->addDependency(second);
    second->addDependency(first);
    EXPECT_FALSE(third->isReady());
    queue->addOperations({third, second}, false);
    queue->addOperations({first}, true);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(journal.entries(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_TRUE(third->isFinished());
}

TEST(OperationQueueTest, HigherPriorityStartsFirstThenFirstAdded) {
    auto queue = OperationQueue::make();
    queue->setMaxConcurrentOperationCount(1);
    Counter started;
    Counter gate;
    SharedJournal journal;
    queue->addOperationWithBlock([&] {
        started.add();
        gate.waitFor(1);
    });
    ASSERT_TRUE(started.waitFor(1));
    auto add = [&](std::string name, int priority) {
        auto operation = BlockOperation::make([&journal, name] { journal.add(name); });
        operation->setQueuePriority(priority);
        queue->addOperation(operation);
    };
    add("low", Operation::Low);
    add("normal 1", Operation::Normal);
    add("high", Operation::High);
    add("normal 2", Operation::Normal);
    add("very high", Operation::VeryHigh);
    gate.add();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(journal.entries(),
              (std::vector<std::string>{"very high", "high", "normal 1", "normal 2", "low"}));
}

TEST(OperationQueueTest, ConcurrentOperationsHoldTheirSlotUntilTheyReportFinishedAndCompleteOnce) {
    plat::Thread finisher("finisher");
    finisher.start();
    auto queue = OperationQueue::make();
    queue->setMaxConcurrentOperationCount(1);
    SharedJournal journal;
    std::atomic<int> completions{0};
    std::vector<Ref<Operation>> operations;
    for (const char* name : {"a", "b"}) {
        auto operation = std::make_shared<LaterOperation>(finisher, journal, name);
        operation->setCompletionBlock([&completions] { ++completions; });
        operations.push_back(operation);
    }
    queue->addOperations(operations, true);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(journal.entries(),
              (std::vector<std::string>{"start a", "finish a", "start b", "finish b"}));
    EXPECT_EQ(completions.load(), 2);
    EXPECT_FALSE(operations[0]->completionBlock());  // released after it ran
}

TEST(OperationQueueTest, CancelledOperationsFinishWithoutRunningAndTheQueueReportsEmpty) {
    auto queue = OperationQueue::make();
    queue->setMaxConcurrentOperationCount(1);
    Counter started;
    Counter gate;
    Counter emptied;
    queue->setBecameEmptyHandler([&] { emptied.add(); });
    queue->addOperationWithBlock([&] {
        started.add();
        gate.waitFor(1);
    });
    ASSERT_TRUE(started.waitFor(1));

    std::atomic<int> ran{0};
    std::atomic<int> completed{0};
    auto never = BlockOperation::make([] {});  // never enqueued: a dependency that never finishes
    for (int i = 0; i < 3; ++i) {
        auto operation = BlockOperation::make([&] { ++ran; });
        operation->addDependency(never);
        operation->setCompletionBlock([&] { ++completed; });
        queue->addOperation(operation);
    }
    queue->cancelAllOperations();  // a cancelled operation no longer waits for its dependencies
    gate.add();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(completed.load(), 3);
    EXPECT_TRUE(emptied.waitFor(1));
    EXPECT_EQ(emptied.value(), 1);
}

TEST(OperationQueueTest, RefusesAnOperationTwiceOrOnceFinished) {
    auto queue = OperationQueue::make();
    Counter gate;
    auto blocked = BlockOperation::make([&] { gate.waitFor(1); });
    queue->addOperation(blocked);
    EXPECT_THROW(queue->addOperation(blocked), plat::Exception);
    gate.add();
    blocked->waitUntilFinished();
    EXPECT_THROW(queue->addOperation(blocked), plat::Exception);
    EXPECT_THROW(queue->addOperation(nullptr), plat::Exception);
    queue->waitUntilAllOperationsAreFinished();
}

TEST(OperationQueueTest, MainQueueRunsItsOperationsOnTheMainThread) {
    ASSERT_TRUE(plat::RunLoop::isMainThread());
    auto operation = OperationQueue::mainQueue()->addOperationWithBlock([] {});
    std::atomic<bool> onMain{false};
    operation->setCompletionBlock([&] { onMain = plat::RunLoop::isMainThread(); });
    OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_TRUE(onMain);
    EXPECT_EQ(OperationQueue::mainQueue()->maxConcurrentOperationCount(), 1);
}

}  // namespace
