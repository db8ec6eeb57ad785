#include "vnlib/info/member/VnAccountInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/member/VnDateText.h"

PLAT_DEFINE_CLASS(VnAccountInfo, VnInfo, [](auto& c) {
    c.property("email", "T@\"NSString\",C,N", &VnAccountInfo::email, &VnAccountInfo::setEmail)
        .property("firstName", "T@\"NSString\",C,N,VfirstName_", &VnAccountInfo::firstName_)
        .property("lastName", "T@\"NSString\",C,N,VlastName_", &VnAccountInfo::lastName_)
        .property("userId", "Ti,N,VuserId_", &VnAccountInfo::userId_)
        .property("isLumoCardUser", "Tc,N,VisLumoCardUser_", &VnAccountInfo::isLumoCardUser_)
        .property("lumoCardNumber", "T@\"NSString\",C,N,VlumoCardNumber_",
                  &VnAccountInfo::lumoCardNumber_)
        .property("lumoCardCurrentRewardPoints", "Ti,N,VlumoCardCurrentRewardPoints_",
                  &VnAccountInfo::lumoCardCurrentRewardPoints_)
        .property("lumoCardLastUpdate", "T@\"NSDate\",&,N,VlumoCardLastUpdate_",
                  &VnAccountInfo::lumoCardLastUpdate_)
        .property("lumoCardExpiringPoints", "Ti,N,VlumoCardExpiringPoints_",
                  &VnAccountInfo::lumoCardExpiringPoints_)
        .property("lumoCardPointExpireDate", "T@\"NSDate\",&,N,VlumoCardPointExpireDate_",
                  &VnAccountInfo::lumoCardPointExpireDate_);
})

namespace {
constexpr const char* kLastUpdate = "lumoCardLastUpdate";
constexpr const char* kPointExpireDate = "lumoCardPointExpireDate";
}  // namespace

const plat::DateFormatter& VnAccountInfo::dateFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd", plat::TimeZone::utc());
    return formatter;
}

std::vector<std::string> VnAccountInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnInfo::_propertyNameSetForCustomWrite();
    names.insert(names.end(), {kLastUpdate, kPointExpireDate});
    return names;
}

void VnAccountInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    // A null or a text that does not parse clears the date.
    if (key == kLastUpdate) {
        lumoCardLastUpdate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else if (key == kPointExpireDate) {
        lumoCardPointExpireDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        VnInfo::setSerializedValue(value, key);
    }
}

plat::Value VnAccountInfo::serializedValueForProperty(const std::string& name,
                                                      const plat::PropertyEntry* property,
                                                      bool transient) const {
    if (name == kLastUpdate)
        return VnDateText::valueFromDate(dateFormatter(), lumoCardLastUpdate_);
    if (name == kPointExpireDate) {
        return VnDateText::valueFromDate(dateFormatter(), lumoCardPointExpireDate_);
    }
    return VnInfo::serializedValueForProperty(name, property, transient);
}
