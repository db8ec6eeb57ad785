#include <gtest/gtest.h>

#include "platform/system/Host.h"

using plat::Host;

TEST(Host, ParsesTheFreeMemoryLine) {
    const char* meminfo =
        "MemTotal:       16314260 kB\n"
        "MemFree:         8123456 kB\n"
        "MemAvailable:   12000000 kB\n";
    EXPECT_EQ(Host::parseMemFree(meminfo), uint64_t{8123456} * 1024);
    // Beyond 4 GiB the figure keeps all its bits.
    EXPECT_EQ(Host::parseMemFree("MemFree: 8388608 kB"), uint64_t{8} << 30);
    EXPECT_EQ(Host::parseMemFree("MemFree: 512\n"), 512u);
}

TEST(Host, MalformedOrMissingLinesGiveNothing) {
    EXPECT_FALSE(Host::parseMemFree(""));
    EXPECT_FALSE(Host::parseMemFree("MemTotal: 1 kB\nMemAvailable: 2 kB\n"));
    EXPECT_FALSE(Host::parseMemFree("MemFree: lots kB\n"));
    EXPECT_FALSE(Host::parseMemFree("MemFree: 12 MB\n"));
    EXPECT_FALSE(Host::parseMemFree("MemFree: 99999999999999999999 kB\n"));
    EXPECT_FALSE(Host::parseMemFree("MemFree: 18446744073709551615 kB\n"));  // overflows in bytes
}

TEST(Host, ThisMachine) {
    const uint64_t page = Host::pageSize();
    EXPECT_GE(page, 4096u);
    EXPECT_EQ(page & (page - 1), 0u);
    const auto free = Host::freeMemoryBytes();
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
}
