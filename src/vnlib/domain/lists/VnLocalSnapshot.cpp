#include "vnlib/domain/lists/VnLocalSnapshot.h"

#include <map>
#include <optional>

#include "platform/core/Collections.h"
#include "vnlib/dev/util/VndDiags.h"

PLAT_DEFINE_CLASS(VnLocalSnapshot, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnUpdatedLocalSnapshot, VnLocalSnapshot, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnDomainSnapshot, plat::Object, PLAT_NO_METHODS)

std::map<std::optional<std::string>, Ref<VnInfo>> VnInfoMapByCode(const VnInfoList& items) {
    std::map<std::optional<std::string>, Ref<VnInfo>> map;
    for (const auto& item : items) {
        if (!item)
            continue;
        auto [it, inserted] = map.insert_or_assign(item->code(), item);
        if (!inserted)
            VND_TRACE("Warning", "%s", "Id must be unique");
    }
    return map;
}

VnInfoIndexByCode::VnInfoIndexByCode(const VnInfoList& items) : arena_(64 * (items.size() + 1)) {
    byCode_.reserve(items.size());
    for (const auto& item : items) {
        if (!item)
            continue;
        const Ref<VnInfo>** slot;
        if (const auto& code = item->code())
            slot = &byCode_[*code];
        else
            slot = &withoutCode_;
        if (*slot)
            VND_TRACE("Warning", "%s", "Id must be unique");
        *slot = &item;
    }
}

const Ref<VnInfo>* VnInfoIndexByCode::find(const std::optional<std::string>& code) const {
    if (!code)
        return withoutCode_;
    auto it = byCode_.find(*code);
    return it == byCode_.end() ? nullptr : it->second;
}

Ref<VnLocalSnapshot> VnLocalSnapshot::snapshotsWithItems(VnInfoList items, plat::Date lastUpdated) {
    return std::make_shared<VnLocalSnapshot>(std::move(items), lastUpdated);
}

Ref<VnLocalSnapshot> VnLocalSnapshot::empty() {
    static const Ref<VnLocalSnapshot> snapshot =
        std::make_shared<VnLocalSnapshot>(VnInfoList{}, plat::Date{0});
    return snapshot;
}

Ref<VnUpdatedLocalSnapshot> VnUpdatedLocalSnapshot::snapshotsWithItems(VnInfoList items,
                                                                       plat::Date lastUpdated,
                                                                       bool hasUpdated) {
    return std::make_shared<VnUpdatedLocalSnapshot>(std::move(items), lastUpdated, hasUpdated);
}

bool VnLocalSnapshot::checkUpdateWithNewData(const Ref<VnInfo>& newData,
                                             const Ref<VnInfo>& original) {
    const auto* newItem = dynamic_cast<const VnDateModifiedAttached*>(newData.get());
    const auto* oldItem = dynamic_cast<const VnDateModifiedAttached*>(original.get());
    if (!newItem)
        return true;
    return !oldItem || oldItem->modifiedDate() < newItem->modifiedDate();
}

VnChangeList VnLocalSnapshot::compareWithNewItems(const VnInfoList& newItems,
                                                  const UpdateCheck& check) const {
    const VnInfoIndexByCode newIndex(newItems);
    return compareWithNewItems(newItems, newIndex, check);
}

VnChangeList VnLocalSnapshot::compareWithNewItems(const VnInfoList& newItems,
                                                  const VnInfoIndexByCode& newIndex,
                                                  const UpdateCheck& check) const {
    const VnInfoIndexByCode oldIndex(items_);
    VnChangeList changes;
    for (const auto& item : newItems) {
        if (!item)
            continue;
        const Ref<VnInfo>* old = oldIndex.find(item->code());
        if (!old)
            changes.push_back(VnDataChangeRecord::changeWithNewData(item));
        else if (check(item, *old))
            changes.push_back(VnDataChangeRecord::changeWithModifiedData(item, *old));
    }
    for (const auto& item : items_) {
        if (item && !newIndex.contains(item->code()))
            changes.push_back(VnDataChangeRecord::changeWithRemovedData(item));
    }
    return changes;
}

VnChangeList VnLocalSnapshot::compareWithNewItems(const VnInfoList& newItems) const {
    return compareWithNewItems(newItems, &VnLocalSnapshot::checkUpdateWithNewData);
}

std::string VnLocalSnapshot::description() const {
    return "<" + className() + ": " + std::to_string(items_.size()) +
           " items, lastUpdated = " + std::to_string(lastUpdated_.seconds) +
           ", fullLengthItemCount = " + std::to_string(fullLengthItemCount_) + ">";
}

plat::Value VnInfoListValue(const VnInfoList& items) {
    std::vector<plat::Value> values;
    values.reserve(items.size());
    for (const auto& item : items)
        values.push_back(plat::Value::fromObject(item));
    return plat::Value::fromObject(plat::Array::make(std::move(values)));
}

plat::Value VnChangeListValue(const VnChangeList& changes) {
    std::vector<plat::Value> values;
    values.reserve(changes.size());
    for (const auto& change : changes)
        values.push_back(plat::Value::fromObject(change));
    return plat::Value::fromObject(plat::Array::make(std::move(values)));
}

VnInfoList VnInfoListFromArray(const Ref<plat::Array>& list) {
    VnInfoList items;
    if (list) {
        list->enumerate([&](const plat::Value& element) {
            if (auto item = element.as<VnInfo>())
                items.push_back(std::move(item));
            return true;
        });
    }
    return items;
}
