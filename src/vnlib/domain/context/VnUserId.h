#pragma once
// VnUserId: names a user by the lower-cased user name. User ids have no value equality: the same
// object is the same user. VnDefaultUserId is the anonymous device user, one instance named
// "default", answered by defaultUserId().
#include <string>

#include "vnlib/dev/util/VndObject.h"

class VnUserId : public VndObject {
    PLAT_CLASS(VnUserId)
  public:
    explicit VnUserId(const std::string& userName);
    static Ref<VnUserId> userIdWithUserName(const std::string& userName);
    static Ref<VnUserId> defaultUserId();

    const std::string& userName() const { return userName_; }
    virtual bool isDefault() const { return false; }
    std::string description() const override;

  private:
    std::string userName_;
};

class VnDefaultUserId final : public VnUserId {
    PLAT_CLASS(VnDefaultUserId)
  public:
    VnDefaultUserId() : VnUserId("default") {}
    bool isDefault() const override { return true; }
};
