#include "support/GuiTestEnvironment.h"

#include <cstdlib>
#include <string>

namespace testing_support {

std::filesystem::path prepareGuiTestEnvironment() {
    namespace fs = std::filesystem;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    std::string tmpl = (fs::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (char* dir = mkdtemp(tmpl.data())) {
        setenv("VARNEL_HOME", dir, 1);
        return dir;
    }
    return {};
}

void removeGuiTestHome(const std::filesystem::path& home) {
    std::error_code ec;
    if (!home.empty())
        std::filesystem::remove_all(home, ec);
}

}  // namespace testing_support
