#include "platform/runloop/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "LoopTestSupport.h"
#include "platform/core/Exception.h"

using plat::RunLoop;
using plat::Thread;
using runloop_test::Counter;

namespace {

TEST(ThreadTest, RunsQueuedWorkOnItsOwnLoopAndWaitsWhenAsked) {
    Thread thread("net-worker");
    thread.start();
    EXPECT_TRUE(thread.isRunning());
    EXPECT_FALSE(thread.isCurrent());

    std::thread::id ranOn;
    std::string nameThere;
    EXPECT_TRUE(plat::performOnThread(
        thread,
        [&] {
            ranOn = std::this_thread::get_id();
            nameThere = Thread::currentName();
        },
        true));
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(nameThere, "net-worker");

    Counter done;
    EXPECT_TRUE(thread.performOnThread([&] { done.add(); }, false));
    EXPECT_TRUE(done.waitFor(1));

    thread.stop();
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.performOnThread([] {}, false));
    EXPECT_FALSE(thread.performOnThread([] {}, true));  // does not hang
}

TEST(ThreadTest, WaitingOnTheTargetThreadItselfRunsAtOnceAndNotWaitingDefers) {
    Thread thread;
    thread.start();
    std::vector<std::string> order;
    thread.performOnThread(
        [&] {
            EXPECT_TRUE(thread.isCurrent());
            thread.performOnThread([&] { order.push_back("deferred"); }, false);
            thread.performOnThread([&] { order.push_back("at once"); }, true);
            order.push_back("after");
        },
        true);
    thread.performOnThread([] {}, true);  // the deferred one ran before this
    EXPECT_EQ(order, (std::vector<std::string>{"at once", "after", "deferred"}));
}

TEST(ThreadTest, AnExceptionOfAWaitedCallReachesTheCaller) {
    Thread thread;
    thread.start();
    EXPECT_THROW(thread.performOnThread([] { throw std::runtime_error("bad"); }, true),
                 std::runtime_error);
    EXPECT_TRUE(thread.performOnThread([] {}, true));  // the thread lives on
}

TEST(ThreadTest, PerformOnMainThreadFromAWorkerAndFromTheMainThread) {
    ASSERT_TRUE(RunLoop::isMainThread());
    bool ranSynchronously = false;
    plat::performOnMainThread([&] { ranSynchronously = true; }, true);
    EXPECT_TRUE(ranSynchronously);

    std::atomic<bool> ranInModal{false};
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        plat::performOnMainThread(
            [&] { ranInModal = RunLoop::main().currentMode() == plat::kModalPanelRunLoopMode; },
            true);
        workerDone = true;
    });
    // The call arrives in the common modes, so a modal run takes it.
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return workerDone.load(); }, 5.0,
                                         plat::kModalPanelRunLoopMode));
    worker.join();
    EXPECT_TRUE(ranInModal);
}

TEST(ThreadTest, DetachedThreadsRunTheirWork) {
    auto done = std::make_shared<Counter>();
    Thread::detachNew([done] { done->add(); }, "detached");
    EXPECT_TRUE(done->waitFor(1));
}

TEST(ThreadTest, RunLoopOfAnUnstartedThreadIsRefused) {
    Thread thread("never");
    EXPECT_THROW(thread.runLoop(), plat::Exception);
    EXPECT_THROW(thread.performOnThread([] {}, false), plat::Exception);
}

}  // namespace
