#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "platform/storage/Paths.h"
#include "platform/storage/ScopedEnvironment.h"

using plat::Paths;
using testing_support::ScopedEnvironment;

TEST(Paths, VarnelHomeReplacesBothRoots) {
    ScopedEnvironment env;
    env.set("VARNEL_HOME", "/v/home");
    env.set("XDG_DATA_HOME", "/x/data");
    env.set("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(Paths::libraryDirectory(), "/v/home");
    EXPECT_EQ(Paths::configurationDirectory(), "/v/home/Varnel");
    EXPECT_EQ(Paths::applicationDataDirectory(), "/v/home/Varnel");
}

TEST(Paths, XdgRootsAndTheirDefaults) {
    ScopedEnvironment env;
    env.set("VARNEL_HOME", std::nullopt);
    env.set("HOME", "/home/reader");
    env.set("XDG_DATA_HOME", "/x/data");
    env.set("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(Paths::libraryDirectory(), "/x/data");
    EXPECT_EQ(Paths::configurationDirectory(), "/x/config/Varnel");

    // Relative values are ignored, as the base-directory rules require; so is an empty one.
    env.set("XDG_DATA_HOME", "relative/data");
    env.set("XDG_CONFIG_HOME", "");
    EXPECT_EQ(Paths::libraryDirectory(), "/home/reader/.local/share");
    EXPECT_EQ(Paths::configurationDirectory(), "/home/reader/.config/Varnel");
    EXPECT_EQ(Paths::applicationDataDirectory(), "/home/reader/.local/share/Varnel");

    env.set("VARNEL_HOME", "not/absolute");
    EXPECT_EQ(Paths::libraryDirectory(), "/home/reader/.local/share");
}

TEST(Paths, SafeComponents) {
    for (const char* ok : {"ISS123", "COVER_JPG_120x160", "a.b", "..a", "a..", "...", "ไทย", " "}) {
        EXPECT_TRUE(Paths::isSafeComponent(ok)) << ok;
    }
    for (const char* bad : {"", ".", "..", "a/b", "/", "/abs"}) {
        EXPECT_FALSE(Paths::isSafeComponent(bad)) << bad;
    }
    EXPECT_FALSE(Paths::isSafeComponent(std::string("a\0b", 3)));
}

TEST(Paths, JoinSafelyKeepsResultsBelowTheBase) {
    EXPECT_EQ(Paths::joinSafely("/base", "file"), std::filesystem::path("/base/file"));
    EXPECT_EQ(Paths::joinSafely("/base", "a/b/c.json"), std::filesystem::path("/base/a/b/c.json"));
    for (const char* bad :
         {"", "..", "../x", "a/../../x", "a/..", "/etc/passwd", "a//b", "a/", "./a", "a/./b"}) {
        EXPECT_FALSE(Paths::joinSafely("/base", bad)) << bad;
    }
    EXPECT_FALSE(Paths::joinSafely("/base", std::string("ok\0/../x", 8)));
}

TEST(Paths, CreateDirectoriesMakesPrivateFoldersAndReportsFailures) {
    const auto root = testing_support::freshTestFolder();
    const auto deep = root / "a" / "b" / "c";
    EXPECT_FALSE(Paths::createDirectories(deep, 0700));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(testing_support::permissionsOf(root / "a"), 0700u);
    EXPECT_FALSE(Paths::createDirectories(deep, 0700));  // existing: fine

    const auto file = root / "plain";
    { std::ofstream(file) << "x"; }
    auto error = Paths::createDirectories(file / "below", 0700);
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription().find("plain"), std::string::npos);

    // Depth costs a loop, not the stack: as deep as the system allows, and far past it.
    std::string levels;
    while (root.native().size() + levels.size() + 8 < PATH_MAX)
        levels += "/d";
    EXPECT_FALSE(Paths::createDirectories(root.native() + levels));
    EXPECT_TRUE(std::filesystem::is_directory(root.native() + levels));
    std::string tooDeep;
    for (int i = 0; i < 32000; ++i)
        tooDeep += "/d";
    error = Paths::createDirectories(root.native() + tooDeep);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ENAMETOOLONG);
}
