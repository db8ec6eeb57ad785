#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/TestRequest.h"

using testing_support::DynamicObject;
using testing_support::Journal;

namespace {

void runTurn(const std::string& mode = plat::kDefaultRunLoopMode) {
    plat::RunLoop::current().runPending(mode);
}

Ref<VnRequestResult> okResult(int v) {
    return std::make_shared<VnRequestResult>(plat::Value(v), nullptr);
}

std::string reasonOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const plat::Exception& e) {
        return e.reason();
    }
    return "";
}

}  // namespace

TEST(VnRequestResult, FactoriesAndDerivedProperties) {
    auto failed = VnRequestResult::failedResultWithErrorMessage("เครือข่ายขัดข้อง");
    EXPECT_EQ(failed->state(), 1);
    EXPECT_FALSE(failed->succeed());
    EXPECT_EQ(failed->error()->domain(), "VnRequestDomain");
    EXPECT_EQ(failed->error()->code(), 0);
    EXPECT_EQ(failed->errorMessage(), "เครือข่ายขัดข้อง");

    auto done = VnRequestResult::resultWithRequestParams(plat::Value("p"), plat::Value(3), nullptr);
    EXPECT_TRUE(done->succeed());
    EXPECT_EQ(done->requestParams(), plat::Value("p"));
    EXPECT_FALSE(done->errorMessage().has_value());

    EXPECT_EQ(VnRequestResult::cancel(), VnRequestResult::cancel());
    EXPECT_TRUE(VnRequestResult::cancel()->isUserCancelled());
    EXPECT_TRUE(VnRequestResult::succeedResult()->succeed());
    runTurn();
}

// A static object made before the shared cancel result, and so destroyed after it at the
// process's exit, still finds it from its destructor (a user context held by such an object
// cancels its requests with it).
TEST(VnRequestResult, TheSharedCancelResultOutlivesTheExitHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct CancelsAtExit {
        ~CancelsAtExit() {
            const auto cancel = VnRequestResult::cancel();
            std::_Exit(cancel && cancel->isUserCancelled() ? 0 : 3);
        }
    };
    EXPECT_EXIT(
        {
            static CancelsAtExit madeFirst;
            (void)madeFirst;
            (void)VnRequestResult::cancel();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VnRequestContext, PrefixFromSelector) {
    EXPECT_EQ(VnRequestContext::prefixFromSelector("metadata_request:didFinishWithResult:"),
              "metadata_");
    EXPECT_EQ(VnRequestContext::prefixFromSelector("request:didFinishWithResult:"), "");
    EXPECT_EQ(reasonOf([] { VnRequestContext::prefixFromSelector("request:didFinish:"); }),
              "Invalid selector");
}

TEST(VnRequestContext, KnownResultArrivesOnALaterTurnInEveryCommonMode) {
    Journal j;
    auto delegate = journalDelegate(j, "d");
    auto request = VnRequestContext::requestWithResult(okResult(1));
    request->startWithDelegate(delegate);
    EXPECT_TRUE(j.empty());  // never inside start
    EXPECT_TRUE(request->running());
    runTurn(plat::kModalPanelRunLoopMode);  // queued finishes run during modal panels too
    EXPECT_EQ(j, Journal{"d.delegate"});
    EXPECT_FALSE(request->running());
}

TEST(VnRequestContext, NotificationOrderDelegateCallbackJointsProxy) {
    Journal j;
    auto proxy = TestRequest::make(&j, "proxy");
    auto proxyDelegate = journalDelegate(j, "proxy");
    proxy->startWithDelegate(proxyDelegate);

    auto main = TestRequest::make(&j, "main");
    auto delegate = journalDelegate(j, "main");
    main->setDelegate(delegate);
    main->setDidFinishBlock([&](const Ref<VnRequestResult>& r, const plat::Value& v) {
        EXPECT_TRUE(r->succeed());
        j.push_back("main.block " + v.description());
    });
    main->startWithProxyRequest(proxy);

    auto joint1 = main->jointRequest();
    auto joint2 = main->jointRequest();
    auto d1 = journalDelegate(j, "joint1"), d2 = journalDelegate(j, "joint2");
    joint1->startWithDelegate(d1);
    joint2->startWithDelegate(d2);
    EXPECT_EQ(main->starts, 1);  // joints share the running main request
    EXPECT_EQ(main->jointRequests().size(), 2u);

    j.clear();
    main->finish(okResult(7));
    EXPECT_EQ(j, (Journal{"main.delegate", "main.block 7", "joint1.delegate", "joint2.delegate",
                          "proxy.delegate", "proxy.cleanup", "main.cleanup"}));
    EXPECT_TRUE(main->jointRequests().empty());
    EXPECT_FALSE(proxy->running());
}

TEST(VnRequestContext, SelectorPrefixDelegate) {
    Journal j;
    auto delegate = journalDelegate(j, "signin", "signin_");
    auto request = TestRequest::make();
    request->startWithDelegateUsingPrefixFromDidFinishSelector(
        delegate, "signin_request:didFinishWithResult:");
    EXPECT_TRUE(request->ownsDelegate());
    request->progress(3, 10);
    request->finish(okResult(1));
    EXPECT_EQ(j, (Journal{"signin.progress 3", "signin.delegate"}));
    request->setDelegate(delegate);
    EXPECT_FALSE(request->ownsDelegate());
}

TEST(VnRequestContext, CancelOfAQueuedResultDeliversNothingAndAllowsARestart) {
    Journal j;
    auto delegate = journalDelegate(j, "d");
    auto request = TestRequest::make(&j);
    request->setDelegate(delegate);
    request->startWithResult(okResult(1));
    request->cancel();
    EXPECT_EQ(j, (Journal{"req.cancel", "req.cleanup"}));
    runTurn();
    EXPECT_EQ(j.size(), 2u);
    request->startWithResult(okResult(2));
    runTurn();
    EXPECT_EQ(j.back(), "req.cleanup");
    EXPECT_EQ(j[j.size() - 2], "d.delegate");
}

TEST(VnRequestContext, MisuseRaisesAndCancelOnIdleDoesNothing) {
    auto request = TestRequest::make();
    request->cancel();
    EXPECT_EQ(request->cancels, 0);
    request->start();
    EXPECT_EQ(reasonOf([&] { request->start(); }), "Request already started");
    request->finish(okResult(1));
    request->start();  // a finished request may run again
    EXPECT_EQ(request->starts, 2);
    request->cancel();

    auto queued = TestRequest::make();
    queued->startWithResult(okResult(1));
    EXPECT_EQ(reasonOf([&] { queued->startWithResult(okResult(2)); }), "Request already started");
    EXPECT_EQ(reasonOf([&] { queued->finish(okResult(3)); }), "Request already finished");
    runTurn();  // the queued result is still delivered
    EXPECT_FALSE(queued->running());
    // The failed finish does not leave the request deferring its later starts.
    queued->start();
    EXPECT_EQ(queued->starts, 1);
    queued->cancel();
}

TEST(VnRequestContext, FinishOfARequestThatIsNotRunningTellsNobody) {
    Journal j;
    auto request = TestRequest::make(&j);
    auto delegate = journalDelegate(j, "d");
    request->setDelegate(delegate);
    request->finish(okResult(1));
    request->start();
    request->cancel();
    j.clear();
    request->finish(okResult(1));
    EXPECT_TRUE(j.empty());
}

TEST(VnRequestContext, RestartFromInsideTheFinishStartsOnALaterTurnAfterCleanUp) {
    Journal j;
    auto request = TestRequest::make(&j);
    auto delegate = DynamicObject::make();
    int finishes = 0;
    delegate->on("request:didFinishWithResult:", [&](plat::Args&) {
        j.push_back("delegate");
        if (++finishes == 1)
            request->start();
        return std::any();
    });
    request->startWithDelegate(delegate);
    request->finish(okResult(1));
    EXPECT_EQ(j, (Journal{"req.start", "delegate", "req.cleanup"}));
    EXPECT_TRUE(request->running());
    runTurn(plat::kModalPanelRunLoopMode);  // the deferred start waits for the default mode
    EXPECT_EQ(request->starts, 1);
    runTurn();
    EXPECT_EQ(request->starts, 2);
    // The second run holds its own reference: it survives the end of the first run's turn.
    WeakRef<TestRequest> weak = request;
    request.reset();
    runTurn();
    ASSERT_FALSE(weak.expired());
    weak.lock()->finish(okResult(2));
    EXPECT_EQ(finishes, 2);
    delegate->arguments("request:didFinishWithResult:").clear();  // the recorder's copies
    runTurn();
    EXPECT_TRUE(weak.expired());
}

TEST(VnRequestContext, ARunningRequestKeepsItselfAliveUntilTheTurnAfterItsFinish) {
    WeakRef<TestRequest> weak;
    {
        auto request = TestRequest::make();
        weak = request;
        request->start();
    }
    runTurn();
    ASSERT_FALSE(weak.expired());
    weak.lock()->finish(okResult(1));
    EXPECT_FALSE(weak.expired());  // kept for the rest of the turn
    runTurn();
    EXPECT_TRUE(weak.expired());

    {
        auto request = TestRequest::make();
        weak = request;
        request->start();
        request->cancel();
    }
    EXPECT_FALSE(weak.expired());
    runTurn();
    EXPECT_TRUE(weak.expired());
}

TEST(VnRequestContext, JointRequestCancelRules) {
    auto main = TestRequest::make();
    auto a = main->jointRequest();
    auto b = main->jointRequest();
    a->start();
    b->start();
    a->cancel();
    EXPECT_TRUE(main->running());
    EXPECT_EQ(main->cancels, 0);
    b->cancel();
    EXPECT_FALSE(main->running());
    EXPECT_EQ(main->cancels, 1);
}

// The main request cancelled for good by its owner (a list that goes with its user): the requests
// that joined it end with the cancel result; none is left running, holding its caller, for ever.
// A plain cancel leaves them to their own callers.
TEST(VnRequestContext, JointRequestsEndWhenTheirMainRequestIsCancelledForGood) {
    auto main = TestRequest::make();
    Journal j;
    std::vector<Ref<VnRequestContext>> joints;
    for (const char* name : {"a", "b"}) {
        joints.push_back(main->jointRequest());
        joints.back()->startWithDidFinishBlock(
            [&j, name](const Ref<VnRequestResult>& result, const plat::Value&) {
                j.push_back(std::string(name) + (result->isUserCancelled() ? " cancelled" : ""));
            });
    }
    main->cancelEndingJointRequests();
    EXPECT_EQ(main->cancels, 1);
    EXPECT_EQ(j, (Journal{"a cancelled", "b cancelled"}));
    for (const auto& joint : joints)
        EXPECT_FALSE(joint->running());
    EXPECT_TRUE(main->jointRequests().empty());
    runTurn();
}

TEST(VnRequestContext, JointRequestRestartsAFinishedMainRequest) {
    Journal j;
    auto main = TestRequest::make();
    for (int round = 1; round <= 2; ++round) {
        auto joint = main->jointRequest();
        joint->startWithDidFinishBlock(
            [&j, round](const Ref<VnRequestResult>&, const plat::Value& v) {
                j.push_back(std::to_string(round) + ":" + v.description());
            });
        EXPECT_EQ(main->starts, round);
        main->finish(okResult(round * 10));
    }
    EXPECT_EQ(j, (Journal{"1:10", "2:20"}));
    // Custom parameters of a joint request are the main request's.
    auto joint = main->jointRequest();
    joint->setCustomParams(plat::makeDictionary({{plat::Value("k"), plat::Value("v")}}));
    EXPECT_EQ((*main->customParams())["k"], plat::Value("v"));
}

TEST(VnRequestContext, ProgressReachesProxyJointsAndDelegate) {
    Journal j;
    auto pd = journalDelegate(j, "proxy"), md = journalDelegate(j, "main"),
         jd = journalDelegate(j, "joint");
    auto proxy = TestRequest::make();
    proxy->startWithDelegate(pd);
    auto main = TestRequest::make();
    main->setDelegate(md);
    main->startWithProxyRequest(proxy);
    auto joint = main->jointRequest();
    joint->startWithDelegate(jd);
    main->progress(5, 10);
    EXPECT_EQ(j, (Journal{"proxy.progress 5", "joint.progress 5", "main.progress 5"}));
    joint->cancel();  // the last joint request cancels the main request, and its proxy
    EXPECT_FALSE(main->running());
    EXPECT_FALSE(proxy->running());
}

TEST(VnRequestContext, CancellingTheProxyFirstStopsBoth) {
    auto proxy = TestRequest::make();
    proxy->start();
    auto target = TestRequest::make();
    target->startWithProxyRequest(proxy);
    target->cancel();
    EXPECT_FALSE(target->running());
    EXPECT_FALSE(proxy->running());
    EXPECT_EQ(proxy->cancels, 1);
    EXPECT_EQ(target->cancels, 1);
}
