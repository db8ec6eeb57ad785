#include "vnlib/service/v2/VnClientServiceConfiguration.h"

#include "platform/core/Property.h"
#include "vnlib/dev/udid/VndUDID.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndUtils.h"

PLAT_DEFINE_CLASS(VnClientServiceConfiguration, VnClientServiceParams, [](auto& c) {
    c.property("authorizationToken", "T@\"NSString\",C,N",
               &VnClientServiceConfiguration::authorizationToken,
               &VnClientServiceConfiguration::setAuthorizationToken)
        .property("appCode", "T@\"NSString\",C,N", &VnClientServiceConfiguration::appCode,
                  &VnClientServiceConfiguration::setAppCode)
        .property("machineID", "T@\"NSString\",R,C,N", &VnClientServiceConfiguration::machineID)
        .property("storeServiceURL", "T@\"NSString\",C,N",
                  &VnClientServiceConfiguration::storeServiceURL,
                  &VnClientServiceConfiguration::setStoreServiceURL);
})

VnClientServiceConfiguration::VnClientServiceConfiguration() : machineID_(VndUDID::value()) {
    if (auto version = VndUtils::bundleVersion()) {
        optionalParams()->setObject(plat::Value(*version), plat::Value("version"));
    }
}

void VnClientServiceConfiguration::initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
    if (!dictionary)
        return;
    authorizationToken_ = stringForKey(*dictionary, "AuthorizationToken");
    appCode_ = stringForKey(*dictionary, "AppCode");
    storeServiceURL_ = stringForKey(*dictionary, "StoreServiceURL");
}
