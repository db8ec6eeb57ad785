#include "vnlib/domain/lists/VnUserFollowContext.h"

PLAT_DEFINE_CLASS(VnUserFollowContext, plat::Object, PLAT_NO_METHODS)

std::vector<int32_t> VnUserFollowContext::followTypeIdArrayForBook(bool isBook) {
    if (isBook)
        return {VnFollowTypeBookCategory, VnFollowTypeAuthor, VnFollowTypePublisher};
    return {VnFollowTypeMagazineCategory, VnFollowTypePublisher};
}

bool VnUserFollowContext::isFollowForCategory(std::string_view category) const {
    const auto key = VnFollowInfo::categoryKeyForName(category);
    std::lock_guard lock(categoryMap_.lock);
    return categoryMap_.entries.contains(key);
}

bool VnUserFollowContext::isFollowForAuthor(const std::string& name) const {
    std::lock_guard lock(authorMap_.lock);
    return authorMap_.entries.contains(name);
}

bool VnUserFollowContext::isFollowForPublisher(const std::string& name) const {
    std::lock_guard lock(publisherMap_.lock);
    return publisherMap_.entries.contains(name);
}

bool VnUserFollowContext::isFollowForInfo(const Ref<VnFollowInfo>& info) const {
    if (!info || !info->name_)
        return false;
    switch (info->type_) {
        case VnFollowTypePublisher:
            return isFollowForPublisher(*info->name_);
        case VnFollowTypeAuthor:
            return isFollowForAuthor(*info->name_);
        case VnFollowTypeBookCategory:
        case VnFollowTypeMagazineCategory:
            return isFollowForCategory(*info->name_);
        default:
            return false;
    }
}

VnUserFollowContext::FollowMap* VnUserFollowContext::mapFor(const VnFollowInfo& info,
                                                            std::string& key) {
    if (!info.name_)
        return nullptr;
    switch (info.type_) {
        case VnFollowTypeBookCategory:
        case VnFollowTypeMagazineCategory:
            key = VnFollowInfo::categoryKeyForName(*info.name_);
            return &categoryMap_;
        case VnFollowTypeAuthor:
            key = *info.name_;
            return &authorMap_;
        case VnFollowTypePublisher:
            key = *info.name_;
            return &publisherMap_;
        default:
            return nullptr;
    }
}

void VnUserFollowContext::touch() {
    lastUpdated_.store(plat::Date::now().seconds);
}

void VnUserFollowContext::addFollowInfo(const Ref<VnFollowInfo>& info) {
    std::string key;
    FollowMap* map = info ? mapFor(*info, key) : nullptr;
    if (!map)
        return;
    bool stored = false;
    {
        std::lock_guard lock(map->lock);
        stored = map->entries.try_emplace(key, info).second;
    }
    if (stored)
        touch();
}

void VnUserFollowContext::addFollowFromArray(const std::vector<Ref<VnFollowInfo>>& infos) {
    for (const auto& info : infos)
        addFollowInfo(info);
    double never = 0;
    lastUpdated_.compare_exchange_strong(never, plat::Date::now().seconds);
}

void VnUserFollowContext::removeFollowInfo(const Ref<VnFollowInfo>& info) {
    std::string key;
    FollowMap* map = info ? mapFor(*info, key) : nullptr;
    if (!map)
        return;
    bool removed = false;
    {
        std::lock_guard lock(map->lock);
        removed = map->entries.erase(key) > 0;
    }
    if (removed)
        touch();
}

void VnUserFollowContext::updateFollowInfo(const Ref<VnFollowInfo>& info) {
    std::string key;
    FollowMap* map = info ? mapFor(*info, key) : nullptr;
    if (!map)
        return;
    std::lock_guard lock(map->lock);
    if (auto it = map->entries.find(key); it != map->entries.end())
        it->second = info;
}

void VnUserFollowContext::removeAll() {
    std::scoped_lock lock(categoryMap_.lock, authorMap_.lock, publisherMap_.lock);
    categoryMap_.entries.clear();
    authorMap_.entries.clear();
    publisherMap_.entries.clear();
    lastUpdated_.store(0);
}

std::vector<Ref<VnFollowInfo>> VnUserFollowContext::followObjects() const {
    std::scoped_lock lock(categoryMap_.lock, authorMap_.lock, publisherMap_.lock);
    std::vector<Ref<VnFollowInfo>> all;
    for (const auto* map : {&categoryMap_, &authorMap_, &publisherMap_}) {
        for (const auto& [name, info] : map->entries)
            all.push_back(info);
    }
    return all;
}

size_t VnUserFollowContext::count() const {
    std::scoped_lock lock(categoryMap_.lock, authorMap_.lock, publisherMap_.lock);
    return categoryMap_.entries.size() + authorMap_.entries.size() + publisherMap_.entries.size();
}
