#pragma once
// The screen tests' process set-up: headless by default (offscreen windows, no web-engine sandbox,
// the ffmpeg media backend, no GPU), each process in a temporary home of its own.
#include <filesystem>

namespace testing_support {

// Before the application object is made: sets what the caller has not set, and makes the home
// (VARNEL_HOME); answers it, empty when none could be made.
std::filesystem::path prepareGuiTestEnvironment();
// After the tests: removes the home.
void removeGuiTestHome(const std::filesystem::path& home);

}  // namespace testing_support
