// Numbered file names: ranges in either order, padding and signs, the pattern taken as text, and
// the caps on lengths and counts that hostile descriptions run into.
#include <gtest/gtest.h>

#include "app/issueui/IssueUITestSupport.h"
#include "app/widgets/FileNameSeries.h"
#include "platform/core/Exception.h"

using namespace issueui_test;
using Names = std::vector<std::string>;

TEST(FileNameSeriesTest, NamesFollowThePatternAndHostileSeriesAreRefused) {
    EXPECT_EQ(FileNameSeries::seriesWithFormat("img<Id>", 8, 10, 3)->populateSeries(),
              (Names{"img008", "img009", "img010"}));
    auto reversed = FileNameSeries::seriesWithFormat("spin_<Id>.jpg", 12, 10, 1);
    EXPECT_EQ(reversed->startId(), 10);
    EXPECT_EQ(reversed->populateSeries(), (Names{"spin_10.jpg", "spin_11.jpg", "spin_12.jpg"}));
    EXPECT_EQ(FileNameSeries::seriesWithFormat("a<Id>", 1000, 1000, 2)->populateSeries(),
              (Names{"a1000"}));
    EXPECT_EQ(FileNameSeries::seriesWithFormat("n<Id>", -2, -1, 3)->populateSeries(),
              (Names{"n-02", "n-01"}));
    EXPECT_EQ(FileNameSeries::seriesWithFormat("still", 1, 2, 1)->populateSeries(),
              (Names{"still", "still"}));
    // Format directives stay text; "%%" is one "%"; every "<Id>" is replaced.
    EXPECT_EQ(FileNameSeries::seriesWithFormat("%@%s%n<Id>%%<Id>%", 7, 7, 2)->populateSeries(),
              (Names{"%@%s%n07%07%"}));

    auto description = widgetDictionary({{"ImageFormat", "spin_<Id>.jpg"},
                                         {"ImageIdStart", "1"},
                                         {"ImageIdEnd", 12},
                                         {"ImageIdLength", 1}});
    auto fromDescription = FileNameSeries::seriesWithDictionary(*description, "Image");
    EXPECT_EQ(fromDescription->populateSeries().size(), 12U);
    EXPECT_EQ(fromDescription->populateSeries().back(), "spin_12.jpg");

    const auto refused = [](int32_t start, int32_t end, int32_t length) {
        try {
            FileNameSeries::seriesWithFormat("x<Id>", start, end, length);
        } catch (const plat::Exception& e) {
            return e.name() == "ArgumentOutOfRange";
        }
        return false;
    };
    EXPECT_TRUE(refused(1, 2, 0));
    EXPECT_TRUE(refused(1, 2, -5));
    EXPECT_TRUE(refused(1, 2, 33));
    EXPECT_TRUE(refused(1, 2, 1000000));
    EXPECT_TRUE(refused(0, 1000, 1));
    EXPECT_TRUE(refused(0, 2000000000, 4));
    EXPECT_TRUE(refused(-2147483647 - 1, 2147483647, 4));
    EXPECT_FALSE(refused(1, 1000, 32));
    EXPECT_EQ(FileNameSeries::seriesWithFormat("<Id>", 1, 1000, 32)->populateSeries().front(),
              std::string(31, '0') + "1");
    EXPECT_TRUE([&] {
        try {
            FileNameSeries::seriesWithDictionary(*widgetDictionary({{"ImageFormat", "x"}}),
                                                 "Image");
        } catch (const plat::Exception&) {
            return true;
        }
        return false;
    }());
}
