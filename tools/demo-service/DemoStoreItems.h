#pragma once
// The fields of an item record that the item detail shows beyond the listing's: copies left
// ("RemainingIssues"), the earliest return date when no copy is free ("ReturnDate", ddMMyyyy),
// best-seller ranks overall and in two categories, the member-only flag, country, interactive
// content and its size, the title's code on issues ("ParentCode"), and the file size in
// megabytes. Both services' records carry them; a field a record has already is kept, except the
// size, which is always in megabytes.
//
// Seeded: BK0001 ranks #10000 overall and 3rd in its category, 12.5 MB; BK0002 ranks 10001,
// BK0003 0; BK0006 is an EPUB with interactive audio; BK0004 is for members only; MG01-2403 has
// interactive video and images (3.25 MB of them).
#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

void addStoreItemFields(Json& record, const SampleCatalogue& catalogue, const SampleItem& item);

}  // namespace demo
