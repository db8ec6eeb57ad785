#pragma once
// A bookstore context over the demo library service (version 2 and the store), in a home folder,
// user defaults and keychain of the test's own, and a listener for what the context tells.
#include <gtest/gtest.h>

#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FreshProcessState.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

// Hears sign-in outcomes ("caller_" and "second_" prefixes), observer messages and, when asked,
// answers the delegate's offline question.
class ContextListener : public plat::Object {
    PLAT_CLASS(ContextListener)
  public:
    void caller(Ref<plat::Object>, Ref<VnRequestResult> result) {
        results.push_back(result);
        order.push_back("caller");
    }
    void second(Ref<plat::Object>, Ref<VnRequestResult> result) {
        results.push_back(result);
        order.push_back("second");
    }
    void activeChanged(Ref<plat::Object>) { ++activeChanges; }
    void sessionFailed(Ref<plat::Object>, std::string message) { failures.push_back(message); }

    std::vector<Ref<VnRequestResult>> results;
    std::vector<std::string> order;
    int activeChanges = 0;
    std::vector<std::string> failures;
};

// Hears one request's progress and outcome under the prefix "w_".
class RequestWatcher : public plat::Object {
    PLAT_CLASS(RequestWatcher)
  public:
    void progress(Ref<VnRequestContext>, VnRequestProgress p) {
        steps.emplace_back(p.completed, p.total);
    }
    void finished(Ref<VnRequestContext>, Ref<VnRequestResult> r) { result = r; }
    std::vector<std::pair<float, float>> steps;
    Ref<VnRequestResult> result;
};

// A catalogue item record of that code (also its item code) and type.
inline Ref<VnMagazineIssueInfo> issueRecord(const std::string& code,
                                            const char* type = "Magazine") {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->itemCode_ = code;
    info->type_ = type;
    return info;
}

inline std::vector<std::string> codesOf(const VnInfoList& items) {
    std::vector<std::string> codes;
    for (const auto& item : items)
        codes.push_back(item->code().value_or("<none>"));
    return codes;
}

class OfflineDelegate : public plat::Object {
    PLAT_CLASS(OfflineDelegate)
  public:
    bool offline() { return true; }
};

class ContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::beginFreshProcessState(environment);
        // File locations learnt in an earlier test name that test's service.
        VnContentAssetRequest::forgetGlobalFileInfos();
        demo::registerVersion2Methods(service, catalogue);
        ASSERT_TRUE(service.start());
        demo::registerStoreService(store, catalogue, "VARNEL", demo::kDemoAuthorizationToken);
        ASSERT_TRUE(store.start());
        context = makeContext();
        listener = std::make_shared<ContextListener>();
        context->addContextObserver(listener);
    }

    void TearDown() override {
        context.reset();
        plat::RunLoop::current().runUntil([] { return false; }, 0.02);
        testing_support::endFreshProcessState();
    }

    Ref<VnBookStoreContext> makeContext(std::string serviceUrl = {}) {
        auto configuration = std::make_shared<VnClientServiceConfiguration>();
        configuration->setAppCode("VARNEL");
        configuration->setAuthorizationToken(demo::kDemoAuthorizationToken);
        configuration->setStoreServiceURL(store.serviceUrl());
        return VnBookStoreContextFactory(
                   *plat::Url::parse(serviceUrl.empty() ? service.serviceUrl() : serviceUrl),
                   configuration)
            .newContext();
    }

    // Starts every request and runs until all have finished, or the time is up: the results as
    // they are then, null for a request still waiting. Such a request may end later (in another
    // case of the program): its completion writes into results of its own.
    static std::vector<Ref<VnRequestResult>> runAll(
        const std::vector<Ref<VnRequestContext>>& requests, double timeout = 15) {
        const auto results = std::make_shared<std::vector<Ref<VnRequestResult>>>(requests.size());
        for (size_t i = 0; i < requests.size(); ++i)
            requests[i]->startWithDidFinishBlock(
                [results, i](const Ref<VnRequestResult>& r, const plat::Value&) {
                    (*results)[i] = r;
                });
        plat::RunLoop::current().runUntil(
            [&] {
                return std::all_of(results->begin(), results->end(), [](auto& r) { return r; });
            },
            timeout);
        return *results;
    }
    static Ref<VnRequestResult> run(const Ref<VnRequestContext>& request) {
        return runAll({request})[0];
    }

    // Signs in with user name and password; answers the outcome.
    Ref<VnRequestResult> signIn(const std::string& user, const std::string& password) {
        const auto before = listener->results.size();
        context->startUserAuthenticationRequestWithUserName(user, password, listener, "caller_");
        plat::RunLoop::current().runUntil([&] { return listener->results.size() > before; }, 15);
        return listener->results.size() > before ? listener->results.back() : nullptr;
    }

    size_t calls(const char* method) const { return service.requestsForMethod(method).size(); }
    std::string stored(const char* key) const {
        return plat::UserDefaults::standardUserDefaults()->objectForKey(key).stringOr("<none>");
    }

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    Ref<VnBookStoreContext> context;
    Ref<ContextListener> listener;
};
