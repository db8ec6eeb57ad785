// The Secret Service backend against libsecret's own file keyring, which needs no D-Bus session.
// libsecret reads SECRET_BACKEND, SECRET_FILE_TEST_PATH and SECRET_FILE_TEST_PASSWORD on its first
// use, so the factory sets them before it makes the first keychain.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/storage/KeychainConformance.h"
#include "platform/storage/SecretServiceKeychainBackend.h"

using namespace plat;
using testing_support::KeychainConformance;

namespace {

Ref<Keychain> secretServiceKeychain(const std::filesystem::path&) {
    const char* home = std::getenv("VARNEL_HOME");
    const std::string folder = home ? home : "/tmp";
    setenv("SECRET_BACKEND", "file", 0);
    setenv("SECRET_FILE_TEST_PATH", (folder + "/test.keyring").c_str(), 0);
    setenv("SECRET_FILE_TEST_PASSWORD", "varnel-test-password", 0);
    return std::make_shared<Keychain>(std::make_unique<SecretServiceKeychainBackend>());
}

}  // namespace

// GIO keeps a few small strings from the file keyring's writes beyond the process's end. They are
// the library's, not ours: under the sanitizers, allocations made inside GIO are not reported as
// leaks (full stacks are needed to see which library made them; the test is small).
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libgio-2.0.so\n";
}

INSTANTIATE_TEST_SUITE_P(LibsecretFileKeyring, KeychainConformance,
                         ::testing::Values(testing_support::KeychainFactory{"SecretService",
                                                                            secretServiceKeychain}),
                         testing_support::keychainFactoryName);
