#pragma once
// VnPriceInfo: one price of a catalogue item or a magazine title: amount, currency (sent as a
// number 0 THB, 1 USD, 2 EUR, or as the currency's text), display text, purchase method and the
// in-app product behind it.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnPriceInfo : public VnInfo {
    PLAT_CLASS(VnPriceInfo)
  public:
    // "THB", "USD", "EUR" for 0, 1, 2; "#" for any other number.
    std::string currencyStringFromEnum(int32_t currency) const;

    const std::optional<std::string>& currencyText() const { return currencyText_; }
    int32_t currency() const { return currency_; }
    void setCurrency(int32_t currency) { currency_ = currency; }
    const std::optional<std::string>& method() const { return method_; }
    // A new method forgets the purchase method worked out for the old one.
    void setMethod(std::optional<std::string> method);
    // 2 "FREE", 3 "INAPP", 4 "ORV"; 1 for no method or any other text (case matters).
    int32_t purchaseMethod() const;

    // Members are kept by size, largest first, so that no padding lies between them: every
    // catalogue record holds prices. Their order as properties is set where the class is defined.
    std::optional<std::string> priceText_;
    std::optional<std::string> purchaseCode_;
    std::optional<std::string> inAppID_;
    double price_ = 0;
    int32_t lumoCardRewards_ = 0;
    bool isTest_ = false;

    std::vector<std::string> coreSerializationExcludedPropertyNames() const override;
    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    // "Currency" is read as a number or as a currency text.
    void setSerializedValue(const plat::Value& value, const std::string& key) override;

  private:
    std::optional<std::string> currencyText_;
    std::optional<std::string> method_;
    int32_t currency_ = 0;
    mutable int32_t purchaseMethod_ = 0;  // 0: not worked out yet
};
