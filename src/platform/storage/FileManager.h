#pragma once
// plat::FileManager: the file-system operations the cache needs beyond whole-file reads and
// writes: listing a folder, recursive removal, moves that never replace an existing file, sizes,
// existence, and the backup-exclusion mark (which Linux does not have).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"

namespace plat {

class FileManager {
  public:
    // The names in a folder, in the file system's own order; empty when it cannot be listed.
    static std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path);
    // Removes a file, or a folder with everything in it. An error when nothing could be removed.
    static Ref<Error> removeItem(const std::filesystem::path& path);
    // Moves a file or folder; fails (EEXIST) when the destination exists, leaving both alone.
    static Ref<Error> moveItem(const std::filesystem::path& from, const std::filesystem::path& to);
    // The size of a regular file; nothing when it does not exist or is no regular file.
    static std::optional<uint64_t> fileSize(const std::filesystem::path& path);
    static bool fileExists(const std::filesystem::path& path, bool* isDirectory = nullptr);
    // Renames a damaged file to "<path>.corrupt", or ".corrupt-2", ".corrupt-3", ... so that an
    // earlier one is never overwritten; answers the new path, nothing when it could not move.
    static std::optional<std::filesystem::path> setAside(const std::filesystem::path& path);
    // Linux keeps no backup-exclusion mark: succeeds for an existing item, fails otherwise.
    static Ref<Error> setExcludedFromBackup(const std::filesystem::path& path);
};

}  // namespace plat
