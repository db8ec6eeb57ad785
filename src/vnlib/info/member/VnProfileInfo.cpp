#include "vnlib/info/member/VnProfileInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnOnlineLibrary, VnInfo, [](auto& c) {
    c.property("startDate", "T@\"NSString\",C,N,VstartDate_", &VnOnlineLibrary::startDate_)
        .property("expiredDate", "T@\"NSString\",C,N,VexpiredDate_",
                  &VnOnlineLibrary::expiredDate_);
})

PLAT_DEFINE_CLASS(VnHaldenPass, VnInfo, [](auto& c) {
    c.property("startDate", "T@\"NSString\",C,N,VstartDate_", &VnHaldenPass::startDate_)
        .property("expiredDate", "T@\"NSString\",C,N,VexpiredDate_", &VnHaldenPass::expiredDate_);
})

PLAT_DEFINE_CLASS(VnMemberShip, VnInfo, [](auto& c) {
    c.property("OnlineLibrary", "T@\"VnOnlineLibrary\",&,N,VOnlineLibrary_",
               &VnMemberShip::OnlineLibrary_)
        .property("HaldenPass", "T@\"VnHaldenPass\",&,N,VHaldenPass_", &VnMemberShip::HaldenPass_);
})

PLAT_DEFINE_CLASS(VnMemberParentGroup, VnInfo, [](auto& c) {
    c.property("packageID", "T@\"NSString\",C,N,VpackageID_", &VnMemberParentGroup::packageID_)
        .property("memberPayID", "T@\"NSString\",C,N,VmemberPayID_",
                  &VnMemberParentGroup::memberPayID_)
        .property("memberGroupName", "T@\"NSString\",C,N,VmemberGroupName_",
                  &VnMemberParentGroup::memberGroupName_)
        .property("memberGroupID", "T@,&,N,VmemberGroupID_", &VnMemberParentGroup::memberGroupID_)
        .property("memberGroupTitle", "T@,&,N,VmemberGroupTitle_",
                  &VnMemberParentGroup::memberGroupTitle_);
})

PLAT_DEFINE_CLASS(VnProfileInfo, VnInfo, [](auto& c) {
    c.property("memberID", "T@\"NSString\",C,N,VmemberID_", &VnProfileInfo::memberID_)
        .property("username", "T@\"NSString\",C,N,Vusername_", &VnProfileInfo::username_)
        .property("name", "T@\"NSString\",C,N,Vname_", &VnProfileInfo::name_)
        .property("lastname", "T@\"NSString\",C,N,Vlastname_", &VnProfileInfo::lastname_)
        .property("email", "T@\"NSString\",C,N,Vemail_", &VnProfileInfo::email_)
        .property("Title", "T@\"NSString\",C,N,VTitle_", &VnProfileInfo::Title_)
        .property("eelephone", "T@\"NSString\",C,N,Veelephone_", &VnProfileInfo::eelephone_)
        .property("mobile", "T@\"NSString\",C,N,Vmobile_", &VnProfileInfo::mobile_)
        .property("gender", "T@\"NSString\",C,N,Vgender_", &VnProfileInfo::gender_)
        .property("nationality", "T@\"NSString\",C,N,Vnationality_", &VnProfileInfo::nationality_)
        .property("age", "Ti,N,Vage_", &VnProfileInfo::age_)
        .property("personalid", "T@\"NSString\",C,N,Vpersonalid_", &VnProfileInfo::personalid_)
        .property("addressCard", "T@\"NSString\",C,N,VaddressCard_", &VnProfileInfo::addressCard_)
        .property("villageCard", "T@\"NSString\",C,N,VvillageCard_", &VnProfileInfo::villageCard_)
        .property("streetCard", "T@\"NSString\",C,N,VstreetCard_", &VnProfileInfo::streetCard_)
        .property("soiCard", "T@\"NSString\",C,N,VsoiCard_", &VnProfileInfo::soiCard_)
        .property("mooCard", "T@\"NSString\",C,N,VmooCard_", &VnProfileInfo::mooCard_)
        .property("provinceCardID", "T@\"NSString\",C,N,VprovinceCardID_",
                  &VnProfileInfo::provinceCardID_)
        .property("districtCardID", "T@\"NSString\",C,N,VdistrictCardID_",
                  &VnProfileInfo::districtCardID_)
        .property("subdistrictCardID", "T@\"NSString\",C,N,VsubdistrictCardID_",
                  &VnProfileInfo::subdistrictCardID_)
        .property("provinceCardName", "T@\"NSString\",C,N,VprovinceCardName_",
                  &VnProfileInfo::provinceCardName_)
        .property("districtCardName", "T@\"NSString\",C,N,VdistrictCardName_",
                  &VnProfileInfo::districtCardName_)
        .property("subdistrictCardName", "T@\"NSString\",C,N,VsubdistrictCardName_",
                  &VnProfileInfo::subdistrictCardName_)
        .property("postalcodeCard", "T@\"NSString\",C,N,VpostalcodeCard_",
                  &VnProfileInfo::postalcodeCard_)
        .property("addressPresent", "T@\"NSString\",C,N,VaddressPresent_",
                  &VnProfileInfo::addressPresent_)
        .property("villagePresent", "T@\"NSString\",C,N,VvillagePresent_",
                  &VnProfileInfo::villagePresent_)
        .property("streetPresent", "T@\"NSString\",C,N,VstreetPresent_",
                  &VnProfileInfo::streetPresent_)
        .property("soiPresent", "T@\"NSString\",C,N,VsoiPresent_", &VnProfileInfo::soiPresent_)
        .property("mooPresent", "T@\"NSString\",C,N,VmooPresent_", &VnProfileInfo::mooPresent_)
        .property("provincePresentID", "T@\"NSString\",C,N,VprovincePresentID_",
                  &VnProfileInfo::provincePresentID_)
        .property("districtPresentID", "T@\"NSString\",C,N,VdistrictPresentID_",
                  &VnProfileInfo::districtPresentID_)
        .property("subdistrictPresentID", "T@\"NSString\",C,N,VsubdistrictPresentID_",
                  &VnProfileInfo::subdistrictPresentID_)
        .property("provincePresentName", "T@\"NSString\",C,N,VprovincePresentName_",
                  &VnProfileInfo::provincePresentName_)
        .property("districtPresentName", "T@\"NSString\",C,N,VdistrictPresentName_",
                  &VnProfileInfo::districtPresentName_)
        .property("subdistrictPresentName", "T@\"NSString\",C,N,VsubdistrictPresentName_",
                  &VnProfileInfo::subdistrictPresentName_)
        .property("postalcodePresent", "T@\"NSString\",C,N,VpostalcodePresent_",
                  &VnProfileInfo::postalcodePresent_)
        .property("note", "T@\"NSString\",C,N,Vnote_", &VnProfileInfo::note_)
        .property("birthdate", "T@\"NSString\",C,N,Vbirthdate_", &VnProfileInfo::birthdate_)
        .property("registerDate", "T@\"NSString\",C,N,VregisterDate_",
                  &VnProfileInfo::registerDate_)
        .property("modifiedDate", "T@\"NSString\",C,N,VmodifiedDate_",
                  &VnProfileInfo::modifiedDate_)
        .property("expireDate", "T@\"NSString\",C,N,VexpireDate_", &VnProfileInfo::expireDate_)
        .property("profilePicture", "T@\"NSString\",C,N,VprofilePicture_",
                  &VnProfileInfo::profilePicture_)
        .property("memberTypeID", "T@\"NSString\",C,N,VmemberTypeID_",
                  &VnProfileInfo::memberTypeID_)
        .property("memberTypeName", "T@\"NSString\",C,N,VmemberTypeName_",
                  &VnProfileInfo::memberTypeName_)
        .property("memberParentID", "T@\"NSString\",C,N,VmemberParentID_",
                  &VnProfileInfo::memberParentID_)
        .property("memberParentGroup", "T@\"NSArray\",&,N,VmemberParentGroup_",
                  &VnProfileInfo::memberParentGroup_)
        .property("memberPermission", "T@\"NSArray\",&,N,VmemberPermission_",
                  &VnProfileInfo::memberPermission_)
        .property("memberShip", "T@\"NSArray\",&,N,VmemberShip_", &VnProfileInfo::memberShip_)
        .property("passport", "T@,&,N,Vpassport_", &VnProfileInfo::passport_);
})

const plat::Class* VnProfileInfo::_classForPropertyDeserialization(const std::string& name) const {
    if (name == "memberParentGroup")
        return &VnMemberParentGroup::classObject();
    if (name == "memberShip")
        return &VnMemberShip::classObject();
    return VnInfo::_classForPropertyDeserialization(name);
}
