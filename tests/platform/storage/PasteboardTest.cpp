#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "platform/storage/Pasteboard.h"
#include "platform/storage/Paths.h"
#include "platform/storage/ScopedEnvironment.h"

using plat::Bytes;
using plat::Pasteboard;

namespace {
constexpr const char* kType = "org.OpenUDID";
}

TEST(Pasteboard, EmptyUntilSetAndSharedBetweenInstances) {
    testing_support::ScopedEnvironment env;
    const auto home = testing_support::freshTestFolder();
    env.set("VARNEL_HOME", home.string());

    auto slot = Pasteboard::pasteboardWithName("org.OpenUDID.slot.0");
    EXPECT_FALSE(slot->dataForType(kType));
    ASSERT_TRUE(slot->setData(Bytes{1, 2, 3}, kType));
    ASSERT_TRUE(slot->setData(Bytes{9}, "other.type"));

    auto again = Pasteboard::pasteboardWithName("org.OpenUDID.slot.0");
    EXPECT_EQ(*again->dataForType(kType), (Bytes{1, 2, 3}));
    EXPECT_EQ(*again->dataForType("other.type"), (Bytes{9}));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("org.OpenUDID.slot.1")->dataForType(kType));

    EXPECT_EQ(again->filePath(), home / "Varnel" / "Pasteboards" / "org.OpenUDID.slot.0");
    EXPECT_EQ(testing_support::permissionsOf(again->filePath()), 0600u);
    EXPECT_EQ(testing_support::permissionsOf(again->filePath().parent_path()), 0700u);
}

TEST(Pasteboard, NamesBecomeDistinctSafeFileNames) {
    const std::vector<std::string> names = {"org.OpenUDID.slot.7",
                                            "../escape",
                                            "a/b",
                                            "a%2Fb",
                                            ".hidden",
                                            "",
                                            "%",
                                            "ไทย",
                                            std::string(300, 'x'),
                                            std::string(299, 'x') + "y"};
    std::set<std::string> files;
    for (const auto& name : names) {
        const std::string file = Pasteboard::fileNameForName(name);
        EXPECT_TRUE(plat::Paths::isSafeComponent(file)) << file;
        EXPECT_NE(file.front(), '.') << file;
        EXPECT_LE(file.size(), 200u);
        files.insert(file);
    }
    EXPECT_EQ(files.size(), names.size());
    EXPECT_EQ(Pasteboard::fileNameForName("org.OpenUDID.slot.7"), "org.OpenUDID.slot.7");
}

TEST(Pasteboard, DamagedSlotReadsAsEmptyAndCanBeRewritten) {
    const auto folder = testing_support::freshTestFolder();
    Pasteboard slot(folder, "slot");
    { std::ofstream(slot.filePath()) << "garbage"; }
    EXPECT_FALSE(slot.dataForType(kType));
    ASSERT_TRUE(slot.setData(Bytes{7}, kType));
    EXPECT_EQ(*slot.dataForType(kType), (Bytes{7}));
}

TEST(Pasteboard, UnwritableFolderReportsFailure) {
    const auto folder = testing_support::freshTestFolder();
    { std::ofstream(folder / "file") << "x"; }
    Pasteboard slot(folder / "file", "slot");
    EXPECT_FALSE(slot.setData(Bytes{1}, kType));
    EXPECT_FALSE(slot.dataForType(kType));
}
