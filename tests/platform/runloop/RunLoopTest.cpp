#include "platform/runloop/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "LoopTestSupport.h"
#include "platform/core/Exception.h"

using plat::RunLoop;
using runloop_test::onFreshThread;

namespace {

constexpr double kForever = std::numeric_limits<double>::infinity();
using Journal = std::vector<std::string>;

std::shared_ptr<plat::VirtualClock> useVirtualClock(RunLoop& loop) {
    auto clock = std::make_shared<plat::VirtualClock>();
    loop.setClock(clock);
    return clock;
}

TEST(RunLoopModes, DefaultWorkWaitsWhileOnlyTheModalModeRunsAndCommonWorkRunsInBoth) {
    onFreshThread([](RunLoop& loop) {
        auto clock = useVirtualClock(loop);
        Journal ran;
        loop.perform([&] { ran.push_back("default"); });
        loop.perform([&] { ran.push_back("common"); }, 0, plat::commonModes());
        loop.perform([&] { ran.push_back("modal"); }, 0, {plat::kModalPanelRunLoopMode});
        loop.perform([&] { ran.push_back("delayed default"); }, 5);
        loop.perform([&] { ran.push_back("delayed common"); }, 5, plat::commonModes());

        // Even with time passing, the modal mode runs only modal and common work.
        loop.runMode(plat::kModalPanelRunLoopMode, clock->now() + 10);
        loop.runMode(plat::kModalPanelRunLoopMode, clock->now() + 10);
        EXPECT_EQ(ran, (Journal{"common", "modal", "delayed common"}));
        EXPECT_EQ(loop.nextDeadline(plat::kModalPanelRunLoopMode), kForever);

        loop.runPending(plat::kDefaultRunLoopMode);
        EXPECT_EQ(ran,
                  (Journal{"common", "modal", "delayed common", "default", "delayed default"}));
    });
}

TEST(RunLoopModes, CommonSetCoversEventTrackingAndAddedModesOnly) {
    onFreshThread([](RunLoop& loop) {
        int ran = 0;
        auto queueCommon = [&] { loop.perform([&] { ++ran; }, 0, plat::commonModes()); };
        queueCommon();
        EXPECT_EQ(loop.runPending(plat::kEventTrackingRunLoopMode), 1u);
        queueCommon();
        EXPECT_EQ(loop.runPending("CustomMode"), 0u);
        EXPECT_FALSE(loop.isCommonMode("CustomMode"));
        loop.addCommonMode("CustomMode");
        EXPECT_TRUE(loop.isCommonMode("CustomMode"));
        EXPECT_EQ(loop.runPending("CustomMode"), 1u);
        EXPECT_EQ(ran, 2);
    });
}

TEST(RunLoopModes, NestedModalRunInsideAPerformRunsOnlyModalAndCommonWork) {
    onFreshThread([](RunLoop& loop) {
        Journal ran;
        loop.perform([&] {
            ran.push_back("outer");
            EXPECT_EQ(loop.currentMode(), plat::kDefaultRunLoopMode);
            loop.perform([&] { ran.push_back("default queued inside"); });
            loop.perform([&] { ran.push_back("common queued inside"); }, 0, plat::commonModes());
            loop.runPending(plat::kModalPanelRunLoopMode);
            EXPECT_EQ(loop.currentMode(), plat::kDefaultRunLoopMode);
        });
        loop.perform([&] { ran.push_back("default after outer"); });
        loop.perform(
            [&] {
                ran.push_back("common after outer");
                EXPECT_EQ(loop.currentMode(), plat::kModalPanelRunLoopMode);
            },
            0, plat::commonModes());

        loop.runMode(plat::kDefaultRunLoopMode, loop.now());
        // The modal run took the common perform queued before it; the default one waited.
        EXPECT_EQ(ran, (Journal{"outer", "common after outer", "common queued inside",
                                "default after outer"}));
        loop.runPending();
        EXPECT_EQ(ran.back(), "default queued inside");
        EXPECT_EQ(loop.currentMode(), "");
    });
}

TEST(RunLoopPerforms, RunInFifoOrderOnALaterPassNeverInsideTheQueuingCall) {
    onFreshThread([](RunLoop& loop) {
        auto clock = useVirtualClock(loop);
        Journal ran;
        loop.perform([&] { ran.push_back("late 1"); }, 2);
        loop.perform([&] { ran.push_back("a"); });
        loop.perform([&] {
            ran.push_back("b");
            loop.perform([&] { ran.push_back("queued by b"); });
            EXPECT_EQ(ran.back(), "b");  // not run inside the call
        });
        loop.perform([&] { ran.push_back("late 2"); }, 2);
        loop.perform([&] { ran.push_back("early"); }, 1);
        loop.perform([&] { ran.push_back("c"); });
        EXPECT_TRUE(ran.empty());

        EXPECT_EQ(loop.runMode(plat::kDefaultRunLoopMode, kForever),
                  RunLoop::RunResult::HandledSource);
        EXPECT_EQ(ran, (Journal{"a", "b", "c"}));
        loop.runMode(plat::kDefaultRunLoopMode, kForever);
        EXPECT_EQ(ran.back(), "queued by b");
        while (loop.nextDeadline(plat::kDefaultRunLoopMode) < kForever) {
            loop.runMode(plat::kDefaultRunLoopMode, kForever);
        }
        EXPECT_EQ(ran, (Journal{"a", "b", "c", "queued by b", "early", "late 1", "late 2"}));
        EXPECT_DOUBLE_EQ(clock->now(), 1002.0);
    });
}

TEST(RunLoopPerforms, CancelByTargetActionAndArgument) {
    onFreshThread([](RunLoop& loop) {
        int target = 0;
        int other = 0;
        Journal ran;
        auto queue = [&](const void* t, std::string action, plat::Value arg, std::string label) {
            loop.perform([&ran, label] { ran.push_back(label); }, 0, plat::defaultModes(), t,
                         std::move(action), std::move(arg));
        };
        queue(&target, "notify", plat::Value(1), "notify 1");
        queue(&target, "notify", plat::Value(2), "notify 2");
        queue(&target, "start", plat::Value(), "start");
        queue(&other, "notify", plat::Value(1), "other notify");

        const plat::Value one(1);
        loop.cancelPerforms(&target, "notify", &one);
        EXPECT_TRUE(loop.hasPerforms(&target, "notify"));
        loop.cancelPerforms(&target, "notify");
        EXPECT_FALSE(loop.hasPerforms(&target, "notify"));
        EXPECT_TRUE(loop.hasPerforms(&target));
        loop.cancelPerforms(nullptr);  // matches nothing
        loop.runPending();
        EXPECT_EQ(ran, (Journal{"start", "other notify"}));

        queue(&target, "start", plat::Value(), "again");
        loop.cancelPerforms(&target);
        const auto id = loop.perform([&] { ran.push_back("by id"); });
        loop.cancelPerform(id);
        loop.runPending();
        EXPECT_EQ(ran.size(), 2u);
    });
}

TEST(RunLoopPerforms, CancelledDuringThePassNeverRunsAndItsCapturesAreReleased) {
    onFreshThread([](RunLoop& loop) {
        int target = 0;
        auto captured = std::make_shared<int>(7);
        std::weak_ptr<int> watch = captured;
        bool secondRan = false;
        loop.perform([&] { loop.cancelPerforms(&target, "finish"); });
        loop.perform([&secondRan, captured] { secondRan = true; }, 0, plat::defaultModes(), &target,
                     "finish");
        captured.reset();
        loop.runPending();
        EXPECT_FALSE(secondRan);
        EXPECT_TRUE(watch.expired());
    });
}

TEST(RunLoopPerforms, PostFromAnotherThreadWakesTheWaitingLoop) {
    onFreshThread([](RunLoop& loop) {
        std::atomic<int> handlerCalls{0};
        loop.setWakeUpHandler([&] { ++handlerCalls; });
        bool done = false;
        std::thread poster([&] { loop.post([&] { done = true; }); });
        EXPECT_TRUE(loop.runUntil([&] { return done; }, 5.0));
        poster.join();
        EXPECT_GE(handlerCalls.load(), 1);
    });
}

TEST(RunLoopPerforms, AnExceptionLeavesTheLoopUsable) {
    onFreshThread([](RunLoop& loop) {
        loop.perform([] { plat::raise(plat::NSInternalInconsistencyException, "boom"); });
        bool later = false;
        loop.perform([&] { later = true; });
        EXPECT_THROW(loop.runPending(), plat::Exception);
        EXPECT_EQ(loop.currentMode(), "");
        loop.runPending();
        EXPECT_TRUE(later);
    });
}

TEST(RunLoopControl, StopEndsRunFromAnotherThreadAndABeforehandStopIsNotLost) {
    onFreshThread([](RunLoop& loop) {
        loop.stop();
        loop.run();  // returns at once

        std::atomic<bool> running{false};
        loop.perform([&] { running = true; });
        std::thread stopper([&] {
            while (!running)
                std::this_thread::yield();
            loop.stop();
        });
        loop.run();
        stopper.join();
        EXPECT_TRUE(running);
    });
}

TEST(RunLoopControl, RunsOnlyOnItsOwnThreadAndRefusesWorkOnceItsThreadEnded) {
    std::shared_ptr<RunLoop> loop;
    onFreshThread([&](RunLoop& l) { loop = l.shared_from_this(); });
    EXPECT_TRUE(loop->hasEnded());
    EXPECT_FALSE(loop->tryPost([] {}));
    EXPECT_EQ(loop->runMode(plat::kDefaultRunLoopMode, 0), RunLoop::RunResult::Finished);

    onFreshThread([](RunLoop& own) {
        EXPECT_NE(&own, &RunLoop::main());
        EXPECT_FALSE(RunLoop::isMainThread());
        EXPECT_THROW(RunLoop::main().runPending(), plat::Exception);
    });
    EXPECT_TRUE(RunLoop::isMainThread());
    EXPECT_EQ(&RunLoop::current(), &RunLoop::main());
}

TEST(RunLoopClock, VirtualTimeJumpsToTheNextDeadlineUnlessHeld) {
    onFreshThread([](RunLoop& loop) {
        auto clock = useVirtualClock(loop);
        bool fired = false;
        loop.perform([&] { fired = true; }, 3600);
        EXPECT_DOUBLE_EQ(loop.nextDeadline(plat::kDefaultRunLoopMode), 4600.0);
        EXPECT_EQ(loop.runMode(plat::kDefaultRunLoopMode, 2000.0), RunLoop::RunResult::TimedOut);
        EXPECT_DOUBLE_EQ(clock->now(), 2000.0);
        EXPECT_FALSE(fired);

        // Held: the loop waits for the post instead of jumping an hour ahead.
        auto hold = loop.holdVirtualTime();
        bool posted = false;
        std::thread poster([&] { loop.post([&] { posted = true; }); });
        EXPECT_TRUE(loop.runUntil([&] { return posted; }, 5.0));
        poster.join();
        EXPECT_DOUBLE_EQ(clock->now(), 2000.0);
        hold.reset();

        EXPECT_TRUE(loop.runUntil([&] { return fired; }, 5.0));
        EXPECT_DOUBLE_EQ(clock->now(), 4600.0);
    });
}

TEST(RunLoopClock, WithoutAutoAdvanceTheLoopWaitsForAdvance) {
    onFreshThread([](RunLoop& loop) {
        auto clock = useVirtualClock(loop);
        clock->setAutoAdvance(false);
        bool fired = false;
        loop.perform([&] { fired = true; }, 30);
        std::thread advancer([&] { clock->advance(30); });
        EXPECT_TRUE(loop.runUntil([&] { return fired; }, 5.0));
        advancer.join();
    });
}

}  // namespace
