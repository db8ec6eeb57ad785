#include <gtest/gtest.h>

#include "platform/core/Log.h"
#include "platform/storage/InfoDictionary.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/dev/util/VndUtils.h"

using plat::Value;

namespace {

void useInfo(std::vector<std::pair<Value, Value>> entries) {
    plat::InfoDictionary::setDictionary(plat::makeDictionary(std::move(entries)));
    VndDiags::reloadFromInfoDictionary();
}

class CountingProxy : public VndDataProxy {
  public:
    std::optional<plat::Bytes> answer;
    int asked = 0;
    std::optional<plat::Bytes> data() override {
        ++asked;
        return answer;
    }
};

}  // namespace

TEST(VndDiags, DefaultsAndTheGroupMap) {
    useInfo({});
    EXPECT_TRUE(VndTraceEnabledForGroup("General"));
    EXPECT_TRUE(VndTraceEnabledForGroup("System"));
    EXPECT_FALSE(VndTraceEnabledForGroup("Webservice"));

    useInfo({{Value("VndTraceEnabledGroupMap"), Value("not a dictionary")}});
    EXPECT_TRUE(VndTraceEnabledForGroup("General"));

    useInfo({{Value("VndTraceEnabledGroupMap"),
              Value(plat::makeDictionary({{Value("General"), Value::boolean(false)},
                                          {Value("Webservice"), Value::boolean(true)},
                                          {Value("Error"), Value(int32_t{1})}}))}});
    EXPECT_FALSE(VndTraceEnabledForGroup("General"));
    EXPECT_TRUE(VndTraceEnabledForGroup("System"));
    EXPECT_TRUE(VndTraceEnabledForGroup("Webservice"));
    EXPECT_FALSE(VndTraceEnabledForGroup("webservice"));
    EXPECT_TRUE(VndTraceEnabledForGroup("Error"));
    // The platform's trace lines follow the same switch.
    EXPECT_TRUE(plat::traceEnabled("Webservice"));
    EXPECT_FALSE(plat::traceEnabled("General"));
    useInfo({});
}

// A reload puts the program's own switch back in place of whatever another installed meanwhile
// (as each journey starts with the program's switch, whatever the journey before it did).
TEST(VndDiags, AReloadInstallsTheProgramsSwitchAgain) {
    useInfo({});
    const testing_support::ScopedTraceSwitch everyGroup([](std::string_view) { return true; });
    EXPECT_TRUE(plat::traceEnabled("Webservice"));
    useInfo({{Value("VndTraceEnabledGroupMap"),
              Value(plat::makeDictionary({{Value("Error"), Value::boolean(true)}}))}});
    EXPECT_FALSE(plat::traceEnabled("Webservice"));
    EXPECT_TRUE(plat::traceEnabled("Error"));
    EXPECT_TRUE(plat::traceEnabled("General"));
    useInfo({});
}

TEST(VndUtils, InformationDictionaryValues) {
    useInfo({{Value("CFBundleVersion"), Value("2.4.1")},
             {Value("Flags"), Value(plat::makeDictionary({{Value("Beta"), Value::boolean(true)},
                                                          {Value("Off"), Value(int32_t{0})},
                                                          {Value("Two"), Value(int32_t{2})}}))}});
    EXPECT_EQ(VndUtils::bundleVersion(), "2.4.1");
    EXPECT_TRUE(VndUtils::hasFlagWithName("Beta"));
    EXPECT_TRUE(VndUtils::hasFlagWithName("Two"));
    EXPECT_FALSE(VndUtils::hasFlagWithName("Off"));
    EXPECT_FALSE(VndUtils::hasFlagWithName("Missing"));
    useInfo({});
    EXPECT_FALSE(VndUtils::bundleVersion().has_value());
    EXPECT_EQ(VndUtils::flagDictionary()->count(), 0u);
    EXPECT_GT(VndUtils::freeMemorySize(), 0u);
    EXPECT_EQ(NSStringFromInt(-5), "-5");
    auto a = std::make_shared<VndObject>();
    auto b = std::make_shared<VndObject>();
    releaseVars(a, b);
    EXPECT_FALSE(a || b);
}

TEST(VndDataProxy, ScaleAndCaching) {
    auto inner = std::make_shared<CountingProxy>();
    EXPECT_FALSE(inner->dataWithScale(2).has_value());
    EXPECT_EQ(inner->asked, 0);
    auto cache = std::make_shared<VndCachableDataProxy>(inner);
    EXPECT_FALSE(cache->data().has_value());
    EXPECT_FALSE(cache->data().has_value());
    EXPECT_EQ(inner->asked, 2);  // nothing is not remembered
    inner->answer = plat::Bytes{1, 2, 3};
    EXPECT_EQ(cache->data(), (plat::Bytes{1, 2, 3}));
    EXPECT_EQ(cache->dataWithScale(1), (plat::Bytes{1, 2, 3}));
    EXPECT_EQ(inner->asked, 3);
    cache->memoryWarning(nullptr);  // purges
    cache->data();
    EXPECT_EQ(inner->asked, 4);
    EXPECT_THROW(std::make_shared<VndDataProxy>()->data(), plat::Exception);
}
