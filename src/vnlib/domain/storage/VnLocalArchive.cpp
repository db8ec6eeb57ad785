#include "vnlib/domain/storage/VnLocalArchive.h"

#include <algorithm>

#include "platform/core/Log.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"

PLAT_DEFINE_CLASS(VnLocalArchive, VnStorageBackedObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnBooksLocalArchive, VnLocalArchive, PLAT_NO_METHODS)

VnLocalArchive::VnLocalArchive(std::filesystem::path archivePath)
    : archivePath_(std::move(archivePath)) {
    PLAT_ASSERT(!archivePath_.empty(), "archivePath");
    plat::Paths::createDirectories(archivePath_);
}

VnLocalArchive::~VnLocalArchive() {
    flushStorageWriting();
}

std::filesystem::path VnLocalArchive::cacheFilePathWithId(const std::string& assetId) const {
    return archivePath_ / plat::Paths::escapeComponent(assetId);
}

std::filesystem::path VnLocalArchive::tableFilePathWithTableName(
    const std::string& tableName) const {
    return archivePath_ / (plat::Paths::escapeComponent(tableName) + ".table.json");
}

void VnLocalArchive::preloadAllCacheAssets() {
    if (isPreloaded_)
        return;
    for (const auto& entry : plat::FileManager::contentsOfDirectory(archivePath_)) {
        const std::string assetId = plat::Paths::unescapeComponent(entry);
        if (!cacheAssetMap_.count(assetId)) {
            cacheAssetMap_[assetId] = std::make_shared<VnLocalCacheAsset>(
                cacheFilePathWithId(assetId), VnLocalCacheAssetStateComplete);
        }
    }
    isPreloaded_ = true;
}

Ref<VnLocalCacheAsset> VnLocalArchive::assetWithId(const std::string& assetId) {
    auto& asset = cacheAssetMap_[assetId];
    if (!asset)
        asset = std::make_shared<VnLocalCacheAsset>(cacheFilePathWithId(assetId));
    return asset;
}

std::vector<Ref<VnLocalCacheAsset>> VnLocalArchive::allCacheAssets() {
    std::vector<Ref<VnLocalCacheAsset>> assets;
    for (const auto& entry : plat::FileManager::contentsOfDirectory(archivePath_))
        assets.push_back(assetWithId(plat::Paths::unescapeComponent(entry)));
    return assets;
}

const std::vector<Ref<VnLocalArchive>>& VnLocalArchive::subarchives() {
    if (!subarchives_) {
        subarchives_.emplace();
        for (const auto& [id, archive] : subarchiveMaps_)
            subarchives_->push_back(archive);
    }
    return *subarchives_;
}

Ref<VnLocalArchive> VnLocalArchive::makeSubarchive(std::filesystem::path path) const {
    return std::make_shared<VnLocalArchive>(std::move(path));
}

Ref<VnLocalArchive> VnLocalArchive::subarchiveWithId(const std::string& archiveId) {
    auto& archive = subarchiveMaps_[archiveId];
    if (!archive)
        archive = makeSubarchive(cacheFilePathWithId(archiveId));
    return archive;
}

Ref<VnLocalDataTable> VnLocalArchive::tableWithName(const std::string& tableName,
                                                    const plat::Class& itemClass) {
    auto& table = tableMap_[tableName];
    if (!table)
        table =
            std::make_shared<VnLocalDataTable>(tableFilePathWithTableName(tableName), itemClass);
    return table;
}

void VnLocalArchive::forgetTables() {
    for (const auto& [name, table] : tableMap_)
        table->unmarkPendingCacheFlush();
    tableMap_.clear();
}

void VnLocalArchive::removeTable(const Ref<VnLocalDataTable>& table) {
    if (!table)
        return;
    const auto held = std::find_if(tableMap_.begin(), tableMap_.end(),
                                   [&](const auto& entry) { return entry.second == table; });
    if (held == tableMap_.end())
        return;
    table->unmarkPendingCacheFlush();
    tableMap_.erase(held);
    std::error_code ignored;
    std::filesystem::remove(table->filePath(), ignored);
}

void VnLocalArchive::addInfo(const Ref<VnInfoBase>& info) {
    infos_.push_back(info);
    markPendingCacheFlush();
}

bool VnLocalArchive::_writeToStorage() {
    auto list = plat::MutableArray::make();
    for (const auto& info : infos_)
        list->addObject(info ? info->proxyForJson() : plat::Value::null());
    const auto text = JSONRepresentation(plat::Value(list));
    if (!text)
        return false;
    return !plat::AtomicFile::write(
        infosFilePath(), std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size()));
}

std::filesystem::path VnLocalArchive::filePathByTag(const std::string& tag) const {
    return archivePath_ / (plat::Paths::escapeComponent(tag) + ".tag");
}

void VnLocalArchive::markWithTag(const std::string& tag) {
    plat::AtomicFile::write(filePathByTag(tag), {});
}

void VnLocalArchive::unmarkWithTag(const std::string& tag) {
    plat::FileManager::removeItem(filePathByTag(tag));
}

Ref<VnLocalArchive> VnBooksLocalArchive::subarchiveWithMagazineIssue(const Ref<VnInfo>& issue) {
    return subarchiveWithId(issue && issue->code() ? *issue->code() : "NULL");
}
