#include <gtest/gtest.h>

#include <algorithm>

#include "platform/core/Collections.h"
#include "platform/core/MessageWiring.h"
#include "platform/core/Object.h"
#include "support/DynamicObject.h"

namespace {

class Greeter : public plat::Object {
    PLAT_CLASS(Greeter)
  public:
    std::string greet(std::string name) { return "hello " + name; }
    int add(int a, int b) const { return a + b; }
    void take(Ref<Greeter> other) { last = other; }
    Ref<Greeter> last;
};

class LoudGreeter : public Greeter {
    PLAT_CLASS(LoudGreeter)
  public:
    std::string shout(std::string name) { return "HELLO " + name; }
};

// A second receiver of "take:" that takes a text: a sender cannot suit both.
class WiringTextTaker : public plat::Object {
    PLAT_CLASS(WiringTextTaker)
  public:
    void take(std::string text) { last = std::move(text); }
    std::string last;
};

// An object of no class a receiver of "take:" takes.
class WiringStranger : public plat::Object {
    PLAT_CLASS(WiringStranger)
};

class WiringTwice : public plat::Object {
    PLAT_CLASS(WiringTwice)
  public:
    void one() {}
};

}  // namespace

PLAT_DEFINE_CLASS(WiringTextTaker, plat::Object,
                  [](auto& c) { c.method("take:", &WiringTextTaker::take); })
PLAT_DEFINE_CLASS(WiringStranger, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(WiringTwice, plat::Object, [](auto& c) {
    c.method("one", &WiringTwice::one).method("one", &WiringTwice::one);
})

PLAT_DEFINE_CLASS(Greeter, plat::Object, [](auto& c) {
    c.method("greet:", &Greeter::greet)
        .method("add:to:", &Greeter::add)
        .method("take:", &Greeter::take);
})
PLAT_DEFINE_CLASS(LoudGreeter, Greeter, [](auto& c) { c.method("shout:", &LoudGreeter::shout); })

TEST(ObjectRuntime, SendsByNameAlongTheSuperclassChain) {
    auto g = std::make_shared<LoudGreeter>();
    EXPECT_TRUE(g->respondsToSelector("greet:"));
    EXPECT_TRUE(g->respondsToSelector("shout:"));
    EXPECT_FALSE(std::make_shared<Greeter>()->respondsToSelector("shout:"));
    EXPECT_EQ(plat::send<std::string>(g, "greet:", "ann"), "hello ann");
    EXPECT_EQ(plat::send<std::string>(g, "shout:", std::string("bo")), "HELLO bo");
    EXPECT_EQ(plat::send<int>(g, "add:to:", 2, 3), 5);
    EXPECT_EQ(g->getClass().findMethod("add:to:")->returnType, "i");
    EXPECT_TRUE(g->isKindOf<Greeter>());
    EXPECT_EQ(g->className(), "LoudGreeter");
    EXPECT_EQ(plat::Class::named("LoudGreeter"), &LoudGreeter::classObject());
    EXPECT_NE(plat::Class::named("LoudGreeter")->make(), nullptr);
}

TEST(ObjectRuntime, ObjectArgumentsAreCheckedAgainstTheDeclaredClass) {
    auto g = std::make_shared<Greeter>();
    auto loud = std::make_shared<LoudGreeter>();
    plat::send(g, "take:", loud);  // a subclass is accepted
    EXPECT_EQ(g->last, loud);
    plat::send(g, "take:", nullptr);
    EXPECT_EQ(g->last, nullptr);
    auto other = testing_support::DynamicObject::make();
    EXPECT_THROW(plat::send(g, "take:", other), plat::Exception);
    EXPECT_THROW(plat::send(g, "greet:", 42), plat::Exception);
    EXPECT_THROW(plat::send(g, "add:to:", 1), plat::Exception);
}

TEST(ObjectRuntime, UnknownMessagesRaiseAndNilTargetsAnswerNothing) {
    auto g = std::make_shared<Greeter>();
    try {
        plat::send(g, "fly");
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), plat::NSInvalidArgumentException);
        EXPECT_EQ(e.reason(), "-[Greeter fly]: unrecognized selector sent to instance");
    }
    Ref<Greeter> none;
    EXPECT_EQ(plat::send<int>(none, "add:to:", 1, 2), 0);
    WeakRef<Greeter> gone;
    {
        auto tmp = std::make_shared<Greeter>();
        gone = tmp;
    }
    EXPECT_EQ(plat::send<std::string>(gone, "greet:", "x"), "");
    EXPECT_FALSE(plat::sendIfResponds(g, "fly"));
}

TEST(ObjectRuntime, ForwardInvocationCanRenameTheMessage) {
    class Renamer : public plat::Object {
      public:
        Ref<plat::Object> target;
        bool respondsToSelector(plat::Selector) const override { return true; }
        void forwardInvocation(plat::Invocation& inv) override {
            inv.setSelector("shout:");
            inv.invokeWithTarget(target);
        }
    };
    auto r = std::make_shared<Renamer>();
    r->target = std::make_shared<LoudGreeter>();
    EXPECT_EQ(plat::send<std::string>(r, "whatever:", "cy"), "HELLO cy");
}

TEST(Assertions, CarryTheExpressionFileAndLine) {
    try {
        int* firstRequest = nullptr;
        PLAT_PARAMETER_ASSERT(firstRequest);
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), plat::NSInternalInconsistencyException);
        EXPECT_EQ(e.reason(), "Invalid parameter not satisfying: firstRequest");
        EXPECT_NE(e.file().find("ObjectTest.cpp"), std::string::npos);
        EXPECT_GT(e.line(), 0);
    }
}

TEST(MessageWiring, SendsAreHeldAgainstEveryDeclaredReceiver) {
    const auto greeter = std::make_shared<Greeter>();
    WiringTextTaker::classObject();  // registered, as a class is on its first use
    const auto has = [](const std::vector<std::string>& faults, const std::string& part) {
        return std::any_of(faults.begin(), faults.end(),
                           [&](const std::string& f) { return f.find(part) != std::string::npos; });
    };

    // Sends that fit their one receiver.
    plat::setRecordingSentMessages(true);
    plat::send(greeter, "add:to:", 1, 2);
    EXPECT_TRUE(plat::messageWiringFaults().empty());
    // A null object fits Greeter, not the receiver that takes a text; the two disagree.
    plat::send(greeter, "take:", nullptr);
    auto faults = plat::messageWiringFaults();
    EXPECT_TRUE(has(faults, "take: is sent (an object) but WiringTextTaker takes (std::"))
        << ::testing::PrintToString(faults);
    EXPECT_TRUE(has(faults, "take:: Greeter takes (an object) but WiringTextTaker takes (std::") ||
                has(faults, "take:: WiringTextTaker takes (std::"))
        << ::testing::PrintToString(faults);
    // A text where the object is taken fails only once sent; the record had it.
    EXPECT_THROW(plat::send(greeter, "take:", std::string()), plat::Exception);
    EXPECT_TRUE(has(plat::messageWiringFaults(), "but Greeter takes (an object)"));
    plat::setRecordingSentMessages(false);

    // Off, nothing is noted; on again, the record starts afresh.
    EXPECT_THROW(plat::send(greeter, "add:to:", 1, 2L), plat::Exception);
    plat::setRecordingSentMessages(true);
    EXPECT_TRUE(plat::messageWiringFaults().empty());
    EXPECT_THROW(plat::send(greeter, "add:to:", 1, 2L), plat::Exception);
    plat::setRecordingSentMessages(false);
    EXPECT_EQ(plat::messageWiringFaults(),
              std::vector<std::string>{"add:to: is sent (int, long) but Greeter takes (int, int)"});
}

TEST(MessageWiring, ObjectsAreHeldAgainstTheClassTheirReceiverTakes) {
    const auto greeter = std::make_shared<Greeter>();
    const auto classFaults = [] {
        std::vector<std::string> faults;
        for (const auto& fault : plat::messageWiringFaults())
            if (fault.find(" as argument ") != std::string::npos)
                faults.push_back(fault);
        return faults;
    };
    plat::setRecordingSentMessages(true);
    // A greeter of a subclass is a greeter.
    plat::send(greeter, "take:", std::make_shared<LoudGreeter>());
    EXPECT_EQ(classFaults(), std::vector<std::string>{});
    // Another object is refused when the message arrives, and the record names both classes.
    EXPECT_THROW(plat::send(greeter, "take:", std::make_shared<WiringStranger>()), plat::Exception);
    plat::setRecordingSentMessages(false);
    EXPECT_EQ(classFaults(),
              std::vector<std::string>{
                  "take: is sent a WiringStranger as argument 1 but Greeter takes a Greeter"});
}

TEST(MessageWiring, ASelectorDeclaredTwiceInOneClassIsRefused) {
    EXPECT_THROW(WiringTwice::classObject(), plat::Exception);
}
