#include "app/store/detail/StoreNeighbours.h"

#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "platform/runloop/NotificationCenter.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnUserId.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace store_neighbours {

Ref<VnBookStoreUserContext> activeUserContext() {
    const auto global = GlobalService::globalShared();
    const auto context = global ? global->storeContext() : nullptr;
    return context ? context->activeUserContext() : nullptr;
}

void refreshLibrary() {
    if (const auto shelves = AreaSeams::shared().get<LibraryShelves>())
        shelves->refreshShelves(true);
}

void loanTaken(const Ref<VnMagazineIssueInfo>& item) {
    if (const auto user = activeUserContext(); user && item)
        user->endBookSampleOfLoan(item);
    if (const auto shelves = AreaSeams::shared().get<LibraryShelves>())
        shelves->loanTaken();
}

bool openReader(const Ref<VnMagazineIssueInfo>& item, std::function<void()> whenNotShown) {
    const auto opening = AreaSeams::shared().get<IssueOpening>();
    return item && opening && opening->openIssue(item, std::move(whenNotShown));
}

void cancelLibraryLoading() {
    if (const auto shelves = AreaSeams::shared().get<LibraryShelves>())
        shelves->cancelLoading();
}

void observeActiveUserChanges(const Ref<plat::Object>& observer) {
    const auto global = GlobalService::globalShared();
    if (const auto context = global ? global->storeContext() : nullptr)
        context->addContextObserver(observer);
}

void observeLibraryUpdates(const Ref<plat::Object>& observer, std::function<void()> updated) {
    plat::NotificationCenter::defaultCenter().addObserver(
        observer,
        [updated = std::move(updated)](const plat::Notification& notification) {
            // Another user's library (one who has left, whose update ends late) is not shown.
            const auto user = activeUserContext();
            if (user && notification.object.get() == user.get())
                updated();
        },
        VnUserLibraryDidUpdateNotification);
}

Ref<VnBookStoreUserContext> storedLibraryOf(const Ref<VnBookStoreUserContext>& sentFor) {
    const auto user = activeUserContext();
    if (!sentFor || !user || user == sentFor)
        return sentFor;
    const bool sameMember = !user->isDefault() && !sentFor->isDefault() && user->userId() &&
                            sentFor->userId() &&
                            user->userId()->userName() == sentFor->userId()->userName();
    return sameMember ? user : sentFor;
}

}  // namespace store_neighbours
