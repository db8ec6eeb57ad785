#include "auxiliary/bookstore/VarnelBookstoreConfiguration.h"

#include <cctype>

#include "platform/storage/InfoDictionary.h"

PLAT_DEFINE_CLASS(VarnelBookstorePromotionalSystemConfiguration, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VarnelBookstoreConfiguration, plat::Object, PLAT_NO_METHODS)

namespace {

Ref<plat::Dictionary> subDictionary(const Ref<plat::Dictionary>& dictionary, const char* key) {
    return dictionary ? dictionary->objectForKey(key).dictionary() : nullptr;
}

}  // namespace

VarnelBookstoreConfiguration::VarnelBookstoreConfiguration()
    : currencyMap_(plat::makeDictionary({{"USD", 1.0},
                                         {"MYR", 3.11},
                                         {"RM", 3.11},
                                         {"THB", int32_t{30}},
                                         {"SGD", 1.24},
                                         {"EUR", 0.75}})) {}

const Ref<VarnelBookstoreConfiguration>& VarnelBookstoreConfiguration::sharedConfiguration() {
    static const Ref<VarnelBookstoreConfiguration> shared = [] {
        auto configuration = std::make_shared<VarnelBookstoreConfiguration>();
        Ref<plat::Dictionary> customization =
            plat::InfoDictionary::objectForKey("ApplicationCustomization").dictionary();
        configuration->loadFromDictionary(customization ? customization : plat::makeDictionary({}));
        return configuration;
    }();
    return shared;
}

void VarnelBookstoreConfiguration::loadFromDictionary(const Ref<plat::Dictionary>& dictionary) {
    loadFromLookAndFeelDictionary(subDictionary(dictionary, "LookAndFeel"));
    loadFromShopDictionary(subDictionary(dictionary, "Shop"));
    loadFromPromotionSystemDictionary(subDictionary(dictionary, "PromotionSystem"));
}

void VarnelBookstoreConfiguration::loadFromLookAndFeelDictionary(const Ref<plat::Dictionary>&) {
    // The colours keep their defaults.
}

void VarnelBookstoreConfiguration::loadFromShopDictionary(const Ref<plat::Dictionary>& dictionary) {
    if (!dictionary)
        return;
    const plat::Value map = dictionary->objectForKey("CurrencyConversionRateMap");
    if (auto rates = map.dictionary())
        currencyMap_ = rates;
}

void VarnelBookstoreConfiguration::loadFromPromotionSystemDictionary(
    const Ref<plat::Dictionary>& dictionary) {
    promotionConfig_ = std::make_shared<VarnelBookstorePromotionalSystemConfiguration>(
        dictionary ? dictionary : plat::makeDictionary({}));
}

float VarnelBookstoreConfiguration::convertPrice(float, const std::string& fromCurrency,
                                                 const std::string& toCurrency) {
    std::string from = fromCurrency, to = toCurrency;
    for (std::string* code : {&from, &to}) {
        for (char& c : *code)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return 0;
}
