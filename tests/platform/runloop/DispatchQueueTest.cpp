#include "platform/runloop/DispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "LoopTestSupport.h"
#include "platform/runloop/RunLoop.h"

using plat::DispatchGroup;
using plat::DispatchQueue;
using runloop_test::Counter;

namespace {

TEST(DispatchQueueTest, MainQueueRunsOnTheMainLoopInTheCommonModes) {
    ASSERT_TRUE(plat::RunLoop::isMainThread());
    std::vector<int> order;
    DispatchQueue::main()->async([&] { order.push_back(1); });
    DispatchQueue::main()->async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    plat::RunLoop::main().runPending(plat::kModalPanelRunLoopMode);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    bool ranAtOnce = false;
    DispatchQueue::main()->sync([&] { ranAtOnce = true; });  // from the main thread: no deadlock
    EXPECT_TRUE(ranAtOnce);
}

TEST(DispatchQueueTest, SerialQueueRunsOneBlockAtATimeInOrder) {
    auto queue = DispatchQueue::serial("test.serial");
    std::vector<int> order;  // touched only by the queue's blocks
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 20; ++i) {
        queue->async([&, i] {
            if (++inside > 1)
                overlapped = true;
            order.push_back(i);
            --inside;
        });
    }
    bool nestedRan = false;
    queue->sync([&] {
        EXPECT_TRUE(queue->isCurrent());
        queue->sync([&] { nestedRan = true; });  // onto itself: runs at once
    });
    EXPECT_TRUE(nestedRan);
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(DispatchQueueTest, BarrierWaitsForEarlierBlocksAndHoldsBackLaterOnes) {
    auto queue = DispatchQueue::concurrent("test.concurrent");
    Counter readersIn;
    Counter release;
    std::atomic<int> readersDone{0};
    std::atomic<int> seenByBarrier{-1};
    std::atomic<bool> laterSawBarrier{false};
    std::atomic<bool> barrierDone{false};
    for (int i = 0; i < 3; ++i) {
        queue->async([&] {
            readersIn.add();
            release.waitFor(1);
            ++readersDone;
        });
    }
    // The readers overlap: all three are inside at once.
    ASSERT_TRUE(readersIn.waitFor(3));
    queue->barrierAsync([&] {
        seenByBarrier = readersDone.load();
        barrierDone = true;
    });
    queue->async([&] { laterSawBarrier = barrierDone.load(); });
    release.add();
    queue->barrierSync([] {});
    queue->sync([] {});
    EXPECT_EQ(seenByBarrier.load(), 3);
    EXPECT_TRUE(laterSawBarrier);
}

TEST(DispatchQueueTest, GroupNotifiesOnceEveryBlockHasLeft) {
    auto group = DispatchGroup::make();
    auto worker = DispatchQueue::global();
    std::atomic<int> ran{0};
    for (int i = 0; i < 4; ++i)
        group->async(worker, [&] { ++ran; });
    group->enter();  // a piece of work outside any queue
    EXPECT_FALSE(group->wait(0.01));

    Counter notified;
    std::atomic<int> ranWhenNotified{-1};
    group->notify(worker, [&] {
        ranWhenNotified = ran.load();
        notified.add();
    });
    group->leave();
    EXPECT_TRUE(group->wait());
    EXPECT_TRUE(notified.waitFor(1));
    EXPECT_EQ(ranWhenNotified.load(), 4);

    group->leave();  // unmatched: ignored
    EXPECT_TRUE(group->wait(0));
}

}  // namespace
