#include "vnlib/domain/storage/VnJsonDBDataTable.h"

#include <algorithm>
#include <unordered_map>

#include "platform/core/Log.h"
#include "vnlib/dev/json/JSONKitSerializing.h"

PLAT_DEFINE_CLASS(VnJsonDBDataTable, VnStorageBackedObject, PLAT_NO_METHODS)

VnJsonDBDataTable::VnJsonDBDataTable(Ref<VnDataContext> dataContext, const plat::Class& infoClass,
                                     const plat::Class& dataClass)
    : dataContext_(std::move(dataContext)), infoClass_(&infoClass), dataClass_(&dataClass) {
    PLAT_PARAMETER_ASSERT(dataContext_);
}

plat::Value VnJsonDBDataTable::rowTextOfInfo(const Ref<VnInfo>& info) {
    const auto view = info->proxyForJson().dictionary();
    auto text = view ? JSONStringWithOptions(view, 0, nullptr) : std::nullopt;
    return text ? plat::Value(std::move(*text)) : plat::Value();
}

void VnJsonDBDataTable::saveInfoToJsonData(const Ref<VnInfo>& info, VnJsonData& data) const {
    data.setCode(info->code());
    data.setPrimitiveValueForKey(VnJsonData::kJsonStringAttribute, rowTextOfInfo(info));
}

Ref<VnJsonData> VnJsonDBDataTable::jsonDataForInfo(const Ref<VnInfo>& info) {
    auto data = std::dynamic_pointer_cast<VnJsonData>(dataContext_->newInfo());
    PLAT_PARAMETER_ASSERT(data);
    saveInfoToJsonData(info, *data);
    return data;
}

plat::Predicate VnJsonDBDataTable::predicateForInfoCode(const std::string& code) {
    return plat::Predicate::equal("code", plat::Value(code));
}

Ref<VnJsonData> VnJsonDBDataTable::dataForCode(const std::string& code) {
    if (auto it = dataCodeMap_.find(code); it != dataCodeMap_.end())
        return it->second;
    if (notStored_.contains(code))
        return nullptr;
    for (const auto& row : dataContext_->infosWithPredicate(predicateForInfoCode(code))) {
        if (auto data = std::dynamic_pointer_cast<VnJsonData>(row)) {
            dataCodeMap_[code] = data;
            return data;
        }
    }
    return nullptr;
}

void VnJsonDBDataTable::addInfo(const Ref<VnInfo>& info) {
    PLAT_PARAMETER_ASSERT(info && info->code());
    auto data = jsonDataForInfo(info);
    dataContext_->addInfo(data);
    dataCodeMap_[*info->code()] = data;
    notStored_.erase(*info->code());
}

void VnJsonDBDataTable::updateInfo(const Ref<VnInfo>& info) {
    PLAT_PARAMETER_ASSERT(info && info->code());
    if (auto data = dataForCode(*info->code())) {
        saveInfoToJsonData(info, *data);
        dataContext_->save();
    } else {
        addInfo(info);
    }
}

void VnJsonDBDataTable::updateWithInfos(const std::vector<Ref<VnInfo>>& infos) {
    VnDataContext::UpdateScope update(*dataContext_);
    if (infos.size() < 2) {
        for (const auto& info : infos)
            updateInfo(info);
        return;
    }
    // Many records: the stored rows are read once and looked up by code, instead of one query
    // per record; a few records among many rows are looked up by code.
    std::unordered_map<std::string, Ref<VnJsonData>> stored;
    if (infos.size() * 8 < static_cast<size_t>(std::max(dataContext_->itemCount(), 0))) {
        for (const auto& info : infos) {
            PLAT_PARAMETER_ASSERT(info && info->code());
            if (auto data = dataForCode(*info->code()))
                stored.emplace(*info->code(), std::move(data));
        }
    } else {
        for (const auto& row : dataContext_->allInfos()) {
            auto data = std::dynamic_pointer_cast<VnJsonData>(row);
            if (data && data->code())
                stored.emplace(*data->code(), data);
        }
    }
    // Records without a row become rows saved with the changed ones, made without row objects:
    // a table is for one piece of work, and the store makes a row's object when it is fetched.
    std::vector<plat::Value> added;
    added.reserve(2 * infos.size());
    std::unordered_map<std::string_view, size_t> addedAt(infos.size());
    for (const auto& info : infos) {
        PLAT_PARAMETER_ASSERT(info && info->code());
        const std::string& code = *info->code();
        if (auto found = stored.find(code); found != stored.end()) {
            saveInfoToJsonData(info, *found->second);
            dataCodeMap_[code] = found->second;
        } else if (auto at = addedAt.find(code); at != addedAt.end()) {
            added[at->second + 1] = rowTextOfInfo(info);  // the last record of a code wins
        } else {
            addedAt.emplace(code, added.size());
            added.emplace_back(code);
            added.push_back(rowTextOfInfo(info));
            notStored_.erase(code);
        }
    }
    if (added.empty()) {
        dataContext_->save();
        return;
    }
    static const std::vector<std::string> names = {VnJsonData::kCodeAttribute,
                                                   VnJsonData::kJsonStringAttribute};
    dataContext_->saveAddingRows(names, std::move(added));
}

void VnJsonDBDataTable::removeInfoByCode(const std::string& code) {
    dataCodeMap_.erase(code);
    for (const auto& row : dataContext_->infosWithPredicate(predicateForInfoCode(code)))
        dataContext_->removeInfo(row);
}

void VnJsonDBDataTable::replaceWithNewItems(const std::vector<Ref<VnInfo>>& infos) {
    VnDataContext::UpdateScope update(*dataContext_);
    dataContext_->removeAll();
    dataCodeMap_.clear();
    notStored_.clear();
    for (const auto& info : infos)
        addInfo(info);
}

Ref<VnInfo> VnJsonDBDataTable::infoForCode(const std::string& code) {
    auto data = dataForCode(code);
    return data ? data->info() : nullptr;
}

void VnJsonDBDataTable::preloadItemsWithCodes(const std::vector<std::string>& codes) {
    const int32_t n = dataContext_->itemCount();
    std::vector<Ref<VnJsonData>> rows;
    const bool everyRow = static_cast<int64_t>(codes.size()) > static_cast<int64_t>(n) * 8 / 10;
    if (everyRow) {
        for (const auto& row : dataContext_->allInfos()) {
            if (auto data = std::dynamic_pointer_cast<VnJsonData>(row))
                rows.push_back(std::move(data));
        }
    } else {
        for (const auto& code : codes) {
            if (auto data = dataForCode(code))
                rows.push_back(std::move(data));
        }
    }
    const double start = plat::Date::now().seconds;
    for (const auto& data : rows) {
        if (const auto code = data->code())
            dataCodeMap_[*code] = data;
    }
    // Every row was read: the codes it lacks need not be asked for one by one.
    if (everyRow) {
        for (const auto& code : codes) {
            if (!dataCodeMap_.contains(code))
                notStored_.insert(code);
        }
    }
    VND_TRACE("Performance", "Parse time for %d objects: %f seconds", static_cast<int>(rows.size()),
              plat::Date::now().seconds - start);
}
