#include <atomic>
#include <memory>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "ShellGuiSupport.h"
#include "ShellTestSupport.h"
#include "app/AreaRegistrations.h"
#include "app/shell/SettingView.h"
#include "app/shell/UserInfoViewController.h"
#include "app/shell/WindowController.h"
#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

namespace {

class SignInListener : public plat::Object {
    PLAT_CLASS(SignInListener)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult> r) { results.push_back(r); }
    std::vector<Ref<VnRequestResult>> results;
};

class SheetDelegate : public plat::Object {
    PLAT_CLASS(SheetDelegate)
  public:
    void close() { heard.push_back("close"); }
    void logIn() { heard.push_back("login"); }
    void logOut() { heard.push_back("logout"); }
    std::vector<std::string> heard;
};

}  // namespace

PLAT_DEFINE_CLASS(SignInListener, plat::Object, [](auto& c) {
    c.method("t_request:didFinishWithResult:", &SignInListener::finished);
})
PLAT_DEFINE_CLASS(SheetDelegate, plat::Object, [](auto& c) {
    c.method("settingViewCloseButtonClick", &SheetDelegate::close)
        .method("settingViewClickForLogIn", &SheetDelegate::logIn)
        .method("settingViewClickForLogOut", &SheetDelegate::logOut);
})

namespace {

class ShellScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        demo.start();
        registerAllAreaResources(ui::ResourceRegistry::shared());
    }
    void TearDown() override {
        testing_support::spin(10);
        demo.stop();
    }

    // Signs a demo member in on the global service's store context.
    void signIn(const std::string& user, const std::string& password) {
        auto listener = std::make_shared<SignInListener>();
        GlobalService::globalShared()->storeContext()->startUserAuthenticationRequestWithUserName(
            user, password, listener, "t_");
        ASSERT_TRUE(testing_support::spinUntil([&] { return !listener->results.empty(); }, 15000));
        ASSERT_TRUE(listener->results[0]->succeed());
    }

    static std::string text(ui::TextField* field) { return field->stringValue(); }

    shell_testing::DemoEnvironment demo;
};

using AccountSheetTest = ShellScreenTest;
using MemberInfoTest = ShellScreenTest;

// Counts the member panel's lines for the profile answers it takes in, written to the system log
// while it lives.
class MemberPanelProfileAnswers {
  public:
    MemberPanelProfileAnswers() {
        previous_ = plat::setSystemLogSink([count = count_](std::string_view line) {
            if (line == "result")
                ++*count;
        });
    }
    ~MemberPanelProfileAnswers() { plat::setSystemLogSink(previous_); }
    MemberPanelProfileAnswers(const MemberPanelProfileAnswers&) = delete;
    MemberPanelProfileAnswers& operator=(const MemberPanelProfileAnswers&) = delete;
    size_t count() const { return *count_; }

  private:
    std::shared_ptr<std::atomic<size_t>> count_ = std::make_shared<std::atomic<size_t>>(0);
    plat::LogSink previous_;
};

TEST_F(AccountSheetTest, AnonymousSheetOffersSignInOnlyAndCloses) {
    auto window = std::make_shared<WindowController>();
    window->showWindow();
    window->logInButton_Click(nullptr);
    const auto sheet = window->settingView();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(window->settingWindow());
    testing_support::spin(20);
    EXPECT_TRUE(window->settingWindow()->isVisible());
    EXPECT_EQ(sheet->signInButton()->text().toStdString(), "ลงบัญชีเข้าใช้");
    EXPECT_EQ(text(sheet->userNameTextField()), "-");
    EXPECT_TRUE(sheet->historyButton()->isHidden());
    EXPECT_TRUE(sheet->reserveButton()->isHidden());
    EXPECT_TRUE(sheet->userInfoButton()->isHidden());
    // Only the user name is labelled: the device-code and e-mail fields, which nothing fills,
    // are not shown.
    EXPECT_FALSE(sheet->udidTextField()->isVisible());
    EXPECT_FALSE(sheet->emailSupporTextField()->isVisible());
    std::vector<std::string> labels;
    for (QLabel* label : sheet->menuView()->findChildren<QLabel*>()) {
        if (label->isVisible())
            labels.push_back(label->text().toStdString());
    }
    EXPECT_EQ(labels, std::vector<std::string>{"ผู้ใช้"});

    // The action buttons have a blue border with round corners.
    const QImage grab = sheet->signInButton()->grab().toImage();
    EXPECT_GT(shell_testing::pixelsNear(grab, QColor(0, 153, 255), 8), 40);
    EXPECT_EQ(shell_testing::pixelsNear(grab.copy(0, 0, 1, 1), QColor(0, 153, 255), 8), 0)
        << "the corner is rounded off";

    // A new sheet each opening; the close button ends it.
    window->logInButton_Click(nullptr);
    EXPECT_NE(window->settingView(), sheet);
    QPointer<QWidget> sheetWindow = window->settingWindow();
    window->settingView()->closeButton()->click();
    testing_support::spin(20);
    EXPECT_TRUE(!sheetWindow || !sheetWindow->isVisible());
    EXPECT_FALSE(window->settingWindow());

    // Escape ends the sheet too; its controller keeps its view.
    window->logInButton_Click(nullptr);
    QWidget* menu = window->settingView()->menuView();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window->settingWindow(), &escape);
    testing_support::spin(20);
    EXPECT_FALSE(window->settingWindow());
    EXPECT_EQ(window->settingView()->menuView(), menu);
    window->logInButton_Click(nullptr);
    EXPECT_TRUE(window->settingWindow());
    window->close();
}

TEST_F(AccountSheetTest, StoredMemberIsRestoredAndMemberScreensReplaceTheirKind) {
    signIn("somchai@example.com", "rak-an-nangsue");
    // A new run: the context starts anonymous, with the member stored.
    GlobalService::releaseShared();
    ASSERT_TRUE(GlobalService::globalShared()->storeContext()->activeUserContext()->isDefault());
    shell_testing::screenEvents().clear();
    ui::ResourceRegistry::shared().replaceController("", "BorrowHistoryViewController", [] {
        return ui::ViewController::create<shell_testing::TestScreen>("history");
    });

    // Without a delegate the buttons are ignored.
    auto sheet = ui::ViewController::create<SettingView>();
    sheet->view()->resize(560, 440);
    sheet->view()->show();
    EXPECT_EQ(sheet->signInButton()->text().toStdString(), "ออกจากระบบ");
    EXPECT_EQ(text(sheet->userNameTextField()), "somchai@example.com");
    EXPECT_FALSE(sheet->historyButton()->isHidden());
    EXPECT_FALSE(sheet->userInfoButton()->isHidden());
    sheet->closeButton()->click();
    sheet->signInButton()->click();

    auto delegate = std::make_shared<SheetDelegate>();
    sheet->setDelegate(delegate);
    sheet->signInButton()->click();
    sheet->closeButton()->click();
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"logout", "close"}));

    // History twice: one view and one controller of that kind, the menu gone.
    sheet->historyButton()->click();
    const auto first = sheet->historyViewController();
    sheet->historyButton()->click();
    ASSERT_TRUE(sheet->historyViewController());
    EXPECT_NE(sheet->historyViewController(), first);
    const auto views = sheet->infoView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(views.size(), 1);
    EXPECT_EQ(views[0], sheet->historyViewController()->view());
    EXPECT_EQ(views[0]->geometry(), sheet->infoView()->rect());
    EXPECT_TRUE(sheet->menuView()->isHidden());
    EXPECT_FALSE(sheet->infoView()->isHidden());
    sheet->view()->hide();
    ui::ResourceRegistry::shared().removeController("", "BorrowHistoryViewController");
}

TEST_F(MemberInfoTest, ProfileAndAllowanceOfADemoMember) {
    // The panel writes a line of its own to the system log for each profile answer it takes in,
    // failed or not.
    const MemberPanelProfileAnswers profileAnswers;
    signIn("ploy@example.com", "ploy-pass");
    auto info = ui::ResourceRegistry::shared().instantiate<UserInfoViewController>(
        "", "UserInfoViewController");
    ASSERT_TRUE(info);
    info->view()->resize(500, 400);
    info->view()->show();  // each showing asks again
    ASSERT_TRUE(testing_support::spinUntil(
        [&] {
            return !text(info->expireDateTextField()).empty() &&
                   !text(info->memberDetailTextField()).empty();
        },
        15000));
    EXPECT_EQ(text(info->nameTextField()), "พลอย");
    EXPECT_EQ(text(info->lastNameTextField()), "แสงทอง");
    EXPECT_EQ(text(info->emailTextField()), "ploy@example.com");
    EXPECT_EQ(text(info->personIDTextField()), "1000000001003");
    EXPECT_EQ(text(info->memberTypeTextField()), "รายบุคคล ประเภทจ่ายค่าสมาชิกรายปี");
    EXPECT_EQ(text(info->memberDetailTextField()), "หนังสือ 5 เล่ม, นิตยสาร 3 เล่ม, หนังสือพิมพ์ 2 เล่ม");
    EXPECT_EQ(text(info->expireDateTextField()), "31/12/2026");

    // A failed profile leaves its fields; the allowance still fills. Every profile asked for so
    // far has been answered, so the next answer the panel takes in is the failed one.
    ASSERT_TRUE(testing_support::spinUntil(
        [&] { return profileAnswers.count() == demo.calls("GetProfile"); }, 15000));
    const size_t answered = profileAnswers.count();
    demo.service.setFault("GetProfile", demo::Fault::withStatus(500));
    for (ui::TextField* f : {info->nameTextField(), info->memberDetailTextField()})
        f->setStringValue(std::string("kept"));
    const size_t before = demo.calls("GetCurrentSubscription");
    info->refresh();
    ASSERT_TRUE(testing_support::spinUntil(
        [&] { return text(info->memberDetailTextField()) != "kept"; }, 15000));
    ASSERT_TRUE(
        testing_support::spinUntil([&] { return profileAnswers.count() > answered; }, 15000))
        << "the failed profile's answer never reached the panel";
    EXPECT_EQ(demo.calls("GetProfile"), answered + 1);
    EXPECT_GT(demo.calls("GetCurrentSubscription"), before);
    EXPECT_EQ(text(info->nameTextField()), "kept");
    EXPECT_EQ(text(info->expireDateTextField()), "31/12/2026");

    // A hostile profile: no number for the type, no date, nulls: empty fields.
    demo.service.clearFaults();
    demo.service.addMethod("GetProfile", [](const demo::Json&, demo::Session&) {
        return demo::Json{
            {"Name", nullptr},
            {"Lastname", nullptr},
            {"Email", 42},
            {"MemberTypeID", "abc"},
            {"MemberShip", demo::Json::array({{{"OnlineLibrary", {{"ExpiredDate", "soon"}}}}})}};
    });
    info->refresh();
    ASSERT_TRUE(testing_support::spinUntil(
        [&] { return text(info->expireDateTextField()).empty(); }, 15000));
    EXPECT_EQ(text(info->nameTextField()), "");
    EXPECT_EQ(text(info->lastNameTextField()), "");
    EXPECT_EQ(text(info->memberTypeTextField()), "");
    EXPECT_EQ(text(info->personIDTextField()), "");
    info->view()->hide();
}

TEST(MemberInfoTextTest, TypesAndExpiryDays) {
    EXPECT_EQ(UserInfoViewController::memberTypeText(std::string("1")), "รายบุคคลประเภทฟรี");
    EXPECT_EQ(UserInfoViewController::memberTypeText(std::string("4")), "สมาชิกขั้น 8");
    for (const char* other : {"0", "5", "", "abc"})
        EXPECT_EQ(UserInfoViewController::memberTypeText(std::string(other)), "") << other;
    EXPECT_EQ(UserInfoViewController::memberTypeText(std::nullopt), "");
    EXPECT_EQ(UserInfoViewController::expiryText(std::string("2017-03-31 11:59:59")), "31/03/2017");
    EXPECT_EQ(UserInfoViewController::expiryText(std::string("2017-03-31 23:59:59")), "31/03/2017")
        << "any hour of the day";
    for (const char* bad : {"", "soon", "2017-02-30 10:00:00", "31/03/2017"})
        EXPECT_EQ(UserInfoViewController::expiryText(std::string(bad)), "") << bad;
    EXPECT_EQ(UserInfoViewController::expiryText(std::nullopt), "");
}

}  // namespace
