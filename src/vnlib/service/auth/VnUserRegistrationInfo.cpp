#include "vnlib/service/auth/VnUserRegistrationInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserRegistrationInfo, VnClientServiceParams, [](auto& c) {
    c.property("username", "T@\"NSString\",C,N,Vusername_", &VnUserRegistrationInfo::username)
        .property("password", "T@\"NSString\",C,N,Vpassword_", &VnUserRegistrationInfo::password)
        .property("firstname", "T@\"NSString\",C,N,Vfirstname_", &VnUserRegistrationInfo::firstname)
        .property("lastname", "T@\"NSString\",C,N,Vlastname_", &VnUserRegistrationInfo::lastname)
        .property("idCard", "T@\"NSString\",C,N,VidCard_", &VnUserRegistrationInfo::idCard);
})

std::string VnUserRegistrationInfo::description() const {
    return "<" + className() + " username: " + username.value_or("(null)") + ">";
}
