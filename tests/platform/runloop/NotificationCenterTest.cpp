#include "platform/runloop/NotificationCenter.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/runloop/Lock.h"
#include "support/DynamicObject.h"

using plat::Notification;
using plat::NotificationCenter;
using testing_support::DynamicObject;

namespace {

struct Observer {
    std::vector<std::string> heard;
};

TEST(NotificationCenterTest, DeliversAtOnceToObserversMatchingNameAndObject) {
    NotificationCenter center;
    auto sender = DynamicObject::make();
    auto otherSender = DynamicObject::make();
    auto byName = std::make_shared<Observer>();
    auto byObject = std::make_shared<Observer>();
    auto everything = std::make_shared<Observer>();
    center.addObserver(
        byName, [&](const Notification& n) { byName->heard.push_back(n.name); },
        "VnUserLibraryDidUpdate");
    center.addObserver(
        byObject, [&](const Notification& n) { byObject->heard.push_back(n.name); }, "", sender);
    center.addObserver(everything,
                       [&](const Notification& n) { everything->heard.push_back(n.name); });

    auto info = plat::MutableDictionary::make();
    center.postNotificationName("VnUserLibraryDidUpdate", sender, info);
    center.postNotificationName("Other", otherSender);
    center.postNotificationName("Other", sender);

    EXPECT_EQ(byName->heard, std::vector<std::string>{"VnUserLibraryDidUpdate"});
    EXPECT_EQ(byObject->heard, (std::vector<std::string>{"VnUserLibraryDidUpdate", "Other"}));
    EXPECT_EQ(everything->heard.size(), 3u);

    // Removing by a name drops only the registrations made for that name.
    center.removeObserver(byName.get(), "Other");
    center.removeObserver(everything.get(), "Other");
    center.postNotificationName("VnUserLibraryDidUpdate");
    EXPECT_EQ(byName->heard.size(), 2u);
    EXPECT_EQ(everything->heard.size(), 4u);
    center.removeObserver(byName.get(), "VnUserLibraryDidUpdate");
    center.removeObserver(everything.get());
    center.postNotificationName("VnUserLibraryDidUpdate");
    EXPECT_EQ(byName->heard.size(), 2u);
    EXPECT_EQ(everything->heard.size(), 4u);
}

TEST(NotificationCenterTest, RemovalDuringDeliveryIsSafeAndGoneObserversAreSkipped) {
    NotificationCenter center;
    auto first = std::make_shared<Observer>();
    auto second = std::make_shared<Observer>();
    auto third = std::make_shared<Observer>();
    center.addObserver(first, [&](const Notification&) {
        first->heard.push_back("first");
        center.removeObserver(first.get());   // itself
        center.removeObserver(second.get());  // a later one
        center.addObserver([&](const Notification&) { third->heard.push_back("late"); });
    });
    center.addObserver(second, [&](const Notification&) { second->heard.push_back("second"); });
    center.addObserver(third, [&](const Notification&) { third->heard.push_back("third"); });
    center.postNotificationName("Ping");
    EXPECT_EQ(first->heard, std::vector<std::string>{"first"});
    EXPECT_TRUE(second->heard.empty());
    EXPECT_EQ(third->heard, std::vector<std::string>{"third"});

    bool goneCalled = false;
    {
        auto gone = std::make_shared<Observer>();
        center.addObserver(gone, [&](const Notification&) { goneCalled = true; });
    }
    center.postNotificationName("Ping");
    EXPECT_FALSE(goneCalled);
    EXPECT_EQ(third->heard, (std::vector<std::string>{"third", "third", "late"}));
}

TEST(NotificationCenterTest, DefaultCenterIsShared) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    auto observer = std::make_shared<Observer>();
    NotificationCenter::defaultCenter().addObserver(
        observer, [&](const Notification& n) { observer->heard.push_back(n.name); }, "Shared");
    NotificationCenter::defaultCenter().postNotificationName("Shared");
    NotificationCenter::defaultCenter().removeObserver(observer.get());
    EXPECT_EQ(observer->heard.size(), 1u);
}

TEST(LockTest, SynchronizedIsRecursivePerObjectAndExcludesOtherThreads) {
    int object = 0;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 1000; ++i) {
            plat::Synchronized outer(&object);
            plat::Synchronized inner(&object);  // the same thread may enter again
            ++counter;
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 2000);

    plat::RecursiveLock lock("test.lock");
    std::lock_guard guard(lock);
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
    EXPECT_EQ(lock.name(), "test.lock");
}

}  // namespace
