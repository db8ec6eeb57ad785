#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnMagazineCategoryInfo, VnInfo, [](auto& c) {
    c.property("name", "T@\"NSString\",C,N,Vname_", &VnMagazineCategoryInfo::name_)
        .property("subcategories", "T@\"NSArray\",&,N,Vsubcategories_",
                  &VnMagazineCategoryInfo::subcategories_)
        .property("nameToken", "T@\"NSString\",R,C,N", &VnMagazineCategoryInfo::nameToken);
})

VnMagazineCategoryInfo::VnMagazineCategoryInfo() : subcategories_(plat::Array::make({})) {}

std::optional<std::string> VnMagazineCategoryInfo::nameToken() const {
    if (!nameToken_ && name_)
        nameToken_ = nameSortingToken(*name_);
    return nameToken_;
}

std::vector<std::string> VnMagazineCategoryInfo::coreSerializationExcludedPropertyNames() const {
    return {"nameToken"};
}

std::vector<std::string> VnMagazineCategoryInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnInfo::_propertyNameSetForCustomWrite();
    names.emplace_back("subcategories");
    return names;
}

void VnMagazineCategoryInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key != "subcategories") {
        VnInfo::setSerializedValue(value, key);
        return;
    }
    // Each object of the list is a subcategory; anything else in the list (or a value that is
    // no list, null included) gives no subcategory.
    auto list = plat::MutableArray::make();
    if (auto elements = value.array()) {
        elements->enumerate([&](const plat::Value& element) {
            if (auto dictionary = element.dictionary()) {
                list->addObject(plat::Value(withDictionary<VnMagazineCategoryInfo>(dictionary)));
            }
            return true;
        });
    }
    subcategories_ = list;
}
