#pragma once
// The demo program's memory of signed-in sessions across restarts: the session tokens its members
// were given, with their user names, kept in a small JSON file ({"sessionTokens": {token: user}}).
#include <filesystem>

#include "demo-service/SampleCatalogue.h"

namespace demo {

// Remembers the tokens the file names (for user names the catalogue knows). A missing file is no
// error; an unreadable one is said on standard error and ignored.
void loadSessionTokens(SampleCatalogue& catalogue, const std::filesystem::path& file);
// Writes every remembered token (replacing the file whole, readable by its owner only); false on
// failure.
bool saveSessionTokens(const SampleCatalogue& catalogue, const std::filesystem::path& file);

}  // namespace demo
