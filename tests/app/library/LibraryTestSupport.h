#pragma once
// What the library tests share: the demo service with the member shelves and the library's
// members (signed in through GlobalService), a recording reader window under
// ("ReaderWindowStoryboard", "ReaderWindow"), a recording shelf cell, alert and library delegate.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/library/LibraryShelfBookInfo.h"
#include "app/services/ReaderHandOver.h"
#include "platform_ui/Alert.h"
#include "vnlib/dev/request/VnRequestProgress.h"

#include "app/shell/ShellTestSupport.h"

class LibraryListView;
class MagazineIssueUIContext;
class VnBookStoreUserContext;
class VnMagazineIssueInfo;

namespace library_testing {

// The reader window's stand-in: records each call in order.
class RecordingReader : public plat::Object, public ReaderHandOver {
    PLAT_CLASS(RecordingReader)
  public:
    void setDelegate(const Ref<plat::Object>& delegate) override;
    void showWindow() override { calls.push_back("showWindow"); }
    void openIssue(const Ref<MagazineIssueUIContext>& uiContext, const std::string& caption,
                   int pageIndex) override;
    // The issue last opened shows until the test says the window closed (`shown` false).
    bool showsIssue(const Ref<MagazineIssueUIContext>& uiContext) const override {
        return shown && uiContext && uiContext == lastContext;
    }

    bool shown = false;
    WeakRef<plat::Object> delegate;
    std::vector<std::string> calls;
    std::vector<int> pages;
    Ref<MagazineIssueUIContext> lastContext;
};

// A cell that shows one item and records its download display.
class RecordingCell : public plat::Object, public LibraryShelfCell {
    PLAT_CLASS(RecordingCell)
  public:
    explicit RecordingCell(Ref<VnMagazineIssueInfo> item = nullptr) : item(std::move(item)) {}
    Ref<VnMagazineIssueInfo> magazienIssueInfo() const override { return item; }
    void setDownloadMode(bool mode) override {
        downloadMode = mode;
        modes.push_back(mode);
    }
    void setDownloadProgressValue(double value) override { progress.push_back(value); }

    Ref<VnMagazineIssueInfo> item;
    bool downloadMode = false;
    std::vector<bool> modes;
    std::vector<double> progress;
};

class RecordingAlert : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string&) override {
        messages.push_back(message);
        if (onShow)
            onShow();
    }
    std::vector<std::string> messages;
    std::function<void()> onShow;
};

// Hears the shelf's "libraryListView_StartLoading:" and "libraryListView_LoadComplete:".
class ShelfDelegate : public plat::Object {
    PLAT_CLASS(ShelfDelegate)
  public:
    void started(const Ref<plat::Object>&) { events.push_back("start"); }
    void completed(const Ref<plat::Object>&) { events.push_back("complete"); }
    std::vector<std::string> events;
};

class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the demo (member shelves on; all-digit codes as numbers when asked) and signs in.
    void startDemo(bool numericCodes = false, const char* member = "manee@example.com",
                   const char* password = "manee-pass");
    // Signs the member in on the program's store context and waits for the outcome.
    static void signIn(const char* member, const char* password);
    static bool runUntil(const std::function<bool()>& done, double seconds = 15);
    static void spin(double seconds);
    static Ref<VnBookStoreUserContext> user();
    // A new shelf of that kind with the recording reader and delegate.
    Ref<LibraryListView> makeShelf(bool books);
    // Refreshes the shelf and waits until its update and library-state request are done.
    bool refresh(const Ref<LibraryListView>& shelf, bool force = true);
    static std::vector<std::string> contentCodes(const LibraryListView& shelf);
    static Ref<VnMagazineIssueInfo> itemOf(const LibraryListView& shelf, const std::string& code);
    size_t calls(const char* method) const { return demo.calls(method); }

    shell_testing::DemoEnvironment demo;
    Ref<RecordingReader> reader;
    Ref<ShelfDelegate> delegate;
    std::shared_ptr<RecordingAlert> alerts;
};

}  // namespace library_testing
