#include "vnlib/info/catalogue/VnMagazineInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"

PLAT_DEFINE_CLASS(VnMagazineInfo, VnInfoWithCover, [](auto& c) {
    using C = VnMagazineInfo;
    c.property("name", "T@\"NSString\",C,N,Vname_", &C::name, &C::setName)
        .property("nameSortingToken", "T@\"NSString\",R,C,N,VnameSortingToken_",
                  &C::nameSortingToken)
        .property("summary", "T@\"NSString\",C,N,Vsummary_", &C::summary_)
        .property("descriptionText", "T@\"NSString\",C,N,VdescriptionText_", &C::descriptionText_)
        .property("coverUrl", "T@\"NSString\",C,N,VcoverUrl_", &C::coverUrl_)
        .property("printListPriceCurrency", "T@\"NSString\",C,N,VprintListPriceCurrency_",
                  &C::printListPriceCurrency, &C::setPrintListPriceCurrency)
        .property("printListPrice", "Td,N,VprintListPrice_", &C::printListPrice_)
        .property("hashText", "T@\"NSString\",C,N", &C::hashText, &C::setHashText)
        .property("latestIssue", "T@\"VnMagazineIssueInfo\",&,N,VlatestIssue_", &C::latestIssue_)
        .property("subscriptions", "T@\"NSArray\",&,N,Vsubscriptions_", &C::subscriptions_)
        .property("autoSubscriptions", "T@\"NSArray\",&,N,VautoSubscriptions_",
                  &C::autoSubscriptions_)
        .property("sortIndex", "Ti,N,VsortIndex_", &C::sortIndex_)
        .method("allSubscriptionOptions", &C::allSubscriptionOptions);
})

void VnMagazineInfo::setName(std::optional<std::string> name) {
    name_ = std::move(name);
    nameSortingToken_ =
        name_ ? std::optional<std::string>(::nameSortingToken(*name_)) : std::nullopt;
}

std::optional<std::string> VnMagazineInfo::printListPriceCurrency() const {
    if (!printListPriceCurrency_ || printListPriceCurrency_->empty())
        return "THB";
    return printListPriceCurrency_;
}

Ref<plat::Array> VnMagazineInfo::allSubscriptionOptions() const {
    auto all = plat::MutableArray::make();
    for (const auto& list : {autoSubscriptions_, subscriptions_}) {
        if (!list)
            continue;
        list->enumerate([&](const plat::Value& option) {
            all->addObject(option);
            return true;
        });
    }
    return all;
}

const plat::Class* VnMagazineInfo::_classForPropertyDeserialization(const std::string& name) const {
    if (name == "subscriptions" || name == "autoSubscriptions") {
        return &VnSubscriptionOptionInfo::classObject();
    }
    return VnInfoWithCover::_classForPropertyDeserialization(name);
}

std::string VnMagazineInfo::_dictionaryKeyNameWithPropertyName(const std::string& name) const {
    if (name == "printListPrice")
        return "RealPrice";
    if (name == "printListPriceCurrency")
        return "RealPriceCurrency";
    if (name == "descriptionText")
        return "Description";
    if (name == "hashText")
        return "Hash";
    return VnInfoWithCover::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnMagazineInfo::_propertyNameByDictionaryKeyName(const std::string& key) const {
    if (key == "RealPrice")
        return "printListPrice";
    if (key == "RealPriceCurrency")
        return "printListPriceCurrency";
    if (key == "Description")
        return "descriptionText";
    return VnInfoWithCover::_propertyNameByDictionaryKeyName(key);
}

std::vector<std::string> VnMagazineInfo::coreSerializationExcludedPropertyNames() const {
    auto names = VnInfoWithCover::coreSerializationExcludedPropertyNames();
    names.emplace_back("nameSortingToken");
    return names;
}
