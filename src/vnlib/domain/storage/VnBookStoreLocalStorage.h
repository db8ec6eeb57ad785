#pragma once
// The bookstore's storage on this machine. VnBookStoreLocalStorage lays out the cache tree below
// its storage root ("Magazines", "MagazineIssues" shared by all users, "_Users/<user>", and
// "Discarded", where files wait for their deletion off the main thread), opens the
// global object store "GlobalCache.sqlite", hands out one VnBookStoreUserStorage per user
// identity, makes object-store record tables, and reads and writes settings in the user defaults
// (each write synchronised at once). VnBookStoreUserStorage is one user's part: the user's
// archive, the document archive holding the user's object store ("<Library>/Varnel/UserData/
// <user>"), the catalogue tables and settings keys "<user>/<key>". User names become folder names
// through plat::Paths::escapeComponent.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/storage/ObjectStore.h"
#include "vnlib/domain/context/VnUserId.h"
#include "vnlib/domain/storage/VnJsonDBDataTable.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

class VnBookStoreUserStorage;
class VnDiscardedFiles;
class VnMagazineIssueInfo;

inline constexpr const char* VnDomainException = "VnDomainException";

class VnBookStoreLocalStorage : public VndObject {
    PLAT_CLASS(VnBookStoreLocalStorage)
  public:
    explicit VnBookStoreLocalStorage(std::filesystem::path storagePath);

    static const plat::ObjectModel& managedObjectModel();
    void buildManagedObjectContextWithStoragePath(const std::filesystem::path& storagePath);

    std::filesystem::path userStoragePathWithUserId(const VnUserId& userId) const;
    // <Library>/Varnel/UserData/<user or "default">
    std::filesystem::path userDocumentPathWithUserId(const VnUserId& userId) const;
    // The same identity object always answers the same storage.
    Ref<VnBookStoreUserStorage> userStorageByUserId(const Ref<VnUserId>& userId);
    Ref<VnBookStoreUserStorage> defaultUserStorage();

    void setObject(const plat::Value& value, const std::string& key);
    void removeObjectForKey(const std::string& key);
    plat::Value objectForKey(const std::string& key) const;

    // A new table over the global store's entity; "VnDomainException" "Invalid infoClass type"
    // for a record class that has no row class, "Entity not found" for an unknown entity.
    Ref<VnJsonDBDataTable> dataTableWithName(const std::string& tableName,
                                             const plat::Class& infoClass);

    const std::filesystem::path& storagePath() const { return storagePath_; }
    const std::filesystem::path& booksArchivePath() const { return booksArchivePath_; }
    const std::filesystem::path& userStoragesRootPath() const { return userStoragesRootPath_; }
    const Ref<VnLocalArchive>& storeLocalArchive() const { return storeLocalArchive_; }
    const Ref<VnLocalArchive>& magazinesArchive() const { return magazinesArchive_; }
    const Ref<VnBooksLocalArchive>& booksLocalArchive() const { return booksLocalArchive_; }
    // Files of the cache that leave their place at once and are deleted off the main thread
    // (below <storage>/Discarded).
    const Ref<VnDiscardedFiles>& discardedFiles() const { return discardedFiles_; }
    const Ref<plat::ObjectStoreContext>& managedObjectContext() const {
        return managedObjectContext_;
    }

  private:
    Ref<plat::ObjectStoreContext> managedObjectContext_;
    std::filesystem::path storagePath_;
    std::map<const VnUserId*, std::pair<Ref<VnUserId>, Ref<VnBookStoreUserStorage>>> storageMap_;
    std::filesystem::path booksArchivePath_;
    std::filesystem::path userStoragesRootPath_;
    Ref<VnLocalArchive> storeLocalArchive_;
    Ref<VnLocalArchive> magazinesArchive_;
    Ref<VnBooksLocalArchive> booksLocalArchive_;
    Ref<VnDiscardedFiles> discardedFiles_;
    std::map<std::string, const plat::Class*> coreTableClassMap_;
    Ref<VnBookStoreUserStorage> defaultUserStorage_;
};

class VnBookStoreUserStorage : public VndObject {
    PLAT_CLASS(VnBookStoreUserStorage)
  public:
    VnBookStoreUserStorage(Ref<VnBookStoreLocalStorage> localStorage, Ref<VnUserId> userId);

    std::nullptr_t takeSnapshotWithArchiveId(const std::string&) { return nullptr; }
    void persistMagazineIssueInfo(const Ref<VnMagazineIssueInfo>& info, const std::string& kind);
    // The shop kind ("Shops") uses "JSONMagazineIssueInfoShop", every other kind
    // "JSONMagazineIssueInfoLibrary"; a new table object on every call. Null once the home
    // storage has gone (a reply that comes while the program ends): what would read it finds
    // nothing and what would write it keeps nothing, as the settings below do.
    Ref<VnJsonDBDataTable> dataTableForMagazineIssueKind(const std::string& kind);
    // Stores the items in the shop table, and for each head code adds a fresh per-user state
    // for each item new to that head's "Shops.<head>" table, keeping the states it has.
    void persistShopMagazineIssueInfos(const std::vector<Ref<VnMagazineIssueInfo>>& infos);
    void persistMagazineIssueInfos(const std::vector<Ref<VnMagazineIssueInfo>>& infos,
                                   const std::string& kind);
    void bookArchiveWithIssueInfo(const Ref<VnMagazineIssueInfo>&) {}
    Ref<VnLocalDataTable> libraryMagazineIssueInfoTable();

    std::string userKeyForKeyName(const std::string& keyName) const;
    void setObject(const plat::Value& value, const std::string& keyName);
    plat::Value objectForKey(const std::string& keyName) const;
    void removeObjectForKey(const std::string& keyName);

    // The root, held weakly: it keeps its user storages, and lives as long as the store
    // context; null after it, while a member's context may still be held.
    Ref<VnBookStoreLocalStorage> localStorage() const { return localStorage_.lock(); }
    const std::filesystem::path& userPath() const { return userPath_; }
    const Ref<VnBooksLocalArchive>& booksArchive() const { return booksArchive_; }
    const Ref<VnDiscardedFiles>& discardedFiles() const { return discardedFiles_; }
    const Ref<VnLocalArchive>& userArchive() const { return userArchive_; }
    const Ref<VnLocalArchive>& userDocumentArchive() const { return userDocumentArchive_; }
    const Ref<VnUserId>& userId() const { return userId_; }

  private:
    WeakRef<VnBookStoreLocalStorage> localStorage_;
    std::filesystem::path userPath_;
    Ref<VnBooksLocalArchive> booksArchive_;
    Ref<VnDiscardedFiles> discardedFiles_;
    Ref<VnLocalArchive> userArchive_;
    Ref<VnLocalArchive> userDocumentArchive_;
    Ref<VnUserId> userId_;
};
