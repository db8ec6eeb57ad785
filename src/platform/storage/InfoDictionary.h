#pragma once
// The application's information dictionary (the bundle's Info.plist): read-only configuration
// such as "ApplicationCustomization", "VndTraceEnabledGroupMap", "Flags" and "CFBundleVersion".
//
// It is loaded once, on first use, from the first of these files that exists:
//   1. the file set with setInfoPlistPath (the command line's hook),
//   2. $VARNEL_HOME/Info.plist,
//   3. share/varnel/Info.plist of the installation (../share/varnel relative to the executable).
// A file that cannot be parsed gives an empty dictionary and a trace line in group "Error"; no
// file at all gives an empty dictionary. Tests may replace the dictionary outright.
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"

namespace plat {

class InfoDictionary {
  public:
    // The dictionary; never null. Thread-safe.
    static Ref<Dictionary> main();
    // main()'s value under the key; nil when absent.
    static Value objectForKey(std::string_view key);

    // The explicitly given Info.plist, searched first. Forgets a dictionary already loaded.
    static void setInfoPlistPath(std::filesystem::path path);
    // Replaces the dictionary (tests). Null forgets it, so the next use loads from the files again.
    static void setDictionary(Ref<Dictionary> dictionary);

    // The candidate files, in search order, for the current environment.
    static std::vector<std::filesystem::path> searchPaths();
    // The file the dictionary came from (empty when none, or when it was set directly), and the
    // error of that load (null when it succeeded).
    static std::filesystem::path loadedPath();
    static Ref<Error> loadError();
};

}  // namespace plat
