#include <gtest/gtest.h>

#include <fstream>

#include "platform/storage/InfoDictionary.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/ScopedEnvironment.h"

using plat::InfoDictionary;
using plat::Value;
namespace fs = std::filesystem;

namespace {

void writePlist(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n"
                        << body << "\n</plist>\n";
}

class InfoDictionaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = testing_support::freshTestFolder();
        env_.set("VARNEL_HOME", home_.string());
        InfoDictionary::setInfoPlistPath({});
        InfoDictionary::setDictionary(nullptr);
    }
    void TearDown() override {
        InfoDictionary::setInfoPlistPath({});
        InfoDictionary::setDictionary(nullptr);
    }
    testing_support::ScopedEnvironment env_;
    fs::path home_;
};

}  // namespace

TEST_F(InfoDictionaryTest, LoadsOnceFromVarnelHome) {
    writePlist(
        home_ / "Info.plist",
        "<dict><key>CFBundleVersion</key><string>2.1</string>"
        "<key>VndTraceEnabledGroupMap</key><dict><key>Webservice</key><true/></dict></dict>");
    EXPECT_EQ(InfoDictionary::objectForKey("CFBundleVersion"), Value("2.1"));
    EXPECT_TRUE(InfoDictionary::objectForKey("VndTraceEnabledGroupMap").dictionary());
    EXPECT_EQ(InfoDictionary::loadedPath(), home_ / "Info.plist");
    EXPECT_FALSE(InfoDictionary::loadError());

    // Loaded once: a later change of the file is not seen until the dictionary is dropped.
    writePlist(home_ / "Info.plist", "<dict><key>CFBundleVersion</key><string>9</string></dict>");
    EXPECT_EQ(InfoDictionary::objectForKey("CFBundleVersion"), Value("2.1"));
    InfoDictionary::setDictionary(nullptr);
    EXPECT_EQ(InfoDictionary::objectForKey("CFBundleVersion"), Value("9"));
}

TEST_F(InfoDictionaryTest, ExplicitFileComesFirstAndAMissingOneFallsBack) {
    writePlist(home_ / "Info.plist", "<dict><key>From</key><string>home</string></dict>");
    writePlist(home_ / "explicit.plist", "<dict><key>From</key><string>explicit</string></dict>");
    InfoDictionary::setInfoPlistPath(home_ / "explicit.plist");
    EXPECT_EQ(InfoDictionary::searchPaths().front(), home_ / "explicit.plist");
    EXPECT_EQ(InfoDictionary::objectForKey("From"), Value("explicit"));

    InfoDictionary::setInfoPlistPath(home_ / "no-such.plist");
    EXPECT_EQ(InfoDictionary::objectForKey("From"), Value("home"));
}

TEST_F(InfoDictionaryTest, SearchOrderEndsWithTheInstalledCopy) {
    const auto paths = InfoDictionary::searchPaths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], home_ / "Info.plist");
    EXPECT_EQ(paths[1].filename(), "Info.plist");
    EXPECT_EQ(paths[1].parent_path().filename(), "varnel");
    EXPECT_EQ(paths[1].parent_path().parent_path().filename(), "share");
}

TEST_F(InfoDictionaryTest, DamagedOrWrongFileGivesAnEmptyDictionaryAndAnError) {
    std::ofstream(home_ / "Info.plist") << "<plist><dict><key>x</key>";
    EXPECT_EQ(InfoDictionary::main()->count(), 0u);
    EXPECT_TRUE(InfoDictionary::loadError());
    EXPECT_EQ(InfoDictionary::loadedPath(), home_ / "Info.plist");

    InfoDictionary::setDictionary(nullptr);
    writePlist(home_ / "Info.plist", "<array/>");
    EXPECT_EQ(InfoDictionary::main()->count(), 0u);
    EXPECT_TRUE(InfoDictionary::loadError());
}

TEST_F(InfoDictionaryTest, NoFileGivesAnEmptyDictionary) {
    EXPECT_TRUE(InfoDictionary::main());
    EXPECT_EQ(InfoDictionary::main()->count(), 0u);
    EXPECT_TRUE(InfoDictionary::objectForKey("Flags").isNil());
}

TEST_F(InfoDictionaryTest, TestsCanSetTheDictionary) {
    auto custom = plat::MutableDictionary::make();
    custom->setObject(Value("ORV_001"), Value("AppCode"));
    InfoDictionary::setDictionary(custom);
    custom->setObject(Value("changed"), Value("AppCode"));  // the set dictionary is a copy
    EXPECT_EQ(InfoDictionary::objectForKey("AppCode"), Value("ORV_001"));
    EXPECT_TRUE(InfoDictionary::loadedPath().empty());
}

TEST(InfoDictionary, TheShippedInfoPlistReads) {
    const auto path = std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "Info.plist";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Ref<plat::Error> error;
    auto info = plat::PropertyList::propertyListWithData(
                    std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                    nullptr, &error)
                    .dictionary();
    ASSERT_TRUE(info) << (error ? error->localizedDescription() : "");
    auto shop = (*(*info)["ApplicationCustomization"].dictionary())["Shop"].dictionary();
    EXPECT_EQ((*shop)["ShopAllDisplayName"], plat::Value("ทั้งหมด"));
    EXPECT_TRUE((*info)["VndTraceEnabledGroupMap"].dictionary());
    EXPECT_TRUE((*info)["CFBundleVersion"].string());
}
