#include <gtest/gtest.h>

#include "vnlib/info/member/RecordRoundTrip.h"
#include "vnlib/info/store/VnAuthorInfo.h"
#include "vnlib/info/store/VnFollowInfo.h"
#include "vnlib/info/store/VnItemReviewMessageInfo.h"
#include "vnlib/info/store/VnPromotionInfo.h"
#include "vnlib/info/store/VnUserRatingInfo.h"

using namespace record_test;
using plat::Value;

namespace {

constexpr const char* kMessageReply = R"({
    "MessageId": "MSG-501", "Subject": "แจ้งเตือนการคืนหนังสือ",
    "ImageUrl": "https://img.example.co.th/m/501.png", "ImageWidth": 320.5, "ImageHeight": 120,
    "Title": "ใกล้ถึงกำหนดคืน", "SubTitle": "เหลืออีก 2 วัน", "Detail": "กรุณาคืนหรือยืมต่อ",
    "LinkUrl": "varnel://loans", "SpacialCenterText": "2", "SpacialCenterSmallText": "วัน",
    "SpacialCaption": "ก่อนหมดเวลา", "SpacialLeftImageUrl": null, "SpacialRightImageUrl": null,
    "SpacialLinkUrl": "varnel://x", "CreatDate": "2014/05/01 13:45:00",
    "ExpiredDate": "2014/06/01 00:00:00", "AppCode": "VARNEL", "OrderId": "0003",
    "ImageLinks": ["https://img.example.co.th/1.png"], "Type": 2, "DisplayType": 1})";

class BannerDates : public FixedLocalZone {};

}  // namespace

TEST_F(BannerDates, MessageAndPromotionDatesAreGmtTextShownInTheLocalZone) {
    auto message = load<VnMessageInfo>(kMessageReply);
    EXPECT_EQ(message->subject_, "แจ้งเตือนการคืนหนังสือ");
    EXPECT_FLOAT_EQ(message->imageWidth_, 320.5f);
    EXPECT_EQ(message->type_, 2);
    EXPECT_DOUBLE_EQ(message->createDate_->seconds, 1398951900);  // 1 May 2014 13:45:00 GMT
    EXPECT_DOUBLE_EQ(message->expiredDate_->seconds, 1401580800);
    EXPECT_EQ(message->imageLinks_->count(), 0u);  // no element class
    EXPECT_EQ(message->createDateString(), "01/05/2014");
    EXPECT_TRUE(writesBack(message, kMessageReply, {"ImageLinks"}));
    EXPECT_TRUE((*written(message))["CreateDate"].isNil());  // the message's own spelling only

    message->createDate_ = plat::Date{1709194530};
    message->expiredDate_.reset();
    EXPECT_EQ((*viewOf(message))["CreatDate"], Value("2024/02/29 08:15:30"));
    EXPECT_EQ((*viewOf(message))["ExpiredDate"], Value("2014/06/01 00:00:00"));  // as loaded
    EXPECT_FALSE(message->expireDateString());

    constexpr const char* promotionReply = R"({"PromotionId": "PR-77", "Subject": "ลดราคา 50%",
        "ImageWidth": 1024, "ImageHeight": 256.25, "Title": "มหกรรมหนังสือ", "SubTitle": null,
        "CreateDate": "2024/02/29 08:15:30", "ExpiredDate": "2024/03/31 16:59:59", "Hash": "c0ffee"})";
    auto promotion = load<VnPromotionInfo>(promotionReply);
    EXPECT_EQ(promotion->hashString(), "c0ffee");
    EXPECT_DOUBLE_EQ(promotion->createDate_->seconds, 1709194530);
    EXPECT_EQ(promotion->expireDateString(), "31/03/2024");
    EXPECT_TRUE(writesBack(promotion, promotionReply));
    promotion->initWithJSONString(
        R"({"CreateDate": null, "ExpiredDate": "31/03/2024 16:59:59", "ImageWidth": null})");
    EXPECT_FALSE(promotion->createDate_);
    EXPECT_FALSE(promotion->expiredDate_);
    EXPECT_EQ(promotion->imageWidth_, 0.f);
}

TEST(VnFollowInfo, MadeInCodeAndWrittenUnderItsKeys) {
    auto info = VnFollowInfo::infoWithId(12, "ทมยันตี", VnFollowTypeAuthor);
    EXPECT_EQ(info->code(), "12.code");
    auto out = written(info);
    EXPECT_EQ((*out)["Id"], Value(int32_t{12}));
    EXPECT_EQ((*out)["Name"], Value("ทมยันตี"));
    EXPECT_EQ((*out)["Type"], Value(int32_t{3}));
    constexpr const char* reply = R"({"Id": 88, "Name": "สำนักพิมพ์แสงดาว", "Type": 4})";
    EXPECT_EQ(load<VnFollowInfo>(reply)->Id_, 88);
    EXPECT_TRUE(writesBack(load<VnFollowInfo>(reply), reply));
}

TEST(VnFollowInfo, BuildFromLinkTakesTheLeadingNumberAndTheLastCategoryName) {
    auto fiction = VnFollowInfo::buildFollowInfoWithLink("123.html", "Books/Fiction ", 1);
    EXPECT_EQ(fiction->Id_, 123);
    EXPECT_EQ(fiction->name_, "Fiction");
    EXPECT_EQ(fiction->code(), "123.code");
    EXPECT_EQ(VnFollowInfo::buildFollowInfoWithLink("123.html", "Books/Fiction ", 3)->name_,
              "Books/Fiction ");
    auto thai = VnFollowInfo::buildFollowInfoWithLink(
        "45.7.html", "หนังสือ/นิตยสาร/\u00A0ผู้หญิง\u3000\r\n", VnFollowTypeMagazineCategory);
    EXPECT_EQ(thai->Id_, 45);
    EXPECT_EQ(thai->name_, "ผู้หญิง");
    EXPECT_EQ(VnFollowInfo::buildFollowInfoWithLink(std::nullopt, "x", 1)->Id_, 0);
    EXPECT_EQ(VnFollowInfo::buildFollowInfoWithLink("abc.html", "x", 1)->Id_, 0);
    EXPECT_EQ(VnFollowInfo::buildFollowInfoWithLink("99999999999.html", "x", 4)->Id_, 2147483647);
    EXPECT_EQ(VnFollowInfo::buildFollowInfoWithLink("77", "Books/", 1)->name_, "");
    EXPECT_FALSE(VnFollowInfo::buildFollowInfoWithLink("5.html", std::nullopt, 1)->name_);
}

TEST(VnItemReviewMessageInfo, ItemMessagesRatingsAuthorsAndPublishers) {
    constexpr const char* reply = R"({
        "ItemName": "สี่แผ่นดิน", "Messager": "admin", "Subject": "ขอบคุณสำหรับรีวิว",
        "MessageText": "รีวิวของคุณได้รับการเผยแพร่แล้ว", "UserId": 48213, "UserType": 1,
        "CreateDate": "2014/03/07"})";
    auto message = load<VnItemReviewMessageInfo>(reply);
    EXPECT_EQ(message->messager_, "admin");
    EXPECT_DOUBLE_EQ(message->createDate_->seconds, 1394150400);  // 7 March 2014 GMT
    EXPECT_TRUE(writesBack(message, reply));
    EXPECT_FALSE(
        load<VnItemReviewMessageInfo>(R"({"CreateDate": "2014/03/07 10:00"})")->createDate_);

    EXPECT_EQ(load<VnUserRatingInfo>(R"({"ItemId": "1_BK-441", "Rate": 4})")->rate_, 4);
    auto author = load<VnAuthorInfo>(R"({"FullName": "ทมยันตี"})");
    EXPECT_EQ(author->code(), "ทมยันตี");
    EXPECT_EQ((*viewOf(author))["FullName"], Value("ทมยันตี"));
    auto publisher = std::make_shared<VnPublisherInfo>();
    publisher->setFullName("แสงดาว");
    EXPECT_EQ((*viewOf(publisher))["Code"], Value("แสงดาว"));
    EXPECT_EQ(load<VnPublisherInfo>(R"({"FullName": "A", "Code": "B"})")->fullName(), "B");
}
