#include <gtest/gtest.h>

#include "vnlib/info/member/RecordRoundTrip.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"
#include "vnlib/info/member/VnSyncBookmarkInfo.h"

using namespace record_test;
using plat::Value;

namespace {

class ReservationDates : public FixedLocalZone {};
class LoanDates : public FixedLocalZone {};
class SyncDates : public FixedLocalZone {};

constexpr double k5Feb2015 = 1423094400;  // 00:00 GMT
constexpr double k1Mar2015At1430 = 1425220200;

}  // namespace

TEST_F(ReservationDates, DayTextsAreLocalMidnightAndDescriptionUsesItsKey) {
    constexpr const char* reply = R"({
        "ItemCode": "IT-900", "BookCode": "BK-441", "Name": "สี่แผ่นดิน",
        "Description": "นวนิยายอิงประวัติศาสตร์", "CoverUrl": "https://img.example.co.th/c/441.jpg",
        "ISBN": "9789749747555", "ReserveDate": "010215", "ClaimValidDate": "030215",
        "ReturnDate": "050215", "RemainingPeople": 2, "IsClaimable": 0, "ItemType": "Book"})";
    auto reserve = load<VnReserveItemInfo>(reply);
    EXPECT_EQ(reserve->descriptionText_, "นวนิยายอิงประวัติศาสตร์");
    EXPECT_EQ(reserve->ISBN_, "9789749747555");
    EXPECT_DOUBLE_EQ(reserve->returnDateValue()->seconds, k5Feb2015 - kLocalOffset);
    EXPECT_DOUBLE_EQ(reserve->reserveDateValue()->seconds, k5Feb2015 - 4 * 86400 - kLocalOffset);
    EXPECT_TRUE(writesBack(reserve, reply));
    auto out = written(reserve);
    EXPECT_TRUE((*out)["DescriptionText"].isNil());
    EXPECT_EQ((*out)["ReturnDateValue"], Value("04/02/2015 17:00:00"));  // server form, GMT
    reserve->descriptionText_ = "ฉบับปรับปรุง";
    EXPECT_EQ((*viewOf(reserve))["Description"], Value("ฉบับปรับปรุง"));

    auto bad = load<VnReserveItemInfo>(R"({"ReserveDate": "31/01/15", "ClaimValidDate": null})");
    EXPECT_FALSE(bad->reserveDateValue());
    EXPECT_FALSE(bad->claimValidDateValue());
    EXPECT_FALSE(bad->returnDateValue());
    bad->setReturnDate("290216");  // 2016 is a leap year, 2015 is not
    EXPECT_TRUE(bad->returnDateValue());
    bad->setReturnDate("290215");
    EXPECT_FALSE(bad->returnDateValue());
}

TEST_F(ReservationDates, TwoDigitYearsFallInTheHundredYearsFromEightyYearsBack) {
    auto year = [](const char* text, int64_t now) {
        auto date = VnReserveItemInfo::dateFromReserveText(std::string(text), clockAt(now));
        return date ? plat::civilFromEpoch(int64_t(date->seconds + kLocalOffset)).year : -1;
    };
    EXPECT_EQ(year("050215", 2026), 2015);
    EXPECT_EQ(year("010145", 2026), 2045);
    EXPECT_EQ(year("010146", 2026), 1946);
    EXPECT_EQ(year("050215", 2100), 2115);
    EXPECT_EQ(year("05021", 2026), -1);
}

TEST_F(LoanDates, LoanTextsAreLocalTimesAndWinOnlyWhenTheyRead) {
    constexpr const char* reply = R"({
        "BookCode": "BK-12", "BookName": "คู่กรรม", "BookType": "EBook", "BookHeaderName": "ทมยันตี",
        "BorrowDateValue": "01/03/2015 07:30:00", "ReturnDateValue": "15/03/2015 02:05:00",
        "BorrowDateStr": "01/03/15 14:30", "ReturnDateString": "15/03/15 09:05"})";
    auto loan = load<VnBorrowHistoryInfo>(reply);
    EXPECT_DOUBLE_EQ(loan->borrowDate()->seconds, k1Mar2015At1430 - kLocalOffset);
    EXPECT_DOUBLE_EQ(loan->returnDate()->seconds, 1426410300 - kLocalOffset);
    EXPECT_TRUE(writesBack(loan, reply));
    loan->setBorrowDateStr("02/03/15 08:00");
    EXPECT_EQ((*viewOf(loan))["BorrowDateValue"], Value("02/03/2015 01:00:00"));
    loan->setReturnDateString("99/99/99 99:99");
    EXPECT_FALSE(loan->returnDate());
    EXPECT_EQ(VnBorrowHistoryInfo::dateFromLoanText(std::string("01/03/15 14:30"), clockAt(2100))
                  ->seconds,
              double(plat::timeToEpoch({2115, 3, 1, 14, 30, 0})) - kLocalOffset);

    // A text that does not read leaves the server date sent beside it, whatever the load order.
    auto kept = load<VnBorrowHistoryInfo>(
        R"({"BorrowDateValue": "01/03/2015 07:30:00", "BorrowDateStr": "",
            "ReturnDateValue": "15/03/2015 02:05:00", "ReturnDateString": null})");
    EXPECT_DOUBLE_EQ(kept->borrowDate()->seconds, k1Mar2015At1430 - 7 * 3600);
    EXPECT_TRUE(kept->returnDate());
    EXPECT_FALSE(
        load<VnBorrowHistoryInfo>(R"({"BorrowDateStr": "2015-03-01 14:30"})")->borrowDate());
}

TEST_F(SyncDates, SyncDatesTravelAsGmtTextAndShowInTheLocalZone) {
    constexpr const char* reply = R"({
        "IssueCode": "MAG-2015-03", "Type": "Magazine", "MarkName": "บทสัมภาษณ์", "BookMarkId": 31,
        "PageIndex": 12, "ChaperIndex": 2, "AmountPage": 96, "LastPageIndex": 40,
        "SyncLastDate": "2024/02/29 08:15:30"})";
    auto mark = load<VnSyncBookmarkInfo>(reply);
    EXPECT_EQ(mark->chaperIndex_, 2);
    EXPECT_DOUBLE_EQ(mark->syncLastDate_->seconds, 1709194530);
    EXPECT_TRUE(writesBack(mark, reply));
    EXPECT_EQ(mark->createDateString(), "2024/02/29 15:15:30");
    mark->syncLastDate_ = plat::Date{1398951900};
    EXPECT_EQ((*viewOf(mark))["SyncLastDate"], Value("2014/05/01 13:45:00"));

    auto page = load<VnSyncLastPageInfo>(
        R"({"IssueCode": "N-1", "Type": "Newspaper", "LastPageIndex": 7,
            "SyncLastDate": "2014/05/01 20:45:00"})");
    EXPECT_EQ(page->createDateString(), "02/05/2014");  // past midnight at UTC+7
    EXPECT_EQ((*viewOf(page))["SyncLastDate"], Value("2014/05/01 20:45:00"));
    page->initWithJSONString(R"({"SyncLastDate": null})");
    EXPECT_FALSE(page->syncLastDate_);
    EXPECT_FALSE(page->createDateString());
    EXPECT_FALSE(
        load<VnSyncLastPageInfo>(R"({"SyncLastDate": "01/05/2014 20:45:00"})")->syncLastDate_);
}
