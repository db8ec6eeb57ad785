#include <gtest/gtest.h>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/service/follow/VnUserFollowInputParams.h"
#include "vnlib/service/follow/VnUserFollowResult.h"

using plat::Value;

TEST(VnUserFollowInputParams, WebMethodByTypeAndFlag) {
    const char* expected[][2] = {{"None", "None"},
                                 {"SubmitUserFollowBookCategory", "UnFollowBookCategory"},
                                 {"SubmitUserFollowMagazineCategory", "UnFollowMagazineCategory"},
                                 {"SubmitUserFollowAuthor", "UnFollowAuthor"},
                                 {"SubmitUserFollowPublisher", "UnFollowPublisher"}};
    for (int32_t type = -1; type <= 5; ++type) {
        const bool inTable = type >= 0 && type <= 4;
        auto follow = VnUserFollowInputParams::initWithUserID(1, "C", type, true);
        auto unfollow = VnUserFollowInputParams::initWithUserID(1, "C", type, false);
        EXPECT_EQ(follow->getWebMethod(), inTable ? expected[type][0] : "None") << type;
        EXPECT_EQ(unfollow->getWebMethod(), inTable ? expected[type][1] : "None") << type;
    }
    VnUserFollowInputParams plain(7, "X");
    EXPECT_EQ(plain.followType(), 0);
    EXPECT_FALSE(plain.isFollow());
}

TEST(VnUserFollowInputParams, RequestObjectIsTheAccountNumberAndTheCode) {
    auto request =
        VnUserFollowInputParams::initWithUserID(12345, "A01", 3, true)->getRequestParams();
    ASSERT_EQ(request->count(), 2u);  // no "optionalParams"
    ASSERT_TRUE((*request)["accountId"].isNumber());
    EXPECT_EQ((*request)["accountId"].intValue(), 12345);
    EXPECT_EQ((*request)["code"], Value("A01"));
}

TEST(VnUserFollowInputParams, NoneUnknownTypesAndMissingCodesFailBeforePosting) {
    EXPECT_FALSE(
        VnUserFollowInputParams::initWithUserID(1, "A01", 1, true)->failedResultIfInvalid());
    EXPECT_TRUE(VnUserFollowInputParams::initWithUserID(1, "A01", 4, false)->isValid());
    for (int32_t type : {0, -3, 5}) {
        auto failed =
            VnUserFollowInputParams::initWithUserID(1, "A01", type, true)->failedResultIfInvalid();
        ASSERT_TRUE(failed) << type;
        EXPECT_EQ(failed->state(), VnRequestResult::Failed);
        EXPECT_EQ(failed->error()->domain(), VnRequestDomain);
        EXPECT_EQ(failed->errorMessage(), "Invalid follow type");
    }
    for (auto code : {std::optional<std::string>(), std::optional<std::string>("")}) {
        auto params = VnUserFollowInputParams::initWithUserID(1, code, 2, true);
        EXPECT_FALSE(params->isValid());
        EXPECT_EQ(params->failedResultIfInvalid()->errorMessage(), "Missing follow code");
        EXPECT_TRUE((*params->getRequestParams())["code"].isNull() || code);
    }
}

TEST(VnUserFollowResult, ReadsTheReplyKeysWithDefaults) {
    auto load = [](const char* json) {
        auto result = std::make_shared<VnUserFollowResult>();
        result->initWithDictionary(objectFromJSONString(json).dictionary());
        return result;
    };
    auto followed = load(R"({"Message": "ติดตามเรียบร้อย", "ResultCode": 1, "IsFollow": true})");
    EXPECT_EQ(followed->message(), "ติดตามเรียบร้อย");
    EXPECT_EQ(followed->resultCode(), 1);
    EXPECT_TRUE(followed->isFollow());
    EXPECT_FALSE(load(R"({"Message": "ok", "ResultCode": 3})")->isFollow());
    auto noCode = load(R"({"Message": 42, "IsFollow": 1})");
    EXPECT_EQ(noCode->resultCode(), 0);
    EXPECT_EQ(noCode->message(), "42");
    EXPECT_FALSE(load(R"({"Message": null})")->message());  // not the text "<null>"
}
