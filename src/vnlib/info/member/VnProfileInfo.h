#pragma once
// The member profile as the service describes it: identity and contact details, the address on
// the identity card and the present address, the membership dates (online library and Halden
// pass) and the member's parent groups. Dates of the profile are kept as the service's text.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

// Start and expiry of one kind of membership, as the service's text.
class VnOnlineLibrary : public VnInfo {
    PLAT_CLASS(VnOnlineLibrary)
  public:
    std::optional<std::string> startDate_;
    std::optional<std::string> expiredDate_;
};

class VnHaldenPass : public VnInfo {
    PLAT_CLASS(VnHaldenPass)
  public:
    std::optional<std::string> startDate_;
    std::optional<std::string> expiredDate_;
};

// One membership entry of the profile.
class VnMemberShip : public VnInfo {
    PLAT_CLASS(VnMemberShip)
  public:
    Ref<VnOnlineLibrary> OnlineLibrary_;
    Ref<VnHaldenPass> HaldenPass_;
};

// A group the member belongs to through a parent account or package.
class VnMemberParentGroup : public VnInfo {
    PLAT_CLASS(VnMemberParentGroup)
  public:
    std::optional<std::string> packageID_;
    std::optional<std::string> memberPayID_;
    std::optional<std::string> memberGroupName_;
    plat::Value memberGroupID_;     // held as sent
    plat::Value memberGroupTitle_;  // held as sent
};

class VnProfileInfo : public VnInfo {
    PLAT_CLASS(VnProfileInfo)
  public:
    // Identity and contact.
    std::optional<std::string> memberID_;
    std::optional<std::string> username_;
    std::optional<std::string> name_;
    std::optional<std::string> lastname_;
    std::optional<std::string> email_;
    std::optional<std::string> Title_;
    std::optional<std::string> eelephone_;
    std::optional<std::string> mobile_;
    std::optional<std::string> gender_;
    std::optional<std::string> nationality_;
    int32_t age_ = 0;
    std::optional<std::string> personalid_;
    // Address on the identity card.
    std::optional<std::string> addressCard_;
    std::optional<std::string> villageCard_;
    std::optional<std::string> streetCard_;
    std::optional<std::string> soiCard_;
    std::optional<std::string> mooCard_;
    std::optional<std::string> provinceCardID_;
    std::optional<std::string> districtCardID_;
    std::optional<std::string> subdistrictCardID_;
    std::optional<std::string> provinceCardName_;
    std::optional<std::string> districtCardName_;
    std::optional<std::string> subdistrictCardName_;
    std::optional<std::string> postalcodeCard_;
    // Present address.
    std::optional<std::string> addressPresent_;
    std::optional<std::string> villagePresent_;
    std::optional<std::string> streetPresent_;
    std::optional<std::string> soiPresent_;
    std::optional<std::string> mooPresent_;
    std::optional<std::string> provincePresentID_;
    std::optional<std::string> districtPresentID_;
    std::optional<std::string> subdistrictPresentID_;
    std::optional<std::string> provincePresentName_;
    std::optional<std::string> districtPresentName_;
    std::optional<std::string> subdistrictPresentName_;
    std::optional<std::string> postalcodePresent_;
    // Other.
    std::optional<std::string> note_;
    std::optional<std::string> birthdate_;
    std::optional<std::string> registerDate_;
    std::optional<std::string> modifiedDate_;
    std::optional<std::string> expireDate_;
    std::optional<std::string> profilePicture_;
    std::optional<std::string> memberTypeID_;
    std::optional<std::string> memberTypeName_;
    std::optional<std::string> memberParentID_;
    Ref<plat::Array> memberParentGroup_;  // of VnMemberParentGroup
    Ref<plat::Array> memberPermission_;   // no element class: always loads as an empty list
    Ref<plat::Array> memberShip_;         // of VnMemberShip
    plat::Value passport_;                // held as sent

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
};
