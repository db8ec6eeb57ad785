#pragma once
// The shell's tests run against the demo library service in-process, serving version 2 under
// "/BookService.asmx", with a home folder, user defaults, keychain and information dictionary of
// their own and a new GlobalService; the single-sign-on client is forgotten when they stop.
#include <gtest/gtest.h>

#include <functional>

#include "app/services/GlobalService.h"
#include "app/signon/OAuth.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/core/Collections.h"
#include "platform/storage/FreshProcessState.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"

namespace shell_testing {

class DemoEnvironment {
  public:
    // Starts the services; `deployment` false leaves "VarnelDeployment" out of the dictionary.
    // `extend` adds to the version-2 methods before the service starts.
    void start(bool deployment = true, const std::function<void()>& extend = {}) {
        testing_support::beginFreshProcessState(environment);
        // File locations learnt in an earlier test name that test's service.
        VnContentAssetRequest::forgetGlobalFileInfos();
        service.setServicePath(kBookServicePath);
        demo::registerVersion2Methods(service, catalogue);
        if (extend)
            extend();
        ASSERT_TRUE(service.start());
        demo::registerStoreService(store, catalogue, "ORV_001", demo::kDemoAuthorizationToken);
        ASSERT_TRUE(store.start());
        std::vector<std::pair<plat::Value, plat::Value>> entries;
        if (deployment) {
            entries.emplace_back(
                plat::Value(kVarnelDeploymentKey),
                plat::Value(plat::makeDictionary(
                    {{plat::Value(kServiceHostKey), plat::Value(service.baseUrl())},
                     {plat::Value(kAuthorizationTokenKey),
                      plat::Value(demo::kDemoAuthorizationToken)}})));
            entries.emplace_back(
                plat::Value("ApplicationCustomization"),
                plat::Value(plat::makeDictionary(
                    {{plat::Value("Shop"),
                      plat::Value(plat::makeDictionary({{plat::Value("StoreServiceURL"),
                                                         plat::Value(store.serviceUrl())}}))}})));
        }
        plat::InfoDictionary::setDictionary(plat::makeDictionary(std::move(entries)));
        GlobalService::releaseShared();
    }

    void stop() {
        OAuth::gInstance.reset();  // a main window configured it with itself as delegate
        GlobalService::releaseShared();
        plat::InfoDictionary::setDictionary(nullptr);
        testing_support::endFreshProcessState();
        store.stop();
        service.stop();
    }

    size_t calls(const char* method) const { return service.requestsForMethod(method).size(); }

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
};

}  // namespace shell_testing
