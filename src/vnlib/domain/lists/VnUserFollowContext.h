#pragma once
// VnUserFollowContext: what one user follows (categories, authors, publishers), in memory, as
// VnFollowInfo records keyed by name; the first record of a name wins. Category names are keyed
// by their last "/"-separated part, trimmed, when stored and when asked about. Safe to use from
// several threads: each map has its own lock, and operations over all three take them in one
// order (categories, authors, publishers).
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "vnlib/info/store/VnFollowInfo.h"

class VnUserFollowContext : public plat::Object {
    PLAT_CLASS(VnUserFollowContext)
  public:
    VnUserFollowContext() = default;

    // Books: types 1, 3, 4; magazines: 2, 4.
    static std::vector<int32_t> followTypeIdArrayForBook(bool isBook);

    bool isFollowForCategory(std::string_view category) const;
    bool isFollowForAuthor(const std::string& name) const;
    bool isFollowForPublisher(const std::string& name) const;
    bool isFollowForInfo(const Ref<VnFollowInfo>& info) const;

    void addFollowInfo(const Ref<VnFollowInfo>& info);
    // Adds each record; an empty list still makes the context available.
    void addFollowFromArray(const std::vector<Ref<VnFollowInfo>>& infos);
    void removeFollowInfo(const Ref<VnFollowInfo>& info);
    // Replaces the record held under the same name; an unknown name adds nothing.
    void updateFollowInfo(const Ref<VnFollowInfo>& info);
    void removeAll();

    // Categories, then authors, then publishers.
    std::vector<Ref<VnFollowInfo>> followObjects() const;
    size_t count() const;
    bool isAvailable() const { return lastUpdated() != 0; }
    // Seconds since 1970 of the last change; 0 when never filled.
    double lastUpdated() const { return lastUpdated_.load(); }

  private:
    struct FollowMap {
        mutable std::mutex lock;
        std::map<std::string, Ref<VnFollowInfo>> entries;
    };
    // The map of the record's type and its key; null for other types or a record without name.
    FollowMap* mapFor(const VnFollowInfo& info, std::string& key);
    void touch();

    FollowMap categoryMap_;
    FollowMap authorMap_;
    FollowMap publisherMap_;
    std::atomic<double> lastUpdated_{0};
};
