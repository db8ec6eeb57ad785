// The sign-on records read by hand from decoded JSON: the token reply and the profile, their
// dates in GMT, and every kind of key given null, a number, an object or true.
#include <gtest/gtest.h>

#include "app/signon/OAuthLogInResult.h"
#include "app/signon/OAuthMember.h"
#include "app/signon/OAuthUserInfo.h"
#include "platform/core/KeyValueCoding.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"

namespace {

Ref<plat::Dictionary> json(const std::string& text) {
    auto value = std::make_shared<KxJsonParser>()->objectWithString(std::string_view(text));
    EXPECT_TRUE(value.dictionary()) << text;
    return value.dictionary();
}

template <class R>
Ref<R> load(const std::string& text) {
    return VnInfoBase::withDictionary<R>(json(text));
}

TEST(SignOnRecordsTest, TokenReplyReadsItsSevenKeys) {
    auto token = load<OAuthLogInResult>(
        R"({"access_token":"abc","token_type":"Bearer","expires":1717171717123,
            "expires_in":3600,"valid_token":"T","owner_type":"user","owner_id":42})");
    EXPECT_EQ(token->accessToken_, "abc");
    EXPECT_EQ(token->tokenType_, "Bearer");
    EXPECT_DOUBLE_EQ(token->expiresDate_.seconds, 1717171717.123);
    EXPECT_EQ(token->expiresIn_, 3600);
    EXPECT_TRUE(token->validToken_);
    EXPECT_EQ(token->ownerType_, "user");
    EXPECT_EQ(token->ownerID_, 42);
    EXPECT_EQ(plat::valueForKey(*token, "accessToken").stringOr(), "abc");

    // Numeric texts read as numbers; only the exact text "T" is a valid token.
    auto texts = load<OAuthLogInResult>(R"({"expires_in":"3600","owner_id":"7","expires":"2000"})");
    EXPECT_EQ(texts->expiresIn_, 3600);
    EXPECT_EQ(texts->ownerID_, 7);
    EXPECT_DOUBLE_EQ(texts->expiresDate_.seconds, 2.0);
    for (const char* valid : {R"("t")", R"("true")", R"("1")", R"("TT")", "true", "1", "null"})
        EXPECT_FALSE(
            load<OAuthLogInResult>(std::string(R"({"valid_token":)") + valid + "}")->validToken_)
            << valid;

    // Nothing, or values of the wrong kinds: absent, 0, 1970.
    for (const char* reply :
         {"{}", R"({"access_token":null,"token_type":true,"expires":null,"expires_in":null,
                   "owner_type":{},"owner_id":[1]})",
          R"({"access_token":{"a":1},"token_type":[],"expires":"soon","expires_in":true,
              "owner_id":false,"valid_token":{"T":"T"}})"}) {
        auto odd = load<OAuthLogInResult>(reply);
        EXPECT_EQ(odd->accessToken_, std::nullopt) << reply;
        EXPECT_EQ(odd->tokenType_, std::nullopt) << reply;
        EXPECT_EQ(odd->ownerType_, std::nullopt) << reply;
        EXPECT_EQ(odd->expiresDate_.seconds, 0.0) << reply;
        EXPECT_EQ(odd->expiresIn_, 0) << reply;
        EXPECT_EQ(odd->ownerID_, 0) << reply;
        EXPECT_FALSE(odd->validToken_) << reply;
    }
    // A number in a text key keeps its text; huge numbers saturate.
    auto numbers = load<OAuthLogInResult>(
        R"({"access_token":12345,"token_type":1.5,"expires_in":99999999999,"owner_id":-1e100})");
    EXPECT_EQ(numbers->accessToken_, "12345");
    EXPECT_EQ(numbers->tokenType_, "1.5");
    EXPECT_EQ(numbers->expiresIn_, INT32_MAX);
    EXPECT_EQ(numbers->ownerID_, INT32_MIN);

    auto none = std::make_shared<OAuthLogInResult>();
    none->initWithDictionary(nullptr);
    EXPECT_EQ(none->accessToken_, std::nullopt);
    EXPECT_EQ(none->expiresDate_.seconds, 0.0);
}

TEST(SignOnRecordsTest, ProfileReadsTextsAndGmtDatesKeyByKey) {
    auto user = load<OAuthUserInfo>(
        R"({"MemberID":"1001","Name":"สมชาย","Username":"somchai@example.com",
            "Birthdate":"1990-02-28","CreateDate":"2016-05-31 23:59:59",
            "ModifiedDate":"2016-05-31 24:00:00","RegisterDate":"2016-05-31",
            "HDMemberID":"HD1","PostalcodePresent":"10200","SubdistrictCardName":"วัง",
            "MemberParentID":"","memberShip":[{"MemberShipName":"x"}],"lastname":"plain key"})");
    EXPECT_EQ(user->memberID_, "1001");
    EXPECT_EQ(user->name_, "สมชาย");
    EXPECT_EQ(user->lastname_, std::nullopt);  // "LastName" only, no fallback keys
    EXPECT_EQ(user->username_, "somchai@example.com");
    EXPECT_EQ(user->hDMemberID_, "HD1");
    EXPECT_EQ(user->postalcodePresent_, "10200");
    EXPECT_EQ(user->subdistrictCardName_, "วัง");
    EXPECT_EQ(user->memberParentID_, "");
    ASSERT_TRUE(user->birthDate_);
    EXPECT_EQ(user->birthDate_->seconds, 636163200.0);  // midnight GMT
    ASSERT_TRUE(user->createDate_);
    EXPECT_EQ(user->createDate_->seconds, 1464739199.0);
    EXPECT_EQ(user->modifiedDate_, std::nullopt);  // no hour 24
    EXPECT_EQ(user->registerDate_, std::nullopt);  // a day is not a time stamp
    EXPECT_EQ(user->memberShip_->count(), 0U);
    EXPECT_EQ(user->memberPermission_->count(), 0U);
    EXPECT_EQ(user->memberParentGroup_->count(), 0U);
    EXPECT_EQ(load<OAuthUserInfo>(R"({"Birthdate":"28/02/1990"})")->birthDate_, std::nullopt);

    // Every kind of key given null, a number, an object and true.
    for (const char* odd : {"null", "19900228", R"({"a":"1990-02-28"})", "true", "[]"}) {
        std::string reply = "{";
        for (const char* key : {"MemberID", "Name", "Username", "Age", "Birthdate", "CreateDate",
                                "RegisterDate", "MemberTypeID"})
            reply += std::string(reply.size() > 1 ? "," : "") + "\"" + key + "\":" + odd;
        auto profile = load<OAuthUserInfo>(reply + "}");
        const bool number = std::string(odd) == "19900228";
        EXPECT_EQ(profile->name_, number ? std::optional<std::string>("19900228") : std::nullopt)
            << odd;
        EXPECT_EQ(profile->username_.has_value(), number) << odd;
        EXPECT_EQ(profile->birthDate_, std::nullopt) << odd;
        EXPECT_EQ(profile->createDate_, std::nullopt) << odd;
        EXPECT_EQ(profile->registerDate_, std::nullopt) << odd;
    }
    EXPECT_EQ(load<OAuthUserInfo>(R"({"Age":36.5})")->age_, "36.5");

    // The member entries are plain records with accessors.
    auto permission = std::make_shared<OAuthMemberPermission>();
    plat::setValueForKey(*permission, plat::Value("READ"), "permissionCode");
    EXPECT_EQ(permission->permissionCode_, "READ");
    auto ship = std::make_shared<OAuthMemberShip>();
    ship->memberShipName_ = "online";
    EXPECT_EQ(plat::valueForKey(*ship, "memberShipName").stringOr(), "online");
}

}  // namespace
