#pragma once
// Information dictionaries of tests whose sign-on server is the demo's.
#include <string>
#include <utility>
#include <vector>

#include "demo-service/DemoSignOn.h"
#include "platform/core/Collections.h"
#include "platform/storage/InfoDictionary.h"

// Only "VarnelDeployment" with its "OAuthHost" and "OAuthService" (plus any other deployment
// values given).
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

// Adds the demo's sign-on server and the program's client id and secret to the deployment values
// of the information dictionary in use, keeping everything else in it.
inline void addDemoSignOnDeployment(const demo::DemoSignOn& signOn) {
    auto info = plat::InfoDictionary::main();
    auto merged = info ? info->mutableCopy() : plat::MutableDictionary::make();
    auto current = merged->objectForKey("VarnelDeployment").dictionary();
    auto deployment = current ? current->mutableCopy() : plat::MutableDictionary::make();
    for (const auto& [key, value] :
         {std::pair<const char*, std::string>{"OAuthHost", signOn.hostUrl()},
          {"OAuthService", signOn.serviceUrl()},
          {"OAuthClientID", demo::kDemoOAuthClientID},
          {"OAuthSecret", demo::kDemoOAuthSecret}})
        deployment->setObject(plat::Value(value), plat::Value(key));
    merged->setObject(plat::Value(Ref<plat::Dictionary>(deployment)),
                      plat::Value("VarnelDeployment"));
    plat::InfoDictionary::setDictionary(merged);
}
