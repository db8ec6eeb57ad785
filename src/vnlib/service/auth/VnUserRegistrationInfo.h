#pragma once
// VnUserRegistrationInfo: what a new account is registered with ("RegisterNewAccount"): user
// name, password, first and last name and the national id-card number. Any of them may be
// missing; a missing one is sent as JSON null.
#include <optional>
#include <string>

#include "vnlib/service/params/VnClientServiceParams.h"

class VnUserRegistrationInfo : public VnClientServiceParams {
    PLAT_CLASS(VnUserRegistrationInfo)
  public:
    std::optional<std::string> username;
    std::optional<std::string> password;
    std::optional<std::string> firstname;
    std::optional<std::string> lastname;
    std::optional<std::string> idCard;

    // Names the user only: the password and the id-card number stay out of logs.
    std::string description() const override;
};
