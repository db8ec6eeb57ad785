#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "LoopTestSupport.h"
#include "platform/core/Exception.h"
#include "platform/runloop/RunLoop.h"

using plat::RunLoop;
using plat::Timer;
using runloop_test::onFreshThread;

namespace {

constexpr double kNoTimeLimit = std::numeric_limits<double>::infinity();

// Each test gets a fresh thread whose loop runs on a virtual clock starting at 1000.
void withVirtualLoop(const std::function<void(RunLoop&, plat::VirtualClock&)>& body) {
    onFreshThread([&](RunLoop& loop) {
        auto clock = std::make_shared<plat::VirtualClock>(1000.0);
        loop.setClock(clock);
        body(loop, *clock);
    });
}

TEST(TimerTest, A120SecondOneShotFiresAt120AndNotBefore) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock& clock) {
        std::vector<double> firedAt;
        auto timer = Timer::scheduled(120, false, [&](Timer&) { firedAt.push_back(loop.now()); });
        EXPECT_DOUBLE_EQ(timer->fireDate(), 1120.0);

        loop.runMode(plat::kDefaultRunLoopMode, 1119.9);
        EXPECT_TRUE(firedAt.empty());
        EXPECT_DOUBLE_EQ(clock.now(), 1119.9);

        EXPECT_EQ(loop.runMode(plat::kDefaultRunLoopMode, kNoTimeLimit),
                  RunLoop::RunResult::HandledSource);
        EXPECT_EQ(firedAt, std::vector<double>{1120.0});
        EXPECT_FALSE(timer->isValid());
        EXPECT_EQ(loop.nextDeadline(plat::kDefaultRunLoopMode), kNoTimeLimit);
    });
}

TEST(TimerTest, ReArmingPushesTheFireDateBack) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock&) {
        double firedAt = 0;
        auto timer = Timer::scheduled(120, false, [&](Timer&) { firedAt = loop.now(); });
        loop.runMode(plat::kDefaultRunLoopMode, 1100.0);
        timer->setFireDate(loop.now() + 120);  // keep-alive at 100 s
        loop.runMode(plat::kDefaultRunLoopMode, 1200.0);
        EXPECT_EQ(firedAt, 0);
        EXPECT_TRUE(loop.runUntil([&] { return firedAt > 0; }, 1.0));
        EXPECT_DOUBLE_EQ(firedAt, 1220.0);
    });
}

TEST(TimerTest, InvalidateStopsTheTimerAndReleasesItsCallback) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock&) {
        auto request = std::make_shared<int>(1);
        std::weak_ptr<int> watch = request;
        bool fired = false;
        std::weak_ptr<Timer> timerWatch;
        {
            auto timer = Timer::scheduled(120, false, [&fired, request](Timer&) { fired = true; });
            timerWatch = timer;
            request.reset();
            EXPECT_FALSE(watch.expired());  // the loop keeps the timer and what it captured
            timer->invalidate();
            timer->setFireDate(loop.now());  // no effect once invalidated
        }
        EXPECT_TRUE(watch.expired());
        EXPECT_TRUE(timerWatch.expired());
        loop.runMode(plat::kDefaultRunLoopMode, 2000.0);
        EXPECT_FALSE(fired);
    });
}

TEST(TimerTest, TheLoopKeepsAScheduledTimerUntilAOneShotHasFired) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock&) {
        int fired = 0;
        std::weak_ptr<Timer> watch = Timer::scheduled(5, false, [&](Timer&) { ++fired; });
        EXPECT_FALSE(watch.expired());
        EXPECT_TRUE(loop.runUntil([&] { return fired == 1; }, 1.0));
        EXPECT_TRUE(watch.expired());
    });
}

TEST(TimerTest, RepeatingTimerKeepsItsPeriodAndABehindTimerFiresOnce) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock& clock) {
        std::vector<double> firedAt;
        auto timer = Timer::scheduled(15, true, [&](Timer&) { firedAt.push_back(loop.now()); });
        loop.runMode(plat::kDefaultRunLoopMode, 1045.0);
        loop.runMode(plat::kDefaultRunLoopMode, 1045.0);
        loop.runMode(plat::kDefaultRunLoopMode, 1045.0);
        EXPECT_EQ(firedAt, (std::vector<double>{1015.0, 1030.0, 1045.0}));

        clock.setAutoAdvance(false);
        clock.advance(100);  // falls behind by several periods
        loop.runPending();
        EXPECT_EQ(firedAt.size(), 4u);
        EXPECT_DOUBLE_EQ(timer->fireDate(), 1150.0);

        timer->invalidate();
        clock.advance(100);
        loop.runPending();
        EXPECT_EQ(firedAt.size(), 4u);
    });
}

TEST(TimerTest, DefaultModeTimerWaitsWhileTheModalModeRuns) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock& clock) {
        bool defaultFired = false;
        bool commonFired = false;
        Timer::scheduled(120, false, [&](Timer&) { defaultFired = true; });
        Timer::scheduled(
            120, false, [&](Timer&) { commonFired = true; }, plat::commonModes());
        loop.runMode(plat::kModalPanelRunLoopMode, 1500.0);
        loop.runMode(plat::kModalPanelRunLoopMode, 1500.0);
        EXPECT_TRUE(commonFired);
        EXPECT_FALSE(defaultFired);
        EXPECT_DOUBLE_EQ(clock.now(), 1500.0);
        loop.runPending(plat::kDefaultRunLoopMode);
        EXPECT_TRUE(defaultFired);
    });
}

TEST(TimerTest, OneShotReArmedInItsCallbackStaysScheduled) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock&) {
        int fired = 0;
        auto timer = Timer::scheduled(10, false, [&](Timer& t) {
            if (++fired == 1)
                t.setFireDate(loop.now() + 10);
        });
        EXPECT_TRUE(loop.runUntil([&] { return fired == 2; }, 1.0));
        EXPECT_DOUBLE_EQ(loop.now(), 1020.0);
        EXPECT_FALSE(timer->isValid());
    });
}

TEST(TimerTest, FireRunsAtOnceAndTimersAreTiedToOneLoop) {
    withVirtualLoop([](RunLoop& loop, plat::VirtualClock&) {
        int fired = 0;
        auto repeating = Timer::scheduled(10, true, [&](Timer&) { ++fired; });
        repeating->fire();
        EXPECT_EQ(fired, 1);
        EXPECT_TRUE(repeating->isValid());
        EXPECT_DOUBLE_EQ(repeating->fireDate(), 1010.0);

        auto oneShot = std::make_shared<Timer>(10, false, [&](Timer&) { ++fired; });
        EXPECT_EQ(oneShot->fireDate(), kNoTimeLimit);
        oneShot->fire();
        EXPECT_FALSE(oneShot->isValid());
        oneShot->fire();
        EXPECT_EQ(fired, 2);

        onFreshThread([&](RunLoop& other) {
            EXPECT_THROW(other.addTimer(repeating, plat::defaultModes()), plat::Exception);
        });
        (void)loop;
    });
}

}  // namespace
