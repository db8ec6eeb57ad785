#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <utility>

#include "ShellGuiSupport.h"
#include "ShellTestSupport.h"
#include "app/AreaRegistrations.h"
#include "app/Program.h"
#include "app/services/AreaSeams.h"
#include "app/services/StoreNavigation.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/HZLoading.h"
#include "app/shell/WindowController.h"
#include "app/store/StoreResources.h"
#include "app/store/detail/ShopDetailMainViewController.h"
#include "platform/core/Log.h"
#include "platform_ui/Application.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/CapturedLog.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

namespace {

using shell_testing::screenEvents;
using shell_testing::TestScreen;

// What the global service held when the library screen was made (inside windowDidLoad).
struct AtLibrary {
    bool made = false;
    bool reader = false;
    bool storeContext = false;
    bool windowController = false;
};

class AppLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        demo.start();
        screenEvents().clear();
        auto& registry = ui::ResourceRegistry::shared();
        registerAllAreaResources(registry);
        // Doubles of every screen, registered under the names the shell asks for.
        registry.replaceController("ReaderWindowStoryboard", "ReaderWindow",
                                   [] { return std::make_shared<ui::WindowController>(); });
        registry.replaceController("LibraryStoryboard", "LibraryMainViewController", [this] {
            const auto service = GlobalService::globalShared();
            atLibrary = {true, service->readerViewController() != nullptr,
                         service->storeContext() != nullptr,
                         service->windowController() != nullptr};
            ++made;
            return ui::ViewController::create<TestScreen>("library");
        });
        registry.replaceController("ShopFeatureStoryboard", "ShopFeatureViewController", [this] {
            ++made;
            return ui::ViewController::create<TestScreen>("feature");
        });
        for (const char* nib : {"TopChartMainViewController", "CategoryMainViewController",
                                "BrowseMainViewController"}) {
            registry.replaceController("", nib, [this, nib] {
                ++made;
                return ui::ViewController::create<TestScreen>(nib);
            });
        }
        registry.replaceController("SearchViewStoryboard", "SearchMainViewContrller",
                                   [] { return ui::ViewController::create<TestScreen>("search"); });
        registry.replaceController("ShopDetailStoryboard", "ShopDetailMainView", [this] {
            auto detail = ui::ViewController::create<TestScreen>("detail");
            detailScreen = detail;
            return detail;
        });
    }

    void TearDown() override {
        delegate.reset();
        testing_support::spin(10);
        demo.stop();
        // The doubles hold this test: the names go back to whoever registers them next.
        auto& registry = ui::ResourceRegistry::shared();
        for (const auto& [storyboard, identifier] : kDoubled)
            registry.removeController(storyboard, identifier);
    }

    // The screens this test puts doubles in place of.
    static constexpr std::pair<const char*, const char*> kDoubled[] = {
        {"ReaderWindowStoryboard", "ReaderWindow"},
        {"LibraryStoryboard", "LibraryMainViewController"},
        {"ShopFeatureStoryboard", "ShopFeatureViewController"},
        {"", "TopChartMainViewController"},
        {"", "CategoryMainViewController"},
        {"", "BrowseMainViewController"},
        {"SearchViewStoryboard", "SearchMainViewContrller"},
        {"ShopDetailStoryboard", "ShopDetailMainView"}};

    QWidget* shown() const {
        const auto views = window->mainView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        return views.size() == 1 ? views.first() : nullptr;
    }
    QWidget* viewOf(WindowController::Screen screen) const {
        auto controller =
            std::dynamic_pointer_cast<ui::ViewController>(window->screenController(screen));
        return controller ? controller->view() : nullptr;
    }
    void type(const QString& text) {
        QLineEdit* field = window->searchBookField();
        field->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &press);
        }
    }
    void key(int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(window->searchBookField(), &press);
    }

    shell_testing::DemoEnvironment demo;
    AtLibrary atLibrary;
    int made = 0;
    WeakRef<TestScreen> detailScreen;
    Ref<AppDelegate> delegate;
    Ref<WindowController> window;
};

TEST_F(AppLaunchTest, ToolbarSwitchesScreensAndSearchComesAndGoes) {
    delegate = std::make_shared<AppDelegate>();
    delegate->applicationDidFinishLaunching();
    window = delegate->myWindowController();
    ASSERT_TRUE(window);

    // Inside windowDidLoad the reader and the store context were there, the window not yet.
    ASSERT_TRUE(atLibrary.made);
    EXPECT_TRUE(atLibrary.reader);
    EXPECT_TRUE(atLibrary.storeContext);
    EXPECT_FALSE(atLibrary.windowController);
    const auto service = GlobalService::globalShared();
    EXPECT_EQ(service->windowController(), window);
    EXPECT_EQ(service->LibraryViewController(),
              window->screenController(WindowController::Library));
    EXPECT_EQ(delegate->readerWindowController(), service->readerViewController());
    // One forced library update, while home shows.
    EXPECT_EQ(std::count(screenEvents().begin(), screenEvents().end(),
                         "library updateLibraryForceUpdate:YES"),
              1);
    EXPECT_EQ(shown(), viewOf(WindowController::Home));
    testing_support::spin(20);

    const QColor red = HZLoading::overlayRed();
    for (int i = 0; i < WindowController::kScreenCount; ++i) {
        const auto screen = static_cast<WindowController::Screen>(i);
        for (int click = 0; click < 2; ++click) {  // a second click re-adds the same view
            window->toolbarItem(screen)->trigger();
            QWidget* view = shown();
            ASSERT_TRUE(view) << i;
            EXPECT_EQ(view, viewOf(screen)) << i;
            EXPECT_EQ(view->geometry(), window->mainView()->rect()) << i;
            EXPECT_TRUE(view->isVisible()) << i;
        }
        for (int j = 0; j < WindowController::kScreenCount; ++j) {
            QWidget* button = window->toolbarWindow()->widgetForAction(
                window->toolbarItem(static_cast<WindowController::Screen>(j)));
            const int reds = shell_testing::pixelsNear(button, red, 20);
            if (j == i)
                EXPECT_GT(reds, 20) << "item " << j << " is red when chosen";
            else
                EXPECT_EQ(reds, 0) << "item " << j << " is grey while " << i << " shows";
        }
    }
    EXPECT_EQ(made, 8) << "each screen made once, the library at load";
    const std::vector<std::string> expectedCodes = {
        "feature setFeatureCode:0.feature_all", "feature setFeatureCode:0.feature_book",
        "feature setFeatureCode:0.feature_magazine", "feature setFeatureCode:0.feature_hdbook"};
    std::vector<std::string> codes;
    for (const auto& e : screenEvents())
        if (e.find("setFeatureCode:") != std::string::npos)
            codes.push_back(e);
    EXPECT_EQ(codes, expectedCodes);

    // Search: the first edit shows the search page; cancel puts back what showed, frame as is.
    window->toolbarItem(WindowController::Home)->trigger();
    QWidget* home = shown();
    home->setGeometry(3, 4, 200, 100);
    type("ab");
    ASSERT_TRUE(window->searchMainViewController());
    auto search = std::dynamic_pointer_cast<ui::ViewController>(window->searchMainViewController());
    EXPECT_EQ(shown(), search->view());
    key(Qt::Key_Return);
    EXPECT_EQ(screenEvents().back(), "search startSearch:ab");
    // Editing again while the search page shows; cancel still leaves the search.
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    EXPECT_EQ(screenEvents().back(), "search startSearch:") << "an empty end still searches";
    window->searchCancelAction()->trigger();
    EXPECT_EQ(shown(), home);
    EXPECT_EQ(home->geometry(), QRect(3, 4, 200, 100));
    EXPECT_TRUE(window->searchBookField()->text().isEmpty());

    // Leaving the field also ends the search.
    type("c");
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(window->searchBookField(), &focusOut);
    EXPECT_EQ(screenEvents().back(), "search startSearch:c");
    window->searchCancelAction()->trigger();
    EXPECT_EQ(shown(), home);

    // An item-detail page lies over the current screen and is held while it shows.
    plat::send(window, "shopFeatureMainView:selectShopGroupInfo:", Ref<plat::Object>(),
               Ref<plat::Object>());
    auto views = window->mainView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(views.size(), 2);
    EXPECT_EQ(views[0], home);
    EXPECT_EQ(views[1]->geometry(), window->mainView()->rect());
    EXPECT_EQ(screenEvents().back(), "detail setDelegate:");
    testing_support::spin(10);
    EXPECT_TRUE(views[1]->isVisible());
    EXPECT_FALSE(detailScreen.expired()) << "its controller is held while it shows";
    window->toolbarItem(WindowController::Browse)->trigger();
    EXPECT_TRUE(detailScreen.expired()) << "and let go once it is gone";
    EXPECT_EQ(shown(), viewOf(WindowController::Browse));
    window->toolbarItem(WindowController::Home)->trigger();

    // The divider stays between 200 and 300; the menu button collapses the pane and opens it again.
    window->setDividerPosition(50);
    EXPECT_EQ(window->dividerPosition(), 200);
    window->setDividerPosition(500);
    EXPECT_EQ(window->dividerPosition(), 300);
    window->setDividerPosition(250);
    window->menu_Click(nullptr);
    EXPECT_TRUE(window->isHiddenSlideMenu());
    EXPECT_EQ(window->dividerPosition(), 0);
    window->menu_Click(nullptr);
    EXPECT_FALSE(window->isHiddenSlideMenu());
    EXPECT_EQ(window->dividerPosition(), 250);
    EXPECT_EQ(window->menuSettingOutlineView()->topLevelItemCount(), 0);

    // A click on the search item writes its line to the system log, with no trace group.
    const auto written = testing_support::writtenWithTracesOff(
        [&] { QTest::mouseClick(window->searchBookField(), Qt::LeftButton); });
    EXPECT_EQ(written.inSystemLog("Search toolbar Click"), 1u);
    EXPECT_EQ(written.onTerminal("Search toolbar Click"), 0u);

    // Filled lists show in the outline by its rules: groups with their children under them, a
    // cell and a height for each kind of row, and only rows under a group can be chosen.
    window->setOutlineItems({"ชั้นหนังสือ", "ร้าน"}, {"แนะนำ"},
                            {{"ชั้นหนังสือ", {"หนังสือ", "แนะนำ"}}, {"หนังสือ", {"hidden"}}});
    QTreeWidget* outline = window->menuSettingOutlineView();
    testing_support::spin(10);
    ASSERT_EQ(outline->topLevelItemCount(), 2);
    QTreeWidgetItem* shelf = outline->topLevelItem(0);
    ASSERT_EQ(shelf->childCount(), 2);
    EXPECT_EQ(shelf->child(0)->childCount(), 0) << "only items without a parent open";
    EXPECT_EQ(outline->topLevelItem(1)->childCount(), 0);
    struct Row {
        QTreeWidgetItem* item;
        const char* cell;
        int height;
        bool selectable;
    };
    for (const Row& row :
         {Row{shelf, "HeaderCell", 17, false}, Row{shelf->child(0), "DataCell", 24, true},
          Row{shelf->child(1), "FeatureCell", 50, true},
          Row{outline->topLevelItem(1), "HeaderCell", 17, false}}) {
        const auto* cell = qobject_cast<QLabel*>(outline->itemWidget(row.item, 0));
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->objectName().toStdString(), row.cell) << cell->text().toStdString();
        EXPECT_EQ(outline->visualItemRect(row.item).height(), row.height) << row.cell;
        EXPECT_EQ(row.item->flags().testFlag(Qt::ItemIsSelectable), row.selectable);
        EXPECT_LE(cell->sizeHint().height(), row.height) << cell->text().toStdString();
    }
    EXPECT_EQ(shelf->child(0)->data(0, Qt::UserRole + 1).toString().toStdString(), "หนังสือ");
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {},
                      outline->visualItemRect(shelf).center());
    EXPECT_TRUE(outline->selectedItems().isEmpty());
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {},
                      outline->visualItemRect(shelf->child(1)).center());
    ASSERT_EQ(outline->selectedItems().size(), 1);
    EXPECT_EQ(outline->selectedItems().first(), shelf->child(1));
    window->setOutlineItems({}, {}, {});
    EXPECT_EQ(outline->topLevelItemCount(), 0);

    // Closing the main window ends the event loop.
    ui::Application::shared().setLaunchHook([this] { window->close(); });
    EXPECT_EQ(ui::Application::shared().run(), 0);
}

TEST_F(AppLaunchTest, ScreensNobodyRegisteredAreEmptyPagesAndAReaderWithoutHandOverIsSaid) {
    auto& registry = ui::ResourceRegistry::shared();
    registry.removeController("LibraryStoryboard", "LibraryMainViewController");
    registry.removeController("", "LibraryMainViewController");  // nor its nib
    registry.removeController("", "TopChartMainViewController");
    std::vector<std::string> lines;
    const auto previous = plat::setLogSink([&](std::string_view l) { lines.emplace_back(l); });
    delegate = std::make_shared<AppDelegate>();
    delegate->applicationDidFinishLaunching();
    window = delegate->myWindowController();
    window->toolbarItem(WindowController::TopChart)->trigger();
    plat::setLogSink(previous);
    ASSERT_TRUE(shown());
    EXPECT_EQ(shown(), viewOf(WindowController::TopChart));
    const auto said = [&](const char* text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(said("cannot open issues")) << "the reader double has no hand-over";
    EXPECT_TRUE(said("TopChartMainViewController"));
    EXPECT_TRUE(said("LibraryMainViewController"));
    window->close();
}

}  // namespace

TEST(AreaRegistrationTest, AreasRegisterAgainButAStrangerCannotTakeTheirScreens) {
    ui::ResourceRegistry registry;
    registerAllAreaResources(registry);
    const auto lines = testing_support::logged([&] {
        registerAllAreaResources(registry);  // as every screen test does
        EXPECT_FALSE(registry.registerController(
            StoreScreens::kDetail, [] { return std::make_shared<ui::ViewController>(); }));
    });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"ShopDetailMainView\" in storyboard \"ShopDetailStoryboard\" is "
                            "registered already by another provider"),
              std::string::npos);
    EXPECT_TRUE(registry.instantiate<ShopDetailMainViewController>(StoreScreens::kDetail));
}

TEST(AreaRegistrationTest, TheCompositionRootBindsEverySeamOnceAndStartRefusesASecondProvider) {
    AreaSeams seams;
    bindAreaSeams(seams);
    EXPECT_EQ(seams.problems(), std::vector<std::string>{});
    bindAreaSeams(seams);  // as every screen test registers again
    EXPECT_EQ(seams.problems(), std::vector<std::string>{});

    // A stranger that offers the store's navigation first: the program does not start.
    struct Stranger : StoreNavigation {
        Ref<plat::Object> makeFeaturePage(const std::string&, const Ref<plat::Object>&) override {
            return nullptr;
        }
        Ref<plat::Object> makePage(Page, const Ref<plat::Object>&) override { return nullptr; }
        void startSearch(const Ref<plat::Object>&, const std::string&) override {}
    };
    AreaSeams::shared().clear();
    AreaSeams::shared().bind<StoreNavigation>(std::make_shared<Stranger>(), "stranger");
    std::string said;
    try {
        setUpProgram();
    } catch (const SeamError& e) {
        said = e.what();
    }
    EXPECT_NE(said.find("the seam StoreNavigation has two providers: stranger and store"),
              std::string::npos)
        << said;
    AreaSeams::shared().clear();
    registerAllAreaResources(ui::ResourceRegistry::shared());
    EXPECT_NO_THROW(setUpProgram());
}
