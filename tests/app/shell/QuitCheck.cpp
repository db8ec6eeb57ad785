// app_quit_check <scenario>: the program as `main` runs it (same start, same ending), against the
// demo library service in this process, offscreen, in a home of its own. Once launched it does
// what the scenario names, then closes the main window as a member does; the process's exit
// status is the program's, and CTest checks that it ends with 0, no signal and no hang after:
//   bookmarks  the reader window shown with its bookmark list open,
//   render     a large page render asked for and still running,
//   video      play pressed on a video (the program chooses its media backend itself),
//   all        all three at once.
// One more, for the signals that end the program (QuitSignalTest drives it): the window is not
// closed; the process ends only as a signal ends it:
//   held       a page render asked for, whose check waits (on the checker $VARNEL_PDF_CHECK
//              names) until the program ends,
//   held-window  that, and a window that stays open when asked to close,
//   held-page FILE  as held, for the page file FILE, which stays where it is at the end (the
//              start step's Ctrl-C test runs it in place of the program).
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Program.h"
#include "app/reader/ReaderWindowController.h"
#include "app/services/GlobalService.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/WindowController.h"
#include "demo-service/DemoMedia.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/core/Collections.h"
#include "platform/storage/InfoDictionary.h"
#include "platform_ui/media/MediaPlayer.h"
#include "platform_ui/pdf/PdfPage.h"
#include "platform_ui/pdf/PdfRenderCache.h"
#include "support/PdfFixtures.h"

namespace fs = std::filesystem;

namespace {

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

void openBookmarkList(AppDelegate& delegate) {
    const auto reader =
        std::dynamic_pointer_cast<ReaderWindowController>(delegate.readerWindowController());
    if (!reader) {
        std::fprintf(stderr, "quit check: no reader window\n");
        std::exit(2);
    }
    reader->showWindow();
    reader->bookmarkToolbar_Click();
}

// A render of the page file at some 7,000 x 7,000 pixels: far from done when the window closes.
void startLargeRender(const fs::path& file) {
    const auto page = ui::PdfPage::fromFile(file);
    if (!page) {
        std::fprintf(stderr, "quit check: the page was refused\n");
        std::exit(2);
    }
    static const int client = 0;
    ui::PdfRenderCache::Request request{page, {page->pageId(), QSize(7000, 7000), QRect()}};
    ui::PdfRenderCache::shared().request(&client, {request}, [](const ui::PdfRenderCache::Key&) {});
}

// A picture and its player in the main window (which owns them), playing.
void pressPlay(AppDelegate& delegate, const fs::path& home) {
    const fs::path clip = home / "clip.y4m";
    const auto bytes = demo::demoInteractiveMedia("clip.y4m");
    if (!bytes || !writeFile(clip, *bytes)) {
        std::fprintf(stderr, "quit check: cannot write the clip\n");
        std::exit(2);
    }
    QWidget* window = delegate.myWindowController()->window();
    auto* view = new ui::PlayerView(window);   // owned by the window
    auto* player = new ui::MediaPlayer(view);  // owned by the view
    view->setGeometry(0, 0, 320, 240);
    view->setPlayer(player);
    view->show();
    player->setSource(QUrl::fromLocalFile(QString::fromStdString(clip.string())));
    player->play();
}

// A window of its own that stays open when asked to close (as a full-screen video's view does: it
// leaves full screen instead); its owner, the main window, takes it along when it goes.
class WindowThatStays : public QWidget {
  public:
    explicit WindowThatStays(QWidget* owner) : QWidget(owner, Qt::Window) {}

  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// A page of its own in the home, for the render.
fs::path largePage(const fs::path& home) {
    const fs::path file = home / "large-page.pdf";
    if (!writeFile(file, testing_support::filledPdf(1000, 1000, 0, 0.5, 1))) {
        std::fprintf(stderr, "quit check: cannot write %s\n", file.c_str());
        std::exit(2);
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "all";
    if (scenario != "bookmarks" && scenario != "render" && scenario != "video" &&
        scenario != "all" && scenario != "held" && scenario != "held-window" &&
        (scenario != "held-page" || argc < 3)) {
        std::fprintf(stderr,
                     "usage: app_quit_check "
                     "[bookmarks|render|video|all|held|held-window|held-page FILE]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    std::string folder = (fs::temp_directory_path() / "varnel-quit-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path home = folder;
    setenv("VARNEL_HOME", folder.c_str(), 1);

    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    service.setServicePath(kBookServicePath);
    demo::registerVersion2Methods(service, catalogue);
    demo::registerStoreService(store, catalogue, "ORV_001", demo::kDemoAuthorizationToken);
    if (!service.start() || !store.start()) {
        std::fprintf(stderr, "quit check: the demo did not start\n");
        return 2;
    }
    plat::InfoDictionary::setDictionary(plat::makeDictionary(
        {{plat::Value(kVarnelDeploymentKey),
          plat::Value(plat::makeDictionary(
              {{plat::Value(kServiceHostKey), plat::Value(service.baseUrl())},
               {plat::Value(kAuthorizationTokenKey),
                plat::Value(demo::kDemoAuthorizationToken)}}))},
         {plat::Value("ApplicationCustomization"),
          plat::Value(plat::makeDictionary(
              {{plat::Value("Shop"),
                plat::Value(plat::makeDictionary(
                    {{plat::Value("StoreServiceURL"), plat::Value(store.serviceUrl())}}))}}))}}));

    const bool all = scenario == "all";
    const int status = runProgram(argc, argv, [&](AppDelegate& delegate) {
        if (scenario == "held-page") {
            startLargeRender(argv[2]);  // its page is checked first, which waits
            return;
        }
        if (scenario == "held" || scenario == "held-window") {
            startLargeRender(largePage(home));  // its page is checked first, which waits
            if (scenario == "held-window") {
                QWidget* window = delegate.myWindowController()->window();
                (new WindowThatStays(window))->show();  // owned by the main window
            }
            return;
        }
        if (all || scenario == "bookmarks")
            openBookmarkList(delegate);
        if (all || scenario == "video")
            pressPlay(delegate, home);
        // The render goes last, right before the window closes, so that it is still running.
        const WeakRef<WindowController> window = delegate.myWindowController();
        QTimer::singleShot(all || scenario == "video" ? 500 : 100, [&, window] {
            if (all || scenario == "render")
                startLargeRender(largePage(home));
            if (const auto shown = window.lock())
                shown->window()->close();
        });
    });
    store.stop();
    service.stop();
    plat::InfoDictionary::setDictionary(nullptr);
    std::error_code ec;
    fs::remove_all(home, ec);
    std::printf("quit check %s: the program ended with %d\n", scenario.c_str(), status);
    return status;
}
