#include "StoreTestSupport.h"

#include "app/library/LibrarySeams.h"
#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FreshProcessState.h"
#include "platform/storage/InfoDictionary.h"
#include "vnlib/dev/request/VnRequestResult.h"

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
    testing_support::beginFreshProcessState(environment);
    service.setServicePath(kBookServicePath);
    demo::registerVersion2Methods(service, catalogue);
    ASSERT_TRUE(service.start());
    demo::registerStoreService(store, catalogue, "VARNEL", demo::kDemoAuthorizationToken);
    ASSERT_TRUE(store.start());
    // The program's facade builds its store context over the demo.
    using plat::makeDictionary;
    using plat::Value;
    plat::InfoDictionary::setDictionary(makeDictionary(
        {{Value(kVarnelDeploymentKey),
          Value(makeDictionary(
              {{Value(kServiceHostKey), Value(service.baseUrl())},
               {Value(kAuthorizationTokenKey), Value(demo::kDemoAuthorizationToken)}}))},
         {Value("ApplicationCustomization"),
          Value(makeDictionary(
              {{Value("Metadata"), Value(makeDictionary({{Value("AppCode"), Value("VARNEL")}}))},
               {Value("Shop"), Value(makeDictionary({{Value("StoreServiceURL"),
                                                      Value(store.serviceUrl())}}))}}))}}));
    GlobalService::releaseShared();
    context = GlobalService::globalShared()->storeContext();
    ui::Alert::setShared(alerts);
}

void StoreTest::TearDown() {
    if (virtualClock)
        plat::RunLoop::current().setClock(nullptr);
    ui::Alert::setShared(nullptr);
    context.reset();
    GlobalService::releaseShared();
    plat::InfoDictionary::setDictionary(nullptr);
    plat::RunLoop::current().runUntil([] { return false; }, 0.02);
    testing_support::endFreshProcessState();
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
    waitFor([&] { return result != nullptr; }, timeout);
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
    return plat::RunLoop::current().runUntil(
        [&] {
            if (virtualClock)
                virtualClock->advance(0.002);
            return predicate();
        },
        timeout);
}

void StoreTest::settle(double seconds) {
    waitFor([] { return false; }, seconds);
}

std::shared_ptr<plat::VirtualClock> StoreTest::useVirtualClock() {
    virtualClock = std::make_shared<plat::VirtualClock>(plat::RunLoop::current().now());
    virtualClock->setAutoAdvance(false);
    plat::RunLoop::current().setClock(virtualClock);
    return virtualClock;
}

void StoreTest::useNeighbours(const Ref<plat::Object>& library) {
    GlobalService::globalShared()->setLibraryViewController(library);
    AreaSeams::shared().replace<LibraryShelves>(makeLibraryShelves(), "library");
    AreaSeams::shared().replace<IssueOpening>(makeLibraryIssueOpening(), "library");
}
