#pragma once
// VarnelBookstoreConfiguration: the bookstore's look-and-feel colours, shop switches, currency
// conversion map and promotion-system record, read once from the information dictionary's
// "ApplicationCustomization" ("LookAndFeel", "Shop", "PromotionSystem"). Only the "Shop"
// dictionary's "CurrencyConversionRateMap" changes anything; the rest keeps its defaults.
#include <optional>
#include <string>

#include "platform/core/Collections.h"

// A colour as red, green, blue and alpha from 0 to 1.
struct VarnelColor {
    double red = 0, green = 0, blue = 0, alpha = 1;
    static VarnelColor white(double level, double alpha = 1) {
        return {level, level, level, alpha};
    }
    static VarnelColor black() { return {0, 0, 0, 1}; }
    bool operator==(const VarnelColor&) const = default;
};

class VarnelBookstorePromotionalSystemConfiguration : public plat::Object {
    PLAT_CLASS(VarnelBookstorePromotionalSystemConfiguration)
  public:
    // Reads nothing from the dictionary: every text is absent and every flag off.
    explicit VarnelBookstorePromotionalSystemConfiguration(const Ref<plat::Dictionary>&) {}

    bool enabled() const { return enabled_; }
    const std::optional<std::string>& firstFieldLabelText() const { return firstFieldLabelText_; }
    const std::optional<std::string>& firstFieldTextHolder() const { return firstFieldTextHolder_; }
    bool firstFieldIsOptional() const { return firstFieldIsOptional_; }
    const std::optional<std::string>& secondFieldLabelText() const { return secondFieldLabelText_; }
    const std::optional<std::string>& secondFieldTextHolder() const {
        return secondFieldTextHolder_;
    }
    const std::optional<std::string>& headerText() const { return headerText_; }
    const std::optional<std::string>& buttonCaption() const { return buttonCaption_; }
    bool forceRegistration() const { return forceRegistration_; }
    const std::optional<std::string>& productType() const { return productType_; }

  private:
    bool enabled_ = false;
    std::optional<std::string> firstFieldLabelText_, firstFieldTextHolder_;
    bool firstFieldIsOptional_ = false;
    std::optional<std::string> secondFieldLabelText_, secondFieldTextHolder_, headerText_,
        buttonCaption_;
    bool forceRegistration_ = false;
    std::optional<std::string> productType_;
};

class VarnelBookstoreConfiguration : public plat::Object {
    PLAT_CLASS(VarnelBookstoreConfiguration)
  public:
    VarnelBookstoreConfiguration();
    // Made on first use from the information dictionary.
    static const Ref<VarnelBookstoreConfiguration>& sharedConfiguration();

    void loadFromDictionary(const Ref<plat::Dictionary>& dictionary);
    void loadFromLookAndFeelDictionary(const Ref<plat::Dictionary>& dictionary);
    void loadFromShopDictionary(const Ref<plat::Dictionary>& dictionary);
    void loadFromPromotionSystemDictionary(const Ref<plat::Dictionary>& dictionary);
    void loadFromEPubSystemDictionary(const Ref<plat::Dictionary>&) {}

    // Upper-cases the codes; the answer is always 0.
    float convertPrice(float price, const std::string& fromCurrency, const std::string& toCurrency);

    const std::optional<VarnelColor>& toolbarColor() const { return toolbarColor_; }
    void setToolbarColor(std::optional<VarnelColor> color) { toolbarColor_ = color; }
    const VarnelColor& headerSeparatorColor() const { return headerSeparatorColor_; }
    void setHeaderSeparatorColor(VarnelColor color) { headerSeparatorColor_ = color; }
    const VarnelColor& itemLabelColor() const { return itemLabelColor_; }
    void setItemLabelColor(VarnelColor color) { itemLabelColor_ = color; }
    const VarnelColor& shopCategoryTabColor() const { return shopCategoryTabColor_; }
    void setShopCategoryTabColor(VarnelColor color) { shopCategoryTabColor_ = color; }
    bool shopEnabled() const { return shopEnabled_; }
    bool useSystemFont() const { return useSystemFont_; }
    bool epubFontEnOnly() const { return epubFontEnOnly_; }
    const Ref<VarnelBookstorePromotionalSystemConfiguration>& promotionConfig() const {
        return promotionConfig_;
    }
    const Ref<plat::Dictionary>& currencyConversionRateMap() const { return currencyMap_; }
    void setCurrencyConversionRateMap(Ref<plat::Dictionary> map) { currencyMap_ = std::move(map); }
    int32_t maxSameAuthorBookList() const { return 10; }

  private:
    std::optional<VarnelColor> toolbarColor_;
    VarnelColor headerSeparatorColor_ = VarnelColor::black();
    VarnelColor itemLabelColor_ = VarnelColor::black();
    VarnelColor shopCategoryTabColor_ = VarnelColor::white(244.0 / 255.0);
    bool shopEnabled_ = true;
    bool useSystemFont_ = false;
    bool epubFontEnOnly_ = false;
    Ref<VarnelBookstorePromotionalSystemConfiguration> promotionConfig_;
    Ref<plat::Dictionary> currencyMap_;
};
