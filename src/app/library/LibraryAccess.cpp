#include "app/library/LibraryAccess.h"

#include "app/shell/GlobalService.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

Ref<VnBookStoreUserContext> libraryActiveUser() {
    const auto service = GlobalService::globalShared();
    const auto& store = service ? service->storeContext() : nullptr;
    return store ? store->activeUserContext() : nullptr;
}
