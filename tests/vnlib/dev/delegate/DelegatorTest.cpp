#include <gtest/gtest.h>

#include "platform/runloop/RunLoop.h"
#include "support/DynamicObject.h"
#include "vnlib/dev/delegate/NSObjectProxy.h"
#include "vnlib/dev/delegate/VndDelegator.h"

using testing_support::DynamicObject;

TEST(VndDelegator, PrefixedMethodWinsAndOnlyItIsAdvertised) {
    auto target = DynamicObject::make();
    target->on("request:didFinishWithResult:").on("signin_request:didFinishWithResult:");
    VndDelegator d(target, std::string("signin_"));
    EXPECT_TRUE(d.respondsToSelector("request:didFinishWithResult:"));
    plat::send(&d, "request:didFinishWithResult:", nullptr, nullptr);
    EXPECT_EQ(target->calls(), std::vector<std::string>{"signin_request:didFinishWithResult:"});
}

TEST(VndDelegator, PlainMethodIsReachedOnlyWhenSentWithoutAsking) {
    auto target = DynamicObject::make();
    target->on("request:didFinishWithResult:");
    VndDelegator d(target, std::string("x_"));
    EXPECT_FALSE(d.respondsToSelector("request:didFinishWithResult:"));
    plat::send(&d, "request:didFinishWithResult:", nullptr, nullptr);
    EXPECT_EQ(target->calls(), std::vector<std::string>{"request:didFinishWithResult:"});
    // Neither form implemented: the message is refused as by the delegate itself.
    EXPECT_THROW(plat::send(&d, "other"), plat::Exception);
}

TEST(VndDelegator, NullPrefixForwardsUnchangedAndAGoneDelegateDropsMessages) {
    auto target = DynamicObject::make();
    target->on("ping");
    VndDelegator plain(target, std::nullopt);
    EXPECT_EQ(plain.prefixedSelector("ping"), plat::Selector("ping"));
    EXPECT_TRUE(plain.respondsToSelector("ping"));
    plat::send(&plain, "ping");
    EXPECT_EQ(target->count("ping"), 1u);

    auto gone = std::make_shared<VndDelegator>(WeakRef<plat::Object>(), std::string("p_"));
    EXPECT_FALSE(gone->respondsToSelector("ping"));
    EXPECT_NO_THROW(plat::send(gone, "ping"));
}

TEST(NSObjectProxy, ForwardsEverythingToItsOwnedTarget) {
    WeakRef<DynamicObject> watch;
    {
        auto target = DynamicObject::make();
        target->on("answer", [](plat::Args&) { return std::any(42); });
        watch = target;
        auto proxy = std::make_shared<NSObjectProxy>(target);
        target.reset();
        EXPECT_FALSE(watch.expired());
        EXPECT_TRUE(proxy->respondsToSelector("answer"));
        EXPECT_EQ(plat::send<int>(proxy, "answer"), 42);
    }
    EXPECT_TRUE(watch.expired());
}
