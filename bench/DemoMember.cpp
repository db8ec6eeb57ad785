#include "DemoMember.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/services/GlobalService.h"
#include "demo-service/DemoService.h"
#include "demo-service/V3StoreService.h"
#include "platform/core/Collections.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/RunLoopBridge.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

namespace {

class DemoSignInWatcher : public plat::Object {
    PLAT_CLASS(DemoSignInWatcher)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult> r) { result = std::move(r); }
    Ref<VnRequestResult> result;
};

}  // namespace

PLAT_DEFINE_CLASS(DemoSignInWatcher, plat::Object, [](auto& c) {
    c.method("bench_request:didFinishWithResult:", &DemoSignInWatcher::finished);
})

namespace bench {

void configureProgramForDemo(const demo::DemoService& service, const demo::DemoService& store) {
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    plat::UserDefaults::resetStandardUserDefaults();
    const auto dictionary = [](std::initializer_list<std::pair<const char*, plat::Value>> entries) {
        std::vector<std::pair<plat::Value, plat::Value>> values;
        for (const auto& [key, value] : entries)
            values.emplace_back(plat::Value(key), value);
        return plat::Value(plat::makeDictionary(std::move(values)));
    };
    plat::InfoDictionary::setDictionary(
        dictionary(
            {{kVarnelDeploymentKey,
              dictionary({{kServiceHostKey, plat::Value(service.baseUrl())},
                          {kAuthorizationTokenKey, plat::Value(demo::kDemoAuthorizationToken)}})},
             {"ApplicationCustomization",
              dictionary(
                  {{"Shop", dictionary({{"StoreServiceURL", plat::Value(store.serviceUrl())}})}})}})
            .dictionary());
    GlobalService::releaseShared();
    ui::RunLoopBridge::install();
}

bool signInToDemo(const std::string& member, const std::string& password) {
    auto watcher = std::make_shared<DemoSignInWatcher>();
    GlobalService::globalShared()->storeContext()->startUserAuthenticationRequestWithUserName(
        member, password, watcher, "bench_");
    QElapsedTimer timer;
    timer.start();
    QTimer wake;
    wake.start(5);
    while (!watcher->result && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return watcher->result && watcher->result->succeed();
}

}  // namespace bench
