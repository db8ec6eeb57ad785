#pragma once
// ESCache: archivable objects by key, in memory and, one keyed archive per key, in a folder
// under the user's caches folder. ESSecureCache: all pairs as one archived dictionary, AES
// encrypted, in one file or one user-defaults value. Both work on a private concurrent queue:
// reads wait for their answer, changes are barrier blocks, and a cache waits for its pending
// changes before it goes away. Keys and names that would name the folder itself or its parent
// ("", ".", "..") are refused.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "platform/runloop/DispatchQueue.h"

// The key as one file name: percent-escaped, only letters, digits and "-._~" kept ("a/b c" ->
// "a%2Fb%20c").
std::string ESCacheEscapedKey(const std::string& key);

class ESCache : public plat::Object {
    PLAT_CLASS(ESCache)
  public:
    ESCache() = default;
    ~ESCache() override;
    // Null, with error 1001 in "ESCache", when a file (not a folder) is at the path or the name
    // cannot be a file name; the folder is made when missing.
    static Ref<ESCache> initWithName(const std::string& name, Ref<plat::Error>* error);
    static Ref<ESCache> initWithName(const std::string& name,
                                     const std::filesystem::path& cachesPath,
                                     Ref<plat::Error>* error);

    const std::string& name() const { return name_; }
    // Stores an object that codes itself (others are ignored); nil removes the key.
    void setObject(const Ref<plat::Object>& object, const std::string& key);
    bool objectExistsForKey(const std::string& key);
    Ref<plat::Object> objectForKey(const std::string& key);
    // cache[key] = object and cache[key]: the same as setObject and objectForKey.
    void setObjectForKeyedSubscript(const Ref<plat::Object>& object, const std::string& key) {
        setObject(object, key);
    }
    Ref<plat::Object> objectForKeyedSubscript(const std::string& key) { return objectForKey(key); }
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();
    void clearMemory();
    std::optional<std::filesystem::path> pathForObjectForKey(const std::string& key);
    std::optional<std::filesystem::path> desiredPathForObjectForKey(const std::string& key) const;

  private:
    std::string name_;
    std::filesystem::path cachesPath_;
    Ref<plat::DispatchQueue> queue_;
    std::unordered_map<std::string, Ref<plat::Object>> memory_;
};

class ESSecureCache : public plat::Object {
    PLAT_CLASS(ESSecureCache)
  public:
    enum Type : int32_t { File = 0, UserDefaults = 1 };

    ESSecureCache() = default;
    ~ESSecureCache() override;
    // Null, with error 1001 in "ESSecureCache", when a folder stands where the file would go or
    // the name cannot be a file name.
    static Ref<ESSecureCache> initWithName(const std::string& name, int32_t type,
                                           Ref<plat::Error>* error);

    void setEncryptionKey(const plat::Bytes& key);
    // Nothing without an encryption key, or while the stored data cannot be read with it (only
    // removeAllObjects replaces such a store).
    void setObject(const plat::Value& object, const std::string& key);
    bool objectExistsForKey(const std::string& key);
    plat::Value objectForKey(const std::string& key);
    // cache[key] = object: the pairs are archived keyed by text, so a key of any other kind
    // throws NSInternalInconsistencyException ("<key> should confirm to NSCoding protocol").
    void setObjectForKeyedSubscript(const plat::Value& object, const plat::Value& key);
    plat::Value objectForKeyedSubscript(const std::string& key) { return objectForKey(key); }
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();
    void clearMemory();

    const std::string& name() const { return name_; }
    int32_t type() const { return type_; }
    const std::filesystem::path& cachePath() const { return cachePath_; }

    // The AES key used for a caller's key: cut or zero-padded to 16, 24 or 32 bytes.
    static plat::Bytes adjustedKey(const plat::Bytes& key);

  private:
    struct Stored {
        Ref<plat::MutableDictionary> pairs;
        bool unreadable = false;  // bytes are there but do not decrypt or unarchive
    };
    Stored cacheFromPersistentStore() const;
    void saveCacheToPersistentStore(const Ref<plat::MutableDictionary>& pairs) const;
    // On the queue: the stored pairs into memory; false (logged) when the store is unreadable.
    bool loadForChange(const char* operation);

    std::string name_;
    int32_t type_ = File;
    std::filesystem::path cachePath_;
    Ref<plat::DispatchQueue> queue_;
    Ref<plat::MutableDictionary> memory_;
    std::optional<plat::Bytes> encryptionKey_;
};
