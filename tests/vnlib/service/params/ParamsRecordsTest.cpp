#include <gtest/gtest.h>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/service/params/VnGetMagazineIssueInfosParams.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"

using plat::Value;

namespace {

std::string jsonText(const Ref<VnInfoBase>& record) {
    KxJsonWriter writer;
    writer.setSortKeys(true);
    return writer.stringWithObject(record->proxyForJson()).value_or("<failed>");
}

Value numbers(std::initializer_list<int32_t> values) {
    std::vector<Value> list(values.begin(), values.end());
    return Value(plat::Array::make(std::move(list)));
}

}  // namespace

TEST(VnClientServiceParams, OptionalParamsAreAKeyValueListOrNull) {
    auto params = std::make_shared<VnGetMetaMagazineIssueInfosParams>();
    params->initWithCode(std::string("MAG-KR"), std::string("Libraries"), {40, 20});
    EXPECT_EQ(jsonText(params),
              R"({"length":20,"magazineCode":"MAG-KR","magazineType":"Libraries",)"
              R"("optionalParams":null,"start":40})");
    params->optionalParams()->setObject(Value("ไทย"), Value("language"));
    params->optionalParams()->setObject(Value(int32_t{3}), Value("version"));
    auto written = objectFromJSONString(jsonText(params)).dictionary();
    EXPECT_EQ(
        (*written)["optionalParams"],
        objectFromJSONString(R"([{"Key":"language","Value":"ไทย"},{"Key":"version","Value":3}])"));

    // The identity key rule still reads the capitalised key first.
    auto request = std::make_shared<VnRequestAssetInfo>();
    request->initWithJSONString(R"({"Width":100,"width":200,"height":300})");
    EXPECT_EQ(request->width(), 100);
    EXPECT_EQ(request->height(), 300);
}

TEST(VnRequestAssetInfo, FormatTravelsUnderType) {
    auto ids = plat::MutableArray::make({Value(int32_t{3}), Value(int32_t{4})});
    auto request = VnRequestAssetInfo::requestWithId(std::nullopt, std::string(VnAssetFormat_JPEG),
                                                     std::string(VnAssetIdType_Page), ids);
    request->setWidth(768);
    ids->addObject(Value(int32_t{5}));  // the caller's list is not the request's
    const std::string text = jsonText(request);
    EXPECT_EQ(text, R"({"Type":"JPG","fileIdType":"PAGE","fileIds":[3,4],"height":0,)"
                    R"("optionalParams":null,"requestId":null,"width":768})");

    auto again = std::make_shared<VnRequestAssetInfo>();
    again->initWithJSONString(text);
    EXPECT_EQ(again->fileFormat(), "JPG");  // "Type" lands in fileFormat
    EXPECT_EQ(again->fileIdType(), "PAGE");
    EXPECT_EQ(Value(again->fileIds()), numbers({3, 4}));
    EXPECT_EQ(again->width(), 768);
}

TEST(VnRequestAssetInfo, PagesOfPageInfosAsNumbers) {
    std::vector<Value> pages;
    for (int32_t index : {7, 2, 9}) {
        auto page = std::make_shared<VnPageInfo>();
        page->setSourcePageIndex(index);
        pages.emplace_back(page);
    }
    auto request = VnRequestAssetInfo::requestWithPageInfos(*plat::Array::make(std::move(pages)),
                                                            std::string(VnAssetFormat_PDF));
    EXPECT_FALSE(request->requestId());
    EXPECT_EQ(request->fileIdType(), "PAGE");
    EXPECT_EQ(Value(request->fileIds()), numbers({7, 2, 9}));
    EXPECT_TRUE(request->fileIds()->objectAtIndex(0).isNumber());
}

TEST(VnGetMetaMagazineIssueInfosParams, RangeAndBookCategory) {
    auto byCategory = std::make_shared<VnGetMetaMagazineIssueInfosParams>();
    byCategory->initWithType(std::string("Shops"), std::string("นิยาย"), {0, 200});
    EXPECT_EQ(byCategory->bookCategory(), "นิยาย");
    EXPECT_EQ(jsonText(byCategory), R"({"length":200,"magazineCode":null,"magazineType":"Shops",)"
                                    R"("optionalParams":null,"start":0})");
    // Only the low 32 bits of each range value travel.
    auto wide = std::make_shared<VnGetMetaMagazineIssueInfosParams>();
    wide->initWithCode(std::string("M"), std::string("Features"),
                       {(1ULL << 32) + 5, 0xFFFFFFFFULL});
    EXPECT_EQ(wide->start(), 5);
    EXPECT_EQ(wide->length(), -1);

    auto codes = plat::MutableArray::make({Value("MI-1"), Value("MI-2")});
    auto params = std::make_shared<VnGetMagazineIssueInfosParams>();
    params->initWithMagazineIssueCodes(codes);
    codes->addObject(Value("MI-3"));
    EXPECT_EQ(jsonText(params), R"({"magazineIssueCodes":["MI-1","MI-2"],"optionalParams":null})");
}
