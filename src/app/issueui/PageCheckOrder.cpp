#include "app/issueui/PageCheckOrder.h"

#include <algorithm>

void PageCheckOrder::add(Check check) {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(check));
}

void PageCheckOrder::putFirst(std::vector<int32_t> sourcePageIndices) {
    std::lock_guard lock(mutex_);
    first_ = std::move(sourcePageIndices);
}

std::optional<PageCheckOrder::Check> PageCheckOrder::takeNext() {
    std::lock_guard lock(mutex_);
    auto next = waiting_.begin();
    for (const int32_t page : first_) {
        const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const Check& check) {
            return check.sourcePageIndex == page;
        });
        if (found != waiting_.end()) {
            next = found;
            break;
        }
    }
    if (next == waiting_.end())
        return std::nullopt;
    Check check = std::move(*next);
    waiting_.erase(next);
    return check;
}
