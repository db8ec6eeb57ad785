#include "StoreTestSupport.h"

#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

namespace {

// Hears the outcome of a sign-in.
class SignInListener : public plat::Object {
    PLAT_CLASS(SignInListener)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult> r) { result = std::move(r); }
    Ref<VnRequestResult> result;
};

}  // namespace

PLAT_DEFINE_CLASS(SignInListener, plat::Object, [](auto& c) {
    c.method("signIn_request:didFinishWithResult:", &SignInListener::finished);
})

void StoreTest::SetUp() {
    environment.set("VARNEL_HOME", testing_support::freshTestFolder().string());
    plat::UserDefaults::resetStandardUserDefaults();
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    plat::HttpCookieStorage::shared().removeAllCookies();
    demo::registerVersion2Methods(service, catalogue);
    ASSERT_TRUE(service.start());
    demo::registerStoreService(store, catalogue, "VARNEL", demo::kDemoAuthorizationToken);
    ASSERT_TRUE(store.start());
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAppCode("VARNEL");
    configuration->setAuthorizationToken(demo::kDemoAuthorizationToken);
    configuration->setStoreServiceURL(store.serviceUrl());
    context = VnBookStoreContextFactory(*plat::Url::parse(service.serviceUrl()), configuration)
                  .newContext();
    ui::Alert::setShared(alerts);
}

void StoreTest::TearDown() {
    ui::Alert::setShared(nullptr);
    context.reset();
    plat::RunLoop::current().runUntil([] { return false; }, 0.02);
    plat::Keychain::setShared(nullptr);
    plat::UserDefaults::resetStandardUserDefaults();
    plat::HttpCookieStorage::shared().removeAllCookies();
}

bool StoreTest::signIn(const std::string& name, const std::string& password) {
    auto listener = std::make_shared<SignInListener>();
    context->startUserAuthenticationRequestWithUserName(name, password, listener, "signIn_");
    plat::RunLoop::current().runUntil([&] { return listener->result != nullptr; }, 15);
    return listener->result && listener->result->succeed();
}

Ref<VnRequestResult> StoreTest::run(const Ref<VnRequestContext>& request, double timeout) {
    Ref<VnRequestResult> result;
    request->startWithDidFinishBlock(
        [&result](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
    plat::RunLoop::current().runUntil([&] { return result != nullptr; }, timeout);
    return result;
}

Ref<VnMagazineIssueInfo> StoreTest::storeItem(const std::string& code) {
    auto result = run(user()->requestForShopBookInfoWithCode(code));
    if (!result)
        return nullptr;
    if (auto list = result->returnValue().array())
        return list->count() ? list->objectAtIndex(0).as<VnMagazineIssueInfo>() : nullptr;
    return result->returnValue().as<VnMagazineIssueInfo>();
}

bool StoreTest::waitFor(const std::function<bool()>& predicate, double timeout) {
    return plat::RunLoop::current().runUntil(predicate, timeout);
}

void StoreTest::settle(double seconds) {
    plat::RunLoop::current().runUntil([] { return false; }, seconds);
}
