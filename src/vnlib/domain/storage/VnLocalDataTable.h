#pragma once
// Record tables. VnLocalDataTableProtocol is what owners use of a table of either kind (a JSON
// file here, rows of an object store in VnJsonDBDataTable): records keyed by their code.
//
// VnLocalDataTable keeps one JSON file ("<name>.table.json") holding an array of records of one
// class, in memory as a map by code, read on first use and written back whole, atomically, when
// flushed (by the records themselves when they all can, VnRowText). A missing file is an empty
// table; a file that is not a JSON array is set aside (renamed, logged) and the table starts
// empty; elements that do not load, and records without a code given to it, are skipped.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "vnlib/domain/storage/VnStorageBackedObject.h"
#include "vnlib/info/VnInfo.h"

class VnLocalDataTableProtocol {
  public:
    virtual ~VnLocalDataTableProtocol() = default;
    virtual void addInfo(const Ref<VnInfo>& info) = 0;
    virtual void updateInfo(const Ref<VnInfo>& info) = 0;
    virtual void updateWithInfos(const std::vector<Ref<VnInfo>>& infos) = 0;
    virtual void removeInfoByCode(const std::string& code) = 0;
    virtual void replaceWithNewItems(const std::vector<Ref<VnInfo>>& infos) = 0;
    virtual Ref<VnInfo> infoForCode(const std::string& code) = 0;
    virtual void preloadItemsWithCodes(const std::vector<std::string>& codes) = 0;
    virtual void flushStorageWriting() = 0;
};

class VnLocalDataTable : public VnStorageBackedObject, public VnLocalDataTableProtocol {
    PLAT_CLASS(VnLocalDataTable)
  public:
    // Larger table files are not read (a damaged file must not exhaust memory).
    static constexpr size_t kMaxFileSize = size_t{512} << 20;

    // Nothing is read yet. The class must be a record class (VnInfo or below).
    VnLocalDataTable(std::filesystem::path filePath, const plat::Class& itemClass);
    ~VnLocalDataTable() override;  // flushes

    const std::filesystem::path& filePath() const { return filePath_; }
    const plat::Class& itemClass() const { return *itemClass_; }
    bool loadedFromFile() const { return loadedFromFile_; }

    // Reads the file once.
    void ensureLoading();
    void addInfo(const Ref<VnInfo>& info) override;
    void updateInfo(const Ref<VnInfo>& info) override { addInfo(info); }
    // A later record with a repeated code wins; marks the table, also for an empty list.
    void updateWithInfos(const std::vector<Ref<VnInfo>>& infos) override;
    // An unknown code changes and marks nothing.
    void removeInfoByCode(const std::string& code) override;
    // The records become the table's content, without reading the file.
    void replaceWithNewItems(const std::vector<Ref<VnInfo>>& infos) override;
    // Every record, in no defined order.
    std::vector<Ref<VnInfo>> takeItems();
    Ref<VnInfo> infoForCode(const std::string& code) override;
    void preloadItemsWithCodes(const std::vector<std::string>& codes) override;
    void flushStorageWriting() override { VnStorageBackedObject::flushStorageWriting(); }
    bool _writeToStorage() override;

  private:
    // False (and nothing changes) for a record without a code.
    bool put(const Ref<VnInfo>& info);
    // The file's text when every record writes its own row (see VnRowText); nothing otherwise.
    std::optional<std::string> directText() const;

    std::filesystem::path filePath_;
    std::map<std::string, Ref<VnInfo>> infoMap_;
    const plat::Class* itemClass_;
    bool loadedFromFile_ = false;
};
