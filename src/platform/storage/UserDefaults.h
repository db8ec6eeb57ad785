#pragma once
// The user's defaults: a persistent dictionary of property-list values under string keys, kept
// in one XML property-list file (mode 0600, written atomically) in the configuration folder.
//
// Changes live in memory until synchronize() writes them; a defaults object that is destroyed
// with unsaved changes writes them too, except the shared instance at process exit, which is left
// alone (callers synchronise after their writes). A file that cannot be read is moved aside to
// "<name>.corrupt" rather than overwritten. All operations are thread-safe.
//
// The process-wide shared instance is standardUserDefaults(); tests replace or reset it (a
// replaced instance is released, and so saves its unsaved changes).
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"

namespace plat {

class UserDefaults {
  public:
    // Loads the defaults kept in the file (none when it does not exist yet).
    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The shared instance, made on first use from standardFilePath(). Never null.
    static Ref<UserDefaults> standardUserDefaults();
    // Replaces the shared instance; null drops it, so the next use loads it from disk again.
    static void setStandardUserDefaults(Ref<UserDefaults> defaults);
    static void resetStandardUserDefaults() { setStandardUserDefaults(nullptr); }
    // configurationDirectory()/UserDefaults.plist for the current environment.
    static std::filesystem::path standardFilePath();

    // The value under the key; nil when absent.
    Value objectForKey(std::string_view key) const;
    // Stores an immutable deep copy of the value; nil removes the key. A value that is not a
    // property list (null, objects, non-string dictionary keys) is a programming error:
    // NSInvalidArgumentException.
    void setObject(const Value& value, std::string_view key);
    void removeObjectForKey(std::string_view key);

    // Typed readings, as the platform gives them.
    std::optional<std::string> stringForKey(
        std::string_view key) const;  // strings; numbers as text
    Ref<Dictionary> dictionaryForKey(std::string_view key) const;
    Ref<Array> arrayForKey(std::string_view key) const;
    std::optional<Bytes> dataForKey(std::string_view key) const;
    int64_t integerForKey(
        std::string_view key) const;  // numbers, booleans, numeric strings; else 0
    double doubleForKey(std::string_view key) const;
    // Booleans and numbers by value; strings "YES"/"true" (any case) or a non-zero number.
    bool boolForKey(std::string_view key) const;

    // An immutable snapshot of every key and value.
    Ref<Dictionary> dictionaryRepresentation() const;

    // Writes unsaved changes. Answers true when everything is on disk; on failure the changes
    // stay in memory (and are tried again next time), and lastError() tells why.
    bool synchronize();
    Ref<Error> lastError() const;

    const std::filesystem::path& filePath() const { return file_; }

  private:
    void load();
    bool writeLocked();

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    Ref<MutableDictionary> values_;
    bool dirty_ = false;
    Ref<Error> lastError_;
};

}  // namespace plat
