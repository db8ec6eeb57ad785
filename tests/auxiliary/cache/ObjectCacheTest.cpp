// Object caches: file names from keys, memory and disk kept in step, refused names, the AES
// layer on NIST vectors, stores kept across instances and not overwritten when unreadable, and
// readers racing writers.
#include <gtest/gtest.h>

#include <thread>

#include "auxiliary/cache/ESCache.h"
#include "platform/core/Exception.h"
#include "platform/crypto/Aes.h"
#include "platform/crypto/Digest.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/Paths.h"
#include "platform/storage/ScopedEnvironment.h"

class CachedNote : public plat::Object, public plat::Coding {
    PLAT_CLASS(CachedNote)
  public:
    CachedNote() = default;
    explicit CachedNote(std::string text) : text(std::move(text)) {}
    void encodeWithCoder(plat::KeyedCoder& coder) const override {
        coder.encodeObject(plat::Value(text), "text");
    }
    bool initWithCoder(const plat::KeyedCoder& coder) override {
        const auto* value = coder.decodeObjectForKey("text").string();
        if (!value)
            return false;
        text = *value;
        return true;
    }
    std::string text;
};
PLAT_DEFINE_CLASS(CachedNote, plat::Object, PLAT_NO_METHODS)

namespace {

std::string noteText(const Ref<plat::Object>& object) {
    const auto note = std::dynamic_pointer_cast<CachedNote>(object);
    return note ? note->text : "";
}

plat::Bytes hex(const std::string& text) {
    plat::Bytes out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(ObjectCaches, FilesFollowKeysAndMemoryFollowsTheFiles) {
    const auto folder = testing_support::freshTestFolder();
    Ref<plat::Error> error;
    auto cache = ESCache::initWithName("notes", folder / "notes", &error);
    ASSERT_TRUE(cache) << error->description();
    EXPECT_EQ(ESCacheEscapedKey("a/b c"), "a%2Fb%20c");
    EXPECT_FALSE(cache->pathForObjectForKey("a/b c"));
    cache->setObject(std::make_shared<CachedNote>("first"), "a/b c");
    EXPECT_EQ(cache->pathForObjectForKey("a/b c"), folder / "notes" / "a%2Fb%20c");
    EXPECT_TRUE(plat::FileManager::fileExists(folder / "notes" / "a%2Fb%20c"));
    // After clearing memory the file is read again; a plain object is never stored.
    cache->clearMemory();
    EXPECT_EQ(noteText(cache->objectForKey("a/b c")), "first");
    cache->setObject(std::make_shared<plat::Object>(), "plain");
    EXPECT_FALSE(cache->objectExistsForKey("plain"));
    // A new cache over the same folder finds what the first one stored, also by subscript.
    auto again = ESCache::initWithName("notes", folder / "notes", &error);
    EXPECT_EQ(noteText(again->objectForKeyedSubscript("a/b c")), "first");
    again->setObjectForKeyedSubscript(std::make_shared<CachedNote>("second"), "n2");
    EXPECT_EQ(noteText(again->objectForKeyedSubscript("n2")), "second");
    EXPECT_TRUE(plat::FileManager::fileExists(folder / "notes" / "n2"));
    // Nil removes memory and file; names that would be the folder or its parent are refused.
    cache->setObject(nullptr, "a/b c");
    EXPECT_FALSE(cache->objectExistsForKey("a/b c"));
    EXPECT_FALSE(plat::FileManager::fileExists(folder / "notes" / "a%2Fb%20c"));
    for (const char* key : {"", ".", ".."}) {
        cache->setObject(std::make_shared<CachedNote>("x"), key);
        cache->removeObjectForKey(key);
        EXPECT_FALSE(cache->objectExistsForKey(key));
    }
    cache->setObject(std::make_shared<CachedNote>("kept"), "k");
    cache->removeAllObjects();
    EXPECT_FALSE(cache->objectExistsForKey("k"));
    EXPECT_TRUE(plat::FileManager::fileExists(folder / "notes"));  // the folder itself stays

    // A plain file where the folder would go, or a name that is no file name.
    plat::AtomicFile::write(folder / "plain", plat::Bytes{1});
    EXPECT_FALSE(ESCache::initWithName("plain", folder / "plain", &error));
    EXPECT_EQ(error->domain(), "ESCache");
    EXPECT_EQ(error->code(), 1001);
    EXPECT_FALSE(ESCache::initWithName("..", &error));
    EXPECT_EQ(error->code(), 1001);

    // Readers racing writers.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                const std::string key = "k" + std::to_string(i % 5);
                if (t % 2) {
                    cache->setObject(std::make_shared<CachedNote>(key), key);
                } else {
                    const auto text = noteText(cache->objectForKey(key));
                    EXPECT_TRUE(text.empty() || text == key);
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
}

TEST(ObjectCaches, SecureStoresEncryptKeepTheirPairsAndSurviveAWrongKey) {
    // NIST SP 800-38A CBC vectors (first block; our padding adds one more).
    const auto iv = [] {
        plat::Aes::Iv value{};
        for (uint8_t i = 0; i < 16; ++i)
            value[i] = i;
        return value;
    }();
    const auto plain = hex("6bc1bee22e409f96e93d7e117393172a");
    auto sealed = plat::Aes::encryptCbc(plain, hex("2b7e151628aed2a6abf7158809cf4f3c"), iv);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(plat::Digest::hex(std::span(sealed->data(), 16)), "7649abac8119b246cee98e9b12e9197d");
    sealed = plat::Aes::encryptCbc(
        plain, hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"), iv);
    EXPECT_EQ(plat::Digest::hex(std::span(sealed->data(), 16)), "f58c4c04d6e5f1ba779eabfb5f7bfbd6");
    EXPECT_EQ(plat::Aes::decryptCbc(*sealed,
                                    hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a3"
                                        "0914dff4"),
                                    iv),
              plain);
    EXPECT_EQ(ESSecureCache::adjustedKey(plat::Bytes(10, 7)).size(), 16U);
    EXPECT_EQ(ESSecureCache::adjustedKey(plat::Bytes(10, 7))[15], 0);
    EXPECT_EQ(ESSecureCache::adjustedKey(plat::Bytes(40, 7)).size(), 32U);

    const plat::Bytes key(10, 'k');
    Ref<plat::Error> error;
    for (int32_t type : {ESSecureCache::File, ESSecureCache::UserDefaults}) {
        SCOPED_TRACE(type);
        const std::string name = "secrets-" + std::to_string(type);
        {
            auto cache = ESSecureCache::initWithName(name, type, &error);
            ASSERT_TRUE(cache);
            cache->setObject(plat::Value("v1"), "a");  // no key yet: nothing
            EXPECT_FALSE(cache->objectExistsForKey("a"));
            cache->setEncryptionKey(key);
            cache->setObject(plat::Value("v1"), "a");
            EXPECT_EQ(*cache->objectForKey("a").string(), "v1");
        }
        // A fresh cache over the same store keeps the stored pairs when it adds one.
        {
            auto cache = ESSecureCache::initWithName(name, type, &error);
            cache->setEncryptionKey(key);
            cache->setObjectForKeyedSubscript(plat::Value("v2"), plat::Value("b"));
            // Pairs are keyed by text: another kind of key is refused loudly, nothing stored.
            EXPECT_THROW(cache->setObjectForKeyedSubscript(plat::Value("v3"), plat::Value(3)),
                         plat::Exception);
            cache->clearMemory();
            EXPECT_EQ(*cache->objectForKey("a").string(), "v1");
            EXPECT_EQ(*cache->objectForKeyedSubscript("b").string(), "v2");
        }
        // A wrong key reads nothing and cannot overwrite the store; the right key still can.
        {
            auto wrong = ESSecureCache::initWithName(name, type, &error);
            wrong->setEncryptionKey(plat::Bytes(16, 'x'));
            EXPECT_TRUE(wrong->objectForKey("a").isNil());
            wrong->setObject(plat::Value("evil"), "c");
            wrong->removeObjectForKey("a");
        }
        auto right = ESSecureCache::initWithName(name, type, &error);
        right->setEncryptionKey(key);
        EXPECT_EQ(*right->objectForKey("a").string(), "v1");
        EXPECT_TRUE(right->objectForKey("c").isNil());
        right->removeAllObjects();
        right->clearMemory();
        EXPECT_TRUE(right->objectForKey("a").isNil());
    }
    // A folder where the file would go, and names that are no file names.
    plat::Paths::createDirectories(plat::Paths::cachesDirectory() / "folder");
    EXPECT_FALSE(ESSecureCache::initWithName("folder", ESSecureCache::File, &error));
    EXPECT_EQ(error->domain(), "ESSecureCache");
    EXPECT_EQ(error->code(), 1001);
    EXPECT_FALSE(ESSecureCache::initWithName(".", ESSecureCache::File, &error));
    EXPECT_TRUE(plat::FileManager::fileExists(plat::Paths::cachesDirectory()));
}

}  // namespace
