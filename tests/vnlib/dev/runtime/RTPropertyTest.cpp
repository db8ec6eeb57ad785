#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/core/Property.h"
#include "vnlib/dev/runtime/RTProperty.h"
#include "vnlib/dev/runtime/ZrRuntime.h"

namespace {

// A cover-bearing record: four cover properties, then the root object protocol's entries.
class RtCovered : public plat::Object {
    PLAT_CLASS(RtCovered)
  public:
    plat::Value coverImage() const { return {}; }
    plat::Value fullResolutionCoverImage() const { return {}; }
    Ref<plat::Object> coverImageDataProvider;
    Ref<plat::Object> fullResolutionCoverImageDataProvider;
};

// Declares its own copied "hash" and "description" over its ancestor's.
class RtMagazine : public RtCovered {
    PLAT_CLASS(RtMagazine)
  public:
    std::string hashText;
    std::string descriptionText;
    int32_t sortIndex = 0;
};

class RtEmpty : public RtMagazine {
    PLAT_CLASS(RtEmpty)
};

}  // namespace

PLAT_DEFINE_CLASS(RtCovered, plat::Object, [](auto& c) {
    c.property("coverImage", "T@\"NSImage\",R,N", &RtCovered::coverImage)
        .property("coverImageDataProvider", "T@\"VndDataProxy\",&,N,VcoverImageDataProvider_",
                  &RtCovered::coverImageDataProvider)
        .property("fullResolutionCoverImage", "T@\"NSImage\",R,N",
                  &RtCovered::fullResolutionCoverImage)
        .property("fullResolutionCoverImageDataProvider",
                  "T@\"VndDataProxy\",&,N,VfullResolutionCoverImageDataProvider_",
                  &RtCovered::fullResolutionCoverImageDataProvider)
        .objectProtocolProperties();
})
PLAT_DEFINE_CLASS(RtMagazine, RtCovered, [](auto& c) {
    c.property("hash", "T@\"NSString\",C,N,Vhash_", &RtMagazine::hashText)
        .property("description", "T@\"NSString\",C,N,Vdescription_", &RtMagazine::descriptionText)
        .property("sortIndex", "Ti,N,VsortIndex_", &RtMagazine::sortIndex);
})
PLAT_DEFINE_CLASS(RtEmpty, RtMagazine, PLAT_NO_METHODS)

namespace {

Ref<RTProperty> parsed(const std::string& attributes, const std::string& name = "p") {
    plat::PropertyEntry entry;
    entry.name = name;
    entry.attributes = attributes;
    return RTProperty::propertyWithObjCProperty(entry);
}

std::vector<std::string> namesOf(const std::vector<Ref<RTProperty>>& properties) {
    std::vector<std::string> out;
    for (const auto& p : properties)
        out.push_back(p->name());
    return out;
}

std::optional<std::string> none() {
    return std::nullopt;
}

}  // namespace

// ---- Attribute texts
// -----------------------------------------------------------------------------

TEST(RTPropertyAttributes, ScalarWithBackingVariable) {
    auto p = parsed("Ti,N,VsortIndex_", "sortIndex");
    EXPECT_EQ(p->name(), "sortIndex");
    EXPECT_EQ(p->typeEncoding(), "i");
    EXPECT_FALSE(p->isReadOnly());
    EXPECT_EQ(p->setterSemantics(), RTPropertySetterSemanticsAssign);
    EXPECT_TRUE(p->isNonAtomic());
    EXPECT_FALSE(p->isDynamic());
    EXPECT_FALSE(p->isWeakReference());
    EXPECT_FALSE(p->isEligibleForGarbageCollection());
    EXPECT_EQ(p->ivarName(), "sortIndex_");
    EXPECT_EQ(p->oldTypeEncoding(), none());
    EXPECT_FALSE(p->customGetter());
    EXPECT_FALSE(p->customSetter());
    EXPECT_EQ(p->attributeEncodings(), "N");
}

TEST(RTPropertyAttributes, ReadOnlyCopiedStringWithoutVariable) {
    auto p = parsed("T@\"NSString\",R,C");
    EXPECT_EQ(p->typeEncoding(), "@\"NSString\"");
    EXPECT_TRUE(p->isReadOnly());
    EXPECT_EQ(p->setterSemantics(), RTPropertySetterSemanticsCopy);
    EXPECT_FALSE(p->isNonAtomic());
    EXPECT_EQ(p->ivarName(), none());
    EXPECT_EQ(p->attributeEncodings(), "C,R");
}

TEST(RTPropertyAttributes, EveryRemainingCode) {
    auto p = parsed("T@\"<VnRequestDelegate>\",&,D,W,P,GisCancelled,SsetURL:,tI,N");
    auto* concrete = dynamic_cast<_RTObjCProperty*>(p.get());
    ASSERT_NE(concrete, nullptr);
    EXPECT_EQ(p->typeEncoding(), "@\"<VnRequestDelegate>\"");
    EXPECT_EQ(p->setterSemantics(), RTPropertySetterSemanticsRetain);
    EXPECT_TRUE(p->isDynamic());
    EXPECT_TRUE(p->isWeakReference());
    EXPECT_TRUE(p->isEligibleForGarbageCollection());
    EXPECT_TRUE(p->isNonAtomic());
    EXPECT_EQ(p->customGetter(), plat::Selector("isCancelled"));
    EXPECT_EQ(p->customSetter(), plat::Selector("setURL:"));
    EXPECT_EQ(p->oldTypeEncoding(), "I");
    EXPECT_TRUE(concrete->hasAttribute(RTPropertyDynamicAttribute));
    EXPECT_EQ(concrete->contentOfAttribute(RTPropertyWeakReferenceAttribute), "");
    EXPECT_EQ(concrete->contentOfAttribute(RTPropertyCustomGetterAttribute), "isCancelled");
    EXPECT_EQ(concrete->contentOfAttribute(RTPropertyReadOnlyAttribute), none());
    EXPECT_FALSE(concrete->hasAttribute("X"));
    EXPECT_EQ(p->attributes().size(), 9u);
    EXPECT_EQ(p->attributeEncodings(), "&,D,GisCancelled,N,P,SsetURL:,W,tI");
}

TEST(RTPropertyAttributes, TypeTextsRepeatedCodesAndMissingType) {
    EXPECT_EQ(parsed("T{_NSRange=QQ},N")->typeEncoding(), "{_NSRange=QQ}");
    EXPECT_EQ(parsed("T#,R")->typeEncoding(), "#");
    EXPECT_EQ(parsed("T@,&")->typeEncoding(), "@");
    EXPECT_EQ(parsed("TQ,R")->typeEncoding(), "Q");
    EXPECT_EQ(parsed("Ti,Vone,Vtwo")->ivarName(), "two");  // a later code replaces the earlier
    EXPECT_EQ(parsed("T@,C,&")->setterSemantics(), RTPropertySetterSemanticsCopy);
    EXPECT_EQ(parsed("T@,&,C")->setterSemantics(), RTPropertySetterSemanticsCopy);
    auto untyped = parsed("N");
    EXPECT_EQ(untyped->typeEncoding(), none());
    EXPECT_TRUE(untyped->isNonAtomic());
}

TEST(RTPropertyAttributes, FactoryFromNameAndMapCopiesBoth) {
    RTProperty::Attributes map{{"T", "d"}, {"R", ""}};
    auto p = RTProperty::propertyWithName("price", map);
    map["T"] = "i";
    EXPECT_EQ(p->typeEncoding(), "d");
    EXPECT_TRUE(p->isReadOnly());
    auto copy = p->attributes();
    copy.clear();
    EXPECT_EQ(p->attributes().size(), 2u);
}

// ---- Equality, hash, description
// -----------------------------------------------------------------

TEST(RTPropertyIdentity, EqualityHashAndDescription) {
    auto a = parsed("T@\"NSString\",C,N,Vname_", "name");
    auto b = parsed("T@\"NSString\",N,C,Vname_", "name");
    EXPECT_TRUE(a->isEqual(b.get()));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_EQ(a->hash(),
              std::hash<std::string>()("name") ^ std::hash<std::string>()("@\"NSString\""));

    EXPECT_FALSE(a->isEqual(parsed("T@\"NSString\",C,N,Vother_", "name").get()));
    EXPECT_FALSE(a->isEqual(parsed("T@\"NSString\",&,N,Vname_", "name").get()));  // copy vs retain
    EXPECT_FALSE(a->isEqual(parsed("T@\"NSString\",C,N,Vname_", "title").get()));
    EXPECT_FALSE(a->isEqual(parsed("T@\"NSDate\",C,N,Vname_", "name").get()));
    EXPECT_TRUE(parsed("N", "x")->isEqual(parsed("N", "x").get()));  // absent type and variable
    EXPECT_EQ(parsed("N", "x")->hash(), std::hash<std::string>()("x"));
    plat::Object other;
    EXPECT_FALSE(a->isEqual(&other));
    EXPECT_FALSE(a->isEqual(nullptr));

    EXPECT_TRUE(
        std::regex_match(a->description(), std::regex("<_RTObjCProperty 0x[0-9a-f]+: name C,N "
                                                      "@\"NSString\" name_>")))
        << a->description();
    EXPECT_TRUE(std::regex_match(parsed("R", "x")->description(),
                                 std::regex("<_RTObjCProperty 0x[0-9a-f]+: x R \\(null\\) "
                                            "\\(null\\)>")));
}

TEST(RTPropertyIdentity, TheAbstractDescriptorAnswersNoQuery) {
    auto abstract = std::make_shared<RTProperty>();
    try {
        abstract->name();
        FAIL() << "no exception";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), plat::NSInvalidArgumentException);
        EXPECT_EQ(e.reason(), "-[RTProperty name]: unrecognized selector sent to instance");
    }
    EXPECT_THROW(abstract->typeEncoding(), plat::Exception);
    EXPECT_THROW(abstract->isReadOnly(), plat::Exception);
    EXPECT_THROW(abstract->description(), plat::Exception);
    EXPECT_THROW(parsed("Ti")->isEqual(abstract.get()), plat::Exception);
}

// ---- Class queries
// -------------------------------------------------------------------------------

TEST(RTClassQueries, PropertiesAreTheClassesOwnInOrderWithoutThreeNames) {
    auto covered = rt_properties(RtCovered::classObject());
    EXPECT_EQ(namesOf(covered),
              (std::vector<std::string>{"coverImage", "coverImageDataProvider",
                                        "fullResolutionCoverImage",
                                        "fullResolutionCoverImageDataProvider", "hash"}));
    EXPECT_EQ(covered[4]->typeEncoding(), "Q");
    EXPECT_TRUE(covered[4]->isReadOnly());
    EXPECT_TRUE(covered[0]->isReadOnly());
    EXPECT_EQ(covered[1]->ivarName(), "coverImageDataProvider_");

    // The magazine's own "description" is dropped too; inherited entries are not listed.
    EXPECT_EQ(namesOf(rt_properties(RtMagazine::classObject())),
              (std::vector<std::string>{"hash", "sortIndex"}));
    EXPECT_TRUE(rt_properties(RtEmpty::classObject()).empty());
    EXPECT_TRUE(rt_properties(plat::Object::classObject()).empty());

    // Each query builds new descriptors.
    auto again = rt_properties(RtCovered::classObject());
    EXPECT_NE(again[0], covered[0]);
    EXPECT_TRUE(again[0]->isEqual(covered[0].get()));
}

TEST(RTClassQueries, PropertyForNameWalksUpAndDropsNothing) {
    auto own = rt_propertyForName(RtMagazine::classObject(), "hash");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->typeEncoding(), "@\"NSString\"");  // the class's own entry wins
    EXPECT_EQ(own->setterSemantics(), RTPropertySetterSemanticsCopy);

    auto inherited = rt_propertyForName(RtEmpty::classObject(), "coverImage");
    ASSERT_NE(inherited, nullptr);
    EXPECT_TRUE(inherited->isReadOnly());
    EXPECT_EQ(rt_propertyForName(RtEmpty::classObject(), "sortIndex")->ivarName(), "sortIndex_");

    auto description = rt_propertyForName(RtMagazine::classObject(), "description");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->ivarName(), "description_");
    EXPECT_EQ(rt_propertyForName(RtCovered::classObject(), "superclass")->typeEncoding(), "#");
    EXPECT_EQ(rt_propertyForName(RtCovered::classObject(), "debugDescription")->typeEncoding(),
              "@\"NSString\"");

    EXPECT_EQ(rt_propertyForName(RtEmpty::classObject(), "missing"), nullptr);
    EXPECT_EQ(rt_propertyForName(RtEmpty::classObject(), "Hash"), nullptr);  // exact names only
    EXPECT_EQ(rt_propertyForName(plat::Object::classObject(), "hash"), nullptr);
}
