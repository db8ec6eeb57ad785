#include "platform/storage/FileManager.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/storage/AtomicFile.h"

namespace plat {

namespace fs = std::filesystem;

std::vector<std::string> FileManager::contentsOfDirectory(const fs::path& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec)
        names.clear();
    return names;
}

Ref<Error> FileManager::removeItem(const fs::path& path) {
    std::error_code ec;
    const auto removed = fs::remove_all(path, ec);
    if (ec)
        return posixError(ec.value(), "Cannot remove", path);
    if (removed == 0)
        return posixError(ENOENT, "Nothing to remove", path);
    return nullptr;
}

Ref<Error> FileManager::moveItem(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return nullptr;
    if (errno != EINVAL && errno != ENOSYS)
        return posixError(errno, "Cannot move to " + to.string(), from);
    // A file system without the no-replace flag: a hard link fails on an existing target.
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0)
        return posixError(errno, "Cannot move", from);
    if (S_ISDIR(info.st_mode)) {
        if (::access(to.c_str(), F_OK) == 0)
            return posixError(EEXIST, "Cannot move to " + to.string(), from);
        if (::rename(from.c_str(), to.c_str()) != 0)
            return posixError(errno, "Cannot move to " + to.string(), from);
        return nullptr;
    }
    if (::link(from.c_str(), to.c_str()) != 0)
        return posixError(errno, "Cannot move to " + to.string(), from);
    ::unlink(from.c_str());
    return nullptr;
}

std::optional<uint64_t> FileManager::fileSize(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool FileManager::fileExists(const fs::path& path, bool* isDirectory) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(info.st_mode);
    return true;
}

std::optional<fs::path> FileManager::setAside(const fs::path& path) {
    for (int n = 1; n < 10000; ++n) {
        fs::path aside = path;
        aside += n == 1 ? ".corrupt" : ".corrupt-" + std::to_string(n);
        auto error = moveItem(path, aside);
        if (!error)
            return aside;
        if (error->code() != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

Ref<Error> FileManager::setExcludedFromBackup(const fs::path& path) {
    if (!fileExists(path))
        return posixError(ENOENT, "item URL must exist", path);
    return nullptr;
}

}  // namespace plat
