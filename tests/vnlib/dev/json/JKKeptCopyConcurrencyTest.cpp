// Kept copies of a reply's objects taken on several threads at once, as records made from one
// reply on workers take them: each is its object's text, and outlives the reply.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JSONDecoder.h"

TEST(JKKeptCopy, CopiesTakenOnManyThreadsAreTheirObjectsTextsAndOutliveTheReply) {
    constexpr size_t kObjects = 400;
    constexpr size_t kThreads = 4;
    std::vector<std::string> texts;
    std::string reply = "[";
    for (size_t i = 0; i < kObjects; ++i) {
        texts.push_back(R"({"Code":"c)" + std::to_string(i) + R"(","Name":"ชื่อ )" +
                        std::string(i % 50, 'x') + R"(","N":)" + std::to_string(i) + "}");
        reply += (i ? "," : "") + texts.back();
    }
    reply += "]";

    std::vector<std::vector<plat::Value>> copies(kThreads);
    {
        auto decoder = JSONDecoder::decoderWithParseOptions(0);
        auto list = decoder->objectKeepingText(plat::Bytes(reply.begin(), reply.end())).array();
        ASSERT_TRUE(list);
        ASSERT_EQ(list->count(), kObjects);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Each thread starts at another place, so that the first copies race.
                for (size_t k = 0; k < kObjects; ++k) {
                    const size_t i = (k + t * kObjects / kThreads) % kObjects;
                    const auto* object =
                        JKDictionary::of(list->objectAtIndex(i).dictionary().get());
                    copies[t].push_back(object ? object->sourceTextCopy() : plat::Value());
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
    }
    // The reply and its tree are gone; the copies hold their bytes.
    for (size_t t = 0; t < kThreads; ++t) {
        ASSERT_EQ(copies[t].size(), kObjects);
        for (size_t k = 0; k < kObjects; ++k) {
            const size_t i = (k + t * kObjects / kThreads) % kObjects;
            ASSERT_TRUE(copies[t][k].isString()) << i;
            EXPECT_EQ(copies[t][k].stringView(), texts[i]);
        }
    }
}
