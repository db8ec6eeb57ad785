#include <gtest/gtest.h>

#include <httplib.h>
#include "support/GuiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <thread>

#include "platform/net/HttpCookieStorage.h"
#include "platform_ui/web/WebView.h"

namespace {

bool spinUntil(const std::function<bool()>& done) {
    return testing_support::spinUntil(done, 20000);
}

TEST(WebViewTest, RefusedRedirectFailsWith102AndClearingEmptiesBothCookieStores) {
    httplib::Server server;
    std::mutex mutex;
    std::vector<std::string> cookies;
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "sid=1; Path=/");
        res.set_redirect("/app?code=x");
    });
    server.Get("/check", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        cookies.push_back(req.get_header_value("Cookie"));
        res.set_content("<html><head><title>Check</title></head></html>", "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    const QString base = QString("http://127.0.0.1:%1").arg(port);

    ui::WebView view;
    view.resize(400, 300);
    view.show();
    std::vector<std::pair<std::string, bool>> asked;
    int failure = 0, finished = 0, started = 0;
    view.setStartHandler([&] { ++started; });
    view.setNavigationPolicy([&](const QUrl& url, bool redirect) {
        asked.emplace_back(url.path().toStdString() + "?" + url.query().toStdString(), redirect);
        return url.path() != "/app";
    });
    view.setFailHandler([&](int code, const std::string&) { failure = code; });
    view.setFinishHandler([&] { ++finished; });
    view.loadUrl(QUrl(base + "/"));
    ASSERT_TRUE(spinUntil([&] { return failure != 0; }));
    EXPECT_EQ(failure, ui::kWebViewFrameLoadInterrupted);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), (std::pair<std::string, bool>{"/app?code=x", true}));

    // The web view kept the cookie; the next request would carry it.
    view.loadUrl(QUrl(base + "/check"));
    ASSERT_TRUE(spinUntil([&] { return finished == 1; }));
    EXPECT_EQ(view.title(), "Check");
    EXPECT_GE(started, 2);
    std::string scripted = "<none>";
    view.evaluateJavaScript("document.title + '|' + document.cookie",
                            [&](const std::string& result) { scripted = result; });
    ASSERT_TRUE(spinUntil([&] { return scripted != "<none>"; }));
    EXPECT_EQ(scripted, "Check|sid=1");
    plat::HttpCookieStorage::shared().setCookie(*plat::HttpCookie::parse(
        "token=2; Path=/", *plat::Url::parse(base.toStdString()), plat::Date::now()));
    ui::WebView::clearAllCookies();
    EXPECT_TRUE(plat::HttpCookieStorage::shared().cookies().empty());
    view.loadUrl(QUrl(base + "/check"));
    ASSERT_TRUE(spinUntil([&] { return finished == 2; }));
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(cookies.size(), 2u);
        EXPECT_EQ(cookies[0], "sid=1");
        EXPECT_EQ(cookies[1], "");
    }
    server.stop();
    thread.join();

    // A server that is not there fails with the engine's own code, not as an interruption.
    failure = 0;
    view.loadUrl(QUrl(base + "/gone"));
    ASSERT_TRUE(spinUntil([&] { return failure != 0; }));
    EXPECT_NE(failure, ui::kWebViewFrameLoadInterrupted);
}

}  // namespace
