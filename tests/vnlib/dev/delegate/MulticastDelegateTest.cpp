#include <gtest/gtest.h>

#include "platform/runloop/RunLoop.h"
#include "support/DynamicObject.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"

using testing_support::DynamicObject;
using testing_support::Journal;

namespace {

Ref<DynamicObject> recorder(Journal& journal, const std::string& name,
                            const std::string& sel = "progress") {
    auto d = DynamicObject::make();
    d->on(sel, [&journal, name](plat::Args&) {
        journal.push_back(name);
        return std::any();
    });
    return d;
}

}  // namespace

TEST(MulticastDelegate, EmptyAcceptsAnyMessage) {
    auto m = std::make_shared<MulticastDelegate>();
    EXPECT_EQ(m->count(), 0u);
    EXPECT_TRUE(m->respondsToSelector("anything:at:all:"));
    EXPECT_NO_THROW(plat::send(m, "anything:at:all:", 1, 2, 3));
}

TEST(MulticastDelegate, OldestFirstOncePerRegistration) {
    Journal j;
    auto a = recorder(j, "A"), b = recorder(j, "B");
    auto m = std::make_shared<MulticastDelegate>();
    m->addDelegate(a);
    m->addDelegate(a);
    m->addDelegate(b);
    m->addDelegate(nullptr);
    EXPECT_EQ(m->count(), 3u);
    plat::send(m, "progress");
    EXPECT_EQ(j, (Journal{"A", "A", "B"}));
    j.clear();
    m->removeDelegate(a);
    plat::send(m, "progress");
    EXPECT_EQ(j, (Journal{"A", "B"}));
}

TEST(MulticastDelegate, OnlyImplementersAreCalledAndASingleOneDirectly) {
    Journal j;
    auto a = recorder(j, "A", "other"), b = recorder(j, "B"), c = recorder(j, "C", "other");
    auto m = std::make_shared<MulticastDelegate>();
    m->addDelegate(a);
    m->addDelegate(b);
    m->addDelegate(c);
    EXPECT_EQ(m->forwardingTargetForSelector("progress"), b);
    EXPECT_EQ(m->forwardingTargetForSelector("other"), nullptr);
    EXPECT_EQ(m->forwardingTargetForSelector("none"), nullptr);
    plat::send(m, "progress");
    plat::send(m, "other");
    EXPECT_EQ(j, (Journal{"B", "A", "C"}));
}

TEST(MulticastDelegate, RemovalAndAdditionDuringFanOut) {
    Journal j;
    auto m = std::make_shared<MulticastDelegate>();
    auto late = recorder(j, "late");
    auto c = recorder(j, "C");
    auto a = DynamicObject::make();
    a->on("progress", [&](plat::Args&) {
        j.push_back("A");
        m->removeDelegate(c);  // removes a later delegate of the same fan-out
        m->addDelegate(late);  // not called by this fan-out
        return std::any();
    });
    auto b = DynamicObject::make();
    b->on("progress", [&](plat::Args&) {
        j.push_back("B");
        m->removeDelegate(b);  // removes itself
        return std::any();
    });
    m->addDelegate(a);
    m->addDelegate(b);
    m->addDelegate(c);
    plat::send(m, "progress");
    EXPECT_EQ(j, (Journal{"A", "B"}));
    j.clear();
    plat::send(m, "progress");
    EXPECT_EQ(j, (Journal{"A", "late"}));
}

TEST(MulticastDelegate, DelegatesAreNotOwned) {
    Journal j;
    auto m = std::make_shared<MulticastDelegate>();
    {
        auto a = recorder(j, "A");
        m->addDelegate(a);
    }
    plat::send(m, "progress");
    EXPECT_TRUE(j.empty());
}

TEST(MulticastDelegateEnumerator, SkipsRemovedAndFiltersByClassOrSelector) {
    Journal j;
    auto a = recorder(j, "A"), b = recorder(j, "B", "other");
    auto m = std::make_shared<MulticastDelegate>();
    m->addDelegate(a);
    m->addDelegate(b);
    auto plain = std::make_shared<plat::Object>();
    m->addDelegate(plain);

    auto e = m->delegateEnumerator();
    m->removeDelegate(a);
    EXPECT_EQ(e->nextDelegate(), b);
    EXPECT_EQ(e->nextDelegate(), plain);
    EXPECT_EQ(e->nextDelegate(), nullptr);

    m->addDelegate(a);
    EXPECT_EQ(m->delegateEnumerator()->nextDelegateForSelector("progress"), a);
    EXPECT_EQ(m->delegateEnumerator()->nextDelegateOfClass(DynamicObject::classObject()), b);
}
