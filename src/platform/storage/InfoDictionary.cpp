#include "platform/storage/InfoDictionary.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/core/Log.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxInfoPlistSize = 16 * 1024 * 1024;

struct State {
    std::mutex mutex;
    fs::path explicitPath;
    Ref<Dictionary> dictionary;
    fs::path loadedPath;
    Ref<Error> loadError;
};

State& infoState() {
    static State s;
    return s;
}

fs::path executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

std::vector<fs::path> candidates(const fs::path& explicitPath) {
    std::vector<fs::path> paths;
    if (!explicitPath.empty())
        paths.push_back(explicitPath);
    if (const char* home = std::getenv("VARNEL_HOME"); home && home[0] == '/') {
        paths.push_back(fs::path(home) / "Info.plist");
    }
    if (const fs::path folder = executableFolder(); !folder.empty()) {
        paths.push_back(folder.parent_path() / "share" / "varnel" / "Info.plist");
    }
    return paths;
}

// Loads the first existing candidate; called with the state locked.
void load(State& s) {
    s.loadedPath.clear();
    s.loadError = nullptr;
    for (const fs::path& candidate : candidates(s.explicitPath)) {
        Ref<Error> error;
        auto bytes = AtomicFile::read(candidate, kMaxInfoPlistSize, &error);
        if (!bytes && !error)
            continue;  // no such file: try the next place
        s.loadedPath = candidate;
        Value value;
        if (bytes)
            value = PropertyList::propertyListWithData(*bytes, nullptr, &error);
        if (value.isDictionary()) {
            s.dictionary = value.dictionary();
            return;
        }
        if (!error) {
            error = Error::withDescription(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                                           "Info.plist does not hold a dictionary");
        }
        s.loadError = error;
        VND_TRACE("Error", "Cannot load the information dictionary %s: %s", candidate.c_str(),
                  error->localizedDescription().c_str());
        break;
    }
    s.dictionary = makeDictionary({});
}

}  // namespace

Ref<Dictionary> InfoDictionary::main() {
    State& s = infoState();
    std::lock_guard lock(s.mutex);
    if (!s.dictionary)
        load(s);
    return s.dictionary;
}

Value InfoDictionary::objectForKey(std::string_view key) {
    return main()->objectForKey(key);
}

void InfoDictionary::setInfoPlistPath(fs::path path) {
    State& s = infoState();
    std::lock_guard lock(s.mutex);
    s.explicitPath = std::move(path);
    s.dictionary = nullptr;
}

void InfoDictionary::setDictionary(Ref<Dictionary> dictionary) {
    State& s = infoState();
    std::lock_guard lock(s.mutex);
    s.dictionary = dictionary ? dictionary->copy() : nullptr;
    s.loadedPath.clear();
    s.loadError = nullptr;
}

std::vector<fs::path> InfoDictionary::searchPaths() {
    State& s = infoState();
    fs::path explicitPath;
    {
        std::lock_guard lock(s.mutex);
        explicitPath = s.explicitPath;
    }
    return candidates(explicitPath);
}

fs::path InfoDictionary::loadedPath() {
    State& s = infoState();
    std::lock_guard lock(s.mutex);
    return s.loadedPath;
}

Ref<Error> InfoDictionary::loadError() {
    State& s = infoState();
    std::lock_guard lock(s.mutex);
    return s.loadError;
}

}  // namespace plat
