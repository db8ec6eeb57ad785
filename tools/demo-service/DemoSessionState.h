#pragma once
// The demo program's memory across restarts, kept in a small JSON file: the session tokens its
// members were given, with their user names ({"sessionTokens": {token: user}}), the service's
// sessions with their data ({"sessions": {id: {"user": ...}}}), and what the members did
// ({"members": {user: {"loans": [...], "reservations": [...], ...}}, "nextCode": n}), so that a
// loan made before a restart is still on the member's shelf after it.
#include <filesystem>

#include "demo-service/SampleCatalogue.h"

namespace demo {

// Takes back what the file holds (tokens, sessions, and members the catalogue knows). A missing
// file is no error; an unreadable one is said on standard error and ignored.
void loadState(SampleCatalogue& catalogue, const std::filesystem::path& file);
// Writes the tokens, the sessions and the members' state (replacing the file whole, readable by its
// owner only); false on failure.
bool saveState(const SampleCatalogue& catalogue, const std::filesystem::path& file);

}  // namespace demo
