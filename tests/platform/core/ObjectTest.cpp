#include <gtest/gtest.h>

#include "platform/core/Collections.h"
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

}  // namespace

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
