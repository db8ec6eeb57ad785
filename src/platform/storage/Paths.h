#pragma once
// Where the program keeps its files, and a path join that refuses names escaping their folder.
//
// The user's Library folder is $XDG_DATA_HOME (default ~/.local/share); the configuration folder
// is $XDG_CONFIG_HOME/Varnel (default ~/.config/Varnel). When VARNEL_HOME is set it replaces both
// roots (tests always set it). The environment is read on every call, so a test may change it.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Error.h"

namespace plat {

class Paths {
  public:
    // The folder name the program adds below the roots.
    static constexpr const char* kApplicationFolderName = "Varnel";

    // The user's home folder: $HOME when absolute, else the password database, else "/".
    static std::filesystem::path homeDirectory();
    // The user's Library folder (the root below which the cache tree adds "Varnel").
    static std::filesystem::path libraryDirectory();
    // The configuration root + "/Varnel" (user defaults live here).
    static std::filesystem::path configurationDirectory();
    // The user's caches folder: $XDG_CACHE_HOME (default ~/.cache), or VARNEL_HOME + "/Caches".
    static std::filesystem::path cachesDirectory();
    // The user's documents folder: VARNEL_HOME + "/Documents" when set, else ~/Documents.
    static std::filesystem::path documentsDirectory();
    // The Library folder + "/Varnel": the program's own data (pasteboards, keychain file store).
    static std::filesystem::path applicationDataDirectory();

    // Whether a name can be used as one path component: not empty, not "." or "..", and
    // without "/" or NUL.
    static bool isSafeComponent(std::string_view name);
    // Any text (an id, a table name, a user name) as one safe path component: "/", NUL and "%"
    // become "%2F", "%00" and "%25"; "" becomes "%", "." "%2E" and ".." "%2E%2E"; all other
    // text, Thai included, stays byte for byte. Different texts never give the same component.
    static std::string escapeComponent(std::string_view name);
    // The text escapeComponent made the component from; the component itself when no text gives
    // it.
    static std::string unescapeComponent(std::string_view component);
    // base / relative, when every "/"-separated segment of relative is a safe component (so the
    // result stays below base); nothing otherwise (absolute paths, "..", NUL, empty segments).
    static std::optional<std::filesystem::path> joinSafely(const std::filesystem::path& base,
                                                           std::string_view relative);

    // mkdir -p with the given mode for folders it creates. Existing folders are left as they are.
    static Ref<Error> createDirectories(const std::filesystem::path& path, unsigned mode = 0700);
};

}  // namespace plat
