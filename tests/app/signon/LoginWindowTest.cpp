// The sign-on window over the real web engine and the demo sign-on server. Each scenario opens
// the window (a modal loop) and acts in it from timers: the page is filled and sent by script,
// the window's overlays and title are read, and the close button is pressed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "app/signon/OAuth.h"
#include "app/signon/SignOnResources.h"
#include "app/signon/SignOnTestSupport.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/web/WebView.h"
#include "support/GuiTestSupport.h"

namespace {

class LoginListener : public plat::Object {
    PLAT_CLASS(LoginListener)
  public:
    void finished(int32_t tag, std::string text) { answers.emplace_back(tag, "done " + text); }
    void failed(int32_t tag, std::string) { answers.emplace_back(tag, "failed"); }
    std::vector<std::pair<int32_t, std::string>> answers;
};

}  // namespace

PLAT_DEFINE_CLASS(LoginListener, plat::Object, [](auto& c) {
    c.method("authRequest:didFinishWithResponse:", &LoginListener::finished)
        .method("authRequest:didFailWithError:", &LoginListener::failed);
})

namespace {

constexpr const char* kFormTitle = "เข้าสู่ระบบ Varnel";

// The open login window and its parts.
struct LoginWindow {
    QWidget* window = nullptr;
    ui::WebView* web = nullptr;
    QWidget* connectFail = nullptr;
    QWidget* loading = nullptr;
    QPushButton* close = nullptr;
    std::string title() const { return window ? window->windowTitle().toStdString() : ""; }
    bool failureShown() const { return connectFail && connectFail->isVisible(); }
    void run(const std::string& script) const { web->evaluateJavaScript(script, {}); }
};

LoginWindow findLoginWindow() {
    LoginWindow found;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "OAuthLogin" && top->isVisible()) {
            found.window = top;
            found.web = top->findChild<ui::WebView*>("webView");
            found.connectFail = top->findChild<QWidget*>("connectFail");
            found.loading = top->findChild<QWidget*>("loadingView");
            found.close = top->findChild<QPushButton*>("closeButton");
        }
    }
    return found;
}

// Steps run one after the other while the modal loop runs: each waits for its condition, then
// acts. A scenario that stalls is ended with the close button and fails.
class Script {
  public:
    using Condition = std::function<bool(const LoginWindow&)>;
    using Action = std::function<void(const LoginWindow&)>;
    Script& then(Condition when, Action act) {
        steps_.push_back({std::move(when), std::move(act)});
        return *this;
    }
    // Opens the login window and runs the steps until the window closes.
    void runLogin() {
        QTimer timer;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const LoginWindow login = findLoginWindow();
            if (!login.window)
                return;
            if (!steps_.empty() && steps_.front().when(login)) {
                auto step = std::move(steps_.front());
                steps_.pop_front();
                step.act(login);
            } else if (clock.elapsed() > 20000 && login.close) {
                ADD_FAILURE() << "the scenario stalled with " << steps_.size() << " steps left";
                steps_.clear();
                login.close->click();
            }
        });
        timer.start(25);
        OAuth::login();
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps never ran";
    }

  private:
    struct Step {
        Condition when;
        Action act;
    };
    std::deque<Step> steps_;
};

bool pageShown(const LoginWindow& w) {
    return w.title() == kFormTitle;
}

std::string fillForm(const std::string& user, const std::string& password) {
    return "document.getElementById('username').value='" + user +
           "';document.getElementById('password').value='" + password +
           "';document.getElementById('signin').submit();";
}

class LoginWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::UserDefaults::resetStandardUserDefaults();
        registerSignOnResources(ui::ResourceRegistry::shared());
        ASSERT_TRUE(service.start());
        useDemoSignOnDeployment(signOn);
        OAuth::gInstance.reset();
        OAuth::initWithClientID(demo::kDemoOAuthClientID, demo::kDemoOAuthSecret, listener);
    }
    void TearDown() override {
        OAuth::gInstance.reset();
        // Closed windows go now, their pages before the web profile.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        plat::InfoDictionary::setDictionary(nullptr);
        plat::UserDefaults::resetStandardUserDefaults();
    }
    size_t exchanges() const {
        size_t count = 0;
        for (const auto& r : service.requests())
            count += r.path == "/oauth2/access_token.php";
        return count;
    }

    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoSignOn signOn{service, catalogue};
    Ref<LoginListener> listener = std::make_shared<LoginListener>();
};

TEST_F(LoginWindowTest, RefusalsAndFailuresCloseOrShowTheFailureWithoutAnExchange) {
    // Cancel on the page, then a suspended account: closed at once, nobody told.
    Script()
        .then(pageShown,
              [](const LoginWindow& w) { w.run("document.getElementById('cancel').click();"); })
        .runLogin();
    Script()
        .then(pageShown,
              [](const LoginWindow& w) { w.run(fillForm("suspended@example.com", "suspended")); })
        .runLogin();
    EXPECT_EQ(exchanges(), 0U);
    EXPECT_TRUE(listener->answers.empty());

    // An address that merely contains the redirect's text is no redirect; the close button ends
    // the loop.
    const std::string lookalike = signOn.hostUrl() + "app-x?code=stolen";
    Script()
        .then(pageShown, [&](const LoginWindow& w) { w.run("location.href='" + lookalike + "';"); })
        .then(
            [&](const LoginWindow& w) {
                return w.web->url().toString().toStdString() == lookalike &&
                       !w.loading->isVisible();
            },
            [&](const LoginWindow& w) { w.close->click(); })
        .runLogin();
    EXPECT_EQ(exchanges(), 0U);

    // An exchange cut off in transport: the failure overlay, the window stays until closed.
    service.setFault("/oauth2/access_token.php", demo::Fault{demo::FaultKind::Drop});
    Script()
        .then(
            pageShown,
            [](const LoginWindow& w) { w.run(fillForm("somchai@example.com", "rak-an-nangsue")); })
        .then([&](const LoginWindow& w) { return w.failureShown(); },
              [&](const LoginWindow& w) {
                  EXPECT_EQ(listener->answers.size(), 1U);
                  w.close->click();
              })
        .runLogin();
    EXPECT_GE(exchanges(), 1U);  // the engine may try a dropped connection again
    ASSERT_EQ(listener->answers.size(), 1U);
    EXPECT_EQ(listener->answers[0], (std::pair<int32_t, std::string>{1, "failed"}));
    EXPECT_EQ(OAuth::sharedInstance()->getAccessToken(), "");

    // A server that is not there: the failure overlay (not an interrupted load).
    OAuth::OAuthHost = "http://127.0.0.1:1/oauth2/";
    Script()
        .then([](const LoginWindow& w) { return w.failureShown(); },
              [](const LoginWindow& w) { w.close->click(); })
        .runLogin();
}

}  // namespace
