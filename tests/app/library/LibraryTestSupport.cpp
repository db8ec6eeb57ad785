#include "LibraryTestSupport.h"

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/library/LibraryListView.h"
#include "demo-service/DemoLibraryMembers.h"
#include "demo-service/DemoMemberShelves.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using namespace library_testing;

PLAT_DEFINE_CLASS(RecordingReader, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(RecordingCell, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ShelfDelegate, plat::Object, [](auto& c) {
    c.method("libraryListView_StartLoading:", &ShelfDelegate::started)
        .method("libraryListView_LoadComplete:", &ShelfDelegate::completed);
})

namespace {

class SignInWatcher : public plat::Object {
    PLAT_CLASS(SignInWatcher)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult> r) { result = r; }
    Ref<VnRequestResult> result;
};

}  // namespace

PLAT_DEFINE_CLASS(SignInWatcher, plat::Object, [](auto& c) {
    c.method("t_request:didFinishWithResult:", &SignInWatcher::finished);
})

void RecordingReader::setDelegate(const Ref<plat::Object>& d) {
    delegate = d;
    calls.push_back("setDelegate");
}

void RecordingReader::openIssue(const Ref<MagazineIssueUIContext>& uiContext,
                                const std::string& caption, int pageIndex) {
    lastContext = uiContext;
    shown = true;
    pages.push_back(pageIndex);
    calls.push_back("openIssue " + caption + " " + std::to_string(pageIndex));
}

void LibraryTest::SetUp() {
    alerts = std::make_shared<RecordingAlert>();
    ui::Alert::setShared(alerts);
    delegate = std::make_shared<ShelfDelegate>();
}

void LibraryTest::TearDown() {
    spin(0.02);
    // The page checks of the issues opened end with the test, as they do with the program.
    ui::PdfPageCheck::stopChecks();
    demo.stop();
    ui::Alert::setShared(nullptr);
}

void LibraryTest::startDemo(bool numericCodes, const char* member, const char* password) {
    demo::seedLibraryMembers(demo.catalogue);
    demo.start(true, [this, numericCodes] {
        demo::enableMemberShelves(demo.service, demo.catalogue);
        demo::enableLibraryMembers(demo.service, demo.catalogue, numericCodes);
    });
    // What the program does at launch: the reader window comes from the registry.
    ui::ResourceRegistry::shared().replaceController("ReaderWindowStoryboard", "ReaderWindow", [] {
        return std::make_shared<RecordingReader>();
    });
    reader = ui::ResourceRegistry::shared().instantiate<RecordingReader>("ReaderWindowStoryboard",
                                                                         "ReaderWindow");
    GlobalService::globalShared()->setReaderViewController(reader);
    signIn(member, password);
}

void LibraryTest::signIn(const char* member, const char* password) {
    auto watcher = std::make_shared<SignInWatcher>();
    GlobalService::globalShared()->storeContext()->startUserAuthenticationRequestWithUserName(
        member, password, watcher, "t_");
    ASSERT_TRUE(runUntil([&] { return watcher->result != nullptr; }));
    ASSERT_TRUE(watcher->result->succeed());
}

bool LibraryTest::runUntil(const std::function<bool()>& done, double seconds) {
    return plat::RunLoop::current().runUntil(done, seconds);
}

void LibraryTest::spin(double seconds) {
    plat::RunLoop::current().runUntil([] { return false; }, seconds);
}

Ref<VnBookStoreUserContext> LibraryTest::user() {
    return GlobalService::globalShared()->storeContext()->activeUserContext();
}

Ref<LibraryListView> LibraryTest::makeShelf(bool books) {
    auto shelf = ui::ViewController::create<LibraryListView>();
    shelf->setTitleLibrary(books ? "หนังสือ" : "นิตยสาร");
    shelf->setBookLibraryMode(books);
    shelf->setLibraryDelegate(delegate);
    shelf->setReaderWindowController(reader);
    return shelf;
}

bool LibraryTest::refresh(const Ref<LibraryListView>& shelf, bool force) {
    const auto before = shelf->getIssueInfoRequest();
    shelf->updateLibraryForceUpdate(force);
    const auto done = [&] {
        const auto& state = shelf->getIssueInfoRequest();
        return !shelf->booksRequest() && !shelf->magazineIssuesRequest() && state &&
               state != before && !state->running();
    };
    const bool finished = runUntil(done);
    spin(0.05);  // returns the state reply started
    return finished;
}

std::vector<std::string> LibraryTest::contentCodes(const LibraryListView& shelf) {
    std::vector<std::string> codes;
    for (const auto& info : shelf.content())
        codes.push_back(info->magazineIssueInfo->code().value_or("<none>"));
    return codes;
}

Ref<VnMagazineIssueInfo> LibraryTest::itemOf(const LibraryListView& shelf,
                                             const std::string& code) {
    for (const auto& info : shelf.content()) {
        if (info->magazineIssueInfo->code() == code)
            return info->magazineIssueInfo;
    }
    return nullptr;
}
