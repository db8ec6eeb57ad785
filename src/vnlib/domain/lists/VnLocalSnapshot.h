#pragma once
// Pictures of a domain's list.
//   VnLocalSnapshot: the items (in the domain's order) and when the domain last took them from
//     the server (1 January 1970 when it never did); compareWithNewItems answers the difference
//     between its items and a new list as change records, keyed by code.
//   VnUpdatedLocalSnapshot: adds whether it was taken right after a server answer.
//   VnDomainSnapshot: a plain list.
#include <functional>
#include <map>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vnlib/domain/lists/VnDataChangeRecord.h"

using VnInfoList = std::vector<Ref<VnInfo>>;
using VnChangeList = std::vector<Ref<VnDataChangeRecord>>;

// Records that carry a modification date adopt this; the default change test reads it.
class VnDateModifiedAttached {
  public:
    virtual ~VnDateModifiedAttached() = default;
    virtual plat::Date modifiedDate() const = 0;
};
// Code to item as VnInfoMapByCode keys them, over a list that outlives the index, without
// copying codes or items (its entries live in one arena).
class VnInfoIndexByCode {
  public:
    explicit VnInfoIndexByCode(const VnInfoList& items);
    VnInfoIndexByCode(const VnInfoIndexByCode&) = delete;
    VnInfoIndexByCode& operator=(const VnInfoIndexByCode&) = delete;
    // The item of the code (the later of two), null when none.
    const Ref<VnInfo>* find(const std::optional<std::string>& code) const;
    bool contains(const std::optional<std::string>& code) const { return find(code); }

  private:
    std::pmr::monotonic_buffer_resource arena_;
    std::pmr::unordered_map<std::string_view, const Ref<VnInfo>*> byCode_{&arena_};
    const Ref<VnInfo>* withoutCode_ = nullptr;
};

class VnLocalSnapshot : public plat::Object {
    PLAT_CLASS(VnLocalSnapshot)
  public:
    // Answers whether an item present in both lists changed: (new item, old item).
    using UpdateCheck =
        std::function<bool(const Ref<VnInfo>& newData, const Ref<VnInfo>& original)>;

    VnLocalSnapshot(VnInfoList items, plat::Date lastUpdated)
        : items_(std::move(items)), lastUpdated_(lastUpdated) {}
    static Ref<VnLocalSnapshot> snapshotsWithItems(VnInfoList items, plat::Date lastUpdated);
    // The one empty snapshot, dated 1970.
    static Ref<VnLocalSnapshot> empty();

    const VnInfoList& items() const { return items_; }
    plat::Date lastUpdated() const { return lastUpdated_; }
    int32_t fullLengthItemCount() const { return fullLengthItemCount_; }
    void setFullLengthItemCount(int32_t count) { fullLengthItemCount_ = count; }

    // The default change test: an item that carries a modification date changed when the new
    // one is strictly later; any other item present on both sides counts as changed.
    static bool checkUpdateWithNewData(const Ref<VnInfo>& newData, const Ref<VnInfo>& original);
    // New and modified records in the order of the new list, then removed records in the order
    // of this snapshot.
    VnChangeList compareWithNewItems(const VnInfoList& newItems, const UpdateCheck& check) const;
    // The same with the new list's index made by the caller (for several comparisons with it).
    VnChangeList compareWithNewItems(const VnInfoList& newItems, const VnInfoIndexByCode& newIndex,
                                     const UpdateCheck& check) const;
    VnChangeList compareWithNewItems(const VnInfoList& newItems) const;
    std::string description() const override;

  private:
    VnInfoList items_;
    plat::Date lastUpdated_;
    int32_t fullLengthItemCount_ = 0;
};

class VnUpdatedLocalSnapshot : public VnLocalSnapshot {
    PLAT_CLASS(VnUpdatedLocalSnapshot)
  public:
    VnUpdatedLocalSnapshot(VnInfoList items, plat::Date lastUpdated, bool hasUpdated)
        : VnLocalSnapshot(std::move(items), lastUpdated), hasUpdated_(hasUpdated) {}
    static Ref<VnUpdatedLocalSnapshot> snapshotsWithItems(VnInfoList items, plat::Date lastUpdated,
                                                          bool hasUpdated);
    bool hasUpdated() const { return hasUpdated_; }

  private:
    bool hasUpdated_;
};

class VnDomainSnapshot : public plat::Object {
    PLAT_CLASS(VnDomainSnapshot)
  public:
    explicit VnDomainSnapshot(VnInfoList items) : items_(std::move(items)) {}
    const VnInfoList& items() const { return items_; }

  private:
    VnInfoList items_;
};

// Lists as values (for results and delegate messages), and the records of a list value in order
// (other elements skipped; nothing for a value that is not a list).
plat::Value VnInfoListValue(const VnInfoList& items);
plat::Value VnChangeListValue(const VnChangeList& changes);
VnInfoList VnInfoListFromArray(const Ref<plat::Array>& list);
inline VnInfoList VnInfoListFromValue(const plat::Value& value) {
    return VnInfoListFromArray(value.array());
}

// Code to item, as the domain keys its lists: an absent code is a key of its own; of two items
// with one code the later wins (logged in the "Warning" group).
std::map<std::optional<std::string>, Ref<VnInfo>> VnInfoMapByCode(const VnInfoList& items);
