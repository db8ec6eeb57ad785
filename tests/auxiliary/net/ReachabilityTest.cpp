// Reachability from injected flags (the status table, the link-local rule, unknown combinations),
// keys and equality, change notifications on the starting loop, and the system's own answer for
// the loopback address.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "auxiliary/net/Reachability.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"

#include <thread>

namespace {

class FakeProvider : public plat::ReachabilityProvider {
  public:
    std::optional<uint32_t> flags(const plat::ReachabilityTarget&) override { return value; }
    std::shared_ptr<void> watch(std::function<void()> changed) override {
        listener = std::move(changed);
        return std::make_shared<int>(0);
    }
    std::optional<uint32_t> value = 0u;
    std::function<void()> listener;
};

class ReachabilityTest : public ::testing::Test {
  protected:
    void SetUp() override { plat::ReachabilityProvider::setCurrent(fake); }
    void TearDown() override { plat::ReachabilityProvider::setCurrent(nullptr); }
    std::shared_ptr<FakeProvider> fake = std::make_shared<FakeProvider>();
};

TEST_F(ReachabilityTest, FlagsGiveTheStatusAndKeysGiveEquality) {
    auto host = Reachability::reachabilityWithHostName("library.example");
    struct Case {
        uint32_t flags;
        NetworkStatus status;
    };
    for (const Case c : {Case{0, StatusNotReachable}, Case{2, StatusViaWiFi},
                         Case{2 | 4 | 1, StatusNotReachable}, Case{2 | 4, StatusViaWiFi},
                         Case{2 | 0x10000 | 0x20000, StatusViaWiFi}, Case{2 | 1, StatusViaWiFi},
                         Case{2 | 8, StatusNotReachable}, Case{4, StatusNotReachable}}) {
        fake->value = c.flags;
        EXPECT_EQ(host->currentReachabilityStatus(), c.status) << c.flags;
        EXPECT_FALSE(host->isReachableViaWWAN());
    }
    auto wifi = Reachability::reachabilityForLocalWiFi();
    fake->value = 2;
    EXPECT_EQ(wifi->currentReachabilityStatus(), StatusNotReachable);
    fake->value = 2 | 0x20000;
    EXPECT_EQ(wifi->currentReachabilityStatus(), StatusViaWiFi);
    fake->value = 2 | 4 | 8 | 16;
    EXPECT_TRUE(host->isConnectionRequired());
    EXPECT_TRUE(host->isConnectionOnDemand());
    EXPECT_TRUE(host->isInterventionRequired());
    EXPECT_EQ(Reachability::flagSummary(2 | 4 | 1 | 0x20000), "Reachability Flags: Rc t---d-");
    fake->value = std::nullopt;  // the flags cannot be read
    EXPECT_FALSE(host->isReachable());
    EXPECT_EQ(host->reachabilityFlags(), 0U);

    uint32_t address;
    inet_pton(AF_INET, "10.1.2.3", &address);
    EXPECT_EQ(Reachability::makeAddressKey(address), "10.1.2.3");
    EXPECT_EQ(Reachability::reachabilityWithAddress(address)->key(), "10.1.2.3");
    EXPECT_TRUE(host->isEqual(*Reachability::reachabilityWithHostName("library.example")));
    EXPECT_FALSE(host->isEqual(*Reachability::reachabilityForInternetConnection()));
    EXPECT_EQ(Reachability::reachabilityForInternetConnection()->key(), kInternetConnection);
}

TEST_F(ReachabilityTest, ChangesArePostedOnTheLoopThatStartedTheNotifier) {
    auto monitor = Reachability::reachabilityWithHostName("library.example");
    int posts = 0;
    bool onThisThread = false;
    const auto id = plat::NotificationCenter::defaultCenter().addObserver(
        [&](const plat::Notification& n) {
            ++posts;
            onThisThread = plat::RunLoop::isMainThread() && n.object == monitor;
        },
        kReachabilityChangedNotification);
    ASSERT_TRUE(monitor->startNotifier());
    std::thread([&] { fake->listener(); }).join();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return posts > 0; }, 5));
    EXPECT_TRUE(onThisThread);
    monitor->stopNotifier();
    plat::NotificationCenter::defaultCenter().removeObserver(id);
}

TEST(SystemReachability, TheLoopbackAddressIsReachableAndLocal) {
    plat::ReachabilityProvider::setCurrent(nullptr);
    uint32_t loopback;
    inet_pton(AF_INET, "127.0.0.1", &loopback);
    auto monitor = Reachability::reachabilityWithAddress(loopback);
    const uint32_t flags = monitor->reachabilityFlags();
    EXPECT_TRUE(flags & plat::kReachabilityReachable);
    EXPECT_TRUE(flags & plat::kReachabilityIsLocalAddress);
    EXPECT_TRUE(flags & plat::kReachabilityIsDirect);
    EXPECT_TRUE(monitor->isReachable());
    EXPECT_FALSE(Reachability::reachabilityWithHostName("no-such-host.invalid")->isReachable());
    EXPECT_TRUE(monitor->startNotifier());  // the kernel's change feed opens
    monitor->stopNotifier();
}

}  // namespace
