#include "vnlib/service/params/VnClientServiceParams.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnClientServiceParams, VnInfoBase, [](auto& c) {
    c.property("optionalParams", "T@\"NSMutableDictionary\",R,&,N,VoptionalParams_",
               &VnClientServiceParams::optionalParams)
        .method("serializableOptionalParamItems",
                &VnClientServiceParams::serializableOptionalParamItems);
})

VnClientServiceParams::VnClientServiceParams() : optionalParams_(plat::MutableDictionary::make()) {}

Ref<plat::Array> VnClientServiceParams::serializableOptionalParamItems() const {
    if (optionalParams_->count() == 0)
        return nullptr;
    std::vector<plat::Value> items;
    items.reserve(optionalParams_->count());
    optionalParams_->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        items.emplace_back(
            plat::makeDictionary({{plat::Value("Key"), key}, {plat::Value("Value"), value}}));
        return true;
    });
    return plat::Array::make(std::move(items));
}

plat::Value VnClientServiceParams::serializedValueForProperty(const std::string& name,
                                                              const plat::PropertyEntry* property,
                                                              bool transient) const {
    if (name == "optionalParams") {
        auto items = serializableOptionalParamItems();
        return items ? plat::Value(items) : plat::Value();
    }
    return VnInfoBase::serializedValueForProperty(name, property, transient);
}

std::string VnClientServiceParams::_dictionaryKeyNameWithPropertyName(
    const std::string& name) const {
    return name;
}

std::string VnClientServiceParams::_propertyNameByDictionaryKeyName(const std::string& key) const {
    return key;
}
