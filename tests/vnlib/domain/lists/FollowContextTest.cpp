#include <gtest/gtest.h>

#include <random>
#include <set>
#include <thread>

#include "vnlib/domain/lists/VnUserFollowContext.h"

namespace {

Ref<VnFollowInfo> follow(const std::string& name, int32_t type, int32_t id = 1) {
    return VnFollowInfo::infoWithId(id, name, type);
}

TEST(FollowContextTest, KeysNamesAndTracksAvailability) {
    VnUserFollowContext context;
    EXPECT_FALSE(context.isAvailable());
    context.addFollowFromArray({});
    EXPECT_TRUE(context.isAvailable());

    context.addFollowInfo(follow("Books / Fiction ", VnFollowTypeBookCategory));
    EXPECT_TRUE(context.isFollowForCategory("Fiction"));
    EXPECT_TRUE(context.isFollowForCategory("Other/Fiction\n"));
    EXPECT_TRUE(context.isFollowForInfo(follow("Fiction", VnFollowTypeMagazineCategory)));

    auto first = follow("Ann", VnFollowTypeAuthor, 1);
    context.addFollowInfo(first);
    const double stamp = context.lastUpdated();
    context.addFollowInfo(follow("Ann", VnFollowTypeAuthor, 2));  // the first record wins
    EXPECT_EQ(context.lastUpdated(), stamp);
    context.updateFollowInfo(follow("Nobody", VnFollowTypeAuthor));  // adds nothing
    context.addFollowInfo(follow("Zed", VnFollowTypeNone));          // no map takes type 0
    EXPECT_FALSE(context.isFollowForInfo(follow("Zed", VnFollowTypeNone)));
    context.addFollowInfo(follow("Cat B", VnFollowTypeMagazineCategory));
    context.addFollowInfo(std::make_shared<VnFollowInfo>());  // no name: ignored

    const auto all = context.followObjects();
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0]->type_ + all[1]->type_,
              VnFollowTypeBookCategory + VnFollowTypeMagazineCategory);
    EXPECT_EQ(all[2], first);

    auto replacement = follow("Ann", VnFollowTypeAuthor, 9);
    context.updateFollowInfo(replacement);
    EXPECT_EQ(context.followObjects()[2], replacement);
    context.removeFollowInfo(follow(" Fiction", VnFollowTypeBookCategory));
    EXPECT_FALSE(context.isFollowForCategory("Fiction"));
    context.removeAll();
    EXPECT_EQ(context.count(), 0U);
    EXPECT_FALSE(context.isAvailable());
    EXPECT_EQ(VnUserFollowContext::followTypeIdArrayForBook(true), (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(VnUserFollowContext::followTypeIdArrayForBook(false), (std::vector<int32_t>{2, 4}));
}

TEST(FollowContextTest, EightThreadsAtOnceLeaveAConsistentContext) {
    VnUserFollowContext context;
    constexpr int kThreads = 8;
    constexpr int kRounds = 4000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&context, t] {
            std::mt19937 random(static_cast<uint32_t>(t * 7919 + 1));
            for (int i = 0; i < kRounds; ++i) {
                const auto type = static_cast<int32_t>(1 + random() % 4);
                auto info = follow("n" + std::to_string(random() % 16), type, t);
                switch (random() % 8) {
                    case 0:
                    case 1:
                        context.addFollowInfo(info);
                        break;
                    case 2:
                        context.removeFollowInfo(info);
                        break;
                    case 3:
                        context.updateFollowInfo(info);
                        break;
                    case 4:
                        (void)context.isFollowForInfo(info);
                        break;
                    case 5:
                        (void)context.followObjects();
                        break;
                    case 6:
                        (void)context.count();
                        break;
                    default:
                        if (random() % 50 == 0)
                            context.removeAll();
                        else
                            (void)context.isAvailable();
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    const auto all = context.followObjects();
    EXPECT_EQ(context.count(), all.size());
    std::set<std::pair<int32_t, std::string>> keys;
    for (const auto& info : all) {
        const int32_t side = info->type_ <= VnFollowTypeMagazineCategory ? 0 : info->type_;
        EXPECT_TRUE(keys.emplace(side, *info->name_).second) << *info->name_;
    }

    // Racing adds of one name keep exactly one of the offered records.
    VnUserFollowContext racing;
    std::vector<Ref<VnFollowInfo>> offered;
    for (int t = 0; t < kThreads; ++t)
        offered.push_back(follow("Same", VnFollowTypePublisher, t));
    threads.clear();
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&racing, &offered, t] { racing.addFollowInfo(offered[t]); });
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(racing.count(), 1U);
    EXPECT_NE(std::find(offered.begin(), offered.end(), racing.followObjects()[0]), offered.end());
}

}  // namespace
