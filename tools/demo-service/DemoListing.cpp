#include "demo-service/DemoListing.h"

#include <algorithm>

namespace demo {

std::vector<Json> referenceList(std::vector<const SampleItem*> items, bool newestFirst) {
    std::stable_sort(items.begin(), items.end(), [](const SampleItem* a, const SampleItem* b) {
        return a->sortIndex < b->sortIndex;
    });
    if (newestFirst)
        std::reverse(items.begin(), items.end());
    std::vector<Json> references;
    references.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        references.push_back(
            {{"MagazineIssueCode", items[i]->code},
             {"Hash", items[i]->hash()},
             {"SortIndex", newestFirst ? static_cast<int>(i) : items[i]->sortIndex},
             {"TotalResultLength", items.size()}});
    }
    return references;
}

}  // namespace demo
