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

void VnJsonDBDataTable::saveInfoToJsonData(const Ref<VnInfo>& info, VnJsonData& data) const {
    data.setCode(info->code());
    // A record as received is stored as the bytes it came as, once; any other is written.
    if (auto received = info->takeReceivedJson()) {
        data.setJsonString(std::move(received));
        return;
    }
    const auto view = info->proxyForJson().dictionary();
    data.setJsonString(view ? JSONStringWithOptions(view, 0, nullptr) : std::nullopt);
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
    stored.reserve(infos.size());
    dataCodeMap_.reserve(dataCodeMap_.size() + infos.size());
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
    for (const auto& info : infos) {
        PLAT_PARAMETER_ASSERT(info && info->code());
        auto found = stored.find(*info->code());
        if (found != stored.end()) {
            saveInfoToJsonData(info, *found->second);
            dataCodeMap_[*info->code()] = found->second;
        } else {
            auto data = jsonDataForInfo(info);
            dataContext_->addInfo(data);
            dataCodeMap_[*info->code()] = data;
            notStored_.erase(*info->code());
            stored.emplace(*info->code(), data);
        }
    }
    dataContext_->save();
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
