#include "app/library/LibraryAccess.h"

#include "app/services/GlobalService.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

Ref<VnBookStoreUserContext> libraryActiveUser() {
    const auto service = GlobalService::globalShared();
    const auto& store = service ? service->storeContext() : nullptr;
    return store ? store->activeUserContext() : nullptr;
}

void observeLibraryUserChanges(const Ref<plat::Object>& observer) {
    const auto service = GlobalService::globalShared();
    if (const auto& store = service ? service->storeContext() : nullptr)
        store->addContextObserver(observer);
}
