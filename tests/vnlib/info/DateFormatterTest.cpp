#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/core/DateFormatter.h"

using plat::Date;
using plat::DateFormatter;
using plat::TimeZone;

TEST(DateFormatter, StrictFixedPatterns) {
    DateFormatter slash("yyyy/MM/dd", TimeZone::utc());
    EXPECT_DOUBLE_EQ(slash.dateFromString("2024/01/15")->seconds, 1705276800);
    EXPECT_FALSE(slash.dateFromString("2024/1/15"));
    EXPECT_FALSE(slash.dateFromString("2024/13/01"));
    EXPECT_FALSE(slash.dateFromString("2024/01/15 "));
    EXPECT_EQ(slash.stringFromDate(Date{1705276800}), "2024/01/15");

    DateFormatter compact("ddMMyyyy", TimeZone::fixedOffset(7 * 3600));
    auto d = compact.dateFromString("15012024");
    ASSERT_TRUE(d);
    EXPECT_DOUBLE_EQ(d->seconds, 1705276800 - 7 * 3600);
    EXPECT_EQ(compact.stringFromDate(*d), "15012024");
}

TEST(DateFormatter, TwoDigitYearsFollowTheEightyYearWindow) {
    DateFormatter f("ddMMyy", TimeZone::utc());
    f.setReferenceNow([] { return Date{1780000000}; });  // mid 2026: the window is 1946..2045
    auto yearOf = [&](const char* text) {
        return plat::civilFromEpoch(static_cast<int64_t>(f.dateFromString(text)->seconds)).year;
    };
    EXPECT_EQ(yearOf("010145"), 2045);
    EXPECT_EQ(yearOf("010146"), 1946);
    EXPECT_EQ(yearOf("311299"), 1999);
    EXPECT_EQ(yearOf("010100"), 2000);
    DateFormatter withTime("dd/MM/yy HH:mm", TimeZone::utc());
    withTime.setReferenceNow([] { return Date{1780000000}; });
    EXPECT_EQ(withTime.stringFromDate(*withTime.dateFromString("05/06/26 07:08")),
              "05/06/26 07:08");
}

TEST(DateFormatter, LocalZoneUsesTheMachineRules) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Asia/Bangkok", 1);
    tzset();
    DateFormatter f("dd/MM/yyyy HH:mm:ss", TimeZone::local());
    EXPECT_DOUBLE_EQ(f.dateFromString("15/01/2024 17:20:30")->seconds, 1705314030);
    EXPECT_EQ(f.stringFromDate(Date{1705314030}), "15/01/2024 17:20:30");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
