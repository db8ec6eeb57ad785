#pragma once
// VnJsonDBDataTable: a record table kept as rows of an object store (code and JSON text per
// record), through a data context. A record's row text is the compact JSON text of its
// dictionary view. Every change is saved by the data context; rows already fetched or added are
// cached by code, and each row decodes its record once. Preloading more than 80 % of the rows
// takes them in one fetch instead of one fetch per code, and the codes that fetch did not find are
// then known to have no row. A table object is meant for one piece of work: rows added through
// another one afterwards are not seen for those codes.
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "vnlib/domain/storage/VnDataContext.h"
#include "vnlib/domain/storage/VnJsonData.h"
#include "vnlib/domain/storage/VnLocalDataTable.h"

class VnJsonDBDataTable : public VnStorageBackedObject, public VnLocalDataTableProtocol {
    PLAT_CLASS(VnJsonDBDataTable)
  public:
    VnJsonDBDataTable(Ref<VnDataContext> dataContext, const plat::Class& infoClass,
                      const plat::Class& dataClass);

    const Ref<VnDataContext>& dataContext() const { return dataContext_; }
    const plat::Class& infoClass() const { return *infoClass_; }
    const plat::Class& dataClass() const { return *dataClass_; }

    void saveInfoToJsonData(const Ref<VnInfo>& info, VnJsonData& data) const;
    Ref<VnJsonData> jsonDataForInfo(const Ref<VnInfo>& info);
    static plat::Predicate predicateForInfoCode(const std::string& code);
    // The cached row of the code, else the first stored one (then cached); null when none.
    Ref<VnJsonData> dataForCode(const std::string& code);

    void addInfo(const Ref<VnInfo>& info) override;
    // Refills the row of the record's code and saves at once; adds a row when there is none.
    void updateInfo(const Ref<VnInfo>& info) override;
    void updateWithInfos(const std::vector<Ref<VnInfo>>& infos) override;
    // Removes every row of the code.
    void removeInfoByCode(const std::string& code) override;
    // Leaves exactly the given records, saved once.
    void replaceWithNewItems(const std::vector<Ref<VnInfo>>& infos) override;
    Ref<VnInfo> infoForCode(const std::string& code) override;
    void preloadItemsWithCodes(const std::vector<std::string>& codes) override;
    // Nothing to do: the data context saves every change.
    void flushStorageWriting() override {}

  private:
    // The text a row keeps of the record: its dictionary view written compactly (nil when that
    // fails).
    static plat::Value rowTextOfInfo(const Ref<VnInfo>& info);

    Ref<VnDataContext> dataContext_;
    std::unordered_map<std::string, Ref<VnJsonData>> dataCodeMap_;
    std::set<std::string> notStored_;  // asked for by a preload of every row, not found
    const plat::Class* infoClass_;
    const plat::Class* dataClass_;
};
