// The text that the local tables store for a record is written through the record's dictionary
// view. Rows written by earlier versions must read back, and a record written again must give
// the very same bytes, so these texts are pinned here byte for byte.
#include <gtest/gtest.h>

#include "RecordTestClasses.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnAccountInfo.h"

namespace {

std::string rowText(const Ref<VnInfoBase>& record) {
    return JSONStringWithOptions(record->proxyForJson().dictionary(), 0, nullptr)
        .value_or("<failed>");
}

template <class T>
Ref<T> loaded(std::string_view json) {
    auto record = std::make_shared<T>();
    record->initWithJSONString(json);
    return record;
}

// Written, read back into a fresh record and written again: the same bytes.
template <class T>
void expectStableRow(const Ref<T>& record, const std::string& expected) {
    const std::string text = rowText(record);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(rowText(loaded<T>(text)), expected);
    EXPECT_EQ(rowText(record), expected) << "a second write of the same record";
}

// A catalogue item as the lending service answers it: Thai names, a list of prices, dates in
// two formats, nulls, a value of the wrong kind, an empty parent code and keys the record does
// not map (one of them nested).
constexpr std::string_view kIssueReply = R"({
  "Code": "ISS-0042", "Hash": "ABCDEF0123", "MagazineName": "ชีวจิต", "IssueName": "ฉบับที่ 42",
  "HeadCode": null, "ModifiedDate": "15/01/2024 10:20:30", "PageCount": 120, "ParentCode": "",
  "Prices": [{"Code": "P1", "Price": 99.5, "Currency": 0, "PriceText": "฿99.50",
              "Method": "INAPP", "Extra": [1, 2]},
             {"Code": "P2", "Price": 0, "Currency": "USD", "Method": null}],
  "IssueDate": "2024/02/29", "CoverUrl": "https://covers.example/42.jpg", "IsPurchased": true,
  "Type": "Magazine", "ItemCode": null, "IsFreeContent": false, "PrintListPrice": 120.25,
  "Revision": 7, "Author": "สมชาย ใจดี", "Category": "ไลฟ์สไตล์", "FileSize": 1.5e7,
  "Language": "th", "BestSellerRank": "12", "Available": "yes", "ReturnDate": "01032024",
  "Summary": "บรรยาย \"quoted\" \\ slash\nline\ttab é 😀", "SupportedMediaFormats": [1, 3],
  "UnmappedObject": {"Nested": [true, null, {"Deep": "ลึก"}], "Empty": {}},
  "UnmappedNull": null, "BorrowDate": 20240101, "VarnelSaleDate": "bad date"
})";

TEST(StoredRowText, CatalogueItemFromAReplyAndAfterLocalChanges) {
    auto item = loaded<VnMagazineIssueInfo>(kIssueReply);
    expectStableRow(
        item,
        R"row({"MagazineName":"ชีวจิต","IssueName":"ฉบับที่ 42","HeadCode":null,"ModifiedDate":"15/01/2024 10:20:30","PageCount":120,"ParentCode":"","Prices":[{"Currency":0,"Price":99.5,"PriceText":"฿99.50","Method":"INAPP","PurchaseCode":null,"InAppID":null,"IsTest":0,"LumoCardRewards":0,"PurchaseMethod":3,"Code":"P1","Extra":[1,2]},{"Currency":1,"Price":0,"PriceText":null,"Method":null,"PurchaseCode":null,"InAppID":null,"IsTest":0,"LumoCardRewards":0,"PurchaseMethod":1,"Code":"P2"}],"PricesExpire":null,"IssueDate":"2024/02/29","CoverUrl":"https://covers.example/42.jpg","IsPurchased":1,"BookKind":0,"Type":"Magazine","ItemCode":null,"IsFreeContent":0,"PrintListPriceCurrency":"THB","PrintListPrice":120.25,"Revision":7,"SortIndex":0,"Finished":0,"Readed":0,"Author":"สมชาย ใจดี","Category":"ไลฟ์สไตล์","Publisher":null,"AuthorImage":null,"PublisherImage":null,"PrimaryCategoryImage":null,"SecondaryCategoryImage":null,"ISBN":null,"FileSize":15000000,"PrimaryCategoryName":null,"SecondaryCategoryName":null,"AuthorLink":null,"PublisherLink":null,"PrimaryCategoryLink":null,"SecondaryCategoryLink":null,"Country":null,"VarnelSaleDate":"bad date","Language":"th","SupportInteractiveImage":0,"SupportInteractiveVideo":0,"SupportInteractiveAudio":0,"InteractiveSize":0,"BestSellerPrimaryCateRank":0,"BestSellerSecondaryCateRank":0,"BestSellerRank":12,"RemainingIssues":0,"TotalIssues":0,"BorrowDate":"20240101","DueDate":null,"SubscriptionRequire":0,"Available":0,"ReserverCount":0,"ReturnDate":"01032024","ReturnDateValue":"01/03/2024 00:00:00","BookStatus":0,"IsGetSample":0,"ReadDirection":0,"AsReadNow":0,"Summary":"บรรยาย \"quoted\" \\ slash\nline\ttab é 😀","Hash":"abcdef0123","Code":"ISS-0042","SupportedMediaFormats":[1,3],"UnmappedObject":{"Nested":[true,null,{"Deep":"ลึก"}],"Empty":{}},"UnmappedNull":null})row");

    auto changed = loaded<VnMagazineIssueInfo>(kIssueReply);
    changed->readed_ = true;
    changed->sortIndex_ = 5;
    changed->setIssueName(std::string("ฉบับพิเศษ"));
    changed->prices_ = plat::Array::make({});
    expectStableRow(
        changed,
        R"row({"MagazineName":"ชีวจิต","IssueName":"ฉบับพิเศษ","HeadCode":null,"ModifiedDate":"15/01/2024 10:20:30","PageCount":120,"ParentCode":"","Prices":[],"PricesExpire":null,"IssueDate":"2024/02/29","CoverUrl":"https://covers.example/42.jpg","IsPurchased":1,"BookKind":0,"Type":"Magazine","ItemCode":null,"IsFreeContent":0,"PrintListPriceCurrency":"THB","PrintListPrice":120.25,"Revision":7,"SortIndex":5,"Finished":0,"Readed":1,"Author":"สมชาย ใจดี","Category":"ไลฟ์สไตล์","Publisher":null,"AuthorImage":null,"PublisherImage":null,"PrimaryCategoryImage":null,"SecondaryCategoryImage":null,"ISBN":null,"FileSize":15000000,"PrimaryCategoryName":null,"SecondaryCategoryName":null,"AuthorLink":null,"PublisherLink":null,"PrimaryCategoryLink":null,"SecondaryCategoryLink":null,"Country":null,"VarnelSaleDate":"bad date","Language":"th","SupportInteractiveImage":0,"SupportInteractiveVideo":0,"SupportInteractiveAudio":0,"InteractiveSize":0,"BestSellerPrimaryCateRank":0,"BestSellerSecondaryCateRank":0,"BestSellerRank":12,"RemainingIssues":0,"TotalIssues":0,"BorrowDate":"20240101","DueDate":null,"SubscriptionRequire":0,"Available":0,"ReserverCount":0,"ReturnDate":"01032024","ReturnDateValue":"01/03/2024 00:00:00","BookStatus":0,"IsGetSample":0,"ReadDirection":0,"AsReadNow":0,"Summary":"บรรยาย \"quoted\" \\ slash\nline\ttab é 😀","Hash":"abcdef0123","Code":"ISS-0042","SupportedMediaFormats":[1,3],"UnmappedObject":{"Nested":[true,null,{"Deep":"ลึก"}],"Empty":{}},"UnmappedNull":null})row");
}

TEST(StoredRowText, RecordsMadeInCodeAndFromAnEmptyReply) {
    auto made = std::make_shared<VnMagazineIssueInfo>();
    made->setCode(std::string("LOCAL-1"));
    made->setMagazineName(std::string("Local title"));
    made->setIssueDate(plat::Date{1700000000});
    expectStableRow(
        made,
        R"row({"MagazineName":"Local title","IssueName":null,"HeadCode":null,"ModifiedDate":null,"PageCount":0,"ParentCode":null,"Prices":[],"PricesExpire":null,"IssueDate":"2023/11/14","CoverUrl":null,"IsPurchased":0,"BookKind":1,"Type":null,"ItemCode":null,"IsFreeContent":0,"PrintListPriceCurrency":"THB","PrintListPrice":0,"Revision":0,"SortIndex":0,"Finished":0,"Readed":0,"Author":null,"Category":null,"Publisher":null,"AuthorImage":null,"PublisherImage":null,"PrimaryCategoryImage":null,"SecondaryCategoryImage":null,"ISBN":null,"FileSize":0,"PrimaryCategoryName":null,"SecondaryCategoryName":null,"AuthorLink":null,"PublisherLink":null,"PrimaryCategoryLink":null,"SecondaryCategoryLink":null,"Country":null,"VarnelSaleDate":null,"Language":null,"SupportInteractiveImage":0,"SupportInteractiveVideo":0,"SupportInteractiveAudio":0,"InteractiveSize":0,"BestSellerPrimaryCateRank":0,"BestSellerSecondaryCateRank":0,"BestSellerRank":0,"RemainingIssues":0,"TotalIssues":0,"BorrowDate":null,"DueDate":null,"SubscriptionRequire":0,"Available":0,"ReserverCount":0,"ReturnDate":null,"ReturnDateValue":null,"BookStatus":0,"IsGetSample":0,"ReadDirection":0,"AsReadNow":0,"Summary":null,"Hash":null,"Code":"LOCAL-1"})row");

    expectStableRow(
        loaded<VnMagazineIssueInfo>("{}"),
        R"row({"MagazineName":null,"IssueName":null,"HeadCode":null,"ModifiedDate":null,"PageCount":0,"ParentCode":null,"Prices":[],"PricesExpire":null,"IssueDate":null,"CoverUrl":null,"IsPurchased":0,"BookKind":1,"Type":null,"ItemCode":null,"IsFreeContent":0,"PrintListPriceCurrency":"THB","PrintListPrice":0,"Revision":0,"SortIndex":0,"Finished":0,"Readed":0,"Author":null,"Category":null,"Publisher":null,"AuthorImage":null,"PublisherImage":null,"PrimaryCategoryImage":null,"SecondaryCategoryImage":null,"ISBN":null,"FileSize":0,"PrimaryCategoryName":null,"SecondaryCategoryName":null,"AuthorLink":null,"PublisherLink":null,"PrimaryCategoryLink":null,"SecondaryCategoryLink":null,"Country":null,"VarnelSaleDate":null,"Language":null,"SupportInteractiveImage":0,"SupportInteractiveVideo":0,"SupportInteractiveAudio":0,"InteractiveSize":0,"BestSellerPrimaryCateRank":0,"BestSellerSecondaryCateRank":0,"BestSellerRank":0,"RemainingIssues":0,"TotalIssues":0,"BorrowDate":null,"DueDate":null,"SubscriptionRequire":0,"Available":0,"ReserverCount":0,"ReturnDate":null,"ReturnDateValue":null,"BookStatus":0,"IsGetSample":0,"ReadDirection":0,"AsReadNow":0,"Summary":null,"Hash":null,"Code":null})row");
}

TEST(StoredRowText, EveryPropertyKindWithNestedRecords) {
    auto record = loaded<VnTestRecord>(R"({
      "Code": "R1", "Hash": "FF00", "Name": "ทดสอบ", "PageCount": null, "IsFree": 1,
      "Price": 12.75, "FileSize": 12345678901, "Published": "29/02/2024 00:00:00",
      "Children": [{"Code": "C1", "Count": 2, "Own": "kept"}, 5,
                   {"Code": "C2", "Count": null}],
      "Numbers": [1, 2], "Tags": ["a", 1, null], "Options": [{"Key": "a", "Value": 1}, {"Key": "b", "Value": "สอง"}],
      "Main": {"Code": "M", "Count": 9, "Other": 1}, "Id": "id-1",
      "EBook": "e-1", "Secret": "not written", "Missing": null
    })");
    expectStableRow(
        record,
        R"row({"Name":"ทดสอบ","PageCount":0,"IsFree":1,"Price":12.75,"FileSize":12345678901,"Published":"29/02/2024 00:00:00","Children":[{"Count":2,"Code":"C1","Own":"kept"},{"Count":0,"Code":"C2"}],"Numbers":[],"Tags":["a",1,null],"Options":{"a":1,"b":"สอง"},"Main":{"Count":9,"Code":"M"},"Id":"id-1","EBook":"e-1","Hash":"ff00","Code":"R1","Secret":"not written","Missing":null})row");

    auto nulls =
        loaded<VnTestRecord>(R"({"Children": null, "Options": null, "Main": null, "Numbers": null,
      "Tags": null, "Published": null, "Name": null, "Id": null})");
    expectStableRow(
        nulls,
        R"row({"Name":null,"PageCount":0,"IsFree":0,"Price":0,"FileSize":0,"Published":null,"Children":[],"Numbers":[],"Tags":null,"Options":null,"Main":{"Count":0,"Code":null},"Id":null,"EBook":null,"Hash":null,"Code":null})row");
}

TEST(StoredRowText, RecordWithItsOwnValueHooks) {
    auto account = loaded<VnAccountInfo>(R"({"Code": "A1", "Email": "me@example.com",
      "FirstName": "สมหญิง", "UserId": 17, "IsLumoCardUser": true,
      "LumoCardLastUpdate": "2024/01/15", "LumoCardPointExpireDate": null})");
    expectStableRow(
        account,
        R"row({"Email":"A1","FirstName":"สมหญิง","LastName":null,"UserId":17,"IsLumoCardUser":1,"LumoCardNumber":null,"LumoCardCurrentRewardPoints":0,"LumoCardLastUpdate":"2024/01/15","LumoCardExpiringPoints":0,"LumoCardPointExpireDate":null,"Code":"A1"})row");
}

// A record keeps nothing of the decoded reply: once the reply is dropped it is freed, while
// what the record kept still reads as the dictionary it was loaded from, entry for entry and in
// order, and a value that a property has lost since is written as it was loaded.
TEST(StoredRowText, RecordsKeepNothingOfTheDecodedReply) {
    const std::string reply = "[" + std::string(kIssueReply) + "," + std::string(kIssueReply) + "]";
    WeakRef<plat::Object> decoded;
    Ref<plat::MutableArray> items;
    {
        auto list = objectFromJSONString(reply).array();
        ASSERT_TRUE(list);
        decoded = list;
        items = VnInfoBase::arrayFromDictionaryArray(VnMagazineIssueInfo::classObject(), *list);
    }
    EXPECT_TRUE(decoded.expired()) << "the records keep the decoded reply alive";
    ASSERT_EQ(items->count(), 2u);
    auto item = items->objectAtIndex(0).as<VnMagazineIssueInfo>();
    auto price = item->prices_->objectAtIndex(0).as<VnInfoBase>();

    auto fresh = objectFromJSONString(kIssueReply).dictionary();
    const auto kept = item->persistentDictionary();
    EXPECT_EQ(kept->count(), fresh->count());
    EXPECT_EQ(kept->allKeys(), fresh->allKeys());
    EXPECT_EQ(kept->allValues(), fresh->allValues());
    EXPECT_EQ((*kept)["Summary"], (*fresh)["Summary"]);
    EXPECT_EQ((*kept)["UnmappedObject"], (*fresh)["UnmappedObject"]);
    EXPECT_TRUE((*kept)["HeadCode"].isNull());
    EXPECT_TRUE((*kept)["NotThere"].isNil());
    EXPECT_EQ((*price->persistentDictionary())["Extra"],
              (*fresh)["Prices"].array()->objectAtIndex(0).dictionary()->objectForKey("Extra"));

    // Properties that lost their values write them as loaded.
    item->setMagazineName(std::nullopt);
    item->author_.reset();
    item->modifiedDate_.reset();
    const std::string text = rowText(item);
    EXPECT_NE(text.find(R"("MagazineName":"ชีวจิต")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("Author":"สมชาย ใจดี")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("ModifiedDate":"15/01/2024 10:20:30")"), std::string::npos) << text;
}

// The writer reads a record's texts in place; anyone else who reads the view gets texts of their
// own. A text kept from the writer's reading keeps its record alive.
TEST(StoredRowText, TextsAreLentOnlyToTheWriter) {
    auto item = loaded<VnMagazineIssueInfo>(kIssueReply);
    const auto view = item->proxyForJson().dictionary();
    ASSERT_TRUE(view);

    const plat::Value copied = view->objectForKey("Author");
    plat::Value enumerated;
    view->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        if (key.stringView() == "Author")
            enumerated = value;
        return true;
    });
    plat::Value lent;
    view->enumerateKeysAndTransientObjects([&](const plat::Value& key, const plat::Value& value) {
        if (key.stringView() == "Summary")
            lent = value;
        return true;
    });
    item->author_ = std::nullopt;
    EXPECT_EQ(copied.stringView(), "สมชาย ใจดี");
    EXPECT_EQ(enumerated.stringView(), "สมชาย ใจดี");

    const WeakRef<VnMagazineIssueInfo> weak = item;
    item.reset();
    EXPECT_FALSE(weak.expired()) << "the lent text keeps its record";
    EXPECT_EQ(lent.stringView(), "บรรยาย \"quoted\" \\ slash\nline\ttab é 😀");
    lent = plat::Value();
    EXPECT_TRUE(weak.expired());
}

}  // namespace

namespace {

// The same record loaded from the reader's dictionary and from a platform dictionary with the
// same entries (which is looked up key by key).
template <class T>
void expectLoadedAlike(const std::string& json) {
    auto decoded = objectFromJSONString(json).dictionary();
    ASSERT_TRUE(decoded) << json;
    std::vector<std::pair<plat::Value, plat::Value>> entries;
    decoded->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
        entries.emplace_back(k, v);
        return true;
    });
    auto fromReader = std::make_shared<T>();
    fromReader->initWithDictionary(decoded);
    auto fromPlatform = std::make_shared<T>();
    fromPlatform->initWithDictionary(plat::makeDictionary(std::move(entries)));
    EXPECT_EQ(fromReader->description(), fromPlatform->description()) << json;
    EXPECT_EQ(rowText(fromReader), rowText(fromPlatform)) << json;
}

}  // namespace

// A reply's records are loaded by walking each one's keys once, remembering the keys between
// records: whatever the keys and their order from one record to the next, the records equal
// those loaded key by key. Covered: keys under which a property is looked up second (a magazine's
// "RealPrice"), two properties of one key ("Hash"), setters whose order matters (the parent code
// and the issue date's sorting token, the return date and its day), nested records of the record's
// own class and of others, and values of the wrong kind.
TEST(StoredRowText, RecordsOfAReplyLoadAsKeyByKey) {
    // The reply's keys in the reverse order.
    std::vector<std::pair<plat::Value, plat::Value>> entries;
    objectFromJSONString(kIssueReply)
        .dictionary()
        ->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
            entries.emplace(entries.begin(), k, v);
            return true;
        });
    const std::string reversed =
        JSONStringWithOptions(plat::makeDictionary(std::move(entries)), 0, nullptr).value_or("");
    ASSERT_EQ(reversed.rfind(R"({"VarnelSaleDate":)", 0), 0u) << reversed;
    for (int round = 0; round < 2; ++round) {
        expectLoadedAlike<VnMagazineIssueInfo>(std::string(kIssueReply));
        expectLoadedAlike<VnMagazineIssueInfo>(reversed);
        expectLoadedAlike<VnMagazineIssueInfo>(R"({"Code":"X","ParentCode":"T1",
            "IssueDate":"2024/01/01","ReturnDateValue":null,"ReturnDate":"bad","Prices":7})");
        expectLoadedAlike<VnMagazineIssueInfo>(R"({"IssueDate":"2024/01/01","ParentCode":"",
            "ReturnDate":"02032024","ReturnDateValue":"01/01/2020 00:00:00","Code":null})");
        expectLoadedAlike<VnMagazineInfo>(R"({"Code":"M1","Name":"ชีวจิต","RealPrice":50,
            "PealPrice":60,"RealPriceCurrency":"USD","Hash":"AbC","Description":"d",
            "LatestIssue":{"Code":"I1","MagazineName":"n","Prices":[{"Code":"P"}]},
            "Subscriptions":[{"Code":"S1"},null,{"Code":"S2"}]})");
        expectLoadedAlike<VnMagazineInfo>(R"({"RealPrice":"free","Hash":null,"Code":"M2"})");
        expectLoadedAlike<VnTestRecord>(R"({"Code":"T","Children":[{"Code":"c1","Count":2}],
            "Main":{"Code":"m","Count":"x"},"Name":5,"Id":"i","EBook":"e","Tags":"not a list"})");
        expectLoadedAlike<VnTestRecord>(R"({})");
    }
}
