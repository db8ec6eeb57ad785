#include "platform/storage/UserDefaults.h"

#include <cstdio>
#include <memory>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/Paths.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxDefaultsFileSize = 64 * 1024 * 1024;

// A deep copy whose containers are immutable, so that later changes to the caller's mutable
// containers cannot reach the stored value. The value has been validated (bounded depth).
Value immutableCopy(const Value& v) {
    if (auto d = v.dictionary()) {
        std::vector<std::pair<Value, Value>> entries;
        entries.reserve(d->count());
        d->enumerateKeysAndObjects([&](const Value& key, const Value& value) {
            entries.emplace_back(key, immutableCopy(value));
            return true;
        });
        return Value::fromObject(makeDictionary(std::move(entries)));
    }
    if (auto a = v.array()) {
        std::vector<Value> values;
        values.reserve(a->count());
        a->enumerate([&](const Value& value) {
            values.push_back(immutableCopy(value));
            return true;
        });
        return Value::fromObject(Array::make(std::move(values)));
    }
    return v;
}

struct Shared {
    std::mutex mutex;
    Ref<UserDefaults> defaults;
};

// Never destroyed: at process exit other static objects the save path uses may already be gone,
// so the shared instance does not save in its destructor then (callers synchronise).
Shared& shared() {
    alignas(Shared) static unsigned char storage[sizeof(Shared)];
    static Shared* s = std::construct_at(reinterpret_cast<Shared*>(storage));
    return *s;
}

}  // namespace

UserDefaults::UserDefaults(fs::path file)
    : file_(std::move(file)), values_(MutableDictionary::make()) {
    load();
}

UserDefaults::~UserDefaults() {
    std::lock_guard lock(mutex_);
    if (dirty_)
        writeLocked();
}

void UserDefaults::load() {
    Ref<Error> error;
    auto bytes = AtomicFile::read(file_, kMaxDefaultsFileSize, &error);
    if (!bytes && !error)
        return;  // nothing saved yet
    Value value;
    if (bytes)
        value = PropertyList::propertyListWithData(*bytes, nullptr, &error);
    if (auto d = value.dictionary()) {
        values_ = d->mutableCopy();
        return;
    }
    if (!error) {
        error = Error::withDescription(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                                       "The defaults file does not hold a dictionary");
    }
    lastError_ = error;
    // Keep the unreadable file for inspection instead of overwriting it on the next write.
    const fs::path aside = file_.string() + ".corrupt";
    const bool moved = bytes && std::rename(file_.c_str(), aside.c_str()) == 0;
    VND_TRACE("Error", "Cannot read the user defaults %s: %s%s", file_.c_str(),
              error->localizedDescription().c_str(), moved ? " (kept as .corrupt)" : "");
}

Ref<UserDefaults> UserDefaults::standardUserDefaults() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.defaults)
        s.defaults = std::make_shared<UserDefaults>(standardFilePath());
    return s.defaults;
}

void UserDefaults::setStandardUserDefaults(Ref<UserDefaults> defaults) {
    Ref<UserDefaults> previous;
    {
        Shared& s = shared();
        std::lock_guard lock(s.mutex);
        previous = std::move(s.defaults);
        s.defaults = std::move(defaults);
    }
    // previous is released here, outside the lock; its destructor saves pending changes.
}

fs::path UserDefaults::standardFilePath() {
    return Paths::configurationDirectory() / "UserDefaults.plist";
}

Value UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return values_->objectForKey(key);
}

void UserDefaults::setObject(const Value& value, std::string_view key) {
    if (value.isNil())
        return removeObjectForKey(key);
    if (!PropertyList::isValidPropertyList(value)) {
        raise(NSInvalidArgumentException, "Attempt to insert non-property list object " +
                                              value.description() + " for key " + std::string(key));
    }
    Value copy = immutableCopy(value);
    std::lock_guard lock(mutex_);
    values_->setObject(std::move(copy), Value(key));
    dirty_ = true;
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (values_->objectForKey(key).isNil())
        return;
    values_->removeObjectForKey(Value(key));
    dirty_ = true;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    const Value v = objectForKey(key);
    if (const std::string* s = v.string())
        return *s;
    if (v.isNumber() || v.isBool())
        return v.description();
    return std::nullopt;
}

Ref<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    return objectForKey(key).dictionary();
}

Ref<Array> UserDefaults::arrayForKey(std::string_view key) const {
    return objectForKey(key).array();
}

std::optional<Bytes> UserDefaults::dataForKey(std::string_view key) const {
    const Value v = objectForKey(key);
    if (const Bytes* b = v.bytes())
        return *b;
    return std::nullopt;
}

int64_t UserDefaults::integerForKey(std::string_view key) const {
    const Value v = objectForKey(key);
    if (v.isBool())
        return v.boolValue() ? 1 : 0;
    return v.int64Value();
}

double UserDefaults::doubleForKey(std::string_view key) const {
    const Value v = objectForKey(key);
    if (v.isBool())
        return v.boolValue() ? 1.0 : 0.0;
    return v.doubleValue();
}

bool UserDefaults::boolForKey(std::string_view key) const {
    const Value v = objectForKey(key);
    if (const std::string* s = v.string()) {
        std::string lower;
        for (char c : *s)
            lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
        if (lower == "yes" || lower == "true")
            return true;
        return v.int64Value() != 0;
    }
    return v.boolValue();
}

Ref<Dictionary> UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_->copy();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (!dirty_)
        return true;
    if (writeLocked())
        return true;
    VND_TRACE("Error", "Cannot save the user defaults: %s",
              lastError_->localizedDescription().c_str());
    return false;
}

Ref<Error> UserDefaults::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

bool UserDefaults::writeLocked() {
    Ref<Error> error;
    auto bytes = PropertyList::dataWithPropertyList(Value::fromObject(values_),
                                                    PropertyListFormat::XML, &error);
    if (bytes && file_.has_parent_path())
        error = Paths::createDirectories(file_.parent_path(), 0700);
    if (bytes && !error)
        error = AtomicFile::write(file_, *bytes, 0600);
    if (error) {
        lastError_ = error;
        return false;
    }
    dirty_ = false;
    lastError_ = nullptr;
    return true;
}

}  // namespace plat
