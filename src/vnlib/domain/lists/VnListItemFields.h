#pragma once
// The position and content hash of a list item, whatever record carries them: a catalogue item
// or title, their server references, a per-user record, or a listed item (its own position, its
// record's hash). Records without them sort as 0 and have no hash.
#include <optional>
#include <string>

#include "vnlib/domain/lists/VnLocalSnapshot.h"

int32_t VnSortIndexOf(const Ref<VnInfo>& item);
void VnSetSortIndex(const Ref<VnInfo>& item, int32_t index);
const std::optional<std::string>& VnHashOf(const Ref<VnInfo>& item);
// Stable: items of one position keep their order.
VnInfoList VnSortedBySortIndex(VnInfoList items);
// Pages in reading order (by presentation index), stable.
VnInfoList VnSortedByPresentationIndex(VnInfoList pages);
