#pragma once
// The information dictionary of a test whose sign-on server is the demo's: "VarnelDeployment"
// with its "OAuthHost" and "OAuthService" (plus any other deployment values given).
#include <string>
#include <utility>
#include <vector>

#include "demo-service/DemoSignOn.h"
#include "platform/core/Collections.h"
#include "platform/storage/InfoDictionary.h"

inline void useDemoSignOnDeployment(
    const demo::DemoSignOn& signOn,
    const std::vector<std::pair<std::string, std::string>>& more = {}) {
    auto deployment = plat::MutableDictionary::make();
    deployment->setObject(plat::Value(signOn.hostUrl()), plat::Value("OAuthHost"));
    deployment->setObject(plat::Value(signOn.serviceUrl()), plat::Value("OAuthService"));
    for (const auto& [key, value] : more)
        deployment->setObject(plat::Value(value), plat::Value(key));
    auto info = plat::MutableDictionary::make();
    info->setObject(plat::Value(Ref<plat::Dictionary>(deployment)),
                    plat::Value("VarnelDeployment"));
    plat::InfoDictionary::setDictionary(info);
}
