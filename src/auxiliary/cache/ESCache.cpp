#include "auxiliary/cache/ESCache.h"

#include "platform/core/Log.h"
#include "platform/crypto/Aes.h"
#include "platform/net/Url.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/Paths.h"
#include "platform/storage/UserDefaults.h"

PLAT_DEFINE_CLASS(ESCache, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ESSecureCache, plat::Object, PLAT_NO_METHODS)

namespace {

constexpr size_t kMaxArchiveBytes = size_t{256} << 20;

bool usableKey(const std::string& key) {
    return !key.empty() && key != "." && key != "..";
}

Ref<plat::Error> refusal(const char* domain) {
    return plat::Error::make(domain, 1001, plat::makeDictionary({}));
}

}  // namespace

std::string ESCacheEscapedKey(const std::string& key) {
    return plat::Url::percentEncode(key, "-._~");
}

// ---- ESCache ----

Ref<ESCache> ESCache::initWithName(const std::string& name, Ref<plat::Error>* error) {
    return initWithName(name, plat::Paths::cachesDirectory() / ESCacheEscapedKey(name), error);
}

Ref<ESCache> ESCache::initWithName(const std::string& name, const std::filesystem::path& cachesPath,
                                   Ref<plat::Error>* error) {
    bool isDirectory = false;
    const bool exists = plat::FileManager::fileExists(cachesPath, &isDirectory);
    if (!usableKey(name) || (exists && !isDirectory)) {
        if (error)
            *error = refusal("ESCache");
        return nullptr;
    }
    if (!exists) {
        if (auto failure = plat::Paths::createDirectories(cachesPath)) {
            if (error)
                *error = failure;
            return nullptr;
        }
    }
    auto cache = std::make_shared<ESCache>();
    cache->name_ = name;
    cache->cachesPath_ = cachesPath;
    cache->queue_ =
        plat::DispatchQueue::concurrent("com.varnel.escache." + ESCacheEscapedKey(name));
    return cache;
}

ESCache::~ESCache() {
    if (queue_)
        queue_->barrierSync([] {});
}

std::optional<std::filesystem::path> ESCache::desiredPathForObjectForKey(
    const std::string& key) const {
    if (!usableKey(key))
        return std::nullopt;
    return cachesPath_ / ESCacheEscapedKey(key);
}

void ESCache::setObject(const Ref<plat::Object>& object, const std::string& key) {
    if (!usableKey(key))
        return;
    if (!object) {
        if (objectExistsForKey(key))
            removeObjectForKey(key);
        return;
    }
    if (!dynamic_cast<const plat::Coding*>(object.get()))
        return;
    queue_->barrierAsync([this, object, key] {
        memory_[key] = object;
        if (auto archive =
                plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(object))) {
            plat::AtomicFile::write(*desiredPathForObjectForKey(key), *archive);
        }
    });
}

bool ESCache::objectExistsForKey(const std::string& key) {
    if (!usableKey(key))
        return false;
    bool exists = false;
    queue_->sync([&] {
        exists = memory_.count(key) > 0 ||
                 plat::FileManager::fileExists(*desiredPathForObjectForKey(key));
    });
    return exists;
}

Ref<plat::Object> ESCache::objectForKey(const std::string& key) {
    if (!usableKey(key))
        return nullptr;
    Ref<plat::Object> object;
    bool fromFile = false;
    queue_->sync([&] {
        if (const auto it = memory_.find(key); it != memory_.end()) {
            object = it->second;
            return;
        }
        if (const auto bytes =
                plat::AtomicFile::read(*desiredPathForObjectForKey(key), kMaxArchiveBytes)) {
            object = plat::KeyedUnarchiver::unarchiveObjectWithData(*bytes).object();
            fromFile = object != nullptr;
        }
    });
    if (fromFile)
        queue_->barrierAsync([this, object, key] { memory_[key] = object; });
    return object;
}

void ESCache::removeObjectForKey(const std::string& key) {
    if (!usableKey(key))
        return;
    queue_->barrierAsync([this, key] {
        memory_.erase(key);
        plat::FileManager::removeItem(*desiredPathForObjectForKey(key));
    });
}

void ESCache::removeAllObjects() {
    queue_->barrierAsync([this] {
        memory_.clear();
        for (const auto& entry : plat::FileManager::contentsOfDirectory(cachesPath_))
            plat::FileManager::removeItem(cachesPath_ / entry);
    });
}

void ESCache::clearMemory() {
    queue_->barrierAsync([this] { memory_.clear(); });
}

std::optional<std::filesystem::path> ESCache::pathForObjectForKey(const std::string& key) {
    return objectExistsForKey(key) ? desiredPathForObjectForKey(key) : std::nullopt;
}

// ---- ESSecureCache ----

Ref<ESSecureCache> ESSecureCache::initWithName(const std::string& name, int32_t type,
                                               Ref<plat::Error>* error) {
    auto cache = std::make_shared<ESSecureCache>();
    cache->name_ = name;
    cache->type_ = type;
    if (type == File) {
        cache->cachePath_ = plat::Paths::cachesDirectory() / ESCacheEscapedKey(name);
        bool isDirectory = false;
        if (!usableKey(name) ||
            (plat::FileManager::fileExists(cache->cachePath_, &isDirectory) && isDirectory)) {
            if (error)
                *error = refusal("ESSecureCache");
            return nullptr;
        }
    }
    cache->queue_ =
        plat::DispatchQueue::concurrent("com.varnel.essecurecache." + ESCacheEscapedKey(name));
    cache->memory_ = plat::MutableDictionary::make();
    return cache;
}

ESSecureCache::~ESSecureCache() {
    if (queue_)
        queue_->barrierSync([] {});
}

plat::Bytes ESSecureCache::adjustedKey(const plat::Bytes& key) {
    plat::Bytes adjusted = key;
    adjusted.resize(key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32, 0);
    return adjusted;
}

void ESSecureCache::setEncryptionKey(const plat::Bytes& key) {
    queue_->barrierSync([&] { encryptionKey_ = key; });
}

ESSecureCache::Stored ESSecureCache::cacheFromPersistentStore() const {
    Stored stored{plat::MutableDictionary::make(), false};
    std::optional<plat::Bytes> bytes;
    if (type_ == UserDefaults) {
        bytes = plat::UserDefaults::standardUserDefaults()->dataForKey(name_);
    } else if (plat::FileManager::fileExists(cachePath_)) {
        bytes = plat::AtomicFile::read(cachePath_, kMaxArchiveBytes);
        stored.unreadable = !bytes;
    }
    if (!bytes || !encryptionKey_)
        return stored;
    const auto clear = plat::Aes::decryptCbc(*bytes, adjustedKey(*encryptionKey_), plat::Aes::Iv{});
    const auto pairs =
        clear ? plat::KeyedUnarchiver::unarchiveObjectWithData(*clear).dictionary() : nullptr;
    if (!pairs) {
        stored.unreadable = true;
        return stored;
    }
    stored.pairs->addEntriesFromDictionary(*pairs);
    return stored;
}

void ESSecureCache::saveCacheToPersistentStore(const Ref<plat::MutableDictionary>& pairs) const {
    const auto archive =
        plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(pairs));
    if (!archive || !encryptionKey_)
        return;
    const auto sealed =
        plat::Aes::encryptCbc(*archive, adjustedKey(*encryptionKey_), plat::Aes::Iv{});
    if (!sealed)
        return;
    if (type_ == UserDefaults) {
        auto defaults = plat::UserDefaults::standardUserDefaults();
        defaults->setObject(plat::Value::data(*sealed), name_);
        defaults->synchronize();
    } else {
        // The caches folder itself may not exist yet on a fresh system.
        plat::Paths::createDirectories(cachePath_.parent_path());
        plat::AtomicFile::write(cachePath_, *sealed);
    }
}

bool ESSecureCache::loadForChange(const char* operation) {
    Stored stored = cacheFromPersistentStore();
    if (stored.unreadable) {
        plat::log(
            plat::format("ESSecureCache %s: the stored cache '%s' cannot be read with this "
                         "key; it is kept as it is",
                         operation, name_.c_str()));
        return false;
    }
    memory_ = stored.pairs;
    return true;
}

void ESSecureCache::setObject(const plat::Value& object, const std::string& key) {
    if (key.empty() || !encryptionKey_)
        return;
    if (object.isNil()) {
        if (objectExistsForKey(key))
            removeObjectForKey(key);
        return;
    }
    queue_->barrierAsync([this, object, key] {
        if (!loadForChange("setObject:forKey:"))
            return;
        memory_->setObject(object, plat::Value(key));
        saveCacheToPersistentStore(memory_);
    });
}

void ESSecureCache::setObjectForKeyedSubscript(const plat::Value& object, const plat::Value& key) {
    const std::string* text = key.string();
    PLAT_ASSERT(text, key.description() + " should confirm to NSCoding protocol");
    setObject(object, *text);
}

bool ESSecureCache::objectExistsForKey(const std::string& key) {
    return !objectForKey(key).isNil();
}

plat::Value ESSecureCache::objectForKey(const std::string& key) {
    if (key.empty())
        return plat::Value();
    plat::Value value;
    Ref<plat::MutableDictionary> loaded;
    queue_->sync([&] {
        if (!encryptionKey_)
            return;
        value = memory_->objectForKey(plat::Value(key));
        if (!value.isNil())
            return;
        Stored stored = cacheFromPersistentStore();
        value = stored.pairs->objectForKey(plat::Value(key));
        loaded = stored.pairs;
    });
    if (loaded)
        queue_->barrierAsync([this, loaded] { memory_ = loaded; });
    return value;
}

void ESSecureCache::removeObjectForKey(const std::string& key) {
    if (key.empty() || !encryptionKey_)
        return;
    queue_->barrierAsync([this, key] {
        if (!loadForChange("removeObjectForKey:"))
            return;
        memory_->removeObjectForKey(plat::Value(key));
        saveCacheToPersistentStore(memory_);
    });
}

void ESSecureCache::removeAllObjects() {
    if (!encryptionKey_)
        return;
    queue_->barrierAsync([this] {
        memory_ = plat::MutableDictionary::make();
        saveCacheToPersistentStore(memory_);
    });
}

void ESSecureCache::clearMemory() {
    queue_->barrierAsync([this] { memory_ = plat::MutableDictionary::make(); });
}
