#include <gtest/gtest.h>

#include "platform/core/MessageWiring.h"
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

namespace {

class SignInWatcher : public plat::Object {
    PLAT_CLASS(SignInWatcher)
  public:
    void signinFinished(Ref<SignInWatcher> request, Ref<plat::Object>) { finished = bool(request); }
    bool finished = false;
};

}  // namespace

PLAT_DEFINE_CLASS(SignInWatcher, plat::Object, [](auto& c) {
    c.method("signin_request:didFinishWithResult:", &SignInWatcher::signinFinished);
})

TEST(VndDelegator, PrefixedCallbacksAreCheckedUnderTheNameTheyArriveUnder) {
    auto watcher = std::make_shared<SignInWatcher>();
    VndDelegator d(watcher, std::string("signin_"));
    plat::setRecordingSentMessages(true);
    plat::send(&d, "request:didFinishWithResult:", watcher, nullptr);
    EXPECT_TRUE(watcher->finished);
    EXPECT_EQ(plat::messageWiringFaults(), std::vector<std::string>{});
    // A text where the watcher takes a request: refused on arrival, and recorded as sent to the
    // prefixed receiver.
    EXPECT_THROW(plat::send(&d, "request:didFinishWithResult:", std::string("x"), nullptr),
                 plat::Exception);
    const auto faults = plat::messageWiringFaults();
    plat::setRecordingSentMessages(false);
    ASSERT_EQ(faults.size(), 1u) << ::testing::PrintToString(faults);
    EXPECT_EQ(faults[0].rfind("signin_request:didFinishWithResult: is sent (std::", 0), 0u)
        << faults[0];
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
