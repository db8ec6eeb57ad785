#include "app/library/LibrarySeams.h"

#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/library/LibraryMessages.h"
#include "app/services/GlobalService.h"
#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "platform_ui/ViewController.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

// The library screen the main window registered, as it is; null when there is none.
Ref<plat::Object> registeredLibrary() {
    const auto global = GlobalService::globalShared();
    return global ? global->LibraryViewController() : nullptr;
}

// The library screen the main window registered, its view asked for first so that its shelves
// are made; null when there is none.
Ref<plat::Object> loadedLibrary() {
    Ref<plat::Object> library = registeredLibrary();
    if (auto controller = std::dynamic_pointer_cast<ui::ViewController>(library))
        controller->view();
    else
        plat::sendIfResponds(library, LibraryScreenMessages::kView);
    return library;
}

class LibraryScreenShelves : public LibraryShelves {
  public:
    void refreshShelves(bool force) override {
        plat::sendIfResponds(loadedLibrary(), LibraryScreenMessages::kUpdateLibraryForceUpdate,
                             force);
    }
    void cancelLoading() override {
        plat::sendIfResponds(loadedLibrary(), LibraryScreenMessages::kCancelLoading);
    }
    // Shelves not made yet have asked nothing: the screen is not loaded for this.
    void loanTaken() override {
        plat::sendIfResponds(registeredLibrary(), LibraryScreenMessages::kLoanTaken);
    }
};

// The shelf of the item's kind opens it, or tells the member that the reader cannot (an alert,
// answered by the time the library screen returns). The program's library screen also says
// when the opening ends without the reader; another object registered as the library screen
// (one that only answers the message) never does.
class LibraryScreenIssueOpening : public IssueOpening {
  public:
    bool openIssue(const Ref<VnMagazineIssueInfo>& item,
                   std::function<void()> whenNotShown) override {
        if (!item)
            return false;
        const auto library = loadedLibrary();
        if (const auto screen = std::dynamic_pointer_cast<LibraryMainViewController>(library))
            return screen->displayReaderWithIssueInfo_whenNotShown(item, std::move(whenNotShown));
        const bool sent =
            plat::sendIfResponds(library, LibraryScreenMessages::kDisplayReaderWithIssueInfo, item);
        return sent && LibraryListView::readerOpens(*item);
    }
};

}  // namespace

std::shared_ptr<IssueOpening> makeLibraryIssueOpening() {
    return std::make_shared<LibraryScreenIssueOpening>();
}

std::shared_ptr<LibraryShelves> makeLibraryShelves() {
    return std::make_shared<LibraryScreenShelves>();
}
