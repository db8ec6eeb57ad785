#include "app/store/common/StoreListSupport.h"

#include <algorithm>

#include "app/services/GlobalService.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/CollectionView.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace store_lists {

Ref<VnBookStoreUserContext> activeUserContext() {
    const auto global = GlobalService::globalShared();
    const auto context = global ? global->storeContext() : nullptr;
    return context ? context->activeUserContext() : nullptr;
}

int pageLength() {
    const auto global = GlobalService::globalShared();
    return global && global->numberLimitLoadOfItem() > 0 ? global->numberLimitLoadOfItem() : 48;
}

std::optional<VnInfoList> deliveredItems(const Ref<VnRequestResult>& result) {
    if (!result || !result->succeed())
        return std::nullopt;
    const auto snapshot = result->returnValue().as<VnLocalSnapshot>();
    if (!snapshot)
        return std::nullopt;
    return snapshot->items();
}

bool showsEnd(const ui::CollectionView* grid) {
    if (!grid)
        return false;
    const QRect visible = grid->visibleRect();
    return visible.y() + visible.height() >= grid->contentSize().height();
}

uint64_t observeBounds(const ui::CollectionView* grid, std::function<void()> handler) {
    if (!grid)
        return 0;
    return plat::NotificationCenter::defaultCenter().addObserver(
        [handler = std::move(handler)](const plat::Notification&) { handler(); },
        ui::kViewBoundsDidChangeNotification, grid->boundsObject());
}

void stopObserving(uint64_t observation) {
    if (observation)
        plat::NotificationCenter::defaultCenter().removeObserver(observation);
}

void orderByDisplayOrder(std::vector<Ref<VnShopGroupInfo>>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const int32_t x = a->OrderWidget_, y = b->OrderWidget_;
        if (x == 0 || y == 0)
            return x != 0 && y == 0;
        return x < y;
    });
}

}  // namespace store_lists
