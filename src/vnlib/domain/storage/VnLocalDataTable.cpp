#include "vnlib/domain/storage/VnLocalDataTable.h"

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/domain/storage/VnRowText.h"

PLAT_DEFINE_CLASS(VnLocalDataTable, VnStorageBackedObject, PLAT_NO_METHODS)

namespace {

double secondsNow() {
    return plat::Date::now().seconds;
}

}  // namespace

VnLocalDataTable::VnLocalDataTable(std::filesystem::path filePath, const plat::Class& itemClass)
    : filePath_(std::move(filePath)), itemClass_(&itemClass) {
    PLAT_PARAMETER_ASSERT(itemClass.isSubclassOf(VnInfo::classObject()));
}

VnLocalDataTable::~VnLocalDataTable() {
    flushStorageWriting();
}

void VnLocalDataTable::ensureLoading() {
    if (loadedFromFile_)
        return;
    loadedFromFile_ = true;
    const double start = secondsNow();
    Ref<plat::Error> readError;
    const auto bytes = plat::AtomicFile::read(filePath_, kMaxFileSize, &readError);
    if (!bytes && !readError)
        return;  // no file yet: an empty table
    plat::Value parsed;
    if (bytes)
        parsed = objectFromJSONString(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    VND_TRACE("Performance", "Json parse time: %f", secondsNow() - start);
    const auto list = parsed.array();
    if (!list) {
        // Keep the damaged file for inspection rather than overwriting it at the next flush.
        const auto aside = plat::FileManager::setAside(filePath_);
        plat::log("Table file " + filePath_.string() + " is not a JSON array" +
                  (readError ? " (" + readError->localizedDescription() + ")" : std::string()) +
                  "; " + (aside ? "moved it aside to " + aside->string() : "it stays in place") +
                  " and the table starts empty");
        return;
    }
    list->enumerate([&](const plat::Value& element) {
        try {
            auto dictionary = element.dictionary();
            if (!dictionary)
                plat::raise(plat::NSInvalidArgumentException, "element is not a dictionary");
            auto record = std::dynamic_pointer_cast<VnInfo>(
                VnInfoBase::recordOfClass(*itemClass_, dictionary));
            if (!record || !record->code())
                plat::raise(plat::NSInvalidArgumentException, "record without a code");
            infoMap_[*record->code()] = record;
        } catch (const plat::Exception& e) {
            VND_TRACE("Error", "%s", e.what());
        }
        return true;
    });
    VND_TRACE("Performance", "Overall deserialization time: %f", secondsNow() - start);
}

bool VnLocalDataTable::put(const Ref<VnInfo>& info) {
    if (!info || !info->code()) {
        // Records come from the service: one without a code has no place, and is refused.
        VND_TRACE("Error", "Refused a record without a code for %s",
                  filePath_.filename().string().c_str());
        return false;
    }
    infoMap_[*info->code()] = info;
    return true;
}

void VnLocalDataTable::addInfo(const Ref<VnInfo>& info) {
    ensureLoading();
    if (put(info))
        markPendingCacheFlush();
}

void VnLocalDataTable::updateWithInfos(const std::vector<Ref<VnInfo>>& infos) {
    ensureLoading();
    for (const auto& info : infos)
        put(info);
    markPendingCacheFlush();
}

void VnLocalDataTable::removeInfoByCode(const std::string& code) {
    ensureLoading();
    if (infoMap_.erase(code))
        markPendingCacheFlush();
}

void VnLocalDataTable::replaceWithNewItems(const std::vector<Ref<VnInfo>>& infos) {
    loadedFromFile_ = true;
    infoMap_.clear();
    for (const auto& info : infos)
        addInfo(info);
    markPendingCacheFlush();
}

std::vector<Ref<VnInfo>> VnLocalDataTable::takeItems() {
    ensureLoading();
    std::vector<Ref<VnInfo>> items;
    items.reserve(infoMap_.size());
    for (const auto& [code, info] : infoMap_)
        items.push_back(info);
    return items;
}

Ref<VnInfo> VnLocalDataTable::infoForCode(const std::string& code) {
    ensureLoading();
    auto it = infoMap_.find(code);
    return it == infoMap_.end() ? nullptr : it->second;
}

void VnLocalDataTable::preloadItemsWithCodes(const std::vector<std::string>&) {
    ensureLoading();
}

std::optional<std::string> VnLocalDataTable::directText() const {
    std::string text = "[";
    for (const auto& [code, info] : infoMap_) {
        const auto* row = dynamic_cast<const VnRowText*>(info.get());
        if (text.size() > 1)
            text += ',';
        if (!row || !row->appendRowText(text))
            return std::nullopt;
    }
    text += ']';
    return text;
}

bool VnLocalDataTable::_writeToStorage() {
    Ref<plat::Error> error;
    auto text = directText();
    if (!text) {
        auto rows = plat::MutableArray::make();
        for (const auto& [code, info] : infoMap_)
            rows->addObject(info->proxyForJson());
        text = JSONStringWithOptions(Ref<plat::Array>(rows), 0, &error);
    }
    if (!text) {
        VND_TRACE("Error", "%s", error ? error->description().c_str() : "cannot write JSON");
        return false;
    }
    plat::Paths::createDirectories(filePath_.parent_path());
    error = plat::AtomicFile::write(
        filePath_, std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size()));
    if (error) {
        VND_TRACE("General", "%s", error->description().c_str());
        return false;
    }
    return true;
}
