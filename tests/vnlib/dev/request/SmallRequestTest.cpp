#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/TestRequest.h"
#include "vnlib/dev/request/VnBackgroundThreadRequestContext.h"
#include "vnlib/dev/request/VnRequestProxy.h"
#include "vnlib/dev/request/VnSelectorRequest.h"

using testing_support::DynamicObject;
using testing_support::Journal;

TEST(VnRequestProxy, BorrowsTheTargetsDelegateSlotAndGivesItBack) {
    Journal j;
    auto target = TestRequest::make(&j, "target");
    auto formerDelegate = journalDelegate(j, "former");
    target->setDelegate(formerDelegate);
    auto pd = DynamicObject::make();
    pd->on("requestProxy:request:transformRequestResult:", [](plat::Args&) {
        return std::any(Ref<plat::Object>(VnRequestResult::failedResultWithErrorMessage("t")));
    });
    auto proxyDelegate = journalDelegate(j, "proxy");
    auto proxy = std::make_shared<VnRequestProxy>(target, pd);
    proxy->startWithDelegate(proxyDelegate);
    EXPECT_NE(target->delegate(), formerDelegate);
    target->finish(VnRequestResult::succeedResult());
    EXPECT_EQ(target->delegate(), formerDelegate);
    EXPECT_EQ(j, (Journal{"target.start", "former.delegate", "proxy.delegate", "target.cleanup"}));
    EXPECT_FALSE(proxy->running());
}

TEST(VnSelectorRequest, SendsItsStartSelectorWithTheDelegate) {
    auto target = DynamicObject::make();
    target->on("loadWithDelegate:");
    auto delegate = DynamicObject::make();
    auto request = std::make_shared<VnSelectorRequest>("loadWithDelegate:", target);
    request->startWithDelegate(delegate);
    ASSERT_EQ(target->count("loadWithDelegate:"), 1u);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(target->arguments("loadWithDelegate:")[0][0]),
              delegate);
    request->cancel();

    VnRangedRequest ranged;
    ranged.setItemRange({5, 10});
    EXPECT_EQ(ranged.itemRange().length, 10u);
}

TEST(VnBackgroundThreadRequestContext, RunsTheInvocationOnAnotherThread) {
    std::atomic<bool> ran{false};
    std::atomic<bool> otherThread{false};
    const auto mainId = std::this_thread::get_id();
    auto target = DynamicObject::make();
    target->on("work", [&](plat::Args&) {
        otherThread = std::this_thread::get_id() != mainId;
        ran = true;
        return std::any();
    });
    auto invocation = std::make_shared<plat::Invocation>("work", plat::Args{});
    invocation->setTarget(target);
    auto request = VnBackgroundThreadRequestContext::requestWithInvocation(invocation);
    request->start();
    EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return ran.load(); }, 5.0));
    EXPECT_TRUE(otherThread);
    EXPECT_TRUE(request->running());  // it does not finish by itself
    request->cancel();
    EXPECT_EQ(VnBackgroundThreadRequestContext::backgroundQueue()->maxConcurrentOperationCount(),
              10);
}
