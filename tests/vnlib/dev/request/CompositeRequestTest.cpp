#include <gtest/gtest.h>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/TestRequest.h"
#include "vnlib/dev/request/VnChainedRequest.h"
#include "vnlib/dev/request/VnTimeoutRequest.h"

using testing_support::DynamicObject;
using testing_support::Journal;

namespace {

void turn(const std::string& mode = plat::kDefaultRunLoopMode) {
    plat::RunLoop::current().runPending(mode);
}

Ref<VnRequestResult> ok(int v) {
    return std::make_shared<VnRequestResult>(plat::Value(v), nullptr);
}

Ref<VnRequestResult> resultArg(plat::Args& args, size_t i) {
    return std::dynamic_pointer_cast<VnRequestResult>(std::any_cast<Ref<plat::Object>>(args.at(i)));
}

// Captures the result of a request's finish.
struct Outcome {
    Ref<VnRequestResult> result;
    int calls = 0;
    VnRequestContext::DidFinishBlock block() {
        return [this](const Ref<VnRequestResult>& r, const plat::Value&) {
            result = r;
            ++calls;
        };
    }
};

}  // namespace

TEST(VnRequestProxy2, RefusedStartLeavesTheTargetAloneAndCancelsOnTheNextTurn) {
    Journal j;
    auto target = TestRequest::make(&j, "target");
    auto pd = DynamicObject::make();
    pd->on("requestProxy:requestWillStart:", [](plat::Args&) { return std::any(false); });
    pd->on("requestProxy:request:didNotify_didFinishWithResult:", [&](plat::Args& a) {
        j.push_back(resultArg(a, 2)->isUserCancelled() ? "didNotify cancel" : "didNotify");
        return std::any();
    });
    Outcome out;
    auto proxy = target->proxyWithProxyDelegate(pd);
    proxy->startWithDidFinishBlock(out.block());
    EXPECT_EQ(out.calls, 0);
    turn();
    ASSERT_EQ(out.calls, 1);
    EXPECT_EQ(out.result, VnRequestResult::cancel());
    EXPECT_EQ(target->starts, 0);
    EXPECT_EQ(j, Journal{"didNotify cancel"});
}

TEST(VnRequestProxy2, TransformChangesWhatTheProxyDelegateSeesButNotTheTarget) {
    Journal j;
    auto target = TestRequest::make(&j, "target");
    auto targetDelegate = journalDelegate(j, "target");
    target->setDelegate(targetDelegate);
    auto pd = DynamicObject::make();
    pd->on("pages_requestProxy:requestDidNotify_didStart:", [&](plat::Args&) {
        j.push_back("didStart");
        return std::any();
    });
    pd->on("pages_requestProxy:request:transformRequestResult:", [&](plat::Args&) {
        j.push_back("transform");
        return std::any(Ref<plat::Object>(VnRequestResult::failedResultWithErrorMessage("bad")));
    });
    pd->on("pages_requestProxy:request:didNotify_didFinishWithResult:", [&](plat::Args& a) {
        j.push_back(resultArg(a, 2)->succeed() ? "didNotify success" : "didNotify failure");
        return std::any();
    });
    Outcome out;
    auto proxy = target->proxyWithProxyDelegate(pd, "pages_");
    proxy->startWithDidFinishBlock(out.block());
    EXPECT_EQ(target->starts, 1);
    target->finish(ok(1));
    // The proxy hears of the finish before the target cleans up.
    EXPECT_EQ(j, (Journal{"target.start", "didStart", "target.delegate", "transform",
                          "didNotify success", "target.cleanup"}));
    ASSERT_TRUE(out.result);
    EXPECT_EQ(out.result->errorMessage(), "bad");
}

TEST(VnRequestProxy2, CancelReachesTheTargetAndTellsTheProxyDelegateOnce) {
    auto target = TestRequest::make();
    auto pd = DynamicObject::make();
    pd->on("requestProxy:requestDidCancel:");
    pd->on("requestProxy:request:didReportProgress:");
    auto proxy = target->proxyWithProxyDelegate(pd);
    proxy->start();
    target->progress(1, 2);
    EXPECT_EQ(pd->count("requestProxy:request:didReportProgress:"), 1u);
    proxy->cancel();
    EXPECT_FALSE(target->running());
    EXPECT_EQ(target->cancels, 1);
    EXPECT_EQ(pd->count("requestProxy:requestDidCancel:"), 1u);
    // Cancelling from the target's side also cancels the proxy, once.
    auto proxy2 = target->proxyWithProxyDelegate(pd);
    proxy2->start();
    target->cancel();
    EXPECT_FALSE(proxy2->running());
    EXPECT_EQ(pd->count("requestProxy:requestDidCancel:"), 2u);
}

TEST(VnRequestProxy2, StartingOnARunningTargetRaisesAndLeavesTheProxyIdle) {
    auto target = TestRequest::make();
    target->start();
    auto proxy = target->proxyWithProxyDelegate(nullptr);
    EXPECT_THROW(proxy->start(), plat::Exception);
    EXPECT_FALSE(proxy->running());
    target->finish(ok(1));  // the target had no proxy attached by the failed start
    EXPECT_FALSE(proxy->running());
}

TEST(VnChainedRequest, RunsStepsUntilTheDelegateAnswersAResult) {
    auto first = TestRequest::make(nullptr, "first");
    auto second = TestRequest::make(nullptr, "second");
    auto finalResult = ok(99);
    auto cd = DynamicObject::make();
    int asked = 0;
    cd->on("processRequest:result:", [&](plat::Args&) {
        ++asked;
        if (asked == 1)
            return std::any(Ref<plat::Object>(second));
        return std::any(Ref<plat::Object>(finalResult));
    });
    Outcome out;
    auto chain = VnChainedRequest::chainedRequestWithFirstRequest(first, cd);
    chain->startWithDidFinishBlock(out.block());
    EXPECT_EQ(chain->activeRequest(), first);
    first->finish(ok(1));
    EXPECT_EQ(chain->activeRequest(), second);
    EXPECT_TRUE(chain->running());
    second->finish(ok(2));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(out.result, finalResult);
}

TEST(VnChainedRequest, NullAnswerCancelsAndProgressAndCancelReachTheActiveStep) {
    auto first = TestRequest::make();
    auto cd = DynamicObject::make();
    cd->on("processRequest:result:", [](plat::Args&) { return std::any(Ref<plat::Object>()); });
    Journal j;
    Outcome out;
    auto chain = std::make_shared<VnChainedRequest>(first, cd);
    auto chainDelegate = journalDelegate(j, "chain");
    chain->setDelegate(chainDelegate);
    chain->startWithDidFinishBlock(out.block());
    first->progress(4, 8);
    EXPECT_EQ(j, Journal{"chain.progress 4"});
    first->finish(ok(1));
    EXPECT_EQ(out.result, VnRequestResult::cancel());

    auto step = TestRequest::make();
    auto chain2 = std::make_shared<VnChainedRequest>(step, cd);
    chain2->start();
    chain2->cancel();
    EXPECT_EQ(step->cancels, 1);
    EXPECT_EQ(chain2->activeRequest(), nullptr);
    EXPECT_THROW(std::make_shared<VnChainedRequest>(nullptr, cd), plat::Exception);
}

namespace {

class SilentWork : public VnTimeoutRequest {
  public:
    int cancels = 0;
    void data() { notifyToKeepAlive(); }

  protected:
    void coreCancel() override { ++cancels; }
};

class VirtualTime : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<plat::VirtualClock>();
        plat::RunLoop::current().setClock(clock);
    }
    void TearDown() override { plat::RunLoop::current().setClock(nullptr); }
    // Runs the loop in the mode until the clock reaches t (no real time passes).
    void runTo(double t, const std::string& mode = plat::kDefaultRunLoopMode) {
        auto& loop = plat::RunLoop::current();
        while (clock->now() < t) {
            if (loop.runMode(mode, t) == plat::RunLoop::RunResult::Finished)
                clock->setNow(t);
        }
        loop.runPending(mode);
    }
    std::shared_ptr<plat::VirtualClock> clock;
};

}  // namespace

TEST_F(VirtualTime, TimeoutRequestFailsAfterSilenceOnly) {
    auto work = std::make_shared<SilentWork>();
    Outcome out;
    work->startWithDidFinishBlock(out.block());
    const double t0 = clock->now();
    for (int i = 1; i <= 5; ++i) {  // data every 100 s keeps it alive
        runTo(t0 + 100.0 * i);
        work->data();
    }
    EXPECT_EQ(out.calls, 0);
    runTo(t0 + 500 + 119.0);
    EXPECT_EQ(out.calls, 0);
    runTo(t0 + 500 + 120.5);
    ASSERT_EQ(out.calls, 1);
    EXPECT_EQ(out.result->errorMessage(), "Request timeout");
    EXPECT_EQ(work->cancels, 1);
}

TEST_F(VirtualTime, TimeoutTimerWaitsWhileOnlyTheModalPanelModeRuns) {
    auto work = std::make_shared<SilentWork>();
    Outcome out;
    work->startWithDidFinishBlock(out.block());
    const double t0 = clock->now();
    runTo(t0 + 300, plat::kModalPanelRunLoopMode);
    EXPECT_EQ(out.calls, 0);
    runTo(t0 + 301);
    EXPECT_EQ(out.calls, 1);
}

TEST_F(VirtualTime, FinishOrCancelStopsTheTimer) {
    auto work = std::make_shared<SilentWork>();
    Outcome out;
    work->startWithDidFinishBlock(out.block());
    work->cancel();
    EXPECT_FALSE(work->timeoutTimerArmed());
    runTo(clock->now() + 500);
    EXPECT_EQ(out.calls, 0);
    EXPECT_EQ(work->cancels, 1);
}
