#include <gtest/gtest.h>

#include "vnlib/info/member/RecordRoundTrip.h"
#include "vnlib/info/member/VnAccountInfo.h"
#include "vnlib/info/member/VnAssetFileInfo.h"
#include "vnlib/info/member/VnProfileInfo.h"

using namespace record_test;
using plat::Value;

namespace {

constexpr const char* kProfileReply = R"({
    "MemberID": "M000123", "Username": "somchai.j", "Name": "สมชาย", "Lastname": "ใจดี",
    "Email": "somchai@example.co.th", "Title": "นาย", "Eelephone": "021234567",
    "Mobile": "0812345678", "Gender": "M", "Nationality": "ไทย", "Age": 35,
    "Personalid": "1100700123456", "AddressCard": "99/1", "VillageCard": "หมู่บ้านสุขใจ",
    "StreetCard": "ถนนพหลโยธิน", "SoiCard": "ซอย 5", "MooCard": "3", "ProvinceCardID": "10",
    "DistrictCardID": "1003", "SubdistrictCardID": "100301", "ProvinceCardName": "กรุงเทพมหานคร",
    "DistrictCardName": "หนองจอก", "SubdistrictCardName": "กระทุ่มราย", "PostalcodeCard": "10530",
    "AddressPresent": "12", "VillagePresent": null, "StreetPresent": "ถนนสุขุมวิท",
    "ProvincePresentName": "กรุงเทพมหานคร", "PostalcodePresent": "10110", "Note": "",
    "Birthdate": "12/05/1990", "RegisterDate": "01/02/2015 10:00:00",
    "ExpireDate": "01/02/2017 00:00:00", "ProfilePicture": "https://img.example.co.th/p/123.jpg",
    "MemberTypeID": "2", "MemberTypeName": "สมาชิกทั่วไป", "MemberParentID": "P01",
    "MemberParentGroup": [
        {"PackageID": "PK1", "MemberPayID": "MP9", "MemberGroupName": "กลุ่มโรงเรียน",
         "MemberGroupID": 7, "MemberGroupTitle": {"th": "โรงเรียน", "en": "School"}},
        {"PackageID": "PK2", "MemberPayID": null, "MemberGroupID": "G-2"}],
    "MemberPermission": [{"Key": "borrow", "Value": true}, "read"],
    "MemberShip": [{
        "OnlineLibrary": {"StartDate": "01/01/2016", "ExpiredDate": "31/12/2016"},
        "HaldenPass": {"StartDate": "15/03/2016", "ExpiredDate": "14/03/2017"}}],
    "Passport": {"Number": "AA1234567", "Country": "TH"}, "Unmapped": "kept"})";

}  // namespace

TEST(VnProfileInfo, LoadsNestedMembershipsAndGroupsAndWritesThemBack) {
    auto profile = load<VnProfileInfo>(kProfileReply);
    EXPECT_EQ(profile->Title_, "นาย");
    EXPECT_EQ(profile->eelephone_, "021234567");
    EXPECT_EQ(profile->age_, 35);
    EXPECT_EQ(profile->subdistrictCardName_, "กระทุ่มราย");
    EXPECT_FALSE(profile->villagePresent_);
    EXPECT_EQ(profile->registerDate_, "01/02/2015 10:00:00");  // profile dates stay text

    ASSERT_EQ(profile->memberShip_->count(), 1u);
    auto ship = profile->memberShip_->objectAtIndex(0).as<VnMemberShip>();
    ASSERT_TRUE(ship && ship->OnlineLibrary_ && ship->HaldenPass_);
    EXPECT_EQ(ship->OnlineLibrary_->expiredDate_, "31/12/2016");
    EXPECT_EQ(ship->HaldenPass_->startDate_, "15/03/2016");

    ASSERT_EQ(profile->memberParentGroup_->count(), 2u);
    auto school = profile->memberParentGroup_->objectAtIndex(0).as<VnMemberParentGroup>();
    EXPECT_EQ(school->memberGroupName_, "กลุ่มโรงเรียน");
    EXPECT_EQ(school->memberGroupID_, Value(int32_t{7}));  // held as sent
    EXPECT_EQ((*school->memberGroupTitle_.dictionary())["en"], Value("School"));
    // No element class: the permissions always load as an empty list.
    EXPECT_EQ(profile->memberPermission_->count(), 0u);
    EXPECT_EQ((*profile->passport_.dictionary())["Number"], Value("AA1234567"));

    EXPECT_TRUE(writesBack(profile, kProfileReply, {"MemberPermission"}));
    EXPECT_EQ((*written(profile))["MemberPermission"].array()->count(), 0u);

    profile->Title_ = "ดร.";  // capitalised: written from the current value
    EXPECT_EQ((*viewOf(profile))["Title"], Value("ดร."));
}

TEST(VnAccountInfo, EmailIsTheCodeAndCardDatesAreDayTextsInGmt) {
    constexpr const char* reply = R"({
        "Email": "nok@example.co.th", "FirstName": "นก", "LastName": "บินสูง", "UserId": 48213,
        "IsLumoCardUser": 1, "LumoCardNumber": "7001 2345 6789",
        "LumoCardCurrentRewardPoints": 1250, "LumoCardLastUpdate": "2015/06/30",
        "LumoCardExpiringPoints": 300, "LumoCardPointExpireDate": "2016/12/31"})";
    auto account = load<VnAccountInfo>(reply);
    EXPECT_EQ(account->code(), "nok@example.co.th");
    EXPECT_TRUE(account->isLumoCardUser_);
    EXPECT_DOUBLE_EQ(account->lumoCardLastUpdate_->seconds, 1435622400);  // 30 June 2015 GMT
    EXPECT_DOUBLE_EQ(account->lumoCardPointExpireDate_->seconds, 1483142400);
    EXPECT_TRUE(writesBack(account, reply));

    account->setEmail("new@example.co.th");
    account->lumoCardLastUpdate_ = plat::Date{1709194530};  // 29 Feb 2024 08:15:30 GMT
    auto out = written(account);
    EXPECT_EQ((*out)["Email"], Value("new@example.co.th"));
    EXPECT_EQ((*out)["Code"], Value("new@example.co.th"));
    EXPECT_EQ((*out)["LumoCardLastUpdate"], Value("2024/02/29"));
}

TEST(VnAccountInfo, NullOrBadCardDatesClearTheDate) {
    auto account = std::make_shared<VnAccountInfo>();
    account->lumoCardLastUpdate_ = plat::Date{1};
    account->lumoCardPointExpireDate_ = plat::Date{2};
    account->initWithJSONString(
        R"({"LumoCardLastUpdate": null, "LumoCardPointExpireDate": "30/06/2015"})");
    EXPECT_FALSE(account->lumoCardLastUpdate_);
    EXPECT_FALSE(account->lumoCardPointExpireDate_);
    // The text that did not read is written back as it came.
    EXPECT_EQ((*viewOf(account))["LumoCardPointExpireDate"], Value("30/06/2015"));
    EXPECT_FALSE(
        load<VnAccountInfo>(R"({"LumoCardLastUpdate": "2015/02/30"})")->lumoCardLastUpdate_);
    EXPECT_FALSE(load<VnAccountInfo>(R"({"LumoCardLastUpdate": 20150630})")->lumoCardLastUpdate_);
}

TEST(VnAssetFileInfo, LoadsSizesAboveFourGigabytesAndWritesBack) {
    constexpr const char* reply = R"({
        "RequestId": "REQ-77", "FileId": "A-1001", "FileSize": 5368709120,
        "PrimaryUrl": "https://cdn.example.co.th/a/1001.pdf", "BookCode": "B-5",
        "SecondUrl": "https://cdn2.example.co.th/a/1001.pdf", "Width": 1536, "Height": 2048})";
    auto file = load<VnAssetFileInfo>(reply);
    EXPECT_EQ(file->fileSize_, 5368709120);
    EXPECT_TRUE(writesBack(file, reply));
    EXPECT_EQ(load<VnAssetFileInfo>(R"({"FileSize": null})")->fileSize_, 0);
}
