#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Every test process gets its own temporary home so that no test touches the user's files.
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string tmpl = (fs::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (char* dir = mkdtemp(tmpl.data())) {
        setenv("VARNEL_HOME", dir, 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    if (const char* home = getenv("VARNEL_HOME")) {
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    return rc;
}
