#pragma once
// The journey tests' harness: the whole program, started and ended in-process through the
// program's own steps (Program.h: the journey program's main prepares and sets it up as runProgram
// does; each launch and quit goes through AppDelegate as runProgram's event loop does), against
// the demo library service, which runs once per test program on free ports. Each test gets its own
// VARNEL_HOME holding an Info.plist made from the shipped one with the demo's ports, as the run
// command makes it. A test acts only as a member does: it finds widgets in the window tree and
// clicks or types into them, and waits while the event loop runs.
//
//   class MyJourney : public journey::JourneyTest {};
//   TEST_F(MyJourney, Something) {
//       launch();
//       clickToolbar("ic_top");
//       ASSERT_TRUE(waitFor([&] { return visibleWithText<QLabel>("...") != nullptr; }));
//   }
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest/QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/EndingSignals.h"
#include "app/Program.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/library/LibraryTexts.h"
#include "app/reader/PDFModifyView.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "app/services/GlobalService.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/WindowController.h"
#include "app/signon/OAuth.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "demo-service/DemoImages.h"
#include "demo-service/DemoLibraryMembers.h"
#include "demo-service/DemoMemberShelves.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/core/MessageWiring.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/Alert.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/pdf/PdfDocument.h"
#include "platform_ui/pdf/PdfPage.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/web/WebView.h"
#include "support/GuiTestSupport.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

#ifndef VARNEL_SOURCE_DIR
#error "the journey program is built with VARNEL_SOURCE_DIR"
#endif

namespace journey {

// ---- The demo library service, once per test program ----

// The demo as its program runs it for the run command: the version-2 web methods with the
// members' own shelves, the sign-on server, images, and the store service on a port of its own.
// stop() and start() again make the services afresh on the same ports over the same catalogue
// (members, loans, sign-on tokens, the service's sessions), as the demo program restarted with
// its state file. startAfresh() begins again from the seeded catalogue, so that each journey
// meets the demo as a new demo program is, whatever the journeys before it did.
class DemoLibrary {
  public:
    static DemoLibrary& shared() {
        static DemoLibrary library;
        return library;
    }

    bool start() {
        if (service && service->isRunning() && store && store->isRunning())
            return true;
        stop();
        service = std::make_unique<demo::DemoService>();
        service->setServicePath("/BookService.asmx");
        demo::registerVersion2Methods(*service, *catalogue_);
        demo::enableMemberShelves(*service, *catalogue_);
        if (!seeded_) {
            seeded_ = true;
            demo::seedLibraryMembers(*catalogue_);  // the EPUB-only book among them, as the
                                                    // run command's demo holds it
        }
        demo::enableLibraryMembers(*service, *catalogue_, false);
        demo::registerImagePaths(*service);
        demo::registerHttpClientRoutes(*service);
        signOn = std::make_unique<demo::DemoSignOn>(*service, *catalogue_);
        store = std::make_unique<demo::DemoService>();
        demo::registerStoreService(*store, *catalogue_, {}, demo::kDemoAuthorizationToken);
        if (!service->start(servicePort_) || !store->start(storePort_))
            return false;
        servicePort_ = service->port();
        storePort_ = store->port();
        return true;
    }
    bool startAfresh() {
        stop();
        signOn.reset();  // they serve the old catalogue
        store.reset();
        service.reset();
        catalogue_ = std::make_unique<demo::SampleCatalogue>();
        seeded_ = false;
        return start();
    }
    void stop() {
        if (store)
            store->stop();
        if (service)
            service->stop();
    }
    bool running() const { return service && service->isRunning(); }

    // The shipped Info.plist with this demo's addresses, as the run command writes it.
    std::string infoPlist() const {
        std::ifstream in(std::string(VARNEL_SOURCE_DIR) + "/data/Info.plist");
        std::stringstream text;
        text << in.rdbuf();
        std::string plist = text.str();
        replaceAll(plist, "http://127.0.0.1:8418/store.svc", store->serviceUrl());
        replaceAll(plist, "http://127.0.0.1:8417", service->baseUrl());
        return plist;
    }

    // How many requests of a web method the service heard since it started.
    size_t calls(const char* method) const {
        return service ? service->requestsForMethod(method).size() : 0;
    }

    demo::SampleCatalogue& catalogue() { return *catalogue_; }

    // Makes the item one of that many pages, so that it arrives whole quickly.
    bool shorten(const std::string& code, int pages) {
        const demo::SampleItem* found = catalogue_->findItem(code);
        if (!found)
            return false;
        demo::SampleItem item = *found;
        item.fileSize = item.pageCount > 0 ? item.fileSize / item.pageCount * pages : 0;
        item.pageCount = pages;
        return catalogue_->withdrawItem(code) && catalogue_->addItem(std::move(item));
    }
    std::unique_ptr<demo::DemoService> service;
    std::unique_ptr<demo::DemoService> store;
    std::unique_ptr<demo::DemoSignOn> signOn;

  private:
    DemoLibrary() = default;
    std::unique_ptr<demo::SampleCatalogue> catalogue_ = std::make_unique<demo::SampleCatalogue>();
    static void replaceAll(std::string& text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    }
    bool seeded_ = false;
    int servicePort_ = 0;
    int storePort_ = 0;
};

// ---- Waiting ----

// Runs the event loop until the condition holds (true) or the time is up (false).
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 15000) {
    return testing_support::spinUntil(condition, milliseconds);
}

inline void spin(int milliseconds) {
    testing_support::spin(milliseconds);
}

// ---- Finding widgets ----

// Whether the widget shows on its window (it and its parents are visible, its window too).
inline bool showing(const QWidget* widget) {
    return widget && widget->isVisible() && widget->window() && widget->window()->isVisible();
}

// Every widget of the type below the roots (all top-level windows when none), shown ones only
// unless asked otherwise.
template <class T = QWidget>
std::vector<T*> widgets(const std::function<bool(T*)>& match = {}, bool shownOnly = true,
                        QWidget* root = nullptr) {
    std::vector<T*> found;
    const auto consider = [&](QWidget* w) {
        auto* t = dynamic_cast<T*>(w);
        if (t && (!shownOnly || showing(t)) && (!match || match(t)))
            found.push_back(t);
    };
    const QList<QWidget*> roots = root ? QList<QWidget*>{root} : QApplication::topLevelWidgets();
    for (QWidget* top : roots) {
        consider(top);
        for (QWidget* child : top->findChildren<QWidget*>())
            consider(child);
    }
    return found;
}

template <class T = QWidget>
T* first(const std::function<bool(T*)>& match = {}, QWidget* root = nullptr) {
    const auto all = widgets<T>(match, true, root);
    return all.empty() ? nullptr : all.front();
}

// The text a widget shows: a label's, a button's, a line edit's.
inline QString textOf(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* field = qobject_cast<const QLineEdit*>(widget))
        return field->text();
    return {};
}

template <class T = QWidget>
T* byName(const QString& objectName, QWidget* root = nullptr) {
    return first<T>([&](T* w) { return w->objectName() == objectName; }, root);
}

// A shown widget whose text is exactly the text (or contains it, when `part`).
template <class T = QWidget>
T* byText(const QString& text, bool part = false, QWidget* root = nullptr) {
    return first<T>(
        [&](T* w) {
            const QString shown = textOf(w);
            return part ? shown.contains(text) : shown == text;
        },
        root);
}

// The rows of a tree (an index, an outline), depth first.
inline std::vector<QTreeWidgetItem*> rowsOf(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> rows;
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* item) {
        rows.push_back(item);
        for (int i = 0; i < item->childCount(); ++i)
            visit(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        visit(tree->topLevelItem(i));
    return rows;
}

// Every text shown below the root, joined by new lines (for failure messages and checks).
inline std::string shownTexts(QWidget* root = nullptr) {
    std::string all;
    for (QWidget* w : widgets<QWidget>({}, true, root)) {
        const QString text = textOf(w);
        if (!text.isEmpty())
            all += text.toStdString() + "\n";
        if (auto* tree = dynamic_cast<QTreeWidget*>(w))
            for (QTreeWidgetItem* row : rowsOf(tree))
                all += "[row] " + row->text(0).toStdString() + "\n";
    }
    return all;
}

// A row with the text in a shown tree; null when none.
inline std::pair<QTreeWidget*, QTreeWidgetItem*> shownRow(const QString& text,
                                                          QWidget* root = nullptr) {
    for (QTreeWidget* tree : widgets<QTreeWidget>({}, true, root))
        for (QTreeWidgetItem* row : rowsOf(tree))
            if (row->text(0) == text)
                return {tree, row};
    return {nullptr, nullptr};
}

inline bool showsText(const QString& text, QWidget* root = nullptr) {
    return byText<QWidget>(text, true, root) != nullptr;
}

// The button nearest to a shown text: the button of the cell or row that shows it (the text's
// closest ancestor holding a shown button, that button).
inline QAbstractButton* buttonNear(QWidget* textWidget) {
    for (QWidget* up = textWidget; up; up = up->parentWidget()) {
        if (auto* self = dynamic_cast<QAbstractButton*>(up))
            return self;
        const auto buttons = widgets<QAbstractButton>({}, true, up);
        if (!buttons.empty())
            return buttons.front();
    }
    return nullptr;
}

// ---- Acting ----

// A click in the middle of the widget, as the mouse gives it.
inline void click(QWidget* widget) {
    ASSERT_TRUE(widget) << "nothing to click";
    ASSERT_TRUE(showing(widget)) << "clicking a widget that does not show: "
                                 << widget->objectName().toStdString();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// A double click in the middle of the widget, as the mouse gives it: a press and a release, then
// the second press as a double click and its release.
inline void doubleClick(QWidget* widget) {
    ASSERT_TRUE(widget) << "nothing to click";
    ASSERT_TRUE(showing(widget)) << "clicking a widget that does not show: "
                                 << widget->objectName().toStdString();
    const QPoint middle = widget->rect().center();
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, middle);
}

// A click on a tree's row, as the mouse gives it.
inline void clickRow(QTreeWidget* tree, QTreeWidgetItem* row) {
    ASSERT_TRUE(tree && row) << "no row to click";
    tree->scrollToItem(row);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      tree->visualItemRect(row).center());
}

// Types the text into the field as keys, after giving it the focus. Thai letters have no key
// code of their own: they come as key events carrying their text, as an input method sends them.
inline void type(QWidget* field, const QString& text) {
    ASSERT_TRUE(field) << "nothing to type into";
    field->activateWindow();
    field->setFocus(Qt::OtherFocusReason);
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(field, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

inline void press(QWidget* widget, Qt::Key key) {
    ASSERT_TRUE(widget);
    QTest::keyClick(widget, key);
}

// Alerts the program shows, recorded instead of run modally (an offscreen modal box would wait
// for nobody): each is answered at once.
class RecordedAlerts : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string& info) override {
        messages.push_back(info.empty() ? message : message + "\n" + info);
        // The code that showed the alert goes on from its answer before the event loop runs
        // again: the loop's next turn finds the answer handled.
        ++unhandled_;
        QTimer::singleShot(0, qApp, [this, alive = std::weak_ptr<int>(alive_)] {
            if (alive.lock())
                --unhandled_;
        });
    }
    // Whether the program has handled the answer of every alert it showed.
    bool answersHandled() const { return unhandled_ == 0; }
    bool said(const std::string& part) const {
        for (const auto& m : messages)
            if (m.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> messages;

  private:
    int unhandled_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// ---- The program ----

// How the program ends before it starts again: its main window closed, or SIGTERM.
enum class Ending { WindowClosed, Terminated };
inline void PrintTo(Ending how, std::ostream* out) {
    *out << (how == Ending::Terminated ? "SIGTERM" : "its window's close");
}

class JourneyTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ui::RunLoopBridge::install();
        // Every message sent by name while the program runs is held against its receivers.
        plat::setRecordingSentMessages(true);
        ASSERT_TRUE(DemoLibrary::shared().start());
    }

    // The demo stops before the application object goes: its pictures are drawn with Qt.
    static void TearDownTestSuite() { DemoLibrary::shared().stop(); }

    void SetUp() override {
        ASSERT_TRUE(DemoLibrary::shared().startAfresh()) << "each journey meets a new demo";
        // A home of its own with the run command's settings in it.
        home_ = testing_support::freshTestFolder();
        environment_.set("VARNEL_HOME", home_.string());
        std::ofstream(home_ / "Info.plist") << demo().infoPlist();
        plat::InfoDictionary::setDictionary(nullptr);
        // The program's own trace switch, whatever a journey before installed, with the groups
        // of these settings, as a run started with them has.
        VndDiags::reloadFromInfoDictionary();
        plat::UserDefaults::resetStandardUserDefaults();
        plat::Keychain::setShared(
            std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
        plat::HttpCookieStorage::shared().removeAllCookies();
        alerts_ = std::make_shared<RecordedAlerts>();
        ui::Alert::setShared(alerts_);
    }

    void TearDown() override {
        pendingTimers_.clear();
        quit();
        EXPECT_EQ(plat::messageWiringFaults(), std::vector<std::string>{})
            << "messages sent by name with arguments their receivers do not take";
        ui::Alert::setShared(nullptr);
        plat::Keychain::setShared(nullptr);
        plat::UserDefaults::resetStandardUserDefaults();
        plat::HttpCookieStorage::shared().removeAllCookies();
        plat::InfoDictionary::setDictionary(nullptr);
        DemoLibrary::shared().start();  // a journey that stopped it leaves it running
    }

    static DemoLibrary& demo() { return DemoLibrary::shared(); }

    // Starts the program as runProgram does once its event loop runs (the set-up runs again, as a
    // new run of the program does; it reads this journey's settings); waits until the main window
    // shows.
    void launch() {
        setUpProgram();
        delegate_ = std::make_shared<AppDelegate>();
        delegate_->applicationDidFinishLaunching();
        ASSERT_TRUE(waitFor([&] { return mainWindow() && mainWindow()->isVisible(); }))
            << "the main window shows";
    }

    // Ends the program as closing its window does, forgetting what lives for the process only
    // (the user defaults file, the keychain and the home stay, as on a disk).
    void quit() {
        if (delegate_) {
            if (QWidget* w = mainWindow())
                w->close();
            spin(20);
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                top->close();
        // Work the screens queued runs while their store context is still there, as it does
        // before the program's event loop ends; once the context goes, no loop runs until the
        // next launch (the program ends its loop before it lets its objects go).
        spin(300);
        // The program's own ending, as runProgram's after its event loop.
        if (delegate_)
            delegate_->applicationWillTerminate();
        delegate_.reset();
    }

    // Ends the program as SIGTERM does (at logout or shutdown): the signal reaches the event loop
    // through the program's watch of the ending signals, and the loop ends on that turn: the
    // application's quit asks every window to close, and the program's own ending follows with
    // no further turn of the loop.
    void endBySigterm() {
        if (!delegate_)
            return;
        bool asked = false;
        {
            const EndingSignals watch([&](int signal) { asked = signal == SIGTERM; });
            ::raise(SIGTERM);
            EXPECT_TRUE(waitFor([&] { return asked; })) << "SIGTERM reaches the event loop";
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                top->close();
        delegate_->applicationWillTerminate();
        delegate_.reset();
    }

    void end(Ending how) { how == Ending::Terminated ? endBySigterm() : quit(); }

    // Starts the program again on the same home, after it ended, as a new process: what lived in
    // the process only is gone (the HTTP cookies, the content files' locations learned from the
    // service); the user defaults file, the keychain and the home stay, as on a disk.
    void startAgain() {
        plat::HttpCookieStorage::shared().removeAllCookies();
        VnContentAssetRequest::forgetGlobalFileInfos();
        plat::UserDefaults::resetStandardUserDefaults();
        plat::InfoDictionary::setDictionary(nullptr);
        launch();
    }

    // Quits and starts the program again on the same home.
    void restart(Ending how = Ending::WindowClosed) {
        end(how);
        startAgain();
    }

    // Ends the program, stops the demo (the service is out of reach) and starts the program
    // again on the same home.
    void restartOffline(Ending how = Ending::WindowClosed) {
        end(how);
        demo().stop();
        startAgain();
    }

    Ref<WindowController> window() const {
        return delegate_ ? delegate_->myWindowController() : nullptr;
    }
    QWidget* mainWindow() const {
        auto w = window();
        return w && w->isWindowLoaded() ? w->window() : nullptr;
    }
    // The content area of the main window, where the screens show.
    QWidget* content() const {
        auto w = window();
        return w ? w->mainView() : nullptr;
    }

    // The toolbar item with the image name ("ic_home", "ic_book", "ic_mag", "ic_newspaper",
    // "ic_top", "ic_cat", "ic_browse", "ic_myshelf"), clicked as its button.
    void clickToolbar(const char* image) {
        QToolBar* bar = byName<QToolBar>(QString(), mainWindow());
        bar = bar ? bar : first<QToolBar>({}, mainWindow());
        ASSERT_TRUE(bar) << "the toolbar shows";
        QAction* item = nullptr;
        for (QAction* a : bar->actions())
            if (a->objectName() == QLatin1String(image))
                item = a;
        ASSERT_TRUE(item) << "no toolbar item " << image;
        click(bar->widgetForAction(item));
    }

    // Searches as a member does: types into the toolbar's field and presses Return.
    void search(const QString& text) {
        auto* field = first<QLineEdit>(
            [](QLineEdit* f) { return f->placeholderText() == QStringLiteral("ค้นหา"); },
            mainWindow());
        ASSERT_TRUE(field) << "the search field shows";
        field->selectAll();
        type(field, text);
        press(field, Qt::Key_Return);
    }

    // How many book searches for the text the store service heard.
    static size_t searchesFor(const std::string& text) {
        size_t count = 0;
        for (const auto& request : demo().store->requestsForMethod("GetMetaBookInfos"))
            count += request.body.find("\"" + text + "\"") != std::string::npos;
        return count;
    }

    // The member signed in on the program's store context, empty when none.
    std::string signedInMember() const {
        auto service = GlobalService::globalShared();
        auto context = service ? service->storeContext() : nullptr;
        if (!context)
            return {};
        auto user = context->activeUserContext();
        return user && !user->isDefault() ? user->userId()->userName() : std::string();
    }

    // Opens the account sheet with the toolbar's account button.
    void openAccountSheet() {
        auto w = window();
        ASSERT_TRUE(w);
        click(w->logInButton());
        ASSERT_TRUE(waitFor([&] { return w->settingWindow() && w->settingWindow()->isVisible(); }))
            << "the account sheet shows";
    }

    // Claims the copy held for the member in the reservation queue, as the account sheet opens
    // it, then closes the queue once the condition (the claim's effect) holds.
    void claimInTheQueue(const std::function<bool()>& claimed) {
        openAccountSheet();
        click(byText<QAbstractButton>(QStringLiteral("คิวการจองหนังสือ"), false,
                                      window()->settingWindow()));
        ASSERT_TRUE(waitFor([&] { return byText<QAbstractButton>(QStringLiteral("รับหนังสือ")); }))
            << shownTexts();
        click(byText<QAbstractButton>(QStringLiteral("รับหนังสือ")));
        ASSERT_TRUE(waitFor(claimed)) << "the claim is taken; alerts: " << alertsText();
        if (auto* done = byText<QAbstractButton>(QStringLiteral("เสร็จสิ้น")))
            click(done);
    }

    // Signs a demo member in the way the sheet does: the account button, the sheet's sign-in
    // button, then the sign-on window, where the demo's sign-on server has already accepted the
    // member: the page is sent on to the redirect with a code the demo issued for the member.
    // With `fillForm`, the member's name and password are typed into the sign-on page itself.
    void signIn(const std::string& user, const std::string& password = {}, bool fillForm = false) {
        openAccountSheet();
        auto sheetButton = byText<QAbstractButton>(QStringLiteral("ลงบัญชีเข้าใช้"));
        ASSERT_TRUE(sheetButton) << "the sheet offers to sign in";
        // The form is typed in once the page holds it (its title can come first, and a script
        // sent then would find no form): asked again on each tick until the page says it sent it.
        auto sent = std::make_shared<bool>(false);
        driveSignOnWindow([user, password, fillForm, sent](ui::WebView* web, int step) {
            if (step > 0)
                return false;
            if (fillForm) {
                if (*sent)
                    return false;
                web->evaluateJavaScript(
                    "(function () {"
                    "  const form = document.getElementById('signin');"
                    "  const name = document.getElementById('username');"
                    "  const password = document.getElementById('password');"
                    "  if (window.journeySent) return 'sent';"
                    "  if (!form || !name || !password) return 'waiting';"
                    "  window.journeySent = true;"
                    "  name.value = '" +
                        user + "';  password.value = '" + password +
                        "';  form.submit();"
                        "  return 'sent';"
                        "})()",
                    [sent](const std::string& result) {
                        if (result == "sent")
                            *sent = true;
                    });
                return true;  // until the page has sent it
            } else {
                const auto code = demo().signOn->issueCode(user);
                EXPECT_TRUE(code) << "the demo knows " << user;
                web->loadUrl(QUrl(QString::fromStdString(demo().signOn->hostUrl() +
                                                         "app?code=" + code.value_or("none") +
                                                         "&state=journey")));
            }
            return false;
        });
        click(sheetButton);
        ASSERT_TRUE(waitFor([&] { return signedInMember() == user; }, 30000))
            << "the program signed " << user << " in; alerts: " << alertsText();
    }

    // Signs the member out with the account sheet's sign-out button.
    void signOut() {
        openAccountSheet();
        click(byText<QAbstractButton>(QStringLiteral("ออกจากระบบ"), false,
                                      window()->settingWindow()));
        ASSERT_TRUE(waitFor([&] { return signedInMember().empty(); }));
    }

    // Runs `act` on the sign-on window's web view each time the window shows, while the modal
    // loop runs, until it answers false (its argument counts the acts done).
    void driveSignOnWindow(std::function<bool(ui::WebView*, int)> act) {
        auto timer = std::make_shared<QTimer>();
        auto step = std::make_shared<int>(0);
        QObject::connect(timer.get(), &QTimer::timeout, [timer = timer.get(), step, act] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->objectName() != "OAuthLogin" || !top->isVisible())
                    continue;
                auto* web = top->findChild<ui::WebView*>("webView");
                if (!web)
                    continue;
                if (act(web, *step))
                    return;
                ++*step;
                timer->stop();
            }
        });
        timer->start(50);
        pendingTimers_.push_back(timer);
    }

    // Clicks the cell or row showing the text in the content area (its nearest button).
    // A row of an index or outline with the text is clicked as it is.
    void openShown(const QString& text) {
        QWidget* shown = nullptr;
        std::pair<QTreeWidget*, QTreeWidgetItem*> row;
        ASSERT_TRUE(waitFor([&] {
            shown = byText<QLabel>(text, false, content());
            row = shownRow(text, content());
            return shown || row.second;
        })) << "no "
            << text.toStdString() << " shows:\n"
            << shownTexts(content());
        if (shown)
            click(buttonNear(shown));
        else
            clickRow(row.first, row.second);
    }

    // The shown button whose text contains the words ("กลับ": the back button of the screen
    // that shows), in the content area unless another root is given.
    QAbstractButton* shownButton(const QString& words, QWidget* root = nullptr) {
        QAbstractButton* found = nullptr;
        if (!waitFor([&] {
                return (found = byText<QAbstractButton>(words, true, root ? root : content()));
            }))
            ADD_FAILURE() << "no button " << words.toStdString() << " shows:\n"
                          << shownTexts(root ? root : content());
        return found;
    }

    // A button of the item detail: its caption is a label over the button.
    QAbstractButton* detailAction(const QString& caption) {
        QAbstractButton* found = nullptr;
        if (!waitFor([&] {
                QLabel* label = byText<QLabel>(caption, false, content());
                return label && (found = buttonNear(label));
            }))
            ADD_FAILURE() << "the detail offers no " << caption.toStdString() << ":\n"
                          << shownTexts(content());
        return found;
    }

    // Whether the item detail offers the action (its caption shows), as it is now.
    bool detailOffers(const char* caption) const {
        return byText<QLabel>(QString::fromUtf8(caption), false, content()) != nullptr;
    }

    // Launched, signed in as the member, on the magazine screen with the item of that title
    // borrowed: its reader window shows.
    void borrowMagazineAs(const std::string& member, const QString& title) {
        launch();
        ASSERT_NO_FATAL_FAILURE(signIn(member));
        clickToolbar("ic_mag");
        ASSERT_NO_FATAL_FAILURE(borrowShown(title));
    }
    // The shelf, shown with the toolbar's item.
    void showShelf() { clickToolbar("ic_myshelf"); }
    // Whether the shelf screen shows (its return button does).
    bool shelfScreenShows() {
        return byText<QAbstractButton>(QStringLiteral("คืนหนังสือ"), false, content()) != nullptr;
    }
    // Waits until the main window shows again with the detail that shows the text, and no
    // overlay lies over it.
    bool detailShowsWithoutOverlay(const QString& text) {
        const bool shown = waitFor(
            [&] { return showing(mainWindow()) && showsText(text, content()) && !overlayShows(); });
        if (!shown)
            ADD_FAILURE() << "the detail with " << text.toStdString()
                          << " shows without the overlay:\n"
                          << shownTexts(content());
        return shown;
    }
    bool shelfShows(const QString& title) {
        return byText<QLabel>(title, false, content()) != nullptr;
    }
    // Whether a loading overlay lies over the screen.
    bool overlayShows() {
        return byText<QAbstractButton>(QStringLiteral("กำลังโหลด..."), false, content());
    }
    // Opens the shown title's detail and borrows it there: the reader window opens.
    void borrowShown(const QString& title) {
        openShown(title);
        click(detailAction(QStringLiteral("ยืม")));
        ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
            << "the reader opens " << title.toStdString() << "; alerts: " << alertsText();
    }
    // Closes the reader window as its Close item does.
    void closeReader() {
        QWidget* reader = readerWindow();
        if (!reader)
            return;
        click(byText<QAbstractButton>(QStringLiteral("Close"), false, reader));
        waitFor([&] { return readerWindow() == nullptr; });
    }

    // The reader window, when it shows.
    QWidget* readerWindow() const {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != mainWindow() && top->isVisible() &&
                byText<QAbstractButton>(QStringLiteral("Thumbnails"), false, top))
                return top;
        return nullptr;
    }

    // ---- The member's items on disk, and the reader over them ----

    // The reader's controller (looked at, never driven); null when the program has none.
    static Ref<ReaderViewController> readerController() {
        const auto service = GlobalService::globalShared();
        const auto window =
            service
                ? std::dynamic_pointer_cast<ReaderWindowController>(service->readerViewController())
                : nullptr;
        return window ? window->readerViewController() : nullptr;
    }
    // The code of the item the reader window shows; empty when it shows none.
    std::string readerCode() const {
        const auto reader = readerWindow() ? readerController() : nullptr;
        const auto ui = reader ? reader->uiContext() : nullptr;
        return ui && ui->context() ? ui->context()->info()->code().value_or("") : std::string();
    }

    // The item's folder in the home's shared issue archive: its page files ("PAGE_PDF_<source
    // index>"), its page table ("VnPageInfo.table.json") and its other files lie there.
    static std::filesystem::path itemFolder(const std::string& code) {
        return VnBookStoreContext::storageRootPath() / "Cache" / "MagazineIssues" / code;
    }
    static std::filesystem::path pageFile(const std::string& code, int sourceIndex) {
        return itemFolder(code) / ("PAGE_PDF_" + std::to_string(sourceIndex));
    }
    // The source indices, below `pages`, of the item's pages whose files lie whole in its folder
    // (a PDF from its header to its end marker).
    static std::vector<int> pagesOnDisk(const std::string& code, int pages) {
        std::vector<int> found;
        for (int i = 0; i < pages; ++i) {
            std::ifstream in(pageFile(code, i), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            const size_t tail = std::min(bytes.size(), ui::PdfPageCheck::kTrailerWindow);
            if (!bytes.empty() && !ui::PdfPageCheck::headAndTailProblem(
                                      bytes, std::string_view(bytes).substr(bytes.size() - tail)))
                found.push_back(i);
        }
        return found;
    }
    // The source indices the item's page table ("VnPageInfo.table.json") lists, each once, in
    // order; empty when it cannot be read.
    static std::vector<int> pagesOfTable(const std::string& code) {
        std::ifstream in(itemFolder(code) / "VnPageInfo.table.json");
        const auto table = nlohmann::json::parse(in, nullptr, false);
        std::set<int> indices;
        if (table.is_array())
            for (const auto& page : table)
                if (page.is_object() && page.contains("SourcePageIndex") &&
                    page["SourcePageIndex"].is_number_integer())
                    indices.insert(page["SourcePageIndex"].get<int>());
        return {indices.begin(), indices.end()};
    }
    static std::vector<int> allPages(int pages) {
        std::vector<int> all(pages);
        std::iota(all.begin(), all.end(), 0);
        return all;
    }

    // What the reader shows of the item's `pages` pages, if it does not show every page whose file
    // lies whole on disk drawn from that file (checked and usable, no placeholder): which pages
    // are not; empty when it does.
    std::string pagesOnDiskNotDrawn(const std::string& code, int pages) const {
        if (readerCode() != code)
            return "the reader does not show " + code + " (it shows \"" + readerCode() + "\")";
        const auto* view = readerController()->pdfView();
        const auto document = view ? view->document() : nullptr;
        if (!document || document->pageCount() != pages)
            return "the reader's document does not hold the " + std::to_string(pages) + " pages";
        std::string missing;
        for (const int i : pagesOnDisk(code, pages)) {
            const auto page = document->pageAtIndex(i);
            if (!page || page->isImagePage() || !page->isChecked() || page->error() ||
                page->filePath() != pageFile(code, i))
                missing += " " + std::to_string(i);
        }
        return missing.empty() ? missing : "pages on disk not drawn:" + missing;
    }

    // Waits until the reader shows the item read through: every page arrived, checked and drawn
    // from its file. False (with the reason added as a failure) when it does not in time.
    bool readThrough(const std::string& code, int pages, int milliseconds = 60000) {
        std::string why;
        const bool whole = waitFor(
            [&] {
                const auto reader = readerController();
                const auto ui = reader ? reader->uiContext() : nullptr;
                if (!ui || !ui->allPresentationPagesAvailable() || ui->pagesBeingChecked() > 0) {
                    why = "the pages have not all arrived and been checked";
                    return false;
                }
                why = pagesOnDiskNotDrawn(code, pages);
                if (why.empty() && pagesOnDisk(code, pages) != allPages(pages))
                    why = "not every page lies on disk";
                return why.empty();
            },
            milliseconds);
        if (!whole)
            ADD_FAILURE() << code << " is not read through: " << why;
        return whole;
    }

    // The shelf cell's view that shows the title (as its title or its second line) on the shelf
    // screen, also while the reader hides the main window; null when none shows it.
    QWidget* shelfCell(const QString& title) const {
        const auto labels = widgets<QLabel>(
            [&](QLabel* l) { return l->text() == title && l->isVisibleTo(l->window()); }, false,
            content());
        for (QLabel* label : labels)
            for (QWidget* up = label; up; up = up->parentWidget())
                if (up->findChild<QProgressBar*>())
                    return up;
        return nullptr;
    }
    // Whether the cell's download bar shows (the cell is in its download mode).
    static bool downloadBarShows(QWidget* cell) {
        auto* bar = cell ? cell->findChild<QProgressBar*>() : nullptr;
        return bar && !bar->isHidden();
    }

    // Opens the item from the shelf as a member does: the shelf screen, then a double click on
    // the item's cell.
    void openFromShelf(const QString& title) {
        showShelf();
        QWidget* cell = nullptr;
        ASSERT_TRUE(waitFor([&] { return (cell = shelfCell(title)) != nullptr; }))
            << "the shelf shows " << title.toStdString() << ":\n"
            << shownTexts(content());
        ASSERT_TRUE(showing(cell)) << "the shelf shows " << title.toStdString();
        doubleClick(buttonNear(byText<QLabel>(title, false, cell)));
    }

    // Opens the item from the shelf and waits, within the bound, until the reader shows it with
    // every page that lies on disk drawn from its file, and the cell's download bar gone.
    void openFromShelfAndSeeEveryPageOnDisk(const QString& title, const std::string& code,
                                            int pages, int milliseconds) {
        const size_t alertsBefore = alerts_->messages.size();
        ASSERT_NO_FATAL_FAILURE(openFromShelf(title));
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(waitFor([&] { return readerCode() == code; }, milliseconds))
            << "the reader opens " << code << " from the shelf; alerts: " << alertsText()
            << "; the cell's download bar shows: " << downloadBarShows(shelfCell(title));
        const auto rest = [&] {
            return std::max<int>(1, milliseconds - static_cast<int>(clock.elapsed()));
        };
        std::string why;
        EXPECT_TRUE(
            waitFor([&] { return (why = pagesOnDiskNotDrawn(code, pages)).empty(); }, rest()))
            << why;
        EXPECT_TRUE(waitFor([&] { return !downloadBarShows(shelfCell(title)); }, rest()))
            << "the download bar ends";
        EXPECT_EQ(alerts_->messages.size(), alertsBefore) << "nothing to tell: " << alertsText();
    }

    // The shelves of the library screen: the book shelf, then the magazine shelf.
    std::vector<Ref<LibraryListView>> shelves() const {
        const auto w = window();
        const auto library = w ? std::dynamic_pointer_cast<LibraryMainViewController>(
                                     w->screenController(WindowController::Library))
                               : nullptr;
        const auto main = library ? library->libraryMainView() : nullptr;
        if (!main)
            return {};
        return {main->bookLibraryListView(), main->magazineLibraryListView()};
    }
    // Whether both shelves have ended what they asked of the service: their update of the
    // member's list and the loans' state that follows it.
    bool shelvesUpdated() const {
        const auto both = shelves();
        const auto asking = [](const Ref<VnRequestContext>& request) {
            return request && request->running();
        };
        return both.size() == 2 && both[0] && both[1] && !both[0]->booksRequest() &&
               !both[1]->magazineIssuesRequest() && !asking(both[0]->getIssueInfoRequest()) &&
               !asking(both[1]->getIssueInfoRequest());
    }

    std::string alertsText() const {
        std::string all;
        for (const auto& m : alerts_->messages)
            all += "[" + m + "] ";
        return all;
    }

    // ---- Steps of the journeys that end the program and open an item from the shelf ----

  public:
    // A test's name for each way the program ends.
    static std::string endingTestName(const ::testing::TestParamInfo<Ending>& info) {
        return info.param == Ending::Terminated ? "BySigterm" : "ByTheWindowsClose";
    }

  protected:
    // The item just opened from the shelf says it cannot connect within the bound, in one
    // message; its cell's download bar ends and no reader shows.
    void expectToldItCannotConnect(const QString& title, int milliseconds) {
        EXPECT_TRUE(waitFor([&] { return alerts_->said(kConnectionErrorText); }, milliseconds))
            << "the member is told; alerts: " << alertsText()
            << "; the cell's download bar shows: " << downloadBarShows(shelfCell(title));
        EXPECT_TRUE(waitFor([&] { return !downloadBarShows(shelfCell(title)); }))
            << "the download bar ends";
        EXPECT_EQ(readerWindow(), nullptr);
        EXPECT_EQ(alerts_->messages.size(), 1U) << alertsText();
    }

    std::filesystem::path home_;
    testing_support::ScopedEnvironment environment_;
    std::shared_ptr<RecordedAlerts> alerts_;
    Ref<AppDelegate> delegate_;
    std::vector<std::shared_ptr<QTimer>> pendingTimers_;
};

}  // namespace journey
