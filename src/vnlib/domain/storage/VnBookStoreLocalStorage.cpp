#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

#include <set>

#include "platform/storage/Paths.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/domain/VnMagazineIssueKind.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"
#include "vnlib/domain/storage/VnStoreModels.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(VnBookStoreLocalStorage, VndObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnBookStoreUserStorage, VndObject, PLAT_NO_METHODS)

namespace {

std::vector<Ref<VnInfo>> asInfos(const std::vector<Ref<VnMagazineIssueInfo>>& items) {
    return {items.begin(), items.end()};
}

}  // namespace

// ---- VnBookStoreLocalStorage
// ---------------------------------------------------------------------

VnBookStoreLocalStorage::VnBookStoreLocalStorage(std::filesystem::path storagePath)
    : storagePath_(std::move(storagePath)) {
    PLAT_ASSERT(!storagePath_.empty(), "Storage path cannot be null");
    booksArchivePath_ = storagePath_ / "MagazineIssues";
    userStoragesRootPath_ = storagePath_ / "_Users";
    storeLocalArchive_ = std::make_shared<VnLocalArchive>(storagePath_);
    magazinesArchive_ = storeLocalArchive_->subarchiveWithId("Magazines");
    booksLocalArchive_ = std::make_shared<VnBooksLocalArchive>(booksArchivePath_);
    discardedFiles_ = std::make_shared<VnDiscardedFiles>(storagePath_ / "Discarded");
    coreTableClassMap_[VnMagazineIssueInfo::classObject().name()] =
        &VnJsonMagazineIssueInfoData::classObject();
    buildManagedObjectContextWithStoragePath(storagePath_);
}

const plat::ObjectModel& VnBookStoreLocalStorage::managedObjectModel() {
    return VarnelClientGlobalCacheModel();
}

void VnBookStoreLocalStorage::buildManagedObjectContextWithStoragePath(
    const std::filesystem::path& storagePath) {
    managedObjectContext_ =
        plat::ObjectStoreContext::open(storagePath / "GlobalCache.sqlite", managedObjectModel());
}

std::filesystem::path VnBookStoreLocalStorage::userStoragePathWithUserId(
    const VnUserId& userId) const {
    return userStoragesRootPath_ /
           plat::Paths::escapeComponent(userId.isDefault() ? "default" : userId.userName());
}

std::filesystem::path VnBookStoreLocalStorage::userDocumentPathWithUserId(
    const VnUserId& userId) const {
    return plat::Paths::applicationDataDirectory() / "UserData" /
           plat::Paths::escapeComponent(userId.isDefault() ? "default" : userId.userName());
}

Ref<VnBookStoreUserStorage> VnBookStoreLocalStorage::userStorageByUserId(
    const Ref<VnUserId>& userId) {
    PLAT_PARAMETER_ASSERT(userId);
    auto& entry = storageMap_[userId.get()];
    if (!entry.second) {
        entry.first = userId;  // keeps the identity alive as long as its storage
        entry.second =
            std::make_shared<VnBookStoreUserStorage>(self<VnBookStoreLocalStorage>(), userId);
    }
    return entry.second;
}

Ref<VnBookStoreUserStorage> VnBookStoreLocalStorage::defaultUserStorage() {
    if (!defaultUserStorage_) {
        defaultUserStorage_ = std::make_shared<VnBookStoreUserStorage>(
            self<VnBookStoreLocalStorage>(), VnUserId::defaultUserId());
    }
    return defaultUserStorage_;
}

void VnBookStoreLocalStorage::setObject(const plat::Value& value, const std::string& key) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->setObject(value, key);
    defaults->synchronize();
}

void VnBookStoreLocalStorage::removeObjectForKey(const std::string& key) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(key);
    defaults->synchronize();
}

plat::Value VnBookStoreLocalStorage::objectForKey(const std::string& key) const {
    return plat::UserDefaults::standardUserDefaults()->objectForKey(key);
}

Ref<VnJsonDBDataTable> VnBookStoreLocalStorage::dataTableWithName(const std::string& tableName,
                                                                  const plat::Class& infoClass) {
    PLAT_PARAMETER_ASSERT(!tableName.empty());
    auto it = coreTableClassMap_.find(infoClass.name());
    if (it == coreTableClassMap_.end())
        plat::raise(VnDomainException, "Invalid infoClass type");
    auto context = std::make_shared<VnCoreDataContext>(tableName, managedObjectContext_);
    return std::make_shared<VnJsonDBDataTable>(context, infoClass, *it->second);
}

// ---- VnBookStoreUserStorage
// ----------------------------------------------------------------------

VnBookStoreUserStorage::VnBookStoreUserStorage(Ref<VnBookStoreLocalStorage> localStorage,
                                               Ref<VnUserId> userId)
    : localStorage_(localStorage), userId_(std::move(userId)) {
    PLAT_PARAMETER_ASSERT(localStorage && userId_);
    userPath_ = localStorage->userStoragePathWithUserId(*userId_);
    booksArchive_ = localStorage->booksLocalArchive();
    discardedFiles_ = localStorage->discardedFiles();
    userArchive_ = std::make_shared<VnLocalArchive>(userPath_);
    userDocumentArchive_ =
        std::make_shared<VnLocalArchive>(localStorage->userDocumentPathWithUserId(*userId_));
}

void VnBookStoreUserStorage::persistMagazineIssueInfo(const Ref<VnMagazineIssueInfo>& info,
                                                      const std::string& kind) {
    persistMagazineIssueInfos({info}, kind);
}

Ref<VnJsonDBDataTable> VnBookStoreUserStorage::dataTableForMagazineIssueKind(
    const std::string& kind) {
    const auto root = localStorage();
    if (!root)
        return nullptr;
    return root->dataTableWithName(kind == VnMagazineIssueKind_Shops
                                       ? "JSONMagazineIssueInfoShop"
                                       : "JSONMagazineIssueInfoLibrary",
                                   VnMagazineIssueInfo::classObject());
}

void VnBookStoreUserStorage::persistShopMagazineIssueInfos(
    const std::vector<Ref<VnMagazineIssueInfo>>& infos) {
    auto shopTable = dataTableForMagazineIssueKind(VnMagazineIssueKind_Shops);
    if (!shopTable)
        return;
    shopTable->updateWithInfos(asInfos(infos));
    shopTable->flushStorageWriting();

    // Each head's table keeps the states it has (positions, what the user did) and gains a fresh
    // state only for items it does not know; no head's table receives another head's items.
    std::vector<Ref<VnLocalDataTable>> touched;
    std::set<const VnLocalDataTable*> seen;
    for (const auto& info : infos) {
        if (!info || !info->code())
            continue;
        auto table = userArchive_->tableWithName("Shops." + info->headCode_.value_or(""),
                                                 VnUserMagazineIssueInfo::classObject());
        if (!table->infoForCode(*info->code()))
            table->addInfo(VnUserMagazineIssueInfo::itemWithMagazineIssueCode(*info->code()));
        if (seen.insert(table.get()).second)
            touched.push_back(table);
    }
    for (const auto& table : touched)
        table->flushStorageWriting();
}

void VnBookStoreUserStorage::persistMagazineIssueInfos(
    const std::vector<Ref<VnMagazineIssueInfo>>& infos, const std::string& kind) {
    if (kind == VnMagazineIssueKind_Shops) {
        persistShopMagazineIssueInfos(infos);
        return;
    }
    auto table = dataTableForMagazineIssueKind(kind);
    if (!table)
        return;
    table->updateWithInfos(asInfos(infos));
    table->flushStorageWriting();
}

Ref<VnLocalDataTable> VnBookStoreUserStorage::libraryMagazineIssueInfoTable() {
    return userArchive_->tableWithName("Library", VnMagazineIssueInfo::classObject());
}

std::string VnBookStoreUserStorage::userKeyForKeyName(const std::string& keyName) const {
    return userId_->userName() + "/" + keyName;
}

void VnBookStoreUserStorage::setObject(const plat::Value& value, const std::string& keyName) {
    if (const auto root = localStorage())
        root->setObject(value, userKeyForKeyName(keyName));
}

plat::Value VnBookStoreUserStorage::objectForKey(const std::string& keyName) const {
    const auto root = localStorage();
    return root ? root->objectForKey(userKeyForKeyName(keyName)) : plat::Value();
}

void VnBookStoreUserStorage::removeObjectForKey(const std::string& keyName) {
    if (const auto root = localStorage())
        root->removeObjectForKey(userKeyForKeyName(keyName));
}
