#pragma once
// The item references of a listing as both services answer them: in sort-index order, each with
// its hash, its own sort index and the length of the whole list; newest first reverses the order
// and numbers the positions instead. Each service pages the list its own way.
#include <vector>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

std::vector<Json> referenceList(std::vector<const SampleItem*> items, bool newestFirst = false);

}  // namespace demo
