#include "platform/storage/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/storage/AtomicFile.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

// An environment variable that names an absolute folder; relative values are ignored, as the
// XDG base-directory rules require.
std::optional<fs::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    return fs::path(value);
}

}  // namespace

fs::path Paths::homeDirectory() {
    if (auto home = absoluteFromEnvironment("HOME"))
        return *home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && result->pw_dir[0] == '/') {
        return fs::path(result->pw_dir);
    }
    return fs::path("/");
}

fs::path Paths::libraryDirectory() {
    if (auto home = absoluteFromEnvironment("VARNEL_HOME"))
        return *home;
    if (auto data = absoluteFromEnvironment("XDG_DATA_HOME"))
        return *data;
    return homeDirectory() / ".local" / "share";
}

fs::path Paths::documentsDirectory() {
    if (auto home = absoluteFromEnvironment("VARNEL_HOME"))
        return *home / "Documents";
    return homeDirectory() / "Documents";
}

fs::path Paths::configurationDirectory() {
    if (auto home = absoluteFromEnvironment("VARNEL_HOME"))
        return *home / kApplicationFolderName;
    if (auto config = absoluteFromEnvironment("XDG_CONFIG_HOME")) {
        return *config / kApplicationFolderName;
    }
    return homeDirectory() / ".config" / kApplicationFolderName;
}

fs::path Paths::applicationDataDirectory() {
    return libraryDirectory() / kApplicationFolderName;
}

bool Paths::isSafeComponent(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string Paths::escapeComponent(std::string_view name) {
    if (name.empty())
        return "%";
    if (name == ".")
        return "%2E";
    if (name == "..")
        return "%2E%2E";
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '/')
            out += "%2F";
        else if (c == '\0')
            out += "%00";
        else if (c == '%')
            out += "%25";
        else
            out += c;
    }
    return out;
}

std::string Paths::unescapeComponent(std::string_view component) {
    if (component == "%")
        return {};
    std::string out;
    for (size_t i = 0; i < component.size(); ++i) {
        if (component[i] != '%') {
            out += component[i];
            continue;
        }
        const std::string_view code = component.substr(i + 1, 2);
        if (code == "2F")
            out += '/';
        else if (code == "00")
            out += '\0';
        else if (code == "25")
            out += '%';
        else if (code == "2E" && (component == "%2E" || component == "%2E%2E"))
            out += '.';
        else
            return std::string(component);  // not made by escapeComponent
        i += 2;
    }
    return out;
}

std::optional<fs::path> Paths::joinSafely(const fs::path& base, std::string_view relative) {
    if (relative.empty())
        return std::nullopt;
    fs::path out = base;
    size_t start = 0;
    while (true) {
        const size_t slash = relative.find('/', start);
        const std::string_view segment = relative.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (!isSafeComponent(segment))
            return std::nullopt;
        out /= fs::path(std::string(segment));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return out;
}

Ref<Error> Paths::createDirectories(const fs::path& path, unsigned mode) {
    if (path.empty())
        return posixError(EINVAL, "Cannot create a folder without a name", path);
    if (path.native().size() >= PATH_MAX)
        return posixError(ENAMETOOLONG, "Cannot create folder", path);
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return nullptr;
    // One buffer, cut at each separator in turn: no recursion and no copy a level, so a path of
    // any depth costs its own length.
    std::string buffer = path.native();
    while (buffer.size() > 1 && buffer.back() == '/')
        buffer.pop_back();
    const auto isFolder = [&](const char* name) {
        struct stat st {};
        return ::stat(name, &st) == 0 && S_ISDIR(st.st_mode);
    };
    // The deepest ancestor that exists already.
    size_t from = buffer.size();
    while (true) {
        const size_t slash = buffer.rfind('/', from - 1);
        if (slash == std::string::npos || slash == 0) {
            from = 0;
            break;
        }
        buffer[slash] = '\0';
        const bool exists = isFolder(buffer.c_str());
        buffer[slash] = '/';
        if (exists) {
            from = slash;
            break;
        }
        from = slash;
    }
    const auto makeOne = [&](size_t end) -> Ref<Error> {
        const char kept = end < buffer.size() ? buffer[end] : '\0';
        if (end < buffer.size())
            buffer[end] = '\0';
        Ref<Error> error;
        if (::mkdir(buffer.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            error = posixError(errno, "Cannot create folder", buffer.c_str());
        else if (!isFolder(buffer.c_str()))
            error = posixError(ENOTDIR, "Not a folder", buffer.c_str());
        if (end < buffer.size())
            buffer[end] = kept;
        return error;
    };
    for (size_t slash = buffer.find('/', from + 1); slash != std::string::npos;
         slash = buffer.find('/', slash + 1)) {
        if (buffer[slash - 1] == '/')
            continue;  // "a//b"
        if (auto error = makeOne(slash))
            return error;
    }
    return makeOne(buffer.size());
}

std::filesystem::path Paths::cachesDirectory() {
    if (const char* root = std::getenv("VARNEL_HOME"); root && *root)
        return std::filesystem::path(root) / "Caches";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return cache;
    return homeDirectory() / ".cache";
}

}  // namespace plat
