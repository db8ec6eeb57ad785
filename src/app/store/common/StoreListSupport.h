#pragma once
// What the store's paged lists share: the active user context and the page length, both from
// the global service; the records a finished list request delivered; whether a grid shows its
// end, and the grid's bounds changes sent on to its list ("scrollViewDidScroll"); and the order of
// entries by their display order.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "vnlib/domain/lists/VnLocalSnapshot.h"

class VnBookStoreUserContext;
class VnRequestResult;
class VnShopGroupInfo;
namespace ui {
class CollectionView;
}

namespace store_lists {

// The signed-in member's (or the device user's) context; null without a store context.
Ref<VnBookStoreUserContext> activeUserContext();
// Records a page of a list asks for (48).
int pageLength();
// The records of the snapshot a request delivered; nothing when it failed or delivered no list.
std::optional<VnInfoList> deliveredItems(const Ref<VnRequestResult>& result);
// Whether the bottom of the grid's visible rectangle reaches the height of all its items (also
// for a grid shorter than its view).
bool showsEnd(const ui::CollectionView* grid);
// Calls the list's scrollViewDidScroll on each bounds change of the grid while the list lives;
// answers the observation for stopObserving.
template <class List>
uint64_t observeBounds(const ui::CollectionView* grid, WeakRef<List> list) {
    return observeBounds(grid, [list] {
        if (auto alive = list.lock())
            alive->scrollViewDidScroll();
    });
}
uint64_t observeBounds(const ui::CollectionView* grid, std::function<void()> handler);
void stopObserving(uint64_t observation);
// Entries with a display order first, ascending by it; those without (0) after them, in the order
// given.
void orderByDisplayOrder(std::vector<Ref<VnShopGroupInfo>>& entries);

}  // namespace store_lists
