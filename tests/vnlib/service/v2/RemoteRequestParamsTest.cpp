#include <gtest/gtest.h>

#include <set>

#include "platform/storage/InfoDictionary.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/dev/udid/VndUDID.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceSession.h"
#include "vnlib/service/v2/VnObjectConverter.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

using plat::Value;

namespace {

Ref<VnClientServiceSession> makeSession() {
    return std::make_shared<VnClientServiceSession>(
        *plat::Url::parse("http://127.0.0.1:9/svc"),
        std::make_shared<VnClientServiceConfiguration>());
}

std::string sentText(const Ref<VnClientServiceCommonRequest>& request) {
    return KxJsonWriter().stringWithObject(request->webMethodParams()).value_or("<error>");
}

Ref<plat::Dictionary> json(std::string_view text) {
    return objectFromJSONString(text).dictionary();
}

}  // namespace

TEST(VnClientServiceRemoteRequest, CustomParametersMergeIntoTheRequestDictionary) {
    auto session = makeSession();
    auto custom =
        plat::makeDictionary({{Value("itemCode"), Value("2")}, {Value("start"), Value(0)}});

    auto withList = session->newRequestWithWebMethod(
        "GetItem", Value(json(R"({"itemCode":"1","optionalParams":[]})")), nullptr);
    withList->setCustomParams(custom);
    EXPECT_EQ(sentText(withList),
              R"({"itemCode":"2","optionalParams":[{"Key":"start","Value":0}]})");

    auto withoutList =
        session->newRequestWithWebMethod("GetItem", Value(json(R"({"itemCode":"1"})")), nullptr);
    withoutList->setCustomParams(custom);
    EXPECT_EQ(sentText(withoutList), R"({"itemCode":"2"})");

    auto keepsOld = session->newRequestWithWebMethod(
        "GetItem", Value(json(R"({"itemCode":"1","optionalParams":[{"Key":"version"}]})")),
        nullptr);
    keepsOld->setCustomParams(custom);
    EXPECT_EQ(
        sentText(keepsOld),
        R"({"itemCode":"2","optionalParams":[{"Key":"start","Value":0},{"Key":"version","Value":null}]})");

    auto record = std::make_shared<VnClientServiceParams>();
    auto asRecord = session->newRequestWithWebMethod("GetItem", Value(record), nullptr);
    asRecord->setCustomParams(custom);
    EXPECT_EQ(sentText(asRecord), R"({"optionalParams":null})");
}

TEST(VnClientServiceRemoteRequest, ListAnswersMapElementByElement) {
    auto session = makeSession();
    auto request = session->newRequestWithWebMethod("GetThings", Value(),
                                                    &VnPurchaseProductInfo::classObject());
    auto mapped =
        request->mapReturnValue(objectFromJSONString(R"([{"ProductCode":"p1"},null,"c2"])"));
    auto list = mapped.array();
    ASSERT_EQ(list->count(), 2u);
    EXPECT_EQ(list->objectAtIndex(0).as<VnPurchaseProductInfo>()->productCode_, "p1");
    auto wrapped = list->objectAtIndex(1).as<VnPurchaseProductInfo>();
    EXPECT_EQ((*wrapped->persistentDictionary())["Code"], Value("c2"));
    EXPECT_EQ(request->mapReturnValue(Value("text")), Value("text"));

    auto boolValue =
        session->newRequestWithWebMethod("X", Value(), &VnCommonBoolReturnValue::classObject());
    auto value = boolValue
                     ->mapReturnValue(
                         Value(json(R"({"IsSuccess":true,"MessageTH":"สำเร็จ","ResultCode":5})")))
                     .as<VnCommonBoolReturnValue>();
    EXPECT_TRUE(value->isSuccess());
    EXPECT_EQ(value->messageTH(), "สำเร็จ");
    EXPECT_EQ(value->resultCode(), 5);
    EXPECT_FALSE(value->message());

    VnClientServiceRemoteRequest abstract(session);
    EXPECT_THROW(abstract.coreWebMethod(), plat::Exception);
}

TEST(VnClientServiceSession, SmallHelpersAndConfiguration) {
    auto items = VnClientServiceSession::optionalParamArrayWithDictionary(
        *json(R"({"start":0,"keyword":null,"price":2.5})"));
    // Decoded dictionaries have no key order of their own: compare the items as a set.
    std::set<std::string> texts;
    items->enumerate([&](const Value& item) {
        texts.insert(KxJsonWriter().stringWithObject(item).value_or(""));
        return true;
    });
    EXPECT_EQ(texts, (std::set<std::string>{R"({"Key":"start","Value":"0"})",
                                            R"({"Key":"keyword","Value":null})",
                                            R"({"Key":"price","Value":"2.5"})"}));
    EXPECT_EQ(KxJsonWriter()
                  .stringWithObject(Value(VnClientServiceSession::voidWebMethodParam()))
                  .value_or(""),
              R"({"optionalParams":null})");
    EXPECT_TRUE(VnValue(Value()).isNull());

    plat::InfoDictionary::setDictionary(
        plat::makeDictionary({{Value("CFBundleVersion"), Value("3.1")}}));
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->initWithDictionary(json(
        R"({"AppCode":"ORV_001","AuthorizationToken":"0123456789ABCDEF0123","StoreServiceURL":"http://x/"})"));
    EXPECT_EQ(configuration->machineID(), VndUDID::value());
    EXPECT_EQ(configuration->machineID().size(), 40u);
    EXPECT_EQ(configuration->appCode(), "ORV_001");
    auto sent = configuration->proxyForJson().dictionary();
    EXPECT_EQ((*sent)["appCode"], Value("ORV_001"));
    EXPECT_EQ((*sent)["machineID"], Value(VndUDID::value()));
    auto optional = (*sent)["optionalParams"].array();
    ASSERT_TRUE(optional);
    EXPECT_EQ((*optional->objectAtIndex(0).dictionary())["Value"], Value("3.1"));
    plat::InfoDictionary::setDictionary(nullptr);
}

namespace {
class UpperCodeConverter : public VnSelectorObjectConverter {
  public:
    using VnSelectorObjectConverter::VnSelectorObjectConverter;
    bool respondsToSelector(plat::Selector sel) const override {
        return sel == plat::Selector("codeOf:");
    }
    void forwardInvocation(plat::Invocation& inv) override {
        auto d = std::dynamic_pointer_cast<plat::Dictionary>(
            std::any_cast<Ref<plat::Object>>(inv.arguments()[0]));
        inv.setReturnValue(std::any((*d)["Code"]));
    }
};
}  // namespace

TEST(VnObjectConverter, TheBaseAnswersNothingAndTheSelectorFormAsksItself) {
    auto d = json(R"({"Code":"x"})");
    EXPECT_TRUE(VnObjectConverter().objectWithDictionary(d).isNil());
    auto converter = std::make_shared<UpperCodeConverter>(plat::Selector("codeOf:"));
    EXPECT_EQ(converter->objectWithDictionary(d), Value("x"));
    EXPECT_TRUE(std::make_shared<VnSelectorObjectConverter>(plat::Selector("missing:"))
                    ->objectWithDictionary(d)
                    .isNil());
    auto item =
        VnInfoBase::withDictionary<VnOptionalParamItem>(json(R"({"Key":"start","Value":"0"})"));
    EXPECT_EQ(item->Key, "start");
}
