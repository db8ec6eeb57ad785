#include "app/store/detail/StoreNeighbours.h"

#include "app/library/LibraryMessages.h"
#include "app/services/GlobalService.h"
#include "platform_ui/ViewController.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace store_neighbours {
namespace {

// The library screen controller, its view asked for first so that its screen is loaded.
Ref<plat::Object> loadedLibrary() {
    const auto global = GlobalService::globalShared();
    Ref<plat::Object> library = global ? global->LibraryViewController() : nullptr;
    if (auto controller = std::dynamic_pointer_cast<ui::ViewController>(library))
        controller->view();
    else
        plat::sendIfResponds(library, LibraryScreenMessages::kView);
    return library;
}

}  // namespace

Ref<VnBookStoreUserContext> activeUserContext() {
    const auto global = GlobalService::globalShared();
    const auto context = global ? global->storeContext() : nullptr;
    return context ? context->activeUserContext() : nullptr;
}

void refreshLibrary() {
    plat::sendIfResponds(loadedLibrary(), LibraryScreenMessages::kUpdateLibraryForceUpdate, true);
}

void openReader(const Ref<VnMagazineIssueInfo>& item) {
    if (item)
        plat::sendIfResponds(loadedLibrary(), LibraryScreenMessages::kDisplayReaderWithIssueInfo,
                             item);
}

void cancelLibraryLoading() {
    plat::sendIfResponds(loadedLibrary(), LibraryScreenMessages::kCancelLoading);
}

void observeActiveUserChanges(const Ref<plat::Object>& observer) {
    const auto global = GlobalService::globalShared();
    if (const auto context = global ? global->storeContext() : nullptr)
        context->addContextObserver(observer);
}

}  // namespace store_neighbours
