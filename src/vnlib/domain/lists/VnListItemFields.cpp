#include "vnlib/domain/lists/VnListItemFields.h"

#include <algorithm>

#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"

int32_t VnSortIndexOf(const Ref<VnInfo>& item) {
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        return proxy->sortIndex();
    if (auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(item))
        return record->sortIndex_;
    if (auto title = std::dynamic_pointer_cast<VnMagazineInfo>(item))
        return title->sortIndex_;
    if (auto reference = std::dynamic_pointer_cast<VnMagazineIssueMetaInfo>(item))
        return reference->sortIndex_;
    if (auto reference = std::dynamic_pointer_cast<VnMagazineMetaInfo>(item))
        return reference->sortIndex_;
    if (auto userRecord = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(item))
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

std::optional<std::string> VnHashOf(const Ref<VnInfo>& item) {
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        return proxy->info()->hashString();
    auto hashed = std::dynamic_pointer_cast<VnInfoWithHashString>(item);
    return hashed ? hashed->hashString() : std::nullopt;
}

VnInfoList VnSortedBySortIndex(VnInfoList items) {
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return VnSortIndexOf(a) < VnSortIndexOf(b);
    });
    return items;
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
