#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

// Screen tests run headless: offscreen windows, no web-engine sandbox, the ffmpeg media backend,
// unless the caller says otherwise; each process gets its own temporary home.
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    std::string tmpl = (fs::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (char* dir = mkdtemp(tmpl.data()))
        setenv("VARNEL_HOME", dir, 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the web engine needs it
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    if (const char* home = getenv("VARNEL_HOME")) {
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    return rc;
}
