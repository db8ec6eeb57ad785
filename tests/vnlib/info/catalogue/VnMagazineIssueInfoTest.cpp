#include <gtest/gtest.h>

#include "platform/core/KeyValueCoding.h"
#include "vnlib/dev/util/VndArrayAdditions.h"
#include "vnlib/info/catalogue/RecordTestSupport.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"

using namespace recordtest;
using plat::Date;
using plat::Value;

namespace {

// A magazine issue as the listing calls answer it.
constexpr const char* kIssueReply = R"({
  "Code": "MI-1012", "Hash": "9F86D081884C7D65", "MagazineName": "ขวัญเรือน",
  "IssueName": "ฉบับที่ 1012", "HeadCode": "KR", "ModifiedDate": "15/01/2024 10:20:30",
  "PageCount": 148, "ParentCode": "MAG-KR",
  "Prices": [{"Code": "P1", "Currency": 0, "Price": 89.0, "PriceText": "฿89", "Method": "INAPP",
              "PurchaseCode": "PC-1", "InAppID": "th.varnel.kr1012", "IsTest": 0, "LumoCardRewards": 9},
             {"Code": "P2", "Currency": "USD", "Price": 2.99, "PriceText": "$2.99", "Method": "FREE",
              "PurchaseCode": null, "InAppID": null, "IsTest": 1, "LumoCardRewards": 0}],
  "PricesExpire": "31/12/2024 23:59:59", "IssueDate": "2014/03/05", "CoverUrl": "https://c.example/1.jpg",
  "IsPurchased": 1, "BookKind": 1, "Type": "Magazine", "ItemCode": "IT-1012", "IsFreeContent": 0,
  "PrintListPriceCurrency": "THB", "PrintListPrice": 89.5, "Revision": 3, "SortIndex": 7,
  "Finished": 0, "Readed": 1, "Author": "กองบรรณาธิการ", "Category": "ผู้หญิง",
  "Publisher": "สำนักพิมพ์ขวัญเรือน", "AuthorImage": "a.png", "PublisherImage": "p.png",
  "PrimaryCategoryImage": "c1.png", "SecondaryCategoryImage": null, "ISBN": "9786160000000",
  "FileSize": 52428800.5, "PrimaryCategoryName": "นิตยสาร", "SecondaryCategoryName": "ผู้หญิง",
  "AuthorLink": "Author/12.html", "PublisherLink": "Publisher/4.html", "PrimaryCategoryLink": "Category/1.html",
  "SecondaryCategoryLink": "Category/7.html", "Country": "TH", "VarnelSaleDate": "2014/03/01",
  "Language": "th", "SupportInteractiveImage": 1, "SupportInteractiveVideo": 0,
  "SupportInteractiveAudio": 1, "InteractiveSize": 1.5, "BestSellerPrimaryCateRank": 2,
  "BestSellerSecondaryCateRank": 5, "BestSellerRank": 40, "RemainingIssues": 3, "TotalIssues": 12,
  "BorrowDate": "01/03/2024 09:00", "DueDate": "15/03/2024 09:00", "SubscriptionRequire": 1,
  "Available": 2, "ReserverCount": 4, "ReturnDate": "15032024", "ReturnDateValue": "15/03/2024 00:00:00",
  "BookStatus": 2, "IsGetSample": 0, "ReadDirection": 1, "AsReadNow": 1, "Summary": "ฉบับปีใหม่",
  "SupportedMediaFormats": [1, 3], "ServiceOnlyField": {"kept": true}
})";

Ref<VnMagazineIssueInfo> issueWithFormats(const std::string& formats) {
    return load<VnMagazineIssueInfo>(R"({"SupportedMediaFormats":)" + formats + "}");
}

}  // namespace

TEST(VnMagazineIssueInfo, LoadsAReplyAndWritesBackWhatItLoaded) {
    auto issue = load<VnMagazineIssueInfo>(kIssueReply);
    EXPECT_EQ(issue->magazineNameSortingToken(), "0ขวัญเรือน");
    EXPECT_EQ(issue->modifiedDate_, Date{1705314030});
    EXPECT_EQ(issue->available_, 2);  // char flags carry their value
    EXPECT_DOUBLE_EQ(issue->fileSize_, 52428800.5);
    EXPECT_EQ(issue->bookKind(), 0);
    ASSERT_EQ(issue->prices_->count(), 2u);
    auto usd = issue->prices_->objectAtIndex(1).as<VnPriceInfo>();
    EXPECT_EQ(usd->currency(), 1);
    EXPECT_EQ(usd->purchaseMethod(), 2);

    // All travels back as it came, but the hash (lower-cased), the kind (from the type) and the
    // text currency of the second price (written as its number).
    expectWritesBack(issue, kIssueReply, {"Hash", "BookKind", "Prices"});
    auto view = viewOf(issue);
    EXPECT_EQ((*view)["Hash"], Value("9f86d081884c7d65"));
    EXPECT_EQ((*view)["BookKind"], Value(int32_t{0}));
    auto prices = (*view)["Prices"].array();
    EXPECT_EQ((*prices->objectAtIndex(1).dictionary())["Currency"], Value(int32_t{1}));
    for (const char* key :
         {"MagazineNameSortingToken", "IssueNameSortingToken", "IssueDateSortingToken",
          "HiddenFromLibrary", "IsSample", "PageArray", "DefaultFormat", "CoverImage"}) {
        EXPECT_FALSE(hasKey(*view, key)) << key;
    }
}

TEST(VnMagazineIssueInfo, RoundTripsThroughJsonText) {
    auto issue = load<VnMagazineIssueInfo>(kIssueReply);
    issue->finished_ = true;
    issue->setIssueName(std::string("ฉบับพิเศษ"));
    const std::string text = jsonText(issue);
    auto again = load<VnMagazineIssueInfo>(text);
    EXPECT_EQ(jsonText(again), text);
    EXPECT_TRUE(again->finished_);
    EXPECT_EQ(again->issueNameSortingToken(), "0ฉบับพิเศษ");
    EXPECT_EQ(again->issueDate(), issue->issueDate());
    EXPECT_EQ(again->varnelSaleDate_, issue->varnelSaleDate_);
    EXPECT_EQ(again->defaultFormat(), 3);
    EXPECT_EQ(again->prices_->objectAtIndex(1).as<VnPriceInfo>()->currency(), 1);

    auto made = std::make_shared<VnMagazineIssueInfo>();  // made in code, not loaded
    made->setIssueDate(Date{1393977600});
    made->type_ = "Book";
    auto read = load<VnMagazineIssueInfo>(jsonText(made));
    EXPECT_EQ(read->issueDate(), Date{1393977600});
    EXPECT_EQ(read->bookKind(), 1);
}

TEST(VnMagazineIssueInfo, DayDatesInTheirOwnTexts) {
    auto issue = load<VnMagazineIssueInfo>(
        R"({"IssueDate":"2014/03/05","VarnelSaleDate":"2014/03/01","ReturnDate":"15032024"})");
    EXPECT_EQ(issue->issueDate(), Date{1393977600});  // midnight GMT
    EXPECT_EQ(issue->varnelSaleDate_, Date{1393632000});
    EXPECT_EQ(issue->returnDateValue_, Date{1710460800});
    auto view = viewOf(issue);
    EXPECT_EQ((*view)["IssueDate"], Value("2014/03/05"));
    EXPECT_EQ((*view)["ReturnDateValue"], Value("15/03/2024 00:00:00"));

    // Other shapes give nothing, and the view falls back to the reply's text; null clears.
    auto other = load<VnMagazineIssueInfo>(
        R"({"IssueDate":"5 March 2014","VarnelSaleDate":20140301,"ReturnDate":"31022024"})");
    EXPECT_FALSE(other->issueDate() || other->varnelSaleDate_ || other->returnDateValue_);
    EXPECT_EQ((*viewOf(other))["IssueDate"], Value("5 March 2014"));
    issue->initWithJSONString(R"({"IssueDate":null})");
    EXPECT_FALSE(issue->issueDate());
    for (const char* text : {"1503202", "150320244", "15-03-2024", "๑๕๐๓๒๕๖๗"}) {
        issue->setReturnDate(std::string(text));
        EXPECT_FALSE(issue->returnDateValue_) << text;
    }
    // The return day is the same whatever the machine's zone.
    for (const char* zone : {"Asia/Bangkok", "America/New_York"}) {
        ScopedTimeZone scoped(zone);
        issue->setReturnDate(std::string("29022024"));
        EXPECT_EQ(issue->returnDateValue_, Date{1709164800}) << zone;
    }
    // A null "ReturnDateValue" beside the text does not lose the day; a server value wins.
    EXPECT_EQ(load<VnMagazineIssueInfo>(R"({"ReturnDate":"15032024","ReturnDateValue":null})")
                  ->returnDateValue_,
              Date{1710460800});
    EXPECT_EQ(load<VnMagazineIssueInfo>(
                  R"({"ReturnDate":"15032024","ReturnDateValue":"15/03/2024 17:30:00"})")
                  ->returnDateValue_,
              Date{1710523800});
}

TEST(VnMagazineIssueInfo, SupportedFormatsAndDefaultFormat) {
    for (const char* formats : {"null", "[]", "\"1,3\"", R"(["1","3"])"}) {
        auto issue = issueWithFormats(formats);
        EXPECT_TRUE(!issue->supportsContentFormat(3) && issue->defaultFormat() == 1) << formats;
    }
    EXPECT_EQ(load<VnMagazineIssueInfo>("{}")->defaultFormat(), 1);
    EXPECT_EQ(issueWithFormats("[1,3]")->defaultFormat(), 3);
    EXPECT_EQ(issueWithFormats("[3]")->defaultFormat(), 3);
    auto xmlOnly = issueWithFormats("[2]");
    EXPECT_FALSE(xmlOnly->supportsContentFormat(1) || xmlOnly->supportsContentFormat(3));
    EXPECT_EQ(xmlOnly->defaultFormat(), 1);
    EXPECT_FALSE(issueWithFormats(R"(["1"])")->supportsContentFormat(1));
    EXPECT_EQ(load<VnBookDetail>(R"({"SupportedMediaFormats":[3]})")->defaultFormat(), 3);
}

TEST(VnMagazineIssueInfo, KindFollowsTheType) {
    const std::pair<const char*, int32_t> cases[] = {{R"("Magazine")", 0},
                                                     {R"("Book")", 1},
                                                     {R"("Newspaper")", 1},
                                                     {R"("magazine")", 1},
                                                     {"null", 1}};
    for (const auto& [type, kind] : cases) {
        auto issue =
            load<VnMagazineIssueInfo>(std::string(R"({"BookKind":0,"Type":)") + type + "}");
        EXPECT_EQ(issue->bookKind(), kind) << type;
        EXPECT_EQ((*viewOf(issue))["BookKind"], Value(kind)) << type;
    }
    auto book = load<VnBookDetail>(R"({"Type":"Book"})");
    plat::setValueForKey(*book, Value(int32_t{0}), "bookKind");
    EXPECT_EQ(book->bookKind(), 1);
}

TEST(VnMagazineIssueInfo, SortingTokensAndParentCode) {
    auto issue = std::make_shared<VnMagazineIssueInfo>();
    issue->setMagazineName(std::string("Weekly"));
    EXPECT_EQ(issue->magazineNameSortingToken(), "9Weekly");
    issue->setMagazineName(std::nullopt);
    EXPECT_FALSE(issue->magazineNameSortingToken());

    // Items of one date: those of a title first, the others 60 s later.
    auto withParent = load<VnMagazineIssueInfo>(R"({"IssueDate":"2014/03/05","ParentCode":"M"})");
    auto alone = load<VnMagazineIssueInfo>(R"({"IssueDate":"2014/03/05"})");
    EXPECT_EQ(alone->issueDateSortingToken(), Date{1393977660});
    auto sorted = linq_orderBy(*plat::Array::make({Value(alone), Value(withParent)}),
                               "issueDateSortingToken");
    EXPECT_EQ(sorted->objectAtIndex(0).as<VnMagazineIssueInfo>(), withParent);
    withParent->setParentCode(std::string());  // empty is none, and drops the token
    EXPECT_FALSE(withParent->parentCode());
    EXPECT_EQ(withParent->issueDateSortingToken(), Date{1393977660});
    withParent->setIssueDate(std::nullopt);
    EXPECT_FALSE(withParent->issueDateSortingToken());
}

TEST(VnMagazineIssueInfo, MadeEmptyAndDisplayNames) {
    auto issue = std::make_shared<VnMagazineIssueInfo>();
    EXPECT_EQ(issue->printListPriceCurrency(), "THB");
    EXPECT_EQ(issue->prices_->count(), 0u);
    issue->setPrintListPriceCurrency(std::string());
    EXPECT_EQ(issue->printListPriceCurrency(), "THB");

    issue->type_ = "Magazine";
    issue->setMagazineName(std::string("Weekly"));
    issue->setIssueName(std::string("No. 12"));
    EXPECT_EQ(issue->issueFullDisplayName(), "Weekly | No. 12");
    issue->setMagazineName(std::string());
    EXPECT_EQ(issue->issueFullDisplayName(), "No. 12");
    issue->setMagazineName(std::string("Weekly"));
    issue->type_ = "Book";
    EXPECT_EQ(issue->issueFullDisplayName(), "No. 12");
}

TEST(VnMagazineIssueInfo, NullsAndBadValuesByType) {
    auto issue = load<VnMagazineIssueInfo>(kIssueReply);
    issue->initWithJSONString(R"({"Prices":null,"PrintListPrice":null,"Type":null,
        "MagazineName":null,"ParentCode":null})");
    EXPECT_EQ(issue->prices_->count(), 0u);
    EXPECT_EQ(issue->printListPrice_, 0);
    EXPECT_EQ(issue->bookKind(), 1);
    EXPECT_FALSE(issue->magazineNameSortingToken() || issue->parentCode());
    EXPECT_EQ(issue->issueName(), "ฉบับที่ 1012");  // missing keys leave their values

    auto bad = load<VnMagazineIssueInfo>(R"({"PageCount":{"n":1},"MagazineName":["x"],
        "ModifiedDate":"2024-01-15T10:20:30Z","Prices":[{"Currency":"THB"},"junk",{"Currency":2}]})");
    EXPECT_EQ(bad->pageCount_, 0);
    EXPECT_FALSE(bad->modifiedDate_ || bad->magazineName());
    ASSERT_EQ(bad->prices_->count(), 2u);
    EXPECT_EQ(bad->prices_->objectAtIndex(1).as<VnPriceInfo>()->currencyText(), "EUR");
    EXPECT_EQ(load<VnMagazineIssueInfo>(R"({"Prices":"free"})")->prices_->count(), 0u);
}

TEST(VnMagazineIssueMetaInfo, CodeKeysAndPageCodes) {
    auto both = load<VnMagazineIssueMetaInfo>(
        R"({"Code":"C-1","MagazineIssueCode":"MI-7","Hash":"AB","SortIndex":3,"TotalResultLength":250})");
    EXPECT_EQ(both->code(), "MI-7");
    EXPECT_EQ(both->totalResultLength_, 250);
    EXPECT_EQ((*viewOf(both))["Code"], Value("MI-7"));
    EXPECT_EQ(load<VnMagazineIssueMetaInfo>(R"({"Code":"C-1"})")->code(), "C-1");
    constexpr const char* titleReply = R"({"Code":"M-1","Hash":"cd","SortIndex":9})";
    expectWritesBack(load<VnMagazineMetaInfo>(titleReply), titleReply);

    auto page = load<VnPageInfo>(R"({"SourcePageIndex":12,"PresentationPageIndex":13})");
    EXPECT_EQ(page->code(), "12");
    page->setSourcePageIndex(7);
    EXPECT_EQ(page->code(), "7");
}
