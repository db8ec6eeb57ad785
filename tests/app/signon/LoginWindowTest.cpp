// The sign-on window over the real web engine and the demo sign-on server. Each scenario opens
// the window (a modal loop) and acts in it from timers: the page is filled and sent by script,
// the window's overlays and title are read, and the close button is pressed. The first one
// starts from the main window's account sheet and ends with the member signed in to the library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>

#include "app/shell/SettingView.h"
#include "app/shell/ShellResources.h"
#include "app/shell/ShellTestSupport.h"
#include "app/shell/WindowController.h"
#include "app/signon/OAuth.h"
#include "app/signon/SignOnResources.h"
#include "app/signon/SignOnTestSupport.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/web/WebView.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnUserId.h"

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
    // Opens the login window (by `open`) and runs the steps until the window closes.
    void runLogin(const std::function<void()>& open = OAuth::login) {
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
        open();
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
        OAuth::gInstance.reset();
        registerShellResources(ui::ResourceRegistry::shared());
        registerSignOnResources(ui::ResourceRegistry::shared());
        demo.start(true, [&] { signOn.emplace(demo.service, demo.catalogue); });
        addDemoSignOnDeployment(*signOn);
    }
    void TearDown() override {
        OAuth::gInstance.reset();
        // Closed windows go now, their pages before the web profile.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        demo.stop();
    }
    void configure() {
        OAuth::initWithClientID(demo::kDemoOAuthClientID, demo::kDemoOAuthSecret, listener);
    }
    std::vector<demo::RecordedRequest> requests(const std::string& path) const {
        std::vector<demo::RecordedRequest> found;
        for (const auto& r : demo.service.requests()) {
            if (r.path == path)
                found.push_back(r);
        }
        return found;
    }
    size_t exchanges() const { return requests("/oauth2/access_token.php").size(); }

    shell_testing::DemoEnvironment demo;
    std::optional<demo::DemoSignOn> signOn;
    Ref<LoginListener> listener = std::make_shared<LoginListener>();
};

TEST_F(LoginWindowTest, SheetSignInRunsTheWindowAndSignsTheMemberInToTheLibrary) {
    auto window = std::make_shared<WindowController>();
    window->showWindow();  // configures the sign-on client with itself as delegate
    ASSERT_EQ(OAuth::sharedInstance()->getDelegate(), window);
    auto context = GlobalService::globalShared()->storeContext();
    // An earlier sign-on's cookie, and the library service's session cookie (a sign-in of the
    // device may be running in that session when the window opens).
    plat::HttpCookie leftOver;
    leftOver.name = "left";
    leftOver.value = "over";
    leftOver.domain = "127.0.0.1";
    leftOver.path = "/oauth2";
    plat::HttpCookieStorage::shared().setCookie(leftOver);
    plat::HttpCookie librarySession = leftOver;
    librarySession.name = "library";
    librarySession.path = "/";
    plat::HttpCookieStorage::shared().setCookie(librarySession);
    ASSERT_EQ(plat::HttpCookieStorage::shared().cookies().size(), 2U);

    // The sheet's sign-in closes the sheet and runs the window until the exchange is done.
    window->logInButton_Click(nullptr);
    ASSERT_TRUE(window->settingWindow());
    std::vector<std::string> titles;
    Script()
        .then(pageShown,
              [&](const LoginWindow& w) {
                  titles.push_back(w.title());
                  EXPECT_FALSE(window->settingWindow());
                  // The earlier sign-on's cookie went when the window opened; the library
                  // service's session cookie stays.
                  std::vector<std::string> names;
                  for (const auto& cookie : plat::HttpCookieStorage::shared().cookies())
                      names.push_back(cookie.name);
                  EXPECT_EQ(std::count(names.begin(), names.end(), "left"), 0);
                  EXPECT_EQ(std::count(names.begin(), names.end(), "library"), 1);
                  w.run(fillForm("somchai@example.com", "rak-an-nangsue"));
              })
        .runLogin([&] { window->settingView()->signInButton()->click(); });
    EXPECT_EQ(titles, std::vector<std::string>{kFormTitle});
    EXPECT_EQ(exchanges(), 1U);
    EXPECT_FALSE(findLoginWindow().window);
    EXPECT_FALSE(OAuth::sharedInstance()->getAccessToken().empty());
    ASSERT_TRUE(testing_support::spinUntil(
        [&] { return !context->activeUserContext()->isDefault(); }, 20000));
    EXPECT_EQ(context->activeUserContext()->userId()->userName(), "somchai@example.com");

    // The sheet now offers the sign-out and names the member.
    window->logInButton_Click(nullptr);
    EXPECT_EQ(window->settingView()->signInButton()->text().toStdString(), "ออกจากระบบ");
    EXPECT_EQ(window->settingView()->userNameTextField()->stringValue(), "somchai@example.com");
    window->settingViewCloseButtonClick();

    // The page set a cookie that the form's post carried; a second opening sends none.
    const auto posts = requests("/oauth2/index.php");
    ASSERT_GE(posts.size(), 2U);
    EXPECT_TRUE(posts.back().hasHeader("Cookie"));
    Script().then(pageShown, [](const LoginWindow& w) { w.close->click(); }).runLogin();
    const auto pages = requests("/oauth2/index.php");
    ASSERT_EQ(pages.size(), posts.size() + 1);
    EXPECT_EQ(pages.back().method, "GET");
    EXPECT_FALSE(pages.back().hasHeader("Cookie")) << pages.back().header("Cookie");
    EXPECT_EQ(exchanges(), 1U);
    window->close();
}

TEST_F(LoginWindowTest, RefusalsAndFailuresCloseOrShowTheFailureWithoutAnExchange) {
    configure();
    // Cancel on the page, then an account the sign-on server locks: closed at once, nobody told.
    Script()
        .then(pageShown,
              [](const LoginWindow& w) { w.run("document.getElementById('cancel').click();"); })
        .runLogin();
    Script()
        .then(pageShown,
              [](const LoginWindow& w) {
                  w.run(fillForm(demo::kLockedAccount, demo::kLockedAccountPassword));
              })
        .runLogin();
    EXPECT_EQ(exchanges(), 0U);
    EXPECT_TRUE(listener->answers.empty());

    // An address that merely contains the redirect's text is no redirect; the close button ends
    // the loop.
    const std::string lookalike = signOn->hostUrl() + "app-x?code=stolen";
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
    demo.service.setFault("/oauth2/access_token.php", demo::Fault{demo::FaultKind::Drop});
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

namespace {

TEST_F(LoginWindowTest, EachLoadTitlesTheWindowAndAnInterruptedLoadShowsNoFailure) {
    configure();
    // Plain pages beside the sign-on server's, each titled by its name.
    demo.service.addRoute("/pages/", [](const demo::RecordedRequest& request) {
        demo::DemoService::RouteReply reply;
        reply.contentType = "text/html; charset=utf-8";
        const std::string name = request.path.substr(std::string("/pages/").size());
        reply.body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + name +
                     "</title></head><body><p>" + name + "</p></body></html>";
        return std::optional(reply);
    });
    const std::string host = signOn->hostUrl();
    const std::string pages = host.substr(0, host.find("oauth2/")) + "pages/";
    const auto go = [&](const LoginWindow& w, const std::string& name) {
        w.run("location.href='" + pages + name + "';");
    };
    const auto titled = [](const std::string& title) {
        return
            [title](const LoginWindow& w) { return w.title() == title && !w.loading->isVisible(); };
    };
    std::vector<std::string> titles;
    Script()
        .then(pageShown,
              [&](const LoginWindow& w) {
                  titles.push_back(w.title());
                  go(w, "second");
              })
        // The next page's title replaces the form's; then a page that never comes is stopped.
        .then(titled("second"),
              [&](const LoginWindow& w) {
                  titles.push_back(w.title());
                  demo.service.setFault("/pages/slow", demo::Fault::stall());
                  go(w, "slow");
              })
        .then(
            [&](const LoginWindow& w) {
                return w.loading->isVisible() && demo.service.stalledCount() == 1;
            },
            [](const LoginWindow& w) { w.web->stopLoading(); })
        // Interrupted: both overlays hidden, the title that of the page still shown.
        .then([](const LoginWindow& w) { return !w.loading->isVisible(); },
              [&](const LoginWindow& w) {
                  EXPECT_FALSE(w.failureShown());
                  EXPECT_EQ(w.title(), "second");
                  demo.service.clearFaults();
                  go(w, "third");
              })
        .then(titled("third"),
              [&](const LoginWindow& w) {
                  titles.push_back(w.title());
                  EXPECT_FALSE(w.failureShown());
                  w.close->click();
              })
        .runLogin();
    EXPECT_EQ(titles, (std::vector<std::string>{kFormTitle, "second", "third"}));
    EXPECT_EQ(exchanges(), 0U);
    EXPECT_TRUE(listener->answers.empty());
}

}  // namespace
