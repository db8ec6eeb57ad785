#include "vnlib/service/v3/VnServiceSessionContext.h"

#include "platform/core/Log.h"
#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnServiceSessionContext, VnInfoBase, [](auto& c) {
    c.property("tokenVersion", "T@\"NSString\",R,N", &VnServiceSessionContext::tokenVersion)
        .property("tokenKey", "T@\"NSString\",C,N,VtokenKey_", &VnServiceSessionContext::tokenKey,
                  &VnServiceSessionContext::setTokenKey)
        .property("appCode", "T@\"NSString\",R,N,VappCode_", &VnServiceSessionContext::appCode)
        // Declared as a real boolean so that the body carries JSON true or false.
        .property("isTestUser", "TB,R,N,VisTestUser_", &VnServiceSessionContext::isTestUser);
})

Ref<VnServiceSessionContext> VnServiceSessionContext::defaultContextWithAppCode(
    std::optional<std::string> appCode) {
    return std::make_shared<VnServiceSessionContext>(std::move(appCode), kGuestToken, false);
}

std::string VnServiceSessionContext::description() const {
    return plat::format(
        "<VnServiceSessionContext: TokenVersion=%s, TokenKey=%s, AppCode=%s, "
        "IsTestUser=%s>",
        kTokenVersion, tokenKey_ ? "***" : "(null)", appCode_ ? appCode_->c_str() : "(null)",
        isTestUser_ ? "YES" : "NO");
}
