#include "vnlib/domain/lists/VnListItemFields.h"

#include <algorithm>
#include <typeinfo>

#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"

namespace {

// The exact class of an item, compared before any cast: each failed dynamic_cast walks the
// class hierarchy, and a refresh asks for thousands of items' positions.
template <class T>
const T* exactly(const VnInfo* item) {
    return typeid(*item) == typeid(T) ? static_cast<const T*>(item) : nullptr;
}

}  // namespace

int32_t VnSortIndexOf(const Ref<VnInfo>& item) {
    if (!item)
        return 0;
    if (const auto* proxy = exactly<VnMagazineIssueInfoProxy>(item.get()))
        return proxy->sortIndex();
    if (const auto* userRecord = exactly<VnUserMagazineIssueInfo>(item.get()))
        return userRecord->sortIndex();
    if (const auto* reference = exactly<VnMagazineIssueMetaInfo>(item.get()))
        return reference->sortIndex_;
    if (const auto* proxy = dynamic_cast<const VnMagazineIssueInfoProxy*>(item.get()))
        return proxy->sortIndex();
    if (const auto* record = dynamic_cast<const VnMagazineIssueInfo*>(item.get()))
        return record->sortIndex_;
    if (const auto* title = dynamic_cast<const VnMagazineInfo*>(item.get()))
        return title->sortIndex_;
    if (const auto* reference = dynamic_cast<const VnMagazineIssueMetaInfo*>(item.get()))
        return reference->sortIndex_;
    if (const auto* reference = dynamic_cast<const VnMagazineMetaInfo*>(item.get()))
        return reference->sortIndex_;
    if (const auto* userRecord = dynamic_cast<const VnUserMagazineIssueInfo*>(item.get()))
        return userRecord->sortIndex();
    return 0;
}

void VnSetSortIndex(const Ref<VnInfo>& item, int32_t index) {
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        proxy->setSortIndex(index);
    else if (auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(item))
        record->sortIndex_ = index;
    else if (auto title = std::dynamic_pointer_cast<VnMagazineInfo>(item))
        title->sortIndex_ = index;
    else if (auto reference = std::dynamic_pointer_cast<VnMagazineIssueMetaInfo>(item))
        reference->sortIndex_ = index;
    else if (auto reference = std::dynamic_pointer_cast<VnMagazineMetaInfo>(item))
        reference->sortIndex_ = index;
    else if (auto userRecord = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(item))
        userRecord->setSortIndex(index);
}

const std::optional<std::string>& VnHashOf(const Ref<VnInfo>& item) {
    static const std::optional<std::string> none;
    if (!item)
        return none;
    if (const auto* reference = exactly<VnMagazineIssueMetaInfo>(item.get()))
        return reference->hashString();
    if (const auto* proxy = dynamic_cast<const VnMagazineIssueInfoProxy*>(item.get()))
        return proxy->info()->hashString();
    const auto* hashed = dynamic_cast<const VnInfoWithHashString*>(item.get());
    return hashed ? hashed->hashString() : none;
}

VnInfoList VnSortedBySortIndex(VnInfoList items) {
    // Each item's index is read once, not at every comparison.
    std::vector<std::pair<int32_t, size_t>> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        keys.emplace_back(VnSortIndexOf(items[i]), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    VnInfoList sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(items[key.second]));
    return sorted;
}

VnInfoList VnSortedByPresentationIndex(VnInfoList pages) {
    auto index = [](const Ref<VnInfo>& item) {
        auto page = std::dynamic_pointer_cast<VnPageInfo>(item);
        return page ? page->presentationPageIndex_ : 0;
    };
    std::stable_sort(pages.begin(), pages.end(),
                     [&](const auto& a, const auto& b) { return index(a) < index(b); });
    return pages;
}
