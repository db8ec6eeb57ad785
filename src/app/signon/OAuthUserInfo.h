#pragma once
// OAuthUserInfo: the member profile of the member service, read by hand from the decoded JSON
// object, key by key, from "MemberID" to "MemberParentID". Dates are read as GMT: "Birthdate" as
// "yyyy-MM-dd", "CreateDate", "ModifiedDate" and "RegisterDate" as "yyyy-MM-dd HH:mm:ss"; a date
// that does not match, or is not a text, is absent. A text key holding a number keeps its text;
// null, booleans and containers are absent. The three member lists are not in the reply and stay
// empty.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

class OAuthUserInfo : public VnInfoBase {
    PLAT_CLASS(OAuthUserInfo)
  public:
    OAuthUserInfo();
    void initWithDictionary(const Ref<plat::Dictionary>& dictionary) override;

    using Text = std::optional<std::string>;
    Text memberID_, title_, name_, lastname_, gender_, nationality_, personalid_;
    std::optional<plat::Date> birthDate_;
    Text age_;
    Text addressCard_, villageCard_, streetCard_, soiCard_, mooCard_, provinceCardID_,
        provinceCardName_, districtCardID_, districtCardName_, subdistrictCardID_,
        subdistrictCardName_, postalcodeCard_;
    Text addressPresent_, villagePresent_, streetPresent_, soiPresent_, mooPresent_,
        provincePresentID_, provincePresentName_, districtPresentID_, districtPresentName_,
        subdistrictPresentID_, subdistrictPresentName_, postalcodePresent_;
    Text username_, email_, mobile_, telephone_, note_, profilePicture_, hDMemberID_;
    std::optional<plat::Date> createDate_, modifiedDate_, registerDate_;
    Text memberTypeID_, memberTypeName_, memberGroupID_, memberGroupName_, memberParentID_;
    Ref<plat::Array> memberParentGroup_;  // of OAuthMemberGroup
    Ref<plat::Array> memberPermission_;   // of OAuthMemberPermission
    Ref<plat::Array> memberShip_;         // of OAuthMemberShip
};
