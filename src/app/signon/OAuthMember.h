#pragma once
// The profile's member entries: a group the member belongs to, a permission, a membership.
// Accessors only: loading, when a caller asks for it, is the record base's reflective mapping.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

class OAuthMemberGroup : public VnInfoBase {
    PLAT_CLASS(OAuthMemberGroup)
  public:
    std::optional<std::string> memberGroupID_, memberPayID_, memberGroupName_;
    std::optional<plat::Date> memberGroupStart_, memberGroupExpire_;
    Ref<plat::Array> member_;
};

class OAuthMemberPermission : public VnInfoBase {
    PLAT_CLASS(OAuthMemberPermission)
  public:
    std::optional<std::string> permissionCode_, permissionTitle_;
};

class OAuthMemberShip : public VnInfoBase {
    PLAT_CLASS(OAuthMemberShip)
  public:
    std::optional<std::string> memberShipName_;
    std::optional<plat::Date> startDate_, expiredDate_;
};
