#include "app/signon/OAuthMember.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(OAuthMemberGroup, VnInfoBase, [](auto& c) {
    c.property("memberGroupID", "T@\"NSString\",&,N,VmemberGroupID_",
               &OAuthMemberGroup::memberGroupID_)
        .property("memberPayID", "T@\"NSString\",&,N,VmemberPayID_",
                  &OAuthMemberGroup::memberPayID_)
        .property("memberGroupName", "T@\"NSString\",&,N,VmemberGroupName_",
                  &OAuthMemberGroup::memberGroupName_)
        .property("memberGroupStart", "T@\"NSDate\",&,N,VmemberGroupStart_",
                  &OAuthMemberGroup::memberGroupStart_)
        .property("memberGroupExpire", "T@\"NSDate\",&,N,VmemberGroupExpire_",
                  &OAuthMemberGroup::memberGroupExpire_)
        .property("member", "T@\"NSArray\",&,N,Vmember_", &OAuthMemberGroup::member_);
})

PLAT_DEFINE_CLASS(OAuthMemberPermission, VnInfoBase, [](auto& c) {
    c.property("permissionCode", "T@\"NSString\",&,N,VpermissionCode_",
               &OAuthMemberPermission::permissionCode_)
        .property("permissionTitle", "T@\"NSString\",&,N,VpermissionTitle_",
                  &OAuthMemberPermission::permissionTitle_);
})

PLAT_DEFINE_CLASS(OAuthMemberShip, VnInfoBase, [](auto& c) {
    c.property("memberShipName", "T@\"NSString\",&,N,VmemberShipName_",
               &OAuthMemberShip::memberShipName_)
        .property("startDate", "T@\"NSDate\",&,N,VstartDate_", &OAuthMemberShip::startDate_)
        .property("expiredDate", "T@\"NSDate\",&,N,VexpiredDate_", &OAuthMemberShip::expiredDate_);
})
