#pragma once
// Test helper: the process-wide state that a test of the program's contexts starts from and
// leaves behind: a fresh VARNEL_HOME folder, default settings, an in-memory keychain, no cookies.
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"

namespace testing_support {

inline void beginFreshProcessState(ScopedEnvironment& environment) {
    environment.set("VARNEL_HOME", freshTestFolder().string());
    plat::UserDefaults::resetStandardUserDefaults();
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    plat::HttpCookieStorage::shared().removeAllCookies();
}

inline void endFreshProcessState() {
    plat::Keychain::setShared(nullptr);
    plat::UserDefaults::resetStandardUserDefaults();
    plat::HttpCookieStorage::shared().removeAllCookies();
}

}  // namespace testing_support
