#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "LoopTestSupport.h"
#include "platform/runloop/RunLoop.h"

using plat::ReleasePool;
using plat::RunLoop;
using runloop_test::onFreshThread;

namespace {

// Runs a hook from its destructor.
struct OnDestroy {
    explicit OnDestroy(std::function<void()> hook) : hook(std::move(hook)) {}
    ~OnDestroy() {
        if (hook)
            hook();
    }
    std::function<void()> hook;
};

TEST(ReleasePoolTest, AnAutoreleasedObjectLivesUntilTheEndOfThePass) {
    onFreshThread([](RunLoop& loop) {
        std::weak_ptr<int> watch;
        bool aliveLaterInPass = false;
        loop.perform([&] { watch = plat::autorelease(std::make_shared<int>(1)); });
        loop.perform([&] { aliveLaterInPass = !watch.expired(); });
        loop.runMode(plat::kDefaultRunLoopMode, loop.now());
        EXPECT_TRUE(aliveLaterInPass);
        EXPECT_TRUE(watch.expired());
    });
}

TEST(ReleasePoolTest, ANestedPassKeepsTheOuterPassObjectsAndTheRootDrainsAfterTheOutermostPass) {
    onFreshThread([](RunLoop& loop) {
        std::weak_ptr<int> root = plat::autorelease(std::make_shared<int>(0));
        std::weak_ptr<int> outer;
        bool outerAliveAfterNestedPass = false;
        bool rootAliveInsidePass = false;
        loop.perform([&] {
            outer = plat::autorelease(std::make_shared<int>(1));
            loop.perform([] {}, 0, {"Nested"});
            loop.runPending("Nested");
            outerAliveAfterNestedPass = !outer.expired();
            rootAliveInsidePass = !root.expired();
        });
        EXPECT_FALSE(root.expired());
        loop.runPending();
        EXPECT_TRUE(outerAliveAfterNestedPass);
        EXPECT_TRUE(rootAliveInsidePass);
        EXPECT_TRUE(outer.expired());
        EXPECT_TRUE(root.expired());
    });
}

TEST(ReleasePoolTest, NestedScopesReleaseTheirOwnObjectsWhenTheyClose) {
    onFreshThread([](RunLoop&) {
        std::weak_ptr<int> outer;
        std::weak_ptr<int> inner;
        {
            ReleasePool outerPool;
            outer = plat::autorelease(std::make_shared<int>(1));
            {
                ReleasePool innerPool;
                inner = plat::autorelease(std::make_shared<int>(2));
            }
            EXPECT_TRUE(inner.expired());
            EXPECT_FALSE(outer.expired());
            outerPool.drain();
            EXPECT_TRUE(outer.expired());
            outer = plat::autorelease(std::make_shared<int>(3));  // the pool stays open
        }
        EXPECT_TRUE(outer.expired());
    });
}

TEST(ReleasePoolTest, DrainingToleratesDestructorsThatAutoreleaseOrOpenPools) {
    onFreshThread([](RunLoop&) {
        std::vector<std::weak_ptr<OnDestroy>> made;
        // Each destructor autoreleases the next object, three deep, and the second one does it
        // inside a pool of its own.
        std::function<void(int)> chain = [&](int depth) {
            if (depth == 3)
                return;
            auto next = std::make_shared<OnDestroy>([&chain, depth] {
                if (depth == 1) {
                    ReleasePool own;
                    chain(depth + 1);
                } else {
                    chain(depth + 1);
                }
            });
            made.push_back(next);
            plat::autorelease(next);
        };
        {
            ReleasePool pool;
            chain(0);
        }
        ASSERT_EQ(made.size(), 3u);
        for (const auto& m : made)
            EXPECT_TRUE(m.expired());
    });
}

}  // namespace
