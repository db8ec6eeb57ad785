#pragma once
// VnBookStoreContext: the root of the library layer, one per run. It owns the version-2 session,
// the cache tree ("Varnel/Cache" under the user's Library folder), the signed-in member's
// settings and keychain items, and the user contexts; screens reach the library through it.
// VnBookStoreContextFactory makes it from a service URL and a configuration.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/net/Url.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"
#include "vnlib/dev/keychain/VnKeychainItemWrapper.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/service/v2/VnClientServiceSession.h"

class VnBookStoreContext : public VndObject {
    PLAT_CLASS(VnBookStoreContext)
  public:
    VnBookStoreContext(Ref<VnClientServiceSession> session, plat::Url storeServiceURL);

    // "Varnel" in the user's Library folder.
    static std::filesystem::path offlineStorageRootPath2();
    const Ref<VnClientServiceSession>& serviceSession() const { return session_; }
    const Ref<VnBookStoreLocalStorage>& localStorage() const { return localStorage_; }
    const Ref<VnBooksLocalArchive>& booksLocalArchive() const {
        return localStorage_->booksLocalArchive();
    }
    const Ref<VnKeychainItemWrapper>& accountKeychainItem() const { return accountKeychainItem_; }
    const Ref<VnKeychainItemWrapper>& tokenKeychainItem() const { return tokenKeychainItem_; }
    std::optional<std::string> appCode() const;
    std::string machineID() const;
    const plat::Url& storeServiceURL() const { return storeServiceURL_; }
    const std::optional<std::string>& sessionToken() const { return sessionToken_; }

    const Ref<MulticastDelegate>& observerMulticastDelegate() const { return rootObserver_; }
    // An observer is registered once however often it is added.
    void addContextObserver(const Ref<plat::Object>& observer);
    void removeContextObserver(const Ref<plat::Object>& observer);

    bool isFirstRun() const;
    void markRunWithVersion(const std::string& version);
    void purgeMemoryCache() override;
    void removeAllCachedData() {}
    void resetRemoteSession();

  protected:
    std::optional<std::string> sessionToken_;

  private:
    Ref<VnClientServiceSession> session_;
    plat::Url storeServiceURL_;
    Ref<VnBookStoreLocalStorage> localStorage_;
    Ref<VnKeychainItemWrapper> accountKeychainItem_;
    Ref<VnKeychainItemWrapper> tokenKeychainItem_;
    Ref<MulticastDelegate> rootObserver_;
};
