#include "platform/storage/FileKeychainBackend.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/core/Collections.h"
#include "platform/core/Log.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/Paths.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxKeychainFileSize = 16 * 1024 * 1024;
constexpr int64_t kFileVersion = 1;

// An exclusive advisory lock on a companion file, released when the object goes away.
class FileLock {
  public:
    explicit FileLock(const fs::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() {
        if (fd_ >= 0)
            ::close(fd_);  // closing releases the lock
    }
    bool locked() const { return fd_ >= 0; }

  private:
    int fd_;
};

std::optional<std::string> stringEntry(const Dictionary& d, const char* key) {
    if (const std::string* s = d.objectForKey(key).string())
        return *s;
    return std::nullopt;
}

Value encode(const KeychainItem& item) {
    auto d = MutableDictionary::make();
    d->setObject(Value(item.key.account), Value("Account"));
    d->setObject(Value(item.key.service), Value("Service"));
    d->setObject(Value(item.key.accessGroup), Value("AccessGroup"));
    if (item.label)
        d->setObject(Value(*item.label), Value("Label"));
    if (item.description)
        d->setObject(Value(*item.description), Value("Description"));
    if (item.accessible)
        d->setObject(Value(*item.accessible), Value("Accessible"));
    if (!item.generic.isNil())
        d->setObject(item.generic, Value("Generic"));
    d->setObject(Value(item.secret), Value("Data"));
    return Value::fromObject(d);
}

std::optional<KeychainItem> decode(const Value& v) {
    auto d = v.dictionary();
    if (!d)
        return std::nullopt;
    auto account = stringEntry(*d, "Account");
    auto service = stringEntry(*d, "Service");
    auto group = stringEntry(*d, "AccessGroup");
    const Bytes* secret = d->objectForKey("Data").bytes();
    if (!account || !service || !group || !secret)
        return std::nullopt;
    KeychainItem item;
    item.key = {*account, *service, *group};
    item.label = stringEntry(*d, "Label");
    item.description = stringEntry(*d, "Description");
    item.accessible = stringEntry(*d, "Accessible");
    const Value generic = d->objectForKey("Generic");
    if (generic.isString() || generic.bytes())
        item.generic = generic;
    item.secret = *secret;
    return item;
}

}  // namespace

FileKeychainBackend::FileKeychainBackend(fs::path file) : file_(std::move(file)) {}

fs::path FileKeychainBackend::standardFilePath() {
    return Paths::applicationDataDirectory() / "Keychain" / "Keychain.plist";
}

OSStatus FileKeychainBackend::load(std::vector<KeychainItem>& items) const {
    Ref<Error> error;
    auto bytes = AtomicFile::read(file_, kMaxKeychainFileSize, &error);
    if (!bytes) {
        if (!error)
            return errSecSuccess;  // no file yet: no items
        VND_TRACE("Error", "Cannot read the keychain file: %s",
                  error->localizedDescription().c_str());
        return errSecIO;
    }
    auto root = PropertyList::propertyListWithData(*bytes).dictionary();
    auto list = root ? root->objectForKey("Items").array() : nullptr;
    if (!root || !list || root->objectForKey("Version").int64Value() != kFileVersion) {
        VND_TRACE("Error", "The keychain file %s is damaged; it is left untouched", file_.c_str());
        return errSecDecode;
    }
    std::vector<KeychainItem> loaded;
    bool damaged = false;
    list->enumerate([&](const Value& entry) {
        auto item = decode(entry);
        if (!item) {
            damaged = true;
            return false;
        }
        loaded.push_back(std::move(*item));
        return true;
    });
    if (damaged) {
        VND_TRACE("Error", "The keychain file %s is damaged; it is left untouched", file_.c_str());
        return errSecDecode;
    }
    items.insert(items.end(), std::make_move_iterator(loaded.begin()),
                 std::make_move_iterator(loaded.end()));
    return errSecSuccess;
}

OSStatus FileKeychainBackend::find(const KeychainFilter&, std::vector<KeychainItem>& out) {
    std::lock_guard lock(mutex_);
    return load(out);
}

OSStatus FileKeychainBackend::apply(const std::vector<KeychainItemKey>& remove,
                                    const std::vector<KeychainItem>& store) {
    std::lock_guard lock(mutex_);
    if (Ref<Error> error = Paths::createDirectories(file_.parent_path(), 0700)) {
        VND_TRACE("Error", "Cannot create the keychain folder: %s",
                  error->localizedDescription().c_str());
        return errSecIO;
    }
    FileLock fileLock(file_.string() + ".lock");
    if (!fileLock.locked())
        return errSecIO;

    std::vector<KeychainItem> items;
    if (OSStatus status = load(items); status != errSecSuccess)
        return status;
    auto drop = [&](const KeychainItemKey& key) {
        std::erase_if(items, [&](const KeychainItem& item) { return item.key == key; });
    };
    for (const auto& key : remove)
        drop(key);
    for (const auto& item : store) {
        drop(item.key);
        items.push_back(item);
    }

    std::vector<Value> encoded;
    encoded.reserve(items.size());
    for (const auto& item : items)
        encoded.push_back(encode(item));
    auto root = makeDictionary({
        {Value("Version"), Value(kFileVersion)},
        {Value("Items"), Value::fromObject(Array::make(std::move(encoded)))},
    });
    auto bytes = PropertyList::dataWithPropertyList(Value::fromObject(root));
    if (!bytes)
        return errSecParam;
    if (Ref<Error> error = AtomicFile::write(file_, *bytes, 0600)) {
        VND_TRACE("Error", "Cannot write the keychain file: %s",
                  error->localizedDescription().c_str());
        return errSecIO;
    }
    return errSecSuccess;
}

}  // namespace plat
