#pragma once
// What the store's paged lists share: the active user context and the page length, both from
// the global service; the records a finished list request delivered; whether a grid shows its
// end; and the order of entries by their display order.
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
// Entries with a display order first, ascending by it; those without (0) after them, in the order
// given.
void orderByDisplayOrder(std::vector<Ref<VnShopGroupInfo>>& entries);

}  // namespace store_lists
