#include "vnlib/info/catalogue/VnPriceInfo.h"

#include <map>

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnPriceInfo, VnInfo, [](auto& c) {
    c.property("currencyText", "T@\"NSString\",R,C,N,VcurrencyText_", &VnPriceInfo::currencyText)
        .property("currency", "Ti,N,Vcurrency_", &VnPriceInfo::currency, &VnPriceInfo::setCurrency)
        .property("price", "Td,N,Vprice_", &VnPriceInfo::price_)
        .property("priceText", "T@\"NSString\",C,N,VpriceText_", &VnPriceInfo::priceText_)
        .property("method", "T@\"NSString\",C,N,Vmethod_", &VnPriceInfo::method,
                  &VnPriceInfo::setMethod)
        .property("purchaseCode", "T@\"NSString\",C,N,VpurchaseCode_", &VnPriceInfo::purchaseCode_)
        .property("inAppID", "T@\"NSString\",C,N,VinAppID_", &VnPriceInfo::inAppID_)
        .property("isTest", "Tc,N,VisTest_", &VnPriceInfo::isTest_)
        .property("lumoCardRewards", "Ti,N,VlumoCardRewards_", &VnPriceInfo::lumoCardRewards_)
        .property("purchaseMethod", "Ti,R,N", &VnPriceInfo::purchaseMethod)
        .method("currencyStringFromEnum:", &VnPriceInfo::currencyStringFromEnum);
})

std::string VnPriceInfo::currencyStringFromEnum(int32_t currency) const {
    switch (currency) {
        case 0:
            return "THB";
        case 1:
            return "USD";
        case 2:
            return "EUR";
        default:
            return "#";
    }
}

void VnPriceInfo::setMethod(std::optional<std::string> method) {
    method_ = std::move(method);
    purchaseMethod_ = 0;
}

int32_t VnPriceInfo::purchaseMethod() const {
    if (purchaseMethod_ == 0) {
        static const std::map<std::string, int32_t, std::less<>> methods = {
            {"FREE", 2}, {"INAPP", 3}, {"ORV", 4}};
        auto it = method_ ? methods.find(*method_) : methods.end();
        purchaseMethod_ = it != methods.end() ? it->second : 1;
    }
    return purchaseMethod_;
}

std::vector<std::string> VnPriceInfo::coreSerializationExcludedPropertyNames() const {
    return {"currencyText"};
}

std::vector<std::string> VnPriceInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnInfo::_propertyNameSetForCustomWrite();
    names.emplace_back("currency");
    return names;
}

void VnPriceInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key != "currency") {
        VnInfo::setSerializedValue(value, key);
        return;
    }
    currencyText_.reset();
    if (const plat::Number* number = value.number()) {
        currency_ = number->intValue();
        currencyText_ = currencyStringFromEnum(currency_);
        return;
    }
    // A text names the currency; anything else (null included) is no currency at all.
    const bool isText = value.isString();
    const std::string_view text = value.stringView();  // read where the reply holds it
    if (isText)
        currencyText_ = std::string(text);
    if (isText && text == "USD") {
        currency_ = 1;
    } else if (isText && text == "EUR") {
        currency_ = 2;
    } else {
        currency_ = 0;
    }
}
