#pragma once
// VnLocalArchive: one folder of the cache. It hands out a nested archive for each subfolder and a
// record table for each "<name>.table.json" in it, each made once and kept, and writes its own
// info list to "items.xml" (JSON text). Ids, table names and tags become file names through
// plat::Paths::escapeComponent, so nothing lands outside the folder. Tag files ("<tag>.tag")
// live inside the archive.
//
// VnBooksLocalArchive: the archive of catalogue items, one nested archive per item code.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/storage/VnArchiveFileGeneration.h"
#include "vnlib/domain/storage/VnLocalDataTable.h"

class VnLocalArchive : public VnStorageBackedObject {
    PLAT_CLASS(VnLocalArchive)
  public:
    // Creates the folder (with its parents; failures ignored). The path must not be empty.
    explicit VnLocalArchive(std::filesystem::path archivePath);
    ~VnLocalArchive() override;  // flushes

    const std::filesystem::path& archivePath() const { return archivePath_; }
    std::filesystem::path cacheFilePathWithId(const std::string& assetId) const;
    std::filesystem::path infosFilePath() const { return archivePath_ / "items.xml"; }
    std::filesystem::path tableFilePathWithTableName(const std::string& tableName) const;

    // Once per archive: every entry of the folder not yet known becomes a complete cache asset.
    void preloadAllCacheAssets();
    // The asset of that id, made on first request over the file cacheFilePathWithId(id).
    Ref<VnLocalCacheAsset> assetWithId(const std::string& assetId);
    // assetWithId for each entry of the folder, in listing order.
    std::vector<Ref<VnLocalCacheAsset>> allCacheAssets();
    // Forgets the assets handed out; the files stay.
    void clearCacheAssetInMemoryMap() { cacheAssetMap_.clear(); }
    // How often the item was returned (its files taken away as a whole, or left to another
    // member), for writers on other threads.
    const std::shared_ptr<VnArchiveFileGeneration>& fileGeneration() const {
        return fileGeneration_;
    }

    // The nested archives made so far, as they were at the first call.
    const std::vector<Ref<VnLocalArchive>>& subarchives();
    // The nested archive of that id, made (with its folder) on first request.
    Ref<VnLocalArchive> subarchiveWithId(const std::string& archiveId);
    // The table of that name, made on first request with the class; later requests answer the
    // same table whatever class they name.
    Ref<VnLocalDataTable> tableWithName(const std::string& tableName, const plat::Class& itemClass);
    // Forgets the tables handed out, with their changes not yet written (their files were taken
    // away): the next request reads the folder as it is now.
    void forgetTables();
    // Forgets the table, one of this archive's, with its changes not yet written, and deletes its
    // file (a link in its place goes, not what it points to).
    void removeTable(const Ref<VnLocalDataTable>& table);

    void addInfo(const Ref<VnInfoBase>& info);
    const std::vector<Ref<VnInfoBase>>& infos() const { return infos_; }
    bool _writeToStorage() override;

    std::filesystem::path filePathByTag(const std::string& tag) const;
    void markWithTag(const std::string& tag);
    void unmarkWithTag(const std::string& tag);

  protected:
    // Makes the nested archive over a folder; VnBooksLocalArchive keeps the plain kind.
    virtual Ref<VnLocalArchive> makeSubarchive(std::filesystem::path path) const;

  private:
    std::filesystem::path archivePath_;
    std::shared_ptr<VnArchiveFileGeneration> fileGeneration_ =
        std::make_shared<VnArchiveFileGeneration>();
    std::map<std::string, Ref<VnLocalArchive>> subarchiveMaps_;
    std::map<std::string, Ref<VnLocalCacheAsset>> cacheAssetMap_;
    std::map<std::string, Ref<VnLocalDataTable>> tableMap_;
    std::vector<Ref<VnInfoBase>> infos_;
    std::optional<std::vector<Ref<VnLocalArchive>>> subarchives_;
    bool isPreloaded_ = false;
};

class VnMagazineIssueInfo;

class VnBooksLocalArchive : public VnLocalArchive {
    PLAT_CLASS(VnBooksLocalArchive)
  public:
    using VnLocalArchive::VnLocalArchive;
    // The nested archive of the item's code, or of "NULL" for an item without one.
    Ref<VnLocalArchive> subarchiveWithMagazineIssue(const Ref<VnInfo>& issue);
};
