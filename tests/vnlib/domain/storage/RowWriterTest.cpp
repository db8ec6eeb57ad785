// A record's row is written by the compact writer straight from the record where it can (texts
// and scalars of its properties), and the general way elsewhere. Both must give the same bytes:
// the rows stored before must read back, and be written again unchanged. Each row here is
// compared with the text of the view's own enumeration, copied into plain collections.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/core/Property.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/dev/util/VndObjectProxyDictionary.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/member/VnAccountInfo.h"

// Properties of every type a record may declare, one written its own way.
class VnRowKindsRecord : public VnInfo {
    PLAT_CLASS(VnRowKindsRecord)
  public:
    std::string title_;
    std::optional<std::string> note_;
    std::optional<std::string> shown_;  // written its own way
    bool flag_ = false;                 // declared BOOL ("c")
    bool truth_ = false;                // declared bool ("B")
    int16_t small_ = 0;
    uint32_t count_ = 0;
    int64_t big_ = 0;
    uint64_t huge_ = 0;
    float ratio_ = 0;
    double amount_ = 0;
    std::optional<plat::Date> when_;
    Ref<VnPriceInfo> price_;
    Ref<plat::Array> prices_;

    std::string upperTitle() const { return title_ + "!"; }  // no text of its own to lend

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override {
        return name == "prices" ? &VnPriceInfo::classObject() : nullptr;
    }
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override {
        if (name == "shown")
            return plat::Value(std::string("shown as ") + shown_.value_or("nothing"));
        return VnInfo::serializedValueForProperty(name, property, transient);
    }
    std::vector<std::string> propertiesSerializedTheirOwnWay() const override {
        auto names = VnInfo::propertiesSerializedTheirOwnWay();
        names.push_back("shown");
        return names;
    }
};

PLAT_DEFINE_CLASS(VnRowKindsRecord, VnInfo, [](auto& c) {
    using R = VnRowKindsRecord;
    c.property("title", "T@\"NSString\",C,N,Vtitle_", &R::title_)
        .property("note", "T@\"NSString\",C,N,Vnote_", &R::note_)
        .property("shown", "T@\"NSString\",C,N,Vshown_", &R::shown_)
        .property("flag", "Tc,N,Vflag_", &R::flag_)
        .property("truth", &R::truth_)
        .property("small", &R::small_)
        .property("count", &R::count_)
        .property("big", &R::big_)
        .property("huge", &R::huge_)
        .property("ratio", &R::ratio_)
        .property("amount", "Td,N,Vamount_", &R::amount_)
        .property("when", "T@\"NSDate\",C,N,Vwhen_", &R::when_)
        .property("price", "T@\"VnPriceInfo\",&,N,Vprice_", &R::price_)
        .property("prices", "T@\"NSArray\",&,N,Vprices_", &R::prices_)
        .property("upperTitle", "T@\"NSString\",R,C,N", &R::upperTitle);
})

namespace {

// The value with every dictionary and array copied, entry by entry, as they enumerate.
plat::Value enumeratedCopy(const plat::Value& value) {
    if (auto dictionary = value.dictionary()) {
        std::vector<std::pair<plat::Value, plat::Value>> entries;
        dictionary->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
            entries.emplace_back(k, enumeratedCopy(v));
            return true;
        });
        return plat::Value(plat::MutableDictionary::make(std::move(entries)));
    }
    if (auto array = value.array()) {
        std::vector<plat::Value> elements;
        array->enumerate([&](const plat::Value& element) {
            elements.push_back(enumeratedCopy(element));
            return true;
        });
        return plat::Value(plat::Array::make(std::move(elements)));
    }
    return value;
}

std::optional<std::string> rowText(const Ref<VnInfoBase>& record) {
    return JSONStringWithOptions(record->proxyForJson().dictionary(), 0, nullptr);
}

std::optional<std::string> enumeratedText(const Ref<VnInfoBase>& record) {
    return JSONStringWithOptions(enumeratedCopy(record->proxyForJson()).dictionary(), 0, nullptr);
}

void expectSameRow(const Ref<VnInfoBase>& record) {
    const auto direct = rowText(record);
    ASSERT_TRUE(direct) << record->className();
    EXPECT_EQ(direct, enumeratedText(record)) << record->className();
}

Ref<VnInfoBase> loaded(const plat::Class& cls, std::string_view json) {
    auto record = std::dynamic_pointer_cast<VnInfoBase>(cls.make());
    record->initWithJSONString(json);
    return record;
}

// Keys of every catalogue class at once, with texts that need escapes, Thai text, numbers of
// every kind, nulls, dates, nested prices and keys no class maps.
constexpr std::string_view kReply = R"({
  "Code": "C-1 \"q\" \\ /", "Hash": "ABC", "MagazineName": "ชีวจิต\u0001", "IssueName": null,
  "MagazineCode": "M-1", "CategoryName": "ไลฟ์สไตล์", "Name": "tab\there", "Title": "é 😀",
  "Prices": [{"Code": "P1", "Price": 99.5, "Currency": 0, "Method": "INAPP", "Odd": [1]},
             {"Code": null, "Price": -0.1, "Currency": "USD", "PriceText": "฿"}],
  "Price": {"Code": "P9", "Price": 1e300}, "PageCount": 12, "FileSize": 1.5e7,
  "IssueDate": "2024/02/29", "ModifiedDate": "15/01/2024 10:20:30", "Revision": -3,
  "IsPurchased": true, "IsFreeContent": 0, "PrintListPrice": 0.30000000000000004,
  "SortIndex": 2147483647, "Summary": "line\nbreak\r\b\f", "Available": "yes",
  "BorrowDate": 20240101, "PageIndex": 4, "Period": 30, "Points": 12345678901,
  "Unmapped": {"Deep": [true, null, "ลึก"]}, "UnmappedNull": null, "Empty": ""
})";

TEST(RowWriter, EveryCatalogueClassGivesTheEnumeratedText) {
    const plat::Class* classes[] = {&VnMagazineCategoryInfo::classObject(),
                                    &VnMagazineInfo::classObject(),
                                    &VnMagazineIssueInfo::classObject(),
                                    &VnBookDetail::classObject(),
                                    &VnMagazineIssueMetaInfo::classObject(),
                                    &VnMagazineMetaInfo::classObject(),
                                    &VnPageInfo::classObject(),
                                    &VnPriceInfo::classObject(),
                                    &VnSubscriptionOptionInfo::classObject(),
                                    &VnUserSubscriptionInfo::classObject(),
                                    &VnHaldenSubscriptionInfo::classObject(),
                                    &VnUserPointsInfo::classObject(),
                                    &VnAccountInfo::classObject()};
    for (const plat::Class* cls : classes) {
        expectSameRow(loaded(*cls, kReply));
        expectSameRow(loaded(*cls, "{}"));
        expectSameRow(std::dynamic_pointer_cast<VnInfoBase>(cls->make()));
    }

    // Values lost or changed after loading: those lost are written as they were loaded.
    auto issue = std::dynamic_pointer_cast<VnMagazineIssueInfo>(
        loaded(VnMagazineIssueInfo::classObject(), kReply));
    issue->setMagazineName(std::nullopt);
    issue->setCode(std::nullopt);
    issue->setIssueName(std::string("ฉบับ \"พิเศษ\""));
    issue->author_ = std::string("\x7f");
    issue->printListPrice_ = -1e-300;
    issue->modifiedDate_.reset();
    expectSameRow(issue);
    const auto text = rowText(issue).value_or("");
    EXPECT_NE(text.find(R"("MagazineName":"ชีวจิต\u0001")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("Code":"C-1 \"q\" \\ /")"), std::string::npos) << text;
}

TEST(RowWriter, EveryPropertyKindAndTheOwnWayOne) {
    auto record =
        std::dynamic_pointer_cast<VnRowKindsRecord>(loaded(VnRowKindsRecord::classObject(), R"({
      "Code": "K", "Title": "ทดสอบ \"x\"", "Note": null, "Shown": "s", "Flag": true,
      "Truth": 1, "Small": -7, "Count": 4000000000, "Big": -9007199254740993,
      "Huge": 18446744073709551615, "Ratio": 0.1, "Amount": 2.5, "When": "29/02/2024 01:02:03",
      "Price": {"Code": "P", "Price": 3}, "Prices": [{"Code": "A"}, {"Code": "B", "Odd": 1}],
      "UpperTitle": "loaded", "Other": [1, "two"]
    })"));
    expectSameRow(record);
    const auto text = rowText(record).value_or("");
    EXPECT_NE(text.find(R"("Shown":"shown as s")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("Truth":true,"Small":-7,"Count":4000000000)"), std::string::npos)
        << text;
    EXPECT_NE(text.find(R"("Ratio":0.10000000149011612)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("UpperTitle":"ทดสอบ \"x\"!")"), std::string::npos) << text;

    // A view made of the record as a plain object writes the same.
    auto asObject = std::make_shared<VndObjectProxyDictionary>(Ref<plat::Object>(record),
                                                               VnInfoBase::sharedWriteFormatter());
    asObject->setPersistentDictionary(record->persistentDictionary());
    EXPECT_EQ(JSONStringWithOptions(Ref<plat::Dictionary>(asObject), 0, nullptr), text);
    // One given the copy of a record of another class takes its keys as keys of its own.
    auto other = loaded(VnMagazineIssueInfo::classObject(), kReply);
    auto mixed =
        std::make_shared<VndObjectProxyDictionary>(record, VnInfoBase::sharedWriteFormatter());
    mixed->setPersistentDictionary(other->persistentDictionary());
    const auto mixedText = JSONStringWithOptions(Ref<plat::Dictionary>(mixed), 0, nullptr);
    EXPECT_EQ(mixedText,
              JSONStringWithOptions(enumeratedCopy(plat::Value(mixed)).dictionary(), 0, nullptr));
    EXPECT_NE(mixedText.value_or("").find(R"("MagazineName":"ชีวจิต\u0001")"), std::string::npos);

    auto empty = std::make_shared<VnRowKindsRecord>();
    expectSameRow(empty);
    EXPECT_NE(rowText(empty).value_or("").find(R"("Note":null,"Shown":"shown as nothing")"),
              std::string::npos);
}

// What the general way refuses, the direct way refuses as well.
TEST(RowWriter, RefusedValuesFailTheWholeRow) {
    auto record = std::make_shared<VnRowKindsRecord>();
    record->title_ = "bad \xff byte";
    EXPECT_FALSE(rowText(record));
    EXPECT_FALSE(enumeratedText(record));
    record->title_ = "ok";
    record->amount_ = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(rowText(record));
    EXPECT_FALSE(enumeratedText(record));
    record->amount_ = 1;
    EXPECT_TRUE(rowText(record));
}

}  // namespace
