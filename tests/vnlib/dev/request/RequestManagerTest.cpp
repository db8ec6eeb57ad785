#include <gtest/gtest.h>

#include "platform/runloop/RunLoop.h"
#include "vnlib/dev/request/TestRequest.h"
#include "vnlib/dev/request/VnRequestManager.h"

using testing_support::Journal;

namespace {

Ref<VnRequestResult> succeeded(int v) {
    return std::make_shared<VnRequestResult>(plat::Value(v), nullptr);
}

// Requests named A, B, ... each with a journaling delegate (kept alive here: requests do not
// own their delegates).
std::vector<Ref<plat::Object>> gDelegates;
std::vector<Ref<TestRequest>> makeRequests(Journal& j, int n) {
    std::vector<Ref<TestRequest>> out;
    for (int i = 0; i < n; ++i) {
        const std::string name(1, static_cast<char>('A' + i));
        auto r = TestRequest::make(&j, name);
        auto d = journalDelegate(j, name);
        r->setDelegate(d);
        gDelegates.push_back(d);
        out.push_back(r);
    }
    return out;
}

std::vector<Ref<VnRequestContext>> asContexts(const std::vector<Ref<TestRequest>>& v) {
    return {v.begin(), v.end()};
}

}  // namespace

TEST(VnRequestManager, RunsFourAtATimeAndStartsTheNextAfterTheDelegatesWereTold) {
    Journal j;
    auto rs = makeRequests(j, 6);
    auto manager = VnRequestManager::managerWithRequests(asContexts(rs));
    Journal done;
    manager->startWithDidFinishBlock([&](const Ref<VnRequestResult>& r, const plat::Value&) {
        done.push_back(r->succeed() ? "ok" : "fail");
    });
    EXPECT_EQ(manager->activeRequests().size(), 4u);
    EXPECT_EQ(manager->queuedRequests().size(), 2u);
    j.clear();
    rs[1]->finish(succeeded(1));
    EXPECT_EQ(j, (Journal{"B.delegate", "E.start", "B.cleanup"}));
    EXPECT_TRUE(manager->prioritizeRequest(rs[5]));
    EXPECT_FALSE(manager->prioritizeRequest(rs[0]));
    rs[0]->finish(
        VnRequestResult::failedResultWithErrorMessage("x"));  // a failure does not stop it
    EXPECT_EQ(manager->activeRequests().back(), rs[5]);
    for (int i : {2, 3, 4, 5})
        rs[i]->finish(succeeded(i));
    EXPECT_EQ(done, Journal{"ok"});
    EXPECT_FALSE(manager->running());
}

TEST(VnRequestManager, CancelPutsRunningRequestsBackInFrontKeepingTheirIds) {
    Journal j;
    auto rs = makeRequests(j, 3);
    auto manager = std::make_shared<VnRequestManager>();
    manager->setConcurrentRequestCountLimit(2);
    manager->setAutostart(false);
    for (int i = 0; i < 3; ++i)
        manager->enqueueRequest(rs[i], plat::Value(i));
    EXPECT_FALSE(manager->running());
    manager->start();
    manager->cancel();
    ASSERT_EQ(manager->queuedRequests().size(), 3u);
    EXPECT_EQ(manager->queuedRequests()[0], rs[0]);
    EXPECT_EQ(manager->queuedRequests()[1], rs[1]);
    EXPECT_EQ(manager->queuedRequests()[2], rs[2]);
    EXPECT_TRUE(manager->activeRequests().empty());
    EXPECT_EQ(manager->requestForId(plat::Value(0)), rs[0]);
    EXPECT_EQ(rs[0]->cancels, 1);
    manager->start();
    EXPECT_EQ(rs[0]->starts, 2);
    EXPECT_EQ(rs[1]->starts, 2);
    rs[0]->finish(succeeded(0));
    EXPECT_EQ(manager->requestForId(plat::Value(0)), nullptr);  // finished: forgotten
    manager->cancelAndClearQueue();
    EXPECT_TRUE(manager->queuedRequests().empty());
    EXPECT_TRUE(manager->activeRequests().empty());
    EXPECT_EQ(manager->requestForId(plat::Value(1)), nullptr);
}

TEST(VnRequestManager, LimitsAndAutostart) {
    Journal j;
    auto rs = makeRequests(j, 3);
    auto zero = std::make_shared<VnRequestManager>(asContexts(rs));
    zero->setConcurrentRequestCountLimit(0);
    zero->start();
    EXPECT_TRUE(zero->activeRequests().empty());
    EXPECT_TRUE(zero->running());
    zero->cancelAndClearQueue();

    auto unlimited = std::make_shared<VnRequestManager>(asContexts(rs));
    unlimited->setConcurrentRequestCountLimit(-1);
    unlimited->start();
    EXPECT_EQ(unlimited->activeRequests().size(), 3u);
    unlimited->cancelAndClearQueue();

    // Nothing to do: it finishes inside start.
    auto empty = std::make_shared<VnRequestManager>();
    int finishes = 0;
    empty->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value&) { ++finishes; });
    EXPECT_EQ(finishes, 1);
    // Autostart: enqueueing into an idle manager starts it; it finishes after the request.
    empty->enqueueRequest(rs[0]);
    EXPECT_TRUE(empty->running());
    empty->enqueueRequest(rs[0]);  // already running: ignored
    EXPECT_EQ(empty->activeRequests().size(), 1u);
    rs[0]->finish(succeeded(1));
    EXPECT_EQ(finishes, 2);
}

TEST(VnRequestManager, SubrequestDelegateSeesTheSubrequestNotTheProxy) {
    Journal j;
    auto rs = makeRequests(j, 1);
    auto manager = std::make_shared<VnRequestManager>(asContexts(rs));
    auto watcher = testing_support::DynamicObject::make();
    Ref<plat::Object> seen;
    watcher->on("pages_request:didFinishWithResult:", [&](plat::Args& a) {
        seen = std::any_cast<Ref<plat::Object>>(a.at(0));
        return std::any();
    });
    manager->setSubrequestDelegate(watcher, "pages_");
    EXPECT_TRUE(manager->ownsSubrequestDelegate());
    manager->start();
    rs[0]->finish(succeeded(1));
    EXPECT_EQ(seen, rs[0]);
}
