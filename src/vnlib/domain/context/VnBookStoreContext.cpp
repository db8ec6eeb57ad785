#include "vnlib/domain/context/VnBookStoreContext.h"

#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

PLAT_DEFINE_CLASS(VnBookStoreContext, VndObject, PLAT_NO_METHODS)

namespace {
constexpr const char* kLastRunVersion = "LastRunVersion";
}

std::filesystem::path VnBookStoreContext::offlineStorageRootPath2() {
    return plat::Paths::libraryDirectory() / "Varnel";
}

VnBookStoreContext::VnBookStoreContext(Ref<VnClientServiceSession> session,
                                       plat::Url storeServiceURL)
    : session_(std::move(session)), storeServiceURL_(std::move(storeServiceURL)) {
    const auto root = offlineStorageRootPath2();
    plat::Paths::createDirectories(root);  // a failure shows later, when files are written
    PLAT_ASSERT(std::filesystem::exists(root), "Invalid parameter not satisfying: URL exists");
    if (auto error = plat::FileManager::setExcludedFromBackup(root)) {
        VND_TRACE("General", "Error excluding %s from backup %s", root.filename().c_str(),
                  error->description().c_str());
    }
    localStorage_ = std::make_shared<VnBookStoreLocalStorage>(root / "Cache");
    rootObserver_ = std::make_shared<MulticastDelegate>();
    auto item = [this](const char* account) {
        auto wrapper = std::make_shared<VnKeychainItemWrapper>(account, appCode(), std::nullopt);
        wrapper->setObject(plat::Value(plat::kSecAttrAccessibleWhenUnlockedThisDeviceOnly),
                           plat::kSecAttrAccessible);
        return wrapper;
    };
    accountKeychainItem_ = item("VarnelAccount");
    tokenKeychainItem_ = item("VarnelToken");
}

std::optional<std::string> VnBookStoreContext::appCode() const {
    return session_->configuration()->appCode();
}

std::string VnBookStoreContext::machineID() const {
    return session_->configuration()->machineID();
}

void VnBookStoreContext::addContextObserver(const Ref<plat::Object>& observer) {
    rootObserver_->removeDelegate(observer);
    rootObserver_->addDelegate(observer);
}

void VnBookStoreContext::removeContextObserver(const Ref<plat::Object>& observer) {
    rootObserver_->removeDelegate(observer);
}

bool VnBookStoreContext::isFirstRun() const {
    return localStorage_->objectForKey(kLastRunVersion).isNilOrNull();
}

void VnBookStoreContext::markRunWithVersion(const std::string& version) {
    localStorage_->setObject(plat::Value(version), kLastRunVersion);
}

void VnBookStoreContext::purgeMemoryCache() {
    VndObject::purgeMemoryCache();
}

void VnBookStoreContext::resetRemoteSession() {
    if (session_)
        session_->signOutLocally();
}
