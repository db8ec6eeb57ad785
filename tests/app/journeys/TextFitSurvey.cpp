// Every screen a member reaches, in the program as it ships, against the demo library service:
// the texts fit. Grabs of the screens go to $VARNEL_TEXTFIT_GRABS when it names a folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "TextFit.h"
#include "app/shell/AppDelegate.h"
#include "app/AreaRegistrations.h"
#include "app/shell/GlobalService.h"
#include "app/shell/SettingView.h"
#include "app/shell/WindowController.h"
#include "app/signon/OAuth.h"
#include "demo-service/DemoAuthentication.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "demo-service/DemoImages.h"
#include "demo-service/DemoMemberShelves.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/storage/FreshProcessState.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

namespace {

class SurveySignIn : public plat::Object {
    PLAT_CLASS(SurveySignIn)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult>) { done = true; }
    bool done = false;
};

}  // namespace

PLAT_DEFINE_CLASS(SurveySignIn, plat::Object, [](auto& c) {
    c.method("t_request:didFinishWithResult:", &SurveySignIn::finished);
})

namespace {

// The first shown button without text at least this large: a tile or a cover a member clicks.
QAbstractButton* firstTile(QWidget* root, QSize atLeast) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && button->text().isEmpty() && button->width() >= atLeast.width() &&
            button->height() >= atLeast.height() && !button->visibleRegion().isEmpty())
            return button;
    }
    return nullptr;
}

QAbstractButton* buttonWithText(QWidget* root, const QString& text) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && button->text() == text)
            return button;
    }
    return nullptr;
}

// Chooses, in the shown list of the screen (not the side pane's), the entry of that text, or the
// first entry that can be chosen and is not a letter heading.
void chooseInList(QWidget* root, QTreeWidget* sidePane, const QString& text) {
    for (QTreeWidget* tree : root->findChildren<QTreeWidget*>()) {
        if (!tree->isVisible() || tree == sidePane)
            continue;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            QTreeWidgetItem* item = *it;
            const bool wanted = text.isEmpty() ? (item->flags() & Qt::ItemIsSelectable) &&
                                                     item->text(0).size() > 1
                                               : item->text(0) == text;
            if (wanted) {
                tree->setCurrentItem(item);
                return;
            }
        }
    }
    ADD_FAILURE() << "nothing to choose: " << text.toStdString();
}

class TextFitJourney : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        testing_support::beginFreshProcessState(environment);
        service.setServicePath(kBookServicePath);
        demo::registerVersion2Methods(service, catalogue);
        demo::enableMemberShelves(service, catalogue);
        demo::registerAuthenticationPaths(service);
        demo::registerImagePaths(service);
        demo::registerHttpClientRoutes(service);
        signOn = std::make_unique<demo::DemoSignOn>(service, catalogue);
        ASSERT_TRUE(service.start());
        demo::registerStoreService(store, catalogue, {}, demo::kDemoAuthorizationToken);
        ASSERT_TRUE(store.start());
        QFile shipped(QStringLiteral(VARNEL_SOURCE_DIR "/data/Info.plist"));
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
        QString plist = QString::fromUtf8(shipped.readAll());
        plist.replace("http://127.0.0.1:8418/store.svc",
                      QString::fromStdString(store.serviceUrl()));
        plist.replace("http://127.0.0.1:8417", QString::fromStdString(service.baseUrl()));
        const QString path = QDir::temp().filePath(
            QStringLiteral("varnel-textfit-%1.plist").arg(QCoreApplication::applicationPid()));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(plist.toUtf8());
        out.close();
        plat::InfoDictionary::setInfoPlistPath(path.toStdString());
        GlobalService::resetSharedForTesting();
        registerAllAreaResources(ui::ResourceRegistry::shared());
        grabs = qEnvironmentVariable("VARNEL_TEXTFIT_GRABS");
        // A message box is read, checked and answered as a member would.
        alertWatch.setInterval(200);
        QObject::connect(&alertWatch, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            check(box, QStringLiteral("alert %1").arg(++alerts), 0);
            if (QAbstractButton* ok = box->buttons().value(0))
                ok->click();
        });
        alertWatch.start();
    }

    void TearDown() override {
        alertWatch.stop();
        delegate.reset();
        testing_support::spin(10);
        OAuth::gInstance.reset();
        GlobalService::resetSharedForTesting();
        plat::InfoDictionary::setDictionary(nullptr);
        testing_support::endFreshProcessState();
        store.stop();
        service.stop();
    }

    void check(QWidget* root, const QString& screen, int settle = 1500) {
        testing_support::spin(settle);
        const auto found = journeys::checkTextFit(root, screen);
        problems.insert(problems.end(), found.begin(), found.end());
        if (!grabs.isEmpty())
            root->grab().save(QDir(grabs).filePath(screen + QStringLiteral(".png")));
    }

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    std::unique_ptr<demo::DemoSignOn> signOn;
    Ref<AppDelegate> delegate;
    QString grabs;
    std::vector<journeys::TextFitProblem> problems;
    QTimer alertWatch;
    int alerts = 0;
};

TEST_F(TextFitJourney, TextFitsOnEveryScreen) {
    delegate = std::make_shared<AppDelegate>();
    delegate->applicationDidFinishLaunching();
    const auto window = delegate->myWindowController();
    ASSERT_TRUE(window);
    QWidget* main = window->window();
    main->show();
    const char* names[] = {"library",  "home",       "books",    "magazines",
                           "topchart", "newspapers", "category", "browse"};
    for (int i = 0; i < WindowController::kScreenCount; ++i) {
        window->toolbarItem(static_cast<WindowController::Screen>(i))->trigger();
        check(main, QString::fromLatin1(names[i]));
    }

    // A category's list; a browse list of a chosen author, then the magazines.
    window->toolbarItem(WindowController::Category)->trigger();
    testing_support::spin(1500);
    if (QAbstractButton* tile = firstTile(main, {200, 80})) {
        tile->click();
        check(main, "category list");
    } else {
        ADD_FAILURE() << "no category tile";
    }
    window->toolbarItem(WindowController::Browse)->trigger();
    testing_support::spin(1500);
    chooseInList(main, window->menuSettingOutlineView(), QStringLiteral("ศรีบูรพา"));
    check(main, "browse author");
    if (QAbstractButton* magazines = buttonWithText(main, QStringLiteral("นิตยสาร"))) {
        magazines->click();
        check(main, "browse magazines");
        chooseInList(main, window->menuSettingOutlineView(), {});
        check(main, "browse magazine");
    }

    // An item's detail, from the books page.
    window->toolbarItem(WindowController::Book)->trigger();
    testing_support::spin(1500);
    if (QAbstractButton* cover = firstTile(main, {100, 140})) {
        cover->click();
        check(main, "detail");
    } else {
        ADD_FAILURE() << "no cover";
    }

    // Search.
    QLineEdit* field = window->searchBookField();
    field->setFocus();
    for (const QChar c : QStringLiteral("สี่")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    check(main, "search");
    window->searchCancelAction()->trigger();

    // A member signs in; the account sheet and its screens.
    auto listener = std::make_shared<SurveySignIn>();
    GlobalService::globalShared()->storeContext()->startUserAuthenticationRequestWithUserName(
        "somchai@example.com", "rak-an-nangsue", listener, "t_");
    ASSERT_TRUE(testing_support::spinUntil([&] { return listener->done; }, 15000));
    window->toolbarItem(WindowController::Library)->trigger();
    check(main, "shelf", 3000);
    window->logInButton_Click(nullptr);
    const auto sheet = window->settingView();
    ASSERT_TRUE(sheet);
    QWidget* sheetWindow = sheet->view()->window();
    check(sheetWindow, "account sheet");
    sheet->userInfoButton()->click();
    check(sheetWindow, "member information");
    sheet->historyButton()->click();
    check(sheetWindow, "history");
    sheet->reserveButton()->click();
    check(sheetWindow, "reservations");

    EXPECT_TRUE(problems.empty()) << problems.size() << " places:\n"
                                  << journeys::describe(problems).toStdString();
}

}  // namespace
