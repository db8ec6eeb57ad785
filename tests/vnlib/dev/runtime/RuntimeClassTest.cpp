#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/Property.h"
#include "platform/core/Protocol.h"
#include "support/CapturedLog.h"
#include "vnlib/dev/runtime/RTUnregisteredClass.h"
#include "vnlib/dev/runtime/ZrRuntime.h"

using testing_support::logged;

namespace {

class RtCounter : public plat::Object {
    PLAT_CLASS(RtCounter)
  public:
    void setCount(int32_t count) { count_ = count; }
    int32_t count_ = 0;
};

RTImplementation doubler() {
    auto method = std::make_shared<plat::Method>();
    method->returnType = "q";
    method->arity = 1;
    method->argumentTypes = {"q"};
    method->call = [](plat::Object&, plat::Args& args) -> std::any {
        return std::any_cast<int64_t>(args.at(0)) * 2;
    };
    return method;
}

RTImplementation selfAnswer() {
    auto method = std::make_shared<plat::Method>();
    method->returnType = "@";
    method->call = [](plat::Object& self, plat::Args&) -> std::any {
        return self.shared_from_this();
    };
    return method;
}

}  // namespace

PLAT_DEFINE_CLASS(RtCounter, plat::Object,
                  [](auto& c) { c.method("setCount:", &RtCounter::setCount); })

TEST(RuntimeClasses, ABuiltClassIsFoundByEveryQueryAndItsInstancesWork) {
    const auto& protocol =
        plat::Protocol::declare("RtNoting", {}, {{plat::Selector("note"), "v@:", true, true}});
    const plat::Class& root = plat::Object::classObject();
    auto builder = rt_createUnregisteredSubclassNamed(root, "RtNote");
    ASSERT_TRUE(builder);
    builder->addProtocol(RTProtocol::protocolWithName("RtNoting"));
    EXPECT_TRUE(builder->addIvar(RTIvar::ivarWithName("flag_", "c")));
    EXPECT_TRUE(builder->addIvar(RTIvar::ivarWithNameEncode("count_", "q")));
    EXPECT_FALSE(builder->addIvar(RTIvar::ivarWithName("count_", "q")));  // taken
    EXPECT_FALSE(builder->addIvar(RTIvar::ivarWithName("nothing_", "v")));
    EXPECT_TRUE(builder->addMethod(RTMethod::methodWithSelector("addCount:", doubler(), "q@:q")));
    EXPECT_TRUE(builder->addMethod(RTMethod::methodWithSelector("me", selfAnswer(), "@@:")));
    EXPECT_TRUE(builder->addProperty(RTProperty::propertyWithName(
        "title", {{"T", "@\"NSString\""}, {"C", ""}, {"N", ""}, {"V", "title_"}})));
    const plat::Class* note = builder->registerClass();
    ASSERT_TRUE(note);
    EXPECT_FALSE(builder->registerClass());
    EXPECT_FALSE(RTUnregisteredClass::unregisteredClassWithName("RtNote"));

    // Found by name and among the root's subclasses; laid out by size and alignment.
    EXPECT_EQ(plat::Class::named("RtNote"), note);
    const auto subclasses = rt_subclasses(root);
    EXPECT_EQ(subclasses.front(), &root);
    EXPECT_NE(std::find(subclasses.begin(), subclasses.end(), note), subclasses.end());
    const auto ivars = rt_ivars(*note);
    ASSERT_EQ(ivars.size(), 2u);
    EXPECT_EQ(ivars[0]->offset(), 0);
    EXPECT_EQ(rt_ivarForName(*note, "count_")->offset(), 8);
    EXPECT_EQ(rt_instanceSize(*note), 16u);
    EXPECT_TRUE(ivars[1]->isEqual(RTIvar::ivarWithName("count_", "q").get()));
    EXPECT_EQ(RTIvar::ivarWithName("x", "i")->offset(), -1);
    EXPECT_FALSE(rt_isMetaClass(*note));

    const auto protocols = rt_protocols(*note);
    ASSERT_EQ(protocols.size(), 1u);
    EXPECT_TRUE(protocols[0]->isEqual(RTProtocol::protocolWithObjCProtocol(protocol).get()));
    const auto required = protocols[0]->methodsRequired(true, true);
    ASSERT_EQ(required.size(), 1u);
    EXPECT_EQ(required[0]->selectorName(), "note");
    EXPECT_TRUE(protocols[0]->methodsRequired(false, true).empty());

    auto& mutableNote = const_cast<plat::Class&>(*note);
    ASSERT_EQ(rt_methods(mutableNote).size(), 2u);
    auto addCount = rt_methodForSelector(mutableNote, "addCount:");
    ASSERT_TRUE(addCount);
    EXPECT_EQ(addCount->signature(), "q@:q");
    EXPECT_FALSE(rt_methodForSelector(mutableNote, "missing"));
    const auto properties = rt_properties(*note);
    ASSERT_EQ(properties.size(), 1u);
    EXPECT_EQ(properties[0]->typeEncoding(), "@\"NSString\"");
    EXPECT_EQ(properties[0]->setterSemantics(), RTPropertySetterSemanticsCopy);
    EXPECT_EQ(properties[0]->ivarName(), "title_");

    // An instance keeps its property values and answers the methods, through typed sends.
    auto object = note->make();
    ASSERT_TRUE(object);
    EXPECT_EQ(&rt_class(*object), note);
    auto title = note->findProperty("title");
    title->set(*object, plat::Value("บันทึก"));
    EXPECT_EQ(title->get(*object), plat::Value("บันทึก"));
    int64_t count = 21;
    std::any result;
    EXPECT_TRUE(addCount->returnValue(&result, *object, {RTARG(count)}));
    EXPECT_EQ(std::any_cast<int64_t>(result), 42);
    EXPECT_TRUE(rt_returnValueSendSelector(&result, *object, "addCount:", {RTARG(int64_t{5})}));
    EXPECT_EQ(std::any_cast<int64_t>(result), 10);
    EXPECT_EQ(rt_sendSelector(*object, "me", {}), object);

    // Subclasses made in one step; objects move between classes built at run time.
    EXPECT_FALSE(rt_createSubclassNamed(*note, "RtNote"));
    const plat::Class* sub = rt_createSubclassNamed(*note, "RtSubNote");
    ASSERT_TRUE(sub);
    EXPECT_EQ(rt_setClass(*object, *sub), note);
    EXPECT_EQ(&object->getClass(), sub);
    EXPECT_TRUE(rt_destroyClass(*sub));
    EXPECT_FALSE(plat::Class::named("RtSubNote"));
    EXPECT_FALSE(rt_destroyClass(root));
    // A class built below a compiled class cannot make instances of its own kind.
    const plat::Class* counterSub =
        rt_createSubclassNamed(RtCounter::classObject(), "RtSubCounter");
    ASSERT_TRUE(counterSub);
    EXPECT_FALSE(counterSub->make());
}

TEST(RuntimeClasses, SendingChecksTheMarkerAndTheSizeOfEveryArgument) {
    auto counter = std::make_shared<RtCounter>();
    auto setCount = rt_methodForSelector(RtCounter::classObject(), "setCount:");
    ASSERT_TRUE(setCount);
    EXPECT_EQ(setCount->signature(), "v@:i");
    EXPECT_EQ(rt_methods(RtCounter::classObject()).size(), 1u);

    int32_t seven = 7;
    std::any result;
    EXPECT_TRUE(rt_returnValueSendMethod(&result, *counter, *setCount, {RTARG(seven)}));
    EXPECT_EQ(counter->count_, 7);
    EXPECT_FALSE(result.has_value());  // a method without a result leaves the buffer alone

    const auto wrongMarker = logged([&] {
        EXPECT_FALSE(setCount->returnValue(nullptr, *counter,
                                           {RTArgument{0x1234, "i", std::any(int32_t{1})}}));
    });
    ASSERT_EQ(wrongMarker.size(), 1u);
    EXPECT_NE(wrongMarker[0].find("returnValue:sendToTarget:: incorrect magic cookie 00001234; "
                                  "did you forget to use RTARG() around your arguments?"),
              std::string::npos)
        << wrongMarker[0];
    const auto wrongSize = logged([&] {
        EXPECT_FALSE(rt_returnValueSendMethod(nullptr, *counter, *setCount, {RTARG(int64_t{9})}));
    });
    ASSERT_EQ(wrongSize.size(), 1u);
    EXPECT_NE(wrongSize[0].find("rt_returnValue:sendMethod:: size mismatch between passed-in "
                                "argument and required argument; in type: q (8) requested: i (4)"),
              std::string::npos)
        << wrongSize[0];
    EXPECT_EQ(counter->count_, 7);  // neither send took place

    // A declared method's implementation can be replaced through its descriptor.
    setCount->setImplementation(doubler());
    EXPECT_EQ(setCount->signature(), "q@:q");
}
