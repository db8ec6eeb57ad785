#include <gtest/gtest.h>

#include "platform/core/Log.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/info/store/VnUserRatingInfo.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"
#include "vnlib/service/v3/VnServiceRemoteRequest.h"

using plat::Value;

namespace {

Ref<VnServiceConnection> connection() {
    return std::make_shared<VnServiceConnection>(*plat::Url::parse("http://127.0.0.1:9/store.svc"));
}

Value json(std::string_view text) {
    return objectFromJSONString(text);
}

std::string text(const Value& value) {
    return KxJsonWriter().stringWithObject(value).value_or("<error>");
}

Ref<VnServiceCommonRequest> call(Value requestObject, const plat::Class* cls = nullptr,
                                 Ref<VnServiceSessionContext> context = nullptr) {
    return std::make_shared<VnServiceCommonRequest>(connection(), std::move(context), "GetThing",
                                                    std::move(requestObject), cls);
}

// The body sent for a request dictionary with custom parameters (given in order).
Value bodyWith(std::string_view request, std::vector<std::pair<Value, Value>> custom) {
    auto r = call(json(request));
    r->setCustomParams(plat::makeDictionary(std::move(custom)));
    return r->webMethodParams();
}

}  // namespace

TEST(VnServiceSessionContext, TravelsAsItsJsonViewAndHidesItsToken) {
    auto guest = VnServiceSessionContext::defaultContextWithAppCode("VARNEL");
    EXPECT_EQ(text(Value(guest)),
              R"({"TokenVersion":"2","TokenKey":"guest","AppCode":"VARNEL","IsTestUser":false})");

    auto member = std::make_shared<VnServiceSessionContext>("VARNEL", "s3cr3t-token", true);
    EXPECT_EQ(
        text(Value(member)),
        R"({"TokenVersion":"2","TokenKey":"s3cr3t-token","AppCode":"VARNEL","IsTestUser":true})");
    EXPECT_EQ(member->description().find("s3cr3t"), std::string::npos);

    member->updateNewToken("next");
    EXPECT_EQ(member->tokenKey(), "next");
}

TEST(VnServiceRemoteRequest, TokenHeadersComeFromTheContext) {
    auto guest = call(Value(), nullptr, VnServiceSessionContext::defaultContextWithAppCode("APP"));
    auto headers = guest->webHeaderParams();
    ASSERT_EQ(headers->count(), 3u);
    EXPECT_EQ((*headers)["TokenVersion"], Value("2"));
    EXPECT_EQ((*headers)["Authorization"], Value(R"(Token token="guest")"));
    EXPECT_EQ((*headers)["Varnel-AppCode"], Value("APP"));

    EXPECT_EQ(call(Value())->webHeaderParams()->count(), 0u);

    // A missing value leaves its header out.
    auto partial = call(Value(), nullptr,
                        std::make_shared<VnServiceSessionContext>(std::nullopt, std::nullopt));
    headers = partial->webHeaderParams();
    EXPECT_EQ(headers->count(), 1u);
    EXPECT_EQ((*headers)["TokenVersion"], Value("2"));
}

TEST(VnServiceRemoteRequest, CustomParametersMergeIntoTheBody) {
    // No custom parameters: the body is the request dictionary.
    auto plain = call(json(R"({"id":"x","optionalParams":null})"));
    EXPECT_EQ(plain->webMethodParams(), json(R"({"id":"x","optionalParams":null})"));

    // A member of the request is replaced and not listed.
    EXPECT_EQ(bodyWith(R"({"start":0,"length":10,"optionalParams":[]})", {{"start", 40}}),
              json(R"({"start":40,"length":10,"optionalParams":[]})"));

    // Nowhere to put the others: not sent, "optionalParams" stays as it was, and the log (on by
    // default) names them without their values.
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(bodyWith(R"({"id":"x","optionalParams":null})", {{"start", 40}}),
              json(R"({"id":"x","optionalParams":null})"));
    plat::setLogSink(previous);
    ASSERT_EQ(lines.size(), 1u);
    const std::string marker = "custom parameters not sent: ";
    const size_t at = lines[0].find(marker);
    ASSERT_NE(at, std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].substr(at + marker.size()), "start");
    EXPECT_EQ(bodyWith(R"({"id":"x"})", {{"start", 40}}), json(R"({"id":"x"})"));

    // A list: custom values first and winning, the other items kept, missing values null.
    EXPECT_EQ(
        bodyWith(
            R"({"categoryCode":"","optionalParams":[{"Key":"keyword","Value":"abc"},{"Key":"start","Value":"0"},{"Key":"tag"}]})",
            {{"start", 48}, {"length", 24}}),
        json(
            R"({"categoryCode":"","optionalParams":[{"Key":"start","Value":48},{"Key":"length","Value":24},{"Key":"keyword","Value":"abc"},{"Key":"tag","Value":null}]})"));

    // The range object form stays an object.
    EXPECT_EQ(bodyWith(R"({"optionalParams":{"start":0,"length":20}})", {{"start", 20}}),
              json(R"({"optionalParams":{"start":20,"length":20}})"));

    // A record is sent through its view, without merging.
    auto record = call(Value(VnServiceSessionContext::defaultContextWithAppCode("A")));
    record->setCustomParams(json(R"({"start":1})").dictionary());
    EXPECT_EQ(text(record->webMethodParams()),
              R"({"TokenVersion":"2","TokenKey":"guest","AppCode":"A","IsTestUser":false})");
}

TEST(VnServiceRemoteRequest, AnswersMapToRecords) {
    auto r = call(Value(), &VnUserRatingInfo::classObject());
    auto list = r->mapReturnValue(
                     json(R"([null,"bookcode_1",{"Code":"bookcode_2","ItemId":"i","Rate":4},7])"))
                    .array();
    ASSERT_EQ(list->count(), 3u);
    EXPECT_EQ(list->objectAtIndex(0).as<VnUserRatingInfo>()->code(), "bookcode_1");
    auto second = list->objectAtIndex(1).as<VnUserRatingInfo>();
    EXPECT_EQ(second->code(), "bookcode_2");
    EXPECT_EQ(second->rate_, 4);
    EXPECT_EQ(list->objectAtIndex(2).as<VnUserRatingInfo>()->code(), "7");

    auto one = r->mapReturnValue(json(R"({"ItemId":"x"})")).as<VnUserRatingInfo>();
    ASSERT_TRUE(one);
    EXPECT_EQ(one->itemId_, "x");

    EXPECT_EQ(r->mapReturnValue(Value(3)), Value(3));
    EXPECT_EQ(r->mapReturnValue(Value("text")), Value("text"));
    EXPECT_TRUE(r->mapReturnValue(Value::null()).isNull());

    // Without a class a dictionary gives nothing and a list an empty list; numbers pass.
    auto bare = call(Value());
    EXPECT_TRUE(bare->mapReturnValue(json(R"({"a":1})")).isNil());
    EXPECT_EQ(bare->mapReturnValue(json(R"([{"a":1},2])")).array()->count(), 0u);
    EXPECT_EQ(bare->mapReturnValue(Value(int64_t{12})), Value(12));
}

TEST(VnServiceRemoteRequest, ProgrammingErrors) {
    auto base = std::make_shared<VnServiceRemoteRequest>(connection(), nullptr);
    try {
        base->coreWebMethod();
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), VnMethodNotImplementedException);
        EXPECT_EQ(e.reason(), "Method not implemented");
    }
    EXPECT_THROW(base->coreRequestObject(), plat::Exception);
    EXPECT_THROW(base->coreReturnValueWithJsonDictionary(nullptr), plat::Exception);

    try {
        std::make_shared<VnServiceCommonRequest>(connection(), nullptr, "", Value(), nullptr);
        FAIL();
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.reason(), "Invalid parameter not satisfying: webMethod");
    }
}
